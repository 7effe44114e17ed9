// Builds from the main window, driven as a person drives them, offscreen, with the stand-in
// compiler on a test prefix: the window during and after a run, its reports, the rebuild
// questions, a cancel, the build log window across runs, and the word search.
#include "../engine/BuildWorld.h"
#include "../formats/WidlLibraries.h"
#include "app/QtServices.h"
#include "app/frmBuildSetting.h"
#include "app/modMain.h"
#include "forms/GridControl.h"
#include "forms/frmLog.h"
#include "forms/frmSearch.h"
#include "forms/frmWait.h"
#include "platform/CodePage.h"
#include "platform/ErrorLog.h"
#include "platform/ProgramFolderLock.h"
#include "platform/StopSignals.h"
#ifdef _WIN32
#include "support/WindowsChild.h"
#else
#include "support/ProcessGroup.h"
#endif
#include "support/QtEventPump.h"
#include "support/QtTestMain.h"
#include "support/ScriptedFileDialog.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <filesystem>

namespace pelorix::test {

namespace {

// Boxes answered by the scripted box; the boxes that hold nothing up (notify) are kept apart.
class NoticeRecordingBox final : public IMessageBox {
public:
    explicit NoticeRecordingBox(AnswerMessageBox& answers) : m_answers(answers) {}
    MsgResult show(const std::string& text, const std::string& title, MsgButtons buttons, MsgIcon icon,
                   bool foreground) override {
        return m_answers.show(text, title, buttons, icon, foreground);
    }
    void notify(const std::string& text, const std::string&, MsgIcon) override { notices.push_back(text); }
    std::vector<std::string> notices;

private:
    AnswerMessageBox& m_answers;
};

// The stand-in compilers of the world that still run: on Linux those whose log lies in the test's
// own folder; under Wine every stand-in, since each test program has a prefix of its own.
std::vector<long> runningStandIns([[maybe_unused]] const BuildWorld& world) {
#ifdef _WIN32
    const auto found = runningProcessesNamed(std::filesystem::path(PELORIX_STANDIN).filename().string());
#else
    const auto found =
        runningProcessesOf(PELORIX_STANDIN, std::filesystem::path(world.env.root()).filename().string());
#endif
    return {found.begin(), found.end()};
}

// The main window over a list of stand-in projects, the list file's marks as given.
struct BuildWindowWorld {
    BuildWorld world;
    AnswerMessageBox box{true};
    NoticeRecordingBox messages{box};
    ScriptedFileDialog dialog;
    WatchedQtPump pump;
    std::unique_ptr<frmBuildSetting> window;
    std::string list;

    BuildWindowWorld() { setErrorLogMessageBox(&box); }
    ~BuildWindowWorld() {
        window.reset();
        setErrorLogMessageBox(nullptr);
    }
    void start(const std::vector<std::string>& projects, const std::string& enableState) {
        list = world.writeList(projects, &enableState);
        world.setting("Build", "ProjectListPath", "\"" + list + "\"");
        window = showMainWindow({messages, dialog, pump});
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->activateWindow();
    }
    template <class T>
    T& control(const QString& name) const {
        auto* found = window->findChild<T*>(name);
        if (found == nullptr)
            qFatal("no control %s", qPrintable(name));
        return *found;
    }
    GridControl& grid() const { return control<GridControl>(QStringLiteral("vsgridProject")); }
    QString status() const { return control<QLabel>(QStringLiteral("lblProjectListStatusInfo")).text(); }
    QString result(int row) const { return QString::fromStdString(grid().TextMatrix(row, 1)); }
    QColor resultColor(int row) const {
        return grid().cells().index(row - 1, 1).data(Qt::ForegroundRole).value<QColor>();
    }
    bool marked(int row) const {
        return grid().cells().index(row - 1, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked;
    }
    void toggleMark(int row) const {
        QTest::mouseClick(grid().viewport(), Qt::LeftButton, {},
                          grid().visualRect(grid().cells().index(row - 1, 0)).center());
    }
    // A key pressed in the main window, which comes to the front first.
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) const {
        QApplication::setActiveWindow(window.get());
        QTest::keyClick(window.get(), key, modifiers);
    }
    void build() const {
        QTest::mouseClick(&control<QPushButton>(QStringLiteral("cmdFunction_0")), Qt::LeftButton);
    }
    // The newest progress window: its title and message.
    frmWait& report() const { return *window->findChildren<frmWait*>().constLast(); }
    QString reportText() const {
        return report().windowTitle() + QLatin1Char('|') +
               report().findChild<QLabel*>(QStringLiteral("lblMsg"))->text();
    }
    std::string listText() const { return ansiToUtf8(readFile(BuildWorld::host(list))); }
    std::vector<std::string> logLines() const { return control<frmLog>(QStringLiteral("frmLog")).lines(); }
};

bool contains(const std::vector<std::string>& lines, const QString& pattern) {
    const QRegularExpression expression(pattern);
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        return expression.match(QString::fromStdString(line)).hasMatch();
    });
}

