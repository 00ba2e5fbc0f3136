// Sheet plan, sheet names and the save dialog's type-change rule.
#include "export/SheetPlan.h"
#include "export/SaveTypeRule.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace velda::xlsx {
namespace {

TEST(SheetPlanTest, SplitsEvery65535Rows) {
    struct Case {
        const char *name;
        int rows;
        std::vector<SheetSlice> expected;
    };
    const Case cases[] = {
        {"header only", 1, {{1, 0, 1}}},
        {"exactly one sheet", 65535, {{1, 0, 65535}}},
        {"one row more", 65536, {{1, 0, 65535}, {2, 65535, 1}}},
        {"two full sheets and one row", 131071, {{1, 0, 65535}, {2, 65535, 65535}, {3, 131070, 1}}},
        {"no rows still one sheet", 0, {{1, 0, 0}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PlanSheets(c.rows), c.expected);
    }
}

TEST(SheetPlanTest, SheetNamesInBothLanguagesAndWithinLimit) {
    struct Case {
        const char *name;
        QString prefix;
        int number;
        QString expected;
    };
    const Case cases[] = {
        {"russian", QStringLiteral("Архив измерений "), 1, QStringLiteral("Архив измерений 1")},
        {"english", QStringLiteral("Archive of measurements "), 2,
         QStringLiteral("Archive of measurements 2")},
        {"long prefix keeps the number", QString(40, QLatin1Char('x')), 123,
         QString(28, QLatin1Char('x')) + QStringLiteral("123")},
        {"forbidden characters", QStringLiteral("a/b[c]:*?\\ "), 1, QStringLiteral("a_b_c_____ 1")},
        {"leading apostrophe", QStringLiteral("'quoted "), 1, QStringLiteral("_quoted 1")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString name = SheetName(c.prefix, c.number);
        EXPECT_EQ(name, c.expected);
        EXPECT_LE(name.toUcs4().size(), kMaxSheetNameLength);
    }
}

TEST(SaveTypeRuleTest, PickingATypeAppendsItsExtensionUnlessPresent) {
    struct Case {
        const char *name;
        QString before;
        int type;
        QString after;
    };
    const Case cases[] = {
        {"xlsx appended to the first name", QStringLiteral("Arhive"), 1, QStringLiteral("Arhive.xlsx")},
        {"xlsx name already holds .xls", QStringLiteral("Arhive.xlsx"), 0, QStringLiteral("Arhive.xlsx")},
        {"xls name gets xlsx behind it", QStringLiteral("Arhive.xls"), 1, QStringLiteral("Arhive.xls.xlsx")},
        {"all files means .xls", QStringLiteral("data"), 2, QStringLiteral("data.xls")},
        {"extension anywhere counts", QStringLiteral("a.xls.backup"), 0, QStringLiteral("a.xls.backup")},
        {"empty name", QString(), 0, QStringLiteral(".xls")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SaveDialog1TypeChange(c.before, c.type), c.after);
    }
    EXPECT_EQ(SaveDialogFilters().size(), 3);
}

} // namespace
} // namespace velda::xlsx
