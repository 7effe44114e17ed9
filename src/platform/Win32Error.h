#pragma once

#include <cstdint>
#include <string>

namespace pelorix {

// The Win32 error codes the program speaks on both systems (the Linux parts translate the
// system's errno values into them), and their system texts.
namespace win32 {
inline constexpr std::int32_t Success = 0;
inline constexpr std::int32_t FileNotFound = 2;
inline constexpr std::int32_t PathNotFound = 3;
inline constexpr std::int32_t AccessDenied = 5;
inline constexpr std::int32_t InvalidHandle = 6;
inline constexpr std::int32_t NotEnoughMemory = 8;
inline constexpr std::int32_t SharingViolation = 32;
inline constexpr std::int32_t FileExists = 80;
inline constexpr std::int32_t InvalidParameter = 87;
inline constexpr std::int32_t OpenFailed = 110; // not a file that can be opened as one (a FIFO, a device)
inline constexpr std::int32_t DiskFull = 112;
inline constexpr std::int32_t InvalidName = 123;
inline constexpr std::int32_t NegativeSeek = 131;
inline constexpr std::int32_t AlreadyExists = 183;
inline constexpr std::int32_t BadExeFormat = 193;
inline constexpr std::int32_t FilenameExcedRange = 206;
inline constexpr std::int32_t MoreData = 234;
inline constexpr std::int32_t NoMoreItems = 259;
inline constexpr std::int32_t Directory = 267;

// The system's message text for a code, as Japanese Windows prints it (FormatMessage with the
// system table, one line); "" when the code is not in the table.
std::string systemMessage(std::int32_t code);
} // namespace win32

// The Win32 error code the last failed call of this thread left, as GetLastError gives it.
std::int32_t GetLastError() noexcept;
void SetLastError(std::int32_t code) noexcept;

} // namespace pelorix
