// Benchmark: merging two project files of 100,000 rows each (half of them shared) into a third: load
// both, drop the repeated rows, order by date and time, save. Then the memory a merge of many inputs
// takes beside the output's size (target: at most 1.5 times), measured in a child process of its own.
#include "BenchCommon.h"

#include "archive/MergeProjects.h"
#include "archive/ProjectFile.h"
#include "archive/TableFill.h"
#include "base/ArchiveTable.h"

#include <QString>
#include <QTemporaryDir>

#include <QFileInfo>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

using namespace velda;

namespace {

constexpr std::size_t kRows = 100000;
constexpr int kRounds = 5;

bool SaveRecords(const std::vector<std::uint8_t> &records, std::size_t first, const QString &path,
                 const SystemFormats &formats) {
    const std::size_t size = records.size() / (kRows * 3 / 2);
    ArchiveTable table;
    table.setColCount(14);
    for (int c = 0; c < 14; ++c)
        table.setCell(c, 0, QStringLiteral("Header %1").arg(c));
    FillArchiveTable(table, std::span(records).subspan(first * size, kRows * size), kRows, 2,
                     FillContext{&formats, {}, {}});
    return SaveProject(table, path, ChannelFlags{true, true}).ok();
}

// The peak resident memory in kB of a child process that runs `work` (exit status 0 when it succeeds);
// -1 when the child failed.
long ChildPeakKb(const std::function<bool()> &work) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(work() ? 0 : 1);
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss;
}

// Merges `inputs` files of kRows rows each and prints the memory the merge took beyond an idle child
// against the output's size. The inputs alternate between the two overlapping downloads, as repeated
// downloads of one instrument do, so the output keeps its 150,000 rows however many inputs there are.
int MergeMemory(const std::vector<std::uint8_t> &records, const QTemporaryDir &dir,
                const SystemFormats &formats, int inputs) {
    QStringList files;
    for (int i = 0; i < inputs; ++i) {
        files << dir.filePath(QStringLiteral("m%1.vd").arg(i));
        if (!SaveRecords(records, static_cast<std::size_t>(i % 2) * (kRows / 2), files.back(), formats))
            return 1;
    }
    const QString out = dir.filePath(QStringLiteral("m-out.vd"));
    const long idleKb = ChildPeakKb([] { return true; });
    const long mergeKb = ChildPeakKb([&] { return MergeProjectFiles(files, out, formats).ok(); });
    if (idleKb < 0 || mergeKb < 0) return 1;
    const double outputKb = static_cast<double>(QFileInfo(out).size()) / 1024.0;
    const double inputKb = static_cast<double>(QFileInfo(files.front()).size()) / 1024.0 * inputs;
    std::printf("merge of %d files (%.0f kB in all) into %.0f kB: %ld kB beyond an idle process, %.2f x the "
                "output (target 1.5)\n",
                inputs, inputKb, outputKb, mergeKb - idleKb,
                static_cast<double>(mergeKb - idleKb) / outputKb);
    return 0;
}

} // namespace

int main() {
    QTemporaryDir dir;
    if (!dir.isValid()) return 1;
    const SystemFormats formats = SystemFormats::FromLocale(QLocale(QStringLiteral("ru_RU")));
    // 150,000 records a minute apart: the first file holds 0..99,999, the second 50,000..149,999.
    const auto records = bench::GenerateRecords(kRows * 3 / 2);
    const QString a = dir.filePath(QStringLiteral("a.vd"));
    const QString b = dir.filePath(QStringLiteral("b.vd"));
    const QString out = dir.filePath(QStringLiteral("out.vd"));
    if (!SaveRecords(records, 0, a, formats) || !SaveRecords(records, kRows / 2, b, formats)) return 1;

    bench::Best merge;
    int rows = 0;
    for (int round = 0; round < kRounds; ++round) {
        const bench::Stopwatch clock;
        const MergeResult result = MergeProjectFiles({b, a}, out, formats);
        merge.add(clock);
        if (!result.ok()) {
            std::fprintf(stderr, "%s\n", qPrintable(result.error().message));
            return 1;
        }
        rows = result.summary().rows;
    }
    std::printf("merge of two %zu-row project files into %d rows (best of %d)\n", kRows, rows, kRounds);
    std::printf("  load + merge + save  wall %7.1f ms, CPU %7.1f ms (target under 1000 ms)\n", merge.wallMs,
                merge.cpuMs);
    return MergeMemory(records, dir, formats, 6);
}
