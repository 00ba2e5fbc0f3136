// Project file writing and checked reading: flags, little-endian counts, cell entries column by column.
#include "archive/ProjectFile.h"

#include "archive/ChannelLayout.h"
#include "base/ArchiveTable.h"
#include "base/FileWriter.h"
#include "base/LittleEndian.h"
#include "base/TableHeader.h"
#include "base/Texts.h"
#include "device/Exchange.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace velda {
namespace {

constexpr qint64 kHeaderSize = 10; // two flag bytes, column count, row count
constexpr std::size_t kLengthSize = ArchiveTable::kLengthSize;
// The save hands the kernel this much at a time: large enough that the calls cost nothing beside the
// copying, small enough to stay in the cache.
constexpr std::size_t kWriteChunk = 1 << 20;

// Messages are picked in the language in force when the file is opened or saved.
constexpr TextPair TxtOffset{" (смещение %1)", " (offset %1)"};
constexpr TextPair TxtCannotOpen{"не удаётся открыть: %1", "cannot open: %1"};
constexpr TextPair TxtNoSuchFile{"файл не найден", "no such file"};
constexpr TextPair TxtIsFolder{"это папка, а не файл", "is a folder, not a file"};
constexpr TextPair TxtNoReadPermission{"нет прав на чтение", "no permission to read it"};
constexpr TextPair TxtTooShort{"в файле %1 байт, а в файле проекта их не меньше %2",
                               "the file holds %1 bytes, a project file has at least %2"};
constexpr TextPair TxtNegativeColumns{"число столбцов %1 отрицательно", "the column count %1 is negative"};
constexpr TextPair TxtNegativeRows{"число строк %1 отрицательно", "the row count %1 is negative"};
constexpr TextPair TxtTooManyCells{
    "%1 столбцов по %2 строк требуют больше ячеек, чем вмещают %3 байт после заголовка (каждая ячейка "
    "занимает не меньше 4)",
    "%1 columns of %2 rows claim more cells than the %3 bytes after the header can hold (each cell takes at "
    "least 4)"};
constexpr TextPair TxtNoCellsTooLarge{
    "%1 столбцов по %2 строк: в таблице без ячеек их не больше %3",
    "%1 columns of %2 rows: a table without cells has at most %3 of either"};
constexpr TextPair TxtEndsInLength{"файл обрывается внутри длины ячейки %1 столбца %2",
                                   "the file ends inside the length of cell %1 of column %2"};
constexpr TextPair TxtNegativeLength{"ячейка %1 столбца %2 заявляет %3 байт",
                                     "cell %1 of column %2 claims %3 bytes"};
constexpr TextPair TxtCellTooLong{"ячейка %1 столбца %2 заявляет %3 байт, а осталось %4",
                                  "cell %1 of column %2 claims %3 bytes, %4 remain"};
constexpr TextPair TxtFileTooLarge{"в файле %1 байт, а таблица вмещает не больше %2",
                                   "the file holds %1 bytes, a table holds at most %2"};
constexpr TextPair TxtCannotRead{"не удаётся прочитать: %1", "cannot read: %1"};
constexpr TextPair TxtChanged{"файл изменился во время чтения", "the file changed while it was read"};

QString FileName(const QString &path) {
    return QFileInfo(path).fileName();
}

ProjectError Fault(ProjectError::Kind kind, const QString &path, qint64 offset, const QString &what) {
    QString message = FileName(path) + QStringLiteral(": ") + what;
    if (offset >= 0) message += Pick(TxtOffset).arg(offset);
    return ProjectError{kind, message, offset};
}

// Why `path` cannot be opened for reading, named from the file itself where it can be.
QString OpenReason(const QString &path, const QFileDevice &file) {
    const QFileInfo info(path);
    if (!info.exists()) return Pick(TxtNoSuchFile);
    if (info.isDir()) return Pick(TxtIsFolder);
    if (!info.isReadable()) return Pick(TxtNoReadPermission);
    return file.errorString();
}

// Reads up to `size` bytes at the start of the file; the count actually read, or -1 on a failure.
qint64 ReadWhole(int fd, char *out, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, out + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<qint64>(done);
}

// Where a zero byte ends a cell's text early: its index among the `length` bytes at `text`, or `length`.
// `room` bytes from `text` on may be read; a short text is tested as one word.
std::size_t TextEnd(const char *text, std::size_t length, std::size_t room) {
    constexpr std::size_t kWord = sizeof(std::uint64_t);
    if constexpr (std::endian::native == std::endian::little) {
        if (length <= kWord && room >= kWord) {
            std::uint64_t word;
            std::memcpy(&word, text, kWord);
            // A set high bit marks a zero byte; the lowest mark is exact, which is all that is used.
            std::uint64_t zeros = (word - 0x0101010101010101ULL) & ~word & 0x8080808080808080ULL;
            if (length < kWord) zeros &= (std::uint64_t{1} << (8 * length)) - 1;
            return zeros == 0 ? length : static_cast<std::size_t>(std::countr_zero(zeros)) / 8;
        }
    }
    if (length == 0) return 0;
    const void *zero = std::memchr(text, 0, length);
    return zero ? static_cast<std::size_t>(static_cast<const char *>(zero) - text) : length;
}

// The checks a file's size alone decides: room for the header, and no more bytes than a table holds.
std::optional<ProjectError> SizeFault(const QString &path, qint64 fileSize) {
    using Kind = ProjectError::Kind;
    if (fileSize < kHeaderSize)
        return Fault(Kind::Truncated, path, fileSize, Pick(TxtTooShort).arg(fileSize).arg(kHeaderSize));
    if (static_cast<quint64>(fileSize) > ArchiveTable::kMaxStoreBytes)
        return Fault(Kind::FileTooLarge, path, -1,
                     Pick(TxtFileTooLarge).arg(fileSize).arg(ArchiveTable::kMaxStoreBytes));
    return std::nullopt;
}

// Checks the `size` bytes of a project file cell by cell: non-negative counts that the size can hold, and
// every cell entry inside the file. `source.at(offset, n)` hands out the n bytes from `offset` on (all
// within `size`), or nullptr when they cannot be read, which `source.failure()` then describes. Calls
// `visit(col, row, at, textSize)` for every cell entry in file order; a visit that returns false stops the
// check with `source.failure()`. Returns the header's flags and counts.
template <typename Source, typename Visit>
ProjectResult<LoadedProject> CheckCells(const QString &path, std::size_t size, Source &source,
                                        Visit &&visit) {
    using Kind = ProjectError::Kind;
    const char *header = source.at(0, kHeaderSize);
    if (!header) return source.failure();
    LoadedProject project;
    project.flags = ChannelFlags{header[0] != 0, header[1] != 0};
    const std::int32_t cols = le::I32(header + 2);
    const std::int32_t rows = le::I32(header + 6);
    if (cols < 0) return Fault(Kind::NegativeCount, path, 2, Pick(TxtNegativeColumns).arg(cols));
    if (rows < 0) return Fault(Kind::NegativeCount, path, 6, Pick(TxtNegativeRows).arg(rows));
    // Every cell takes at least its length field, so the counts alone can be checked against the size.
    const qint64 cells = static_cast<qint64>(cols) * rows;
    const qint64 room = static_cast<qint64>(size) - kHeaderSize;
    if (cells > room / static_cast<qint64>(kLengthSize))
        return Fault(Kind::CountTooLarge, path, 2, Pick(TxtTooManyCells).arg(cols).arg(rows).arg(room));
    // A count whose partner is zero stores no cell, so the size cannot bound it; it is held to the widest
    // table, as the window will show cells in it all the same. Bytes after the header do not raise the
    // bound: the table would save without them and its own file would not open again.
    if ((cols == 0 || rows == 0) && std::max(cols, rows) > ArchiveTable::kMaxColCount)
        return Fault(Kind::CountTooLarge, path, 2,
                     Pick(TxtNoCellsTooLarge).arg(cols).arg(rows).arg(ArchiveTable::kMaxColCount));

    std::size_t at = kHeaderSize;
    for (int col = 0; col < cols; ++col) {
        for (int row = 0; row < rows; ++row) {
            if (size - at < kLengthSize)
                return Fault(Kind::Truncated, path, static_cast<qint64>(at),
                             Pick(TxtEndsInLength).arg(row).arg(col));
            const char *entry = source.at(at, kLengthSize);
            if (!entry) return source.failure();
            const std::int32_t length = le::I32(entry);
            if (length < 0)
                return Fault(Kind::NegativeLength, path, static_cast<qint64>(at),
                             Pick(TxtNegativeLength).arg(row).arg(col).arg(length));
            const std::size_t remain = size - at - kLengthSize;
            const auto textSize = static_cast<std::size_t>(length);
            if (textSize > remain)
                return Fault(
                    Kind::CellTooLong, path, static_cast<qint64>(at),
                    Pick(TxtCellTooLong).arg(row).arg(col).arg(length).arg(static_cast<qint64>(remain)));
            if (!visit(col, row, at, textSize)) return source.failure();
            at += kLengthSize + textSize;
        }
    }
    project.colCount = cols;
    project.rowCount = rows;
    project.recordCount = rows > 0 ? static_cast<std::uint32_t>(rows - 1) : 0U;
    return project;
}

// The whole file in memory, for the loader.
struct WholeFile {
    char *data;
    const char *at(std::size_t offset, std::size_t) const { return data + offset; }
    static ProjectError failure() { return {}; }
};

ProjectResult<LoadedProject> ReadInto(ArchiveTable &loaded, const QString &path) {
    using Kind = ProjectError::Kind;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Fault(Kind::OpenFailed, path, -1, Pick(TxtCannotOpen).arg(OpenReason(path, file)));
    const qint64 fileSize = file.size();
    if (auto fault = SizeFault(path, fileSize)) return *fault;
    const auto size = static_cast<std::size_t>(fileSize);
    const int fd = file.handle();
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    // The file is read once, straight into what becomes the table's store; the pass below checks it and
    // notes where each cell's entry is.
    PodBuffer<char> bytes(size);
    const qint64 got = ReadWhole(fd, bytes.data(), size);
    if (got < 0)
        return Fault(Kind::ReadFailed, path, -1,
                     Pick(TxtCannotRead).arg(QString::fromLocal8Bit(std::strerror(errno))));
    if (got != fileSize) return Fault(Kind::ReadFailed, path, got, Pick(TxtChanged));

    std::vector<PodBuffer<std::uint32_t>> entries;
    char *data = bytes.data();
    std::uint32_t *out = nullptr;
    WholeFile whole{data};
    auto checked = CheckCells(path, size, whole, [&](int, int row, std::size_t at, std::size_t textSize) {
        if (row == 0) out = entries.emplace_back(static_cast<std::size_t>(le::I32(data + 6))).data();
        out[row] = static_cast<std::uint32_t>(at);
        // A zero byte ends the text early, as it always has for these files.
        const std::size_t remain = size - at - kLengthSize;
        if (const std::size_t end = TextEnd(data + at + kLengthSize, textSize, remain); end != textSize)
            le::PutU32(data + at, static_cast<std::uint32_t>(end));
        return true;
    });
    if (!checked) return checked;
    const LoadedProject &project = checked.value();
    // Columns of a file without rows have no cell to announce them.
    while (entries.size() < static_cast<std::size_t>(project.colCount))
        entries.emplace_back();
    loaded.adopt(std::move(bytes), std::move(entries), project.colCount, project.rowCount);
    return checked;
}

// Collects the file in chunks and hands each full one to the file writer, which asks the kernel to start
// writing it out at once: the closing sync then waits for little more than the last of them.
class ChunkWriter {
public:
    explicit ChunkWriter(FileWriter &file) : m_file(file), m_chunk(kWriteChunk) {}

