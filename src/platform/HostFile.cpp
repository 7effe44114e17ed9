#include "platform/HostFile.h"

#include "platform/FileKind.h"
#include "platform/StagedFile.h"
#include "platform/Win32Error.h"

namespace pelorix {

namespace {

// Reads the file from its position to its end, or until take returns false; 0 or the code of the
// failure.
std::int32_t readPieces(NativeFile file, const std::function<bool(std::string_view)>& take) {
    char buffer[65536];
    for (;;) {
        std::size_t got = 0;
        if (const std::int32_t code = readSome(file, buffer, sizeof buffer, got); code != 0)
            return code;
        if (got == 0 || !take(std::string_view(buffer, got)))
            return 0;
    }
}

} // namespace

std::optional<std::string> readHostFile(const std::string& hostPath, std::int32_t* err) {
    std::int32_t code = 0;
    std::uint64_t size = 0;
    const UniqueFile file = openFileForReading(hostPath, code, size);
    std::string bytes;
    // The size is only a hint: the file may grow or shrink while it is read.
    if (file && size > 0 && size < bytes.max_size())
        bytes.reserve(static_cast<std::size_t>(size));
    if (file)
        code = readPieces(file.get(), [&bytes](std::string_view piece) {
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
    std::int32_t code = 0;
    std::uint64_t size = 0;
    const UniqueFile file = openFileForReading(hostPath, code, size);
    return file ? readPieces(file.get(), take) : code;
}

std::int32_t appendHostFile(const std::string& hostPath, std::string_view bytes) {
    std::int32_t code = 0;
    UniqueFile file = openFileForAppending(hostPath, code);
    if (!file)
        return code;
    if ((code = writeAll(file.get(), bytes)) != 0)
        return code;
    return file.close();
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

std::size_t hostNameStart(std::string_view hostPath) noexcept {
    std::size_t start = hostPath.size();
    while (start > 0 && !isHostSeparator(hostPath[start - 1]))
        --start;
    return start;
}

std::string hostFolderOf(std::string_view hostPath) {
    const std::size_t start = hostNameStart(hostPath);
    if (start == 0)
        return ".";
    const std::size_t separator = start - 1;
    const bool root = separator == 0 || (separator == 2 && hostPath[1] == ':');
    return std::string(hostPath.substr(0, root ? separator + 1 : separator));
}

std::string failureText(std::int32_t code) {
    const std::string text = win32::systemMessage(code);
    return text.empty() ? "ｴﾗｰ " + std::to_string(code) : text;
}

namespace {

// Why rewriteUserFile must leave the file alone, in the words of the program's messages.
std::optional<std::string> writeBarText(WriteBar bar) {
    switch (bar) {
    case WriteBar::Folder:
        return "ﾌｫﾙﾀﾞです。";
    case WriteBar::NotRegular:
        return "通常のﾌｧｲﾙではありません。";
    case WriteBar::ReadOnly:
        return "読み取り専用のﾌｧｲﾙです。";
    case WriteBar::Immutable:
        return "変更できないﾌｧｲﾙです(immutable属性)。";
    case WriteBar::AppendOnly:
        return "追加しかできないﾌｧｲﾙです(append-only属性)。";
    case WriteBar::None:
    case WriteBar::Missing:
        break;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> rewriteUserFile(const std::string& hostPath,
                                           const std::function<std::string(const std::string&)>& compose) {
    WriteBar bar = WriteBar::None;
    if (const std::int32_t code = userFileBar(hostPath, bar); code != 0)
        return failureText(code);
    if (auto refusal = writeBarText(bar))
        return refusal;
    std::string oldBytes;
    if (bar != WriteBar::Missing) {
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
