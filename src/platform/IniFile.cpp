#include "platform/IniFile.h"

#include "platform/CodePage.h"
#include "platform/Text.h"

#include <vector>

namespace pelorix {
namespace {

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

ParsedLine parseLine(std::string_view raw, std::string_view encoding) {
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
    const std::string text = decodeFrom(encoding, rawTrimmed);
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
                std::string_view key, std::string_view encoding) {
    Location where;
    const std::string_view wantSection = trimBlanks(section);
    const std::string_view wantKey = trimBlanks(key);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto& raw = lines[i];
        // Outside the wanted section only headers matter, and a header starts with "[".
        const std::string_view rawTrimmed = trimBlanks(bytes.substr(raw.begin, raw.end - raw.begin));
        if (!where.section && (rawTrimmed.empty() || rawTrimmed.front() != '['))
            continue;
        const ParsedLine line = parseLine(bytes.substr(raw.begin, raw.end - raw.begin), encoding);
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
std::string fitToBytes(std::string value, std::string_view encoding, std::size_t maxBytes) {
    if (value.size() <= maxBytes && isAscii(value))
        return value;
    if (encodeTo(encoding, value).size() <= maxBytes)
        return value;
    std::size_t used = 0;
    std::size_t i = 0;
    while (i < value.size()) {
        const std::size_t len = utf8Length(value, i);
        const std::size_t bytes = encodeTo(encoding, std::string_view(value).substr(i, len)).size();
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

} // namespace

std::optional<std::string> readIniValue(std::string_view fileBytes, std::string_view section,
                                        std::string_view key, std::string_view encoding,
                                        std::size_t bufferSize) {
    const auto lines = rawLines(fileBytes);
    const Location where = locate(fileBytes, lines, section, key, encoding);
    if (!where.key || !where.keyValue)
        return std::nullopt;
    if (bufferSize == 0)
        return std::string();
    return fitToBytes(stripEnclosingQuotes(*where.keyValue), encoding, bufferSize - 1);
}

std::optional<std::string> writeIniValue(std::string_view fileBytes, std::string_view section,
                                         std::string_view key, std::string_view value,
                                         std::string_view encoding) {
    if (holdsLineEnd(section) || holdsLineEnd(key) || holdsLineEnd(value) ||
        key.find('=') != std::string_view::npos)
        return std::nullopt;
    const auto lines = rawLines(fileBytes);
    const Location where = locate(fileBytes, lines, section, key, encoding);
    const std::string encodedValue = encodeTo(encoding, value);
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

    const std::string newKeyLine = encodeTo(encoding, trimBlanks(key)) + "=" + encodedValue + "\r\n";
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
    out += encodeTo(encoding, trimBlanks(section));
    out += "]\r\n";
    out += newKeyLine;
    return out;
}

} // namespace pelorix
