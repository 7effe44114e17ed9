#include "platform/CFFile.h"

#include "platform/ErrorLog.h"
#include "platform/HostFile.h"
#include "platform/RuntimeError.h"
#include "platform/Win32Error.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace pelorix {
namespace {

// Records the Win32 code of the current errno as the thread's last error and returns it.
std::int32_t setLastErrorFromErrno() noexcept {
    const std::int32_t code = win32::fromErrno(errno);
    SetLastError(code);
    return code;
}

} // namespace

void CFFile::closeHandle() noexcept {
    if (m_handle != InvalidHandle) {
        ::close(m_handle); // also releases the lock that keeps other openers out
        m_handle = InvalidHandle;
    }
}

void CFFile::OpenFile(std::string_view path) {
    constexpr std::string_view op = "OpenFile";
    const std::string host = hostPathToOpen(op, path);
    const int fd = ::open(host.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        // With a file that is created when missing, a missing name can only be a missing folder.
        SetLastError(errno == ENOENT ? win32::PathNotFound : win32::fromErrno(errno));
        fail(op, win32::AccessDenied);
    }
    auto reject = [&](std::int32_t code) {
        ::close(fd);
        SetLastError(code);
        fail(op, code);
    };
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        reject(win32::fromErrno(errno));
    // A file without any write permission is a read-only file; refuse it even where the
    // superuser's open would succeed, as the read-only attribute does.
    if (S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0)
        reject(win32::AccessDenied);
    // No sharing: the exclusive lock belongs to this open file description, so another open of the
    // same file, in this process or another, cannot take it while this one holds it.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        reject(errno == EWOULDBLOCK ? win32::SharingViolation : win32::fromErrno(errno));

    m_handle = fd;
    m_strFileName = std::string(path);
}

std::vector<std::uint8_t> CFFile::ReadBytes(std::int32_t count) {
    requireOpen("ReadBytes");
    // An array of no elements cannot be made; this error is the caller's, not logged here.
    if (count < 1)
        throw vberr::make(vberr::SubscriptOutOfRange);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count), 0);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(m_handle, bytes.data() + done, bytes.size() - done);
        if (n == 0)
            break; // end of file: the rest stays zero
        if (n < 0) {
            if (errno == EINTR)
                continue;
            setLastErrorFromErrno();
            fail("ReadBytes", win32::InvalidHandle);
        }
        done += static_cast<std::size_t>(n);
    }
    return bytes;
}

void CFFile::Flush() {
    requireOpen("Flush");
    // A file that cannot be synchronised (a device) has nothing to flush; any other failure means
    // written data may not have reached the disk and is reported.
    if (::fsync(m_handle) != 0 && errno != EINVAL && errno != EROFS) {
        const std::int32_t code = setLastErrorFromErrno();
        fail("Flush", code);
    }
}

void CFFile::SeekAbsolute(std::int32_t high, std::int32_t low) {
    requireOpen("SeekAbsolute");
    const std::int64_t position = static_cast<std::int64_t>(
        static_cast<std::uint64_t>(static_cast<std::uint32_t>(high)) << 32 | static_cast<std::uint32_t>(low));
    // The result is not checked, as callers expect; a refused position leaves its code behind.
    if (::lseek(m_handle, static_cast<off_t>(position), SEEK_SET) < 0)
        SetLastError(errno == EINVAL ? win32::NegativeSeek : win32::fromErrno(errno));
}

void CFFile::SeekRelative(std::int32_t offset) {
    requireOpen("SeekRelative");
    if (::lseek(m_handle, static_cast<off_t>(offset), SEEK_CUR) < 0) {
        const std::int32_t code = errno == EINVAL ? win32::NegativeSeek : win32::fromErrno(errno);
        SetLastError(code);
        fail("SeekRelative", code);
    }
}

std::int32_t CFFile::FileSize() {
    // No test for an open file: on a closed object the platform call itself fails.
    struct stat st {};
    if (::fstat(m_handle, &st) != 0) {
        const std::int32_t code = setLastErrorFromErrno();
        fail("FileSize", code);
    }
    // A size that does not fit a signed 32-bit number always fails; taking only its low part
    // would report a 4 GiB + 100 byte file as 100 bytes.
    if (st.st_size > INT32_MAX) {
        SetLastError(win32::InvalidParameter);
        fail("FileSize", win32::InvalidParameter);
    }
    return static_cast<std::int32_t>(st.st_size);
}

} // namespace pelorix
