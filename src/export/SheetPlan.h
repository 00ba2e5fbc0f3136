// How the archive table is split over the sheets of a workbook, and what each sheet is called.
#pragma once

#include <QString>

#include <vector>

namespace velda::xlsx {

/// Table rows per sheet: the header row counts as a row, so sheet 1 holds the header and 65,534 records.
inline constexpr int kRowsPerSheet = 65535;
/// The longest sheet name a workbook accepts, in characters.
inline constexpr int kMaxSheetNameLength = 31;

/// One sheet of the plan: table rows firstRow .. firstRow + rowCount - 1 go to sheet rows 0 .. rowCount - 1.
struct SheetSlice {
    int number = 1; ///< 1-based sheet number, also the suffix of the sheet name
    int firstRow = 0;
    int rowCount = 0;

    friend bool operator==(const SheetSlice &, const SheetSlice &) = default;
};

/// Sheet k (from 1) holds table rows 65535 * (k - 1) to 65535 * k - 1. A table without rows still gets
/// one (empty) sheet, because a workbook needs at least one.
[[nodiscard]] std::vector<SheetSlice> PlanSheets(int tableRowCount);

/// `prefix` followed by the decimal `number`. Characters a sheet name may not hold ([ ] : * ? / \) become
/// '_', a leading apostrophe too; the prefix is shortened (never the number) so the name stays within
/// kMaxSheetNameLength characters.
[[nodiscard]] QString SheetName(const QString &prefix, int number);

} // namespace velda::xlsx
