#include "platform/CFWin32API.h"
#include "platform/CommandLine.h"
#include "platform/Text.h"
#include "platform/UserInterface.h"
#include "platform/Win32Error.h"
#include "support/CountingPump.h"
#include "support/ProcessGroup.h"
#include "support/TestEnvironment.h"
#include "support/TestOs.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

namespace pelorix {
namespace {

namespace fs = std::filesystem;
using test::CountingPump;
using test::eventually;
using test::TestEnvironment;
using test::writeFile;

class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_old = old;
        pelorix::test::setEnvironment(name, value.c_str());
    }
    ~ScopedEnv() {
        if (m_old)
            pelorix::test::setEnvironment(m_name, m_old->c_str());
        else
            pelorix::test::unsetEnvironment(m_name);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

// 'R', 'S', 'Z' ... for a process that exists, 0 when it is gone (reaped).
char processState(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return 0;
    const auto close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() ? line[close + 2] : 0;
}

int openDescriptors() {
    int count = 0;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        static_cast<void>(entry);
        ++count;
    }
    return count;
}

std::vector<std::string> splitNul(const std::string& bytes) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\0') {
            out.push_back(bytes.substr(start, i - start));
            start = i + 1;
        }
    }
    return out;
}

// Writes its arguments, each ended by NUL, to $PX_OUT (the first entry is the Wine prefix).
constexpr const char* RecorderScript = "#!/bin/sh\n"
                                       ": > \"$PX_OUT.part\"\n"
                                       "printf 'WINEPREFIX=%s\\0' \"${WINEPREFIX-}\" >> \"$PX_OUT.part\"\n"
                                       "for a in \"$@\"; do printf '%s\\0' \"$a\" >> \"$PX_OUT.part\"; done\n"
                                       "mv \"$PX_OUT.part\" \"$PX_OUT\"\n";

// Writes its process id to $PX_PID and runs until $PX_REL exists.
constexpr const char* WaiterScript = "#!/bin/sh\n"
                                     "echo $$ > \"$PX_PID.part\" && mv \"$PX_PID.part\" \"$PX_PID\"\n"
                                     "while [ ! -e \"$PX_REL\" ]; do sleep 0.01; done\n";

class Process : public ::testing::Test {
protected:
    Process()
        : m_path("PATH", env.path("bin") + ":" + std::string(std::getenv("PATH") ? std::getenv("PATH") : "")),
          m_out("PX_OUT", env.root() + "/out"), m_pid("PX_PID", env.root() + "/pid"),
          m_rel("PX_REL", env.root() + "/release") {
        script(env.path("bin") + "/wine", RecorderScript); // Wine as seen by the test
        script(env.driveC() + "/tools/rec.sh", RecorderScript);
        script(env.driveC() + "/tools/wait.sh", WaiterScript);
    }

    static void script(const std::string& hostPath, const char* text) {
        writeFile(hostPath, text);
        ::chmod(hostPath.c_str(), 0755);
    }

    std::vector<std::string> recorded() const {
        const std::string out = env.root() + "/out";
        EXPECT_TRUE(eventually([&] { return test::fileExists(out); }));
        return test::fileExists(out) ? splitNul(test::readFile(out)) : std::vector<std::string>{};
    }

    pid_t waiterPid() const {
        const std::string file = env.root() + "/pid";
        if (!eventually([&] { return test::fileExists(file); }))
            return 0;
        return static_cast<pid_t>(std::stoi(test::readFile(file)));
    }

    void release() const { writeFile(env.root() + "/release", ""); }

    // The waiter runs on after the wait gave up, and is reaped once it ends.
    void expectStillRunningThenReaped() const {
        const pid_t pid = waiterPid();
        ASSERT_GT(pid, 0);
        const char state = processState(pid);
        EXPECT_TRUE(state != 0 && state != 'Z') << state;
        release();
        EXPECT_TRUE(eventually([&] { return processState(pid) == 0; }))
            << "not reaped: " << processState(pid);
    }

    TestEnvironment env;
    CFWin32API api;
    bool cancel = false;

private:
    ScopedEnv m_path;
    ScopedEnv m_out;
    ScopedEnv m_pid;
    ScopedEnv m_rel;
};

