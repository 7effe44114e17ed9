#include "MainWindowWorld.h"

#include "app/modMain.h"
#include "platform/CodePage.h"
#include "platform/ErrorLog.h"
#include "platform/Text.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QUrl>

namespace pelorix::test {

MainWindowWorld::MainWindowWorld() {
    setErrorLogMessageBox(&box);
}

MainWindowWorld::~MainWindowWorld() {
    window.reset();
    setErrorLogMessageBox(nullptr);
}

frmBuildSetting& MainWindowWorld::start() {
    window = showMainWindow({box, dialog, pump});
    if (!QTest::qWaitForWindowExposed(window.get()))
        qFatal("the main window did not appear");
    window->activateWindow();
    return *window;
}

bool MainWindowWorld::close() {
    bool unloaded = false;
    QObject::connect(window.get(), &frmBuildSetting::unloaded, [&unloaded] { unloaded = true; });
    window->close();
    return unloaded;
}

std::string MainWindowWorld::project(const std::string& name, int startMode, int compatibleMode) {
    const std::string text = "Type=" + std::string(startMode == 0 ? "Exe" : "OleDll") + "\r\nName=\"" + name +
                             "\"\r\nTitle=\"" + name + "\"\r\nDescription=\"説明 " + name +
                             "\"\r\nStartMode=" + std::to_string(startMode) + "\r\nCompatibleMode=\"" +
                             std::to_string(compatibleMode) + "\"\r\nOptimizationType=0\r\n";
    writeFile(env.driveC() + "/p/" + name + ".vbp", sjis(text));
    return "C:\\p\\" + name + ".vbp";
}

std::string MainWindowWorld::host(const std::string& windowsPath) const {
    return env.driveC() + "/" + replaceAll(windowsPath.substr(3), "\\", "/");
}

std::string MainWindowWorld::list(const std::string& name, const std::vector<std::string>& projects,
                                  const std::string& buildSection) {
    std::string text = "[ProjectName]\r\n";
    for (const std::string& p : projects)
        text += p + "\r\n";
    if (!buildSection.empty())
        text += "[Build]\r\n" + buildSection;
    const std::string path = "C:\\lists\\" + name + ".ini";
    writeFile(host(path), sjis(text));
    return path;
}

void MainWindowWorld::writeIni(const std::string& text) const {
    writeFile(env.home() + "/Pelorix.ini", sjis(text));
}

std::string MainWindowWorld::text(const std::string& hostPath) const {
    return ansiToUtf8(readFile(hostPath));
}

QString MainWindowWorld::status() const {
    return control<QLabel>("lblProjectListStatusInfo").text();
}

void MainWindowWorld::click(std::int32_t row, std::int32_t col, Qt::KeyboardModifiers modifiers,
                            Qt::MouseButton button) const {
    GridControl& g = grid();
    const QRect rect = g.visualRect(g.cells().index(row - 1, col));
    QTest::mouseClick(g.viewport(), button, modifiers, rect.center());
}

void MainWindowWorld::key(int keyCode, Qt::KeyboardModifiers modifiers) const {
    QWidget* target = QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : window.get();
    QTest::keyClick(target, static_cast<Qt::Key>(keyCode), modifiers);
}

void MainWindowWorld::chooseFromMenu(const char* menuName, const char* itemName) const {
    auto& menu = control<QMenu>(menuName);
    if (!QTest::qWaitForWindowExposed(&menu))
        qFatal("menu %s is not showing", menuName);
    QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.actionGeometry(&item(itemName)).center());
}

void MainWindowWorld::drop(const QStringList& hostPaths) const {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : hostPaths)
        urls.append(QUrl::fromLocalFile(path));
    data.setUrls(urls);
    QWidget* target = grid().viewport();
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropped);
}

bool MainWindowWorld::marked(std::int32_t row, std::int32_t markColumn) const {
    return grid().cells().index(row - 1, markColumn).data(Qt::CheckStateRole).toInt() == Qt::Checked;
}

QString MainWindowWorld::cell(std::int32_t row, std::int32_t col) const {
    return QString::fromStdString(grid().TextMatrix(row, col));
}

} // namespace pelorix::test
