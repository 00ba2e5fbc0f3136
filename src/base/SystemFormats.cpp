// Locale-derived cell formats and the two-decimal value format.
#include "base/SystemFormats.h"

#include <QRegularExpression>
#include <charconv>
#include <cmath>
#include <cstring>

#include <string>

namespace velda {
namespace {

SystemFormats &Current() {
    static SystemFormats formats = SystemFormats::FromLocale(QLocale::system());
    return formats;
}

} // namespace

QString WidenYear(const QString &dateFormat) {
    QString out;
    for (qsizetype i = 0; i < dateFormat.size();) {
        if (dateFormat[i] == QLatin1Char('\'')) { // quoted literal: copy up to the closing quote
            const qsizetype end = dateFormat.indexOf(QLatin1Char('\''), i + 1);
            const qsizetype stop = end < 0 ? dateFormat.size() : end + 1;
            out += dateFormat.mid(i, stop - i);
            i = stop;
            continue;
        }
        if (dateFormat[i] == QLatin1Char('y')) {
            qsizetype run = 0;
            while (i + run < dateFormat.size() && dateFormat[i + run] == QLatin1Char('y'))
                ++run;
            out += QStringLiteral("yyyy");
            i += run;
            continue;
        }
        out += dateFormat[i++];
    }
    return out;
}

SystemFormats SystemFormats::FromLocale(const QLocale &locale) {
    SystemFormats f;
    f.locale = locale;
    const QString decimal = locale.decimalPoint();
    f.decimalSeparator = decimal.isEmpty() ? QLatin1Char('.') : decimal.front();

    // The separator is whatever follows the hour field in the locale's short time format.
    const QString time = locale.timeFormat(QLocale::ShortFormat);
    f.timeSeparator = QStringLiteral(":");
    const qsizetype hour = time.indexOf(QRegularExpression(QStringLiteral("[hH]")));
    if (hour >= 0) {
        qsizetype i = hour;
        while (i < time.size() && (time[i] == QLatin1Char('h') || time[i] == QLatin1Char('H')))
            ++i;
        if (i < time.size() && !time[i].isLetter() && time[i] != QLatin1Char('\'')) f.timeSeparator = time[i];
    }
    f.timeFormat = QStringLiteral("hh") + f.timeSeparator + QStringLiteral("mm") + f.timeSeparator +
                   QStringLiteral("ss");
    f.shortDateFormat = WidenYear(locale.dateFormat(QLocale::ShortFormat));
    return f;
}

const SystemFormats &CurrentFormats() {
    return Current();
}

void SetCurrentFormats(const SystemFormats &formats) {
    Current() = formats;
}

namespace {

// The value x 100, rounded as CellFormat describes, as decimal digits (at least three, no leading zeros
// beyond those) after a "-" when the value is negative and does not round to zero. Writes at most
// kMaxValueCellBytes - 1 bytes to `out`; returns 0 for a value that is not finite.
std::size_t HundredthsDigits(double value, char *out) {
    if (!std::isfinite(value)) return 0;
    // 18 significant digits, d.ddddddddddddddddde±x
    constexpr int kDigits = 18;
    char sci[64];
    const auto res =
        std::to_chars(sci, sci + sizeof sci, std::fabs(value), std::chars_format::scientific, kDigits - 1);
    char digits[kDigits];
    digits[0] = sci[0];
    std::memcpy(digits + 1, sci + 2, kDigits - 1);
    const char *e = sci + 1 + kDigits; // 'e'
    int exponent = 0;
    for (const char *p = e + 2; p < res.ptr; ++p)
        exponent = exponent * 10 + (*p - '0');
    if (e[1] == '-') exponent = -exponent;

    // `keep` leading digits make the value x 100 as an integer; one spare place in front for a carry.
    const int keep = exponent + 1 + 2;
    char buffer[kMaxValueCellBytes];
    char *first = buffer + 1;
    std::size_t count = 0;
    if (keep < 0) {
        first[count++] = '0';
    } else {
        const auto k = static_cast<std::size_t>(keep);
        const bool roundUp = k < kDigits && digits[k] >= '5';
        const std::size_t copied = std::min<std::size_t>(k, kDigits);
        std::memcpy(first, digits, copied);
        std::memset(first + copied, '0', k - copied);
        count = k;
        if (count == 0) first[count++] = '0';
        if (roundUp) {
            std::size_t i = count;
            while (i > 0 && first[i - 1] == '9')
                first[--i] = '0';
            if (i == 0) {
                *--first = '1';
                ++count;
            } else {
                ++first[i - 1];
            }
        }
    }
    while (count > 1 && *first == '0') {
        ++first;
        --count;
    }
    const bool zero = count == 1 && *first == '0';
    std::size_t n = 0;
    if (value < 0 && !zero) out[n++] = '-';
    for (std::size_t pad = count; pad < 3; ++pad)
        out[n++] = '0';
    std::memcpy(out + n, first, count);
    return n + count;
}

} // namespace

std::size_t CellFormatBytes(double value, char decimalSeparator, char *out) {
    char digits[kMaxValueCellBytes];
    const std::size_t n = HundredthsDigits(value, digits);
    if (n == 0) {
        std::memcpy(out, "NAN", 3);
        return 3;
    }
    std::memcpy(out, digits, n - 2);
    out[n - 2] = decimalSeparator;
    out[n - 1] = digits[n - 2];
    out[n] = digits[n - 1];
    return n + 1;
}

QString CellFormat(double value, QChar decimalSeparator) {
    char digits[kMaxValueCellBytes];
    const std::size_t n = HundredthsDigits(value, digits);
    if (n == 0) return QStringLiteral("NAN");
    QString out = QString::fromLatin1(digits, static_cast<qsizetype>(n - 2));
    out += decimalSeparator;
    out += QLatin1String(digits + n - 2, 2);
    return out;
}

QString FormatTimeCell(QTime time, const SystemFormats &formats) {
    return time.toString(formats.timeFormat);
}

QString FormatDateCell(QDate date, const SystemFormats &formats) {
    return date.toString(formats.shortDateFormat);
}

std::optional<QTime> ParseTimeCell(QStringView text, const SystemFormats &formats) {
    const QTime t = QTime::fromString(text.toString(), formats.timeFormat);
    if (!t.isValid()) return std::nullopt;
    return t;
}

std::optional<QDate> ParseDateCell(QStringView text, const SystemFormats &formats) {
    const QDate d = QDate::fromString(text.toString(), formats.shortDateFormat);
    if (!d.isValid()) return std::nullopt;
    // The parser takes one- and two-digit days and months alike, so "01/05/2024" written as 1 May under
    // dd/MM/yyyy would read as 5 January under M/d/yyyy: only a text these formats write back reads.
    if (FormatDateCell(d, formats) != text) return std::nullopt;
    return d;
}

} // namespace velda
