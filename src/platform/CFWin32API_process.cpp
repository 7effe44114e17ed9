#include "platform/CFWin32API.h"
#include "platform/CommandLine.h"
#include "platform/DriveMap.h"
#include "platform/Environment.h"
#include "platform/FileKind.h"
#include "platform/FileSystemObject.h"
#include "platform/HostFile.h"
#include "platform/ProcessLaunch.h"
#include "platform/ProgramFolderLock.h"
#include "platform/Text.h"
#include "platform/UserInterface.h"
#include "platform/Win32Error.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace pelorix {
namespace {

// With a wait slice of 0 the wait polls; each poll waits this long so that it does not burn a core.
constexpr int PollIntervalMs = 5;

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

} // namespace

void failStart(std::int32_t code) {
    SetLastError(code);
    throw RuntimeError(code, CFWin32API().GetLastErrorMsg(code));
}

std::string notAProgramText(const std::string& hostProgram) {
    return replaceAll(win32::systemMessage(win32::BadExeFormat), "%1", hostProgram);
}

void failStartOf(std::int32_t code, const std::string& hostProgram) {
    if (code != win32::BadExeFormat)
        failStart(code);
    SetLastError(code);
    throw RuntimeError(code, notAProgramText(hostProgram));
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

std::string programToLaunch(std::string_view programPath, const std::vector<std::string>& args) {
    if (!programPath.empty())
        return locateProgram(programPath, false);
    if (args.empty())
        failStart(win32::FileNotFound);
    return locateProgram(args.front(), true);
}

namespace {

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

// A process the wait may give up on, or that outlives this program (killed outright), may go on
// writing the file it was started for (a compiler's log): the program folder's build lock records
// it from its start until it has been collected, so that no later build takes its file for its own.
class RecordedProcess {
public:
    explicit RecordedProcess(const ChildProcess& child) noexcept : m_processId(child.processId()) {
        try {
            ProgramFolderLock::recordStrayProcess(m_processId);
        } catch (...) { // a process that cannot be recorded runs all the same
        }
    }
    // The process has ended and was reaped, or was ended with its group: its record goes.
    void collected() noexcept {
        try {
            ProgramFolderLock::forgetProcess(m_processId);
        } catch (...) { // a record left behind only holds the next build until the number is free
        }
    }

private:
    int m_processId;
};

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
        const auto child = launch(programPath, commandLine, abandoned);
        RecordedProcess record(*child);
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
            if (abandoned == AbandonedProcess::EndGroup) {
                child->endGroup(); // an error while waiting gives the process up too
                record.collected();
            }
            throw;
        }
        if (result != WaitObject0 && (abandoned == AbandonedProcess::EndGroup ||
                                      (abandoned == AbandonedProcess::EndGroupOnCancel && cancelFlag)))
            child->endGroup();
        // A process given up on stays recorded until a later build finds it ended.
        if (result == WaitObject0 || abandoned == AbandonedProcess::EndGroup ||
            (abandoned == AbandonedProcess::EndGroupOnCancel && cancelFlag))
            record.collected();
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
    guard("StartProcess", [&] { launch({}, commandLine, AbandonedProcess::LeaveRunning); });
}

std::string CFWin32API::GetLastErrorMsg(std::int32_t errorCode) {
    try {
        return win32::systemMessage(errorCode);
    } catch (...) {
        return {};
    }
}

bool isWindowsImage(const std::string& hostProgram) {
    if (hostFileKind(hostProgram) != HostFileKind::Regular)
        failStartOf(win32::BadExeFormat, hostProgram);
    std::string start;
    if (const std::int32_t code = readHostFileInPieces(hostProgram,
                                                       [&start](std::string_view piece) {
                                                           start.append(piece.substr(0, 2 - start.size()));
                                                           return start.size() < 2;
                                                       });
        code != 0)
        failStart(code);
    return start == "MZ";
}

// The one test of what may start, on both systems: a Windows program, or one the system runs.
std::string programStartProblem(std::string_view commandLine) {
    const std::string program = programOfCommandLine(commandLine);
    if (program.empty())
        return {};
    try {
        if (isWindowsImage(program) || isSystemProgram(program))
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
