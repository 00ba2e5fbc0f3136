// The printed report of a 200,000-row, 14-column table rendered to a PDF file.
#include "BenchTable.h"
#include "export/ReportPainter.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>

using namespace velda;

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 200000;
    QTemporaryDir dir;
    const ArchiveTable table = bench::MakeArchive(records);
    const long tableKb = bench::PeakKb();
    // A second argument keeps the PDF under that name for a look at the pages.
    const QString file =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : dir.filePath(QStringLiteral("report.pdf"));

    const auto start = std::chrono::steady_clock::now();
    const ReportPdfResult result = WriteReportPdf(table, file);
    const double seconds = bench::SecondsSince(start);
    if (!result.ok()) {
        std::fprintf(stderr, "report failed: %s\n", qPrintable(result.error().message));
        return 1;
    }
    const int pages = result.value().pageCount;
    std::printf("rows          %d x 14 columns\n", records + 1);
    std::printf("report pdf    %.2f s, %d pages (%.1f pages/s), %lld bytes\n", seconds, pages,
                pages / seconds, QFileInfo(file).size());
    std::printf("peak memory   %ld kB with the table, %ld kB after the report\n", tableKb, bench::PeakKb());
    return 0;
}
