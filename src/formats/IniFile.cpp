#include "formats/IniFile.h"

#include "formats/AsciiCase.h"
#include "formats/Unicode.h"

#include <vector>

namespace pelorix {
namespace {

// The code page a file is read and written in, with the platform's conversions. ASCII is the same
// in every code page the engine reads, so most lines need none.
struct CodePageOf {
    const TextEncodings& encodings;
    std::string_view encoding;

    std::string decode(std::string_view bytes) const {
        return isAscii(bytes) ? std::string(bytes) : encodings.decode(encoding, bytes);
    }
    std::string encode(std::string_view text) const {
        return isAscii(text) ? std::string(text) : encodings.encode(encoding, text);
    }
};

// One line of the file's bytes: its text is [begin, end), its line end [end, next).
struct RawLine {
    std::size_t begin;
    std::size_t end;
    std::size_t next;
};

std::vector<RawLine> rawLines(std::string_view bytes) {
    std::vector<RawLine> lines;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            lines.push_back({pos, bytes.size(), bytes.size()});
            break;
        }
        const std::size_t next =
            bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n' ? end + 2 : end + 1;
        lines.push_back({pos, end, next});
        pos = next;
    }
    return lines;
}

// The blanks the profile functions trim: tab to CR, the DOS end-of-file mark and space.
constexpr bool isBlank(char c) noexcept {
    return (c >= '\t' && c <= '\r') || c == '\x1a' || c == ' ';
}

std::string_view trimBlanks(std::string_view s) noexcept {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

enum class LineKind { Blank, Comment, Section, Entry };

// A line decoded and classified. For a section, name is its name; for an entry, name is the key
// and value the trimmed text after "=" (nothing when the line has no "=").
struct ParsedLine {
    LineKind kind = LineKind::Blank;
    std::string name;
    std::optional<std::string> value;
};

ParsedLine parseLine(std::string_view raw, const CodePageOf& code) {
    ParsedLine parsed;
    // Blanks, "[" and ";" are single bytes in every code page we read, so the kind of a line can
    // be told before it is decoded; names and values are taken only from decoded text.
    const std::string_view rawTrimmed = trimBlanks(raw);
    if (rawTrimmed.empty())
        return parsed;
    if (rawTrimmed.front() == ';') {
        parsed.kind = LineKind::Comment;
        return parsed;
    }
    const std::string text = code.decode(rawTrimmed);
    const std::string_view line = trimBlanks(text);
    if (line.front() == '[') {
        if (const auto close = line.rfind(']'); close != std::string_view::npos) {
            parsed.kind = LineKind::Section;
            parsed.name = trimBlanks(line.substr(1, close - 1));
            return parsed;
        }
    }
    parsed.kind = LineKind::Entry;
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) {
        parsed.name = line;
        return parsed;
    }
    parsed.name = trimBlanks(line.substr(0, eq));
    parsed.value = std::string(trimBlanks(line.substr(eq + 1)));
    return parsed;
}

// Where a section and a key were found: the index of the header line (or nothing) and of the
// key's line (or nothing), and the index of the line after which a new key belongs.
struct Location {
    std::optional<std::size_t> section;
    std::optional<std::size_t> key;
    std::optional<std::string> keyValue; // the key line's decoded value, when it has "="
    std::size_t lastEntry = 0;
};

Location locate(std::string_view bytes, const std::vector<RawLine>& lines, std::string_view section,
                std::string_view key, const CodePageOf& code) {
    Location where;
    const std::string_view wantSection = trimBlanks(section);
    const std::string_view wantKey = trimBlanks(key);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto& raw = lines[i];
        // Outside the wanted section only headers matter, and a header starts with "[".
        const std::string_view rawTrimmed = trimBlanks(bytes.substr(raw.begin, raw.end - raw.begin));
        if (!where.section && (rawTrimmed.empty() || rawTrimmed.front() != '['))
            continue;
        const ParsedLine line = parseLine(bytes.substr(raw.begin, raw.end - raw.begin), code);
        if (line.kind == LineKind::Section) {
            if (where.section)
                break; // only the first section of the name is searched
            if (equalsIgnoreCase(line.name, wantSection)) {
                where.section = i;
                where.lastEntry = i;
            }
            continue;
        }
        if (!where.section || line.kind != LineKind::Entry)
            continue;
        where.lastEntry = i;
        if (equalsIgnoreCase(line.name, wantKey)) {
            where.key = i;
            where.keyValue = line.value;
            break;
        }
    }
    return where;
}

