// Click and key rules and what they do to a table, context-menu condition and hover-hint zones.
#include "app/TableActions.h"

#include "app/MainTexts.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace velda {
namespace {

TEST(ClickRulesTest, LeftClickClassification) {
    struct Case {
        const char *name;
        int column, row;
        ClickAction action;
    };
    const Case cases[] = {
        {"header of number column", 0, 0, ClickAction::SortByColumn},
        {"header of column 13", 13, 0, ClickAction::SortByColumn},
        {"row number", 0, 5, ClickAction::SelectRow},
        {"over no cell", -1, -1, ClickAction::ClearSelection},
        {"data cell", 3, 2, ClickAction::Nothing},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ClassifyLeftClick(c.column, c.row), c.action);
    }
}

TEST(ClickRulesTest, ContextMenuConditions) {
    const Selection rowThree{0, 3, 9, 3};
    EXPECT_TRUE(ContextMenuOpens(0, 3, rowThree, false));
    EXPECT_FALSE(ContextMenuOpens(0, 3, rowThree, true));
    EXPECT_FALSE(ContextMenuOpens(1, 3, rowThree, false));
    EXPECT_FALSE(ContextMenuOpens(0, 4, rowThree, false));
    EXPECT_FALSE(ContextMenuOpens(0, 3, Selection{1, 3, 9, 3}, false));
}

// A table whose number column holds one cell per character of `numbers` (a blank: an empty cell) from
// row 1 down; the series column names the row each data row was built as.
ArchiveTable numberedTable(const QString &numbers) {
    ArchiveTable t;
    t.setColCount(10);
    t.setRowCount(static_cast<int>(numbers.size()) + 1);
    for (int r = 1; r <= numbers.size(); ++r) {
        t.setCell(0, r, numbers.mid(r - 1, 1).trimmed());
        t.setCell(5, r, QString::number(r));
    }
    return t;
}

QString columnOf(const ArchiveTable &t, int column) {
    QString cells;
    for (int r = 1; r < t.rowCount(); ++r)
        cells += t.cell(column, r).isEmpty() ? QStringLiteral(" ") : t.cell(column, r);
    return cells;
}

TEST(ClickRulesTest, LeftReleaseSortsSelectsOrClears) {
    const Selection off{kNoCellSelection, kNoCellSelection, kNoCellSelection, kNoCellSelection};
    const struct {
        const char *name;
        QString numbers;
        int column, row, releases;
        QString numbersAfter;
        bool cellsChanged;
        std::optional<Selection> selection;
        bool error;
        int directionAfter;
    } cases[] = {
        {"header click sorts descending first", "132", 0, 0, 1, "321", true, {}, false, -1},
        {"second header click sorts ascending", "132", 0, 0, 2, "123", true, {}, false, 1},
        {"header click on a table not read only toggles", "   ", 0, 0, 1, "   ", false, {}, false, -1},
        {"cell that does not convert leaves the order", "1x2", 0, 0, 1, "1x2", true, {}, true, -1},
        {"row number selects the whole row", "132", 0, 2, 1, "132", false, Selection{0, 2, 9, 2}, false, 0},
        {"over no cell moves the selection off", "132", -1, -1, 1, "132", false, off, false, 0},
        {"data cell does nothing", "132", 3, 2, 1, "132", false, {}, false, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ArchiveTable t = numberedTable(c.numbers);
        SortToggle toggle;
        TableChange change;
        for (int k = 0; k < c.releases; ++k)
            change = LeftReleaseOnTable(t, toggle, c.column, c.row);
        EXPECT_EQ(columnOf(t, 0), c.numbersAfter);
        EXPECT_EQ(change.cellsChanged, c.cellsChanged);
        EXPECT_EQ(change.selection, c.selection);
        EXPECT_EQ(change.error.has_value(), c.error);
        EXPECT_EQ(toggle.SortDirection(), c.directionAfter);
    }
    ArchiveTable t = numberedTable("1234");
    const TableChange moved = MoveTableRow(t, 4, 2);
    EXPECT_EQ(columnOf(t, 5), "1423");
    EXPECT_EQ(moved.selection, (Selection{0, 2, 9, 2}));
}

TEST(ClickRulesTest, TableKeys) {
    const Selection cell{2, 3, 2, 3};
    const Selection block{1, 3, 4, 5};
    struct Case {
        const char *name;
        int key;
        Qt::KeyboardModifiers modifiers;
        Selection selection;
        TableKeyAction action;
    };
    const Case cases[] = {
        {"delete", Qt::Key_Delete, Qt::NoModifier, block, TableKeyAction::DeleteRow},
        {"keypad delete", Qt::Key_Delete, Qt::KeypadModifier, cell, TableKeyAction::DeleteRow},
        {"shift delete", Qt::Key_Delete, Qt::ShiftModifier, block, TableKeyAction::DeleteRow},
        {"ctrl delete", Qt::Key_Delete, Qt::ControlModifier, block, TableKeyAction::DeleteRow},
        {"alt delete", Qt::Key_Delete, Qt::AltModifier, cell, TableKeyAction::DeleteRow},
        {"ctrl shift keypad delete", Qt::Key_Delete,
         Qt::ControlModifier | Qt::ShiftModifier | Qt::KeypadModifier, cell, TableKeyAction::DeleteRow},
        {"ctrl c on one cell copies the table", Qt::Key_C, Qt::ControlModifier, cell,
         TableKeyAction::CopyTable},
        {"ctrl c on a block copies the block", Qt::Key_C, Qt::ControlModifier, block,
         TableKeyAction::CopyBlock},
        {"ctrl shift c still copies", Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier, block,
         TableKeyAction::CopyBlock},
        {"c alone", Qt::Key_C, Qt::NoModifier, block, TableKeyAction::None},
        {"ctrl v", Qt::Key_V, Qt::ControlModifier, block, TableKeyAction::None},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ClassifyTableKey(c.key, c.modifiers, c.selection), c.action);
    }
}

