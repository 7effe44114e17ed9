#include "platform/TypeLibReader.h"

#include "platform/DriveMap.h"
#include "platform/PositionedFile.h"
#include "platform/Text.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace pelorix {

namespace {

// Everything a library file says is read through a ByteSource: either bytes already in memory or
// positioned reads on an open file. Each read names its offset and length and fails when any byte
// of it lies outside, so no offset found in a file can lead a read astray. Reading a file piece by
// piece touches only the few kilobytes the walk needs, even in a DLL of many megabytes.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const noexcept = 0;
    // Copies n bytes at offset into out; false when they do not all lie inside.
    virtual bool read(std::uint64_t offset, std::size_t n, void* out) const = 0;
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

private:
    std::string_view m_bytes;
};

class FileSource final : public ByteSource {
public:
    explicit FileSource(std::unique_ptr<PositionedFile> file) : m_file(std::move(file)) {}

    // Opens a regular file for reading; nothing for anything else (a FIFO must not block us, a
    // folder has no bytes).
    static std::optional<FileSource> open(const std::string& hostPath) {
        auto file = PositionedFile::open(hostPath);
        if (!file)
            return std::nullopt;
        return std::optional<FileSource>(std::in_place, std::move(file));
    }

    std::uint64_t size() const noexcept override { return m_file->size(); }
    bool read(std::uint64_t offset, std::size_t n, void* out) const override {
        if (offset > size() || n > size() - offset)
            return false;
        return m_file->read(offset, n, out);
    }

private:
    std::unique_ptr<PositionedFile> m_file;
};

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
        return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
    }
    std::optional<std::uint32_t> u32(std::uint64_t offset) const {
        std::array<unsigned char, 4> b{};
        if (!read(offset, b.size(), b.data()))
            return std::nullopt;
        return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
               (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
    }

private:
    const ByteSource* m_source;
    std::uint64_t m_base;
    std::uint64_t m_length;
};

