// pelorix-cli compat and typelib-info --members on libraries widl wrote (tests/formats), copied
// into the test's drive C:.
#include "cli/Cli.h"
#include "formats/WidlLibraries.h"
#include "support/CliRun.h"
#include "support/TestEnvironment.h"

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

namespace pelorix::cli {
namespace {

class CompatCommand : public ::testing::Test {
protected:
    test::TestEnvironment env;

    // The library widl made for a change ("" for the old version), as C:\libs\NAME.tlb.
    std::string library(std::string_view change, std::string_view name) {
        const std::string file = change.empty() ? "compat.tlb" : "compat-" + std::string(change) + ".tlb";
        test::writeFile(env.driveC() + "/libs/" + std::string(name) + ".tlb", test::widlLibraryBytes(file));
        return "C:\\libs\\" + std::string(name) + ".tlb";
    }
};

struct Verdict {
    const char* change;
    int status;
    const char* line; // a line the output must hold
};

// The changes the command must judge right, each naming the member.
constexpr Verdict verdicts[] = {
    {"", ExitOk, "compared 7 types: 0 breaking, 0 compatible"},
    {"MEMBER_REMOVED", ExitFailure, "breaking\tIShape\tArea\tremoved"},
    {"PARAM_TYPE_CHANGED", ExitFailure, "breaking\tIShape\tMove\tparameter 2 (dy): long, now double"},
    {"MEMBER_ADDED_AT_END", ExitOk,
     "compatible\tIShape\tRotate\tadded at the end (vtable slot 13, id 0x00000006)"},
    {"INTERFACE_EXTENDED", ExitOk,
     "compatible\tIShape\t\trenamed to _ShapeV0 (the same id {C0DE0000-0000-4000-8000-000000000020})"},
    {"ENUM_VALUE_CHANGED", ExitFailure, "breaking\tColors\tBlue\tvalue 4, now 8"},
};

TEST_F(CompatCommand, GivesTheVerdictAndNamesTheMember) {
    PELORIX_SKIP_WITHOUT_WIDL();
    const std::string oldLib = library("", "old");
    for (const Verdict& v : verdicts) {
        SCOPED_TRACE(v.change);
        const test::CliOutcome r = test::runCli({"compat", oldLib, library(v.change, "new")});
        EXPECT_EQ(r.status, v.status) << r.out << r.err;
        const std::vector<std::string> lines = test::outputLines(r.out);
        EXPECT_NE(std::find(lines.begin(), lines.end(), v.line), lines.end()) << r.out;
        EXPECT_EQ(r.err, "");
    }
}

TEST_F(CompatCommand, AFileThatCannotBeReadEndsWithTwoNamingIt) {
    PELORIX_SKIP_WITHOUT_WIDL();
    const std::string oldLib = library("", "old");
    test::writeFile(env.driveC() + "/libs/notes.txt", "not a library");
    std::string damaged = test::widlLibraryBytes("compat.tlb");
    damaged.resize(damaged.size() / 2);
    test::writeFile(env.driveC() + "/libs/half.tlb", damaged);
    const std::pair<std::string, const char*> cases[] = {
        {"C:\\libs\\missing.tlb", "the file does not exist"},
        {"C:\\libs", "not a regular file"},
        {"C:\\libs\\notes.txt", "not a type library"},
        {"C:\\libs\\half.tlb", "outside the library"},
    };
    for (const auto& [path, cause] : cases) {
        SCOPED_TRACE(path);
        for (const Args& args : {Args{"compat", oldLib, path}, Args{"compat", path, oldLib}}) {
            const test::CliOutcome r = test::runCli(args);
            EXPECT_EQ(r.status, ExitUsage);
            EXPECT_EQ(r.out, "");
            EXPECT_NE(r.err.find(path), std::string::npos) << r.err;
            EXPECT_NE(r.err.find(cause), std::string::npos) << r.err;
        }
    }
}

TEST_F(CompatCommand, JUnitReportHasOneCasePerTypeFailedWhereSomethingBreaks) {
    PELORIX_SKIP_WITHOUT_WIDL();
    const std::string report = env.driveC() + "/out/compat.xml";
    std::filesystem::create_directories(env.driveC() + "/out");
    const test::CliOutcome r = test::runCli(
        {"compat", library("", "old"), library("DEFAULT_INTERFACE_CHANGED", "new"), "--junit", report});
    ASSERT_EQ(r.status, ExitFailure) << r.err;
    const std::string xml = test::readFile(report);
    EXPECT_NE(xml.find("<testsuites name=\"pelorix-cli compat\" tests=\"7\" failures=\"1\""),
              std::string::npos)
        << xml;
    EXPECT_NE(xml.find("<testcase name=\"shape\" classname=\"CompatSample\" time=\"0.000\">\n      <failure "
                       "message=\"IShape is no longer the default interface\" type=\"breaking\">"),
              std::string::npos)
        << xml;
    EXPECT_NE(xml.find("<system-out>compatible: now also implements ICanvas\n</system-out>"),
              std::string::npos);
    EXPECT_NE(xml.find("<testcase name=\"Colors\" classname=\"CompatSample\" time=\"0.000\"/>"),
              std::string::npos);
#ifndef _WIN32
    // A real JUnit reader reads it back.
    const std::string summary = env.root() + "/summary.txt";
    const std::string command = "/usr/bin/python3 " PELORIX_SOURCE_DIR "/tests/engine/junit_summary.py '" +
                                report + "' >'" + summary + "' 2>&1";
    if (std::system("/usr/bin/python3 -c 'import junitparser' 2>/dev/null") == 0) {
        ASSERT_EQ(std::system(command.c_str()), 0) << test::readFile(summary);
        EXPECT_NE(test::readFile(summary).find("suite\tC:\\libs\\old.tlb -> C:\\libs\\new.tlb\t7\t1\t0\t0"),
                  std::string::npos)
            << test::readFile(summary);
    }
#endif
}

TEST_F(CompatCommand, AReportPathThatIsALibraryOrNoRegularFileIsRefused) {
    PELORIX_SKIP_WITHOUT_WIDL();
    const std::string oldLib = library("", "old");
    const std::string newLib = library("MEMBER_REMOVED", "new");
    const std::string before = test::readFile(env.driveC() + "/libs/new.tlb");
    std::filesystem::create_directories(env.driveC() + "/folder");
    for (const std::string& report :
         {env.driveC() + "/libs/new.tlb", std::string("C:\\LIBS\\OLD.TLB"), env.driveC() + "/folder"}) {
        SCOPED_TRACE(report);
        const test::CliOutcome r = test::runCli({"compat", oldLib, newLib, "--junit=" + report});
        EXPECT_EQ(r.status, ExitUsage);
        EXPECT_NE(r.err.find("the JUnit report path"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(test::readFile(env.driveC() + "/libs/new.tlb"), before);
}

TEST_F(CompatCommand, UsageErrorsAndHelp) {
    for (const Args& args :
         {Args{"compat"}, Args{"compat", "a.tlb"}, Args{"compat", "a.tlb", "b.tlb", "c.tlb"},
          Args{"compat", "--verbose", "a.tlb", "b.tlb"}, Args{"compat", "a.tlb", "b.tlb", "--junit"}}) {
        const test::CliOutcome r = test::runCli(args);
        EXPECT_EQ(r.status, ExitUsage);
        EXPECT_NE(r.err.find("Usage: pelorix-cli compat OLD NEW [--junit FILE]"), std::string::npos) << r.err;
    }
    const test::CliOutcome help = test::runCli({"compat", "--help"});
    EXPECT_EQ(help.status, ExitOk);
    EXPECT_TRUE(help.out.starts_with("Usage: pelorix-cli compat OLD NEW [--junit FILE]\n"));
    EXPECT_NE(test::runCli({"--help"}).out.find("compat"), std::string::npos);
}

TEST_F(CompatCommand, TypelibInfoMembersPrintsTheWholeLibrary) {
    PELORIX_SKIP_WITHOUT_WIDL();
    const test::CliOutcome r = test::runCli({"typelib-info", library("", "old"), "--members"});
    ASSERT_EQ(r.status, ExitOk) << r.err;
    EXPECT_TRUE(r.out.starts_with("// MSFT type library, win32, lcid 0x0\n")) << r.out;
    EXPECT_NE(
        r.out.find(
            "    interface IShape : IDispatch {\n"
            "        [id(0x00000001), propget] HRESULT Name([out, retval] BSTR* value); // vtable slot 7\n"),
        std::string::npos)
        << r.out;
    std::string damaged = test::widlLibraryBytes("compat.tlb");
    damaged.resize(damaged.size() / 2);
    test::writeFile(env.driveC() + "/half.tlb", damaged);
    const test::CliOutcome bad = test::runCli({"typelib-info", "--members", "C:\\half.tlb"});
    EXPECT_EQ(bad.status, ExitFailure);
    EXPECT_EQ(bad.out, "");
    EXPECT_NE(bad.err.find("C:\\half.tlb: "), std::string::npos) << bad.err;
}

} // namespace
} // namespace pelorix::cli
