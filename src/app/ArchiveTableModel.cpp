// Item model over the archive table.
#include "app/ArchiveTableModel.h"

#include "base/SystemFormats.h"
#include "graph/Limits.h"

#include <QColor>

#include <algorithm>

namespace velda {

namespace {
constexpr QRgb kOutOfLimitTint = 0xFFFFD2D2;
}

ArchiveTableModel::ArchiveTableModel(ArchiveTable &table, QObject *parent)
    : QAbstractTableModel(parent), m_table(table) {}

int ArchiveTableModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : std::max(m_table.rowCount() - 1, 0);
}

int ArchiveTableModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : std::max(m_table.colCount() - 1, 0);
}

QVariant ArchiveTableModel::data(const QModelIndex &index, int role) const {
    if (index.isValid() && role == Qt::BackgroundRole) {
        // Values outside the user's limits are tinted; without limits nothing changes.
        if (tint().outside(index.column() + 1, index.row() + 1)) return QColor(kOutOfLimitTint);
        return {};
    }
    if (!index.isValid() || role != Qt::DisplayRole) return {};
    return m_table.cell(index.column() + 1, index.row() + 1);
}

QVariant ArchiveTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
    if (orientation == Qt::Horizontal) return m_table.cell(section + 1, 0);
    return m_table.cell(0, section + 1);
}

Qt::ItemFlags ArchiveTableModel::flags(const QModelIndex &index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

const OutOfLimitCells &ArchiveTableModel::tint() const {
    const Limits &limits = CurrentStatsSettings().limits;
    const QChar separator = CurrentFormats().decimalSeparator;
    if (!m_tintValid || !(limits == m_tintLimits) || separator != m_tintSeparator) {
        m_tint = OutOfLimitCells(m_table, limits, CurrentFormats());
        m_tintLimits = limits;
        m_tintSeparator = separator;
        m_tintValid = true;
    }
    return m_tint;
}

void ArchiveTableModel::headersChanged() {
    m_tintValid = false;
    if (columnCount() > 0) Q_EMIT headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

void ArchiveTableModel::cellsChanged() {
    m_tintValid = false;
    if (rowCount() > 0 && columnCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    if (rowCount() > 0) Q_EMIT headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
}

} // namespace velda
