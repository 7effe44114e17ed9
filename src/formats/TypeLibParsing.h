#pragma once

// What the readers of the two library formats share: bounded access to the library's bytes and
// the texts of values. Internal to src/formats.

#include "formats/TypeLibContent.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace pelorix::typelib_detail {

// Raises TypeLibError with the text.
[[noreturn]] void damaged(const std::string& what);

// "0x1A2B"
std::string hex(std::uint64_t value);

// A library's bytes in memory. Every read names its offset; one that does not lie inside raises
// TypeLibError naming the offset, so a damaged file is refused where the damage is.
class LibBytes {
public:
    explicit LibBytes(std::string_view bytes) : m_bytes(bytes) {}

    std::uint64_t size() const noexcept { return m_bytes.size(); }
    bool has(std::uint64_t offset, std::uint64_t n) const noexcept {
        return offset <= m_bytes.size() && n <= m_bytes.size() - offset;
    }
    std::string_view span(std::uint64_t offset, std::uint64_t n) const {
        require(offset, n);
        return m_bytes.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(n));
    }
    std::uint8_t u8(std::uint64_t offset) const {
        require(offset, 1);
        return static_cast<std::uint8_t>(m_bytes[static_cast<std::size_t>(offset)]);
    }
    std::uint16_t u16(std::uint64_t offset) const {
        require(offset, 2);
        return le16(at(offset));
    }
    std::int16_t i16(std::uint64_t offset) const { return static_cast<std::int16_t>(u16(offset)); }
    std::uint32_t u32(std::uint64_t offset) const {
        require(offset, 4);
        return le32(at(offset));
    }
    std::int32_t i32(std::uint64_t offset) const { return static_cast<std::int32_t>(u32(offset)); }
    std::uint64_t u64(std::uint64_t offset) const {
        return u32(offset) | (static_cast<std::uint64_t>(u32(offset + 4)) << 32);
    }
    std::string guid(std::uint64_t offset) const {
        require(offset, 16);
        return guidText(at(offset));
    }

private:
    void require(std::uint64_t offset, std::uint64_t n) const {
        if (!has(offset, n))
            damaged(std::to_string(n) + " bytes at offset " + hex(offset) + " lie outside the library of " +
                    std::to_string(m_bytes.size()) + " bytes");
    }
    const unsigned char* at(std::uint64_t offset) const {
        return reinterpret_cast<const unsigned char*>(m_bytes.data()) + offset;
    }

    std::string_view m_bytes;
};

// What a library's bytes can hold at most. Every member and parameter takes bytes of its own in a
// real library, so records that point at the same bytes again and again (to make a small file
// read as millions of members) exhaust the budget and the file is refused instead of read
// without end.
class ReadBudget {
public:
    explicit ReadBudget(std::uint64_t bytes) : m_members(bytes / 16), m_params(bytes / 4) {}
    void member() {
        if (m_members == 0)
            damaged("more members than the library's bytes can hold: records are read more than once");
        --m_members;
    }
    void params(std::uint64_t n) {
        if (n > m_params)
            damaged("more parameters than the library's bytes can hold: records are read more than once");
        m_params -= n;
    }

private:
    std::uint64_t m_members;
    std::uint64_t m_params;
};

// The nil GUID is no identity: a type that carries it has none.
inline std::string nonNilGuid(std::string guid) {
    return guid == "{00000000-0000-0000-0000-000000000000}" ? std::string() : guid;
}

// Value texts as IDL writes them.
std::string integerText(std::int64_t value);
std::string unsignedText(std::uint64_t value);
std::string realText(double value);
std::string quotedText(std::string_view bytes); // "...", with \" \\ and control characters escaped

// The value of a constant of variant type vt whose bytes lie at offset: integers of up to four
// bytes are stored in four, eight-byte values in eight.
Value numericValue(const LibBytes& bytes, std::uint64_t offset, std::uint16_t vt);

} // namespace pelorix::typelib_detail
