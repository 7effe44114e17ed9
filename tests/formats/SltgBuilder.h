#pragma once

// An SLTG library built byte by byte, laid out as the old ICreateTypeLib wrote them (no tool on
// this machine writes the format): the header and block directory, one block per type, the
// library block with its list of types, and the name table. Offsets a test may break are kept.

#include "formats/TypeLibFiles.h"

#include <string>
#include <vector>

namespace pelorix::test {

// The name table: each name preceded by a byte that is no letter or digit and ended by NUL.
class SltgNames {
public:
    std::uint16_t add(std::string_view name) {
        m_bytes.u8(0x01);
        const auto at = static_cast<std::uint16_t>(m_bytes.size());
        m_bytes.raw(name).u8(0);
        return at;
    }
    const std::string& bytes() const { return m_bytes.data; }

private:
    Bytes m_bytes;
};

// One type's block: header, reference table, member header, member data, tail.
struct SltgType {
    std::uint8_t kind = 0;
    std::uint16_t flags = 0;
    std::string guid;
    std::uint16_t nameOffset = 0;
    std::vector<std::string> refs; // "*\R..." texts
    std::string members;           // member data; record offsets count from its start
    std::uint16_t functions = 0, variables = 0, implemented = 0;
    std::uint16_t functionsAt = 0xFFFF, variablesAt = 0xFFFF;
    std::uint16_t aliasType = 0;
    bool simpleAlias = false;
    std::uint16_t size = 0;

    static SltgType make(std::uint8_t kind, std::uint16_t flags, std::string guid, std::uint16_t name) {
        SltgType t;
        t.kind = kind;
        t.flags = flags;
        t.guid = std::move(guid);
        t.nameOffset = name;
        return t;
    }

    std::string block() const {
        Bytes b;
        b.u16(0x0501);
        const std::size_t refTable = b.size();
        b.u32(0xFFFFFFFF).u32(0xFFFFFFFF);
        const std::size_t elemTable = b.size();
        b.u32(0).u32(0xFFFFFFFF).u16(0).u16(0).u32(0xFFFE0000);
        b.u8(static_cast<std::uint8_t>(0x02 | ((flags & 0x1F) << 3)))
            .u8(static_cast<std::uint8_t>(flags >> 5));
        b.u8(0x02).u8(kind).u32(0);
        if (!refs.empty()) {
            b.put32(refTable, static_cast<std::uint32_t>(b.size()));
            b.u8(0xDF).zeros(0x43).u32(static_cast<std::uint32_t>(8 * refs.size())).zeros(8 * refs.size());
            b.u16(0xFFFF).u8(1).u32(0);
            for (const std::string& r : refs)
                b.u16(static_cast<std::uint16_t>(r.size())).raw(r);
            b.u8(0xDF);
        }
        b.put32(elemTable, static_cast<std::uint32_t>(b.size()));
        b.u16(1).u16(0xFFFF).u8(1).u32(static_cast<std::uint32_t>(members.size())).raw(members);
        b.u16(functions).u16(variables).u16(implemented).u16(0);
        b.u16(functionsAt).u16(variablesAt).u16(implemented != 0 ? 0 : 0xFFFF).zeros(6);
        b.u16(aliasType).u16(0xFFFF).u16(0).u16(0).u16(simpleAlias ? 1 : 0).u16(0);
        b.u16(size).u16(4).u16(0).u16(0).u16(28).zeros(12);
        return b.data;
    }
};

struct SltgLibrary {
    std::string guid = "{5A5A0000-0000-4000-8000-000000000001}";
    std::uint16_t major = 1, minor = 2;
    std::uint16_t nameOffset = 0;
    std::string helpString = "Old sample";
    std::vector<SltgType> types;
    std::string names;

    std::string bytes() const {
        std::vector<std::string> blocks;
        for (const SltgType& t : types)
            blocks.push_back(t.block());
        Bytes lib;
        lib.u16(0x51CC).u16(3).u16(nameOffset).u16(0xFFFF);
        lib.u16(static_cast<std::uint16_t>(helpString.size())).raw(helpString).u16(0xFFFF);
        lib.u32(0).u16(1).u16(0x409).u32(0).u16(0).u16(major).u16(minor).raw(guidBytes(guid));
        lib.zeros(0x40);
        for (std::size_t i = 0; i < types.size(); ++i) {
            const std::string index = "A" + std::string(9, static_cast<char>('A' + i));
            lib.u16(static_cast<std::uint16_t>(i)).u16(static_cast<std::uint16_t>(index.size())).raw(index);
            lib.u16(0xFFFF).u16(0xFFFF).u16(types[i].nameOffset).u16(0).u16(0xFFFF).u32(0).u16(0xFFFF);
            lib.raw(types[i].guid.empty() ? std::string(16, '\0') : guidBytes(types[i].guid));
        }
        const std::size_t jump = lib.size() + 6;
        lib.u16(3).u32(static_cast<std::uint32_t>(jump)).u16(0xFFFF);
        lib.padTo(jump + 0x218).raw(names);
        blocks.push_back(lib.data);

        Bytes b;
        const auto count = static_cast<std::uint16_t>(blocks.size() + 1);
        b.raw("SLTG").u16(count).u16(9).u16(0).u16(1);
        b.u32(0x000204FF).u32(0).u32(0xC0).u32(0x46000000).u32(0x44).u32(0xFFFF0000);
        for (std::size_t i = 0; i < blocks.size(); ++i)
            b.u32(static_cast<std::uint32_t>(blocks[i].size()))
                .u16(static_cast<std::uint16_t>(13 + 11 * i))
                .u16(static_cast<std::uint16_t>(i + 1 < blocks.size() ? i + 2 : 0));
        b.u8(1).raw(std::string_view("CompObj\0", 8)).raw(std::string_view("dir\0", 4));
        for (std::size_t i = 0; i + 1 < blocks.size(); ++i)
            b.raw("AAAAAAAAAA").u8(0);
        b.zeros(9);
        for (const std::string& block : blocks)
            b.raw(block);
        return b.data;
    }
};

} // namespace pelorix::test
