#include "formats/TypeLibReader.h"

#include "formats/PeResource.h"

#include <array>
#include <cstring>
#include <vector>

namespace pelorix {

namespace {

// A GUID read through a window.
std::optional<std::string> readGuid(const Window& w, std::uint64_t offset) {
    std::array<unsigned char, 16> g{};
    if (!w.read(offset, g.size(), g.data()))
        return std::nullopt;
    return guidText(g.data());
}

constexpr std::uint32_t MsftMagic = 0x5446534D; // "MSFT"
constexpr std::uint32_t SltgMagic = 0x47544C53; // "SLTG"

// MSFT: a fixed header, an optional help-DLL offset, one offset per type, then 15 segment
// descriptors; the library's GUID is an entry of the GUID segment.
std::optional<TypeLibAttributes> parseMsft(const Window& w) {
    constexpr std::uint64_t headerSize = 0x54;
    constexpr std::uint64_t segmentSize = 16;
    constexpr std::uint64_t segmentCount = 15;
    const auto posGuid = w.u32(0x08);
    const auto varFlags = w.u32(0x14);
    const auto major = w.u16(0x18);
    const auto minor = w.u16(0x1A);
    const auto typeCount = w.u32(0x20);
    if (!posGuid || !varFlags || !major || !minor || !typeCount)
        return std::nullopt;
    // A negative count would be a huge one: the segment directory would lie past any file.
    const std::uint64_t segDir = headerSize + 4ull * *typeCount + ((*varFlags & 0x100) != 0 ? 4 : 0);
    std::array<unsigned char, segmentSize * segmentCount> dir{};
    if (!w.read(segDir, dir.size(), dir.data()))
        return std::nullopt;
    // The type-info and import segments always carry 0x0F in their last field; anything else is
    // not an MSFT directory.
    if (le32(&dir[0 * segmentSize + 12]) != 0x0F || le32(&dir[1 * segmentSize + 12]) != 0x0F)
        return std::nullopt;
    const auto guidTable = static_cast<std::int32_t>(le32(&dir[5 * segmentSize]));
    const auto guidPos = static_cast<std::int32_t>(*posGuid);
    // A library without a GUID of its own has no identity a reference could name.
    if (guidTable < 0 || guidPos < 0)
        return std::nullopt;
    auto guid = readGuid(w, static_cast<std::uint64_t>(guidTable) + static_cast<std::uint64_t>(guidPos));
    if (!guid)
        return std::nullopt;
    return TypeLibAttributes{std::move(*guid), *major, *minor};
}

// SLTG: a header, a table of blocks chained by index, a fixed "CompObj"/"dir" marker, the
// blocks' names, nine pad bytes, then the blocks themselves; the library block is the last block
// of the chain.
std::optional<TypeLibAttributes> parseSltg(const Window& w) {
    constexpr std::uint64_t headerSize = 0x24;
    constexpr std::uint64_t entrySize = 8;
    constexpr std::uint64_t magicSize = 13;
    constexpr std::uint64_t indexNameSize = 11;
    constexpr std::uint64_t padSize = 9;
    const auto blockCount = w.u16(0x04);
    const auto firstBlock = w.u16(0x0A);
    if (!blockCount || !firstBlock || *blockCount < 2)
        return std::nullopt;
    const std::uint64_t entries = *blockCount - 1u;
    std::vector<unsigned char> table(entries * entrySize);
    if (!w.read(headerSize, table.size(), table.data()))
        return std::nullopt;
    const std::uint64_t magicAt = headerSize + table.size();
    std::array<unsigned char, magicSize> magic{};
    if (!w.read(magicAt, magic.size(), magic.data()) || std::memcmp(&magic[1], "CompObj", 8) != 0 ||
        std::memcmp(&magic[9], "dir", 4) != 0)
        return std::nullopt;
    std::uint64_t block = magicAt + magicSize + (*blockCount - 2u) * indexNameSize + padSize;

    // Walk the chain; it visits each entry at most once, so a chain that loops is refused.
    std::uint64_t order = *firstBlock;
    for (std::uint64_t steps = 0;; ++steps) {
        if (order == 0 || order > entries || steps >= entries)
            return std::nullopt;
        const unsigned char* e = &table[(order - 1) * entrySize];
        const std::uint16_t next = le16(e + 6);
        if (next == 0)
            break;
        block += le32(e);
        order = next;
    }

    if (w.u16(block) != std::uint16_t{0x51CC})
        return std::nullopt;
    std::uint64_t p = block + 6;
    const auto skip = w.u16(p);
    if (!skip)
        return std::nullopt;
    if (*skip != 0xFFFF)
        p += *skip;
    p += 2;
    for (int text = 0; text < 2; ++text) { // help string, help file: length-prefixed, 0xFFFF = none
        const auto len = w.u16(p);
        if (!len)
            return std::nullopt;
        p += 2 + (*len == 0xFFFF ? 0u : *len);
    }
    p += 4 + 2 + 2 + 4 + 2; // help context, system kind, locale, reserved, library flags
    const auto major = w.u16(p);
    const auto minor = w.u16(p + 2);
    auto guid = readGuid(w, p + 4);
    if (!major || !minor || !guid)
        return std::nullopt;
    return TypeLibAttributes{std::move(*guid), *major, *minor};
}

std::optional<TypeLibAttributes> parseLibraryData(const Window& w) {
    const auto magic = w.u32(0);
    if (magic == MsftMagic)
        return parseMsft(w);
    if (magic == SltgMagic)
        return parseSltg(w);
    return std::nullopt;
}

} // namespace

std::optional<TypeLibAttributes> parseTypeLib(const ByteSource& source, std::uint32_t resourceId) {
    const auto data = typeLibData(source, resourceId);
    return data ? parseLibraryData(*data) : std::nullopt;
}

std::optional<TypeLibAttributes> parseTypeLib(std::string_view bytes, std::uint32_t resourceId) {
    const MemorySource source(bytes);
    return parseTypeLib(source, resourceId);
}

} // namespace pelorix
