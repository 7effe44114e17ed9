#include "platform/StopSignals.h"

#include "platform/win32/ConsoleEvents.h"
#include "platform/win32/WindowsApi.h"

#include <atomic>

namespace pelorix {
namespace {

// The console's control events, numbered as the C runtime numbers their signals: Ctrl+C is
// SIGINT, Ctrl+Break SIGBREAK, and closing the console, logging off or shutting down SIGTERM.
constexpr int SignalInterrupt = 2;
constexpr int SignalTerminate = 15;
constexpr int SignalBreak = 21;

// After a close, log-off or shutdown the system ends the process once the handler returns, and
// at the latest after five seconds: the handler waits that long, less a margin, for the run.
constexpr DWORD RunEndWaitMs = 4500;

// What the handler touches; it runs on a thread of its own. The event is set while no run needs
// the process (no StopSignals object lives); it is made once and lasts as long as the process.
std::atomic<int> firstStopSignal{0};
HANDLE runEnded() {
    static const HANDLE event = ::CreateEventW(nullptr, TRUE, TRUE, nullptr);
    return event;
}

BOOL WINAPI noteControlEvent(DWORD event) {
    return handleConsoleEvent(event) ? TRUE : FALSE;
}

} // namespace

StopSignals::StopSignals(Set set) : m_set(set) {
    firstStopSignal = 0;
    ::ResetEvent(runEnded());
    ::SetConsoleCtrlHandler(noteControlEvent, TRUE);
}

StopSignals::~StopSignals() {
    ::SetConsoleCtrlHandler(noteControlEvent, FALSE);
    ::SetEvent(runEnded());
}

bool handleConsoleEvent(unsigned long event) noexcept {
    int signal = SignalTerminate;
    if (event == CTRL_C_EVENT)
        signal = SignalInterrupt;
    else if (event == CTRL_BREAK_EVENT)
        signal = SignalBreak;
    int none = 0;
    firstStopSignal.compare_exchange_strong(none, signal);
    // A closed console, a log-off or a shutdown ends the process when this returns: the run first
    // ends its compiler and puts the project file back, as for Ctrl+C (the job object would end
    // the compiler anyway, but not restore the file).
    if (signal == SignalTerminate)
        ::WaitForSingleObject(runEnded(), RunEndWaitMs);
    return true;
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

std::span<const StopSignals::NamedSignal> StopSignals::namedSignals() noexcept {
    static constexpr NamedSignal Names[] = {
        {SignalInterrupt, "SIGINT"}, {SignalTerminate, "SIGTERM"}, {SignalBreak, "SIGBREAK"}};
    return Names;
}

} // namespace pelorix
