#pragma once

#include "formats/AsciiCase.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The text of Wine's registry files as the parser of RegistryFile.cpp reads it: blanks, hex
// numbers, escaped strings, and the case-blind order and hash of key names.
namespace pelorix::regtext {

inline bool isHex(char c) noexcept {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

inline unsigned hexValue(char c) noexcept {
    return c <= '9' ? static_cast<unsigned>(c - '0') : static_cast<unsigned>((c | 0x20) - 'a' + 10);
}

inline bool isBlank(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

inline std::string_view skipBlanks(std::string_view s) noexcept {
    std::size_t i = 0;
    while (i < s.size() && isBlank(s[i]))
        ++i;
    return s.substr(i);
}

inline std::string_view trimRight(std::string_view s) noexcept {
    std::size_t n = s.size();
    while (n > 0 && isBlank(s[n - 1]))
        --n;
    return s.substr(0, n);
}

inline bool lessFolded(std::string_view a, std::string_view b) noexcept {
    return a < b;
}

// Compares a stored folded name with a wanted name folded on the fly: no copy per look-up.
inline int compareFolded(std::string_view folded, std::string_view wanted) noexcept {
    const std::size_t n = std::min(folded.size(), wanted.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto a = static_cast<unsigned char>(folded[i]);
        const auto b = static_cast<unsigned char>(toLowerAscii(wanted[i]));
        if (a != b)
            return a < b ? -1 : 1;
    }
    return folded.size() == wanted.size() ? 0 : (folded.size() < wanted.size() ? -1 : 1);
}

inline bool hasUpperAscii(std::string_view name) noexcept {
    return std::any_of(name.begin(), name.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

// A hash of a key's folded name and its parent, the name folded on the fly (FNV-1a, mixed).
inline std::uint64_t keyHash(std::uint32_t parent, std::string_view name) noexcept {
    std::uint64_t hash = 14695981039346656037ULL ^ (std::uint64_t{parent} * 0x9E3779B97F4A7C15ULL);
    for (const char c : name)
        hash = (hash ^ static_cast<unsigned char>(toLowerAscii(c))) * 1099511628211ULL;
    return hash ^ (hash >> 29);
}

std::optional<std::uint64_t> parseHexNumber(std::string_view s);

// The text of UTF-16LE bytes (a string value saved in hex form); a final NUL is dropped.
std::string textOfUtf16Bytes(const std::string& bytes);

// unescapeRegistryString into out, whose earlier contents are replaced: a caller that reads
// many strings keeps one buffer.
bool unescapeInto(std::string_view text, char terminator, std::size_t& end, std::string& out);

} // namespace pelorix::regtext
