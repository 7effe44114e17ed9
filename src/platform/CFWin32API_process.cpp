#include "platform/CFWin32API.h"
#include "platform/CommandLine.h"
#include "platform/DriveMap.h"
#include "platform/Environment.h"
#include "platform/FileKind.h"
#include "platform/FileSystemObject.h"
#include "platform/ProgramFolderLock.h"
#include "platform/Text.h"
#include "platform/UniqueFd.h"
#include "platform/UserInterface.h"
#include "platform/Win32Error.h"

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

// Results of one wait, numbered as the system numbers them.
constexpr std::int32_t WaitObject0 = 0;
constexpr std::int32_t WaitTimeout = 258;
constexpr std::int32_t WaitFailed = -1;

// With a wait slice of 0 the wait polls; each poll waits this long so that it does not burn a core.
constexpr int PollIntervalMs = 5;

// A process group being ended gets this long to end on SIGTERM before SIGKILL ends what is left.
constexpr int TerminateGraceMs = 500;
// How long the end of a killed process is waited for before it is left to the background reaper.
constexpr int KillWaitMs = 2000;

// A failure to start a program: its Win32 code and the system's text for it.
[[noreturn]] void failStart(std::int32_t code) {
    SetLastError(code);
    throw RuntimeError(code, CFWin32API().GetLastErrorMsg(code));
}

// The system's text for a program that is no program, its "%1" the program's path.
std::string notAProgramText(const std::string& hostProgram) {
    return replaceAll(win32::systemMessage(win32::BadExeFormat), "%1", hostProgram);
}

