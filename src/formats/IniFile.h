#pragma once

#include "formats/TextEncodings.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace pelorix {

// Our INI engine: reads and writes one value of an INI file the way the Windows profile functions
// (GetPrivateProfileStringA, WritePrivateProfileStringA) do, as pure functions over the file's
// bytes. Names and values inside the program are UTF-8; the file is in the given code page
// (an encoding name such as "CP932", converted by the platform's encodings) and is decoded line by
// line before it is parsed, because a CP932 trail byte can be "[", "]", "\" or an ASCII letter.
//
// Parsing: lines end at CR LF, CR or LF; each line is trimmed of blanks (tab, LF, VT, FF, CR,
// EOF 0x1A, space). A line starting with "[" that holds a "]" is a section header named by the
// text up to its last "]"; a line starting with ";" is a comment; any other line is an entry whose
// name ends at its first "=" (a line without "=" is an entry without a value). Names compare
// without regard to ASCII case. Only the first section of a name and the first entry of a name
// in it count. Lines before the first section header belong to no section.
//
// A file that begins with the UTF-16LE byte order mark is a Unicode INI file: it is read as such
// and written back in UTF-16LE. No other file is ever made Unicode. A UTF-8 byte order mark at the
// start of a file is skipped when reading and kept when writing.

// The value of key in section as GetPrivateProfileStringA copies it into a buffer of bufferSize
// bytes: trimmed, one pair of matching enclosing quotes (" or ') removed, cut at a character
// boundary to at most bufferSize - 1 bytes in the code page. Nothing when the section or key is
// missing or the key's line has no "=" (the caller's default applies then).
std::optional<std::string> readIniValue(std::string_view fileBytes, std::string_view section,
                                        std::string_view key, std::string_view encoding,
                                        const TextEncodings& encodings, std::size_t bufferSize = 256);

// The file's bytes after writing "key=value" into section as WritePrivateProfileStringA does: the
// value of the first entry of that name is replaced (the file's spelling of the key is kept), a
// missing key is added after the section's last entry, a missing section is appended at the end of
// the file with no blank line before it. Only the written or added lines change; every other byte
// stays as it was. Added lines end in CR LF. Nothing when the write is refused: a section, key or
// value holding CR or LF, or a key holding "=" (neither could be read back as written).
std::optional<std::string> writeIniValue(std::string_view fileBytes, std::string_view section,
                                         std::string_view key, std::string_view value,
                                         std::string_view encoding, const TextEncodings& encodings);

} // namespace pelorix
