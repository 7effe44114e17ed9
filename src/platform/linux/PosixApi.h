#pragma once

// What the Linux parts of the platform layer share: the Win32 codes of the system's errno values.

#include <cstdint>

namespace pelorix::win32 {

// The Win32 code for an errno value.
std::int32_t fromErrno(int err) noexcept;

// The Win32 code for the thread's errno.
std::int32_t lastErrno() noexcept;

} // namespace pelorix::win32
