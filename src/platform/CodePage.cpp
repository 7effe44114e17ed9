#include "platform/CodePage.h"

#include "platform/Environment.h"
#include "platform/RuntimeError.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>

namespace pelorix {
namespace {

constexpr char32_t kEscapeBase = 0xF700;

struct IconvCloser {
    void operator()(void* cd) const noexcept { iconv_close(static_cast<iconv_t>(cd)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

// One converter per direction and encoding, opened on first use.
iconv_t converter(const std::string& to, const std::string& from) {
    thread_local std::map<std::pair<std::string, std::string>, IconvHandle> cache;
    auto key = std::make_pair(to, from);
    auto it = cache.find(key);
    if (it == cache.end()) {
        iconv_t cd = iconv_open(to.c_str(), from.c_str());
        if (cd == reinterpret_cast<iconv_t>(-1)) {
            if (const auto problem = codePageProblem())
                throw RuntimeError(vberr::InvalidArgument, *problem);
            throw std::invalid_argument("unknown encoding: " + from + " -> " + to);
        }
        it = cache.emplace(std::move(key), IconvHandle(cd)).first;
    }
    iconv_t cd = static_cast<iconv_t>(it->second.get());
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    return cd;
}

// Whether iconv can convert between the encoding and UTF-8.
bool knownEncoding(const std::string& name) {
    const iconv_t cd = iconv_open("UTF-8", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    iconv_close(cd);
    return true;
}

// Length of the UTF-8 sequence at s[i] and its code point; 0 when it is not valid UTF-8.
std::size_t readUtf8(std::string_view s, std::size_t i, char32_t& c) noexcept {
    const auto b0 = static_cast<unsigned char>(s[i]);
    std::size_t len = b0 < 0x80 ? 1 : (b0 >> 5) == 0x6 ? 2 : (b0 >> 4) == 0xE ? 3 : (b0 >> 3) == 0x1E ? 4 : 0;
    if (len == 0 || i + len > s.size())
        return 0;
    c = len == 1 ? b0 : len == 2 ? (b0 & 0x1F) : len == 3 ? (b0 & 0x0F) : (b0 & 0x07);
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (b & 0x3F);
    }
    return len;
}

// Runs iconv over the whole input; onInvalid(bytes consumed) is told the position of every
// input sequence iconv refuses and returns how many input bytes to skip.
template <class OnInvalid>
std::string convert(iconv_t cd, std::string_view in, OnInvalid&& onInvalid) {
    std::string out;
    out.reserve(in.size() * 3 / 2 + 8);
    char buffer[4096];
    std::size_t pos = 0;
    while (pos < in.size()) {
        char* src = const_cast<char*>(in.data() + pos);
        std::size_t srcLeft = in.size() - pos;
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        const std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        const int err = errno;
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        pos = in.size() - srcLeft;
        if (rc != static_cast<std::size_t>(-1))
            break;
        if (err == E2BIG)
            continue;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        pos += onInvalid(out, pos);
    }
    return out;
}

} // namespace

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

std::size_t utf8SequenceAt(std::string_view text, std::size_t i, char32_t& c) noexcept {
    return i < text.size() ? readUtf8(text, i, c) : 0;
}

bool isAscii(std::string_view text) noexcept {
    // Eight bytes at a time: the registry and the project files hand long texts through here.
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + i, sizeof word);
        if ((word & 0x8080808080808080ULL) != 0)
            return false;
    }
    for (; i < text.size(); ++i)
        if (static_cast<unsigned char>(text[i]) >= 0x80)
            return false;
    return true;
}

std::string decodeFrom(std::string_view encoding, std::string_view bytes) {
    if (isAscii(bytes))
        return std::string(bytes);
    iconv_t cd = converter("UTF-8", std::string(encoding));
    return convert(cd, bytes, [&](std::string& out, std::size_t at) -> std::size_t {
        appendUtf8(out, kEscapeBase + static_cast<unsigned char>(bytes[at]));
        return 1;
    });
}

std::string encodeTo(std::string_view encoding, std::string_view text) {
    if (isAscii(text))
        return std::string(text);
    iconv_t cd = converter(std::string(encoding), "UTF-8");
    std::string out;
    out.reserve(text.size());
    // Escaped bytes and invalid UTF-8 are handled here; runs of ordinary characters go to iconv.
    std::size_t runStart = 0;
    auto flushRun = [&](std::size_t end) {
        if (end > runStart)
            out += convert(cd, text.substr(runStart, end - runStart), [&](std::string& o, std::size_t at) {
                o += '?';
                char32_t c = 0;
                const std::size_t len = readUtf8(text.substr(runStart), at, c);
                return len == 0 ? std::size_t{1} : len;
            });
    };
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t c = 0;
        const std::size_t len = readUtf8(text, i, c);
        if (len == 0 || (c >= kEscapeBase && c <= kEscapeBase + 0xFF)) {
            flushRun(i);
            out += len == 0 ? '?' : static_cast<char>(c - kEscapeBase);
            i += len == 0 ? 1 : len;
            runStart = i;
            continue;
        }
        i += len;
    }
    flushRun(text.size());
    return out;
}

std::optional<std::string> codePageProblem() {
    const auto chosen = hostEnv("PELORIX_CODEPAGE");
    if (!chosen || chosen->empty() || knownEncoding(*chosen))
        return std::nullopt;
    static constexpr const char* candidates[] = {"CP932",  "CP936",  "CP949",  "CP950",  "CP1250",
                                                 "CP1251", "CP1252", "CP1253", "CP1254", "CP1255",
                                                 "CP1256", "CP1257", "CP1258", "CP874"};
    std::string working;
    for (const char* name : candidates)
        if (knownEncoding(name))
            working += (working.empty() ? "" : ", ") + std::string(name);
    return "PELORIX_CODEPAGE=" + *chosen + ": no such code page is known; code pages that work: " +
           (working.empty() ? std::string("none of the Windows code pages") : working) +
           " (unset the variable for CP932)";
}

std::string ansiToUtf8(std::string_view bytes) {
    return decodeFrom(ansiCodePage(), bytes);
}

std::string utf8ToAnsi(std::string_view text) {
    return encodeTo(ansiCodePage(), text);
}

} // namespace pelorix
