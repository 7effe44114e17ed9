#include "engine/CFVB6EXE.h"

#include "engine/BinaryCompatibility.h"
#include "engine/BuildObserver.h"
#include "engine/BuildWindows.h"
#include "engine/CFSender.h"
#include "engine/CompilerLog.h"
#include "engine/UpToDate.h"
#include "platform/CCCommon.h"
#include "platform/CDRegistryData.h"
#include "platform/CFWin32API.h"
#include "platform/CommandLine.h"
#include "platform/DriveMap.h"
#include "platform/Environment.h"
#include "platform/ErrorLog.h"
#include "platform/FileKind.h"
#include "platform/FileSystemObject.h"
#include "platform/Text.h"
#include "platform/TimeFormat.h"
#include "platform/UserInterface.h"
#include "platform/Win32Error.h"
#include "projectdata/CDFileData.h"
#include "projectdata/IBuildLog.h"
#include "projectdata/ProjectText.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace pelorix {

namespace {

constexpr const char* Module = "CFVB6EXE";
constexpr const char* Crlf = "\r\n";

std::string stamp() {
    return timeStamp() + " ";
}

// An error raised while a compiler command line existed carries that line in its description.
template <class Body>
auto noteCommandOnError(const std::string& command, Body&& body) {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        const RuntimeError error = currentAsRuntimeError();
        if (command.empty())
            throw error;
        throw RuntimeError(error.number(), error.description() + "[Command=" + command + "]", error.source());
    }
}

// Unloads the progress window and clears the caller's reference when a run-time error leaves
// the run, before the error is logged.
class UnloadOnError {
public:
    explicit UnloadOnError(IWaitForm*& form) : m_form(form), m_exceptions(std::uncaught_exceptions()) {}
    ~UnloadOnError() {
        if (std::uncaught_exceptions() > m_exceptions && m_form != nullptr) {
            m_form->unload();
            m_form = nullptr;
        }
    }
    UnloadOnError(const UnloadOnError&) = delete;
    UnloadOnError& operator=(const UnloadOnError&) = delete;

private:
    IWaitForm*& m_form;
    int m_exceptions;
};

} // namespace

CFVB6EXE::CFVB6EXE(IMessageBox& messageBox, IEventPump& eventPump)
    : ErrorHolder(Module), m_messageBox(messageBox), m_eventPump(eventPump) {}

CFVB6EXE::~CFVB6EXE() {
    // The progress window may hold the event source longer than the engine lives.
    if (m_objSender)
        m_objSender->disconnect(m_cancelConnection);
}

void CFVB6EXE::fInitialize(CDFileData& fileData, CFWin32API& win32Api, std::vector<std::int32_t> buildRows,
                           IBuildLog& buildLog, std::string_view projectListPath) {
    guard("fInitialize", [&] {
        m_objFileData = &fileData;
        m_objWin32API = &win32Api;
        m_lngBuildRows = std::move(buildRows);
        // The main window marks an empty target list with the single row -1: no project to build.
        std::erase_if(m_lngBuildRows, [](std::int32_t row) { return row < 0; });
        m_frmLog = &buildLog;
        m_strProjectListPath = std::string(projectListPath);
        if (m_objSender)
            m_objSender->disconnect(m_cancelConnection);
        m_objSender = std::make_shared<CFSender>();
        m_cancelConnection = m_objSender->OnBuildCancel([this] { m_objSender_OnBuildCancel(); });
        m_lngBufferSize = 1024000;
    });
}

void CFVB6EXE::appendLog(const std::string& line) {
    if (m_frmLog != nullptr)
        m_frmLog->appendLine(line);
}

// The engine waits on the user-interface thread: pending events are processed meanwhile, at least
// every PendingEventIntervalMs, so that the windows keep repainting and the cancel button works.
void CFVB6EXE::pause(std::int32_t milliseconds) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (Clock::time_point now = Clock::now(); now < end && !stopRequested(); now = Clock::now()) {
        std::this_thread::sleep_for(
            std::min<Clock::duration>(end - now, std::chrono::milliseconds(PendingEventIntervalMs)));
        m_eventPump.processEvents();
    }
}

// ---- The run ---------------------------------------------------------------------------------

