#include "cli/Cli.h"
#include "platform/TypeLibFiles.h"
#include "support/TestEnvironment.h"

#include <sstream>

#include <gtest/gtest.h>

namespace pelorix::cli {
namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome run(const Args& args) {
    std::ostringstream out, err;
    const int status = runCli(args, out, err);
    return {status, out.str(), err.str()};
}

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
    const Outcome windowsPath = run({"typelib-info", "C:\\Program Files\\Lib Dir\\two.dll"});
    EXPECT_EQ(windowsPath.status, ExitOk);
    EXPECT_EQ(windowsPath.out, "{12345678-9ABC-DEF0-1122-334455667788}\t10.a\n");
    EXPECT_EQ(windowsPath.err, "");

    EXPECT_EQ(run({"typelib-info", library}).out, windowsPath.out); // a host path names the same file
    const Outcome second = run({"typelib-info", "C:\\Program Files\\Lib Dir\\two.dll\\2"});
    EXPECT_EQ(second.status, ExitOk);
    EXPECT_EQ(second.out, "{3F4DACA7-160D-11D2-A8E9-00104B365C9F}\t5.1f\n");
}

TEST_F(TypelibInfoCommand, MissingFileOrNoLibraryFailsWithAMessage) {
    test::writeFile(env.driveC() + "/notes.txt", "text");
    for (const std::string& path : {std::string("C:\\missing.tlb"), std::string("C:\\notes.txt"),
                                    std::string("C:\\Program Files\\Lib Dir\\two.dll\\3")}) {
        SCOPED_TRACE(path);
        const Outcome r = run({"typelib-info", path});
        EXPECT_EQ(r.status, ExitFailure);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(path), std::string::npos);
    }
    EXPECT_NE(run({"typelib-info", "C:\\missing.tlb"}).err.find("does not exist"), std::string::npos);
    EXPECT_NE(run({"typelib-info", "C:\\notes.txt"}).err.find("not a type library"), std::string::npos);
}

TEST_F(TypelibInfoCommand, UsageErrorsAndHelp) {
    for (const Args& args : {Args{"typelib-info"}, Args{"typelib-info", "a.tlb", "b.tlb"},
                             Args{"typelib-info", "--verbose", "a.tlb"}}) {
        const Outcome r = run(args);
        EXPECT_EQ(r.status, ExitUsage);
        EXPECT_NE(r.err.find("Usage: pelorix-cli typelib-info FILE"), std::string::npos);
    }
    const Outcome help = run({"typelib-info", "--help"});
    EXPECT_EQ(help.status, ExitOk);
    EXPECT_TRUE(help.out.starts_with("Usage: pelorix-cli typelib-info FILE\n"));
    // A file whose name begins with "-" is reachable after "--".
    test::writeFile(env.driveC() + "/-lib.tlb", test::makeMsft().bytes);
    EXPECT_EQ(run({"typelib-info", "--", env.driveC() + "/-lib.tlb"}).status, ExitOk);
}

} // namespace
} // namespace pelorix::cli
