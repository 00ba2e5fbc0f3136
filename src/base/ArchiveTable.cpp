// Storage of the archive table: one byte store of cell entries, per-column entry offsets, row handles.
#include "base/ArchiveTable.h"

#include "base/Cp1251.h"
#include "base/LittleEndian.h"
#include "base/TableColumns.h"

#include <algorithm>
#include <cassert>
#include <string>
#include <utility>

namespace velda {

std::atomic<bool> Channel1Present{false};
std::atomic<bool> Channel2Present{false};

namespace {

// Overwritten and cleared texts stay in the store until they make up half of it; a smaller heap of them
// is not worth a rewrite.
constexpr std::size_t kMinGarbageToCompact = 1 << 20;

std::size_t Index(int i) {
    return static_cast<std::size_t>(i);
}

} // namespace

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

std::uint32_t ArchiveTable::entryLength(std::uint32_t at) const {
    return le::U32(m_store.data() + at);
}

std::uint32_t *ArchiveTable::existingEntry(int col, int row) {
    if (Index(row) >= m_rows.size() || Index(col) >= m_entries.size()) return nullptr;
    return &m_entries[Index(col)][m_rows[Index(row)]];
}

void ArchiveTable::setCellBytes(int col, int row, std::string_view bytes) {
    assert(col >= 0 && row >= 0);
    if (col < 0 || row < 0) return;
    if (bytes.empty()) {
        std::uint32_t *entry = existingEntry(col, row);
        if (entry && *entry != kNoEntry) {
            m_garbage += kLengthSize + entryLength(*entry);
            *entry = kNoEntry;
        }
        return;
    }
    ensureRow(row);
    ensureColumn(col);
    std::uint32_t &entry = m_entries[Index(col)][m_rows[Index(row)]];
    if (entry != kNoEntry) {
        const std::uint32_t old = entryLength(entry);
        if (bytes.size() <= old) {
            // A text no longer than the one it replaces takes its place; `bytes` may overlap it.
            char *at = m_store.data() + entry;
            std::memmove(at + kLengthSize, bytes.data(), bytes.size());
            le::PutU32(at, static_cast<std::uint32_t>(bytes.size()));
            m_garbage += old - bytes.size();
            return;
        }
        m_garbage += kLengthSize + old;
    }
    entry = append(bytes);
    if (m_garbage >= kMinGarbageToCompact && m_garbage > m_store.size() / 2) rebuild(m_rows.size());
}

std::uint32_t ArchiveTable::append(std::string_view bytes) {
    const std::size_t at = m_store.size();
    const std::size_t size = bytes.size();
    if (at > kMaxStoreBytes - kLengthSize || size > kMaxStoreBytes - kLengthSize - at) throw std::bad_alloc();
    // The text may be a cell of this table, which growing the store would move.
    const auto address = reinterpret_cast<std::uintptr_t>(bytes.data());
    const auto first = reinterpret_cast<std::uintptr_t>(m_store.data());
    const bool inside = m_store.size() > 0 && address >= first && address < first + at;
    const std::size_t from = inside ? static_cast<std::size_t>(address - first) : 0;
    m_store.resize(at + kLengthSize + size);
    char *out = m_store.data() + at;
    le::PutU32(out, static_cast<std::uint32_t>(size));
    std::memcpy(out + kLengthSize, inside ? m_store.data() + from : bytes.data(), size);
    return static_cast<std::uint32_t>(at);
}

void ArchiveTable::ensureRow(int row) {
    const std::size_t have = m_rows.size();
    const std::size_t want = Index(row) + 1;
    if (want <= have) return;
    // Handles stay a permutation of 0 .. rows - 1, so a new row takes the next handle.
    m_rows.resize(want);
    for (std::size_t r = have; r < want; ++r)
        m_rows[r] = static_cast<std::uint32_t>(r);
    for (auto &column : m_entries)
        column.resize(want, kNoEntry);
}

void ArchiveTable::ensureColumn(int col) {
    while (m_entries.size() <= Index(col))
        m_entries.emplace_back(m_rows.size(), kNoEntry);
}

void ArchiveTable::rebuild(std::size_t keepRows) {
    std::size_t live = 0;
    for (const auto &column : m_entries)
        for (std::size_t r = 0; r < keepRows; ++r)
            if (const std::uint32_t at = column[m_rows[r]]; at != kNoEntry)
                live += kLengthSize + entryLength(at);
    PodBuffer<char> store;
    store.reserve(live);
    std::vector<PodBuffer<std::uint32_t>> entries;
    entries.reserve(m_entries.size());
    for (const auto &column : m_entries) {
        PodBuffer<std::uint32_t> &out = entries.emplace_back(keepRows);
        for (std::size_t r = 0; r < keepRows; ++r) {
            const std::uint32_t at = column[m_rows[r]];
            if (at == kNoEntry) {
                out[r] = kNoEntry;
                continue;
            }
            const std::size_t size = kLengthSize + entryLength(at);
            out[r] = static_cast<std::uint32_t>(store.size());
            store.resize(store.size() + size);
            std::memcpy(store.data() + out[r], m_store.data() + at, size);
        }
    }
    PodBuffer<std::uint32_t> rows(keepRows);
    for (std::size_t r = 0; r < keepRows; ++r)
        rows[r] = static_cast<std::uint32_t>(r);
    m_store.swap(store);
    m_entries.swap(entries);
    m_rows.swap(rows);
    m_garbage = 0;
}

void ArchiveTable::reserve(int cols, int rows) {
    if (rows <= 0) return;
    ensureRow(rows - 1);
    if (cols > 0) ensureColumn(cols - 1);
}

void ArchiveTable::moveRow(int from, int to) {
    if (from == to || from < 0 || to < 0) return;
    ensureRow(std::max(from, to));
    std::uint32_t *first = m_rows.data();
    if (from < to) {
        std::rotate(first + from, first + from + 1, first + to + 1);
    } else {
        std::rotate(first + to, first + from, first + from + 1);
    }
}

void ArchiveTable::swapRows(int a, int b) {
    if (a == b || a < 0 || b < 0) return;
    ensureRow(std::max(a, b));
    std::swap(m_rows[Index(a)], m_rows[Index(b)]);
}

void ArchiveTable::clearRowsFrom(int firstRow) {
    firstRow = std::max(firstRow, 0);
    if (Index(firstRow) < m_rows.size()) rebuild(Index(firstRow));
}

void ArchiveTable::adopt(PodBuffer<char> store, std::vector<PodBuffer<std::uint32_t>> entries, int cols,
                         int rows) {
    assert(cols >= 0 && rows >= 0 && entries.size() == Index(cols));
    assert(store.size() <= kMaxStoreBytes);
    PodBuffer<std::uint32_t> handles(Index(std::max(rows, 0)));
    for (std::size_t r = 0; r < handles.size(); ++r)
        handles[r] = static_cast<std::uint32_t>(r);
    m_store.swap(store);
    m_entries.swap(entries);
    m_rows.swap(handles);
    m_colCount = std::max(cols, 0);
    m_rowCount = std::max(rows, 0);
    m_garbage = 0;
}

void ArchiveTable::swap(ArchiveTable &other) noexcept {
    std::swap(m_colCount, other.m_colCount);
    std::swap(m_rowCount, other.m_rowCount);
    m_store.swap(other.m_store);
    m_entries.swap(other.m_entries);
    m_rows.swap(other.m_rows);
    std::swap(m_garbage, other.m_garbage);
    std::swap(m_archiveFormat, other.m_archiveFormat);
    std::swap(m_channels, other.m_channels);
}

bool TableIsEmpty(const ArchiveTable &table) {
    return table.cellBytes(column::kNumber, 1).empty();
}

} // namespace velda
