#include "platform/CFFile.h"

#include "platform/Win32Error.h"
#include "platform/linux/PosixApi.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace pelorix {

UniqueFile CFFile::openUnshared(const std::string& hostPath, std::int32_t& error) {
    UniqueFile file(::open(hostPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    if (!file) {
        // With a file that is created when missing, a missing name can only be a missing folder.
        error = errno == ENOENT ? win32::PathNotFound : win32::lastErrno();
        return file;
    }
    struct stat st {};
    if (::fstat(file.get(), &st) != 0) {
        error = win32::lastErrno();
        return UniqueFile();
    }
    // A file without any write permission is a read-only file; refuse it even where the
    // superuser's open would succeed, as the read-only attribute does.
    if (S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0) {
        error = win32::AccessDenied;
        return UniqueFile();
    }
    // No sharing: the exclusive lock belongs to this open file description, so another open of the
    // same file, in this process or another, cannot take it while this one holds it. Closing the
    // file releases it.
    if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
        error = errno == EWOULDBLOCK ? win32::SharingViolation : win32::lastErrno();
        return UniqueFile();
    }
    return file;
}

} // namespace pelorix
