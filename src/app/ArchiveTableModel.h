// The archive table as an item model: data rows and columns as items, row 0 and column 0 as headers.
#pragma once

#include "base/ArchiveTable.h"
#include "graph/Limits.h"

#include <QAbstractTableModel>

namespace velda {

/// Read-only view of an ArchiveTable owned elsewhere. Item (r, c) is cell (c + 1, r + 1); horizontal
/// header section c shows cell (c + 1, 0), vertical section r cell (0, r + 1). The owner calls reset()
/// after changing the table's size or rows, cellsChanged() after changing cells or the limits and
/// headersChanged() after rewriting row 0. GUI thread only.
class ArchiveTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ArchiveTableModel(ArchiveTable &table, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    /// Runs `change` on the table between a begin and an end of a model reset.
    template <typename F>
    void change(F &&change) {
        beginResetModel();
        change(m_table);
        m_tintValid = false;
        endResetModel();
    }
    void reset() {
        change([](ArchiveTable &) {});
    }
    void headersChanged();
    void cellsChanged();

private:
    /// The out-of-limit cells for the limits and formats in force, worked out again after a change.
    const OutOfLimitCells &tint() const;

    ArchiveTable &m_table;
    mutable OutOfLimitCells m_tint;
    mutable bool m_tintValid = false;
    mutable Limits m_tintLimits;
    mutable QChar m_tintSeparator;
};

} // namespace velda
