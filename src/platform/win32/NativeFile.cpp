#include "platform/NativeFile.h"

#include "platform/win32/WindowsApi.h"

#include <algorithm>

namespace pelorix {

UniqueFile::UniqueFile(NativeFile file) noexcept : m_file(file == INVALID_HANDLE_VALUE ? nullptr : file) {}

std::int32_t UniqueFile::closeNativeFile(NativeFile file) noexcept {
    return ::CloseHandle(file) != 0 ? 0 : winapi::lastError();
}

std::int32_t writeSome(NativeFile file, std::string_view bytes, std::size_t& written) {
    // One call takes at most what a DWORD counts; the loop of writeAll writes the rest.
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD done = 0;
    if (::WriteFile(file, bytes.data(), chunk, &done, nullptr) == 0)
        return winapi::lastError();
    written = done;
    return 0;
}

std::int32_t readSome(NativeFile file, char* buffer, std::size_t size, std::size_t& got) {
    DWORD done = 0;
    got = 0;
    if (::ReadFile(file, buffer, static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30)), &done, nullptr) ==
        0)
        return winapi::lastError();
    got = done;
    return 0;
}

std::int32_t readSomeAt(NativeFile file, std::uint64_t offset, char* buffer, std::size_t size,
                        std::size_t& got) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD done = 0;
    got = 0;
    if (::ReadFile(file, buffer, static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30)), &done, &at) == 0)
        return ::GetLastError() == ERROR_HANDLE_EOF ? 0 : winapi::lastError();
    got = done;
    return 0;
}

std::int32_t seekFile(NativeFile file, std::int64_t offset, bool fromCurrent) {
    LARGE_INTEGER distance{};
    distance.QuadPart = offset;
    return ::SetFilePointerEx(file, distance, nullptr, fromCurrent ? FILE_CURRENT : FILE_BEGIN) != 0
               ? 0
               : winapi::lastError();
}

std::int32_t sizeOfFile(NativeFile file, std::uint64_t& size) {
    LARGE_INTEGER length{};
    if (::GetFileSizeEx(file, &length) == 0)
        return winapi::lastError();
    size = static_cast<std::uint64_t>(length.QuadPart);
    return 0;
}

std::int32_t truncateFile(NativeFile file, std::uint64_t size) {
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(size);
    if (::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) == 0 || ::SetEndOfFile(file) == 0)
        return winapi::lastError();
    return 0;
}

std::int32_t flushFile(NativeFile file) {
    return ::FlushFileBuffers(file) != 0 ? 0 : winapi::lastError();
}

} // namespace pelorix
