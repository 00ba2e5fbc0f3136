// The system formats that write and read back the table's cells: decimal separator, time and date formats.
#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

#include <cstddef>
#include <optional>

namespace velda {

/// Formats taken from one locale. Every writer and reader of cells uses the same instance, so a cell
/// parses back to the value that wrote it.
struct SystemFormats {
    QLocale locale;
    QChar decimalSeparator{'.'};
    QString timeSeparator{QStringLiteral(":")};
    /// QDate format of the locale's short date, widened to a four-digit year.
    QString shortDateFormat{QStringLiteral("dd.MM.yyyy")};
    /// "hh:mm:ss" with the locale's time separator.
    QString timeFormat{QStringLiteral("hh:mm:ss")};

    [[nodiscard]] static SystemFormats FromLocale(const QLocale &locale);
};

/// The formats in force for the process: the system locale's until SetCurrentFormats is called.
/// Set once at start-up (before any exchange thread runs); read from any thread afterwards.
[[nodiscard]] const SystemFormats &CurrentFormats();
void SetCurrentFormats(const SystemFormats &formats);

/// Widens a two-digit-year QDate format ("M/d/yy") to four digits ("M/d/yyyy").
[[nodiscard]] QString WidenYear(const QString &dateFormat);

/// A value cell: exactly two decimals, rounded half away from zero on the value's decimal expansion to
/// 18 significant digits (23.125 -> "23.13", 23.124999 -> "23.12", -5.004 -> "-5.00"), the given decimal
/// separator, no thousands separator. A value that rounds to zero has no sign. Non-finite gives "NAN".
[[nodiscard]] QString CellFormat(double value, QChar decimalSeparator);
[[nodiscard]] inline QString CellFormat(double value) {
    return CellFormat(value, CurrentFormats().decimalSeparator);
}

/// Room for any value cell: a sign, the 309 integer digits of the largest double, the separator and two
/// decimals.
inline constexpr std::size_t kMaxValueCellBytes = 320;
/// CellFormat as Windows-1251 bytes with the separator already encoded: writes at most kMaxValueCellBytes
/// bytes to `out` and returns how many.
[[nodiscard]] std::size_t CellFormatBytes(double value, char decimalSeparator, char *out);

[[nodiscard]] QString FormatTimeCell(QTime time, const SystemFormats &formats);
[[nodiscard]] QString FormatDateCell(QDate date, const SystemFormats &formats);
/// Parse cells back with the formats that wrote them; nullopt when the text is no valid time or date, or
/// (a date) not the text the formats write for it.
[[nodiscard]] std::optional<QTime> ParseTimeCell(QStringView text, const SystemFormats &formats);
[[nodiscard]] std::optional<QDate> ParseDateCell(QStringView text, const SystemFormats &formats);

} // namespace velda
