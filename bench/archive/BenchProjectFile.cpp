// Benchmark: SaveProject and LoadProject of a 200,000-row, 14-column table against plain buffered I/O of
// the same bytes, and the peak memory of the loaded table (measured in a fresh process).
#include "BenchCommon.h"

#include "archive/ArchiveTable.h"
#include "archive/ProjectFile.h"
#include "archive/TableFill.h"

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

double PlainWrite(const std::string &path, const std::vector<char> &bytes, bool sync) {
    const bench::Stopwatch clock;
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return -1;
    for (std::size_t at = 0; at < bytes.size(); at += kChunk)
        std::fwrite(bytes.data() + at, 1, std::min(kChunk, bytes.size() - at), f);
    std::fflush(f);
    if (sync) fsync(fileno(f));
    std::fclose(f);
    return clock.ms();
}

double PlainRead(const std::string &path, std::vector<char> &into) {
    const bench::Stopwatch clock;
    std::FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) return -1;
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
    return clock.ms();
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
        FillArchiveTable(table, records, kRows, 2, FillContext{&formats, {}});
    }

    double saveBest = 1e300;
    qint64 fileSize = 0;
    for (int round = 0; round < kRounds; ++round) {
        const bench::Stopwatch clock;
        const auto saved = SaveProject(table, projectPath, ChannelFlags{true, true});
        const double ms = clock.ms();
        if (!saved) {
            std::fprintf(stderr, "%s\n", qPrintable(saved.error().message));
            return 1;
        }
        fileSize = saved.value();
        saveBest = std::min(saveBest, ms);
    }

    std::vector<char> bytes;
    PlainRead(projectPath.toStdString(), bytes);
    double writeBest = 1e300;
    double writeSyncBest = 1e300;
    double readBest = 1e300;
    double loadBest = 1e300;
    for (int round = 0; round < kRounds; ++round) {
        writeBest = std::min(writeBest, PlainWrite(plainPath, bytes, false));
        writeSyncBest = std::min(writeSyncBest, PlainWrite(plainPath, bytes, true));
        std::vector<char> into;
        readBest = std::min(readBest, PlainRead(plainPath, into));
        ArchiveTable back;
        const bench::Stopwatch clock;
        const auto loaded = ReadProject(back, projectPath);
        loadBest = std::min(loadBest, clock.ms());
        if (!loaded) {
            std::fprintf(stderr, "%s\n", qPrintable(loaded.error().message));
            return 1;
        }
    }

    std::printf("project file of %zu rows x 14 columns: %lld bytes (%.1f MB)\n", kRows + 1,
                static_cast<long long>(fileSize), static_cast<double>(fileSize) / 1e6);
    std::printf("  SaveProject  %8.1f ms | plain fwrite %8.1f ms -> ratio %.2f (target <= 3)\n", saveBest,
                writeBest, saveBest / writeBest);
    std::printf(
        "               (plain fwrite + fsync %8.1f ms -> ratio %.2f; the save syncs before its rename)\n",
        writeSyncBest, saveBest / writeSyncBest);
    std::printf("  LoadProject  %8.1f ms | plain fread  %8.1f ms -> ratio %.2f (target <= 3)\n", loadBest,
                readBest, loadBest / readBest);
    std::fflush(stdout);

    const std::string command =
        std::string("\"") + argv[0] + "\" --load-memory \"" + projectPath.toStdString() + "\"";
    return std::system(command.c_str()) == 0 ? 0 : 1;
}
