// Spreadsheet export with libxlsxwriter in constant-memory mode: rows are streamed in order, so even a
// table of hundreds of thousands of rows needs only a few megabytes.
#include "export/SpreadsheetExport.h"

#include "base/Cp1251.h"
#include "base/Texts.h"
#include "export/SheetPlan.h"
#include "export/WorkbookCheck.h"

#include <QFile>

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

#include <locale.h>

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

constexpr TextPair TxtCellTooLong{
    "ячейка %1 строки %2 содержит %3 символов, а ячейка книги вмещает не больше %4",
    "cell %1 of row %2 holds %3 characters; a workbook cell holds at most %4"};
constexpr TextPair TxtLibraryFailed{"%1: книга не построена (ошибка библиотеки %2)",
                                    "%1: the workbook could not be built (library error %2)"};

// Gives the calling thread the "C" numeric locale while it lives: the library prints the numbers of its
// XML (column widths, margins) with printf, which would write a decimal comma under many locales.
class CNumericLocale {
public:
    CNumericLocale()
        : m_c(::newlocale(LC_NUMERIC_MASK, "C", ::duplocale(LC_GLOBAL_LOCALE))),
          m_previous(m_c ? ::uselocale(m_c) : nullptr) {}
    ~CNumericLocale() {
        if (!m_c) return;
        ::uselocale(m_previous);
        ::freelocale(m_c);
    }
    CNumericLocale(const CNumericLocale &) = delete;
    CNumericLocale &operator=(const CNumericLocale &) = delete;

private:
    locale_t m_c;
    locale_t m_previous;
};

// Why the library could not finish the file: the system's reason where it left one that a user meets
// (a full disk, the file-size limit), else that the file came out incomplete.
FileError FinishFault(int systemError, const QString &path) {
    if (systemError == ENOSPC || systemError == EDQUOT || systemError == EFBIG || systemError == EIO)
        return FileError::FromErrno(systemError, path);
    return FileError{FileError::Kind::Incomplete, path, {}};
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
    constexpr double kMaxWidth = 255;
    const double chars = (std::max(pixels, 0) + 7) / 7.0;
    return std::min(std::ceil(chars * 4.0) / 4.0, kMaxWidth);
}

int ExportedColumnCount(const ArchiveTable &table) {
    return std::clamp(table.colCount(), 0, ArchiveTable::kMaxColCount);
}

ExportError FileFault(ExportError::Kind kind, const FileError &error) {
    switch (error.kind) {
    case FileError::Kind::NoFileName:
    case FileError::Kind::IsFolder:
        kind = ExportError::Kind::NoFileName;
        break;
    case FileError::Kind::ReadOnlyFile:
        kind = ExportError::Kind::ReadOnly;
        break;
    default:
        break;
    }
    return ExportError{kind, error.message()};
}

ExportResult ExportToSpreadsheet(const ArchiveTable &table, const QString &namePrefix,
                                 const QString &fileName, const ExportProgress &progress) {
    using Kind = ExportError::Kind;
    FileWriter file(fileName);
    if (auto opened = file.open(); !opened) return FileFault(Kind::CannotCreate, opened.error());
    // The library opens the new file by a name of its own that reaches the writer's file.
    const QByteArray filePath = file.openPath();
    const auto libraryFailed = [&](lxw_error error) {
        return ExportError{Kind::WriteFailed,
                           Pick(TxtLibraryFailed).arg(fileName).arg(static_cast<int>(error))};
    };
    const CNumericLocale numbersWithAPoint;

    const int rowTotal = std::max(table.rowCount(), 0);
    const int colCount = ExportedColumnCount(table);

    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    // ZIP64 only when a sheet could come near 4 GB: some readers do not open ZIP64 containers.
    options.use_zip64 = NeedsZip64(table, rowTotal, colCount) ? LXW_TRUE : LXW_FALSE;
    std::unique_ptr<lxw_workbook, WorkbookDeleter> workbook(workbook_new_opt(filePath.constData(), &options));
    if (!workbook) return libraryFailed(LXW_ERROR_MEMORY_MALLOC_FAILED);
    lxw_format *centred = workbook_add_format(workbook.get());
    format_set_align(centred, LXW_ALIGN_CENTER);

    const std::vector<SheetSlice> plan = PlanSheets(rowTotal);
    constexpr int kProgressStep = 512;
    int rowsWritten = 0;
    if (progress && !progress(0, rowTotal)) {
        return ExportError{Kind::Cancelled, QStringLiteral("Export cancelled")};
    }

    std::string utf8;
    std::vector<int> widestPixels(static_cast<std::size_t>(colCount));
    for (const SheetSlice &slice : plan) {
        const QByteArray sheetName = SheetName(namePrefix, slice.number).toUtf8();
        lxw_worksheet *sheet = workbook_add_worksheet(workbook.get(), sheetName.constData());
        if (!sheet) return libraryFailed(LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE);
        std::fill(widestPixels.begin(), widestPixels.end(), 0);
        for (int j = 0; j < slice.rowCount; ++j) {
            const int row = slice.firstRow + j;
            for (int c = 0; c < colCount; ++c) {
                const std::string_view bytes = table.cellBytes(c, row);
                if (bytes.empty()) continue;
                if (bytes.size() > static_cast<std::size_t>(kMaxCellLength)) {
                    return ExportError{
                        Kind::CellTooLong,
                        QStringLiteral("%1: ").arg(fileName) +
                            Pick(TxtCellTooLong).arg(c).arg(row).arg(bytes.size()).arg(kMaxCellLength)};
                }
                AppendUtf8(bytes, utf8);
                const lxw_error written = worksheet_write_string(
                    sheet, static_cast<lxw_row_t>(j), static_cast<lxw_col_t>(c), utf8.c_str(), centred);
                if (written != LXW_NO_ERROR) return libraryFailed(written);
                auto &widest = widestPixels[static_cast<std::size_t>(c)];
                widest = std::max(widest, TextWidthPixels(bytes));
            }
            ++rowsWritten;
            if (progress && rowsWritten % kProgressStep == 0 && !progress(rowsWritten, rowTotal)) {
                return ExportError{Kind::Cancelled, QStringLiteral("Export cancelled")};
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

    errno = 0;
    const lxw_error closed = workbook_close(workbook.release());
    const int closeError = errno;
    if (closed != LXW_NO_ERROR || !CheckWorkbookFile(QFile::decodeName(filePath)).ok())
        return FileFault(Kind::WriteFailed, FinishFault(closeError, fileName));
    if (progress) progress(rowTotal, rowTotal);
    if (auto committed = file.commit(); !committed) return FileFault(Kind::ReplaceFailed, committed.error());
    return ExportSummary{static_cast<int>(plan.size()), rowTotal, file.targetPath()};
}

} // namespace velda::xlsx