    FileResult<Done> put(const char *data, std::size_t size) {
        if (kWriteChunk - m_used < size) {
            if (auto flushed = flush(); !flushed) return flushed;
            if (size > kWriteChunk) return m_file.write(data, size);
        }
        Copy(m_chunk.data() + m_used, data, size);
        m_used += size;
        return Done{};
    }
    FileResult<Done> flush() {
        const std::size_t used = std::exchange(m_used, 0);
        return m_file.write(m_chunk.data(), used);
    }

private:
    // Most cell entries are a few bytes long; two overlapping fixed-size moves copy them without a call.
    static void Copy(char *to, const char *from, std::size_t size) {
        if (size >= 8 && size <= 16) {
            std::memcpy(to, from, 8);
            std::memcpy(to + size - 8, from + size - 8, 8);
        } else if (size >= 4 && size < 8) {
            std::memcpy(to, from, 4);
            std::memcpy(to + size - 4, from + size - 4, 4);
        } else if (size > 0) {
            std::memcpy(to, from, size);
        }
    }

    FileWriter &m_file;
    PodBuffer<char> m_chunk;
    std::size_t m_used = 0;
};

// A writer's error as a project error: the file's name and the reason, as every project message shows it.
ProjectError SaveFault(ProjectError::Kind kind, const QString &path, FileError error) {
    error.path = FileName(path);
    return ProjectError{kind, error.message(), -1};
}

// A file read front to back in chunks, for checking it without holding it.
class SequentialSource {
public:
    SequentialSource(const QString &path, int fd) : m_path(path), m_fd(fd) {}

