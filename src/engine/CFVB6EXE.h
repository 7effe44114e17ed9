#pragma once

#include "engine/CompilerLog.h"
#include "engine/ProjectRow.h"
#include "platform/ErrorConvention.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

class CDFileData;
class CFSender;
class CFWin32API;
class IBuildLog;
class IBuildObserver;
class IBuildSettingForm;
class IEventPump;
class IMessageBox;
class IProjectGrid;
class IWaitForm;
class UpToDateCheck;

// The build engine: one build run over the projects marked in the main window's grid, in grid
// order. For each project it shows progress, selects the row, writes time-stamped lines to the
// build log, lets the project data bring the project file up to date, runs the compiler through
// the .vbp shell command, waits for it and classifies its log, shows OK or NG in the grid, and
// reacts to a failure with a rebuild in another compatibility mode. A cancel from the progress
// window stops the run before the next project. It also opens a project in the development
// environment or its folder in the file browser.
//
// The main window makes a new engine for every run: fInitialize, NotAfterBuildTargetOff,
// BuildExecute, then CurrentBuildRow.
//
// Besides the keys of section "Build" the window program always knew, two bound its waits:
//   "LogWaitLimit"     ms the compiler log may take to appear once the compiler has ended
//                      (default 30000; 0 waits without a bound); when it is reached the project
//                      ends with 99, a build-log line and an error-log entry.
//   "ProcessWaitLimit" ms a compiler may run before the project ends with 99 (default 600000),
//                      in real time whatever the wait slice "ProcessWaitTime" is.
// A registry in which nothing is registered for "Extension" and "ShellCommand" has no compiler to
// start: the project ends with 99 and the build log names the extension, the key and, on Linux,
// the prefix.
class CFVB6EXE : public ErrorHolder {
public:
    CFVB6EXE(IMessageBox& messageBox, IEventPump& eventPump);
    ~CFVB6EXE();
    CFVB6EXE(const CFVB6EXE&) = delete;
    CFVB6EXE& operator=(const CFVB6EXE&) = delete;

    // Keeps the shared objects and a copy of the build rows (grid rows, header = row 0), and
    // makes the event source the progress window's cancel button reaches the engine through.
    void fInitialize(CDFileData& fileData, CFWin32API& win32Api, std::vector<std::int32_t> buildRows,
                     IBuildLog& buildLog, std::string_view projectListPath);

    // Keep the build marks of successful projects (the main window's option).
    void NotAfterBuildTargetOff(bool keep) noexcept { m_blnNotAfterBuildTargetOff = keep; }
    // The build row of the project the run worked on last.
    std::int32_t CurrentBuildRow() const noexcept { return m_lngCurrentBuildRow; }

    // Runs the build and returns the run's result code (see BuildResult). blnRebuldConfirm true
    // rebuilds failed projects without asking; intReBuildCompatibleMode is the mode of rebuilds.
    // On a run-time error the progress window is unloaded and objWaitForm cleared before the
    // error is logged and raised.
    std::int16_t BuildExecute(IWaitForm*& objWaitForm, bool blnRebuldConfirm,
                              std::int16_t intReBuildCompatibleMode, IBuildSettingForm& objBuildSetting);

    // Opens a project in the program the .vbp shell association names, without waiting.
    bool OpenVBFile(std::string_view strFilePath);
    // Opens a folder in the file browser of "Shell"/"Explorer", without waiting.
    bool OpenDir(std::string_view strDirPath);

    // Tells the observer of each project's progress and outcome (see BuildObserver.h); it must
    // outlive the run.
    void addObserver(IBuildObserver& observer) { m_observers.push_back(&observer); }

    // Build only what changed: a project whose last successful build is still good (see
    // UpToDate.h) is not compiled but shows SKIP and keeps its mark as a built one does. The check
    // is told the run's compiler, each compile just before the compiler starts (its project file
    // updated), and each build's outcome. nullptr (the default) builds every target. The check
    // must outlive the run.
    void ChangedOnly(UpToDateCheck* check) noexcept { m_upToDate = check; }

    // The progress window's cancel button: the run stops before its next project.
    void m_objSender_OnBuildCancel() noexcept { m_blnCancel = true; }

    // A flag the front end sets, from within the event pump, when the run must stop at once (the
    // command line on a signal): a compiler being waited for is given up, none is started, the
    // log is no longer waited for, and the run ends as after a failed project, or as cancelled
    // between projects. It must outlive the run.
    void StopRequest(const bool& stop) noexcept { m_stopRequest = &stop; }
    // End a compiler the run gives up on (the time limit, a stop) with every process of its
    // group, instead of leaving it running (the command line; the window leaves it to the user).
    void EndAbandonedCompiler(bool end) noexcept { m_blnEndAbandonedCompiler = end; }

