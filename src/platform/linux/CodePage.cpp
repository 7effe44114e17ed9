// Code page conversion through iconv.
#include "platform/CodePage.h"

#include "platform/Environment.h"
#include "platform/RuntimeError.h"

#include <cerrno>
#include <iconv.h>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>

namespace pelorix {
namespace {

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

std::string decodeFrom(std::string_view encoding, std::string_view bytes) {
    if (isAscii(bytes))
        return std::string(bytes);
    iconv_t cd = converter("UTF-8", std::string(encoding));
    return convert(cd, bytes, [&](std::string& out, std::size_t at) -> std::size_t {
        appendUtf8(out, EscapeBase + static_cast<unsigned char>(bytes[at]));
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
                const std::size_t len = utf8SequenceAt(text.substr(runStart), at, c);
                return len == 0 ? std::size_t{1} : len;
            });
    };
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t c = 0;
        const std::size_t len = utf8SequenceAt(text, i, c);
        if (len == 0 || (c >= EscapeBase && c <= EscapeBase + 0xFF)) {
            flushRun(i);
            out += len == 0 ? '?' : static_cast<char>(c - EscapeBase);
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

} // namespace pelorix
