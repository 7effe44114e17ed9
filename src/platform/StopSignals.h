#pragma once

#include <string>

namespace pelorix {

// The signals that ask a run to stop (SIGINT from the terminal, SIGTERM from a job runner or the
// session's end, SIGHUP from a closed terminal, and for the command line SIGPIPE from a reader
// that went away), caught for as long as an object of this class lives, so that the program can
// end what it started before it exits. The handler only notes the first signal and writes a byte
// into a pipe, so that a program waiting for events (the window program's event loop) wakes up;
// a run looks at the signal between its waits. One object at a time: the previous handlers come
// back when it goes.
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

    // A descriptor that becomes readable when a signal has been received (-1 when the pipe could
    // not be made: received() still tells). Closed on exec, so no child inherits it.
    int wakeUpDescriptor() const noexcept;
    // Reads what the signals wrote, so that the descriptor waits again.
    void drain() const noexcept;

    // The signal's name ("SIGTERM"), or "signal N" for one without a name here.
    static std::string name(int signal);
    // The exit status of a program stopped by the signal, as a shell reports one killed by it:
    // 128 + its number (130 for SIGINT, 143 for SIGTERM, 129 for SIGHUP, 141 for SIGPIPE).
    static int exitStatus(int signal) noexcept { return 128 + signal; }

#ifdef _WIN32
    // What the console's control handler does with an event (CTRL_C_EVENT ...): notes it as the
    // signal of its kind and, for a closed console, a log-off or a shutdown (after which the
    // system ends the process), waits a little under the system's five seconds for the run to
    // end, that is for this object to go. True: the event is handled.
    static bool consoleEvent(unsigned long event) noexcept;
#endif

private:
    Set m_set;
};

} // namespace pelorix
