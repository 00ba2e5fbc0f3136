// Project file writing and checked reading: flags, little-endian counts, cell entries column by column.
#include "archive/ProjectFile.h"

#include "base/ArchiveTable.h"
#include "base/FileTarget.h"
#include "base/Texts.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

namespace velda {
namespace {

constexpr qint64 kHeaderSize = 10; // two flag bytes, column count, row count
constexpr qint64 kLengthSize = 4;

void AppendInt32(std::string &out, std::int32_t value) {
    const auto u = static_cast<std::uint32_t>(value);
    const char bytes[4] = {static_cast<char>(u & 0xFF), static_cast<char>((u >> 8) & 0xFF),
                           static_cast<char>((u >> 16) & 0xFF), static_cast<char>((u >> 24) & 0xFF)};
    out.append(bytes, 4);
}

std::int32_t Int32At(const char *p) {
    const auto *b = reinterpret_cast<const unsigned char *>(p);
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
        (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24));
}

// Messages are picked in the language in force when the file is opened or saved.
constexpr TextPair TxtOffset{" (смещение %1)", " (offset %1)"};
constexpr TextPair TxtCannotOpen{"не удаётся открыть: %1", "cannot open: %1"};
constexpr TextPair TxtNoSuchFile{"файл не найден", "no such file"};
constexpr TextPair TxtIsFolder{"это папка, а не файл", "is a folder, not a file"};
constexpr TextPair TxtNoReadPermission{"нет прав на чтение", "no permission to read it"};
constexpr TextPair TxtTooShort{"в файле %1 байт, а в файле проекта их не меньше %2",
                               "the file holds %1 bytes, a project file has at least %2"};
constexpr TextPair TxtNoHeader{"не удаётся прочитать заголовок", "cannot read the header"};
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
constexpr TextPair TxtChanged{"файл изменился во время чтения", "the file changed while it was read"};
constexpr TextPair TxtCannotCreate{"не удаётся создать: %1", "cannot create: %1"};
constexpr TextPair TxtFolderMissing{"папка %1 не существует", "the folder %1 does not exist"};
constexpr TextPair TxtNoWritePermission{"нет прав на запись в папку %1",
                                        "no permission to write in the folder %1"};
constexpr TextPair TxtCannotWrite{"ошибка записи: %1", "cannot write: %1"};
constexpr TextPair TxtCannotReplace{"не удаётся заменить файл: %1", "cannot replace the file: %1"};
constexpr TextPair TxtNoSpace{"на диске нет места", "no space left on the disk"};
constexpr TextPair TxtQuotaExceeded{"превышена дисковая квота", "the disk quota is exceeded"};
constexpr TextPair TxtInputOutput{"ошибка ввода-вывода", "input/output error"};

QString FileName(const QString &path) {
    return QFileInfo(path).fileName();
}

ProjectError Fault(ProjectError::Kind kind, const QString &path, qint64 offset, const QString &what) {
    QString message = FileName(path) + QStringLiteral(": ") + what;
    if (offset >= 0) message += Pick(TxtOffset).arg(offset);
    return ProjectError{kind, message, offset};
}

// The system's reason for a failed write, in the language in force where it is a common one.
QString WriteReason(int error) {
    switch (error) {
    case ENOSPC:
        return Pick(TxtNoSpace);
    case EDQUOT:
        return Pick(TxtQuotaExceeded);
    case EIO:
        return Pick(TxtInputOutput);
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

// Why `path` cannot be opened for reading, named from the file itself where it can be.
QString OpenReason(const QString &path, const QFileDevice &file) {
    const QFileInfo info(path);
    if (!info.exists()) return Pick(TxtNoSuchFile);
    if (info.isDir()) return Pick(TxtIsFolder);
    if (!info.isReadable()) return Pick(TxtNoReadPermission);
    return file.errorString();
}

// Why no new file can be made at `path`, named from its folder where it can be.
QString CreateReason(const QString &path, const QFileDevice &file) {
    const QFileInfo info(path);
    const QFileInfo folder(info.absolutePath());
    if (info.isDir()) return Pick(TxtIsFolder);
    if (!folder.isDir()) return Pick(TxtFolderMissing).arg(folder.filePath());
    if (!folder.isWritable()) return Pick(TxtNoWritePermission).arg(folder.filePath());
    return file.errorString();
}

// Buffered reading at an offset of its own; several cursors share one file descriptor.
class Cursor {
public:
    Cursor(int fd, qint64 offset, std::size_t bufferSize)
        : m_fd(fd), m_offset(offset), m_buffer(bufferSize) {}

    [[nodiscard]] qint64 offset() const { return m_offset - static_cast<qint64>(m_end - m_pos); }

    // Copies the next `n` bytes to `out` (or skips them when `out` is null); false when the file ends
    // first or a read fails.
    bool read(char *out, std::size_t n) {
        while (n > 0) {
            if (m_pos == m_end && !refill()) return false;
            const std::size_t take = std::min(n, m_end - m_pos);
            if (out) {
                std::memcpy(out, m_buffer.data() + m_pos, take);
                out += take;
            }
            m_pos += take;
            n -= take;
        }
        return true;
    }

    // The next `n` bytes in place when the buffer already holds them (nothing is consumed otherwise).
    [[nodiscard]] const char *peek(std::size_t n) const {
        return m_end - m_pos >= n ? m_buffer.data() + m_pos : nullptr;
    }
    void advance(std::size_t n) { m_pos += n; }

    bool skip(qint64 n) {
        const auto buffered = static_cast<qint64>(m_end - m_pos);
        if (n <= buffered) return read(nullptr, static_cast<std::size_t>(n));
        m_pos = m_end;
        m_offset += n - buffered;
        return true;
    }

private:
    bool refill() {
        ssize_t got;
        do {
            got = ::pread(m_fd, m_buffer.data(), m_buffer.size(), static_cast<off_t>(m_offset));
        } while (got < 0 && errno == EINTR);
        if (got <= 0) return false;
        m_pos = 0;
        m_end = static_cast<std::size_t>(got);
        m_offset += got;
        return true;
    }

    int m_fd;
    qint64 m_offset;
    std::vector<char> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
};

constexpr std::size_t kReadBuffer = 256 * 1024;
constexpr std::size_t kColumnBuffer = 64 * 1024;
// Beyond this many columns the cells are read in file order with one cursor instead of one per column.
constexpr int kMaxColumnCursors = 64;

// A zero byte ends a cell's text, as it always has for these files.
std::string_view UpToZero(const char *data, std::size_t size) {
    std::size_t n = 0;
    while (n < size && data[n] != '\0')
        ++n;
    return {data, n};
}

// Reads one cell entry at `in` into `loaded`: the length was checked by the scan, so a short read here
// means the file changed in between.
bool ReadCell(Cursor &in, qint64 fileSize, ArchiveTable &loaded, int col, int row, std::string &text) {
    char lengthBytes[kLengthSize];
    if (const char *p = in.peek(kLengthSize)) {
        std::memcpy(lengthBytes, p, kLengthSize);
        in.advance(kLengthSize);
    } else if (!in.read(lengthBytes, sizeof lengthBytes)) {
        return false;
    }
    const std::int32_t length = Int32At(lengthBytes);
    if (length < 0 || length > fileSize - in.offset()) return false;
    if (length == 0) return true;
    const auto size = static_cast<std::size_t>(length);
    if (const char *p = in.peek(size)) {
        loaded.setCellBytes(col, row, UpToZero(p, size));
        in.advance(size);
        return true;
    }
    text.resize(size);
    if (!in.read(text.data(), size)) return false;
    loaded.setCellBytes(col, row, UpToZero(text.data(), size));
    return true;
}

ProjectResult<LoadedProject> ReadInto(ArchiveTable &loaded, const QString &path) {
    using Kind = ProjectError::Kind;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Fault(Kind::OpenFailed, path, -1, Pick(TxtCannotOpen).arg(OpenReason(path, file)));
    const qint64 fileSize = file.size();
    if (fileSize < kHeaderSize)
        return Fault(Kind::Truncated, path, fileSize, Pick(TxtTooShort).arg(fileSize).arg(kHeaderSize));
    const int fd = file.handle();

    Cursor scan(fd, 0, kReadBuffer);
    char header[kHeaderSize];
    if (!scan.read(header, sizeof header)) return Fault(Kind::ReadFailed, path, 0, Pick(TxtNoHeader));
    LoadedProject project;
    project.flags = ChannelFlags{header[0] != 0, header[1] != 0};
    const std::int32_t cols = Int32At(header + 2);
    const std::int32_t rows = Int32At(header + 6);
    if (cols < 0) return Fault(Kind::NegativeCount, path, 2, Pick(TxtNegativeColumns).arg(cols));
    if (rows < 0) return Fault(Kind::NegativeCount, path, 6, Pick(TxtNegativeRows).arg(rows));
    // Every cell takes at least its length field, so the counts alone can be checked against the size.
    const qint64 cells = static_cast<qint64>(cols) * rows;
    const qint64 room = fileSize - kHeaderSize;
    if (cells > room / kLengthSize)
        return Fault(Kind::CountTooLarge, path, 2, Pick(TxtTooManyCells).arg(cols).arg(rows).arg(room));
    // A count whose partner is zero stores no cell, so the size cannot bound it; it is held to the widest
    // table, as the window will show cells in it all the same. Bytes after the header do not raise the
    // bound: the table would save without them and its own file would not open again.
    if ((cols == 0 || rows == 0) && std::max(cols, rows) > ArchiveTable::kMaxColCount)
        return Fault(Kind::CountTooLarge, path, 2,
                     Pick(TxtNoCellsTooLarge).arg(cols).arg(rows).arg(ArchiveTable::kMaxColCount));

    // First pass: check every length against the rest of the file and note where each column starts.
    std::vector<qint64> columnStart(static_cast<std::size_t>(cols));
    for (int col = 0; col < cols; ++col) {
        columnStart[static_cast<std::size_t>(col)] = scan.offset();
        for (int row = 0; row < rows; ++row) {
            const qint64 at = scan.offset();
            char lengthBytes[kLengthSize];
            if (!scan.read(lengthBytes, sizeof lengthBytes))
                return Fault(Kind::Truncated, path, at, Pick(TxtEndsInLength).arg(row).arg(col));
            const std::int32_t length = Int32At(lengthBytes);
            if (length < 0)
                return Fault(Kind::NegativeLength, path, at,
                             Pick(TxtNegativeLength).arg(row).arg(col).arg(length));
            const qint64 remain = fileSize - scan.offset();
            if (length > remain)
                return Fault(Kind::CellTooLong, path, at,
                             Pick(TxtCellTooLong).arg(row).arg(col).arg(length).arg(remain));
            scan.skip(length);
        }
    }

    project.colCount = cols;
    project.rowCount = rows;
    project.recordCount = rows > 0 ? static_cast<std::uint32_t>(rows - 1) : 0U;
    loaded.setColCount(cols);
    loaded.setRowCount(rows);
    loaded.reserve(cols, rows);

    // Second pass: the table keeps its cells row by row, so the cells are taken in that order, with one
    // cursor per column; filling it column by column would walk the whole table once per column.
    const auto changed = [&](qint64 at) { return Fault(Kind::ReadFailed, path, at, Pick(TxtChanged)); };
    std::string text;
    if (cols <= kMaxColumnCursors) {
        std::vector<Cursor> cursors;
        cursors.reserve(static_cast<std::size_t>(cols));
        for (int col = 0; col < cols; ++col)
            cursors.emplace_back(fd, columnStart[static_cast<std::size_t>(col)], kColumnBuffer);
        for (int row = 0; row < rows; ++row) {
            for (int col = 0; col < cols; ++col) {
                Cursor &in = cursors[static_cast<std::size_t>(col)];
                if (!ReadCell(in, fileSize, loaded, col, row, text)) return changed(in.offset());
            }
        }
    } else {
        Cursor in(fd, kHeaderSize, kReadBuffer);
        for (int col = 0; col < cols; ++col)
            for (int row = 0; row < rows; ++row)
                if (!ReadCell(in, fileSize, loaded, col, row, text)) return changed(in.offset());
    }
    return project;
}

bool WriteAt(int fd, const std::string &bytes, qint64 offset) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done,
                                   static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

ProjectResult<qint64> SaveProject(const ArchiveTable &table, const QString &path, ChannelFlags flags) {
    using Kind = ProjectError::Kind;
    // A file the user protected is not replaced, not even where the superuser could write it.
    if (IsReadOnlyTarget(path)) return ProjectError{Kind::OpenFailed, ReadOnlyTargetText(FileName(path)), -1};
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Fault(Kind::OpenFailed, path, -1, Pick(TxtCannotCreate).arg(CreateReason(path, file)));
    const auto failed = [&]() {
        const int error = errno;
        file.cancelWriting();
        return Fault(Kind::WriteFailed, path, -1, Pick(TxtCannotWrite).arg(WriteReason(error)));
    };
    const int cols = table.colCount();
    const int rows = table.rowCount();
    const int fd = file.handle();

    // The file stores the cells column by column, the table row by row: the columns are sized first,
    // then every column is written into its own region of the file as the rows are walked in order.
    std::vector<qint64> columnAt(static_cast<std::size_t>(cols) + 1, kHeaderSize);
    std::vector<qint64> columnBytes(static_cast<std::size_t>(cols), 0);
    for (int row = 0; row < rows; ++row)
        for (int col = 0; col < cols; ++col)
            columnBytes[static_cast<std::size_t>(col)] +=
                kLengthSize + static_cast<qint64>(table.cellBytes(col, row).size());
    for (std::size_t col = 0; col < columnBytes.size(); ++col)
        columnAt[col + 1] = columnAt[col] + columnBytes[col];
    const qint64 total = columnAt.back();

    std::string header;
    header.push_back(flags.channel1 ? '\1' : '\0');
    header.push_back(flags.channel2 ? '\1' : '\0');
    AppendInt32(header, cols);
    AppendInt32(header, rows);
    if (!WriteAt(fd, header, 0)) return failed();

    std::vector<std::string> pending(static_cast<std::size_t>(cols));
    for (int row = 0; row < rows; ++row) {
        for (int col = 0; col < cols; ++col) {
            const auto c = static_cast<std::size_t>(col);
            const std::string_view bytes = table.cellBytes(col, row);
            AppendInt32(pending[c], static_cast<std::int32_t>(bytes.size()));
            pending[c].append(bytes);
            if (pending[c].size() >= kColumnBuffer) {
                if (!WriteAt(fd, pending[c], columnAt[c])) return failed();
                columnAt[c] += static_cast<qint64>(pending[c].size());
                pending[c].clear();
            }
        }
    }
    for (std::size_t c = 0; c < pending.size(); ++c)
        if (!pending[c].empty() && !WriteAt(fd, pending[c], columnAt[c])) return failed();

    // commit() syncs the new file to disk and only then renames it over the old one.
    if (!file.commit())
        return Fault(Kind::WriteFailed, path, -1, Pick(TxtCannotReplace).arg(file.errorString()));
    return total;
}

ProjectResult<qint64> SaveProject(const ArchiveTable &table, const QString &path) {
    return SaveProject(table, path, ChannelFlags{Channel1Present.load(), Channel2Present.load()});
}

ProjectResult<LoadedProject> ReadProject(ArchiveTable &table, const QString &path) {
    ArchiveTable loaded;
    auto result = ReadInto(loaded, path);
    if (result) table.swap(loaded);
    return result;
}

ProjectResult<LoadedProject> LoadProject(ArchiveTable &table, const QString &path) {
    auto result = ReadProject(table, path);
    if (result) {
        Channel1Present = result.value().flags.channel1;
        Channel2Present = result.value().flags.channel2;
    }
    return result;
}

} // namespace velda