    const char *at(std::size_t offset, std::size_t n) {
        if (offset >= m_start && offset + n <= m_start + m_fill) return m_buffer.data() + (offset - m_start);
        // The checks only move forward: what lies before `offset` is not asked for again.
        const std::size_t keep = offset < m_start + m_fill ? m_start + m_fill - offset : 0;
        if (keep > 0) std::memmove(m_buffer.data(), m_buffer.data() + (offset - m_start), keep);
        m_start = offset;
        m_fill = keep;
        const std::size_t want = std::max(n, kWriteChunk);
        m_buffer.reserve(want);
        while (m_fill < n) {
            const ssize_t got =
                ::pread(m_fd, m_buffer.data() + m_fill, want - m_fill, static_cast<off_t>(m_start + m_fill));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                m_failure = got < 0
                                ? Fault(ProjectError::Kind::ReadFailed, m_path, -1,
                                        Pick(TxtCannotRead).arg(QString::fromLocal8Bit(std::strerror(errno))))
                                : Fault(ProjectError::Kind::ReadFailed, m_path,
                                        static_cast<qint64>(m_start + m_fill), Pick(TxtChanged));
                return nullptr;
            }
            m_fill += static_cast<std::size_t>(got);
        }
        return m_buffer.data();
    }
    [[nodiscard]] ProjectError failure() const { return m_failure; }

private:
    const QString &m_path;
    int m_fd;
    PodBuffer<char> m_buffer;
    std::size_t m_start = 0; ///< file offset of the buffer's first byte
    std::size_t m_fill = 0;  ///< bytes held
    ProjectError m_failure;
};

