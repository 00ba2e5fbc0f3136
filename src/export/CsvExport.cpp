// CSV export: Windows-1251 cells to UTF-8 through a byte table, RFC 4180 quoting, written in large
// blocks through a save file that is renamed over the target when complete.
#include "export/CsvExport.h"

#include "base/Cp1251.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

#include <array>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace velda::csv {
namespace {

constexpr int kDateColumn = 2;
constexpr int kProgressStep = 512;
constexpr std::size_t kWriteBlock = 1 << 20;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";

// UTF-8 of every Windows-1251 byte: up to three bytes packed little-endian in `bytes`, and their count.
struct Utf8Code {
    std::uint32_t bytes;
    std::uint32_t size;
};

const std::array<Utf8Code, 256> &Utf8Table() {
    static const std::array<Utf8Code, 256> table = [] {
        std::array<Utf8Code, 256> t{};
        for (int b = 0; b < 0x100; ++b) {
            const char byte = static_cast<char>(b);
            const QByteArray utf8 = FromCp1251(std::string_view(&byte, 1)).toUtf8();
            Utf8Code &code = t[static_cast<std::size_t>(b)];
            code.size = static_cast<std::uint32_t>(std::min<qsizetype>(utf8.size(), 3));
            for (std::uint32_t i = 0; i < code.size; ++i)
                code.bytes |= static_cast<std::uint32_t>(static_cast<unsigned char>(utf8[i])) << (8 * i);
        }
        return t;
    }();
    return table;
}

// Writes the UTF-8 of `cp1251` at `to` and returns the end. Each byte stores four bytes and advances by
// its code's length, so the room after the end must hold one byte more than the text needs.
char *PutUtf8(char *to, std::string_view cp1251) {
    const auto &table = Utf8Table();
    for (const char c : cp1251) {
        const Utf8Code &code = table[static_cast<unsigned char>(c)];
        const std::uint32_t packed = qToLittleEndian(code.bytes);
        std::memcpy(to, &packed, sizeof packed);
        to += code.size;
    }
    return to;
}

// Writes one field at `to`, quoted when it holds the delimiter, a quote, CR or LF; at most 3 * size + 2
// bytes (a doubled quote takes two of the three a byte may need), plus one byte of room.
char *PutField(char *to, std::string_view cp1251, char delimiter) {
    unsigned high = 0;
    unsigned quote = 0;
    for (const char c : cp1251) {
        high |= static_cast<unsigned char>(c);
        quote |= static_cast<unsigned>(c == delimiter) | static_cast<unsigned>(c == '"') |
                 static_cast<unsigned>(c == '\r') | static_cast<unsigned>(c == '\n');
    }
    if (!quote) {
        if (high < 0x80) {
            std::memcpy(to, cp1251.data(), cp1251.size());
            return to + cp1251.size();
        }
        return PutUtf8(to, cp1251);
    }
    *to++ = '"';
    std::size_t start = 0;
    for (std::size_t i = 0; i < cp1251.size(); ++i) {
        if (cp1251[i] != '"') continue;
        to = PutUtf8(to, cp1251.substr(start, i + 1 - start));
        *to++ = '"';
        start = i + 1;
    }
    to = PutUtf8(to, cp1251.substr(start));
    *to++ = '"';
    return to;
}

// The yyyy-MM-dd form of a date cell, or nullopt when it does not parse. An archive holds few distinct
// dates, and the general parser costs microseconds a cell, so answers are kept (per thread, per format).
std::optional<std::string> IsoDate(std::string_view cell, const SystemFormats &formats) {
    constexpr std::size_t kMaxKept = 4096;
    thread_local QString format;
    thread_local std::unordered_map<std::string, std::optional<std::string>> kept;
    if (formats.shortDateFormat != format || kept.size() > kMaxKept) {
        kept.clear();
        format = formats.shortDateFormat;
    }
    const auto [at, inserted] = kept.try_emplace(std::string(cell));
    if (inserted) {
        const auto date = ParseDateCell(FromCp1251(cell), formats);
        if (date) at->second = date->toString(QStringLiteral("yyyy-MM-dd")).toStdString();
    }
    return at->second;
}

ExportError Error(ExportError::Kind kind, const QString &message) {
    return ExportError{kind, message};
}

} // namespace

char DefaultDelimiter(QChar decimalSeparator) {
    return decimalSeparator == QLatin1Char(',') ? ';' : ',';
}

std::optional<char> ParseDelimiter(QStringView text) {
    if (text == u";" || text == u"semicolon") return ';';
    if (text == u"," || text == u"comma") return ',';
    if (text == u"tab" || text == u"\t") return '\t';
    return std::nullopt;
}

