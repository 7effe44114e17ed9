// The main window's build run and word search: a build started from the button or ﾋﾞﾙﾄﾞ(&S)
// (F5) hands the marked rows to the core, runs the engine with the build log window and a new
// progress window, and turns the progress window into the run's report; 検索(&F) (Ctrl+F) opens
// the search window, 次を検索(&N) (F3) steps to its next hit.
//
// The engine runs on this thread and processes pending events while the compiler works, so the
// window's events arrive in the middle of a run: the disabled build and exit controls, the busy
// guard of the list commands and the refused close keep them from touching the run.
#include "app/frmBuildSetting.h"
#include "engine/BuildHandOver.h"
#include "engine/BuildLock.h"
#include "engine/BuildRecord.h"
#include "forms/GridControl.h"
#include "forms/Twips.h"
#include "forms/frmLog.h"
#include "forms/frmSearch.h"
#include "forms/frmWait.h"
#include "lists/CFCreateBuildList.h"
#include "platform/CFWin32API.h"
#include "platform/Environment.h"
#include "projectdata/CDFileData.h"

#include <QCheckBox>
#include <QComboBox>
#include <cmath>

namespace pelorix {

void frmBuildSetting::cmdFunction_Click(int index) {
    handle("cmdFunction_Click(" + std::to_string(index) + ")", true, [&] {
        if (index == 0)
            pBuildExecute();
        else
            close();
    });
}

void frmBuildSetting::mnuSubBuild_Click() {
    handle("mnuSubBuild_Click", false, [&] { pBuildExecute(); });
}

void frmBuildSetting::pBuildExecute() {
    guard("pBuildExecute", [&] {
        // A run never starts inside another: the project data and the grid belong to the first.
        if (!mainWindowControls(pWindowState(), m_lngEnableCount).build)
            return;
        // The compiler logs of a run are files of the program folder: a run of another Pelorix in
        // the same folder (the command line's too) would read this run's logs and delete them. The
        // window follows the command line's rule (see BuildLock.h).
        const BuildLockDecision lock = takeBuildLock(false);
        if (lock.refused()) {
            const bool busy = lock.refusal != BuildLockDecision::Refusal::CannotOpen;
            MessageBox().show(lock.japaneseText(), busy ? "ﾋﾞﾙﾄﾞ中..." : "ﾋﾞﾙﾄﾞ", MsgButtons::Ok,
                              MsgIcon::Exclamation, false);
            return;
        }
        if (m_strLogPath.empty())
            m_strLogPath = App_Path() + "\\";
        m_intRebuildCompatibleMode = static_cast<std::int16_t>(cboCompatible->currentData().toInt());
        pSetWindowState(MainWindowState::Building);
        const HourglassPointer hourglass(*this);
        try {
            pUpdateSetting();
            pExecuteVB6EXE();
        } catch (...) {
            pSetWindowState(MainWindowState::Idle);
            if (m_intStopSignal != 0)
                pCloseAfterStop();
            throw;
        }
        pSetWindowState(MainWindowState::Idle);
        // A run stopped by a signal is followed by the close the signal asked for.
        if (m_intStopSignal != 0)
            pCloseAfterStop();
    });
}

// The marked rows become the run's targets, each project taking the mode its row shows.
void frmBuildSetting::pUpdateSetting() {
    guard("pUpdateSetting", [&] {
        m_lngBuildRows = handOverBuildTargets(*this, *m_objFileData, m_blnUpdateComponentReference);
        m_blnRebuildHideConfirm = chkRebuildConfirm->isChecked();
    });
}

void frmBuildSetting::pExecuteVB6EXE() {
    // Owned by this window as its child; dropped after the run, while a report it shows stays
    // until the user closes it.
    QPointer<frmWait> wait;
    guard("pExecuteVB6EXE", [&] {
        try {
            // One build log window serves every run until this window closes.
            // The windows of a run speak in this window's font, as the program's windows do.
            if (!m_frmLog) {
                m_frmLog = new frmLog(this);
                m_frmLog->setFont(font());
            }
            m_frmLog->fInitialize(*m_objWin32API, m_strLogPath, *this);
            m_frmLog->show();
            m_frmLog->raise();

            wait = new frmWait(this);
            wait->setFont(font());
            // The rebuild mode is the one the build command read from the list when it started.
            const WindowOptions options = pWindowOptions();
            IWaitForm* waitForm = wait.data();
            BuildRecord record(*m_objFileData, m_lngBuildRows);
            const BuildRunOutcome outcome =
                runBuild({*m_objFileData,
                          *m_objWin32API,
                          *m_frmLog,
                          MessageBox(),
                          m_services.eventPump,
                          {&record},
                          &m_blnStopRequest,
                          false,
                          m_blnBuildChangedOnly ? m_strProjectListPath : std::string()},
                         m_lngBuildRows, m_strProjectListPath, options, waitForm, *this);
            pShowResultNotes(record);

            const BuildSummary summary = buildSummary(outcome.result, record.failedCount());
            if (summary.saveListState)
                pSaveProjectListSetting(m_strProjectListPath);
            wait->setDisplayMode(summary.displayMode);
            wait->fSetDispInfo(summary.text, summary.title);
            // A run stopped by a signal waits for no one: the window closes next.
            if (summary.showModal && m_intStopSignal == 0)
                wait->showModal();
            else if (!outcome.problems.empty() && !wait->isVisible())
                // A run stopped by the machine before its first project never showed its
                // progress window: the report comes up all the same.
                wait->showModeless(*this);
            m_lngBuildIndex = outcome.currentBuildRow;
        } catch (...) {
            m_blnIsBuild = false;
            if (wait)
                wait->releaseAfterRun();
            throw;
        }
        if (wait)
            wait->releaseAfterRun();
    });
}

// The result cell of each project the run built tells, as its tool tip, where its first compile
// error is; a cell whose project built, or failed without one, has its text as its tool tip.
void frmBuildSetting::pShowResultNotes(const BuildRecord& record) {
    for (const ProjectRecordOfRun& project : record.projects())
        if (project.outcome != ProjectOutcome::NotReached && project.outcome != ProjectOutcome::Cancelled)
            m_vsgridProject->CellToolTip(project.buildRow, gridColumnOf(GridColumn::Result),
                                         resultCellNote(project));
}

// ---- Word search ----

std::int32_t frmBuildSetting::Left() const {
    return static_cast<std::int32_t>(std::lround(twipsFromPixelsX(*this, x())));
}

std::int32_t frmBuildSetting::Top() const {
    return static_cast<std::int32_t>(std::lround(twipsFromPixelsY(*this, y())));
}

// Brings the open search window forward, or opens a new one (with no words yet).
void frmBuildSetting::pWordSearch() {
    guard("pWordSearch", [&] {
        if (m_blnIsSearchShow && m_frmSearch) {
            m_frmSearch->show();
            m_frmSearch->raise();
            m_frmSearch->activateWindow();
            return;
        }
        m_frmSearch = new frmSearch(this);
        m_frmSearch->fInitialize(*this);
        m_frmSearch->show();
    });
}

void frmBuildSetting::mnuSubSearch_Click() {
    handle("mnuSubSearch_Click", false, [&] { pWordSearch(); });
}

void frmBuildSetting::mnuSubSearchNext_Click() {
    handle("mnuSubSearchNext_Click", true, [&] {
        if (m_blnIsSearchShow && m_frmSearch)
            m_frmSearch->fSearchNext();
        else
            pWordSearch();
    });
}

void frmBuildSetting::m_objSender_OnWordSearch() {
    handle("m_objSender_OnWordSearch", true, [&] { pWordSearch(); });
}

} // namespace pelorix
