// Spreadsheet export with libxlsxwriter in constant-memory mode: rows are streamed in order, so even a
// table of hundreds of thousands of rows needs only a few megabytes.
#include "export/SpreadsheetExport.h"

#include "base/Cp1251.h"
#include "base/FileTarget.h"
#include "export/SheetPlan.h"
#include "export/WorkbookCheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace velda::xlsx {
namespace {

// UTF-8 for every Windows-1251 byte. Control characters that XML cannot carry are written in the
// workbook's own escape form (_xHHHH_), which spreadsheet programs turn back into the character.
const std::array<std::string, 256> &Utf8Table() {
    static const std::array<std::string, 256> table = [] {
        std::array<std::string, 256> t;
        for (int b = 0; b < 256; ++b) {
            const bool xmlUnsafe = b < 0x20 && b != '\t' && b != '\n' && b != '\r';
            if (xmlUnsafe) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "_x%04X_", static_cast<unsigned>(b));
                t[static_cast<std::size_t>(b)] = escaped;
            } else {
                const char byte = static_cast<char>(b);
                t[static_cast<std::size_t>(b)] =
                    FromCp1251(std::string_view(&byte, 1)).toUtf8().toStdString();
            }
        }
        return t;
    }();
    return table;
}

void AppendUtf8(std::string_view cp1251, std::string &out) {
    const auto &table = Utf8Table();
    out.clear();
    for (const char c : cp1251) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x80) {
            out.push_back(c);
        } else {
            out += table[b];
        }
    }
}

// Pixel widths of the workbook's default 11-point sans font, by Windows-1251 byte: close enough for
// fitting a column to its widest text the way a spreadsheet program's auto-fit does.
const std::array<std::uint8_t, 256> &PixelTable() {
    static const std::array<std::uint8_t, 256> table = [] {
        std::array<std::uint8_t, 256> t{};
        t.fill(7);
        for (int b = 0; b < 0x20; ++b)
            t[static_cast<std::size_t>(b)] = 0;
        for (const char c : std::string_view(" !.,:;'|`ijlI"))
            t[static_cast<unsigned char>(c)] = 3;
        for (const char c : std::string_view("()[]{}-frtJ\"/"))
            t[static_cast<unsigned char>(c)] = 4;
        for (const char c : std::string_view("sz*"))
            t[static_cast<unsigned char>(c)] = 6;
        for (const char c : std::string_view("ABCDEHKNPRSTUVXYZ"))
            t[static_cast<unsigned char>(c)] = 8;
        for (const char c : std::string_view("GOQ&mw"))
            t[static_cast<unsigned char>(c)] = 10;
        for (const char c : std::string_view("%MW@"))
            t[static_cast<unsigned char>(c)] = 12;
        for (int b = 0xC0; b <= 0xDF; ++b)
            t[static_cast<std::size_t>(b)] = 8; // Cyrillic capitals
        for (int b = 0xE0; b <= 0xFF; ++b)
            t[static_cast<std::size_t>(b)] = 7; // Cyrillic small letters
        for (const int b : {0xC6, 0xD8, 0xD9, 0xDE, 0xDB, 0xCC, 0xD4})
            t[static_cast<std::size_t>(b)] = 11;
        for (const int b : {0xE6, 0xF8, 0xF9, 0xFE, 0xFB, 0xEC, 0xF4})
            t[static_cast<std::size_t>(b)] = 9;
        t[0xB0] = 5;  // degree sign
        t[0xB9] = 12; // numero sign
        t[0xA0] = 3;  // no-break space
        return t;
    }();
    return table;
}

struct WorkbookDeleter {
    void operator()(lxw_workbook *workbook) const { lxw_workbook_free(workbook); }
};

QString LibraryError(lxw_error error) {
    return QString::fromUtf8(lxw_strerror(error));
}

// Permissions a newly created file gets from the process's umask (read without changing it).
QFileDevice::Permissions NewFilePermissions() {
    unsigned mask = 022;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        while (!status.atEnd()) {
            const QByteArray line = status.readLine();
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const unsigned parsed = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok) mask = parsed;
                break;
            }
        }
    }
    const unsigned mode = 0666u & ~mask;
    QFileDevice::Permissions p;
    if (mode & 0400) p |= QFileDevice::ReadOwner | QFileDevice::ReadUser;
    if (mode & 0200) p |= QFileDevice::WriteOwner | QFileDevice::WriteUser;
    if (mode & 0040) p |= QFileDevice::ReadGroup;
    if (mode & 0020) p |= QFileDevice::WriteGroup;
    if (mode & 0004) p |= QFileDevice::ReadOther;
    if (mode & 0002) p |= QFileDevice::WriteOther;
    return p;
}

