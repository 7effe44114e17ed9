#pragma once

#include "forms/WordSearch.h"
#include "platform/ErrorConvention.h"

#include <QDialog>
#include <array>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;

namespace pelorix {

// The word search window: a word box with the words that found something while the window is
// open, newest first, and "< Back" / "Next >" to step through the hits, which the main window's
// grid selects one by one. Modeless; it opens at the main window's top-left corner and deletes
// itself when closed (hold it in a QPointer), forgetting its hits and words. The main window's
// "次を検索(&N)" (F3) calls fSearchNext while it is open.
class frmSearch final : public QDialog, public ErrorHolder {
    Q_OBJECT

public:
    explicit frmSearch(QWidget* owner = nullptr);
    ~frmSearch() override;

    // Prepares the window before it is first shown, for the main window whose grid it searches.
    void fInitialize(ISearchForm& form);
    // The next hit of the current search; with no word found yet, the window comes forward.
    void fSearchNext();
    // Every way of closing ends here (Esc, the close box, close()): hits and words are forgotten.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void pBuildControls();
    void Form_Load();
    void pInitCombo();
    void cboSearch_Change(const QString& text);
    void cboSearch_KeyPress(int keyAscii);
    void cboSearch_Click(int index);
    void cmdBtn_Click(int index);
    void pShowButtons();

    std::unique_ptr<WordSearchSession> m_session;
    ISearchForm* m_frmBuildSetting = nullptr;
    bool m_blnLoaded = false;

    QLabel* m_lblSearch = nullptr;
    QComboBox* m_cboSearch = nullptr;
    std::array<QPushButton*, 2> m_cmdBtn{};
};

} // namespace pelorix
