// Click classification, context-menu condition and hover-hint zones of the archive table.
#include "app/TableActions.h"

#include "app/MainTexts.h"

namespace velda {

ClickAction ClassifyLeftClick(int column, int row) {
    if (row == 0 && column >= 0) return ClickAction::SortByColumn;
    if (column == 0 && row >= 1) return ClickAction::SelectRow;
    if (column == -1 && row == -1) return ClickAction::ClearSelection;
    return ClickAction::Nothing;
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
