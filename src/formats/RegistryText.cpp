#include "formats/RegistryText.h"

#include "formats/RegistryFile.h"
#include "formats/Unicode.h"

namespace pelorix::regtext {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Collects UTF-16 code units (what the registry holds) and writes them out as UTF-8, pairing
// surrogates; a lone surrogate becomes U+FFFD.
class Utf16Sink {
public:
    explicit Utf16Sink(std::string& out) : m_out(out) {}
    ~Utf16Sink() { flush(); }
    Utf16Sink(const Utf16Sink&) = delete;
    Utf16Sink& operator=(const Utf16Sink&) = delete;

    void unit(char16_t u) {
        if (m_high != 0) {
            if (u >= 0xDC00 && u <= 0xDFFF) {
                appendUtf8(m_out, 0x10000 + ((static_cast<char32_t>(m_high) - 0xD800) << 10) + (u - 0xDC00));
                m_high = 0;
                return;
            }
            appendUtf8(m_out, kReplacement);
            m_high = 0;
        }
        if (u >= 0xD800 && u <= 0xDBFF)
            m_high = u;
        else if (u >= 0xDC00 && u <= 0xDFFF)
            appendUtf8(m_out, kReplacement);
        else
            appendUtf8(m_out, u);
    }
    // ASCII text: no surrogates in it, so it is appended as it is.
    void ascii(std::string_view text) {
        flush();
        m_out.append(text);
    }
    void codePoint(char32_t c) {
        if (c >= 0x10000) {
            unit(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            unit(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            unit(static_cast<char16_t>(c));
        }
    }
    void flush() {
        if (m_high != 0)
            appendUtf8(m_out, kReplacement);
        m_high = 0;
    }

private:
    std::string& m_out;
    char16_t m_high = 0;
};

// Reads one raw UTF-8 character of the file at s[i]; an invalid sequence reads as U+FFFD and
// one byte.
std::size_t readRawChar(std::string_view s, std::size_t i, char32_t& c) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    const std::size_t len = b0 < 0x80             ? 1
                            : (b0 & 0xE0) == 0xC0 ? 2
                            : (b0 & 0xF0) == 0xE0 ? 3
                            : (b0 & 0xF8) == 0xF0 ? 4
                                                  : 0;
    if (len == 1) {
        c = b0;
        return 1;
    }
    if (len == 0 || i + len > s.size()) {
        c = kReplacement;
        return 1;
    }
    char32_t v = len == 2 ? (b0 & 0x1Fu) : len == 3 ? (b0 & 0x0Fu) : (b0 & 0x07u);
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            c = kReplacement;
            return 1;
        }
        v = (v << 6) | (b & 0x3Fu);
    }
    c = v > 0x10FFFF ? kReplacement : v;
    return len;
}

} // namespace

std::optional<std::uint64_t> parseHexNumber(std::string_view s) {
    if (s.empty() || s.size() > 16)
        return std::nullopt;
    std::uint64_t v = 0;
    for (char c : s) {
        if (!isHex(c))
            return std::nullopt;
        v = v << 4 | hexValue(c);
    }
    return v;
}

std::string textOfUtf16Bytes(const std::string& bytes) {
    std::size_t units = bytes.size() / 2;
    auto unitAt = [&](std::size_t k) {
        return static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * k]) |
                                     static_cast<unsigned char>(bytes[2 * k + 1]) << 8);
    };
    if (units > 0 && unitAt(units - 1) == 0)
        --units;
    std::string out;
    {
        Utf16Sink sink(out);
        for (std::size_t k = 0; k < units; ++k)
            sink.unit(unitAt(k));
    }
    return out;
}

namespace {

// The code unit a one-letter escape stands for ("\n" a line feed ...), or nothing.
std::optional<char16_t> letterEscape(char letter) noexcept {
    switch (letter) {
    case 'a':
        return u'\a';
    case 'b':
        return u'\b';
    case 'e':
        return char16_t{0x1B};
    case 'f':
        return u'\f';
    case 'n':
        return u'\n';
    case 'r':
        return u'\r';
    case 't':
        return u'\t';
    case 'v':
        return u'\v';
    default:
        return std::nullopt;
    }
}

// Up to maxDigits digits of the base from text[i] on: their value and where they end.
std::pair<unsigned, std::size_t> readDigits(std::string_view text, std::size_t i, unsigned base,
                                            std::size_t maxDigits) noexcept {
    unsigned value = 0;
    std::size_t p = i;
    while (p < text.size() && p < i + maxDigits &&
           (base == 16 ? isHex(text[p]) : text[p] >= '0' && text[p] <= '7')) {
        value = value * base + hexValue(text[p]);
        ++p;
    }
    return {value, p};
}

// Decodes the escape whose first character (the one after the backslash) is text[i] into the
// sink; returns the position after it.
std::size_t readEscape(std::string_view text, std::size_t i, Utf16Sink& sink) {
    const char e = text[i];
    if (const auto unit = letterEscape(e)) {
        sink.unit(*unit);
        return i + 1;
    }
    if (e == 'x') { // up to four hex digits; "\x" without any stands for "x"
        const auto [value, next] = readDigits(text, i + 1, 16, 4);
        sink.unit(next == i + 1 ? u'x' : static_cast<char16_t>(value));
        return next;
    }
    if (e >= '0' && e <= '7') { // up to three octal digits
        const auto [value, next] = readDigits(text, i, 8, 3);
        sink.unit(static_cast<char16_t>(value));
        return next;
    }
    // Any other escaped character stands for itself ("\\", "\"", "\[", "\]").
    if (static_cast<unsigned char>(e) < 0x80) {
        sink.ascii(text.substr(i, 1));
        return i + 1;
    }
    char32_t cp = 0;
    const std::size_t length = readRawChar(text, i, cp);
    sink.codePoint(cp);
    return i + length;
}

// Where the plain ASCII text from text[from] on ends: at the terminator, a backslash or a byte
// of a multi-byte character.
std::size_t plainEnd(std::string_view text, std::size_t from, char terminator) noexcept {
    while (from < text.size() && text[from] != terminator && text[from] != '\\' &&
           static_cast<unsigned char>(text[from]) < 0x80)
        ++from;
    return from;
}

} // namespace

bool unescapeInto(std::string_view text, char terminator, std::size_t& end, std::string& out) {
    // Plain text up to the terminator needs no decoding.
    const std::size_t plain = plainEnd(text, 0, terminator);
    out.assign(text.substr(0, plain));
    if (plain < text.size() && text[plain] == terminator) {
        end = plain + 1;
        return true;
    }

    Utf16Sink sink(out);
    for (std::size_t i = plain; i < text.size();) {
        if (text[i] == terminator) {
            sink.flush();
            end = i + 1;
            return true;
        }
        if (text[i] == '\\') {
            if (++i >= text.size())
                return false; // a backslash that escapes nothing: the text has no end
            i = readEscape(text, i, sink);
        } else if (static_cast<unsigned char>(text[i]) < 0x80) {
            const std::size_t next = plainEnd(text, i, terminator);
            sink.ascii(text.substr(i, next - i));
            i = next;
        } else {
            char32_t cp = 0;
            i += readRawChar(text, i, cp);
            sink.codePoint(cp);
        }
    }
    return false;
}

} // namespace pelorix::regtext

namespace pelorix {

std::string foldRegistryName(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return out;
}

std::optional<std::string> unescapeRegistryString(std::string_view text, char terminator, std::size_t& end) {
    std::string out;
    if (!regtext::unescapeInto(text, terminator, end, out))
        return std::nullopt;
    return out;
}

} // namespace pelorix
