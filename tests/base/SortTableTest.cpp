// SortTable: key rules, the quicksort's order of equal keys, failures that leave the table untouched.
#include "base/SortTable.h"

#include "base/SystemFormats.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <vector>

namespace velda {
namespace {

class SortTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_saved = CurrentFormats();
        SetCurrentFormats(SystemFormats::FromLocale(QLocale(QLocale::English, QLocale::UnitedKingdom)));
    }
    void TearDown() override { SetCurrentFormats(m_saved); }

    // A table with one column filled: row r + 1 gets values[r] in `column` and r + 1 in column 0.
    static ArchiveTable tableWith(int column, const std::vector<QString> &values) {
        ArchiveTable t;
        t.setColCount(14);
        t.setRowCount(static_cast<int>(values.size()) + 1);
        t.setCell(0, 0, u"№");
        for (std::size_t r = 0; r < values.size(); ++r) {
            t.setCell(0, static_cast<int>(r) + 1, QString::number(r + 1));
            t.setCell(column, static_cast<int>(r) + 1, values[r]);
        }
        return t;
    }
    static std::vector<QString> column(const ArchiveTable &t, int col) {
        std::vector<QString> out;
        for (int r = 1; r < t.rowCount(); ++r)
            out.push_back(t.cell(col, r));
        return out;
    }
    static std::vector<std::string> snapshot(const ArchiveTable &t) {
        std::vector<std::string> out;
        for (int r = 0; r < t.storedRowCount(); ++r)
            for (int c = 0; c < ArchiveTable::kMaxColCount; ++c)
                out.emplace_back(t.cellBytes(c, r));
        return out;
    }

    SystemFormats m_saved;
};

