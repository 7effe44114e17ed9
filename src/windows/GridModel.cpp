#include "windows/GridModel.h"

#include "engine/BuildHandOver.h"
#include "platform/RuntimeError.h"

#include <QBrush>
#include <QColor>
#include <algorithm>

namespace pelorix {

namespace {

// The grid control's own error for a row or column outside the grid.
RuntimeError invalidCell() {
    return RuntimeError(30009, "Invalid Row value");
}

} // namespace

QColor colorFromVb(std::int32_t color) {
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

GridModel::GridModel(QObject* parent) : QAbstractTableModel(parent), m_cells(1) {}

int GridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : gridRows() - 1;
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_cols;
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.model() != this)
        return {};
    const int row = index.row() + 1;
    const int col = index.column();
    if (!isCell(row, col))
        return {};
    const Cell& c = cell(row, col);
    const bool isMark = col == m_markColumn;
    switch (role) {
    case Qt::DisplayRole:
        return isMark ? QVariant() : QVariant(QString::fromUtf8(c.text));
    case Qt::ToolTipRole:
        if (!c.toolTip.empty())
            return QVariant(QString::fromUtf8(c.toolTip));
        // A text wider than its column is shown cut; the tool tip shows it whole.
        return isMark || c.text.empty() ? QVariant() : QVariant(QString::fromUtf8(c.text));
    case Qt::CheckStateRole:
        if (!isMark || c.text.empty())
            return {};
        return static_cast<int>(isBuildMark(c.text) ? Qt::Checked : Qt::Unchecked);
    case Qt::ForegroundRole:
        return c.foreColor < 0 ? QVariant() : QVariant(QBrush(colorFromVb(c.foreColor)));
    case Qt::BackgroundRole:
        return c.backColor < 0 ? QVariant() : QVariant(QBrush(colorFromVb(c.backColor)));
    case Qt::TextAlignmentRole:
        if (std::find(m_centredColumns.begin(), m_centredColumns.end(), col) != m_centredColumns.end())
            return QVariant(Qt::AlignCenter);
        return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= m_cols)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return QString::fromUtf8(cell(0, section).text);
    return {};
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void GridModel::setGridRows(int rows) {
    if (rows < 1)
        throw invalidCell();
    const int current = gridRows();
    if (rows > current) {
        beginInsertRows({}, current - 1, rows - 2);
        m_cells.resize(static_cast<std::size_t>(rows), std::vector<Cell>(static_cast<std::size_t>(m_cols)));
        endInsertRows();
    } else if (rows < current) {
        beginRemoveRows({}, rows - 1, current - 2);
        m_cells.resize(static_cast<std::size_t>(rows));
        endRemoveRows();
    }
}

void GridModel::setGridCols(int cols) {
    if (cols < 0)
        throw invalidCell();
    if (cols > m_cols) {
        beginInsertColumns({}, m_cols, cols - 1);
        for (auto& row : m_cells)
            row.resize(static_cast<std::size_t>(cols));
        m_cols = cols;
        endInsertColumns();
    } else if (cols < m_cols) {
        beginRemoveColumns({}, cols, m_cols - 1);
        for (auto& row : m_cells)
            row.resize(static_cast<std::size_t>(cols));
        m_cols = cols;
        endRemoveColumns();
    }
}

const GridModel::Cell& GridModel::cell(int row, int col) const {
    if (!isCell(row, col))
        throw invalidCell();
    return m_cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
}

GridModel::Cell& GridModel::cell(int row, int col) {
    if (!isCell(row, col))
        throw invalidCell();
    return m_cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
}

void GridModel::cellChanged(int row, int col) {
    if (row == 0) {
        Q_EMIT headerDataChanged(Qt::Horizontal, col, col);
        return;
    }
    const QModelIndex changed = index(row - 1, col);
    Q_EMIT dataChanged(changed, changed);
}

const std::string& GridModel::text(int row, int col) const {
    return cell(row, col).text;
}

void GridModel::setText(int row, int col, const std::string& text) {
    Cell& c = cell(row, col);
    if (c.text == text && c.toolTip.empty())
        return;
    c.text = text;
    c.toolTip.clear();
    cellChanged(row, col);
}

const std::string& GridModel::toolTip(int row, int col) const {
    return cell(row, col).toolTip;
}

void GridModel::setToolTip(int row, int col, const std::string& toolTip) {
    Cell& c = cell(row, col);
    if (c.toolTip == toolTip)
        return;
    c.toolTip = toolTip;
    cellChanged(row, col);
}

std::int32_t GridModel::foreColor(int row, int col) const {
    return cell(row, col).foreColor;
}

void GridModel::setForeColor(int row, int col, std::int32_t color) {
    cell(row, col).foreColor = color;
    cellChanged(row, col);
}

std::int32_t GridModel::backColor(int row, int col) const {
    return cell(row, col).backColor;
}

void GridModel::setBackColor(int row, int col, std::int32_t color) {
    cell(row, col).backColor = color;
    cellChanged(row, col);
}

void GridModel::insertGridRow(int before, const std::vector<std::string>& texts) {
    if (before < 1 || before > gridRows())
        throw invalidCell();
    std::vector<Cell> cells(static_cast<std::size_t>(m_cols));
    for (std::size_t i = 0; i < cells.size() && i < texts.size(); ++i)
        cells[i].text = texts[i];
    beginInsertRows({}, before - 1, before - 1);
    m_cells.insert(m_cells.begin() + before, std::move(cells));
    endInsertRows();
}

void GridModel::removeGridRow(int row) {
    if (row < 1 || row >= gridRows())
        throw invalidCell();
    beginRemoveRows({}, row - 1, row - 1);
    m_cells.erase(m_cells.begin() + row);
    endRemoveRows();
}

void GridModel::clearCells() {
    for (auto& row : m_cells)
        for (Cell& c : row)
            c = Cell{};
    if (m_cols == 0)
        return;
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, m_cols - 1);
    if (gridRows() > 1)
        Q_EMIT dataChanged(index(0, 0), index(gridRows() - 2, m_cols - 1));
}

void GridModel::setMarkColumn(int col) {
    if (col == m_markColumn)
        return;
    m_markColumn = col;
    if (gridRows() > 1 && m_cols > 0)
        Q_EMIT dataChanged(index(0, 0), index(gridRows() - 2, m_cols - 1));
}

void GridModel::setCentredColumns(std::vector<int> cols) {
    m_centredColumns = std::move(cols);
    if (gridRows() > 1 && m_cols > 0)
        Q_EMIT dataChanged(index(0, 0), index(gridRows() - 2, m_cols - 1));
}

} // namespace pelorix
