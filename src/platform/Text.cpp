#include "platform/Text.h"

namespace pelorix {

std::string_view trimSpaces(std::string_view s) noexcept {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(' ');
    return s.substr(first, last - first + 1);
}

std::string_view trimWhite(std::string_view s) noexcept {
    constexpr std::string_view white = " \t\r\n\v\f";
    const auto first = s.find_first_not_of(white);
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(white);
    return s.substr(first, last - first + 1);
}

std::string withoutControlCharacters(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = [&](std::size_t at) {
            return at < text.size() ? static_cast<unsigned char>(text[at]) : 0;
        };
        const unsigned char b = byte(i);
        if (b < 0x20 || b == 0x7F) {
            out += ' ';
        } else if (b == 0xC2 && byte(i + 1) >= 0x80 && byte(i + 1) <= 0x9F) { // C1: U+0080 to U+009F
            out += ' ';
            i += 1;
        } else if (b == 0xE2 && byte(i + 1) == 0x80 && (byte(i + 2) == 0xA8 || byte(i + 2) == 0xA9)) {
            out += ' '; // U+2028, U+2029
            i += 2;
        } else {
            out += static_cast<char>(b);
        }
    }
    return out;
}

std::string_view trimTrailingBlanks(std::string_view s) noexcept {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::string replaceAll(std::string_view s, std::string_view what, std::string_view with) {
    if (what.empty())
        return std::string(s);
    std::string out;
    out.reserve(s.size());
    std::size_t pos = 0;
    for (auto hit = s.find(what); hit != std::string_view::npos; hit = s.find(what, pos)) {
        out.append(s.substr(pos, hit - pos));
        out.append(with);
        pos = hit + what.size();
    }
    out.append(s.substr(pos));
    return out;
}

std::vector<std::string> split(std::string_view s, char separator) {
    std::vector<std::string> parts;
    std::size_t pos = 0;
    for (auto hit = s.find(separator); hit != std::string_view::npos; hit = s.find(separator, pos)) {
        parts.emplace_back(s.substr(pos, hit - pos));
        pos = hit + 1;
    }
    parts.emplace_back(s.substr(pos));
    return parts;
}

std::vector<std::string_view> splitLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(bytes.substr(start, i - start));
            i += (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < bytes.size())
        lines.push_back(bytes.substr(start));
    return lines;
}

} // namespace pelorix
