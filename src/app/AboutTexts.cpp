// The About box's date line and version line.
#include "app/AboutTexts.h"

#include "base/BuildDate.h"

#include <QDate>
#include <QFileInfo>

namespace velda {

namespace {

constexpr const char *kMonthAbbreviations[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// One width-limited field: skip white space, then take up to `width` non-blank characters.
std::optional<QString> scanField(QStringView text, qsizetype &pos, qsizetype width) {
    while (pos < text.size() && text[pos].isSpace())
        ++pos;
    const qsizetype start = pos;
    while (pos < text.size() && pos - start < width && !text[pos].isSpace())
        ++pos;
    if (pos == start) return std::nullopt;
    return text.mid(start, pos - start).toString();
}

} // namespace

std::optional<QString> BuildDateFromDotted(QStringView dotted) {
    const QDate date = QDate::fromString(dotted.toString(), QStringLiteral("dd.MM.yyyy"));
    if (!date.isValid()) return std::nullopt;
    return QStringLiteral("%1 %2 %3")
        .arg(QLatin1String(kMonthAbbreviations[date.month() - 1]))
        .arg(date.day(), 2, 10, QLatin1Char(' '))
        .arg(date.year(), 4, 10, QLatin1Char('0'));
}

QString BuildDate() {
    const QString dotted = QString::fromLatin1(BuildDateText());
    return BuildDateFromDotted(dotted).value_or(dotted);
}

std::optional<BuildDateFields> ReadBuildDate(QStringView text) {
    qsizetype pos = 0;
    auto month = scanField(text, pos, 3);
    if (!month) return std::nullopt;
    auto day = scanField(text, pos, 2);
    if (!day) return std::nullopt;
    auto year = scanField(text, pos, 4);
    if (!year) return std::nullopt;
    return BuildDateFields{*month, *day, *year};
}

QString DatePart(const BuildDateFields &fields, std::uint8_t language) {
    int month = 0;
    for (int m = 0; m < 12; ++m) {
        if (fields.month == QLatin1String(kMonthAbbreviations[m])) {
            month = m;
            break;
        }
    }
    return PickIn(TxtDateJoiner, language) + fields.day + PickIn(kMonthNames[month], language) + fields.year +
           QString::fromUtf8(kYearMark);
}

std::optional<QString> VersionLine(const QString &version, QStringView buildDate, std::uint8_t language) {
    const auto fields = ReadBuildDate(buildDate);
    if (!fields) return std::nullopt;
    return PickIn(TxtVersionPrefix, language) + version + DatePart(*fields, language);
}

QString ApplicationTitle(const QString &programPath) {
    const QString name = QFileInfo(programPath).completeBaseName();
    if (name.isEmpty()) return name;
    return name.left(1) + name.mid(1).toLower();
}

QString MailtoText(const QString &address, const QString &title) {
    return QStringLiteral("mailto:") + address + QStringLiteral("?Subject=") + title;
}

} // namespace velda
