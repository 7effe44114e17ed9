#pragma once

#include "formats/AsciiCase.h"

#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

// Small text helpers on UTF-8 strings; the case-blind comparisons of formats/AsciiCase.h come with
// them.

// Whether text holds what anywhere (exact, case-sensitive; an empty what is always held).
constexpr bool contains(std::string_view text, std::string_view what) noexcept {
    return text.find(what) != std::string_view::npos;
}

// Removes leading and trailing space characters (only the space, as VB's Trim does).
std::string_view trimSpaces(std::string_view s) noexcept;
// Removes leading and trailing white space (tab, CR, LF, space ...).
std::string_view trimWhite(std::string_view s) noexcept;
// Removes trailing blanks (spaces and tabs), as a path given in a line ends before them.
std::string_view trimTrailingBlanks(std::string_view s) noexcept;

// Replaces every occurrence of what by with (exact match); an empty what leaves s unchanged.
std::string replaceAll(std::string_view s, std::string_view what, std::string_view with);

// The UTF-8 text with every control character (C0, DEL, C1, the Unicode line and paragraph
// separators) as one space: a compiler log's line shown in the window neither draws as garbage nor
// breaks in two, and written to a terminal it can neither move the cursor nor change colours.
std::string withoutControlCharacters(std::string_view text);

// Splits at every occurrence of the separator (an empty text gives one empty piece).
std::vector<std::string> split(std::string_view s, char separator);

// The raw lines of a text file's bytes. A line ends at CR LF, at CR or at a lone LF; the line
// end is not part of the line. A final line end does not start another (empty) line.
std::vector<std::string_view> splitLines(std::string_view bytes);

} // namespace pelorix
