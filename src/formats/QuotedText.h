#pragma once

#include <string>
#include <string_view>

namespace pelorix {

// Strings of UTF-8 text quoted for the files a CI engine reads. Bytes that are no UTF-8 become
// U+FFFD, so that every file written is valid text whatever a project file held.

// A YAML double-quoted scalar: "\" and "\"" escaped, every control character, the characters a
// YAML 1.1 reader takes for line breaks (U+0085, U+2028, U+2029) and the byte-order mark as escapes,
// so that the text reads back exactly, as a string, never as a number, a boolean or null.
std::string yamlQuoted(std::string_view text);

// A JSON string: "\" and "\"" escaped, control characters as \n, \t ... or \u00XX.
std::string jsonQuoted(std::string_view text);

// A word for a POSIX shell: the text between single quotes ("'" written '\''), so that the shell
// takes it as one argument, with no expansion of any kind.
std::string shellQuoted(std::string_view text);

// A word for PowerShell: the text between single quotes (each single quote doubled, the
// typographic ones too, which PowerShell also takes for quotes), no expansion.
std::string powerShellQuoted(std::string_view text);

} // namespace pelorix
