// The project data commands of the command-line front end: what `project`, `update` and `import`
// print, and their exit statuses.
#include "cli/Cli.h"
#include "support/CliRun.h"
#include "support/RegistryWriter.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace pelorix::cli {
namespace {

class ProjectDataCommands : public ::testing::Test {
protected:
    void putC(const std::string& relative, std::string_view bytes) const {
        test::writeFile(env.driveC() + "/" + relative, bytes);
    }
    std::string readC(const std::string& relative) const {
        return test::readFile(env.driveC() + "/" + relative);
    }

    test::TestEnvironment env;
};

TEST_F(ProjectDataCommands, ProjectPrintsTheRowTextThenEachValue) {
    putC("p/P.vbp", test::sjis("Type=Exe\r\nName=\"P\"\r\nTitle=\"販売\"\r\nDescription=\"d, e\"\r\n"
                               "CompatibleMode=\"1\"\r\nStartMode=0\r\nOptimizationType=2\r\n"));
    const test::CliOutcome o = test::runCli({"project", "C:\\p\\P.vbp"});
    EXPECT_EQ(o.status, ExitOk) << o.err;
    EXPECT_EQ(o.out, ",,1,2,d, e,販売,C:\\p\\P.vbp\n"
                     "ProjectName=P\nTitle=販売\nDescription=d, e\nProjectType=Exe\n"
                     "CompatibleMode=1\nStartMode=0\nOptimizationType=2\n");

    const test::CliOutcome missing = test::runCli({"project", "C:\\p\\none.vbp"});
    EXPECT_EQ(missing.status, ExitOk);
    EXPECT_EQ(missing.out, ",,-1,-1,,-,C:\\p\\none.vbp\n"
                           "ProjectName=-\nTitle=-\nDescription=\nProjectType=\n"
                           "CompatibleMode=-1\nStartMode=-1\nOptimizationType=-1\n");

    EXPECT_EQ(test::runCli({"project"}).status, ExitUsage);
}

TEST_F(ProjectDataCommands, UpdatePrintsTheLogLinesAndKeepsTheBackup) {
    test::RegistryWriter registry;
    test::TypeLibRegistration lib;
    lib.guid = "{11111111-2222-3333-4444-555555555555}";
    lib.version = "2.1";
    lib.win32 = "C:\\lib\\x.tlb";
    registry.addTypeLib(lib);
    registry.write(env);
    const std::string original =
        "Type=OleDll\r\n"
        "Reference=*\\G{11111111-2222-3333-4444-555555555555}#1.0#0#C:\\lib\\x.tlb#X\r\n"
        "CompatibleMode=\"0\"\r\nCompatibleEXE32=\"x.dll\"\r\n";
    putC("p/P.vbp", original);

    const test::CliOutcome o = test::runCli({"update", "C:\\p\\P.vbp", "--mode", "2"});
    EXPECT_EQ(o.status, ExitOk) << o.err;
    EXPECT_EQ(
        o.out,
        "2行 更新(参照設定): Reference=*\\G{11111111-2222-3333-4444-555555555555}#2.1#0#C:\\lib\\x.tlb#X\n"
        "3行 更新(互換ﾓｰﾄﾞ): CompatibleMode=\"2\"\n"
        "5行 更新(ﾊﾞｰｼﾞｮﾝ互換): VersionCompatible32=\"1\"\n");
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(readC("p/P.vbp.org"), original);

    const test::CliOutcome missing = test::runCli({"update", "C:\\p\\none.vbp", "--mode", "1"});
    EXPECT_EQ(missing.status, ExitFailure);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err, "");

    // A failed update: the error on standard error, the project file as it was.
    putC("p/Bad.vbp", "CompatibleMode=\"0\"\r\nReference=*\\G{broken#1.0\r\n");
    const test::CliOutcome failed = test::runCli({"update", "C:\\p\\Bad.vbp", "--mode", "1"});
    EXPECT_EQ(failed.status, ExitFailure);
    EXPECT_NE(failed.err.find("error 9"), std::string::npos) << failed.err;
    EXPECT_EQ(failed.out, "") << "no update line for a file that was not written";
    EXPECT_EQ(readC("p/Bad.vbp"), "CompatibleMode=\"0\"\r\nReference=*\\G{broken#1.0\r\n");

    EXPECT_EQ(test::runCli({"update", "C:\\p\\P.vbp"}).status, ExitUsage);
    EXPECT_EQ(test::runCli({"update", "C:\\p\\P.vbp", "--mode", "3"}).status, ExitUsage);
}

TEST_F(ProjectDataCommands, ImportPrintsThePathsWithTheKeyWordsOfTheSettings) {
    putC("b/make.bat", "vb6.exe /make ..\\src\\One.vbp\r\n"
                       "vb6.exe /out two.log /make Two\r\n"
                       "vb6.exe /log three.log /make Three\r\n"
                       "vb6 /make \"C:\\My Projects\\Core.vbp\"\r\n");
    const test::CliOutcome o = test::runCli({"import", "C:\\b\\make.bat"});
    EXPECT_EQ(o.status, ExitOk) << o.err;
    EXPECT_EQ(o.out, "C:\\src\\One.vbp\nTwo.vbp\nC:\\My Projects\\Core.vbp\n");

    // An empty setting means the default list; a custom list names its own log-file switch
    // eighth, compared without case.
    test::writeFile(env.home() + "/Pelorix.ini", "[Import]\r\nKeyWord=\r\n");
    EXPECT_EQ(test::runCli({"import", "C:\\b\\make.bat"}).out, o.out);
    test::writeFile(env.home() + "/Pelorix.ini",
                    "[Import]\r\nKeyWord=/make,/m,/makedll,/l,/run,/r,/runexit,/Log\r\n");
    EXPECT_EQ(test::runCli({"import", "C:\\b\\make.bat"}).out,
              "C:\\src\\One.vbp\nThree.vbp\nC:\\My Projects\\Core.vbp\n");

    const test::CliOutcome missing = test::runCli({"import", "C:\\b\\none.bat"});
    EXPECT_EQ(missing.status, ExitFailure);
    EXPECT_NE(missing.err.find("error 53"), std::string::npos) << missing.err;
    // A folder is named as one, whatever error number the runtime gives for it.
    EXPECT_TRUE(test::runCli({"import", "C:\\b"})
                    .err.ends_with(": ﾊﾞｯﾁﾌｧｲﾙを読み込めません。ﾌｧｲﾙではなくﾌｫﾙﾀﾞです。[C:\\b]\n"));
}

} // namespace
} // namespace pelorix::cli
