// The main window's life: creation, set-up, load, resize, closing, the exit commands, the busy
// guard and the enabling of the build controls.
#include "app/frmBuildSetting.h"

#include "app/MainWindowRules.h"
#include "engine/BuildHandOver.h"
#include "engine/CFSender.h"
#include "forms/CDDesigns.h"
#include "forms/GridControl.h"
#include "forms/Twips.h"
#include "forms/WidgetLayout.h"
#include "forms/frmLog.h"
#include "forms/frmSearch.h"
#include "platform/CFWin32API.h"
#include "platform/StopSignals.h"
#include "platform/TimeFormat.h"
#include "platform/UserInterface.h"
#include "projectdata/CDFileData.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <csignal>

namespace pelorix {

frmBuildSetting::frmBuildSetting(const MainWindowServices& services)
    : QMainWindow(nullptr), ErrorHolder("frmBuildSetting"), m_services(services) {
    Form_Initialize();
}

frmBuildSetting::~frmBuildSetting() = default;

void frmBuildSetting::Form_Initialize() {
    handle("Form_Initialize", true, [&] {
        m_objDesigns = std::make_unique<CDDesigns>();
        m_objSender = std::make_shared<CFSender>();
        m_objSender->OnWordSearch([this] { m_objSender_OnWordSearch(); });
        pCreateControls();
        pCreateMenus();
        pConnectControls();
    });
}

void frmBuildSetting::fInitEx() {
    guard("fInitEx", [&] {
        m_objFileData = std::make_unique<CDFileData>();
        m_objWin32API = std::make_unique<CFWin32API>();
        pSetLastPath(m_strProjectListPath, m_strBatFilePath);
        pLoadProjectListSetting();
    });
}

void frmBuildSetting::Show() {
    if (!m_blnLoaded) {
        m_blnLoaded = true;
        Form_Load();
    }
    show();
    m_vsgridProject->setFocus();
}

void frmBuildSetting::Form_Load() {
    handle("Form_Load", true, [&] {
        try {
            pRegisterDesigns();
            m_strVersion = applicationVersionText();
            if (!m_strBatFilePath.empty() && m_blnStartupImpBat) {
                // The imported list is a new list: its marks must not be written into the list
                // file last used, whose rows are other projects.
                m_strProjectListPath.clear();
                pImportProjectListFromBatFile(m_lngFormWidth, m_lngFormHeight);
            } else {
                pLoadProjectList();
            }
            m_blnIsShow = true;
        } catch (...) {
            m_blnIsShow = false;
            // The window stays usable with a new, empty list, and the list that failed to load
            // is left as it is on disk.
            m_strProjectListPath.clear();
            try {
                pLoadProjectList();
            } catch (...) {
            }
            throw;
        }
    });
}

void frmBuildSetting::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void frmBuildSetting::Form_Resize() {
    // Errors of the layout are ignored, and nothing is logged.
    if (m_objDesigns)
        moveDesigns(*m_objDesigns, *this);
}

void frmBuildSetting::closeEvent(QCloseEvent* event) {
    if (Form_QueryUnload()) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

bool frmBuildSetting::Form_QueryUnload() {
    bool cancel = false;
    handle("Form_QueryUnload", true, [&] {
        if (!m_blnIsBuild)
            return;
        cancel = true;
        // The box does not hold the build: the run goes on while it is up.
        MessageBox().notify("ﾋﾞﾙﾄﾞ処理中です。", "ﾋﾞﾙﾄﾞ処理中！", MsgIcon::Critical);
    });
    return cancel;
}

void frmBuildSetting::Form_Unload() {
    handle("Form_Unload", true, [&] {
        const auto release = [this] {
            if (m_frmLog)
                m_frmLog->close();
            if (m_frmSearch && m_blnIsSearchShow)
                m_frmSearch->close();
            m_lngBuildRows.clear();
            m_strColIndex.clear();
            m_strColWidth.clear();
            m_strColNames.clear();
            m_blnIsShow = false;
            Q_EMIT unloaded();
        };
        try {
            pSaveSetting(m_strProjectListPath);
        } catch (...) {
            release();
            throw;
        }
        release();
    });
}

void frmBuildSetting::fStopBySignal(int signal, const std::string& signalName) {
    if (m_intStopSignal != 0)
        return;
    m_intStopSignal = signal;
    // A box or dialog waiting for the user is closed as by its close box (a question's answer is
    // then its escape button), so that nothing holds the program open.
    for (int tries = 0; tries < 16; ++tries) {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr)
            break;
        modal->close();
    }
    if (m_blnIsBuild) {
        // The build ends the compiler and finishes as after a failed project; pBuildExecute then
        // closes the window.
        m_blnStopRequest = true;
        if (m_frmLog)
            m_frmLog->appendLine(timeStamp() + " " + stopSignalLogText(signalName));
        return;
    }
    pCloseAfterStop();
}

void frmBuildSetting::fEndSession() {
    fStopBySignal(SIGTERM, StopSignals::name(SIGTERM));
    // No box: no one is left to answer it; the error log keeps what failed.
    if (m_blnIsShow)
        handle("fEndSession", false, [&] { pSaveSetting(m_strProjectListPath); });
}

// Closes the window once the events of the moment have been handled, as Exit does.
void frmBuildSetting::pCloseAfterStop() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_blnIsShow || isVisible())
                close();
        },
        Qt::QueuedConnection);
}

