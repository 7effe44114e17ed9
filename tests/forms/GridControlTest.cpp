// The grid control: its model stays a sound Qt model through every change the program makes,
// and the control keeps the flex grid's rules for rows, the current cell, widths and scrolling.
#include "forms/GridControl.h"

#include "engine/BuildWindows.h"
#include "platform/RuntimeError.h"
#include "support/QtTestMain.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QTest>

namespace pelorix::test {

class GridControlTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theModelStaysSoundThroughEveryChange();
    void rowsWidthsAndScrolling();
};

void GridControlTest::theModelStaysSoundThroughEveryChange() {
    GridControl grid;
    QAbstractItemModelTester tester(&grid.cells(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    grid.Cols(7);
    grid.Rows(4);
    grid.TextMatrix(0, 0, "有効");
    grid.TextMatrix(1, 2, "ﾊﾞｲﾅﾘ互換");
    // Typed columns taken on later keep what their cells showed.
    grid.cells().setTypedColumns({0, 1, 2});
    QCOMPARE(grid.RowState(1).compatibleMode, std::int16_t{2});
    grid.TextMatrix(1, 0, enabledMarkText());
    grid.TextMatrix(2, 0, disabledMarkText());
    grid.TextMatrix(1, 6, "C:\\a.vbp");
    QCOMPARE(grid.RowState(1), (ProjectRowState{BuildMark::Target, 2, RowResult::None}));
    QCOMPARE(grid.RowState(2).mark, BuildMark::NotTarget);
    // Typed values are drawn as the mark, the mode's name and OK or NG.
    grid.RowState(3, {BuildMark::NoFile, 1, RowResult::NG});
    QCOMPARE(grid.TextMatrix(3, 1), std::string("NG"));
    QCOMPARE(grid.cells().index(2, 2).data(Qt::DisplayRole).toString(), QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ互換"));
    grid.TextMatrix(3, 2, "?");
    grid.TextMatrix(3, 1, "");
    QCOMPARE(grid.RowState(3), ProjectRowState{});
    QCOMPARE(grid.cells().headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("有効"));
    QCOMPARE(grid.cells().index(0, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QCOMPARE(grid.cells().index(1, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QVERIFY(!grid.cells().index(2, 0).data(Qt::CheckStateRole).isValid());
    QVERIFY(!grid.cells().index(0, 0).data(Qt::DisplayRole).isValid());

    grid.AddItem("x\tOK\t\ty", 2);
    QCOMPARE(grid.TextMatrix(2, 1), std::string("OK"));
    QCOMPARE(grid.TextMatrix(2, 3), std::string("y"));
    QCOMPARE(grid.TextMatrix(3, 0), disabledMarkText());
    grid.Row(3);
    grid.CellForeColor(vbRed);
    grid.RemoveItem(1);
    QCOMPARE(grid.Row(), 2);
    QCOMPARE(grid.CellForeColor(), vbRed);
    QCOMPARE(grid.RowState(2).mark, BuildMark::NotTarget); // rows carry their values when they move
    grid.cells().setTypedColumns({1, -1, -1});
    QCOMPARE(grid.TextMatrix(2, 0), disabledMarkText());
    QCOMPARE(grid.RowState(2).mark, BuildMark::NoFile);
    grid.Cols(3);
    grid.Rows(2);
    QVERIFY_THROWS_EXCEPTION(RuntimeError, grid.RemoveItem(1)); // the last data row stays
    QVERIFY_THROWS_EXCEPTION(RuntimeError, grid.TextMatrix(2, 0, "x"));
    grid.Clear();
    QCOMPARE(grid.TextMatrix(0, 0), std::string());
    grid.Cols(7);
    grid.Rows(300);
}

void GridControlTest::rowsWidthsAndScrolling() {
    GridControl grid;
    grid.resize(400, 200);
    grid.Cols(2);
    grid.Rows(101);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));

    // A width set in twips reads back as set until the user drags the column.
    grid.ColWidth(0, 470);
    QCOMPARE(grid.ColWidth(0), 470);
    grid.horizontalHeader()->resizeSection(0, 40);
    QCOMPARE(grid.ColWidth(0), 40 * 1440 / grid.logicalDpiX());

    QCOMPARE(grid.TopRow(), 1);
    QVERIFY(grid.RowIsVisible(1));
    QVERIFY(!grid.RowIsVisible(90));
    grid.TopRow(85);
    QCOMPARE(grid.TopRow(), 85);
    QVERIFY(grid.RowIsVisible(90));
    QVERIFY(grid.RowIsVisible(0)); // the header
    QVERIFY(grid.rowsInView() > 3);

    // A plain click moves the current cell, a shift click the far corner of the selection.
    grid.TopRow(1);
    const QRect second = grid.visualRect(grid.cells().index(1, 1));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(grid.Row(), 2);
    QCOMPARE(grid.Col(), 1);
    QCOMPARE(grid.MouseRow(), 2);
    const QRect fifth = grid.visualRect(grid.cells().index(4, 0));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::ShiftModifier, fifth.center());
    QCOMPARE(grid.Row(), 2);
    QCOMPARE(grid.RowSel(), 5);
    QCOMPARE(grid.ColSel(), 0);
    // The range is highlighted, the current cell in it is not: it has the focus rectangle.
    const QImage image = grid.viewport()->grab().toImage();
    const QColor base = grid.palette().color(QPalette::Base);
    QCOMPARE(image.pixelColor(second.center()), base);
    QVERIFY(image.pixelColor(grid.visualRect(grid.cells().index(2, 0)).center()) != base);
    grid.HighLight(0);
    QCOMPARE(grid.viewport()->grab().toImage().pixelColor(grid.visualRect(grid.cells().index(2, 0)).center()),
             base);
}

} // namespace pelorix::test

PELORIX_QTEST_MAIN(pelorix::test::GridControlTest)
#include "GridControlTest.moc"
