// The About box's texts: the build date in words, the version line, the mail link.
#pragma once

#include "base/Texts.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace velda {

inline constexpr TextPair TxtVersionPrefix{"Версия ", "Version "};
inline constexpr TextPair TxtDateJoiner{" от ", " of "};
inline constexpr TextPair TxtProductName{"VELDA - 9", "VELDA - 9"};
inline constexpr TextPair TxtPhoneCaption{"тел./факс. ", "tel./fax"};
inline constexpr TextPair TxtChannelNote{" многоканальный ", " multichannel "};
inline constexpr TextPair TxtWebHint{"Открыть страницу VELDA-9 в браузере", "Open the VELDA-9 web page"};
inline constexpr TextPair TxtMailHint{"Написать письмо", "Написать письмо"};
inline constexpr const char *kYearMark = " г.";

/// Month names for the date line, January first; each is framed by blanks.
inline constexpr TextPair kMonthNames[12] = {
    {" января ", " january "},  {" февраля ", " february "}, {" марта ", " march "},
    {" апреля ", " apri "},     {" мая ", " may "},          {" июня ", " june "},
    {" июля ", " july "},       {" августа ", " august "},   {" сентября ", " september "},
    {" октября ", " october "}, {" ноября ", " november "},  {" декабря ", " december "}};

/// The three fields of a build date text such as "Mar 13 2018" or "Mar  3 2018".
struct BuildDateFields {
    QString month; ///< up to 3 characters
    QString day;   ///< up to 2 characters
    QString year;  ///< up to 4 characters
};

/// The program's build date as "Mmm dd yyyy" (English month abbreviation, day padded with a blank to two
/// places, four-digit year), made from the date compiled in at build time.
[[nodiscard]] QString BuildDate();

/// The same text for a date written "dd.MM.yyyy"; nullopt when that is no valid date.
[[nodiscard]] std::optional<QString> BuildDateFromDotted(QStringView dotted);

/// Reads three blank-separated fields of at most 3, 2 and 4 characters, each after skipping white space
/// (a longer run is split, as a width-limited scan does). nullopt unless all three were read.
[[nodiscard]] std::optional<BuildDateFields> ReadBuildDate(QStringView text);

/// " от 13 марта 2018 г." / " of 13 march 2018 г.": an unknown month abbreviation gives January.
[[nodiscard]] QString DatePart(const BuildDateFields &fields, std::uint8_t language);

/// "Версия 1.0.0 от 13 марта 2018 г."; nullopt when the build date cannot be read (the label then keeps
/// its design text).
[[nodiscard]] std::optional<QString> VersionLine(const QString &version, QStringView buildDate,
                                                 std::uint8_t language);

/// The program's title: its file name without folder and extension, every letter after the first in
/// lower case.
[[nodiscard]] QString ApplicationTitle(const QString &programPath);

/// "mailto:" + address + "?Subject=" + title, nothing encoded.
[[nodiscard]] QString MailtoText(const QString &address, const QString &title);

} // namespace velda
