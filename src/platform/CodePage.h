#pragma once

#include "formats/TextEncodings.h"
#include "formats/Unicode.h"

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

// decodeFrom and encodeTo for the readers of src/formats.
const TextEncodings& codePages() noexcept;

// Bytes that are not valid in the code page decode to EscapeBase + byte.
inline constexpr char32_t EscapeBase = 0xF700;

} // namespace pelorix
