// The project grid of the main window: filling it from the project list, the build marks and the
// status line, the in-cell compatibility list, the context menus, dropped files and the cell the
// word search selects.
#include "app/MainWindowRules.h"
#include "app/frmBuildSetting.h"
#include "engine/BuildHandOver.h"
#include "forms/GridControl.h"
#include "lists/ProjectListFile.h"
#include "platform/CCCommon.h"
#include "platform/CFWin32API.h"
#include "platform/DriveMap.h"
#include "platform/Numbers.h"
#include "platform/UserInterface.h"
#include "projectdata/CDFileData.h"

#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <algorithm>

namespace pelorix {

namespace {

// The colour of the mark cell of the row a build reached last.
constexpr std::int32_t lightCyan = 0xFFFF00;

// Hides the grid while it is filled; it is shown again, with the focus it had, however the
// filling ends.
class HiddenWhileFilling {
public:
    explicit HiddenWhileFilling(QWidget& widget) : m_widget(widget), m_hadFocus(widget.hasFocus()) {
        m_widget.setVisible(false);
    }
    ~HiddenWhileFilling() {
        m_widget.setVisible(true);
        if (m_hadFocus)
            m_widget.setFocus();
    }
    HiddenWhileFilling(const HiddenWhileFilling&) = delete;
    HiddenWhileFilling& operator=(const HiddenWhileFilling&) = delete;

private:
    QWidget& m_widget;
    bool m_hadFocus;
};

} // namespace

void frmBuildSetting::pInitGrid() {
    guard("pInitGrid", [&] {
        GridControl& grid = *m_vsgridProject;
        const HiddenWhileFilling hidden(grid);
        grid.Clear();
        pApplyColumnSettings();
        fillProjectGrid(*this, *m_objFileData);
        const std::vector<std::int32_t> marks = m_lngBuildRows.size() == 1 && m_lngBuildRows.front() == -1
                                                    ? std::vector<std::int32_t>{}
                                                    : m_lngBuildRows;
        restoreBuildMarks(*this, marks);
        pApplyWindowState();

        ListBuildState state;
        state.index = m_lngBuildIndex;
        m_lngBuildIndex = chooseBuildIndex(state, m_objFileData->ProjectCount(), markedRows(*this));
        grid.Row(m_lngBuildIndex);
        grid.Col(m_lngColEnable);
        grid.CellBackColor(lightCyan);
    });
}

// The columns from the settings: their number, headers and widths, and the grid column of the
// mark, compatibility and path columns.
void frmBuildSetting::pApplyColumnSettings() {
    GridControl& grid = *m_vsgridProject;
    GridColumnSettings columns = readGridColumnSettings(*m_objWin32API);
    m_strColIndex = std::move(columns.colIndex);
    m_strColWidth = std::move(columns.colWidth);
    m_strColNames = std::move(columns.colNames);
    m_gridColumns = std::move(columns.gridColumns);
    const auto count = static_cast<std::int32_t>(m_strColNames.size());
    const std::int32_t previousCount = grid.Cols();
    grid.Cols(count);
    grid.Rows(gridRowsFor(grid, m_objFileData->ProjectCount()));
    // The saved widths apply when the window opens; later lists keep the widths the user gave.
    const bool applyWidths = !m_blnIsShow || count != previousCount;
    for (std::int32_t i = 0; i < count; ++i) {
        grid.TextMatrix(0, gridColumnOf(i), m_strColNames[static_cast<std::size_t>(i)]);
        const auto width = longValue(m_strColWidth[static_cast<std::size_t>(i)]);
        if (applyWidths && width && *width >= 0)
            grid.ColWidth(i, *width);
    }
    m_lngColFilePath = gridColumnOf(GridColumn::FilePath);
    m_lngColCompatible = gridColumnOf(GridColumn::Compatible);
    m_lngColEnable = gridColumnOf(GridColumn::Enable);
    grid.cells().setTypedColumns({m_lngColEnable, gridColumnOf(GridColumn::Result), m_lngColCompatible});
    grid.cells().setCentredColumns({m_lngColEnable, gridColumnOf(GridColumn::Result)});
}

// Rewrites one data row from its project (which loses any mark it had), then follows the marks.
void frmBuildSetting::pUpdateGrid(std::int32_t row, std::int32_t index) {
    guard("pUpdateGrid", [&] {
        fillProjectRow(*this, row, *m_objFileData, index);
        pApplyWindowState();
    });
}

std::int32_t frmBuildSetting::pGetEnableCount() {
    return guard("pGetEnableCount", [&] { return static_cast<std::int32_t>(markedRows(*this).size()); });
}

void frmBuildSetting::pSetProjectListStatusInfo(std::int32_t targets, std::int32_t total) {
    guard("pSetProjectListStatusInfo", [&] {
        lblProjectListStatusInfo->setText(QString::number(targets) + QLatin1Char('/') +
                                          QString::number(total));
        lblProjectListStatusInfo->repaint();
    });
}

// Marks every data row between the two rows, both included.
std::int32_t frmBuildSetting::pCheckTargetOn(std::int32_t rowA, std::int32_t rowB) {
    return guard("pCheckTargetOn", [&] {
        const std::int32_t last = std::min(std::max(rowA, rowB), m_vsgridProject->Rows() - 1);
        const std::int32_t first = std::max(std::min(rowA, rowB), m_vsgridProject->FixedRows());
        for (std::int32_t row = first; row <= last; ++row)
            setRowMark(*m_vsgridProject, row, BuildMark::Target);
        return std::max(0, last - first + 1);
    });
}

void frmBuildSetting::pSetAllMarks(bool target) {
    GridControl& grid = *m_vsgridProject;
    grid.Redraw(false);
    for (std::int32_t row = grid.FixedRows(); row < grid.Rows(); ++row)
        if (grid.RowState(row).mark != BuildMark::NoFile)
            setRowMark(grid, row, target ? BuildMark::Target : BuildMark::NotTarget);
    grid.Redraw(true);
}

void frmBuildSetting::cmdEnable_Click(int index) {
    handle("cmdEnable_Click", true, [&] {
        const HourglassPointer pointer(*this);
        pSetAllMarks(index == 0);
        pApplyWindowState();
    });
}

void frmBuildSetting::vsgridProject_Click() {
    handle("vsgridProject_Click", true, [&] {
        GridControl& grid = *m_vsgridProject;
        if (grid.MouseRow() < grid.FixedRows())
            return;
        if (m_windowState == MainWindowState::EditingCell) {
            pHideCompatibleComboBox();
            return;
        }
        m_lngMouseRow = grid.Row();
        m_lngMouseCol = grid.Col();
        if (m_lngMouseCol == m_lngColEnable && !m_blnShiftSelect) {
            const BuildMark mark = grid.RowState(m_lngMouseRow).mark;
            if (mark == BuildMark::NoFile)
                return;
            setRowMark(grid, m_lngMouseRow,
                       mark == BuildMark::NotTarget ? BuildMark::Target : BuildMark::NotTarget);
            pApplyWindowState();
        } else if (m_lngMouseCol == m_lngColCompatible) {
            pShowCompatibleComboBox();
        }
    });
}

void frmBuildSetting::vsgridProject_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                                              QPoint globalPosition) {
    handle("vsgridProject_MouseDown", true, [&] {
        GridControl& grid = *m_vsgridProject;
        if (button == Qt::LeftButton) {
            const bool shiftOnly = (modifiers & Qt::ShiftModifier) && !(modifiers & Qt::ControlModifier) &&
                                   !(modifiers & Qt::AltModifier);
            if (shiftOnly && grid.Col() == m_lngColEnable && grid.Row() >= grid.FixedRows()) {
                m_lngShiftStartRow = grid.Row();
                m_blnShiftSelect = true;
            }
            return;
        }
        if (button != Qt::RightButton)
            return;
        m_lngMouseRow = grid.MouseRow();
        m_lngMouseCol = grid.MouseCol();
        if (m_lngMouseRow >= grid.FixedRows()) {
            grid.Row(m_lngMouseRow);
            grid.Col(m_lngMouseCol);
        }
        if (m_lngMouseCol == m_lngColFilePath && m_lngMouseRow >= grid.FixedRows() &&
            pCheckPath(grid.TextMatrix(m_lngMouseRow, m_lngColFilePath), vbNormal)) {
            grid.setFocus();
            mnuProject->popup(globalPosition);
        } else if (m_lngMouseCol == m_lngColEnable) {
            grid.setFocus();
            mnuEdit->popup(globalPosition);
        }
    });
}