TEST_F(SortTableTest, KeyConversions) {
    struct Case {
        const char *name;
        QString text;
        std::optional<std::int64_t> strict;
        std::int64_t leading;
        std::optional<std::int64_t> hundredths;
    };
    const std::vector<Case> cases = {
        {"plain", "42", 42, 42, 4200},
        {"signed", "-7", -7, -7, -700},
        {"plus sign", "+3", 3, 3, 300},
        {"two decimals", "23.45", std::nullopt, 23, 2345},
        {"one decimal", "-0.5", std::nullopt, 0, -50},
        {"three decimals", "1.005", std::nullopt, 1, std::nullopt},
        {"digits then text", "12abc", std::nullopt, 12, std::nullopt},
        {"leading blanks", "  15x", std::nullopt, 15, std::nullopt},
        {"NAN", "NAN", std::nullopt, 0, std::nullopt},
        {"empty", "", std::nullopt, 0, std::nullopt},
        {"comma in point locale", "1,5", std::nullopt, 1, std::nullopt},
        {"exponent", "1.5E1", std::nullopt, 1, 1500},
        {"noise beyond 15 digits", "12.340000000000000001", std::nullopt, 12, 1234},
        {"int64 overflow", "99999999999999999999", std::nullopt, INT64_MAX, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(StrictIntegerKey(c.text), c.strict);
        EXPECT_EQ(LeadingDigitsKey(c.text), c.leading);
        EXPECT_EQ(HundredthsKey(c.text, QLatin1Char('.')), c.hundredths);
    }
    EXPECT_EQ(HundredthsKey(u"-12,25", QLatin1Char(',')), -1225);
    SortError::Kind kind{};
    EXPECT_FALSE(HundredthsKey(u"2.125", QLatin1Char('.'), &kind));
    EXPECT_EQ(kind, SortError::Kind::NotWholeAfterX100);
}

TEST_F(SortTableTest, EqualKeysLandWhereTheQuicksortPutsThem) {
    // Five equal keys: the partition exchanges pairs from both ends, which fixes this order.
    for (int direction : {1, -1}) {
        SCOPED_TRACE(direction);
        ArchiveTable t = tableWith(5, {"1", "1", "1", "1", "1"});
        ASSERT_TRUE(SortTable(t, 5, direction).ok());
        EXPECT_EQ(column(t, 0), (std::vector<QString>{"4", "5", "3", "1", "2"}));
    }
}

TEST_F(SortTableTest, SortsEachKeyKind) {
    struct Case {
        const char *name;
        int column;
        int direction;
        std::vector<QString> values;
        std::vector<QString> expected;
    };
    const std::vector<Case> cases = {
        {"temperature descending, empty last",
         7,
         -1,
         {"", "20.50", "-3.00", " ", "100.00"},
         {"100.00", "20.50", "-3.00", "", " "}},
        {"temperature ascending, empty first", 7, 1, {"20.50", "", "-3.00"}, {"", "-3.00", "20.50"}},
        {"flux empty below -2999.99", 9, 1, {"-2999.99", ""}, {"", "-2999.99"}},
        {"humidity empty below 0", 12, 1, {"0.00", "", "-0.50"}, {"", "-0.50", "0.00"}},
        {"number by leading digits", 4, 1, {"12b", "3", "", "7x"}, {"", "3", "7x", "12b"}},
        {"series as integers", 5, 1, {"10", "9", ""}, {"", "9", "10"}},
        {"date as text, day first", 2, 1, {"02/01/2024", "01/02/2024"}, {"01/02/2024", "02/01/2024"}},
        {"sensor text descending", 6, 7, {"Alpha", "Gamma", "Beta"}, {"Gamma", "Beta", "Alpha"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ArchiveTable t = tableWith(c.column, c.values);
        ASSERT_TRUE(SortTable(t, c.column, c.direction).ok());
        EXPECT_EQ(column(t, c.column), c.expected);
    }
}

TEST_F(SortTableTest, CaseSensitiveTextKeepsCasesApart) {
    ArchiveTable t = tableWith(3, {"b", "B", "a", "A"});
    ASSERT_TRUE(SortTable(t, 3, 1).ok());
    const auto sorted = column(t, 3);
    EXPECT_EQ(sorted.front().toLower(), "a");
    EXPECT_NE(sorted[0], sorted[1]);
    EXPECT_EQ(sorted.back().toLower(), "b");
}

TEST_F(SortTableTest, NumberColumnRestoresReadOrderAndRowsTravelWhole) {
    ArchiveTable t = tableWith(7, {"5.00", "1.00", "3.00", "2.00"});
    t.setColCount(10);
    for (int r = 1; r <= 4; ++r)
        t.setCell(11, r, QStringLiteral("hidden%1").arg(r));
    ASSERT_TRUE(SortTable(t, 7, 1).ok());
    EXPECT_EQ(column(t, 0), (std::vector<QString>{"2", "4", "3", "1"}));
    EXPECT_EQ(column(t, 11), (std::vector<QString>{"hidden2", "hidden4", "hidden3", "hidden1"}));
    ASSERT_TRUE(SortTable(t, 0, 1).ok());
    EXPECT_EQ(column(t, 0), (std::vector<QString>{"1", "2", "3", "4"}));
    EXPECT_EQ(column(t, 11), (std::vector<QString>{"hidden1", "hidden2", "hidden3", "hidden4"}));
    EXPECT_EQ(t.cell(0, 0), u"№");
}

TEST_F(SortTableTest, FailureLeavesTableUntouched) {
    struct Case {
        const char *name;
        int column;
        std::vector<QString> values;
        SortError::Kind kind;
        int row;
    };
    const std::vector<Case> cases = {
        {"series with trailing text", 5, {"3", "1", "12abc"}, SortError::Kind::NotAnInteger, 3},
        {"temperature NAN", 7, {"2.00", "NAN", "1.00"}, SortError::Kind::NotANumber, 2},
        {"temperature with three decimals", 8, {"2.125", "1.00"}, SortError::Kind::NotWholeAfterX100, 1},
        {"empty number cell", 0, {"x"}, SortError::Kind::NotAnInteger, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ArchiveTable t = tableWith(c.column, c.values);
        if (c.column == 0) t.setCell(0, 1, u"");
        const auto before = snapshot(t);
        const SortResult result = SortTable(t, c.column, -1);
        ASSERT_FALSE(result.ok());
        EXPECT_EQ(result.error().kind, c.kind);
        EXPECT_EQ(result.error().row, c.row);
        EXPECT_EQ(result.error().column, c.column);
        EXPECT_FALSE(result.error().message().isEmpty());
        EXPECT_EQ(snapshot(t), before);
    }
    // The same text in column 4 sorts by its leading digits.
    ArchiveTable t = tableWith(4, {"3", "1", "12abc"});
    EXPECT_TRUE(SortTable(t, 4, 1).ok());
}

TEST_F(SortTableTest, DirectionZeroAndEmptyTablesChangeNothing) {
    ArchiveTable t = tableWith(7, {"5.00", "1.00"});
    const auto before = snapshot(t);
    EXPECT_TRUE(SortTable(t, 7, 0).ok());
    EXPECT_EQ(snapshot(t), before);
    ArchiveTable headerOnly;
    headerOnly.setRowCount(1);
    EXPECT_TRUE(SortTable(headerOnly, 0, 1).ok());
}

TEST_F(SortTableTest, CommaDecimalLocale) {
    SetCurrentFormats(SystemFormats::FromLocale(QLocale(QLocale::Russian, QLocale::Russia)));
    ArchiveTable t = tableWith(7, {"1,50", "-2,25", "10,00"});
    ASSERT_TRUE(SortTable(t, 7, 1).ok());
    EXPECT_EQ(column(t, 7), (std::vector<QString>{"-2,25", "1,50", "10,00"}));
    ArchiveTable pointTable = tableWith(7, {"1.50"});
    EXPECT_FALSE(SortTable(pointTable, 7, 1).ok());
}

TEST(SortDirectionTest, ToggleAlternatesFromDescending) {
    SortDirection = 0;
    EXPECT_EQ(ToggleSortDirection(), -1);
    EXPECT_EQ(ToggleSortDirection(), 1);
    EXPECT_EQ(ToggleSortDirection(), -1);
    SortDirection = 1;
    EXPECT_EQ(ToggleSortDirection(), -1);
}

} // namespace
} // namespace velda
