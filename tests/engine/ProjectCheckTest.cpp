// pelorix-cli check: every kind of finding on one list, each once, with every file left as it was;
// a group and a clean list; the compiler command's own findings.
#include "BuildWorld.h"
#include "platform/Text.h"
#include "projectdata/ProjectDependencies.h"
#include "support/CliRun.h"
#include "support/RegistryWriter.h"

#include <filesystem>
#include <map>

#include <gtest/gtest.h>

namespace pelorix::test {
namespace {
namespace fs = std::filesystem;

constexpr const char* LibA = "{AAAAAAAA-0000-0000-0000-000000000001}";
constexpr const char* LibB = "{BBBBBBBB-0000-0000-0000-000000000002}";
constexpr const char* LibC = "{CCCCCCCC-0000-0000-0000-000000000003}";
constexpr const char* Grid = "{DDDDDDDD-0000-0000-0000-000000000004}";
constexpr const char* Tree = "{EEEEEEEE-0000-0000-0000-000000000005}";

// Library A registered in 1.0 and, later, 2.1 (its file is there); B registered with its file
// gone; C never registered; the control Tree registered with its file there.
RegistryWriter registrations() {
    RegistryWriter w;
    TypeLibRegistration lib;
    lib.guid = LibA;
    lib.win32 = "C:\\libs\\a.tlb";
    lib.time = RegistryKeyTime::unix(1700000000);
    w.addTypeLib(lib);
    lib.version = "2.1";
    lib.time = RegistryKeyTime::unix(1800000000);
    w.addTypeLib(lib);
    lib = {};
    lib.guid = LibB;
    lib.win32 = "C:\\libs\\b.tlb";
    w.addTypeLib(lib);
    lib = {};
    lib.guid = Tree;
    lib.version = "2.0";
    lib.win32 = "C:\\windows\\system32\\tree.ocx";
    w.addTypeLib(lib);
    return w;
}

struct CheckWorld {
    TestEnvironment env;

