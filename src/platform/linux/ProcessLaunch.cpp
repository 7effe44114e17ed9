#include "platform/ProcessLaunch.h"

#include "platform/CFWin32API.h"
#include "platform/CommandLine.h"
#include "platform/DriveMap.h"
#include "platform/Environment.h"
#include "platform/FileKind.h"
#include "platform/FileSystemObject.h"
#include "platform/NativeFile.h"
#include "platform/ProgramFolderLock.h"
#include "platform/Text.h"
#include "platform/UserInterface.h"
#include "platform/Win32Error.h"
#include "platform/linux/PosixApi.h"
#include "platform/linux/WinePrefix.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace pelorix {
namespace {

// A process group being ended gets this long to end on SIGTERM before SIGKILL ends what is left.
constexpr int TerminateGraceMs = 500;
// How long the end of a killed process is waited for before it is left to the background reaper.
constexpr int KillWaitMs = 2000;

// Children whose reaper thread could not be started; each later start reaps those that ended.
// This is the one piece of process-wide state here: a child belongs to the process, not to the
// object that started it.
class UnreapedChildren {
public:
    static UnreapedChildren& instance() {
        static UnreapedChildren children;
        return children;
    }
    void add(pid_t pid) {
        const std::lock_guard lock(m_mutex);
        m_pids.push_back(pid);
    }
    void reapEnded() {
        const std::lock_guard lock(m_mutex);
        std::erase_if(m_pids, [](pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) != 0; });
    }

private:
    std::mutex m_mutex;
    std::vector<pid_t> m_pids;
};