const QString stamp = QStringLiteral("^\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d ");

} // namespace

class MainWindowBuildTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() {
        for (QWidget* window : QApplication::topLevelWidgets())
            delete window;
    }
    void aRunThatStopsAndOneThatEnds();
    void questionsACancelAndKeptMarks();
    void aFailureBeforeASuccessAndTheRunningProgressWindow();
    void theRowBeingBuiltIsAlwaysInView();
    void searchFromTheMainWindow();
    void sortIntoBuildOrderAndBuildOnlyWhatChanged();
    void marksSavedOnCloseFollowTheirProjectsInTheUnsavedList();
    void anNgCellTellsWhereTheCompileErrorIs();
    void anNgCellTellsWhatBrokeBinaryCompatibility();
    void aStopEndsTheBuildAndClosesTheWindow_data();
    void aStopEndsTheBuildAndClosesTheWindow();
    void theBusyNoticeHoldsNothingUp();
};

// Four marked projects: the third fails and ends the run. While the second compiles the window
// answers, refuses to close and turns list commands away; the log and the status line fill. A
// second run, from F5, with the build log window closed in between, builds the rest into the
// same log window.
void MainWindowBuildTest::aRunThatStopsAndOneThatEnds() {
    BuildWindowWorld w;
    const std::string alpha = w.world.addProject("a", "Alpha", {"CompatibleMode=\"1\""});
    const std::string beta = w.world.addProject("b", "Beta", {"CompatibleMode=\"0\"", "StandIn=sleep:400"});
    const std::string gamma = w.world.addProject("c", "Gamma", {"CompatibleMode=\"0\"", "StandIn=error|ok"});
    const std::string delta = w.world.addProject("d", "Delta", {"CompatibleMode=\"0\""});
    w.start({alpha, beta, gamma, delta}, "1,2,3,4,");
    QCOMPARE(w.status(), QStringLiteral("4/4"));
    // The grid asks for another mode than Alpha's file: the project file changes before its build.
    w.grid().TextMatrix(1, 2, "互換なし");

    bool sawRun = false;
    w.pump.onEvents = [&] {
        if (sawRun || w.world.recorded().size() != 2)
            return;
        sawRun = true;
        QCOMPARE(w.reportText(), QStringLiteral("ﾋﾞﾙﾄﾞ中...|Betaを「互換なし」でﾋﾞﾙﾄﾞ中..."));
        QVERIFY(w.report().isVisible() && !w.report().isModal());
        QCOMPARE(w.status(), QStringLiteral("3/4"));
        QVERIFY(contains(w.logLines(), stamp + QStringLiteral("Alphaを「互換なし」でﾋﾞﾙﾄﾞ中...$")));
        QVERIFY(!w.control<QPushButton>(QStringLiteral("cmdFunction_0")).isEnabled());
        QVERIFY(!w.control<QPushButton>(QStringLiteral("cmdFunction_1")).isEnabled());
        QVERIFY(!w.control<QAction>(QStringLiteral("mnuSubBuild")).isEnabled());
        QCOMPARE(w.window->cursor().shape(), Qt::WaitCursor);
        // The refused close says so in a box that does not hold the run up.
        w.window->close();
        QVERIFY(w.window->isVisible());
        QCOMPARE(w.messages.notices, std::vector<std::string>{"ﾋﾞﾙﾄﾞ処理中です。"});
        w.control<QAction>(QStringLiteral("mnuProjectDel")).trigger();
        QCOMPARE(w.box.shown().back().text,
                 std::string("ﾋﾞﾙﾄﾞ中です。ﾋﾞﾙﾄﾞが終了してから実行してください。"));
        QCOMPARE(w.grid().Rows(), 5);
        // The sort and the changed-only option are turned away alike; the option keeps its check.
        const std::size_t shown = w.box.shown().size();
        w.control<QAction>(QStringLiteral("mnuSubSortBuildOrder")).trigger();
        auto& changedOnly = w.control<QAction>(QStringLiteral("mnuSubChkBuildChanged"));
        changedOnly.trigger();
        QCOMPARE(w.box.shown().size(), shown + 2);
        QCOMPARE(w.box.shown().back().text,
                 std::string("ﾋﾞﾙﾄﾞ中です。ﾋﾞﾙﾄﾞが終了してから実行してください。"));
        QVERIFY(!changedOnly.isChecked());
        QCOMPARE(QString::fromStdString(w.grid().TextMatrix(1, 6)), QString::fromStdString(alpha));
    };
    w.build();
    QVERIFY(sawRun);
    QCOMPARE(w.reportText(), QStringLiteral("完了|ﾋﾞﾙﾄﾞに失敗したﾌﾟﾛｼﾞｪｸﾄがあります。"));
    QVERIFY(w.report().isVisible() && !w.report().isModal());
    QCOMPARE(w.result(1), QStringLiteral("OK"));
    QCOMPARE(w.resultColor(2), QColor(Qt::blue));
    QCOMPARE(w.result(3), QStringLiteral("NG"));
    QCOMPARE(w.resultColor(3), QColor(Qt::red));
    QCOMPARE(w.result(4), QString());
    QVERIFY(!w.marked(1) && !w.marked(2) && w.marked(3) && w.marked(4));
    QCOMPARE(w.status(), QStringLiteral("2/4"));
    QVERIFY(w.control<QPushButton>(QStringLiteral("cmdFunction_0")).isEnabled());
    QCOMPARE(w.window->cursor().shape(), Qt::ArrowCursor);
    const std::vector<std::string> first = w.logLines();
    QVERIFY(contains(first, QStringLiteral("^3行 更新\\(互換ﾓｰﾄﾞ\\): CompatibleMode=\"0\"$")));
    QVERIFY(contains(first, stamp + QStringLiteral("ｺﾝﾊﾟｲﾙ ｴﾗｰ: 変数が定義されていません。$")));
    QVERIFY(w.listText().find("Index") == std::string::npos);

    auto& log = w.control<frmLog>(QStringLiteral("frmLog"));
    QTest::mouseClick(log.findChild<QPushButton*>(QStringLiteral("cmdFunction_0")), Qt::LeftButton);
    QVERIFY(!log.isVisible());
    w.key(Qt::Key_F5);
    QCOMPARE(w.reportText(), QStringLiteral("完了|ﾋﾞﾙﾄﾞが正常に終了しました。"));
    QCOMPARE(w.result(3), QStringLiteral("OK"));
    QCOMPARE(w.status(), QStringLiteral("0/4"));
    QVERIFY(!w.control<QPushButton>(QStringLiteral("cmdFunction_0")).isEnabled());
    QCOMPARE(&w.control<frmLog>(QStringLiteral("frmLog")), &log);
    QVERIFY(log.isVisible());
    const std::vector<std::string> both = w.logLines();
    QVERIFY(std::equal(first.begin(), first.end(), both.begin()));
    QVERIFY(contains({both.begin() + static_cast<std::ptrdiff_t>(first.size()), both.end()},
                     stamp + QStringLiteral("Deltaを「互換なし」でﾋﾞﾙﾄﾞ中...$")));

    // The row the last run reached is kept with the list when the window closes.
    w.window->close();
    QVERIFY(!w.window->isVisible());
    QVERIFY(w.listText().find("Index=4\r\n") != std::string::npos);
}

