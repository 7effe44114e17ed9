#include "formats/TypeLibReader.h"

#include "formats/TypeLibFiles.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace pelorix {
namespace {

using test::makeMsft;
using test::makePe;
using test::makeSltg;
using test::MsftOptions;
using test::PeOptions;

using test::expectLibrary;

// Cutting a valid file anywhere must never crash or read beyond the cut; before the library's
// GUID is complete nothing can be known, and later cuts must give the same answer or nothing.
void expectEveryTruncationSafe(const std::string& bytes, std::size_t firstLength, std::uint32_t id = 1) {
    const auto whole = parseTypeLib(bytes, id);
    ASSERT_TRUE(whole.has_value());
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        // A copy of exactly n bytes, so that the sanitizers see any read past the end.
        const std::string cut = bytes.substr(0, n);
        const auto lib = parseTypeLib(cut, id);
        if (n < firstLength) {
            EXPECT_FALSE(lib.has_value()) << "at length " << n;
        } else if (lib) {
            EXPECT_EQ(lib->guid, whole->guid) << "at length " << n;
        }
    }
}

TEST(TypeLibReaderMsft, ReadsGuidAndVersionFromTheGuidTableEntryTheHeaderNames) {
    expectLibrary(parseTypeLib(makeMsft().bytes), "{12345678-9ABC-DEF0-1122-334455667788}", 1, 10);

    MsftOptions o;
    o.guid = "{00020430-0000-0000-c000-0000000000ab}";
    o.major = 65535;
    o.minor = 0;
    expectLibrary(parseTypeLib(makeMsft(o).bytes), "{00020430-0000-0000-C000-0000000000AB}", 65535, 0);
}

TEST(TypeLibReaderMsft, HelpDllFlagAndTypeCountMoveTheSegmentDirectory) {
    for (const bool helpDll : {false, true})
        for (const std::uint32_t types : {0u, 1u, 7u}) {
            MsftOptions o;
            o.helpDll = helpDll;
            o.typeCount = types;
            expectLibrary(parseTypeLib(makeMsft(o).bytes), o.guid, 1, 10);
        }
}

TEST(TypeLibReaderMsft, RefusesBrokenHeadersAndOffsetsPastTheEnd) {
    const auto base = makeMsft();
    auto broken = [&](auto change) {
        test::Bytes b{base.bytes};
        change(b);
        return parseTypeLib(b.data);
    };
    EXPECT_FALSE(broken([](test::Bytes& b) { b.data[0] = 'X'; }));
    // Segment directory without its marker fields: not an MSFT directory.
    EXPECT_FALSE(broken([&](test::Bytes& b) { b.put32(base.segmentDirectory + 12, 0); }));
    EXPECT_FALSE(broken([&](test::Bytes& b) { b.put32(base.segmentDirectory + 16 + 12, 0x10); }));
    // GUID table or library entry past the end, or absent.
    EXPECT_FALSE(broken([&](test::Bytes& b) { b.put32(base.segmentDirectory + 5 * 16, 0x7FFFFFF0); }));
    EXPECT_FALSE(broken([&](test::Bytes& b) { b.put32(base.segmentDirectory + 5 * 16, 0xFFFFFFFF); }));
    EXPECT_FALSE(broken([](test::Bytes& b) { b.put32(0x08, 0x7FFFFFFF); }));
    EXPECT_FALSE(broken([](test::Bytes& b) { b.put32(0x08, 0xFFFFFFFF); }));
    EXPECT_FALSE(broken([](test::Bytes& b) { b.put32(0x08, static_cast<std::uint32_t>(b.size()) - 8); }));
    // A type count so large that the directory would lie far past the file.
    EXPECT_FALSE(broken([](test::Bytes& b) { b.put32(0x20, 0xFFFFFFFF); }));
    EXPECT_FALSE(broken([](test::Bytes& b) { b.put32(0x20, 0x40000000); }));
}

TEST(TypeLibReaderMsft, EveryTruncationIsSafe) {
    const auto f = makeMsft();
    expectEveryTruncationSafe(f.bytes, f.guidTable + 24 + 16);
}

TEST(TypeLibReaderSltg, FollowsTheBlockChainToTheLibraryBlock) {
    expectLibrary(parseTypeLib(makeSltg().bytes), "{0E59F1D2-1FBE-11D0-8FF2-00A0D10038BC}", 3, 0x1F);
}

TEST(TypeLibReaderSltg, FieldsAfterTheVariableLengthTextsAreFound) {
    test::SltgOptions o;
    o.helpString = "";
    o.helpFile = "C:\\Program Files\\Help\\library.chm";
    o.res06 = 5;
    o.major = 0;
    o.minor = 1;
    expectLibrary(parseTypeLib(makeSltg(o).bytes), o.guid, 0, 1);
}

