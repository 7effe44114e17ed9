#pragma once

#include <string>

namespace pelorix {

// The signals that ask a command-line run to stop (SIGINT from the terminal, SIGTERM from a job
// runner, SIGHUP from a closed terminal, SIGPIPE from a reader that went away), caught for as long
// as an object of this class lives, so that the run can end what it started before it exits. The
// handler only notes the first signal; the run looks at it between its waits. One object at a
// time: the previous handlers come back when it goes.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The number of the first stop signal received while this object lives; 0 when none.
    int received() const noexcept;

    // The signal's name ("SIGTERM"), or "signal N" for one without a name here.
    static std::string name(int signal);
    // The exit status of a program stopped by the signal, as a shell reports one killed by it:
    // 128 + its number (130 for SIGINT, 143 for SIGTERM, 129 for SIGHUP, 141 for SIGPIPE).
    static int exitStatus(int signal) noexcept { return 128 + signal; }
};

} // namespace pelorix