// Collects the exit of a child that outlives the wait, so that it never stays a zombie. The
// child itself is left alone: it runs to its end.
void reapWhenEnded(pid_t pid) noexcept {
    try {
        std::thread([pid] {
            while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (...) {
        try {
            UnreapedChildren::instance().add(pid);
        } catch (...) {
        }
    }
}

// A descriptor that becomes readable when the process ends; -1 where the kernel has none.
int openProcessDescriptor(pid_t pid) noexcept {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    static_cast<void>(pid);
    return -1;
#endif
}

// A started process. Waiting uses a process descriptor where the kernel has one, else a short
// poll. A process still running when this object goes is reaped in the background.
class PosixChild final : public ChildProcess {
public:
    explicit PosixChild(pid_t pid) noexcept : m_pid(pid), m_pidfd(openProcessDescriptor(pid)) {}
    ~PosixChild() override {
        if (!m_reaped)
            reapWhenEnded(m_pid);
    }
    PosixChild(const PosixChild&) = delete;
    PosixChild& operator=(const PosixChild&) = delete;

    int processId() const noexcept override { return static_cast<int>(m_pid); }

    // WaitObject0 when the process has ended, WaitTimeout when it still runs after timeoutMs,
    // WaitFailed when waiting is not possible.
    std::int32_t waitFor(int timeoutMs) override {
        if (m_reaped)
            return WaitObject0;
        if (m_pidfd.get() >= 0)
            return waitOnDescriptor(timeoutMs);
        return waitByPolling(timeoutMs);
    }

    // Ends the process and every process of its group (it leads its own group): SIGTERM, a short
    // grace, then SIGKILL for whatever is left. The leader stays unreaped until the group has had
    // its SIGKILL, so that the group's number cannot pass to another process in between.
    void endGroup() override {
        if (m_reaped)
            return;
        ::kill(-m_pid, SIGTERM);
        exitedWithin(TerminateGraceMs);
        ::kill(-m_pid, SIGKILL);
        waitFor(KillWaitMs);
    }

private:
    // Whether the process has ended within timeoutMs, leaving it unreaped.
    bool exitedWithin(int timeoutMs) {
        if (m_pidfd.get() >= 0) {
            pollfd pfd{m_pidfd.get(), POLLIN, 0};
            int r = 0;
            while ((r = ::poll(&pfd, 1, timeoutMs)) < 0 && errno == EINTR) {
            }
            return r != 0;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            siginfo_t info{};
            if (::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
                info.si_pid == m_pid || std::chrono::steady_clock::now() >= deadline)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    std::int32_t collect() {
        int status = 0;
        const pid_t r = ::waitpid(m_pid, &status, WNOHANG);
        if (r == m_pid) {
            m_reaped = true;
            return WaitObject0;
        }
        return r == 0 ? WaitTimeout : WaitFailed;
    }

    std::int32_t waitOnDescriptor(int timeoutMs) {
        pollfd pfd{m_pidfd.get(), POLLIN, 0};
        int r = 0;
        while ((r = ::poll(&pfd, 1, timeoutMs)) < 0 && errno == EINTR) {
        }
        if (r < 0)
            return WaitFailed;
        if (r == 0)
            return WaitTimeout;
        const std::int32_t result = collect();
        if (result == WaitFailed && errno == ECHILD) {
            m_reaped = true; // ended, and collected elsewhere (SIGCHLD ignored)
            return WaitObject0;
        }
        return result;
    }

    std::int32_t waitByPolling(int timeoutMs) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const std::int32_t result = collect();
            if (result != WaitTimeout || std::chrono::steady_clock::now() >= deadline)
                return result;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    pid_t m_pid;
    UniqueFile m_pidfd;
    bool m_reaped = false;
};

// The environment of the caller, with WINEPREFIX naming the prefix for a Windows program.
std::vector<std::string> childEnvironment(bool forWine) {
    std::vector<std::string> env;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        if (!forWine || !std::string_view(*entry).starts_with("WINEPREFIX="))
            env.emplace_back(*entry);
    }
    if (forWine)
        env.push_back("WINEPREFIX=" + winePrefix());
    return env;
}

std::vector<char*> pointersOf(std::vector<std::string>& strings) {
    std::vector<char*> out;
    out.reserve(strings.size() + 1);
    for (std::string& s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

class SpawnSetup {
public:
    SpawnSetup() {
        ::posix_spawn_file_actions_init(&m_actions);
        ::posix_spawnattr_init(&m_attr);
        // The child neither reads our terminal nor holds our output: a caller that reads our
        // output to its end (a pipe, a CI log) is never kept waiting by a program we left running.
        // It inherits no other descriptor of ours.
        ::posix_spawn_file_actions_addopen(&m_actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        ::posix_spawn_file_actions_addopen(&m_actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        ::posix_spawn_file_actions_addopen(&m_actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        ::posix_spawn_file_actions_addclosefrom_np(&m_actions, STDERR_FILENO + 1);
        // Its own process group: a Ctrl+C at our terminal reaches us, not it, and ending the group
        // ends it with every process it started (under Wine, the program's own processes).
        ::posix_spawnattr_setpgroup(&m_attr, 0);
        // Signals this process ignores or blocks are not passed on.
        sigset_t all;
        sigfillset(&all);
        sigdelset(&all, SIGKILL);
        sigdelset(&all, SIGSTOP);
        sigset_t none;
        sigemptyset(&none);
        ::posix_spawnattr_setsigdefault(&m_attr, &all);
        ::posix_spawnattr_setsigmask(&m_attr, &none);
        ::posix_spawnattr_setflags(&m_attr,
                                   POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
    }
    ~SpawnSetup() {
        ::posix_spawn_file_actions_destroy(&m_actions);
        ::posix_spawnattr_destroy(&m_attr);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    const posix_spawn_file_actions_t* actions() const noexcept { return &m_actions; }
    const posix_spawnattr_t* attr() const noexcept { return &m_attr; }

private:
    posix_spawn_file_actions_t m_actions;
    posix_spawnattr_t m_attr;
};

std::int32_t startErrorCode(int err) {
    switch (err) {
    case ENOEXEC:
    case ELIBBAD:
        return win32::BadExeFormat;
    case EACCES:
    case EPERM:
        return win32::AccessDenied;
    default:
        return win32::fromErrno(err);
    }
}

} // namespace

bool isRegularFile(const std::string& hostPath, bool* isFolder) {
    struct stat st {};
    if (::stat(hostPath.c_str(), &st) != 0)
        return false;
    if (isFolder != nullptr)
        *isFolder = S_ISDIR(st.st_mode);
    return S_ISREG(st.st_mode);
}

// An executable file on the host PATH, as a host program is found.
std::string findOnHostPath(std::string_view name) {
    const std::string path = hostEnv("PATH").value_or("/usr/local/bin:/usr/bin:/bin");
    for (const std::string& dir : split(path, ':')) {
        const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + std::string(name);
        if (isRegularFile(candidate) && isSystemProgram(candidate))
            return candidate;
    }
    return {};
}

// Debian's place for Wine is where the wine64 and wine32 packages put it without the "wine"
// package's link on PATH.
std::string findWine() {
    if (auto wine = hostEnv("PELORIX_WINE"); wine && !wine->empty())
        return isRegularFile(*wine) && isSystemProgram(*wine) ? *wine : std::string();
    if (std::string wine = findOnHostPath("wine"); !wine.empty())
        return wine;
    const std::string debian = "/usr/lib/wine/wine";
    return isRegularFile(debian) && isSystemProgram(debian) ? debian : std::string();
}

std::unique_ptr<ChildProcess>
launch(std::string_view programPath, std::string_view commandLine,
       AbandonedProcess /*abandoned: a process group ends with its leader's end anyway*/) {
    UnreapedChildren::instance().reapEnded();
    const std::vector<std::string> args = splitCommandLine(commandLine);
    const std::string hostProgram = programToLaunch(programPath, args);

    std::vector<std::string> argv;
    std::string executable;
    const bool windowsProgram = isWindowsImage(hostProgram);
    if (windowsProgram) {
        executable = findWine();
        if (executable.empty()) {
            SetLastError(win32::FileNotFound);
            throw RuntimeError(win32::FileNotFound,
                               "Windowsのﾌﾟﾛｸﾞﾗﾑを起動するWineがありません (PATHのwine、/usr/lib/wine/wine、"
                               "PELORIX_WINE)。Debianではwine64とwine32 (またはwine) ﾊﾟｯｹｰｼﾞで入ります。[" +
                                   hostProgram + "]");
        }
        argv = {"wine", hostProgram};
    } else {
        if (!isSystemProgram(hostProgram))
            failStartOf(win32::BadExeFormat, hostProgram); // a file, but not a program
        executable = hostProgram;
        argv = {hostProgram};
    }
    if (!args.empty())
        argv.insert(argv.end(), args.begin() + 1, args.end());

    std::vector<std::string> env = childEnvironment(windowsProgram);
    std::vector<char*> argvPtrs = pointersOf(argv);
    std::vector<char*> envPtrs = pointersOf(env);
    const SpawnSetup setup;
    pid_t pid = 0;
    const int err = ::posix_spawn(&pid, executable.c_str(), setup.actions(), setup.attr(), argvPtrs.data(),
                                  envPtrs.data());
    if (err != 0)
        failStartOf(startErrorCode(err), hostProgram);
    return std::make_unique<PosixChild>(pid);
}

// A host program runs by itself when it may be executed (a script, a Linux program).
bool isSystemProgram(const std::string& hostProgram) {
    return ::access(hostProgram.c_str(), X_OK) == 0;
}

} // namespace pelorix
