#include "app/MainWindowRules.h"

#include "lists/ProjectListFile.h"
#include "platform/CCCommon.h"
#include "platform/CFWin32API.h"
#include "platform/Numbers.h"
#include "platform/Text.h"

#include <algorithm>

namespace pelorix {

namespace {

constexpr std::string_view defaultColIndex = "0,1,2,3,4,5,6";
constexpr std::string_view defaultColWidth = "470,470,1005,840,1995,1995,4995";
constexpr std::string_view defaultColNames = "有効,結果,互換,最適化,ﾀｲﾄﾙ,ﾌﾟﾛｼﾞｪｸﾄの説明,ﾌｧｲﾙﾊﾟｽ";

// A column setting, or its default when it holds fewer commas than the default.
std::string columnSetting(CFWin32API& api, CCCommon& common, std::string_view section, std::string_view key,
                          std::string_view fallback) {
    const std::string value = api.GetTerminalProfile(section, key, "");
    return common.fDelimiterCount(value, ",") >= common.fDelimiterCount(fallback, ",")
               ? value
               : std::string(fallback);
}

// The grid column of each logical column when the entries place every one on a column of its own.
std::optional<std::vector<std::int32_t>> distinctColumns(const std::vector<std::string>& entries) {
    const auto count = static_cast<std::int32_t>(entries.size());
    std::vector<std::int32_t> columns;
    for (const std::string& entry : entries) {
        const std::optional<std::int32_t> col = longValue(entry);
        if (!col || *col < 0 || *col >= count ||
            std::find(columns.begin(), columns.end(), *col) != columns.end())
            return std::nullopt;
        columns.push_back(*col);
    }
    return columns;
}

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

} // namespace

std::string applicationVersionText() {
    return "Pelorix Ver. " + std::to_string(PELORIX_VERSION_MAJOR) + "." +
           std::to_string(PELORIX_VERSION_MINOR) + "." + std::to_string(PELORIX_VERSION_PATCH);
}

FormSize readFormSize(CFWin32API& api) {
    FormSize size;
    const std::string value = api.GetTerminalProfile("Form", "FormSize", "");
    if (value.find(',') == std::string::npos)
        return size;
    const std::vector<std::string> parts = split(value, ',');
    const std::optional<std::int32_t> width = longValue(parts[0]);
    const std::optional<std::int32_t> height = longValue(parts[1]);
    if (width && *width > 0)
        size.width = *width;
    if (height && *height > 0)
        size.height = *height;
    return size;
}

LastPaths readLastPaths(CFWin32API& api) {
    CCCommon common;
    LastPaths paths;
    const std::string list = api.GetTerminalProfile("Build", "ProjectListPath", "");
    if (!list.empty() && common.fCheckPath(list, vbNormal))
        paths.projectListPath = list;
    const std::string batch = api.GetTerminalProfile("Import", "BatFilePath", "");
    if (!batch.empty() && common.fCheckPath(batch, vbNormal))
        paths.batFilePath = batch;
    return paths;
}

void writeWindowSettings(CFWin32API& api, const WindowSettingsToSave& settings) {
    if (settings.formSize) {
        api.SetTerminalProfile(
            "Form", "FormSize",
            std::to_string(settings.formSize->width) + "," + std::to_string(settings.formSize->height), "");
        std::string widths;
        for (std::size_t i = 0; i < settings.columnWidths.size(); ++i)
            widths += (i == 0 ? "" : ",") + std::to_string(settings.columnWidths[i]);
        api.SetTerminalProfile("Form", "ColWidth", widths, "");
    }
    writeWindowOptions(api, settings.options);
    api.SetTerminalProfile("Import", "BatFilePath", quoted(settings.batFilePath), "");
}

GridColumnSettings readGridColumnSettings(CFWin32API& api) {
    CCCommon common;
    GridColumnSettings s;
    s.colIndex = split(columnSetting(api, common, "Form", "ColIndex", defaultColIndex), ',');
    s.colWidth = split(columnSetting(api, common, "Form", "ColWidth", defaultColWidth), ',');
    s.colNames = split(columnSetting(api, common, "Build", "ColNames", defaultColNames), ',');
    if (s.colWidth.size() != s.colNames.size() || s.colIndex.size() != s.colNames.size()) {
        s.colIndex = split(defaultColIndex, ',');
        s.colWidth = split(defaultColWidth, ',');
        s.colNames = split(defaultColNames, ',');
    }
    if (const auto columns = distinctColumns(s.colIndex)) {
        s.gridColumns = *columns;
    } else {
        for (std::size_t i = 0; i < s.colNames.size(); ++i)
            s.gridColumns.push_back(static_cast<std::int32_t>(i));
    }
    return s;
}

std::int32_t chooseBuildIndex(const ListBuildState& state, std::int32_t projectCount,
                              const std::vector<std::int32_t>& markedRows) {
    if (state.index && *state.index >= 1 && *state.index <= projectCount)
        return *state.index;
    if (!markedRows.empty())
        return markedRows.front();
    return 1;
}

std::optional<std::int32_t> targetRow(ProjectCommand command, const GridPosition& p) {
    const auto isDataRow = [&p](std::int32_t row) { return row >= 1 && row < p.rows; };
    bool mouseCellCounts = false;
    switch (command) {
    case ProjectCommand::Add:
    case ProjectCommand::Change:
        mouseCellCounts = p.mouseCol == p.colEnable;
        break;
    case ProjectCommand::Delete:
        mouseCellCounts = p.mouseCol >= 1;
        break;
    case ProjectCommand::Open:
    case ProjectCommand::OpenFolder:
        mouseCellCounts = p.mouseCol == p.colFilePath;
        break;
    }
    if (mouseCellCounts && isDataRow(p.mouseRow))
        return p.mouseRow;
    if (isDataRow(p.currentRow))
        return p.currentRow;
    return std::nullopt;
}

bool isProjectFileName(std::string_view path) {
    return path.size() >= 4 && equalsIgnoreCase(path.substr(path.size() - 4), ".vbp");
}

MainWindowControls mainWindowControls(MainWindowState state, std::int32_t enableCount) {
    switch (state) {
    case MainWindowState::Idle:
        return {enableCount > 0, true, true, true};
    case MainWindowState::EditingCell:
        return {false, true, true, true};
    case MainWindowState::Building:
        break;
    }
    return {};
}

} // namespace pelorix
