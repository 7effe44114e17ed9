#include "BuildWorld.h"
#include "engine/CompilerLog.h"
#include "platform/CodePage.h"
#include "platform/DriveMap.h"
#include "support/CliRun.h"
#include "support/RegistryWriter.h"
#include "support/TestOs.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

namespace pelorix::test {
namespace {
namespace fs = std::filesystem;

bool hasLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// ---- Every project result code, one project per run ------------------------------------------

struct ResultCase {
    const char* name;
    std::string script;  // the project's StandIn line, "" for none
    std::int16_t result; // the run's result
    const char* cell;    // the grid's result cell
};

class BuildResultCode : public ::testing::TestWithParam<ResultCase> {};

TEST_P(BuildResultCode, OfOneProjectIsTheRunsResultAndShowsInTheGrid) {
    BuildWorld world;
    world.setting("Build", "LogWaitLimit", "2000");
    std::vector<std::string> lines = {"CompatibleMode=\"0\""};
    if (!GetParam().script.empty())
        lines.push_back("StandIn=" + GetParam().script);
    const std::string project = world.addProject("p", "Alpha", lines);
    EngineRun run;
    run.load({project});
    EXPECT_EQ(run.build({1}), GetParam().result);
    EXPECT_EQ(run.cell(1, GridColumn::Result), GetParam().cell);
    EXPECT_EQ(run.cell(1, GridColumn::Compatible), "互換なし");
    const std::int32_t blue = 255 * 65536;
    EXPECT_EQ(run.form.grid().cellForeColor(1, 1), GetParam().result == 0 ? blue : 255);
    // Every failure was asked about (answered No); a success asks nothing.
    EXPECT_EQ(run.box.shown().size(), GetParam().result == 0 ? 0u : 1u);
    EXPECT_FALSE(run.form.IsBuild());
}

INSTANTIATE_TEST_SUITE_P(Codes, BuildResultCode,
                         ::testing::Values(ResultCase{"NoScriptSucceeds", "", 0, "OK"},
                                           ResultCase{"Success", "ok", 0, "OK"},
                                           ResultCase{"NotFound", "notfound", 5, "NG"},
                                           ResultCase{"Implements", "implements", 2, "NG"},
                                           ResultCase{"VersionCompatible", "version", 2, "NG"},
                                           ResultCase{"ErrorLine", "error", 99, "NG"},
                                           ResultCase{"UnknownLine", "unknown", 99, "NG"},
                                           ResultCase{"OnlyEmptyLines", "empty", -1, "NG"}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(BuildEngine, ShowsTheCompilerLogAndAsksWithTheExactTextsOnAFailure) {
    BuildWorld world;
    const std::string project = world.addProject("p", "Alpha", {"CompatibleMode=\"2\"", "StandIn=notfound"});
    EngineRun run;
    run.load({project});
    ASSERT_EQ(run.build({1}), 5);
    const auto log = run.unstampedLog();
    EXPECT_EQ(log.front(), "Alphaを「ﾊﾞｲﾅﾘ互換」でﾋﾞﾙﾄﾞ中...");
    EXPECT_TRUE(hasLine(log, "ﾌﾟﾛｼﾞｪｸﾄまたはﾗｲﾌﾞﾗﾘが見つかりません。"));
    ASSERT_EQ(run.box.shown().size(), 1u);
    const auto& question = run.box.shown()[0];
    EXPECT_EQ(question.text, "Alphaの「ﾊﾞｲﾅﾘ互換」のﾋﾞﾙﾄﾞに失敗しました。\r\n再ﾋﾞﾙﾄﾞしますか？");
    EXPECT_EQ(question.title, "ﾋﾞﾙﾄﾞ失敗");
    EXPECT_EQ(question.buttons, MsgButtons::YesNo);
    EXPECT_EQ(question.icon, MsgIcon::Exclamation);
    EXPECT_TRUE(question.foreground);
    EXPECT_EQ(run.wait.displayMode(), 1);
    EXPECT_EQ(run.wait.message(), "Alphaのﾋﾞﾙﾄﾞに失敗しました。");
    EXPECT_EQ(run.wait.caption(), "ﾋﾞﾙﾄﾞｴﾗｰ");
}

TEST(BuildEngine, AFailureOtherThanAnUpdateStopsTheRun) {
    BuildWorld world;
    const std::string a = world.addProject("a", "Alpha", {"CompatibleMode=\"0\"", "StandIn=notfound"});
    const std::string b = world.addProject("b", "Beta", {"CompatibleMode=\"0\""});
    EngineRun run;
    run.load({a, b});
    EXPECT_EQ(run.build({1, 2}), 5);
    EXPECT_EQ(world.recorded().size(), 1u);
    EXPECT_EQ(run.cell(2, GridColumn::Result), "");
    EXPECT_EQ(run.currentBuildRow, 1);
}

TEST(BuildEngine, AnEmptyRunReturnsSevenAndReportsAFailureWithoutAName) {
    BuildWorld world;
    EngineRun run;
    run.load({});
    EXPECT_EQ(run.build({}), 7);
    EXPECT_EQ(run.wait.displayMode(), 1);
    EXPECT_EQ(run.wait.message(), "のﾋﾞﾙﾄﾞに失敗しました。");

    // The window's marker of an empty target list, the single row -1, is an empty run too.
    CFVB6EXE engine(run.box, run.pump);
    engine.fInitialize(run.data, run.api, {-1}, run.log, "");
    IWaitForm* waitForm = &run.wait;
    EXPECT_EQ(engine.BuildExecute(waitForm, false, 0, run.form), 7);
    EXPECT_EQ(waitForm, &run.wait);
}

TEST(BuildEngine, ExecuteOffUpdatesTheProjectFileButStartsNoCompiler) {
    BuildWorld world;
    world.setting("Build", "Execute", "0");
    const std::string project = world.addProject("p", "Alpha", {"CompatibleMode=\"1\""});
    EngineRun run;
    run.load({project});
    run.data.fSetCompatibleMode(0, 0);
    run.form.grid().TextMatrix(1, 2, "互換なし");
    EXPECT_EQ(run.build({1}), 9);
    EXPECT_TRUE(world.recorded().empty());
    EXPECT_NE(readFile(world.host(project)).find("CompatibleMode=\"0\""), std::string::npos);
}

// A switch of section "Build" is False for 0 only: any other number, a fraction included, is
// True, and a text that is no number keeps the default.
struct FlagCase {
    const char* name;
    const char* execute;
    std::int16_t result;
};

class BuildExecuteSetting : public ::testing::TestWithParam<FlagCase> {};

TEST_P(BuildExecuteSetting, IsFalseOnlyForZero) {
    BuildWorld world;
    world.setting("Build", "Execute", GetParam().execute);
    const std::string project = world.addProject("p", "Alpha", {"CompatibleMode=\"0\""});
    EngineRun run;
    run.load({project});
    EXPECT_EQ(run.build({1}), GetParam().result);
    EXPECT_EQ(world.recorded().size(), GetParam().result == 9 ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(Values, BuildExecuteSetting,
                         ::testing::Values(FlagCase{"Zero", "0", 9}, FlagCase{"ZeroPointZero", " 0.0 ", 9},
                                           FlagCase{"Fraction", "0.4", 0}, FlagCase{"Negative", "-1", 0},
                                           FlagCase{"Huge", "99999999999999999999", 0},
                                           FlagCase{"NoNumber", "off", 0}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

// A marked project whose file is missing and one without a CompatibleMode line both carry mode
// -1: the run goes on past them, shows an empty mode name and never writes mode -1 anywhere.
TEST(BuildEngine, ProjectsWithoutAModeRunToTheEndWithTheirOwnCodes) {
    BuildWorld world;
    const std::string missing = TestEnvironment::windowsPath(world.env.driveC() + "/gone/Gone.vbp");
    const std::string noMode = world.addProject("n", "NoMode", {"Title=\"x\""});
    const std::string last = world.addProject("l", "Last", {"CompatibleMode=\"0\""});
    EngineRun run;
    run.load({missing, noMode, last});
    ASSERT_EQ(run.cell(1, GridColumn::Compatible), "");
    EXPECT_EQ(run.build({1, 2, 3}), 0);

    const auto log = run.unstampedLog();
    EXPECT_TRUE(hasLine(log, "-を「」でﾋﾞﾙﾄﾞ中..."));
    EXPECT_TRUE(hasLine(log, "-の更新に失敗しました。"));
    EXPECT_TRUE(hasLine(log, "NoModeを「」でﾋﾞﾙﾄﾞ中..."));
    EXPECT_EQ(run.cell(1, GridColumn::Result), "NG");
    EXPECT_EQ(run.cell(2, GridColumn::Result), "OK");
    EXPECT_EQ(run.cell(2, GridColumn::Compatible), "");
    EXPECT_EQ(run.cell(3, GridColumn::Result), "OK");
    EXPECT_EQ(world.recorded().size(), 2u);
    EXPECT_TRUE(world.filesContaining("CompatibleMode=\"-1\"").empty());
    EXPECT_EQ(readFile(world.host(noMode)).find("CompatibleMode"), std::string::npos);
}

TEST(BuildEngine, AnUpdateFailureOfTheLastProjectIsTheRunsResult) {
    BuildWorld world;
    const std::string first = world.addProject("f", "First", {"CompatibleMode=\"0\""});
    const std::string missing = TestEnvironment::windowsPath(world.env.driveC() + "/gone/Gone.vbp");
    EngineRun run;
    run.load({first, missing});
    EXPECT_EQ(run.build({1, 2}), 6);
    EXPECT_EQ(run.cell(1, GridColumn::Result), "OK");
    EXPECT_EQ(run.currentBuildRow, 2);
}

// ---- Rebuilds ----------------------------------------------------------------------------------

// A binary-compatible project that fails in its own mode and builds in "互換なし".
std::string flakyBinaryProject(BuildWorld& world, const std::string& name, const std::string& ownModeScript) {
    return world.addProject(name, name,
                            {"CompatibleMode=\"2\"", "StandIn@2=" + ownModeScript, "StandIn@0=ok"});
}

TEST(BuildRebuild, AskedAndAnsweredYesRebuildsAndGoesOnWithTheNextProject) {
    BuildWorld world;
    world.setting("Build", "ReBuildMode", "0");
    const std::string a = flakyBinaryProject(world, "Alpha", "implements");
    const std::string b = world.addProject("b", "Beta", {"CompatibleMode=\"0\""});
    EngineRun run;
    run.load({a, b});
    run.box.queueAnswers({true, true});
    // Beta's success is the last result the run records.
    EXPECT_EQ(run.build({1, 2}, false, 0), 0);

    ASSERT_EQ(run.box.shown().size(), 2u);
    EXPECT_EQ(run.box.shown()[1].text,
              "Alphaを「互換なし」で再ﾋﾞﾙﾄﾞしますか？\r\n※互換ﾓｰﾄﾞを変更しない場合は「いいえ」");
    EXPECT_EQ(run.box.shown()[1].title, "再ﾋﾞﾙﾄﾞ");
    EXPECT_EQ(run.box.shown()[1].icon, MsgIcon::Question);
    const auto log = run.unstampedLog();
    EXPECT_TRUE(hasLine(log, "Alphaを「ﾊﾞｲﾅﾘ互換」のﾋﾞﾙﾄﾞで失敗しました。"));
    EXPECT_TRUE(hasLine(log, "Alphaを「互換なし」でﾋﾞﾙﾄﾞ中..."));
    EXPECT_TRUE(hasLine(run.wait.messages(), "Alphaを「互換なし」で再ﾋﾞﾙﾄﾞ中..."));
    EXPECT_EQ(run.cell(1, GridColumn::Result), "NG");
    EXPECT_EQ(run.cell(2, GridColumn::Result), "OK");
    EXPECT_EQ(world.recorded().size(), 3u);
    // The rebuild left the project file in the rebuild mode.
    EXPECT_NE(readFile(world.host(a)).find("CompatibleMode=\"0\""), std::string::npos);
}

TEST(BuildRebuild, AnsweredNoToTheRebuildStopsTheRunWithOne) {
    BuildWorld world;
    const std::string a = flakyBinaryProject(world, "Alpha", "implements");
    const std::string b = world.addProject("b", "Beta", {"CompatibleMode=\"0\""});
    EngineRun run;
    run.load({a, b});
    run.box.queueAnswers({true, false});
    EXPECT_EQ(run.build({1, 2}, false, 1), 1);
    EXPECT_EQ(world.recorded().size(), 1u);
    // The question names the mode the rebuild would use.
    ASSERT_EQ(run.box.shown().size(), 2u);
    EXPECT_EQ(run.box.shown()[1].text,
              "Alphaを「ﾌﾟﾛｼﾞｪｸﾄ互換」で再ﾋﾞﾙﾄﾞしますか？\r\n※互換ﾓｰﾄﾞを変更しない場合は「いいえ」");
}

TEST(BuildRebuild, AutomaticRebuildWithReBuildModeBuildsOnceMoreInTheOwnMode) {
    BuildWorld world;
    const std::string a = flakyBinaryProject(world, "Alpha", "implements|ok");
    EngineRun run;
    run.load({a});
    EXPECT_EQ(run.build({1}, true, 0), 0);
    EXPECT_TRUE(run.box.shown().empty());
    EXPECT_EQ(run.cell(1, GridColumn::Result), "OK");
    EXPECT_EQ(run.cell(1, GridColumn::Compatible), "ﾊﾞｲﾅﾘ互換");
    EXPECT_NE(readFile(world.host(a)).find("CompatibleMode=\"2\""), std::string::npos);
    ASSERT_EQ(world.recorded().size(), 3u);

    // Lines 4 and 5 share one time stamp.
    const auto& lines = run.log.lines();
    const auto rebuildLine = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
        return l.ends_with("Alphaを「互換なし」でﾋﾞﾙﾄﾞ中...");
    });
    ASSERT_NE(rebuildLine, lines.end());
    const auto againLine = std::find_if(rebuildLine, lines.end(), [](const std::string& l) {
        return l.ends_with("Alphaを「ﾊﾞｲﾅﾘ互換」でﾋﾞﾙﾄﾞ中...");
    });
    ASSERT_NE(againLine, lines.end());
    EXPECT_EQ(rebuildLine->substr(0, 20), againLine->substr(0, 20));
}

TEST(BuildRebuild, WithoutReBuildModeASuccessfulRebuildKeepsTheFirstNG) {
    BuildWorld world;
    world.setting("Build", "ReBuildMode", "0");
    const std::string a = flakyBinaryProject(world, "Alpha", "implements");
    EngineRun run;
    run.load({a});
    EXPECT_EQ(run.build({1}, true, 0), 1);
    EXPECT_EQ(run.cell(1, GridColumn::Result), "NG");
    EXPECT_EQ(world.recorded().size(), 2u);
}

TEST(BuildRebuild, AFailedRebuildStopsTheRun) {
    BuildWorld world;
    const std::string a = world.addProject("a", "Alpha", {"CompatibleMode=\"1\"", "StandIn=error"});
    const std::string b = world.addProject("b", "Beta", {"CompatibleMode=\"0\""});
    EngineRun run;
    run.load({a, b});
    EXPECT_EQ(run.build({1, 2}, true, 0), 1);
    EXPECT_EQ(world.recorded().size(), 2u);
}

TEST(BuildRebuild, AutomaticRebuildNeverRebuildsAFailureInNoCompatibility) {
    BuildWorld world;
    const std::string a = world.addProject("a", "Alpha", {"CompatibleMode=\"0\"", "StandIn=notfound"});
    EngineRun run;
    run.load({a});
    EXPECT_EQ(run.build({1}, true, 2), 5);
    EXPECT_TRUE(run.box.shown().empty());
    EXPECT_EQ(world.recorded().size(), 1u);
}

// ---- Cancel, waits and bounds ------------------------------------------------------------------

TEST(BuildEngine, ACancelDuringACompileLetsItFinishAndStopsBeforeTheNextProject) {
    BuildWorld world;
    const std::string a = world.addProject("a", "Alpha", {"CompatibleMode=\"0\""});
    const std::string b = world.addProject("b", "Beta", {"CompatibleMode=\"0\"", "StandIn=sleep:300"});
    const std::string c = world.addProject("c", "Gamma", {"CompatibleMode=\"1\""});
    EngineRun run;
    run.load({a, b, c});
    bool clicked = false;
    run.pump.onEvents = [&] {
        if (!clicked && world.recorded().size() == 2) {
            clicked = true;
            run.wait.cmdFunction_Click(0);
        }
    };
    EXPECT_EQ(run.build({1, 2, 3}), 4);
    EXPECT_TRUE(clicked);
    EXPECT_EQ(run.cell(2, GridColumn::Result), "OK");
    EXPECT_EQ(run.cell(3, GridColumn::Result), "");
    EXPECT_EQ(world.recorded().size(), 2u);
    EXPECT_EQ(run.unstampedLog().back(), "Gammaの「ﾌﾟﾛｼﾞｪｸﾄ互換」ﾋﾞﾙﾄﾞをｷｬﾝｾﾙしました。");
    EXPECT_EQ(run.wait.messages()[run.wait.messages().size() - 2], "Gammaを「ﾌﾟﾛｼﾞｪｸﾄ互換」でﾋﾞﾙﾄﾞ中...");
    EXPECT_FALSE(run.wait.visible());
}

TEST(BuildEngine, AHungCompilerEndsWithNinetyNineAtTheLoweredLimit) {
    BuildWorld world;
    world.setting("Build", "ProcessWaitLimit", "600");
    const std::string a = world.addProject("a", "Alpha", {"CompatibleMode=\"0\"", "StandIn=hang"});
    EngineRun run;
    run.load({a});
    EXPECT_EQ(run.build({1}), 99);
    EXPECT_TRUE(run.box.shown().empty());
    // The error-log line names the procedure that wrote it.
    EXPECT_NE(world.env.errorLog().find(
                  "\"-1\", \"ShellExecute処理でｴﾗｰが発生しました。\", \"pVB6EXE\", \"CFVB6EXE\""),
              std::string::npos)
        << world.env.errorLog();
    // The build log names the limit and the compiler that passed it.
    EXPECT_TRUE(hasLine(run.unstampedLog(), "Alphaのｺﾝﾊﾟｲﾗが600ﾐﾘ秒以内に終了しませんでした。[" +
                                                TestEnvironment::windowsPath(PELORIX_STANDIN) + "]"));
    // The stand-in goes away with the project file.
    fs::remove(world.host(a));
}

TEST(BuildEngine, ACompilerThatWritesNoLogEndsWithNinetyNineAtTheBound) {
    BuildWorld world;
    world.setting("Build", "LogWaitLimit", "300");
    const std::string a = world.addProject("a", "Alpha", {"CompatibleMode=\"0\"", "StandIn=nolog"});
    EngineRun run;
    run.load({a});
    EXPECT_EQ(run.build({1}), 99);
    const std::string logPath = TestEnvironment::windowsPath(world.compilerLogPath("Alpha"));
    const std::string text = "ｺﾝﾊﾟｲﾗのﾛｸﾞが300ﾐﾘ秒以内に作成されませんでした。[" + logPath + "]";
    EXPECT_TRUE(hasLine(run.unstampedLog(), "Alphaの" + text));
    EXPECT_NE(world.env.errorLog().find(text), std::string::npos);
    EXPECT_NE(world.env.errorLog().find("pVB6EXE"), std::string::npos);
}

// A prefix where nothing is registered as the compiler: the run says so, names what it looked
// for, and ends with a result code like any other failed project.
TEST(BuildEngine, NoCompilerRegisteredEndsTheRunWithNinetyNineAndSaysWhatIsMissing) {
    BuildWorld world;
    const std::string a = world.addProject("a", "Alpha", {"CompatibleMode=\"0\""});
    const std::string b = world.addProject("b", "Beta", {"CompatibleMode=\"0\""});
    const std::string list = world.host(world.writeList({a, b}));
    const auto lastLine = [](const std::string& out) { return outputLines(out).back(); };
#ifdef _WIN32
    const std::string prefix; // the system's own registry: no prefix to name
#else
    const std::string prefix = "[Prefix=" + world.env.prefix() + "]";
#endif
    const auto missingLine = [&](const std::string& extension, const std::string& key) {
        return "Alphaのｺﾝﾊﾟｲﾗを起動できません。拡張子「" + extension + "」のｷｰ「" + key +
               "」にｺﾝﾊﾟｲﾗが登録されていません。" + prefix;
    };

    RegistryWriter().write(world.env); // no .vbp association at all
    const CliOutcome none = runCli({"build", list, "--all"});
    EXPECT_EQ(none.status, 1) << none.err;
    EXPECT_NE(none.out.find(missingLine(".vbp", "shell\\open\\command")), std::string::npos) << none.out;
    EXPECT_EQ(lastLine(none.out), "result=99");
    EXPECT_EQ(none.out.find("Betaを"), std::string::npos) << "the run stops at the failed project";
    // The failed start is in the error log as before, from the start up to the project's build.
    const std::string started = "\"2\", \"指定されたファイルが見つかりません。\", ";
    EXPECT_NE(world.env.errorLog().find(started + "\"CreateProcess_Execute\", \"CFWin32API\""),
              std::string::npos);
    EXPECT_NE(world.env.errorLog().find(started + "\"pVB6EXE\", \"CFVB6EXE\""), std::string::npos);

    // Settings that name an extension and key nobody registered are reported the same way.
    const std::string standin = "\"" + TestEnvironment::windowsPath(PELORIX_STANDIN) + "\" \"%1\"";
    RegistryWriter()
        .addShellAssociation(".vbp", "VisualBasic.Project", "shell\\open\\command", standin)
        .write(world.env);
    world.setting("Build", "Extension", ".vbx");
    world.setting("Build", "ShellCommand", "shell\\make\\command");
    const CliOutcome other = runCli({"build", list, "--all"});
    EXPECT_EQ(other.status, 1);
    EXPECT_NE(other.out.find(missingLine(".vbx", "shell\\make\\command")), std::string::npos) << other.out;
    EXPECT_EQ(lastLine(other.out), "result=99");
    EXPECT_TRUE(world.recorded().empty());
}

// ---- Files left behind -------------------------------------------------------------------------

TEST(BuildEngine, DeletesLogAndBackupAfterASuccessAndKeepsBothAfterAFailure) {
    BuildWorld world;
    const std::string good = world.addProject("g", "Good", {"CompatibleMode=\"0\""});
    const std::string bad = world.addProject("b", "Bad", {"CompatibleMode=\"0\"", "StandIn=error"});
    writeFile(world.compilerLogPath("Good"), "stale");
    EngineRun run;
    run.load({good, bad});
    run.box.queueAnswers({false});
    EXPECT_EQ(run.build({1, 2}), 99);
    EXPECT_FALSE(fileExists(world.compilerLogPath("Good")));
    EXPECT_FALSE(fileExists(world.host(good) + ".org"));
    EXPECT_TRUE(fileExists(world.compilerLogPath("Bad")));
    EXPECT_TRUE(fileExists(world.host(bad) + ".org"));

    // A second failure keeps the first copy and adds a time-stamped one.
    EngineRun again;
    again.load({bad});
    EXPECT_EQ(again.build({1}), 99);
    EXPECT_TRUE(fileExists(world.host(bad) + ".org"));
    const auto files = folderEntries(fs::path(world.host(bad)).parent_path().string());
    EXPECT_TRUE(
        std::any_of(files.begin(), files.end(), [](const std::string& f) { return f.ends_with(".bak"); }));
}

TEST(BuildEngine, TheCompilerLogStaysInTheProgramFolderWhateverTheProjectName) {
    BuildWorld world;
    const std::string host = world.env.driveC() + "/p/Odd.vbp";
    writeFile(host, sjis("Type=Exe\r\nName=\"..\\victim\"\r\nCompatibleMode=\"0\"\r\n"));
    writeFile(world.env.root() + "/victim.log", "keep");
    EngineRun run;
    run.load({TestEnvironment::windowsPath(host)});
    EXPECT_EQ(run.build({1}), 0);
    ASSERT_EQ(world.recorded().size(), 1u);
    EXPECT_EQ(world.recorded()[0][1], TestEnvironment::windowsPath(world.env.home()) + "\\.._victim.log");
    EXPECT_EQ(readFile(world.env.root() + "/victim.log"), "keep");
}

// ---- Command lines -----------------------------------------------------------------------------

// Whatever a folder's name holds (quotes, shell and cmd.exe syntax, spaces, Japanese), the paths
// reach the compiler each as one argument, untouched, and nothing in them runs.
TEST(BuildCommandLine, EveryPathReachesTheCompilerAsOneArgumentUntouched) {
    const std::vector<std::string> folders = {
        "odd dir ;x $(touch pwned) `touch pwned2` 日本語 'a'", "100% %PATH% &touch pwned ^& x, y=z",
#ifndef _WIN32
        "odd dir \"q\" ;x $(touch pwned) 'a'", // quotes: names Windows does not allow
#endif
    };
    for (const std::string& odd : folders) {
        SCOPED_TRACE(odd);
        BuildWorld world;
        const std::string exe = world.addProject(odd, "Prog A", {"CompatibleMode=\"0\""});
        const std::string dll = world.addProject("plain", "Lib", {"CompatibleMode=\"0\""}, "OleDll");
        const std::string ctl = world.addProject("plain2", "Ctl", {"CompatibleMode=\"0\""}, "Control");
        const std::string home = world.env.path("program folder 日本");
        fs::create_directories(home);
        pelorix::test::setEnvironment("PELORIX_HOME", home.c_str());
        writeFile(home + "/Pelorix.ini", readFile(world.env.home() + "/Pelorix.ini"));

        EngineRun run;
        run.load({exe, dll, ctl});
        EXPECT_EQ(run.build({1, 2, 3}), 0);
        const auto runs = world.recorded();
        ASSERT_EQ(runs.size(), 3u);
        const std::string logFolder = TestEnvironment::windowsPath(home) + "\\";
        EXPECT_EQ(runs[0], (std::vector<std::string>{"/out", logFolder + "Prog A.log", "/make", exe}));
        EXPECT_EQ(runs[1], (std::vector<std::string>{"/out", logFolder + "Lib.log", "/makedll", dll}));
        EXPECT_EQ(runs[2], (std::vector<std::string>{"/out", logFolder + "Ctl.log", "/make", ctl}));
        EXPECT_FALSE(fileExists(world.env.root() + "/pwned"));
        EXPECT_FALSE(fs::exists("pwned"));
        EXPECT_FALSE(fs::exists("pwned2"));
    }
}

TEST(BuildCommandLine, ATemplateWithoutTheQuotedPlaceholderRunsUnchanged) {
    BuildWorld world;
    const std::string standin = TestEnvironment::windowsPath(PELORIX_STANDIN);
    world.setting("Build", "Extension", ".vbx");
    world.setting("Build", "LogWaitLimit", "200");
    RegistryWriter()
        .addShellAssociation(".vbp", "VisualBasic.Project", "shell\\open\\command",
                             "\"" + standin + "\" \"%1\"")
        .addShellAssociation(".vbx", "Other", "shell\\open\\command", "\"" + standin + "\" %1")
        .write(world.env);
    const std::string a = world.addProject("a", "Alpha", {"CompatibleMode=\"0\""});
    EngineRun run;
    run.load({a});
    EXPECT_EQ(run.build({1}), 99);
    ASSERT_EQ(world.recorded().size(), 1u);
    EXPECT_EQ(world.recorded()[0], (std::vector<std::string>{"%1"}));
}

// ---- Grid and status line ----------------------------------------------------------------------

TEST(BuildGrid, ARowBelowTheViewIsScrolledIntoViewAndAVisibleRowIsNot) {
    BuildWorld world;
    std::vector<std::string> projects;
    for (int i = 0; i < 30; ++i)
        projects.push_back(world.addProject("g" + std::to_string(i), "P" + std::to_string(i), {}));
    EngineRun run;
    run.load(projects);
    run.form.grid().Height(2110); // 7 whole rows of 240 twips below the header
    EXPECT_EQ(run.build({2}), 0);
    EXPECT_EQ(run.form.grid().TopRow(), 1);
    EngineRun later;
    later.load(projects);
    later.form.grid().Height(2110);
    EXPECT_EQ(later.build({25}), 0);
    // The row becomes the last of the 7 in view.
    EXPECT_EQ(later.form.grid().TopRow(), 19);
    EXPECT_TRUE(later.form.grid().RowIsVisible(25));
    EXPECT_EQ(later.form.grid().Row(), 25);
    EXPECT_EQ(later.form.grid().ColSel(), 6);
    EXPECT_EQ(later.form.grid().highLight(), 0);
}

TEST(BuildGrid, ASuccessClearsTheMarkAndLowersTheStatusUnlessMarksAreKept) {
    BuildWorld world;
    const std::string a = world.addProject("a", "Alpha", {"CompatibleMode=\"0\""});
    const std::string b = world.addProject("b", "Beta", {"CompatibleMode=\"0\""});
    EngineRun run;
    run.load({a, b});
    EXPECT_EQ(run.build({1, 2}), 0);
    EXPECT_EQ(run.cell(1, GridColumn::Enable), disabledMarkText());
    EXPECT_EQ(run.form.statusInfo(), "0/2");
    EXPECT_EQ(run.form.statusUpdates(), 2);

    EngineRun kept;
    kept.load({a, b});
    EXPECT_EQ(kept.build({1, 2}, false, 0, true), 0);
    EXPECT_EQ(kept.cell(1, GridColumn::Enable), enabledMarkText());
    EXPECT_EQ(kept.form.statusUpdates(), 0);
}

// ---- Opening a project or its folder -----------------------------------------------------------

TEST(BuildOpen, MissingProjectOrBrowserOrFolderShowsItsMessageAndStartsNothing) {
    BuildWorld world;
    AnswerMessageBox box;
    NullEventPump pump;
    CFVB6EXE engine(box, pump);
    EXPECT_FALSE(engine.OpenVBFile("C:\\nothing\\x.vbp"));
    world.setting("Shell", "Explorer", "C:\\tools\\browser.exe");
    EXPECT_FALSE(engine.OpenDir("C:\\"));
    writeFile(world.env.driveC() + "/tools/browser.exe", "x");
    EXPECT_FALSE(engine.OpenDir("C:\\no such folder"));
    ASSERT_EQ(box.shown().size(), 3u);
    EXPECT_EQ(box.shown()[0].text, "ファイルが見つかりません。");
    EXPECT_EQ(box.shown()[0].title, "ﾌﾟﾛｼﾞｪｸﾄを開く");
    EXPECT_EQ(box.shown()[1].text, "C:\\tools\\browser.exeが見つかりません。");
    EXPECT_EQ(box.shown()[1].title, "ﾌﾟﾛｼﾞｪｸﾄを開く");
    EXPECT_EQ(box.shown()[2].text, "ﾊﾟｽが見つかりません。");
    EXPECT_EQ(box.shown()[2].title, "親ﾌｫﾙﾀﾞを開く");
    EXPECT_EQ(box.shown()[2].icon, MsgIcon::Exclamation);
    EXPECT_EQ(engine.ErrDescription(), "ﾊﾟｽが見つかりません。");
    EXPECT_TRUE(world.recorded().empty());
}

TEST(BuildOpen, OpenVBFileHandsTheQuotedPathToTheRegisteredProgram) {
    BuildWorld world;
    const std::string a = world.addProject("with space", "Alpha", {});
    AnswerMessageBox box;
    NullEventPump pump;
    CFVB6EXE engine(box, pump);
    EXPECT_TRUE(engine.OpenVBFile(a));
    for (int i = 0; i < 100 && world.recorded().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(world.recorded().size(), 1u);
    EXPECT_EQ(world.recorded()[0], (std::vector<std::string>{a}));
}

} // namespace
} // namespace pelorix::test