// Questions answered by the person: a rebuild accepted (the run ends with result 1 and the list
// keeps its state), a rebuild declined (the run stops there), a cancel during a compile (the
// report comes back modal); the marks stay with the option that keeps them.
void MainWindowBuildTest::questionsACancelAndKeptMarks() {
    BuildWindowWorld w;
    w.world.setting("Build", "RebuildHideConfirm", "0");
    w.world.setting("Build", "ReBuildMode", "0");
    const std::string one = w.world.addProject("o", "One", {"CompatibleMode=\"0\""});
    const std::string legacy = w.world.addProject(
        "l", "Legacy", {"CompatibleMode=\"2\"", "StandIn@2=implements", "StandIn@0=ok"}, "OleDll");
    const std::string slow = w.world.addProject("s", "Slow", {"CompatibleMode=\"0\"", "StandIn=sleep:400"});
    const std::string last = w.world.addProject("t", "Last", {"CompatibleMode=\"0\""});
    w.start({one, legacy, slow, last}, "1,2,");
    w.control<QAction>(QStringLiteral("mnuSubNotAfterBuildTargetOff")).trigger();

    // Another build in the program folder: nothing is built until it ends.
    ProgramFolderLock other = ProgramFolderLock::tryAcquire();
    w.build();
    QVERIFY(w.box.shown().back().text.starts_with("別のﾋﾞﾙﾄﾞが同じﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞで実行中です。"));
    QVERIFY(w.world.recorded().empty());
    other.release();
    // A lock that cannot be taken for another reason (a folder in the lock file's place): the
    // window refuses as the command line does, and never builds without the lock.
    const std::string lockFile = w.world.env.home() + "/Pelorix.lock";
    std::filesystem::remove(lockFile);
    std::filesystem::create_directory(lockFile);
    w.build();
    QVERIFY(w.box.shown().back().text.starts_with(
        "ﾋﾞﾙﾄﾞのﾛｯｸﾌｧｲﾙを開けないため、ﾋﾞﾙﾄﾞできません。ﾌｧｲﾙではなくﾌｫﾙﾀﾞです。"));
    QVERIFY(w.world.recorded().empty());
    std::filesystem::remove(lockFile);

    w.box.queueAnswers({true, true});
    w.build();
    QCOMPARE(w.box.shown().size(), std::size_t{4});
    QCOMPARE(w.box.shown()[2].text,
             std::string("Legacyの「ﾊﾞｲﾅﾘ互換」のﾋﾞﾙﾄﾞに失敗しました。\r\n再ﾋﾞﾙﾄﾞしますか？"));
    QCOMPARE(w.box.shown()[3].title, std::string("再ﾋﾞﾙﾄﾞ"));
    QCOMPARE(w.reportText(), QStringLiteral("警告|ﾋﾞﾙﾄﾞに失敗しました。"));
    QCOMPARE(w.result(1), QStringLiteral("OK"));
    QVERIFY(w.marked(1) && w.marked(2));
    QCOMPARE(w.status(), QStringLiteral("2/4"));
    QVERIFY(w.listText().find("EnableState=1,2,\r\nIndex=1\r\n") != std::string::npos);

    // Declined: Legacy stays failed and Slow, marked after it, is not built.
    w.toggleMark(1);
    w.toggleMark(3);
    const std::size_t compiles = w.world.recorded().size();
    w.box.queueAnswers({false});
    w.build();
    QCOMPARE(w.world.recorded().size(), compiles + 1);
    QCOMPARE(w.result(2), QStringLiteral("NG"));
    QCOMPARE(w.reportText(), QStringLiteral("警告|ﾋﾞﾙﾄﾞに失敗しました。"));
    QVERIFY(w.listText().find("EnableState=2,3,\r\nIndex=2\r\n") != std::string::npos);

    // Cancelled while Slow compiles: Slow ends, Last is read but not built.
    w.toggleMark(2);
    w.toggleMark(4);
    w.pump.onEvents = [&] {
        if (w.world.recorded().size() == compiles + 2 && w.report().isVisible() &&
            w.report().displayMode() == 0)
            QTest::mouseClick(w.report().findChild<QPushButton*>(QStringLiteral("cmdFunction_0")),
                              Qt::LeftButton);
    };
    QString modalReport;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QApplication::activeModalWidget() == &w.report()) {
            modalReport = w.reportText();
            w.report().close();
        }
    });
    closer.start(20);
    w.build();
    QCOMPARE(modalReport, QStringLiteral("中断|ﾋﾞﾙﾄﾞ処理を中断しました。"));
    QCOMPARE(w.world.recorded().size(), compiles + 2);
    QCOMPARE(w.result(3), QStringLiteral("OK"));
    QCOMPARE(w.result(4), QString());
    QVERIFY(contains(w.logLines(), stamp + QStringLiteral("Lastの「互換なし」ﾋﾞﾙﾄﾞをｷｬﾝｾﾙしました。$")));
    QVERIFY(w.marked(3) && w.marked(4));
}

