// The header row of the archive table.
#include "base/TableHeader.h"

#include "base/SharedTexts.h"

namespace velda {

namespace {

constexpr int kThirdQuantityColumn1 = 9;
constexpr int kThirdQuantityColumn2 = 13;

// The quantities a third-quantity column can hold, each under the header the fill writes for it.
constexpr TextPair kThirdQuantityHeaders[] = {TxtQ, TxtDewPointHeader, TxtPressureHeader};

// The header of the quantity that `current` names in either language; heat flux when it names none.
const TextPair &ThirdQuantityHeader(const QString &current) {
    for (const TextPair &pair : kThirdQuantityHeaders)
        if (current == PickIn(pair, 0) || current == PickIn(pair, 1)) return pair;
    return TxtQ;
}

QString HeaderText(const ArchiveTable &table, int col, std::uint8_t language) {
    const bool thirdQuantity = col == kThirdQuantityColumn1 || col == kThirdQuantityColumn2;
    return PickIn(thirdQuantity ? ThirdQuantityHeader(table.cell(col, 0)) : kHeaderTexts[col], language);
}

} // namespace

void WriteHeaderRow(ArchiveTable &table, std::uint8_t language) {
    for (int k = 0; k < ArchiveTable::kMaxColCount; ++k)
        table.setCell(k, 0, HeaderText(table, k, language));
}

void CompleteHeaderRow(ArchiveTable &table, std::uint8_t language) {
    for (int k = table.colCount(); k < ArchiveTable::kMaxColCount; ++k)
        if (table.cellIsEmpty(k, 0)) table.setCell(k, 0, HeaderText(table, k, language));
}

} // namespace velda
