#pragma once

#include "engine/BuildHandOver.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

class CFWin32API;
struct ListBuildState;

// The rules the main window follows that need no window: its settings in Pelorix.ini, the column
// settings of its grid, the row a project command works on and the row the grid highlights.

// "Pelorix Ver. 1.0.1": the program's title and version, the start of the window's caption.
std::string applicationVersionText();

// ---- Window state ---------------------------------------------------------------------------

// What the main window is doing: the state its controls follow.
enum class MainWindowState : std::uint8_t {
    Idle,
    Building,    // from the build command to the end of its report
    EditingCell, // the compatibility list of a grid cell is open
};

// Whether each control that follows the state is enabled.
struct MainWindowControls {
    bool build = false;          // the build button and ﾋﾞﾙﾄﾞ(&S): idle with a marked row
    bool exit = false;           // the exit button
    bool rebuildConfirm = false; // the rebuild check box
    bool listCommands = false;   // the list and project commands (refused while building)
};
MainWindowControls mainWindowControls(MainWindowState state, std::int32_t enableCount);

// The message of the commands a build shuts out, and its title.
inline constexpr std::string_view busyMessageText = "ﾋﾞﾙﾄﾞ中です。ﾋﾞﾙﾄﾞが終了してから実行してください。";
inline constexpr std::string_view busyMessageTitle = "ﾋﾞﾙﾄﾞ中...";

// ---- Settings -------------------------------------------------------------------------------

// The window's outer size in twips.
struct FormSize {
    std::int32_t width = 11175;
    std::int32_t height = 7215;
};
// "Form"/"FormSize": "width,height"; a part that is not a number, or not greater than 0, gives
// its default.
FormSize readFormSize(CFWin32API& api);

// The last project list and the last imported batch file, each only when it names an existing
// file ("" otherwise).
struct LastPaths {
    std::string projectListPath;
    std::string batFilePath;
};
LastPaths readLastPaths(CFWin32API& api);

// What the window writes into Pelorix.ini when it closes (besides the list's build state).
struct WindowSettingsToSave {
    // The size and the column widths; nothing while the window is minimised.
    std::optional<FormSize> formSize;
    std::vector<std::int32_t> columnWidths;
    WindowOptions options;
    std::string batFilePath;
};
// Writes "Form"/"FormSize" and "ColWidth" (when the size is given), the options
// (writeWindowOptions) and "Import"/"BatFilePath" between double quotes. A failed write is not
// reported; the other keys are still written.
void writeWindowSettings(CFWin32API& api, const WindowSettingsToSave& settings);

// ---- Grid columns ---------------------------------------------------------------------------

// The grid's columns: "Form"/"ColIndex" (the grid column of each logical column),
// "Form"/"ColWidth" (the width of each grid column) and "Build"/"ColNames" (the header of each
// logical column), split at ",". A value with fewer commas than its default gives the default;
// when the numbers of widths or indexes differ from the number of names, all three defaults.
struct GridColumnSettings {
    std::vector<std::string> colIndex;
    std::vector<std::string> colWidth;
    std::vector<std::string> colNames;
    // The grid column of each logical column. "ColIndex" is used when it places every logical
    // column on a column of its own; otherwise the columns keep their logical order.
    std::vector<std::int32_t> gridColumns;
};
GridColumnSettings readGridColumnSettings(CFWin32API& api);

// ---- Rows -----------------------------------------------------------------------------------

// The row the grid highlights as the one a build reached last: the list's "Index" when it names
// a data row, else the first marked row, else row 1.
std::int32_t chooseBuildIndex(const ListBuildState& state, std::int32_t projectCount,
                              const std::vector<std::int32_t>& markedRows);

// The project commands and the row each works on.
enum class ProjectCommand { Add, Change, Delete, Open, OpenFolder };

// Where the grid stands: the cell last clicked (mouseRow, mouseCol), the current row, the number
// of rows with the header, and the grid columns of the mark and path columns.
struct GridPosition {
    std::int32_t mouseRow = -1;
    std::int32_t mouseCol = -1;
    std::int32_t currentRow = 0;
    std::int32_t rows = 0;
    std::int32_t colEnable = 0;
    std::int32_t colFilePath = 0;
};

// The data row a command works on: the cell last clicked when it is a data row in the command's
// column (add and change: the mark column; open: the path column; delete: any column but the
// first), else the current row when it is a data row; nothing when neither is.
std::optional<std::int32_t> targetRow(ProjectCommand command, const GridPosition& position);

// Whether a dropped file is a project file: its name ends in ".vbp" in any case.
bool isProjectFileName(std::string_view path);

} // namespace pelorix
