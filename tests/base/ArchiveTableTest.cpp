// The archive table keeps texts outside its shown size and moves whole stored rows.
#include "base/ArchiveTable.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace velda;

TEST(ArchiveTable, StartsAtShownSizeAndEmpty) {
    ArchiveTable t;
    EXPECT_EQ(t.colCount(), 10);
    EXPECT_EQ(t.rowCount(), 9);
    EXPECT_TRUE(TableIsEmpty(t));
    EXPECT_EQ(t.cell(3, 4), QString());
}

TEST(ArchiveTable, CellsOutsideTheSizeShowAgainWhenItGrows) {
    ArchiveTable t;
    t.setCell(12, 20, u"Датчик");
    t.setRowCount(2);
    t.setColCount(10);
    EXPECT_EQ(t.cell(12, 20), QStringLiteral("Датчик"));
    t.setRowCount(30);
    t.setColCount(14);
    EXPECT_EQ(t.cell(12, 20), QStringLiteral("Датчик"));
    EXPECT_EQ(t.cellBytes(12, 20), std::string_view("\xC4\xE0\xF2\xF7\xE8\xEA"));
}

TEST(ArchiveTable, MoveRowCarriesEveryStoredColumn) {
    ArchiveTable t;
    for (int r = 0; r < 5; ++r) {
        t.setCell(0, r, QString::number(r));
        t.setCell(13, r, QStringLiteral("x%1").arg(r));
    }
    t.moveRow(1, 3); // 0 2 3 1 4
    EXPECT_EQ(t.cell(0, 1), QStringLiteral("2"));
    EXPECT_EQ(t.cell(0, 3), QStringLiteral("1"));
    EXPECT_EQ(t.cell(13, 3), QStringLiteral("x1"));
    t.moveRow(3, 1); // back
    for (int r = 0; r < 5; ++r)
        EXPECT_EQ(t.cell(0, r), QString::number(r));
    t.clearRowsFrom(1);
    EXPECT_EQ(t.cell(0, 0), QStringLiteral("0"));
    EXPECT_TRUE(TableIsEmpty(t));
}
