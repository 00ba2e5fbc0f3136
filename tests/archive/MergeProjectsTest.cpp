// Merging tables and project files: order, duplicates, header refusal, and merge laws on whole tables.
#include "archive/MergeProjects.h"

#include "QtPrinters.h"
#include "base/SharedTexts.h"
#include "device/Exchange.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velda;

namespace {

const SystemFormats kRu = SystemFormats::FromLocale(QLocale(QStringLiteral("ru_RU")));

// Data rows as "time date label [slot-2 value]", the label in the text column 5; the number column is
// filled with `firstNumber` on.
ArchiveTable Table(const std::vector<std::vector<QString>> &rows, int cols = 10, std::uint8_t language = 0,
                   int firstNumber = 1) {
    ArchiveTable table;
    table.setColCount(cols);
    table.setRowCount(static_cast<int>(rows.size()) + 1);
    for (int c = 0; c < cols; ++c)
        table.setCell(c, 0, PickIn(kHeaderTexts[c], language));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const auto &row = rows[static_cast<std::size_t>(r)];
        table.setCell(0, r + 1, QString::number(firstNumber + r));
        table.setCell(1, r + 1, row.at(0));
        table.setCell(2, r + 1, row.at(1));
        table.setCell(6, r + 1, QStringLiteral("DS18B20      "));
        table.setCell(5, r + 1, row.at(2));
        if (row.size() > 3) table.setCell(11, r + 1, row.at(3));
    }
    return table;
}

// Every shown cell, row by row, for whole-table comparisons.
std::vector<QStringList> Cells(const ArchiveTable &table) {
    std::vector<QStringList> rows;
    for (int r = 0; r < table.rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < table.colCount(); ++c)
            cells << table.cell(c, r);
        rows.push_back(cells);
    }
    return rows;
}

ArchiveTable Merge(std::vector<std::pair<const ArchiveTable *, ChannelFlags>> tables) {
    std::vector<MergeInput> inputs;
    int i = 0;
    for (const auto &[table, flags] : tables)
        inputs.push_back(MergeInput{QStringLiteral("in%1.vd").arg(++i), table, flags});
    ArchiveTable out;
    const MergeResult result = MergeTables(inputs, kRu, &out);
    EXPECT_TRUE(result.ok()) << (result.ok() ? std::string() : result.error().message.toStdString());
    return out;
}

QStringList Column(const ArchiveTable &table, int col) {
    QStringList cells;
    for (int r = 1; r < table.rowCount(); ++r)
        cells << table.cell(col, r);
    return cells;
}

constexpr ChannelFlags kOne{true, false};
constexpr ChannelFlags kBoth{true, true};

