#include "formats/QuotedText.h"

#include "formats/XmlText.h"

#include <cstdio>

namespace pelorix {

namespace {

constexpr char32_t Replacement = 0xFFFD;

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string hexEscape(const char* format, char32_t c) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, format, static_cast<unsigned>(c));
    return buffer;
}

// Calls each(c) for every character, U+FFFD for a byte that starts no UTF-8 sequence.
template <typename Each>
void forEachCharacter(std::string_view text, Each each) {
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = 0;
        const std::size_t length = utf8At(text, i, c);
        each(length == 0 ? Replacement : c);
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
    forEachCharacter(text, [&out](char32_t c) {
        if (std::string escape = commonEscape(c); !escape.empty())
            out += escape;
        else if (c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F))
            out += hexEscape("\\x%02X", c);
        else if (c == 0x2028 || c == 0x2029 || c == 0xFEFF)
            out += hexEscape("\\u%04X", c);
        else
            appendUtf8(out, c);
    });
    return out + "\"";
}

std::string jsonQuoted(std::string_view text) {
    std::string out = "\"";
    forEachCharacter(text, [&out](char32_t c) {
        if (std::string escape = commonEscape(c); !escape.empty())
            out += escape;
        else if (c < 0x20)
            out += hexEscape("\\u%04X", c);
        else
            appendUtf8(out, c);
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
    forEachCharacter(text, [&out](char32_t c) {
        appendUtf8(out, c);
        // PowerShell takes the typographic single quotes for "'" too.
        if (c == '\'' || (c >= 0x2018 && c <= 0x201B))
            appendUtf8(out, c);
    });
    return out + "'";
}

} // namespace pelorix
