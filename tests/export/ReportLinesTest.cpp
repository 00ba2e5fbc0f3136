// Report lines, the detail cursor, the title and pagination of the printed report.
#include "export/ReportLines.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace velda {
namespace {

ArchiveTable Table(int columns, int rows, const QString &text) {
    ArchiveTable table;
    table.setColCount(columns);
    table.setRowCount(rows);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c)
            table.setCell(c, r, text);
    }
    return table;
}

TEST(ReportLinesTest, LineWidthsFollowTheShownColumns) {
    struct Case {
        const char *name;
        int columns;
        QString cell;
        int width;
    };
    const Case cases[] = {
        {"10 columns", 10, QStringLiteral("ab"), 106},
        {"14 columns", 14, QStringLiteral("ab"), 152},
        {"blank cells pad fully", 10, QStringLiteral(" "), 106},
        {"empty cells pad fully", 14, QString(), 152},
        {"cells over every width", 10, QString(20, QLatin1Char('w')), 200},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QStringList lines = MakeReportLines(Table(c.columns, 4, c.cell));
        ASSERT_EQ(lines.size(), 4);
        for (const QString &line : lines)
            EXPECT_EQ(line.size(), c.width);
    }
}

TEST(ReportLinesTest, CellsAreTrimmedPaddedAndRunTogetherWhenTooLong) {
    ArchiveTable table = Table(10, 2, QString());
    table.setCell(0, 1, QStringLiteral(" 1 "));
    table.setCell(5, 1, QStringLiteral(" "));
    table.setCell(6, 1, QStringLiteral("\tТермопара ХК\r\n")); // 12 characters after trimming
    table.setCell(7, 1, QStringLiteral("21,50"));
    table.setCell(9, 1, QStringLiteral("dew\x01"));
    const QString line = MakeReportLines(table)[1];
    EXPECT_EQ(line.left(5), QStringLiteral("1    "));
    const int col5 = 5 + 12 + 13 + 13 + 9;
    EXPECT_EQ(line.mid(col5, 8), QString(8, QLatin1Char(' ')));
    EXPECT_EQ(line.mid(col5 + 8, 12 + 5), QStringLiteral("Термопара ХК21,50"));
    EXPECT_EQ(line.mid(col5 + 8 + 12 + 9 + 9, 4), QStringLiteral("dew "));
    EXPECT_EQ(line.size(), 106);
}

TEST(ReportLinesTest, TrimRemovesBlanksAndControlCharactersOnly) {
    EXPECT_EQ(TrimCell(u"\x01\t a b \x1f"), QStringLiteral("a b"));
    EXPECT_EQ(TrimCell(u"\u00a0x\u00a0"), QStringLiteral("\u00a0x\u00a0"));
    EXPECT_EQ(TrimCell(u"   "), QString());
}

TEST(ReportLinesTest, DetailCursorRepeatsTheSameSequenceEveryPass) {
    const QStringList lines{QStringLiteral("head"), QStringLiteral("one"), QStringLiteral("two"),
                            QStringLiteral("three")};
    DetailCursor cursor(4);
    const QStringList expected{QString(), QStringLiteral("one"), QStringLiteral("two"),
                               QStringLiteral("three")};
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass);
        QStringList printed;
        for (int i = 0; i < lines.size(); ++i)
            printed << cursor.QRExpr1Print(lines);
        EXPECT_EQ(printed, expected);
        EXPECT_EQ(cursor.PrintCursor(), 0);
    }
    EXPECT_EQ(QRExpr2Print(lines), QStringLiteral("head"));

    // A cursor left mid-pass by one report does not shift another's lines; restarting it begins anew.
    DetailCursor other(4);
    EXPECT_EQ(other.QRExpr1Print(lines), QString());
    EXPECT_EQ(other.QRExpr1Print(lines), QStringLiteral("one"));
    EXPECT_EQ(cursor.QRExpr1Print(lines), QString());
    other.ResetPrintCursor(1);
    EXPECT_EQ(other.PrintRowCount(), 1);
    EXPECT_EQ(other.QRExpr1Print({QStringLiteral("head")}), QString());
    EXPECT_EQ(other.PrintCursor(), 0);
    EXPECT_EQ(QRExpr2Print({}), QString());
}

TEST(ReportLinesTest, TitleHasDateAndTimeOrDateAloneAtMidnight) {
    const SystemFormats formats = SystemFormats::FromLocale(QLocale(QLocale::Russian, QLocale::Russia));
    struct Case {
        const char *name;
        QDateTime now;
        std::uint8_t language;
        QString expected;
    };
    const Case cases[] = {
        {"russian afternoon", QDateTime(QDate(2026, 3, 7), QTime(14, 5, 9)), 0,
         QStringLiteral("Архив измерений 07.03.2026 14:05:09")},
        {"english afternoon", QDateTime(QDate(2026, 3, 7), QTime(14, 5, 9)), 1,
         QStringLiteral("Archive of measurements 07.03.2026 14:05:09")},
        {"midnight", QDateTime(QDate(2026, 12, 31), QTime(0, 0)), 0,
         QStringLiteral("Архив измерений 31.12.2026")},
        {"one second past", QDateTime(QDate(2026, 12, 31), QTime(0, 0, 1)), 0,
         QStringLiteral("Архив измерений 31.12.2026 00:00:01")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ReportTitle(c.now, formats, c.language), c.expected);
    }
}

TEST(ReportLinesTest, PagesHoldWholeBandsBetweenHeaderAndFooter) {
    EXPECT_EQ(report::LinesPerPage(), 39); // (190 - 11.38 - 10.58) / 4.23
    EXPECT_EQ(report::PageCount(0), 1);
    EXPECT_EQ(report::PageCount(39), 1);
    EXPECT_EQ(report::PageCount(40), 2);
    EXPECT_EQ(report::PageCount(200001), 5129);
    EXPECT_EQ(report::LinesPerPage(277.0), 60) << "portrait page chosen in the print dialog";
    EXPECT_EQ(report::LinesPerPage(10.0), 1);
}

} // namespace
} // namespace velda
