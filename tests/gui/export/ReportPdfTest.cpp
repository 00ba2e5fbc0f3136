// The report rendered to PDF and read back with pdftotext.
#include "export/ReportLines.h"
#include "export/ReportPainter.h"

#include "ExportGuiTestSupport.h"
#include "QtPrinters.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace velda {
namespace {

bool HasWord(const QString &page, const QString &word) {
    return page.contains(
        QRegularExpression(QStringLiteral("(^|\\s)%1(\\s|$)").arg(QRegularExpression::escape(word))));
}

TEST(ReportPdfTest, EveryPageHasTitleHeaderLineAndItsNumber) {
    testing::App();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("report.pdf"));
    const ArchiveTable table = testing::NumberedTable(100, 14);
    ReportDocument document{QStringLiteral("Архив измерений 07.03.2026 14:05:09"), MakeReportLines(table),
                            table.rowCount()};
    const ReportPdfResult result = WriteReportPdf(document, file);
    ASSERT_TRUE(result.ok()) << result.error().message.toStdString();
    EXPECT_EQ(result.value().pageCount, 3);

    const QStringList pages = testing::PdfPages(file);
    ASSERT_EQ(pages.size(), 3);
    // 39 detail bands per page; the first band prints empty, so page 2 starts with record 39.
    const int firstRecord[] = {1, 39, 78};
    const int lastRecord[] = {38, 77, 100};
    for (int p = 0; p < 3; ++p) {
        SCOPED_TRACE(p + 1);
        const QString &page = pages[p];
        EXPECT_TRUE(page.contains(document.title));
        EXPECT_TRUE(page.contains(QStringLiteral("Колонка0Колонка1")));
        EXPECT_TRUE(page.contains(QStringLiteral("Колонка13")));
        const QStringList lines = page.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        EXPECT_EQ(lines.back().trimmed(), QString::number(p + 1)) << "page number at the foot";
        EXPECT_TRUE(HasWord(page, QStringLiteral("%1:13").arg(firstRecord[p])));
        EXPECT_TRUE(HasWord(page, QStringLiteral("%1:13").arg(lastRecord[p])));
        if (p > 0) {
            EXPECT_FALSE(HasWord(page, QStringLiteral("%1:13").arg(lastRecord[p - 1])));
        }
    }
}

TEST(ReportPdfTest, EmptyTablePrintsOnePageAndBadPathsFailWithoutHarm) {
    testing::App();
    QTemporaryDir dir;
    ArchiveTable empty; // 10 columns, 9 rows of nothing
    const QString file = dir.filePath(QStringLiteral("empty.pdf"));
    const ReportPdfResult result = WriteReportPdf(empty, file);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(testing::PdfPages(file).size(), 1);

    const ReportPdfResult missing = WriteReportPdf(empty, dir.filePath(QStringLiteral("no/such/dir/r.pdf")));
    ASSERT_FALSE(missing.ok());
    EXPECT_TRUE(missing.error().message.contains(QStringLiteral("r.pdf")));

    // No name is said in the language in force, as every file error is.
    const ReportPdfResult unnamed = WriteReportPdf(empty, QStringLiteral("  "));
    ASSERT_FALSE(unnamed.ok());
    EXPECT_EQ(unnamed.error().kind, PdfError::Kind::NoFileName);
    EXPECT_TRUE(unnamed.error().message.contains(QStringLiteral("не указано имя файла")))
        << unnamed.error().message.toStdString();
}

// The PDF gets a line as its printed glyphs at their places, or laid out as text where the font or the
// direction asks for it; either way every word reads back in its order, and a report made from the table
// as it prints reads the same as one made from its lines.
TEST(ReportPdfTest, LinesReadBackTheSameWhicheverWayTheyArePrinted) {
    testing::App();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("lines.pdf"));
    struct Case {
        const char *name;
        QString line;
        QStringList words; ///< on one text row of the page, in this order
    };
    const Case cases[] = {
        {"cyrillic, digits and signs",
         QStringLiteral("Термопара ХК    -21,50   №12 °C | 100"),
         {QStringLiteral("Термопара ХК"), QStringLiteral("-21,50"), QStringLiteral("№12 °C \\| 100")}},
        {"control characters print as blanks",
         QStringLiteral("tab\there\x7f end"),
         {QStringLiteral("tab here"), QStringLiteral("end")}},
        {"a letter the font lacks, right to left",
         QStringLiteral("shalom \u05E9\u05DC\u05D5\u05DD  end"),
         {QStringLiteral("shalom"), QStringLiteral("\\S*\u05E9\\S*"), QStringLiteral("end")}},
    };
    ReportDocument document{QStringLiteral("Title"), {QStringLiteral("head")}, 1};
    for (const Case &c : cases)
        document.lines.append(c.line);
    document.rowCount = static_cast<int>(document.lines.size());
    ASSERT_TRUE(WriteReportPdf(document, file).ok());
    const QStringList pages = testing::PdfPages(file);
    ASSERT_EQ(pages.size(), 1);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QRegularExpression row(QStringLiteral("(^|\\n) *") + c.words.join(QStringLiteral(" +")) +
                                     QStringLiteral(" *(\\n|$)"));
        EXPECT_TRUE(pages[0].contains(row)) << pages[0].toStdString();
    }

    const ArchiveTable table = testing::NumberedTable(90, 14);
    const QString fromTable = dir.filePath(QStringLiteral("table.pdf"));
    const QString fromLines = dir.filePath(QStringLiteral("lines.pdf"));
    ASSERT_TRUE(WriteReportPdf(table, fromTable).ok());
    ASSERT_TRUE(WriteReportPdf(MakeReportDocument(table), fromLines).ok());
    const QStringList tablePages = testing::PdfPages(fromTable);
    const QStringList linePages = testing::PdfPages(fromLines);
    ASSERT_EQ(tablePages.size(), 3);
    ASSERT_EQ(linePages.size(), 3);
    for (int p = 0; p < 3; ++p) {
        // The titles carry the time each report was made.
        EXPECT_EQ(tablePages[p].section(QLatin1Char('\n'), 1), linePages[p].section(QLatin1Char('\n'), 1));
    }
}

} // namespace
} // namespace velda
