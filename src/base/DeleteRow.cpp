// Row deletion of the archive table.
#include "base/DeleteRow.h"

#include <algorithm>

namespace velda {

bool DeleteRow(ArchiveTable &table, int topRow) {
    const int last = table.rowCount() - 1;
    if (topRow <= 0 || topRow > last) return false;
    // Whole stored rows move, so cells beyond the shown columns stay with their record.
    table.moveRow(topRow, last);
    const int columns = std::max(table.colCount(), ArchiveTable::kMaxColCount);
    for (int c = 0; c < columns; ++c)
        table.setCellBytes(c, last, {});
    if (table.rowCount() > 2) table.setRowCount(table.rowCount() - 1);
    return true;
}

} // namespace velda
