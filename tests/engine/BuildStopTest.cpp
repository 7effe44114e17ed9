#include "BuildWorld.h"
#include "support/CliRun.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#ifdef _WIN32
#include "support/WindowsChild.h"
#else
#include "support/ProcessGroup.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

#include <gtest/gtest.h>

namespace pelorix::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

#ifdef _WIN32
using pid_t = DWORD;

// The processes running the stand-in compiler (each test program runs in a system of its own).
std::vector<pid_t> standInsFor(const std::string&) {
    const auto found = runningProcessesNamed(fs::path(PELORIX_STANDIN).filename().string());
    return {found.begin(), found.end()};
}
#else
// The processes running the stand-in compiler for the project (a Windows path on its command line).
std::vector<pid_t> standInsFor(const std::string& project) {
    return runningProcessesOf(PELORIX_STANDIN, project);
}
#endif

// A program of the build, by the path the system starts it from.
std::string programPath(const std::string& built) {
#ifdef _WIN32
    return TestEnvironment::windowsPath(built);
#else
    return built;
#endif
}

#ifndef _WIN32
// pelorix-cli (or a shell line) run as a child process, its output going to files.
class ChildRun {
public:
    ChildRun(const std::vector<std::string>& args, const std::string& folder)
        : m_out(folder + "/out.txt"), m_err(folder + "/err.txt") {
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, m_out.c_str(),
                                           O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, m_err.c_str(),
                                           O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_pid = 0;
        ::posix_spawn_file_actions_destroy(&actions);
    }
    ~ChildRun() {
        if (m_pid > 0 && !m_ended) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    ChildRun(const ChildRun&) = delete;
    ChildRun& operator=(const ChildRun&) = delete;

    pid_t pid() const noexcept { return m_pid; }
    // The exit status once the child ended within the bound; -1 when it did not.
    int exitStatus(int boundMs = 20000) {
        int status = 0;
        const bool ended = eventually([&] { return ::waitpid(m_pid, &status, WNOHANG) == m_pid; }, boundMs);
        m_ended = ended;
        return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string out() const { return readFile(m_out); }
    std::string err() const { return readFile(m_err); }

private:
    std::string m_out;
    std::string m_err;
    pid_t m_pid = 0;
    bool m_ended = false;
};
#endif

// A build whose compiler hangs is stopped by each signal a terminal or a job runner sends. The
// command ends the compiler with its process group, says so in the build log, prints its result
// line and exits with 128 + the signal's number; the project file and its backups are left as
// the normal failure path (the time limit) leaves them: the file whole, one more whole backup;
// the next project is not built. On Windows a run ended from outside takes the compiler's job, and
// with it the compiler, along, and leaves every file whole.
TEST(BuildStop, ASignalEndsTheCompilerAndTheRunAsAFailedBuildDoes) {
    BuildWorld world;
    world.setting("Build", "ProcessWaitLimit", "500");
    const std::string a = world.addProject("a", "Alpha", {"CompatibleMode=\"0\"", "StandIn=hang"});
    const std::string b = world.addProject("b", "Beta", {"CompatibleMode=\"0\""});
    const std::string list = world.host(world.writeList({a, b}));
    const std::string original = readFile(world.host(a));
    const std::string cli = programPath(PELORIX_CLI);

    // The reference: a run that reaches the time limit.
    ChildRun limited({cli, "build", list, "--all"}, world.env.root());
    EXPECT_EQ(limited.exitStatus(), 1) << limited.err();
    EXPECT_TRUE(holds(limited.out(),
                      "Alphaのｺﾝﾊﾟｲﾗが500ﾐﾘ秒以内に終了しませんでした。ｺﾝﾊﾟｲﾗのﾌﾟﾛｾｽを終了させました。"))
        << limited.out();
    EXPECT_TRUE(eventually([&] { return standInsFor(a).empty(); }));
    const auto afterFailure = folderOf(world.host(a));
    EXPECT_EQ(afterFailure.at("Alpha.vbp"), original);

    world.setting("Build", "ProcessWaitLimit", "60000");
#ifndef _WIN32
    std::size_t files = afterFailure.size();
#endif
#ifdef _WIN32
    // Ended from outside (a task manager, a job runner cancelling): the compiler's job goes with it.
    const std::vector<std::pair<std::string, int>> stops = {{"TerminateProcess", 0}};
#else
    const std::vector<std::pair<std::string, int>> stops = {
        {"SIGINT", SIGINT}, {"SIGTERM", SIGTERM}, {"SIGHUP", SIGHUP}};
#endif
    for (const auto& [name, signal] : stops) {
        SCOPED_TRACE(name);
        const std::size_t runs = world.recorded().size();
        ChildRun run({cli, "build", list, "--all"}, world.env.root());
        ASSERT_TRUE(
            eventually([&] { return standInsFor(a).size() == 1 && world.recorded().size() == runs + 1; }));
#ifdef _WIN32
        run.terminate();
        EXPECT_EQ(run.exitStatus(), 1);
        EXPECT_TRUE(eventually([&] { return standInsFor(a).empty(); }, 2000))
            << "the compiler outlived the command";
#else
        const pid_t compiler = standInsFor(a).front();
        EXPECT_NE(::getpgid(compiler), ::getpgid(run.pid())) << "the compiler has a group of its own";
        ::kill(run.pid(), signal);

        EXPECT_EQ(run.exitStatus(), 128 + signal) << run.err();
        EXPECT_TRUE(eventually([&] { return runningProcessesOfGroup(compiler).empty(); }, 2000))
            << "the compiler outlived the command";
        EXPECT_TRUE(holds(run.out(), name + "を受信したため、ﾋﾞﾙﾄﾞを中止します。")) << run.out();
        EXPECT_TRUE(
            holds(run.out(), "Alphaのｺﾝﾊﾟｲﾗの終了待ちを中止しました。ｺﾝﾊﾟｲﾗのﾌﾟﾛｾｽを終了させました。"));
        EXPECT_TRUE(run.out().ends_with("NG\t互換なし\t" + a + "\nresult=99\n")) << run.out();
        EXPECT_TRUE(holds(run.err(), "stopped by " + name)) << run.err();
#endif
        EXPECT_EQ(world.recorded().size(), runs + 1) << "Beta is not built";

        const auto folder = folderOf(world.host(a));
#ifndef _WIN32
        EXPECT_EQ(folder.size(), files + (afterFailure.size() - 1)) << "one more backup, as after a failure";
        files = folder.size();
#endif
        for (const auto& [file, bytes] : folder)
            EXPECT_EQ(bytes, original) << file << " is not whole";
    }
}

// A build killed outright (SIGKILL, or by the system when memory runs out) leaves its compiler
// running with no one watching it. The compiler was recorded in the build lock when it started, so
// the next build refuses, naming its process, instead of reading the log it will write as its own;
// once it has ended, the next build runs. On Windows the compiler's job ends with the build.
TEST(BuildStop, AKilledBuildsCompilerHoldsTheNextBuildUntilItEnds) {
    BuildWorld world;
    const std::string a = world.addProject("a", "Alpha", {"CompatibleMode=\"0\"", "StandIn=hang"});
    const std::string list = world.host(world.writeList({a}));
    ChildRun run({programPath(PELORIX_CLI), "build", list, "--all"}, world.env.root());
    ASSERT_TRUE(eventually([&] { return standInsFor(a).size() == 1 && world.recorded().size() == 1; }));
#ifdef _WIN32
    run.terminate();
    EXPECT_EQ(run.exitStatus(), 1);
    EXPECT_TRUE(eventually([&] { return standInsFor(a).empty(); }, 2000)) << "the job ends the compiler";
#else
    const pid_t compiler = standInsFor(a).front();
    ::kill(run.pid(), SIGKILL);
    EXPECT_EQ(run.exitStatus(), -1) << "killed, no exit status";
    const CliOutcome refused = runCli({"build", list, "--all"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(holds(refused.err, "left running (process " + std::to_string(compiler) + ")")) << refused.err;
    EXPECT_EQ(world.recorded().size(), 1u) << "no second compiler is started";
    fs::remove(world.host(a)); // the stand-in ends with its project file
    // Its command line goes before the process has ended: wait for its group as the lock looks at it.
    EXPECT_TRUE(eventually([&] { return runningProcessesOfGroup(compiler).empty(); }, 2000));
#endif
    world.addProject("a", "Alpha", {"CompatibleMode=\"0\""});
    const CliOutcome next = runCli({"build", list, "--all"});
    EXPECT_EQ(next.status, 0) << next.err;
    EXPECT_TRUE(holds(next.out, "OK\t互換なし\t" + a)) << next.out;
}

// A compiler that never ends holds no one's output and no wait: whatever ProcessWaitTime says (0
// polls, a negative one never counts) the run ends at ProcessWaitLimit, measured in time, and a
// pipeline reading the command's output ends with it, within the limit and a second.
TEST(BuildStop, AHungCompilerHoldsNeitherThePipeNorTheRunPastTheLimit) {
    BuildWorld world;
    world.setting("Build", "ProcessWaitLimit", "1000");
    const std::string a = world.addProject("a", "Alpha", {"CompatibleMode=\"0\"", "StandIn=hang"});
    const std::string list = world.host(world.writeList({a}));
    for (const std::string slice : {"0", "-5"}) {
        SCOPED_TRACE(slice);
        world.setting("Build", "ProcessWaitTime", slice);
        const auto start = Clock::now();
#ifdef _WIN32
        ChildRun pipeline({programPath(PELORIX_CLI), "build", list, "--all"}, world.env.root(),
                          {.pipedOut = true});
        const std::string out = pipeline.pipedOut();
        EXPECT_EQ(pipeline.exitStatus(), 1) << pipeline.err();
#else
        ChildRun pipeline({"/bin/sh", "-c", "\"$0\" build \"$1\" --all | cat", PELORIX_CLI, list},
                          world.env.root());
        EXPECT_EQ(pipeline.exitStatus(), 0) << pipeline.err(); // the status of cat
        const std::string out = pipeline.out();
#endif
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(2000));
        EXPECT_TRUE(holds(out, "Alphaのｺﾝﾊﾟｲﾗが1000ﾐﾘ秒以内に終了しませんでした。")) << out;
        EXPECT_TRUE(out.ends_with("result=99\n")) << out;
        EXPECT_TRUE(eventually([&] { return standInsFor(a).empty(); }, 2000));
    }
}

} // namespace
} // namespace pelorix::test
