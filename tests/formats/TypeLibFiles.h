#pragma once

// Type-library files built in memory byte by byte, laid out as the tools that write them do:
// raw MSFT and SLTG libraries, and PE32/PE32+ files that carry libraries as TYPELIB resources.
// Every offset a reader follows can be set by a test to break the file in one place.

#include "formats/TypeLibReader.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace pelorix::test {

inline void expectLibrary(const std::optional<TypeLibAttributes>& lib, std::string_view guid, int major,
                          int minor) {
    ASSERT_TRUE(lib.has_value());
    EXPECT_EQ(lib->guid, guid);
    EXPECT_EQ(lib->majorVersion, major);
    EXPECT_EQ(lib->minorVersion, minor);
}

class Bytes {
public:
    std::string data;

    std::size_t size() const noexcept { return data.size(); }
    Bytes& u8(std::uint8_t v) {
        data.push_back(static_cast<char>(v));
        return *this;
    }
    Bytes& u16(std::uint16_t v) { return u8(v & 0xFF).u8(static_cast<std::uint8_t>(v >> 8)); }
    Bytes& u32(std::uint32_t v) { return u16(v & 0xFFFF).u16(static_cast<std::uint16_t>(v >> 16)); }
    Bytes& u64(std::uint64_t v) { return u32(v & 0xFFFFFFFFu).u32(static_cast<std::uint32_t>(v >> 32)); }
    Bytes& raw(std::string_view s) {
        data.append(s);
        return *this;
    }
    Bytes& zeros(std::size_t n) {
        data.append(n, '\0');
        return *this;
    }
    Bytes& padTo(std::size_t offset) {
        if (data.size() < offset)
            data.resize(offset, '\0');
        return *this;
    }
    void put32(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            data[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
    void put16(std::size_t at, std::uint16_t v) {
        data[at] = static_cast<char>(v & 0xFF);
        data[at + 1] = static_cast<char>(v >> 8);
    }
};

// The 16 bytes of a GUID written as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
inline std::string guidBytes(std::string_view text) {
    auto hex = [&](std::size_t at, std::size_t n) {
        return static_cast<std::uint32_t>(std::stoul(std::string(text.substr(at, n)), nullptr, 16));
    };
    Bytes b;
    b.u32(hex(1, 8)).u16(static_cast<std::uint16_t>(hex(10, 4))).u16(static_cast<std::uint16_t>(hex(15, 4)));
    b.u8(static_cast<std::uint8_t>(hex(20, 2))).u8(static_cast<std::uint8_t>(hex(22, 2)));
    for (std::size_t i = 0; i < 6; ++i)
        b.u8(static_cast<std::uint8_t>(hex(25 + 2 * i, 2)));
    return b.data;
}

struct MsftOptions {
    std::string guid = "{12345678-9ABC-DEF0-1122-334455667788}";
    std::uint16_t major = 1;
    std::uint16_t minor = 10;
    std::uint32_t typeCount = 2;
    bool helpDll = false;            // varflags 0x100: one more int32 before the type offsets
    std::uint32_t libraryEntry = 24; // byte offset of the library's entry in the GUID table
};

// A raw MSFT library: header, [help DLL], type offsets, the 15 segment descriptors, a GUID table
// whose second entry is the library's. Offsets of interest are returned for tests to break.
struct MsftFile {
    std::string bytes;
    std::size_t segmentDirectory = 0;
    std::size_t guidTable = 0;
};

inline MsftFile makeMsft(const MsftOptions& o = {}) {
    Bytes b;
    const std::uint32_t varFlags = 0x41 | (o.helpDll ? 0x100u : 0u);
    b.raw("MSFT").u32(0x00010002).u32(o.libraryEntry).u32(0x411).u32(0x411).u32(varFlags);
    b.u16(o.major).u16(o.minor).u32(0).u32(o.typeCount);
    b.u32(0xFFFFFFFF).u32(0).u32(0).u32(5).u32(0x1A).u32(0).u32(0xFFFFFFFF);
    b.u32(0x18).u32(0x20).u32(0x80).u32(1).u32(1);
    if (o.helpDll)
        b.u32(0);
    for (std::uint32_t i = 0; i < o.typeCount; ++i)
        b.u32(0x64 * i);
    MsftFile f;
    f.segmentDirectory = b.size();
    f.guidTable = f.segmentDirectory + 15 * 16;
    for (int seg = 0; seg < 15; ++seg) {
        const bool guids = seg == 5;
        b.u32(guids ? static_cast<std::uint32_t>(f.guidTable) : 0xFFFFFFFF).u32(guids ? 48 : 0);
        b.u32(0xFFFFFFFF).u32(0x0F);
    }
    // A first entry belonging to another GUID, so that the library's entry offset matters.
    b.raw(guidBytes("{00020400-0000-0000-C000-000000000046}")).u32(0).u32(0xFFFFFFFF);
    b.raw(guidBytes(o.guid)).u32(0xFFFFFFFE).u32(0xFFFFFFFF);
    f.bytes = std::move(b.data);
    return f;
}

struct SltgOptions {
    std::string guid = "{0E59F1D2-1FBE-11D0-8FF2-00A0D10038BC}";
    std::uint16_t major = 3;
    std::uint16_t minor = 0x1F;
    std::string helpString = "Sample control library";
    std::string helpFile;         // empty: written as "none" (0xFFFF)
    std::uint16_t res06 = 0xFFFF; // not 0xFFFF: that many bytes follow and are skipped
};

// An SLTG library of three blocks whose chain runs 2 -> 1 -> 3, so that the library block (the
// chain's last) is found only by following the chain, not by position.
struct SltgFile {
    std::string bytes;
    std::size_t blockTable = 0x24;
    std::size_t libraryBlock = 0;
};

inline SltgFile makeSltg(const SltgOptions& o = {}) {
    const std::vector<std::string> blocks = {std::string(40, 'a'), std::string(24, 'b')};
    Bytes lib;
    lib.u16(0x51CC).u16(0).u16(0);
    lib.u16(o.res06);
    if (o.res06 != 0xFFFF)
        lib.zeros(o.res06);
    lib.u16(static_cast<std::uint16_t>(o.helpString.size())).raw(o.helpString);
    if (o.helpFile.empty())
        lib.u16(0xFFFF);
    else
        lib.u16(static_cast<std::uint16_t>(o.helpFile.size())).raw(o.helpFile);
    lib.u32(0).u16(1).u16(0x409).u32(0).u16(8).u16(o.major).u16(o.minor).raw(guidBytes(o.guid));
    lib.zeros(12);

    Bytes b;
    const std::uint16_t blockCount = 4; // three blocks plus one
    b.raw("SLTG").u16(blockCount).u16(9).u16(0).u16(2);
    for (int i = 0; i < 6; ++i)
        b.u32(0);
    // Block entries (1-based "next"): entry 2 -> entry 1 -> entry 3 (the library).
    b.u32(static_cast<std::uint32_t>(blocks[1].size())).u16(0).u16(3);
    b.u32(static_cast<std::uint32_t>(blocks[0].size())).u16(11).u16(1);
    b.u32(static_cast<std::uint32_t>(lib.size())).u16(22).u16(0);
    b.u8(1).raw(std::string_view("CompObj\0", 8)).raw(std::string_view("dir\0", 4));
    for (int i = 0; i < blockCount - 2; ++i)
        b.raw(std::string_view("Block\0\0\0\0\0\0", 11));
    b.zeros(9);
    // Blocks in chain order: entry 2's bytes, entry 1's bytes, then the library block.
    b.raw(blocks[0]).raw(blocks[1]);
    SltgFile f;
    f.libraryBlock = b.size();
    b.raw(lib.data);
    f.bytes = std::move(b.data);
    return f;
}

struct PeResource {
    std::uint16_t id = 1;
    std::string data;
};

struct PeOptions {
    bool pe32Plus = false;
    std::vector<PeResource> typeLibs;
    std::uint32_t sectionRva = 0x3000; // differs from the file offset on purpose
    std::uint32_t sectionOffset = 0x400;
};

// A PE file with one section holding the resource tree: a named "WINE_REGISTRY" type first, the
// named "TYPELIB" type (written in mixed case to prove the name is compared without case), an id
// type, then the names, data entries, and the libraries' bytes last.
struct PeFile {
    std::string bytes;
    std::size_t peHeader = 0x80;
    std::size_t sectionTable = 0;
    std::size_t resourceRoot = 0;  // file offset
    std::size_t typeLibEntry = 0;  // file offset of the TYPELIB entry in the root directory
    std::size_t nameDirectory = 0; // file offset of the TYPELIB type's id directory
    std::vector<std::size_t> languageDirectories;
    std::vector<std::size_t> dataEntries;
};

inline PeFile makePe(const PeOptions& o) {
    PeFile f;
    Bytes b;
    b.raw("MZ").padTo(0x3C);
    b.u32(static_cast<std::uint32_t>(f.peHeader)).padTo(f.peHeader);
    const std::uint16_t optionalSize = o.pe32Plus ? 0xF0 : 0xE0;
    b.raw(std::string_view("PE\0\0", 4)).u16(o.pe32Plus ? 0x8664 : 0x14C).u16(1).u32(0).u32(0).u32(0);
    b.u16(optionalSize).u16(0x2102);
    const std::size_t opt = b.size();
    b.u16(o.pe32Plus ? 0x20B : 0x10B);
    b.padTo(opt + (o.pe32Plus ? 108 : 92)).u32(16);
    const std::size_t dataDirs = b.size();
    b.zeros(16 * 8);
    b.padTo(opt + optionalSize);
    f.sectionTable = b.size();
    b.raw(std::string_view(".rsrc\0\0\0", 8));
    const std::size_t sectionFields = b.size();
    b.zeros(32);
    b.padTo(o.sectionOffset);

    // The resource tree, built with root-relative offsets.
    const std::size_t libCount = o.typeLibs.size();
    Bytes r;
    auto directory = [&](std::uint16_t named, std::uint16_t ids) { r.zeros(12).u16(named).u16(ids); };
    directory(2, 1);
    const std::size_t rootEntries = r.size();
    r.zeros(3 * 8);
    const std::size_t nameDir = r.size();
    directory(0, static_cast<std::uint16_t>(libCount));
    const std::size_t nameEntries = r.size();
    r.zeros(libCount * 8);
    std::vector<std::size_t> langDirs;
    for (std::size_t i = 0; i < libCount; ++i) {
        langDirs.push_back(r.size());
        directory(0, 1);
        r.zeros(8);
    }
    const std::size_t otherDir = r.size(); // the directories of the other two types: empty
    directory(0, 0);
    std::vector<std::size_t> dataEntries;
    for (std::size_t i = 0; i < libCount; ++i) {
        dataEntries.push_back(r.size());
        r.zeros(16);
    }
    const std::size_t typeLibName = r.size();
    r.u16(7);
    for (char c : std::string_view("TypeLib"))
        r.u16(static_cast<std::uint16_t>(c));
    const std::size_t registryName = r.size();
    r.u16(13);
    for (char c : std::string_view("WINE_REGISTRY"))
        r.u16(static_cast<std::uint16_t>(c));
    r.padTo((r.size() + 3) & ~std::size_t{3});
    std::vector<std::size_t> libData;
    for (const PeResource& lib : o.typeLibs) {
        libData.push_back(r.size());
        r.raw(lib.data);
    }
    constexpr std::uint32_t dirFlag = 0x80000000u;
    r.put32(rootEntries, dirFlag | static_cast<std::uint32_t>(registryName));
    r.put32(rootEntries + 4, dirFlag | static_cast<std::uint32_t>(otherDir));
    r.put32(rootEntries + 8, dirFlag | static_cast<std::uint32_t>(typeLibName));
    r.put32(rootEntries + 12, dirFlag | static_cast<std::uint32_t>(nameDir));
    r.put32(rootEntries + 16, 16); // RT_VERSION
    r.put32(rootEntries + 20, dirFlag | static_cast<std::uint32_t>(otherDir));
    for (std::size_t i = 0; i < libCount; ++i) {
        r.put32(nameEntries + 8 * i, o.typeLibs[i].id);
        r.put32(nameEntries + 8 * i + 4, dirFlag | static_cast<std::uint32_t>(langDirs[i]));
        r.put32(langDirs[i] + 16, 0x409);
        r.put32(langDirs[i] + 20, static_cast<std::uint32_t>(dataEntries[i]));
        r.put32(dataEntries[i], o.sectionRva + static_cast<std::uint32_t>(libData[i]));
        r.put32(dataEntries[i] + 4, static_cast<std::uint32_t>(o.typeLibs[i].data.size()));
    }

    const auto resourceSize = static_cast<std::uint32_t>(r.size());
    b.put32(dataDirs + 2 * 8, o.sectionRva);
    b.put32(dataDirs + 2 * 8 + 4, resourceSize);
    b.put32(sectionFields, resourceSize);         // VirtualSize
    b.put32(sectionFields + 4, o.sectionRva);     // VirtualAddress
    b.put32(sectionFields + 8, resourceSize);     // SizeOfRawData
    b.put32(sectionFields + 12, o.sectionOffset); // PointerToRawData
    b.raw(r.data);

    f.resourceRoot = o.sectionOffset;
    f.typeLibEntry = o.sectionOffset + rootEntries + 8;
    f.nameDirectory = o.sectionOffset + nameDir;
    for (std::size_t i = 0; i < libCount; ++i) {
        f.languageDirectories.push_back(o.sectionOffset + langDirs[i]);
        f.dataEntries.push_back(o.sectionOffset + dataEntries[i]);
    }
    f.bytes = std::move(b.data);
    return f;
}

} // namespace pelorix::test
