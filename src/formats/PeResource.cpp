#include "formats/PeResource.h"

#include <vector>

namespace pelorix {

namespace {

// The sections of a PE file, to turn the relative virtual addresses of the resource tree into
// file offsets. Only bytes present in the file are reachable; the zero-filled tail a section has
// in memory is not a place where a library could be.
class PeImage {
public:
    static std::optional<PeImage> open(const ByteSource& file, std::string& why);

    // The file window of n bytes at rva, when they lie inside one section's bytes in the file.
    std::optional<Window> at(std::uint32_t rva, std::uint64_t n) const {
        for (const Section& s : m_sections) {
            if (rva < s.virtualAddress || rva - s.virtualAddress >= s.rawSize)
                continue;
            const std::uint64_t inSection = rva - s.virtualAddress;
            if (n > s.rawSize - inSection)
                return std::nullopt;
            const std::uint64_t offset = s.rawOffset + inSection;
            if (offset > m_file->size() || n > m_file->size() - offset)
                return std::nullopt;
            return Window(*m_file, offset, n);
        }
        return std::nullopt;
    }

    // The window at a root-relative offset of the resource tree.
    std::optional<Window> resourceAt(std::uint32_t offset, std::uint64_t n) const {
        const std::uint64_t rva = static_cast<std::uint64_t>(m_resourceRva) + offset;
        if (rva > 0xFFFFFFFFu)
            return std::nullopt;
        return at(static_cast<std::uint32_t>(rva), n);
    }

private:
    struct Section {
        std::uint32_t virtualAddress;
        std::uint32_t rawSize;
        std::uint32_t rawOffset;
    };

