#include "formats/XmlText.h"

namespace pelorix {

std::size_t utf8At(std::string_view text, std::size_t i, char32_t& c) noexcept {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        c = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        c = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        c = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        c = lead & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - i < length)
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (next & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    return length;
}

namespace {

// The escaped form of one character, or nothing when it stands for itself.
std::string_view escaped(char32_t c, bool attribute) {
    switch (c) {
    case '&':
        return "&amp;";
    case '<':
        return "&lt;";
    case '>':
        return "&gt;";
    case '"':
        return attribute ? "&quot;" : "";
    case '\n':
        return attribute ? "&#10;" : "";
    case '\r':
        return "&#13;";
    case '\t':
        return attribute ? "&#9;" : "";
    default:
        return c < 0x20 || c == 0xFFFE || c == 0xFFFF ? "\xEF\xBF\xBD" : "";
    }
}

} // namespace

std::string xmlText(std::string_view text, bool attribute) {
    std::string out;
    out.reserve(text.size() + 16);
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = 0;
        const std::size_t length = utf8At(text, i, c);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        const std::string_view replacement = escaped(c, attribute);
        if (replacement.empty())
            out.append(text.substr(i, length));
        else
            out += replacement;
        i += length;
    }
    return out;
}

std::string xmlAttribute(std::string_view name, std::string_view value) {
    return " " + std::string(name) + "=\"" + xmlText(value, true) + "\"";
}

} // namespace pelorix
