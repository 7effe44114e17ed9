// The reader of SLTG libraries' content, on a library built byte by byte (SltgBuilder.h).
#include "formats/CompatExpectations.h"
#include "formats/SltgBuilder.h"
#include "formats/TypeLibCompat.h"
#include "formats/TypeLibContent.h"
#include "formats/TypeLibText.h"

#include <gtest/gtest.h>

namespace pelorix {
namespace {

using test::Bytes;
using test::SltgLibrary;
using test::SltgNames;
using test::SltgType;

// A function record: kind, invoke kind, next record, name, id, parameters' offset, counts,
// return type in the record, vtable offset, and flags when the kind says so.
std::string functionRecord(std::uint8_t invokeKind, std::uint16_t next, std::uint16_t name, std::uint32_t id,
                           std::uint16_t args, std::uint8_t params, std::uint8_t optional,
                           std::uint16_t vtable, std::optional<std::uint16_t> flags = std::nullopt) {
    Bytes b;
    b.u8(flags ? 0x6C : 0x4C).u8(static_cast<std::uint8_t>(invokeKind << 4 | 2)).u16(next).u16(name).u32(id);
    b.u16(0).u16(0xFFFF).u16(args).u8(static_cast<std::uint8_t>(params << 3 | 4));
    b.u8(static_cast<std::uint8_t>(0x80 | optional << 1)).u16(vt::HResult).u16(vtable);
    if (flags)
        b.u16(*flags);
    return b.data;
}

// A variable record with its type in the record: flags, next record, name, value or offset.
std::string variableRecord(std::uint8_t flags, std::uint16_t next, std::uint16_t name, std::uint16_t data,
                           std::uint16_t type, std::uint32_t id) {
    Bytes b;
    b.u8(0x0A).u8(static_cast<std::uint8_t>(flags | 0x02)).u16(next).u16(name).u16(data).u16(type).u32(id);
    return b.u16(0).u16(0xFFFF).data;
}

// An implemented interface: its flags and its index in the type's reference table.
std::string implementedRecord(std::uint8_t flags, std::uint16_t ref) {
    Bytes b;
    b.u16(0x004A).u16(0xFFFF).u16(0xFFFF).u8(flags).u8(0x80).u16(0x12).u16(ref);
    return b.u16(0x4000).u16(0xFFFE).u16(0xFFFF).u16(0x1D).u16(0).data;
}

SltgLibrary sampleSltg() {
    SltgNames names;
    SltgLibrary lib;
    lib.nameOffset = names.add("OldLib");
    const std::uint16_t stdole =
        names.add("*\\G{00020430-0000-0000-C000-000000000046}#2.0#0#C:\\Windows\\System32\\stdole2.tlb#");
    char stdoleRef[32];
    std::snprintf(stdoleRef, sizeof stdoleRef, "*\\R%x*#4", stdole);

    SltgType colors = SltgType::make(0, 0, "{5A5A0000-0000-4000-8000-000000000010}", names.add("Colors"));
    colors.members = variableRecord(0x18, 18, names.add("Red"), 1, vt::I4, 0) +
                     variableRecord(0x10, 0xFFFF, names.add("Big"), 36, vt::I4, 1);
    Bytes value;
    value.u32(100000);
    colors.members += value.data;
    colors.variables = 2;
    colors.variablesAt = 0;

    SltgType thing = SltgType::make(3, typeflag::OleAutomation, "{5A5A0000-0000-4000-8000-000000000020}",
                                    names.add("IThing"));
    thing.refs = {stdoleRef, "*\\Rffff*#0"};
    const std::uint16_t name = names.add("Name"), move = names.add("Move"), fill = names.add("Fill");
    const std::uint16_t valueName = names.add("value"), dx = names.add("dx"), dy = names.add("dy");
    const std::uint16_t color = names.add("color"), extra = names.add("extra");
    // Records at 22, 44 and 66 (the last with flags); parameters from 90.
    thing.members = implementedRecord(0, 0) +
                    functionRecord(invoke::PropertyGet, 44, name, 0x60020000, 90, 1, 0, 28) +
                    functionRecord(invoke::Func, 66, move, 0x60020001, 94, 2, 0, 32) +
                    functionRecord(invoke::Func, 0xFFFF, fill, 0x60020002, 108, 2, 1, 36, 0x40);
    Bytes params;
    params.u16(valueName + 1).u16(0x4000 | 0x80 | 0x0E00 | vt::Bstr); // 90
    params.u16(dx + 1).u16(vt::I4).u16(dy).u16(104);                  // 94
    params.u16(0).u16(0x8000 | vt::Ptr).u16(vt::I4);                  // 102: dy's type at 104
    params.u16(color + 1).u16(vt::UserDefined).u16(4).u16(extra + 1).u16(vt::Variant); // 108
    thing.members += params.data;
    thing.functions = 3;
    thing.functionsAt = 22;
    thing.implemented = 1;

    SltgType coclass =
        SltgType::make(5, typeflag::CanCreate, "{5A5A0000-0000-4000-8000-000000000030}", names.add("Thing"));
    coclass.refs = {"*\\Rffff*#1"};
    coclass.members = implementedRecord(implflag::Default, 0);
    coclass.implemented = 1;

    SltgType pair = SltgType::make(1, 0, "", names.add("Pair"));
    pair.members = variableRecord(0, 18, names.add("a"), 0, vt::I4, 0x40000000) +
                   variableRecord(0, 0xFFFF, names.add("b"), 8, vt::R8, 0x40000001);
    pair.variables = 2;
    pair.variablesAt = 0;
    pair.size = 16;

    SltgType handle = SltgType::make(6, 0, "", names.add("Handle"));
    handle.simpleAlias = true;
    handle.aliasType = vt::I4;

    lib.types = {colors, thing, coclass, pair, handle};
    lib.names = names.bytes();
    return lib;
}

TEST(SltgContent, EveryTypeAndMemberIsRead) {
    const TypeLibrary lib = readTypeLibrary(sampleSltg().bytes());
    EXPECT_EQ(lib.format, "SLTG");
    EXPECT_EQ(lib.name, "OldLib");
    EXPECT_EQ(lib.guid, "{5A5A0000-0000-4000-8000-000000000001}");
    EXPECT_EQ(lib.majorVersion, 1);
    EXPECT_EQ(lib.minorVersion, 2);
    EXPECT_EQ(lib.lcid, 0x409u);
    EXPECT_EQ(lib.docString, "Old sample");
    ASSERT_EQ(lib.types.size(), 5u);
    ASSERT_EQ(lib.imports.size(), 1u);
    EXPECT_EQ(lib.imports[0].guid, "{00020430-0000-0000-C000-000000000046}");
    EXPECT_EQ(lib.imports[0].majorVersion, 2);
    EXPECT_EQ(lib.imports[0].fileName, "C:\\Windows\\System32\\stdole2.tlb");

    EXPECT_EQ(typeLibraryText(lib), R"(// SLTG type library, win32, lcid 0x409
[uuid(5A5A0000-0000-4000-8000-000000000001), version(1.2), helpstring("Old sample")]
library OldLib {
    importlib("C:\\Windows\\System32\\stdole2.tlb"); // {00020430-0000-0000-C000-000000000046} 2.0

    [uuid(5A5A0000-0000-4000-8000-000000000010)]
    enum Colors {
        Red = 1,
        Big = 100000,
    };

    typedef long Handle;

    [uuid(5A5A0000-0000-4000-8000-000000000020), oleautomation]
    interface IThing : (type 4 of C:\Windows\System32\stdole2.tlb) {
        [id(0x60020000), propget] HRESULT Name([out, retval] BSTR* value); // vtable slot 7
        [id(0x60020001)] HRESULT Move([in] long dx, [in, out] long* dy); // vtable slot 8
        [id(0x60020002), hidden] HRESULT Fill([in] Colors color, [in, optional] VARIANT extra); // vtable slot 9
    };

    struct Pair {
        long a; // offset 0
        double b; // offset 8
    };

    [uuid(5A5A0000-0000-4000-8000-000000000030)]
    coclass Thing {
        [default] interface IThing;
    };
};
)");
}

TEST(SltgContent, AnImportedTypeIsNamedFromItsLibraryWhenTheLoaderFindsIt) {
    TypeLibrary lib = readTypeLibrary(sampleSltg().bytes());
    TypeLibrary stdole;
    stdole.types.resize(5);
    stdole.types[4].name = "IDispatch";
    stdole.types[4].guid = "{00020400-0000-0000-C000-000000000046}";
    int loads = 0;
    nameImportedTypes(lib, [&](const ImportedLibrary& i) {
        ++loads;
        return i.guid == "{00020430-0000-0000-C000-000000000046}" ? &stdole : nullptr;
    });
    EXPECT_EQ(loads, 1);
    const TypeRef& base = lib.types[1].implemented.at(0).ref;
    EXPECT_EQ(refName(lib, base), "IDispatch");
    EXPECT_EQ(refGuid(lib, base), "{00020400-0000-0000-C000-000000000046}");
}

TEST(SltgContent, EveryTruncationAndEveryFlippedByteIsReadOrRefused) {
    test::expectEveryDamageReadOrRefused(sampleSltg().bytes());
}

TEST(SltgContent, ABlockChainThatLoopsIsRefused) {
    std::string bytes = sampleSltg().bytes();
    // The first entry's "next" points back at itself.
    bytes[0x24 + 6] = 1;
    bytes[0x24 + 7] = 0;
    EXPECT_THROW(readTypeLibrary(bytes), TypeLibError);
}

} // namespace
} // namespace pelorix
