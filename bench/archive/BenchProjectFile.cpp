// Benchmark: SaveProject and LoadProject of a 200,000-row, 14-column table against plain buffered I/O of
// the same bytes, and the peak memory of the loaded table (measured in a fresh process). The last line
// gives the three ratios: load against plain read, save against plain write + fsync, peak memory against
// the file size.
#include "BenchCommon.h"

#include "archive/ProjectFile.h"
#include "archive/TableFill.h"
#include "base/ArchiveTable.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <malloc.h>
#include <unistd.h>

using namespace velda;

namespace {

constexpr std::size_t kRows = 200000;
constexpr std::size_t kChunk = 64 * 1024;
constexpr int kRounds = 7;

bench::Best PlainWrite(const std::string &path, const std::vector<char> &bytes, bool sync) {
    bench::Best best;
    const bench::Stopwatch clock;
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return best;
    for (std::size_t at = 0; at < bytes.size(); at += kChunk)
        std::fwrite(bytes.data() + at, 1, std::min(kChunk, bytes.size() - at), f);
    std::fflush(f);
    if (sync) fsync(fileno(f));
    std::fclose(f);
    best.add(clock);
    return best;
}

bench::Best PlainRead(const std::string &path, std::vector<char> &into) {
    bench::Best best;
    const bench::Stopwatch clock;
    std::FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) return best;
    std::size_t at = 0;
    into.resize(kChunk);
    for (;;) {
        if (into.size() < at + kChunk) into.resize(into.size() * 2);
        const std::size_t got = std::fread(into.data() + at, 1, kChunk, f);
        at += got;
        if (got < kChunk) break;
    }
    into.resize(at);
    std::fclose(f);
    best.add(clock);
    return best;
}

void Keep(bench::Best &best, const bench::Best &run) {
    best.wallMs = std::min(best.wallMs, run.wallMs);
    best.cpuMs = std::min(best.cpuMs, run.cpuMs);
}

void PrintRatio(const char *what, const bench::Best &ours, const char *plainName, const bench::Best &plain) {
    std::printf(
        "  %-12s wall %7.1f ms | %-20s %7.1f ms -> ratio %5.2f;  CPU %7.1f ms vs %7.1f ms -> ratio %5.2f\n",
        what, ours.wallMs, plainName, plain.wallMs, ours.wallMs / plain.wallMs, ours.cpuMs, plain.cpuMs,
        ours.cpuMs / plain.cpuMs);
}