    CheckWorld() {
        writeFile(env.driveC() + "/libs/a.tlb", "not read");
        writeFile(env.driveC() + "/windows/system32/tree.ocx", "not read");
    }
    std::string project(const std::string& folder, const std::string& name,
                        const std::vector<std::string>& lines) {
        std::string text = "Type=OleDll\r\nName=\"" + name + "\"\r\n";
        for (const auto& line : lines)
            text += line + "\r\n";
        const std::string host = env.driveC() + "/src/" + folder + "/" + name + ".vbp";
        writeFile(host, sjis(text));
        return TestEnvironment::windowsPath(host);
    }
    std::string list(const std::vector<std::string>& paths, const std::string& enableState) {
        std::string text = "[ProjectName]\r\n";
        for (const auto& path : paths)
            text += path + "\r\n";
        writeFile(env.driveC() + "/lists/all.ini",
                  sjis(text + "[Build]\r\nEnableState=" + enableState + "\r\n"));
        return env.driveC() + "/lists/all.ini";
    }
};

TEST(ProjectCheck, ReportsEachFindingOnceAndChangesNoFile) {
    CheckWorld world;
    registrations().write(world.env); // no .vbp association: the prefix has no compiler
    const std::string user =
        world.project("user", "User",
                      {"Reference=*\\G" + std::string(LibA) + "#1.0#0#C:\\libs\\a.tlb#Library A",
                       "Reference=*\\G" + std::string(LibC) + "#1.0#0#..\\..\\libs\\c.tlb#Library C",
                       "Reference=*\\A..\\core\\Core.vbp", "Object=" + std::string(Grid) + "#1.0#0; grid.ocx",
                       "Object=" + std::string(Tree) + "#2.0#0; tree.ocx", "CompatibleMode=\"0\""});
    const std::string binary =
        world.project("bin", "Binary",
                      {"Reference=*\\G" + std::string(LibB) + "#1.0#0#C:\\libs\\b.tlb#Library B",
                       "CompatibleMode=\"2\"", "CompatibleEXE32=\"compat\\Binary.dll\""});
    const std::string core = world.project("core", "Core", {"CompatibleMode=\"0\""});
    const std::string unmarked =
        world.project("x", "Unmarked", {"Object=" + std::string(Grid) + "#1.0#0; grid.ocx"});
    const std::string list = world.list({user, binary, core, unmarked}, "1,2,3,");
    const auto before = snapshotFiles(world.env.root());

#ifdef _WIN32
    const std::string inThePrefix; // the system's own registry: no prefix to name
#else
    const std::string inThePrefix = " in the prefix " + world.env.prefix();
#endif
    const CliOutcome r = runCli({"check", list});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(outputLines(r.out),
              (std::vector<std::string>{
                  "error\t-\t-\tno compiler registered\tnothing is registered for .vbp under "
                  "shell\\open\\command" +
                      inThePrefix,
                  "warning\t" + user + "\t3\treference will change\tLibrary A: " + LibA + " 1.0 -> " + LibA +
                      " 2.1",
                  "error\t" + user +
                      "\t4\treference not registered\tLibrary C: no registration of C:\\libs\\c.tlb, "
                      "and the file does not exist",
                  "warning\t" + user + "\t5\treferenced project built later\t" + core +
                      " is built after this project: this project compiles against its previous binary",
                  "error\t" + user + "\t6\tcomponent not registered\tno registration of grid.ocx",
                  "error\t" + binary +
                      "\t3\tregistered library missing\tLibrary B: registered as C:\\libs\\b.tlb, "
                      "which does not exist",
                  "error\t" + binary +
                      "\t5\tcompatible binary missing\tC:\\src\\bin\\compat\\Binary.dll does not exist",
                  "checked 3 projects: 5 errors, 2 warnings"}));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(snapshotFiles(world.env.root()),
              before); // no byte changed, no file added (no error log either)
}

// A group is checked whole, in group order; a list without errors exits 0 with its warnings; a
// command whose program is missing and that has no place for the arguments is reported.
TEST(ProjectCheck, ChecksGroupsAndTheCompilerCommand) {
    CheckWorld world;
    registrations()
        .addShellAssociation(".vbp", "VisualBasic.Project", "shell\\open\\command", "\"C:\\vb\\VB6.EXE\" %1")
        .write(world.env);
    const std::string core = world.project("core", "Core", {"CompatibleMode=\"0\""});
    const std::string user = world.project("user", "User", {"Reference=*\\A..\\core\\Core.vbp"});
    writeFile(world.env.driveC() + "/src/All.vbg",
              "VBGROUP 5.0\r\nProject=core\\Core.vbp\r\nProject=user\\User.vbp\r\n"
              "Project=gone\\Gone.vbp\r\n");
    const CliOutcome group = runCli({"check", world.env.driveC() + "/src/All.vbg"});
    EXPECT_EQ(group.status, 1);
    EXPECT_EQ(
        outputLines(group.out),
        (std::vector<std::string>{
            "error\t-\t-\tcompiler program missing\tthe program of the .vbp command does not exist: "
            "\"C:\\vb\\VB6.EXE\" %1",
            "warning\t-\t-\tcompiler command without \"%1\"\tthe build's arguments have no place in the .vbp "
            "command: \"C:\\vb\\VB6.EXE\" %1",
            "error\tC:\\src\\gone\\Gone.vbp\t-\tproject file missing\tthe project file does not exist",
            "checked 3 projects: 2 errors, 1 warning"}));
    EXPECT_NE(group.err.find("line 4: project file not found: C:\\src\\gone\\Gone.vbp"), std::string::npos);

    writeFile(world.env.driveC() + "/vb/VB6.EXE", "MZ");
    const CliOutcome clean = runCli({"check", world.list({user, core}, "1,2,")});
    EXPECT_EQ(clean.status, 0);
    EXPECT_EQ(outputLines(clean.out).front().substr(0, 10), "warning\t-\t");
    EXPECT_NE(clean.out.find("warning\t" + user + "\t3\treferenced project built later"), std::string::npos);
    EXPECT_TRUE(clean.out.ends_with("checked 2 projects: 0 errors, 2 warnings\n"));

    EXPECT_EQ(runCli({"check"}).status, 2);
    EXPECT_EQ(runCli({"check", "a.ini", "--fast"}).status, 2);
    EXPECT_EQ(runCli({"check", world.env.root() + "/none.ini"}).status, 1);
}

// The check reads a project file's keys as the compiler, the update, the build order and the
// up-to-date check do: a key that holds one value is its last line, and the lines of an add-in's
// section are no keys of the project.
TEST(ProjectCheck, ReadsTheKeysAsTheCompilerDoes) {
    CheckWorld world;
    registrations().write(world.env);
    writeFile(world.env.driveC() + "/src/p/last.dll", "MZ");
    const std::string project =
        world.project("p", "P",
                      {"CompatibleMode=\"2\"", "CompatibleEXE32=\"gone.dll\"", "CompatibleEXE32=\"last.dll\"",
                       "[Add-in]", "Reference=*\\G" + std::string(LibC) + "#1.0#0#c.tlb#C",
                       "Object=" + std::string(Grid) + "#1.0#0; grid.ocx", "CompatibleEXE32=\"addin.dll\""});
    const CliOutcome r = runCli({"check", world.list({project}, "1,")});
    EXPECT_FALSE(holds(r.out, "compatible binary missing")) << r.out;
    EXPECT_FALSE(holds(r.out, "not registered")) << r.out;
    // The last line's file is the one read for its library (this one has none).
    EXPECT_TRUE(holds(r.out, "\t5\tcompatible binary holds no type library\tCompatibleEXE32 cannot be read: "
                             "C:\\src\\p\\last.dll: "))
        << r.out;
    EXPECT_TRUE(r.out.ends_with("checked 1 project: 1 error, 1 warning\n")) << "no compiler only: " << r.out;
    EXPECT_EQ(readProjectFacts(project).compatiblePath, "C:\\src\\p\\last.dll");
}

} // namespace
} // namespace pelorix::test
