#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelorix {

// Case folding of UTF-8 text as the system's names compare: ASCII letters only, which is safe on
// UTF-8 (every byte of a multi-byte character is 0x80 or above).

constexpr char toUpperAscii(char c) noexcept {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}
constexpr char toLowerAscii(char c) noexcept {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

std::string toUpper(std::string_view s);
std::string toLower(std::string_view s);
bool equalsIgnoreCase(std::string_view a, std::string_view b) noexcept;
bool startsWithIgnoreCase(std::string_view s, std::string_view prefix) noexcept;
bool endsWithIgnoreCase(std::string_view s, std::string_view suffix) noexcept;
// Position of needle in haystack comparing ASCII letters without case, or npos.
std::size_t findIgnoreCase(std::string_view haystack, std::string_view needle, std::size_t from = 0) noexcept;
// Negative, zero or positive like strcmp, comparing ASCII letters without case.
int compareIgnoreCase(std::string_view a, std::string_view b) noexcept;

} // namespace pelorix
