// Click classification, row deletion, context-menu condition and hover-hint zones of the archive table.
#include "app/TableActions.h"

#include "app/MainTexts.h"

#include <algorithm>

namespace velda {

ClickAction ClassifyLeftClick(int column, int row) {
    if (row == 0 && column >= 0) return ClickAction::SortByColumn;
    if (column == 0 && row >= 1) return ClickAction::SelectRow;
    if (column == -1 && row == -1) return ClickAction::ClearSelection;
    return ClickAction::Nothing;
}

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

bool ContextMenuOpens(int column, int row, const Selection &selection, bool tableIsEmpty) {
    return column == 0 && selection.left == 0 && selection.top == row && !tableIsEmpty;
}

QString HoverHint(const PointerPlace &place) {
    if (!place.insideWindow || !place.insideTable) return {};
    if (place.row == 0) return Pick(TxtHintSort);
    if (place.column == 0 && place.row >= 1) return {};
    return Pick(TxtHintSelect);
}

} // namespace velda
