// Sheet plan and sheet names of the spreadsheet export.
#include "export/SheetPlan.h"

#include <QList>

#include <algorithm>
#include <string>

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
    std::u32string chars;
    for (const uint c : prefix.toUcs4())
        chars.push_back(static_cast<char32_t>(c));
    const auto room = static_cast<std::size_t>(std::max(0, kMaxSheetNameLength - int(suffix.size())));
    if (chars.size() > room) chars.resize(room);
    for (char32_t &c : chars) {
        if (c < 0x10000 && forbidden.contains(QChar(static_cast<char16_t>(c)))) c = U'_';
    }
    if (!chars.empty() && chars.front() == U'\'') chars.front() = U'_';
    return QString::fromUcs4(chars.data(), static_cast<qsizetype>(chars.size())) + suffix;
}

} // namespace velda::xlsx