int MeasureLoadMemory(const char *path) {
    // A load of a one-cell file first pages in the code and the file layer, so that the growth below is
    // the table's alone.
    {
        QTemporaryDir dir;
        ArchiveTable small;
        small.setColCount(1);
        small.setRowCount(1);
        small.setCell(0, 0, QStringLiteral("x"));
        const QString smallPath = dir.filePath(QStringLiteral("small.vd"));
        if (!SaveProject(small, smallPath, {}) || !ReadProject(small, smallPath)) return 1;
    }
    const long rssBefore = bench::StatusKb("VmRSS");
    const long hwmBefore = bench::StatusKb("VmHWM");
    ArchiveTable table;
    const auto loaded = ReadProject(table, QString::fromLocal8Bit(path));
    const long hwmAfter = bench::StatusKb("VmHWM");
    const long rssAfter = bench::StatusKb("VmRSS");
    if (!loaded) {
        std::fprintf(stderr, "%s\n", qPrintable(loaded.error().message));
        return 1;
    }
    const double fileKb = static_cast<double>(QFile(QString::fromLocal8Bit(path)).size()) / 1024.0;
    std::printf("peak memory of LoadProject (fresh process)\n");
    std::printf("  VmRSS before %ld kB, VmHWM before %ld kB, VmHWM after %ld kB, VmRSS after %ld kB\n",
                rssBefore, hwmBefore, hwmAfter, rssAfter);
    const double peakRatio = static_cast<double>(hwmAfter - rssBefore) / fileKb;
    std::printf("  file %.0f kB; peak growth %ld kB = %.2f x file size; table held %ld kB = %.2f x\n", fileKb,
                hwmAfter - rssBefore, peakRatio, rssAfter - rssBefore,
                static_cast<double>(rssAfter - rssBefore) / fileKb);
    std::printf("memory_ratio=%.2f\n", peakRatio);
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    // glibc raises its mmap threshold after a large block is freed, which would make the plain read's
    // growing buffer copy itself in the heap after the first loaded table is freed, and so vary the
    // baseline with what ran before it. A fixed threshold keeps every round alike.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    if (argc == 3 && std::string(argv[1]) == "--load-memory") return MeasureLoadMemory(argv[2]);

    QTemporaryDir dir;
    if (!dir.isValid()) return 1;
    const QString projectPath = dir.filePath(QStringLiteral("bench.vd"));
    const std::string plainPath = dir.filePath(QStringLiteral("plain.bin")).toStdString();

    ArchiveTable table;
    {
        const auto records = bench::GenerateRecords(kRows);
        const SystemFormats formats = SystemFormats::FromLocale(QLocale(QStringLiteral("ru_RU")));
        table.setColCount(14);
        for (int c = 0; c < 14; ++c)
            table.setCell(c, 0, QStringLiteral("Header %1").arg(c));
        FillArchiveTable(table, records, kRows, 2, FillContext{&formats, {}, {}});
    }

    // Every round times each of the five the same way, so a busy moment of the machine falls on all of
    // them alike; the best round of each counts.
    const auto saveOnce = [&](bench::Best &best) -> qint64 {
        const bench::Stopwatch clock;
        const auto saved = SaveProject(table, projectPath, ChannelFlags{true, true});
        best.add(clock);
        if (!saved) {
            std::fprintf(stderr, "%s\n", qPrintable(saved.error().message));
            return -1;
        }
        return saved.value();
    };
    bench::Best save, write, writeSync, read, load;
    const qint64 fileSize = saveOnce(save);
    if (fileSize < 0) return 1;
    std::vector<char> bytes;
    (void)PlainRead(projectPath.toStdString(), bytes);
    for (int round = 0; round < kRounds; ++round) {
        if (saveOnce(save) < 0) return 1;
        Keep(write, PlainWrite(plainPath, bytes, false));
        Keep(writeSync, PlainWrite(plainPath, bytes, true));
        std::vector<char> into;
        Keep(read, PlainRead(plainPath, into));
        ArchiveTable back;
        const bench::Stopwatch clock;
        const auto loaded = ReadProject(back, projectPath);
        load.add(clock);
        if (!loaded) {
            std::fprintf(stderr, "%s\n", qPrintable(loaded.error().message));
            return 1;
        }
    }

    std::printf("project file of %zu rows x 14 columns: %lld bytes (%.1f MB); best of %d runs, targets: load "
                "<= 2 x read, save <= 1.5 x write + fsync\n",
                kRows + 1, static_cast<long long>(fileSize), static_cast<double>(fileSize) / 1e6, kRounds);
    PrintRatio("SaveProject", save, "plain fwrite", write);
    PrintRatio("", save, "plain fwrite + fsync", writeSync);
    std::printf("  (the save syncs the new file to disk before it renames it over the old one)\n");
    PrintRatio("LoadProject", load, "plain fread", read);
    std::fflush(stdout);

    // The memory is measured in a fresh process, whose heap holds nothing of the runs above.
    const std::string command =
        std::string("\"") + argv[0] + "\" --load-memory \"" + projectPath.toStdString() + "\"";
    std::FILE *child = popen(command.c_str(), "r");
    if (!child) return 1;
    double memoryRatio = -1;
    char line[512];
    while (std::fgets(line, sizeof line, child)) {
        if (std::sscanf(line, "memory_ratio=%lf", &memoryRatio) == 1) continue;
        std::fputs(line, stdout);
    }
    if (pclose(child) != 0 || memoryRatio < 0) return 1;
    std::printf("load_ratio=%.2f save_ratio=%.2f memory_ratio=%.2f\n", load.wallMs / read.wallMs,
                save.wallMs / writeSync.wallMs, memoryRatio);
    return 0;
}
