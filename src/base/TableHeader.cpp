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

} // namespace

void WriteHeaderRow(ArchiveTable &table, std::uint8_t language) {
    for (int k = 0; k < ArchiveTable::kMaxColCount; ++k) {
        const bool thirdQuantity = k == kThirdQuantityColumn1 || k == kThirdQuantityColumn2;
        const TextPair &pair = thirdQuantity ? ThirdQuantityHeader(table.cell(k, 0)) : kHeaderTexts[k];
        table.setCell(k, 0, PickIn(pair, language));
    }
}

} // namespace velda
