#include "BuildWorld.h"
#include "cli/Cli.h"
#include "platform/ProgramFolderLock.h"
#include "support/CliRun.h"
#include "support/TestOs.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

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
        if (line.starts_with("OK\t") || line.starts_with("NG\t") || line.starts_with("MISSING\t") ||
            line.starts_with("result="))
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

    // The missing project first: the last project's success is the run's code, but the command
    // fails all the same, as its report lists the failure.
    const CliOutcome first = runBuild({world.host(world.writeList({missing, noMode})), "--all"});
    EXPECT_EQ(summary(first.out),
              (std::vector<std::string>{"NG\t\t" + missing, "OK\t\t" + noMode, "result=0"}));
    EXPECT_EQ(first.status, 1);

    // Without --all the missing project's saved mark is not restored: it is named, and fails the
    // command, but not the run.
    const std::string state = "1,2,";
    const CliOutcome marked = runBuild({world.host(world.writeList({noMode, missing}, &state))});
    EXPECT_EQ(summary(marked.out),
              (std::vector<std::string>{"OK\t\t" + noMode, "MISSING\t\t" + missing, "result=0"}));
    EXPECT_EQ(marked.status, 1);
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

// A list as a hostile user leaves it: a project in a folder named with ";", a marked project
// whose file is gone, a project file the reader cannot take, a settings value that overflows.
// Each project is built as listed or named; a run that stops names its cause in the build log and
// on standard error and still ends with its result line.
TEST(BuildCommand, AHostileListIsBuiltAsListedAndEveryStopNamesItsCause) {
    BuildWorld world;
    const std::string semicolon = world.addProject("Work/a;b", "Semi", {});
    const std::string plain = world.addProject("p", "Plain", {});
    const std::string gone = TestEnvironment::windowsPath(world.env.driveC() + "/gone/Gone.vbp");
    const std::string marks = "1,2,3,";
    const std::string list = world.writeList({semicolon, gone, plain}, &marks);

    const CliOutcome r = runBuild({world.host(list)});
    EXPECT_EQ(r.status, 1) << "a marked project was not built";
    EXPECT_EQ(summary(r.out), (std::vector<std::string>{"OK\t\t" + semicolon, "OK\t\t" + plain,
                                                        "MISSING\t\t" + gone, "result=0"}));
    ASSERT_EQ(world.recorded().size(), 2u);
    EXPECT_EQ(world.recorded()[0].back(), semicolon);

    // A project file line with a single quote stops the load, naming the file and the line.
    const std::string broken = world.addProject("b", "Broken", {"Title=\"unterminated"});
    const CliOutcome unreadable = runBuild({world.host(world.writeList({plain, broken}, &marks))});
    EXPECT_EQ(unreadable.status, 1);
    const std::string where = "引用符が閉じていません。:[ProjectFile=" + broken + "], 行番号: 3";
    EXPECT_TRUE(holds(unreadable.err, where)) << unreadable.err;
    EXPECT_TRUE(holds(unreadable.out, where)) << "in the build log too";
    EXPECT_TRUE(unreadable.out.ends_with("result=99\n")) << unreadable.out;

    world.setting("Build", "BufferSize", "99999999999");
    const CliOutcome overflow = runBuild({world.host(world.writeList({semicolon, gone, plain}, &marks))});
    EXPECT_EQ(overflow.status, 1);
    EXPECT_TRUE(holds(overflow.err, "オーバーフローしました。[Pelorix.ini [Build] BufferSize=99999999999]"))
        << overflow.err;
    EXPECT_TRUE(holds(overflow.out, "BufferSize=99999999999"));
    EXPECT_TRUE(overflow.out.ends_with("result=99\n")) << overflow.out;
    world.setting("Build", "BufferSize", "1024");
}

