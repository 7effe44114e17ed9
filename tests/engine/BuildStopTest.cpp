#include "BuildWorld.h"
#include "support/ProcessGroup.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

extern char** environ;

namespace pelorix::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The processes running the stand-in compiler for the project (a Windows path on its command line).
std::vector<pid_t> standInsFor(const std::string& project) {
    return runningProcessesOf(PELORIX_STANDIN, project);
}

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

// A build whose compiler hangs is stopped by each signal a terminal or a job runner sends. The
// command ends the compiler with its process group, says so in the build log, prints its result
// line and exits with 128 + the signal's number; the project file and its backups are left as
// the normal failure path (the time limit) leaves them: the file whole, one more whole backup;
// the next project is not built.
TEST(BuildStop, ASignalEndsTheCompilerAndTheRunAsAFailedBuildDoes) {
    BuildWorld world;
    world.setting("Build", "ProcessWaitLimit", "500");
    const std::string a = world.addProject("a", "Alpha", {"CompatibleMode=\"0\"", "StandIn=hang"});
    const std::string b = world.addProject("b", "Beta", {"CompatibleMode=\"0\""});
    const std::string list = world.host(world.writeList({a, b}));
    const std::string original = readFile(world.host(a));

    // The reference: a run that reaches the time limit.
    ChildRun limited({PELORIX_CLI, "build", list, "--all"}, world.env.root());
    EXPECT_EQ(limited.exitStatus(), 1) << limited.err();
    EXPECT_TRUE(holds(limited.out(),
                      "Alphaのｺﾝﾊﾟｲﾗが500ﾐﾘ秒以内に終了しませんでした。ｺﾝﾊﾟｲﾗのﾌﾟﾛｾｽを終了させました。"))
        << limited.out();
    EXPECT_TRUE(eventually([&] { return standInsFor(a).empty(); }));
    const auto afterFailure = folderOf(world.host(a));
    EXPECT_EQ(afterFailure.at("Alpha.vbp"), original);

    world.setting("Build", "ProcessWaitLimit", "60000");
    std::size_t files = afterFailure.size();
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const std::string name = signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "SIGHUP";
        SCOPED_TRACE(name);
        const std::size_t runs = world.recorded().size();
        ChildRun run({PELORIX_CLI, "build", list, "--all"}, world.env.root());
        ASSERT_TRUE(
            eventually([&] { return standInsFor(a).size() == 1 && world.recorded().size() == runs + 1; }));
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
        EXPECT_EQ(world.recorded().size(), runs + 1) << "Beta is not built";

        const auto folder = folderOf(world.host(a));
        EXPECT_EQ(folder.size(), files + (afterFailure.size() - 1)) << "one more backup, as after a failure";
        files = folder.size();
        for (const auto& [file, bytes] : folder)
            EXPECT_EQ(bytes, original) << file << " is not whole";
    }
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
        ChildRun pipeline({"/bin/sh", "-c", "\"$0\" build \"$1\" --all | cat", PELORIX_CLI, list},
                          world.env.root());
        EXPECT_EQ(pipeline.exitStatus(), 0) << pipeline.err(); // the status of cat
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(2000));
        EXPECT_TRUE(holds(pipeline.out(), "Alphaのｺﾝﾊﾟｲﾗが1000ﾐﾘ秒以内に終了しませんでした。"))
            << pipeline.out();
        EXPECT_TRUE(pipeline.out().ends_with("result=99\n"));
        EXPECT_TRUE(eventually([&] { return standInsFor(a).empty(); }, 2000));
    }
}

} // namespace
} // namespace pelorix::test