// How much of each column a row reader holds at a time.
constexpr std::size_t kColumnChunk = 64 << 10;

} // namespace

struct ProjectWriter::Out {
    explicit Out(const QString &path) : file(path), chunks(file) {}
    FileWriter file;
    ChunkWriter chunks;
    FileResult<Done> written;
    qint64 total = 0;
};

ProjectWriter::ProjectWriter(QString path) : m_path(std::move(path)) {}

ProjectWriter::~ProjectWriter() = default;

ProjectResult<Done> ProjectWriter::open(ChannelFlags flags, int cols, int rows) {
    m_out = std::make_unique<Out>(m_path);
    if (auto opened = m_out->file.open(); !opened) {
        m_out.reset();
        return SaveFault(ProjectError::Kind::OpenFailed, m_path, opened.error());
    }
    char header[kHeaderSize];
    header[0] = flags.channel1 ? '\1' : '\0';
    header[1] = flags.channel2 ? '\1' : '\0';
    le::PutU32(header + 2, static_cast<std::uint32_t>(cols));
    le::PutU32(header + 6, static_cast<std::uint32_t>(rows));
    putBytes(header, sizeof header);
    return Done{};
}

void ProjectWriter::putBytes(const char *data, std::size_t size) {
    if (m_out->written) m_out->written = m_out->chunks.put(data, size);
    m_out->total += static_cast<qint64>(size);
}

