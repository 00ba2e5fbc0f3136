// Project file writing and checked reading: flags, little-endian counts, cell entries column by column.
#include "archive/ProjectFile.h"

#include "base/ArchiveTable.h"
#include "base/LittleEndian.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <string>
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

QString FileName(const QString &path) {
    return QFileInfo(path).fileName();
}

ProjectError Fault(ProjectError::Kind kind, const QString &path, qint64 offset, const QString &what) {
    QString message = FileName(path) + QStringLiteral(": ") + what;
    if (offset >= 0) message += QStringLiteral(" (offset %1)").arg(offset);
    return ProjectError{kind, message, offset};
}

QString CellName(int col, int row) {
    return QStringLiteral("cell %1 of column %2").arg(row).arg(col);
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
        return Fault(Kind::OpenFailed, path, -1, QStringLiteral("cannot open: %1").arg(file.errorString()));
    const qint64 fileSize = file.size();
    if (fileSize < kHeaderSize)
        return Fault(Kind::Truncated, path, fileSize,
                     QStringLiteral("the file holds %1 bytes, a project file has at least %2")
                         .arg(fileSize)
                         .arg(kHeaderSize));
    if (static_cast<quint64>(fileSize) > ArchiveTable::kMaxStoreBytes)
        return Fault(Kind::FileTooLarge, path, -1,
                     QStringLiteral("the file holds %1 bytes, a table holds at most %2")
                         .arg(fileSize)
                         .arg(ArchiveTable::kMaxStoreBytes));
    const auto size = static_cast<std::size_t>(fileSize);
    const int fd = file.handle();
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    // The file is read once, straight into what becomes the table's store; the pass below checks it and
    // notes where each cell's entry is.
    PodBuffer<char> bytes(size);
    const qint64 got = ReadWhole(fd, bytes.data(), size);
    if (got < 0)
        return Fault(Kind::ReadFailed, path, -1,
                     QStringLiteral("cannot read: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    if (got != fileSize)
        return Fault(Kind::ReadFailed, path, got, QStringLiteral("the file changed while it was read"));

    const char *header = bytes.data();
    LoadedProject project;
    project.flags = ChannelFlags{header[0] != 0, header[1] != 0};
    const std::int32_t cols = le::I32(header + 2);
    const std::int32_t rows = le::I32(header + 6);
    if (cols < 0)
        return Fault(Kind::NegativeCount, path, 2,
                     QStringLiteral("the column count %1 is negative").arg(cols));
    if (rows < 0)
        return Fault(Kind::NegativeCount, path, 6, QStringLiteral("the row count %1 is negative").arg(rows));
    // Every cell takes at least its length field, so the counts alone can be checked against the size.
    const qint64 cells = static_cast<qint64>(cols) * rows;
    const qint64 room = fileSize - kHeaderSize;
    // A count whose partner is zero stores no cell, so the size alone cannot bound it; it is held to
    // what one row or column of cells would need (or the widest table), as the window will show cells
    // in it all the same.
    const qint64 countBound =
        std::max<qint64>(room / static_cast<qint64>(kLengthSize), ArchiveTable::kMaxColCount);
    if (cells > room / static_cast<qint64>(kLengthSize) || cols > countBound || rows > countBound)
        return Fault(Kind::CountTooLarge, path, 2,
                     QStringLiteral("%1 columns of %2 rows claim more cells than the %3 bytes after the "
                                    "header can hold (each cell takes at least 4)")
                         .arg(cols)
                         .arg(rows)
                         .arg(room));

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
                             QStringLiteral("the file ends inside the length of %1").arg(CellName(col, row)));
            const std::int32_t length = le::I32(data + at);
            if (length < 0)
                return Fault(Kind::NegativeLength, path, static_cast<qint64>(at),
                             QStringLiteral("%1 claims %2 bytes").arg(CellName(col, row)).arg(length));
            const std::size_t remain = size - at - kLengthSize;
            const auto textSize = static_cast<std::size_t>(length);
            if (textSize > remain)
                return Fault(Kind::CellTooLong, path, static_cast<qint64>(at),
                             QStringLiteral("%1 claims %2 bytes, %3 remain")
                                 .arg(CellName(col, row))
                                 .arg(length)
                                 .arg(static_cast<qint64>(remain)));
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

bool WriteAll(int fd, const char *data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Collects the file in chunks and hands each full one to the kernel, asking it to start writing the
// chunks out to disk at once: the closing sync then waits for little more than the last of them, while
// the disk has worked alongside the collecting.
class ChunkWriter {
public:
    explicit ChunkWriter(int fd) : m_fd(fd), m_chunk(kWriteChunk) {}

    bool put(const char *data, std::size_t size) {
        if (kWriteChunk - m_used < size) {
            if (!flush()) return false;
            if (size > kWriteChunk) return write(data, size);
        }
        Copy(m_chunk.data() + m_used, data, size);
        m_used += size;
        return true;
    }
    bool flush() {
        const bool ok = write(m_chunk.data(), m_used);
        m_used = 0;
        return ok;
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

    bool write(const char *data, std::size_t size) {
        if (!WriteAll(m_fd, data, size)) return false;
        m_written += static_cast<off_t>(size);
        if (m_written - m_started >= kStartWritebackBytes) {
            // Only a hint: whether it is taken changes the timing, not the content or the final sync.
            ::sync_file_range(m_fd, m_started, m_written - m_started, SYNC_FILE_RANGE_WRITE);
            m_started = m_written;
        }
        return true;
    }

    static constexpr off_t kStartWritebackBytes = 4 << 20;
    int m_fd;
    PodBuffer<char> m_chunk;
    std::size_t m_used = 0;
    off_t m_written = 0;
    off_t m_started = 0;
};

// Makes the rename of a saved file durable: the folder's entry is synced as the file's bytes were.
void SyncFolderOf(const QString &path) {
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

ProjectResult<qint64> SaveProject(const ArchiveTable &table, const QString &path, ChannelFlags flags) {
    using Kind = ProjectError::Kind;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Fault(Kind::OpenFailed, path, -1, QStringLiteral("cannot create: %1").arg(file.errorString()));
    const auto failed = [&]() {
        const int error = errno;
        file.cancelWriting();
        return Fault(Kind::WriteFailed, path, -1,
                     QStringLiteral("cannot write: %1").arg(QString::fromLocal8Bit(std::strerror(error))));
    };
    const int cols = table.colCount();
    const int rows = table.rowCount();

    ChunkWriter out(file.handle());
    char header[kHeaderSize];
    header[0] = flags.channel1 ? '\1' : '\0';
    header[1] = flags.channel2 ? '\1' : '\0';
    le::PutU32(header + 2, static_cast<std::uint32_t>(cols));
    le::PutU32(header + 6, static_cast<std::uint32_t>(rows));
    if (!out.put(header, sizeof header)) return failed();
    qint64 total = kHeaderSize;
    bool ok = true;
    for (int col = 0; col < cols && ok; ++col) {
        table.forEachEntry(col, 0, rows, [&](std::string_view entry) {
            ok = ok && out.put(entry.data(), entry.size());
            total += static_cast<qint64>(entry.size());
        });
    }
    if (!ok) return failed();
    if (!out.flush()) return failed();

    // commit() syncs the new file to disk and only then renames it over the old one.
    if (!file.commit())
        return Fault(Kind::WriteFailed, path, -1,
                     QStringLiteral("cannot replace the file: %1").arg(file.errorString()));
    SyncFolderOf(path);
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
