#pragma once

#include "app/MainWindowRules.h"
#include "engine/BuildWindows.h"
#include "forms/CFSearch.h"
#include "lists/CFCreateBuildList.h"
#include "platform/ErrorConvention.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;

namespace pelorix {

class CDDesigns;
class CDFileData;
class CFSender;
class CFWin32API;
class BuildRecord;
class GridControl;
class IEventPump;
class IFileDialog;
class IMessageBox;
class frmLog;
class frmSearch;
enum class ProjectCommand;

// What the main window reaches the desktop through: message boxes, file dialogs and the
// processing of pending events. The program passes Qt's; tests pass scripted ones.
struct MainWindowServices {
    IMessageBox& messageBox;
    IFileDialog& fileDialog;
    IEventPump& eventPump;
};

// The main window: the project list in its grid, the build settings, the menus of the list,
// project, build, search and option commands, and the window's settings in Pelorix.ini.
//
// Its life: created (Form_Initialize), fInitEx, Show (Form_Load on the first call), then commands
// and builds, then closing: refused while a build runs (Form_QueryUnload), else Form_Unload saves
// the settings and the list's build marks and raises unloaded().
//
// The member functions live in files by concern: this window's life and state
// (frmBuildSetting.cpp), its controls and menus (_controls), the grid (_grid), the project
// commands (_commands), the settings (_settings), the list files and the batch import (_lists),
// the build run and the word search (_build).
class frmBuildSetting final : public QMainWindow,
                              public IBuildSettingForm,
                              public IProjectListWindow,
                              public ISearchForm,
                              public ErrorHolder {
    Q_OBJECT

public:
    explicit frmBuildSetting(const MainWindowServices& services);
    ~frmBuildSetting() override;

    void fInitEx();
    // Loads the window on the first call (Form_Load) and shows it.
    void Show();
    bool IsShow() const noexcept { return m_blnIsShow; }

    // IBuildSettingForm
    bool IsBuild() const override { return m_blnIsBuild; }
    void IsBuild(bool building) override;
    void fUpdateProjectListStatusInfo(std::int32_t targets, std::int32_t total) override;
    IProjectGrid& vsgridProject() override;
    std::int32_t gridColumnOf(std::int32_t logicalColumn) const override;

    // IProjectListWindow
    void MousePointer(std::int32_t pointer) override;
    void Caption(const std::string& caption) override;
    std::string Version() const override { return m_strVersion; }
    IFileDialog& CommonDialog() override;
    IMessageBox& MessageBox() override;

    // ISearchForm (besides the grid above): the cell the word search selects, the flag of the
    // open search window, the window's top-left corner in twips.
    void fSetSelectedCells(std::int32_t row, std::int32_t col) override;
    bool IsSearchShow() const override { return m_blnIsSearchShow; }
    void IsSearchShow(bool shown) override { m_blnIsSearchShow = shown; }
    std::int32_t Left() const override;
    std::int32_t Top() const override;

    MainWindowState pWindowState() const;
    void pSetWindowState(MainWindowState state);
    void pApplyWindowState();

    // A stop signal (SIGTERM, SIGHUP, SIGINT) received: boxes waiting for the user are closed, a
    // running build is stopped (its compiler ended, the project left as a failed build leaves it)
    // and then the window closes as on Exit, saving the list's marks and the settings.
    void fStopBySignal(int signal, const std::string& signalName);
    // The session ends (on Windows: log-off or shutdown), and the system ends the program as soon
    // as this returns, before any queued event is handled: the run stops as on SIGTERM, and what
    // closing the window saves (the list's marks, the settings) is saved now.
    void fEndSession();
    // The signal that closed the window; 0 when none did.
    int StopSignal() const noexcept { return m_intStopSignal; }

Q_SIGNALS:
    // The window has been unloaded: Main stops waiting.
    void unloaded();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // ---- Life (frmBuildSetting.cpp) ----
    void Form_Initialize();
    void Form_Load();
    void Form_Resize();
    bool Form_QueryUnload();
    void Form_Unload();
    void mnuExit_Click();
    // Shows the busy message and returns true while a build runs.
    bool pRefuseWhileBuilding();
    void pApplyFormSize();
    void pCloseAfterStop();

    // ---- Controls and menus (frmBuildSetting_controls.cpp) ----
    void pCreateControls();
    void pCreateBuildSettingFrame(QWidget& parent);
    void pCreateButtons(QWidget& parent);
    void pCreateMenus();
    void pConnectControls();
    void pRegisterDesigns();
    void pPlaceCompatibleComboBox();
    QAction* pAddMenuItem(QMenu& menu, const char* name, const char* caption, const char* shortcut);

    // ---- Grid (frmBuildSetting_grid.cpp) ----
    void pInitGrid();
    void pApplyColumnSettings();
    void pUpdateGrid(std::int32_t row, std::int32_t index);
    std::int32_t pGetEnableCount();
    void pSetProjectListStatusInfo(std::int32_t targets, std::int32_t total);
    std::int32_t pCheckTargetOn(std::int32_t rowA, std::int32_t rowB);
    void pShowCompatibleComboBox();
    void pHideCompatibleComboBox();
    void pSetAllMarks(bool target);
    void cmdEnable_Click(int index);
    void vsgridProject_Click();
    void vsgridProject_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                                 QPoint globalPosition);
    void vsgridProject_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void vsgridProject_KeyPress(int keyAscii);
    void vsgridProject_KeyUp(int key, Qt::KeyboardModifiers modifiers);
    void vsgridProject_OLEDragDrop(const QStringList& hostPaths);
    void cboCell_Click();
    void cboCell_KeyPress(int keyAscii);
    void pCloseCompatibleComboBox();
    void pAddDroppedProject(const std::string& path);