std::int16_t CFVB6EXE::BuildExecute(IWaitForm*& objWaitForm, bool blnRebuldConfirm,
                                    std::int16_t intReBuildCompatibleMode,
                                    IBuildSettingForm& objBuildSetting) {
    return guard("BuildExecute", [&]() -> std::int16_t {
        UnloadOnError unloadOnError(objWaitForm);
        if (objWaitForm == nullptr || m_objFileData == nullptr)
            throw vberr::make(vberr::ObjectNotSet);

        RunState run;
        run.rebuildMode = intReBuildCompatibleMode;
        pSetBuildParameter(run.rebuildAgain, m_strShellCommand, m_strExtension);
        m_strCommandTemplate = CDRegistryData().fGetShellExProgPath(m_strExtension, m_strShellCommand);
        if (m_upToDate != nullptr)
            m_upToDate->compiler(m_strCommandTemplate);
        m_blnRebuildConfirm = blnRebuldConfirm;

        objWaitForm->setEventSource(m_objSender);
        objWaitForm->showModeless(objBuildSetting);

        objBuildSetting.IsBuild(true);
        notify([&](IBuildObserver& o) { o.runStarted(static_cast<std::int32_t>(m_lngBuildRows.size())); });
        for (const std::int32_t buildRow : m_lngBuildRows) {
            const bool goOn = buildOneRow(*objWaitForm, objBuildSetting, buildRow, run);
            if (m_upToDate != nullptr && run.compiled)
                m_upToDate->built(run.path, run.mode, run.result == BuildResult::Success);
            if (run.compiled && run.compatibilityBroken && run.result != BuildResult::Success)
                explainCompatibility(run);
            if (!run.skipped && run.result != BuildResult::Cancelled)
                notify([&](IBuildObserver& o) { o.projectEnded(run.result); });
            if (!goOn)
                break;
        }
        objBuildSetting.IsBuild(false);
        notify([&](IBuildObserver& o) { o.runEnded(run.result); });

        if (run.result != BuildResult::Success) {
            objWaitForm->setDisplayMode(WaitMode::EngineFailure);
            objWaitForm->fSetDispInfo(run.name + "の" + "ﾋﾞﾙﾄﾞに失敗しました。", "ﾋﾞﾙﾄﾞｴﾗｰ");
        }
        return run.result;
    });
}

// The project of one build row, as the run reads it from the project data.
struct CFVB6EXE::RowProject {
    std::int32_t index;
    std::string path;
    std::string name;
    std::string type;
    std::int16_t ownMode;
    // A project without a usable mode (-1: missing file, no CompatibleMode line) has the empty
    // mode name and is built without changing its mode line.
    std::string ownModeName;
};

bool CFVB6EXE::buildOneRow(IWaitForm& waitForm, IBuildSettingForm& buildSetting, std::int32_t buildRow,
                           RunState& run) {
    m_lngCurrentBuildRow = buildRow;
    CDFileData& data = *m_objFileData;
    const std::int32_t index = data.fGetProjectArrayIndex(buildRow);
    const std::int16_t ownMode = data.fGetCompatibleMode(index);
    const RowProject project{
        index,   data.fProjectFilePath(index), data.fGetProjectName(index), data.fGetProjectType(index),
        ownMode, compatibleModeName(ownMode)};
    run.name = project.name;
    run.compatibilityBroken = false;
    run.rebuilt = false;

    const auto position =
        std::find(m_lngBuildRows.begin(), m_lngBuildRows.end(), buildRow) - m_lngBuildRows.begin();
    notify([&](IBuildObserver& o) {
        o.projectStarted(
            {buildRow, static_cast<std::int32_t>(position) + 1, project.name, project.path, ownMode});
    });

    waitForm.setDisplayMode(WaitMode::Running);
    waitForm.fSetDispInfo(project.name + "を「" + project.ownModeName + "」でﾋﾞﾙﾄﾞ中...", "ﾋﾞﾙﾄﾞ中...");
    waitForm.refresh();

    if (m_blnCancel || stopRequested()) {
        run.result = BuildResult::Cancelled;
        m_blnCancel = false;
        appendLog(stamp() + project.name + "の「" + project.ownModeName + "」ﾋﾞﾙﾄﾞをｷｬﾝｾﾙしました。");
        notify([](IBuildObserver& o) { o.projectCancelled(); });
        return false;
    }

    selectBuildRow(buildSetting.vsgridProject(), buildRow, true);
    run.skipped = false;
    run.compiled = false;
    if (skipUpToDate(buildSetting, buildRow, project, run))
        return true;
    appendLog(stamp() + project.name + "を「" + project.ownModeName + "」でﾋﾞﾙﾄﾞ中...");

    run.compiled = true;
    run.path = project.path;
    run.mode = project.ownMode;
    run.result = compile(project, project.ownMode, run);
    if (m_frmLog != nullptr)
        m_frmLog->refresh();
    pBuildResultCellDisplay(buildSetting, buildRow - 1, project.ownMode, run.result);

    switch (run.result) {
    case BuildResult::Success:
        countSuccess(buildSetting, run);
        return true;
    case BuildResult::NotUpdated:
        appendLog(stamp() + project.name + "の更新に失敗しました。");
        return true;
    case BuildResult::Rebuild:
        return rebuildOneRow(waitForm, buildSetting, buildRow, project, run);
    default:
        return false;
    }
}

