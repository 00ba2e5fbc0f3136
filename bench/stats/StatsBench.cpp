// Times the statistics (with limits on every quantity) of a 200,000-row two-channel table against the
// target of 0.1 s, with comma-decimal Russian formats and with point-decimal US ones.
#include "base/ArchiveTable.h"
#include "base/SystemFormats.h"
#include "graph/Statistics.h"

#include <QDateTime>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>

using namespace velda;

namespace {

constexpr int kRows = 200000;
constexpr int kRuns = 5;
constexpr double kTargetS = 0.1;

// Quarter-hourly readings of a temperature-and-humidity probe (channel 1) and a thermocouple
// (channel 2), written as the fill writes them.
ArchiveTable MakeTable(const SystemFormats &f) {
    ArchiveTable t;
    t.setColCount(14);
    t.setRowCount(kRows + 1);
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0.0, 0.3);
    QDateTime when(QDate(2012, 1, 1), QTime(0, 0));
    for (int r = 1; r <= kRows; ++r) {
        const double day = (when.time().msecsSinceStartOfDay() / 86400000.0) * 2 * M_PI;
        const double t1 = 21 + 3 * std::sin(day) + noise(rng);
        const double h1 = 45 + 10 * std::cos(day) + noise(rng);
        t.setCell(0, r, QString::number(r));
        t.setCell(1, r, FormatTimeCell(when.time(), f));
        t.setCell(2, r, FormatDateCell(when.date(), f));
        t.setCell(6, r, QStringLiteral("MK SHT       "));
        t.setCell(7, r, CellFormat(t1, f.decimalSeparator));
        t.setCell(8, r, CellFormat(h1, f.decimalSeparator));
        t.setCell(9, r, CellFormat(t1 - (100 - h1) / 5, f.decimalSeparator));
        t.setCell(10, r, QStringLiteral("ХА-Термопара "));
        t.setCell(11, r, CellFormat(60 + 15 * std::sin(day + 1) + noise(rng), f.decimalSeparator));
        when = when.addSecs(15 * 60);
    }
    return t;
}

bool Run(const char *name, const SystemFormats &formats) {
    const ArchiveTable table = MakeTable(formats);
    Limits limits;
    for (Quantity q : kAllQuantities)
        limits.set(q, Limit{10.0, 30.0});
    double best = 1e9;
    double bestCpu = 1e9;
    std::size_t groups = 0;
    for (int i = 0; i < kRuns; ++i) {
        const std::clock_t cpuStart = std::clock();
        const auto start = std::chrono::steady_clock::now();
        const ArchiveStatistics stats =
            ComputeStatistics(table, ChannelSlotsOf(table, true, true), formats, limits);
        best =
            std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        bestCpu = std::min(bestCpu, static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC);
        groups = stats.groups.size();
    }
    // The processor time shows the figure a busy machine hides behind waiting.
    std::printf(
        "statistics of %d rows, %s: %zu groups, best of %d runs %.3f s, processor %.3f s (target %.1f s)\n",
        kRows, name, groups, kRuns, best, bestCpu, kTargetS);
    return best <= kTargetS;
}

} // namespace

int main() {
    const bool ru = Run("ru_RU", SystemFormats::FromLocale(QLocale(QLocale::Russian, QLocale::Russia)));
    const bool us = Run("en_US", SystemFormats::FromLocale(QLocale(QLocale::English, QLocale::UnitedStates)));
    return ru && us ? 0 : 1;
}
