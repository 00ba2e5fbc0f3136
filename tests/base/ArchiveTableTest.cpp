// The archive table keeps texts outside its shown size and moves whole stored rows.
#include "base/ArchiveTable.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

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

namespace {

// The table as the plain rows of strings it stands for: every stored operation is checked against it.
struct ReferenceTable {
    std::vector<std::vector<std::string>> rows;

    std::string at(int col, int row) const {
        if (row >= static_cast<int>(rows.size())) return {};
        const auto &r = rows[static_cast<std::size_t>(row)];
        return col < static_cast<int>(r.size()) ? r[static_cast<std::size_t>(col)] : std::string();
    }
    void set(int col, int row, std::string text) {
        grow(row);
        auto &r = rows[static_cast<std::size_t>(row)];
        if (col >= static_cast<int>(r.size())) r.resize(static_cast<std::size_t>(col) + 1);
        r[static_cast<std::size_t>(col)] = std::move(text);
    }
    void grow(int row) {
        if (row >= static_cast<int>(rows.size())) rows.resize(static_cast<std::size_t>(row) + 1);
    }
};

void ExpectSame(const ArchiveTable &t, const ReferenceTable &ref, int cols) {
    const int rows = std::max(t.storedRowCount(), static_cast<int>(ref.rows.size())) + 2;
    for (int row = 0; row < rows; ++row)
        for (int col = 0; col < cols + 2; ++col)
            ASSERT_EQ(t.cellBytes(col, row), ref.at(col, row)) << "cell (" << col << ", " << row << ")";
}

} // namespace

TEST(ArchiveTable, EveryEditMatchesPlainRowsOfStrings) {
    // Long texts overwritten again and again leave more dead bytes than live ones, so the store is also
    // rewritten several times under the edits.
    constexpr int kCols = 6;
    constexpr int kRows = 12;
    std::mt19937 random(11);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    ArchiveTable t;
    ReferenceTable ref;
    for (int step = 0; step < 6000; ++step) {
        SCOPED_TRACE(step);
        const int col = pick(kCols);
        const int row = pick(kRows);
        switch (pick(8)) {
        case 0: { // a text of this very table, which the write may move or overwrite in place
            const int fromCol = pick(kCols);
            const int fromRow = pick(kRows);
            t.setCellBytes(col, row, t.cellBytes(fromCol, fromRow));
            ref.set(col, row, ref.at(fromCol, fromRow));
            break;
        }
        case 1: { // the tail of a text of this table
            const std::string_view whole = t.cellBytes(col, row);
            const std::size_t skip =
                whole.empty() ? 0 : static_cast<std::size_t>(pick(static_cast<int>(whole.size())));
            const std::string expected(whole.substr(skip));
            t.setCellBytes(col, row, whole.substr(skip));
            ref.set(col, row, expected);
            break;
        }
        case 2:
            t.setCellBytes(col, row, {});
            ref.set(col, row, {});
            break;
        case 3: {
            const int to = pick(kRows);
            t.moveRow(row, to);
            ref.grow(std::max(row, to));
            auto first = ref.rows.begin();
            if (row < to)
                std::rotate(first + row, first + row + 1, first + to + 1);
            else if (to < row)
                std::rotate(first + to, first + row, first + row + 1);
            break;
        }
        case 4: {
            const int other = pick(kRows);
            t.swapRows(row, other);
            ref.grow(std::max(row, other));
            std::swap(ref.rows[static_cast<std::size_t>(row)], ref.rows[static_cast<std::size_t>(other)]);
            break;
        }
        case 5:
            if (pick(300) == 0) {
                t.clearRowsFrom(row);
                if (row < static_cast<int>(ref.rows.size())) ref.rows.resize(static_cast<std::size_t>(row));
            }
            break;
        default: {
            std::string text(static_cast<std::size_t>(pick(2) == 0 ? pick(8000) : pick(12)), 'a');
            for (char &c : text)
                c = static_cast<char>(random());
            t.setCellBytes(col, row, text);
            ref.set(col, row, text);
            break;
        }
        }
        if (step % 500 == 0) ExpectSame(t, ref, kCols);
    }
    ExpectSame(t, ref, kCols);
    const ArchiveTable copy = t;
    t.setCellBytes(0, 0, "changed");
    t.clearRowsFrom(0);
    ExpectSame(copy, ref, kCols);
}

TEST(ArchiveTable, EntriesAreThoseOfAProjectFile) {
    ArchiveTable t;
    t.setCell(1, 0, u"Время");
    t.setCell(1, 2, u"12:00:01");
    t.moveRow(2, 0);
    std::string entries;
    t.forEachEntry(1, 0, 4, [&](std::string_view entry) { entries.append(entry); });
    using namespace std::string_literals;
    EXPECT_EQ(entries, "\x08\0\0\0"s
                       "12:00:01"
                       "\x05\0\0\0\xC2\xF0\xE5\xEC\xFF"s
                       "\0\0\0\0\0\0\0\0"s);
    std::string wide;
    t.forEachEntry(40, 0, 2, [&](std::string_view entry) { wide.append(entry); });
    EXPECT_EQ(wide, std::string(8, '\0'));
    std::string middle;
    t.forEachEntry(1, 1, 1, [&](std::string_view entry) { middle.append(entry); });
    EXPECT_EQ(middle, "\x05\0\0\0\xC2\xF0\xE5\xEC\xFF"s);
    // Empty cells, stored or not, are views of an empty text that may be copied from.
    t.setCellBytes(2, 1, "x");
    t.setCellBytes(2, 1, {});
    for (const auto &[col, row] : {std::pair{2, 1}, std::pair{3, 3}, std::pair{99, 0}, std::pair{0, 999}})
        EXPECT_NE(t.cellBytes(col, row).data(), nullptr);
}

// What a table was made from travels with it through copies, moves and swaps; row edits keep it.
TEST(ArchiveTable, CopiesMovesAndSwapsCarryTheFormatAndChannels) {
    ArchiveTable source;
    source.setCell(0, 1, u"1");
    source.setCell(0, 2, u"2");
    source.setArchiveFormat(2);
    source.setChannels({false, true});
    struct Case {
        const char *name;
        std::function<ArchiveTable(const ArchiveTable &)> make;
    };
    const Case cases[] = {
        {"copy", [](const ArchiveTable &t) { return ArchiveTable(t); }},
        {"copy assignment",
         [](const ArchiveTable &t) {
             ArchiveTable out;
             out = t;
             return out;
         }},
        {"move",
         [](const ArchiveTable &t) {
             ArchiveTable from = t;
             ArchiveTable out(std::move(from));
             return out;
         }},
        {"swap",
         [](const ArchiveTable &t) {
             ArchiveTable from = t;
             ArchiveTable out;
             out.setArchiveFormat(1);
             out.setChannels({true, false});
             out.swap(from);
             EXPECT_EQ(from.archiveFormat(), 1) << "the other side takes the old values";
             EXPECT_EQ(from.channels(), (ChannelFlags{true, false}));
             return out;
         }},
        {"row edits",
         [](const ArchiveTable &t) {
             ArchiveTable out = t;
             out.moveRow(1, 2);
             out.swapRows(1, 2);
             out.clearRowsFrom(2);
             out.setRowCount(1);
             return out;
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const ArchiveTable made = c.make(source);
        EXPECT_EQ(made.archiveFormat(), 2);
        EXPECT_EQ(made.channels(), (ChannelFlags{false, true}));
    }
    const ArchiveTable fresh;
    EXPECT_EQ(fresh.archiveFormat(), 0);
    EXPECT_EQ(fresh.channels(), ChannelFlags{});
}
