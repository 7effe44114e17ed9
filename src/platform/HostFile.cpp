#include "platform/HostFile.h"

#include "platform/StagedFile.h"
#include "platform/UniqueFd.h"
#include "platform/Win32Error.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace pelorix {
std::optional<std::string> readHostFile(const std::string& hostPath, std::int32_t* err) {
    UniqueFd fd(::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        if (err)
            *err = win32::fromErrno(errno);
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) == 0 && S_ISDIR(st.st_mode)) {
        if (err)
            *err = win32::AccessDenied;
        return std::nullopt;
    }
    std::string bytes;
    if (st.st_size > 0)
        bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (err)
                *err = win32::fromErrno(errno);
            return std::nullopt;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    if (err)
        *err = 0;
    return bytes;
}

std::int32_t writeAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return win32::fromErrno(errno);
        }
        if (n == 0)
            return win32::DiskFull;
        done += static_cast<std::size_t>(n);
    }
    return 0;
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

std::int32_t appendHostFile(const std::string& hostPath, std::string_view bytes) {
    UniqueFd fd(::open(hostPath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    if (!fd.valid())
        return win32::fromErrno(errno);
    if (const std::int32_t code = writeAll(fd.get(), bytes); code != 0)
        return code;
    return fd.close() == 0 ? 0 : win32::fromErrno(errno);
}

} // namespace pelorix
