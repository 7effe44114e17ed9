// The project commands of the main window: add, change and delete a project of the list, open a
// project in the development environment and open its folder.
#include "app/MainWindowRules.h"
#include "app/frmBuildSetting.h"
#include "engine/BuildTargets.h"
#include "engine/CFVB6EXE.h"
#include "forms/GridControl.h"
#include "lists/CFCreateBuildList.h"
#include "platform/CCCommon.h"
#include "projectdata/CDFileData.h"

namespace pelorix {

std::optional<std::int32_t> frmBuildSetting::pTargetRow(ProjectCommand command) const {
    GridPosition position;
    position.mouseRow = m_lngMouseRow;
    position.mouseCol = m_lngMouseCol;
    position.currentRow = m_vsgridProject->Row();
    position.rows = m_vsgridProject->Rows();
    position.colEnable = m_lngColEnable;
    position.colFilePath = m_lngColFilePath;
    return targetRow(command, position);
}

std::string frmBuildSetting::pTargetPath(std::int32_t row) const {
    return m_vsgridProject->TextMatrix(row, m_lngColFilePath);
}

bool frmBuildSetting::pCheckPath(const std::string& path, int kind) const {
    return CCCommon().fCheckPath(path, kind);
}

// The target row of an add or a change and the project file the user chose for it; nothing when
// there is no target row, a build runs or the dialog was cancelled.
std::optional<std::pair<std::int32_t, std::string>>
frmBuildSetting::pChooseProjectFile(ProjectCommand command) {
    const auto row = pTargetRow(command);
    if (!row)
        return std::nullopt;
    std::string path = pTargetPath(*row);
    if (pRefuseWhileBuilding())
        return std::nullopt;
    if (!CFCreateBuildList(*this, *m_objFileData).fSelectProjectFile(path))
        return std::nullopt;
    return std::pair{*row, path};
}

void frmBuildSetting::mnuProjectAdd_Click() {
    handle("mnuProjectAdd_Click", false, [&] {
        if (const auto chosen = pChooseProjectFile(ProjectCommand::Add))
            pAddProject(chosen->first, chosen->second);
    });
}

// Inserts the project at the row; the first project of an empty list takes the grid's one empty
// row.
void frmBuildSetting::pAddProject(std::int32_t row, const std::string& path) {
    guard("pAddProject", [&] {
        CDFileData& list = *m_objFileData;
        const bool wasEmpty = list.ProjectCount() == 0;
        list.fAddProjectFileList(path, wasEmpty ? -1 : row);
        const std::int32_t index = list.fGetProjectArrayIndex(wasEmpty ? 1 : row);
        list.fSetProjectNameList(path, index, false);
        const std::int32_t gridRow = wasEmpty ? m_vsgridProject->FixedRows() : row;
        if (!wasEmpty)
            m_vsgridProject->AddItem("", gridRow);
        pUpdateGrid(gridRow, index);
    });
}

void frmBuildSetting::mnuProjectEdit_Click() {
    handle("mnuProjectEdit_Click", false, [&] {
        const auto chosen = pChooseProjectFile(ProjectCommand::Change);
        if (!chosen)
            return;
        const auto& [row, path] = *chosen;
        CDFileData& list = *m_objFileData;
        const std::int32_t index = list.fGetProjectArrayIndex(row);
        if (index == -1) {
            // The one empty row of an empty list: the change adds the list's first project.
            pAddProject(row, path);
            return;
        }
        list.fChangeProjectFileList(path, index, row);
        list.fSetProjectNameList(path, index, true);
        pUpdateGrid(row, index);
    });
}

void frmBuildSetting::mnuProjectDel_Click() {
    handle("mnuProjectDel_Click", false, [&] {
        const auto row = pTargetRow(ProjectCommand::Delete);
        if (!row)
            return;
        if (pRefuseWhileBuilding())
            return;
        GridControl& grid = *m_vsgridProject;
        if (grid.Rows() - grid.FixedRows() == 1)
            grid.AddItem("", grid.Row() + 1);
        m_objFileData->fDelProjectFileList(*row);
        grid.RemoveItem(*row);
        pApplyWindowState();
    });
}

// Sorts the list so that every project comes after the projects it depends on; the marks move
// with their projects, and the row the last build reached follows its project.
void frmBuildSetting::mnuSubSortBuildOrder_Click() {
    handle("mnuSubSortBuildOrder_Click", true, [&] {
        if (pRefuseWhileBuilding())
            return;
        const HourglassPointer pointer(*this);
        const std::vector<std::int32_t> newRow = sortIntoBuildOrder(*this, *m_objFileData);
        if (newRow.empty())
            return;
        if (m_lngBuildIndex >= 1 && static_cast<std::size_t>(m_lngBuildIndex) <= newRow.size())
            m_lngBuildIndex = newRow[static_cast<std::size_t>(m_lngBuildIndex) - 1];
        pApplyWindowState();
    });
}

void frmBuildSetting::mnuSubOpenProject_Click() {
    handle("mnuSubOpenProject_Click", false, [&] {
        const auto row = pTargetRow(ProjectCommand::Open);
        if (!row)
            return;
        const std::string path = pTargetPath(*row);
        if (pRefuseWhileBuilding())
            return;
        m_vsgridProject->setFocus();
        CFVB6EXE(MessageBox(), m_services.eventPump).OpenVBFile(path);
    });
}

void frmBuildSetting::mnuSubOpenParentDir_Click() {
    handle("mnuSubOpenParentDir_Click", false, [&] {
        const auto row = pTargetRow(ProjectCommand::OpenFolder);
        if (!row)
            return;
        const std::string folder = CCCommon().fGetParentDirPath(pTargetPath(*row));
        CFVB6EXE(MessageBox(), m_services.eventPump).OpenDir(folder);
    });
}

} // namespace pelorix