void frmBuildSetting::vsgridProject_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
    handle("vsgridProject_MouseUp", false, [&] {
        GridControl& grid = *m_vsgridProject;
        if (button != Qt::LeftButton || !(modifiers & Qt::ShiftModifier) || !m_blnShiftSelect)
            return;
        if (grid.MouseRow() < grid.FixedRows() && grid.MouseCol() > 0)
            return;
        if (pCheckTargetOn(grid.MouseRow(), m_lngShiftStartRow) > 0)
            pApplyWindowState();
    });
}

void frmBuildSetting::vsgridProject_KeyPress(int keyAscii) {
    handle("vsgridProject_KeyPress", false, [&] {
        GridControl& grid = *m_vsgridProject;
        if (keyAscii != 13 || grid.Col() != m_lngColCompatible || grid.Row() < grid.FixedRows())
            return;
        m_lngMouseRow = grid.Row();
        m_lngMouseCol = grid.Col();
        pShowCompatibleComboBox();
    });
}

void frmBuildSetting::vsgridProject_KeyUp(int key, Qt::KeyboardModifiers modifiers) {
    // Releasing Shift ends a range; nothing here can fail.
    if (key == Qt::Key_Shift || !(modifiers & Qt::ShiftModifier))
        m_blnShiftSelect = false;
}

