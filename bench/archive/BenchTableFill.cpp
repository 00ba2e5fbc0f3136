// Benchmark: the table fill of a full archive (2688 records of format 2, both channels).
#include "BenchCommon.h"

#include "archive/TableFill.h"
#include "base/ArchiveTable.h"

#include <cstdio>

using namespace velda;

int main() {
    constexpr std::size_t kRecords = 2688;
    constexpr int kRounds = 20;
    const auto records = bench::GenerateRecords(kRecords);
    const SystemFormats formats = SystemFormats::FromLocale(QLocale(QStringLiteral("ru_RU")));
    FillContext context;
    context.formats = &formats;

    ArchiveTable warm;
    FillArchiveTable(warm, records, kRecords, 2, context);

    bench::Best best;
    for (int round = 0; round < kRounds; ++round) {
        ArchiveTable table;
        const bench::Stopwatch clock;
        FillArchiveTable(table, records, kRecords, 2, context);
        best.add(clock);
    }
    std::printf("fill of %zu records (format 2, both channels, 14 columns), best of %d rounds\n", kRecords,
                kRounds);
    std::printf("  wall %.2f ms, CPU %.2f ms; %.2f us of CPU per record\n", best.wallMs, best.cpuMs,
                best.cpuMs * 1000.0 / kRecords);
    return 0;
}
