#include "platform/HostFile.h"

#include "platform/FileKind.h"
#include "platform/StagedFile.h"
#include "platform/Win32Error.h"

namespace pelorix {

std::optional<std::string> readHostFile(const std::string& hostPath, std::int32_t* err) {
    std::string bytes;
    const std::int32_t code = readRegularFile(
        hostPath,
        [&bytes](std::uint64_t size) {
            // The size is only a hint: the file may grow or shrink while it is read.
            if (size > 0 && size < bytes.max_size())
                bytes.reserve(static_cast<std::size_t>(size));
        },
        [&bytes](std::string_view piece) {
            bytes.append(piece);
            return true;
        });
    if (err)
        *err = code;
    if (code != 0)
        return std::nullopt;
    return bytes;
}

std::int32_t readHostFileInPieces(const std::string& hostPath,
                                  const std::function<bool(std::string_view)>& take) {
    return readRegularFile(
        hostPath, [](std::uint64_t) {}, take);
}

std::int32_t writeHostFileAtomically(const std::string& hostPath, std::string_view bytes) {
    std::int32_t code = 0;
    auto staged = StagedFile::create(hostPath, code);
    if (!staged)
        return code;
    if ((code = staged->setPermissionBits(permissionBitsOf(hostPath, 0644))) != 0)
        return code;
    if ((code = staged->write(bytes)) != 0)
        return code;
    return staged->commit();
}

std::int32_t replaceOwnFileAtomically(const std::string& hostPath, std::string_view bytes) {
    if (hostLinkKind(hostPath) == HostFileKind::Folder && !isSymbolicLink(hostPath))
        return win32::AccessDenied;
    std::int32_t code = 0;
    auto staged = StagedFile::create(hostPath, code, StagedFile::Link::ReplaceLink);
    if (!staged)
        return code;
    if ((code = staged->setPermissionBits(0644)) != 0)
        return code;
    if ((code = staged->write(bytes)) != 0)
        return code;
    return staged->commit();
}

std::string failureText(std::int32_t code) {
    const std::string text = win32::systemMessage(code);
    return text.empty() ? "ｴﾗｰ " + std::to_string(code) : text;
}

std::optional<std::string> rewriteUserFile(const std::string& hostPath,
                                           const std::function<std::string(const std::string&)>& compose) {
    bool exists = false;
    if (auto refusal = userFileRefusal(hostPath, exists))
        return refusal;
    std::string oldBytes;
    if (exists) {
        std::int32_t code = 0;
        auto bytes = readHostFile(hostPath, &code);
        if (!bytes)
            return failureText(code);
        oldBytes = std::move(*bytes);
    }
    if (const std::int32_t code = writeHostFileAtomically(hostPath, compose(oldBytes)); code != 0)
        return failureText(code == win32::FileNotFound ? win32::PathNotFound : code);
    return std::nullopt;
}

} // namespace pelorix