TEST(MergeTablesTest, OrdersByDateAndTimeDropsRepeatsAndRenumbers) {
    struct Case {
        const char *name;
        ArchiveTable a;
        ArchiveTable b;
        QStringList values; ///< column 7 of the result, top to bottom
        int duplicates;
        int undated;
    };
    const Case cases[] = {
        {"overlap",
         Table({{"10:00:00", "01.03.2018", "1"},
                {"11:00:00", "01.03.2018", "2"},
                {"12:00:00", "01.03.2018", "3"}}),
         Table({{"11:00:00", "01.03.2018", "2"},
                {"12:00:00", "01.03.2018", "3"},
                {"09:00:00", "02.03.2018", "4"}},
               10, 0, 7),
         {"1", "2", "3", "4"},
         2,
         0},
        {"date before time: a later day with an earlier hour sorts after",
         Table({{"23:59:59", "01.03.2018", "late"}}),
         Table({{"00:00:00", "02.03.2018", "next"}}),
         {"late", "next"},
         0,
         0},
        {"repeats within one input and equal stamps keep input order",
         Table({{"10:00:00", "01.03.2018", "x"},
                {"10:00:00", "01.03.2018", "x"},
                {"10:00:00", "01.03.2018", "y"}}),
         Table({{"10:00:00", "01.03.2018", "z"}}),
         {"x", "y", "z"},
         1,
         0},
        {"unreadable dates and times go last in their order",
         Table({{"NAN", "01.03.2018", "bad-time"}, {"10:00:00", "01.03.2018", "ok2"}}),
         Table({{"NAN", "NAN", "bad-date"}, {"09:00:00", "01.03.2018", "ok1"}}),
         {"ok1", "ok2", "bad-time", "bad-date"},
         0,
         2},
        {"rows differing only in the number column are one row",
         Table({{"10:00:00", "01.03.2018", "v"}}, 10, 0, 5),
         Table({{"10:00:00", "01.03.2018", "v"}}, 10, 0, 99),
         {"v"},
         1,
         0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<MergeInput> inputs{{QStringLiteral("a.vd"), &c.a, kOne},
                                       {QStringLiteral("b.vd"), &c.b, kOne}};
        ArchiveTable out;
        const MergeResult result = MergeTables(inputs, kRu, &out);
        ASSERT_TRUE(result.ok());
        EXPECT_EQ(Column(out, 5), c.values);
        EXPECT_EQ(result.summary().duplicates, c.duplicates);
        EXPECT_EQ(result.summary().undated, c.undated);
        EXPECT_EQ(result.summary().rows, c.values.size());
        QStringList numbers;
        for (int i = 1; i <= c.values.size(); ++i)
            numbers << QString::number(i);
        EXPECT_EQ(Column(out, 0), numbers);
        EXPECT_EQ(out.cell(0, 0), QStringLiteral("№"));
        EXPECT_EQ(out.cell(1, 0), QStringLiteral("Время"));
    }
}

TEST(MergeTablesTest, LawsHoldOnWholeTables) {
    const ArchiveTable a = Table(
        {{"10:00:00", "01.03.2018", "1"}, {"12:00:00", "01.03.2018", "3"}, {"13:00:00", "01.03.2018", "u1"}});
    const ArchiveTable b = Table(
        {{"11:00:00", "01.03.2018", "2"}, {"12:00:00", "01.03.2018", "3"}, {"12:00:00", "01.03.2018", "3b"}});
    const ArchiveTable c = Table({{"12:00:00", "01.03.2018", "3b"},
                                  {"09:00:00", "01.03.2018", "0"},
                                  {"14:00:00", "01.03.2018", "u2"},
                                  {"13:00:00", "01.03.2018", "u1"}});
    const ArchiveTable ab = Merge({{&a, kOne}, {&b, kOne}});
    EXPECT_EQ(Cells(Merge({{&ab, kOne}, {&b, kOne}})), Cells(ab)) << "merging twice changes nothing";
    EXPECT_EQ(Cells(Merge({{&ab, kOne}, {&ab, kOne}})), Cells(ab)) << "merging with itself changes nothing";
    EXPECT_EQ(Cells(Merge({{&ab, kOne}})), Cells(ab));
    const ArchiveTable bc = Merge({{&b, kOne}, {&c, kOne}});
    const ArchiveTable abc = Merge({{&a, kOne}, {&b, kOne}, {&c, kOne}});
    EXPECT_EQ(Cells(Merge({{&ab, kOne}, {&c, kOne}})), Cells(abc)) << "(a b) c";
    EXPECT_EQ(Cells(Merge({{&a, kOne}, {&bc, kOne}})), Cells(abc)) << "a (b c)";
    EXPECT_EQ(Column(abc, 5), (QStringList{"0", "1", "2", "3", "3b", "u1", "u2"}));
}

TEST(MergeTablesTest, KeepsTheSecondChannelSlotWhenAnyInputHasIt) {
    const ArchiveTable one = Table({{"10:00:00", "01.03.2018", "1"}});
    const ArchiveTable two = Table({{"11:00:00", "01.03.2018", "2", "22"}}, 14);
    ArchiveTable out;
    const MergeResult result = MergeTables(
        {{QStringLiteral("one.vd"), &one, kOne}, {QStringLiteral("two.vd"), &two, kBoth}}, kRu, &out);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(out.colCount(), 14);
    EXPECT_EQ(result.summary().flags, kBoth);
    EXPECT_EQ(out.cell(13, 0), QStringLiteral("Q, Вт/m2")) << "header of a column only the second input has";
    EXPECT_EQ(out.cell(11, 1), QString());
    EXPECT_EQ(out.cell(11, 2), QStringLiteral("22"));
}

TEST(MergeTablesTest, RefusesAnotherLanguageAndLeavesTheResultAlone) {
    const ArchiveTable ru = Table({{"10:00:00", "01.03.2018", "1"}});
    const ArchiveTable en = Table({{"11:00:00", "01.03.2018", "2"}}, 10, 1);
    ArchiveTable out = Table({{"08:00:00", "01.03.2018", "keep"}});
    const auto before = Cells(out);
    LanguageIndex = 1;
    const MergeResult result =
        MergeTables({{QStringLiteral("ru.vd"), &ru, kOne}, {QStringLiteral("en.vd"), &en, kOne}}, kRu, &out);
    LanguageIndex = 0;
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().kind, MergeError::Kind::HeaderMismatch);
    EXPECT_EQ(result.error().file, QStringLiteral("en.vd"));
    EXPECT_TRUE(result.error().message.startsWith(
        QStringLiteral("en.vd: the column headers differ from those of ru.vd")))
        << result.error().message.toStdString();
    EXPECT_EQ(Cells(out), before);
    EXPECT_FALSE(MergeTables({}, kRu, &out).ok());
}