// The first project's file vanishes after the list was loaded: its update fails, the run goes
// on and the last project builds, but the report is the warning with the count of failures.
void MainWindowBuildTest::aFailureBeforeASuccessAndTheRunningProgressWindow() {
    BuildWindowWorld w;
    const std::string gone = w.world.addProject("g", "Gone", {"CompatibleMode=\"0\""});
    const std::string slow = w.world.addProject("s", "Slow", {"CompatibleMode=\"0\"", "StandIn=sleep:400"});
    w.start({gone, slow}, "1,2,");
    std::filesystem::remove(BuildWorld::host(gone));
    // The title bar's close box leaves the running progress window up: it is the way to cancel.
    bool triedClose = false;
    w.pump.onEvents = [&] {
        if (triedClose || w.world.recorded().size() != 1)
            return;
        triedClose = true;
        QVERIFY(!w.report().close());
        QVERIFY(w.report().isVisible());
    };
    w.build();
    QVERIFY(triedClose);
    QCOMPARE(w.result(1), QStringLiteral("NG"));
    QCOMPARE(w.result(2), QStringLiteral("OK"));
    QCOMPARE(w.reportText(), QStringLiteral("完了|ﾋﾞﾙﾄﾞに失敗したﾌﾟﾛｼﾞｪｸﾄが1件あります。"));
}