namespace {

// The most bytes one row can take: every cell three bytes per input byte, its quotes and delimiter; and
// the one byte of room PutUtf8 needs after its end.
std::size_t RowBound(const ArchiveTable &table, int row, int cols) {
    std::size_t bound = kLineEnd.size() + sizeof(std::uint32_t);
    for (int col = 0; col < cols; ++col)
        bound += 3 * table.cellBytes(col, row).size() + 3;
    return bound;
}

// Writes row `row` at `to` (room for RowBound bytes) and returns the end.
char *PutRow(char *to, const ArchiveTable &table, int row, int cols, const CsvOptions &options,
             const SystemFormats &formats) {
    for (int col = 0; col < cols; ++col) {
        if (col > 0) *to++ = options.delimiter;
        const std::string_view cell = table.cellBytes(col, row);
        if (options.isoDate && col == kDateColumn && row > 0 && !cell.empty()) {
            if (const auto iso = IsoDate(cell, formats)) {
                std::memcpy(to, iso->data(), iso->size());
                to += iso->size();
                continue;
            }
        }
        to = PutField(to, cell, options.delimiter);
    }
    std::memcpy(to, kLineEnd.data(), kLineEnd.size());
    return to + kLineEnd.size();
}

} // namespace

void AppendCsvRow(std::string &out, const ArchiveTable &table, int row, const CsvOptions &options,
                  const SystemFormats &formats) {
    const int cols = xlsx::ExportedColumnCount(table);
    const std::size_t old = out.size();
    out.resize(old + RowBound(table, row, cols));
    char *end = PutRow(out.data() + old, table, row, cols, options, formats);
    out.resize(static_cast<std::size_t>(end - out.data()));
}

ExportResult ExportToCsv(const ArchiveTable &table, const QString &fileName, const CsvOptions &options,
                         const SystemFormats &formats, const ExportProgress &progress) {
    using Kind = ExportError::Kind;
    if (fileName.trimmed().isEmpty()) return Error(Kind::NoFileName, QStringLiteral("No file name given"));
    if (QFileInfo(fileName).isDir())
        return Error(Kind::NoFileName, QStringLiteral("%1 is a folder, not a file name").arg(fileName));
    const QString folder = QFileInfo(fileName).absolutePath();
    if (!QFileInfo(folder).isDir())
        return Error(Kind::CannotCreate, QStringLiteral("Folder %1 does not exist").arg(folder));

    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return Error(Kind::CannotCreate,
                     QStringLiteral("Cannot create %1: %2").arg(fileName, file.errorString()));
    const auto writeFailed = [&] {
        const QString reason = file.errorString();
        file.cancelWriting();
        return Error(Kind::WriteFailed, QStringLiteral("Cannot write %1: %2").arg(fileName, reason));
    };

    const int rowTotal = std::max(table.rowCount(), 0);
    if (progress && !progress(0, rowTotal)) {
        file.cancelWriting();
        return Error(Kind::Cancelled, QStringLiteral("Export cancelled"));
    }
    const int cols = xlsx::ExportedColumnCount(table);
    // Rows are written into a block without zero-filling it first; a row longer than the free room
    // flushes the block, and one longer than the whole block gets a block of its own size.
    std::vector<char> block(kWriteBlock);
    std::size_t used = kByteOrderMark.size();
    std::memcpy(block.data(), kByteOrderMark.data(), kByteOrderMark.size());
    const auto flush = [&] {
        const auto size = static_cast<qint64>(used);
        if (file.write(block.data(), size) != size) return false;
        used = 0;
        return true;
    };
    for (int row = 0; row < rowTotal; ++row) {
        const std::size_t bound = RowBound(table, row, cols);
        if (used + bound > block.size()) {
            if (!flush()) return writeFailed();
            if (bound > block.size()) block.resize(bound);
        }
        used = static_cast<std::size_t>(PutRow(block.data() + used, table, row, cols, options, formats) -
                                        block.data());
        if (progress && (row + 1) % kProgressStep == 0 && !progress(row + 1, rowTotal)) {
            file.cancelWriting();
            return Error(Kind::Cancelled, QStringLiteral("Export cancelled"));
        }
    }
    // QSaveFile keeps small writes in its buffer, and commit() does not notice when writing that buffer
    // out fails (a full disk, the file-size limit): the buffer is flushed and checked first.
    if (!flush() || !file.flush()) return writeFailed();
    // commit() syncs the new file to disk and only then renames it over the old one.
    if (!file.commit())
        return Error(Kind::ReplaceFailed,
                     QStringLiteral("Cannot save %1: %2").arg(fileName, file.errorString()));
    if (progress) progress(rowTotal, rowTotal);
    return xlsx::ExportSummary{1, rowTotal, QFileInfo(fileName).absoluteFilePath()};
}

} // namespace velda::csv