TEST_F(Process, HostProgramGetsEachArgumentWholeAndNoShellRunsThem) {
    const std::string marker = env.root() + "/shell-ran";
    script(env.driveC() + "/my tools/rec $(x);y.sh", RecorderScript);
    const std::vector<std::string> args = {R"(C:\My Tools\rec $(x);y.sh)",
                                           "a b",
                                           R"(say "hi")",
                                           "x;y|z&w",
                                           "$(touch " + marker + ")",
                                           "`touch " + marker + "`",
                                           "日本語 テキスト",
                                           "",
                                           R"(C:\dir\)",
                                           "*"};
    EXPECT_TRUE(api.CreateProcess_Execute("", joinCommandLine(args), 1, 100, cancel, 600000));
    std::vector<std::string> expected(args.begin() + 1, args.end());
    expected.insert(expected.begin(), "WINEPREFIX=" + env.prefix());
    EXPECT_EQ(recorded(), expected);
    EXPECT_FALSE(test::fileExists(marker));
}

TEST_F(Process, WindowsProgramRunsUnderWineWithThePrefix) {
    writeFile(env.driveC() + "/Program Files/VB98/VB6.EXE", std::string("MZ\x90\0\x03\0\0\0", 8));
    const std::string host = fs::canonical(env.driveC() + "/Program Files/VB98/VB6.EXE").string();
    EXPECT_TRUE(api.CreateProcess_Execute(
        "", R"("c:\program files\vb98\VB6" /make "C:\proj\a b.vbp" /out C:\log.txt)", 7, 50, cancel, 600000));
    EXPECT_EQ(recorded(), (std::vector<std::string>{"WINEPREFIX=" + env.prefix(), host, "/make",
                                                    R"(C:\proj\a b.vbp)", "/out", R"(C:\log.txt)"}));
}

TEST_F(Process, WineIsTheOnePelorixWineNamesAndItsAbsenceIsNamedWithItsPackage) {
    writeFile(env.driveC() + "/VB6.EXE", "MZ");
    const std::string host = fs::canonical(env.driveC() + "/VB6.EXE").string();
    {
        const ScopedEnv wine("PELORIX_WINE", env.driveC() + "/tools/rec.sh");
        EXPECT_TRUE(api.CreateProcess_Execute("", R"(C:\VB6.EXE /make)", 1, 50, cancel, 600000));
        EXPECT_EQ(recorded(), (std::vector<std::string>{"WINEPREFIX=" + env.prefix(), host, "/make"}))
            << "PELORIX_WINE wins over wine on PATH";
    }
    const ScopedEnv missing("PELORIX_WINE", env.root() + "/no-wine");
    try {
        api.CreateProcess_Execute("", R"(C:\VB6.EXE /make)", 1, 50, cancel, 600000);
        ADD_FAILURE() << "no Wine, no start";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), win32::FileNotFound);
        EXPECT_NE(e.description().find("Wine"), std::string::npos) << e.description();
        EXPECT_NE(e.description().find("wine64"), std::string::npos) << "the package that brings it";
        EXPECT_NE(e.description().find(host), std::string::npos) << "and the program it was to start";
    }
}

TEST_F(Process, PlainNamesAreFoundInTheWindowsFolderAndOnTheHostPath) {
    writeFile(env.driveC() + "/windows/helper.exe", "MZ");
    EXPECT_TRUE(api.CreateProcess_Execute("", "HELPER one", 1, 50, cancel, 600000));
    EXPECT_EQ(recorded(), (std::vector<std::string>{
                              "WINEPREFIX=" + env.prefix(),
                              fs::canonical(env.driveC() + "/windows/helper.exe").string(), "one"}));
    fs::remove(env.root() + "/out");
    script(env.path("bin") + "/hostrec", RecorderScript);
    EXPECT_TRUE(api.CreateProcess_Execute("", "hostrec two", 1, 50, cancel, 600000));
    EXPECT_EQ(recorded().back(), "two");
}

TEST_F(Process, ProgramPathNamesTheProgramAndTheLineKeepsItsArguments) {
    EXPECT_TRUE(api.CreateProcess_Execute(R"(C:\tools\rec.sh)", "anything first", 1, 50, cancel, 600000));
    EXPECT_EQ(recorded().back(), "first");
}

struct StartFailure {
    const char* commandLine;
    std::int32_t code;
};

class ProcessStartFailure : public Process, public ::testing::WithParamInterface<StartFailure> {};

