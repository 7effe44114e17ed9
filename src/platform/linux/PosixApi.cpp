#include "platform/linux/PosixApi.h"

#include "platform/Win32Error.h"

#include <cerrno>

namespace pelorix::win32 {

std::int32_t fromErrno(int err) noexcept {
    switch (err) {
    case 0:
        return Success;
    case ENOENT:
        return FileNotFound;
    case ENOTDIR:
        return PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return AccessDenied;
    case EBADF:
        return InvalidHandle;
    case ENOMEM:
        return NotEnoughMemory;
    case EBUSY:
#ifdef ETXTBSY
    case ETXTBSY:
#endif
    case EWOULDBLOCK:
        return SharingViolation;
    case EEXIST:
        return AlreadyExists;
    case EINVAL:
        return InvalidParameter;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG:
        return DiskFull;
    case ENAMETOOLONG:
        return FilenameExcedRange;
    case ENOEXEC:
        return BadExeFormat;
    case EISDIR:
        return AccessDenied;
    default:
        return 31; // ERROR_GEN_FAILURE
    }
}

std::int32_t lastErrno() noexcept {
    return fromErrno(errno);
}

} // namespace pelorix::win32
