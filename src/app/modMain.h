#pragma once

#include <memory>

class QSocketNotifier;

namespace pelorix {

class StopSignals;
class frmBuildSetting;
struct MainWindowServices;

// The start of the window program: creates the main window, completes its set-up and shows it
// (loading the last list or importing the last batch file).
std::unique_ptr<frmBuildSetting> showMainWindow(const MainWindowServices& services);

// Hands the stop signals, as they arrive, to the window (fStopBySignal), whether it is idle or in
// the waits of a build, for as long as the returned notifier lives.
std::unique_ptr<QSocketNotifier> watchStopSignals(const StopSignals& signals, frmBuildSetting& window);

// The window program: shows the main window and processes window events until it has been
// unloaded (or, when its load failed, until the user closes it). A stop signal closes the window
// as Exit does, after ending a running build. Returns the exit status: 0, or for a stop signal
// 128 + its number, as a shell reports a program the signal ended.
int Main(const MainWindowServices& services);

} // namespace pelorix
