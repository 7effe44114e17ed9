#include "engine/ProjectGrid.h"

#include "platform/RuntimeError.h"

#include <algorithm>

namespace pelorix {

RuntimeError invalidGridCell() {
    return RuntimeError(30009, "Invalid Row value");
}

std::int32_t gridRowsFor(const IProjectGrid& grid, std::int32_t projectCount) {
    return grid.FixedRows() + std::max(projectCount, 1);
}

void scrollRowIntoView(IProjectGrid& grid, std::int32_t row) {
    if (row < grid.FixedRows() || grid.RowIsVisible(row))
        return;
    const std::int32_t top = row < grid.TopRow() ? row : row - std::max(1, grid.rowsInView()) + 1;
    grid.TopRow(std::clamp(top, grid.FixedRows(), grid.Rows() - 1));
}

void setRowMark(IProjectGrid& grid, std::int32_t row, BuildMark mark) {
    ProjectRowState state = grid.RowState(row);
    state.mark = mark;
    grid.RowState(row, state);
}

MemoryGrid::MemoryGrid(std::int32_t fixedRows, std::int32_t fixedCols)
    : m_fixedRows(fixedRows), m_fixedCols(fixedCols), m_rows(fixedRows + 1), m_cols(fixedCols + 1),
      m_row(fixedRows), m_col(fixedCols), m_rowSel(fixedRows), m_colSel(fixedCols), m_topRow(fixedRows) {}

void MemoryGrid::Rows(std::int32_t rows) {
    if (rows < m_fixedRows)
        throw invalidGridCell();
    m_rows = rows;
    std::erase_if(m_text, [rows](const auto& kv) { return kv.first.first >= rows; });
    std::erase_if(m_foreColor, [rows](const auto& kv) { return kv.first.first >= rows; });
    std::erase_if(m_states, [rows](const auto& kv) { return kv.first >= rows; });
    m_row = std::min(m_row, rows - 1);
    m_rowSel = std::min(m_rowSel, rows - 1);
    m_topRow = std::clamp(m_topRow, m_fixedRows, std::max(m_fixedRows, rows - 1));
}

void MemoryGrid::Cols(std::int32_t cols) {
    if (cols < m_fixedCols)
        throw invalidGridCell();
    m_cols = cols;
    std::erase_if(m_text, [cols](const auto& kv) { return kv.first.second >= cols; });
    std::erase_if(m_foreColor, [cols](const auto& kv) { return kv.first.second >= cols; });
    m_col = std::min(m_col, cols - 1);
    m_colSel = std::min(m_colSel, cols - 1);
}

void MemoryGrid::checkCell(std::int32_t row, std::int32_t col) const {
    if (row < 0 || row >= m_rows || col < 0 || col >= m_cols)
        throw invalidGridCell();
}

void MemoryGrid::Row(std::int32_t row) {
    checkCell(row, 0);
    m_row = row;
    m_rowSel = row;
}

void MemoryGrid::Col(std::int32_t col) {
    checkCell(0, col);
    m_col = col;
    m_colSel = col;
}

void MemoryGrid::RowSel(std::int32_t row) {
    checkCell(row, 0);
    m_rowSel = row;
}

void MemoryGrid::ColSel(std::int32_t col) {
    checkCell(0, col);
    m_colSel = col;
}

std::string MemoryGrid::TextMatrix(std::int32_t row, std::int32_t col) const {
    checkCell(row, col);
    if (row >= m_fixedRows && m_typed.isTyped(col))
        return m_typed.text(RowState(row), col);
    const auto it = m_text.find({row, col});
    return it == m_text.end() ? std::string() : it->second;
}

void MemoryGrid::TextMatrix(std::int32_t row, std::int32_t col, const std::string& text) {
    checkCell(row, col);
    if (row >= m_fixedRows && m_typed.isTyped(col))
        m_typed.setText(m_states[row], col, text);
    else
        m_text[{row, col}] = text;
}

ProjectRowState MemoryGrid::RowState(std::int32_t row) const {
    if (row < 0 || row >= m_rows)
        throw invalidGridCell();
    const auto it = m_states.find(row);
    return it == m_states.end() ? ProjectRowState{} : it->second;
}

void MemoryGrid::RowState(std::int32_t row, const ProjectRowState& state) {
    if (row < m_fixedRows || row >= m_rows)
        throw invalidGridCell();
    m_states[row] = state;
}

std::int32_t MemoryGrid::cellForeColor(std::int32_t row, std::int32_t col) const {
    const auto it = m_foreColor.find({row, col});
    return it == m_foreColor.end() ? vbBlack : it->second;
}

std::int32_t MemoryGrid::CellForeColor() const {
    return cellForeColor(m_row, m_col);
}

void MemoryGrid::CellForeColor(std::int32_t color) {
    m_foreColor[{m_row, m_col}] = color;
}

void MemoryGrid::TopRow(std::int32_t row) {
    if (row < m_fixedRows || row >= m_rows)
        throw invalidGridCell();
    m_topRow = row;
}

bool MemoryGrid::RowIsVisible(std::int32_t row) const {
    if (row < 0 || row >= m_rows)
        throw invalidGridCell();
    if (row < m_fixedRows)
        return true;
    return row >= m_topRow && row < m_topRow + rowsInView();
}

std::int32_t MemoryGrid::rowsInView() const {
    return std::max(0, (m_height - m_fixedRows * m_rowHeight) / std::max(1, m_rowHeight));
}

} // namespace pelorix
