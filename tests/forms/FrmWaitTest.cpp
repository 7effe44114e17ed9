#include "forms/frmWait.h"

#include "../engine/BuildWorld.h"
#include "engine/BuildHandOver.h"
#include "engine/CFSender.h"
#include "forms/Twips.h"
#include "forms/frmLog.h"
#include "support/QtEventPump.h"
#include "support/QtTestMain.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

namespace pelorix::test {

namespace {

// The main window as the engine sees it, as a widget the progress window can be owned by.
class OwnerWindow final : public QWidget, public IBuildSettingForm {
public:
    bool IsBuild() const override { return form.IsBuild(); }
    void IsBuild(bool building) override { form.IsBuild(building); }
    void fUpdateProjectListStatusInfo(std::int32_t targets, std::int32_t total) override {
        form.fUpdateProjectListStatusInfo(targets, total);
    }
    IProjectGrid& vsgridProject() override { return form.vsgridProject(); }
    std::int32_t gridColumnOf(std::int32_t logicalColumn) const override {
        return form.gridColumnOf(logicalColumn);
    }

    HeadlessBuildSettingForm form;
};

QPushButton& button(QWidget& window, int index) {
    auto* found = window.findChild<QPushButton*>(QStringLiteral("cmdFunction_%1").arg(index));
    if (found == nullptr)
        qFatal("no cmdFunction_%d", index);
    return *found;
}

QImage picture(QWidget& window) {
    return window.findChild<QLabel*>(QStringLiteral("imgIcon"))->pixmap().toImage();
}

QString message(QWidget& window) {
    return window.findChild<QLabel*>(QStringLiteral("lblMsg"))->text();
}

int px(const QWidget& widget, int twips) {
    return pixelsFromTwipsX(widget, twips);
}

} // namespace

class FrmWaitTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() {
        for (QWidget* window : QApplication::topLevelWidgets())
            delete window;
    }

    // A build of three projects: the window shows each project while it runs; the cancel button,
    // pressed during the second compile, closes it at once and reaches the engine, which lets
    // that compile finish and stops before the third; the window comes back modal with the
    // report of a cancelled run.
    void cancelDuringARunAndTheModalReport() {
        BuildWorld world;
        const std::string a = world.addProject("a", "Alpha", {"CompatibleMode=\"0\""});
        const std::string b = world.addProject("b", "Beta", {"CompatibleMode=\"0\"", "StandIn=sleep:300"});
        const std::string c = world.addProject("c", "Gamma", {"CompatibleMode=\"1\""});
        CDFileData data;
        data.fClearAllProjectInfo();
        for (const auto& path : {a, b, c}) {
            data.fAddProjectFileList(path, -1);
            data.fSetProjectNameList(path, data.ProjectMaxIndex(), false);
        }
        OwnerWindow owner;
        fillProjectGrid(owner, data);
        restoreBuildMarks(owner, {1, 2, 3});
        const std::vector<std::int32_t> rows = handOverBuildTargets(owner, data, false);
        owner.show();

        CFWin32API api;
        // The build log window the main window would show.
        frmLog log(&owner);
        AnswerMessageBox box;
        WatchedQtPump pump;
        CFVB6EXE engine(box, pump);
        engine.fInitialize(data, api, rows, log, "");
        auto* wait = new frmWait(&owner);
        QPointer<frmWait> guardWait(wait);

        bool clicked = false;
        QImage runningPicture;
        pump.onEvents = [&] {
            if (clicked || world.recorded().size() != 2)
                return;
            clicked = true;
            QVERIFY(wait->isVisible());
            QVERIFY(!wait->isModal());
            QCOMPARE(wait->windowTitle(), QStringLiteral("ﾋﾞﾙﾄﾞ中..."));
            QCOMPARE(message(*wait), QStringLiteral("Betaを「互換なし」でﾋﾞﾙﾄﾞ中..."));
            QCOMPARE(button(*wait, 0).text(), QStringLiteral("ｷｬﾝｾﾙ"));
            QCOMPARE(button(*wait, 0).x(), px(*wait, 1515));
            QVERIFY(button(*wait, 1).isHidden());
            QVERIFY(!button(*wait, 0).isDefault());
            runningPicture = picture(*wait);
            // Neither Esc nor the title bar's close box closes the window of a running build.
            QTest::keyClick(wait, Qt::Key_Escape);
            QVERIFY(wait->isVisible());
            QVERIFY(!wait->close());
            QVERIFY(wait->isVisible());
            QTest::mouseClick(&button(*wait, 0), Qt::LeftButton);
            QVERIFY(!wait->isVisible());
        };
        IWaitForm* waitForm = wait;
        QCOMPARE(engine.BuildExecute(waitForm, false, 0, owner), std::int16_t{4});
        QVERIFY(clicked);
        QCOMPARE(world.recorded().size(), std::size_t{2});
        QCOMPARE(owner.form.grid().TextMatrix(2, 1), std::string("OK"));
        const std::vector<std::string> lines = log.lines();
        QVERIFY(lines.size() > 2);
        QCOMPARE(lines.front().substr(19), std::string(" Alphaを「互換なし」でﾋﾞﾙﾄﾞ中..."));
        QCOMPARE(lines.back().substr(20), std::string("Gammaの「ﾌﾟﾛｼﾞｪｸﾄ互換」ﾋﾞﾙﾄﾞをｷｬﾝｾﾙしました。"));
        QVERIFY(!runningPicture.isNull());
        QCOMPARE(runningPicture.width(), runningPicture.height());
        // The engine went on writing into the closed window.
        QCOMPARE(wait->windowTitle(), QStringLiteral("ﾋﾞﾙﾄﾞｴﾗｰ"));

        // The main window's report of a cancelled run, modal over the main window.
        wait->setDisplayMode(4);
        wait->fSetDispInfo("ﾋﾞﾙﾄﾞ処理を中断しました。", "中断");
        bool sawModal = false;
        QString okText;
        int okLeft = 0;
        bool secondHidden = false;
        QImage reportPicture;
        QTimer::singleShot(0, wait, [&] {
            sawModal = wait->isVisible() && wait->isModal() && QApplication::activeModalWidget() == wait;
            okText = button(*wait, 0).text();
            okLeft = button(*wait, 0).x();
            secondHidden = button(*wait, 1).isHidden();
            reportPicture = picture(*wait);
            QTest::mouseClick(&button(*wait, 0), Qt::LeftButton);
        });
        wait->showModal();
        QVERIFY(sawModal);
        QCOMPARE(okText, QStringLiteral("OK"));
        QCOMPARE(okLeft, px(*wait, 1515));
        QVERIFY(secondHidden);
        QVERIFY(reportPicture != runningPicture);
        QCOMPARE(wait->windowTitle(), QStringLiteral("中断"));
        QCOMPARE(message(*wait), QStringLiteral("ﾋﾞﾙﾄﾞ処理を中断しました。"));
        QVERIFY(!wait->IsBuildCancel());
        QCOMPARE(wait->buttonResult(), std::int16_t{0});

        // Dropped by the main window after the run while closed: it goes.
        wait->releaseAfterRun();
        QTRY_VERIFY(guardWait.isNull());
    }

