#include "BuildWorld.h"
#include "cli/Cli.h"
#include "support/CliRun.h"

#include <sstream>

#include <gtest/gtest.h>

namespace pelorix::test {
namespace {

CliOutcome runBuild(std::vector<std::string> args) {
    args.insert(args.begin(), "build");
    return runCli(args);
}

// The lines of the output that report a project or the result.
std::vector<std::string> summary(const std::string& out) {
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        if (line.starts_with("OK\t") || line.starts_with("NG\t") || line.starts_with("result="))
            lines.push_back(line);
    return lines;
}

TEST(BuildCommand, BuildsTheMarkedProjectsAndPrintsOneLinePerProject) {
    BuildWorld world;
    const std::string a = world.addProject("a", "Alpha", {"CompatibleMode=\"2\""});
    const std::string b = world.addProject("b", "Beta", {"CompatibleMode=\"0\""});
    const std::string c = world.addProject("c", "Gamma", {"CompatibleMode=\"1\""});
    const std::string state = "1,3,";
    const std::string list = world.writeList({a, b, c}, &state);
    const CliOutcome r = runBuild({world.host(list)});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(summary(r.out),
              (std::vector<std::string>{"OK\tﾊﾞｲﾅﾘ互換\t" + a, "OK\tﾌﾟﾛｼﾞｪｸﾄ互換\t" + c, "result=0"}));
    EXPECT_NE(r.out.find("Alphaを「ﾊﾞｲﾅﾘ互換」でﾋﾞﾙﾄﾞ中..."), std::string::npos);
    EXPECT_NE(r.out.find("のﾋﾞﾙﾄﾞが正常に終了しました。"), std::string::npos);
    EXPECT_EQ(world.recorded().size(), 2u);
}

TEST(BuildCommand, ReadsALongEnableStateWhole) {
    BuildWorld world;
    const std::string a = world.addProject("a", "Alpha", {});
    std::string state;
    for (int i = 0; i < 150; ++i)
        state += "0,";
    state += "1,";
    const CliOutcome r = runBuild({world.host(world.writeList({a}, &state))});
    EXPECT_EQ(summary(r.out), (std::vector<std::string>{"OK\t\t" + a, "result=0"}));
}

TEST(BuildCommand, NothingMarkedBuildsNothingAndFailsWithSeven) {
    BuildWorld world;
    const std::string a = world.addProject("a", "Alpha", {});
    const CliOutcome r = runBuild({world.host(world.writeList({a}))});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(summary(r.out), (std::vector<std::string>{"result=7"}));
}

TEST(BuildCommand, AnswersNoUnlessToldYes) {
    BuildWorld world;
    world.setting("Build", "RebuildHideConfirm", "0");
    world.setting("Build", "ReBuildMode", "0");
    const std::string a =
        world.addProject("a", "Alpha", {"CompatibleMode=\"2\"", "StandIn@2=implements", "StandIn@0=ok"});
    const std::string list = world.writeList({a});

    const CliOutcome no = runBuild({world.host(list), "--all"});
    EXPECT_EQ(no.status, 1);
    EXPECT_EQ(summary(no.out), (std::vector<std::string>{"NG\tﾊﾞｲﾅﾘ互換\t" + a, "result=2"}));
    EXPECT_NE(no.err.find("ﾋﾞﾙﾄﾞ失敗: Alphaの「ﾊﾞｲﾅﾘ互換」のﾋﾞﾙﾄﾞに失敗しました。 再ﾋﾞﾙﾄﾞしますか？ -> No"),
              std::string::npos);

    const CliOutcome yes = runBuild({world.host(list), "--all", "--yes"});
    EXPECT_EQ(yes.status, 1);
    EXPECT_EQ(summary(yes.out), (std::vector<std::string>{"NG\tﾊﾞｲﾅﾘ互換\t" + a, "result=1"}));
    EXPECT_NE(yes.out.find("Alphaを「互換なし」でﾋﾞﾙﾄﾞ中..."), std::string::npos);
}

// The window's settings and the list's marks are numbers in any form the numeric test allows.
TEST(BuildCommand, ReadsSettingsAndMarksAsNumbers) {
    BuildWorld world;
    world.setting("Build", "RebuildHideConfirm", ".-5");
    world.setting("Build", "RebuildCompatibleMode", "1.0");
    world.setting("Build", "ReBuildMode", "0");
    const std::string a =
        world.addProject("a", "Alpha", {"CompatibleMode=\"2\"", "StandIn@2=implements", "StandIn@1=ok"});
    const std::string state = ".-1,1.0,";
    const CliOutcome r = runBuild({world.host(world.writeList({a}, &state))});
    EXPECT_EQ(summary(r.out), (std::vector<std::string>{"NG\tﾊﾞｲﾅﾘ互換\t" + a, "result=1"})) << r.err;
    EXPECT_NE(r.out.find("Alphaを「ﾌﾟﾛｼﾞｪｸﾄ互換」でﾋﾞﾙﾄﾞ中..."), std::string::npos);
    EXPECT_EQ(r.err.find("?"), std::string::npos);
}

// --all marks a project whose file is missing too; with one whose file has no CompatibleMode
// line the run still goes to its end.
TEST(BuildCommand, AllBuildsMissingAndModelessProjectsToTheEnd) {
    BuildWorld world;
    const std::string missing = TestEnvironment::windowsPath(world.env.driveC() + "/gone/Gone.vbp");
    const std::string noMode = world.addProject("n", "NoMode", {});
    const std::string list = world.writeList({noMode, missing});
    const CliOutcome r = runBuild({world.host(list), "--all"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(summary(r.out), (std::vector<std::string>{"OK\t\t" + noMode, "NG\t\t" + missing, "result=6"}));
    EXPECT_NE(r.out.find("-の更新に失敗しました。"), std::string::npos);
    EXPECT_TRUE(world.filesContaining("CompatibleMode=\"-1\"").empty());

    // Without --all the missing project's saved mark is not restored.
    const std::string state = "1,2,";
    const CliOutcome marked = runBuild({world.host(world.writeList({noMode, missing}, &state))});
    EXPECT_EQ(summary(marked.out), (std::vector<std::string>{"OK\t\t" + noMode, "result=0"}));
}

TEST(BuildCommand, ReportsUsageAndFileErrors) {
    EXPECT_EQ(runBuild({}).status, 2);
    EXPECT_EQ(runBuild({"a.ini", "b.ini"}).status, 2);
    EXPECT_EQ(runBuild({"a.ini", "--fast"}).status, 2);
    BuildWorld world;
    const CliOutcome r = runBuild({world.env.root() + "/no-such-list.ini"});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(r.err.empty());
    const CliOutcome help = runBuild({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("LogWaitLimit"), std::string::npos);
    EXPECT_NE(help.out.find("ProcessWaitLimit"), std::string::npos);
}

} // namespace
} // namespace pelorix::test
