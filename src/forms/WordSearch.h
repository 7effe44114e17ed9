#pragma once

#include "forms/CFSearch.h"
#include "platform/ErrorConvention.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

// What the search window does, without the window: the word last searched, its hits in search
// order, the selected hit, and the words that found something while the window is open (oldest
// first). Next and back step through the hits, wrapping at either end, and select each hit's
// cell in the main window. Closing forgets everything.
class WordSearchSession : public ErrorHolder {
public:
    explicit WordSearchSession(ISearchForm& form) : ErrorHolder("frmSearch"), m_frmBuildSetting(form) {}

    // The window opens: no word, no hit selected; the main window learns that it is open.
    void Form_Load();
    // The window closes: hits and history are forgotten.
    void Form_Unload();

    // The text of the word box was edited.
    void cboSearch_Change(std::string_view text);
    // Enter in the word box: a new word is searched (and joins the history when it finds
    // something); the same word again steps to its next hit. Returns true when the word joined
    // the history.
    bool pressEnter(const std::string& text);
    // A word chosen from the history list is searched; the history does not change.
    void chooseWord(const std::string& text);
    // Button 0 "Next >", button 1 "< Back". Nothing happens without history or hits.
    void cmdBtn_Click(int index);

    bool hasHistory() const noexcept { return !m_strHistory.empty(); }
    // The words that found something, oldest first.
    const std::vector<std::string>& history() const noexcept { return m_strHistory; }
    bool buttonsEnabled() const noexcept { return m_blnButtonsEnabled; }
    std::int32_t position() const noexcept { return m_lngPosition; }
    const std::string& currentWord() const noexcept { return m_strCurrentWord; }
    const std::vector<std::int32_t>& hitRows() const noexcept { return m_lngHitRows; }
    const std::vector<std::int32_t>& hitColumns() const noexcept { return m_lngHitCols; }

private:
    std::int32_t pSearch(const std::string& word);
    bool pIsExistsWord(std::string_view word) const;

    ISearchForm& m_frmBuildSetting;
    CFSearch m_objSearch;
    std::string m_strCurrentWord;
    std::vector<std::int32_t> m_lngHitRows;
    std::vector<std::int32_t> m_lngHitCols;
    std::int32_t m_lngPosition = -1;
    std::vector<std::string> m_strHistory;
    bool m_blnButtonsEnabled = false;
};

} // namespace pelorix
