// TableText and BlockText, character for character in both languages.
#include "app/ClipboardText.h"

#include "app/MainTexts.h"
#include "base/TableHeader.h"

#include "QtPrinters.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace velda {
namespace {

struct LanguageGuard {
    explicit LanguageGuard(std::uint8_t language) { LanguageIndex = language; }
    ~LanguageGuard() { LanguageIndex = 0; }
};

ArchiveTable oneRecordTable(std::uint8_t language) {
    ArchiveTable t;
    t.setRowCount(2);
    WriteHeaderRow(t, language);
    const QStringList row = {"1",    "12:00:00", "01.02.2024", "Непрерывный", "5 | 3", "0",
                             "ТП-K", "20.50",    "",           "1.00"};
    for (int k = 0; k < row.size(); ++k)
        t.setCell(k, 1, row[k]);
    return t;
}

TEST(ClipboardTextTest, TableTextPadsHeadersAndShortCells) {
    struct Case {
        const char *name;
        std::uint8_t language;
        QString expected;
    };
    const QString dataRowRu = "1\t12:00:00\t01.02.2024\tНепрерывный\t5 | 3\t0\tТП-K\t20.50\t\t1.00\t\r\n";
    const Case cases[] = {
        {"russian", 0,
         "№\tВремя\t\tДата\t\tРежим\t\tНомер\tСерия\tДатчик\t\tT, °C\tH, %\tQ, Вт/m2\r\n" + dataRowRu},
        // "Q, W/m2" has 7 characters, so the English data row gets no padding TAB.
        {"english", 1,
         "№\tTime\t\tDate\t\tRegime\t\tNumber\tSeries\tSensor\t\tT, °C\tH, %\tQ, W/m2\r\n"
         "1\t12:00:00\t01.02.2024\tНепрерывный\t5 | 3\t0\tТП-K\t20.50\t\t1.00\r\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LanguageGuard guard(c.language);
        EXPECT_EQ(TableText(oneRecordTable(c.language)), c.expected);
    }
}

TEST(ClipboardTextTest, LongHeaderGivesTwoPaddingTabsAndHeadersOfOtherLanguageGetNone) {
    LanguageGuard guard(0);
    ArchiveTable t = oneRecordTable(1); // English headers while Russian is active: no header padding
    t.setCell(9, 0, u"Давление, мм рт. ст.");
    const QString text = TableText(t);
    EXPECT_TRUE(text.startsWith(
        "№\tTime\tDate\tRegime\tNumber\tSeries\tSensor\tT, °C\tH, %\tДавление, мм рт. ст.\r\n"));
    EXPECT_TRUE(text.endsWith("\t1.00\t\t\r\n")) << text.toStdString();
}

TEST(ClipboardTextTest, TableOfEmptyRowsStillCopies) {
    LanguageGuard guard(0);
    ArchiveTable t = oneRecordTable(0);
    t.clearRowsFrom(1);
    const QString text = TableText(t);
    EXPECT_TRUE(text.endsWith("\r\n\t\t\t\t\t\t\t\t\t\t\r\n"))
        << text.toStdString(); // 9 separators + 1 padding TAB
}

TEST(ClipboardTextTest, BlockText) {
    ArchiveTable t = oneRecordTable(0);
    struct Case {
        const char *name;
        Selection selection;
        QString expected;
    };
    const Case cases[] = {
        {"whole row by its number",
         {0, 1, 9, 1},
         "1\t12:00:00\t01.02.2024\tНепрерывный\t5 | 3\t0\tТП-K\t20.50\t\t1.00\r\n"},
        {"block with header", {6, 0, 7, 1}, "Датчик\tT, °C\r\nТП-K\t20.50\r\n"},
        {"single cell", {7, 1, 7, 1}, "20.50\r\n"},
        {"moved off the table",
         {kNoCellSelection, kNoCellSelection, kNoCellSelection, kNoCellSelection},
         "\r\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(BlockText(t, c.selection), c.expected);
    }
}

TEST(ClipboardTextTest, RefusedOnlyWithoutRecords) {
    EXPECT_FALSE(ClipboardCopyAllowed(0));
    EXPECT_TRUE(ClipboardCopyAllowed(1));
}

TEST(ClipboardTextTest, CopyCommandPicksTheTextOrRefuses) {
    const ArchiveTable t = oneRecordTable(0);
    const Selection block{1, 1, 2, 1};
    struct Case {
        const char *name;
        bool wholeTable;
        std::uint32_t recordCount;
        std::optional<QString> expected;
    };
    const Case cases[] = {
        {"whole table", true, 1, TableText(t)},
        {"selected block", false, 1, BlockText(t, block)},
        // The record count decides, not the rows the table happens to hold.
        {"whole table without records", true, 0, std::nullopt},
        {"block without records", false, 0, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CopyCommandText(t, block, c.wholeTable, c.recordCount), c.expected);
    }
    EXPECT_EQ(CopyCommandText(t, block, false, 1), QString("12:00:00\t01.02.2024\r\n"));
}

} // namespace
} // namespace velda