TEST(TypeLibReaderSltg, RefusesBrokenChainsAndMarkers) {
    const auto base = makeSltg();
    auto broken = [&](auto change) {
        test::Bytes b{base.bytes};
        change(b);
        return parseTypeLib(b.data);
    };
    const std::size_t entry = base.blockTable;
    EXPECT_FALSE(broken([](test::Bytes& b) { b.data[3] = 'X'; }));
    EXPECT_FALSE(broken([](test::Bytes& b) { b.put16(0x04, 1); }));      // too few blocks for the layout
    EXPECT_FALSE(broken([](test::Bytes& b) { b.put16(0x04, 0xFFFF); })); // tables past the end
    EXPECT_FALSE(broken([](test::Bytes& b) { b.put16(0x0A, 0); }));      // first block 0
    EXPECT_FALSE(broken([](test::Bytes& b) { b.put16(0x0A, 9); }));      // first block past the table
    // A chain that loops (3 -> 2 -> 1 -> 3 ...) must end, with nothing.
    EXPECT_FALSE(broken([&](test::Bytes& b) { b.put16(entry + 2 * 8 + 6, 2); }));
    EXPECT_FALSE(broken([&](test::Bytes& b) { b.put16(entry + 6, 1); })); // an entry naming itself
    // A block length that carries the library block past the end.
    EXPECT_FALSE(broken([&](test::Bytes& b) { b.put32(entry + 8, 0xFFFFFFF0); }));
    EXPECT_FALSE(broken([&](test::Bytes& b) { b.data[entry + 3 * 8 + 1] = 'c'; })); // "CompObj" marker
    EXPECT_FALSE(broken([&](test::Bytes& b) { b.put16(base.libraryBlock, 0x51CD); }));
    // Text lengths that run past the end.
    EXPECT_FALSE(broken([&](test::Bytes& b) { b.put16(base.libraryBlock + 6, 0xFFF0); }));
    EXPECT_FALSE(broken([&](test::Bytes& b) { b.put16(base.libraryBlock + 8, 0xFFF0); }));
}

TEST(TypeLibReaderSltg, EveryTruncationIsSafe) {
    const auto f = makeSltg();
    expectEveryTruncationSafe(f.bytes, f.bytes.size() - 12);
}

struct PeCase {
    const char* name;
    bool pe32Plus;
};

class TypeLibReaderPe : public ::testing::TestWithParam<PeCase> {
protected:
    // Three libraries as resources 1, 2 and 300 (ids written out of order).
    test::PeFile make() const {
        PeOptions o;
        o.pe32Plus = GetParam().pe32Plus;
        MsftOptions second;
        second.guid = "{3F4DACA7-160D-11D2-A8E9-00104B365C9F}";
        second.major = 5;
        second.minor = 5;
        test::SltgOptions third;
        third.major = 7;
        o.typeLibs = {{300, makeSltg(third).bytes}, {1, makeMsft().bytes}, {2, makeMsft(second).bytes}};
        return makePe(o);
    }
};

TEST_P(TypeLibReaderPe, SelectsTheTypeLibResourceById) {
    const auto pe = make();
    expectLibrary(parseTypeLib(pe.bytes), "{12345678-9ABC-DEF0-1122-334455667788}", 1, 10);
    expectLibrary(parseTypeLib(pe.bytes, 2), "{3F4DACA7-160D-11D2-A8E9-00104B365C9F}", 5, 5);
    expectLibrary(parseTypeLib(pe.bytes, 300), "{0E59F1D2-1FBE-11D0-8FF2-00A0D10038BC}", 7, 0x1F);
    EXPECT_FALSE(parseTypeLib(pe.bytes, 3));
    // Ids are 16-bit: 65836 must not find resource 300.
    EXPECT_FALSE(parseTypeLib(pe.bytes, 65536 + 300));
}

