#pragma once

#include <memory>

namespace pelorix {

class frmBuildSetting;
struct MainWindowServices;

// The start of the window program: creates the main window, completes its set-up and shows it
// (loading the last list or importing the last batch file).
std::unique_ptr<frmBuildSetting> showMainWindow(const MainWindowServices& services);

// The window program: shows the main window and processes window events until it has been
// unloaded (or, when its load failed, until the user closes it). Returns the exit status.
int Main(const MainWindowServices& services);

} // namespace pelorix