// A list longer than the grid: every row is in view while its project is built.
void MainWindowBuildTest::theRowBeingBuiltIsAlwaysInView() {
    BuildWindowWorld w;
    std::vector<std::string> projects;
    std::string marks;
    for (int i = 1; i <= 40; ++i) {
        projects.push_back(w.world.addProject("p" + std::to_string(i), "P" + std::to_string(i), {}));
        marks += std::to_string(i) + ",";
    }
    w.start(projects, marks);
    QVERIFY(w.grid().rowsInView() < 40);
    std::vector<int> outOfView;
    std::size_t seen = 0;
    w.pump.onEvents = [&] {
        const std::size_t building = w.world.recorded().size();
        if (building == seen || building < 1)
            return;
        seen = building;
        if (!w.grid().RowIsVisible(static_cast<std::int32_t>(building)))
            outOfView.push_back(static_cast<int>(building));
    };
    w.build();
    QCOMPARE(w.world.recorded().size(), std::size_t{40});
    QCOMPARE(outOfView, std::vector<int>{});
    QVERIFY(w.grid().TopRow() > 1);
}

// Ctrl+F opens the search at the main window's corner; a word's hits are selected in the grid one
// by one, from the search window and with F3 from the main window, wrapping at the end; the mark
// cells are no hits; closing forgets the words.
void MainWindowBuildTest::searchFromTheMainWindow() {
    BuildWindowWorld w;
    w.start({w.world.addProject("x", "Papa", {}), w.world.addProject("y", "Pop", {})}, "");
    w.key(Qt::Key_F, Qt::ControlModifier);
    auto& search = w.control<frmSearch>(QStringLiteral("frmSearch"));
    QVERIFY(QTest::qWaitForWindowExposed(&search));
    QCOMPARE(search.pos(), w.window->pos());
    auto& word = w.control<QComboBox>(QStringLiteral("cboSearch"));
    QTest::keyClicks(word.lineEdit(), QStringLiteral("p"));
    QTest::keyClick(word.lineEdit(), Qt::Key_Return);
    // Hits: the path cells (column 6) and the name in each path; no mark cell.
    const std::pair<int, int> first{w.grid().Row(), w.grid().Col()};
    QCOMPARE(first, std::make_pair(1, 6));
    QCOMPARE(word.count(), 1);
    w.key(Qt::Key_F3);
    QCOMPARE(std::make_pair(w.grid().Row(), w.grid().Col()), std::make_pair(2, 6));
    w.key(Qt::Key_F3);
    QCOMPARE(std::make_pair(w.grid().Row(), w.grid().Col()), first);

    search.close();
    QVERIFY(!w.window->IsSearchShow());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    w.key(Qt::Key_F3);
    auto& again = w.control<frmSearch>(QStringLiteral("frmSearch"));
    QVERIFY(QTest::qWaitForWindowExposed(&again));
    QCOMPARE(w.control<QComboBox>(QStringLiteral("cboSearch")).count(), 0);
}

