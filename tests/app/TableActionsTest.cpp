// Click rules, context-menu condition and hover-hint zones.
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

} // namespace
} // namespace velda
