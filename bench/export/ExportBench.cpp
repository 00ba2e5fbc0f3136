// Spreadsheet export of a 200,000-row, 14-column table against libxlsxwriter writing the same cells in
// its fastest mode (constant memory, texts converted beforehand, no column fitting).
#include "BenchTable.h"
#include "export/SheetPlan.h"
#include "export/SpreadsheetExport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using namespace velda;

namespace {

double Baseline(const ArchiveTable &table, const QString &file) {
    std::vector<std::string> cells;
    cells.reserve(static_cast<std::size_t>(table.rowCount()) * 14);
    for (int r = 0; r < table.rowCount(); ++r) {
        for (int c = 0; c < table.colCount(); ++c)
            cells.push_back(table.cell(c, r).toStdString());
    }
    const auto start = std::chrono::steady_clock::now();
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook *workbook = workbook_new_opt(QFile::encodeName(file).constData(), &options);
    lxw_format *centred = workbook_add_format(workbook);
    format_set_align(centred, LXW_ALIGN_CENTER);
    for (const xlsx::SheetSlice &slice : xlsx::PlanSheets(table.rowCount())) {
        lxw_worksheet *sheet = workbook_add_worksheet(workbook, nullptr);
        for (int j = 0; j < slice.rowCount; ++j) {
            for (int c = 0; c < table.colCount(); ++c) {
                const std::string &text = cells[static_cast<std::size_t>(slice.firstRow + j) * 14 + c];
                if (!text.empty())
                    worksheet_write_string(sheet, j, static_cast<lxw_col_t>(c), text.c_str(), centred);
            }
        }
    }
    workbook_close(workbook);
    return bench::SecondsSince(start);
}

} // namespace

int main(int argc, char **argv) {
    const int records = argc > 1 ? std::atoi(argv[1]) : 200000;
    QTemporaryDir dir;
    const ArchiveTable table = bench::MakeArchive(records);
    const long tableKb = bench::PeakKb();

    // Best of alternating runs, so a busy machine tilts neither side.
    constexpr int kRounds = 2;
    double ours = 1e300;
    double base = 1e300;
    long oursKb = 0;
    int sheets = 0;
    for (int round = 0; round < kRounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        const xlsx::ExportResult result = xlsx::ExportToSpreadsheet(table, QStringLiteral("Архив измерений "),
                                                                    dir.filePath(QStringLiteral("a.xlsx")));
        ours = std::min(ours, bench::SecondsSince(start));
        if (!result.ok()) {
            std::fprintf(stderr, "export failed: %s\n", qPrintable(result.error().message));
            return 1;
        }
        sheets = result.summary().sheetCount;
        if (round == 0) oursKb = bench::PeakKb();
        base = std::min(base, Baseline(table, dir.filePath(QStringLiteral("b.xlsx"))));
    }

    std::printf("rows                 %d x 14 columns, %d sheets\n", records + 1, sheets);
    std::printf("export (best of 2)   %.2f s (%.0f rows/s)\n", ours, (records + 1) / ours);
    std::printf("libxlsxwriter alone  %.2f s (best of 2)\n", base);
    std::printf("ratio                %.2fx (target <= 1.5x)\n", ours / base);
    std::printf("peak memory          %ld kB with the table, %ld kB after the export (+%ld kB)\n", tableKb,
                oursKb, oursKb - tableKb);
    std::printf("file sizes           %lld / %lld bytes\n",
                QFileInfo(dir.filePath(QStringLiteral("a.xlsx"))).size(),
                QFileInfo(dir.filePath(QStringLiteral("b.xlsx"))).size());
    return 0;
}
