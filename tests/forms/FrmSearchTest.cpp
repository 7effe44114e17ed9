#include "forms/frmSearch.h"

#include "engine/BuildWindows.h"
#include "engine/ProjectGrid.h"
#include "forms/CDDesign.h"
#include "forms/Twips.h"
#include "support/QtTestMain.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <array>
#include <utility>
#include <vector>

namespace pelorix::test {

namespace {

using Cell = std::pair<std::int32_t, std::int32_t>;

// A main window with a grid whose columns stand in reverse order: the mark column is the last.
class SearchMain final : public QWidget, public ISearchForm {
public:
    SearchMain() {
        grid.Cols(GridColumn::Count);
        grid.Rows(4);
        const std::array<const char*, 7> captions = {"有効",  "結果", "互換ﾓｰﾄﾞ", "最適化",
                                                     "Title", "説明", "Path"};
        for (std::int32_t c = 0; c < GridColumn::Count; ++c)
            grid.TextMatrix(0, gridColumnOf(c), captions[static_cast<std::size_t>(c)]);
        row(1, disabledMarkText(), "Alpha", "alpha tool", "C:\\src\\alpha\\alpha.vbp");
        row(2, enabledMarkText(), "Beta", "", "C:\\src\\beta\\beta.vbp");
        row(3, "", "Gamma", "uses ALPHA", "C:\\src\\g\\g.vbp");
    }
    void row(std::int32_t r, const std::string& mark, const char* title, const char* description,
             const char* path) {
        grid.TextMatrix(r, gridColumnOf(GridColumn::Enable), mark);
        grid.TextMatrix(r, gridColumnOf(GridColumn::Compatible), "互換なし");
        grid.TextMatrix(r, gridColumnOf(GridColumn::Title), title);
        grid.TextMatrix(r, gridColumnOf(GridColumn::Description), description);
        grid.TextMatrix(r, gridColumnOf(GridColumn::FilePath), path);
    }

    IProjectGrid& vsgridProject() override { return grid; }
    std::int32_t gridColumnOf(std::int32_t logicalColumn) const override {
        return GridColumn::Count - 1 - logicalColumn;
    }
    void fSetSelectedCells(std::int32_t r, std::int32_t c) override { selected.emplace_back(r, c); }
    bool IsSearchShow() const override { return searchShow; }
    void IsSearchShow(bool shown) override { searchShow = shown; }
    std::int32_t Left() const override { return roundTwips(twipsFromPixelsX(*this, x())); }
    std::int32_t Top() const override { return roundTwips(twipsFromPixelsY(*this, y())); }

    Cell col(std::int32_t r, std::int32_t logicalColumn) const { return {r, gridColumnOf(logicalColumn)}; }

    MemoryGrid grid;
    std::vector<Cell> selected;
    bool searchShow = false;
};

QComboBox& words(QWidget& dialog) {
    return *dialog.findChild<QComboBox*>(QStringLiteral("cboSearch"));
}

QPushButton& button(QWidget& dialog, int index) {
    return *dialog.findChild<QPushButton*>(QStringLiteral("cmdBtn_%1").arg(index));
}

// Types a word into the word box, replacing what it held, and presses Enter.
void search(QWidget& dialog, const QString& word) {
    QLineEdit& edit = *words(dialog).lineEdit();
    edit.selectAll();
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QTest::keyClicks(&edit, word);
    QTest::keyClick(&edit, Qt::Key_Return);
}

QStringList listed(QWidget& dialog) {
    QStringList items;
    for (int i = 0; i < words(dialog).count(); ++i)
        items << words(dialog).itemText(i);
    return items;
}

frmSearch* open(SearchMain& main) {
    auto* dialog = new frmSearch(&main);
    dialog->fInitialize(main);
    dialog->show();
    return dialog;
}

} // namespace

class FrmSearchTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A session with the search window: words found and not found, stepping with wrap-around,
    // Enter on the same word, the history list, F3 from the main window, closing and reopening.
    void searchStepThroughHitsAndForgetOnClosing() {
        SearchMain main;
        main.move(120, 90);
        main.show();
        QPointer<frmSearch> dialog = open(main);
        QVERIFY(main.searchShow);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("検索"));
        QCOMPARE(dialog->pos(), main.pos());
        QVERIFY(!button(*dialog, 0).isEnabled());
        QVERIFY(!button(*dialog, 1).isEnabled());
        QCOMPARE(button(*dialog, 0).text(), QStringLiteral("Next >"));
        QCOMPARE(button(*dialog, 1).text(), QStringLiteral("< Back"));
        QVERIFY(button(*dialog, 1).x() < button(*dialog, 0).x());

