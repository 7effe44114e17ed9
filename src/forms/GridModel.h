#pragma once

#include "engine/ProjectRow.h"

#include <QAbstractTableModel>
#include <cstdint>
#include <string>
#include <vector>

namespace pelorix {

// The cells of the grid control, addressed as the control addresses them: row 0 is the header
// row (the view's horizontal header), rows 1 and on are the data rows (model rows 0 and on).
// Texts are UTF-8 as the core keeps them; colours are red + 256 * green + 65536 * blue, -1 for the
// view's own colour.
//
// Each data row keeps its typed values (build mark, compatibility mode, result); the typed
// columns draw them: the mark as a check box (checked for a build target, empty for a project
// that is not one, none for a missing file), the mode and the result as their names.
class GridModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit GridModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Rows and columns counted as the control counts them (the header row included).
    int gridRows() const noexcept { return static_cast<int>(m_cells.size()); }
    int gridCols() const noexcept { return m_cols; }
    void setGridRows(int rows);
    void setGridCols(int cols);

    // A cell's text; a typed cell's is drawn from its row's values, and a text put there is read
    // into them.
    std::string text(int row, int col) const;
    // Writing a cell's text, even the same again, drops its tool tip.
    void setText(int row, int col, const std::string& text);
    // The tool tip of a cell in place of its text ("" for the text). A new result of a row drops
    // its result cell's.
    const std::string& toolTip(int row, int col) const;
    void setToolTip(int row, int col, const std::string& toolTip);
    ProjectRowState rowState(int row) const;
    void setRowState(int row, const ProjectRowState& state);
    std::int32_t foreColor(int row, int col) const;
    void setForeColor(int row, int col, std::int32_t color);
    std::int32_t backColor(int row, int col) const;
    void setBackColor(int row, int col, std::int32_t color);

    // Inserts a data row before the given row (at the end for gridRows()), its cells filled from
    // the texts in order.
    void insertGridRow(int before, const std::vector<std::string>& texts);
    void removeGridRow(int row);
    // Empties every cell, the header included, and drops every colour.
    void clearCells();

    // The columns that draw the typed values, and the columns shown centred.
    void setTypedColumns(const TypedColumns& columns);
    int markColumn() const noexcept { return m_typed.mark; }
    void setCentredColumns(std::vector<int> cols);

    // True when the cell exists.
    bool isCell(int row, int col) const noexcept {
        return row >= 0 && row < gridRows() && col >= 0 && col < m_cols;
    }

private:
    struct Cell {
        std::string text;
        std::string toolTip;
        std::int32_t foreColor = -1;
        std::int32_t backColor = -1;
    };

    struct Row {
        std::vector<Cell> cells;
        ProjectRowState state;
    };

    const Cell& cell(int row, int col) const;
    Cell& cell(int row, int col);
    void cellChanged(int row, int col);
    void allChanged();
    bool isTypedCell(int row, int col) const noexcept { return row > 0 && m_typed.isTyped(col); }

    std::vector<Row> m_cells;
    int m_cols = 0;
    TypedColumns m_typed;
    std::vector<int> m_centredColumns;
};

// The colour of a grid colour number.
QColor colorFromVb(std::int32_t color);

} // namespace pelorix