// A project whose build asked for a rebuild: asks (unless rebuilds are automatic), rebuilds in the
// run's rebuild mode and, when that succeeds and "ReBuildMode" says so, builds once more in the
// project's own mode. The run's result stays the first build's 1 unless that last build records
// another.
bool CFVB6EXE::rebuildOneRow(IWaitForm& waitForm, IBuildSettingForm& buildSetting, std::int32_t buildRow,
                             const RowProject& project, RunState& run) {
    const std::string rebuildModeName = compatibleModeName(run.rebuildMode);
    appendLog(stamp() + project.name + "を「" + project.ownModeName + "」のﾋﾞﾙﾄﾞで失敗しました。");
    if (!m_blnRebuildConfirm) {
        // The question names the mode the rebuild will use, so that Yes means what it says.
        const MsgResult answer =
            m_messageBox.show(project.name + "を「" + rebuildModeName + "」で再ﾋﾞﾙﾄﾞしますか？" + Crlf +
                                  "※互換ﾓｰﾄﾞを変更しない場合は「いいえ」",
                              "再ﾋﾞﾙﾄﾞ", MsgButtons::YesNo, MsgIcon::Question, true);
        // No keeps the compatibility mode: the project stays failed and, like every other
        // failure that is not rebuilt, it ends the run.
        if (answer != MsgResult::Yes)
            return false;
    }

    const std::string rebuildStamp = stamp();
    appendLog(rebuildStamp + project.name + "を「" + rebuildModeName + "」でﾋﾞﾙﾄﾞ中...");
    const std::string rebuildMessage = project.name + "を「" + rebuildModeName + "」で再ﾋﾞﾙﾄﾞ中...";
    waitForm.fSetDispInfo(rebuildMessage, "再ﾋﾞﾙﾄﾞ");
    waitForm.refresh();
    const std::int16_t rebuildResult = compile(project, run.rebuildMode, run);
    if (rebuildResult != BuildResult::Success || !run.rebuildAgain)
        return rebuildResult == BuildResult::Success;

    waitForm.fSetDispInfo(rebuildMessage, "再ﾋﾞﾙﾄﾞ");
    waitForm.refresh();
    m_objFileData->fSetCompatibleMode(project.index, project.ownMode);
    appendLog(rebuildStamp + project.name + "を「" + project.ownModeName + "」でﾋﾞﾙﾄﾞ中...");
    run.result = compile(project, project.ownMode, run);
    pBuildResultCellDisplay(buildSetting, buildRow - 1, project.ownMode, run.result);
    if (run.result != BuildResult::Success)
        return false;
    countSuccess(buildSetting, run);
    return true;
}

bool CFVB6EXE::skipUpToDate(IBuildSettingForm& buildSetting, std::int32_t buildRow, const RowProject& project,
                            RunState& run) {
    if (m_upToDate == nullptr)
        return false;
    const std::string reason = m_upToDate->reasonToBuild(project.path);
    if (!reason.empty()) {
        appendLog(stamp() + project.name + "は前回のﾋﾞﾙﾄﾞから変更されています。[" + reason + "]");
        return false;
    }
    appendLog(stamp() + project.name + "は前回のﾋﾞﾙﾄﾞから変更がないため、ﾋﾞﾙﾄﾞを省略しました。");
    run.skipped = true;
    run.result = BuildResult::Success;
    pBuildResultCellDisplay(buildSetting, buildRow - 1, project.ownMode, BuildResult::Success,
                            RowResult::Skip);
    countSuccess(buildSetting, run);
    notify([](IBuildObserver& o) { o.projectSkipped("its last successful build is still good"); });
    return true;
}

