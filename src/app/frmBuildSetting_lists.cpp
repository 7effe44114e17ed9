// The project list files of the main window: new, open and save, the loading of a list into the
// project data and the grid, and the import of a batch file.
#include "app/frmBuildSetting.h"
#include "engine/BuildHandOver.h"
#include "forms/GridControl.h"
#include "lists/CFCreateBuildList.h"
#include "lists/ProjectListFile.h"
#include "platform/CFWin32API.h"
#include "projectdata/CDFileData.h"

#include <QComboBox>
#include <QPushButton>
#include <utility>

namespace pelorix {

// Loads the list of the current list path ("" gives a new, empty list). The list is read into
// new project data first, so that a list that cannot be read leaves the window's list as it was.
void frmBuildSetting::pLoadProjectList() {
    guard("pLoadProjectList", [&] {
        CDFileData loaded;
        loadProjectList(loaded, m_strProjectListPath);
        *m_objFileData = std::move(loaded);
        pLoadProjectListSetting();
        pHideCompatibleComboBox();
        pInitGrid();
        pInitComboBox();
        pInitSetting();
        pApplyFormSize();
        pShowListState(m_strProjectListPath);
    });
}

// The caption for the list, the status line and the build controls.
void frmBuildSetting::pShowListState(const std::string& captionPath) {
    Caption(listWindowCaption(m_strVersion, captionPath));
    pApplyWindowState();
}

void frmBuildSetting::pImportProjectListFromBatFile(std::int32_t width, std::int32_t height) {
    guard("pImportProjectListFromBatFile", [&] {
        if (!m_strBatFilePath.empty()) {
            CDFileData imported;
            if (importBatchFile(imported, *m_objWin32API, m_strBatFilePath) > 0)
                readProjectFiles(imported);
            *m_objFileData = std::move(imported);
        }
        m_lngBuildRows = {-1};
        m_lngBuildIndex = 0;
        pHideCompatibleComboBox();
        pInitGrid();
        if (!m_blnIsShow) {
            pInitComboBox();
            pInitSetting();
        }
        if (width != 0)
            m_lngFormWidth = width;
        if (height != 0)
            m_lngFormHeight = height;
        pApplyFormSize();
        pShowListState(m_strBatFilePath);
        m_blnIsShow = true;
    });
}

void frmBuildSetting::mnuProjectListNew_Click() {
    handle("mnuProjectListNew_Click", true, [&] {
        // The project data must not change under a running build.
        if (pRefuseWhileBuilding())
            return;
        pSaveProjectListSetting(m_strProjectListPath);
        m_strProjectListPath.clear();
        pLoadProjectList();
    });
}

void frmBuildSetting::mnuProjectListOpen_Click() {
    handle("mnuProjectListOpen_Click", true, [&] {
        if (pRefuseWhileBuilding())
            return;
        const HourglassPointer pointer(*this);
        pSaveProjectListSetting(m_strProjectListPath);
        std::string path = m_strProjectListPath;
        if (!CFCreateBuildList(*this, *m_objFileData).fOpenProjectList(path))
            return;
        const std::string previous = std::exchange(m_strProjectListPath, path);
        try {
            pLoadProjectList();
        } catch (...) {
            // A list that could not be loaded does not become the current list.
            m_strProjectListPath = previous;
            throw;
        }
    });
}

void frmBuildSetting::mnuProjectListSave_Click() {
    handle("mnuProjectListSave_Click", true, [&] {
        if (pRefuseWhileBuilding())
            return;
        const HourglassPointer pointer(*this);
        // The marks go with the paths, and the list becomes the one the window opens next time, so
        // that a list saved is whole even if the window never closes normally.
        if (CFCreateBuildList(*this, *m_objFileData)
                .fSaveProjectList(m_strProjectListPath, ListMarks{markedRows(*this), m_lngBuildIndex}))
            writeLastListPath(*m_objWin32API, m_strProjectListPath);
    });
}

void frmBuildSetting::mnuSubBatFileImport_Click() {
    handle("mnuSubBatFileImport_Click", true, [&] {
        if (pRefuseWhileBuilding())
            return;
        const HourglassPointer pointer(*this);
        pSaveProjectListSetting(m_strProjectListPath);
        m_strProjectListPath.clear();
        std::string path = m_strBatFilePath;
        if (CFCreateBuildList(*this, *m_objFileData).fOpenBatFile(path)) {
            m_strBatFilePath = path;
            pImportProjectListFromBatFile(0, 0);
        }
    });
}

} // namespace pelorix
