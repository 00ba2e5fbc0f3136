// Times SortTable on archive-sized tables (the graph sorts before plotting) and prints the growth ratio.
#include "base/SortTable.h"
#include "base/SystemFormats.h"

#include <QDate>
#include <QTime>

#include <chrono>
#include <cstdio>
#include <random>

using namespace velda;

namespace {

ArchiveTable makeTable(int rows, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> temperature(-40.0, 120.0);
    ArchiveTable t;
    t.setColCount(14);
    t.setRowCount(rows + 1);
    const SystemFormats &formats = CurrentFormats();
    const QDate start(2024, 1, 1);
    for (int r = 1; r <= rows; ++r) {
        const int minutes = static_cast<int>(random() % (60 * 24 * 365));
        t.setCell(0, r, QString::number(r));
        t.setCell(1, r, FormatTimeCell(QTime(0, 0).addSecs((minutes % 1440) * 60), formats));
        t.setCell(2, r, FormatDateCell(start.addDays(minutes / 1440), formats));
        t.setCell(4, r, QStringLiteral("%1 | 255").arg(r));
        t.setCell(7, r, CellFormat(temperature(random)));
        t.setCell(11, r, r % 10 == 0 ? QString() : CellFormat(temperature(random)));
    }
    return t;
}

double sortMs(ArchiveTable table, int column, int direction) {
    const auto begin = std::chrono::steady_clock::now();
    const SortResult result = SortTable(table, column, direction);
    const auto end = std::chrono::steady_clock::now();
    if (!result.ok()) std::printf("sort failed: %s\n", qPrintable(result.error().message()));
    return std::chrono::duration<double, std::milli>(end - begin).count();
}

} // namespace

int main() {
    SetCurrentFormats(SystemFormats::FromLocale(QLocale(QLocale::Russian, QLocale::Russia)));
    struct Column {
        const char *name;
        int column;
        int direction;
    };
    const Column columns[] = {{"number asc", 0, 1},   {"temperature desc", 7, -1}, {"T2 with blanks", 11, 1},
                              {"date as text", 2, 1}, {"time as text", 1, -1},     {"leading digits", 4, 1}};
    const int sizes[] = {20000, 200000};
    double previous[6] = {};
    for (int size : sizes) {
        const ArchiveTable table = makeTable(size, 7);
        std::printf("%d rows\n", size);
        for (int k = 0; k < 6; ++k) {
            const double ms = sortMs(table, columns[k].column, columns[k].direction);
            std::printf("  %-18s %9.1f ms  %7.0f ns/row", columns[k].name, ms, ms * 1e6 / size);
            if (previous[k] > 0) std::printf("  x%.1f for x10 rows", ms / previous[k]);
            std::printf("\n");
            previous[k] = ms;
        }
    }
    return 0;
}
