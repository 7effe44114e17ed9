// The main window's settings: the last list and batch file, the window's size and column widths,
// the rebuild settings and the options in Pelorix.ini, and the build state of the current list in
// the list file.
#include "app/MainWindowRules.h"
#include "app/frmBuildSetting.h"
#include "engine/BuildHandOver.h"
#include "forms/GridControl.h"
#include "forms/Twips.h"
#include "lists/ProjectListFile.h"
#include "platform/CFWin32API.h"
#include "projectdata/CDFileData.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <cmath>

namespace pelorix {

void frmBuildSetting::pSetLastPath(std::string& listPath, std::string& batchPath) {
    guard("pSetLastPath", [&] {
        LastPaths last = readLastPaths(*m_objWin32API);
        if (!last.projectListPath.empty())
            listPath = std::move(last.projectListPath);
        if (!last.batFilePath.empty())
            batchPath = std::move(last.batFilePath);
    });
}

void frmBuildSetting::pLoadProjectListSetting() {
    guard("pLoadProjectListSetting", [&] {
        if (!m_blnWindowSettingsRead) {
            const FormSize size = readFormSize(*m_objWin32API);
            m_lngFormWidth = size.width;
            m_lngFormHeight = size.height;
            const WindowOptions options = readWindowOptions(*m_objWin32API);
            m_blnRebuildHideConfirm = options.rebuildHideConfirm;
            m_intRebuildCompatibleMode = options.rebuildCompatibleMode;
            m_blnNotAfterBuildTargetOff = options.notAfterBuildTargetOff;
            m_blnStartupImpBat = options.startupImpBat;
            m_blnUpdateComponentReference = options.updateComponentReference;
            m_blnBuildChangedOnly = options.buildChangedOnly;
            m_blnWindowSettingsRead = true;
        }
        const ListBuildState state = readListBuildState(m_strProjectListPath);
        if (state.enableRows.empty() || m_objFileData->ProjectCount() == 0) {
            m_lngBuildRows = {-1};
            m_lngEnableCount = 0;
        } else {
            m_lngBuildRows = state.enableRows;
            m_lngEnableCount = static_cast<std::int32_t>(state.enableRows.size());
        }
        // pInitGrid keeps the row only when it is a data row of the list.
        m_lngBuildIndex = state.index.value_or(0);
    });
}

// The window's options as it holds them.
WindowOptions frmBuildSetting::pWindowOptions() const {
    WindowOptions options;
    options.rebuildHideConfirm = m_blnRebuildHideConfirm;
    options.rebuildCompatibleMode = m_intRebuildCompatibleMode;
    options.notAfterBuildTargetOff = m_blnNotAfterBuildTargetOff;
    options.startupImpBat = m_blnStartupImpBat;
    options.updateComponentReference = m_blnUpdateComponentReference;
    options.buildChangedOnly = m_blnBuildChangedOnly;
    return options;
}

void frmBuildSetting::pInitSetting() {
    guard("pInitSetting", [&] {
        chkRebuildConfirm->setChecked(m_blnRebuildHideConfirm);
        cboCompatible->setEnabled(m_blnRebuildHideConfirm);
        mnuSubNotAfterBuildTargetOff->setChecked(m_blnNotAfterBuildTargetOff);
        mnuSubChkStartupImpBat->setChecked(m_blnStartupImpBat);
        mnuSubChkComponent->setChecked(m_blnUpdateComponentReference);
        mnuSubChkBuildChanged->setChecked(m_blnBuildChangedOnly);
        cmdEnable[0]->setToolTip(QString::fromUtf8("全ﾌﾟﾛｼﾞｪｸﾄをﾋﾞﾙﾄﾞ対象にします。"));
        cmdEnable[1]->setToolTip(QString::fromUtf8("全ﾌﾟﾛｼﾞｪｸﾄをﾋﾞﾙﾄﾞ対象外にします。"));
    });
}

void frmBuildSetting::pInitComboBox() {
    guard("pInitComboBox", [&] {
        cboCompatible->clear();
        for (std::int16_t mode = 0; mode <= 2; ++mode)
            cboCompatible->addItem(QString::fromStdString(compatibleModeName(mode)), mode);
        const int position = cboCompatible->findData(m_intRebuildCompatibleMode);
        cboCompatible->setCurrentIndex(position >= 0 ? position : 0);
    });
}

void frmBuildSetting::pSaveSetting(const std::string& listPath) {
    guard("pSaveSetting", [&] {
        WindowSettingsToSave settings;
        const GridControl& grid = *m_vsgridProject;
        for (std::int32_t col = 0; col < grid.Cols(); ++col)
            settings.columnWidths.push_back(grid.ColWidth(col));
        pSaveProjectListSetting(listPath);
        if (!isMinimized())
            settings.formSize =
                FormSize{static_cast<std::int32_t>(std::lround(twipsFromPixelsX(*this, width()))),
                         static_cast<std::int32_t>(std::lround(twipsFromPixelsY(*this, height())))};
        settings.options = pWindowOptions();
        // What the controls show now is what the next start finds.
        settings.options.rebuildHideConfirm = chkRebuildConfirm->isChecked();
        settings.options.rebuildCompatibleMode =
            static_cast<std::int16_t>(cboCompatible->currentData().toInt());
        settings.batFilePath = m_strBatFilePath;
        writeWindowSettings(*m_objWin32API, settings);
    });
}

// A list file that cannot be written is said at once, naming the file, and the window goes on:
// the list is left (closed, replaced) all the same, as its marks cannot be kept anyway.
bool frmBuildSetting::pSaveProjectListSetting(const std::string& listPath) {
    return handle("pSaveProjectListSetting", true, [&] {
        std::vector<std::string> rowPaths;
        for (const std::int32_t index : m_objFileData->ProjectIndexCollection())
            rowPaths.push_back(m_objFileData->fProjectFilePath(index));
        writeListBuildState(*m_objWin32API, listPath, rowPaths, {markedRows(*this), m_lngBuildIndex});
    });
}

void frmBuildSetting::chkRebuildConfirm_Click() {
    handle("chkRebuildConfirm_Click", true, [&] {
        m_blnRebuildHideConfirm = chkRebuildConfirm->isChecked();
        cboCompatible->setEnabled(m_blnRebuildHideConfirm);
    });
}

void frmBuildSetting::cboCompatible_Click() {
    m_intRebuildCompatibleMode = static_cast<std::int16_t>(cboCompatible->currentData().toInt());
}

void frmBuildSetting::mnuSubNotAfterBuildTargetOff_Click() {
    handle("mnuSubNotAfterBuildTargetOff_Click", false,
           [&] { m_blnNotAfterBuildTargetOff = mnuSubNotAfterBuildTargetOff->isChecked(); });
}

void frmBuildSetting::mnuSubChkStartupImpBat_Click() {
    handle("mnuSubChkStartupImpBat_Click", true,
           [&] { m_blnStartupImpBat = mnuSubChkStartupImpBat->isChecked(); });
}

void frmBuildSetting::mnuSubChkComponent_Click() {
    handle("mnuSubChkComponent_Click", false,
           [&] { m_blnUpdateComponentReference = mnuSubChkComponent->isChecked(); });
}

// A run reads the option when it starts, so a change during a build is turned away rather than
// shown for a run it does not reach.
void frmBuildSetting::mnuSubChkBuildChanged_Click() {
    handle("mnuSubChkBuildChanged_Click", false, [&] {
        if (pRefuseWhileBuilding()) {
            mnuSubChkBuildChanged->setChecked(m_blnBuildChangedOnly);
            return;
        }
        m_blnBuildChangedOnly = mnuSubChkBuildChanged->isChecked();
    });
}

} // namespace pelorix