[[noreturn]] void failStartOf(std::int32_t code, const std::string& hostProgram) {
    SetLastError(code);
    throw RuntimeError(code, code == win32::BadExeFormat ? notAProgramText(hostProgram)
                                                         : CFWin32API().GetLastErrorMsg(code));
}

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
class ChildProcess {
public:
    explicit ChildProcess(pid_t pid) noexcept : m_pid(pid), m_pidfd(openProcessDescriptor(pid)) {}
    ~ChildProcess() {
        if (!m_reaped)
            reapWhenEnded(m_pid);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const noexcept { return m_pid; }

    // WaitObject0 when the process has ended, WaitTimeout when it still runs after timeoutMs,
    // WaitFailed when waiting is not possible.
    std::int32_t waitFor(int timeoutMs) {
        if (m_reaped)
            return WaitObject0;
        if (m_pidfd.get() >= 0)
            return waitOnDescriptor(timeoutMs);
        return waitByPolling(timeoutMs);
    }

    // Ends the process and every process of its group (it leads its own group): SIGTERM, a short
    // grace, then SIGKILL for whatever is left. The leader stays unreaped until the group has had
    // its SIGKILL, so that the group's number cannot pass to another process in between.
    void endGroup() {
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
    UniqueFd m_pidfd;
    bool m_reaped = false;
};

bool isRegularFile(const std::string& hostPath, bool* isFolder = nullptr) {
    struct stat st {};
    if (::stat(hostPath.c_str(), &st) != 0)
        return false;
    if (isFolder != nullptr)
        *isFolder = S_ISDIR(st.st_mode);
    return S_ISREG(st.st_mode);
}

bool hasFolderPart(std::string_view name) {
    return name.find_first_of("\\/") != std::string_view::npos || (name.size() >= 2 && name[1] == ':');
}

// The names tried for a program: a name without an extension is first tried with ".exe", as the
// system does, and then as written (host programs and scripts have no extension).
std::vector<std::string> nameCandidates(std::string_view name, bool appendExe) {
    const auto lastSep = name.find_last_of("\\/:");
    const std::string_view file = lastSep == std::string_view::npos ? name : name.substr(lastSep + 1);
    if (appendExe && !file.empty() && file.find('.') == std::string_view::npos)
        return {std::string(name) + ".exe", std::string(name)};
    return {std::string(name)};
}

std::string joinWindows(std::string_view folder, std::string_view name) {
    std::string out(folder);
    if (!out.empty() && out.back() != '\\')
        out.push_back('\\');
    return out + std::string(name);
}

// An executable file on the host PATH, as a host program is found.
std::string findOnHostPath(std::string_view name) {
    const std::string path = hostEnv("PATH").value_or("/usr/local/bin:/usr/bin:/bin");
    for (const std::string& dir : split(path, ':')) {
        const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + std::string(name);
        if (isRegularFile(candidate) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

// The host path of a program named by a Windows path or a plain name. A path is taken as given
// (relative to the current folder); a plain name is looked for in the program folder, the current
// folder, the system folder and the Windows folder, then on the host PATH.
std::string locateProgram(std::string_view name, bool searchAndAppendExe) {
    if (name.empty())
        failStart(win32::FileNotFound);
    const DriveMap& drives = DriveMap::current();
    if (hasFolderPart(name) || !searchAndAppendExe) {
        bool sawFolder = false;
        for (const std::string& candidate : nameCandidates(name, searchAndAppendExe)) {
            const auto host = drives.toHost(candidate);
            bool isFolder = false;
            if (host && isRegularFile(*host, &isFolder))
                return *host;
            sawFolder = sawFolder || isFolder;
        }
        if (sawFolder)
            failStart(win32::AccessDenied);
        const std::string parent = FileSystemObject::GetParentFolderName(name);
        const bool folderExists = parent.empty() || FileSystemObject().FolderExists(parent);
        failStart(folderExists ? win32::FileNotFound : win32::PathNotFound);
    }
    const std::string systemRoot = getEnvironmentVariable("SystemRoot");
    const std::vector<std::string> folders = {App_Path(), ".", joinWindows(systemRoot, "system32"),
                                              systemRoot};
    for (const std::string& folder : folders) {
        for (const std::string& candidate : nameCandidates(name, true)) {
            const auto host = drives.toHost(folder == "." ? candidate : joinWindows(folder, candidate));
            if (host && isRegularFile(*host))
                return *host;
        }
    }
    if (std::string host = findOnHostPath(name); !host.empty())
        return host;
    failStart(win32::FileNotFound);
}

bool startsWithMz(const std::string& hostPath) {
    if (hostFileKind(hostPath) != HostFileKind::Regular)
        failStartOf(win32::BadExeFormat, hostPath); // a FIFO or device is never opened, nor run
    const UniqueFd fd(::open(hostPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        failStart(errno == EACCES || errno == EPERM ? win32::AccessDenied : win32::fromErrno(errno));
    char magic[2] = {};
    ssize_t got = 0;
    while ((got = ::read(fd.get(), magic, sizeof magic)) < 0 && errno == EINTR) {
    }
    return got == 2 && magic[0] == 'M' && magic[1] == 'Z';
}

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

// Starts the program of a Windows command line without any shell. programPath, when given, names
// the program exactly (no search, no ".exe" added); else the line's first argument does.
std::unique_ptr<ChildProcess> launch(std::string_view programPath, std::string_view commandLine) {
    UnreapedChildren::instance().reapEnded();
    const std::vector<std::string> args = splitCommandLine(commandLine);
    std::string hostProgram;
    if (!programPath.empty())
        hostProgram = locateProgram(programPath, false);
    else if (!args.empty())
        hostProgram = locateProgram(args.front(), true);
    else
        failStart(win32::FileNotFound);

    std::vector<std::string> argv;
    std::string executable;
    const bool windowsProgram = startsWithMz(hostProgram);
    if (windowsProgram) {
        executable = findOnHostPath("wine");
        if (executable.empty())
            failStart(win32::FileNotFound);
        argv = {"wine", hostProgram};
    } else {
        if (::access(hostProgram.c_str(), X_OK) != 0)
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
    return std::make_unique<ChildProcess>(pid);
}

using Clock = std::chrono::steady_clock;

// Whole milliseconds from now to the deadline, rounded up so that a wait never ends before it;
// 0 once it has passed.
std::int64_t msUntil(Clock::time_point deadline) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero())
        return 0;
    return std::chrono::ceil<std::chrono::milliseconds>(left).count();
}

// One wait of the given slice, never past the deadline. Events are handled every
// PendingEventIntervalMs within the slice; a set cancel flag ends the slice early. A slice of 0
// is one short poll; a negative slice lasts until the deadline.
std::int32_t waitOneSlice(ChildProcess& child, std::int32_t slice, Clock::time_point deadline,
                          IEventPump& events, const bool& cancelFlag) {
    if (slice == 0)
        return child.waitFor(static_cast<int>(std::min<std::int64_t>(msUntil(deadline), PollIntervalMs)));
    const Clock::time_point sliceEnd =
        slice < 0 ? deadline : std::min(deadline, Clock::now() + std::chrono::milliseconds(slice));
    for (;;) {
        const int step = static_cast<int>(std::min<std::int64_t>(msUntil(sliceEnd), PendingEventIntervalMs));
        const std::int32_t result = child.waitFor(step);
        if (result != WaitTimeout || cancelFlag || Clock::now() >= sliceEnd)
            return result;
        events.processEvents();
    }
}

// A process left running after the wait gave up on it may go on writing the file it was started
// for (a compiler's log): the program folder's build lock records it until it has ended.
void leftRunning(const ChildProcess& child) noexcept {
    try {
        ProgramFolderLock::recordStrayProcess(static_cast<int>(child.pid()));
    } catch (...) { // a process that cannot be recorded runs on all the same
    }
}

} // namespace

// Starts a program and waits for it to end, handling pending events between waits. The time
// limit is real time, whatever the slice: a slice of 0 polls until the process ends, the cancel
// flag is set or the limit is reached; a negative slice waits in one slice until then. The window
// state has no meaning for a program started here. A process the wait gives up on (the limit, the
// cancel flag, a failed wait) runs on and is reaped when it ends, recorded meanwhile in the
// program folder's build lock, or with EndGroup is ended with every process of its group; with
// EndGroupOnCancel it is ended so only when the cancel flag stopped the wait.
bool CFWin32API::CreateProcess_Execute(std::string_view programPath, std::string_view commandLine,
                                       std::int16_t windowState, std::int32_t waitSlice,
                                       const bool& cancelFlag, std::int32_t timeLimit, IEventPump* pump,
                                       ProcessWaitEnd* howEnded, AbandonedProcess abandoned) {
    return guard("CreateProcess_Execute", [&] {
        static_cast<void>(windowState);
        NullEventPump noEvents;
        IEventPump& events = pump != nullptr ? *pump : noEvents;
        const auto child = launch(programPath, commandLine);
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(timeLimit, 0));
        std::int32_t result = WaitTimeout;
        try {
            do {
                result = waitOneSlice(*child, waitSlice, deadline, events, cancelFlag);
                if (result == WaitFailed)
                    break;
                events.processEvents();
            } while (Clock::now() < deadline && !cancelFlag && result == WaitTimeout);
        } catch (...) {
            if (abandoned == AbandonedProcess::EndGroup)
                child->endGroup(); // an error while waiting gives the process up too
            throw;
        }
        if (result != WaitObject0 && (abandoned == AbandonedProcess::EndGroup ||
                                      (abandoned == AbandonedProcess::EndGroupOnCancel && cancelFlag)))
            child->endGroup();
        else if (result != WaitObject0)
            leftRunning(*child);
        if (howEnded != nullptr)
            *howEnded = result == WaitObject0  ? ProcessWaitEnd::Ended
                        : result == WaitFailed ? ProcessWaitEnd::WaitFailed
                        : cancelFlag           ? ProcessWaitEnd::Cancelled
                                               : ProcessWaitEnd::TimeLimit;
        return result == WaitObject0;
    });
}

// Starts a command line and returns at once; the process is reaped when it ends.
void CFWin32API::StartProcess(std::string_view commandLine) {
    guard("StartProcess", [&] { launch({}, commandLine); });
}

std::string CFWin32API::GetLastErrorMsg(std::int32_t errorCode) {
    try {
        return win32::systemMessage(errorCode);
    } catch (...) {
        return {};
    }
}

std::string programStartProblem(std::string_view commandLine) {
    const std::string program = programOfCommandLine(commandLine);
    if (program.empty())
        return {};
    try {
        if (startsWithMz(program) || ::access(program.c_str(), X_OK) == 0)
            return {};
        return notAProgramText(program);
    } catch (const RuntimeError& e) {
        return e.description();
    }
}

std::string programOfCommandLine(std::string_view commandLine) {
    const std::vector<std::string> args = splitCommandLine(commandLine);
    if (args.empty())
        return {};
    try {
        return locateProgram(args.front(), true);
    } catch (const RuntimeError&) {
        return {};
    }
}

} // namespace pelorix
