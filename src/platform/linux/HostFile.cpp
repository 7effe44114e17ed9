#include "platform/HostFile.h"

#include "platform/Win32Error.h"
#include "platform/linux/PosixApi.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

namespace pelorix {

bool isHostSeparator(char c) noexcept {
    return c == '/';
}

// The open does not block (a FIFO nobody writes to would hold it forever), and the kind is checked
// on the open descriptor before anything is read.
UniqueFile openFileForReading(const std::string& hostPath, std::int32_t& error, std::uint64_t& size) {
    // A device is not even opened (opening one may act on it).
    if (struct stat before{};
        ::stat(hostPath.c_str(), &before) == 0 && (S_ISCHR(before.st_mode) || S_ISBLK(before.st_mode))) {
        error = win32::OpenFailed;
        return UniqueFile();
    }
    UniqueFile file(::open(hostPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file) {
        error = win32::lastErrno();
        return file;
    }
    struct stat st {};
    if (::fstat(file.get(), &st) != 0) {
        error = win32::lastErrno();
        return UniqueFile();
    }
    if (!S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? win32::AccessDenied : win32::OpenFailed;
        return UniqueFile();
    }
    size = static_cast<std::uint64_t>(st.st_size);
    error = 0;
    return file;
}

UniqueFile openFileForAppending(const std::string& hostPath, std::int32_t& error) {
    UniqueFile file(::open(hostPath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    error = file ? 0 : win32::lastErrno();
    return file;
}

std::int32_t userFileBar(const std::string& hostPath, WriteBar& bar) {
    // A symbolic link is followed: stat looks at the file it leads to, and the writer replaces it.
    struct stat st {};
    if (::stat(hostPath.c_str(), &st) != 0) {
        bar = WriteBar::Missing;
        return errno == ENOENT ? 0 : win32::lastErrno();
    }
    bar = S_ISDIR(st.st_mode)        ? WriteBar::Folder
          : !S_ISREG(st.st_mode)     ? WriteBar::NotRegular
          : (st.st_mode & 0222) == 0 ? WriteBar::ReadOnly
                                     : WriteBar::None;
    if (bar != WriteBar::None)
        return 0;
    // The file system's own marks, which bar even the superuser from replacing the file.
    const UniqueFile file(::open(hostPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    int flags = 0;
    if (file && ::ioctl(file.get(), FS_IOC_GETFLAGS, &flags) == 0) {
        if ((flags & FS_IMMUTABLE_FL) != 0)
            bar = WriteBar::Immutable;
        else if ((flags & FS_APPEND_FL) != 0)
            bar = WriteBar::AppendOnly;
    }
    return 0;
}

} // namespace pelorix
