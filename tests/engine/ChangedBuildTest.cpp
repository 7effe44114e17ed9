// pelorix-cli build --changed: what a second build skips, what each kind of change rebuilds (in any
// run, whatever the list's order), what a compile reads, and how a state file that cannot be used
// (missing, cut short, of another list or format, a folder, a link) leads to a whole build instead
// of an error, writing nothing but the state file.
#include "BuildWorld.h"
#include "engine/UpToDate.h"
#include "platform/Text.h"
#include "support/CliRun.h"
#include "support/RegistryWriter.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iterator>

#include <gtest/gtest.h>

namespace pelorix::test {
namespace {

constexpr const char* LibX = "{ABCDEF00-0000-0000-0000-000000000001}";

// Lib makes Lib.dll; App uses it by its path (its library is registered nowhere) and Tool by Lib's
// project file; Solo stands alone with forms (one in a folder whose name holds ";"), a module there,
// a designer, a resource file, binary compatibility and a registered library. The compiler is a
// copy of the stand-in of the world's own.
struct ChangedWorld {
    BuildWorld world;
    std::string lib, app, tool, solo, list;
    std::string compiler = world.env.driveC() + "/tools/compiler.exe";
    std::string compilerCommand = "\"C:\\tools\\compiler.exe\" \"%1\"";

    ChangedWorld() {
        std::filesystem::create_directories(world.env.driveC() + "/tools");
        std::filesystem::copy_file(PELORIX_STANDIN, compiler);
        writeFile(world.env.driveC() + "/src/lib/Lib.bas", "Attribute VB_Name = \"Lib\"\r\n");
        writeFile(world.env.driveC() + "/src/lib/Thing.cls", "VERSION 1.0 CLASS\r\n");
        writeFile(world.env.driveC() + "/src/solo/Main.frm", "VERSION 5.00\r\n");
        writeFile(world.env.driveC() + "/src/solo/Main.frx", std::string("\x01\x02", 2));
        writeFile(world.env.driveC() + "/src/solo/Solo.res", "RES");
        writeFile(world.env.driveC() + "/src/solo/v1;old/Old.frm", "VERSION 5.00\r\n");
        writeFile(world.env.driveC() + "/src/solo/v1;old/Util.bas", "Attribute VB_Name = \"Util\"\r\n");
        writeFile(world.env.driveC() + "/src/solo/DataEnv.Dsr", "VERSION 5.00\r\n");
        writeFile(world.env.driveC() + "/src/solo/DataEnv.dsx", std::string("\x03\x04", 2));
        writeFile(world.env.driveC() + "/src/solo/compat/Solo.exe", "MZ old");
        writeFile(world.env.driveC() + "/libs/x.tlb", "library x");
        registerLibX("1.0", 1700000000);
        lib = world.addProject("src/lib", "Lib",
                               {"Module=Lib; Lib.bas", "Class=Thing; Thing.cls", "ExeName32=\"Lib.dll\"",
                                "Path32=\"..\\bin\"", "CompatibleMode=\"0\""},
                               "OleDll");
        app = world.addProject(
            "src/app", "App",
            {"Reference=*\\G{11111111-0000-0000-0000-000000000001}#1.0#0#..\\bin\\Lib.dll#Lib",
             "CompatibleMode=\"0\""});
        tool =
            world.addProject("src/tool", "Tool", {"Reference=*\\A..\\lib\\Lib.vbp", "CompatibleMode=\"0\""});
        solo = world.addProject("src/solo", "Solo",
                                {std::string("Reference=*\\G") + LibX + "#1.0#0#C:\\libs\\x.tlb#X",
                                 "Form=Main.frm", "Form=v1;old\\Old.frm", "Module=Util; v1;old\\Util.bas",
                                 "Designer=DataEnv.Dsr", "ResFile32=\"Solo.res\"", "CompatibleMode=\"2\"",
                                 "CompatibleEXE32=\"compat\\Solo.exe\""});
        list = world.writeList({lib, app, tool, solo});
    }
    void registerLibX(const std::string& version, std::int64_t time) {
        TypeLibRegistration x;
        x.guid = LibX;
        x.version = version;
        x.win32 = "C:\\libs\\x.tlb";
        x.time = RegistryKeyTime::unix(time);
        RegistryWriter()
            .addShellAssociation(".vbp", "VisualBasic.Project", "shell\\open\\command", compilerCommand)
            .addTypeLib(x)
            .write(world.env);
    }
    std::string host(const std::string& relative) const { return world.env.driveC() + "/" + relative; }