void ProjectWriter::putEntry(std::string_view entry) {
    putBytes(entry.data(), entry.size());
}

void ProjectWriter::putText(std::string_view text) {
    char length[kLengthSize];
    le::PutU32(length, static_cast<std::uint32_t>(text.size()));
    putBytes(length, sizeof length);
    putBytes(text.data(), text.size());
}

ProjectResult<qint64> ProjectWriter::commit() {
    FileResult<Done> &written = m_out->written;
    if (written) written = m_out->chunks.flush();
    if (written) written = m_out->file.commit();
    if (!written) return SaveFault(ProjectError::Kind::WriteFailed, m_path, written.error());
    return m_out->total;
}

ProjectResult<qint64> SaveProject(const ArchiveTable &table, const QString &path, ChannelFlags flags) {
    ProjectWriter out(path);
    const int cols = table.colCount();
    const int rows = table.rowCount();
    if (auto opened = out.open(flags, cols, rows); !opened) return opened.error();
    for (int col = 0; col < cols; ++col)
        table.forEachEntry(col, 0, rows, [&](std::string_view entry) { out.putEntry(entry); });
    return out.commit();
}

struct ProjectRowReader::Column {
    std::uint64_t next = 0; ///< file offset of the next byte to read into the buffer
    std::uint64_t end = 0;  ///< where the column's entries end
    PodBuffer<char> buffer;
    std::size_t begin = 0; ///< the next entry's place in the buffer
    std::size_t fill = 0;  ///< bytes held
};

ProjectRowReader::ProjectRowReader(QString path) : m_path(std::move(path)) {}

ProjectRowReader::~ProjectRowReader() = default;

ProjectResult<LoadedProject> ProjectRowReader::open() {
    using Kind = ProjectError::Kind;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return Fault(Kind::OpenFailed, m_path, -1, Pick(TxtCannotOpen).arg(OpenReason(m_path, file)));
    m_size = file.size();
    if (auto fault = SizeFault(m_path, m_size)) return *fault;
    ::posix_fadvise(file.handle(), 0, 0, POSIX_FADV_SEQUENTIAL);
    SequentialSource source(m_path, file.handle());
    std::vector<Column> columns;
    std::vector<std::string> headers;
    auto checked = CheckCells(m_path, static_cast<std::size_t>(m_size), source,
                              [&](int, int row, std::size_t at, std::size_t textSize) {
                                  const std::size_t end = at + kLengthSize + textSize;
                                  if (row == 0) {
                                      const char *text = source.at(at + kLengthSize, textSize);
                                      if (!text) return false;
                                      headers.emplace_back(text, TextEnd(text, textSize, textSize));
                                      columns.emplace_back().next = end;
                                  }
                                  columns.back().end = end;
                                  return true;
                              });
    if (!checked) return checked;
    m_headers = std::move(headers);
    m_columns = std::move(columns);
    m_rows = checked.value().rowCount;
    m_row = 1;
    return checked;
}

