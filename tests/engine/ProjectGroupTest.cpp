// Project groups (.vbg): the reader's rules on hand-made groups, import and build of a group
// through pelorix-cli, and the ten real groups of the corpus.
#include "BuildWorld.h"
#include "lists/ProjectGroupFile.h"
#include "platform/DriveMap.h"
#include "platform/RuntimeError.h"
#include "support/CliRun.h"
#include "support/Corpus.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include <gtest/gtest.h>

namespace pelorix::test {
namespace {
namespace fs = std::filesystem;

std::vector<std::string> projectPaths(const ProjectGroup& group) {
    std::vector<std::string> paths;
    for (const auto& project : group.projects)
        paths.push_back(project.path);
    return paths;
}

std::vector<std::string> resultLines(const std::string& out) {
    std::vector<std::string> lines;
    for (const auto& line : outputLines(out))
        if (line.starts_with("OK\t") || line.starts_with("NG\t") || line.starts_with("result="))
            lines.push_back(line);
    return lines;
}

// One group with every kind of line the reader must tell apart: CP932 text, lines ending in
// CR LF, LF and CR, relative paths up and down, an absolute path, a path from the root of the
// group's drive, a quoted one, a duplicate in other letter case, an empty entry, an unknown line.
TEST(ProjectGroup, ReadsEveryKindOfLineAndNotesWhatItLeavesOut) {
    TestEnvironment env;
    const std::string text = "\r\nVBGROUP 5.0\r\n"
                             "Project=..\\lib\\Lib.vbp\n"
                             "StartupProject=アプリ\\App.vbp\r"
                             "Project=C:\\abs\\Abs.vbp\r\n"
                             "project = \\rooted\\Root.vbp\r\n"
                             "Project=\"Quoted Dir/Q.vbp\"\r\n"
                             "Project=..\\LIB\\lib.VBP\r\n"
                             "Project=\r\n"
                             "Title=Something\r\n"
                             "\r\n";
    const ProjectGroup group = parseProjectGroup(sjis(text), "D:\\src\\group");
    EXPECT_EQ(projectPaths(group),
              (std::vector<std::string>{"D:\\src\\lib\\Lib.vbp", "D:\\src\\group\\アプリ\\App.vbp",
                                        "C:\\abs\\Abs.vbp", "D:\\rooted\\Root.vbp",
                                        "D:\\src\\group\\Quoted Dir\\Q.vbp"}));
    ASSERT_EQ(group.projects.size(), 5u);
    EXPECT_TRUE(group.projects[1].startup);
    EXPECT_FALSE(group.projects[0].startup);
    EXPECT_EQ(group.projects[1].written, "アプリ\\App.vbp");
    EXPECT_EQ(group.projects[4].lineNumber, 7);
    ASSERT_EQ(group.notes.size(), 3u);
    EXPECT_EQ(group.notes[0].lineNumber, 8);
    EXPECT_NE(group.notes[0].text.find("listed already on line 3"), std::string::npos);
    EXPECT_EQ(group.notes[1].lineNumber, 9);
    EXPECT_NE(group.notes[1].text.find("names no project file"), std::string::npos);
    EXPECT_EQ(group.notes[2].lineNumber, 10);

    for (const std::string bad : {"", "\r\n\r\n", "Project=A.vbp\r\nVBGROUP 5.0\r\n", "VBGROUPS 5.0\r\n"}) {
        try {
            parseProjectGroup(bad, "C:\\g");
            ADD_FAILURE() << "no error for: " << bad;
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), 321);
            EXPECT_NE(e.description().find("VBGROUP 5.0"), std::string::npos);
        }
    }
    // A header with a BOM or another version number still opens a group.
    EXPECT_EQ(parseProjectGroup("\xEF\xBB\xBFVBGROUP 6.0\nProject=a.vbp\n", "C:\\g").projects.size(), 1u);
}

