#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelorix {

// UTF-8, the program's own text, as bytes.

// Appends a code point to UTF-8 text.
void appendUtf8(std::string& out, char32_t c);

// The length of the UTF-8 sequence that starts at text[i], its code point in c; 0 when no
// well-formed sequence starts there (text that came from outside may hold any bytes).
std::size_t utf8SequenceAt(std::string_view text, std::size_t i, char32_t& c) noexcept;

// True when the text holds only ASCII characters (the same bytes in every code page we use).
bool isAscii(std::string_view text) noexcept;

} // namespace pelorix
