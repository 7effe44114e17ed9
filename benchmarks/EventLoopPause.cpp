// eventloop_pause: how long the window program's event loop stands still during a build. The main
// window starts as the program starts it (the list and settings of PELORIX_HOME's Pelorix.ini, the
// prefix of WINEPREFIX), a 10 ms timer records the gap between its ticks, and the build button is
// pressed; when the run is over the gaps are summarised. Questions are answered Yes. A window
// that stays responsive ticks every 10 ms; the aim for the longest gap is under 50 ms.
//
// Usage: eventloop_pause   (benchmarks/eventloop-pause.sh runs it on the demo workspace)
#include "app/QtServices.h"
#include "app/frmBuildSetting.h"
#include "app/modMain.h"
#include "engine/BuildWindows.h"
#include "forms/frmLog.h"
#include "platform/ErrorLog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace pelorix;

struct Gaps {
    std::vector<double> ms;
    double total = 0;
    // The build log's last line when the longest gap ended: what the run was doing.
    std::string longestAt;
};

std::string lastLogLine(frmBuildSetting& window) {
    const auto* log = window.findChild<frmLog*>();
    const std::vector<std::string> lines = log != nullptr ? log->lines() : std::vector<std::string>{};
    return lines.empty() ? std::string("(no log line yet)") : lines.back();
}

// One build from the button, the timer ticking throughout. Returns the gaps between ticks.
Gaps measureOneBuild(frmBuildSetting& window) {
    auto* button = window.findChild<QPushButton*>(QStringLiteral("cmdFunction_0"));
    if (button == nullptr || !button->isEnabled()) {
        std::fprintf(stderr, "eventloop_pause: nothing to build (no marked project)\n");
        std::exit(2);
    }
    Gaps gaps;
    QElapsedTimer clock;
    QElapsedTimer run;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const double gap = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        if (gaps.ms.empty() || gap > *std::max_element(gaps.ms.begin(), gaps.ms.end()))
            gaps.longestAt = lastLogLine(window);
        gaps.ms.push_back(gap);
        clock.restart();
    });
    clock.start();
    run.start();
    ticker.start();
    button->click(); // returns when the run is over
    ticker.stop();
    gaps.total = static_cast<double>(run.nsecsElapsed()) / 1e6;
    return gaps;
}

double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1));
    return values[at];
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    AnswerMessageBox box(true);
    QtFileDialog fileDialog;
    QtEventPump eventPump;
    setErrorLogMessageBox(&box);
    {
        const auto window = showMainWindow({box, fileDialog, eventPump});
        QApplication::processEvents();
        const Gaps gaps = measureOneBuild(*window);
        const double longest =
            gaps.ms.empty() ? gaps.total : *std::max_element(gaps.ms.begin(), gaps.ms.end());
        std::printf(
            "build %.0f ms, %zu ticks, gap median %.1f ms, p99 %.1f ms, longest %.1f ms (log then: %s)\n",
            gaps.total, gaps.ms.size(), percentile(gaps.ms, 0.5), percentile(gaps.ms, 0.99), longest,
            gaps.longestAt.c_str());
        // The window is dropped without closing: the run's marks stay out of the list file.
    }
    setErrorLogMessageBox(nullptr);
    return 0;
}
