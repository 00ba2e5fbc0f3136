// Report lines, the detail cursor and pagination of the printed report.
#include "export/ReportLines.h"

#include "base/Cp1251.h"
#include "base/SharedTexts.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string_view>

namespace velda {

QString TrimCell(QStringView text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first].unicode() <= 0x20)
        ++first;
    while (last > first && text[last - 1].unicode() <= 0x20)
        --last;
    return text.sliced(first, last - first).toString();
}

QString ReportLine(const ArchiveTable &table, int row) {
    const int columns = std::clamp(table.colCount(), 0, static_cast<int>(ColumnPad.size()));
    QString line;
    line.reserve(std::accumulate(ColumnPad.begin(), ColumnPad.end(), 0));
    for (int k = 0; k < columns; ++k) {
        // Windows-1251 maps bytes up to 0x20 to the same characters and no other byte to one of them, so
        // the cell is trimmed before it is decoded.
        std::string_view bytes = table.cellBytes(k, row);
        while (!bytes.empty() && static_cast<unsigned char>(bytes.front()) <= 0x20)
            bytes.remove_prefix(1);
        while (!bytes.empty() && static_cast<unsigned char>(bytes.back()) <= 0x20)
            bytes.remove_suffix(1);
        const QString cell = FromCp1251(bytes);
        line += cell;
        const auto pad = ColumnPad[static_cast<std::size_t>(k)] - cell.size();
        if (pad > 0) line.resize(line.size() + pad, QLatin1Char(' '));
    }
    return line;
}

QStringList MakeReportLines(const ArchiveTable &table) {
    QStringList lines;
    lines.reserve(std::max(table.rowCount(), 0));
    for (int r = 0; r < table.rowCount(); ++r)
        lines.append(ReportLine(table, r));
    return lines;
}

void DetailCursor::ResetPrintCursor(int rowCount) {
    m_printCursor = 0;
    m_printRowCount = rowCount;
}

QString DetailCursor::QRExpr1Print(const QStringList &reportLines) {
    const int index = NextPrintIndex();
    return index > 0 && index < reportLines.size() ? reportLines[index] : QString();
}

int DetailCursor::NextPrintIndex() {
    const int index = m_printCursor;
    if (m_printCursor < m_printRowCount - 1) {
        ++m_printCursor;
    } else {
        m_printCursor = 0;
    }
    return index;
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
