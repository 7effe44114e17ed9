// What broke binary compatibility, told from a project's compatible file and its output (libraries
// widl wrote, one change each, and files that are no library): the lines alone; through builds of
// the engine that break compatibility, rebuilt or not; through pelorix-cli build with its result
// lines and JUnit report; and through pelorix-cli check before the next build.
#include "engine/BinaryCompatibility.h"

#include "../formats/WidlLibraries.h"
#include "BuildWorld.h"
#include "JUnitRead.h"
#include "engine/BuildRecord.h"
#include "platform/Text.h"
#include "support/CliRun.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace pelorix::test {
namespace {

// A file of the project's folder: a library widl wrote ("widl:NAME"), these bytes ("bytes:..."),
// or none ("").
void placeFile(const std::string& host, const std::string& source) {
    if (source.starts_with("widl:"))
        writeFile(host, widlLibraryBytes(source.substr(5)));
    else if (source.starts_with("bytes:"))
        writeFile(host, source.substr(6));
}

// A binary-compatible ActiveX DLL project "Server" in C:\src\NAME with its compatible file
// compat\Server.dll and its output Server.dll, each from a source of placeFile; the project file's
// extra lines (StandIn scripts) last. Its Windows path.
std::string serverProject(BuildWorld& world, const std::string& folder, const std::string& compatible,
                          const std::string& output, std::vector<std::string> lines = {}) {
    const std::string host = world.env.driveC() + "/src/" + folder;
    placeFile(host + "/compat/Server.dll", compatible);
    placeFile(host + "/Server.dll", output);
    lines.insert(lines.begin(), {"CompatibleMode=\"2\"", "CompatibleEXE32=\"compat\\Server.dll\"",
                                 "ExeName32=\"Server.dll\""});
    return world.addProject("src/" + folder, "Server", lines, "OleDll");
}

// The lines with "{C}" and "{O}" for the project's compatible file and output.
std::vector<std::string> expand(const std::vector<std::string>& lines, const std::string& project) {
    const std::string folder = project.substr(0, project.size() - std::string("Server.vbp").size());
    std::vector<std::string> expanded;
    for (const std::string& line : lines)
        expanded.push_back(
            replaceAll(replaceAll(line, "{C}", folder + "compat\\Server.dll"), "{O}", folder + "Server.dll"));
    return expanded;
}

struct LinesCase {
    const char* name;
    const char* compatible;
    const char* output;
    CompatOutput kind;
    std::vector<std::string> lines;
};

const std::string Last = "CompatibleEXE32 {C} against the last output {O}: ";
const std::string Rebuilt = "CompatibleEXE32 {C} against the rebuilt output {O}: ";

const LinesCase linesCases[] = {
    {"AParameterTypeChanged",
     "widl:compat.tlb",
     "widl:compat-PARAM_TYPE_CHANGED.tlb",
     CompatOutput::Last,
     {Last + "1 breaking difference", "IShape.Move: parameter 2 (dy): long, now double"}},
    // The compiler keeps the ids of the compatible file's types by name: new ones are no break.
    {"NewIdsOfAClass",
     "widl:compat.tlb",
     "widl:compat-CLASS_ID_CHANGED.tlb",
     CompatOutput::Rebuilt,
     {Rebuilt + "no breaking difference"}},
    {"NewIdsOfAnInterface",
     "widl:compat.tlb",
     "widl:compat-IID_CHANGED.tlb",
     CompatOutput::Last,
     {Last + "no breaking difference; what breaks came after that output was built"}},
    {"ManyBreaksAreCounted",
     "widl:compat.tlb",
     "widl:client.tlb",
     CompatOutput::Last,
     {Last + "7 breaking differences", "Canvas: coclass removed", "Colors: enum removed",
      "ICanvas: dual interface removed", "IShape: dual interface removed", "Point: struct removed",
      "and 2 more breaking differences"}},
    {"NoCompatibleFile",
     "",
     "widl:compat.tlb",
     CompatOutput::Rebuilt,
     {"CompatibleEXE32 cannot be read: {C}: the file does not exist"}},
    {"ACompatibleFileWithoutALibrary",
     "bytes:MZ not a library",
     "widl:compat.tlb",
     CompatOutput::Last,
     {"CompatibleEXE32 cannot be read: {C}: not a type library: an MZ file without a PE header"}},
    {"NoOutput",
     "widl:compat.tlb",
     "",
     CompatOutput::Rebuilt,
     {"the rebuilt output cannot be read: {O}: the file does not exist"}},
};

class CompatibilityLines : public testing::TestWithParam<LinesCase> {};

TEST_P(CompatibilityLines, NameTheFilesAndWhatBroke) {
    PELORIX_SKIP_WITHOUT_WIDL();
    const LinesCase& c = GetParam();
    BuildWorld world;
    const std::string project = serverProject(world, "p", c.compatible, c.output);
    EXPECT_EQ(explainCompatibility(project, c.kind), expand(c.lines, project));
}

INSTANTIATE_TEST_SUITE_P(Cases, CompatibilityLines, testing::ValuesIn(linesCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(CompatibilityLines, AProjectWithoutACompatibleFileSaysSo) {
    BuildWorld world;
    const std::string project = world.addProject("p", "P", {"CompatibleMode=\"2\""}, "OleDll");
    EXPECT_EQ(explainCompatibility(project, CompatOutput::Last),
              (std::vector<std::string>{"the project names no compatible file (CompatibleEXE32)"}));
}

// Builds through the engine: what a run tells of a binary-compatible project whose compile ended
// with a compatibility message, against the output it has when the project is done.
struct RunCase {
    const char* name;
    std::vector<std::string> script; // StandIn lines
    bool autoRebuild;
    bool rebuildAgain;
    std::int16_t result;
    std::vector<std::string> lines; // what broke; none when the run tells nothing
};

const RunCase runCases[] = {
    // Rebuilt without compatibility: the rebuilt output shows the member that broke.
    {"RebuiltInModeZero",
     {"StandIn@2=version", "StandIn@0=ok,output:rebuilt.tlb"},
     true,
     false,
     1,
     {Rebuilt + "1 breaking difference", "IShape.Area: removed"}},
    // Built once more in binary compatibility after the rebuild, which fails again.
    {"RebuiltAndBuiltAgain",
     {"StandIn@2=implements", "StandIn@0=ok,output:rebuilt.tlb"},
     true,
     true,
     1,
     {Rebuilt + "1 breaking difference", "IShape.Area: removed"}},
    // No rebuild (the answer No): the last output, which kept compatibility.
    {"NotRebuilt",
     {"StandIn@2=version"},
     false,
     false,
     2,
     {Last + "no breaking difference; what breaks came after that output was built"}},
    // A rebuild that fails too leaves the last output.
    {"TheRebuildFailsToo",
     {"StandIn@2=version", "StandIn@0=error"},
     true,
     false,
     1,
     {Last + "no breaking difference; what breaks came after that output was built"}},
    // A rebuilt output that holds no library is named; the run ends as it would have.
    {"TheRebuiltOutputIsNoLibrary",
     {"StandIn@2=version", "StandIn@0=ok,output:garbage.bin"},
     true,
     false,
     1,
     {"the rebuilt output cannot be read: {O}: not a type library: the data starts with neither MSFT nor "
      "SLTG"}},
    // What passes in the end, and failures of another kind, tell nothing.
    {"PassedAfterTheRebuild", {"StandIn@2=version|ok", "StandIn@0=ok,output:rebuilt.tlb"}, true, true, 0, {}},
    {"ACompileError", {"StandIn@2=error"}, false, false, 99, {}},
    {"Built", {"StandIn@2=ok,output:rebuilt.tlb"}, false, false, 0, {}},
};

class CompatibilityRun : public testing::TestWithParam<RunCase> {};

TEST_P(CompatibilityRun, TellsWhatBrokeInTheBuildLogAndTheRecord) {
    PELORIX_SKIP_WITHOUT_WIDL();
    const RunCase& c = GetParam();
    BuildWorld world;
    world.setting("Build", "ReBuildMode", c.rebuildAgain ? "1" : "0");
    const std::string project = serverProject(world, "p", "widl:compat.tlb", "widl:compat.tlb", c.script);
    const std::string folder = world.host(project).substr(0, world.host(project).size() - 10);
    writeFile(folder + "rebuilt.tlb", widlLibraryBytes("compat-MEMBER_REMOVED.tlb"));
    writeFile(folder + "garbage.bin", "no library");
    EngineRun run;
    run.load({project});
    BuildRecord record(run.data, {1});
    run.observers.push_back(&record);
    EXPECT_EQ(run.build({1}, c.autoRebuild), c.result); // the explanation changes no result
    const std::vector<std::string> lines = expand(c.lines, project);
    EXPECT_EQ(record.projects()[0].compatibility, lines);
    // The build log holds the same lines, together, after the project's compiles.
    const std::vector<std::string> log = run.unstampedLog();
    if (!lines.empty()) {
        const auto at = std::search(log.begin(), log.end(), lines.begin(), lines.end());
        ASSERT_NE(at, log.end()) << "not in the build log: " << lines.front();
        EXPECT_TRUE(std::none_of(at + static_cast<std::ptrdiff_t>(lines.size()), log.end(),
                                 [](const std::string& line) { return contains(line, "ﾋﾞﾙﾄﾞ中..."); }));
    }
    std::string note; // the grid's tool tip: the lines one below the other
    for (const std::string& line : lines)
        note += (note.empty() ? "" : "\n") + line;
    EXPECT_EQ(resultCellNote(record.projects()[0]), note);
    EXPECT_TRUE(world.env.errorLog().empty()) << world.env.errorLog();
}

INSTANTIATE_TEST_SUITE_P(Cases, CompatibilityRun, testing::ValuesIn(runCases),
                         [](const auto& row) { return std::string(row.param.name); });

// The command line end to end: the NG line of the project names what broke under it, and so does
// the JUnit report's failure.
TEST(CompatibilityBuild, TheCommandLineAndTheJUnitReportNameTheMemberThatBroke) {
    PELORIX_SKIP_WITHOUT_WIDL();
    BuildWorld world;
    world.setting("Build", "ReBuildMode", "0");
    const std::string project = serverProject(world, "p", "widl:compat.tlb", "widl:compat.tlb",
                                              {"StandIn@2=version", "StandIn@0=ok,output:rebuilt.tlb"});
    writeFile(world.host(project.substr(0, project.size() - 10) + "rebuilt.tlb"),
              widlLibraryBytes("compat-MEMBER_REMOVED.tlb"));
    const std::string list = world.writeList({project});
    const std::string report = world.env.path("run.xml");
    const std::vector<std::string> lines =
        expand({Rebuilt + "1 breaking difference", "IShape.Area: removed"}, project);

    const CliOutcome r = runCli({"build", world.host(list), "--all", "--yes", "--junit", report});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(
        r.out.ends_with("NG\tﾊﾞｲﾅﾘ互換\t" + project + "\n\t" + lines[0] + "\n\t" + lines[1] + "\nresult=1\n"))
        << r.out;
    EXPECT_NE(r.out.find(" " + lines[0] + "\n"), std::string::npos) << "the build log's line";

    if (!junitParserPresent())
        GTEST_SKIP() << Python << " cannot import junitparser (Debian package python3-junitparser)";
    const std::vector<Row> rows = readWithJUnitParser(report);
    const Row& failed = caseNamed(rows, "Server");
    ASSERT_FALSE(failed.empty());
    EXPECT_TRUE(failed[6].ends_with("; " + lines[0] + "; IShape.Area: removed")) << failed[6];
    EXPECT_TRUE(failed[7].ends_with("|[binary compatibility]|" + lines[0] + "|IShape.Area: removed|"))
        << failed[7];
}

// The check before a build: a compatible file without a library, and a last output that already
// breaks its compatible file, are warnings; an output that keeps to it, or is the compatible file
// itself, or is not built yet, tells nothing.
TEST(CompatibilityCheck, WarnsOfAnOutputThatAlreadyBreaksItsCompatibleFile) {
    PELORIX_SKIP_WITHOUT_WIDL();
    BuildWorld world;
    const std::string broken =
        serverProject(world, "broken", "widl:compat.tlb", "widl:compat-MEMBER_REMOVED.tlb");
    const std::string noLibrary = serverProject(world, "nolib", "bytes:MZ", "widl:compat.tlb");
    const std::string kept =
        serverProject(world, "kept", "widl:compat.tlb", "widl:compat-MEMBER_ADDED_AT_END.tlb");
    const std::string unbuilt = serverProject(world, "unbuilt", "widl:compat.tlb", "");
    const std::string itself = world.addProject(
        "src/self", "Server",
        {"CompatibleMode=\"2\"", "CompatibleEXE32=\"Server.dll\"", "ExeName32=\"Server.dll\""}, "OleDll");
    writeFile(world.host(itself.substr(0, itself.size() - 10) + "Server.dll"), "MZ");
    const std::string list = world.writeList({broken, noLibrary, kept, unbuilt, itself});
    const auto before = snapshotFiles(world.env.root());

    const CliOutcome r = runCli({"check", world.host(list), "--all"});
    EXPECT_EQ(r.status, 0) << r.out;
    std::vector<std::string> findings;
    for (const std::string& line : outputLines(r.out))
        if (!line.starts_with("warning\t-") && !line.starts_with("checked"))
            findings.push_back(line);
    EXPECT_EQ(findings, (std::vector<std::string>{
                            "warning\t" + broken + "\t4\tlast output breaks compatibility\t" +
                                expand({Last + "1 breaking difference; IShape.Area: removed"}, broken)[0] +
                                "; the next binary-compatible build fails",
                            "warning\t" + noLibrary + "\t4\tcompatible binary holds no type library\t" +
                                expand({"CompatibleEXE32 cannot be read: {C}: not a type library: an MZ file "
                                        "without a PE header"},
                                       noLibrary)[0],
                            "warning\t" + itself + "\t4\tcompatible binary holds no type library\t" +
                                expand({"CompatibleEXE32 cannot be read: {O}: not a type library: an MZ file "
                                        "without a PE header"},
                                       itself)[0]}));
    EXPECT_EQ(snapshotFiles(world.env.root()), before);
}

} // namespace
} // namespace pelorix::test
