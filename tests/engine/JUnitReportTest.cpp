// JUnit reports of build runs, read back by a real JUnit reader (Debian's python3-junitparser under
// Debian's own /usr/bin/python3, which need not be the first python3 on the path): a run with
// OK, a rebuild, a project file that cannot be updated, a stop and a project never reached; a
// cancelled run; and pelorix-cli build --junit, also for a run that ends in a run-time error.
#include "engine/JUnitReport.h"

#include "BuildWorld.h"
#include "JUnitRead.h"
#include "engine/BuildRecord.h"
#include "platform/Text.h"
#include "support/CliRun.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

namespace pelorix::test {
namespace {

TEST(JUnitReport, ARunWithEveryOutcomeReadsBackWithTheRightCountsAndMessages) {
    REQUIRE_JUNIT_PARSER();
    BuildWorld world;
    const std::string a = world.addProject("a", "Alpha", {"CompatibleMode=\"2\""});
    const std::string b = world.addProject(
        "b", "Beta", {"CompatibleMode=\"2\"", "StandIn@2=implements|ok", "StandIn@0=ok"}, "OleDll");
    const std::string gone = TestEnvironment::windowsPath(world.env.driveC() + "/gone/Gone.vbp");
    const std::string d = world.addProject("d", "Delta & <Co>", {"CompatibleMode=\"0\"", "StandIn=notfound"});
    const std::string e = world.addProject("e", "Epsilon", {});
    EngineRun run;
    run.load({a, b, gone, d, e});
    BuildRecord record(run.data, {1, 2, 3, 4, 5});
    run.observers.push_back(&record);
    ASSERT_EQ(run.build({1, 2, 3, 4, 5}, true), 5);

    const std::string report = world.env.path("out/report.xml");
    writeFile(report, "an older report");
    ASSERT_EQ(writeJUnitReport(record, "C:\\lists\\build.ini", report), 0);
    const auto rows = readWithJUnitParser(report);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0], (Row{"suite", "C:\\lists\\build.ini", "5", "1", "1", "1"}));
    EXPECT_EQ(rows[1], (Row{"property", "result", "5"}));
    EXPECT_EQ(caseKinds(rows), (std::vector<Row>{{"Alpha", a, "passed", "timed", "out"},
                                                 {"Beta", b, "passed", "timed", "out"},
                                                 {"-", gone, "error", "timed", "out"},
                                                 {"Delta & <Co>", d, "failure", "timed", "out"},
                                                 {"Epsilon", e, "skipped", "timed", "-"}}));
    // The rebuild shows in the output: the failed own-mode build, the rebuild, the build again.
    EXPECT_NE(record.projects()[1].buildLog.size(), 0u);
    ASSERT_EQ(record.projects()[1].compiles.size(), 3u);
    EXPECT_EQ(record.projects()[1].compiles[0].log.code, 2);
    EXPECT_EQ(record.projects()[1].compiles[1].mode, 0);

    const Row& failed = caseNamed(rows, "Delta & <Co>");
    ASSERT_FALSE(failed.empty());
    EXPECT_EQ(
        failed[6],
        "result 5 (project or library not found); 互換なし: NG 5 ﾌﾟﾛｼﾞｪｸﾄまたはﾗｲﾌﾞﾗﾘが見つかりません。");
    EXPECT_EQ(failed[7], "[互換なし] result 5|ﾌﾟﾛｼﾞｪｸﾄまたはﾗｲﾌﾞﾗﾘが見つかりません。|");
    EXPECT_EQ(caseNamed(rows, "-")[6], "result 6 (project file not updated)");
    EXPECT_EQ(record.projects()[2].buildLog.back().substr(20), "-の更新に失敗しました。");
    EXPECT_EQ(caseNamed(rows, "Epsilon")[6], "not built: the run stopped before it came to this project");
}

TEST(JUnitReport, ACancelledRunSkipsTheProjectsItDidNotBuild) {
    REQUIRE_JUNIT_PARSER();
    BuildWorld world;
    const std::string a = world.addProject("a", "Alpha", {"CompatibleMode=\"0\""});
    const std::string b = world.addProject("b", "Beta", {"CompatibleMode=\"1\""});
    const std::string c = world.addProject("c", "Gamma", {});
    EngineRun run;
    run.load({a, b, c});
    BuildRecord record(run.data, {1, 2, 3});
    run.observers.push_back(&record);
    run.pump.onEvents = [&] {
        if (run.wait.displayMode() == 0 && run.wait.visible())
            run.wait.cmdFunction_Click(0);
    };
    ASSERT_EQ(run.build({1, 2, 3}), 4);

    const std::string report = world.env.path("report.xml");
    ASSERT_EQ(writeJUnitReport(record, "C:\\lists\\build.ini", report), 0);
    const auto rows = readWithJUnitParser(report);
    ASSERT_GE(rows.size(), 2u);
    EXPECT_EQ(rows[0], (Row{"suite", "C:\\lists\\build.ini", "3", "0", "0", "2"}));
    EXPECT_EQ(rows[1], (Row{"property", "result", "4"}));
    EXPECT_EQ(caseKinds(rows), (std::vector<Row>{{"Alpha", a, "passed", "timed", "out"},
                                                 {"Beta", b, "skipped", "timed", "out"},
                                                 {"Gamma", c, "skipped", "timed", "-"}}));
    EXPECT_EQ(caseNamed(rows, "Beta")[6], "cancelled: the run was cancelled before this project was built");
    EXPECT_EQ(caseNamed(rows, "Gamma")[6], "not built: the run was cancelled before it came to this project");
}

