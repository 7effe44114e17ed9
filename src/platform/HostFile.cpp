#include "platform/HostFile.h"

#include "platform/Win32Error.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace pelorix {
namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) noexcept : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const noexcept { return m_fd; }
    bool valid() const noexcept { return m_fd >= 0; }
    // Closes now and reports a failure of the close itself (NFS and full disks report late).
    int close() noexcept {
        const int rc = ::close(m_fd);
        m_fd = -1;
        return rc;
    }

private:
    int m_fd;
};

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

} // namespace

std::optional<std::string> readHostFile(const std::string& hostPath, std::int32_t* err) {
    Descriptor fd(::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC));
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
    const std::string folder = folderOf(hostPath);
    const auto slash = hostPath.find_last_of('/');
    const std::string name = slash == std::string::npos ? hostPath : hostPath.substr(slash + 1);
    std::string temp = folder + "/." + name + ".pelorix-XXXXXX";
    Descriptor fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (!fd.valid())
        return win32::fromErrno(errno);

    auto fail = [&](std::int32_t code) {
        ::unlink(temp.c_str());
        return code;
    };
    struct stat st {};
    const mode_t mode = ::stat(hostPath.c_str(), &st) == 0 ? (st.st_mode & 07777) : mode_t{0644};
    if (::fchmod(fd.get(), mode) != 0)
        return fail(win32::fromErrno(errno));
    if (const std::int32_t code = writeAll(fd.get(), bytes); code != 0)
        return fail(code);
    if (::fsync(fd.get()) != 0)
        return fail(win32::fromErrno(errno));
    if (fd.close() != 0)
        return fail(win32::fromErrno(errno));
    if (::rename(temp.c_str(), hostPath.c_str()) != 0)
        return fail(win32::fromErrno(errno));
    // Make the rename itself durable; a failure here no longer risks the content.
    Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid())
        ::fsync(dir.get());
    return 0;
}

std::int32_t appendHostFile(const std::string& hostPath, std::string_view bytes) {
    Descriptor fd(::open(hostPath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    if (!fd.valid())
        return win32::fromErrno(errno);
    if (const std::int32_t code = writeAll(fd.get(), bytes); code != 0)
        return code;
    return fd.close() == 0 ? 0 : win32::fromErrno(errno);
}

} // namespace pelorix