    // The event source handed to the progress window.
    const std::shared_ptr<CFSender>& Sender() const noexcept { return m_objSender; }

private:
    void pSetBuildParameter(bool& rebuildAgain, std::string& keyText, std::string& extension);
    std::int16_t pVB6EXE(std::string_view projectFilePath, std::string_view projectName,
                         std::int16_t compatibleMode, std::string_view projectType);
    // Reads and classifies the log; the logs it refers to are read only where the project's own
    // logs lie (see readReferredLog).
    std::int16_t pCheckResult(std::string_view logPath, std::string_view projectFilePath = {});
    // Shows the result in the grid: successResult (OK, or SKIP for a project found up to date)
    // for a success, NG otherwise.
    void pBuildResultCellDisplay(IBuildSettingForm& buildSetting, std::int32_t dataRow,
                                 std::int16_t compatibleMode, std::int16_t result,
                                 RowResult successResult = RowResult::OK);

    // What the run carries from one project to the next.
    struct RunState {
        bool rebuildAgain = true;                            // "ReBuildMode"
        std::int16_t rebuildMode = 0;                        // the mode of rebuilds
        std::int16_t result = BuildResult::NothingProcessed; // the run's result code
        std::string name;                                    // the project the loop read last
        std::int32_t successCount = 0;
        // The project of the last row: skipped as up to date, or compiled (path, own mode).
        bool skipped = false;
        bool compiled = false;
        std::string path;
        std::int16_t mode = -1;
        // Of the same project: a compile in binary compatibility ended with a compatibility
        // message, and a compile succeeded (the rebuild, of a project that failed).
        bool compatibilityBroken = false;
        bool rebuilt = false;
    };
    struct RowProject;

    // One project of the run, and its rebuild; false stops the loop.
    bool buildOneRow(IWaitForm& waitForm, IBuildSettingForm& buildSetting, std::int32_t buildRow,
                     RunState& run);
    bool rebuildOneRow(IWaitForm& waitForm, IBuildSettingForm& buildSetting, std::int32_t buildRow,
                       const RowProject& project, RunState& run);
    void countSuccess(IBuildSettingForm& buildSetting, RunState& run);
    // With ChangedOnly: false when the project must be built; otherwise it is shown as skipped.
    bool skipUpToDate(IBuildSettingForm& buildSetting, std::int32_t buildRow, const RowProject& project,
                      RunState& run);
    // pVB6EXE with the observers told of the compile and its outcome, which the run notes.
    std::int16_t compile(const RowProject& project, std::int16_t compatibleMode, RunState& run);
    // A project that failed after a compatibility message of a binary-compatible compile: the
    // build log and the observers are told what broke (see BinaryCompatibility.h).
    void explainCompatibility(const RunState& run);
    template <class Call>
    void notify(Call&& call) {
        for (IBuildObserver* observer : m_observers)
            call(*observer);
    }
    void selectBuildRow(IProjectGrid& grid, std::int32_t row, bool scrollIntoView);
    std::string compilerCommand(std::string_view logPath, std::string_view projectFilePath,
                                std::string_view projectType);
    bool logCanBeWritten(const std::string& logPath, std::string_view projectName);
    bool runCompiler(const std::string& command, std::string_view projectName);
    bool waitForLog(std::string_view logPath, std::string_view projectName);
    std::int16_t askRebuild(std::string_view projectName, std::int16_t compatibleMode, std::int16_t code);
    static void deleteIfExists(const std::string& path);
    std::string argumentPath(std::string_view path);
    void pause(std::int32_t milliseconds);
    void appendLog(const std::string& line);

    IMessageBox& m_messageBox;
    IEventPump& m_eventPump;
    CDFileData* m_objFileData = nullptr;
    CFWin32API* m_objWin32API = nullptr;
    IBuildLog* m_frmLog = nullptr;
    std::shared_ptr<CFSender> m_objSender;
    std::uint64_t m_cancelConnection = 0;
    std::vector<IBuildObserver*> m_observers;
    CompilerLogResult m_lastCompilerLog; // the log the last compile read, for the observers

    std::string m_strAppPath;
    std::string m_strProjectListPath;
    std::string m_strCommandTemplate;
    std::string m_strExtension;    // "Extension" of the run: the file type whose command is the compiler
    std::string m_strShellCommand; // "ShellCommand" of the run: the key that holds the command
    std::vector<std::int32_t> m_lngBuildRows;
    std::int32_t m_lngLogWaitTime = 200;
    std::int32_t m_lngProcessWaitTime = 1000;
    std::int32_t m_lngBufferSize = 1024000;
    std::int32_t m_lngLogWaitLimit = 30000;
    std::int32_t m_lngProcessWaitLimit = 600000;
    std::int32_t m_lngCurrentBuildRow = 0;
    bool m_blnExecute = true;
    bool m_blnCancel = false;
    bool m_blnRebuildConfirm = false;
    bool m_blnNotAfterBuildTargetOff = false;
    const bool* m_stopRequest = nullptr;
    bool m_blnEndAbandonedCompiler = false;
    UpToDateCheck* m_upToDate = nullptr;

    bool stopRequested() const noexcept { return m_stopRequest != nullptr && *m_stopRequest; }
};

} // namespace pelorix
