#include "platform/HostFile.h"

#include "platform/Win32Error.h"
#include "platform/linux/UniqueFd.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <linux/fs.h>
#include <memory>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pelorix {
namespace {

// A file opened for reading, its size in size. Only a regular file is read: a folder is refused
// as Windows refuses it (AccessDenied), a FIFO, device or socket with OpenFailed, without
// waiting: the open does not block (a FIFO nobody writes to would hold it forever) and the kind is
// checked on the open descriptor before anything is read.
UniqueFd openForReading(const std::string& hostPath, std::int32_t& err, off_t& size) {
    // A device is not even opened (opening one may act on it).
    if (struct stat before{};
        ::stat(hostPath.c_str(), &before) == 0 && (S_ISCHR(before.st_mode) || S_ISBLK(before.st_mode))) {
        err = win32::OpenFailed;
        return UniqueFd();
    }
    UniqueFd fd(::open(hostPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid()) {
        err = win32::fromErrno(errno);
        return fd;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        err = win32::fromErrno(errno);
        return UniqueFd();
    }
    if (!S_ISREG(st.st_mode)) {
        err = S_ISDIR(st.st_mode) ? win32::AccessDenied : win32::OpenFailed;
        return UniqueFd();
    }
    size = st.st_size;
    err = 0;
    return fd;
}

// Reads the descriptor to its end, or until take returns false; 0 or the code of the failure.
std::int32_t readPieces(int fd, const std::function<bool(std::string_view)>& take) {
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            return 0;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return win32::fromErrno(errno);
        }
        if (!take(std::string_view(buffer, static_cast<std::size_t>(n))))
            return 0;
    }
}

} // namespace

std::int32_t readRegularFile(const std::string& hostPath, const std::function<void(std::uint64_t)>& sized,
                             const std::function<bool(std::string_view)>& take) {
    std::int32_t code = 0;
    off_t size = 0;
    const UniqueFd fd = openForReading(hostPath, code, size);
    if (!fd.valid())
        return code;
    sized(static_cast<std::uint64_t>(size));
    return readPieces(fd.get(), take);
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

std::int32_t appendHostFile(const std::string& hostPath, std::string_view bytes) {
    UniqueFd fd(::open(hostPath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    if (!fd.valid())
        return win32::fromErrno(errno);
    if (const std::int32_t code = writeAll(fd.get(), bytes); code != 0)
        return code;
    return fd.close() == 0 ? 0 : win32::fromErrno(errno);
}

std::string finalTargetOf(const std::string& hostPath) {
    struct Freer {
        void operator()(char* p) const noexcept { std::free(p); }
    };
    const std::unique_ptr<char, Freer> resolved(::realpath(hostPath.c_str(), nullptr));
    return resolved ? std::string(resolved.get()) : hostPath;
}

std::optional<std::string> userFileRefusal(const std::string& hostPath, bool& exists) {
    // A symbolic link is followed: stat looks at the file it leads to, and the writer replaces it.
    struct stat st {};
    exists = ::stat(hostPath.c_str(), &st) == 0;
    if (!exists)
        return errno == ENOENT ? std::nullopt : std::optional(failureText(win32::fromErrno(errno)));
    if (S_ISDIR(st.st_mode))
        return std::string("ﾌｫﾙﾀﾞです。");
    if (!S_ISREG(st.st_mode))
        return std::string("通常のﾌｧｲﾙではありません。");
    if ((st.st_mode & 0222) == 0)
        return std::string("読み取り専用のﾌｧｲﾙです。");
    // The file system's own marks, which bar even the superuser from replacing the file.
    const UniqueFd fd(::open(hostPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    int flags = 0;
    if (fd.valid() && ::ioctl(fd.get(), FS_IOC_GETFLAGS, &flags) == 0) {
        if ((flags & FS_IMMUTABLE_FL) != 0)
            return std::string("変更できないﾌｧｲﾙです(immutable属性)。");
        if ((flags & FS_APPEND_FL) != 0)
            return std::string("追加しかできないﾌｧｲﾙです(append-only属性)。");
    }
    return std::nullopt;
}

} // namespace pelorix