// The list holds a client before the library it uses: ﾋﾞﾙﾄﾞ順に並べ替え puts the library first, the
// marks and the chosen mode moving with their projects. With the option that builds only what
// changed, a second build compiles nothing and shows SKIP; the option is kept in Pelorix.ini.
void MainWindowBuildTest::sortIntoBuildOrderAndBuildOnlyWhatChanged() {
    BuildWindowWorld w;
    const std::string client =
        w.world.addProject("c", "Client",
                           {"CompatibleMode=\"0\"",
                            "Reference=*\\G{12345678-0000-0000-0000-000000000001}#1.0#0#..\\l\\Lib.dll#L"});
    const std::string solo = w.world.addProject("s", "Solo", {"CompatibleMode=\"0\""});
    const std::string lib = w.world.addProject("l", "Lib", {"CompatibleMode=\"1\"", "StartMode=1"}, "OleDll");
    w.start({client, solo, lib}, "1,3,");
    w.grid().TextMatrix(3, 2, "互換なし");

    w.control<QAction>(QStringLiteral("mnuSubSortBuildOrder")).trigger();
    QCOMPARE(QString::fromStdString(w.grid().TextMatrix(1, 6)), QString::fromStdString(lib));
    QCOMPARE(QString::fromStdString(w.grid().TextMatrix(2, 6)), QString::fromStdString(client));
    QCOMPARE(QString::fromStdString(w.grid().TextMatrix(3, 6)), QString::fromStdString(solo));
    QCOMPARE(QString::fromStdString(w.grid().TextMatrix(1, 2)), QStringLiteral("互換なし"));
    QVERIFY(w.marked(1) && w.marked(2) && !w.marked(3));
    QCOMPARE(w.status(), QStringLiteral("2/3"));

    auto& option = w.control<QAction>(QStringLiteral("mnuSubChkBuildChanged"));
    QVERIFY(!option.isChecked());
    option.trigger();
    w.control<QAction>(QStringLiteral("mnuSubNotAfterBuildTargetOff")).trigger();
    w.build();
    QCOMPARE(w.reportText(), QStringLiteral("完了|ﾋﾞﾙﾄﾞが正常に終了しました。"));
    QCOMPARE(w.world.recorded().size(), std::size_t{2});
    QCOMPARE(w.result(1), QStringLiteral("OK"));
    w.build();
    QCOMPARE(w.reportText(), QStringLiteral("完了|ﾋﾞﾙﾄﾞが正常に終了しました。"));
    QCOMPARE(w.world.recorded().size(), std::size_t{2});
    QCOMPARE(w.result(1), QStringLiteral("SKIP"));
    QCOMPARE(w.result(2), QStringLiteral("SKIP"));
    QVERIFY(w.marked(1) && w.marked(2));
    QVERIFY(
        contains(w.logLines(),
                 stamp + QStringLiteral("Clientは前回のﾋﾞﾙﾄﾞから変更がないため、ﾋﾞﾙﾄﾞを省略しました。$")));

    w.window->close();
    QVERIFY(w.world.env.errorLog().empty());
    QVERIFY(ansiToUtf8(readFile(w.world.env.home() + "/Pelorix.ini")).find("BuildChangedOnly=\"1\"") !=
            std::string::npos);
}

