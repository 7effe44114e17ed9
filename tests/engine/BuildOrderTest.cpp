// pelorix-cli order and the order findings of check, on lists and groups whose projects use
// each other's outputs.
#include "BuildWorld.h"
#include "support/CliRun.h"

#include <gtest/gtest.h>

namespace pelorix::test {
namespace {

// Client uses Lib's DLL by its path, Tool uses Lib's project file; Other stands alone.
struct OrderWorld {
    BuildWorld world;
    std::string lib = world.addProject("src/lib", "Lib", {"ExeName32=\"Lib.dll\""}, "OleDll");
    std::string client = world.addProject("src/client", "Client",
                                          {"Reference=*\\G{AAAAAAAA-0000-0000-0000-000000000001}#1.0#0#"
                                           "..\\lib\\Lib.dll#Lib"});
    std::string tool = world.addProject("src/tool", "Tool", {"Reference=*\\A..\\lib\\Lib.vbp"});
    std::string other = world.addProject("src/other", "Other", {});
};

TEST(BuildOrder, OrderPrintsLibrariesFirstAndWriteKeepsEveryMark) {
    OrderWorld w;
    const std::string marks = "1,3,";
    const std::string list = w.world.writeList({w.client, w.other, w.lib, w.tool}, &marks);
    const std::string host = BuildWorld::host(list);
    writeFile(host, readFile(host) + "Index=2\r\n");

    const CliOutcome printed = runCli({"order", list});
    EXPECT_EQ(printed.status, 0) << printed.err;
    EXPECT_EQ(outputLines(printed.out), (std::vector<std::string>{w.lib, w.client, w.other, w.tool}));
    const std::string before = readFile(host);
    EXPECT_EQ(before, readFile(host)) << "order without --write changes nothing";

    // check names both projects of the order it warns about.
    const CliOutcome checked = runCli({"check", list, "--all"});
    EXPECT_NE(checked.out.find("warning\t" + w.client + "\t3\tdependency built later\t" + w.lib),
              std::string::npos)
        << checked.out;

    const CliOutcome written = runCli({"order", list, "--write"});
    EXPECT_EQ(written.status, 0) << written.err;
    // Client (row 1) and Lib (row 3) stay marked at their new rows 2 and 1; Index 2 (Other) is 3.
    EXPECT_EQ(readFile(host), sjis("[ProjectName]\r\n" + w.lib + "\r\n" + w.client + "\r\n" + w.other +
                                   "\r\n" + w.tool + "\r\n[Build]\r\nEnableState=1,2,\r\nIndex=3\r\n"));
    EXPECT_EQ(outputLines(runCli({"order", list}).out), outputLines(printed.out));

    // A list in order already is left byte for byte.
    const std::string ordered = readFile(host);
    EXPECT_EQ(runCli({"order", list, "--write"}).status, 0);
    EXPECT_EQ(readFile(host), ordered);
    EXPECT_EQ(runCli({"check", list, "--all"}).out.find("dependency"), std::string::npos);
}

TEST(BuildOrder, GroupListedClientFirstAndCyclesAreNamed) {
    OrderWorld w;
    const std::string group = w.world.env.driveC() + "/src/All.vbg";
    writeFile(group, "VBGROUP 5.0\r\nStartupProject=client\\Client.vbp\r\nProject=lib\\Lib.vbp\r\n");
    const CliOutcome printed = runCli({"order", group});
    EXPECT_EQ(outputLines(printed.out), (std::vector<std::string>{w.lib, w.client}));
    EXPECT_EQ(runCli({"order", group, "--write"}).status, 2) << "a group is not rewritten";

    // Two projects that need each other: an error in check, exit 1 and no rewrite in order.
    const std::string a = w.world.addProject("cyc/a", "A", {"Reference=*\\A..\\b\\B.vbp"});
    const std::string b = w.world.addProject("cyc/b", "B", {"Reference=*\\A..\\a\\A.vbp"});
    const std::string list = w.world.writeList({w.other, a, b});
    const std::string before = readFile(BuildWorld::host(list));
    const CliOutcome cycle = runCli({"order", list, "--write"});
    EXPECT_EQ(cycle.status, 1);
    EXPECT_NE(cycle.err.find("cycle: " + a + " " + b), std::string::npos) << cycle.err;
    EXPECT_EQ(readFile(BuildWorld::host(list)), before);
    const CliOutcome checked = runCli({"check", list, "--all"});
    EXPECT_EQ(checked.status, 1);
    EXPECT_NE(checked.out.find("error\t" + a + "\t-\tdependency cycle\t"), std::string::npos) << checked.out;
}

} // namespace
} // namespace pelorix::test