        // Row by row, left to right in the grid; case does not count; the heading row never hits.
        search(*dialog, QStringLiteral("alpha"));
        const std::vector<Cell> alphaHits = {
            main.col(1, GridColumn::FilePath), main.col(1, GridColumn::Description),
            main.col(1, GridColumn::Title), main.col(3, GridColumn::Description)};
        QCOMPARE(main.selected, std::vector<Cell>{alphaHits[0]});
        QVERIFY(button(*dialog, 0).isEnabled() && button(*dialog, 1).isEnabled());
        QCOMPARE(listed(*dialog), QStringList{QStringLiteral("alpha")});

        for (int i = 0; i < 4; ++i)
            QTest::mouseClick(&button(*dialog, 0), Qt::LeftButton);
        QTest::mouseClick(&button(*dialog, 1), Qt::LeftButton);
        QTest::mouseClick(&button(*dialog, 1), Qt::LeftButton);
        // Enter on the same word steps on.
        QTest::keyClick(words(*dialog).lineEdit(), Qt::Key_Return);
        QCOMPARE(main.selected, (std::vector<Cell>{alphaHits[0], alphaHits[1], alphaHits[2], alphaHits[3],
                                                   alphaHits[0], alphaHits[3], alphaHits[2], alphaHits[3]}));

        // The mark column holds the glyphs of the build marks: "p" is no word there. Heading
        // texts ("Path") are not searched either.
        main.selected.clear();
        search(*dialog, QStringLiteral("p"));
        for (int i = 0; i < 6; ++i)
            QTest::mouseClick(&button(*dialog, 0), Qt::LeftButton);
        std::vector<Cell> pHits = {main.col(1, GridColumn::FilePath), main.col(1, GridColumn::Description),
                                   main.col(1, GridColumn::Title),    main.col(2, GridColumn::FilePath),
                                   main.col(3, GridColumn::FilePath), main.col(3, GridColumn::Description)};
        pHits.push_back(pHits.front());
        QCOMPARE(main.selected, pHits);

        // Found words join the list once, newest first; words that find nothing do not.
        search(*dialog, QStringLiteral("ALPHA"));
        search(*dialog, QStringLiteral("alpha"));
        search(*dialog, QStringLiteral("zzz"));
        QVERIFY(!button(*dialog, 0).isEnabled());
        search(*dialog, QStringLiteral("   "));
        QVERIFY(!button(*dialog, 0).isEnabled());
        QCOMPARE(listed(*dialog),
                 (QStringList{QStringLiteral("ALPHA"), QStringLiteral("p"), QStringLiteral("alpha")}));

        // A word chosen from the list ("p") is searched at once.
        main.selected.clear();
        words(*dialog).setFocus();
        Q_EMIT words(*dialog).activated(1);
        QCOMPARE(main.selected, std::vector<Cell>{main.col(1, GridColumn::FilePath)});
        QVERIFY(button(*dialog, 0).isEnabled());
        // F3 in the main window.
        dialog->fSearchNext();
        QCOMPARE(main.selected.back(), pHits[1]);

        // An emptied word box disables the buttons.
        words(*dialog).lineEdit()->clear();
        QVERIFY(!button(*dialog, 0).isEnabled());

        // Esc closes the window, which forgets its words; a new one starts empty, and F3 there
        // only brings it forward.
        QTest::keyClick(words(*dialog).lineEdit(), Qt::Key_Escape);
        QVERIFY(!main.searchShow);
        QTRY_VERIFY(dialog.isNull());
        dialog = open(main);
        QVERIFY(main.searchShow);
        QVERIFY(listed(*dialog).isEmpty());
        main.selected.clear();
        dialog->fSearchNext();
        QVERIFY(main.selected.empty());
        QVERIFY(dialog->isVisible());
        dialog->close();
        QVERIFY(!main.searchShow);
    }
};

} // namespace pelorix::test

PELORIX_QTEST_MAIN(pelorix::test::FrmSearchTest)
#include "FrmSearchTest.moc"
