// Click and key classification, context-menu condition and hover-hint zones of the archive table.
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

TableChange LeftReleaseOnTable(ArchiveTable &table, SortToggle &sortToggle, int column, int row) {
    TableChange change;
    switch (ClassifyLeftClick(column, row)) {
    case ClickAction::SortByColumn: {
        const int direction = sortToggle.ToggleSortDirection();
        if (TableIsEmpty(table)) break;
        const SortResult result = SortTable(table, column, direction);
        change.cellsChanged = true;
        if (!result.ok()) change.error = result.error();
        break;
    }
    case ClickAction::SelectRow:
        change.selection = Selection{0, row, table.colCount() - 1, row};
        break;
    case ClickAction::ClearSelection:
        change.selection = Selection{kNoCellSelection, kNoCellSelection, kNoCellSelection, kNoCellSelection};
        break;
    case ClickAction::Nothing:
        break;
    }
    return change;
}

TableChange MoveTableRow(ArchiveTable &table, int from, int to) {
    table.moveRow(from, to);
    return {true, Selection{0, to, table.colCount() - 1, to}, std::nullopt};
}

bool ContextMenuOpens(int column, int row, const Selection &selection, bool tableIsEmpty) {
    return column == 0 && selection.left == 0 && selection.top == row && !tableIsEmpty;
}

TableKeyAction ClassifyTableKey(int key, Qt::KeyboardModifiers modifiers, const Selection &selection) {
    // Delete deletes whatever modifiers are held, the keypad's Delete (which carries the keypad modifier)
    // included.
    if (key == Qt::Key_Delete) return TableKeyAction::DeleteRow;
    if (key == Qt::Key_C && (modifiers & Qt::ControlModifier))
        return selection.singleCell() ? TableKeyAction::CopyTable : TableKeyAction::CopyBlock;
    return TableKeyAction::None;
}

QString HoverHint(const PointerPlace &place) {
    if (!place.insideWindow || !place.insideTable) return {};
    if (place.row == 0) return Pick(TxtHintSort);
    if (place.column == 0 && place.row >= 1) return {};
    return Pick(TxtHintSelect);
}

void FitColumnWidths(const ArchiveTable &table, ColumnWidths &widths, int sampleRows, int padding,
                     const std::function<int(const QString &text, bool header)> &measure) {
    const int rows = table.rowCount();
    for (int c = 1; c < ArchiveTable::kMaxColCount; ++c) {
        int needed = measure(table.cell(c, 0), true) + padding;
        auto take = [&](int r) { needed = std::max(needed, measure(table.cell(c, r), false) + padding); };
        for (int r = 1; r < rows && r <= sampleRows; ++r)
            take(r);
        for (int r = std::max(sampleRows + 1, rows - sampleRows); r < rows; ++r)
            take(r);
        auto &width = widths[static_cast<std::size_t>(c)];
        width = std::max(width, needed);
    }
}

} // namespace velda
