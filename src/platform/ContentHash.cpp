#include "platform/ContentHash.h"

#include "platform/HostFile.h"

#define XXH_INLINE_ALL
#include <cstdint>
#include <cstdio>
#include <xxhash.h>

namespace pelorix {

namespace {

std::string toHex(XXH128_hash_t hash) {
    char text[33];
    std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(hash.high64),
                  static_cast<unsigned long long>(hash.low64));
    return text;
}

} // namespace

struct ContentHasher::State {
    XXH3_state_t xxh;
};

std::string contentHash(std::string_view bytes) {
    return toHex(XXH3_128bits(bytes.data(), bytes.size()));
}

std::optional<std::string> fileContentHash(const std::string& hostPath) {
    XXH3_state_t state;
    XXH3_128bits_reset(&state);
    const std::int32_t code = readHostFileInPieces(hostPath, [&](std::string_view piece) {
        XXH3_128bits_update(&state, piece.data(), piece.size());
        return true;
    });
    if (code != 0)
        return std::nullopt;
    return toHex(XXH3_128bits_digest(&state));
}

ContentHasher::ContentHasher() : m_state(std::make_unique<State>()) {
    XXH3_128bits_reset(&m_state->xxh);
}

ContentHasher::~ContentHasher() = default;

ContentHasher& ContentHasher::add(std::string_view piece) {
    const std::uint64_t size = piece.size();
    XXH3_128bits_update(&m_state->xxh, &size, sizeof size);
    XXH3_128bits_update(&m_state->xxh, piece.data(), piece.size());
    return *this;
}

std::string ContentHasher::hex() const {
    return toHex(XXH3_128bits_digest(&m_state->xxh));
}

} // namespace pelorix
