#include <QApplication>
#include <QWidget>

// Placeholder until the main window lands: the window program's entry point.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Pelorix"));
    window.show();
    return QApplication::exec();
}