TEST(MergeProjectFilesTest, WritesTheMergeOverAnInputAndNothingOnFailure) {
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.vd"));
    const QString b = dir.filePath(QStringLiteral("b.vd"));
    const QString en = dir.filePath(QStringLiteral("en.vd"));
    ASSERT_TRUE(
        SaveProject(Table({{"10:00:00", "01.03.2018", "1"}, {"12:00:00", "01.03.2018", "3"}}), a, kOne).ok());
    ASSERT_TRUE(
        SaveProject(Table({{"11:00:00", "01.03.2018", "2"}, {"12:00:00", "01.03.2018", "3"}}), b, kOne).ok());
    ASSERT_TRUE(SaveProject(Table({{"09:00:00", "01.03.2018", "0"}}, 10, 1), en, kOne).ok());

    const QString out = dir.filePath(QStringLiteral("out.vd"));
    for (const QStringList &inputs :
         {QStringList{a, en}, QStringList{a, dir.filePath(QStringLiteral("missing.vd"))}}) {
        const MergeResult refused = MergeProjectFiles(inputs, out, kRu);
        ASSERT_FALSE(refused.ok());
        EXPECT_EQ(refused.error().file,
                  inputs.at(1).endsWith(QStringLiteral("en.vd")) ? QStringLiteral("en.vd") : inputs.at(1));
        EXPECT_FALSE(QFile::exists(out));
    }

    const MergeResult merged = MergeProjectFiles({a, b}, a, kRu);
    ASSERT_TRUE(merged.ok()) << merged.error().message.toStdString();
    ArchiveTable back;
    const auto loaded = ReadProject(back, a);
    ASSERT_TRUE(loaded.ok());
    EXPECT_EQ(loaded.value().recordCount, 3U);
    EXPECT_EQ(loaded.value().flags, kOne);
    EXPECT_EQ(Column(back, 5), (QStringList{"1", "2", "3"}));
    QFile first(a);
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    const QByteArray once = first.readAll();
    first.close();
    ASSERT_TRUE(MergeProjectFiles({a, b}, a, kRu).ok());
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    EXPECT_EQ(first.readAll(), once) << "merging the same download again leaves the bytes as they were";
}

// A merge of files reads each file a row at a time and writes the result as it goes: it must refuse,
// read and write exactly as loading the files, merging the tables and saving the result do.
TEST(MergeProjectFilesTest, ReadsAndWritesFilesAsLoadingMergingAndSavingTablesDo) {
    QTemporaryDir dir;
    const QString other = dir.filePath(QStringLiteral("other.vd"));
    ASSERT_TRUE(SaveProject(Table({{"10:00:00", "01.03.2018", "o"}}), other, kOne).ok());
    std::vector<std::vector<QString>> many; // cells of each column well beyond one read of the file
    for (int minute = 0; minute < 6000; ++minute)
        many.push_back({QStringLiteral("%1:%2:00")
                            .arg(minute / 60 % 24, 2, 10, QChar('0'))
                            .arg(minute % 60, 2, 10, QChar('0')),
                        QStringLiteral("%1.03.2018").arg(1 + minute / 1440, 2, 10, QChar('0')),
                        QString::number(minute)});
    ArchiveTable zero = Table({{"11:00:00", "01.03.2018", "z"}, {"12:00:00", "01.03.2018", "z"}});
    zero.setCellBytes(5, 2, std::string("z\0tail", 6)); // a zero byte ends the text: a repeat of row 1
    ArchiveTable big = Table(many, 14);
    big.setCellBytes(5, 3000, std::string(200000, 'x'));
    ArchiveTable rowless = Table({});
    rowless.setRowCount(0);
    const auto saved = [&](const ArchiveTable &table, ChannelFlags flags) {
        const QString path = dir.filePath(QStringLiteral("saved.vd"));
        EXPECT_TRUE(SaveProject(table, path, flags).ok());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    };
    QByteArray negativeRows = saved(Table({{"11:00:00", "01.03.2018", "n"}}), kOne);
    negativeRows[9] = '\xFF';
    struct Case {
        const char *name;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"a zero byte in a cell", saved(zero, kOne)},
        {"many rows, a long cell, two channels", saved(big, kBoth)},
        {"channel 2 alone", saved(Table({{"11:00:00", "01.03.2018", "2"}}), {false, true})},
        {"header row only", saved(Table({}), kOne)},
        {"no rows", saved(rowless, kOne)},
        {"truncated", saved(Table({{"11:00:00", "01.03.2018", "t"}}), kOne).chopped(3)},
        {"negative row count", negativeRows},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString input = dir.filePath(QStringLiteral("in.vd"));
        const QString out = dir.filePath(QStringLiteral("out.vd"));
        const QString expected = dir.filePath(QStringLiteral("expected.vd"));
        QFile::remove(out);
        QFile file(input);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.bytes);
        file.close();

        const MergeResult merged = MergeProjectFiles({input, other}, out, kRu);
        ArchiveTable a;
        ArchiveTable b;
        const auto loaded = ReadProject(a, input);
        ASSERT_TRUE(ReadProject(b, other).ok());
        if (!loaded.ok()) {
            ASSERT_FALSE(merged.ok());
            EXPECT_EQ(merged.error().message, Pick(TxtMergeLoadFailed).arg("in.vd", loaded.error().message));
            EXPECT_FALSE(QFile::exists(out));
            continue;
        }
        ArchiveTable table;
        const MergeResult reference = MergeTables(
            {{QStringLiteral("in.vd"), &a, loaded.value().flags}, {QStringLiteral("other.vd"), &b, kOne}},
            kRu, &table);
        ASSERT_EQ(merged.ok(), reference.ok());
        if (!merged.ok()) {
            EXPECT_EQ(merged.error().message, reference.error().message);
            continue;
        }
        EXPECT_EQ(merged.summary().duplicates, reference.summary().duplicates);
        EXPECT_EQ(merged.summary().inputRows, reference.summary().inputRows);
        ASSERT_TRUE(SaveProject(table, expected, reference.summary().flags).ok());
        QFile written(out);
        QFile wanted(expected);
        ASSERT_TRUE(written.open(QIODevice::ReadOnly) && wanted.open(QIODevice::ReadOnly));
        EXPECT_TRUE(written.readAll() == wanted.readAll());
    }
}

