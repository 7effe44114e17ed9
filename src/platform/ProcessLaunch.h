#pragma once

// What the process functions of CFWin32API need of a backend: starting a program and waiting for
// it, and the look-ups that find the program a command line names.

#include "platform/CFWin32API.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace pelorix {

// Results of one wait, numbered as the system numbers them.
inline constexpr std::int32_t WaitObject0 = 0;
inline constexpr std::int32_t WaitTimeout = 258;
inline constexpr std::int32_t WaitFailed = -1;

// A started program.
class ChildProcess {
public:
    virtual ~ChildProcess() = default;
    // WaitObject0 when the process has ended, WaitTimeout when it still runs after timeoutMs,
    // WaitFailed when waiting is not possible.
    virtual std::int32_t waitFor(int timeoutMs) = 0;
    // Ends the process with every process it started.
    virtual void endGroup() = 0;
    // The system's number of the process.
    virtual int processId() const noexcept = 0;
};

// Starts the program of a Windows command line without any shell. programPath, when given, names
// the program exactly (no search, no ".exe" added); else the line's first argument does. With
// abandoned = EndGroup the program and what it starts also end when this process ends, however
// it ends.
std::unique_ptr<ChildProcess> launch(std::string_view programPath, std::string_view commandLine,
                                     AbandonedProcess abandoned);

// A failure to start a program: its Win32 code and the system's text for it.
[[noreturn]] void failStart(std::int32_t code);
// The same for a given program: the text for a program that is no program names it.
[[noreturn]] void failStartOf(std::int32_t code, const std::string& hostProgram);
// The system's text for a program that is no program, its "%1" the program's path.
std::string notAProgramText(const std::string& hostProgram);

// The host path of a program named by a Windows path or a plain name (see programOfCommandLine).
std::string locateProgram(std::string_view name, bool searchAndAppendExe);

// Backend look-ups for locateProgram: whether a host path is a regular file (isFolder tells a
// folder), and a program on the host's PATH.
bool isRegularFile(const std::string& hostPath, bool* isFolder = nullptr);
std::string findOnHostPath(std::string_view name);
// Wine's program (Linux): PELORIX_WINE, else wine on PATH, else Debian's place; "" when none.
std::string findWine();

} // namespace pelorix