// Sorted but not saved, the list file keeps its own order: the marks written on close go to the
// file's rows of the marked projects, so the next start marks the same projects, and the row the
// last build reached follows its project too.
void MainWindowBuildTest::marksSavedOnCloseFollowTheirProjectsInTheUnsavedList() {
    BuildWindowWorld w;
    const std::string client = w.world.addProject(
        "c", "Client", {"Reference=*\\G{12345678-0000-0000-0000-000000000001}#1.0#0#..\\l\\Lib.dll#L"});
    const std::string solo = w.world.addProject("s", "Solo", {});
    const std::string lib = w.world.addProject("l", "Lib", {"CompatibleMode=\"1\""}, "OleDll");
    w.start({client, solo, lib}, "1,2,");
    w.control<QAction>(QStringLiteral("mnuSubSortBuildOrder")).trigger();
    QCOMPARE(QString::fromStdString(w.grid().TextMatrix(2, 6)), QString::fromStdString(client));
    QVERIFY(!w.marked(1) && w.marked(2) && w.marked(3));
    w.toggleMark(1); // Lib, the file's third project
    w.toggleMark(3); // Solo, the file's second
    QVERIFY(w.marked(1) && w.marked(2) && !w.marked(3));

    w.window->close();
    const std::string text = w.listText();
    QVERIFY(text.find("[ProjectName]\r\n" + client + "\r\n" + solo + "\r\n" + lib + "\r\n") !=
            std::string::npos);
    QVERIFY2(text.find("EnableState=1,3,\r\n") != std::string::npos, text.c_str());

    w.window = showMainWindow({w.box, w.dialog, w.pump});
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    QCOMPARE(QString::fromStdString(w.grid().TextMatrix(1, 6)), QString::fromStdString(client));
    QVERIFY(w.marked(1) && !w.marked(2) && w.marked(3));
    QVERIFY(w.world.env.errorLog().empty());
}

// An English compiler's compile error: the NG cell's tool tip names its file and line; the next
// run, which builds the project, drops it.
void MainWindowBuildTest::anNgCellTellsWhereTheCompileErrorIs() {
    BuildWindowWorld w;
    const std::string server = w.world.addProject(
        "src", "Server",
        {"CompatibleMode=\"0\"", "Module=modMain; modMain.bas", "StandIn=english,compile:40000|english"});
    w.start({server}, "1,");
    w.build();
    QCOMPARE(w.result(1), QStringLiteral("NG"));
    const QString tip = QString::fromStdString(server.substr(0, server.size() - 10)) +
                        QStringLiteral("modMain.bas(40000): Duplicate declaration in current scope");
    QCOMPARE(w.grid().cells().index(0, 1).data(Qt::ToolTipRole).toString(), tip);
    w.key(Qt::Key_F5);
    QCOMPARE(w.result(1), QStringLiteral("OK"));
    QCOMPARE(w.grid().cells().index(0, 1).data(Qt::ToolTipRole).toString(), QStringLiteral("OK"));
}

// A binary-compatible project whose compile breaks compatibility, rebuilt without it: the NG cell's
// tool tip names the compatible file against the rebuilt output, and the member that broke.
void MainWindowBuildTest::anNgCellTellsWhatBrokeBinaryCompatibility() {
    if (!haveWidlLibraries())
        QSKIP("widl or Wine's stdole2.tlb was not found when the build was configured");
    BuildWindowWorld w;
    w.world.setting("Build", "ReBuildMode", "0");
    const std::string server =
        w.world.addProject("src", "Server",
                           {"CompatibleMode=\"2\"", "CompatibleEXE32=\"compat\\Server.dll\"",
                            "StandIn@2=version", "StandIn@0=ok,output:rebuilt.tlb"},
                           "OleDll");
    const std::string folder = server.substr(0, server.size() - 10);
    writeFile(w.world.env.driveC() + "/src/compat/Server.dll", widlLibraryBytes("compat.tlb"));
    writeFile(w.world.env.driveC() + "/src/rebuilt.tlb", widlLibraryBytes("compat-MEMBER_REMOVED.tlb"));
    w.start({server}, "1,");
    w.build();
    QCOMPARE(w.result(1), QStringLiteral("NG"));
    const std::string tip = "CompatibleEXE32 " + folder + "compat\\Server.dll against the rebuilt output " +
                            folder + "Server.dll: 1 breaking difference\nIShape.Area: removed";
    QCOMPARE(w.grid().cells().index(0, 1).data(Qt::ToolTipRole).toString(), QString::fromStdString(tip));
    QVERIFY(contains(w.logLines(), stamp + QStringLiteral("IShape\\.Area: removed$")));
}