// Whether the XML of any one sheet could pass the 4 GB a plain ZIP entry holds: a cell's UTF-8 text is at
// most three bytes per Windows-1251 byte (seven for an escaped control character), plus its markup.
bool NeedsZip64(const ArchiveTable &table, int rowCount, int colCount) {
    constexpr std::uint64_t kCellMarkupBytes = 64;
    constexpr std::uint64_t kLimit = 3ull << 30;
    std::uint64_t sheetBytes = 0;
    for (int r = 0; r < rowCount; ++r) {
        if (r % kRowsPerSheet == 0) sheetBytes = 0;
        for (int c = 0; c < colCount; ++c)
            sheetBytes += 7 * table.cellBytes(c, r).size() + kCellMarkupBytes;
        if (sheetBytes > kLimit) return true;
    }
    return false;
}

} // namespace

int TextWidthPixels(std::string_view cp1251) {
    const auto &table = PixelTable();
    int width = 0;
    for (const char c : cp1251)
        width += table[static_cast<unsigned char>(c)];
    return width;
}

double ColumnWidthForPixels(int pixels) {
    // A column of width w characters is 7 * w + 5 pixels wide; one character of margin keeps a text
    // whose estimate came out a little small from touching the cell borders.
    const double chars = (std::max(pixels, 0) + 7) / 7.0;
    return std::ceil(chars * 4.0) / 4.0;
}

int ExportedColumnCount(const ArchiveTable &table) {
    return std::clamp(table.colCount(), 0, ArchiveTable::kMaxColCount);
}

