#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace pelorix {

// A file as the system hands it out, at this layer's boundary: a descriptor on Linux, a HANDLE on
// Windows (other objects the system gives as such, a pipe or a process, travel the same way).
// Only the system's part of the platform layer looks inside one; shared code passes it on.
#ifdef _WIN32
using NativeFile = void*;
inline constexpr NativeFile InvalidNativeFile = nullptr;
#else
using NativeFile = int;
inline constexpr NativeFile InvalidNativeFile = -1;
#endif

// A native file owned by one object and closed when it goes away.
class UniqueFile {
public:
    // Takes the file; one the system calls invalid (on Windows also INVALID_HANDLE_VALUE) is none.
    explicit UniqueFile(NativeFile file = InvalidNativeFile) noexcept;
    ~UniqueFile() { reset(); }
    UniqueFile(UniqueFile&& other) noexcept : m_file(std::exchange(other.m_file, InvalidNativeFile)) {}
    UniqueFile& operator=(UniqueFile&& other) noexcept {
        if (this != &other) {
            reset();
            m_file = std::exchange(other.m_file, InvalidNativeFile);
        }
        return *this;
    }
    UniqueFile(const UniqueFile&) = delete;
    UniqueFile& operator=(const UniqueFile&) = delete;

    NativeFile get() const noexcept { return m_file; }
    bool valid() const noexcept { return m_file != InvalidNativeFile; }
    explicit operator bool() const noexcept { return valid(); }
    NativeFile release() noexcept { return std::exchange(m_file, InvalidNativeFile); }
    void reset() noexcept {
        if (valid())
            closeNativeFile(std::exchange(m_file, InvalidNativeFile));
    }
    // Closes now and reports a failure of the close itself (full disks and network folders report
    // late): 0 or the Win32 code.
    std::int32_t close() noexcept {
        return valid() ? closeNativeFile(std::exchange(m_file, InvalidNativeFile)) : 0;
    }

private:
    static std::int32_t closeNativeFile(NativeFile file) noexcept;

    NativeFile m_file;
};

// Writes all of the bytes at the file's position (its end for a file opened to append), again
// after a short write: the one write loop of the program. 0 or the Win32 code of the failure,
// 112 when the disk is full.
std::int32_t writeAll(NativeFile file, std::string_view bytes);

// The file's first bytes, up to limit (the whole file when it is shorter), read where they lie
// whatever the file's position; what was read before a failure.
std::string readFileStart(NativeFile file, std::size_t limit);

// Each system's part. Codes are Win32 codes, 0 when done.

// One write of the system at the file's position: how many of the bytes it took.
std::int32_t writeSome(NativeFile file, std::string_view bytes, std::size_t& written);
// One read of the system at the file's position, or at an offset (leaving no position behind on
// Linux): how many bytes it gave, 0 at the end of the file.
std::int32_t readSome(NativeFile file, char* buffer, std::size_t size, std::size_t& got);
std::int32_t readSomeAt(NativeFile file, std::uint64_t offset, char* buffer, std::size_t size,
                        std::size_t& got);
// Moves the file's position to offset, from its start or from where it is (131 before the start).
std::int32_t seekFile(NativeFile file, std::int64_t offset, bool fromCurrent);
// The file's size in bytes.
std::int32_t sizeOfFile(NativeFile file, std::uint64_t& size);
// Cuts the file at size; the next write goes there.
std::int32_t truncateFile(NativeFile file, std::uint64_t size);
// Puts what was written to the file on the disk; a file that cannot be put there (a device) has
// nothing to flush.
std::int32_t flushFile(NativeFile file);

} // namespace pelorix
