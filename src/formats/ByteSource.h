#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace pelorix {

// Everything a file from outside says is read through a ByteSource: bytes already in memory, or
// positioned reads on an open file (the platform layer's). Each read names its offset and length
// and fails when any byte of it lies outside, so no offset found in a file can lead a read astray.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const noexcept = 0;
    // Copies n bytes at offset into out; false when they do not all lie inside.
    virtual bool read(std::uint64_t offset, std::size_t n, void* out) const = 0;
    // The n bytes at offset where the source holds them in memory; nothing for a file.
    virtual std::optional<std::string_view> view(std::uint64_t, std::size_t) const { return std::nullopt; }

protected:
    ByteSource() = default;
    ByteSource(const ByteSource&) = default;
    ByteSource& operator=(const ByteSource&) = default;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::string_view bytes) : m_bytes(bytes) {}
    std::uint64_t size() const noexcept override { return m_bytes.size(); }
    bool read(std::uint64_t offset, std::size_t n, void* out) const override {
        if (offset > m_bytes.size() || n > m_bytes.size() - offset)
            return false;
        if (n != 0)
            std::memcpy(out, m_bytes.data() + offset, n);
        return true;
    }
    std::optional<std::string_view> view(std::uint64_t offset, std::size_t n) const override {
        if (offset > m_bytes.size() || n > m_bytes.size() - offset)
            return std::nullopt;
        return m_bytes.substr(static_cast<std::size_t>(offset), n);
    }

private:
    std::string_view m_bytes;
};

inline std::uint16_t le16(const unsigned char* p) noexcept {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t le32(const unsigned char* p) noexcept {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// A part of a source (the library data inside a PE file, or the whole file), addressed from its
// own start; reads never leave it.
class Window {
public:
    Window(const ByteSource& source, std::uint64_t base, std::uint64_t length)
        : m_source(&source), m_base(base), m_length(length) {}

    std::uint64_t length() const noexcept { return m_length; }

    bool read(std::uint64_t offset, std::size_t n, void* out) const {
        if (offset > m_length || n > m_length - offset)
            return false;
        return m_source->read(m_base + offset, n, out);
    }
    std::optional<std::uint16_t> u16(std::uint64_t offset) const {
        std::array<unsigned char, 2> b{};
        if (!read(offset, b.size(), b.data()))
            return std::nullopt;
        return le16(b.data());
    }
    std::optional<std::uint32_t> u32(std::uint64_t offset) const {
        std::array<unsigned char, 4> b{};
        if (!read(offset, b.size(), b.data()))
            return std::nullopt;
        return le32(b.data());
    }
    // The window's bytes where the source holds them in memory.
    std::optional<std::string_view> view() const {
        return m_length > SIZE_MAX ? std::nullopt
                                   : m_source->view(m_base, static_cast<std::size_t>(m_length));
    }
    // The window's bytes, when it fits in memory of at most limit bytes.
    std::optional<std::string> bytes(std::uint64_t limit) const {
        if (m_length > limit)
            return std::nullopt;
        std::string all(static_cast<std::size_t>(m_length), '\0');
        if (!read(0, all.size(), all.data()))
            return std::nullopt;
        return all;
    }

private:
    const ByteSource* m_source;
    std::uint64_t m_base;
    std::uint64_t m_length;
};

// A GUID's 16 bytes in their binary layout (Data1, Data2, Data3 little-endian, Data4 in order) as
// Windows writes it: braces, upper-case hex.
std::string guidText(const unsigned char* bytes);

} // namespace pelorix
