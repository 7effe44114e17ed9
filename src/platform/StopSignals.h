#pragma once

#include <span>
#include <string>
#include <string_view>

namespace pelorix {

// What asks a run to stop, caught for as long as an object of this class lives, so that the
// program can end what it started before it exits. On Linux the signals: SIGINT from the terminal,
// SIGTERM from a job runner or the session's end, SIGHUP from a closed terminal, and for the
// command line SIGPIPE from a reader that went away; the handler only notes the first signal and
// writes a byte into a pipe, so that a program waiting for events (the window program's event
// loop) wakes up. On Windows the console's events, each noted as the signal of its kind
// (platform/win32/ConsoleEvents.h): Ctrl+C as SIGINT, Ctrl+Break as SIGBREAK, a closed console, a
// log-off or a shutdown as SIGTERM. A run looks at the signal between its waits. One object at a
// time: the previous handlers come back when it goes.
class StopSignals {
public:
    // Which signals: the command line's four, or the window program's three (a window writes to
    // no pipe whose reader could go away).
    enum class Set { CommandLine, Window };

    explicit StopSignals(Set set = Set::CommandLine);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The number of the first stop signal received while this object lives; 0 when none.
    int received() const noexcept;

    // On Linux a descriptor that becomes readable when a signal has been received (-1 when the
    // pipe could not be made: received() still tells), closed on exec, so no child inherits it. On
    // Windows none (-1): the console's events come on a thread of their own.
    int wakeUpDescriptor() const noexcept;
    // Reads what the signals wrote, so that the descriptor waits again.
    void drain() const noexcept;

    // The signal's name ("SIGTERM"), or "signal N" for one without a name here.
    static std::string name(int signal);
    // The exit status of a program stopped by the signal, as a shell reports one killed by it:
    // 128 + its number (130 for SIGINT, 143 for SIGTERM; on Linux 129 for SIGHUP, 141 for SIGPIPE;
    // on Windows 149 for SIGBREAK).
    static int exitStatus(int signal) noexcept { return 128 + signal; }

private:
    // Each system's part: the number and name of every signal it stops a run with.
    struct NamedSignal {
        int number;
        std::string_view name;
    };
    static std::span<const NamedSignal> namedSignals() noexcept;

    Set m_set;
};

} // namespace pelorix
