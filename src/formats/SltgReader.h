#pragma once

// The reader of the SLTG format, shared by its two source files. Internal to src/formats.

#include "formats/TypeLibParsing.h"

#include <map>

namespace pelorix::typelib_detail {

namespace sltg {
inline constexpr std::uint64_t HeaderSize = 0x24;
inline constexpr std::uint64_t TypeHeaderSize = 0x22;
inline constexpr std::uint64_t TailSize = 0x36;
inline constexpr std::uint16_t End = 0xFFFF; // no text, no next record
} // namespace sltg

// A type's block: where it lies, where its member data starts and the tail's fields.
struct TypeBlock {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    std::uint64_t members = 0; // offsets inside the type are counted from here
    std::uint64_t tail = 0;
};

// What the library block lists of each type before the types' own blocks.
struct TypeEntry {
    std::uint16_t nameOffset = 0;
    std::string guid;
};

class SltgReader {
public:
    SltgReader(const LibBytes& bytes, const TextDecoder& decode)
        : b(bytes), m_decode(decode), m_budget(bytes.size()) {}
    TypeLibrary read();

private:
    std::vector<std::uint64_t> blockChain(std::uint64_t& libraryBlock);
    std::uint64_t readLibraryBlock(std::uint64_t p);
    std::uint64_t countedText(std::uint64_t p, std::string* out) const;
    std::vector<TypeEntry> readTypeEntries(std::uint64_t& p, std::size_t count) const;
    std::string text(std::string_view raw) const { return m_decode ? m_decode(raw) : std::string(raw); }
    std::string nameAt(std::uint32_t offset) const;
    TypeInfo readType(std::uint64_t start, std::uint64_t end, const TypeEntry& entry);
    void readRefs(std::uint64_t p);
    TypeRef refString(std::string_view s);
    std::int32_t importAt(std::uint32_t offset);
    TypeDesc typeWords(std::uint64_t& p, const TypeBlock& t, int depth) const;
    std::uint16_t paramFlags(std::uint16_t word) const;
    void readFunctions(TypeInfo& type, const TypeBlock& t);
    void readParams(Function& f, std::uint64_t p, std::uint16_t count, const TypeBlock& t) const;
    void readVariables(TypeInfo& type, const TypeBlock& t);
    std::optional<Value> constValue(std::uint8_t flags, std::uint16_t data, std::uint16_t type,
                                    const TypeBlock& t) const;
    void readImplemented(TypeInfo& type, const TypeBlock& t);
    std::uint64_t inBlock(const TypeBlock& t, std::uint16_t offset, std::uint64_t n) const;

    const LibBytes& b;
    const TextDecoder& m_decode;
    TypeLibrary m_lib;
    std::uint64_t m_names = 0; // the name table
    std::size_t m_typeCount = 0;
    std::vector<TypeRef> m_refs; // the current type's reference table
    std::map<std::uint32_t, std::int32_t> m_importByName;
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::int32_t> m_externalByNumber;
    ReadBudget m_budget;
};

} // namespace pelorix::typelib_detail
