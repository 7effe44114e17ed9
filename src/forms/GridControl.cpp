#include "forms/GridControl.h"

#include "engine/ProjectGrid.h"
#include "forms/Twips.h"
#include "platform/RuntimeError.h"

#include <QApplication>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QUrl>
#include <algorithm>
#include <cmath>

namespace pelorix {

namespace {

// Paints the cells as the flex grid does: the selection only while the highlight is on, a light
// focus rectangle around the current cell, and mark cells as a check box in the middle of the
// cell.
class GridDelegate final : public QStyledItemDelegate {
public:
    explicit GridDelegate(GridControl& grid) : QStyledItemDelegate(&grid), m_grid(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        // The current cell itself is never highlighted: it carries the focus rectangle.
        const bool current = index.row() + 1 == m_grid.Row() && index.column() == m_grid.Col();
        if ((m_grid.highLight() == 0 || current) && (opt.state & QStyle::State_Selected)) {
            // The view has already painted the selection under the cell: paint it over.
            opt.state &= ~QStyle::State_Selected;
            painter->fillRect(opt.rect, opt.backgroundBrush.style() != Qt::NoBrush
                                            ? opt.backgroundBrush
                                            : opt.palette.brush(QPalette::Base));
        }
        opt.state &= ~QStyle::State_HasFocus;
        QStyle* style = opt.widget != nullptr ? opt.widget->style() : QApplication::style();
        const QVariant check = index.data(Qt::CheckStateRole);
        if (check.isValid()) {
            opt.features &= ~QStyleOptionViewItem::HasCheckIndicator;
            opt.text.clear();
            style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
            QStyleOptionViewItem box = opt;
            const int width = style->pixelMetric(QStyle::PM_IndicatorWidth, &opt, opt.widget);
            const int height = style->pixelMetric(QStyle::PM_IndicatorHeight, &opt, opt.widget);
            box.rect = QRect(0, 0, width, height);
            box.rect.moveCenter(opt.rect.center());
            box.state = (box.state & ~(QStyle::State_On | QStyle::State_Off)) |
                        (check.toInt() == Qt::Checked ? QStyle::State_On : QStyle::State_Off);
            style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &box, painter, opt.widget);
        } else {
            style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
        }
        if (m_grid.focusRect() != 0 && current) {
            // A light focus rectangle: a dotted line just inside the cell.
            painter->save();
            painter->setPen(QPen(opt.palette.color(QPalette::Text), 1, Qt::DotLine));
            painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
            painter->restore();
        }
    }

private:
    GridControl& m_grid;
};

QStringList localFiles(const QMimeData* data) {
    QStringList files;
    if (data == nullptr || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            files.append(url.toLocalFile());
    return files;
}

} // namespace

GridControl::GridControl(QWidget* parent) : QTableView(parent) {
    setModel(&m_model);
    setItemDelegate(new GridDelegate(*this));
    verticalHeader()->hide();
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setMinimumSectionSize(0);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setAutoScroll(false);
    setDragDropMode(QAbstractItemView::DropOnly);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    const int lineHeight = fontMetrics().height();
    verticalHeader()->setMinimumSectionSize(0);
    verticalHeader()->setDefaultSectionSize(lineHeight + 4);
    m_model.setGridRows(2);
}

void GridControl::checkRow(std::int32_t row) const {
    if (row < 0 || row >= Rows())
        throw invalidGridCell();
}

void GridControl::checkCol(std::int32_t col) const {
    if (col < 0 || col >= Cols())
        throw invalidGridCell();
}

std::int32_t GridControl::Rows() const {
    return m_model.gridRows();
}

void GridControl::Rows(std::int32_t rows) {
    if (rows < FixedRows())
        throw invalidGridCell();
    m_model.setGridRows(rows);
    clampCurrentCell();
}

std::int32_t GridControl::Cols() const {
    return m_model.gridCols();
}

void GridControl::Cols(std::int32_t cols) {
    if (cols < 0)
        throw invalidGridCell();
    m_model.setGridCols(cols);
    m_colTwips.resize(static_cast<std::size_t>(cols), {-1, -1});
    clampCurrentCell();
}

void GridControl::clampCurrentCell() {
    const std::int32_t lastRow = std::max(0, Rows() - 1);
    const std::int32_t lastCol = std::max(0, Cols() - 1);
    m_row = std::clamp(m_row, std::min(FixedRows(), lastRow), lastRow);
    m_rowSel = std::clamp(m_rowSel, std::min(FixedRows(), lastRow), lastRow);
    m_col = std::clamp(m_col, 0, lastCol);
    m_colSel = std::clamp(m_colSel, 0, lastCol);
    showSelection();
}

void GridControl::Row(std::int32_t row) {
    checkRow(row);
    m_row = row;
    m_rowSel = row;
    showSelection();
}

void GridControl::Col(std::int32_t col) {
    checkCol(col);
    m_col = col;
    m_colSel = col;
    showSelection();
}

void GridControl::RowSel(std::int32_t row) {
    checkRow(row);
    m_rowSel = row;
    showSelection();
}

void GridControl::ColSel(std::int32_t col) {
    checkCol(col);
    m_colSel = col;
    showSelection();
}

// Shows the current cell and the selection in the view, without scrolling.
void GridControl::showSelection() {
    QItemSelectionModel* selection = selectionModel();
    if (selection == nullptr)
        return;
    m_syncing = true;
    if (m_row >= FixedRows() && m_row < Rows() && m_col < Cols()) {
        selection->setCurrentIndex(m_model.index(m_row - 1, m_col), QItemSelectionModel::NoUpdate);
        const int top = std::max(FixedRows(), std::min(m_row, m_rowSel)) - 1;
        const int bottom = std::max(m_row, m_rowSel) - 1;
        const int left = std::min(m_col, m_colSel);
        const int right = std::max(m_col, m_colSel);
        if (bottom >= top && bottom >= 0)
            selection->select(QItemSelection(m_model.index(top, left), m_model.index(bottom, right)),
                              QItemSelectionModel::ClearAndSelect);
    } else {
        selection->clear();
    }
    m_syncing = false;
    viewport()->update();
}

void GridControl::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (m_syncing || !current.isValid())
        return;
    // The user moved the current cell with the keyboard: the selection follows, and the cell is
    // brought into view.
    m_row = current.row() + 1;
    m_col = current.column();
    m_rowSel = m_row;
    m_colSel = m_col;
    showSelection();
    scrollTo(current);
}

