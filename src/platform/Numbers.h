#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace pelorix {

// Numbers written as text: settings values, list entries, project-file values and command-line
// numbers are all read here, so every reader accepts and rounds a text the same way, whatever the
// C locale is (the window toolkit sets it from the environment at start-up; "1.5" must never read
// as 1 under a comma-decimal locale).

// Digits with at most one "-" and at most one "." anywhere among them; spaces around are ignored.
bool isNumericText(std::string_view text) noexcept;

// The value of a text isNumericText accepts, else nothing. Its one "-" and one "." may stand
// anywhere among the digits, and the value is read as the runtime converts such a text: ".-5" is
// -0.5, "1-2" is -12. A value beyond the range of double is infinite.
std::optional<double> numberValue(std::string_view text) noexcept;

// Where an integer is needed, the value is rounded half to even, as the runtime converts a number
// to an integer: "0.5" is 0, "1.5" is 2, "1024.7" is 1025. Nothing for a text that is not numeric
// or a value that does not fit.
std::optional<std::int32_t> longValue(std::string_view text) noexcept;
std::optional<std::int16_t> integerValue(std::string_view text) noexcept;

} // namespace pelorix
