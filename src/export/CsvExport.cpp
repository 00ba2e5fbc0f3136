// CSV export: Windows-1251 cells to UTF-8 through a byte table, RFC 4180 quoting, written in large
// blocks through a save file that is renamed over the target when complete.
#include "export/CsvExport.h"

#include "archive/Cp1251.h"

#include <QFileInfo>
#include <QSaveFile>

#include <array>
#include <string_view>

namespace velda::csv {
namespace {

constexpr int kDateColumn = 2;
constexpr int kProgressStep = 512;
constexpr std::size_t kWriteBlock = 1 << 20;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";

// UTF-8 of every Windows-1251 byte of 0x80 and above (at most three bytes each).
struct Utf8Code {
    char bytes[3];
    std::uint8_t size;
};

const std::array<Utf8Code, 128> &HighHalf() {
    static const std::array<Utf8Code, 128> table = [] {
        std::array<Utf8Code, 128> t{};
        for (int b = 0x80; b < 0x100; ++b) {
            const char byte = static_cast<char>(b);
            const QByteArray utf8 = FromCp1251(std::string_view(&byte, 1)).toUtf8();
            Utf8Code &code = t[static_cast<std::size_t>(b - 0x80)];
            code.size = static_cast<std::uint8_t>(std::min<qsizetype>(utf8.size(), 3));
            for (std::uint8_t i = 0; i < code.size; ++i)
                code.bytes[i] = utf8[i];
        }
        return t;
    }();
    return table;
}

void AppendUtf8(std::string &out, std::string_view cp1251) {
    const auto &high = HighHalf();
    for (const char c : cp1251) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out.push_back(c);
        } else {
            const Utf8Code &code = high[b - 0x80];
            out.append(code.bytes, code.size);
        }
    }
}

bool NeedsQuotes(std::string_view cell, char delimiter) {
    for (const char c : cell)
        if (c == delimiter || c == '"' || c == '\r' || c == '\n') return true;
    return false;
}

void AppendField(std::string &out, std::string_view cp1251, char delimiter) {
    if (!NeedsQuotes(cp1251, delimiter)) {
        AppendUtf8(out, cp1251);
        return;
    }
    out.push_back('"');
    std::size_t start = 0;
    for (std::size_t i = 0; i < cp1251.size(); ++i) {
        if (cp1251[i] != '"') continue;
        AppendUtf8(out, cp1251.substr(start, i + 1 - start));
        out.push_back('"');
        start = i + 1;
    }
    AppendUtf8(out, cp1251.substr(start));
    out.push_back('"');
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

void AppendCsvRow(std::string &out, const ArchiveTable &table, int row, const CsvOptions &options,
                  const SystemFormats &formats) {
    const int cols = xlsx::ExportedColumnCount(table);
    for (int col = 0; col < cols; ++col) {
        if (col > 0) out.push_back(options.delimiter);
        const std::string_view cell = table.cellBytes(col, row);
        if (options.isoDate && col == kDateColumn && row > 0 && !cell.empty()) {
            if (const auto date = ParseDateCell(FromCp1251(cell), formats)) {
                out += date->toString(QStringLiteral("yyyy-MM-dd")).toStdString();
                continue;
            }
        }
        AppendField(out, cell, options.delimiter);
    }
    out += kLineEnd;
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
    std::string block;
    block.reserve(kWriteBlock + 64 * 1024);
    block += kByteOrderMark;
    const auto flush = [&] {
        const auto size = static_cast<qint64>(block.size());
        if (file.write(block.data(), size) != size) return false;
        block.clear();
        return true;
    };
    for (int row = 0; row < rowTotal; ++row) {
        AppendCsvRow(block, table, row, options, formats);
        if (block.size() >= kWriteBlock && !flush()) return writeFailed();
        if (progress && (row + 1) % kProgressStep == 0 && !progress(row + 1, rowTotal)) {
            file.cancelWriting();
            return Error(Kind::Cancelled, QStringLiteral("Export cancelled"));
        }
    }
    if (!flush()) return writeFailed();
    // commit() syncs the new file to disk and only then renames it over the old one.
    if (!file.commit())
        return Error(Kind::ReplaceFailed,
                     QStringLiteral("Cannot save %1: %2").arg(fileName, file.errorString()));
    if (progress) progress(rowTotal, rowTotal);
    return xlsx::ExportSummary{1, rowTotal, QFileInfo(fileName).absoluteFilePath()};
}

} // namespace velda::csv
