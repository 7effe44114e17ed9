#include "cli/Cli.h"
#include "formats/TypeLibFiles.h"
#include "platform/CDRegistryData.h"
#include "platform/TypeLibFile.h"
#include "support/CliRun.h"
#include "support/TestEnvironment.h"
#include "support/TestOs.h"
#include "support/WineTools.h"

#include <cstdio>
#include <sstream>

#include <gtest/gtest.h>

namespace pelorix::cli {
namespace {

class TypelibInfoCommand : public ::testing::Test {
protected:
    test::TestEnvironment env;
    std::string library; // host path of a PE file with resources 1 and 2

    void SetUp() override {
        test::MsftOptions first;
        first.major = 10;
        first.minor = 10;
        test::MsftOptions second;
        second.guid = "{3F4DACA7-160D-11D2-A8E9-00104B365C9F}";
        second.major = 5;
        second.minor = 0x1F;
        library = env.driveC() + "/Program Files/Lib Dir/two.dll";
        test::writeFile(library, test::makePe({.typeLibs = {{1, test::makeMsft(first).bytes},
                                                            {2, test::makeMsft(second).bytes}}})
                                     .bytes);
    }
};

TEST_F(TypelibInfoCommand, PrintsGuidTabDecimalMajorAndHexMinor) {
    const test::CliOutcome windowsPath =
        test::runCli({"typelib-info", "C:\\Program Files\\Lib Dir\\two.dll"});
    EXPECT_EQ(windowsPath.status, ExitOk);
    EXPECT_EQ(windowsPath.out, "{12345678-9ABC-DEF0-1122-334455667788}\t10.a\n");
    EXPECT_EQ(windowsPath.err, "");

    EXPECT_EQ(test::runCli({"typelib-info", library}).out,
              windowsPath.out); // a host path names the same file
    const test::CliOutcome second = test::runCli({"typelib-info", "C:\\Program Files\\Lib Dir\\two.dll\\2"});
    EXPECT_EQ(second.status, ExitOk);
    EXPECT_EQ(second.out, "{3F4DACA7-160D-11D2-A8E9-00104B365C9F}\t5.1f\n");
}

TEST_F(TypelibInfoCommand, MissingFileOrNoLibraryFailsWithAMessage) {
    test::writeFile(env.driveC() + "/notes.txt", "text");
    for (const std::string& path : {std::string("C:\\missing.tlb"), std::string("C:\\notes.txt"),
                                    std::string("C:\\Program Files\\Lib Dir\\two.dll\\3")}) {
        SCOPED_TRACE(path);
        const test::CliOutcome r = test::runCli({"typelib-info", path});
        EXPECT_EQ(r.status, ExitFailure);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(path), std::string::npos);
    }
    EXPECT_NE(test::runCli({"typelib-info", "C:\\missing.tlb"}).err.find("does not exist"),
              std::string::npos);
    EXPECT_NE(test::runCli({"typelib-info", "C:\\notes.txt"}).err.find("not a type library"),
              std::string::npos);
}

TEST_F(TypelibInfoCommand, UsageErrorsAndHelp) {
    for (const Args& args : {Args{"typelib-info"}, Args{"typelib-info", "a.tlb", "b.tlb"},
                             Args{"typelib-info", "--verbose", "a.tlb"}}) {
        const test::CliOutcome r = test::runCli(args);
        EXPECT_EQ(r.status, ExitUsage);
        EXPECT_NE(r.err.find("Usage: pelorix-cli typelib-info FILE"), std::string::npos);
    }
    const test::CliOutcome help = test::runCli({"typelib-info", "--help"});
    EXPECT_EQ(help.status, ExitOk);
    EXPECT_TRUE(help.out.starts_with("Usage: pelorix-cli typelib-info FILE [--members]\n"));
    // A file whose name begins with "-" is reachable after "--".
    test::writeFile(env.driveC() + "/-lib.tlb", test::makeMsft().bytes);
    EXPECT_EQ(test::runCli({"typelib-info", "--", env.driveC() + "/-lib.tlb"}).status, ExitOk);
}

// Every win32 registration of a prefix made by wineboot, as the registration walk finds it
// (resource suffixes and all), names a file whose library has the registration's GUID and version.
TEST(TypelibInfoOnAWinebootPrefix, EveryRegisteredWin32LibraryGivesItsRegistration) {
    test::TestEnvironment env;
    const auto made = test::makeWinebootPrefix(env);
    if (!made)
        GTEST_SKIP() << "32-bit Wine is not installed";
    ASSERT_EQ(made->failure, "");
    pelorix::test::setEnvironment("WINEPREFIX",
                                  made->prefix.c_str()); // the environment puts the old value back

    std::vector<std::string> libraryPaths, keyPaths;
    std::vector<VbDate> writeTimes;
    CDRegistryData().fSetRegistryData(HKEY_CLASSES_ROOT, "TypeLib", libraryPaths, keyPaths, writeTimes);
    ASSERT_EQ(keyPaths.size(), 42u);
    int matched = 0;
    int resourceSuffixes = 0;
    for (std::size_t i = 0; i < keyPaths.size(); ++i) {
        SCOPED_TRACE(keyPaths[i] + " = " + libraryPaths[i]);
        // "TypeLib\{GUID}\<major hex>.<minor hex>\<lcid>"
        const auto parts = [&] {
            std::vector<std::string> p;
            std::istringstream in(keyPaths[i]);
            for (std::string part; std::getline(in, part, '\\');)
                p.push_back(part);
            return p;
        }();
        ASSERT_EQ(parts.size(), 4u);
        const test::CliOutcome o = test::runCli({"typelib-info", libraryPaths[i]});
        ASSERT_EQ(o.status, ExitOk) << o.err;
        unsigned major = 0, minor = 0;
        char guid[39] = {};
        ASSERT_EQ(std::sscanf(o.out.c_str(), "%38s\t%u.%x", guid, &major, &minor), 3) << o.out;
        char version[16];
        std::snprintf(version, sizeof version, "%x.%x", major, minor);
        EXPECT_EQ(guid, parts[1]);
        EXPECT_EQ(version, parts[2]);
        if (guid == parts[1] && version == parts[2])
            ++matched;
        if (locateTypeLib(libraryPaths[i])->resourceId != 1)
            ++resourceSuffixes;
    }
    EXPECT_EQ(matched, 42);
    EXPECT_EQ(resourceSuffixes, 3);
}

} // namespace
} // namespace pelorix::cli
