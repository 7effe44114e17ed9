#pragma once

#include "engine/BuildWindows.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

class CDFileData;
class CFWin32API;
class IBuildLog;
class IBuildObserver;
class IBuildSettingForm;
class IEventPump;
class IMessageBox;
class IProjectGrid;
class IWaitForm;

// The hand-over from the main window to a build run, used alike by the window program and the
// command-line front end: the window's options a build reads, the grid filled from the project
// list, the build marks, the targets with their modes, the run, and the report of its result.

// The main window's options as Pelorix.ini keeps them.
struct WindowOptions {
    // "Build"/"RebuildHideConfirm": rebuild a failed project without asking. A numeric value is
    // True unless it is 0; anything else leaves the default, True.
    bool rebuildHideConfirm = true;
    // "Build"/"RebuildCompatibleMode": the mode of rebuilds. A numeric value that rounds to 1 or 2
    // picks that mode; anything else gives 0, as the window's list of modes offers no other.
    std::int16_t rebuildCompatibleMode = 0;
    // "Option" keys, on when they read "1".
    bool notAfterBuildTargetOff = false;
    bool startupImpBat = false;
    bool updateComponentReference = false;
    // "Option"/"BuildChangedOnly": build only the targets that changed since their last
    // successful build (see UpToDate.h).
    bool buildChangedOnly = false;
};
WindowOptions readWindowOptions(CFWin32API& api);
// Writes them back: the two "Build" keys as numbers, the "Option" keys as "1" or "0" between
// double quotes. A failed write is not reported; the other keys are still written.
void writeWindowOptions(CFWin32API& api, const WindowOptions& options);

// "実行速度" 0, "ｻｲｽﾞ" 1, "なし" 2, "-" for any other value.
std::string pGetOptimizationTypeString(std::int32_t optimizationType);

// Writes one data row from a project's record: the mark "not a target" (empty when the project
// file does not exist), an empty result, the compatibility and optimisation texts, the title,
// the description and the path, coloured red for a missing file and black otherwise. The grid's
// current cell moves.
void fillProjectRow(IBuildSettingForm& form, std::int32_t row, CDFileData& fileData, std::int32_t index);

// Fills every data row of the grid from the project list, in row order; an empty list keeps one
// empty data row. The header row is the caller's.
void fillProjectGrid(IBuildSettingForm& form, CDFileData& fileData);

// Puts the target mark into the listed rows that exist and whose mark cell is not empty (a
// missing project file cannot be marked). Returns the number of marks now set by this call.
std::int32_t restoreBuildMarks(IBuildSettingForm& form, const std::vector<std::int32_t>& rows);

// The listed rows that restoreBuildMarks cannot mark because their project file is missing (the
// mark cell is empty), in the order given, each once. A run skips them; the command line names
// them so that a list whose marked project vanished does not pass for a whole build.
std::vector<std::int32_t> missingMarkedRows(IBuildSettingForm& form, const std::vector<std::int32_t>& rows);

// The data rows that carry the target mark, in grid order.
std::vector<std::int32_t> markedRows(IBuildSettingForm& form);

// The targets of a run: the marked rows, in grid order (the single row -1 when there is none).
// Each target's project is given the compatibility mode its row shows, and the project data the
// component option.
std::vector<std::int32_t> handOverBuildTargets(IBuildSettingForm& form, CDFileData& fileData,
                                               bool updateComponentReference);

// What a build run works with besides the main window and its progress window.
struct BuildRunContext {
    CDFileData& fileData;
    CFWin32API& win32Api;
    IBuildLog& buildLog;
    IMessageBox& messageBox;
    IEventPump& eventPump;
    // Told of each project's progress and outcome, and of every build-log line.
    std::vector<IBuildObserver*> observers = {};
    // The command line's: a flag its event pump sets to stop the run at once (see
    // CFVB6EXE::StopRequest), and the ending of a compiler the run gives up on.
    const bool* stopRequest = nullptr;
    bool endAbandonedCompiler = false;
    // Build only what changed (see UpToDate.h), keeping the build state beside this list or
    // group file; "" builds every target.
    std::string changedOnlyListPath = {};
};

struct BuildRunOutcome {
    std::int16_t result = 0;
    // The grid row of the project the run worked on last.
    std::int32_t currentBuildRow = 0;
    // What the run found wrong with the machine before its first project (the program folder,
    // on Linux the prefix's registry, a build state that could not be written), as written to the build
    // log; the command line repeats it on standard error.
    std::vector<std::string> problems;
};

// Runs one build of the target rows with a new engine: the options' rebuild settings and mark
// keeping, the list path for the engine's report. waitForm is the progress window the engine
// shows; it is cleared when the run ends in a run-time error, which is written to the build log
// and raised. The run first checks the machine: a program folder that cannot take the compiler
// logs ends it at once with 99 (no engine, no progress window), and a registry that cannot be
// used (on Linux a prefix without a usable one) is named in the build log before the run goes on. The caller
// holds the program folder's ProgramFolderLock for the whole run.
BuildRunOutcome runBuild(const BuildRunContext& context, const std::vector<std::int32_t>& buildRows,
                         std::string_view projectListPath, const WindowOptions& options, IWaitForm*& waitForm,
                         IBuildSettingForm& form);

// The build-log text for a run stopped by a signal ("SIGTERM"): the compiler is ended and the run
// finishes as after a failed project.
std::string stopSignalLogText(std::string_view signalName);

// How the main window reports a run's result in the progress window.
struct BuildSummary {
    std::string text;
    std::string title;
    // The progress window's display mode: 2 information, 4 warning.
    std::int16_t displayMode = WaitMode::Warning;
    // A cancelled run shows the progress window again, modal.
    bool showModal = false;
    // A failed run saves the list's build state into the list file.
    bool saveListState = false;
};
// The report of a run's result code; a run whose code is 0 although failedProjects of its targets
// did not pass (a project not updated, and later ones built) reports them as a warning, so that a
// later success never hides an earlier failure.
BuildSummary buildSummary(std::int16_t result, std::int32_t failedProjects = 0);

} // namespace pelorix
