// Storage of the archive table: rows of byte strings that outlive the shown size.
#include "base/ArchiveTable.h"

#include "base/Cp1251.h"

#include <algorithm>
#include <cassert>
#include <utility>

namespace velda {

std::atomic<bool> Channel1Present{false};
std::atomic<bool> Channel2Present{false};

void ArchiveTable::setColCount(int count) {
    m_colCount = std::max(count, 0);
}

void ArchiveTable::setRowCount(int count) {
    m_rowCount = std::max(count, 0);
}

QString ArchiveTable::cell(int col, int row) const {
    return FromCp1251(cellBytes(col, row));
}

void ArchiveTable::setCell(int col, int row, QStringView text) {
    setCellBytes(col, row, ToCp1251(text));
}

std::string_view ArchiveTable::cellBytes(int col, int row) const {
    if (row < 0 || col < 0 || row >= static_cast<int>(m_rows.size())) return {};
    const Row &r = m_rows[static_cast<std::size_t>(row)];
    if (col >= static_cast<int>(r.size())) return {};
    return r[static_cast<std::size_t>(col)];
}

void ArchiveTable::setCellBytes(int col, int row, std::string_view bytes) {
    assert(col >= 0 && row >= 0);
    if (col < 0 || row < 0) return;
    if (bytes.empty() && cellBytes(col, row).empty()) return;
    ensureRow(row);
    Row &r = m_rows[static_cast<std::size_t>(row)];
    if (col >= static_cast<int>(r.size())) r.resize(static_cast<std::size_t>(col) + 1);
    r[static_cast<std::size_t>(col)].assign(bytes);
}

void ArchiveTable::ensureRow(int row) {
    if (row >= static_cast<int>(m_rows.size())) m_rows.resize(static_cast<std::size_t>(row) + 1);
}

void ArchiveTable::reserve(int cols, int rows) {
    if (rows <= 0) return;
    ensureRow(rows - 1);
    for (int row = 0; row < rows; ++row)
        m_rows[static_cast<std::size_t>(row)].reserve(static_cast<std::size_t>(std::max(cols, 0)));
}

void ArchiveTable::moveRow(int from, int to) {
    if (from == to || from < 0 || to < 0) return;
    ensureRow(std::max(from, to));
    auto first = m_rows.begin();
    if (from < to) {
        std::rotate(first + from, first + from + 1, first + to + 1);
    } else {
        std::rotate(first + to, first + from, first + from + 1);
    }
}

void ArchiveTable::swapRows(int a, int b) {
    if (a == b || a < 0 || b < 0) return;
    ensureRow(std::max(a, b));
    std::swap(m_rows[static_cast<std::size_t>(a)], m_rows[static_cast<std::size_t>(b)]);
}

void ArchiveTable::clearRowsFrom(int firstRow) {
    if (firstRow < 0) firstRow = 0;
    if (firstRow < static_cast<int>(m_rows.size())) m_rows.resize(static_cast<std::size_t>(firstRow));
}

void ArchiveTable::swap(ArchiveTable &other) noexcept {
    std::swap(m_colCount, other.m_colCount);
    std::swap(m_rowCount, other.m_rowCount);
    m_rows.swap(other.m_rows);
}

bool TableIsEmpty(const ArchiveTable &table) {
    return table.cellIsEmpty(0, 1);
}

} // namespace velda
