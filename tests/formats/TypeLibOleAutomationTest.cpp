// Libraries written by the OLE Automation library's ICreateTypeLib2, the way the VB6 compiler
// writes them: oleaut/TypeLibWriter.cpp writes a class's library in one version and once per kind
// of change; on Linux it runs under Wine in a prefix the test makes with wineboot.
#include "formats/CompatExpectations.h"
#include "formats/TypeLibCompat.h"
#include "formats/TypeLibContent.h"
#include "formats/TypeLibText.h"
#include "support/TestEnvironment.h"
#ifndef _WIN32
#include "support/WineTools.h"
#endif

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

namespace pelorix {
namespace {

using test::Breaking;
using test::Compatible;
using test::Expected;

struct Written {
    const char* change;
    bool breaks;
    std::vector<Expected> expected;
};

const Written written[] = {
    {"MEMBER_REMOVED", true, {{Breaking, "_Account", "Owner", "removed"}}},
    {"PROPERTY_LET_REMOVED", true, {{Breaking, "_Account", "Balance (propput)", "removed"}}},
    {"PARAM_TYPE_CHANGED",
     true,
     {{Breaking, "_Account", "Deposit", "parameter 1 (amount): CURRENCY, now double"}}},
    {"BYREF_TO_BYVAL", true, {{Breaking, "_Account", "Withdraw", "parameter 1 (amount): ByRef, now ByVal"}}},
    {"OPTIONAL_TO_REQUIRED",
     true,
     {{Breaking, "_Account", "Deposit", "parameter 2 (memo): optional, now required"}}},
    {"DEFAULT_VALUE_CHANGED",
     false,
     {{Compatible, "_Account", "Deposit", "parameter 2 (memo): default value \"\", now \"none\""}}},
    {"MEMBER_ADDED_AT_END", false, {{Compatible, "_Account", "Close", "added at the end (vtable slot 12"}}},
    {"SLOT_MOVED",
     true,
     {{Breaking, "_Account", "Withdraw", "vtable slot 10, now 11"},
      {Breaking, "_Account", "Owner", "vtable slot 11, now 10"}}},
    {"MEMBER_ID_CHANGED", true, {{Breaking, "_Account", "Owner", "member id 0x60030004, now 0x60030009"}}},
    {"ENUM_VALUE_CHANGED", true, {{Breaking, "Colors", "Blue", "value 4, now 8"}}},
    {"ENUM_CONSTANT_ADDED", false, {{Compatible, "Colors", "Cyan", "constant added (16)"}}},
    {"RECORD_LAYOUT_CHANGED", true, {{Breaking, "Entry", "Day", "field 2: long, now double"}}},
    {"CLASS_ID_CHANGED",
     true,
     {{Breaking, "Account", "", "class id {C0DE1000-0000-4000-8000-000000000030}, now"}}},
    {"INTERFACE_EXTENDED", false, {{Compatible, "_Account", "", "renamed to _AccountV0"}}},
    {"IID_CHANGED", true, {{Breaking, "_Account", "", "is no longer implemented"}}},
    {"CLASS_REMOVED",
     true,
     {{Breaking, "Ledger", "", "coclass removed"}, {Breaking, "_Ledger", "", "removed"}}},
    {"CLASS_ADDED", false, {{Compatible, "Journal", "", "coclass added"}}},
    {"HELPSTRING_CHANGED", false, {{Compatible, "_Account", "", "help string changed"}}},
    {"EVENT_REMOVED", true, {{Breaking, "__Account", "Closed", "removed"}}},
};

// Runs the writer into a folder of the environment; the failure text, or "" when it wrote.
std::string writeLibraries(const test::TestEnvironment& env, const std::string& folder) {
    const std::string log = env.root() + "/writer.log";
#ifdef _WIN32
    // The build names the writer by its host path; Wine's drive Z: is the host's root.
    std::string writer = PELORIX_TYPELIB_WRITER;
    if (writer.starts_with('/'))
        writer = "Z:" + writer;
    for (char& c : writer)
        c = c == '/' ? '\\' : c;
    const std::string command = "\"\"" + writer + "\" \"" + folder + "\" >\"" + log + "\" 2>&1\"";
#else
    const auto prefix = test::makeWinebootPrefix(env);
    if (!prefix)
        return "skip";
    if (!prefix->failure.empty())
        return prefix->failure;
    std::string windowsFolder = "Z:" + folder;
    for (char& c : windowsFolder)
        c = c == '/' ? '\\' : c;
    const std::string command = test::wineVariables(env, prefix->prefix) + "'" +
                                test::findProgram({"/usr/lib/wine/wine", "wine"}) +
                                "' '" PELORIX_TYPELIB_WRITER "' '" + windowsFolder + "' >'" + log + "' 2>&1";
#endif
    return std::system(command.c_str()) == 0 ? std::string() : "the writer failed: " + test::readFile(log);
}

TEST(OleAutomationLibraries, EachChangeIsClassifiedAndTheTextAgreesWithWhatWasDeclared) {
    if (std::string_view(PELORIX_TYPELIB_WRITER).empty())
        GTEST_SKIP() << "no MinGW-w64 compiler for the writer when the build was configured";
    test::TestEnvironment env;
    const std::string folder = env.root() + "/written";
    std::filesystem::create_directories(folder);
    const std::string failure = writeLibraries(env, folder);
    if (failure == "skip")
        GTEST_SKIP() << "32-bit Wine is not installed";
    ASSERT_EQ(failure, "");

    const TypeLibrary base = readTypeLibrary(test::readFile(folder + "/base.tlb"));
    const std::string text = typeLibraryText(base);
    for (const char* declared :
         {"    interface _Account : IDispatch {\n"
          "        [id(0x68030000), propget] HRESULT Balance([out, retval] CURRENCY* Balance); // vtable "
          "slot 7\n"
          "        [id(0x68030000), propput] HRESULT Balance([in] CURRENCY); // vtable slot 8\n"
          "        [id(0x60030002)] HRESULT Deposit([in] CURRENCY amount, [in, optional, defaultvalue(\"\")] "
          "BSTR "
          "memo); // vtable slot 9\n"
          "        [id(0x60030003)] HRESULT Withdraw([in, out] CURRENCY* amount, [out, retval] VARIANT_BOOL* "
          "ok); "
          "// vtable slot 10\n",
          "    coclass Account {\n        [default] interface _Account;\n"
          "        [default, source] dispinterface __Account;\n    };\n",
          "        [id(0x00000001)] void Changed([in] CURRENCY balance);\n", "        Blue = 4,\n",
          "        long Day; // offset 8\n"})
        EXPECT_NE(text.find(declared), std::string::npos) << declared << "\nin:\n" << text;

    EXPECT_EQ(compare(base, base), std::vector<CompatDifference>{});
    for (const Written& w : written) {
        SCOPED_TRACE(w.change);
        const TypeLibrary changed = readTypeLibrary(test::readFile(folder + "/" + w.change + ".tlb"));
        test::expectDifferences(compare(base, changed), w.breaks, w.expected);
    }
}

} // namespace
} // namespace pelorix