std::string stripEnclosingQuotes(std::string value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// Length of the UTF-8 character starting at s[i] (1 for a stray byte).
std::size_t utf8Length(std::string_view s, std::size_t i) noexcept {
    const auto b = static_cast<unsigned char>(s[i]);
    const std::size_t len = b < 0x80           ? 1
                            : (b >> 5) == 0x6  ? 2
                            : (b >> 4) == 0xE  ? 3
                            : (b >> 3) == 0x1E ? 4
                                               : 1;
    return i + len <= s.size() ? len : 1;
}

// The longest leading part of value whose bytes in the code page fit in maxBytes, ending at a
// character boundary.
std::string fitToBytes(std::string value, const CodePageOf& code, std::size_t maxBytes) {
    if (value.size() <= maxBytes && isAscii(value))
        return value;
    if (code.encode(value).size() <= maxBytes)
        return value;
    std::size_t used = 0;
    std::size_t i = 0;
    while (i < value.size()) {
        const std::size_t len = utf8Length(value, i);
        const std::size_t bytes = code.encode(std::string_view(value).substr(i, len)).size();
        if (used + bytes > maxBytes)
            break;
        used += bytes;
        i += len;
    }
    value.resize(i);
    return value;
}

bool holdsLineEnd(std::string_view s) noexcept {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

// Reads from text in fileEncoding; the buffer counts bytes in bufferEncoding (the code page of
// the caller, which differs for a Unicode file).
std::optional<std::string> readValue(std::string_view fileBytes, std::string_view section,
                                     std::string_view key, const CodePageOf& fileCode,
                                     const CodePageOf& bufferCode, std::size_t bufferSize) {
    const auto lines = rawLines(fileBytes);
    const Location where = locate(fileBytes, lines, section, key, fileCode);
    if (!where.key || !where.keyValue)
        return std::nullopt;
    if (bufferSize == 0)
        return std::string();
    return fitToBytes(stripEnclosingQuotes(*where.keyValue), bufferCode, bufferSize - 1);
}

std::optional<std::string> writeValue(std::string_view fileBytes, std::string_view section,
                                      std::string_view key, std::string_view value, const CodePageOf& code) {
    const auto lines = rawLines(fileBytes);
    const Location where = locate(fileBytes, lines, section, key, code);
    const std::string encodedValue = code.encode(value);
    std::string out;
    out.reserve(fileBytes.size() + section.size() + key.size() + value.size() + 8);

    if (where.key) {
        // "=" and blanks are never part of a multi-byte character in the code pages we read, so
        // the key's own bytes and the old value's bytes can be taken from the raw line.
        const RawLine& line = lines[*where.key];
        const std::string_view rawLine = fileBytes.substr(line.begin, line.end - line.begin);
        const auto eq = rawLine.find('=');
        if (eq != std::string_view::npos && trimBlanks(rawLine.substr(eq + 1)) == encodedValue)
            return std::string(fileBytes); // the same value again changes nothing
        out.append(fileBytes.substr(0, line.begin));
        out += trimBlanks(rawLine.substr(0, eq)); // the file's spelling of the key
        out += '=';
        out += encodedValue;
        out.append(fileBytes.substr(line.end)); // the line keeps its own line end
        return out;
    }

    const std::string newKeyLine = code.encode(trimBlanks(key)) + "=" + encodedValue + "\r\n";
    if (where.section) {
        const RawLine& after = lines[where.lastEntry];
        out.append(fileBytes.substr(0, after.next));
        if (after.next == after.end) // the file's last line had no line end: give it one
            out += "\r\n";
        out += newKeyLine;
        out.append(fileBytes.substr(after.next));
        return out;
    }

    out.append(fileBytes);
    if (!fileBytes.empty() && fileBytes.back() != '\r' && fileBytes.back() != '\n')
        out += "\r\n";
    out += "[";
    out += code.encode(trimBlanks(section));
    out += "]\r\n";
    out += newKeyLine;
    return out;
}

// A file that starts with the UTF-16LE byte order mark is a Unicode INI file. It is worked on as
// UTF-8 text and written back in UTF-16LE; the conversion keeps every code unit, unpaired
// surrogates included (they travel as three-byte sequences), so untouched lines stay as they were.
constexpr std::string_view kUtf16Mark = "\xFF\xFE";

std::string utf16ToText(std::string_view units) {
    std::string text;
    text.reserve(units.size());
    auto unitAt = [&](std::size_t i) {
        return static_cast<char32_t>(static_cast<unsigned char>(units[i]) |
                                     static_cast<unsigned char>(units[i + 1]) << 8);
    };
    for (std::size_t i = 0; i + 1 < units.size(); i += 2) {
        char32_t c = unitAt(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < units.size()) {
            const char32_t low = unitAt(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        appendUtf8(text, c); // a lone surrogate too, as its three bytes
    }
    return text;
}

std::string textToUtf16(std::string_view text) {
    std::string units;
    units.reserve(text.size() * 2);
    auto put = [&](char32_t u) {
        units += static_cast<char>(u & 0xFF);
        units += static_cast<char>(u >> 8);
    };
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        const std::size_t len = utf8Length(text, i);
        char32_t c = len == 1 ? b0 : len == 2 ? (b0 & 0x1F) : len == 3 ? (b0 & 0x0F) : (b0 & 0x07);
        bool valid = len > 1 || b0 < 0x80;
        for (std::size_t k = 1; k < len && valid; ++k) {
            const auto b = static_cast<unsigned char>(text[i + k]);
            valid = (b & 0xC0) == 0x80;
            c = (c << 6) | (b & 0x3F);
        }
        i += valid ? len : 1;
        if (!valid)
            put(u'?');
        else if (c >= 0x10000) {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put(c);
        }
    }
    return units;
}

} // namespace

// A UTF-8 byte order mark that an editor put at the start of the file is no part of the first
// line: it is skipped when reading and kept, unchanged, when writing.
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

std::optional<std::string> readIniValue(std::string_view fileBytes, std::string_view section,
                                        std::string_view key, std::string_view encoding,
                                        const TextEncodings& encodings, std::size_t bufferSize) {
    const CodePageOf code{encodings, encoding};
    // What follows a UTF-8 mark is read as the ANSI file it is, as writeIniValue writes it.
    if (fileBytes.starts_with(kUtf8Mark))
        return readValue(fileBytes.substr(kUtf8Mark.size()), section, key, code, code, bufferSize);
    if (fileBytes.starts_with(kUtf16Mark))
        return readValue(utf16ToText(fileBytes.substr(kUtf16Mark.size())), section, key,
                         CodePageOf{encodings, "UTF-8"}, code, bufferSize);
    return readValue(fileBytes, section, key, code, code, bufferSize);
}

std::optional<std::string> writeIniValue(std::string_view fileBytes, std::string_view section,
                                         std::string_view key, std::string_view value,
                                         std::string_view encoding, const TextEncodings& encodings) {
    const CodePageOf code{encodings, encoding};
    if (holdsLineEnd(section) || holdsLineEnd(key) || holdsLineEnd(value) ||
        key.find('=') != std::string_view::npos)
        return std::nullopt;
    if (fileBytes.starts_with(kUtf8Mark)) {
        const auto written = writeValue(fileBytes.substr(kUtf8Mark.size()), section, key, value, code);
        if (!written)
            return std::nullopt;
        return std::string(kUtf8Mark) + *written;
    }
    if (!fileBytes.starts_with(kUtf16Mark))
        return writeValue(fileBytes, section, key, value, code);
    const std::string_view units = fileBytes.substr(kUtf16Mark.size());
    const auto written = writeValue(utf16ToText(units), section, key, value, CodePageOf{encodings, "UTF-8"});
    if (!written)
        return std::nullopt;
    // A stray last byte (an odd length) stays where it was.
    return std::string(kUtf16Mark) + textToUtf16(*written) +
           std::string(units.substr(units.size() & ~std::size_t{1}));
}

} // namespace pelorix
