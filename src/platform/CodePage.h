#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pelorix {

// Conversion between the program's UTF-8 text and the ANSI code page of the files it reads and
// writes (CP932 unless PELORIX_CODEPAGE names another encoding: an iconv name on Linux, "CPnnn" or
// a code page number on Windows).
//
// Decoding never fails and never loses a byte: a byte that is not valid in the code page becomes
// the private-use character U+F700 + byte, which encoding turns back into that same byte. A
// character that the code page cannot hold is written as "?", as Windows does.

// Why the code page PELORIX_CODEPAGE names cannot be used (its name and value, and the code pages
// that work), or nothing when it can (or is not set). A conversion in such a code page raises
// error 5 with this text.
std::optional<std::string> codePageProblem();

std::string ansiToUtf8(std::string_view bytes);
std::string utf8ToAnsi(std::string_view text);

// The same with an explicit encoding name.
std::string decodeFrom(std::string_view encoding, std::string_view bytes);
std::string encodeTo(std::string_view encoding, std::string_view text);

// Bytes that are not valid in the code page decode to EscapeBase + byte.
inline constexpr char32_t EscapeBase = 0xF700;

// Appends a code point to UTF-8 text.
void appendUtf8(std::string& out, char32_t c);

// The length of the UTF-8 sequence that starts at text[i], its code point in c; 0 when no
// well-formed sequence starts there (text that came from outside may hold any bytes).
std::size_t utf8SequenceAt(std::string_view text, std::size_t i, char32_t& c) noexcept;

// True when the text holds only ASCII characters (the same bytes in every code page we use).
bool isAscii(std::string_view text) noexcept;

} // namespace pelorix
