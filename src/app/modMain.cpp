#include "app/modMain.h"

#include "app/frmBuildSetting.h"
#include "platform/CFWin32API.h"
#include "platform/ErrorLog.h"
#include "platform/StopSignals.h"

#include <QApplication>
#include <QEventLoop>
#include <QSocketNotifier>

namespace pelorix {

std::unique_ptr<frmBuildSetting> showMainWindow(const MainWindowServices& services) {
    auto window = std::make_unique<frmBuildSetting>(services);
    window->fInitEx();
    window->Show();
    return window;
}

std::unique_ptr<QSocketNotifier> watchStopSignals(const StopSignals& signals, frmBuildSetting& window) {
    if (signals.wakeUpDescriptor() < 0)
        return nullptr;
    auto notifier = std::make_unique<QSocketNotifier>(signals.wakeUpDescriptor(), QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, &window, [&signals, &window] {
        signals.drain();
        if (const int signal = signals.received(); signal != 0)
            window.fStopBySignal(signal, StopSignals::name(signal));
    });
    return notifier;
}

int Main(const MainWindowServices& services) {
    // Caught from the start, so that a signal during the load is not lost either.
    const StopSignals signals(StopSignals::Set::Window);
    // A settings file that cannot be read leaves every setting at its default: named once.
    if (const auto problem = settingsFileProblem())
        WriteErrorLog(-1, *problem, "Main", "modMain", ErrorLevel::Warning, false);
    const std::unique_ptr<frmBuildSetting> window = showMainWindow(services);
    const std::unique_ptr<QSocketNotifier> notifier = watchStopSignals(signals, *window);
    // Qt says a session's end (Windows' WM_ENDSESSION) by aboutToQuit; the program's own loop
    // never quits the application, so nothing else sends it.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, window.get(),
                     [&window] { window->fEndSession(); });
    // One user-interface thread: events are processed until the window is unloaded. A window whose
    // load failed stays open until the user closes it.
    QEventLoop loop;
    QObject::connect(window.get(), &frmBuildSetting::unloaded, &loop, &QEventLoop::quit);
    if (signals.received() != 0)
        window->fStopBySignal(signals.received(), StopSignals::name(signals.received()));
    if (window->isVisible())
        loop.exec();
    return window->StopSignal() != 0 ? StopSignals::exitStatus(window->StopSignal()) : 0;
}

} // namespace pelorix
