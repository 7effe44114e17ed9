// The dependency graph of a list: which project needs which, by every way a project file names
// another project's product, the order that respects it, cycles, and real groups of the corpus.

#include "formats/TypeLibReader.h"
#include "projectdata/ProjectDependencies.h"
#include "support/Corpus.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace pelorix::test {
namespace {

class DependencyGraphTest : public ::testing::Test {
protected:
    // A project file below drive C:, its Windows path.
    std::string project(const std::string& relative, const std::string& lines) {
        const std::string host = env.driveC() + "/" + relative;
        writeFile(host, lines);
        return TestEnvironment::windowsPath(host);
    }
    static std::vector<std::size_t> order(const std::vector<std::string>& paths) {
        return projectDependencyGraph(paths).buildOrder();
    }
    TestEnvironment env;
};

TEST_F(DependencyGraphTest, EachWayOfNamingAnotherProjectsProductIsADependency) {
    // The library: binary compatible against a real type library, its output in ..\bin.
    const std::string tlb = readFile(PELORIX_SOURCE_DIR "/tests/fuzz/corpus/fuzz_typelib/msft.tlb");
    const auto attributes = parseTypeLib(tlb);
    ASSERT_TRUE(attributes);
    writeFile(env.driveC() + "/src/lib/compat/Lib.dll", tlb);
    const std::string lib =
        project("src/lib/Lib.vbp", "Type=OleDll\r\nName=\"Lib\"\r\nExeName32=\"Lib.dll\"\r\n"
                                   "Path32=\"..\\bin\"\r\nCompatibleMode=\"2\"\r\n"
                                   "CompatibleEXE32=\"compat\\Lib.dll\"\r\n");
    const std::string ocx = project("src/ctl/Ctl.vbp", "Type=Control\r\nName=\"Ctl\"\r\n"); // makes Ctl.ocx
    struct Case {
        const char* name;
        std::string line;
        std::size_t dependency; // 0 Lib, 1 Ctl, 2 none
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"guid", "Reference=*\\G" + attributes->guid + "#1.0#0#C:\\elsewhere\\Other.dll#Lib", 0, "library "},
        {"output path", "Reference=*\\G{11111111-2222-3333-4444-555555555555}#1.0#0#..\\bin\\lib.DLL#Lib", 0,
         "output C:\\src\\bin\\Lib.dll"},
        {"bare output name", "Reference=*\\G{11111111-2222-3333-4444-555555555555}#1.0#0#LIB.DLL#Lib", 0,
         "output "},
        {"component file", "Object={22222222-2222-3333-4444-555555555555}#1.0#0; ctl.ocx", 1, "output "},
        {"project reference", "Reference=*\\A..\\lib\\Lib.vbp", 0, "project file"},
        {"project as object", "Object=*\\A..\\ctl\\Ctl.vbp", 1, "project file"},
        {"other library", "Reference=*\\G{11111111-2222-3333-4444-555555555555}#1.0#0#C:\\x\\Lib.dll#X", 2,
         ""},
        {"add-in section", "[Add-in]\r\nReference=*\\A..\\lib\\Lib.vbp", 2, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string app = project("src/app/App.vbp", "Type=Exe\r\nName=\"App\"\r\n" + c.line + "\r\n");
        const DependencyGraph graph = projectDependencyGraph({app, lib, ocx});
        if (c.dependency == 2) {
            EXPECT_TRUE(graph.dependencies().empty());
            continue;
        }
        ASSERT_EQ(graph.dependencies().size(), 1u);
        const ProjectDependency& edge = graph.dependencies().front();
        EXPECT_EQ(edge.dependent, 0u);
        EXPECT_EQ(edge.dependency, c.dependency + 1);
        EXPECT_EQ(edge.lineNumber, 3);
        EXPECT_TRUE(edge.reason.starts_with(c.reason)) << edge.reason;
        EXPECT_EQ(graph.buildOrder(), (std::vector<std::size_t>{c.dependency + 1, 0, 2 - c.dependency}));
    }
}

TEST_F(DependencyGraphTest, OrderKeepsTheListWhereItHoldsAndNamesCycles) {
    const auto uses = [&](const std::string& name, const std::vector<std::string>& used) {
        std::string text = "Type=OleDll\r\nName=\"" + name + "\"\r\n";
        for (const std::string& u : used)
            text += "Reference=*\\A..\\" + u + "\\" + u + ".vbp\r\n";
        return project(name + "/" + name + ".vbp", text);
    };
    // In order already: unchanged, whatever depends on what.
    EXPECT_EQ(order({uses("A", {}), uses("B", {"A"}), uses("C", {}), uses("D", {"A", "B"})}),
              (std::vector<std::size_t>{0, 1, 2, 3}));
    // Only what must move moves: E needs G, so G comes just before E; F keeps its place after E.
    EXPECT_EQ(order({uses("E", {"G"}), uses("F", {}), uses("G", {})}), (std::vector<std::size_t>{2, 0, 1}));
    EXPECT_EQ(order({uses("N", {}), uses("O", {"Q"}), uses("P", {}), uses("Q", {"R"}), uses("R", {})}),
              (std::vector<std::size_t>{0, 4, 3, 1, 2}));

    // H and I need each other, J needs I, K stands alone: one cycle, entered at H.
    const DependencyGraph graph =
        projectDependencyGraph({uses("K", {}), uses("H", {"I"}), uses("I", {"H"}), uses("J", {"I"})});
    EXPECT_EQ(graph.cycles(), (std::vector<std::vector<std::size_t>>{{1, 2}}));
    EXPECT_EQ(graph.buildOrder(), (std::vector<std::size_t>{0, 2, 1, 3}));
    // A missing project is listed but nothing depends on it.
    const DependencyGraph missing = projectDependencyGraph({uses("L", {"M"}), "C:\\M\\M.vbp"});
    EXPECT_FALSE(missing.projects()[1].readable);
    EXPECT_TRUE(missing.dependencies().empty());
}

// Every source the compiler reads, with the binary part the environment keeps beside it (a
// designer's is its .dsx); the sections after the project's own keys belong to add-ins.
TEST_F(DependencyGraphTest, FactsListEverySourceWithItsCompanion) {
    const ProjectFacts facts = parseProjectFacts(
        "C:\\p\\P.vbp", "Type=Exe\r\nForm=Main.frm\r\nModule=Mod; ..\\shared\\Mod.bas\r\nClass=C; C.cls\r\n"
                        "UserControl=U.ctl\r\nPropertyPage=Page.pag\r\nDesigner=Env.Dsr\r\n"
                        "ResFile32=\"App.res\"\r\nName=\"P\"\r\nForm=v1;old\\Old.frm\r\n"
                        "Module=M; v1;old\\m.bas\r\nClass=K;x.cls\r\n[Add-in]\r\nForm=NotMine.frm\r\n");
    std::vector<std::string> seen;
    for (const ProjectSource& source : facts.sources)
        seen.push_back(source.key + " " + source.path);
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "Form C:\\p\\Main.frm", "+Form C:\\p\\Main.frx", "Module C:\\shared\\Mod.bas",
                        "Class C:\\p\\C.cls", "UserControl C:\\p\\U.ctl", "+UserControl C:\\p\\U.ctx",
                        "PropertyPage C:\\p\\Page.pag", "+PropertyPage C:\\p\\Page.pgx",
                        "Designer C:\\p\\Env.Dsr", "+Designer C:\\p\\Env.dsx", "ResFile32 C:\\p\\App.res",
                        // Only modules and classes are written "Name; file": a folder may hold ";".
                        "Form C:\\p\\v1;old\\Old.frm", "+Form C:\\p\\v1;old\\Old.frx",
                        "Module C:\\p\\v1;old\\m.bas", "Class C:\\p\\K;x.cls"}));
    EXPECT_EQ(facts.outputPath, "C:\\p\\P.exe");
}

