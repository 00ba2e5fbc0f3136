// Benchmark: the table fill of a full archive (2688 records of format 2, both channels).
#include "BenchCommon.h"

#include "archive/ArchiveTable.h"
#include "archive/TableFill.h"

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

    double best = 1e300;
    double total = 0;
    for (int round = 0; round < kRounds; ++round) {
        ArchiveTable table;
        const bench::Stopwatch clock;
        FillArchiveTable(table, records, kRecords, 2, context);
        const double ms = clock.ms();
        best = std::min(best, ms);
        total += ms;
    }
    std::printf("fill of %zu records (format 2, both channels, 14 columns)\n", kRecords);
    std::printf("  best %.2f ms, mean %.2f ms over %d rounds; %.2f us per record\n", best, total / kRounds,
                kRounds, best * 1000.0 / kRecords);
    return 0;
}