ExportResult ExportToSpreadsheet(const ArchiveTable &table, const QString &namePrefix,
                                 const QString &fileName, const ExportProgress &progress) {
    if (fileName.trimmed().isEmpty()) {
        return ExportError{ExportError::Kind::NoFileName,
                           QStringLiteral("No file name given for the workbook")};
    }
    QFileInfo target(fileName);
    if (target.isSymLink()) target = QFileInfo(target.symLinkTarget());
    if (target.isDir()) {
        return ExportError{ExportError::Kind::NoFileName,
                           QStringLiteral("%1 is a folder, not a file name").arg(fileName)};
    }
    const QString targetPath = target.absoluteFilePath();
    const QString folder = target.absolutePath();
    const auto readOnly = [&] {
        return ExportError{ExportError::Kind::ReadOnly, ReadOnlyTargetText(targetPath)};
    };
    if (IsReadOnlyTarget(targetPath)) return readOnly();
    if (!QFileInfo(folder).isDir()) {
        return ExportError{ExportError::Kind::CannotCreate,
                           QStringLiteral("Folder %1 does not exist").arg(folder)};
    }

    // A short fixed name, so that a target name near the length limit still leaves room for it.
    QTemporaryFile temporary(QDir(folder).filePath(QStringLiteral(".velda9-export-XXXXXX.part")));
    if (!temporary.open()) {
        return ExportError{
            ExportError::Kind::CannotCreate,
            QStringLiteral("Cannot create a file in %1: %2").arg(folder, temporary.errorString())};
    }
    const QByteArray temporaryPath = QFile::encodeName(temporary.fileName());
    temporary.close();

    const int rowTotal = std::max(table.rowCount(), 0);
    const int colCount = ExportedColumnCount(table);

    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    // ZIP64 only when a sheet could come near 4 GB: some readers do not open ZIP64 containers.
    options.use_zip64 = NeedsZip64(table, rowTotal, colCount) ? LXW_TRUE : LXW_FALSE;
    std::unique_ptr<lxw_workbook, WorkbookDeleter> workbook(
        workbook_new_opt(temporaryPath.constData(), &options));
    if (!workbook) {
        return ExportError{ExportError::Kind::WriteFailed, QStringLiteral("Cannot start a workbook")};
    }
    lxw_format *centred = workbook_add_format(workbook.get());
    format_set_align(centred, LXW_ALIGN_CENTER);

    const std::vector<SheetSlice> plan = PlanSheets(rowTotal);
    constexpr int kProgressStep = 512;
    int rowsWritten = 0;
    if (progress && !progress(0, rowTotal)) {
        return ExportError{ExportError::Kind::Cancelled, QStringLiteral("Export cancelled")};
    }

    std::string utf8;
    std::vector<int> widestPixels(static_cast<std::size_t>(colCount));
    for (const SheetSlice &slice : plan) {
        const QByteArray sheetName = SheetName(namePrefix, slice.number).toUtf8();
        lxw_worksheet *sheet = workbook_add_worksheet(workbook.get(), sheetName.constData());
        if (!sheet) {
            return ExportError{ExportError::Kind::WriteFailed,
                               QStringLiteral("Cannot add sheet \"%1\"").arg(QString::fromUtf8(sheetName))};
        }
        std::fill(widestPixels.begin(), widestPixels.end(), 0);
        for (int j = 0; j < slice.rowCount; ++j) {
            const int row = slice.firstRow + j;
            for (int c = 0; c < colCount; ++c) {
                const std::string_view bytes = table.cellBytes(c, row);
                if (bytes.empty()) continue;
                if (bytes.size() > static_cast<std::size_t>(kMaxCellLength)) {
                    return ExportError{
                        ExportError::Kind::CellTooLong,
                        QStringLiteral("Cell %1 of row %2 holds %3 characters; a workbook cell "
                                       "holds at most %4")
                            .arg(c)
                            .arg(row)
                            .arg(bytes.size())
                            .arg(kMaxCellLength)};
                }
                AppendUtf8(bytes, utf8);
                const lxw_error written = worksheet_write_string(
                    sheet, static_cast<lxw_row_t>(j), static_cast<lxw_col_t>(c), utf8.c_str(), centred);
                if (written != LXW_NO_ERROR) {
                    return ExportError{ExportError::Kind::WriteFailed,
                                       QStringLiteral("Cannot write cell %1 of row %2: %3")
                                           .arg(c)
                                           .arg(row)
                                           .arg(LibraryError(written))};
                }
                auto &widest = widestPixels[static_cast<std::size_t>(c)];
                widest = std::max(widest, TextWidthPixels(bytes));
            }
            ++rowsWritten;
            if (progress && rowsWritten % kProgressStep == 0 && !progress(rowsWritten, rowTotal)) {
                return ExportError{ExportError::Kind::Cancelled, QStringLiteral("Export cancelled")};
            }
        }
        // Every column of the block is centred, also where it is blank (the block reaches one column
        // past the table); a column with texts is fitted to the widest of them on this sheet.
        for (int c = 0; c <= colCount; ++c) {
            const int widest = c < colCount ? widestPixels[static_cast<std::size_t>(c)] : 0;
            const double width = widest > 0 ? ColumnWidthForPixels(widest) : LXW_DEF_COL_WIDTH;
            worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), width, centred);
        }
    }

    const lxw_error closed = workbook_close(workbook.release());
    if (closed != LXW_NO_ERROR) {
        return ExportError{
            ExportError::Kind::WriteFailed,
            QStringLiteral("Cannot save the workbook %1: %2").arg(targetPath, LibraryError(closed))};
    }
    if (const QString fault = CheckWorkbookFile(temporary.fileName()); !fault.isEmpty()) {
        return ExportError{
            ExportError::Kind::WriteFailed,
            QStringLiteral("Cannot save the workbook %1: it came out incomplete (%2); the disk "
                           "may be full or the file too large")
                .arg(targetPath, fault)};
    }
    if (progress) progress(rowTotal, rowTotal);

    // The user may have protected the file while the workbook was being built.
    if (IsReadOnlyTarget(targetPath)) return readOnly();
    const QFileDevice::Permissions permissions =
        QFileInfo::exists(targetPath) ? QFile::permissions(targetPath) : NewFilePermissions();
    QFile::setPermissions(temporary.fileName(), permissions);
    if (std::rename(temporaryPath.constData(), QFile::encodeName(targetPath).constData()) != 0) {
        const int error = errno;
        return ExportError{ExportError::Kind::ReplaceFailed,
                           QStringLiteral("Cannot save the workbook as %1: %2")
                               .arg(targetPath, QString::fromLocal8Bit(std::strerror(error)))};
    }
    temporary.setAutoRemove(false);
    return ExportSummary{static_cast<int>(plan.size()), rowTotal, targetPath};
}

} // namespace velda::xlsx