TEST_P(ProcessStartFailure, IsLoggedAndRaisedWithTheSystemCodeAndNothingIsLeftOpen) {
    writeFile(env.driveC() + "/data.txt", "not a program");
    // The text names the program in place of the system's "%1".
    const std::string text =
        replaceAll(win32::systemMessage(GetParam().code), "%1", env.driveC() + "/data.txt");
    const int descriptors = openDescriptors();
    try {
        api.CreateProcess_Execute("", GetParam().commandLine, 1, 50, cancel, 600000);
        FAIL() << "no error raised";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), GetParam().code);
        EXPECT_EQ(e.description(), text);
        EXPECT_FALSE(e.description().empty());
        EXPECT_EQ(e.source(), "CreateProcess_Execute");
    }
    EXPECT_EQ(api.ErrNumber(), GetParam().code);
    EXPECT_EQ(api.ErrProcName(), "CreateProcess_Execute");
    EXPECT_NE(env.errorLog().find(text), std::string::npos);
    EXPECT_NE(env.errorLog().find("CFWin32API"), std::string::npos);
    EXPECT_EQ(openDescriptors(), descriptors);
}

INSTANTIATE_TEST_SUITE_P(Codes, ProcessStartFailure,
                         ::testing::Values(StartFailure{R"(C:\missing.exe /x)", win32::FileNotFound},
                                           StartFailure{R"("C:\no folder\x.exe")", win32::PathNotFound},
                                           StartFailure{R"(Q:\x.exe)", win32::PathNotFound},
                                           StartFailure{"pelorix-no-such-program", win32::FileNotFound},
                                           StartFailure{"", win32::FileNotFound},
                                           StartFailure{R"(C:\data.txt)", win32::BadExeFormat},
                                           StartFailure{R"(C:\tools)", win32::AccessDenied}));

TEST_F(Process, UnreadableProgramIsAccessDenied) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    writeFile(env.driveC() + "/secret.exe", "MZ");
    ::chmod((env.driveC() + "/secret.exe").c_str(), 0);
    try {
        api.CreateProcess_Execute("", R"(C:\secret.exe)", 1, 50, cancel, 600000);
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), win32::AccessDenied);
    }
}

// A program that never ends and leaves a process of its own running, as a compiler under Wine
// does. Whatever the wait slice (0 polls, a negative one never ends by itself) the wait ends at
// the limit, measured in time; EndGroup then ends the program and the process it started. Neither
// was in our process group, and neither held our output.
TEST_F(Process, TheLimitIsTimeWhateverTheSliceAndEndGroupLeavesNothingRunning) {
    script(env.driveC() + "/tools/family.sh",
           "#!/bin/sh\n"
           "echo started\n"
           "sleep 600 &\n"
           "echo $$ > \"$PX_PID.part\" && mv \"$PX_PID.part\" \"$PX_PID\"\n"
           "trap '' TERM\n" // ends only by SIGKILL
           "while :; do sleep 0.01; done\n");
    for (const std::int32_t slice : {0, -5, 40}) {
        SCOPED_TRACE(slice);
        fs::remove(env.root() + "/pid");
        CountingPump pump;
        pid_t leader = 0;
        std::string output;
        pump.onCall = [&](int) {
            if (leader == 0 && test::fileExists(env.root() + "/pid")) {
                leader = static_cast<pid_t>(std::stoi(test::readFile(env.root() + "/pid")));
                output = fs::read_symlink("/proc/" + std::to_string(leader) + "/fd/1").string();
                EXPECT_EQ(::getpgid(leader), leader) << "its own process group";
            }
        };
        ProcessWaitEnd end = ProcessWaitEnd::Ended;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(api.CreateProcess_Execute("", R"(C:\tools\family.sh)", 1, slice, cancel, 300, &pump,
                                               &end, AbandonedProcess::EndGroup));
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
        EXPECT_EQ(end, ProcessWaitEnd::TimeLimit);
        ASSERT_GT(leader, 0);
        EXPECT_EQ(output, "/dev/null");
        EXPECT_TRUE(eventually([&] { return test::runningProcessesOfGroup(leader).empty(); }))
            << "a process of the group remains";
        EXPECT_EQ(processState(leader), 0) << "reaped";
    }
}

TEST_F(Process, StartProcessReturnsAtOnceAndTheProgramIsReaped) {
    api.StartProcess(R"(C:\tools\wait.sh)");
    expectStillRunningThenReaped();
    EXPECT_THROW(api.StartProcess(R"(C:\missing.exe)"), RuntimeError);
    EXPECT_EQ(api.ErrProcName(), "StartProcess");
}

} // namespace
} // namespace pelorix
