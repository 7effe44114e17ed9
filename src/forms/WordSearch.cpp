#include "forms/WordSearch.h"

#include "platform/Text.h"

#include <algorithm>

namespace pelorix {

void WordSearchSession::Form_Load() {
    m_blnButtonsEnabled = false;
    m_strCurrentWord.clear();
    m_lngPosition = -1;
    m_frmBuildSetting.IsSearchShow(true);
}

void WordSearchSession::Form_Unload() {
    m_frmBuildSetting.IsSearchShow(false);
    m_lngPosition = -1;
    m_lngHitRows.clear();
    m_lngHitCols.clear();
    m_strHistory.clear();
}

void WordSearchSession::cboSearch_Change(std::string_view text) {
    if (text.empty()) {
        m_blnButtonsEnabled = false;
        m_lngPosition = -1;
    } else {
        m_lngPosition = 0;
    }
}

bool WordSearchSession::pressEnter(const std::string& text) {
    if (text == m_strCurrentWord) {
        if (m_lngPosition != -1) {
            m_blnButtonsEnabled = true;
            cmdBtn_Click(0);
        }
        return false;
    }
    m_strCurrentWord = text;
    const std::int32_t hits = pSearch(text);
    m_blnButtonsEnabled = hits > 0;
    m_lngPosition = hits > 0 ? 0 : -1;
    if (hits == 0 || pIsExistsWord(text))
        return false;
    m_strHistory.push_back(text);
    return true;
}

void WordSearchSession::chooseWord(const std::string& text) {
    m_strCurrentWord = text;
    m_blnButtonsEnabled = pSearch(text) > 0;
    m_lngPosition = 0;
}

void WordSearchSession::cmdBtn_Click(int index) {
    guard("cmdBtn_Click", [&] {
        if (m_strHistory.empty() || m_lngHitRows.empty())
            return;
        const auto last = static_cast<std::int32_t>(m_lngHitRows.size()) - 1;
        if (index == 0)
            m_lngPosition = m_lngPosition >= last ? 0 : m_lngPosition + 1;
        else
            m_lngPosition = m_lngPosition <= 0 || m_lngPosition > last ? last : m_lngPosition - 1;
        const auto at = static_cast<std::size_t>(m_lngPosition);
        m_frmBuildSetting.fSetSelectedCells(m_lngHitRows[at], m_lngHitCols[at]);
    });
}

std::int32_t WordSearchSession::pSearch(const std::string& word) {
    // Every search starts from empty hits.
    m_lngHitRows.clear();
    m_lngHitCols.clear();
    return m_objSearch.SearchWord(m_frmBuildSetting, word, m_lngHitRows, m_lngHitCols, -1);
}

bool WordSearchSession::pIsExistsWord(std::string_view word) const {
    if (trimSpaces(word).empty())
        return false;
    return std::find(m_strHistory.begin(), m_strHistory.end(), word) != m_strHistory.end();
}

} // namespace pelorix
