// What a type library's registration writes and its unregistration deletes, as the OLE Automation
// library does (compared with it under Wine by tests/wine/register-compare.sh), and the registry
// script that carries it into a Wine prefix.
#include "platform/TypeLibRegistration.h"

#include "formats/SampleLibrary.h"

#include <gtest/gtest.h>

namespace pelorix::test {
namespace {

using sample::makeType;

TypeLibrary sampleLibrary() {
    TypeLibrary library;
    library.guid = "{aaaa0000-0000-4000-8000-000000000001}";
    library.majorVersion = 1;
    library.minorVersion = 10;
    library.lcid = 0x411;
    library.flags = 0x2;
    library.name = "Sample";
    library.types = {
        makeType(TypeKind::Dispatch, "IDual", "{AAAA0000-0000-4000-8000-000000000010}", typeflag::Dual),
        makeType(TypeKind::Dispatch, "Events", "{AAAA0000-0000-4000-8000-000000000011}"),
        makeType(TypeKind::Interface, "IAuto", "{AAAA0000-0000-4000-8000-000000000012}",
                 typeflag::OleAutomation),
        makeType(TypeKind::Interface, "IPlain", "{AAAA0000-0000-4000-8000-000000000013}"),
        makeType(TypeKind::Coclass, "Thing", "{AAAA0000-0000-4000-8000-000000000014}"),
        makeType(TypeKind::Dispatch, "NoGuid", "")};
    return library;
}

std::vector<std::string> lines(const TypeLibRegistrationKeys& keys) {
    std::vector<std::string> out;
    for (const RegistrationValue& v : keys.values)
        out.push_back(v.key + (v.name.empty() ? "" : " " + v.name) + " = " + v.text);
    return out;
}

TEST(TypeLibRegistration, WritesWhatTheOleAutomationLibraryWrites) {
    const std::string lib = "TypeLib\\{AAAA0000-0000-4000-8000-000000000001}\\1.a";
    const std::string ts = "{00020424-0000-0000-C000-000000000046}",
                      dispatch = "{00020420-0000-0000-C000-000000000046}";
    const auto iface = [](const std::string& view, const std::string& iid, const std::string& name,
                          const std::string& marshaller) {
        const std::string key = view + "Interface\\{AAAA0000-0000-4000-8000-0000000000" + iid + "}";
        return std::vector<std::string>{key + " = " + name, key + "\\ProxyStubClsid = " + marshaller,
                                        key + "\\ProxyStubClsid32 = " + marshaller,
                                        key + "\\TypeLib = {AAAA0000-0000-4000-8000-000000000001}",
                                        key + "\\TypeLib Version = 1.a"};
    };
    std::vector<std::string> expected{lib + " = Sample", lib + "\\411\\win32 = C:\\Libs\\Sample.dll",
                                      lib + "\\FLAGS = 10", lib + "\\HELPDIR = C:\\Libs"};
    for (const auto& [iid, name, marshaller] :
         {std::tuple{"10", "IDual", ts}, std::tuple{"11", "Events", dispatch}, std::tuple{"12", "IAuto", ts}})
        for (const std::string& line : iface("", iid, name, marshaller))
            expected.push_back(line);
    const TypeLibRegistrationKeys keys =
        typeLibRegistrationKeys(sampleLibrary(), "C:\\Libs\\Sample.dll", true, false);
    EXPECT_EQ(lines(keys), expected);
    EXPECT_EQ(keys.pathKey, lib + "\\411\\win32");
    EXPECT_EQ(keys.interfaceKeys.size(), 3u);

    // HELPDIR is kept where it exists; the help string names the library; a 64-bit library's leaf;
    // both views of a 64-bit prefix.
    TypeLibrary other = sampleLibrary();
    other.docString = "Sample library";
    other.sysKind = 3;
    const TypeLibRegistrationKeys again = typeLibRegistrationKeys(other, "C:\\Libs\\Sample.dll", false, true);
    EXPECT_EQ(lines(again)[0], lib + " = Sample library");
    EXPECT_EQ(lines(again)[1], lib + "\\411\\win64 = C:\\Libs\\Sample.dll");
    EXPECT_EQ(lines(again)[3].substr(0, 9), "Interface");
    EXPECT_EQ(again.interfaceKeys.size(), 6u);
    EXPECT_EQ(again.interfaceKeys[1], "Wow6432Node\\Interface\\{AAAA0000-0000-4000-8000-000000000010}");
    other.guid.clear();
    EXPECT_THROW(typeLibRegistrationKeys(other, "C:\\Libs\\Sample.dll", false, false), RuntimeError);
}

TEST(TypeLibRegistration, UnregistrationLeavesWhatOtherRegistrationsUse) {
    const TypeLibRegistrationKeys keys =
        typeLibRegistrationKeys(sampleLibrary(), "C:\\Sample.dll", true, false);
    const std::string lib = "TypeLib\\{AAAA0000-0000-4000-8000-000000000001}";
    struct Case {
        const char* what;
        std::vector<std::string> locale, version, guid; // sub-keys as they are now
        std::size_t deleted;                            // keys deleted after the interfaces and the path
    } cases[] = {
        {"alone", {"win32"}, {"411", "FLAGS", "HELPDIR"}, {"1.a"}, 3},
        {"win64 beside", {"win32", "win64"}, {"411", "FLAGS", "HELPDIR"}, {"1.a"}, 0},
        {"another locale", {"win32"}, {"0", "411", "FLAGS"}, {"1.a"}, 1},
        {"another version", {"WIN32"}, {"411", "flags"}, {"1.a", "2.0"}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ExistingKeys existing{
            [&c, &keys, &lib](std::string_view key) -> std::optional<std::vector<std::string>> {
                if (key == keys.localeKey)
                    return c.locale;
                if (key == keys.libraryKey)
                    return c.version;
                if (key == lib)
                    return c.guid;
                return std::nullopt;
            }};
        const std::vector<std::string> deleted = typeLibUnregistrationKeys(keys, existing);
        ASSERT_EQ(deleted.size(), keys.interfaceKeys.size() + 1 + c.deleted);
        EXPECT_EQ(deleted[3], keys.pathKey);
        const std::vector<std::string> more{keys.localeKey, keys.libraryKey, lib};
        for (std::size_t k = 0; k < c.deleted; ++k)
            EXPECT_EQ(deleted[4 + k], more[k]);
    }
}

TEST(TypeLibRegistration, ScriptHoldsEveryTextAsItIs) {
    const std::string script = registryScript("HKEY_LOCAL_MACHINE\\Software\\Classes",
                                              {{"TypeLib\\{A}\\1.0", "", "Say \"hi\" C:\\x"},
                                               {"TypeLib\\{A}\\1.0", "Name \"q\"", "日本"},
                                               {"TypeLib\\{A}\\1.0\\0\\win32", "", "a\r\nb"}},
                                              {"Interface\\{B}"});
    EXPECT_EQ(script, "Windows Registry Editor Version 5.00\r\n"
                      "\r\n[-HKEY_LOCAL_MACHINE\\Software\\Classes\\Interface\\{B}]\r\n"
                      "\r\n[HKEY_LOCAL_MACHINE\\Software\\Classes\\TypeLib\\{A}\\1.0]\r\n"
                      "@=\"Say \\\"hi\\\" C:\\\\x\"\r\n"
                      "\"Name \\\"q\\\"\"=\"日本\"\r\n"
                      "\r\n[HKEY_LOCAL_MACHINE\\Software\\Classes\\TypeLib\\{A}\\1.0\\0\\win32]\r\n"
                      "@=hex(1):61,00,0d,00,0a,00,62,00,00,00\r\n");
    EXPECT_EQ(utf16LittleEndianFile("a日"), std::string("\xFF\xFE"
                                                        "a\0\xE5\x65",
                                                        6));
}

} // namespace
} // namespace pelorix::test
