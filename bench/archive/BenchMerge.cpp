// Benchmark: merging two project files of 100,000 rows each (half of them shared) into a third: load
// both, drop the repeated rows, order by date and time, save.
#include "BenchCommon.h"

#include "archive/MergeProjects.h"
#include "archive/ProjectFile.h"
#include "archive/TableFill.h"
#include "base/ArchiveTable.h"

#include <QString>
#include <QTemporaryDir>

#include <cstdio>

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
    return 0;
}
