#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace pelorix {

// A run-time error as the program raises it: a number, a description and the name of the
// procedure (or class) that raised it last. Every failure that crosses a procedure boundary
// travels as one of these.
class RuntimeError : public std::exception {
public:
    RuntimeError(std::int32_t number, std::string description, std::string source = {});

    std::int32_t number() const noexcept { return m_number; }
    const std::string& description() const noexcept { return m_description; }
    const std::string& source() const noexcept { return m_source; }
    const char* what() const noexcept override { return m_description.c_str(); }

    // The same error raised again from another procedure.
    RuntimeError withSource(std::string source) const;

private:
    std::int32_t m_number;
    std::string m_description;
    std::string m_source;
};

// Well-known run-time error numbers and their texts as the runtime gives them.
namespace vberr {
inline constexpr std::int32_t InvalidArgument = 5;
inline constexpr std::int32_t OutOfMemory = 7;
inline constexpr std::int32_t SubscriptOutOfRange = 9;
inline constexpr std::int32_t Internal = 51;
inline constexpr std::int32_t BadFileNameOrNumber = 52;
inline constexpr std::int32_t FileNotFound = 53;
inline constexpr std::int32_t DeviceIo = 57;
inline constexpr std::int32_t DiskFull = 61;
inline constexpr std::int32_t PermissionDenied = 70;
inline constexpr std::int32_t PathFileAccess = 75;
inline constexpr std::int32_t PathNotFound = 76;
inline constexpr std::int32_t ObjectNotSet = 91;
inline constexpr std::int32_t CancelSelected = 32755;

// The runtime's description for a number, "" when the program has no text for it.
std::string description(std::int32_t number);

// An error of the given number with the runtime's description.
RuntimeError make(std::int32_t number, std::string source = {});

// The error the runtime's file statements give for the Win32 code of a failed file operation:
// 53 a missing file, 76 a missing path, 70 a file another process holds (sharing violation),
// 75 access denied and any code without a nearer number, 52 a bad file name, 61 a full disk.
RuntimeError fromWin32(std::int32_t win32Code);
} // namespace vberr

// Turns whatever is currently being thrown into a RuntimeError (must be called inside a
// catch block). Standard exceptions map to the nearest runtime error number.
RuntimeError currentAsRuntimeError();

} // namespace pelorix
