#include "platform/NativeFile.h"

#include "platform/Win32Error.h"
#include "platform/linux/PosixApi.h"

#include <cerrno>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace pelorix {

UniqueFile::UniqueFile(NativeFile file) noexcept : m_file(file < 0 ? InvalidNativeFile : file) {}

std::int32_t UniqueFile::closeNativeFile(NativeFile file) noexcept {
    return ::close(file) == 0 ? 0 : win32::lastErrno();
}

std::int32_t writeSome(NativeFile file, std::string_view bytes, std::size_t& written) {
    for (;;) {
        const ssize_t n = ::write(file, bytes.data(), bytes.size());
        if (n >= 0) {
            written = static_cast<std::size_t>(n);
            return 0;
        }
        if (errno != EINTR)
            return win32::lastErrno();
    }
}

std::int32_t readSome(NativeFile file, char* buffer, std::size_t size, std::size_t& got) {
    for (;;) {
        const ssize_t n = ::read(file, buffer, size);
        if (n >= 0) {
            got = static_cast<std::size_t>(n);
            return 0;
        }
        if (errno != EINTR)
            return win32::lastErrno();
    }
}

std::int32_t readSomeAt(NativeFile file, std::uint64_t offset, char* buffer, std::size_t size,
                        std::size_t& got) {
    for (;;) {
        const ssize_t n = ::pread(file, buffer, size, static_cast<off_t>(offset));
        if (n >= 0) {
            got = static_cast<std::size_t>(n);
            return 0;
        }
        if (errno != EINTR)
            return win32::lastErrno();
    }
}

std::int32_t seekFile(NativeFile file, std::int64_t offset, bool fromCurrent) {
    if (::lseek(file, static_cast<off_t>(offset), fromCurrent ? SEEK_CUR : SEEK_SET) >= 0)
        return 0;
    return errno == EINVAL ? win32::NegativeSeek : win32::lastErrno();
}

std::int32_t sizeOfFile(NativeFile file, std::uint64_t& size) {
    struct stat st {};
    if (::fstat(file, &st) != 0)
        return win32::lastErrno();
    size = static_cast<std::uint64_t>(st.st_size);
    return 0;
}

std::int32_t truncateFile(NativeFile file, std::uint64_t size) {
    if (::ftruncate(file, static_cast<off_t>(size)) != 0 ||
        ::lseek(file, static_cast<off_t>(size), SEEK_SET) < 0)
        return win32::lastErrno();
    return 0;
}

std::int32_t flushFile(NativeFile file) {
    // A file that cannot be synchronised (a device) has nothing to flush; any other failure means
    // written data may not have reached the disk.
    if (::fsync(file) == 0 || errno == EINVAL || errno == EROFS)
        return 0;
    return win32::lastErrno();
}

} // namespace pelorix
