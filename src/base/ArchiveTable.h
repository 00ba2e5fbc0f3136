// The archive table: the one store of the archive, a grid of Windows-1251 text cells.
#pragma once

#include <QString>

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

namespace velda {

/// A rectangular table of text cells: row 0 holds the headers, row i + 1 record i; columns 6-9 and 10-13
/// are the two channel slots. `colCount()` x `rowCount()` is the shown size. Cells outside it keep their
/// texts and show again when the table grows; writes are allowed anywhere (non-negative indices).
/// Cells are held as Windows-1251 bytes, the code page of the program's texts and of project files.
/// Not thread-safe: one thread at a time (the fill writes a detached table that the GUI swaps in).
class ArchiveTable {
public:
    static constexpr int kInitialColCount = 10;
    static constexpr int kInitialRowCount = 9;
    static constexpr int kMaxColCount = 14;

    ArchiveTable() = default;

    [[nodiscard]] int colCount() const { return m_colCount; }
    [[nodiscard]] int rowCount() const { return m_rowCount; }
    void setColCount(int count);
    void setRowCount(int count);

    /// Cell text; the empty text for a cell never written.
    [[nodiscard]] QString cell(int col, int row) const;
    /// Characters outside Windows-1251 are stored as '?'.
    void setCell(int col, int row, QStringView text);

    /// Raw Windows-1251 bytes of a cell (a view valid until the table is next changed).
    [[nodiscard]] std::string_view cellBytes(int col, int row) const;
    void setCellBytes(int col, int row, std::string_view bytes);
    [[nodiscard]] bool cellIsEmpty(int col, int row) const { return cellBytes(col, row).empty(); }

    /// Moves the whole stored row `from` to position `to`, shifting the rows between by one (all stored
    /// columns move, also those beyond colCount()). Both must be below the stored row extent or rowCount().
    void moveRow(int from, int to);
    void swapRows(int a, int b);

    /// Empties every stored cell of rows `firstRow` and below (also those beyond the shown size).
    void clearRowsFrom(int firstRow);

    /// Gives rows 0 to rows - 1 storage for `cols` cells each ahead of many writes (a project load); no
    /// cell changes.
    void reserve(int cols, int rows);

    /// Number of rows that have storage (at least rowCount() after any write below it).
    [[nodiscard]] int storedRowCount() const { return static_cast<int>(m_rows.size()); }

    void swap(ArchiveTable &other) noexcept;

private:
    using Row = std::vector<std::string>;
    void ensureRow(int row);

    int m_colCount = kInitialColCount;
    int m_rowCount = kInitialRowCount;
    std::vector<Row> m_rows;
};

/// The table counts as not read while cell (0, 1) is empty.
[[nodiscard]] bool TableIsEmpty(const ArchiveTable &table);

/// Which channels the last filled record or the opened project holds; both false at start. Written by the
/// fill (exchange thread, while the GUI waits in the progress dialog) and by project open (GUI thread).
extern std::atomic<bool> Channel1Present;
extern std::atomic<bool> Channel2Present;

} // namespace velda