void frmBuildSetting::pShowCompatibleComboBox() {
    guard("pShowCompatibleComboBox", [&] {
        GridControl& grid = *m_vsgridProject;
        const std::int32_t index = m_objFileData->fGetProjectArrayIndex(m_lngMouseRow);
        if (index == -1)
            return;
        const std::int16_t startMode = m_objFileData->fGetStartMode(index);
        if (startMode == -1)
            return;
        try {
            grid.Row(m_lngMouseRow);
            grid.Col(m_lngMouseCol);
            grid.setEnabled(false);
            cboCell->clear();
            const QRect cell = grid.cellRectInParent(m_lngMouseRow, m_lngMouseCol);
            cboCell->setGeometry(cell.left(), cell.top(), cell.width(),
                                 std::max(cell.height(), cboCell->sizeHint().height()));
            const std::int16_t modes = startMode > 0 ? 3 : 1;
            for (std::int16_t mode = 0; mode < modes; ++mode)
                cboCell->addItem(QString::fromStdString(compatibleModeName(mode)), mode);
            pSetWindowState(MainWindowState::EditingCell);
            cboCell->show();
            cboCell->raise();
            // The list opens on what the cell shows, which an earlier edit may have changed.
            const std::int16_t shown = grid.RowState(m_lngMouseRow).compatibleMode;
            cboCell->setCurrentIndex(cboCell->findData(shown));
            cboCell->setFocus();
        } catch (...) {
            pSetWindowState(MainWindowState::Idle);
            grid.setEnabled(true);
            throw;
        }
    });
}

void frmBuildSetting::pHideCompatibleComboBox() {
    cboCell->hide();
    pSetWindowState(MainWindowState::Idle);
}

// Writes the chosen mode into the edited cell and closes the list.
void frmBuildSetting::pCloseCompatibleComboBox() {
    GridControl& grid = *m_vsgridProject;
    if (m_lngMouseRow >= grid.FixedRows() && m_lngMouseRow < grid.Rows() &&
        m_lngMouseCol == m_lngColCompatible && cboCell->currentIndex() >= 0) {
        ProjectRowState state = grid.RowState(m_lngMouseRow);
        state.compatibleMode = static_cast<std::int16_t>(cboCell->currentData().toInt());
        grid.RowState(m_lngMouseRow, state);
    }
    pHideCompatibleComboBox();
    grid.setEnabled(true);
    grid.setFocus();
}

void frmBuildSetting::cboCell_Click() {
    handle("cboCell_Click", true, [&] { pCloseCompatibleComboBox(); });
}

void frmBuildSetting::cboCell_KeyPress(int keyAscii) {
    handle("cboCell_KeyPress", false, [&] {
        if (keyAscii == 13)
            pCloseCompatibleComboBox();
    });
}

void frmBuildSetting::vsgridProject_OLEDragDrop(const QStringList& hostPaths) {
    handle("vsgridProject_OLEDragDrop", false, [&] {
        if (pRefuseWhileBuilding())
            return;
        const HourglassPointer pointer(*this);
        const HiddenWhileFilling hidden(*m_vsgridProject);
        for (const QString& host : hostPaths) {
            const std::string path = DriveMap::current().toWindows(host.toStdString());
            if (isProjectFileName(path))
                pAddDroppedProject(path);
        }
    });
}

// Appends a project to the list and its row to the grid; the first project of an empty list
// takes the grid's one empty row.
void frmBuildSetting::pAddDroppedProject(const std::string& path) {
    GridControl& grid = *m_vsgridProject;
    const bool wasEmpty = m_objFileData->ProjectCount() == 0;
    m_objFileData->fAddProjectFileList(path, -1);
    const std::int32_t index = m_objFileData->fGetProjectArrayIndex(m_objFileData->ProjectCount());
    m_objFileData->fSetProjectNameList(path, index, false);
    if (!wasEmpty)
        grid.AddItem("", grid.Rows());
    pUpdateGrid(grid.Rows() - grid.FixedRows(), index);
}

void frmBuildSetting::fSetSelectedCells(std::int32_t row, std::int32_t col) {
    guard("fSetSelectedCells", [&] {
        GridControl& grid = *m_vsgridProject;
        m_lngMouseRow = row;
        m_lngMouseCol = col;
        grid.HighLight(0);
        grid.FocusRect(1);
        grid.Row(row);
        grid.Col(col);
        scrollRowIntoView(grid, row);
    });
}

} // namespace pelorix