    // ---- Project commands (frmBuildSetting_commands.cpp) ----
    std::optional<std::int32_t> pTargetRow(ProjectCommand command) const;
    std::string pTargetPath(std::int32_t row) const;
    bool pCheckPath(const std::string& path, int kind) const;
    std::optional<std::pair<std::int32_t, std::string>> pChooseProjectFile(ProjectCommand command);
    void mnuProjectAdd_Click();
    void mnuProjectEdit_Click();
    void mnuProjectDel_Click();
    void mnuSubOpenProject_Click();
    void mnuSubOpenParentDir_Click();
    void mnuSubSortBuildOrder_Click();
    void pAddProject(std::int32_t row, const std::string& path);

    // ---- Settings (frmBuildSetting_settings.cpp) ----
    void pSetLastPath(std::string& listPath, std::string& batchPath);
    void pLoadProjectListSetting();
    void pInitSetting();
    void pInitComboBox();
    WindowOptions pWindowOptions() const;
    void pSaveSetting(const std::string& listPath);
    // False (after showing why) when the list file could not be written.
    bool pSaveProjectListSetting(const std::string& listPath);
    void chkRebuildConfirm_Click();
    void cboCompatible_Click();
    // The option toggles: each copies its menu item's new check state into its member.
    void mnuSubNotAfterBuildTargetOff_Click();
    void mnuSubChkStartupImpBat_Click();
    void mnuSubChkComponent_Click();
    void mnuSubChkBuildChanged_Click();

    // ---- List files and batch import (frmBuildSetting_lists.cpp) ----
    void pLoadProjectList();
    void pImportProjectListFromBatFile(std::int32_t width, std::int32_t height);
    void mnuProjectListNew_Click();
    void mnuProjectListOpen_Click();
    void mnuProjectListSave_Click();
    void mnuSubBatFileImport_Click();
    void pShowListState(const std::string& captionPath);

    // ---- The build run and the word search (frmBuildSetting_build.cpp) ----
    void pBuildExecute();
    void pUpdateSetting();
    void pExecuteVB6EXE();
    void pShowResultNotes(const BuildRecord& record);
    void cmdFunction_Click(int index);
    void mnuSubBuild_Click();
    void pWordSearch();
    void mnuSubSearch_Click();
    void mnuSubSearchNext_Click();
    void m_objSender_OnWordSearch();

    MainWindowServices m_services;

