#pragma once

#include "forms/CDDesigns.h"
#include "forms/LogPlacement.h"
#include "platform/ErrorConvention.h"
#include "projectdata/IBuildLog.h"

#include <QWidget>
#include <array>
#include <memory>
#include <string>
#include <vector>

class QListView;
class QModelIndex;
class QPushButton;

namespace pelorix {

class CFWin32API;
class LogLineModel;
class WidestLineDelegate;

// The build log window: the lines of build runs (the engine's time-stamped progress, the changes
// made to project files, the compiler's own messages) in one list, with a cancel button that
// closes it and a clear button. The main window makes it once, on its first build, as its child,
// and before every run calls fInitialize and shows it. Closing only hides it: the lines stay,
// and lines a build appends while it is closed are there when it opens again, until "ｸﾘｱ(&C)" or
// the end of the program. Its place and size are kept in section "Log" of Pelorix.ini; the
// first time it opens as wide as the main window, a third as high, at the main window's place.
class frmLog final : public QWidget, public IBuildLog, public ErrorHolder {
    Q_OBJECT

public:
    explicit frmLog(QWidget* owner = nullptr);
    ~frmLog() override;

    // win32Api is the main window's and not used (the window keeps its own); logPath is the folder
    // of the compiler logs, shown in the caption; mainWindow gives the default placement.
    void fInitialize(CFWin32API& win32Api, const std::string& logPath, QWidget& mainWindow);

    // Adding lines makes the newest line the current one, so that it is in view. Control
    // characters show as spaces. Failures are ignored: a log line is never worth stopping a build.
    void appendLine(const std::string& line) override;
    // Adds each non-empty element, in order.
    void appendLines(const std::vector<std::string>& lines) override;
    void refresh() override;

    // The lines as they are shown, in order.
    std::vector<std::string> lines() const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Esc closes the window, from any of its controls.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void pBuildControls();
    void Form_Load();
    void pSaveSetting();
    void cmdFunction_Click(int index);
    void lstLog_Click(const QModelIndex& index);
    void pAppend(std::vector<QString> lines);
    void pShowLastLine();

    std::string m_strLogPath;
    CDDesigns m_objDesigns;
    std::unique_ptr<CFWin32API> m_objWin32API;
    FormPlacement m_placement;
    // True from showing until closing: the placement is applied when the window opens and saved
    // when it closes.
    bool m_blnLoaded = false;
    bool m_blnShowLastPending = false;

    LogLineModel* m_model = nullptr;
    WidestLineDelegate* m_delegate = nullptr;
    QListView* m_lstLog = nullptr;
    QWidget* m_picButton = nullptr;
    std::array<QPushButton*, 2> m_cmdFunction{};
};

} // namespace pelorix
