#include "app/QtServices.h"
#include "app/frmBuildSetting.h"
#include "app/modMain.h"
#include "platform/ErrorLog.h"

#include <QApplication>
#include <QIcon>

// The window program. It takes no arguments of its own (Qt's are accepted).
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pelorix"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/pelorix/pelorix.png")));
    QApplication::setQuitOnLastWindowClosed(false);
    pelorix::QtMessageBox messageBox;
    pelorix::QtFileDialog fileDialog;
    pelorix::QtEventPump eventPump;
    pelorix::setErrorLogMessageBox(&messageBox);
    const int status = pelorix::Main({messageBox, fileDialog, eventPump});
    pelorix::setErrorLogMessageBox(nullptr);
    return status;
}
