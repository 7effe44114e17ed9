// Code page conversion through MultiByteToWideChar and WideCharToMultiByte.
#include "platform/CodePage.h"

#include "platform/Environment.h"
#include "platform/Text.h"
#include "platform/win32/WindowsApi.h"

#include <stdexcept>

namespace pelorix {
namespace {

// The code page an encoding name stands for: "CP932", "932", "windows-1252", "Shift_JIS", "UTF-8".
UINT codePageOf(std::string_view encoding) {
    std::string name = toUpper(encoding);
    if (name == "UTF-8" || name == "UTF8")
        return CP_UTF8;
    if (name == "SHIFT_JIS" || name == "SJIS" || name == "MS932" || name == "WINDOWS-31J")
        return 932;
    for (const std::string_view lead : {"CP", "WINDOWS-", "IBM"})
        if (name.starts_with(lead)) {
            name.erase(0, lead.size());
            break;
        }
    UINT cp = 0;
    for (const char c : name) {
        if (c < '0' || c > '9' || cp > 100000)
            throw std::invalid_argument("unknown encoding: " + std::string(encoding));
        cp = cp * 10 + static_cast<UINT>(c - '0');
    }
    if (name.empty() || !::IsValidCodePage(cp))
        throw std::invalid_argument("unknown encoding: " + std::string(encoding));
    return cp;
}

// The wide characters of bytes that are all valid in the code page; false when one is not.
bool decodeStrict(UINT cp, std::string_view bytes, std::wstring& out) {
    out.clear();
    if (bytes.empty())
        return true;
    const int n = ::MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, bytes.data(),
                                        static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0)
        return false;
    out.resize(static_cast<std::size_t>(n));
    ::MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), out.data(),
                          n);
    return true;
}

// How many bytes the character at bytes[i] may take in the code page.
std::size_t characterLength(UINT cp, std::string_view bytes, std::size_t i) {
    if (cp == CP_UTF8) {
        char32_t c = 0;
        const std::size_t len = utf8SequenceAt(bytes, i, c);
        return len == 0 ? 1 : len;
    }
    if (i + 1 < bytes.size() && ::IsDBCSLeadByteEx(cp, static_cast<BYTE>(bytes[i])))
        return 2;
    return 1;
}

// Encodes a run of ordinary characters; a character the code page cannot hold becomes "?".
void encodeRun(UINT cp, std::string_view text, std::string& out) {
    const std::wstring w = winapi::wide(text);
    if (w.empty())
        return;
    const DWORD flags = cp == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const char* fallback = cp == CP_UTF8 ? nullptr : "?";
    const int n =
        ::WideCharToMultiByte(cp, flags, w.data(), static_cast<int>(w.size()), nullptr, 0, fallback, nullptr);
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(n));
    ::WideCharToMultiByte(cp, flags, w.data(), static_cast<int>(w.size()), out.data() + at, n, fallback,
                          nullptr);
}

} // namespace

std::string decodeFrom(std::string_view encoding, std::string_view bytes) {
    if (isAscii(bytes))
        return std::string(bytes);
    const UINT cp = codePageOf(encoding);
    std::wstring w;
    if (decodeStrict(cp, bytes, w))
        return winapi::narrow(w);
    // Character by character: a byte that starts no valid character is kept as its escape.
    std::string out;
    out.reserve(bytes.size() * 3 / 2 + 8);
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t len = characterLength(cp, bytes, i);
        if (decodeStrict(cp, bytes.substr(i, len), w)) {
            out += winapi::narrow(w);
            i += len;
        } else {
            appendUtf8(out, EscapeBase + static_cast<unsigned char>(bytes[i]));
            ++i;
        }
    }
    return out;
}

std::string encodeTo(std::string_view encoding, std::string_view text) {
    if (isAscii(text))
        return std::string(text);
    const UINT cp = codePageOf(encoding);
    std::string out;
    out.reserve(text.size());
    std::size_t runStart = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t c = 0;
        const std::size_t len = utf8SequenceAt(text, i, c);
        // Past the basic plane a code page holds nothing: one "?" per character, not one per
        // UTF-16 unit.
        const bool outsidePlane = len != 0 && c > 0xFFFF && cp != CP_UTF8;
        if (len == 0 || outsidePlane || (c >= EscapeBase && c <= EscapeBase + 0xFF)) {
            encodeRun(cp, text.substr(runStart, i - runStart), out);
            out += len == 0 || outsidePlane ? '?' : static_cast<char>(c - EscapeBase);
            i += len == 0 ? 1 : len;
            runStart = i;
            continue;
        }
        i += len;
    }
    encodeRun(cp, text.substr(runStart), out);
    return out;
}

std::optional<std::string> codePageProblem() {
    const auto chosen = hostEnv("PELORIX_CODEPAGE");
    if (!chosen || chosen->empty())
        return std::nullopt;
    try {
        codePageOf(*chosen);
        return std::nullopt;
    } catch (const std::invalid_argument&) {
        return "PELORIX_CODEPAGE=" + *chosen +
               ": no such code page is known; use CPnnn or the number of an installed code page (unset the "
               "variable for CP932)";
    }
}

} // namespace pelorix
