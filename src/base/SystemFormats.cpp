// Locale-derived cell formats and the two-decimal value format.
#include "base/SystemFormats.h"

#include <QRegularExpression>
#include <charconv>
#include <cmath>

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

QString CellFormat(double value, QChar decimalSeparator) {
    if (!std::isfinite(value)) return QStringLiteral("NAN");
    // 18 significant digits: d.ddddddddddddddddde±x
    char buf[64];
    const auto res =
        std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 17);
    const std::string text(buf, res.ptr);
    const std::size_t ePos = text.find('e');
    std::string digits = text.substr(0, 1) + text.substr(2, ePos - 2);
    const int exponent = std::stoi(text.substr(ePos + 1));

    // Keep the digits down to the hundredths: `keep` digits of `digits` make value x 100 as an integer.
    const int keep = exponent + 1 + 2;
    std::string hundredths;
    if (keep < 0) {
        hundredths = "0";
    } else {
        const bool roundUp =
            static_cast<std::size_t>(keep) < digits.size() && digits[static_cast<std::size_t>(keep)] >= '5';
        if (static_cast<std::size_t>(keep) <= digits.size()) {
            hundredths = digits.substr(0, static_cast<std::size_t>(keep));
        } else {
            hundredths = digits + std::string(static_cast<std::size_t>(keep) - digits.size(), '0');
        }
        if (hundredths.empty()) hundredths = "0";
        if (roundUp) {
            int i = static_cast<int>(hundredths.size()) - 1;
            while (i >= 0 && hundredths[static_cast<std::size_t>(i)] == '9')
                hundredths[static_cast<std::size_t>(i--)] = '0';
            if (i < 0)
                hundredths.insert(hundredths.begin(), '1');
            else
                ++hundredths[static_cast<std::size_t>(i)];
        }
    }
    const std::size_t firstNonZero = hundredths.find_first_not_of('0');
    if (firstNonZero == std::string::npos)
        hundredths = "0";
    else
        hundredths.erase(0, firstNonZero);
    while (hundredths.size() < 3)
        hundredths.insert(hundredths.begin(), '0');

    QString out;
    if (value < 0 && hundredths.find_first_not_of('0') != std::string::npos) out += QLatin1Char('-');
    out += QString::fromLatin1(hundredths.data(), static_cast<qsizetype>(hundredths.size() - 2));
    out += decimalSeparator;
    out += QString::fromLatin1(hundredths.data() + hundredths.size() - 2, 2);
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
    return d;
}

} // namespace velda
