// The reader of a library's whole content against libraries widl wrote from an IDL file (see
// WidlLibraries.h), and against damaged copies of them.
#include "formats/TypeLibContent.h"

#include "formats/CompatExpectations.h"
#include "formats/TypeLibCompat.h"
#include "formats/TypeLibFiles.h"
#include "formats/TypeLibText.h"
#include "formats/WidlLibraries.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace pelorix {
namespace {

const TypeInfo& typeNamed(const TypeLibrary& lib, std::string_view name) {
    for (const TypeInfo& t : lib.types)
        if (t.name == name)
            return t;
    throw std::runtime_error("no type " + std::string(name));
}

// A function as the IDL declares it: kind, id, vtable slot, and its parameters as IDL text.
struct DeclaredFunction {
    const char* name;
    std::uint8_t invokeKind;
    std::int32_t memberId;
    std::int32_t slot;
    const char* params; // "[in] long dx, [in] long dy"
};

std::string paramsText(const Function& f, const TypeLibrary& lib) {
    std::string text;
    for (const Param& p : f.params) {
        std::string flags;
        for (const auto& [bit, word] :
             {std::pair{paramflag::In, "in"}, std::pair{paramflag::Out, "out"},
              std::pair{paramflag::RetVal, "retval"}, std::pair{paramflag::Optional, "optional"}})
            if ((p.flags & bit) != 0)
                flags += (flags.empty() ? "" : ", ") + std::string(word);
        text += (text.empty() ? "" : ", ") + ("[" + flags + "] ") + typeText(p.type, lib) +
                (p.name.empty() ? "" : " " + p.name);
    }
    return text;
}

void expectFunctions(const TypeLibrary& lib, const TypeInfo& type,
                     const std::vector<DeclaredFunction>& declared) {
    ASSERT_EQ(type.functions.size(), declared.size());
    for (std::size_t i = 0; i < declared.size(); ++i) {
        const Function& f = type.functions[i];
        SCOPED_TRACE(f.name);
        EXPECT_EQ(f.name, declared[i].name);
        EXPECT_EQ(f.invokeKind, declared[i].invokeKind);
        EXPECT_EQ(f.memberId, declared[i].memberId);
        EXPECT_EQ(f.vtableOffset / static_cast<std::int32_t>(lib.pointerSize()), declared[i].slot);
        EXPECT_EQ(typeText(f.returnType, lib), "HRESULT");
        EXPECT_EQ(paramsText(f, lib), declared[i].params);
    }
}

class WidlContent : public ::testing::TestWithParam<const char*> {};

TEST_P(WidlContent, EveryTypeAndMemberIsReadAsTheIdlDeclaresIt) {
    PELORIX_SKIP_WITHOUT_WIDL();
    const TypeLibrary lib = test::widlLibrary(GetParam());
    EXPECT_EQ(lib.format, "MSFT");
    EXPECT_EQ(lib.guid, "{C0DE0000-0000-4000-8000-000000000001}");
    EXPECT_EQ(lib.name, "CompatSample");
    EXPECT_EQ(lib.docString, "Compat sample library");
    EXPECT_EQ(lib.majorVersion, 1);
    ASSERT_EQ(lib.imports.size(), 1u);
    EXPECT_EQ(lib.imports[0].guid, "{00020430-0000-0000-C000-000000000046}");
    EXPECT_EQ(lib.imports[0].fileName, "stdole2.tlb");
    EXPECT_EQ(lib.types.size(), 7u);

    const TypeInfo& shape = typeNamed(lib, "IShape");
    EXPECT_EQ(shape.guid, "{C0DE0000-0000-4000-8000-000000000020}");
    EXPECT_TRUE(isVtableBound(shape));
    ASSERT_EQ(shape.implemented.size(), 1u);
    EXPECT_EQ(refName(lib, shape.implemented[0].ref), "IDispatch"); // from the OLE Automation library
    EXPECT_EQ(refGuid(lib, shape.implemented[0].ref), "{00020400-0000-0000-C000-000000000046}");
    expectFunctions(lib, shape,
                    {{"Name", invoke::PropertyGet, 1, 7, "[out, retval] BSTR* value"},
                     {"Name", invoke::PropertyPut, 1, 8, "[in] BSTR"},
                     {"Move", invoke::Func, 2, 9, "[in] long dx, [in] long dy"},
                     {"Scale", invoke::Func, 3, 10, "[in, out] double* factor"},
                     {"Draw", invoke::Func, 4, 11, "[in, optional] VARIANT target"},
                     {"Area", invoke::Func, 5, 12, "[out, retval] double* Area"}});
    expectFunctions(lib, typeNamed(lib, "ICanvas"),
                    {{"Add", invoke::Func, 1, 7, "[in] IShape* shape"},
                     {"Count", invoke::PropertyGet, 2, 8, "[out, retval] long* Count"}});

    const TypeInfo& events = typeNamed(lib, "ShapeEvents");
    EXPECT_FALSE(isVtableBound(events));
    ASSERT_EQ(events.functions.size(), 1u);
    EXPECT_EQ(events.functions[0].funcKind, funckind::Dispatch);
    EXPECT_EQ(typeText(events.functions[0].returnType, lib), "void");

    // Names are shared without regard to case in an MSFT file: the coclass takes the spelling of
    // the parameter "shape" that came first.
    const TypeInfo& coclass = typeNamed(lib, "shape");
    EXPECT_EQ(coclass.kind, TypeKind::Coclass);
    ASSERT_EQ(coclass.implemented.size(), 2u);
    EXPECT_EQ(refName(lib, coclass.implemented[0].ref), "IShape");
    EXPECT_EQ(coclass.implemented[0].flags, implflag::Default);
    EXPECT_EQ(refName(lib, coclass.implemented[1].ref), "ShapeEvents");
    EXPECT_EQ(coclass.implemented[1].flags, implflag::Default | implflag::Source);

    const TypeInfo& colors = typeNamed(lib, "Colors");
    ASSERT_EQ(colors.variables.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(colors.variables[i].varKind, varkind::Const);
        EXPECT_EQ(colors.variables[i].value->text, std::to_string(1 << (i == 2 ? 2 : i)));
    }
    const TypeInfo& point = typeNamed(lib, "Point");
    EXPECT_EQ(point.size, 8u);
    ASSERT_EQ(point.variables.size(), 2u);
    EXPECT_EQ(point.variables[1].name, "y");
    EXPECT_EQ(point.variables[1].offset, 4u);
}

INSTANTIATE_TEST_SUITE_P(Widl, WidlContent, ::testing::Values("compat.tlb", "compat64.tlb"),
                         [](const auto& param) { return param.index == 0 ? "win32" : "win64"; });

TEST(WidlContent, TheSameIdlForAnotherSystemComparesEqual) {
    PELORIX_SKIP_WITHOUT_WIDL();
    if (!test::fileExists(test::widlLibraryPath("compat64.tlb")))
        GTEST_SKIP() << "no win64 library";
    const TypeLibrary win32 = test::widlLibrary("compat.tlb");
    const TypeLibrary win64 = test::widlLibrary("compat64.tlb");
    EXPECT_EQ(win64.sysKind, 3);
    EXPECT_EQ(compare(win32, win64), std::vector<CompatDifference>{});
}

TEST(WidlContent, EveryTruncationAndEveryFlippedByteIsReadOrRefused) {
    PELORIX_SKIP_WITHOUT_WIDL();
    test::expectEveryDamageReadOrRefused(test::widlLibraryBytes("compat.tlb"));
}

// Offsets of a widl library's header and segments, to break it in one place.
struct MsftLayout {
    std::string bytes;
    std::uint32_t typeCount;
    std::size_t directory;
    std::uint32_t segment(int index) const { return u32(directory + 16 * index); }
    std::uint32_t u32(std::size_t at) const {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
        return v;
    }
    void put32(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
};

MsftLayout widlLayout() {
    MsftLayout l{test::widlLibraryBytes("compat.tlb"), 0, 0};
    l.typeCount = l.u32(0x20);
    l.directory = 0x54 + 4 * l.typeCount;
    return l;
}

struct Damage {
    const char* name;
    void (*apply)(MsftLayout&);
    const char* error; // a part of the error's text
};

const Damage damages[] = {
    {"HugeTypeCount", [](MsftLayout& l) { l.put32(0x20, 0x7FFFFFFF); }, "types"},
    {"TypeCountPastTheDirectory", [](MsftLayout& l) { l.put32(0x20, l.typeCount + 1000); }, "outside"},
    {"MembersOutsideTheFile", [](MsftLayout& l) { l.put32(l.segment(0) + 4, 0x7FFFFF00); }, "outside"},
    {"TypeDescriptionThatPointsAtItself",
     [](MsftLayout& l) {
         // Every entry of the type-description table: VT_PTR to the entry itself.
         for (std::uint32_t at = 0; at < l.u32(l.directory + 16 * 9 + 4); at += 8) {
             l.put32(l.segment(9) + at, 26);
             l.put32(l.segment(9) + at + 4, at);
         }
     },
     "nested deeper"},
    {"NameOutsideItsTable", [](MsftLayout& l) { l.put32(l.segment(0) + 0x34, 0x00FFFFF0); }, "name"},
    {"UnknownTypeKind", [](MsftLayout& l) { l.put32(l.segment(0), 0x0F); }, "type kind"},
};

TEST(WidlContent, DamagedLibrariesAreRefusedNamingTheDamage) {
    PELORIX_SKIP_WITHOUT_WIDL();
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.name);
        MsftLayout l = widlLayout();
        d.apply(l);
        try {
            readTypeLibrary(l.bytes);
            ADD_FAILURE() << "read without error";
        } catch (const TypeLibError& e) {
            EXPECT_NE(std::string(e.what()).find(d.error), std::string::npos) << e.what();
        }
    }
}

