#include "forms/frmLog.h"

#include "forms/Twips.h"
#include "platform/CFWin32API.h"
#include "support/QtTestMain.h"
#include "support/TestEnvironment.h"

#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <string>
#include <vector>

namespace pelorix::test {

namespace {

QPushButton& button(QWidget& window, int index) {
    return *window.findChild<QPushButton*>(QStringLiteral("cmdFunction_%1").arg(index));
}

QListView& list(QWidget& window) {
    return *window.findChild<QListView*>(QStringLiteral("lstLog"));
}

int px(const QWidget& widget, int twips) {
    return pixelsFromTwipsX(widget, twips);
}

bool settingsHold(const TestEnvironment& env, const std::string& line) {
    return readFile(env.home() + "/Pelorix.ini").find(line) != std::string::npos;
}

} // namespace

class FrmLogTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // One window through several runs of a session: first opened at the main window's place and
    // width, lines kept across closing and reopening (also those added while it was closed), its
    // place and size saved on closing (not while minimised), and cleared for good by "ｸﾘｱ(&C)".
    void aSessionOfBuildRuns() {
        TestEnvironment env;
        QWidget main;
        main.setGeometry(100, 80, 600, 450);
        main.show();
        CFWin32API api;
        auto* log = new frmLog(&main);
        log->fInitialize(api, "C:\\Pelorix\\", main);
        log->show();
        QVERIFY(QTest::qWaitForWindowExposed(log));

        QCOMPARE(log->windowTitle(), QStringLiteral("ﾋﾞﾙﾄﾞﾛｸﾞ：C:\\Pelorix\\"));
        QCOMPARE(log->size(), QSize(600, 150));
        QCOMPARE(log->pos(), main.pos());
        QCOMPARE(button(*log, 0).text(), QStringLiteral("ｷｬﾝｾﾙ"));
        QCOMPARE(button(*log, 1).text(), QStringLiteral("ｸﾘｱ(&C)"));
        // The list stretches both ways; the button panel keeps its distances to the right and
        // bottom edges, as designed on a 9000 x 3600 window.
        QWidget& panel = *log->findChild<QWidget*>(QStringLiteral("picButton"));
        QCOMPARE(log->width() - (list(*log).x() + list(*log).width()), px(*log, 9000) - px(*log, 60 + 8880));
        QCOMPARE(log->width() - panel.x(), px(*log, 9000) - px(*log, 5880));
        QCOMPARE(log->height() - panel.y(), px(*log, 3600) - px(*log, 3060));

        log->appendLine("2026/12/08 10:00:00 Alphaを「互換なし」でﾋﾞﾙﾄﾞ中...");
        log->appendLines({"Reference=*\\G{00020430-0000-0000-C000-000000000046}#2.0#0", "",
                          "Compile\terror\x1a in Module1"});
        const std::vector<std::string> firstRun = {
            "2026/12/08 10:00:00 Alphaを「互換なし」でﾋﾞﾙﾄﾞ中...",
            "Reference=*\\G{00020430-0000-0000-C000-000000000046}#2.0#0", "Compile error  in Module1"};
        QCOMPARE(log->lines(), firstRun);
        QTRY_COMPARE(list(*log).currentIndex().row(), 2);

        const QModelIndex second = list(*log).model()->index(1, 0);
        QTest::mouseClick(list(*log).viewport(), Qt::LeftButton, {}, list(*log).visualRect(second).center());
        QCOMPARE(list(*log).toolTip(), QString::fromUtf8(firstRun[1].c_str()));

        QTest::mouseClick(&button(*log, 0), Qt::LeftButton);
        QVERIFY(!log->isVisible());
        QVERIFY(settingsHold(env, "FormSize=\"9000,2250\""));
        const QPoint firstPlace = log->pos();
        QVERIFY(settingsHold(env, "FormPosition=\"" + std::to_string(firstPlace.x() * 15) + "," +
                                      std::to_string(firstPlace.y() * 15) + "\""));

        // A run while the window is closed; then the next run opens it where it was saved, not at
        // the main window, which has moved.
        log->appendLine("2026/12/08 10:05:00 Betaを「互換なし」でﾋﾞﾙﾄﾞ中...");
        main.setGeometry(300, 200, 800, 600);
        log->fInitialize(api, "C:\\Pelorix\\", main);
        log->show();
        QCOMPARE(log->size(), QSize(600, 150));
        QCOMPARE(log->pos(), firstPlace);
        QCOMPARE(log->lines().size(), std::size_t{4});
        QCOMPARE(log->lines()[3], std::string("2026/12/08 10:05:00 Betaを「互換なし」でﾋﾞﾙﾄﾞ中..."));
        QTRY_COMPARE(list(*log).currentIndex().row(), 3);
        // A line wider than the list, between shorter ones, can be scrolled to its end.
        log->appendLines({std::string(300, 'x'), "y"});
        QTRY_VERIFY(list(*log).horizontalScrollBar()->maximum() >=
                    list(*log).fontMetrics().horizontalAdvance(QString(300, QLatin1Char('x'))) -
                        list(*log).viewport()->width());

        // Esc closes it; the new size is saved.
        log->resize(700, 200);
        QTest::keyClick(&list(*log), Qt::Key_Escape);
        QVERIFY(!log->isVisible());
        QVERIFY(settingsHold(env, "FormSize=\"10500,3000\""));

        // Closed while minimised: the saved size stays.
        log->fInitialize(api, "C:\\Pelorix\\", main);
        log->show();
        log->resize(300, 100);
        log->setWindowState(Qt::WindowMinimized);
        log->close();
        QVERIFY(settingsHold(env, "FormSize=\"10500,3000\""));

        log->setWindowState(Qt::WindowNoState);
        log->fInitialize(api, "C:\\Pelorix\\", main);
        log->show();
        QCOMPARE(log->size(), QSize(700, 200));
        QTest::mouseClick(&button(*log, 1), Qt::LeftButton);
        QVERIFY(log->lines().empty());
        QVERIFY(list(*log).toolTip().isEmpty());
        log->close();
        log->fInitialize(api, "C:\\Pelorix\\", main);
        log->show();
        QVERIFY(log->lines().empty());
    }
};

} // namespace pelorix::test

PELORIX_QTEST_MAIN(pelorix::test::FrmLogTest)
#include "FrmLogTest.moc"