// A project built: the status line shows one target less, unless the marks are kept.
void CFVB6EXE::countSuccess(IBuildSettingForm& buildSetting, RunState& run) {
    ++run.successCount;
    if (!m_blnNotAfterBuildTargetOff)
        buildSetting.fUpdateProjectListStatusInfo(static_cast<std::int32_t>(m_lngBuildRows.size()) -
                                                      run.successCount,
                                                  m_objFileData->ProjectCount());
}

void CFVB6EXE::selectBuildRow(IProjectGrid& grid, std::int32_t row, bool scrollIntoView) {
    grid.HighLight(0);
    grid.FocusRect(1);
    grid.Col(0);
    grid.Row(row);
    grid.ColSel(grid.Cols() - grid.FixedCols() - 1);
    grid.RowSel(grid.Row());
    // With the grid's own rows in view: a row below the view becomes the last one shown.
    if (scrollIntoView)
        scrollRowIntoView(grid, grid.Row());
    grid.Refresh();
}

// ---- One project -----------------------------------------------------------------------------

// A path as one argument of the compiler's command line: quoted when it holds a space, as the
// shell quotes paths. A path that quoting alone would not keep together (one holding '"' or a
// tab, which a Windows path never has but a mapped host folder can, or one too long for the
// shell's quoting) is quoted with escapes, so that it still reaches the compiler whole.
std::string CFVB6EXE::argumentPath(std::string_view path) {
    const bool plain = path.find_first_of("\"\t") == std::string_view::npos && path.size() < 257;
    return plain ? CCCommon().fGetQuoteSpacesPath(path) : quoteArgument(path);
}

std::int16_t CFVB6EXE::pVB6EXE(std::string_view projectFilePath, std::string_view projectName,
                               std::int16_t compatibleMode, std::string_view projectType) {
    std::string command;
    return guard("pVB6EXE", [&]() -> std::int16_t {
        return noteCommandOnError(command, [&]() -> std::int16_t {
            const std::string windowsFolder = getEnvironmentVariable("WINDIR");
            // The pauses give the file system time to settle before the project file is
            // rewritten; a project whose file is missing fails its update at once without them.
            const int pauses = FileSystemObject().FileExists(projectFilePath) ? 5 : 0;
            for (int i = 0; i < pauses; ++i) {
                m_eventPump.processEvents();
                pause(m_lngLogWaitTime);
            }

            m_objFileData->CopyBufferSize(m_lngBufferSize);
            if (!m_objFileData->fUpdateProjectFileInfo(projectFilePath, compatibleMode, windowsFolder,
                                                       *m_frmLog))
                return BuildResult::NotUpdated;
            if (!m_blnExecute)
                return BuildResult::NotStarted;

            // A name is an identifier in a well-formed project file, but the reader may take it from
            // another key ending in "Name": the log, which the build deletes, stays in the folder.
            const std::string logPath = compilerLogPath(m_strAppPath, projectName);
            deleteIfExists(logPath);
            if (!logCanBeWritten(logPath, projectName))
                return BuildResult::Error;
            command = compilerCommand(logPath, projectFilePath, projectType);
            // What the compile reads is taken before the compiler can change it or a user can.
            if (m_upToDate != nullptr)
                m_upToDate->compiling(projectFilePath, compatibleMode);
            if (!runCompiler(command, projectName) || !waitForLog(logPath, projectName))
                return BuildResult::Error;

            const std::int16_t code = pCheckResult(logPath, projectFilePath);
            if (code != BuildResult::Success)
                return askRebuild(projectName, compatibleMode, code);
            m_objFileData->fDeleteBackupFile();
            deleteIfExists(logPath);
            return BuildResult::Success;
        });
    });
}

// The compiler's command line: the template with its quoted placeholder replaced by the log switch,
// the make switch (" /makedll " for a DLL project type) and the project, the project path last.
std::string CFVB6EXE::compilerCommand(std::string_view logPath, std::string_view projectFilePath,
                                      std::string_view projectType) {
    const char* makeSwitch = contains(toUpper(projectType), "DLL") ? " /makedll " : " /make ";
    const std::string arguments =
        "/out " + argumentPath(logPath) + makeSwitch + argumentPath(projectFilePath);
    return replaceAll(m_strCommandTemplate, "\"%1\"", arguments);
}