// A small MSFT file whose types all point at one block of members would read as millions of
// members: it is refused as soon as it has read more than its bytes can hold.
std::string sharedMembers(std::uint32_t types, std::uint32_t members) {
    test::Bytes b;
    b.raw("MSFT").u32(0x00010002).u32(0xFFFFFFFF).u32(0).u32(0).u32(1).u32(0).u32(0).u32(types);
    b.u32(0xFFFFFFFF).u32(0).u32(0).u32(0).u32(0).u32(0xFFFFFFFF).u32(0xFFFFFFFF).u32(0xFFFFFFFF);
    b.u32(0x20).u32(0x80).u32(0xFFFFFFFF).u32(0);
    for (std::uint32_t i = 0; i < types; ++i)
        b.u32(0x64 * i);
    const std::size_t records = b.size() + 15 * 16;
    for (int segment = 0; segment < 15; ++segment)
        b.u32(segment == 0 ? static_cast<std::uint32_t>(records) : 0xFFFFFFFF)
            .u32(segment == 0 ? 0x64 * types : 0)
            .u32(0xFFFFFFFF)
            .u32(0x0F);
    const auto block = static_cast<std::uint32_t>(records + 0x64 * types);
    for (std::uint32_t i = 0; i < types; ++i) { // interfaces, all with the same members
        const std::size_t at = b.size();
        b.zeros(0x64);
        b.put32(at, 3);
        b.put32(at + 0x04, block);
        b.put32(at + 0x18, members);
        for (const std::size_t none : {0x2C, 0x34, 0x3C, 0x48, 0x54})
            b.put32(at + none, 0xFFFFFFFF);
    }
    b.u32(24 * members);
    for (std::uint32_t i = 0; i < members; ++i) // HRESULT F(), pure virtual, stdcall
        b.u16(24)
            .u16(0)
            .u32(0x80190019)
            .u32(0)
            .u16(static_cast<std::uint16_t>(4 * i))
            .u16(0)
            .u32(0x409)
            .u32(0);
    for (std::uint32_t i = 0; i < members; ++i)
        b.u32(0x60000000 + i);
    for (std::uint32_t i = 0; i < members; ++i)
        b.u32(0xFFFFFFFF);
    for (std::uint32_t i = 0; i < members; ++i)
        b.u32(24 * i);
    return b.data;
}

TEST(TypeLibContent, TypesSharingOneBlockOfMembersAreRefused) {
    try {
        readTypeLibrary(sharedMembers(2000, 2000));
        ADD_FAILURE() << "read without error";
    } catch (const TypeLibError& e) {
        EXPECT_NE(std::string(e.what()).find("more members than the library's bytes can hold"),
                  std::string::npos)
            << e.what();
    }
    // One such type alone is a library like any other.
    EXPECT_EQ(readTypeLibrary(sharedMembers(1, 2000)).types.at(0).functions.size(), 2000u);
}

TEST(TypeLibContent, WhatIsNoLibraryIsRefusedSayingSo) {
    for (const std::string& bytes : {std::string(), std::string("MSF"), std::string(64, 'x'),
                                     std::string("MZ") + std::string(62, '\0')}) {
        try {
            readTypeLibrary(bytes);
            ADD_FAILURE() << "read without error";
        } catch (const TypeLibError& e) {
            EXPECT_NE(std::string(e.what()).find("not a type library"), std::string::npos) << e.what();
        }
    }
}

} // namespace
} // namespace pelorix