    const ByteSource* m_file = nullptr;
    std::vector<Section> m_sections;
    std::uint32_t m_resourceRva = 0;
};

// The offset of the data directory count in the optional header at opt, by its magic.
std::optional<std::uint64_t> dataDirectoryCountAt(const Window& w, std::uint64_t opt) {
    const auto optMagic = w.u16(opt);
    if (optMagic == std::uint16_t{0x10B})
        return opt + 92;
    if (optMagic == std::uint16_t{0x20B})
        return opt + 108;
    return std::nullopt;
}

std::optional<PeImage> PeImage::open(const ByteSource& file, std::string& why) {
    const Window w(file, 0, file.size());
    const auto newHeader = w.u32(0x3C);
    if (!newHeader || w.u32(*newHeader) != std::uint32_t{0x00004550}) { // "PE\0\0"
        why = "an MZ file without a PE header";
        return std::nullopt;
    }
    const std::uint64_t coff = *newHeader + 4ull;
    const auto sectionCount = w.u16(coff + 2);
    const auto optionalSize = w.u16(coff + 16);
    const std::uint64_t opt = coff + 20;
    const auto dirCountAt = dataDirectoryCountAt(w, opt);
    const auto dirCount = dirCountAt ? w.u32(*dirCountAt) : std::nullopt;
    constexpr std::uint32_t resourceDirectory = 2;
    why = "a PE file without resources";
    if (!sectionCount || !optionalSize || !dirCount || *dirCount <= resourceDirectory)
        return std::nullopt;
    const std::uint64_t resourceEntry = *dirCountAt + 4 + 8ull * resourceDirectory;
    // The data directories belong to the optional header; an entry beyond its declared size is not there.
    if (resourceEntry + 8 > opt + *optionalSize)
        return std::nullopt;
    const auto resourceRva = w.u32(resourceEntry);
    if (!resourceRva || *resourceRva == 0)
        return std::nullopt;

    constexpr std::uint64_t sectionSize = 40;
    std::vector<unsigned char> table(*sectionCount * sectionSize);
    if (!w.read(opt + *optionalSize, table.size(), table.data())) {
        why = "a PE file whose section table lies outside the file";
        return std::nullopt;
    }
    PeImage image;
    image.m_file = &file;
    image.m_resourceRva = *resourceRva;
    image.m_sections.reserve(*sectionCount);
    for (std::size_t i = 0; i < *sectionCount; ++i) {
        const unsigned char* s = &table[i * sectionSize];
        image.m_sections.push_back({le32(s + 12), le32(s + 16), le32(s + 20)});
    }
    return image;
}

// A resource directory entry: its name (id, or the root-relative offset of a counted UTF-16
// name) and the root-relative offset of what it points to.
struct ResourceEntry {
    std::uint32_t name;
    std::uint32_t target;
    bool named() const noexcept { return (name & 0x80000000u) != 0; }
    bool isDirectory() const noexcept { return (target & 0x80000000u) != 0; }
    std::uint32_t nameOffset() const noexcept { return name & 0x7FFFFFFFu; }
    std::uint32_t targetOffset() const noexcept { return target & 0x7FFFFFFFu; }
};

constexpr std::uint64_t resourceDirectoryHeader = 16;

// The entries of the resource directory at a root-relative offset (named entries first).
std::optional<std::vector<ResourceEntry>> readDirectory(const PeImage& pe, std::uint32_t offset) {
    const auto header = pe.resourceAt(offset, resourceDirectoryHeader);
    if (!header)
        return std::nullopt;
    const auto named = header->u16(12);
    const auto ids = header->u16(14);
    if (!named || !ids)
        return std::nullopt;
    const std::uint64_t count = std::uint64_t{*named} + *ids;
    const auto body = pe.resourceAt(offset, resourceDirectoryHeader + count * 8);
    if (!body)
        return std::nullopt;
    std::vector<unsigned char> raw(count * 8);
    if (!body->read(resourceDirectoryHeader, raw.size(), raw.data()))
        return std::nullopt;
    std::vector<ResourceEntry> entries(count);
    for (std::size_t i = 0; i < count; ++i)
        entries[i] = {le32(&raw[i * 8]), le32(&raw[i * 8 + 4])};
    return entries;
}

// True when the named entry's name is "TYPELIB", compared without regard to ASCII case.
bool isTypeLibName(const PeImage& pe, const ResourceEntry& entry) {
    constexpr std::string_view wanted = "TYPELIB";
    const auto text = pe.resourceAt(entry.nameOffset(), 2 + 2 * wanted.size());
    if (!text || text->u16(0) != std::uint16_t{wanted.size()})
        return false;
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        auto c = text->u16(2 + 2 * i);
        if (c && *c >= 'a' && *c <= 'z')
            *c = static_cast<std::uint16_t>(*c - 'a' + 'A');
        if (!c || *c != static_cast<unsigned char>(wanted[i]))
            return false;
    }
    return true;
}

// The directory entry the predicate picks, when it is a directory.
template <class Pick>
std::optional<ResourceEntry> subdirectory(const PeImage& pe, std::uint32_t offset, Pick pick) {
    const auto entries = readDirectory(pe, offset);
    if (!entries)
        return std::nullopt;
    for (const ResourceEntry& e : *entries)
        if (pick(e))
            return e.isDirectory() ? std::optional<ResourceEntry>(e) : std::nullopt;
    return std::nullopt;
}

// The library data of the TYPELIB resource with the given id: type, then id, then the first
// language. The walk is exactly three levels deep, so a directory that points back at itself or
// nests deeper ends at a level where data was expected, and is refused.
std::optional<Window> findTypeLibResource(const PeImage& pe, std::uint32_t resourceId) {
    if (resourceId > 0xFFFF)
        return std::nullopt; // resource ids are 16-bit
    const auto type =
        subdirectory(pe, 0, [&](const ResourceEntry& e) { return e.named() && isTypeLibName(pe, e); });
    if (!type)
        return std::nullopt;
    const auto name = subdirectory(pe, type->targetOffset(), [&](const ResourceEntry& e) {
        return !e.named() && (e.name & 0xFFFF) == resourceId;
    });
    if (!name)
        return std::nullopt;
    const auto languages = readDirectory(pe, name->targetOffset());
    if (!languages || languages->empty() || languages->front().isDirectory())
        return std::nullopt;
    const auto dataEntry = pe.resourceAt(languages->front().targetOffset(), 16);
    if (!dataEntry)
        return std::nullopt;
    const auto rva = dataEntry->u32(0); // an RVA, not root-relative
    const auto size = dataEntry->u32(4);
    if (!rva || !size)
        return std::nullopt;
    return pe.at(*rva, *size);
}

} // namespace

std::optional<Window> typeLibData(const ByteSource& source, std::uint32_t resourceId, std::string* why) {
    const Window whole(source, 0, source.size());
    if (whole.u16(0) != std::uint16_t{0x5A4D}) // "MZ": the library is a resource of the PE file
        return whole;
    std::string problem;
    const auto pe = PeImage::open(source, problem);
    std::optional<Window> data = pe ? findTypeLibResource(*pe, resourceId) : std::nullopt;
    if (pe && !data)
        problem = "a PE file without a readable TYPELIB resource " + std::to_string(resourceId);
    if (!data && why != nullptr)
        *why = problem;
    return data;
}

} // namespace pelorix
