// The archive table: the one store of the archive, a grid of Windows-1251 text cells.
#pragma once

#include "base/LittleEndian.h"

#include <QString>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace velda {

/// A growable array of trivially copyable values in one heap block. Growing leaves the new elements
/// uninitialised unless a fill value is given, and may move the block.
template <typename T>
class PodBuffer {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    PodBuffer() = default;
    explicit PodBuffer(std::size_t size) { resize(size); }
    PodBuffer(std::size_t size, T fill) { resize(size, fill); }
    PodBuffer(const PodBuffer &other) {
        reserve(other.m_size);
        m_size = other.m_size;
        if (m_size > 0) std::memcpy(m_data, other.m_data, m_size * sizeof(T));
    }
    PodBuffer(PodBuffer &&other) noexcept
        : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)),
          m_capacity(std::exchange(other.m_capacity, 0)) {}
    PodBuffer &operator=(PodBuffer other) noexcept {
        swap(other);
        return *this;
    }
    ~PodBuffer() { std::free(m_data); }

    void swap(PodBuffer &other) noexcept {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_capacity, other.m_capacity);
    }

    [[nodiscard]] T *data() { return m_data; }
    [[nodiscard]] const T *data() const { return m_data; }
    [[nodiscard]] std::size_t size() const { return m_size; }
    [[nodiscard]] std::size_t capacity() const { return m_capacity; }
    [[nodiscard]] bool empty() const { return m_size == 0; }
    T &operator[](std::size_t i) { return m_data[i]; }
    const T &operator[](std::size_t i) const { return m_data[i]; }
    T *begin() { return m_data; }
    T *end() { return m_data + m_size; }

    /// Room for `capacity` elements in exactly that many (the block is not rounded up).
    void reserve(std::size_t capacity) {
        if (capacity <= m_capacity) return;
        if (capacity > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
        void *grown = std::realloc(m_data, capacity * sizeof(T));
        if (!grown) throw std::bad_alloc();
        m_data = static_cast<T *>(grown);
        m_capacity = capacity;
    }
    /// New elements are uninitialised; the block at least doubles when it has to grow.
    void resize(std::size_t size) {
        if (size > m_capacity) reserve(std::max(size, m_capacity * 2));
        m_size = size;
    }
    void resize(std::size_t size, T fill) {
        const std::size_t old = m_size;
        resize(size);
        for (std::size_t i = old; i < size; ++i)
            m_data[i] = fill;
    }

private:
    T *m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

/// Which of the instrument's two channels a table holds (also the two flags a project file stores).
struct ChannelFlags {
    bool channel1 = false;
    bool channel2 = false;
    friend bool operator==(const ChannelFlags &, const ChannelFlags &) = default;
};

/// A rectangular table of text cells: row 0 holds the headers, row i + 1 record i; columns 6-9 and 10-13
/// are the two channel slots. `colCount()` x `rowCount()` is the shown size. Cells outside it keep their
/// texts and show again when the table grows; writes are allowed anywhere (non-negative indices).
/// Cells are held as Windows-1251 bytes, the code page of the program's texts and of project files.
///
/// Storage: one byte store holds every text as a cell entry laid out as in a project file (a 32-bit
/// little-endian length, then the bytes); one array per column holds the store offset of each row's
/// entry, indexed by the row's handle; a row position maps to a handle, so moving, swapping and sorting
/// rows move handles, never texts. A loaded project file becomes the store as read.
///
/// Besides its cells a table carries what it was made from: the archive format (0, 1 or 2) that decides
/// which sensor table names its probes, and its channel flags. The fill, a project load and a merge set
/// them; copies, moves and swap carry them; row operations leave them alone.
/// Not thread-safe: one thread at a time (the fill writes a detached table that the GUI swaps in).
class ArchiveTable {
public:
    static constexpr int kInitialColCount = 10;
    static constexpr int kInitialRowCount = 9;
    static constexpr int kMaxColCount = 14;
    /// Size of the length field that precedes each text in the store.
    static constexpr std::size_t kLengthSize = 4;
    /// The offset of a cell that holds no entry (the empty text).
    static constexpr std::uint32_t kNoEntry = 0xFFFFFFFFU;
    /// Largest byte store: offsets are 32-bit and kNoEntry is reserved.
    static constexpr std::size_t kMaxStoreBytes = 0xFFFFFFFFU;

    ArchiveTable() = default;

    /// The archive format the table was filled in: 0, 1 or 2 (0 for a new table); nullopt when the table
    /// does not know it (a project file stores none), and the instrument's format in force applies.
    [[nodiscard]] std::optional<std::uint8_t> archiveFormat() const { return m_archiveFormat; }
    void setArchiveFormat(std::optional<std::uint8_t> format) { m_archiveFormat = format; }
    /// The format that names the table's probes: its own, else `inForce`.
    [[nodiscard]] std::uint8_t archiveFormatOr(std::uint8_t inForce) const {
        return m_archiveFormat.value_or(inForce);
    }
    /// The channels the table holds (neither for a new table).
    [[nodiscard]] ChannelFlags channels() const { return m_channels; }
    void setChannels(ChannelFlags channels) { m_channels = channels; }

    [[nodiscard]] int colCount() const { return m_colCount; }
    [[nodiscard]] int rowCount() const { return m_rowCount; }
    void setColCount(int count);
    void setRowCount(int count);

    /// Cell text; the empty text for a cell never written.
    [[nodiscard]] QString cell(int col, int row) const;
    /// Characters outside Windows-1251 are stored as '?'.
    void setCell(int col, int row, QStringView text);

    /// Raw Windows-1251 bytes of a cell (a view valid until the table is next changed; never a null pointer).
    /// Inline: exports and the sort read every cell through it.
    [[nodiscard]] std::string_view cellBytes(int col, int row) const {
        // An empty cell is a view of an empty text rather than a null view, so that callers may hand its
        // pointer to memcpy and the like.
        if (row < 0 || col < 0 || static_cast<std::size_t>(row) >= m_rows.size() ||
            static_cast<std::size_t>(col) >= m_entries.size())
            return std::string_view("");
        const std::uint32_t at =
            m_entries[static_cast<std::size_t>(col)][m_rows[static_cast<std::size_t>(row)]];
        if (at == kNoEntry) return std::string_view("");
        const char *entry = m_store.data() + at;
        return {entry + kLengthSize, le::U32(entry)};
    }
    /// `bytes` may be a view of a cell of this table.
    void setCellBytes(int col, int row, std::string_view bytes);
    [[nodiscard]] bool cellIsEmpty(int col, int row) const { return cellBytes(col, row).empty(); }

    /// Moves the whole stored row `from` to position `to`, shifting the rows between by one (all stored
    /// columns move, also those beyond colCount()). Both must be below the stored row extent or rowCount().
    void moveRow(int from, int to);
    void swapRows(int a, int b);

    /// Empties every stored cell of rows `firstRow` and below (also those beyond the shown size).
    void clearRowsFrom(int firstRow);

    /// Gives rows 0 to rows - 1 storage for `cols` cells each ahead of many writes; no cell changes.
    void reserve(int cols, int rows);

    /// Calls `visit(entry)` for cells (col, firstRow) to (col, firstRow + rows - 1) in order, `entry` being
    /// the cell as a project file stores it: a 32-bit little-endian length, then the text.
    template <typename Visit>
    void forEachEntry(int col, int firstRow, int rows, Visit &&visit) const {
        static constexpr char kEmptyEntry[kLengthSize] = {};
        const PodBuffer<std::uint32_t> *column = col >= 0 && static_cast<std::size_t>(col) < m_entries.size()
                                                     ? &m_entries[static_cast<std::size_t>(col)]
                                                     : nullptr;
        const std::size_t stored = column ? m_rows.size() : 0;
        const auto first = static_cast<std::size_t>(std::max(firstRow, 0));
        for (std::size_t row = first; row < first + static_cast<std::size_t>(std::max(rows, 0)); ++row) {
            const std::uint32_t at = row < stored ? (*column)[m_rows[row]] : kNoEntry;
            if (at == kNoEntry) {
                visit(std::string_view(kEmptyEntry, kLengthSize));
            } else {
                const char *entry = m_store.data() + at;
                visit(std::string_view(entry, kLengthSize + le::U32(entry)));
            }
        }
    }

    /// Number of rows that have storage (at least rowCount() after any write below it).
    [[nodiscard]] int storedRowCount() const { return static_cast<int>(m_rows.size()); }

    /// Replaces the whole table by `cols` x `rows` cells whose entries lie in `store`: `entries[c][r]` is
    /// the offset in `store` of the entry of cell (c, r) or kNoEntry. The caller has checked that every
    /// entry lies whole inside `store`; `entries` holds `cols` arrays of `rows` offsets. Both sizes become
    /// the shown size; the archive format and the channel flags are kept. For the project loader, which
    /// reads a file straight into the store.
    void adopt(PodBuffer<char> store, std::vector<PodBuffer<std::uint32_t>> entries, int cols, int rows);

    void swap(ArchiveTable &other) noexcept;

private:
    [[nodiscard]] std::uint32_t entryLength(std::uint32_t at) const;
    [[nodiscard]] std::uint32_t *existingEntry(int col, int row);
    void ensureRow(int row);
    void ensureColumn(int col);
    std::uint32_t append(std::string_view bytes);
    /// Rewrites the store with the entries of the first `keepRows` rows in column order and makes every
    /// row's handle its position.
    void rebuild(std::size_t keepRows);

    int m_colCount = kInitialColCount;
    int m_rowCount = kInitialRowCount;
    PodBuffer<char> m_store;
    std::vector<PodBuffer<std::uint32_t>> m_entries; ///< by column, indexed by row handle
    PodBuffer<std::uint32_t> m_rows;                 ///< the handle of the row at each position
    std::size_t m_garbage = 0;                       ///< store bytes no cell refers to any more
    std::optional<std::uint8_t> m_archiveFormat = 0;
    ChannelFlags m_channels;
};

/// The table counts as not read while cell (0, 1) is empty.
[[nodiscard]] bool TableIsEmpty(const ArchiveTable &table);

/// Which channels the shown table holds; both false at start. Written only by PublishChannels
/// (archive/ChannelLayout.h) on the thread that owns the shown table, once a table has become the shown
/// one. Readers of a table use the table's own channels().
extern std::atomic<bool> Channel1Present;
extern std::atomic<bool> Channel2Present;

} // namespace velda
