// Writes the archive table into a spreadsheet workbook (.xlsx content, also under a .xls name).
#pragma once

#include "base/ArchiveTable.h"
#include "base/FileWriter.h"
#include "base/Result.h"

#include <QString>

#include <functional>

namespace velda::xlsx {

/// Why an export failed. The message names the file or cell concerned, in words a user understands.
struct ExportError {
    enum class Kind {
        NoFileName,    ///< the file name is empty or names a folder
        CannotCreate,  ///< the folder cannot take a new file
        CellTooLong,   ///< a cell holds more characters than a workbook cell can
        WriteFailed,   ///< the writer failed while building or saving the workbook
        ReplaceFailed, ///< the complete workbook could not take the place of the chosen name
        ReadOnly,      ///< the chosen name is an existing file protected against writing
        Cancelled,     ///< the progress callback asked to stop
    };
    Kind kind = Kind::WriteFailed;
    QString message;
};

/// A file writer's error as an export error of `kind`, or of NoFileName / ReadOnly where it says so.
[[nodiscard]] ExportError FileFault(ExportError::Kind kind, const FileError &error);

struct ExportSummary {
    int sheetCount = 0;
    int rowCount = 0; ///< table rows written, header row included
    QString fileName; ///< the file that now holds the workbook
};

/// A summary on success, an error otherwise; summary() is value() under the name the callers use.
class [[nodiscard]] ExportResult : public Result<ExportSummary, ExportError> {
public:
    using Result::Result;
    [[nodiscard]] const ExportSummary &summary() const { return value(); }
};

/// Called with the table rows written so far and the total; returning false cancels the export.
/// Runs on the thread that runs the export.
using ExportProgress = std::function<bool(int rowsWritten, int rowsTotal)>;

/// A workbook cell holds at most this many characters.
inline constexpr int kMaxCellLength = 32767;

/// Number of table columns an export writes: the shown columns, at most ArchiveTable::kMaxColCount.
[[nodiscard]] int ExportedColumnCount(const ArchiveTable &table);

/// Writes the shown part of `table` (colCount() x rowCount(), header row included, every cell as text)
/// into a workbook saved as `fileName`: 65,535 table rows per sheet, sheets named `namePrefix` + k,
/// every cell centred, every used column as wide as its widest text. The workbook is built through a
/// FileWriter, so an existing file is replaced only by a finished, synced workbook and stays untouched on
/// failure or cancel. Its bytes do not depend on the locale (numbers in its XML always have a point). The
/// table is only read; it must not change while the export runs (any thread may run it, one export per
/// table).
ExportResult ExportToSpreadsheet(const ArchiveTable &table, const QString &namePrefix,
                                 const QString &fileName, const ExportProgress &progress = {});

/// Estimated width of a Windows-1251 text in the workbook's default font (11-point sans), in pixels.
[[nodiscard]] int TextWidthPixels(std::string_view cp1251);

/// Column width, in the workbook's character units, that fits a text `pixels` wide with a margin; at most
/// 255, the widest column a spreadsheet holds.
[[nodiscard]] double ColumnWidthForPixels(int pixels);

} // namespace velda::xlsx
