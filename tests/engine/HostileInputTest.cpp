// What a user hands pelorix-cli that is not what a command expects, one table per kind of harm:
// each case runs the command as a user would and checks what it says and that no byte that should
// stay was lost.
#include "BuildWorld.h"
#include "HostileFiles.h"
#include "engine/BuildLock.h"
#include "platform/ProgramFolderLock.h"
#include "platform/Text.h"
#include "support/CliRun.h"
#include "support/RegistryWriter.h"

#include <filesystem>
#include <map>
#include <memory>
#include <utility>

#include <gtest/gtest.h>

namespace pelorix::test {
namespace {
namespace fs = std::filesystem;

// What the program says of a file it cannot read (a BlockedFile): on Linux a FIFO, on Windows a
// file another holder keeps to itself.
#ifdef _WIN32
const std::string blockedCause = "読み取りが許可されていません。";
#else
const std::string blockedCause = "ﾌｧｲﾙではなくﾊﾟｲﾌﾟ(FIFO)です。";
#endif

// A text as UTF-16 (little-endian, with its byte order mark), as an editor saves it.
std::string utf16(const std::string& ascii) {
    std::string bytes = "\xFF\xFE";
    for (const char c : ascii)
        bytes += std::string{c, '\0'};
    return bytes;
}

// Two marked projects in a list, and what a case makes of the world, in steps separated by ";":
// "fifo:P", "blocked:P" (a BlockedFile), "folder:P", "link:P[:TARGET]" (to the first project),
// "hardlink:P", "file:P:BYTES", "utf16:P:TEXT" (the text as UTF-16 with its byte order mark),
// "readonly:P", "immutable:P" (the file system's mark no one may write past; Linux), "rm:P",
// "codepage:NAME", "compiler" (a .vbp command whose program is no program). "LIST", "ALPHA", "HOME", "DRIVE"
// and "ROOT" in a path or argument stand for the host paths of the list, the first project, the program
// folder, drive C: and the test's root.
struct World {
    BuildWorld world;
    std::string alpha = world.addProject("a", "Alpha", {"CompatibleMode=\"0\""});
    std::string beta = world.addProject("b", "Beta", {"CompatibleMode=\"0\""});
    std::string state = "1,2,";
    std::string list = BuildWorld::host(world.writeList({alpha, beta}, &state));
    std::vector<std::unique_ptr<BlockedFile>> blocked;
    std::vector<std::unique_ptr<ImmutableFile>> immutable;
    std::vector<std::string> readOnly;

    World() = default;
    World(const World&) = delete;
    World& operator=(const World&) = delete;
    ~World() {
        immutable.clear();
        for (const std::string& path : readOnly) // (so that the test's folder can go)
            fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
    }