// A failed build: the result is 1 when a rebuild is wanted (asked, or automatic for every mode but
// "互換なし"), else the log's code.
std::int16_t CFVB6EXE::askRebuild(std::string_view projectName, std::int16_t compatibleMode,
                                  std::int16_t code) {
    bool rebuild = compatibleMode != 0;
    if (!m_blnRebuildConfirm) {
        rebuild =
            m_messageBox.show(std::string(projectName) + "の「" + compatibleModeName(compatibleMode) +
                                  "」のﾋﾞﾙﾄﾞに失敗しました。" + Crlf + "再ﾋﾞﾙﾄﾞしますか？",
                              "ﾋﾞﾙﾄﾞ失敗", MsgButtons::YesNo, MsgIcon::Exclamation, true) == MsgResult::Yes;
    }
    return rebuild ? BuildResult::Rebuild : code;
}

void CFVB6EXE::deleteIfExists(const std::string& path) {
    const FileSystemObject fso;
    if (fso.FileExists(path))
        fso.DeleteFile(path, false);
}

// Whether the compiler can write its log where the run will look for it: a folder (or FIFO ...)
// of that name, or a name too long for the file system, would only show as a log that never
// came. Such a path is named in the error log and the build log, and the compiler is not started.
bool CFVB6EXE::logCanBeWritten(const std::string& logPath, std::string_view projectName) {
    const std::string host = hostPathOf(logPath);
    const std::int32_t code = probeHostFileCreation(host);
    if (code == 0)
        return true;
    const HostFileKind kind = hostLinkKind(host);
    const std::string cause = kind != HostFileKind::Missing && kind != HostFileKind::Regular
                                  ? "ﾌｧｲﾙではなく" + std::string(hostFileKindTextJapanese(kind)) + "です。"
                                  : win32::systemMessage(code);
    const std::string text = "ｺﾝﾊﾟｲﾗのﾛｸﾞをﾌｧｲﾙとして作成できません。" + cause + "[" + logPath + "]";
    WriteErrorLog(code, text, "pVB6EXE", Module, ErrorLevel::Error, false);
    appendLog(stamp() + std::string(projectName) + "の" + text);
    return false;
}

// Runs the compiler and waits for it; false when it did not end (a time-out or a failed wait) or,
// with nothing registered as the compiler, could not be started. Each of these is logged here.
bool CFVB6EXE::runCompiler(const std::string& command, std::string_view projectName) {
    if (stopRequested()) {
        appendLog(stamp() + std::string(projectName) + "のｺﾝﾊﾟｲﾗを起動せずにﾋﾞﾙﾄﾞを中止しました。");
        return false;
    }
    const bool noStop = false;
    // A run that is stopped ends its compiler in any case.
    const AbandonedProcess abandoned =
        m_blnEndAbandonedCompiler ? AbandonedProcess::EndGroup : AbandonedProcess::EndGroupOnCancel;
    ProcessWaitEnd end = ProcessWaitEnd::Ended;
    try {
        if (m_objWin32API->CreateProcess_Execute("", command, 0, m_lngProcessWaitTime,
                                                 m_stopRequest != nullptr ? *m_stopRequest : noStop,
                                                 m_lngProcessWaitLimit, &m_eventPump, &end, abandoned))
            return true;
    } catch (...) {
        if (!trimWhite(m_strCommandTemplate).empty())
            throw;
        // The start failure is in the error log already, and this procedure's line follows it as
        // for any failed start; the build log says what is missing, and the project fails.
        recordAndLog(currentAsRuntimeError(), "pVB6EXE", false);
        const auto folder = registryFolder(); // the prefix, on Linux
        appendLog(stamp() + std::string(projectName) + "のｺﾝﾊﾟｲﾗを起動できません。拡張子「" + m_strExtension +
                  "」のｷｰ「" + m_strShellCommand + "」にｺﾝﾊﾟｲﾗが登録されていません。" +
                  (folder ? "[Prefix=" + *folder + "]" : std::string()));
        return false;
    }
    // A run stopped by a signal ends without a box that would wait for the user.
    WriteErrorLog(-1, "ShellExecute処理でｴﾗｰが発生しました。", "pVB6EXE", Module, ErrorLevel::Error,
                  !stopRequested());
    // The build log names the compiler that did not end, after the limit it passed.
    const std::vector<std::string> arguments = splitCommandLine(command);
    appendLog(stamp() +
              compilerNotEndedText(projectName, end, m_lngProcessWaitLimit,
                                   m_blnEndAbandonedCompiler || end == ProcessWaitEnd::Cancelled) +
              "[" + (arguments.empty() ? command : arguments.front()) + "]");
    return false;
}