std::string GridControl::TextMatrix(std::int32_t row, std::int32_t col) const {
    return m_model.text(row, col);
}

void GridControl::TextMatrix(std::int32_t row, std::int32_t col, const std::string& text) {
    m_model.setText(row, col, text);
}

ProjectRowState GridControl::RowState(std::int32_t row) const {
    return m_model.rowState(row);
}

void GridControl::RowState(std::int32_t row, const ProjectRowState& state) {
    m_model.setRowState(row, state);
}

std::string GridControl::CellToolTip(std::int32_t row, std::int32_t col) const {
    return m_model.toolTip(row, col);
}

void GridControl::CellToolTip(std::int32_t row, std::int32_t col, const std::string& toolTip) {
    m_model.setToolTip(row, col, toolTip);
}

std::int32_t GridControl::CellForeColor() const {
    const std::int32_t color = m_model.foreColor(m_row, m_col);
    return color < 0 ? vbBlack : color;
}

void GridControl::CellForeColor(std::int32_t color) {
    m_model.setForeColor(m_row, m_col, color);
}

std::int32_t GridControl::CellBackColor() const {
    const std::int32_t color = m_model.backColor(m_row, m_col);
    return color < 0 ? 0xFFFFFF : color;
}

void GridControl::CellBackColor(std::int32_t color) {
    m_model.setBackColor(m_row, m_col, color);
}

std::int32_t GridControl::TopRow() const {
    return verticalScrollBar()->value() + FixedRows();
}

void GridControl::TopRow(std::int32_t row) {
    if (row < FixedRows() || row >= Rows())
        throw invalidGridCell();
    verticalScrollBar()->setValue(row - FixedRows());
}

bool GridControl::RowIsVisible(std::int32_t row) const {
    checkRow(row);
    if (row < FixedRows())
        return true;
    const int y = rowViewportPosition(row - FixedRows());
    return y >= 0 && y + rowHeight(row - FixedRows()) <= viewport()->height();
}

std::int32_t GridControl::rowsInView() const {
    const int height = std::max(1, verticalHeader()->defaultSectionSize());
    return std::max(0, viewport()->height() / height);
}

std::int32_t GridControl::Height() const {
    return static_cast<std::int32_t>(std::lround(twipsFromPixelsY(*this, height())));
}

void GridControl::HighLight(std::int32_t value) {
    m_highLight = value;
    viewport()->update();
}

void GridControl::FocusRect(std::int32_t value) {
    m_focusRect = value;
    viewport()->update();
}

void GridControl::Refresh() {
    viewport()->repaint();
}

void GridControl::Clear() {
    m_model.clearCells();
}

