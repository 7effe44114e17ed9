// One project of a list built alone (pelorix-cli build --project), as a pipeline's job builds it:
// which project a name or path selects, and the build of that one project whatever the marks say.
#include "BuildWorld.h"
#include "engine/BuildTargets.h"
#include "platform/RuntimeError.h"
#include "support/CliRun.h"

#include <gtest/gtest.h>

namespace pelorix::test {
namespace {

std::string selected(const std::vector<ListedProject>& projects, const std::string& nameOrPath) {
    try {
        return std::to_string(selectListedProject(projects, nameOrPath));
    } catch (const RuntimeError& e) {
        return e.description();
    }
}

TEST(ProjectSelection, ANameOrPathSelectsOneProjectOrNamesTheCandidates) {
    const std::vector<ListedProject> projects{{"C:\\src\\Server\\Server.vbp", "Server"},
                                              {"C:\\src\\Client\\Client.vbp", "ClientApp"},
                                              {"C:\\old\\Client\\Client.vbp", "OldClient"},
                                              {"C:\\src\\日本\\日本.vbp", "日本"}};
    struct Case {
        const char* given;
        const char* result;
    } cases[] = {
        {"Server", "0"},                      // the name
        {"server.VBP", "0"},                  // the file name, without regard to case
        {"ClientApp", "1"},                   // the name where the file names are shared
        {"c:\\SRC\\client\\client.vbp", "1"}, // the path
        {"C:\\old\\Client\\Client.vbp", "2"}, //
        {"日本", "3"},                        //
        {"Client", "2 projects of the list have the name Client: ClientApp (C:\\src\\Client\\Client.vbp), "
                   "OldClient (C:\\old\\Client\\Client.vbp); name one by its path"},
        {"Nothing",
         "no project of the list has the name Nothing; its projects: Server (C:\\src\\Server\\Server.vbp), "
         "ClientApp (C:\\src\\Client\\Client.vbp), OldClient (C:\\old\\Client\\Client.vbp), 日本 "
         "(C:\\src\\日本\\日本.vbp)"},
        {"C:\\src\\Server", "no project of the list has the path C:\\src\\Server; its projects: Server"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.given);
        EXPECT_EQ(selected(projects, c.given).substr(0, std::string(c.result).size()), c.result);
    }
    EXPECT_EQ(selected({}, "A"), "no project of the list has the name A; the list has no project");
    std::vector<ListedProject> many;
    for (int k = 0; k < 25; ++k)
        many.push_back({"C:\\p" + std::to_string(k) + ".vbp", "P" + std::to_string(k)});
    EXPECT_NE(selected(many, "None").find("P19 (C:\\p19.vbp) and 5 more"), std::string::npos);
}

TEST(ProjectSelection, BuildsTheOneProjectWhateverTheMarksSay) {
    BuildWorld world;
    const std::string lib = world.addProject("src/lib", "Lib", {}, "OleDll");
    const std::string app = world.addProject("src/app", "App", {"CompatibleMode=\"1\""});
    const std::string tool = world.addProject("src/tool", "Tool", {"StandIn=error"});
    const std::string marks = "1,3,";
    const std::string list = world.writeList({lib, app, tool}, &marks);
    const std::string report = world.env.path("app.xml");

    const CliOutcome built = runCli({"build", list, "--project", "App", "--junit", report});
    EXPECT_EQ(built.status, 0) << built.err;
    EXPECT_EQ(outputLines(built.out).end()[-2], "OK\tﾌﾟﾛｼﾞｪｸﾄ互換\t" + app);
    ASSERT_EQ(world.recorded().size(), 1u);
    EXPECT_EQ(world.recorded()[0].back(), app);
    EXPECT_EQ(readFile(report).find("Lib"), std::string::npos) << "the report names the one project";
    EXPECT_NE(readFile(report).find("name=\"App\""), std::string::npos);

    // A failing project fails the command (after its rebuild, as the settings say); a path
    // selects as well as a name.
    const CliOutcome failed = runCli({"build", list, "--project=" + BuildWorld::host(tool)});
    EXPECT_EQ(failed.status, 1);
    EXPECT_TRUE(holds(failed.out, "result=")) << failed.out;
    EXPECT_EQ(outputLines(failed.out).end()[-2].substr(0, 3), "NG\t");
    EXPECT_TRUE(outputLines(failed.out).end()[-2].ends_with("\t" + tool));
    const std::size_t compiled = world.recorded().size();
    for (std::size_t k = 1; k < compiled; ++k)
        EXPECT_EQ(world.recorded()[k].back(), tool);

    const CliOutcome unknown = runCli({"build", list, "--project", "Nothing"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("its projects: Lib (" + lib + ")"), std::string::npos) << unknown.err;
    EXPECT_EQ(world.recorded().size(), compiled) << "nothing more was compiled";
    EXPECT_EQ(runCli({"build", list, "--project", "App", "--all"}).status, 2);
}

} // namespace
} // namespace pelorix::test
