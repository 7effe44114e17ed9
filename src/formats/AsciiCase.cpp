#include "formats/AsciiCase.h"

namespace pelorix {

std::string toUpper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = toUpperAscii(c);
    return out;
}

std::string toLower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = toLowerAscii(c);
    return out;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (toUpperAscii(a[i]) != toUpperAscii(b[i]))
            return false;
    return true;
}

bool startsWithIgnoreCase(std::string_view s, std::string_view prefix) noexcept {
    return s.size() >= prefix.size() && equalsIgnoreCase(s.substr(0, prefix.size()), prefix);
}

bool endsWithIgnoreCase(std::string_view s, std::string_view suffix) noexcept {
    return s.size() >= suffix.size() && equalsIgnoreCase(s.substr(s.size() - suffix.size()), suffix);
}

std::size_t findIgnoreCase(std::string_view haystack, std::string_view needle, std::size_t from) noexcept {
    if (needle.size() > haystack.size())
        return std::string_view::npos;
    for (std::size_t i = from; i + needle.size() <= haystack.size(); ++i)
        if (equalsIgnoreCase(haystack.substr(i, needle.size()), needle))
            return i;
    return std::string_view::npos;
}

int compareIgnoreCase(std::string_view a, std::string_view b) noexcept {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(toUpperAscii(a[i]));
        const auto cb = static_cast<unsigned char>(toUpperAscii(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

} // namespace pelorix
