#include "engine/BuildHandOver.h"

#include "engine/BuildObserver.h"
#include "engine/BuildWindows.h"
#include "engine/CFVB6EXE.h"
#include "engine/CompilerLog.h"
#include "engine/UpToDate.h"
#include "platform/CCCommon.h"
#include "platform/CFWin32API.h"
#include "platform/Environment.h"
#include "platform/FileSystemObject.h"
#include "platform/Numbers.h"
#include "platform/RunConditions.h"
#include "platform/RuntimeError.h"
#include "platform/TimeFormat.h"
#include "projectdata/CDFileData.h"
#include "projectdata/IBuildLog.h"
#include "projectdata/ProjectText.h"

#include <algorithm>
#include <array>
#include <optional>

namespace pelorix {

namespace {

BuildMark markOf(IBuildSettingForm& form, std::int32_t row) {
    return form.vsgridProject().RowState(row).mark;
}

std::int32_t dataRowCount(IBuildSettingForm& form) {
    IProjectGrid& grid = form.vsgridProject();
    return grid.Rows() - grid.FixedRows();
}

} // namespace

WindowOptions readWindowOptions(CFWin32API& api) {
    WindowOptions options;
    const auto setting = [&api](std::string_view section, std::string_view key) {
        return api.GetTerminalProfile(section, key, "");
    };
    if (const auto hide = numberValue(setting("Build", "RebuildHideConfirm")))
        options.rebuildHideConfirm = *hide != 0.0;
    if (const auto mode = longValue(setting("Build", "RebuildCompatibleMode"));
        mode && (*mode == 1 || *mode == 2))
        options.rebuildCompatibleMode = static_cast<std::int16_t>(*mode);
    options.notAfterBuildTargetOff = setting("Option", "NotAfterBuildTargetOff") == "1";
    options.startupImpBat = setting("Option", "StartupImpBat") == "1";
    options.updateComponentReference = setting("Option", "UpdateComponentReference") == "1";
    options.buildChangedOnly = setting("Option", "BuildChangedOnly") == "1";
    return options;
}

void writeWindowOptions(CFWin32API& api, const WindowOptions& options) {
    const auto option = [&api](std::string_view key, bool on) {
        api.SetTerminalProfile("Option", key, on ? "\"1\"" : "\"0\"", "");
    };
    api.SetTerminalProfile("Build", "RebuildHideConfirm", options.rebuildHideConfirm ? "1" : "0", "");
    api.SetTerminalProfile("Build", "RebuildCompatibleMode", std::to_string(options.rebuildCompatibleMode),
                           "");
    option("NotAfterBuildTargetOff", options.notAfterBuildTargetOff);
    option("StartupImpBat", options.startupImpBat);
    option("UpdateComponentReference", options.updateComponentReference);
    option("BuildChangedOnly", options.buildChangedOnly);
}

std::string pGetOptimizationTypeString(std::int32_t optimizationType) {
    static const std::array<const char*, 3> names = {"実行速度", "ｻｲｽﾞ", "なし"};
    if (optimizationType < 0 || optimizationType >= static_cast<std::int32_t>(names.size()))
        return "-";
    return names[static_cast<std::size_t>(optimizationType)];
}

void fillProjectRow(IBuildSettingForm& form, std::int32_t row, CDFileData& fileData, std::int32_t index) {
    IProjectGrid& grid = form.vsgridProject();
    const auto put = [&](std::int32_t logicalColumn, const std::string& text) {
        grid.TextMatrix(row, form.gridColumnOf(logicalColumn), text);
    };
    const std::string path = fileData.fProjectFilePath(index);
    const bool exists = CCCommon().fCheckPath(path, vbNormal);
    grid.RowState(row, {exists ? BuildMark::NotTarget : BuildMark::NoFile, fileData.fGetCompatibleMode(index),
                        RowResult::None});
    put(GridColumn::Optimization, pGetOptimizationTypeString(fileData.fGetOptimizationType(index)));
    put(GridColumn::Title, fileData.fGetTile(index));
    put(GridColumn::Description, fileData.fGetProjectDescription(index));
    put(GridColumn::FilePath, path);
    grid.Row(row);
    grid.Col(form.gridColumnOf(GridColumn::FilePath));
    grid.CellForeColor(exists ? vbBlack : vbRed);
}

void fillProjectGrid(IBuildSettingForm& form, CDFileData& fileData) {
    IProjectGrid& grid = form.vsgridProject();
    const std::int32_t count = fileData.ProjectCount();
    grid.Rows(gridRowsFor(grid, count));
    for (std::int32_t row = 1; row <= count; ++row)
        fillProjectRow(form, row, fileData, fileData.fGetProjectArrayIndex(row));
}

std::int32_t restoreBuildMarks(IBuildSettingForm& form, const std::vector<std::int32_t>& rows) {
    std::int32_t restored = 0;
    for (const std::int32_t row : rows) {
        if (row < 1 || row > dataRowCount(form) || markOf(form, row) == BuildMark::NoFile)
            continue;
        if (markOf(form, row) != BuildMark::Target)
            ++restored;
        setRowMark(form.vsgridProject(), row, BuildMark::Target);
    }
    return restored;
}

std::vector<std::int32_t> missingMarkedRows(IBuildSettingForm& form, const std::vector<std::int32_t>& rows) {
    std::vector<std::int32_t> missing;
    for (const std::int32_t row : rows) {
        if (row >= 1 && row <= dataRowCount(form) && markOf(form, row) == BuildMark::NoFile &&
            std::find(missing.begin(), missing.end(), row) == missing.end())
            missing.push_back(row);
    }
    return missing;
}

std::vector<std::int32_t> markedRows(IBuildSettingForm& form) {
    std::vector<std::int32_t> rows;
    for (std::int32_t row = 1; row <= dataRowCount(form); ++row)
        if (markOf(form, row) == BuildMark::Target)
            rows.push_back(row);
    return rows;
}

std::vector<std::int32_t> handOverBuildTargets(IBuildSettingForm& form, CDFileData& fileData,
                                               bool updateComponentReference) {
    std::vector<std::int32_t> rows = markedRows(form);
    for (const std::int32_t row : rows)
        fileData.fSetCompatibleMode(fileData.fGetProjectArrayIndex(row),
                                    form.vsgridProject().RowState(row).compatibleMode);
    fileData.UpdateComponentReference(updateComponentReference);
    if (rows.empty())
        rows.push_back(-1); // the engine's marker for a run without targets
    return rows;
}

namespace {

// The up-to-date check of a run that builds only what changed: its targets with their modes, over
// every project of the list; a state file it cannot use is named in the build log.
void startChangedOnly(std::optional<UpToDateCheck>& check, const BuildRunContext& context,
                      const std::vector<std::int32_t>& buildRows, IBuildLog& log) {
    CDFileData& data = context.fileData;
    std::vector<BuildTarget> targets;
    for (const std::int32_t row : buildRows)
        if (const std::int32_t index = data.fGetProjectArrayIndex(row); row >= 1)
            targets.push_back({data.fProjectFilePath(index), data.fGetCompatibleMode(index)});
    std::vector<std::string> listed;
    for (const std::int32_t index : data.ProjectIndexCollection())
        listed.push_back(data.fProjectFilePath(index));
    check.emplace(context.changedOnlyListPath, listed, std::move(targets), data,
                  getEnvironmentVariable("WINDIR"));
    if (!check->loadNote().empty())
        log.appendLine(timeStamp() + " 前回のﾋﾞﾙﾄﾞの記録がないため、全てのﾌﾟﾛｼﾞｪｸﾄをﾋﾞﾙﾄﾞします。[" +
                       check->loadNote() + "]");
}

} // namespace

BuildRunOutcome runBuild(const BuildRunContext& context, const std::vector<std::int32_t>& buildRows,
                         std::string_view projectListPath, const WindowOptions& options, IWaitForm*& waitForm,
                         IBuildSettingForm& form) {
    ObservedBuildLog observedLog(context.buildLog, context.observers);
    IBuildLog& log = context.observers.empty() ? context.buildLog : observedLog;
    BuildRunOutcome outcome;
    const auto report = [&](const std::string& text) {
        log.appendLine(timeStamp() + " " + text);
        outcome.problems.push_back(text);
    };
    // The compiler writes its log into the program folder and the run waits for it there.
    if (const auto problem = programFolderProblem()) {
        report("ｺﾝﾊﾟｲﾗのﾛｸﾞを作成できないため、ﾋﾞﾙﾄﾞを中止しました。" + *problem);
        outcome.result = BuildResult::Error;
        return outcome;
    }
    if (const auto problem = registryProblem())
        report(*problem);

    std::optional<UpToDateCheck> upToDate;
    if (!context.changedOnlyListPath.empty())
        startChangedOnly(upToDate, context, buildRows, log);
    // What the run's successful builds saw is kept for the next run, however the run ends.
    const auto saveState = [&] {
        if (!upToDate)
            return;
        const std::string path = buildStatePath(context.changedOnlyListPath);
        if (const std::int32_t code = upToDate->save(); code != 0)
            report("ﾋﾞﾙﾄﾞの記録を保存できませんでした。" + writeFailureCause(path, code) + "[" + path + "]");
    };

    CFVB6EXE engine(context.messageBox, context.eventPump);
    try {
        engine.fInitialize(context.fileData, context.win32Api, buildRows, log, projectListPath);
        engine.ChangedOnly(upToDate ? &*upToDate : nullptr);
        for (IBuildObserver* observer : context.observers)
            engine.addObserver(*observer);
        engine.NotAfterBuildTargetOff(options.notAfterBuildTargetOff);
        if (context.stopRequest != nullptr)
            engine.StopRequest(*context.stopRequest);
        engine.EndAbandonedCompiler(context.endAbandonedCompiler);
        outcome.result =
            engine.BuildExecute(waitForm, options.rebuildHideConfirm, options.rebuildCompatibleMode, form);
    } catch (const RuntimeError& error) {
        log.appendLine(timeStamp() + " " + error.description());
        saveState();
        throw;
    }
    saveState();
    outcome.currentBuildRow = engine.CurrentBuildRow();
    return outcome;
}

BuildSummary buildSummary(std::int16_t result, std::int32_t failedProjects) {
    switch (result) {
    case BuildResult::Success:
        if (failedProjects > 0)
            return {"ﾋﾞﾙﾄﾞに失敗したﾌﾟﾛｼﾞｪｸﾄが" + std::to_string(failedProjects) + "件あります。", "完了", 4,
                    false, false};
        return {"ﾋﾞﾙﾄﾞが正常に終了しました。", "完了", WaitMode::Information, false, false};
    case BuildResult::Cancelled:
        return {"ﾋﾞﾙﾄﾞ処理を中断しました。", "中断", WaitMode::Warning, true, false};
    case BuildResult::Error:
        return {"ﾋﾞﾙﾄﾞに失敗したﾌﾟﾛｼﾞｪｸﾄがあります。", "完了", WaitMode::Warning, false, false};
    default:
        return {"ﾋﾞﾙﾄﾞに失敗しました。", "警告", WaitMode::Warning, false, true};
    }
}

std::string stopSignalLogText(std::string_view signalName) {
    return std::string(signalName) + "を受信したため、ﾋﾞﾙﾄﾞを中止します。";
}

} // namespace pelorix