    // The engine's own failure report asks OK or cancel; other modes change only the texts; once
    // closed, the window no longer reaches the engine.
    void displayModesButtonResultsAndTheReleasedEventSource() {
        auto sender = std::make_shared<CFSender>();
        int cancels = 0;
        sender->OnBuildCancel([&] { ++cancels; });

        frmWait wait;
        wait.setEventSource(sender);
        wait.show();
        wait.setDisplayMode(1);
        wait.fSetDispInfo("Alphaのﾋﾞﾙﾄﾞに失敗しました。", "ﾋﾞﾙﾄﾞｴﾗｰ");
        QCOMPARE(button(wait, 0).text(), QStringLiteral("OK"));
        QCOMPARE(button(wait, 0).x(), px(wait, 975));
        QCOMPARE(button(wait, 1).text(), QStringLiteral("ｷｬﾝｾﾙ"));
        QCOMPARE(button(wait, 1).x(), px(wait, 2055));
        QVERIFY(!button(wait, 1).isHidden());
        const QImage question = picture(wait);

        // Mode 3 has no display of its own: texts change, picture and buttons stay.
        wait.setDisplayMode(3);
        wait.fSetDispInfo("text", "caption");
        QCOMPARE(wait.windowTitle(), QStringLiteral("caption"));
        QCOMPARE(picture(wait), question);
        QVERIFY(!button(wait, 1).isHidden());

        wait.setDisplayMode(1);
        QTest::mouseClick(&button(wait, 1), Qt::LeftButton);
        QVERIFY(!wait.isVisible());
        QVERIFY(wait.IsBuildCancel());
        QCOMPARE(wait.buttonResult(), std::int16_t{2});
        QCOMPARE(cancels, 0);

        // Shown again in mode 0: the event source went when the window closed.
        wait.setDisplayMode(0);
        wait.fSetDispInfo("Betaを「互換なし」でﾋﾞﾙﾄﾞ中...", "ﾋﾞﾙﾄﾞ中...");
        wait.show();
        QTest::mouseClick(&button(wait, 0), Qt::LeftButton);
        QCOMPARE(cancels, 0);
        QVERIFY(wait.IsBuildCancel());

        // The success report: its picture differs from the others; Esc closes a report.
        wait.setDisplayMode(2);
        wait.fSetDispInfo("ﾋﾞﾙﾄﾞが正常に終了しました。", "完了");
        wait.show();
        QVERIFY(picture(wait) != question);
        QVERIFY(button(wait, 0).isDefault());
        QTest::keyClick(&wait, Qt::Key_Escape);
        QVERIFY(!wait.isVisible());
        wait.show();
        QVERIFY(wait.close()); // and so does the title bar's close box

        // The OK of mode 1 gives 1.
        frmWait report;
        report.setDisplayMode(1);
        report.fSetDispInfo("x", "y");
        report.show();
        QTest::mouseClick(&button(report, 0), Qt::LeftButton);
        QCOMPARE(report.buttonResult(), std::int16_t{1});
        QVERIFY(!report.IsBuildCancel());
    }
};

} // namespace pelorix::test

PELORIX_QTEST_MAIN(pelorix::test::FrmWaitTest)
#include "FrmWaitTest.moc"
