#pragma once

#include "engine/ProjectRow.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace pelorix {

class RuntimeError;

// The project grid as the core drives it: the grid-control operations the build engine and the
// search use. Rows and columns count from 0; the first FixedRows rows are the header. Sizes are
// in twips. Colours are red + 256 * green + 65536 * blue. The window program implements this
// over its table view; MemoryGrid keeps everything in memory for headless runs and tests.
class IProjectGrid {
public:
    virtual ~IProjectGrid() = default;

    virtual std::int32_t Rows() const = 0;
    virtual void Rows(std::int32_t rows) = 0;
    virtual std::int32_t Cols() const = 0;
    virtual void Cols(std::int32_t cols) = 0;
    virtual std::int32_t FixedRows() const = 0;
    virtual std::int32_t FixedCols() const = 0;

    // The current cell.
    virtual std::int32_t Row() const = 0;
    virtual void Row(std::int32_t row) = 0;
    virtual std::int32_t Col() const = 0;
    virtual void Col(std::int32_t col) = 0;
    // The far corner of the selection.
    virtual std::int32_t RowSel() const = 0;
    virtual void RowSel(std::int32_t row) = 0;
    virtual std::int32_t ColSel() const = 0;
    virtual void ColSel(std::int32_t col) = 0;

    // Any cell's text, without moving the current cell. The typed columns' cells show their
    // row's typed values, and a text put there is read into them.
    virtual std::string TextMatrix(std::int32_t row, std::int32_t col) const = 0;
    virtual void TextMatrix(std::int32_t row, std::int32_t col, const std::string& text) = 0;

    // A data row's typed values: its build mark, compatibility mode and result.
    virtual ProjectRowState RowState(std::int32_t row) const = 0;
    virtual void RowState(std::int32_t row, const ProjectRowState& state) = 0;

    // The text colour of the current cell.
    virtual std::int32_t CellForeColor() const = 0;
    virtual void CellForeColor(std::int32_t color) = 0;

    // The first scrollable row shown, and whether a row is in view.
    virtual std::int32_t TopRow() const = 0;
    virtual void TopRow(std::int32_t row) = 0;
    virtual bool RowIsVisible(std::int32_t row) const = 0;
    // How many whole data rows the grid shows below its fixed rows.
    virtual std::int32_t rowsInView() const = 0;
    // The grid's height.
    virtual std::int32_t Height() const = 0;

    // 0 switches the selection highlight off; 1 gives a light focus rectangle.
    virtual void HighLight(std::int32_t value) = 0;
    virtual void FocusRect(std::int32_t value) = 0;
    // Repaints at once.
    virtual void Refresh() = 0;
};

// The grid control's own error for a row or column outside the grid (30009).
RuntimeError invalidGridCell();

// The rows a grid needs for a list of projects: the fixed rows, and a data row for each project;
// an empty list keeps the one empty data row.
std::int32_t gridRowsFor(const IProjectGrid& grid, std::int32_t projectCount);

// Scrolls a data row that is out of view into it: to the bottom of the view when it lies below,
// to the top when above. A row in view does not scroll the grid.
void scrollRowIntoView(IProjectGrid& grid, std::int32_t row);

// Changes a data row's build mark alone.
void setRowMark(IProjectGrid& grid, std::int32_t row, BuildMark mark);

// Colours the build writes into the grid.
inline constexpr std::int32_t vbBlue = 255 * 65536;
inline constexpr std::int32_t vbRed = 255;
inline constexpr std::int32_t vbBlack = 0;

// A grid without a window: cells, colours and the scroll position in memory. Rows in view are
// those from TopRow on that fit into Height below the fixed rows, each RowHeight twips high.
class MemoryGrid final : public IProjectGrid {
public:
    MemoryGrid(std::int32_t fixedRows = 1, std::int32_t fixedCols = 0);

    std::int32_t Rows() const override { return m_rows; }
    void Rows(std::int32_t rows) override;
    std::int32_t Cols() const override { return m_cols; }
    void Cols(std::int32_t cols) override;
    std::int32_t FixedRows() const override { return m_fixedRows; }
    std::int32_t FixedCols() const override { return m_fixedCols; }

    std::int32_t Row() const override { return m_row; }
    void Row(std::int32_t row) override;
    std::int32_t Col() const override { return m_col; }
    void Col(std::int32_t col) override;
    std::int32_t RowSel() const override { return m_rowSel; }
    void RowSel(std::int32_t row) override;
    std::int32_t ColSel() const override { return m_colSel; }
    void ColSel(std::int32_t col) override;

    std::string TextMatrix(std::int32_t row, std::int32_t col) const override;
    void TextMatrix(std::int32_t row, std::int32_t col, const std::string& text) override;
    ProjectRowState RowState(std::int32_t row) const override;
    void RowState(std::int32_t row, const ProjectRowState& state) override;
    // The columns that draw the typed values.
    void typedColumns(const TypedColumns& columns) { m_typed = columns; }

    std::int32_t CellForeColor() const override;
    void CellForeColor(std::int32_t color) override;

    std::int32_t TopRow() const override { return m_topRow; }
    void TopRow(std::int32_t row) override;
    bool RowIsVisible(std::int32_t row) const override;
    std::int32_t rowsInView() const override;
    std::int32_t Height() const override { return m_height; }
    void Height(std::int32_t twips) { m_height = twips; }
    void RowHeight(std::int32_t twips) { m_rowHeight = twips; }

    void HighLight(std::int32_t value) override { m_highLight = value; }
    void FocusRect(std::int32_t value) override { m_focusRect = value; }
    void Refresh() override { ++m_refreshCount; }

    // What tests look at.
    std::int32_t cellForeColor(std::int32_t row, std::int32_t col) const;
    std::int32_t highLight() const noexcept { return m_highLight; }
    std::int32_t focusRect() const noexcept { return m_focusRect; }
    std::int32_t refreshCount() const noexcept { return m_refreshCount; }

private:
    void checkCell(std::int32_t row, std::int32_t col) const;

    std::int32_t m_fixedRows;
    std::int32_t m_fixedCols;
    std::int32_t m_rows = 2;
    std::int32_t m_cols = 2;
    std::int32_t m_row = 1;
    std::int32_t m_col = 0;
    std::int32_t m_rowSel = 1;
    std::int32_t m_colSel = 0;
    std::int32_t m_topRow = 1;
    std::int32_t m_height = 4000;
    std::int32_t m_rowHeight = 240;
    std::int32_t m_highLight = 1;
    std::int32_t m_focusRect = 1;
    std::int32_t m_refreshCount = 0;
    std::map<std::pair<std::int32_t, std::int32_t>, std::string> m_text;
    std::map<std::int32_t, ProjectRowState> m_states;
    TypedColumns m_typed;
    std::map<std::pair<std::int32_t, std::int32_t>, std::int32_t> m_foreColor;
};

} // namespace pelorix
