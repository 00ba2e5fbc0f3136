// Writes the archive table as CSV text that spreadsheet programs of any locale open in columns.
#pragma once

#include "base/ArchiveTable.h"
#include "base/SystemFormats.h"
#include "base/Texts.h"
#include "export/SpreadsheetExport.h"

#include <QChar>
#include <QString>
#include <QStringView>

#include <optional>
#include <string>

namespace velda::csv {

using xlsx::ExportError;
using xlsx::ExportProgress;
using xlsx::ExportResult;

/// A date that --iso-date cannot rewrite: %1 the row, %2 the cell, %3 the date format in force.
inline constexpr TextPair TxtCsvDateNotRead{
    "Строка %1: дата «%2» не читается в формате %3; ничего не записано",
    "Row %1: the date '%2' does not read in the format %3; nothing was written"};

/// How the cells are written.
struct CsvOptions {
    char delimiter = ','; ///< ';', ',' or '\t'
    /// Date cells of the data rows as yyyy-MM-dd instead of the table's text. "NAN" and empty cells stay
    /// as they are; any other date that does not read with the formats in force refuses the export.
    bool isoDate = false;
};

/// The delimiter a spreadsheet program of the locale splits on: ';' where the decimal separator is a
/// comma (a ',' would cut every value in two), ',' otherwise.
[[nodiscard]] char DefaultDelimiter(QChar decimalSeparator);

/// The decimal separator the table's value cells were written with: that of the first value cell (a
/// temperature, humidity or third quantity of a data row) that holds a number with a ',' or a '.';
/// nullopt when none does. A project written under another locale keeps its separator, so the delimiter
/// of its CSV follows the cells rather than the locale in force.
[[nodiscard]] std::optional<QChar> DecimalSeparatorInCells(const ArchiveTable &table);

/// The delimiter for a CSV of `table`: DefaultDelimiter of the separator its cells carry
/// (DecimalSeparatorInCells), of the formats' separator when no cell shows one. The command line and the
/// window both propose it.
[[nodiscard]] char DelimiterFor(const ArchiveTable &table, const SystemFormats &formats);

/// ";" or "semicolon", "," or "comma", "tab" or a TAB character; nullopt for anything else.
[[nodiscard]] std::optional<char> ParseDelimiter(QStringView text);

/// Appends row `row` of `table` (the same cells the workbook export writes: columns 0 to
/// xlsx::ExportedColumnCount - 1) to `out` as one CSV line in UTF-8, CR LF included. A text beginning
/// with '=', '+', '-' or '@' (not a number) gets a leading "'", so that a spreadsheet program shows it as
/// text instead of running it as a formula. A field holding the delimiter, a double quote, CR or LF is
/// enclosed in double quotes with its quotes doubled; other fields are written bare. `formats` reads date
/// cells back for `options.isoDate`.
void AppendCsvRow(std::string &out, const ArchiveTable &table, int row, const CsvOptions &options,
                  const SystemFormats &formats);

/// Writes every row of `table`, header row first, to `fileName`: UTF-8 with a byte-order mark, lines
/// ended by CR LF. With `options.isoDate`, a data row's date cell that does not read with `formats` is
/// an error (DateNotRead, naming the row) before anything is written. The text goes to a temporary file in
/// the same folder that replaces `fileName` only when complete, so an existing file stays untouched on
/// failure or cancel. The table is only read and must not change while the export runs (any thread may run
/// it). `progress` is called every few hundred rows; returning false cancels.
ExportResult ExportToCsv(const ArchiveTable &table, const QString &fileName, const CsvOptions &options,
                         const SystemFormats &formats, const ExportProgress &progress = {});

} // namespace velda::csv
