#pragma once

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
// The cells of the mark column hold the mark texts the core writes; the model shows them as
// check boxes (checked for a build target, empty for any other text, none for an empty cell).
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

    const std::string& text(int row, int col) const;
    // Writing a cell's text, even the same again, drops its tool tip.
    void setText(int row, int col, const std::string& text);
    // The tool tip of a cell in place of its text ("" for the text).
    const std::string& toolTip(int row, int col) const;
    void setToolTip(int row, int col, const std::string& toolTip);
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

    // The column whose cells are build marks (-1: none), and the columns shown centred.
    void setMarkColumn(int col);
    int markColumn() const noexcept { return m_markColumn; }
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

    const Cell& cell(int row, int col) const;
    Cell& cell(int row, int col);
    void cellChanged(int row, int col);

    std::vector<std::vector<Cell>> m_cells;
    int m_cols = 0;
    int m_markColumn = -1;
    std::vector<int> m_centredColumns;
};

// The colour of a grid colour number.
QColor colorFromVb(std::int32_t color);

} // namespace pelorix
