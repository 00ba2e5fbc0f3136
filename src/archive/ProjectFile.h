// Project files (*.vd): the archive table's cells, column by column, with the two channel flags.
#pragma once

#include "base/ArchiveTable.h"
#include "base/Result.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

class QFile;

namespace velda {

/// Why a project file could not be saved or opened.
struct ProjectError {
    enum class Kind {
        OpenFailed,     ///< the file cannot be opened or created
        ReadFailed,     ///< reading failed or the file changed while it was read
        WriteFailed,    ///< writing, or replacing the old file, failed
        Truncated,      ///< the file ends inside its header or inside a cell entry
        NegativeCount,  ///< a column or row count below zero
        CountTooLarge,  ///< more cells than the file has room for
        NegativeLength, ///< a cell claims a length below zero
        CellTooLong,    ///< a cell claims more bytes than the rest of the file holds
        FileTooLarge,   ///< the file is larger than a table can hold (4 GiB)
    };
    Kind kind = Kind::OpenFailed;
    /// One line for the user in the language in force, naming the file and, for a content fault, the
    /// offset and the cell.
    QString message;
    /// Byte offset of the fault in the file; -1 when the fault is not about content.
    qint64 offset = -1;
};

/// A value or the error that prevented it.
template <typename T>
using ProjectResult = Result<T, ProjectError>;

/// What an opened project file held besides its cells.
struct LoadedProject {
    ChannelFlags flags;
    int colCount = 0; ///< as stored (the window shows 14 or 10 columns by the flags)
    int rowCount = 0; ///< as stored, header row included
    /// The value for RecordCount: rowCount - 1, or 0 for a file without rows.
    std::uint32_t recordCount = 0;
};

/// Writes `table` (its shown size, every cell as Windows-1251 bytes) with `flags` (for the shown table its
/// own channels()) to `path`. The file is written under a temporary name, synced to disk and renamed over
/// `path` only when complete (the folder is synced after the rename), so a failed save leaves an existing
/// file intact. Returns the number of bytes written. Any thread that owns `table`.
[[nodiscard]] ProjectResult<qint64> SaveProject(const ArchiveTable &table, const QString &path,
                                                ChannelFlags flags);

/// Reads the project file at `path` into a new table in one pass and checks all of it first: non-negative
/// counts, counts that the file's size can hold, cell lengths within the rest of the file (bytes after the
/// last cell are ignored). The file's bytes become the table's store as they were read. Only a file that
/// passed replaces `*table` whole (size as stored, every cell, no text of the earlier content left anywhere;
/// the table's channels() are the file's flags and its archiveFormat() is nullopt, as a file stores none:
/// the instrument's ArchiveFormat in force names its probes whenever it is shown), gives the columns
/// beyond the stored ones their headers in the language in force, and publishes the table's channels
/// (PublishChannels). On an error the table and the flags are unchanged. A cell's text ends early at a zero
/// byte among its bytes. The caller sets RecordCount from the result and lays the window out for the flags.
[[nodiscard]] ProjectResult<LoadedProject> LoadProject(ArchiveTable &table, const QString &path);

/// As LoadProject, without touching the process-wide flags (for tools and tests); the table carries its
/// channels and unknown archive format all the same.
[[nodiscard]] ProjectResult<LoadedProject> ReadProject(ArchiveTable &table, const QString &path);

/// Writes a project file cell by cell in the order the file keeps them (column by column, each from row 0
/// down) as SaveProject does, for a writer that does not hold the table: open(), then every one of the
/// `cols` x `rows` cells, then commit(). Nothing replaces the target until commit() succeeds; after a
/// failed write the rest is skipped and commit() reports it. One thread.
class ProjectWriter {
public:
    explicit ProjectWriter(QString path);
    ~ProjectWriter();
    ProjectWriter(const ProjectWriter &) = delete;
    ProjectWriter &operator=(const ProjectWriter &) = delete;

    /// Creates the new file beside the target and writes the flags and the counts.
    [[nodiscard]] ProjectResult<Done> open(ChannelFlags flags, int cols, int rows);
    /// The next cell, its Windows-1251 bytes.
    void putText(std::string_view text);
    /// The next cell as a table stores it: a 32-bit little-endian length, then the bytes.
    void putEntry(std::string_view entry);
    /// Makes the file the target; the number of bytes written.
    [[nodiscard]] ProjectResult<qint64> commit();

private:
    struct Out;
    void putBytes(const char *data, std::size_t size);

    QString m_path;
    std::unique_ptr<Out> m_out;
};

/// Reads a project file a row at a time holding a small buffer per column, not the file: open() checks the
/// whole file as ReadProject does (the same errors) and keeps its header row; nextRow() then hands out the
/// cells of rows 1, 2, ... in turn, read as ReadProject reads them. The file is open only during open() and
/// from the first nextRow() to close(); a file that changed in between is refused as changed while read.
/// One thread.
class ProjectRowReader {
public:
    explicit ProjectRowReader(QString path);
    ~ProjectRowReader();
    ProjectRowReader(const ProjectRowReader &) = delete;
    ProjectRowReader &operator=(const ProjectRowReader &) = delete;

    [[nodiscard]] ProjectResult<LoadedProject> open();
    /// Row 0's cell of column `col`; empty beyond the stored columns or in a file without rows.
    [[nodiscard]] std::string_view header(int col) const;
    /// Puts the next row's cells, one per stored column, into `cells[0 .. colCount - 1]`: views valid until
    /// the next call. Only as many calls as the file has rows after the header.
    [[nodiscard]] ProjectResult<Done> nextRow(std::string_view *cells);
    /// Lets the file and the column buffers go (the header row stays).
    void close();

private:
    struct Column;

    QString m_path;
    qint64 m_size = 0;
    int m_rows = 0;
    int m_row = 0; ///< rows handed out, the header row included
    std::vector<std::string> m_headers;
    std::vector<Column> m_columns;
    std::unique_ptr<QFile> m_file;
};

} // namespace velda
