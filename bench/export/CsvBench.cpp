// CSV export of a 200,000-row, 14-column table against plain buffered writing of the same bytes, with
// and without the sync to disk that the export's save file makes before it renames.
#include "BenchTable.h"
#include "export/CsvExport.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <ctime>
#include <string>

#include <unistd.h>

using namespace velda;

namespace {

// Wall and process CPU seconds of one run; the best of each is kept, so a busy machine tilts neither.
struct Timing {
    double wall = 1e300;
    double cpu = 1e300;
};

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

template <typename F>
void Measure(Timing &best, F &&run) {
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds();
    run();
    best.cpu = std::min(best.cpu, CpuSeconds() - cpuStart);
    best.wall = std::min(best.wall, bench::SecondsSince(start));
}

void PlainWrite(const QString &path, const QByteArray &bytes, bool sync) {
    std::FILE *f = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!f) return;
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), f);
    std::fflush(f);
    if (sync) fsync(fileno(f));
    std::fclose(f);
}

} // namespace

int main(int argc, char **argv) {
    const int records = argc > 1 ? std::atoi(argv[1]) : 200000;
    QTemporaryDir dir;
    const ArchiveTable table = bench::MakeArchive(records);
    const SystemFormats formats = SystemFormats::FromLocale(QLocale(QStringLiteral("ru_RU")));
    const QString csvPath = dir.filePath(QStringLiteral("bench.csv"));
    const QString plainPath = dir.filePath(QStringLiteral("plain.csv"));

    // Best of alternating runs, so a busy machine tilts neither side.
    constexpr int kRounds = 5;
    Timing ours, iso, plain, plainSync, convert;
    QByteArray bytes;
    bool ok = true;
    for (int round = 0; round < kRounds && ok; ++round) {
        Measure(ours, [&] {
            ok = csv::ExportToCsv(table, csvPath, csv::CsvOptions{';', false}, formats).ok();
        });
        if (bytes.isEmpty()) {
            QFile written(csvPath);
            if (!written.open(QIODevice::ReadOnly)) return 1;
            bytes = written.readAll();
        }
        Measure(plain, [&] { PlainWrite(plainPath, bytes, false); });
        Measure(plainSync, [&] { PlainWrite(plainPath, bytes, true); });
        Measure(iso, [&] {
            ok = ok && csv::ExportToCsv(table, csvPath, csv::CsvOptions{';', true}, formats).ok();
        });
        std::string text;
        text.reserve(static_cast<std::size_t>(bytes.size()));
        Measure(convert, [&] {
            for (int row = 0; row < table.rowCount(); ++row)
                csv::AppendCsvRow(text, table, row, csv::CsvOptions{';', false}, formats);
        });
    }
    if (!ok) {
        std::fprintf(stderr, "the export failed\n");
        return 1;
    }
    const auto line = [](const char *what, const Timing &t) {
        std::printf("  %-18s wall %7.1f ms, CPU %7.1f ms\n", what, t.wall * 1000, t.cpu * 1000);
    };
    std::printf("CSV export of %d rows x 14 columns, %.1f MB (best of %d)\n", records + 1,
                static_cast<double>(bytes.size()) / 1e6, kRounds);
    line("export", ours);
    line("export --iso-date", iso);
    line("cells to text", convert);
    line("plain fwrite", plain);
    line("plain fwrite+fsync", plainSync);
    std::printf("  ratio to plain fwrite: wall %.2f, CPU %.2f (target within 1.5)\n", ours.wall / plain.wall,
                ours.cpu / plain.cpu);
    std::printf("  ratio to plain fwrite + fsync (the export syncs before its rename): wall %.2f, CPU %.2f\n",
                ours.wall / plainSync.wall, ours.cpu / plainSync.cpu);
    return 0;
}
