// Sheet plan and sheet names of the spreadsheet export.
#include "export/SheetPlan.h"

#include <QList>

#include <algorithm>

namespace velda::xlsx {

std::vector<SheetSlice> PlanSheets(int tableRowCount) {
    std::vector<SheetSlice> plan;
    const int rows = std::max(tableRowCount, 0);
    int number = 1;
    for (int first = 0; first < rows; first += kRowsPerSheet, ++number) {
        plan.push_back({number, first, std::min(kRowsPerSheet, rows - first)});
    }
    if (plan.empty()) plan.push_back({1, 0, 0});
    return plan;
}

QString SheetName(const QString &prefix, int number) {
    static const QString forbidden = QStringLiteral("[]:*?/\\");
    const QString suffix = QString::number(number);
    QList<uint> chars = prefix.toUcs4();
    const auto room = static_cast<qsizetype>(std::max(0, kMaxSheetNameLength - int(suffix.size())));
    if (chars.size() > room) chars.resize(room);
    for (uint &c : chars) {
        if (c < 0x10000 && forbidden.contains(QChar(static_cast<char16_t>(c)))) c = '_';
    }
    if (!chars.isEmpty() && chars.front() == '\'') chars.front() = '_';
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(chars.constData()), chars.size()) + suffix;
}

} // namespace velda::xlsx
