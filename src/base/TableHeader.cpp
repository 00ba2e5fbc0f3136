// The header row of the archive table.
#include "base/TableHeader.h"

#include "base/SharedTexts.h"

namespace velda {

void WriteHeaderRow(ArchiveTable &table, std::uint8_t language) {
    for (int k = 0; k < ArchiveTable::kMaxColCount; ++k)
        table.setCell(k, 0, PickIn(kHeaderTexts[k], language));
}

} // namespace velda
