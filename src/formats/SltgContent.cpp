// The SLTG format (what the first ICreateTypeLib wrote, found in older libraries): a header, a
// chain of blocks (one per type, the library block last), and a name table after the library
// block. A type's block holds a header, its members in linked records and a tail with counts.

#include "formats/SltgReader.h"

#include <cctype>

namespace pelorix::typelib_detail {

TypeLibrary SltgReader::read() {
    m_lib.format = "SLTG";
    std::uint64_t libraryBlock = 0;
    const std::vector<std::uint64_t> blocks = blockChain(libraryBlock);
    m_typeCount = blocks.size();
    std::uint64_t p = readLibraryBlock(libraryBlock) + 0x40;
    const std::vector<TypeEntry> entries = readTypeEntries(p, m_typeCount);
    m_names = libraryBlock + b.u32(p + 2);
    if (b.u16(m_names) == 0x0200)
        m_names += 0x20;
    m_names += 0x216 + 2;
    m_lib.name = nameAt(b.u16(libraryBlock + 4));
    for (std::size_t i = 0; i < m_typeCount; ++i) {
        try {
            m_lib.types.push_back(
                readType(blocks[i], i + 1 < m_typeCount ? blocks[i + 1] : libraryBlock, entries[i]));
        } catch (const TypeLibError& e) {
            damaged("type " + std::to_string(i) + ": " + e.what());
        }
    }
    return std::move(m_lib);
}

// The start of each type's block in chain order; the chain's last block is the library's.
std::vector<std::uint64_t> SltgReader::blockChain(std::uint64_t& libraryBlock) {
    const std::uint16_t blockCount = b.u16(4);
    if (blockCount < 2)
        damaged("an SLTG library of " + std::to_string(blockCount) + " blocks");
    const std::uint64_t entries = blockCount - 1u;
    const std::uint64_t magic = sltg::HeaderSize + 8 * entries;
    if (b.span(magic + 1, 12) != std::string_view("CompObj\0dir\0", 12))
        damaged("no SLTG block directory at offset " + hex(magic));
    std::uint64_t block = magic + 13 + (blockCount - 2u) * 11ull + 9;
    std::vector<std::uint64_t> starts;
    std::uint64_t order = b.u16(0x0A);
    for (;;) {
        if (order == 0 || order > entries || starts.size() >= entries)
            damaged("the SLTG block chain breaks or loops at entry " + std::to_string(order));
        const std::uint64_t e = sltg::HeaderSize + 8 * (order - 1);
        if (b.u16(e + 6) == 0)
            break;
        starts.push_back(block);
        block += b.u32(e);
        order = b.u16(e + 6);
    }
    if (starts.size() != blockCount - 2u)
        damaged("the SLTG block chain holds " + std::to_string(starts.size()) + " types, not " +
                std::to_string(blockCount - 2u));
    libraryBlock = block;
    return starts;
}

// A text counted by a 16-bit length (0xFFFF: none); returns the offset after it.
std::uint64_t SltgReader::countedText(std::uint64_t p, std::string* out) const {
    const std::uint16_t length = b.u16(p);
    if (length == sltg::End)
        return p + 2;
    if (out != nullptr)
        *out = text(b.span(p + 2, length));
    return p + 2 + length;
}

std::uint64_t SltgReader::readLibraryBlock(std::uint64_t p) {
    if (b.u16(p) != 0x51CC)
        damaged("no SLTG library block at offset " + hex(p));
    std::uint64_t q = p + 6;
    if (const std::uint16_t skip = b.u16(q); skip != sltg::End)
        q += skip;
    q = countedText(q + 2, &m_lib.docString);
    q = countedText(q, &m_lib.helpFile);
    m_lib.sysKind = b.u16(q + 4);
    m_lib.lcid = b.u16(q + 6);
    m_lib.flags = b.u16(q + 12);
    m_lib.majorVersion = b.u16(q + 14);
    m_lib.minorVersion = b.u16(q + 16);
    m_lib.guid = nonNilGuid(b.guid(q + 18));
    return q + 34;
}

// The library block's list of the types: index names, the type's name offset, extra bytes, its
// help context and GUID.
std::vector<TypeEntry> SltgReader::readTypeEntries(std::uint64_t& p, std::size_t count) const {
    std::vector<TypeEntry> entries(count);
    for (TypeEntry& e : entries) {
        std::uint64_t q = countedText(p + 2, nullptr); // index name
        q = countedText(q, nullptr);                   // other name
        e.nameOffset = b.u16(q + 2);
        q += 6 + b.u16(q + 4); // extra bytes
        e.guid = nonNilGuid(b.guid(q + 8));
        p = q + 24;
    }
    return entries;
}

// A name of the name table: NUL-terminated, of at most 1024 bytes.
std::string SltgReader::nameAt(std::uint32_t offset) const {
    constexpr std::uint64_t longest = 1024;
    const std::uint64_t start = m_names + offset;
    for (std::uint64_t n = 0; n <= longest; ++n)
        if (b.u8(start + n) == 0)
            return text(b.span(start, n));
    damaged("a name at " + hex(start) + " without an end");
}

std::uint64_t SltgReader::inBlock(const TypeBlock& t, std::uint16_t offset, std::uint64_t n) const {
    const std::uint64_t p = t.members + offset;
    if (p + n > t.end)
        damaged("member data at " + hex(p) + " lies outside its type's block");
    return p;
}

TypeInfo SltgReader::readType(std::uint64_t start, std::uint64_t end, const TypeEntry& entry) {
    if (b.u16(start) != 0x0501)
        damaged("no SLTG type header at offset " + hex(start));
    TypeInfo type;
    type.name = nameAt(entry.nameOffset);
    type.guid = entry.guid;
    type.majorVersion = b.u16(start + 0x12);
    type.minorVersion = b.u16(start + 0x14);
    type.flags = static_cast<std::uint16_t>((b.u8(start + 0x1A) >> 3) | (b.u8(start + 0x1B) << 5));
    const std::uint8_t kind = b.u8(start + 0x1D);
    if (kind > static_cast<std::uint8_t>(TypeKind::Union))
        damaged(type.name + ": unknown type kind " + std::to_string(kind));
    type.kind = static_cast<TypeKind>(kind);
    TypeBlock t{start, end, 0, 0};
    const std::uint64_t header = start + b.u32(start + 0x0A);
    t.members = header + 9;
    t.tail = t.members + b.u32(header + 5);
    if (t.tail + sltg::TailSize > end || header < start + sltg::TypeHeaderSize)
        damaged(type.name + ": the type's member data lies outside its block");
    type.size = b.u16(t.tail + 0x20);
    type.alignment = b.u16(t.tail + 0x22);
    try {
        m_refs.clear();
        if (const std::uint32_t refs = b.u32(start + 2); refs != 0xFFFFFFFFu)
            readRefs(start + refs);
        readImplemented(type, t);
        readFunctions(type, t);
        readVariables(type, t);
        if (type.kind == TypeKind::Alias && b.u16(t.tail + 0x1C) != 0) {
            type.aliasOf.vt = b.u16(t.tail + 0x14);
        } else if (type.kind == TypeKind::Alias) {
            std::uint64_t p = inBlock(t, b.u16(t.tail + 0x14), 2);
            type.aliasOf = typeWords(p, t, 0);
        }
    } catch (const TypeLibError& e) {
        damaged(type.name + ": " + e.what());
    }
    return type;
}

// A type's reference table: counted texts "*\R<library>*#<type>" (hex), the library 0xFFFF for
// this library's types, else the name-table offset of the imported library's description.
void SltgReader::readRefs(std::uint64_t p) {
    if (b.u8(p) != 0xDF)
        damaged("no reference table at offset " + hex(p));
    const std::uint32_t bytes = b.u32(p + 0x44);
    if (bytes / 8 > typelib_limits::MaxTypes)
        damaged("a reference table of " + std::to_string(bytes / 8) + " entries");
    std::uint64_t q = p + 0x4F + bytes;
    for (std::uint32_t i = 0; i < bytes / 8; ++i) {
        const std::uint16_t length = b.u16(q);
        const std::string_view s = length == sltg::End ? std::string_view() : b.span(q + 2, length);
        m_refs.push_back(refString(s));
        q += 2 + (length == sltg::End ? 0 : length);
    }
}

namespace {

// The hexadecimal number at the start of s, taken off s.
std::uint32_t hexPrefix(std::string_view& s) {
    std::uint32_t v = 0;
    std::size_t n = 0;
    for (; n < s.size() && n < 8 && std::isxdigit(static_cast<unsigned char>(s[n])); ++n)
        v = v * 16 +
            static_cast<std::uint32_t>(std::isdigit(static_cast<unsigned char>(s[n]))
                                           ? s[n] - '0'
                                           : (std::toupper(static_cast<unsigned char>(s[n])) - 'A' + 10));
    if (n == 0)
        damaged("a reference without a number");
    s.remove_prefix(n);
    return v;
}

} // namespace

TypeRef SltgReader::refString(std::string_view s) {
    if (!s.starts_with("*\\R"))
        damaged("a reference \"" + std::string(s) + "\"");
    s.remove_prefix(3);
    const std::uint32_t library = hexPrefix(s);
    if (!s.starts_with("*#"))
        damaged("a reference without its type number");
    s.remove_prefix(2);
    const std::uint32_t type = hexPrefix(s);
    TypeRef r;
    if (library == 0xFFFF) {
        if (type >= m_typeCount)
            damaged("a reference to type " + std::to_string(type) + " of " + std::to_string(m_typeCount));
        r.internalIndex = static_cast<std::int32_t>(type);
    } else {
        auto [known, added] = m_externalByNumber.emplace(std::pair{library, type}, 0);
        if (added) {
            ExternalType e;
            e.importIndex = importAt(library);
            e.importedIndex = static_cast<std::int32_t>(type);
            m_lib.externalTypes.push_back(std::move(e));
            known->second = static_cast<std::int32_t>(m_lib.externalTypes.size() - 1);
        }
        r.externalIndex = known->second;
    }
    return r;
}

// An imported library as the name table describes it: "*\G{GUID}#major.minor#lcid#path#".
std::int32_t SltgReader::importAt(std::uint32_t offset) {
    if (const auto known = m_importByName.find(offset); known != m_importByName.end())
        return known->second;
    const std::string description = nameAt(offset);
    std::string_view s = description;
    if (!s.starts_with("*\\G{") || s.size() < 42 || s.substr(40, 2) != "}#")
        damaged("an imported library \"" + description + "\"");
    ImportedLibrary lib;
    lib.guid = "{" + std::string(s.substr(4, 36)) + "}";
    for (char& c : lib.guid)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    s.remove_prefix(42);
    lib.majorVersion = static_cast<std::uint16_t>(hexPrefix(s));
    if (s.starts_with("."))
        s.remove_prefix(1);
    lib.minorVersion = static_cast<std::uint16_t>(hexPrefix(s));
    if (s.starts_with("#"))
        s.remove_prefix(1);
    lib.lcid = hexPrefix(s);
    if (s.starts_with("#"))
        s.remove_prefix(1);
    lib.fileName = std::string(s.substr(0, s.find('#')));
    m_lib.imports.push_back(std::move(lib));
    const auto index = static_cast<std::int32_t>(m_lib.imports.size() - 1);
    m_importByName.emplace(offset, index);
    return index;
}

TypeLibrary readSltg(const LibBytes& bytes, const TextDecoder& decode) {
    return SltgReader(bytes, decode).read();
}

} // namespace pelorix::typelib_detail