// Real groups laid out as their repositories keep them: each lists the client before the
// library or control it needs.
TEST_F(DependencyGraphTest, CorpusGroupsListedClientFirstOrderTheLibraryFirst) {
    const std::vector<std::string> projects = corpusFiles("vbp", 50);
    if (projects.empty())
        return;
    const std::string corpus = PELORIX_CORPUS_DIR "/vbp/";
    const auto place = [&](const std::string& corpusName, const std::string& relative) {
        return project(relative, readFile(corpus + corpusName));
    };
    // sci4vb: the test program uses the control by its file name, which the control project makes.
    const std::string exe = place("dzzie__sci4vb__test_exe.vbp", "sci4vb/test/exe.vbp");
    const std::string ocx = place("dzzie__sci4vb___ocx.vbp", "sci4vb/_ocx.vbp");
    const DependencyGraph sci = projectDependencyGraph({exe, ocx});
    ASSERT_EQ(sci.dependencies().size(), 1u);
    EXPECT_EQ(sci.dependencies()[0].reason, "output C:\\sci4vb\\sci4vb.ocx");
    EXPECT_EQ(sci.buildOrder(), (std::vector<std::size_t>{1, 0}));

    // js4vb: the debugger example refers to ..\..\js4vb.dll, which the DLL project (no ExeName32)
    // makes from its name.
    const std::string debugger =
        place("dzzie__js4vb__examples_5_debugger_Project1.vbp", "js4vb/examples/5_debugger/Project1.vbp");
    const std::string dll = place("dzzie__js4vb___vbjs_dll.vbp", "js4vb/_vbjs_dll.vbp");
    EXPECT_EQ(order({debugger, dll}), (std::vector<std::size_t>{1, 0}));

    // tradewright: the sample names SPRITECONTROLLIB40.DLL bare; the library writes it to Path32.
    const std::string sample = place(
        "rlktradewright__tradewright-common__src_SampleApps_LayeredGraphicsTest_LayeredGraphicsTest.vbp",
        "tw/src/SampleApps/LayeredGraphicsTest/LayeredGraphicsTest.vbp");
    const std::string sprite =
        place("rlktradewright__tradewright-common__src_SampleApps_LayeredGraphicsTest_SpriteControlLib_"
              "SpriteControlLib.vbp",
              "tw/src/SampleApps/LayeredGraphicsTest/SpriteControlLib/SpriteControlLib.vbp");
    const DependencyGraph tw = projectDependencyGraph({sample, sprite});
    ASSERT_EQ(tw.dependencies().size(), 1u);
    EXPECT_EQ(tw.dependencies()[0].reason, "output C:\\tw\\Bin\\TradeWright.Common\\SpriteControlLib40.dll");
    EXPECT_TRUE(tw.cycles().empty());
}

} // namespace
} // namespace pelorix::test