// A stop while the compiler works: SIGTERM (Linux), or the session's end, after which the system
// ends the program before any queued event runs, so the marks and the settings are saved at once.
// Either way the compiler ends, the project is left as a failed build leaves it, the next project
// is not built, and the window closes as on Exit, with the list's marks and the settings saved.
void MainWindowBuildTest::aStopEndsTheBuildAndClosesTheWindow_data() {
    QTest::addColumn<bool>("sessionEnd");
#ifndef _WIN32
    QTest::newRow("SIGTERM") << false;
#endif
    QTest::newRow("the session's end") << true;
}

void MainWindowBuildTest::aStopEndsTheBuildAndClosesTheWindow() {
    QFETCH(bool, sessionEnd);
    BuildWindowWorld w;
    const std::string alpha =
        w.world.addProject("stopped", "Alpha", {"CompatibleMode=\"0\"", "StandIn=hang"});
    const std::string beta = w.world.addProject("b", "Beta", {"CompatibleMode=\"0\""});
    w.start({alpha, beta}, "1,2,");
    const std::string original = readFile(BuildWorld::host(alpha));
    const std::string settings = w.world.env.home() + "/Pelorix.ini";
    const auto saved = [&] {
        return w.listText().find("EnableState=1,2,\r\nIndex=1\r\n") != std::string::npos &&
               ansiToUtf8(readFile(settings)).find("FormSize=") != std::string::npos;
    };
    const StopSignals signals(StopSignals::Set::Window);
    const std::unique_ptr<QSocketNotifier> notifier = watchStopSignals(signals, *w.window);
    bool unloaded = false;
    QObject::connect(w.window.get(), &frmBuildSetting::unloaded, [&unloaded] { unloaded = true; });

    std::vector<long> compilers;
    bool savedAtOnce = false;
    w.pump.onEvents = [&] {
        if (!compilers.empty() || w.world.recorded().size() != 1)
            return;
        compilers = runningStandIns(w.world);
        if (compilers.empty())
            return;
        if (!sessionEnd) {
            ::raise(SIGTERM);
            return;
        }
        std::filesystem::remove(settings);
        w.window->fEndSession();
        savedAtOnce = saved();
    };
    w.build();
    QTRY_VERIFY(unloaded);
    QCOMPARE(savedAtOnce, sessionEnd);
    QCOMPARE(w.window->StopSignal(), SIGTERM);
    QCOMPARE(compilers.size(), std::size_t{1});
    QTRY_VERIFY(runningStandIns(w.world).empty());
    QCOMPARE(w.world.recorded().size(), std::size_t{1});
    QVERIFY(contains(w.logLines(), stamp + QStringLiteral("SIGTERMを受信したため、ﾋﾞﾙﾄﾞを中止します。$")));
    QCOMPARE(readFile(BuildWorld::host(alpha)), original);
    QVERIFY(saved());
    QVERIFY(w.box.shown().empty());
}

// The desktop's box that holds nothing up: the call returns with the box on screen, modeless;
// asked again, the same box comes forward.
void MainWindowBuildTest::theBusyNoticeHoldsNothingUp() {
    QtMessageBox boxes;
    boxes.notify("ﾋﾞﾙﾄﾞ処理中です。", "ﾋﾞﾙﾄﾞ処理中！", MsgIcon::Critical);
    boxes.notify("ﾋﾞﾙﾄﾞ処理中です。", "ﾋﾞﾙﾄﾞ処理中！", MsgIcon::Critical);
    const QWidgetList windows = QApplication::topLevelWidgets();
    const auto notices = std::count_if(windows.cbegin(), windows.cend(), [](const QWidget* w) {
        return w->objectName() == QStringLiteral("notice") && w->isVisible();
    });
    QCOMPARE(notices, 1);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

} // namespace pelorix::test

PELORIX_QTEST_MAIN(pelorix::test::MainWindowBuildTest)
#include "MainWindowBuildTest.moc"