void GridControl::AddItem(const std::string& text, std::int32_t beforeRow) {
    std::vector<std::string> texts;
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = text.find('\t', start);
        texts.push_back(text.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            break;
        start = tab + 1;
    }
    m_model.insertGridRow(beforeRow, texts);
    if (m_row >= beforeRow)
        ++m_row;
    if (m_rowSel >= beforeRow)
        ++m_rowSel;
    clampCurrentCell();
}

void GridControl::RemoveItem(std::int32_t row) {
    if (row < FixedRows() || row >= Rows() || Rows() - FixedRows() <= 1)
        throw invalidGridCell();
    m_model.removeGridRow(row);
    if (m_row > row)
        --m_row;
    if (m_rowSel > row)
        --m_rowSel;
    clampCurrentCell();
}

std::int32_t GridControl::ColWidth(std::int32_t col) const {
    checkCol(col);
    const int pixels = columnWidth(col);
    const auto& [twips, setPixels] = m_colTwips[static_cast<std::size_t>(col)];
    if (twips >= 0 && setPixels == pixels)
        return twips;
    return static_cast<std::int32_t>(std::lround(twipsFromPixelsX(*this, pixels)));
}

void GridControl::ColWidth(std::int32_t col, std::int32_t twips) {
    checkCol(col);
    if (twips < 0)
        throw vberr::make(vberr::InvalidArgument);
    const int pixels = pixelsFromTwipsX(*this, twips);
    setColumnWidth(col, pixels);
    m_colTwips[static_cast<std::size_t>(col)] = {twips, columnWidth(col)};
}

void GridControl::Redraw(bool redraw) {
    setUpdatesEnabled(redraw);
    if (redraw)
        viewport()->update();
}

QRect GridControl::cellRectInParent(std::int32_t row, std::int32_t col) const {
    checkRow(row);
    checkCol(col);
    QRect rect = row < FixedRows() ? QRect(horizontalHeader()->sectionViewportPosition(col), 0,
                                           columnWidth(col), horizontalHeader()->height())
                                   : visualRect(m_model.index(row - FixedRows(), col));
    const QWidget* area = row < FixedRows() ? static_cast<const QWidget*>(horizontalHeader()) : viewport();
    rect.translate(area->mapTo(this, QPoint(0, 0)));
    return rect.translated(pos());
}

void GridControl::updateMouseCell(const QPoint& viewportPosition) {
    if (viewportPosition.y() < 0) {
        m_mouseRow = 0;
    } else {
        const int row = rowAt(viewportPosition.y());
        m_mouseRow = row < 0 ? Rows() - 1 : row + FixedRows();
    }
    const int col = columnAt(viewportPosition.x());
    m_mouseCol = col >= 0 ? col : (viewportPosition.x() < 0 ? 0 : std::max(0, Cols() - 1));
}

void GridControl::mousePressEvent(QMouseEvent* event) {
    updateMouseCell(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        m_leftPressed = true;
        setFocus(Qt::MouseFocusReason);
        if (m_mouseRow >= FixedRows() && m_mouseRow < Rows() && m_mouseCol < Cols()) {
            if (event->modifiers() & Qt::ShiftModifier) {
                m_rowSel = m_mouseRow;
                m_colSel = m_mouseCol;
                showSelection();
            } else {
                m_row = m_rowSel = m_mouseRow;
                m_col = m_colSel = m_mouseCol;
                showSelection();
            }
        }
    }
    Q_EMIT MouseDown(event->button(), event->modifiers(), event->globalPosition().toPoint());
    event->accept();
}

void GridControl::mouseReleaseEvent(QMouseEvent* event) {
    updateMouseCell(event->position().toPoint());
    Q_EMIT MouseUp(event->button(), event->modifiers());
    if (event->button() == Qt::LeftButton && m_leftPressed) {
        m_leftPressed = false;
        Q_EMIT Click();
    }
    event->accept();
}

void GridControl::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click raises no MouseDown and no Click of its own.
    updateMouseCell(event->position().toPoint());
    m_leftPressed = false;
    event->accept();
}

void GridControl::mouseMoveEvent(QMouseEvent* event) {
    updateMouseCell(event->position().toPoint());
    event->accept();
}

void GridControl::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Q_EMIT KeyPress(13);
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void GridControl::keyReleaseEvent(QKeyEvent* event) {
    Q_EMIT KeyUp(event->key(), event->modifiers());
    QTableView::keyReleaseEvent(event);
}

void GridControl::dragEnterEvent(QDragEnterEvent* event) {
    if (localFiles(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void GridControl::dragMoveEvent(QDragMoveEvent* event) {
    if (localFiles(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void GridControl::dropEvent(QDropEvent* event) {
    const QStringList files = localFiles(event->mimeData());
    if (files.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    Q_EMIT OLEDragDrop(files);
}

} // namespace pelorix
