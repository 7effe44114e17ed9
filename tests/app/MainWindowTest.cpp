// The main window driven as a person drives it, offscreen: start-up, marks, the in-cell list,
// dropped files, the project commands, the list files, the batch import, the settings and the
// layout, each scenario a session from start to close.
#include "MainWindowWorld.h"
#include "forms/Twips.h"
#include "support/QtTestMain.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <cmath>
#include <filesystem>
#include <sys/stat.h>

namespace pelorix::test {

// A host path as the program hands it on, whichever separators the test wrote it with (Windows
// paths go to the file dialog with backslashes).
std::string samePath(const std::string& path) {
    return std::filesystem::path(path).lexically_normal().make_preferred().string();
}

class MainWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstStartWithoutSettings();
    void marksRangesAndTheInCellList();
    void droppedFilesAndProjectCommands();
    void listFilesNewOpenSave();
    void batchImportFromTheMenuAndAtStartUp();
    void settingsLayoutAndAReversedColumnOrder();
    void aLongListKeepsItsMarks();
    void aHugeSavedSizeFitsTheScreen();
};

void MainWindowTest::firstStartWithoutSettings() {
    MainWindowWorld world;
    frmBuildSetting& window = world.start();

    QCOMPARE(window.width(), pixelsFromTwipsX(window, 11175));
    QCOMPARE(window.height(), pixelsFromTwipsY(window, 7215));
    QCOMPARE(window.windowTitle(), QStringLiteral("Pelorix Ver. 1.0.1    新規ﾌﾟﾛｼﾞｪｸﾄﾘｽﾄﾌｧｲﾙ"));
    QVERIFY(world.control<QCheckBox>("chkRebuildConfirm").isChecked());
    auto& modes = world.control<QComboBox>("cboCompatible");
    QCOMPARE(modes.count(), 3);
    QCOMPARE(modes.currentText(), QStringLiteral("互換なし"));
    QVERIFY(modes.isEnabled());
    for (const char* option :
         {"mnuSubNotAfterBuildTargetOff", "mnuSubChkStartupImpBat", "mnuSubChkComponent"})
        QVERIFY(world.item(option).isCheckable() && !world.item(option).isChecked());
    QCOMPARE(world.status(), QStringLiteral("0/0"));
    QCOMPARE(world.grid().Rows(), 2);
    QCOMPARE(world.cell(0, 6), QStringLiteral("ﾌｧｲﾙﾊﾟｽ"));
    QVERIFY(!world.control<QPushButton>("cmdFunction_0").isEnabled());
    QVERIFY(!world.item("mnuSubBuild").isEnabled());
    QCOMPARE(world.item("mnuSubBuild").shortcut(), QKeySequence(Qt::Key_F5));
    QCOMPARE(world.control<QPushButton>("cmdEnable_0").toolTip(),
             QStringLiteral("全ﾌﾟﾛｼﾞｪｸﾄをﾋﾞﾙﾄﾞ対象にします。"));

    QVERIFY(world.close());
    const std::string ini = world.iniText();
    QVERIFY(ini.find("FormSize=11175,7215\r\n") != std::string::npos);
    QVERIFY(ini.find("StartupImpBat=\"0\"\r\n") != std::string::npos);
    QVERIFY(ini.find("RebuildHideConfirm=1\r\n") != std::string::npos);
    QVERIFY(ini.find("RebuildCompatibleMode=0\r\n") != std::string::npos);
    QVERIFY(ini.find("EnableState") == std::string::npos);
    QVERIFY(ini.find("ProjectListPath") == std::string::npos);

    // Closed while minimised, the window keeps the size and widths written before.
    world.start();
    world.window->resize(500, 400);
    world.window->showMinimized();
    QVERIFY(world.close());
    QVERIFY(world.iniText().find("FormSize=11175,7215\r\n") != std::string::npos);
}