std::uint16_t le16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// A GUID in its binary layout (Data1, Data2, Data3 little-endian, Data4 in order) as Windows
// writes it: braces, upper-case hex.
std::optional<std::string> readGuid(const Window& w, std::uint64_t offset) {
    std::array<unsigned char, 16> g{};
    if (!w.read(offset, g.size(), g.data()))
        return std::nullopt;
    std::array<char, 40> text{};
    std::snprintf(text.data(), text.size(), "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(le32(&g[0])), static_cast<unsigned>(le16(&g[4])),
                  static_cast<unsigned>(le16(&g[6])), g[8], g[9], g[10], g[11], g[12], g[13], g[14], g[15]);
    return std::string(text.data());
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

// The sections of a PE file, to turn the relative virtual addresses of the resource tree into
// file offsets. Only bytes present in the file are reachable; the zero-filled tail a section has
// in memory is not a place where a library could be.
class PeImage {
public:
    static std::optional<PeImage> open(const ByteSource& file);

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

    std::uint32_t resourceRva() const noexcept { return m_resourceRva; }

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

std::optional<PeImage> PeImage::open(const ByteSource& file) {
    const Window w(file, 0, file.size());
    const auto newHeader = w.u32(0x3C);
    if (!newHeader || w.u32(*newHeader) != std::uint32_t{0x00004550}) // "PE\0\0"
        return std::nullopt;
    const std::uint64_t coff = *newHeader + 4ull;
    const auto sectionCount = w.u16(coff + 2);
    const auto optionalSize = w.u16(coff + 16);
    const std::uint64_t opt = coff + 20;
    const auto optMagic = w.u16(opt);
    if (!sectionCount || !optionalSize || !optMagic)
        return std::nullopt;
    std::uint64_t dirCountAt = 0;
    if (*optMagic == 0x10B)
        dirCountAt = opt + 92;
    else if (*optMagic == 0x20B)
        dirCountAt = opt + 108;
    else
        return std::nullopt;
    const auto dirCount = w.u32(dirCountAt);
    constexpr std::uint32_t resourceDirectory = 2;
    if (!dirCount || *dirCount <= resourceDirectory)
        return std::nullopt;
    const std::uint64_t resourceEntry = dirCountAt + 4 + 8ull * resourceDirectory;
    // The data directories belong to the optional header; an entry beyond its declared size is not there.
    if (resourceEntry + 8 > opt + *optionalSize)
        return std::nullopt;
    const auto resourceRva = w.u32(resourceEntry);
    if (!resourceRva || *resourceRva == 0)
        return std::nullopt;

    constexpr std::uint64_t sectionSize = 40;
    std::vector<unsigned char> table(*sectionCount * sectionSize);
    if (!w.read(opt + *optionalSize, table.size(), table.data()))
        return std::nullopt;
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
    const std::uint64_t rva = static_cast<std::uint64_t>(pe.resourceRva()) + offset;
    if (rva > 0xFFFFFFFFu)
        return std::nullopt;
    const auto header = pe.at(static_cast<std::uint32_t>(rva), resourceDirectoryHeader);
    if (!header)
        return std::nullopt;
    const auto named = header->u16(12);
    const auto ids = header->u16(14);
    if (!named || !ids)
        return std::nullopt;
    const std::uint64_t count = std::uint64_t{*named} + *ids;
    const auto body = pe.at(static_cast<std::uint32_t>(rva), resourceDirectoryHeader + count * 8);
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
    const std::uint64_t rva = static_cast<std::uint64_t>(pe.resourceRva()) + entry.nameOffset();
    if (rva > 0xFFFFFFFFu)
        return false;
    const auto text = pe.at(static_cast<std::uint32_t>(rva), 2 + 2 * wanted.size());
    if (!text || text->u16(0) != std::uint16_t{wanted.size()})
        return false;
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        const auto c = text->u16(2 + 2 * i);
        if (!c || *c > 0x7F || toUpperAscii(static_cast<char>(*c)) != wanted[i])
            return false;
    }
    return true;
}

// The library data of the TYPELIB resource with the given id: type, then id, then the first
// language. The walk is exactly three levels deep, so a directory that points back at itself or
// nests deeper ends at a level where data was expected, and is refused.
std::optional<Window> findTypeLibResource(const PeImage& pe, std::uint32_t resourceId) {
    if (resourceId > 0xFFFF)
        return std::nullopt; // resource ids are 16-bit
    const auto types = readDirectory(pe, 0);
    if (!types)
        return std::nullopt;
    const ResourceEntry* type = nullptr;
    for (const ResourceEntry& e : *types)
        if (e.named() && isTypeLibName(pe, e)) {
            type = &e;
            break;
        }
    if (type == nullptr || !type->isDirectory())
        return std::nullopt;

    const auto names = readDirectory(pe, type->targetOffset());
    if (!names)
        return std::nullopt;
    const ResourceEntry* name = nullptr;
    for (const ResourceEntry& e : *names)
        if (!e.named() && (e.name & 0xFFFF) == resourceId) {
            name = &e;
            break;
        }
    if (name == nullptr || !name->isDirectory())
        return std::nullopt;

    const auto languages = readDirectory(pe, name->targetOffset());
    if (!languages || languages->empty() || languages->front().isDirectory())
        return std::nullopt;

    const std::uint64_t dataRva =
        static_cast<std::uint64_t>(pe.resourceRva()) + languages->front().targetOffset();
    if (dataRva > 0xFFFFFFFFu)
        return std::nullopt;
    const auto dataEntry = pe.at(static_cast<std::uint32_t>(dataRva), 16);
    if (!dataEntry)
        return std::nullopt;
    const auto rva = dataEntry->u32(0); // an RVA, not root-relative
    const auto size = dataEntry->u32(4);
    if (!rva || !size)
        return std::nullopt;
    return pe.at(*rva, *size);
}

std::optional<TypeLibAttributes> parseSource(const ByteSource& source, std::uint32_t resourceId) {
    const Window whole(source, 0, source.size());
    if (whole.u16(0) == std::uint16_t{0x5A4D}) { // "MZ": the library is a resource of the PE file
        const auto pe = PeImage::open(source);
        if (!pe)
            return std::nullopt;
        const auto data = findTypeLibResource(*pe, resourceId);
        return data ? parseLibraryData(*data) : std::nullopt;
    }
    return parseLibraryData(whole);
}

bool isRegularFile(const std::string& hostPath) {
    return PositionedFile::open(hostPath) != nullptr;
}

// The resource id a trailing "\N" names, when the last component is a decimal number that fits a
// resource id.
std::optional<std::uint32_t> resourceSuffix(std::string_view path, std::size_t& cut) {
    const std::size_t slash = path.find_last_of('\\');
    if (slash == std::string_view::npos || slash == 0 || slash + 1 == path.size())
        return std::nullopt;
    const std::string_view digits = path.substr(slash + 1);
    if (digits.size() > 5)
        return std::nullopt;
    std::uint32_t id = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        id = id * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (id > 0xFFFF)
        return std::nullopt;
    cut = slash;
    return id;
}

// Registrations made through a final-path lookup carry a "\\?\" prefix ("\\?\UNC\" for shares).
std::string withoutLongPathPrefix(std::string_view path) {
    if (path.starts_with("\\\\?\\UNC\\"))
        return "\\\\" + std::string(path.substr(8));
    // "\\?\unix\" names a host path outside every drive: that prefix is part of the path.
    if (path.starts_with("\\\\?\\") && !startsWithIgnoreCase(path, "\\\\?\\unix\\"))
        return std::string(path.substr(4));
    return std::string(path);
}

} // namespace

std::optional<TypeLibLocation> locateTypeLib(std::string_view windowsPath) {
    const std::string path = withoutLongPathPrefix(windowsPath);
    // A file that exists under the whole name is the file; only otherwise is a trailing number a
    // resource id.
    std::string host = hostPathOf(path);
    if (isRegularFile(host))
        return TypeLibLocation{std::move(host), 1};
    std::size_t cut = 0;
    const auto id = resourceSuffix(path, cut);
    if (!id)
        return std::nullopt;
    host = hostPathOf(std::string_view(path).substr(0, cut));
    if (!isRegularFile(host))
        return std::nullopt;
    return TypeLibLocation{std::move(host), *id};
}

std::optional<TypeLibAttributes> readTypeLibAttributes(std::string_view windowsPath) {
    const auto location = locateTypeLib(windowsPath);
    if (!location)
        return std::nullopt;
    const auto file = FileSource::open(location->hostPath);
    if (!file)
        return std::nullopt;
    return parseSource(*file, location->resourceId);
}

std::optional<TypeLibAttributes> parseTypeLib(std::string_view bytes, std::uint32_t resourceId) {
    const MemorySource source(bytes);
    return parseSource(source, resourceId);
}

} // namespace pelorix
