#pragma once

namespace pelorix {

// The console's control handler on Windows, while a StopSignals object lives: notes the event
// (CTRL_C_EVENT ...) as the signal of its kind and, for a closed console, a log-off or a shutdown
// (after which the system ends the process), waits a little under the system's five seconds for
// the run to end, that is for the StopSignals object to go. True: the event is handled.
bool handleConsoleEvent(unsigned long event) noexcept;

} // namespace pelorix
