#include "platform/StopSignals.h"

#include <array>
#include <csignal>

namespace pelorix {
namespace {

constexpr std::array<int, 4> StopSignalNumbers = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// The one piece of state a signal handler may touch. It belongs to the process, as the signals do.
volatile std::sig_atomic_t firstStopSignal = 0;

extern "C" void noteStopSignal(int signal) {
    if (firstStopSignal == 0)
        firstStopSignal = signal;
}

// The handlers the object replaced, restored when it goes.
std::array<struct sigaction, StopSignalNumbers.size()> previousActions{};

} // namespace

StopSignals::StopSignals() {
    firstStopSignal = 0;
    struct sigaction action {};
    action.sa_handler = noteStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < StopSignalNumbers.size(); ++i)
        ::sigaction(StopSignalNumbers[i], &action, &previousActions[i]);
}

StopSignals::~StopSignals() {
    for (std::size_t i = 0; i < StopSignalNumbers.size(); ++i)
        ::sigaction(StopSignalNumbers[i], &previousActions[i], nullptr);
}

int StopSignals::received() const noexcept {
    return firstStopSignal;
}

std::string StopSignals::name(int signal) {
    switch (signal) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    case SIGHUP:
        return "SIGHUP";
    case SIGPIPE:
        return "SIGPIPE";
    default:
        return "signal " + std::to_string(signal);
    }
}

} // namespace pelorix