// A merge result carries the channels of all its inputs and the archive format of the first.
TEST(MergeTablesTest, TheResultCarriesEveryInputsChannelsAndTheFirstInputsFormat) {
    struct Case {
        const char *name;
        std::uint8_t formatA;
        std::uint8_t formatB;
        ChannelFlags channelsA;
        ChannelFlags channelsB;
        ChannelFlags expected;
    };
    const Case cases[] = {
        {"format 2 first, channels of both", 2, 0, kOne, {false, true}, kBoth},
        {"format 0 first, channel 2 alone", 0, 2, {false, true}, {false, true}, {false, true}},
        {"format 1, channel 1 alone", 1, 1, kOne, kOne, kOne},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ArchiveTable a = Table({{"10:00:00", "01.03.2018", "1"}});
        a.setArchiveFormat(c.formatA);
        a.setChannels(c.channelsA);
        ArchiveTable b = Table({{"11:00:00", "01.03.2018", "2"}});
        b.setArchiveFormat(c.formatB);
        b.setChannels(c.channelsB);
        const ArchiveTable out = Merge({{&a, a.channels()}, {&b, b.channels()}});
        EXPECT_EQ(out.archiveFormat(), c.formatA);
        EXPECT_EQ(out.channels(), c.expected);
    }
}

// Appending a file to the main window's table: the table keeps its format and takes the merged channels;
// an empty table takes the file's rows and, as a loaded file, no format of its own (the one in force
// applies). The process-wide flags follow as before.
TEST(AppendProjectTest, TheTableTakesTheMergedChannelsAndItsFormat) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("more.vd"));
    ASSERT_TRUE(SaveProject(Table({{"11:00:00", "01.03.2018", "2"}}), file, {false, true}).ok());
    struct Case {
        const char *name;
        bool emptyTable;
        std::uint8_t tableFormat;
        std::uint8_t programFormat; // ArchiveFormat when the file is read
        std::optional<std::uint8_t> expectedFormat;
        ChannelFlags expected;
    };
    const Case cases[] = {
        {"rows of a format-2 download", false, 2, 0, 2, kBoth},
        {"an empty table", true, 2, 1, std::nullopt, {false, true}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ArchiveFormat = c.programFormat;
        ArchiveTable table = c.emptyTable ? Table(std::vector<std::vector<QString>>{})
                                          : Table({{"10:00:00", "01.03.2018", "1"}});
        table.setArchiveFormat(c.tableFormat);
        table.setChannels(c.emptyTable ? ChannelFlags{} : kOne);
        Channel1Present = table.channels().channel1;
        Channel2Present = table.channels().channel2;
        const MergeResult result = AppendProject(&table, table.channels(), file, kRu);
        ASSERT_TRUE(result.ok()) << result.error().message.toStdString();
        EXPECT_EQ(table.archiveFormat(), c.expectedFormat);
        EXPECT_EQ(table.channels(), c.expected);
        EXPECT_EQ((ChannelFlags{Channel1Present.load(), Channel2Present.load()}), c.expected);
    }
    ArchiveFormat = 0;
    Channel1Present = false;
    Channel2Present = false;
}

} // namespace
