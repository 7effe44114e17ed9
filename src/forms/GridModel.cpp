#include "forms/GridModel.h"

#include "engine/ProjectGrid.h"
#include "platform/RuntimeError.h"

#include <QBrush>
#include <QColor>
#include <algorithm>

namespace pelorix {

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
    const bool isMark = col == m_typed.mark;
    const BuildMark mark = m_cells[static_cast<std::size_t>(row)].state.mark;
    switch (role) {
    case Qt::DisplayRole:
        return isMark ? QVariant() : QVariant(QString::fromStdString(text(row, col)));
    case Qt::ToolTipRole: {
        if (!c.toolTip.empty())
            return QVariant(QString::fromStdString(c.toolTip));
        // A text wider than its column is shown cut; the tool tip shows it whole.
        const std::string shown = isMark ? std::string() : text(row, col);
        return shown.empty() ? QVariant() : QVariant(QString::fromStdString(shown));
    }
    case Qt::CheckStateRole:
        if (!isMark || mark == BuildMark::NoFile)
            return {};
        return static_cast<int>(mark == BuildMark::Target ? Qt::Checked : Qt::Unchecked);
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
        return QString::fromStdString(cell(0, section).text);
    return {};
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void GridModel::setGridRows(int rows) {
    if (rows < 1)
        throw invalidGridCell();
    const int current = gridRows();
    if (rows > current) {
        beginInsertRows({}, current - 1, rows - 2);
        m_cells.resize(static_cast<std::size_t>(rows),
                       Row{std::vector<Cell>(static_cast<std::size_t>(m_cols)), {}});
        endInsertRows();
    } else if (rows < current) {
        beginRemoveRows({}, rows - 1, current - 2);
        m_cells.resize(static_cast<std::size_t>(rows));
        endRemoveRows();
    }
}

void GridModel::setGridCols(int cols) {
    if (cols < 0)
        throw invalidGridCell();
    if (cols > m_cols) {
        beginInsertColumns({}, m_cols, cols - 1);
        for (auto& row : m_cells)
            row.cells.resize(static_cast<std::size_t>(cols));
        m_cols = cols;
        endInsertColumns();
    } else if (cols < m_cols) {
        beginRemoveColumns({}, cols, m_cols - 1);
        for (auto& row : m_cells)
            row.cells.resize(static_cast<std::size_t>(cols));
        m_cols = cols;
        endRemoveColumns();
    }
}

const GridModel::Cell& GridModel::cell(int row, int col) const {
    if (!isCell(row, col))
        throw invalidGridCell();
    return m_cells[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(col)];
}

GridModel::Cell& GridModel::cell(int row, int col) {
    if (!isCell(row, col))
        throw invalidGridCell();
    return m_cells[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(col)];
}

void GridModel::cellChanged(int row, int col) {
    if (row == 0) {
        Q_EMIT headerDataChanged(Qt::Horizontal, col, col);
        return;
    }
    const QModelIndex changed = index(row - 1, col);
    Q_EMIT dataChanged(changed, changed);
}

std::string GridModel::text(int row, int col) const {
    const Cell& c = cell(row, col);
    return isTypedCell(row, col) ? m_typed.text(m_cells[static_cast<std::size_t>(row)].state, col) : c.text;
}

void GridModel::setText(int row, int col, const std::string& text) {
    Cell& c = cell(row, col);
    if (!c.toolTip.empty()) {
        c.toolTip.clear();
        cellChanged(row, col);
    }
    if (isTypedCell(row, col)) {
        ProjectRowState state = m_cells[static_cast<std::size_t>(row)].state;
        m_typed.setText(state, col, text);
        setRowState(row, state);
        return;
    }
    if (c.text == text)
        return;
    c.text = text;
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

ProjectRowState GridModel::rowState(int row) const {
    if (row < 0 || row >= gridRows())
        throw invalidGridCell();
    return m_cells[static_cast<std::size_t>(row)].state;
}

void GridModel::setRowState(int row, const ProjectRowState& state) {
    if (row < 1 || row >= gridRows())
        throw invalidGridCell();
    ProjectRowState& kept = m_cells[static_cast<std::size_t>(row)].state;
    if (kept == state)
        return;
    if (kept.result != state.result && isCell(row, m_typed.result))
        cell(row, m_typed.result).toolTip.clear();
    kept = state;
    if (m_cols > 0)
        Q_EMIT dataChanged(index(row - 1, 0), index(row - 1, m_cols - 1));
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
        throw invalidGridCell();
    Row added{std::vector<Cell>(static_cast<std::size_t>(m_cols)), {}};
    for (std::size_t i = 0; i < added.cells.size() && i < texts.size(); ++i) {
        if (m_typed.isTyped(static_cast<int>(i)))
            m_typed.setText(added.state, static_cast<int>(i), texts[i]);
        else
            added.cells[i].text = texts[i];
    }
    beginInsertRows({}, before - 1, before - 1);
    m_cells.insert(m_cells.begin() + before, std::move(added));
    endInsertRows();
}

void GridModel::removeGridRow(int row) {
    if (row < 1 || row >= gridRows())
        throw invalidGridCell();
    beginRemoveRows({}, row - 1, row - 1);
    m_cells.erase(m_cells.begin() + row);
    endRemoveRows();
}

void GridModel::clearCells() {
    for (Row& row : m_cells) {
        for (Cell& c : row.cells)
            c = Cell{};
        row.state = {};
    }
    if (m_cols == 0)
        return;
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, m_cols - 1);
    allChanged();
}

void GridModel::allChanged() {
    if (gridRows() > 1 && m_cols > 0)
        Q_EMIT dataChanged(index(0, 0), index(gridRows() - 2, m_cols - 1));
}

void GridModel::setTypedColumns(const TypedColumns& columns) {
    // The rows keep what their cells show: a value moves into or out of its column's text.
    for (int row = 1; row < gridRows(); ++row) {
        std::vector<std::string> texts;
        for (int col = 0; col < m_cols; ++col)
            texts.push_back(text(row, col));
        Row& kept = m_cells[static_cast<std::size_t>(row)];
        kept.state = {};
        for (int col = 0; col < m_cols; ++col) {
            std::string& shown = texts[static_cast<std::size_t>(col)];
            if (columns.isTyped(col)) {
                columns.setText(kept.state, col, shown);
                shown.clear();
            }
            kept.cells[static_cast<std::size_t>(col)].text = std::move(shown);
        }
    }
    m_typed = columns;
    allChanged();
}

void GridModel::setCentredColumns(std::vector<int> cols) {
    m_centredColumns = std::move(cols);
    allChanged();
}

} // namespace pelorix