std::string_view ProjectRowReader::header(int col) const {
    if (col < 0 || static_cast<std::size_t>(col) >= m_headers.size()) return {};
    return m_headers[static_cast<std::size_t>(col)];
}

ProjectResult<Done> ProjectRowReader::nextRow(std::string_view *cells) {
    using Kind = ProjectError::Kind;
    if (!m_file) {
        // The file is open only while its rows are read, so that a merge of many files holds one at a time.
        m_file = std::make_unique<QFile>(m_path);
        if (!m_file->open(QIODevice::ReadOnly))
            return Fault(Kind::OpenFailed, m_path, -1, Pick(TxtCannotOpen).arg(OpenReason(m_path, *m_file)));
        if (m_file->size() != m_size)
            return Fault(Kind::ReadFailed, m_path, m_file->size(), Pick(TxtChanged));
    }
    const int fd = m_file->handle();
    for (std::size_t col = 0; col < m_columns.size(); ++col) {
        Column &column = m_columns[col];
        const auto offset = [&] { return static_cast<qint64>(column.next - (column.fill - column.begin)); };
        // Makes `n` bytes from the next entry on lie in the buffer; false when the file no longer holds them.
        const auto hold = [&](std::size_t n) {
            if (column.fill - column.begin >= n) return true;
            const std::size_t kept = column.fill - column.begin;
            if (kept > 0) std::memmove(column.buffer.data(), column.buffer.data() + column.begin, kept);
            column.begin = 0;
            column.fill = kept;
            column.buffer.reserve(std::max(n, kColumnChunk));
            while (column.fill < n) {
                const std::size_t room =
                    std::min<std::uint64_t>(column.buffer.capacity() - column.fill, column.end - column.next);
                if (room == 0) return false;
                const ssize_t got =
                    ::pread(fd, column.buffer.data() + column.fill, room, static_cast<off_t>(column.next));
                if (got < 0 && errno == EINTR) continue;
                if (got <= 0) return false;
                column.fill += static_cast<std::size_t>(got);
                column.next += static_cast<std::uint64_t>(got);
            }
            return true;
        };
        if (!hold(kLengthSize)) return Fault(Kind::ReadFailed, m_path, offset(), Pick(TxtChanged));
        const std::int32_t length = le::I32(column.buffer.data() + column.begin);
        if (length < 0 || !hold(kLengthSize + static_cast<std::size_t>(length)))
            return Fault(Kind::ReadFailed, m_path, offset(), Pick(TxtChanged));
        const char *text = column.buffer.data() + column.begin + kLengthSize;
        const auto size = static_cast<std::size_t>(length);
        // A zero byte ends the text early, as the loader reads it.
        cells[col] = std::string_view(text, TextEnd(text, size, column.fill - column.begin - kLengthSize));
        column.begin += kLengthSize + size;
    }
    if (++m_row == m_rows) {
        for (const Column &column : m_columns)
            if (column.next - (column.fill - column.begin) != column.end)
                return Fault(Kind::ReadFailed, m_path, -1, Pick(TxtChanged));
    }
    return Done{};
}

void ProjectRowReader::close() {
    m_columns.clear();
    m_columns.shrink_to_fit();
    m_file.reset();
}

ProjectResult<LoadedProject> ReadProject(ArchiveTable &table, const QString &path) {
    ArchiveTable loaded;
    auto result = ReadInto(loaded, path);
    if (!result) return result;
    loaded.setChannels(result.value().flags);
    // The file keeps no archive format: the table's probes are named by the instrument's format in force
    // whenever it is shown.
    loaded.setArchiveFormat(std::nullopt);
    table.swap(loaded);
    return result;
}

ProjectResult<LoadedProject> LoadProject(ArchiveTable &table, const QString &path) {
    auto result = ReadProject(table, path);
    if (result) {
        // A file of one channel stores no headers for the second slot, which a later download may fill.
        CompleteHeaderRow(table, LanguageIndex.load());
        PublishChannels(table);
    }
    return result;
}

} // namespace velda
