// Value cells round half away from zero on 18 significant digits; dates read back as written.
#include "base/SystemFormats.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace velda;

TEST(CellFormat, RoundsOnTheDecimalExpansion) {
    struct Case {
        double value;
        const char *point;
        const char *comma;
    } cases[] = {
        {23.125, "23.13", "23,13"},
        {23.124999, "23.12", "23,12"},
        {-5.004, "-5.00", "-5,00"},
        {21.5, "21.50", "21,50"},
        {1234.567, "1234.57", "1234,57"},
        {0.0, "0.00", "0,00"},
        {-0.004, "0.00", "0,00"},
        {-0.005, "-0.01", "-0,01"},
        {0.995, "0.99", "0,99"},
        {99.995, "100.00", "100,00"},
        {-40.0, "-40.00", "-40,00"},
        {1e-9, "0.00", "0,00"},
        {760.1f, "760.10", "760,10"},
        {2.675, "2.67", "2,67"},
        {123456789.0, "123456789.00", "123456789,00"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.point);
        EXPECT_EQ(CellFormat(c.value, QLatin1Char('.')), QString::fromLatin1(c.point));
        EXPECT_EQ(CellFormat(c.value, QLatin1Char(',')), QString::fromLatin1(c.comma));
    }
    EXPECT_EQ(CellFormat(std::numeric_limits<double>::quiet_NaN(), QLatin1Char('.')), QStringLiteral("NAN"));
}

TEST(SystemFormats, TwoDigitYearsAreWidened) {
    EXPECT_EQ(WidenYear(QStringLiteral("M/d/yy")), QStringLiteral("M/d/yyyy"));
    EXPECT_EQ(WidenYear(QStringLiteral("dd.MM.yyyy")), QStringLiteral("dd.MM.yyyy"));
    EXPECT_EQ(WidenYear(QStringLiteral("d 'y' yy")), QStringLiteral("d 'y' yyyy"));
}

TEST(SystemFormats, CellsReadBackInEveryLocale) {
    for (const char *name : {"ru_RU", "en_US", "de_DE", "en_GB", "fi_FI", "C"}) {
        SCOPED_TRACE(name);
        const SystemFormats f = SystemFormats::FromLocale(QLocale(QString::fromLatin1(name)));
        const QDate date(1999, 12, 31);
        const QTime time(23, 5, 9);
        EXPECT_EQ(ParseDateCell(FormatDateCell(date, f), f), date);
        EXPECT_EQ(ParseTimeCell(FormatTimeCell(time, f), f), time);
        EXPECT_EQ(FormatTimeCell(time, f).size(), 8);
    }
    const SystemFormats ru = SystemFormats::FromLocale(QLocale(QStringLiteral("ru_RU")));
    EXPECT_EQ(ru.decimalSeparator, QLatin1Char(','));
    EXPECT_EQ(FormatDateCell(QDate(2026, 3, 1), ru), QStringLiteral("01.03.2026"));
    const SystemFormats us = SystemFormats::FromLocale(QLocale(QStringLiteral("en_US")));
    EXPECT_EQ(us.decimalSeparator, QLatin1Char('.'));
    EXPECT_EQ(FormatDateCell(QDate(2026, 3, 1), us), QStringLiteral("3/1/2026"));
}