    struct Run {
        CliOutcome cli;
        std::vector<std::string> compiled; // project file names, in order
        std::vector<std::string> results;  // OK/NG/SKIP per result line, in order
    };
    // A --changed build of the list, of every project unless extra holds "--marked".
    Run build(const std::vector<std::string>& extra = {}) {
        const std::size_t before = world.recorded().size();
        cli::Args args{"build", list, "--changed"};
        if (std::find(extra.begin(), extra.end(), "--marked") == extra.end())
            args.push_back("--all");
        std::copy_if(extra.begin(), extra.end(), std::back_inserter(args),
                     [](const std::string& a) { return a != "--marked"; });
        Run run{runCli(args), {}, {}};
        const auto recorded = world.recorded();
        for (std::size_t i = before; i < recorded.size(); ++i)
            run.compiled.push_back(
                std::filesystem::path(BuildWorld::host(recorded[i].back())).stem().string());
        for (const std::string& line : outputLines(run.cli.out))
            if (line.starts_with("OK\t") || line.starts_with("NG\t") || line.starts_with("SKIP\t"))
                run.results.push_back(line.substr(0, line.find('\t')));
        return run;
    }
};

using Names = std::vector<std::string>;

TEST(ChangedBuild, SecondBuildSkipsEverythingAndAChangeRebuildsItsDependents) {
    ChangedWorld w;
    const ChangedWorld::Run first = w.build();
    EXPECT_EQ(first.cli.status, 0) << first.cli.out << first.cli.err;
    EXPECT_EQ(first.compiled, (Names{"Lib", "App", "Tool", "Solo"}));
    EXPECT_TRUE(fileExists(w.host("src/bin/Lib.dll"))) << "the stand-in writes the output";
    EXPECT_TRUE(fileExists(BuildWorld::host(buildStatePath(w.list))));

    const std::string junit = w.world.env.path("second.xml");
    const ChangedWorld::Run second = w.build({"--junit", junit});
    EXPECT_EQ(second.cli.status, 0) << second.cli.out;
    EXPECT_TRUE(second.compiled.empty());
    EXPECT_EQ(second.results, (Names{"SKIP", "SKIP", "SKIP", "SKIP"}));
    EXPECT_NE(second.cli.out.find("SKIP\tﾊﾞｲﾅﾘ互換\t" + w.solo), std::string::npos) << second.cli.out;
    EXPECT_NE(second.cli.out.find("result=0"), std::string::npos);
    const std::string report = readFile(junit);
    EXPECT_NE(report.find("skipped=\"4\""), std::string::npos) << report;
    EXPECT_NE(report.find("<skipped message=\"up to date: "), std::string::npos) << report;

    // One source of the library: it and both projects that use it compile, Solo does not.
    writeFile(w.host("src/lib/Lib.bas"), "Attribute VB_Name = \"Lib\"\r\n' changed\r\n");
    const ChangedWorld::Run touched = w.build();
    EXPECT_EQ(touched.compiled, (Names{"Lib", "App", "Tool"}));
    EXPECT_EQ(touched.results, (Names{"OK", "OK", "OK", "SKIP"}));
    EXPECT_NE(touched.cli.out.find(w.lib + " is built in this run"), std::string::npos) << touched.cli.out;
    EXPECT_TRUE(w.build().compiled.empty());
}

// Up-to-date projects count as built: beside them, only the project that fails makes the exit
// status 1 and the JUnit report's one failure; the others stay skipped, not failed.
TEST(ChangedBuild, SkippedProjectsAreNotFailuresButAFailureBesideThemIs) {
    ChangedWorld w;
    ASSERT_EQ(w.build().cli.status, 0);
    writeFile(BuildWorld::host(w.solo), readFile(BuildWorld::host(w.solo)) + "StandIn=notfound\r\n");
    const std::string junit = w.world.env.path("mixed.xml");
    const ChangedWorld::Run mixed = w.build({"--junit", junit});
    EXPECT_EQ(mixed.results, (Names{"SKIP", "SKIP", "SKIP", "NG"})) << mixed.cli.out;
    EXPECT_EQ(mixed.cli.status, 1) << mixed.cli.out;
    const std::string report = readFile(junit);
    EXPECT_NE(report.find("tests=\"4\" failures=\"1\" errors=\"0\" skipped=\"3\""), std::string::npos)
        << report;

    writeFile(BuildWorld::host(w.solo),
              replaceAll(readFile(BuildWorld::host(w.solo)), "StandIn=notfound\r\n", ""));
    const ChangedWorld::Run mended = w.build();
    EXPECT_EQ(mended.results, (Names{"SKIP", "SKIP", "SKIP", "OK"})) << mended.cli.out;
    EXPECT_EQ(mended.cli.status, 0) << mended.cli.out << mended.cli.err;
}

TEST(ChangedBuild, EachInputOfAProjectRebuildsItWhenItChanges) {
    ChangedWorld w;
    ASSERT_EQ(w.build().compiled.size(), 4u);
    const Names all{"Lib", "App", "Tool", "Solo"};
    struct Change {
        const char* what;
        std::function<void()> make;
        Names compiled;
    };
    const std::vector<Change> changes = {
        {"form binary", [&] { writeFile(w.host("src/solo/Main.frx"), "new"); }, {"Solo"}},
        {"form", [&] { writeFile(w.host("src/solo/Main.frm"), "VERSION 6.00\r\n"); }, {"Solo"}},
        {"form in a folder named with ;",
         [&] { writeFile(w.host("src/solo/v1;old/Old.frm"), "x"); },
         {"Solo"}},
        {"module in a folder named with ;",
         [&] { writeFile(w.host("src/solo/v1;old/Util.bas"), "x"); },
         {"Solo"}},
        {"designer", [&] { writeFile(w.host("src/solo/DataEnv.Dsr"), "VERSION 6.00\r\n"); }, {"Solo"}},
        {"designer binary", [&] { writeFile(w.host("src/solo/DataEnv.dsx"), "new"); }, {"Solo"}},
        {"class", [&] { writeFile(w.host("src/lib/Thing.cls"), "changed"); }, {"Lib", "App", "Tool"}},
        {"resource file", [&] { writeFile(w.host("src/solo/Solo.res"), "RES2"); }, {"Solo"}},
        {"compatible file", [&] { writeFile(w.host("src/solo/compat/Solo.exe"), "MZ new"); }, {"Solo"}},
        {"output deleted", [&] { std::filesystem::remove(w.host("src/app/App.exe")); }, {"App"}},
        {"output changed", [&] { writeFile(w.host("src/tool/Tool.exe"), "other"); }, {"Tool"}},
        {"registered library file", [&] { writeFile(w.host("libs/x.tlb"), "library x rebuilt"); }, {"Solo"}},
        {"newer registration", [&] { w.registerLibX("2.0", 1800000000); }, {"Solo"}},
        {"project file",
         [&] { writeFile(BuildWorld::host(w.app), readFile(BuildWorld::host(w.app)) + "Title=\"A\"\r\n"); },
         {"App"}},
        // The compiler is an input of every project: its program's bytes and its command.
        {"compiler program", [&] { writeFile(w.compiler, readFile(w.compiler) + "service pack"); }, all},
        {"compiler command",
         [&] {
             w.compilerCommand = "\"C:\\tools\\compiler.exe\" /sp6 \"%1\"";
             w.registerLibX("2.0", 1800000000);
         },
         all},
        {"nothing", [] {}, {}},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        change.make();
        const ChangedWorld::Run run = w.build();
        EXPECT_EQ(run.cli.status, 0) << run.cli.out << run.cli.err;
        EXPECT_EQ(run.compiled, change.compiled) << run.cli.out;
    }
}

TEST(ChangedBuild, AStateFileThatCannotBeUsedBuildsEverythingWithoutAnError) {
    ChangedWorld w;
    ASSERT_EQ(w.build().compiled.size(), 4u);
    const std::string state = BuildWorld::host(buildStatePath(w.list));
    const std::string whole = readFile(state);
    ASSERT_TRUE(BuildState::parse(whole, w.list));
    EXPECT_EQ(BuildState::parse(whole, w.list)->size(), 4u);
    EXPECT_TRUE(BuildState::parse(whole, toLower(w.list))) << "the same list in another case";

    const std::string otherList = "C:\\lists\\other.ini";
    const std::string victim = w.world.env.path("victim.txt");
    const std::vector<std::pair<const char*, std::function<void()>>> damages = {
        {"missing", [&] { std::filesystem::remove(state); }},
        {"cut short", [&] { writeFile(state, whole.substr(0, whole.size() / 2)); }},
        {"last line missing", [&] { writeFile(state, whole.substr(0, whole.rfind("end of state"))); }},
        {"of another list", [&] { writeFile(state, replaceAll(whole, w.list, otherList)); }},
        {"of an older format",
         [&] { writeFile(state, replaceAll(whole, "Pelorix build state 2", "Pelorix build state 1")); }},
        {"not a state file", [&] { writeFile(state, std::string("\0\xff garbage\n", 11)); }},
        {"a folder",
         [&] {
             std::filesystem::remove(state);
             std::filesystem::create_directory(state);
         }},
#ifndef _WIN32
        // The state file is the program's own: a link in its place is replaced, never written through.
        {"a link to the user's file",
         [&] {
             std::filesystem::remove(state);
             writeFile(victim, "the user's own file");
             std::filesystem::create_symlink(victim, state);
         }},
#endif
    };
    for (const auto& [what, damage] : damages) {
        SCOPED_TRACE(what);
        damage();
        const ChangedWorld::Run run = w.build();
        EXPECT_EQ(run.cli.status, 0) << run.cli.out << run.cli.err;
        EXPECT_EQ(run.compiled, (Names{"Lib", "App", "Tool", "Solo"}));
        EXPECT_NE(run.cli.out.find("前回のﾋﾞﾙﾄﾞの記録がないため、全てのﾌﾟﾛｼﾞｪｸﾄをﾋﾞﾙﾄﾞします。"),
                  std::string::npos);
        if (std::string(what) == "a folder") {
            EXPECT_TRUE(holds(run.cli.err, "ﾋﾞﾙﾄﾞの記録を保存できませんでした。ﾌｧｲﾙではなくﾌｫﾙﾀﾞです。[" +
                                               buildStatePath(w.list) + "]"))
                << run.cli.err;
            EXPECT_TRUE(
                holds(run.cli.out, "the state file is a folder, not a file: " + buildStatePath(w.list)));
            std::filesystem::remove(state); // nothing could be written there; the build still passed
        } else {
            // The state was written anew: the next build compiles nothing.
            EXPECT_TRUE(w.build().compiled.empty());
            EXPECT_FALSE(std::filesystem::is_symlink(state));
        }
        if (std::filesystem::exists(victim)) {
            EXPECT_EQ(readFile(victim), "the user's own file");
        }
        writeFile(state, whole);
    }
}

// What a project was built against is what decides: a dependency rebuilt in a run that ended
// before the dependent, in a run that did not build the dependent, or after it in the same run
// rebuilds the dependent in the next run that builds it; never is it SKIP against an old library.
TEST(ChangedBuild, ADependentIsRebuiltWhicheverRunRebuiltItsDependency) {
    ChangedWorld w;
    const auto changeLib = [&](const std::string& text) {
        writeFile(w.host("src/lib/Lib.bas"), "Attribute VB_Name = \"Lib\"\r\n' " + text + "\r\n");
    };
    const std::string appFile = BuildWorld::host(w.app);
    const std::string appBytes = readFile(appFile);
    ASSERT_EQ(w.build().compiled.size(), 4u);

    // A failure between the two ends the run before Tool.
    changeLib("one");
    writeFile(appFile, appBytes + "StandIn=notfound\r\n");
    const ChangedWorld::Run failed = w.build();
    EXPECT_EQ(failed.compiled, (Names{"Lib", "App"}));
    EXPECT_EQ(failed.cli.status, 1);
    writeFile(appFile, appBytes);
    EXPECT_EQ(w.build().compiled, (Names{"App", "Tool"}));

    // Lib alone is marked.
    changeLib("two");
    const std::string marks = "1,";
    w.world.writeList({w.lib, w.app, w.tool, w.solo}, &marks);
    EXPECT_EQ(w.build({"--marked"}).compiled, (Names{"Lib"}));
    EXPECT_EQ(w.build().compiled, (Names{"App", "Tool"}));

    // Tool is listed before Lib: it is built in the same run as Lib, before it and so against the
    // old library, and once more in the next run.
    w.world.writeList({w.tool, w.lib, w.app, w.solo});
    ASSERT_TRUE(w.build().compiled.empty());
    changeLib("three");
    const ChangedWorld::Run both = w.build();
    EXPECT_EQ(both.compiled, (Names{"Tool", "Lib", "App"}));
    EXPECT_TRUE(
        holds(both.cli.out, "Toolは前回のﾋﾞﾙﾄﾞから変更されています。[" + w.lib + " is built in this run]"))
        << both.cli.out;
    EXPECT_EQ(w.build().compiled, (Names{"Tool"}));
    EXPECT_TRUE(w.build().compiled.empty());
}

// What a compile reads is taken before the compiler starts: a source saved while it runs is not
// recorded as built, and the next run builds the project again; what the compiler writes itself
// is no such change.
TEST(ChangedBuild, ASourceSavedWhileTheCompilerRunsIsBuiltAgain) {
    ChangedWorld w;
    ASSERT_EQ(w.build().compiled.size(), 4u);
    const std::string solo = BuildWorld::host(w.solo);
    writeFile(solo, readFile(solo) + "StandIn=save:Main.frm|ok\r\n"); // its next compile saves
    EXPECT_EQ(w.build().compiled, (Names{"Solo"}));
    const ChangedWorld::Run again = w.build();
    EXPECT_EQ(again.compiled, (Names{"Solo"}));
    EXPECT_TRUE(holds(again.cli.out, "changed while the last build read it")) << again.cli.out;
    EXPECT_TRUE(w.build().compiled.empty());

    // The next revision number the compiler itself writes into the file (AutoIncrementVer=1) is no
    // change to answer with another build.
    writeFile(solo, readFile(solo) + "AutoIncrementVer=1\r\nRevisionVer=7\r\n");
    EXPECT_EQ(w.build().compiled, (Names{"Solo"}));
    EXPECT_TRUE(holds(readFile(solo), "RevisionVer=8\r\n"));
    EXPECT_TRUE(w.build().compiled.empty());
}

} // namespace
} // namespace pelorix::test
