// Benchmark: SaveProject and LoadProject of a 200,000-row, 14-column table against plain buffered I/O of
// the same bytes, and the peak memory of the loaded table (measured in a fresh process).
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

#include <unistd.h>

using namespace velda;

namespace {

constexpr std::size_t kRows = 200000;
constexpr std::size_t kChunk = 64 * 1024;
constexpr int kRounds = 5;

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
    std::printf(
        "  file %.0f kB; peak growth %ld kB = %.2f x file size (target < 4); table held %ld kB = %.2f x\n",
        fileKb, hwmAfter - rssBefore, static_cast<double>(hwmAfter - rssBefore) / fileKb,
        rssAfter - rssBefore, static_cast<double>(rssAfter - rssBefore) / fileKb);
    return 0;
}

} // namespace

int main(int argc, char **argv) {
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

    bench::Best save;
    qint64 fileSize = 0;
    for (int round = 0; round < kRounds; ++round) {
        const bench::Stopwatch clock;
        const auto saved = SaveProject(table, projectPath, ChannelFlags{true, true});
        save.add(clock);
        if (!saved) {
            std::fprintf(stderr, "%s\n", qPrintable(saved.error().message));
            return 1;
        }
        fileSize = saved.value();
    }

    std::vector<char> bytes;
    (void)PlainRead(projectPath.toStdString(), bytes);
    bench::Best write, writeSync, read, load;
    for (int round = 0; round < kRounds; ++round) {
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

    std::printf(
        "project file of %zu rows x 14 columns: %lld bytes (%.1f MB); best of %d runs, target ratio <= 3\n",
        kRows + 1, static_cast<long long>(fileSize), static_cast<double>(fileSize) / 1e6, kRounds);
    PrintRatio("SaveProject", save, "plain fwrite", write);
    PrintRatio("", save, "plain fwrite + fsync", writeSync);
    std::printf("  (the save syncs the new file to disk before it renames it over the old one)\n");
    PrintRatio("LoadProject", load, "plain fread", read);
    std::fflush(stdout);

    const std::string command =
        std::string("\"") + argv[0] + "\" --load-memory \"" + projectPath.toStdString() + "\"";
    return std::system(command.c_str()) == 0 ? 0 : 1;
}
