// The reader against type libraries no one here wrote: the ones Wine ships and raw MSFT files made
// by widl. Skipped where Wine is not installed.

#include "formats/CompatExpectations.h"
#include "formats/TypeLibCompat.h"
#include "formats/TypeLibText.h"
#include "platform/TypeLibFile.h"
#include "support/TestEnvironment.h"
#include "support/WineTools.h"

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

namespace pelorix {
namespace {
namespace fs = std::filesystem;

struct ShippedLibrary {
    const char* file;
    int resource;
    const char* guid;
    int major;
    int minor;
};

// Every TYPELIB resource of Wine 8's Windows-side files (the same in its i386 and x86_64 trees).
constexpr ShippedLibrary shipped[] = {
    {"activeds.tlb", 1, "{97D25DB0-0363-11CF-ABC4-02608C9E7553}", 1, 0},
    {"atl.dll", 1, "{44EC0535-400F-11D0-9DCD-00A0C90391D3}", 1, 0},
    {"atl100.dll", 1, "{44EC0535-400F-11D0-9DCD-00A0C90391D3}", 1, 0},
    {"atl110.dll", 1, "{44EC0535-400F-11D0-9DCD-00A0C90391D3}", 1, 0},
    {"atl80.dll", 1, "{44EC0535-400F-11D0-9DCD-00A0C90391D3}", 1, 0},
    {"atl90.dll", 1, "{44EC0535-400F-11D0-9DCD-00A0C90391D3}", 1, 0},
    {"comsvcs.dll", 1, "{2A005C00-A5DE-11CF-9E66-00AA00A3F464}", 1, 0},
    {"cscript.exe", 1, "{60254CA0-953B-11CF-8C96-00AA00B8708C}", 5, 6},
    {"dhtmled.ocx", 1, "{683364A1-B37D-11D1-ADC5-006008A5848C}", 1, 0},
    {"gameux.dll", 1, "{4F48A59C-942D-4F3C-83C9-4EFFE84E4959}", 1, 0},
    {"hhctrl.ocx", 1, "{ADB880A2-D8FF-11CF-9377-00AA003B7A11}", 4, 0},
    {"hnetcfg.dll", 1, "{DB4F3345-3EF8-45ED-B976-25A6D3B81B71}", 1, 0},
    {"hnetcfg.dll", 2, "{1C565858-F302-471E-B409-F180AA4ABEC6}", 1, 0},
    {"ieframe.dll", 1, "{EAB22AC0-30C1-11CF-A7EB-0000C05BAE0B}", 1, 1},
    {"jscript.dll", 1, "{3EEF9759-35FC-11D1-8CE4-00C04FC2B085}", 1, 0},
    {"mmcndmgr.dll", 1, "{9EECDD85-B715-4188-8A72-61159ABDB8C4}", 1, 0},
    {"msado15.dll", 1, "{2A75196C-D9EB-4129-B803-931327F72D5C}", 2, 8},
    {"mshtml.dll", 1, "{90DE541E-380B-4530-94A9-97367FE49D8D}", 1, 0},
    {"mshtml.tlb", 1, "{3050F1C5-98B5-11CF-BB82-00AA00BDCE0B}", 4, 0},
    {"msi.dll", 1, "{000C1092-0000-0000-C000-000000000046}", 1, 0},
    {"msscript.ocx", 1, "{0E59F1D2-1FBE-11D0-8FF2-00A0D10038BC}", 1, 0},
    {"msxml.dll", 1, "{D63E0CE2-A0A2-11D0-9C02-00C04FC99C8E}", 2, 0},
    {"msxml2.dll", 1, "{F5078F18-C551-11D3-89B9-0000F81FE221}", 2, 6},
    {"msxml3.dll", 1, "{F5078F18-C551-11D3-89B9-0000F81FE221}", 3, 0},
    {"msxml4.dll", 1, "{F5078F18-C551-11D3-89B9-0000F81FE221}", 4, 0},
    {"msxml6.dll", 1, "{F5078F18-C551-11D3-89B9-0000F81FE221}", 6, 0},
    {"oleacc.dll", 1, "{1EA4DBF0-3C3B-11CF-810C-00AA00389B71}", 1, 1},
    {"oledb32.dll", 1, "{2206CEB0-19C1-11D1-89E0-00C04FD7A829}", 1, 0},
    {"olepro32.dll", 1, "{BEF6E001-A874-101A-8BBA-00AA00300CAB}", 2, 0},
    {"pstorec.dll", 1, "{5A6F1EBD-2DB1-11D0-8C39-00C04FD9126B}", 1, 0},
    {"quartz.dll", 1, "{56A868B0-0AD4-11CE-B03A-0020AF0BA770}", 1, 0},
    {"riched20.dll", 1, "{8CC497C9-A1DF-11CE-8098-00AA0047BE5D}", 1, 0},
    {"sapi.dll", 1, "{C866CA3A-32F7-11D2-9602-00C04F8EE628}", 5, 4},
    {"scrobj.dll", 1, "{06290C00-48AA-11D2-8432-006008C3FBFC}", 1, 0},
    {"scrrun.dll", 1, "{420B2830-E718-11CF-893D-00A0C9054228}", 1, 0},
    {"shdocvw.dll", 1, "{EAB22AC0-30C1-11CF-A7EB-0000C05BAE0B}", 1, 1},
    {"shell32.dll", 1, "{50A7E9B0-70EF-11D1-B75A-00A0C90564FE}", 1, 0},
    {"stdole2.tlb", 1, "{00020430-0000-0000-C000-000000000046}", 2, 0},
    {"stdole32.tlb", 1, "{00020430-0000-0000-C000-000000000046}", 1, 0},
    {"taskschd.dll", 1, "{E34CB9F1-C7F7-424C-BE29-027DCC09363A}", 1, 0},
    {"uianimation.dll", 1, "{44CA24DB-1A92-4149-BAB5-FB14D64B401E}", 1, 0},
    {"uiautomationcore.dll", 1, "{8A9CA8EB-856B-43D9-ABD7-4A590054064F}", 1, 0},
    {"vbscript.dll", 1, "{3EEF9758-35FC-11D1-8CE4-00C04FC2B185}", 1, 0},
    {"vbscript.dll", 2, "{3F4DACA7-160D-11D2-A8E9-00104B365C9F}", 1, 0},
    {"vbscript.dll", 3, "{3F4DACA7-160D-11D2-A8E9-00104B365C9F}", 5, 5},
    {"wbemdisp.dll", 1, "{565783C6-CB41-11D1-8B02-00600806D9B6}", 1, 2},
    {"winhttp.dll", 1, "{662901FC-6951-4854-9EB2-D9A2570F2B2E}", 5, 1},
    {"wmp.dll", 1, "{6BF52A50-394A-11D3-B153-00C04F79FAA6}", 1, 0},
    {"wscript.exe", 1, "{60254CA0-953B-11CF-8C96-00AA00B8708C}", 5, 6},
    {"wshom.ocx", 1, "{F935DC20-1CF0-11D0-ADB9-00C04FD58A0B}", 1, 0},
    {"wuapi.dll", 1, "{B596CC9F-56E5-419E-A622-E01BB457431E}", 2, 0},
};

using test::findProgram;
constexpr const char* i386Tree = test::wineI386Tree;
constexpr const char* x86_64Tree = test::wineX86_64Tree;

class ShippedTypeLibs : public ::testing::TestWithParam<const char*> {};

TEST_P(ShippedTypeLibs, EveryResourceGivesItsGuidAndVersion) {
    const std::string tree = GetParam();
    if (!fs::is_directory(tree))
        GTEST_SKIP() << "Wine's Windows-side files are not installed: " << tree;
    test::TestEnvironment env; // Z: is the host's root
    int found = 0;
    for (const ShippedLibrary& lib : shipped) {
        std::string path = "Z:" + tree + "/" + lib.file;
        for (char& c : path)
            c = c == '/' ? '\\' : c;
        if (lib.resource != 1)
            path += "\\" + std::to_string(lib.resource);
        SCOPED_TRACE(path);
        if (!fs::exists(tree + "/" + lib.file))
            continue; // a Wine other than the one this table was taken from
        const auto got = readTypeLibAttributes(path);
        ASSERT_TRUE(got.has_value());
        EXPECT_EQ(got->guid, lib.guid);
        EXPECT_EQ(got->majorVersion, lib.major);
        EXPECT_EQ(got->minorVersion, lib.minor);
        ++found;
    }
    EXPECT_GT(found, 40);
    // Files without a TYPELIB resource, and a resource id the file does not have.
    EXPECT_FALSE(readTypeLibAttributes("Z:" + std::string(tree) + "/kernel32.dll"));
    EXPECT_FALSE(readTypeLibAttributes("Z:" + std::string(tree) + "/vbscript.dll\\4"));
}

// The Windows path of a shipped library's resource, through drive Z: (the host's root).
std::string shippedPath(const std::string& tree, const ShippedLibrary& lib) {
    std::string path = "Z:" + tree + "/" + lib.file;
    for (char& c : path)
        c = c == '/' ? '\\' : c;
    return lib.resource != 1 ? path + "\\" + std::to_string(lib.resource) : path;
}

// Whatever Wine's IDL compiler wrote into them, every library reads whole, its identity as the
// identity reader finds it, and compared with itself nothing differs.
TEST_P(ShippedTypeLibs, EveryLibraryIsReadWhole) {
    const std::string tree = GetParam();
    if (!fs::is_directory(tree))
        GTEST_SKIP() << "Wine's Windows-side files are not installed: " << tree;
    test::TestEnvironment env;
    int read = 0;
    for (const ShippedLibrary& lib : shipped) {
        if (!fs::exists(tree + "/" + lib.file))
            continue;
        const std::string path = shippedPath(tree, lib);
        SCOPED_TRACE(path);
        const TypeLibrary content = readTypeLibContent(path);
        EXPECT_EQ(content.guid, lib.guid);
        EXPECT_EQ(content.majorVersion, lib.major);
        EXPECT_EQ(content.minorVersion, lib.minor);
        EXPECT_FALSE(content.types.empty());
        EXPECT_NE(typeLibraryText(content).find("library " + content.name + " {"), std::string::npos);
        EXPECT_EQ(compare(content, content), std::vector<CompatDifference>{});
        ++read;
    }
    EXPECT_GT(read, 40);
}

// stdole2 as every client knows it: IDispatch's four methods after IUnknown's three, the font
// class with its dispinterface as the default.
TEST_P(ShippedTypeLibs, Stdole2IsReadAsClientsKnowIt) {
    const std::string tree = GetParam();
    if (!fs::exists(tree + "/stdole2.tlb"))
        GTEST_SKIP() << "Wine's stdole2.tlb is not installed: " << tree;
    test::TestEnvironment env;
    const std::string text =
        typeLibraryText(readTypeLibContent(shippedPath(tree, {"stdole2.tlb", 1, "", 2, 0})));
    for (const char* line :
         {"    interface IDispatch : IUnknown {\n",
          "[id(0x60010000), restricted] HRESULT GetTypeInfoCount([out] unsigned int* pctinfo); // vtable "
          "slot 3\n",
          "] HRESULT Invoke([in] long dispidMember, [in] GUID* riid, [in] unsigned long lcid, [in] unsigned "
          "short "
          "wFlags, [in] DISPPARAMS* pdispparams, [out] VARIANT* pvarResult, [out] EXCEPINFO* pexcepinfo, "
          "[out] "
          "unsigned int* puArgErr); // vtable slot 6\n",
          "    coclass StdFont {\n        [default] dispinterface Font;\n        interface IFont;\n    };\n",
          "    typedef [uuid(66504301-BE0F-101A-8BBB-00AA00300CAB)] unsigned long OLE_COLOR;\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
}

INSTANTIATE_TEST_SUITE_P(Wine, ShippedTypeLibs, ::testing::Values(i386Tree, x86_64Tree),
                         [](const auto& param) { return std::string(param.index == 0 ? "i386" : "x86_64"); });

// A library Wine builds for 32 and for 64 bits whose types hold nothing of a pointer's size
// compares equal across the two: vtable positions are counted in slots, not bytes.
TEST(ShippedTypeLibs, TheSameLibraryForBothSystemsComparesEqual) {
    if (!fs::is_directory(i386Tree) || !fs::is_directory(x86_64Tree))
        GTEST_SKIP() << "Wine's 32-bit and 64-bit files are not both installed";
    test::TestEnvironment env;
    for (const char* file : {"msxml3.dll", "scrrun.dll", "wshom.ocx", "oleacc.dll", "vbscript.dll"}) {
        SCOPED_TRACE(file);
        const ShippedLibrary lib{file, 1, "", 0, 0};
        const TypeLibrary win32 = readTypeLibContent(shippedPath(i386Tree, lib));
        const TypeLibrary win64 = readTypeLibContent(shippedPath(x86_64Tree, lib));
        EXPECT_EQ(win64.sysKind, 3);
        EXPECT_EQ(compare(win32, win64), std::vector<CompatDifference>{});
    }
}

// Any type library among the real files of the shared corpus reads whole.
TEST(CorpusTypeLibs, EveryLibraryOfTheCorpusIsReadWhole) {
    const fs::path corpus = PELORIX_CORPUS_DIR;
    if (!fs::is_directory(corpus))
        GTEST_SKIP() << "no corpus beside the checkout";
    test::TestEnvironment env;
    for (const auto& entry : fs::recursive_directory_iterator(corpus)) {
        std::string extension = entry.path().extension().string();
        for (char& c : extension)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (!entry.is_regular_file() || (extension != ".tlb" && extension != ".olb" && extension != ".dll" &&
                                         extension != ".ocx" && extension != ".exe"))
            continue;
        std::string path = "Z:" + entry.path().string();
        for (char& c : path)
            c = c == '/' ? '\\' : c;
        SCOPED_TRACE(path);
        EXPECT_NO_THROW(readTypeLibContent(path));
    }
}

struct WidlCase {
    const char* name;
    const char* arch;
    const char* guid;
    const char* version; // as the IDL writes it
    int major;
    int minor;
};

class WidlTypeLibs : public ::testing::TestWithParam<WidlCase> {};

TEST_P(WidlTypeLibs, RawMsftFileGivesTheIdlsGuidAndVersion) {
    const std::string widl = findProgram({"widl", "/usr/lib/wine/widl", "/usr/bin/widl-stable"});
    if (widl.empty())
        GTEST_SKIP() << "widl is not installed";
    const WidlCase& c = GetParam();
    const std::string tree = std::string(c.arch) == "--win32" ? i386Tree : x86_64Tree;
    if (!fs::exists(tree + "/stdole2.tlb"))
        GTEST_SKIP() << "stdole2.tlb for " << c.arch << " is not installed";
    test::TestEnvironment env;
    const std::string idl = env.driveC() + "/lib.idl";
    const std::string tlb = env.driveC() + "/out/lib.tlb";
    fs::create_directories(env.driveC() + "/out");
    test::writeFile(
        idl, std::string("import \"oaidl.idl\";\n[ uuid(") + std::string(c.guid).substr(1, 36) +
                 "), version(" + c.version +
                 "), lcid(0x0411), helpstring(\"Test Library\") ]\n"
                 "library TestLib\n{\n    importlib(\"stdole2.tlb\");\n"
                 "    [ uuid(87654321-0000-1111-2222-333344445555), dual, oleautomation ]\n"
                 "    interface ITest : IDispatch { HRESULT Foo([in] long x); };\n"
                 "    [ uuid(11111111-2222-3333-4444-555555555555) ] coclass Test { [default] interface "
                 "ITest; };\n};\n");
    const std::string command = "'" + widl + "' " + c.arch + " -L '" + tree + "' -t -o '" + tlb + "' '" +
                                idl + "' >'" + env.root() + "/widl.log' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << test::readFile(env.root() + "/widl.log");
    ASSERT_EQ(test::readFile(tlb).substr(0, 4), "MSFT");

    const auto got = readTypeLibAttributes("C:\\OUT\\lib.tlb");
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->guid, c.guid);
    EXPECT_EQ(got->majorVersion, c.major);
    EXPECT_EQ(got->minorVersion, c.minor);
}

INSTANTIATE_TEST_SUITE_P(
    Widl, WidlTypeLibs,
    ::testing::Values(
        WidlCase{"win32", "--win32", "{12345678-9ABC-DEF0-1122-334455667788}", "1.10", 1, 10},
        WidlCase{"win64", "--win64", "{ABCDEF01-2345-6789-ABCD-EF0123456789}", "65535.255", 65535, 255},
        WidlCase{"win32Zero", "--win32", "{00000001-0000-0000-C000-000000000046}", "0.0", 0, 0}),
    [](const auto& param) { return std::string(param.param.name); });

} // namespace
} // namespace pelorix