TEST(HoverHintTest, Zones) {
    struct Case {
        const char *name;
        PointerPlace place;
        TextPair expected;
    };
    const TextPair none{"", ""};
    const Case cases[] = {
        {"outside the window", {false, false, 2, 2}, none},
        {"window but not table", {true, false, -1, -1}, none},
        {"header of number column", {true, true, 0, 0}, TxtHintSort},
        {"header cell", {true, true, 7, 0}, TxtHintSort},
        {"row number", {true, true, 0, 4}, none},
        {"data cell", {true, true, 3, 4}, TxtHintSelect},
        {"inside table over no cell", {true, true, -1, -1}, TxtHintSelect},
    };
    for (std::uint8_t language : {0, 1}) {
        LanguageIndex = language;
        for (const Case &c : cases) {
            SCOPED_TRACE(c.name);
            EXPECT_EQ(HoverHint(c.place), PickIn(c.expected, language));
        }
    }
    LanguageIndex = 0;
}

// Widths measured as one pixel per character (ten for a header character), so the expected widths
// show which cells were looked at.
TEST(FitColumnWidthsTest, WidensToHeaderAndSampledCellsOnly) {
    auto measure = [](const QString &text, bool header) {
        return static_cast<int>(text.size()) * (header ? 10 : 1);
    };
    struct Case {
        const char *name;
        int dataRows;
        int longRow; ///< the row whose column-3 cell is 60 characters long
        int expected;
    };
    const Case cases[] = {
        {"header wins over short cells", 10, -1, 22},
        {"first rows are sampled", 600, 1, 62},
        {"last row is sampled", 600, 600, 62},
        {"middle row is not sampled", 600, 300, 22},
        {"row just past the first sample is not sampled", 600, 201, 22},
        {"short table: every row is sampled", 300, 250, 62},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ArchiveTable table;
        table.setRowCount(c.dataRows + 1);
        table.setCell(3, 0, QStringLiteral("TT"));
        for (int r = 1; r <= c.dataRows; ++r)
            table.setCell(3, r, r == c.longRow ? QString(60, QLatin1Char('x')) : QStringLiteral("1"));
        ColumnWidths widths{};
        widths[3] = 5;
        widths[4] = 500; // never narrowed
        FitColumnWidths(table, widths, 200, 2, measure);
        EXPECT_EQ(widths[3], c.expected);
        EXPECT_EQ(widths[4], 500);
        EXPECT_EQ(widths[0], 0); // the number column is the view's
    }
}

} // namespace
} // namespace velda