TEST_P(TypeLibReaderPe, RefusesBrokenHeadersAndResourceTrees) {
    const auto pe = make();
    auto broken = [&](auto change) {
        test::Bytes b{pe.bytes};
        change(b);
        return parseTypeLib(b.data);
    };
    const std::size_t opt = pe.peHeader + 24;
    const std::size_t dirCount = opt + (GetParam().pe32Plus ? 108 : 92);
    const std::size_t resourceDir = dirCount + 4 + 16;
    EXPECT_FALSE(broken([](test::Bytes& b) { b.put32(0x3C, 0x7FFFFFFF); }));      // e_lfanew past the end
    EXPECT_FALSE(broken([&](test::Bytes& b) { b.data[pe.peHeader + 1] = 'X'; })); // no "PE\0\0"
    EXPECT_FALSE(broken([&](test::Bytes& b) { b.put16(opt, 0x107); }));           // unknown optional header
    EXPECT_FALSE(broken([&](test::Bytes& b) { b.put32(dirCount, 2); }));          // no resource directory
    EXPECT_FALSE(broken([&](test::Bytes& b) { b.put32(resourceDir, 0); }));       // resource RVA 0
    EXPECT_FALSE(broken([&](test::Bytes& b) { b.put32(resourceDir, 0x90000); })); // RVA in no section
    EXPECT_FALSE(broken([&](test::Bytes& b) { b.put16(pe.peHeader + 6, 0xFFFF); })); // section table past end
    EXPECT_FALSE(
        broken([&](test::Bytes& b) { b.put32(pe.sectionTable + 20, 0x7FFFFF00); })); // raw data past end
    // Bytes the section does not hold in the file, even though the file goes on.
    EXPECT_FALSE(broken([&](test::Bytes& b) { b.put32(pe.sectionTable + 16, 0x100); }));
    // Directory counts and entry offsets past the end.
    EXPECT_FALSE(broken([&](test::Bytes& b) { b.put16(pe.resourceRoot + 14, 0xFFFF); }));
    EXPECT_FALSE(broken([&](test::Bytes& b) { b.put32(pe.typeLibEntry, 0x80000000u | 0x7FFFFFF0u); }));
    EXPECT_FALSE(broken([&](test::Bytes& b) { b.put32(pe.typeLibEntry + 4, 0x80000000u | 0x7FFFFFF0u); }));
    EXPECT_FALSE(broken([&](test::Bytes& b) { b.put32(pe.dataEntries[1], 0x7FFFFFF0); }));     // data RVA
    EXPECT_FALSE(broken([&](test::Bytes& b) { b.put32(pe.dataEntries[1] + 4, 0x10000000); })); // data size
    // The type must be named TYPELIB: an id type or another name does not do.
    EXPECT_FALSE(broken([&](test::Bytes& b) { b.put32(pe.typeLibEntry, 2); }));
    EXPECT_FALSE(broken([&](test::Bytes& b) {
        const std::uint32_t name = static_cast<std::uint8_t>(b.data[pe.typeLibEntry]) |
                                   (static_cast<std::uint8_t>(b.data[pe.typeLibEntry + 1]) << 8);
        b.data[pe.resourceRoot + name + 2] = 'X'; // "XypeLib"
    }));
}

TEST_P(TypeLibReaderPe, LoopingAndDeepResourceDirectoriesEnd) {
    const auto pe = make();
    auto broken = [&](auto change) {
        test::Bytes b{pe.bytes};
        change(b);
        return parseTypeLib(b.data);
    };
    constexpr std::uint32_t dir = 0x80000000u;
    const auto rootRelative = [&](std::size_t fileOffset) {
        return static_cast<std::uint32_t>(fileOffset - pe.resourceRoot);
    };
    // The TYPELIB type points back at the root; the id level points back at the id level; the
    // language level points at another directory (one level too deep).
    EXPECT_FALSE(broken([&](test::Bytes& b) { b.put32(pe.typeLibEntry + 4, dir); }));
    EXPECT_FALSE(broken([&](test::Bytes& b) {
        b.put32(pe.nameDirectory + 16 + 8 + 4, dir | rootRelative(pe.nameDirectory));
    }));
    EXPECT_FALSE(broken([&](test::Bytes& b) {
        b.put32(pe.languageDirectories[1] + 16 + 4, dir | rootRelative(pe.languageDirectories[1]));
    }));
    // A data entry where a directory is expected.
    EXPECT_FALSE(
        broken([&](test::Bytes& b) { b.put32(pe.typeLibEntry + 4, rootRelative(pe.dataEntries[1])); }));
}

TEST_P(TypeLibReaderPe, EveryTruncationIsSafe) {
    const auto pe = make();
    // The libraries are the last bytes of the file; resource 2 ends right before the end.
    expectEveryTruncationSafe(pe.bytes, pe.bytes.size() - 24, 2);
}

INSTANTIATE_TEST_SUITE_P(Formats, TypeLibReaderPe,
                         ::testing::Values(PeCase{"PE32", false}, PeCase{"PE32plus", true}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(TypeLibReader, OnlyTheFirstBytesTellTheFormat) {
    EXPECT_FALSE(parseTypeLib(""));
    EXPECT_FALSE(parseTypeLib("MSF"));
    EXPECT_FALSE(parseTypeLib("MZ"));
    EXPECT_FALSE(parseTypeLib(std::string(4096, '\0')));
    // A DOS program without a PE header is not searched for a library further on.
    std::string dos = "MZ" + std::string(0x3E, '\0') + makeMsft().bytes;
    EXPECT_FALSE(parseTypeLib(dos));
    // MSFT bytes after a leading byte are not a library.
    EXPECT_FALSE(parseTypeLib(" " + makeMsft().bytes));
}

} // namespace
} // namespace pelorix
