// Report lines, the detail cursor and pagination of the printed report.
#include "export/ReportLines.h"

#include "base/SharedTexts.h"

#include <algorithm>
#include <cmath>

namespace velda {

int PrintCursor = 0;
int PrintRowCount = 0;

QString TrimCell(QStringView text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first].unicode() <= 0x20)
        ++first;
    while (last > first && text[last - 1].unicode() <= 0x20)
        --last;
    return text.sliced(first, last - first).toString();
}

QStringList MakeReportLines(const ArchiveTable &table) {
    const int columns = std::clamp(table.colCount(), 0, static_cast<int>(ColumnPad.size()));
    QStringList lines;
    lines.reserve(std::max(table.rowCount(), 0));
    for (int r = 0; r < table.rowCount(); ++r) {
        QString line;
        for (int k = 0; k < columns; ++k) {
            const QString cell = TrimCell(table.cell(k, r));
            line += cell;
            const auto pad = ColumnPad[static_cast<std::size_t>(k)] - cell.size();
            if (pad > 0) line += QString(pad, QLatin1Char(' '));
        }
        lines.append(line);
    }
    return lines;
}

void ResetPrintCursor(int rowCount) {
    PrintCursor = 0;
    PrintRowCount = rowCount;
}

QString QRExpr1Print(const QStringList &reportLines) {
    QString line;
    if (PrintCursor > 0 && PrintCursor < reportLines.size()) line = reportLines[PrintCursor];
    if (PrintCursor < PrintRowCount - 1) {
        ++PrintCursor;
    } else {
        PrintCursor = 0;
    }
    return line;
}

QString QRExpr2Print(const QStringList &reportLines) {
    return reportLines.isEmpty() ? QString() : reportLines.front();
}

QString ReportTitle(const QDateTime &now, const SystemFormats &formats, std::uint8_t language) {
    QString title = PickIn(TxtArchiveTitle, language) + FormatDateCell(now.date(), formats);
    if (now.time() != QTime(0, 0)) title += QLatin1Char(' ') + FormatTimeCell(now.time(), formats);
    return title;
}

namespace report {

int LinesPerPage(double bodyHeightMm) {
    const double room = bodyHeightMm - kHeaderBandMm - kFooterBandMm;
    // A small tolerance, so a height that holds exactly n bands is not cut to n - 1 by rounding.
    return std::max(1, static_cast<int>(std::floor(room / kDetailBandMm + 1e-9)));
}

int PageCount(int lineCount, double bodyHeightMm) {
    const int perPage = LinesPerPage(bodyHeightMm);
    return std::max(1, (std::max(lineCount, 0) + perPage - 1) / perPage);
}

} // namespace report
} // namespace velda