void MainWindowTest::marksRangesAndTheInCellList() {
    MainWindowWorld world;
    const std::string missing = "C:\\p\\gone.vbp";
    const std::string list = world.list("marks",
                                        {world.project("one"), world.project("two", 1, 2),
                                         world.project("three"), missing, world.project("five")},
                                        "EnableState=1,3,4,\r\n");
    world.writeIni("[Build]\r\nProjectListPath=\"" + list + "\"\r\n");
    world.start();

    QCOMPARE(world.status(), QStringLiteral("2/5"));
    QVERIFY(world.marked(1) && !world.marked(2) && world.marked(3));
    QVERIFY(!world.grid().cells().index(3, 0).data(Qt::CheckStateRole).isValid()); // the missing file
    QCOMPARE(world.grid().cells().foreColor(4, 6), vbRed);
    QCOMPARE(world.grid().cells().backColor(1, 0), 0xFFFF00); // no "Index": the first marked row
    QVERIFY(world.control<QPushButton>("cmdFunction_0").isEnabled());

    world.click(2, 0);
    QCOMPARE(world.status(), QStringLiteral("3/5"));
    world.click(2, 0);
    world.click(4, 0); // a missing project cannot be marked
    QCOMPARE(world.status(), QStringLiteral("2/5"));

    QTest::mouseClick(&world.control<QPushButton>("cmdEnable_1"), Qt::LeftButton);
    QCOMPARE(world.status(), QStringLiteral("0/5"));
    QVERIFY(!world.control<QPushButton>("cmdFunction_0").isEnabled());
    QVERIFY(!world.item("mnuSubBuild").isEnabled());
    QTest::mouseClick(&world.control<QPushButton>("cmdEnable_0"), Qt::LeftButton);
    QCOMPARE(world.status(), QStringLiteral("4/5"));
    QVERIFY(world.item("mnuSubBuild").isEnabled());

    // A range drawn with Shift marks every row in it, the missing project's included.
    world.click(2, 0);
    QCOMPARE(world.status(), QStringLiteral("3/5"));
    world.click(5, 0, Qt::ShiftModifier);
    QTest::keyRelease(&world.grid(), Qt::Key_Shift);
    QCOMPARE(world.status(), QStringLiteral("5/5"));
    QVERIFY(world.marked(2) && world.marked(4));
    QCOMPARE(world.cell(0, 0), QStringLiteral("有効"));

    // The in-cell list offers one mode to a standalone program, three to a component.
    auto& cellList = world.control<QComboBox>("cboCell");
    world.click(1, 2);
    QVERIFY(cellList.isVisible());
    QCOMPARE(cellList.count(), 1);
    QVERIFY(!world.grid().isEnabled());
    QVERIFY(!world.control<QPushButton>("cmdFunction_0").isEnabled());
    QTest::keyClick(&cellList, Qt::Key_Return);
    QVERIFY(!cellList.isVisible() && world.grid().isEnabled());
    world.click(2, 2);
    QCOMPARE(cellList.count(), 3);
    QCOMPARE(cellList.currentText(), QStringLiteral("ﾊﾞｲﾅﾘ互換"));
    QTest::keyClick(&cellList, Qt::Key_Home);
    QVERIFY(!cellList.isVisible());
    QCOMPARE(world.cell(2, 2), QStringLiteral("互換なし"));
    QVERIFY(world.control<QPushButton>("cmdFunction_0").isEnabled());
    // Enter opens it on what the cell now shows.
    QTest::keyClick(&world.grid(), Qt::Key_Return);
    QVERIFY(cellList.isVisible());
    QCOMPARE(cellList.currentText(), QStringLiteral("互換なし"));
    QTest::keyClick(&cellList, Qt::Key_Return);

    QVERIFY(world.close());
    const std::string saved = world.text(world.host(list));
    QVERIFY(saved.find("EnableState=1,2,3,4,5,\r\n") != std::string::npos);
    QVERIFY(saved.find("Index=1\r\n") != std::string::npos);
}