std::int16_t CFVB6EXE::compile(const RowProject& project, std::int16_t compatibleMode, RunState& run) {
    notify([&](IBuildObserver& o) { o.compileStarted(compatibleMode); });
    m_lastCompilerLog = {};
    const std::int16_t result = pVB6EXE(project.path, project.name, compatibleMode, project.type);
    notify([&](IBuildObserver& o) { o.compileEnded(result, m_lastCompilerLog); });
    if (compatibleMode == 2 && m_lastCompilerLog.code == BuildResult::Compatibility)
        run.compatibilityBroken = true;
    if (result == BuildResult::Success)
        run.rebuilt = true;
    return result;
}

// The compatible file against the output the project has now: the rebuild's when one succeeded,
// else the last build's. Reading them never fails the run; a file that cannot be read is named.
void CFVB6EXE::explainCompatibility(const RunState& run) {
    const std::vector<std::string> lines =
        pelorix::explainCompatibility(run.path, run.rebuilt ? CompatOutput::Rebuilt : CompatOutput::Last);
    const std::string lineStamp = stamp();
    for (const std::string& line : lines)
        appendLog(lineStamp + line);
    notify([&](IBuildObserver& o) { o.compatibilityExplained(lines); });
}

// Waits until the compiler log exists with a size above 0. The compiler has ended by now, so a
// log that does not come within the bound never will: that is logged, and false returned.
bool CFVB6EXE::waitForLog(std::string_view logPath, std::string_view projectName) {
    using Clock = std::chrono::steady_clock;
    const FileSystemObject fso;
    const auto deadline = Clock::now() + std::chrono::milliseconds(m_lngLogWaitLimit);
    for (;;) {
        pause(m_lngLogWaitTime);
        if (stopRequested()) {
            appendLog(stamp() + std::string(projectName) + "のｺﾝﾊﾟｲﾗのﾛｸﾞを待たずにﾋﾞﾙﾄﾞを中止しました。");
            return false;
        }
        if (fso.FileExists(logPath)) {
            pause(m_lngLogWaitTime);
            if (fso.FileExists(logPath) && fso.GetFileSize(logPath) > 0)
                return true;
        }
        if (m_lngLogWaitLimit > 0 && Clock::now() >= deadline)
            break;
        if (m_lngLogWaitTime <= 0)
            pause(1);
    }
    const std::string text = "ｺﾝﾊﾟｲﾗのﾛｸﾞが" + std::to_string(m_lngLogWaitLimit) +
                             "ﾐﾘ秒以内に作成されませんでした。[" + std::string(logPath) + "]";
    WriteErrorLog(-1, text, "pVB6EXE", Module, ErrorLevel::Error, false);
    appendLog(stamp() + std::string(projectName) + "の" + text);
    return false;
}

std::int16_t CFVB6EXE::pCheckResult(std::string_view logPath, std::string_view projectFilePath) {
    return guard("pCheckResult", [&]() -> std::int16_t {
        const std::string lineStamp = stamp();
        m_lastCompilerLog =
            readCompilerLog(logPath, projectFilePath.empty() ? std::vector<std::string>{}
                                                             : referredLogFolders(projectFilePath));
        // The compiler's lines, then where its errors are and the logs it refers to.
        std::vector<std::string> shown = m_lastCompilerLog.lines;
        for (std::string& note : compilerLogNotes(m_lastCompilerLog))
            shown.push_back(std::move(note));
        for (std::string& line : shown)
            line = lineStamp + line;
        if (m_frmLog != nullptr)
            m_frmLog->appendLines(shown);
        return m_lastCompilerLog.code;
    });
}

void CFVB6EXE::pBuildResultCellDisplay(IBuildSettingForm& buildSetting, std::int32_t dataRow,
                                       std::int16_t compatibleMode, std::int16_t result,
                                       RowResult successResult) {
    guard("pBuildResultCellDisplay", [&] {
        IProjectGrid& grid = buildSetting.vsgridProject();
        const std::int32_t row = dataRow + grid.FixedRows();
        grid.Col(buildSetting.gridColumnOf(GridColumn::Result));
        grid.Row(row);
        ProjectRowState state = grid.RowState(row);
        const bool passed = result == BuildResult::Success;
        grid.CellForeColor(passed ? vbBlue : vbRed);
        if (passed && !m_blnNotAfterBuildTargetOff)
            state.mark = BuildMark::NotTarget;
        state.result = passed ? successResult : RowResult::NG;
        state.compatibleMode = compatibleMode;
        grid.RowState(row, state);
        selectBuildRow(grid, row, false);
    });
}

} // namespace pelorix