    std::string expand(std::string text) const {
        for (const auto& [name, value] : {std::pair<std::string, std::string>{"LIST", list},
                                          {"ALPHA", BuildWorld::host(alpha)},
                                          {"HOME", world.env.home()},
                                          {"DRIVE", world.env.driveC()},
                                          {"ROOT", world.env.root()}})
            text = replaceAll(text, name, value);
        return text;
    }
    void make(const std::string& step) {
        const auto first = step.find(':');
        const auto second = step.find(':', first + 1);
        const std::string kind = step.substr(0, first);
        const std::string path =
            first == std::string::npos ? "" : expand(step.substr(first + 1, second - first - 1));
        const std::string rest = second == std::string::npos ? "" : step.substr(second + 1);
        if (fs::path(path).has_parent_path())
            fs::create_directories(fs::path(path).parent_path());
        if (kind == "fifo" || kind == "blocked")
            blocked.push_back(std::make_unique<BlockedFile>(path));
        else if (kind == "folder")
            fs::create_directories(path);
        else if (kind == "link")
            fs::create_symlink(rest.empty() ? BuildWorld::host(alpha) : expand(rest), path);
        else if (kind == "hardlink")
            fs::create_hard_link(BuildWorld::host(alpha), path);
        else if (kind == "rm")
            fs::remove(path);
        else if (kind == "codepage")
            world.env.setCodePage(step.substr(first + 1));
        else if (kind == "compiler")
            registerNoProgram();
        else if (kind == "utf16")
            writeFile(path, utf16(rest));
        else if (kind == "readonly") {
            fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                            fs::perm_options::remove);
            readOnly.push_back(path);
        } else if (kind == "immutable")
            immutable.push_back(std::make_unique<ImmutableFile>(path));
        else
            writeFile(path, rest);
    }
    void registerNoProgram() const {
        const std::string program = expand("DRIVE/tools/vb6.exe");
        writeFile(program, "not a program");
        RegistryWriter()
            .addShellAssociation(".vbp", "VisualBasic.Project", "shell\\open\\command",
                                 "\"" + TestEnvironment::windowsPath(program) + "\" \"%1\"")
            .write(world.env);
    }
    void prepare(const std::string& steps) {
        for (const std::string& step : split(steps, ';'))
            if (!step.empty())
                make(step);
    }
    // The files of the test's folder and of the world's folders on drive C: (on Windows the
    // test's own drive, outside the folder), by host path.
    std::map<std::string, std::string> files() const {
        auto found = snapshotFiles(world.env.root());
        for (const std::string folder : {"/a", "/b", "/lists"})
            for (auto& [path, bytes] : snapshotFiles(world.env.driveC() + folder))
                found[fs::path(path).make_preferred().string()] = std::move(bytes);
        return found;
    }
    CliOutcome invoke(const std::string& args) const {
        std::vector<std::string> expanded;
        for (const std::string& a : split(args, ' '))
            expanded.push_back(expand(a));
        return runCli(expanded);
    }
};

// ---- Data loss ---------------------------------------------------------------------------------

// A report path that leads to one of the run's files, however it is spelt, or to no regular file
// is refused before anything is built; a group's lines that are no projects are left out; a linked
// project file keeps its links, a FIFO stays a FIFO. No file changes but those updated.
TEST(HostileInput, DataLoss) {
    struct Case {
        std::string steps;
        std::string args;
        int status;
        std::string says;
    };
    const std::string group =
        "file:DRIVE/a/g.vbg:VBGROUP 5.0\r\nProject=g.vbg\r\nProject=notes.txt\r\nProject=Alpha.vbp";
    const std::vector<Case> cases = {
        {"", "build LIST --junit LIST", 1, "is the project list"},
        {"", "build LIST --junit DRIVE/a/../lists/build.ini", 1, "is the project list"},
        {"hardlink:DRIVE/a/Other.vbp", "update DRIVE/a/Other.vbp --mode 1", 0, ""},
#ifndef _WIN32
        {"link:ROOT/r.xml:LIST", "build LIST --junit ROOT/r.xml", 1, "is the project list"},
#endif
        {"", "build LIST --junit ALPHA", 1, "is the project file"},
        {"", "build LIST --junit HOME/Pelorix.ini", 1, "is the settings file"},
        {"file:HOME/Pelorix.log:old", "build LIST --junit HOME/Pelorix.log", 1, "is the error log"},
        {"folder:ROOT/r.xml", "build LIST --junit ROOT/r.xml", 1, "is a folder, not a regular file"},
#ifdef _WIN32
        {"", "build LIST --junit NUL", 1, "NUL is a device, not a regular file"},
        {"", "build LIST --junit DRIVE/a/CON", 1, "is a device, not a regular file"},
#else
        {"fifo:ROOT/r.xml", "build LIST --junit ROOT/r.xml", 1, "is a pipe (FIFO), not a"},
#endif
        {"file:DRIVE/a/notes.txt:CompatibleMode=\"1\"\n;" + group, "build DRIVE/a/g.vbg", 0,
         "line 3: left out: notes.txt is not a project file (.vbp)"},
        {group, "import DRIVE/a/g.vbg", 0, "line 2: left out: g.vbg is not a project file (.vbp)"},
#ifdef _WIN32
        {"", "update NUL --mode 1", 1, "ﾌｧｲﾙではなくﾃﾞﾊﾞｲｽです。"},
#else
        {"link:DRIVE/a/Link.vbp", "update DRIVE/a/Link.vbp --mode 1", 0, ""},
        {"fifo:DRIVE/a/Pipe.vbp", "update DRIVE/a/Pipe.vbp --mode 1", 1, "ﾌｧｲﾙではなくﾊﾟｲﾌﾟ(FIFO)です。"},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        World w;
        w.prepare(c.steps);
        auto before = w.files();
        const CliOutcome r = w.invoke(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_TRUE(holds(r.err, c.says)) << r.err;
        EXPECT_EQ(holds(r.err, "nothing was built"), holds(c.args, "--junit")) << r.err;
        auto after = w.files();
        const std::string alpha = BuildWorld::host(w.alpha);
        const std::string given = w.expand(split(c.args, ' ')[1]);
        if (c.args.starts_with("update") && c.status == 0) {
            // The file the link leads to (or the file of both names) is updated, its backup beside it.
            EXPECT_TRUE(holds(after[alpha], "CompatibleMode=\"1\"")) << after[alpha];
            EXPECT_EQ(readFile(given), after[alpha]) << "both names lead to the one file";
            EXPECT_TRUE(fs::exists(alpha + ".org") || fs::exists(given + ".org"));
            continue;
        }
        EXPECT_EQ(w.world.recorded().size(), c.args.starts_with("build") && c.status == 0 ? 1u : 0u);
        for (auto* files : {&before, &after})
            std::erase_if(*files, [&](const auto& file) {
                return holds(file.first, "Pelorix.lock") || holds(file.first, "standin") ||
                       (file.first == alpha && c.status == 0) || holds(file.first, "Alpha.log");
            });
        for (const auto& [path, bytes] : before)
            EXPECT_EQ(after[path], bytes) << path;
        for (const auto& file : w.blocked)
            EXPECT_TRUE(file->intact());
    }
}

// ---- Failures reported as success --------------------------------------------------------------

// A compiler an earlier build left running (the window's engine leaves one past its limit) keeps
// the lock until it ends; a run refused or stopped before its first project replaces the earlier
// report with its error; a file that is no list, or a list through a pipe, is an error naming it.
TEST(HostileInput, ReportedSuccess) {
#ifndef _WIN32
    // (A process of the test's own stands for the stray compiler here; on Windows the record is
    // tested with the compiler itself, in the backend's tests.)
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
#endif
    struct Case {
        std::string situation; // "stray", "locked" or world steps
        std::string args;
        std::string says;
    };
    const std::vector<Case> cases = {
#ifndef _WIN32
        {"stray", "build LIST --junit ROOT/r.xml", "left running (process "},
#endif
        {"locked", "build LIST --junit ROOT/r.xml", "another build is running"},
        {"file:LIST:\x01\xfe\x80garbage", "build LIST --junit ROOT/r.xml",
         "[ProjectName]ｾｸｼｮﾝがありません。"},
        {"", "build ALPHA --junit ROOT/r.xml", "[ProjectName]ｾｸｼｮﾝがありません。"},
        {"", "build ROOT/gone.ini --junit ROOT/r.xml", "ﾌｧｲﾙが見つかりません。"},
        {"", "check ALPHA", "[ProjectName]ｾｸｼｮﾝがありません。"},
        {"file:LIST:\x01\xfe\x80garbage", "order LIST", "[ProjectName]ｾｸｼｮﾝがありません。"},
        {"", "order ALPHA --write", "[ProjectName]ｾｸｼｮﾝがありません。"},
        {"blocked:ROOT/held.ini", "build ROOT/held.ini --junit ROOT/r.xml", blockedCause},
        {"blocked:ROOT/held.ini", "check ROOT/held.ini", blockedCause},
#ifdef _WIN32
        {"", "check NUL", "ﾌｧｲﾙではなくﾃﾞﾊﾞｲｽです。"},
        {"", "build DRIVE/a/CON --junit ROOT/r.xml", "ﾌｧｲﾙではなくﾃﾞﾊﾞｲｽです。"},
#else
        {"", "check " + pipeList, "ﾊﾟｲﾌﾟ(FIFO)です。"},
        {"", "build " + pipeList, "ﾊﾟｲﾌﾟ(FIFO)です。"},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.situation + " " + c.args);
        World w;
        writeFile(w.expand("ROOT/r.xml"), "<testsuites tests=\"2\" failures=\"0\" errors=\"0\"/>");
#ifndef _WIN32
        OwnProcess stray;
        ASSERT_TRUE(c.situation != "stray" || ProgramFolderLock::recordStrayProcess(stray.pid));
#endif
        std::optional<ProgramFolderLock> other;
        if (c.situation == "locked")
            other.emplace(ProgramFolderLock::tryAcquire());
        w.prepare(c.situation == "stray" || c.situation == "locked" ? "" : c.situation);
        const CliOutcome r = w.invoke(c.args);
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_TRUE(holds(r.out + r.err, c.says)) << r.out << r.err;
        EXPECT_FALSE(holds(r.out, "checked 0 projects")) << r.out;
        EXPECT_TRUE(w.world.recorded().empty());
        const std::string report = readFile(w.expand("ROOT/r.xml"));
        EXPECT_TRUE(!holds(c.args, "--junit") || holds(report, "name=\"(run)\"")) << report;
        // Once the stray compiler has ended the build runs, and the record is gone.
#ifndef _WIN32
        stray.end();
#endif
        other.reset();
        if (c.situation == "stray") {
            EXPECT_EQ(runCli({"build", w.list}).status, 0);
            EXPECT_EQ(readFile(w.expand("HOME/Pelorix.lock")), "");
        }
    }
#ifndef _WIN32
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
#endif
}

// ---- The build lock ----------------------------------------------------------------------------

// One rule decides, for the window and the command line alike, whether a build may start: every
// compiler is recorded in the lock from its start until it is collected, a recorded compiler that
// still runs holds the next build as another build does, a lock file that cannot be taken refuses
// the build, and only a program folder that cannot take the logs at all lets the run go on
// (to name that and build nothing).
TEST(HostileInput, TheBuildLockIsOneRuleForBothFrontEnds) {
    World w;
    const std::string lockFile = w.expand("HOME/Pelorix.lock");
    {
        const BuildLockDecision free = takeBuildLock(false);
        EXPECT_FALSE(free.refused());
        EXPECT_TRUE(free.lock.held());
        const BuildLockDecision busy = takeBuildLock(false);
        EXPECT_EQ(busy.refusal, BuildLockDecision::Refusal::OtherBuild);
        EXPECT_TRUE(holds(busy.text(), "another build is running in the program folder")) << busy.text();
        EXPECT_TRUE(holds(busy.japaneseText(), "別のﾋﾞﾙﾄﾞが同じﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞで実行中です。"));
    }

    // The compiler is in the lock while it runs, and out of it once collected.
    const std::string slow = w.world.addProject("s", "Slow", {"CompatibleMode=\"0\"", "StandIn=sleep:400"});
    std::vector<std::string> whileRunning;
    EngineRun run;
    run.pump.onEvents = [&] {
        if (!w.world.recorded().empty() && whileRunning.empty())
            whileRunning.push_back(readFile(lockFile));
    };
    run.load({slow});
    EXPECT_EQ(run.build({1}), 0);
    ASSERT_FALSE(whileRunning.empty());
    EXPECT_TRUE(whileRunning.front().starts_with("stray ")) << whileRunning.front();
    EXPECT_EQ(readFile(lockFile), "");

    // One the window's engine leaves running past its limit holds every build until it ends.
    w.world.setting("Build", "ProcessWaitLimit", "300");
    const std::string hung = w.world.addProject("h", "Hung", {"StandIn=hang"});
    EngineRun left;
    left.load({hung});
    EXPECT_EQ(left.build({1}), 99);
    const BuildLockDecision held = takeBuildLock(false);
    EXPECT_EQ(held.refusal, BuildLockDecision::Refusal::LeftCompiler);
    EXPECT_TRUE(holds(held.text(), "left running (process " + std::to_string(held.lock.strayProcess())));
    fs::remove(BuildWorld::host(hung)); // the stand-in ends with its project file
    EXPECT_TRUE(takeBuildLock(true).lock.held());

    // A lock file that cannot be taken refuses the build, naming why.
    fs::remove(lockFile);
    fs::create_directory(lockFile);
    const BuildLockDecision folder = takeBuildLock(false);
    EXPECT_EQ(folder.refusal, BuildLockDecision::Refusal::CannotOpen);
    EXPECT_TRUE(holds(folder.japaneseText(),
                      "ﾋﾞﾙﾄﾞのﾛｯｸﾌｧｲﾙを開けないため、ﾋﾞﾙﾄﾞできません。ﾌｧｲﾙではなくﾌｫﾙﾀﾞです。"));
    // In a program folder that is gone the run goes on without it, and names the folder itself.
    const std::string away = w.expand("ROOT/home-away");
    fs::rename(w.expand("HOME"), away);
    EXPECT_FALSE(takeBuildLock(false).refused());
    fs::rename(away, w.expand("HOME"));
}

// ---- Hangs -------------------------------------------------------------------------------------

// A FIFO nobody writes to (on Windows the console, CON), as any input, is refused at once with its
// name (a command that waited for a writer would fail the test by its time-out), and the build
// lock is free again. Missing
// projects skip the pauses before their update, which here last ten minutes each.
TEST(HostileInput, Hangs) {
    for (const std::string args : {"project FIFO.vbp", "update FIFO.vbp --mode 0", "import FIFO.bat",
                                   "import FIFO.vbg", "check FIFO.ini", "build FIFO.ini", "build FIFO.vbg",
                                   "typelib-info FIFO.tlb", "check LISTED", "build LISTED --all"}) {
        SCOPED_TRACE(args);
        World w;
        const std::string name = holds(args, "LISTED") ? "FIFO.vbp" : split(args, ' ')[1];
#ifdef _WIN32
        const std::string fifo = w.expand("DRIVE/f/") + replaceAll(name, "FIFO", "CON");
        const std::string cause = args.starts_with("typelib") ? "it is a device" : "ﾃﾞﾊﾞｲｽ";
        const std::string windowsPath = fs::path(fifo).make_preferred().string(); // as a user writes it
#else
        const std::string fifo = w.expand("DRIVE/f/") + name;
        const std::string cause = args.starts_with("typelib") ? "not a regular file" : "FIFO";
        const std::string windowsPath = TestEnvironment::windowsPath(fifo);
        w.make("fifo:" + fifo);
#endif
        const std::string listed = BuildWorld::host(w.world.writeList({windowsPath}));
        std::vector<std::string> given = split(args, ' ');
        given[1] = holds(args, "LISTED") ? listed : fifo;
        const CliOutcome r = runCli(given);
        EXPECT_NE(r.status, 0);
        EXPECT_TRUE(holds(r.out + r.err, cause)) << r.out << r.err;
        for (const auto& file : w.blocked)
            EXPECT_TRUE(file->intact());
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
        std::string steps;
        std::string args;
        std::string says; // parts separated by "|"
        bool fails = true;
    };
#ifdef _WIN32
    const std::string notAProgram = "DRIVE\\tools\\vb6.exe";
#else
    const std::string notAProgram = "DRIVE/tools/vb6.exe";
#endif
    // Names near the limit of 255 characters (and of 255 bytes on Linux).
    const std::string longName = std::string(240, 'L');
    std::string japaneseName;
    for (int i = 0; i < 80; ++i)
        japaneseName += "名";
    // Alpha built from Beta's project, so that the list is out of its build order.
    const std::string alphaUsesBeta =
        "file:ALPHA:Type=Exe\r\nName=\"Alpha\"\r\nReference=*\\A..\\b\\Beta.vbp\r\nCompatibleMode=\"0\"\r\n";
    const std::string unwritableList = "ﾌﾟﾛｼﾞｪｸﾄﾘｽﾄに書き込めません。";
    const std::vector<Case> cases = {
        {"folder:HOME/Pelorix.lock", "build LIST",
         "cannot take the build lock HOME/Pelorix.lock: it is a folder"},
        // A list saved as UTF-16 is named as such, whichever command reads it.
        {"utf16:LIST:[ProjectName]\r\nC:\\a\\Alpha.vbp\r\n", "build LIST",
         "ﾌﾟﾛｼﾞｪｸﾄﾘｽﾄﾌｧｲﾙがUTF-16で保存されています。ANSIのｺｰﾄﾞﾍﾟｰｼﾞ(CP932)で保存し直してください。|build."
         "ini]"},
        {"utf16:LIST:[ProjectName]\r\n", "check LIST", "UTF-16で保存されています。"},
        {"utf16:LIST:[ProjectName]\r\n", "order LIST", "UTF-16で保存されています。"},
        // A list that cannot be rewritten is named with why.
        {alphaUsesBeta + ";readonly:LIST", "order LIST --write",
         "error 75: " + unwritableList + "読み取り専用のﾌｧｲﾙです。|build.ini]"},
#ifndef _WIN32
        {alphaUsesBeta + ";immutable:LIST", "order LIST --write",
         "error 75: " + unwritableList + "変更できないﾌｧｲﾙです(immutable属性)。|build.ini]"},
#endif
        // Blanks after a listed path are no part of it, on either system.
        {"file:LIST:[ProjectName]\r\nC:\\a\\Alpha.vbp  \r\nC:\\b\\Beta.vbp\t\r\n", "build LIST --all",
         "OK\t互換なし\tC:\\a\\Alpha.vbp\n|OK\t互換なし\tC:\\b\\Beta.vbp\n", false},
        {alphaUsesBeta + ";file:LIST:[ProjectName]\r\nC:\\a\\Alpha.vbp\r\nC:\\b\\Beta.vbp \r\n", "order LIST",
         "C:\\b\\Beta.vbp\nC:\\a\\Alpha.vbp\n", false},
        // A project file marked read-only is not updated: named with why, and its NG line printed.
        {"readonly:ALPHA", "build LIST",
         "ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙを更新できません。読み取り専用のﾌｧｲﾙです。[C:\\a\\Alpha.vbp]|NG\t互換なし\tC:"
         "\\a\\Alpha.vbp\n|"
         "result=99"},
#ifndef _WIN32
        {"link:HOME/Pelorix.lock:HOME/gone", "build LIST",
         "HOME/Pelorix.lock: it is a symbolic link to nothing"},
        {"codepage:bogus", "check LIST", "PELORIX_CODEPAGE=bogus|code pages that work: CP932"},
#else
        {"codepage:bogus", "check LIST", "PELORIX_CODEPAGE=bogus|no such code page is known"},
#endif
        {"rm:HOME/Pelorix.ini;folder:HOME/Pelorix.ini", "check LIST",
         "the settings file |Pelorix.ini is a folder", false},
        {"folder:HOME/Alpha.log", "build LIST",
         "Alphaのｺﾝﾊﾟｲﾗのﾛｸﾞをﾌｧｲﾙとして作成できません。ﾌｧｲﾙではなくﾌｫﾙﾀﾞです。|Alpha.log]"},
        {"file:DRIVE/n/Short.vbp:Type=Exe\r\nName=\"" + std::string(300, 'N') +
             "\"\r\n;file:LIST:[ProjectName]\r\nC:\\n\\Short.vbp\r\n",
         "build LIST --all", "ｺﾝﾊﾟｲﾗのﾛｸﾞをﾌｧｲﾙとして作成できません。ファイル名または拡張子が長すぎます。"},
        {"folder:ALPHA.org", "build LIST",
         "ﾌｧｲﾙを書き込めません。ﾌｧｲﾙではなくﾌｫﾙﾀﾞです。[C:\\a\\Alpha.vbp.org]"},
        {"file:DRIVE/l/" + longName + ".vbp:Type=Exe\r\n", "update DRIVE/l/" + longName + ".vbp --mode 1", "",
         false},
        {"file:DRIVE/l/" + japaneseName + ".vbp:Type=Exe\r\n",
         "update DRIVE/l/" + japaneseName + ".vbp --mode 1", "", false},
        // A .vbp command whose program is none.
        {"compiler", "build LIST", notAProgram + " は有効な Win32 アプリケーションではありません。"},
        {"compiler", "check LIST", "compiler program cannot start|" + notAProgram + " は有効な"},
        {"file:LIST:[ProjectName]\r\n", "build LIST", "the list has no project; nothing to build|result=7"},
        {"file:LIST:[ProjectName]\r\nC:\\a\\Alpha.vbp\r\n", "build LIST",
         "no project is marked for building"},
#ifdef _WIN32
        {"", "typelib-info NUL", "not a regular file: it is a device"},
        {"blocked:ROOT/t.tlb", "typelib-info ROOT/t.tlb", "t.tlb: the file cannot be read: "},
#else
        {"fifo:ROOT/t.tlb", "typelib-info ROOT/t.tlb", "not a regular file: it is a pipe (FIFO)"},
#endif
        {"blocked:ALPHA", "build LIST --all", blockedCause + "[C:\\a\\Alpha.vbp]|result=99"},
        {"folder:ROOT/r.xml", "build LIST --junit ROOT/r.xml", "ROOT/r.xml is a folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args + " after " + c.steps.substr(0, 40));
        World w;
        w.prepare(c.steps);
        if (!w.immutable.empty() && !w.immutable.front()->set())
            continue; // this system does not let the test mark a file immutable
        const CliOutcome r = w.invoke(c.args);
        EXPECT_EQ(r.status != 0, c.fails) << r.out << r.err;
        for (const std::string& part : split(c.says, '|'))
            EXPECT_TRUE(holds(r.out + r.err, w.expand(part))) << part << "\n" << r.out << r.err;
        EXPECT_FALSE(holds(r.out + r.err, "%1"));
        EXPECT_FALSE(holds(r.out + r.err, "ﾐﾘ秒以内に作成されませんでした")) << r.out;
    }
}

} // namespace
} // namespace pelorix::test
