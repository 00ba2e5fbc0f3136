// The printed report of a 14-column table rendered to a PDF file: the time for 200,000 rows against its
// target, and the memory the report adds beside the table for 50,000 and for 200,000 rows, which stays
// the same however many pages the report has because the pages go to the file as they are painted.
//
// Without arguments it runs itself once per row count, so that each figure has a process of its own.
// With arguments: ROWS [FILE.pdf] runs one report (FILE keeps the PDF for a look at the pages).
#include "BenchTable.h"
#include "export/ReportPainter.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

using namespace velda;

namespace {

constexpr double kTargetSeconds = 3.0;
constexpr int kSmallRows = 50000;
constexpr int kLargeRows = 200000;

// Resident memory of the process now, in kB (VmRSS).
long CurrentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').front().toLong();
    }
    return -1;
}

// Starts the peak anew from the memory in use now (the table), so that the peak after the report less
// this start is what the report added. Without the kernel's reset, the peak so far is the start.
long RestartPeakKb() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly) && clear.write("5") == 1) {
        clear.close();
        return CurrentKb();
    }
    return bench::PeakKb();
}

// Processor time of the process so far (user and system), in seconds: unlike the wall time it does not
// grow when other programs share the processor.
double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Run {
    int rows = 0;
    double seconds = 0;
    double cpuSeconds = 0;
    int pages = 0;
    long tableKb = 0;
    long addedKb = 0;
};

int RunOne(int records, const QString &keep) {
    QTemporaryDir dir;
    const ArchiveTable table = bench::MakeArchive(records);
    const QString file = keep.isEmpty() ? dir.filePath(QStringLiteral("report.pdf")) : keep;
    const long startKb = RestartPeakKb();

    const double cpuStart = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const ReportPdfResult result = WriteReportPdf(table, file);
    const double seconds = bench::SecondsSince(start);
    const double cpuSeconds = CpuSeconds() - cpuStart;
    if (!result.ok()) {
        std::fprintf(stderr, "report failed: %s\n", qPrintable(result.error().message));
        return 1;
    }
    const int pages = result.value().pageCount;
    const long addedKb = bench::PeakKb() - startKb;
    std::printf(
        "rows %d x 14 columns: %.2f s (processor %.2f s), %d pages (%.0f pages/s), %lld bytes; memory "
        "%ld kB with the table, %ld kB added by the report\n",
        records + 1, seconds, cpuSeconds, pages, pages / seconds, QFileInfo(file).size(), startKb, addedKb);
    std::printf("RESULT %d %.4f %.4f %d %ld %ld\n", records, seconds, cpuSeconds, pages, startKb, addedKb);
    return 0;
}

bool RunChild(const QString &self, int records, Run &run) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(self, {QString::number(records)});
    if (!child.waitForFinished(-1) || child.exitCode() != 0) return false;
    for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
        if (!line.startsWith("RESULT ")) {
            if (!line.isEmpty()) std::printf("%s\n", line.constData());
            continue;
        }
        const QList<QByteArray> f = line.split(' ');
        if (f.size() != 7) return false;
        run = {f[1].toInt(), f[2].toDouble(), f[3].toDouble(), f[4].toInt(), f[5].toLong(), f[6].toLong()};
        return true;
    }
    return false;
}

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc > 1) {
        QGuiApplication app(argc, argv);
        return RunOne(std::atoi(argv[1]), argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString());
    }
    QCoreApplication app(argc, argv);
    const QString self = QCoreApplication::applicationFilePath();
    Run small;
    Run large;
    if (!RunChild(self, kSmallRows, small) || !RunChild(self, kLargeRows, large)) {
        std::fprintf(stderr, "a report run failed\n");
        return 1;
    }
    std::printf("time          %.2f s for %d rows (processor %.2f s), target %.1f s: %.2f x the target\n",
                large.seconds, large.rows, large.cpuSeconds, kTargetSeconds, large.seconds / kTargetSeconds);
    std::printf("memory added  %ld kB for %d pages (table %ld kB), %ld kB for %d pages (table %ld kB): ratio "
                "%.2f (flat: about 1; pages ratio %.2f)\n",
                small.addedKb, small.pages, small.tableKb, large.addedKb, large.pages, large.tableKb,
                small.addedKb > 0 ? double(large.addedKb) / double(small.addedKb) : 0.0,
                small.pages > 0 ? double(large.pages) / double(small.pages) : 0.0);
    return 0;
}
