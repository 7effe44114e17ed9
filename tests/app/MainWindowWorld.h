#pragma once

#include "app/frmBuildSetting.h"
#include "engine/BuildWindows.h"
#include "forms/GridControl.h"
#include "platform/UserInterface.h"
#include "support/ScriptedFileDialog.h"
#include "support/TestEnvironment.h"

#include <QString>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

class QAction;

namespace pelorix::test {

// A world for one main-window test: a prefix and program folder of its own, project and list
// files on drive C:, scripted message boxes and file dialogs, and the window started as the
// program starts it.
class MainWindowWorld {
public:
    MainWindowWorld();
    ~MainWindowWorld();

    // Starts the window (creation, set-up, load, show) and waits until it is on screen.
    frmBuildSetting& start();
    // Closes the window as its close box does; true when it was unloaded.
    bool close();

    // A project file C:\p\NAME.vbp; start mode 0 is a standalone program, 1 an ActiveX one.
    std::string project(const std::string& name, int startMode = 0, int compatibleMode = 0);
    // The host path of a Windows path on drive C:.
    std::string host(const std::string& windowsPath) const;
    // A list file C:\lists\NAME.ini with the projects and, when given, its build state.
    std::string list(const std::string& name, const std::vector<std::string>& projects,
                     const std::string& buildSection = "");
    void writeIni(const std::string& text) const;
    // A settings or list file's text, decoded.
    std::string text(const std::string& hostPath) const;
    std::string iniText() const { return text(env.home() + "/Pelorix.ini"); }

    // Controls by their names.
    template <class T>
    T& control(const char* name) const {
        auto* found = window->findChild<T*>(QString::fromUtf8(name));
        if (found == nullptr)
            qFatal("no control %s", name);
        return *found;
    }
    GridControl& grid() const { return control<GridControl>("vsgridProject"); }
    QString status() const;
    QAction& item(const char* name) const { return control<QAction>(name); }

    // Mouse and keyboard on the grid's cells (row and column as the grid counts them).
    void click(std::int32_t row, std::int32_t col, Qt::KeyboardModifiers modifiers = {},
               Qt::MouseButton button = Qt::LeftButton) const;
    void key(int key, Qt::KeyboardModifiers modifiers = {}) const;
    // Clicks an item of a menu that is showing.
    void chooseFromMenu(const char* menu, const char* item) const;
    // Drops files (host paths) on the grid.
    void drop(const QStringList& hostPaths) const;
    // Whether a data row's mark shows checked.
    bool marked(std::int32_t row, std::int32_t markColumn = 0) const;
    QString cell(std::int32_t row, std::int32_t col) const;

    TestEnvironment env;
    AnswerMessageBox box;
    ScriptedFileDialog dialog;
    NullEventPump pump;
    std::unique_ptr<frmBuildSetting> window;
};

} // namespace pelorix::test
