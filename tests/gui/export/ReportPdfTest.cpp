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

    const ReportPdfResult unnamed = WriteReportPdf(empty, QString());
    EXPECT_FALSE(unnamed.ok());
}

} // namespace
} // namespace velda
