// Row deletion of the archive table.
#include "base/DeleteRow.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <vector>

namespace velda {
namespace {

/// A row far below the table, as a selection moved off every cell gives.
constexpr int kFarRow = 1024;

ArchiveTable numbered(int dataRows) {
    ArchiveTable t;
    t.setRowCount(dataRows + 1);
    t.setCell(0, 0, u"№");
    for (int r = 1; r <= dataRows; ++r) {
        t.setCell(0, r, QString::number(r));
        t.setCell(9, r, QStringLiteral("v%1").arg(r));
        t.setCell(12, r, QStringLiteral("hidden%1").arg(r));
    }
    return t;
}

std::vector<QString> column(const ArchiveTable &t, int col) {
    std::vector<QString> out;
    for (int r = 0; r < t.rowCount(); ++r)
        out.push_back(t.cell(col, r));
    return out;
}

TEST(DeleteRowTest, MovesRowsUpAndDropsTheLast) {
    struct Case {
        const char *name;
        int dataRows;
        int top;
        bool deleted;
        std::vector<QString> numbers;
    };
    const Case cases[] = {
        {"middle row", 5, 3, true, {"№", "1", "2", "4", "5"}},
        {"last row", 3, 3, true, {"№", "1", "2"}},
        {"only data row stays empty", 1, 1, true, {"№", ""}},
        {"header row", 3, 0, false, {"№", "1", "2", "3"}},
        {"selection off the table", 3, kFarRow, false, {"№", "1", "2", "3"}},
        {"just past the last row", 3, 4, false, {"№", "1", "2", "3"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ArchiveTable t = numbered(c.dataRows);
        EXPECT_EQ(DeleteRow(t, c.top), c.deleted);
        EXPECT_EQ(column(t, 0), c.numbers);
    }
}

TEST(DeleteRowTest, HiddenColumnsMoveWithTheirRowAndNothingReappears) {
    ArchiveTable t = numbered(3);
    ASSERT_TRUE(DeleteRow(t, 1));
    EXPECT_EQ(column(t, 12), (std::vector<QString>{"", "hidden2", "hidden3"}));
    t.setRowCount(4); // growing again shows an empty row, not the deleted one
    EXPECT_EQ(t.cell(0, 3), u"");
    EXPECT_EQ(t.cell(12, 3), u"");
    ArchiveTable one = numbered(1);
    ASSERT_TRUE(DeleteRow(one, 1));
    EXPECT_TRUE(TableIsEmpty(one));
    EXPECT_EQ(one.rowCount(), 2);
    EXPECT_EQ(one.cell(9, 1), u"");
}

} // namespace
} // namespace velda