void MainWindowTest::droppedFilesAndProjectCommands() {
    MainWindowWorld world;
    world.start();
    const std::string first = world.project("FIRST");
    writeFile(world.env.driveC() + "/p/notes.txt", "x");
    writeFile(world.env.driveC() + "/p/group.vbg", "x");
    const std::string upper = world.env.driveC() + "/p/UPPER.VBP";
    writeFile(upper, sjis("Type=Exe\r\nName=\"UPPER\"\r\nStartMode=0\r\n"));

    // Of three dropped files one is a project: it takes the empty list's one row.
    world.drop({QString::fromStdString(world.env.driveC() + "/p/notes.txt"), QString::fromStdString(upper),
                QString::fromStdString(world.env.driveC() + "/p/group.vbg")});
    QCOMPARE(world.grid().Rows(), 2);
    QCOMPARE(world.cell(1, 6), QStringLiteral("C:\\p\\UPPER.VBP"));
    QCOMPARE(world.status(), QStringLiteral("0/1"));
    world.drop({QString::fromStdString(world.host(first)),
                QString::fromStdString(world.host(world.project("third")))});
    QCOMPARE(world.status(), QStringLiteral("0/3"));

    // Add over row 2's mark: the new project becomes row 2, the dialog starting at row 2's file.
    world.dialog.choose(world.host(world.project("added")));
    world.click(2, 0, {}, Qt::RightButton);
    world.chooseFromMenu("mnuEdit", "mnuProjectAdd");
    QCOMPARE(samePath(world.dialog.requests().back().fileName), samePath(world.host(first)));
    QCOMPARE(world.cell(2, 6), QStringLiteral("C:\\p\\added.vbp"));
    QCOMPARE(world.cell(3, 6), QString::fromStdString(first));
    QCOMPARE(world.status(), QStringLiteral("0/4"));

    // Change a marked project: its row loses the mark.
    world.click(3, 0);
    QCOMPARE(world.status(), QStringLiteral("1/4"));
    world.dialog.choose(world.host(world.project("changed", 1)));
    world.click(3, 0, {}, Qt::RightButton);
    world.chooseFromMenu("mnuEdit", "mnuProjectEdit");
    QCOMPARE(world.cell(3, 6), QStringLiteral("C:\\p\\changed.vbp"));
    QCOMPARE(world.cell(3, 4), QStringLiteral("changed"));
    QCOMPARE(world.status(), QStringLiteral("0/4"));

    // A path whose file is gone opens no menu; Ctrl+R still tries its folder.
    world.grid().TextMatrix(4, 6, "C:\\p\\nowhere\\gone.vbp");
    world.click(4, 6, {}, Qt::RightButton);
    QVERIFY(!world.control<QMenu>("mnuProject").isVisible());

    // While a build runs, the list commands refuse; opening the folder does not.
    world.window->IsBuild(true);
    const std::size_t shownBefore = world.box.shown().size();
    world.key(Qt::Key_Q, Qt::ControlModifier);
    world.key(Qt::Key_N, Qt::ControlModifier);
    world.drop({QString::fromStdString(world.host(first))});
    world.key(Qt::Key_E, Qt::ControlModifier);
    QCOMPARE(world.box.shown().size(), shownBefore + 4);
    for (std::size_t i = shownBefore; i < world.box.shown().size(); ++i)
        QCOMPARE(world.box.shown()[i].title, std::string("ﾋﾞﾙﾄﾞ中..."));
    QCOMPARE(world.box.shown().back().text,
             std::string("ﾋﾞﾙﾄﾞ中です。ﾋﾞﾙﾄﾞが終了してから実行してください。"));
#ifndef _WIN32
    // The test prefix has no Explorer to open the folder with (Windows has one: it would open).
    world.key(Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(world.box.shown().back().title, std::string("ﾌﾟﾛｼﾞｪｸﾄを開く"));
#endif
    QVERIFY(!world.close());
    QCOMPARE(world.box.shown().back().text, std::string("ﾋﾞﾙﾄﾞ処理中です。"));
    QVERIFY(world.window->isVisible());
    // Marks and modes still change, but nothing enables the build or the exit button.
    auto& build = world.control<QPushButton>("cmdFunction_0");
    world.click(1, 0);
    QCOMPARE(world.status(), QStringLiteral("1/4"));
    QVERIFY(!build.isEnabled());
    world.click(1, 2);
    QTest::keyClick(&world.control<QComboBox>("cboCell"), Qt::Key_Return);
    QVERIFY(!build.isEnabled() && !world.control<QPushButton>("cmdFunction_1").isEnabled());
    world.click(1, 0);
    world.window->IsBuild(false);

    // Delete is immediate; deleting the last project leaves one empty row.
    world.click(1, 4);
    world.key(Qt::Key_Delete);
    QCOMPARE(world.status(), QStringLiteral("0/3"));
    QCOMPARE(world.cell(1, 6), QStringLiteral("C:\\p\\added.vbp"));
    for (int i = 0; i < 3; ++i) {
        world.click(1, 4);
        world.key(Qt::Key_Delete);
    }
    QCOMPARE(world.status(), QStringLiteral("0/0"));
    QCOMPARE(world.grid().Rows(), 2);
    QCOMPARE(world.cell(1, 6), QString());

    // The emptied list takes new projects into its one row again.
    world.dialog.choose(world.host(first));
    world.click(1, 0);
    world.key(Qt::Key_Q, Qt::ControlModifier);
    QCOMPARE(world.grid().Rows(), 2);
    QCOMPARE(world.cell(1, 6), QString::fromStdString(first));
    world.drop({QString::fromStdString(upper)});
    QCOMPARE(world.grid().Rows(), 3);
    QCOMPARE(world.status(), QStringLiteral("0/2"));
    QVERIFY(world.close());
}

void MainWindowTest::listFilesNewOpenSave() {
    MainWindowWorld world;
    const std::string a = world.list("a", {world.project("a1"), world.project("a2"), world.project("a3")},
                                     "EnableState=2,\r\nIndex=3\r\n");
    world.writeIni("[Build]\r\nProjectListPath=\"" + a + "\"\r\n");
    world.start();
    QCOMPARE(world.status(), QStringLiteral("1/3"));
    QCOMPARE(world.grid().cells().backColor(3, 0), 0xFFFF00);

    // Save under a new name: the list is written, named in the caption and reported.
    const std::string b = world.env.driveC() + "/lists/b.ini";
    world.dialog.choose(b);
    world.key(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(world.text(b), "[ProjectName]\r\nC:\\p\\a1.vbp\r\nC:\\p\\a2.vbp\r\nC:\\p\\a3.vbp\r\n"
                            "[Build]\r\nEnableState=2,\r\nIndex=3\r\n");
    QCOMPARE(world.window->windowTitle(), QStringLiteral("Pelorix Ver. 1.0.1    C:\\lists\\b.ini"));
    QCOMPARE(world.box.shown().back().title, std::string("保存完了"));

    // New writes the build state into the list it leaves.
    world.click(3, 0);
    world.key(Qt::Key_N, Qt::ControlModifier);
    QVERIFY(world.text(b).find("[Build]\r\nEnableState=2,3,\r\nIndex=3\r\n") != std::string::npos);
    QCOMPARE(world.status(), QStringLiteral("0/0"));
    QCOMPARE(world.window->windowTitle(), QStringLiteral("Pelorix Ver. 1.0.1    新規ﾌﾟﾛｼﾞｪｸﾄﾘｽﾄﾌｧｲﾙ"));

    // Open, cancelled: nothing changes. Open, chosen: the list with its marks.
    world.dialog.cancel();
    world.key(Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(world.window->windowTitle(), QStringLiteral("Pelorix Ver. 1.0.1    新規ﾌﾟﾛｼﾞｪｸﾄﾘｽﾄﾌｧｲﾙ"));
    QCOMPARE(samePath(world.dialog.requests().back().initialFolder), samePath(world.env.home()));
    world.dialog.choose(b);
    world.key(Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(world.status(), QStringLiteral("2/3"));
    QCOMPARE(world.window->windowTitle(), QStringLiteral("Pelorix Ver. 1.0.1    C:\\lists\\b.ini"));

    // A list that cannot be read is reported, and the window keeps the list it shows.
    world.dialog.choose(world.env.driveC() + "/lists/missing.ini");
    world.key(Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(world.box.shown().back().title, std::string("Error"));
    QCOMPARE(world.status(), QStringLiteral("2/3"));
    QCOMPARE(world.window->windowTitle(), QStringLiteral("Pelorix Ver. 1.0.1    C:\\lists\\b.ini"));

    // A cancelled save keeps the list's name.
    world.dialog.cancel();
    world.key(Qt::Key_S, Qt::ControlModifier);

    // A list become read-only is named with the reason, on Save and again on closing, where the
    // other settings are saved all the same.
    ::chmod(b.c_str(), 0444);
    const std::string refused = "ﾌﾟﾛｼﾞｪｸﾄﾘｽﾄに書き込めません。読み取り専用のﾌｧｲﾙです。[C:\\lists\\b.ini]";
    world.dialog.choose(b);
    world.key(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(world.box.shown().back().text, refused);
    const std::size_t boxes = world.box.shown().size();
    QVERIFY(world.close());
    QCOMPARE(world.box.shown().size(), boxes + 1);
    QCOMPARE(world.box.shown().back().text, refused);
    QVERIFY(world.env.errorLog().find(refused + "\", \"pSaveProjectListSetting\"") != std::string::npos);
    QVERIFY(world.text(b).find("EnableState=2,3,\r\n") != std::string::npos);
    QVERIFY(world.iniText().find("ProjectListPath=\"C:\\lists\\b.ini\"") != std::string::npos);
    QVERIFY(world.text(world.host(a)).find("EnableState=2,\r\n") != std::string::npos);
}

void MainWindowTest::batchImportFromTheMenuAndAtStartUp() {
    MainWindowWorld world;
    world.project("b1");
    world.project("b2");
    const std::string bat = world.env.driveC() + "/b/make.bat";
    writeFile(bat, sjis("rem the nightly build\r\nVB6.EXE /make ..\\p\\b1.vbp\r\nVB6.EXE /m C:\\p\\b2.vbp "
                        "/out b2.log\r\n"));
    const std::string a = world.list("a", {world.project("a1")}, "EnableState=1,\r\n");
    world.writeIni("[Build]\r\nProjectListPath=\"" + a + "\"\r\n");
    world.start();

    world.dialog.choose(bat);
    world.key(Qt::Key_I, Qt::ControlModifier);
    QCOMPARE(world.status(), QStringLiteral("0/2"));
    QCOMPARE(world.cell(1, 6), QStringLiteral("C:\\p\\b1.vbp"));
    QCOMPARE(world.cell(2, 6), QStringLiteral("C:\\p\\b2.vbp"));
    QCOMPARE(world.window->windowTitle(), QStringLiteral("Pelorix Ver. 1.0.1    C:\\b\\make.bat"));

    // A cancelled import keeps the grid; the list is a new one, saved from the program folder.
    world.dialog.cancel();
    world.key(Qt::Key_I, Qt::ControlModifier);
    QCOMPARE(samePath(world.dialog.requests().back().initialFolder), samePath(world.env.driveC() + "/b"));
    QCOMPARE(world.status(), QStringLiteral("0/2"));
    world.dialog.cancel();
    world.key(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(samePath(world.dialog.requests().back().initialFolder), samePath(world.env.home()));

    auto& options = world.control<QMenu>("mnuOption");
    options.popup(world.window->mapToGlobal(QPoint(10, 10)));
    world.chooseFromMenu("mnuOption", "mnuSubChkStartupImpBat");
    QVERIFY(world.item("mnuSubChkStartupImpBat").isChecked());
    QVERIFY(world.close());
    QVERIFY(world.iniText().find("BatFilePath=\"C:\\b\\make.bat\"") != std::string::npos);
    QVERIFY(world.iniText().find("StartupImpBat=\"1\"") != std::string::npos);

    // At start-up the batch file is imported again; the last list file keeps its own marks.
    world.start();
    QCOMPARE(world.window->windowTitle(), QStringLiteral("Pelorix Ver. 1.0.1    C:\\b\\make.bat"));
    QCOMPARE(world.status(), QStringLiteral("0/2"));
    world.click(1, 0);
    QVERIFY(world.close());
    QVERIFY(world.text(world.host(a)).find("EnableState=1,\r\n") != std::string::npos);
}

void MainWindowTest::settingsLayoutAndAReversedColumnOrder() {
    MainWindowWorld world;
    const std::string list = world.list("r", {world.project("r1"), world.project("r2", 1, 1)});
    world.writeIni("[Form]\r\nColIndex=6,5,4,3,2,1,0\r\n[Build]\r\nProjectListPath=\"" + list + "\"\r\n");
    frmBuildSetting& window = world.start();

    // The mark column stands last and the path column first; marks and edits follow them.
    QCOMPARE(world.cell(0, 6), QStringLiteral("有効"));
    QCOMPARE(world.cell(0, 0), QStringLiteral("ﾌｧｲﾙﾊﾟｽ"));
    QCOMPARE(world.cell(2, 0), QStringLiteral("C:\\p\\r2.vbp"));
    world.click(2, 6);
    QVERIFY(world.marked(2, 6));
    QCOMPARE(world.status(), QStringLiteral("1/2"));
    world.click(2, 4);
    QTest::keyClick(&world.control<QComboBox>("cboCell"), Qt::Key_End);
    QCOMPARE(world.cell(2, 4), QStringLiteral("ﾊﾞｲﾅﾘ互換"));

    // The rebuild mode chosen stays the mode even when rebuilds are no longer automatic.
    QTest::keyClick(&world.control<QComboBox>("cboCompatible"), Qt::Key_Down);
    world.control<QCheckBox>("chkRebuildConfirm").click();
    QVERIFY(!world.control<QComboBox>("cboCompatible").isEnabled());
    world.grid().horizontalHeader()->resizeSection(1, 60);

    // Registered controls follow the size and come back exactly with it.
    auto& frame = world.control<QGroupBox>("fraBuildSetting");
    auto& grid = world.grid();
    auto& buttons = world.control<QWidget>("picButton_0");
    auto& label = world.control<QWidget>("lblProjectListStatusInfo");
    const QList<QRect> before = {frame.geometry(), grid.geometry(), buttons.geometry(), label.geometry()};
    const QSize size = window.size();
    window.resize(size + QSize(40, 30));
    QCOMPARE(frame.geometry(), before[0].adjusted(0, 0, 40, 0));
    QCOMPARE(grid.geometry(), before[1].adjusted(0, 0, 40, 30));
    QCOMPARE(buttons.geometry(), before[2].translated(0, 30));
    QCOMPARE(label.geometry(), before[3].translated(40, 30));
    window.resize(size - QSize(200, 100));
    window.resize(size);
    QCOMPARE((QList<QRect>{frame.geometry(), grid.geometry(), buttons.geometry(), label.geometry()}), before);
    window.resize(size + QSize(30, 15));
    // A new list keeps the window's size and widths.
    world.key(Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(world.grid().ColWidth(1), 900);
    QCOMPARE(window.size(), size + QSize(30, 15));

    QVERIFY(world.close());
    const std::string ini = world.iniText();
    QVERIFY(ini.find("FormSize=" + std::to_string((size.width() + 30) * 15) + "," +
                     std::to_string((size.height() + 15) * 15) + "\r\n") != std::string::npos);
    QVERIFY(ini.find("ColWidth=470,900,1005,840,1995,1995,4995\r\n") != std::string::npos);
    QVERIFY(ini.find("RebuildHideConfirm=0\r\n") != std::string::npos);
    QVERIFY(ini.find("RebuildCompatibleMode=1\r\n") != std::string::npos);
    QVERIFY(world.text(world.host(list)).find("EnableState=2,\r\n") != std::string::npos);

    world.start();
    QCOMPARE(world.window->size(), size + QSize(30, 15));
    QVERIFY(!world.control<QCheckBox>("chkRebuildConfirm").isChecked());
    QCOMPARE(world.control<QComboBox>("cboCompatible").currentText(), QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ互換"));
    QVERIFY(world.marked(2, 6) && !world.marked(1, 6));
    QCOMPARE(world.grid().ColWidth(1), 900);
    QVERIFY(world.close());
}

void MainWindowTest::aLongListKeepsItsMarks() {
    MainWindowWorld world;
    std::vector<std::string> projects;
    for (int i = 1; i <= 300; ++i)
        projects.push_back(world.project("p" + std::to_string(i)));
    world.writeIni("[Build]\r\nProjectListPath=\"" + world.list("long", projects) + "\"\r\n");
    world.start();
    QTest::mouseClick(&world.control<QPushButton>("cmdEnable_0"), Qt::LeftButton);
    world.click(2, 0);
    world.window->fSetSelectedCells(299, 4);
    QVERIFY(world.grid().RowIsVisible(299));
    world.click(299, 0);
    QCOMPARE(world.status(), QStringLiteral("298/300"));
    QVERIFY(world.close());

    world.start();
    QCOMPARE(world.status(), QStringLiteral("298/300"));
    for (int row = 1; row <= 300; ++row)
        QCOMPARE(world.marked(row), row != 2 && row != 299);
    QVERIFY(world.close());
}

// A saved size far beyond any screen gives a window of the screen's available size, before it is
// first drawn, and that size is what the window saves.
void MainWindowTest::aHugeSavedSizeFitsTheScreen() {
    MainWindowWorld world;
    world.writeIni("[Form]\r\nFormSize=2147483647,2147483647\r\n");
    world.start();
    const QRect area = world.window->screen()->availableGeometry();
    QVERIFY(world.window->width() <= area.width());
    QVERIFY(world.window->height() <= area.height());
    QVERIFY(world.window->width() > area.width() / 2);
    QVERIFY(world.close());
    const std::string expected =
        "FormSize=" + std::to_string(std::lround(twipsFromPixelsX(*world.window, world.window->width()))) +
        "," + std::to_string(std::lround(twipsFromPixelsY(*world.window, world.window->height())));
    QVERIFY(world.iniText().find(expected) != std::string::npos);
}

} // namespace pelorix::test

PELORIX_QTEST_MAIN(pelorix::test::MainWindowTest)
#include "MainWindowTest.moc"
