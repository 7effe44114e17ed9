#include "platform/StopSignals.h"
#include "platform/WindowsApi.h"

#include <atomic>

namespace pelorix {
namespace {

// The console's control events, numbered as the C runtime numbers their signals: Ctrl+C is
// SIGINT, Ctrl+Break SIGBREAK, and closing the console, logging off or shutting down SIGTERM.
constexpr int SignalInterrupt = 2;
constexpr int SignalTerminate = 15;
constexpr int SignalBreak = 21;

// The one piece of state the handler touches; it runs on a thread of its own.
std::atomic<int> firstStopSignal{0};

BOOL WINAPI noteControlEvent(DWORD event) {
    int signal = SignalTerminate;
    if (event == CTRL_C_EVENT)
        signal = SignalInterrupt;
    else if (event == CTRL_BREAK_EVENT)
        signal = SignalBreak;
    int none = 0;
    firstStopSignal.compare_exchange_strong(none, signal);
    // After a close, log-off or shutdown the system ends this process when the handler returns;
    // the compiler's job object ends with it and takes the compiler along.
    return TRUE;
}

} // namespace

StopSignals::StopSignals(Set set) : m_set(set) {
    firstStopSignal = 0;
    ::SetConsoleCtrlHandler(noteControlEvent, TRUE);
}

StopSignals::~StopSignals() {
    ::SetConsoleCtrlHandler(noteControlEvent, FALSE);
}

int StopSignals::received() const noexcept {
    return firstStopSignal;
}

// The console's events come on a thread of their own, not through a descriptor: the waits look at
// received() between their slices.
int StopSignals::wakeUpDescriptor() const noexcept {
    return -1;
}

void StopSignals::drain() const noexcept {}

std::string StopSignals::name(int signal) {
    switch (signal) {
    case SignalInterrupt:
        return "SIGINT";
    case SignalTerminate:
        return "SIGTERM";
    case SignalBreak:
        return "SIGBREAK";
    default:
        return "signal " + std::to_string(signal);
    }
}

} // namespace pelorix
