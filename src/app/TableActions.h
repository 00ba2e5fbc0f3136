// Toolkit-free rules of the archive table's interaction: clicks, context menu, hover hints.
#pragma once

#include "base/ArchiveTable.h"
#include "base/SortTable.h"
#include "base/Texts.h"

#include <QString>
#include <QtCore/qnamespace.h>

#include <array>
#include <functional>
#include <optional>

namespace velda {

/// The grid's rectangular selection, both ends inclusive.
struct Selection {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    [[nodiscard]] bool singleCell() const { return top == bottom && left == right; }
    friend bool operator==(const Selection &, const Selection &) = default;
};

/// Where a click "over no cell" moves the selection, so that nothing is shown selected.
inline constexpr int kNoCellSelection = 1024;

/// What a left-button release over the table does.
enum class ClickAction {
    Nothing,
    SortByColumn,   ///< header row: toggle SortDirection, then sort unless the table is empty
    SelectRow,      ///< number column of a data row: select the whole row
    ClearSelection, ///< over no cell: move the selection to (kNoCellSelection, kNoCellSelection)
};

/// The action of a left-button release over cell (`column`, `row`); (-1, -1) means over no cell.
[[nodiscard]] ClickAction ClassifyLeftClick(int column, int row);

/// What a table command changed, for the window to show in this order: the cells repainted, the selection
/// moved, an error reported.
struct TableChange {
    bool cellsChanged = false;
    std::optional<Selection> selection;
    std::optional<SortError> error; ///< the cell the sort could not convert
};

/// A left-button release over cell (`column`, `row`) of `table`, as ClassifyLeftClick sorts it out: a
/// header click toggles `sortToggle` and sorts by the column unless the table is empty (a cell that does
/// not convert leaves the table as it was and names itself in the error); a row number selects its whole
/// row; a release over no cell moves the selection off the table.
[[nodiscard]] TableChange LeftReleaseOnTable(ArchiveTable &table, SortToggle &sortToggle, int column,
                                             int row);

/// Moves table row `from` to position `to` and selects it there (a row number dragged and dropped).
[[nodiscard]] TableChange MoveTableRow(ArchiveTable &table, int from, int to);

/// Whether a right-button press over cell (`column`, `row`) opens the table's context menu.
[[nodiscard]] bool ContextMenuOpens(int column, int row, const Selection &selection, bool tableIsEmpty);

/// What a key pressed in the table does.
enum class TableKeyAction {
    None,
    DeleteRow, ///< Delete, the keypad's too, with any modifiers: delete the selection's top row
    CopyTable, ///< Ctrl+C with one cell selected: copy the whole table
    CopyBlock, ///< Ctrl+C with a block selected: copy the block
};

/// The action of `key` (a Qt::Key) pressed with `modifiers` in the table showing `selection`.
[[nodiscard]] TableKeyAction ClassifyTableKey(int key, Qt::KeyboardModifiers modifiers,
                                              const Selection &selection);

/// Where the pointer is, for the status-line hint.
struct PointerPlace {
    bool insideWindow = false;
    bool insideTable = false;
    /// The cell under the pointer, (-1, -1) over no cell. Header rows count as row 0 whatever the scroll.
    int column = -1;
    int row = -1;
};

/// The status-line text for the pointer place, picked in the current language.
[[nodiscard]] QString HoverHint(const PointerPlace &place);

/// Column widths of the grid in pixels, column 0 (the number column) included.
using ColumnWidths = std::array<int, ArchiveTable::kMaxColCount>;

/// Widens (never narrows) columns 1 and up of `widths` to the text of their header cell and of a sample
/// of their data cells (the first and the last `sampleRows` rows), plus `padding`. `measure` gives a
/// text's width in pixels, `header` telling whether it is drawn in the header font.
void FitColumnWidths(const ArchiveTable &table, ColumnWidths &widths, int sampleRows, int padding,
                     const std::function<int(const QString &text, bool header)> &measure);

} // namespace velda
