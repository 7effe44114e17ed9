#pragma once

#include "platform/ErrorConvention.h"
#include "platform/TimeFormat.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

class IEventPump;

// Registry key handles, numbered as Win32 numbers them.
using HKEY = std::int32_t;
inline constexpr HKEY HKEY_CLASSES_ROOT = static_cast<HKEY>(0x80000000u);
inline constexpr HKEY HKEY_CURRENT_USER = static_cast<HKEY>(0x80000001u);
inline constexpr HKEY HKEY_LOCAL_MACHINE = static_cast<HKEY>(0x80000002u);
inline constexpr std::int32_t REG_SZ = 1;

// Why CreateProcess_Execute stopped waiting for the process it started.
enum class ProcessWaitEnd { Ended, TimeLimit, Cancelled, WaitFailed };

// What becomes of a process CreateProcess_Execute stops waiting for before it ended: left running
// (the window program leaves it to the user), ended with every process of its group, or left
// running after the time limit but ended with its group when the cancel flag (the program's own
// stop) ended the wait.
enum class AbandonedProcess { LeaveRunning, EndGroup, EndGroupOnCancel };

// Why the settings file beside the program (Pelorix.ini) cannot be read or written (a folder, a
// FIFO ...), naming it; nothing when it is a regular file or missing.
std::optional<std::string> settingsFileProblem();

// The Win32 service class: settings files, registry, processes, system texts and path
// operations. It keeps no state that callers rely on but the count of the registry failures its
// walks logged; every user creates its own instance.
class CFWin32API : public ErrorHolder {
public:
    CFWin32API() : ErrorHolder("CFWin32API") {}

    // Settings files. A file path of "" selects Pelorix.ini in the program folder.
    std::string GetTerminalProfile(std::string_view sectionName, std::string_view keyName,
                                   std::string_view filePath = {});
    bool SetTerminalProfile(std::string_view sectionName, std::string_view keyName, std::string_view value,
                            std::string_view filePath = {});

    // Registry (HKEY_CLASSES_ROOT as the compiler sees it: see platform/Registry.h).
    std::int32_t EnumKeys(HKEY key, std::string_view subKey, std::vector<std::string>& names);
    void RecursiveRegEnumKeys(HKEY key, std::string_view path, std::vector<std::string>& libraryPaths,
                              std::vector<std::string>& keyPaths, std::vector<VbDate>& writeTimes);
    std::string fGetRegKeyValue(HKEY key, std::string_view subKey, std::optional<std::string_view> valueName,
                                std::int32_t valueType);
    VbDate pDosDateTimeToFileTime(std::uint64_t fileTime);
    // How many failures the RecursiveRegEnumKeys walks of this object have written to the error
    // log: a walk goes on after a failure and reports it nowhere else.
    std::int32_t loggedWalkFailures() const noexcept { return m_lngLoggedWalkFailures; }

    // Processes. Starts the command line and waits for the process to end, processing pending
    // events through pump between wait slices; see the implementation for the rules. True when
    // the process ended; howEnded, when given, receives why the wait stopped, and abandoned says
    // what becomes of a process the wait gives up on.
    bool CreateProcess_Execute(std::string_view programPath, std::string_view commandLine,
                               std::int16_t windowState, std::int32_t waitSlice, const bool& cancelFlag,
                               std::int32_t timeLimit, IEventPump* pump = nullptr,
                               ProcessWaitEnd* howEnded = nullptr,
                               AbandonedProcess abandoned = AbandonedProcess::LeaveRunning);
    // Starts the command line and returns at once (opening a project or a folder).
    void StartProcess(std::string_view commandLine);
    std::string GetLastErrorMsg(std::int32_t errorCode);

    // Path operations on Windows paths.
    std::string fPathCanonicalize(std::string_view path);
    std::string QuoteSpaces(std::string_view path);

    // What the RecursiveRegEnumKeys walks of this object reuse from one to the next, so that a
    // walk of many keys allocates little: at each depth the names and times of the children of
    // the key visited there, the path of the key being visited, and the value read last.
    struct WalkBuffers {
        std::vector<std::vector<std::string>> names;
        std::vector<std::vector<std::uint64_t>> times;
        std::string path;
        std::string text;
    };

private:
    std::int32_t m_lngLoggedWalkFailures = 0;
    WalkBuffers m_walkBuffers;
};

// The host file of the program a command line would start: its first argument, looked for as
// CreateProcess_Execute looks for it (a path as given, a plain name in the program folder, the
// current, system and Windows folders, then on the host PATH, ".exe" added where Windows adds it);
// "" when there is no such program.
std::string programOfCommandLine(std::string_view commandLine);

// Why the program of a command line could not be started (not a program, not a regular file, not
// readable), naming it; "" when it can be, or when there is no such program (see above).
std::string programStartProblem(std::string_view commandLine);

} // namespace pelorix