    // State
    std::unique_ptr<CDFileData> m_objFileData;
    std::unique_ptr<CFWin32API> m_objWin32API;
    std::unique_ptr<CDDesigns> m_objDesigns;
    std::shared_ptr<CFSender> m_objSender;
    QPointer<frmLog> m_frmLog;
    QPointer<frmSearch> m_frmSearch;
    std::int32_t m_lngEnableCount = 0;
    std::int32_t m_lngFormWidth = -1;
    std::int32_t m_lngFormHeight = -1;
    std::int32_t m_lngBuildIndex = 1;
    bool m_blnRebuildHideConfirm = true;
    std::string m_strLogPath;
    std::int32_t m_lngMouseRow = -1;
    std::int32_t m_lngMouseCol = -1;
    std::string m_strProjectListPath;
    std::string m_strBatFilePath;
    std::vector<std::int32_t> m_lngBuildRows;
    std::int16_t m_intRebuildCompatibleMode = 0;
    std::int32_t m_lngShiftStartRow = 0;
    bool m_blnShiftSelect = false;
    std::int32_t m_lngColEnable = 0;
    std::int32_t m_lngColCompatible = 2;
    std::int32_t m_lngColFilePath = 6;
    std::vector<std::string> m_strColIndex;
    std::vector<std::string> m_strColWidth;
    std::vector<std::string> m_strColNames;
    std::vector<std::int32_t> m_gridColumns;
    bool m_blnIsShow = false;
    bool m_blnIsBuild = false;
    MainWindowState m_windowState = MainWindowState::Idle;
    bool m_blnIsSearchShow = false;
    bool m_blnNotAfterBuildTargetOff = false;
    bool m_blnStartupImpBat = false;
    bool m_blnUpdateComponentReference = false;
    bool m_blnBuildChangedOnly = false;
    std::string m_strVersion;
    // Pelorix.ini's window settings are read once, at start-up; later list loads read only the
    // list's own build state.
    bool m_blnWindowSettingsRead = false;
    bool m_blnLoaded = false;
    // Set by a stop signal: the running build stops at once (the engine reads it in its waits).
    bool m_blnStopRequest = false;
    int m_intStopSignal = 0;

    // Controls (owned by their Qt parents)
    QGroupBox* fraBuildSetting = nullptr;
    QCheckBox* chkRebuildConfirm = nullptr;
    QComboBox* cboCompatible = nullptr;
    QLabel* lblCompatible = nullptr;
    GridControl* m_vsgridProject = nullptr;
    QComboBox* cboCell = nullptr;
    QWidget* picButton = nullptr;
    std::array<QPushButton*, 2> cmdFunction{};
    std::array<QPushButton*, 2> cmdEnable{};
    QLabel* lblProjectListStatusInfo = nullptr;

    // Menus
    QMenu* mnuMenu = nullptr;
    QMenu* mnuEdit = nullptr;
    QMenu* mnuProject = nullptr;
    QMenu* mnuRun = nullptr;
    QMenu* mnuSearch = nullptr;
    QMenu* mnuOption = nullptr;
    QAction* mnuProjectListNew = nullptr;
    QAction* mnuProjectListOpen = nullptr;
    QAction* mnuProjectListSave = nullptr;
    QAction* mnuSubBatFileImport = nullptr;
    QAction* mnuExit = nullptr;
    QAction* mnuProjectAdd = nullptr;
    QAction* mnuProjectEdit = nullptr;
    QAction* mnuProjectDel = nullptr;
    QAction* mnuSubOpenProject = nullptr;
    QAction* mnuSubOpenParentDir = nullptr;
    QAction* mnuSubBuild = nullptr;
    QAction* mnuSubSearch = nullptr;
    QAction* mnuSubSearchNext = nullptr;
    QAction* mnuSubNotAfterBuildTargetOff = nullptr;
    QAction* mnuSubChkStartupImpBat = nullptr;
    QAction* mnuSubChkComponent = nullptr;
    QAction* mnuSubChkBuildChanged = nullptr;
    QAction* mnuSubSortBuildOrder = nullptr;
};

} // namespace pelorix
