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

ProjectResult<LoadedProject> ReadInto(ArchiveTable &loaded, const QString &path) {
    using Kind = ProjectError::Kind;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Fault(Kind::OpenFailed, path, -1, Pick(TxtCannotOpen).arg(OpenReason(path, file)));
    const qint64 fileSize = file.size();
    if (fileSize < kHeaderSize)
        return Fault(Kind::Truncated, path, fileSize, Pick(TxtTooShort).arg(fileSize).arg(kHeaderSize));
    if (static_cast<quint64>(fileSize) > ArchiveTable::kMaxStoreBytes)
        return Fault(Kind::FileTooLarge, path, -1,
                     Pick(TxtFileTooLarge).arg(fileSize).arg(ArchiveTable::kMaxStoreBytes));
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

    const char *header = bytes.data();
    LoadedProject project;
    project.flags = ChannelFlags{header[0] != 0, header[1] != 0};
    const std::int32_t cols = le::I32(header + 2);
    const std::int32_t rows = le::I32(header + 6);
    if (cols < 0) return Fault(Kind::NegativeCount, path, 2, Pick(TxtNegativeColumns).arg(cols));
    if (rows < 0) return Fault(Kind::NegativeCount, path, 6, Pick(TxtNegativeRows).arg(rows));
    // Every cell takes at least its length field, so the counts alone can be checked against the size.
    const qint64 cells = static_cast<qint64>(cols) * rows;
    const qint64 room = fileSize - kHeaderSize;
    if (cells > room / static_cast<qint64>(kLengthSize))
        return Fault(Kind::CountTooLarge, path, 2, Pick(TxtTooManyCells).arg(cols).arg(rows).arg(room));
    // A count whose partner is zero stores no cell, so the size cannot bound it; it is held to the widest
    // table, as the window will show cells in it all the same. Bytes after the header do not raise the
    // bound: the table would save without them and its own file would not open again.
    if ((cols == 0 || rows == 0) && std::max(cols, rows) > ArchiveTable::kMaxColCount)
        return Fault(Kind::CountTooLarge, path, 2,
                     Pick(TxtNoCellsTooLarge).arg(cols).arg(rows).arg(ArchiveTable::kMaxColCount));

    std::vector<PodBuffer<std::uint32_t>> entries;
    entries.reserve(static_cast<std::size_t>(cols));
    char *data = bytes.data();
    std::size_t at = kHeaderSize;
    for (int col = 0; col < cols; ++col) {
        PodBuffer<std::uint32_t> &column = entries.emplace_back(static_cast<std::size_t>(rows));
        std::uint32_t *out = column.data();
        for (int row = 0; row < rows; ++row) {
            if (size - at < kLengthSize)
                return Fault(Kind::Truncated, path, static_cast<qint64>(at),
                             Pick(TxtEndsInLength).arg(row).arg(col));
            const std::int32_t length = le::I32(data + at);
            if (length < 0)
                return Fault(Kind::NegativeLength, path, static_cast<qint64>(at),
                             Pick(TxtNegativeLength).arg(row).arg(col).arg(length));
            const std::size_t remain = size - at - kLengthSize;
            const auto textSize = static_cast<std::size_t>(length);
            if (textSize > remain)
                return Fault(
                    Kind::CellTooLong, path, static_cast<qint64>(at),
                    Pick(TxtCellTooLong).arg(row).arg(col).arg(length).arg(static_cast<qint64>(remain)));
            out[row] = static_cast<std::uint32_t>(at);
            // A zero byte ends the text early, as it always has for these files.
            if (const std::size_t end = TextEnd(data + at + kLengthSize, textSize, remain); end != textSize)
                le::PutU32(data + at, static_cast<std::uint32_t>(end));
            at += kLengthSize + textSize;
        }
    }

    project.colCount = cols;
    project.rowCount = rows;
    project.recordCount = rows > 0 ? static_cast<std::uint32_t>(rows - 1) : 0U;
    loaded.adopt(std::move(bytes), std::move(entries), cols, rows);
    return project;
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

} // namespace

ProjectResult<qint64> SaveProject(const ArchiveTable &table, const QString &path, ChannelFlags flags) {
    using Kind = ProjectError::Kind;
    FileWriter file(path);
    if (auto opened = file.open(); !opened) return SaveFault(Kind::OpenFailed, path, opened.error());
    const int cols = table.colCount();
    const int rows = table.rowCount();

    ChunkWriter out(file);
    char header[kHeaderSize];
    header[0] = flags.channel1 ? '\1' : '\0';
    header[1] = flags.channel2 ? '\1' : '\0';
    le::PutU32(header + 2, static_cast<std::uint32_t>(cols));
    le::PutU32(header + 6, static_cast<std::uint32_t>(rows));
    FileResult<Done> written = out.put(header, sizeof header);
    qint64 total = kHeaderSize;
    for (int col = 0; col < cols && written; ++col) {
        table.forEachEntry(col, 0, rows, [&](std::string_view entry) {
            if (written) written = out.put(entry.data(), entry.size());
            total += static_cast<qint64>(entry.size());
        });
    }
    if (written) written = out.flush();
    if (written) written = file.commit();
    if (!written) return SaveFault(Kind::WriteFailed, path, written.error());
    return total;
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
