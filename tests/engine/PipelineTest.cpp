// The pipeline of a list: its jobs, needs and levels from the dependency graph, the engines' limits,
// where outputs lie on a runner, job names, and the three writers read back by real readers
// (Debian's python3-yaml and Python's json, under /usr/bin/python3).
#include "engine/Pipeline.h"

#include "BuildWorld.h"
#include "formats/QuotedText.h"
#include "platform/RuntimeError.h"
#include "projectdata/ProjectDependencies.h"
#include "support/CliRun.h"

#include <cstdio>
#include <memory>

#include <gtest/gtest.h>

namespace pelorix::test {
namespace {

// A project below C:\w with its output in C:\w\out, using the outputs of the projects named.
ProjectFacts facts(const std::string& file, const std::vector<std::string>& uses,
                   const std::string& type = "OleDll") {
    const auto dot = file.rfind('.');
    const std::string name = file.substr(file.rfind('\\') + 1, dot - file.rfind('\\') - 1);
    std::string text = "Type=" + type + "\r\nName=\"" + name + "\"\r\nPath32=\"..\\out\"\r\n";
    for (const std::string& used : uses)
        text += "Reference=*\\G{00000000-0000-0000-0000-000000000000}#1.0#0#..\\out\\" + used + ".dll#" +
                used + "\r\n";
    return parseProjectFacts("C:\\w\\" + file, text);
}

PipelineOptions options(std::string listOnRunner = "List.ini") {
    PipelineOptions o;
    o.listPathOnRunner = std::move(listOnRunner);
    return o;
}

std::vector<std::string> jobNames(const Pipeline& pipeline, const std::vector<std::size_t>& positions) {
    std::vector<std::string> names;
    for (const std::size_t k : positions)
        names.push_back(pipeline.jobs[k].job);
    return names;
}

std::string refusal(const DependencyGraph& graph, const std::vector<bool>& targets, const PipelineOptions& o,
                    const std::string& list = "C:\\w\\List.ini") {
    try {
        makePipeline(graph, targets, list, o);
    } catch (const RuntimeError& e) {
        return e.description();
    }
    return "(no refusal)";
}

TEST(Pipeline, JobsFollowTheGraphThroughProjectsThatAreNotBuilt) {
    // App uses Mid and Base; Mid uses Base; Extra uses Skipped, which is not built and uses Base.
    const DependencyGraph graph({facts("app\\App.vbp", {"Mid", "Base"}, "Exe"),
                                 facts("mid\\Mid.vbp", {"Base"}), facts("extra\\Extra.vbp", {"Skipped"}),
                                 facts("skipped\\Skipped.vbp", {"Base"}), facts("base\\Base.vbp", {})});
    const Pipeline p = makePipeline(graph, {true, true, true, false, true}, "C:\\w\\List.ini", options());
    ASSERT_EQ(p.jobs.size(), 4u);
    EXPECT_EQ(jobNames(p, {0, 1, 2, 3}),
              (std::vector<std::string>{"build-Base", "build-Mid", "build-App", "build-Extra"}));
    EXPECT_EQ(p.jobs[2].needs, (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(p.jobs[3].needs, (std::vector<std::size_t>{0})) << "a dependency through a project not built";
    EXPECT_EQ(p.levels, (std::vector<std::vector<std::size_t>>{{0}, {1, 3}, {2}}));
    EXPECT_EQ(p.jobs[2].artifact, "out/App.exe");
    EXPECT_EQ(p.jobs[2].selector, "App.vbp");
    EXPECT_EQ(p.jobs[2].junit, "pelorix-junit-build-App.xml");
    EXPECT_EQ(p.edges.size(), 4u);
    EXPECT_EQ(registerLine(p, p.jobs[2], options()), "pelorix-cli register 'out/Base.dll' 'out/Mid.dll'");
    EXPECT_EQ(registerLine(p, p.jobs[0], options()), "");
    PipelineOptions powerShell = options();
    powerShell.shell = RunnerShell::PowerShell;
    powerShell.cli = "pelorix-cli.exe";
    EXPECT_EQ(buildLine(p, p.jobs[1], powerShell),
              "pelorix-cli.exe build 'List.ini' --project 'Mid.vbp' --junit 'pelorix-junit-build-Mid.xml'; "
              "if ($LASTEXITCODE -ne 0) { exit $LASTEXITCODE }");
}

TEST(Pipeline, RefusesWhatNoEngineRuns) {
    const DependencyGraph cycle({facts("a\\A.vbp", {"B"}), facts("b\\B.vbp", {"A"})});
    EXPECT_NE(refusal(cycle, {true, true}, options()).find("cycle C:\\w\\a\\A.vbp C:\\w\\b\\B.vbp"),
              std::string::npos);

    const DependencyGraph wide({facts("top\\Top.vbp", {"L1", "L2", "L3"}), facts("l1\\L1.vbp", {}),
                                facts("l2\\L2.vbp", {}), facts("l3\\L3.vbp", {})});
    PipelineOptions narrow = options();
    narrow.maxNeeds = 2;
    EXPECT_NE(refusal(wide, {true, true, true, true}, narrow).find("depends directly on 3 projects"),
              std::string::npos);
    narrow.maxNeeds = 50;
    narrow.maxJobs = 3;
    EXPECT_NE(refusal(wide, {true, true, true, true}, narrow).find("4 jobs, more than a pipeline takes (3"),
              std::string::npos);
    // An output beside, not below, the list's folder on a runner where the list lies at the root.
    EXPECT_NE(
        refusal(wide, {false, true, false, false}, options(), "C:\\w\\sub\\List.ini").find("lies outside"),
        std::string::npos);
}

TEST(Pipeline, OutputsArePlacedWhereTheListLiesOnTheRunner) {
    const DependencyGraph graph({facts("a\\A.vbp", {})});
    struct Case {
        const char* list;
        const char* listOnRunner;
        const char* artifact;
    } cases[] = {
        {"C:\\w\\List.ini", "List.ini", "out/A.dll"},
        {"C:\\w\\List.ini", "vb6/List.ini", "vb6/out/A.dll"},
        {"C:\\W\\LIST.INI", "./vb6/./List.ini", "vb6/out/A.dll"}, // folders compared without regard to case
        {"C:\\w\\sub\\List.ini", "vb6/sub/List.ini", "vb6/out/A.dll"},
        {"D:\\w\\List.ini", "List.ini", ""}, // another drive: refused
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list + std::string(" ") + c.listOnRunner);
        if (*c.artifact == '\0') {
            EXPECT_NE(refusal(graph, {true}, options(c.listOnRunner), c.list).find("lies outside"),
                      std::string::npos);
            continue;
        }
        EXPECT_EQ(makePipeline(graph, {true}, c.list, options(c.listOnRunner)).jobs[0].artifact, c.artifact);
    }
}

TEST(Pipeline, JobNamesAreUniqueAndWithinTheLimit) {
    // A limit of 40: names are cut at 32 bytes, never inside a character, then made unique.
    PipelineOptions o = options();
    o.maxJobName = 40;
    const std::string longName(60, 'x');
    const DependencyGraph graph({facts("a\\Same.vbp", {}), facts("b\\SAME.vbp", {}),
                                 facts("c\\we ird:na$me\".vbp", {}), facts("d\\" + longName + ".vbp", {}),
                                 facts("e\\" + longName + ".vbp", {}), facts("f\\日本語.vbp", {}),
                                 facts("g\\" + std::string(25, 'y') + "日本語.vbp", {})});
    const Pipeline p = makePipeline(graph, std::vector<bool>(7, true), "C:\\w\\List.ini", o);
    EXPECT_EQ(jobNames(p, {0, 1, 2, 5, 6}),
              (std::vector<std::string>{"build-Same", "build-SAME-2", "build-we-ird-na-me-", "build-日本語",
                                        "build-" + std::string(25, 'y')}));
    EXPECT_EQ(p.jobs[0].selector, "C:\\w\\a\\Same.vbp") << "a file name two projects share selects by path";
    EXPECT_EQ(p.jobs[5].selector, "日本語.vbp");
    EXPECT_EQ(p.jobs[3].job, "build-" + std::string(26, 'x'));
    EXPECT_EQ(p.jobs[4].job, "build-" + std::string(26, 'x') + "-2");
}

TEST(Pipeline, QuotingKeepsEveryTextWhatItIs) {
    struct Case {
        const char* text;
        const char* yaml;
        const char* json;
        const char* shell;
        const char* powerShell;
    } cases[] = {
        {"plain", "\"plain\"", "\"plain\"", "'plain'", "'plain'"},
        {"a\"b\\c", "\"a\\\"b\\\\c\"", "\"a\\\"b\\\\c\"", "'a\"b\\c'", "'a\"b\\c'"},
        {"it's", "\"it's\"", "\"it's\"", "'it'\\''s'", "'it''s'"},
        {"x\ty\n\x01", "\"x\\ty\\n\\x01\"", "\"x\\ty\\n\\u0001\"", "'x\ty\n\x01'", "'x\ty\n\x01'"},
        {"\xE2\x80\xA8\xEF\xBB\xBF", "\"\\u2028\\uFEFF\"", "\"\xE2\x80\xA8\xEF\xBB\xBF\"",
         "'\xE2\x80\xA8\xEF\xBB\xBF'", "'\xE2\x80\xA8\xEF\xBB\xBF'"},
        {"\x82\xA0", "\"\xEF\xBF\xBD\xEF\xBF\xBD\"", "\"\xEF\xBF\xBD\xEF\xBF\xBD\"", "'\x82\xA0'",
         "'\xEF\xBF\xBD\xEF\xBF\xBD'"}, // bytes that are no UTF-8
        {"\xE2\x80\x99", "\"\xE2\x80\x99\"", "\"\xE2\x80\x99\"", "'\xE2\x80\x99'",
         "'\xE2\x80\x99\xE2\x80\x99'"},
        {"$(rm -rf /)", "\"$(rm -rf /)\"", "\"$(rm -rf /)\"", "'$(rm -rf /)'", "'$(rm -rf /)'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(yamlQuoted(c.text), c.yaml);
        EXPECT_EQ(jsonQuoted(c.text), c.json);
        EXPECT_EQ(shellQuoted(c.text), c.shell);
        EXPECT_EQ(powerShellQuoted(c.text), c.powerShell);
    }
}

constexpr const char* Python = "/usr/bin/python3";

std::string runPython(const std::string& arguments) {
    const std::string command = std::string(Python) + " " + arguments + " 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    std::string text;
    char buffer[4096];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe.get()) != nullptr)
        text += buffer;
    return text;
}

// Projects whose names a YAML or shell writer that quotes carelessly would break, written by
// pelorix-cli pipeline in each format and read back: the YAML files say what the JSON says, and the
// JSON gives back every name as it is.
TEST(Pipeline, EveryFormatReadsBackWithHostileNames) {
    if (runPython("-c 'import yaml'") != "")
        GTEST_SKIP() << Python << " cannot import yaml (Debian package python3-yaml)";
    BuildWorld world;
    const std::vector<std::string> names{"yes", "null: #x", "${{ github.token }}", "- a", "it's \"q\"",
                                         "1.0", "日本"};
    std::vector<std::string> paths;
    for (std::size_t k = 0; k < names.size(); ++k)
        paths.push_back(world.addProject(
            "src/p" + std::to_string(k), names[k],
            {k == 0 ? std::string()
                    : "Reference=*\\A..\\p" + std::to_string(k - 1) + "\\" + names[k - 1] + ".vbp",
             "ExeName32=\"" + names[k] + ".dll\""},
            "OleDll"));
    const std::string list = world.writeList(paths);
    std::string files;
    for (const std::string format : {"gitlab", "github", "json"}) {
        const std::string file = world.env.path("pipeline." + format);
        const CliOutcome written = runCli({"pipeline", list, "--all", "--format", format, "--output", file,
                                           "--runner-tag", "it's", "--list-path", "vb6/List.ini"});
        ASSERT_EQ(written.status, 0) << written.err;
        files += " '" + file + "'";
    }
    EXPECT_EQ(runPython(PELORIX_SOURCE_DIR "/tests/pipeline/check-pipeline.py yaml" + files), "");
    std::string expected;
    for (const std::string& name : names)
        expected += name + "\n";
    EXPECT_EQ(runPython(PELORIX_SOURCE_DIR "/tests/pipeline/check-pipeline.py names '" +
                        world.env.path("pipeline.json") + "'"),
              expected);
}

TEST(Pipeline, CommandRefusesWhatItCannotWrite) {
    BuildWorld world;
    const std::string a = world.addProject("src/a", "A", {"Reference=*\\A..\\b\\B.vbp"});
    const std::string b = world.addProject("src/b", "B", {"Reference=*\\A..\\a\\A.vbp"});
    std::string list = world.writeList({a, b});
    const CliOutcome cycle = runCli({"pipeline", list, "--all", "--format", "json"});
    EXPECT_EQ(cycle.status, 1);
    EXPECT_NE(cycle.err.find("cycle " + a + " " + b), std::string::npos) << cycle.err;
    EXPECT_EQ(runCli({"pipeline", list, "--format", "yaml"}).status, 2);
    EXPECT_EQ(runCli({"pipeline", list}).status, 2);
    EXPECT_EQ(runCli({"pipeline", list, "--format", "json", "--max-jobs", "0"}).status, 2);
    // The list itself is never replaced by a pipeline file.
    list = world.writeList({world.addProject("src/d", "D", {})});
    const std::string before = readFile(BuildWorld::host(list));
    const CliOutcome overList = runCli({"pipeline", list, "--format", "json", "--output", list});
    EXPECT_EQ(overList.status, 1);
    EXPECT_NE(overList.err.find("is the list"), std::string::npos) << overList.err;
    EXPECT_EQ(readFile(BuildWorld::host(list)), before);
    // Only the marked projects without --all: none here.
    const CliOutcome none =
        runCli({"pipeline", world.writeList({world.addProject("src/c", "C", {})}), "--format", "gitlab"});
    EXPECT_EQ(none.status, 0);
    EXPECT_NE(none.out.find("nothing-to-build"), std::string::npos) << none.out;
}

} // namespace
} // namespace pelorix::test