// The machine a run needs: a program folder that can take the compiler logs (else the run stops
// at once instead of waiting for a log that cannot come), and on Linux a prefix with a usable
// registry.
TEST(BuildCommand, AnUnusableProgramFolderIsNamedAtOnce) {
    BuildWorld world;
    const std::string a = world.addProject("a", "Alpha", {});
    const std::string list = world.host(world.writeList({a}));
    const std::string home = world.env.home();
    const std::string missing = world.env.root() + "/no-home";
    pelorix::test::setEnvironment("PELORIX_HOME", missing.c_str());
    const CliOutcome noFolder = runBuild({list, "--all"});
    EXPECT_TRUE(holds(noFolder.err, "ﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞがありません。[" + missing + "]")) << noFolder.err;
    EXPECT_EQ(summary(noFolder.out), (std::vector<std::string>{"result=99"}));
    EXPECT_TRUE(world.recorded().empty());

    writeFile(missing, "a file");
    const CliOutcome aFile = runBuild({list, "--all"});
    EXPECT_TRUE(holds(aFile.err, "ﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞがﾌｫﾙﾀﾞではありません。")) << aFile.err;
    pelorix::test::setEnvironment("PELORIX_HOME", home.c_str());
}

#ifndef _WIN32 // the Wine prefix's registry files
TEST(BuildCommand, ARegistryFileThatIsNoRegistryIsNamedAtOnce) {
    BuildWorld world;
    const std::string a = world.addProject("a", "Alpha", {});
    const std::string list = world.host(world.writeList({a}));
    // A system.reg that is no registry: the cause is named, and the run finds no compiler.
    writeFile(world.env.prefix() + "/system.reg", "REGEDIT4\r\n");
    const CliOutcome noRegistry = runBuild({list, "--all"});
    EXPECT_TRUE(
        holds(noRegistry.err, "Wineのﾚｼﾞｽﾄﾘﾌｧｲﾙではありません。[" + world.env.prefix() + "/system.reg]"))
        << noRegistry.err;
    EXPECT_TRUE(holds(noRegistry.out, "Wineﾌﾟﾚﾌｨｯｸｽに使用できるﾚｼﾞｽﾄﾘがありません。"));
    EXPECT_EQ(summary(noRegistry.out), (std::vector<std::string>{"NG\t\t" + a, "result=99"}));
}
#endif

// Two builds in one program folder would read each other's compiler logs: the second refuses,
// or waits with --wait until the first has ended.
TEST(BuildCommand, OneBuildAtATimePerProgramFolder) {
    BuildWorld world;
    const std::string a = world.addProject("a", "Alpha", {});
    const std::string list = world.host(world.writeList({a}));
    ProgramFolderLock other = ProgramFolderLock::tryAcquire(); // the run of another process
    ASSERT_TRUE(other.held());

    const CliOutcome refused = runBuild({list, "--all"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(holds(refused.err, "another build is running in the program folder " + world.env.home()))
        << refused.err;
    EXPECT_EQ(refused.out, "");
    EXPECT_TRUE(world.recorded().empty());

    std::thread otherEnds([&other] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        other.release();
    });
    const CliOutcome waited = runBuild({list, "--all", "--wait"});
    otherEnds.join();
    EXPECT_TRUE(holds(waited.err, "waiting for it to end")) << waited.err;
    EXPECT_EQ(summary(waited.out), (std::vector<std::string>{"OK\t\t" + a, "result=0"}));
    // The lock ended with the run: the next one need not wait.
    EXPECT_TRUE(ProgramFolderLock::tryAcquire().held());

    // A lock file that cannot be opened in a usable folder: no run without the lock.
    std::filesystem::remove(world.env.home() + "/Pelorix.lock");
    std::filesystem::create_directory(world.env.home() + "/Pelorix.lock");
    const CliOutcome unlocked = runBuild({list, "--all"});
    EXPECT_EQ(unlocked.status, 1);
    EXPECT_TRUE(holds(unlocked.err, "cannot take the build lock " + world.env.home() + "/Pelorix.lock"))
        << unlocked.err;
}

} // namespace
} // namespace pelorix::test