// Through the command line: the report is written beside a failed run, a run that ends in a
// run-time error still leaves one, and a report that cannot be written fails the command.
TEST(JUnitReport, BuildWritesTheReportAlsoWhenTheRunFails) {
    REQUIRE_JUNIT_PARSER();
    BuildWorld world;
    const std::string a = world.addProject("a", "Alpha", {});
    const std::string b = world.addProject("b", "Beta", {});
    const std::string c = world.addProject("c", "Gamma", {});
    const std::string list = world.writeList({a, b, c});
    const std::string report = world.env.path("reports/run.xml");

    const CliOutcome ok = runCli({"build", world.host(list), "--all", "--junit", report});
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(readWithJUnitParser(report)[0], (Row{"suite", list, "3", "0", "0", "0"}));

    // A directory where the first backup copy goes makes the update of Beta fail with an error.
    std::filesystem::create_directories(world.host(b) + ".org");
    const CliOutcome failed = runCli({"build", world.host(list), "--all", "--junit=" + report});
    EXPECT_EQ(failed.status, 1);
    EXPECT_TRUE(failed.out.ends_with("result=99\n")) << "a stopped run still ends with its result line";
    const auto rows = readWithJUnitParser(report);
    ASSERT_GE(rows.size(), 2u);
    EXPECT_EQ(rows[0], (Row{"suite", list, "3", "0", "1", "1"}));
    EXPECT_EQ(rows[1], (Row{"property", "result", "99"})); // as the run's result line says
    EXPECT_EQ(caseKinds(rows)[1], (Row{"Beta", b, "error", "timed", "out"}));

    // A marked project whose file is missing is an error of the report, as it fails the command.
    std::filesystem::remove_all(world.host(b) + ".org");
    const std::string gone = TestEnvironment::windowsPath(world.env.driveC() + "/gone/Gone.vbp");
    const std::string marks = "1,2,";
    const std::string missingList = world.writeList({a, gone}, &marks);
    const CliOutcome missing = runCli({"build", world.host(missingList), "--junit", report});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.out.ends_with("MISSING\t\t" + gone + "\nresult=0\n")) << missing.out;
    EXPECT_EQ(readWithJUnitParser(report)[0], (Row{"suite", missingList, "2", "0", "1", "0"}));

    const CliOutcome unwritable =
        runCli({"build", world.host(list), "--all", "--junit", world.env.path("reports/run.xml") + "/x.xml"});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.err.find("cannot write the JUnit report"), std::string::npos);
    EXPECT_EQ(runCli({"build", world.host(list), "--junit"}).status, 2);
}

// A list whose compiler writes English logs, through pelorix-cli: the success is OK, the broken
// binary compatibility is rebuilt, the compile error is NG with its file and line under it and in
// the JUnit failure, and the check afterwards finds that compile error in the log left behind.
TEST(JUnitReport, AnEnglishCompilersBuildShowsWhereItsCompileErrorIs) {
    REQUIRE_JUNIT_PARSER();
    BuildWorld world;
    const std::string a = world.addProject("a", "Alpha", {"CompatibleMode=\"0\"", "StandIn=english"});
    const std::string b = world.addProject(
        "b", "Beta", {"CompatibleMode=\"2\"", "StandIn@2=english,version|english", "StandIn@0=english"});
    const std::string c = world.addProject(
        "src", "Server",
        {"CompatibleMode=\"0\"", "Module=modMain; modMain.bas", "StandIn=english,compile:40000"});
    const std::string list = world.writeList({a, b, c});
    const std::string report = world.env.path("run.xml");
    const std::string at =
        c.substr(0, c.size() - 10) + "modMain.bas(40000): Duplicate declaration in current scope";

    const CliOutcome r = runCli({"build", world.host(list), "--all", "--junit", report});
    EXPECT_TRUE(r.out.ends_with("OK\t互換なし\t" + a + "\nOK\tﾊﾞｲﾅﾘ互換\t" + b + "\nNG\t互換なし\t" + c +
                                "\n\t" + replaceAll(replaceAll(at, "(", "\t"), "): ", "\t") +
                                "\nresult=99\n"))
        << r.out;
    const auto rows = readWithJUnitParser(report);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0], (Row{"suite", list, "3", "1", "0", "0"}));
    const Row& failed = caseNamed(rows, "Server");
    ASSERT_FALSE(failed.empty());
    EXPECT_TRUE(failed[6].starts_with("result 99 (error); 互換なし: NG 99 Compile Error in File '"));
    EXPECT_TRUE(failed[6].ends_with("; " + at));
    EXPECT_TRUE(failed[7].ends_with("|Build of 'Server.exe' failed.|ｺﾝﾊﾟｲﾙｴﾗｰ: " + at + "|")) << failed[7];
    EXPECT_NE(
        readFile(report).find(" file=\"" + c.substr(0, c.size() - 10) + "modMain.bas\" line=\"40000\">"),
        std::string::npos);
    // The log the failed build left behind tells the check where the compile error is.
    EXPECT_NE(runCli({"check", world.host(list), "--all"})
                  .out.find("warning\t" + c + "\t-\tcompile error in the last build\t" + at + "\n"),
              std::string::npos);
}

} // namespace
} // namespace pelorix::test
