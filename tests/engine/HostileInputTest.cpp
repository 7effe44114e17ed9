// What a user hands pelorix-cli that is not what the command expects: report paths that are the
// run's own files, group lines that are no projects, linked and FIFO project files, compilers
// left running, lists that are no lists, and the messages that must name each cause. Every case
// runs the command as a user would and checks that no byte that should stay was lost.
#include "BuildWorld.h"
#include "platform/CFWin32API.h"
#include "platform/ProgramFolderLock.h"
#include "support/CliRun.h"
#include "support/RegistryWriter.h"

#include <csignal>
#include <filesystem>
#include <functional>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

extern char** environ;

namespace pelorix::test {
namespace {
namespace fs = std::filesystem;

bool holds(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

void makeFifo(const std::string& hostPath) {
    fs::create_directories(fs::path(hostPath).parent_path());
    ASSERT_EQ(::mkfifo(hostPath.c_str(), 0644), 0) << hostPath;
}

bool isFifo(const std::string& hostPath) {
    struct stat st {};
    return ::lstat(hostPath.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

// A world with two projects in a list, both marked.
struct ListWorld {
    BuildWorld world;
    std::string alpha = world.addProject("a", "Alpha", {"CompatibleMode=\"0\""});
    std::string beta = world.addProject("b", "Beta", {"CompatibleMode=\"0\""});
    std::string state = "1,2,";
    std::string list = world.writeList({alpha, beta}, &state);
    std::string listHost = BuildWorld::host(list);
};

// ---- Data loss ---------------------------------------------------------------------------------

// A report path that leads to one of the run's files, however it is spelt, or to something that
// is no regular file, is refused before anything is built, and the file keeps its bytes.
TEST(HostileInput, DataLossReportPathsThatAreTheRunsFilesAreRefused) {
    struct Case {
        std::string name;
        std::function<std::string(ListWorld&)> reportPath; // a host path; made by the case
        std::string says;
    };
    const std::vector<Case> cases = {
        {"the list", [](ListWorld& w) { return w.listHost; }, "is the project list"},
        {"the list spelt another way",
         [](ListWorld& w) { return fs::path(w.listHost).parent_path().string() + "/../lists/build.ini"; },
         "is the project list"},
        {"a link to the list",
         [](ListWorld& w) {
             const std::string link = w.world.env.path("link.xml");
             fs::create_symlink(w.listHost, link);
             return link;
         },
         "is the project list"},
        {"a project file", [](ListWorld& w) { return BuildWorld::host(w.beta); }, "is the project file"},
        {"Pelorix.ini", [](ListWorld& w) { return w.world.env.home() + "/Pelorix.ini"; },
         "is the settings file"},
        {"Pelorix.log",
         [](ListWorld& w) {
             writeFile(w.world.env.home() + "/Pelorix.log", "earlier lines\r\n");
             return w.world.env.home() + "/Pelorix.log";
         },
         "is the error log"},
        {"a folder",
         [](ListWorld& w) {
             fs::create_directories(w.world.env.path("reports/out.xml"));
             return w.world.env.path("reports/out.xml");
         },
         "is a folder, not a regular file"},
        {"a FIFO",
         [](ListWorld& w) {
             makeFifo(w.world.env.path("report.fifo"));
             return w.world.env.path("report.fifo");
         },
         "is a FIFO (named pipe), not a regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ListWorld w;
        const std::string report = c.reportPath(w);
        const auto before = snapshotFiles(w.world.env.root());
        const CliOutcome r = runCli({"build", w.listHost, "--junit", report});
        auto after = snapshotFiles(w.world.env.root());
        after.erase(w.world.env.home() + "/Pelorix.lock"); // taken before the list is read
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(holds(r.err, "the JUnit report path " + report + " " + c.says)) << r.err;
        EXPECT_TRUE(holds(r.err, "nothing was built")) << r.err;
        EXPECT_TRUE(w.world.recorded().empty());
        EXPECT_EQ(after, before);
        EXPECT_FALSE(isFifo(report) && c.name != "a FIFO");
    }
}

// Import, check and build take only project files from a group: the group itself and a text file
// are named as left out and never rewritten.
TEST(HostileInput, DataLossGroupLinesThatAreNoProjectsAreLeftOut) {
    BuildWorld world;
    const std::string alpha = world.addProject("g", "Alpha", {"CompatibleMode=\"0\""});
    const std::string notes = world.env.driveC() + "/g/notes.txt";
    writeFile(notes, "CompatibleMode=\"1\"\nkeep these bytes\n");
    const std::string group = world.env.driveC() + "/g/all.vbg";
    writeFile(group, "VBGROUP 5.0\r\nProject=all.vbg\r\nProject=notes.txt\r\nStartupProject=Alpha.vbp\r\n");
    const std::string groupBefore = readFile(group);
    const std::string notesBefore = readFile(notes);
    for (const std::string command : {"import", "check", "build"}) {
        SCOPED_TRACE(command);
        const CliOutcome r = runCli({command, group});
        EXPECT_TRUE(holds(r.err, "line 2: left out: all.vbg is not a project file (.vbp)")) << r.err;
        EXPECT_TRUE(holds(r.err, "line 3: left out: notes.txt is not a project file (.vbp)")) << r.err;
        EXPECT_EQ(readFile(group), groupBefore);
        EXPECT_EQ(readFile(notes), notesBefore);
    }
    ASSERT_EQ(world.recorded().size(), 1u);
    EXPECT_TRUE(holds(world.recorded()[0].back(), "Alpha.vbp")) << world.recorded()[0].back();
}

// An update keeps what the project file's name is: a symbolic link stays one and the file it
// leads to is updated; a hard-linked file is written in place, so every name sees the update; a
// FIFO is refused and stays a FIFO.
TEST(HostileInput, DataLossLinkedAndFifoProjectFilesKeepWhatTheyAre) {
    struct Case {
        std::string name;
        std::function<std::string(BuildWorld&, const std::string&)> project; // from the real file
        int status;
        std::function<void(BuildWorld&, const std::string&, const std::string&)> check;
    };
    const auto updated = [](const std::string& hostPath) {
        return holds(readFile(hostPath), "CompatibleMode=\"1\"");
    };
    const std::vector<Case> cases = {
        {"a symbolic link",
         [](BuildWorld& w, const std::string& real) {
             const std::string link = w.env.driveC() + "/p/Link.vbp";
             fs::create_symlink(real, link);
             return link;
         },
         0,
         [&](BuildWorld&, const std::string& given, const std::string& real) {
             EXPECT_TRUE(fs::is_symlink(given));
             EXPECT_EQ(fs::read_symlink(given).string(), real);
             EXPECT_TRUE(updated(real));
             EXPECT_TRUE(fs::exists(real + ".org")); // the backup lies beside the file updated
         }},
        {"a second hard link",
         [](BuildWorld& w, const std::string& real) {
             const std::string other = w.env.driveC() + "/p/Other.vbp";
             fs::create_hard_link(real, other);
             return other;
         },
         0,
         [&](BuildWorld&, const std::string& given, const std::string& real) {
             EXPECT_TRUE(fs::equivalent(given, real));
             EXPECT_EQ(fs::hard_link_count(real), 2u);
             EXPECT_TRUE(updated(real));
             EXPECT_TRUE(holds(readFile(given + ".org"), "CompatibleMode=\"0\""));
         }},
        {"a FIFO",
         [](BuildWorld& w, const std::string&) {
             const std::string fifo = w.env.driveC() + "/p/Pipe.vbp";
             makeFifo(fifo);
             return fifo;
         },
         1,
         [&](BuildWorld&, const std::string& given, const std::string&) {
             EXPECT_TRUE(isFifo(given));
             EXPECT_FALSE(fs::exists(given + ".org"));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BuildWorld world;
        const std::string real = BuildWorld::host(world.addProject("p", "Real", {"CompatibleMode=\"0\""}));
        const std::string given = c.project(world, real);
        const CliOutcome r = runCli({"update", given, "--mode", "1"});
        EXPECT_EQ(r.status, c.status) << r.err;
        c.check(world, given, real);
        if (c.status != 0) {
            EXPECT_TRUE(holds(r.err, "ﾌｧｲﾙではなく名前付きﾊﾟｲﾌﾟ(FIFO)です。")) << r.err;
        }
    }
}

// ---- Failures reported as success --------------------------------------------------------------

// A process started for the test and ended by it, by its id.
class OwnProcess {
public:
    OwnProcess() {
        const char* argv[] = {"sleep", "600", nullptr};
        EXPECT_EQ(::posix_spawnp(&m_pid, "sleep", nullptr, nullptr, const_cast<char**>(argv), environ), 0);
    }
    ~OwnProcess() { end(); }
    OwnProcess(const OwnProcess&) = delete;
    OwnProcess& operator=(const OwnProcess&) = delete;
    pid_t pid() const noexcept { return m_pid; }
    void end() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = 0;
        }
    }

private:
    pid_t m_pid = 0;
};

// A compiler an earlier build left running would write its log where this build reads: the lock
// counts as held until it has ended; then the record is cleared and the build runs.
TEST(HostileInput, ReportedSuccessACompilerLeftRunningKeepsTheLock) {
    ListWorld w;
    OwnProcess stray;
    ASSERT_TRUE(ProgramFolderLock::recordStrayProcess(stray.pid()));
    const std::string report = w.world.env.path("report.xml");
    const CliOutcome refused = runCli({"build", w.listHost, "--junit", report});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(holds(refused.err, "left running (process " + std::to_string(stray.pid()) + ")"))
        << refused.err;
    EXPECT_TRUE(w.world.recorded().empty());
    EXPECT_TRUE(holds(readFile(report), "errors=\"1\"")) << readFile(report);

    stray.end();
    const CliOutcome built = runCli({"build", w.listHost});
    EXPECT_EQ(built.status, 0) << built.err;
    EXPECT_EQ(w.world.recorded().size(), 2u);
    EXPECT_EQ(readFile(w.world.env.home() + "/Pelorix.lock"), "");
}

// The window's engine leaves a compiler past its limit running: it is recorded at once.
TEST(HostileInput, ReportedSuccessTheWindowsCompilerPastItsLimitIsRecorded) {
    BuildWorld world;
    world.setting("Build", "ProcessWaitLimit", "300");
    const std::string a = world.addProject("a", "Alpha", {"CompatibleMode=\"0\"", "StandIn=hang"});
    {
        EngineRun run;
        run.load({a});
        EXPECT_EQ(run.build({1}), 99);
    }
    const ProgramFolderLock lock = ProgramFolderLock::tryAcquire();
    EXPECT_EQ(lock.state(), ProgramFolderLock::State::Busy);
    EXPECT_NE(lock.strayProcess(), 0);
    fs::remove(BuildWorld::host(a)); // the stand-in ends with its project file
}

// A run refused or stopped before its first project replaces the earlier report with one whose
// error is the run's; a file that is no list, or a list through a pipe, is an error naming it.
TEST(HostileInput, ReportedSuccessRefusedRunsAndNoListsAreErrors) {
    struct Case {
        std::string name;
        std::vector<std::string> args; // "LIST" and "REPORT" are replaced
        std::function<void(ListWorld&)> setup;
        std::string says;
    };
    int pipeEnds[2] = {-1, -1};
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const std::string listThroughPipe = "/dev/fd/" + std::to_string(pipeEnds[0]);
    const std::vector<Case> cases = {
        {"another build holds the lock",
         {"build", "LIST", "--junit", "REPORT"},
         nullptr,
         "another build is running"},
        {"the list is unreadable",
         {"build", "LIST", "--junit", "REPORT"},
         [](ListWorld& w) { fs::remove(w.listHost); },
         "ﾌｧｲﾙが見つかりません。"},
        {"random bytes to check",
         {"check", "LIST"},
         [](ListWorld& w) { writeFile(w.listHost, std::string("\x01\xfe\x80garbage\x00\x7f", 12)); },
         "[ProjectName]ｾｸｼｮﾝがありません。"},
        {"a project file to check", {"check", "PROJECT"}, nullptr, "[ProjectName]ｾｸｼｮﾝがありません。"},
        {"a project file to build",
         {"build", "PROJECT", "--junit", "REPORT"},
         nullptr,
         "[ProjectName]ｾｸｼｮﾝがありません。"},
        {"a list through a pipe", {"check", listThroughPipe}, nullptr, "名前付きﾊﾟｲﾌﾟ(FIFO)です。"},
        {"a list through a pipe to build", {"build", listThroughPipe}, nullptr, "名前付きﾊﾟｲﾌﾟ(FIFO)です。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ListWorld w;
        const std::string report = w.world.env.path("report.xml");
        writeFile(report, "<testsuites tests=\"2\" failures=\"0\" errors=\"0\"/>");
        std::optional<ProgramFolderLock> other;
        if (c.name == "another build holds the lock")
            other.emplace(ProgramFolderLock::tryAcquire());
        if (c.setup)
            c.setup(w);
        std::vector<std::string> args;
        for (const std::string& a : c.args)
            args.push_back(a == "LIST"      ? w.listHost
                           : a == "REPORT"  ? report
                           : a == "PROJECT" ? BuildWorld::host(w.alpha)
                                            : a);
        const CliOutcome r = runCli(args);
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_TRUE(holds(r.out + r.err, c.says)) << r.out << r.err;
        EXPECT_FALSE(holds(r.out, "checked 0 projects")) << r.out;
        EXPECT_TRUE(w.world.recorded().empty());
        if (c.args.size() > 2) {
            EXPECT_TRUE(holds(readFile(report), "errors=\"1\"")) << readFile(report);
            EXPECT_TRUE(holds(readFile(report), "name=\"(run)\"")) << readFile(report);
        }
    }
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
}

// ---- Hangs -------------------------------------------------------------------------------------

// A FIFO nobody writes to, given as any input, is refused at once with its name: none of these
// commands waits for a writer (a hang here fails the test by its time-out).
TEST(HostileInput, HangsFifoInputsAreRefusedAtOnce) {
    struct Case {
        std::vector<std::string> args; // "FIFO" is replaced by the FIFO's path
        std::string fifoName;
    };
    const std::vector<Case> cases = {
        {{"project", "FIFO"}, "p.vbp"},       {{"update", "FIFO", "--mode", "0"}, "u.vbp"},
        {{"import", "FIFO"}, "b.bat"},        {{"import", "FIFO"}, "g.vbg"},
        {{"check", "FIFO"}, "l.ini"},         {{"build", "FIFO"}, "l.ini"},
        {{"build", "FIFO"}, "g.vbg"},         {{"typelib-info", "FIFO"}, "t.tlb"},
        {{"check", "LISTWITHFIFO"}, "m.vbp"}, {{"build", "LISTWITHFIFO", "--all"}, "m.vbp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.fifoName);
        BuildWorld world;
        const std::string fifo = world.env.driveC() + "/f/" + c.fifoName;
        makeFifo(fifo);
        std::string list;
        if (c.args[1] == "LISTWITHFIFO")
            list = BuildWorld::host(world.writeList({TestEnvironment::windowsPath(fifo)}));
        std::vector<std::string> args;
        for (const std::string& a : c.args)
            args.push_back(a == "FIFO" ? fifo : a == "LISTWITHFIFO" ? list : a);
        const CliOutcome r = runCli(args);
        EXPECT_NE(r.status, 0);
        EXPECT_TRUE(holds(r.out + r.err, c.args[0] == "typelib-info" ? "not a regular file" : "FIFO"))
            << r.out << r.err;
        EXPECT_TRUE(isFifo(fifo));
        EXPECT_TRUE(ProgramFolderLock::tryAcquire().held());
        EXPECT_TRUE(world.recorded().empty());
    }
}

// A missing project fails its update at once: with pauses of ten minutes a run of two missing
// projects would not end within the test's time-out.
TEST(HostileInput, HangsMissingProjectsSkipThePauses) {
    BuildWorld world;
    world.setting("Build", "LogWaitTime", "600000");
    const std::string list = world.writeList({"C:\\gone\\One.vbp", "C:\\gone\\Two.vbp"});
    const CliOutcome r = runCli({"build", BuildWorld::host(list), "--all"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(holds(r.out, "result=6")) << r.out;
}

// ---- Messages ----------------------------------------------------------------------------------

// Each message names its cause: the path, and what is wrong with it.
TEST(HostileInput, MessagesNameTheirCause) {
    struct Case {
        std::string name;
        std::function<std::vector<std::string>(ListWorld&)> prepare; // the command line
        std::vector<std::string> says;                               // in the output or errors
        bool fails = true;
    };
    const auto home = [](ListWorld& w) { return w.world.env.home(); };
    const std::vector<Case> cases = {
        {"Pelorix.lock is a folder",
         [&](ListWorld& w) {
             fs::create_directories(home(w) + "/Pelorix.lock");
             return std::vector<std::string>{"build", w.listHost};
         },
         {"cannot take the build lock", "/Pelorix.lock: it is a folder"}},
        {"Pelorix.lock leads nowhere",
         [&](ListWorld& w) {
             fs::create_symlink(home(w) + "/gone", home(w) + "/Pelorix.lock");
             return std::vector<std::string>{"build", w.listHost};
         },
         {"/Pelorix.lock: it is a symbolic link to nothing"}},
        {"an unknown code page",
         [](ListWorld& w) {
             w.world.env.setCodePage("bogus");
             return std::vector<std::string>{"check", w.listHost};
         },
         {"PELORIX_CODEPAGE=bogus", "code pages that work: CP932"}},
        {"Pelorix.ini is a folder",
         [&](ListWorld& w) {
             fs::remove(home(w) + "/Pelorix.ini");
             fs::create_directories(home(w) + "/Pelorix.ini");
             return std::vector<std::string>{"check", w.listHost};
         },
         {"the settings file ", "/Pelorix.ini is a folder"},
         false},
        {"the compiler log's name is a folder",
         [&](ListWorld& w) {
             fs::create_directories(home(w) + "/Alpha.log");
             return std::vector<std::string>{"build", w.listHost};
         },
         {"Alphaのｺﾝﾊﾟｲﾗのﾛｸﾞをﾌｧｲﾙとして作成できません。ﾌｧｲﾙではなくﾌｫﾙﾀﾞです。", "Alpha.log]"}},
        {"a project name too long for a log",
         [](ListWorld& w) {
             const std::string p = w.world.env.driveC() + "/n/Short.vbp";
             writeFile(p, "Type=Exe\r\nName=\"" + std::string(300, 'N') + "\"\r\n");
             const std::string list = w.world.writeList({TestEnvironment::windowsPath(p)});
             return std::vector<std::string>{"build", BuildWorld::host(list), "--all"};
         },
         {"ｺﾝﾊﾟｲﾗのﾛｸﾞをﾌｧｲﾙとして作成できません。ファイル名または拡張子が長すぎます。"}},
        {"an empty list",
         [](ListWorld& w) {
             writeFile(w.listHost, "[ProjectName]\r\n");
             return std::vector<std::string>{"build", w.listHost};
         },
         {"the list has no project; nothing to build", "result=7"}},
        {"a list with no mark",
         [](ListWorld& w) {
             return std::vector<std::string>{"build", BuildWorld::host(w.world.writeList({w.alpha}))};
         },
         {"no project is marked for building"}},
        {"a compiler that is no program",
         [](ListWorld& w) {
             const std::string program = w.world.env.driveC() + "/tools/vb6.exe";
             writeFile(program, "not a program");
             RegistryWriter()
                 .addShellAssociation(".vbp", "VisualBasic.Project", "shell\\open\\command",
                                      "\"" + TestEnvironment::windowsPath(program) + "\" \"%1\"")
                 .write(w.world.env);
             return std::vector<std::string>{"build", w.listHost};
         },
         {"/tools/vb6.exe は有効な Win32 アプリケーションではありません。"}},
        {"check of a compiler that is no program",
         [](ListWorld& w) {
             const std::string program = w.world.env.driveC() + "/tools/vb6.exe";
             writeFile(program, "not a program");
             RegistryWriter()
                 .addShellAssociation(".vbp", "VisualBasic.Project", "shell\\open\\command",
                                      "\"" + TestEnvironment::windowsPath(program) + "\" \"%1\"")
                 .write(w.world.env);
             return std::vector<std::string>{"check", w.listHost};
         },
         {"compiler program cannot start", "/tools/vb6.exe は有効な"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ListWorld w;
        const CliOutcome r = runCli(c.prepare(w));
        EXPECT_EQ(r.status != 0, c.fails);
        for (const std::string& part : c.says)
            EXPECT_TRUE(holds(r.out + r.err, part)) << part << "\n" << r.out << r.err;
        EXPECT_FALSE(holds(r.out + r.err, "%1"));
        EXPECT_FALSE(holds(r.out + r.err, "ﾐﾘ秒以内に作成されませんでした")) << r.out;
    }
}

} // namespace
} // namespace pelorix::test
