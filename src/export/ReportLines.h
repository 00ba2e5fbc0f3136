// The printed report's text: one padded line per table row, the detail-line cursor, the title, the pages.
#pragma once

#include "base/ArchiveTable.h"
#include "base/SystemFormats.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

namespace velda {

/// Text width, in characters, of table columns 0 to 13 in a report line.
inline constexpr std::array<int, 14> ColumnPad{5, 12, 13, 13, 9, 8, 12, 9, 9, 16, 12, 9, 9, 16};

/// A cell text without leading and trailing blanks and control characters (every character up to U+0020).
[[nodiscard]] QString TrimCell(QStringView text);

/// The report line of table row `row` over the shown columns: each trimmed cell padded with spaces to its
/// ColumnPad width; a cell at or over its width is followed directly by the next one.
[[nodiscard]] QString ReportLine(const ArchiveTable &table, int row);

/// ReportLine for every table row, row 0 (the header row) first.
[[nodiscard]] QStringList MakeReportLines(const ArchiveTable &table);

/// The detail cursor of one pass over a report's lines: the index of the next ReportLines entry the
/// detail band prints (PrintCursor) and the row count of the report it belongs to. Each painting pass owns
/// its own, so two reports never move each other's cursor.
class DetailCursor {
public:
    /// Starts the cursor for a report of `rowCount` rows (header row included).
    explicit DetailCursor(int rowCount = 0) { ResetPrintCursor(rowCount); }

    /// Starts the cursor again, for a report of `rowCount` rows (header row included).
    void ResetPrintCursor(int rowCount);

    /// The detail line printed next: empty where the header row would be (cursor 0), else entry
    /// PrintCursor. The cursor then moves on and returns to 0 after the last row, so every full pass over
    /// the lines prints the same sequence: "", line 1, ..., last line.
    [[nodiscard]] QString QRExpr1Print(const QStringList &reportLines);

    /// The index QRExpr1Print prints next (0 prints empty), moving the cursor on the same way; for a pass
    /// that makes each line only when it is printed.
    [[nodiscard]] int NextPrintIndex();

    [[nodiscard]] int PrintCursor() const { return m_printCursor; }
    [[nodiscard]] int PrintRowCount() const { return m_printRowCount; }

private:
    int m_printCursor = 0;
    int m_printRowCount = 0;
};

/// The header line shown at the top of every page: entry 0, or nothing when there are no lines.
[[nodiscard]] QString QRExpr2Print(const QStringList &reportLines);

/// The report title: `TxtArchiveTitle` in `language` followed by the date in the short date format, a
/// space and the time, or the date alone when `now` is exactly midnight.
[[nodiscard]] QString ReportTitle(const QDateTime &now, const SystemFormats &formats, std::uint8_t language);

/// Page geometry of the report, millimetres: A4 landscape with 10 mm margins.
namespace report {
inline constexpr double kPageWidthMm = 297.0;
inline constexpr double kPageHeightMm = 210.0;
inline constexpr double kMarginMm = 10.0;
inline constexpr double kHeaderBandMm = 11.38;
inline constexpr double kTitleLeftMm = 110.1;
inline constexpr double kHeaderLineTopMm = 6.35;
inline constexpr double kDetailBandMm = 4.23;
inline constexpr double kDetailLeftMm = 0.53;
inline constexpr double kFooterBandMm = 10.58;
inline constexpr double kPageNumberLeftMm = 268.8;
inline constexpr double kPageNumberTopMm = 4.23;
inline constexpr int kDetailFontPt = 8;
inline constexpr int kTitleFontPt = 10;

/// Height between the margins of an A4 landscape page.
inline constexpr double kBodyHeightMm = kPageHeightMm - 2 * kMarginMm;

/// Detail lines that fit between the page header and the page footer of a page whose printable area is
/// `bodyHeightMm` high (at least one).
[[nodiscard]] int LinesPerPage(double bodyHeightMm = kBodyHeightMm);
/// Pages for `lineCount` detail lines; at least one, so an empty report still has its header and footer.
[[nodiscard]] int PageCount(int lineCount, double bodyHeightMm = kBodyHeightMm);
} // namespace report

} // namespace velda
