#include "formats/QuotedText.h"

#include "formats/XmlText.h"

#include <cstdio>

namespace pelorix {

namespace {

constexpr char32_t Replacement = 0xFFFD;

std::string hexEscape(const char* format, char32_t c) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, format, static_cast<unsigned>(c));
    return buffer;
}

// Calls each(c, bytes) for every character and its UTF-8 bytes: U+FFFD for a byte that starts no
// UTF-8 sequence.
template <typename Each>
void forEachCharacter(std::string_view text, Each each) {
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = 0;
        const std::size_t length = utf8At(text, i, c);
        if (length == 0)
            each(Replacement, std::string_view("\xEF\xBF\xBD"));
        else
            each(c, text.substr(i, length));
        i += length == 0 ? 1 : length;
    }
}

std::string commonEscape(char32_t c) {
    switch (c) {
    case '\\':
        return "\\\\";
    case '"':
        return "\\\"";
    case '\n':
        return "\\n";
    case '\r':
        return "\\r";
    case '\t':
        return "\\t";
    default:
        return {};
    }
}

} // namespace

std::string yamlQuoted(std::string_view text) {
    std::string out = "\"";
    forEachCharacter(text, [&out](char32_t c, std::string_view bytes) {
        if (std::string escape = commonEscape(c); !escape.empty())
            out += escape;
        else if (c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F))
            out += hexEscape("\\x%02X", c);
        else if (c == 0x2028 || c == 0x2029 || c == 0xFEFF)
            out += hexEscape("\\u%04X", c);
        else
            out += bytes;
    });
    return out + "\"";
}

std::string jsonQuoted(std::string_view text) {
    std::string out = "\"";
    forEachCharacter(text, [&out](char32_t c, std::string_view bytes) {
        if (std::string escape = commonEscape(c); !escape.empty())
            out += escape;
        else if (c < 0x20)
            out += hexEscape("\\u%04X", c);
        else
            out += bytes;
    });
    return out + "\"";
}

std::string shellQuoted(std::string_view text) {
    std::string out = "'";
    for (const char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string powerShellQuoted(std::string_view text) {
    std::string out = "'";
    forEachCharacter(text, [&out](char32_t c, std::string_view bytes) {
        out += bytes;
        // PowerShell takes the typographic single quotes for "'" too.
        if (c == '\'' || (c >= 0x2018 && c <= 0x201B))
            out += bytes;
    });
    return out + "'";
}

} // namespace pelorix
