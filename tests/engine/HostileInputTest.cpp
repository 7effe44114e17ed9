// What a user hands pelorix-cli that is not what a command expects, one table per kind of harm:
// each case runs the command as a user would and checks what it says and that no byte that should
// stay was lost.
#include "BuildWorld.h"
#include "platform/ProgramFolderLock.h"
#include "platform/Text.h"
#include "support/CliRun.h"
#include "support/RegistryWriter.h"

#include <csignal>
#include <filesystem>
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

bool isFifo(const std::string& hostPath) {
    struct stat st {};
    return ::lstat(hostPath.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

// Two marked projects in a list, and what a case makes of the world: "make:fifo:PATH",
// "make:folder:PATH", "make:link:PATH", "make:hardlink:PATH" create PATH (relative to the root)
// from the first project; "LIST", "ALPHA", "HOME" and "ROOT" in an argument are replaced by the
// host paths of the list, the first project, the program folder and the test's root.
struct World {
    BuildWorld world;
    std::string alpha = world.addProject("a", "Alpha", {"CompatibleMode=\"0\""});
    std::string beta = world.addProject("b", "Beta", {"CompatibleMode=\"0\""});
    std::string state = "1,2,";
    std::string list = BuildWorld::host(world.writeList({alpha, beta}, &state));

    std::string expand(std::string text) const {
        for (const auto& [name, value] : {std::pair<std::string, std::string>{"LIST", list},
                                          {"ALPHA", BuildWorld::host(alpha)},
                                          {"HOME", world.env.home()},
                                          {"ROOT", world.env.root()}})
            text = replaceAll(text, name, value);
        return text;
    }
    void make(const std::string& step) const {
        // KIND:PATH[:REST], REST taken whole (a file's bytes may hold ':').
        const auto first = step.find(':');
        const auto second = step.find(':', first + 1);
        std::vector<std::string> parts = {step.substr(0, first), step.substr(first + 1, second - first - 1)};
        if (second != std::string::npos)
            parts.push_back(step.substr(second + 1));
        const std::string path = expand(parts.at(1));
        fs::create_directories(fs::path(path).parent_path());
        if (parts[0] == "fifo")
            ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
        else if (parts[0] == "folder")
            fs::create_directories(path);
        else if (parts[0] == "link")
            fs::create_symlink(parts.size() > 2 ? expand(parts[2]) : BuildWorld::host(alpha), path);
        else if (parts[0] == "hardlink")
            fs::create_hard_link(BuildWorld::host(alpha), path);
        else
            writeFile(path, parts.size() > 2 ? parts[2] : std::string());
    }
    void prepare(const std::vector<std::string>& steps) const {
        for (const std::string& step : steps)
            make(step);
    }
    CliOutcome invoke(const std::vector<std::string>& args) const {
        std::vector<std::string> expanded;
        for (const std::string& a : args)
            expanded.push_back(expand(a));
        return runCli(expanded);
    }
    CliOutcome run(const std::vector<std::string>& steps, const std::vector<std::string>& args) const {
        prepare(steps);
        return invoke(args);
    }
};

// ---- Data loss ---------------------------------------------------------------------------------

// A report path that leads to one of the run's files, however it is spelt, or to no regular file
// is refused before anything is built; a group's lines that are no projects are left out; a linked
// project file keeps its links, a FIFO stays a FIFO. No file changes but those updated.
TEST(HostileInput, DataLoss) {
    struct Case {
        std::vector<std::string> steps;
        std::vector<std::string> args;
        int status;
        std::string says;
    };
    const std::string refused = "nothing was built";
    const std::vector<Case> cases = {
        {{}, {"build", "LIST", "--junit", "LIST"}, 1, "is the project list"},
        {{},
         {"build", "LIST", "--junit", "ROOT/prefix/drive_c/a/../lists/build.ini"},
         1,
         "is the project list"},
        {{"link:ROOT/r.xml:LIST"}, {"build", "LIST", "--junit", "ROOT/r.xml"}, 1, "is the project list"},
        {{}, {"build", "LIST", "--junit", "ALPHA"}, 1, "is the project file"},
        {{}, {"build", "LIST", "--junit", "HOME/Pelorix.ini"}, 1, "is the settings file"},
        {{"file:HOME/Pelorix.log:old"},
         {"build", "LIST", "--junit", "HOME/Pelorix.log"},
         1,
         "is the error log"},
        {{"folder:ROOT/r.xml"},
         {"build", "LIST", "--junit", "ROOT/r.xml"},
         1,
         "is a folder, not a regular file"},
        {{"fifo:ROOT/r.xml"}, {"build", "LIST", "--junit", "ROOT/r.xml"}, 1, "is a FIFO (named pipe), not a"},
        {{"file:ROOT/prefix/drive_c/a/notes.txt:CompatibleMode=\"1\"\n",
          "file:ROOT/prefix/drive_c/a/g.vbg:VBGROUP "
          "5.0\r\nProject=g.vbg\r\nProject=notes.txt\r\nProject=Alpha.vbp\r\n"},
         {"build", "ROOT/prefix/drive_c/a/g.vbg"},
         0,
         "line 3: left out: notes.txt is not a project file (.vbp)"},
        {{"file:ROOT/prefix/drive_c/a/g.vbg:VBGROUP 5.0\r\nProject=g.vbg\r\n"},
         {"import", "ROOT/prefix/drive_c/a/g.vbg"},
         0,
         "line 2: left out: g.vbg is not a project file (.vbp)"},
        {{"link:ROOT/prefix/drive_c/a/Link.vbp"},
         {"update", "ROOT/prefix/drive_c/a/Link.vbp", "--mode", "1"},
         0,
         ""},
        {{"hardlink:ROOT/prefix/drive_c/a/Other.vbp"},
         {"update", "ROOT/prefix/drive_c/a/Other.vbp", "--mode", "1"},
         0,
         ""},
        {{"fifo:ROOT/prefix/drive_c/a/Pipe.vbp"},
         {"update", "ROOT/prefix/drive_c/a/Pipe.vbp", "--mode", "1"},
         1,
         "ﾌｧｲﾙではなく名前付きﾊﾟｲﾌﾟ(FIFO)です。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        World w;
        w.prepare(c.steps);
        auto before = snapshotFiles(w.world.env.root());
        const CliOutcome r = w.invoke(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_TRUE(holds(r.err, c.says)) << r.err;
        EXPECT_EQ(holds(r.err, refused), c.args.size() > 2 && c.args[2] == "--junit") << r.err;
        auto after = snapshotFiles(w.world.env.root());
        const std::string alpha = BuildWorld::host(w.alpha);
        if (c.args[0] == "update" && c.status == 0) {
            // The file the link leads to (or the file of both names) is updated, its backup beside it.
            EXPECT_TRUE(holds(after[alpha], "CompatibleMode=\"1\"")) << after[alpha];
            EXPECT_TRUE(fs::exists(alpha + ".org") || fs::exists(w.expand(c.args[1]) + ".org"));
            EXPECT_TRUE(fs::is_symlink(w.expand(c.args[1])) || fs::hard_link_count(alpha) == 2);
            continue;
        }
        EXPECT_FALSE(c.args[0] == "build" && c.status == 0 && w.world.recorded().size() != 1);
        for (auto* files : {&before, &after})
            std::erase_if(*files, [&](const auto& file) {
                return holds(file.first, "Pelorix.lock") || holds(file.first, "standin") ||
                       (file.first == alpha && c.status == 0) || holds(file.first, "Alpha.log");
            });
        for (const auto& [path, bytes] : before)
            EXPECT_EQ(after[path], bytes) << path;
        for (const std::string& step : c.steps)
            EXPECT_TRUE(!step.starts_with("fifo:") || isFifo(w.expand(step.substr(5))));
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
        if (m_pid > 0 && ::kill(m_pid, SIGKILL) == 0)
            ::waitpid(m_pid, nullptr, 0);
        m_pid = 0;
    }

private:
    pid_t m_pid = 0;
};

// A compiler an earlier build left running (the window's engine leaves one past its limit) keeps
// the lock until it ends; a run refused or stopped before its first project replaces the earlier
// report with its error; a file that is no list, or a list through a pipe, is an error naming it.
TEST(HostileInput, ReportedSuccess) {
    {
        World w;
        w.world.setting("Build", "ProcessWaitLimit", "300");
        const std::string hung = w.world.addProject("h", "Hung", {"StandIn=hang"});
        EngineRun run;
        run.load({hung});
        EXPECT_EQ(run.build({1}), 99);
        EXPECT_NE(ProgramFolderLock::tryAcquire().strayProcess(), 0);
        fs::remove(BuildWorld::host(hung)); // the stand-in ends with its project file
    }
    int pipeEnds[2] = {-1, -1};
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const std::string pipeList = "/dev/fd/" + std::to_string(pipeEnds[0]);
    struct Case {
        std::string situation; // "stray", "locked" or a world step
        std::vector<std::string> args;
        std::string says;
    };
    const std::vector<Case> cases = {
        {"stray", {"build", "LIST", "--junit", "ROOT/r.xml"}, "left running (process "},
        {"locked", {"build", "LIST", "--junit", "ROOT/r.xml"}, "another build is running"},
        {"file:LIST:\x01\xfe\x80garbage",
         {"build", "LIST", "--junit", "ROOT/r.xml"},
         "[ProjectName]ｾｸｼｮﾝがありません。"},
        {"", {"build", "ALPHA", "--junit", "ROOT/r.xml"}, "[ProjectName]ｾｸｼｮﾝがありません。"},
        {"", {"build", "ROOT/gone.ini", "--junit", "ROOT/r.xml"}, "ﾌｧｲﾙが見つかりません。"},
        {"", {"check", "ALPHA"}, "[ProjectName]ｾｸｼｮﾝがありません。"},
        {"", {"check", pipeList}, "名前付きﾊﾟｲﾌﾟ(FIFO)です。"},
        {"", {"build", pipeList}, "名前付きﾊﾟｲﾌﾟ(FIFO)です。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.situation + " " + c.args[1]);
        World w;
        writeFile(w.expand("ROOT/r.xml"), "<testsuites tests=\"2\" failures=\"0\" errors=\"0\"/>");
        OwnProcess stray;
        ASSERT_TRUE(c.situation != "stray" || ProgramFolderLock::recordStrayProcess(stray.pid()));
        std::optional<ProgramFolderLock> other;
        if (c.situation == "locked")
            other.emplace(ProgramFolderLock::tryAcquire());
        const CliOutcome r = w.run(
            c.situation.starts_with("file:") ? std::vector{c.situation} : std::vector<std::string>{}, c.args);
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_TRUE(holds(r.out + r.err, c.says)) << r.out << r.err;
        EXPECT_FALSE(holds(r.out, "checked 0 projects")) << r.out;
        EXPECT_TRUE(w.world.recorded().empty());
        const std::string report = readFile(w.expand("ROOT/r.xml"));
        EXPECT_TRUE(c.args.size() == 2 || holds(report, "name=\"(run)\"")) << report;
        // Once the stray compiler has ended the build runs, and the record is gone.
        stray.end();
        other.reset();
        if (c.situation == "stray") {
            EXPECT_EQ(runCli({"build", w.list}).status, 0);
            EXPECT_EQ(readFile(w.expand("HOME/Pelorix.lock")), "");
        }
    }
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
}

// ---- Hangs -------------------------------------------------------------------------------------

// A FIFO nobody writes to, as any input, is refused at once with its name (a command that waited
// for a writer would fail the test by its time-out), and the build lock is free again. Missing
// projects skip the pauses before their update, which here last ten minutes each.
TEST(HostileInput, Hangs) {
    const std::vector<std::vector<std::string>> cases = {
        {"project", "FIFO.vbp"}, {"update", "FIFO.vbp", "--mode", "0"},
        {"import", "FIFO.bat"},  {"import", "FIFO.vbg"},
        {"check", "FIFO.ini"},   {"build", "FIFO.ini"},
        {"build", "FIFO.vbg"},   {"typelib-info", "FIFO.tlb"},
        {"check", "LISTED"},     {"build", "LISTED", "--all"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(args[0] + " " + args[1]);
        World w;
        const std::string fifo =
            w.expand("ROOT/prefix/drive_c/f/") + (args[1] == "LISTED" ? "FIFO.vbp" : args[1]);
        w.make("fifo:" + fifo);
        std::vector<std::string> given = args;
        given[1] = args[1] == "LISTED"
                       ? BuildWorld::host(w.world.writeList({TestEnvironment::windowsPath(fifo)}))
                       : fifo;
        const CliOutcome r = runCli(given);
        EXPECT_NE(r.status, 0);
        EXPECT_TRUE(holds(r.out + r.err, args[0] == "typelib-info" ? "not a regular file" : "FIFO"))
            << r.out << r.err;
        EXPECT_TRUE(isFifo(fifo));
        EXPECT_TRUE(ProgramFolderLock::tryAcquire().held());
        EXPECT_TRUE(w.world.recorded().empty());
    }
    World w;
    w.world.setting("Build", "LogWaitTime", "600000");
    const std::string list = BuildWorld::host(w.world.writeList({"C:\\gone\\One.vbp", "C:\\gone\\Two.vbp"}));
    EXPECT_TRUE(holds(runCli({"build", list, "--all"}).out, "result=6"));
}

// ---- Messages ----------------------------------------------------------------------------------

// Each message names its cause: the path, and what is wrong with it.
TEST(HostileInput, MessagesNameTheirCause) {
    struct Case {
        std::vector<std::string> steps; // "codepage:X" sets PELORIX_CODEPAGE, "compiler" registers no program
        std::vector<std::string> args;
        std::vector<std::string> says;
        bool fails = true;
    };
    const std::vector<Case> cases = {
        {{"folder:HOME/Pelorix.lock"},
         {"build", "LIST"},
         {"cannot take the build lock", "/Pelorix.lock: it is a folder"}},
        {{"link:HOME/Pelorix.lock:HOME/gone"},
         {"build", "LIST"},
         {"/Pelorix.lock: it is a symbolic link to nothing"}},
        {{"codepage:bogus"}, {"check", "LIST"}, {"PELORIX_CODEPAGE=bogus", "code pages that work: CP932"}},
        {{"rm:HOME/Pelorix.ini", "folder:HOME/Pelorix.ini"},
         {"check", "LIST"},
         {"/Pelorix.ini is a folder"},
         false},
        {{"folder:HOME/Alpha.log"},
         {"build", "LIST"},
         {"Alphaのｺﾝﾊﾟｲﾗのﾛｸﾞをﾌｧｲﾙとして作成できません。ﾌｧｲﾙではなくﾌｫﾙﾀﾞです。", "Alpha.log]"}},
        {{"file:ROOT/prefix/drive_c/n/Short.vbp:Type=Exe\r\nName=\"" + std::string(300, 'N') + "\"\r\n",
          "file:LIST:[ProjectName]\r\nC:\\n\\Short.vbp\r\n"},
         {"build", "LIST", "--all"},
         {"ｺﾝﾊﾟｲﾗのﾛｸﾞをﾌｧｲﾙとして作成できません。ファイル名または拡張子が長すぎます。"}},
        {{"folder:ALPHA.org"},
         {"build", "LIST"},
         {"ﾌｧｲﾙを書き込めません。ﾌｧｲﾙではなくﾌｫﾙﾀﾞです。[C:\\a\\Alpha.vbp.org]"}},
        {{"file:ROOT/prefix/drive_c/l/" + std::string(240, 'L') + ".vbp:Type=Exe\r\n"},
         {"update", "ROOT/prefix/drive_c/l/" + std::string(240, 'L') + ".vbp", "--mode", "1"},
         {},
         false},
        {{"file:LIST:[ProjectName]\r\n"},
         {"build", "LIST"},
         {"the list has no project; nothing to build", "result=7"}},
        {{"file:LIST:[ProjectName]\r\nC:\\a\\Alpha.vbp\r\n"},
         {"build", "LIST"},
         {"no project is marked for building"}},
        {{"compiler"}, {"build", "LIST"}, {"/tools/vb6.exe は有効な Win32 アプリケーションではありません。"}},
        {{"compiler"}, {"check", "LIST"}, {"compiler program cannot start", "/tools/vb6.exe は有効な"}},
        {{"fifo:ROOT/t.tlb"},
         {"typelib-info", "ROOT/t.tlb"},
         {"not a regular file: it is a FIFO (named pipe)"}},
        {{"folder:ROOT/r.xml"}, {"build", "LIST", "--junit", "ROOT/r.xml"}, {"ROOT/r.xml is a folder"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + (c.steps.empty() ? "" : c.steps[0].substr(0, 40)));
        World w;
        std::vector<std::string> steps;
        for (const std::string& step : c.steps) {
            if (step.starts_with("codepage:")) {
                w.world.env.setCodePage(step.substr(9));
            } else if (step == "compiler") {
                const std::string program = w.expand("ROOT/prefix/drive_c/tools/vb6.exe");
                writeFile(program, "not a program");
                RegistryWriter()
                    .addShellAssociation(".vbp", "VisualBasic.Project", "shell\\open\\command",
                                         "\"" + TestEnvironment::windowsPath(program) + "\" \"%1\"")
                    .write(w.world.env);
            } else if (step.starts_with("rm:")) {
                fs::remove(w.expand(step.substr(3)));
            } else {
                steps.push_back(step);
            }
        }
        const CliOutcome r = w.run(steps, c.args);
        EXPECT_EQ(r.status != 0, c.fails) << r.out << r.err;
        for (const std::string& part : c.says)
            EXPECT_TRUE(holds(r.out + r.err, w.expand(part))) << part << "\n" << r.out << r.err;
        EXPECT_FALSE(holds(r.out + r.err, "%1"));
        EXPECT_FALSE(holds(r.out + r.err, "ﾐﾘ秒以内に作成されませんでした")) << r.out;
    }
}

} // namespace
} // namespace pelorix::test
