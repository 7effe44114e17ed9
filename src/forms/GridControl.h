#pragma once

#include "engine/ProjectGrid.h"
#include "forms/GridModel.h"

#include <QTableView>
#include <cstdint>
#include <string>
#include <vector>

namespace pelorix {

// The grid control of the main window: the operations the program uses of a flex grid, over a
// Qt table view and its GridModel. One fixed header row (the view's header), no fixed columns.
// Sizes are in twips. The current cell (Row, Col) and the far corner of the selection (RowSel,
// ColSel) are the control's own; a left click without Shift moves the current cell, with Shift it
// moves the far corner, a right click moves neither.
//
// User input arrives as the control's events: MouseDown, MouseUp and Click (in that order for a
// left click), KeyPress for Enter, KeyUp, and OLEDragDrop with the host paths of dropped files.
// MouseRow and MouseCol give the cell under the pointer during a mouse event (row 0 over the
// header).
class GridControl final : public QTableView, public IProjectGrid {
    Q_OBJECT

public:
    explicit GridControl(QWidget* parent = nullptr);

    // IProjectGrid
    std::int32_t Rows() const override;
    void Rows(std::int32_t rows) override;
    std::int32_t Cols() const override;
    void Cols(std::int32_t cols) override;
    std::int32_t FixedRows() const override { return 1; }
    std::int32_t FixedCols() const override { return 0; }
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
    // A cell's tool tip in place of its text, until its text or its row's result is written again.
    std::string CellToolTip(std::int32_t row, std::int32_t col) const;
    void CellToolTip(std::int32_t row, std::int32_t col, const std::string& toolTip);
    ProjectRowState RowState(std::int32_t row) const override;
    void RowState(std::int32_t row, const ProjectRowState& state) override;
    std::int32_t CellForeColor() const override;
    void CellForeColor(std::int32_t color) override;
    std::int32_t TopRow() const override;
    void TopRow(std::int32_t row) override;
    bool RowIsVisible(std::int32_t row) const override;
    std::int32_t Height() const override;
    void HighLight(std::int32_t value) override;
    void FocusRect(std::int32_t value) override;
    void Refresh() override;

    // The rest of the control.
    std::int32_t CellBackColor() const;
    void CellBackColor(std::int32_t color);
    // Empties every cell and drops every colour; rows and columns stay.
    void Clear();
    // Inserts a data row before the row (at the end for Rows()), its cells from the TAB-separated
    // texts.
    void AddItem(const std::string& text, std::int32_t beforeRow);
    void RemoveItem(std::int32_t row);
    std::int32_t ColWidth(std::int32_t col) const;
    void ColWidth(std::int32_t col, std::int32_t twips);
    // False stops painting during bulk changes; true paints again.
    void Redraw(bool redraw);
    std::int32_t MouseRow() const noexcept { return m_mouseRow; }
    std::int32_t MouseCol() const noexcept { return m_mouseCol; }
    std::int32_t highLight() const noexcept { return m_highLight; }
    std::int32_t focusRect() const noexcept { return m_focusRect; }
    // The rectangle of a cell, in the coordinates of the control's parent.
    QRect cellRectInParent(std::int32_t row, std::int32_t col) const;
    // The number of whole data rows the control shows.
    std::int32_t rowsInView() const override;

    GridModel& cells() noexcept { return m_model; }
    const GridModel& cells() const noexcept { return m_model; }

Q_SIGNALS:
    void Click();
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint globalPosition);
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void KeyPress(int keyAscii);
    void KeyUp(int key, Qt::KeyboardModifiers modifiers);
    void OLEDragDrop(const QStringList& hostPaths);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void checkRow(std::int32_t row) const;
    void checkCol(std::int32_t col) const;
    void updateMouseCell(const QPoint& viewportPosition);
    void showSelection();
    void clampCurrentCell();

    GridModel m_model;
    std::int32_t m_row = 1;
    std::int32_t m_col = 0;
    std::int32_t m_rowSel = 1;
    std::int32_t m_colSel = 0;
    std::int32_t m_mouseRow = 0;
    std::int32_t m_mouseCol = 0;
    std::int32_t m_highLight = 1;
    std::int32_t m_focusRect = 1;
    bool m_leftPressed = false;
    bool m_syncing = false;
    // The width set in twips per column and the pixels it gave, so that a width the user did not
    // change reads back exactly as it was set.
    std::vector<std::pair<std::int32_t, int>> m_colTwips;
};

} // namespace pelorix