void frmBuildSetting::mnuExit_Click() {
    handle("mnuExit_Click", true, [&] { close(); });
}

bool frmBuildSetting::pRefuseWhileBuilding() {
    if (mainWindowControls(pWindowState(), m_lngEnableCount).listCommands)
        return false;
    setLastError(m_lngErrNumber, std::string(busyMessageText), m_strErrProcName);
    MessageBox().show(std::string(busyMessageText), std::string(busyMessageTitle), MsgButtons::Ok,
                      MsgIcon::Exclamation, false);
    return true;
}

MainWindowState frmBuildSetting::pWindowState() const {
    // The engine's flag counts too: a run is a build whoever started it.
    return m_blnIsBuild ? MainWindowState::Building : m_windowState;
}

void frmBuildSetting::pSetWindowState(MainWindowState state) {
    m_windowState = state;
    pApplyWindowState();
}

// Every control that follows the window's state, from the state and the one count of the marks;
// the status line shows that count.
void frmBuildSetting::pApplyWindowState() {
    guard("pApplyWindowState", [&] {
        m_lngEnableCount = pGetEnableCount();
        const MainWindowControls controls = mainWindowControls(pWindowState(), m_lngEnableCount);
        cmdFunction[0]->setEnabled(controls.build);
        mnuSubBuild->setEnabled(controls.build);
        cmdFunction[1]->setEnabled(controls.exit);
        chkRebuildConfirm->setEnabled(controls.rebuildConfirm);
        pSetProjectListStatusInfo(m_lngEnableCount, m_objFileData->ProjectCount());
    });
}

// The saved size applies when the window is first loaded; later lists keep the size the user gave
// the window. It never exceeds the screen's available area.
void frmBuildSetting::pApplyFormSize() {
    if (m_blnIsShow)
        return;
    const FormPlacement area = availableAreaTwips(*this);
    const FormPlacement size = boundedToArea({area.left, area.top, m_lngFormWidth, m_lngFormHeight}, area);
    resize(pixelsFromTwipsX(*this, size.width), pixelsFromTwipsY(*this, size.height));
}

void frmBuildSetting::IsBuild(bool building) {
    m_blnIsBuild = building;
}

void frmBuildSetting::fUpdateProjectListStatusInfo(std::int32_t targets, std::int32_t total) {
    guard("fUpdateProjectListStatusInfo", [&] { pSetProjectListStatusInfo(targets, total); });
}

IProjectGrid& frmBuildSetting::vsgridProject() {
    return *m_vsgridProject;
}

std::int32_t frmBuildSetting::gridColumnOf(std::int32_t logicalColumn) const {
    if (logicalColumn >= 0 && static_cast<std::size_t>(logicalColumn) < m_gridColumns.size())
        return m_gridColumns[static_cast<std::size_t>(logicalColumn)];
    return logicalColumn;
}

void frmBuildSetting::MousePointer(std::int32_t pointer) {
    if (pointer == vbHourglass)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

void frmBuildSetting::Caption(const std::string& caption) {
    setWindowTitle(QString::fromStdString(caption));
}

IFileDialog& frmBuildSetting::CommonDialog() {
    return m_services.fileDialog;
}

IMessageBox& frmBuildSetting::MessageBox() {
    return m_services.messageBox;
}

bool frmBuildSetting::eventFilter(QObject* watched, QEvent* event) {
    if (watched == cboCell && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            cboCell_KeyPress(13);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace pelorix