TEST(ProjectGroup, ImportPrintsTheGroupsPathsAndReportsWhatIsMissing) {
    BuildWorld world;
    const std::string lib = world.addProject("src/lib", "Lib", {});
    writeFile(world.env.driveC() + "/src/app/App.vbg",
              "VBGROUP 5.0\nProject=..\\lib\\Lib.vbp\nStartupProject=Gone.vbp\nProject=..\\LIB\\LIB.vbp\n");
    const CliOutcome r = runCli({"import", world.env.driveC() + "/src/app/App.vbg"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(outputLines(r.out), (std::vector<std::string>{lib, "C:\\src\\app\\Gone.vbp"}));
    const auto err = outputLines(r.err);
    ASSERT_EQ(err.size(), 2u) << r.err;
    EXPECT_NE(err[0].find("line 3: project file not found: C:\\src\\app\\Gone.vbp"), std::string::npos);
    EXPECT_NE(err[1].find("line 4: ignored: ..\\LIB\\LIB.vbp is listed already on line 2"),
              std::string::npos);

    writeFile(world.env.driveC() + "/src/app/Bad.vbg", "Project=..\\lib\\Lib.vbp\r\n");
    const CliOutcome bad = runCli({"import", world.env.driveC() + "/src/app/Bad.vbg"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_TRUE(bad.out.empty());
    EXPECT_NE(bad.err.find("error 321"), std::string::npos);
    EXPECT_EQ(runCli({"import", world.env.driveC() + "/src/app/None.vbg"}).status, 1);
}

// A group builds every project in group order, with no list file; what it writes is the projects'
// own business (their files, backups, the compiler's logs, the build lock) and nothing else.
TEST(ProjectGroup, BuildBuildsEveryProjectInGroupOrderAndWritesNoListFile) {
    BuildWorld world;
    const std::string core = world.addProject("g/core", "Core", {"CompatibleMode=\"1\""}, "OleDll");
    const std::string app = world.addProject("g/app", "App", {"CompatibleMode=\"0\""});
    const std::string bad = world.addProject("g/bad", "Bad", {"CompatibleMode=\"0\"", "StandIn=error"});
    const std::string group = world.env.driveC() + "/g/All.vbg";
    writeFile(group, "VBGROUP 5.0\r\nStartupProject=app\\App.vbp\r\nProject=core\\Core.vbp\r\n"
                     "Project=gone\\Gone.vbp\r\nProject=bad\\Bad.vbp\r\n");
    const auto before = snapshotFiles(world.env.root());

    const CliOutcome r = runCli({"build", group});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(resultLines(r.out),
              (std::vector<std::string>{"OK\t互換なし\t" + app, "OK\tﾌﾟﾛｼﾞｪｸﾄ互換\t" + core,
                                        "NG\t\tC:\\g\\gone\\Gone.vbp", "NG\t互換なし\t" + bad, "result=99"}));
    EXPECT_NE(r.err.find("line 4: project file not found: C:\\g\\gone\\Gone.vbp"), std::string::npos);
    ASSERT_EQ(world.recorded().size(), 3u);
    EXPECT_EQ(world.recorded()[1][2], "/makedll");

    const auto after = snapshotFiles(world.env.root());
    for (const auto& [path, bytes] : after) {
        // Compared as paths: on Windows the listing spells the separators its own way.
        const fs::path file(path);
        const bool projects = file.generic_string().find("/drive_c/g/") != std::string::npos;
        const bool compilerLog = file == fs::path(world.compilerLogPath("Bad"));
        const bool standIn = path.find("standin-record") != std::string::npos;
        const bool buildLock = file == fs::path(world.env.home()) / "Pelorix.lock"; // one build at a time
        if (!projects && !compilerLog && !standIn && !buildLock) {
            EXPECT_EQ(before.count(path) ? before.at(path) : "(new)", bytes) << path;
        }
    }
    EXPECT_EQ(
        std::count_if(after.begin(), after.end(), [](const auto& f) { return f.first.ends_with(".ini"); }),
        1); // Pelorix.ini alone: no list file appeared

    // A group whose first project is missing and whose last one builds still fails.
    writeFile(group, "VBGROUP 5.0\r\nProject=gone\\Gone.vbp\r\nProject=app\\App.vbp\r\n");
    const CliOutcome hidden = runCli({"build", group});
    EXPECT_EQ(resultLines(hidden.out),
              (std::vector<std::string>{"NG\t\tC:\\g\\gone\\Gone.vbp", "OK\t互換なし\t" + app, "result=0"}));
    EXPECT_EQ(hidden.status, 1);
}

// Each real group, placed two folders deep on drive C: with all its projects but the last: the
// import lists every project and reports the missing one; the build builds the others and fails
// on that one.
TEST(ProjectGroup, ImportsAndBuildsEveryCorpusGroup) {
    const auto groups = corpusFiles("vbg", 10);
    if (groups.empty())
        return;
    const std::map<std::string, std::size_t> counts = {{"group2eFull", 8},
                                                       {"groupcustk", 24},
                                                       {"Group1", 2},
                                                       {"Group_w_DLL", 2},
                                                       {"Group3", 2},
                                                       {"CorLib.Solution", 3},
                                                       {"CorLib.Build.Solution", 1},
                                                       {"SimplyVBUnit.Framework.Solution", 3},
                                                       {"TradeWrightCommonAll", 10}};
    std::size_t counted = 0;
    for (const std::string& file : groups) {
        SCOPED_TRACE(file);
        BuildWorld world;
        const std::string hostGroup = world.env.driveC() + "/repo/a/b/" + fs::path(file).filename().string();
        writeFile(hostGroup, readFile(file));
        const ProjectGroup group = readProjectGroup(TestEnvironment::windowsPath(hostGroup));
        ASSERT_FALSE(group.projects.empty());
        EXPECT_TRUE(group.notes.empty());
        const std::string stem = fs::path(file).stem().string();
        for (const auto& [suffix, count] : counts)
            if (stem.ends_with("_" + suffix)) {
                EXPECT_EQ(group.projects.size(), count);
                ++counted;
                break;
            }
        EXPECT_EQ(std::count_if(group.projects.begin(), group.projects.end(),
                                [](const auto& p) { return p.startup; }),
                  1);

        std::vector<std::string> expected;
        for (std::size_t i = 0; i < group.projects.size(); ++i) {
            const std::string& path = group.projects[i].path;
            if (i + 1 < group.projects.size()) {
                writeFile(hostPathOf(path), "Type=Exe\r\nName=\"P" + std::to_string(i) + "\"\r\n");
                expected.push_back("OK\t\t" + path);
            } else {
                expected.push_back("NG\t\t" + path);
            }
        }
        expected.push_back("result=6");

        const CliOutcome imported = runCli({"import", hostGroup});
        EXPECT_EQ(imported.status, 0);
        EXPECT_EQ(outputLines(imported.out), projectPaths(group));
        EXPECT_EQ(outputLines(imported.err).size(), 1u) << imported.err;
        EXPECT_NE(imported.err.find("project file not found: " + group.projects.back().path),
                  std::string::npos);

        const CliOutcome built = runCli({"build", hostGroup});
        EXPECT_EQ(built.status, 1);
        EXPECT_EQ(resultLines(built.out), expected);
    }
    EXPECT_EQ(counted, groups.size());
}

} // namespace
} // namespace pelorix::test
