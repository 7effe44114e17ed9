#include "platform/StopSignals.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace pelorix {
namespace {

constexpr std::array<int, 4> StopSignalNumbers = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// The signals of a set: the window program's are the first three.
std::size_t signalCount(StopSignals::Set set) {
    return set == StopSignals::Set::Window ? 3 : StopSignalNumbers.size();
}

// The state a signal handler may touch. It belongs to the process, as the signals do.
volatile std::sig_atomic_t firstStopSignal = 0;
volatile std::sig_atomic_t wakeUpWriteEnd = -1;
int wakeUpReadEnd = -1;

extern "C" void noteStopSignal(int signal) {
    if (firstStopSignal == 0)
        firstStopSignal = signal;
    const int savedErrno = errno;
    if (wakeUpWriteEnd >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(wakeUpWriteEnd, &byte, 1);
    }
    errno = savedErrno;
}

// The handlers the object replaced, restored when it goes.
std::array<struct sigaction, StopSignalNumbers.size()> previousActions{};

} // namespace

StopSignals::StopSignals(Set set) : m_set(set) {
    firstStopSignal = 0;
    if (int ends[2]; ::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        wakeUpReadEnd = ends[0];
        wakeUpWriteEnd = ends[1];
    }
    struct sigaction action {};
    action.sa_handler = noteStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < signalCount(m_set); ++i)
        ::sigaction(StopSignalNumbers[i], &action, &previousActions[i]);
}

StopSignals::~StopSignals() {
    for (std::size_t i = 0; i < signalCount(m_set); ++i)
        ::sigaction(StopSignalNumbers[i], &previousActions[i], nullptr);
    if (wakeUpWriteEnd >= 0) {
        ::close(wakeUpWriteEnd);
        ::close(wakeUpReadEnd);
    }
    wakeUpWriteEnd = -1;
    wakeUpReadEnd = -1;
}

int StopSignals::received() const noexcept {
    return firstStopSignal;
}

int StopSignals::wakeUpDescriptor() const noexcept {
    return wakeUpReadEnd;
}

void StopSignals::drain() const noexcept {
    char buffer[64];
    while (wakeUpReadEnd >= 0 && ::read(wakeUpReadEnd, buffer, sizeof buffer) > 0) {
    }
}

std::span<const StopSignals::NamedSignal> StopSignals::namedSignals() noexcept {
    static constexpr NamedSignal Names[] = {
        {SIGINT, "SIGINT"}, {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}, {SIGPIPE, "SIGPIPE"}};
    return Names;
}

} // namespace pelorix
