#include "platform/HostFile.h"

#include "platform/StagedFile.h"

namespace pelorix {

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

<<<<<<< HEAD
=======
std::optional<std::string> rewriteUserFile(const std::string& hostPath,
                                           const std::function<std::string(const std::string&)>& compose) {
    const auto reason = [](std::int32_t code) {
        const std::string text = win32::systemMessage(code);
        return text.empty() ? "ｴﾗｰ " + std::to_string(code) : text;
    };
    // A symbolic link is followed: stat looks at the file it leads to, and the writer replaces it.
    std::string oldBytes;
    struct stat st {};
    if (::stat(hostPath.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return std::string("ﾌｫﾙﾀﾞです。");
        if (!S_ISREG(st.st_mode))
            return std::string("通常のﾌｧｲﾙではありません。");
        if ((st.st_mode & 0222) == 0)
            return std::string("読み取り専用のﾌｧｲﾙです。");
        std::int32_t code = 0;
        auto bytes = readHostFile(hostPath, &code);
        if (!bytes)
            return reason(code);
        oldBytes = std::move(*bytes);
    } else if (errno != ENOENT) {
        return reason(win32::fromErrno(errno));
    }
    const std::string newBytes = compose(oldBytes);
    if (const std::int32_t code = writeHostFileAtomically(hostPath, newBytes); code != 0)
        return reason(code == win32::FileNotFound ? win32::PathNotFound : code);
    return std::nullopt;
}

std::int32_t appendHostFile(const std::string& hostPath, std::string_view bytes) {
    UniqueFd fd(::open(hostPath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    if (!fd.valid())
        return win32::fromErrno(errno);
    if (const std::int32_t code = writeAll(fd.get(), bytes); code != 0)
        return code;
    return fd.close() == 0 ? 0 : win32::fromErrno(errno);
}

>>>>>>> main
} // namespace pelorix
