#include "app/modMain.h"

#include "app/frmBuildSetting.h"
#include "platform/CFWin32API.h"
#include "platform/ErrorLog.h"

#include <QApplication>
#include <QEventLoop>

namespace pelorix {

std::unique_ptr<frmBuildSetting> showMainWindow(const MainWindowServices& services) {
    auto window = std::make_unique<frmBuildSetting>(services);
    window->fInitEx();
    window->Show();
    return window;
}

int Main(const MainWindowServices& services) {
    // A settings file that cannot be read leaves every setting at its default: named once.
    if (const auto problem = settingsFileProblem())
        WriteErrorLog(-1, *problem, "Main", "modMain", ErrorLevel::Warning, false);
    const std::unique_ptr<frmBuildSetting> window = showMainWindow(services);
    // One user-interface thread: events are processed until the window is unloaded. A window whose
    // load failed stays open until the user closes it.
    QEventLoop loop;
    QObject::connect(window.get(), &frmBuildSetting::unloaded, &loop, &QEventLoop::quit);
    if (window->isVisible())
        loop.exec();
    return 0;
}

} // namespace pelorix
