#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pelorix {

// Content hashes: 128 bits of XXH3, as 32 lower-case hexadecimal digits. They tell whether bytes
// changed, not who made them: never use them where someone could forge a collision.

// The hash of bytes in memory.
std::string contentHash(std::string_view bytes);

// The hash of a file's bytes at a host path, read in pieces (memory stays bounded); nothing when
// the file cannot be read (missing, a folder, no access).
std::optional<std::string> fileContentHash(const std::string& hostPath);

// Hashes several pieces as one: each piece is framed by its length, so that ("ab", "c") and
// ("a", "bc") differ.
class ContentHasher {
public:
    ContentHasher();
    ~ContentHasher();
    ContentHasher(const ContentHasher&) = delete;
    ContentHasher& operator=(const ContentHasher&) = delete;

    ContentHasher& add(std::string_view piece);
    std::string hex() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace pelorix
