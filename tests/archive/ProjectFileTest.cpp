// Project files: a fixture built from the layout, round trips, and malformed files refused untouched.
#include "archive/ProjectFile.h"

#include "QtPrinters.h"
#include "base/ArchiveTable.h"
#include "base/SharedTexts.h"
#include "device/Exchange.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

using namespace velda;

namespace {

struct FileBytes {
    std::string bytes;
    FileBytes &u8(std::uint8_t v) {
        bytes.push_back(static_cast<char>(v));
        return *this;
    }
    FileBytes &i32(std::int32_t v) {
        const auto u = static_cast<std::uint32_t>(v);
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
        return *this;
    }
    FileBytes &cell(std::string_view text) {
        i32(static_cast<std::int32_t>(text.size()));
        bytes.append(text);
        return *this;
    }
};

// A table of 10 columns and 3 rows as the main window shows it after reading two records, Russian
// headers; cell texts as Windows-1251 bytes.
const char *const kFixtureCells[10][3] = {
    {"\xB9", "1", "2"},                               // "№"
    {"\xC2\xF0\xE5\xEC\xFF", "12:00:01", "12:00:31"}, // "Время"
    {"\xC4\xE0\xF2\xE0", "01.03.2018", "01.03.2018"}, // "Дата"
    {"\xD0\xE5\xE6\xE8\xEC", "\xCF\xEE \xF1\xE5\xF0\xE8\xFF\xEC",
     "\xCD\xE5\xEF\xF0\xE5\xF0\xFB\xE2\xED\xFB\xE9"},
    {"\xCD\xEE\xEC\xE5\xF0", "3 | 10", ""},                         // "Номер"
    {"\xD1\xE5\xF0\xE8\xFF", "12", ""},                             // "Серия"
    {"\xC4\xE0\xF2\xF7\xE8\xEA", "MK SHT       ", "MK SHT       "}, // "Датчик"
    {"T, \xB0"
     "C",
     "21,50", "-5,00"}, // "T, °C"
    {"H, %", "40,00", ""},
    {"\xD2\xEE\xF7\xEA\xE0 \xF0\xEE\xF1\xFB, \xB0"
     "C",
     "7,49", ""}, // "Точка росы, °C"
};

std::string FixtureBytes() {
    FileBytes f;
    f.u8(1).u8(0).i32(10).i32(3);
    for (const auto &column : kFixtureCells)
        for (const char *text : column)
            f.cell(text);
    return f.bytes;
}

std::string ReadAll(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray data = file.readAll();
    return std::string(data.constData(), static_cast<std::size_t>(data.size()));
}

void WriteAll(const QString &path, std::string_view bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes.data(), static_cast<qint64>(bytes.size())), static_cast<qint64>(bytes.size()));
}

bool SameTable(const ArchiveTable &a, const ArchiveTable &b) {
    if (a.colCount() != b.colCount() || a.rowCount() != b.rowCount()) return false;
    const int rows = std::max(a.storedRowCount(), b.storedRowCount());
    for (int row = 0; row < rows; ++row)
        for (int col = 0; col < std::max(a.colCount(), 32); ++col)
            if (a.cellBytes(col, row) != b.cellBytes(col, row)) return false;
    return true;
}

class ProjectFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        Channel1Present = false;
        Channel2Present = false;
    }
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
};

} // namespace

TEST_F(ProjectFileTest, HandBuiltFileOpensAndSavesBackByteForByte) {
    const std::string fixture = FixtureBytes();
    std::size_t textBytes = 0;
    for (const auto &column : kFixtureCells)
        for (const char *text : column)
            textBytes += std::strlen(text);
    ASSERT_EQ(fixture.size(), 10 + 4 * 30 + textBytes);
    WriteAll(path("Arhive.vd"), fixture);

    ArchiveTable table;
    table.setColCount(14);
    for (int row = 0; row < 40; ++row)
        for (int col = 0; col < 14; ++col)
            table.setCell(col, row, QStringLiteral("earlier archive"));
    const auto loaded = LoadProject(table, path("Arhive.vd"));
    ASSERT_TRUE(loaded) << loaded.error().message.toStdString();
    EXPECT_EQ(loaded.value().flags, (ChannelFlags{true, false}));
    EXPECT_EQ(loaded.value().colCount, 10);
    EXPECT_EQ(loaded.value().rowCount, 3);
    EXPECT_EQ(loaded.value().recordCount, 2u);
    EXPECT_TRUE(Channel1Present.load());
    EXPECT_FALSE(Channel2Present.load());
    EXPECT_EQ(table.colCount(), 10);
    EXPECT_EQ(table.rowCount(), 3);
    EXPECT_EQ(table.cell(0, 0), QStringLiteral("№"));
    EXPECT_EQ(table.cell(1, 0), QStringLiteral("Время"));
    EXPECT_EQ(table.cell(3, 1), QStringLiteral("По сериям"));
    EXPECT_EQ(table.cell(3, 2), QStringLiteral("Непрерывный"));
    EXPECT_EQ(table.cell(9, 0), QStringLiteral("Точка росы, °C"));
    EXPECT_EQ(table.cell(7, 2), QStringLiteral("-5,00"));
    // Nothing of the earlier archive shows through, neither in hidden columns nor in hidden rows.
    EXPECT_EQ(table.cell(12, 1), QString());
    EXPECT_EQ(table.cell(0, 30), QString());
    EXPECT_EQ(table.cell(4, 2), QString());

    const auto saved = SaveProject(table, path("again.vd"), table.channels());
    ASSERT_TRUE(saved) << saved.error().message.toStdString();
    EXPECT_EQ(saved.value(), static_cast<qint64>(fixture.size()));
    EXPECT_EQ(ReadAll(path("again.vd")), fixture);
}

TEST_F(ProjectFileTest, SavedTableOpensToTheSameCells) {
    ArchiveTable table;
    table.setColCount(14);
    table.setRowCount(4);
    for (int col = 0; col < 14; ++col)
        table.setCell(col, 0, PickIn(kHeaderTexts[col], 0));
    table.setCell(0, 1, u"1");
    table.setCell(13, 3, u"760,25");
    table.setCell(6, 2, u"Тепл. поток  ");
    table.setCell(0, 9, u"outside the shown size: not stored");
    ASSERT_TRUE(SaveProject(table, path("a.vd"), ChannelFlags{true, true}));
    // Layout: flags, counts, then column 0 from row 0 down.
    const std::string bytes = ReadAll(path("a.vd"));
    ASSERT_GE(bytes.size(), 19u);
    EXPECT_EQ(bytes.substr(0, 10), std::string("\x01\x01\x0E\x00\x00\x00\x04\x00\x00\x00", 10));
    EXPECT_EQ(bytes.substr(10, 9), std::string("\x01\x00\x00\x00\xB9\x01\x00\x00\x00", 9));

    ArchiveTable back;
    const auto loaded = ReadProject(back, path("a.vd"));
    ASSERT_TRUE(loaded) << loaded.error().message.toStdString();
    EXPECT_EQ(loaded.value().flags, (ChannelFlags{true, true}));
    table.setCell(0, 9, u"");
    EXPECT_TRUE(SameTable(table, back));
    ASSERT_TRUE(SaveProject(back, path("b.vd"), loaded.value().flags));
    EXPECT_EQ(ReadAll(path("b.vd")), bytes);
}

TEST_F(ProjectFileTest, WideTablesAndLargeCellsRoundTrip) {
    struct Case {
        const char *name;
        int cols, rows;
        std::size_t bigCell;
    } cases[] = {{"14 columns, cells across buffer ends", 14, 3000, 0},
                 {"more columns than cursors", 70, 5, 0},
                 {"one cell larger than every buffer", 14, 4, 300000}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ArchiveTable table;
        table.setColCount(c.cols);
        table.setRowCount(c.rows);
        for (int col = 0; col < c.cols; ++col)
            for (int row = 0; row < c.rows; row += 1 + col % 3)
                table.setCell(col, row,
                              QStringLiteral("%1:%2 %3").arg(col).arg(row).arg(QString(row % 17, u'ж')));
        if (c.bigCell) table.setCellBytes(2, 1, std::string(c.bigCell, 'x'));
        ASSERT_TRUE(SaveProject(table, path("wide.vd"), ChannelFlags{false, true}));
        ArchiveTable back;
        const auto loaded = ReadProject(back, path("wide.vd"));
        ASSERT_TRUE(loaded) << loaded.error().message.toStdString();
        EXPECT_TRUE(SameTable(table, back));
        EXPECT_EQ(back.cellBytes(2, 1).size(), c.bigCell ? c.bigCell : table.cellBytes(2, 1).size());
    }
}

TEST_F(ProjectFileTest, ZeroByteEndsACellAndTrailingBytesAreIgnored) {
    FileBytes f;
    f.u8(7).u8(0).i32(1).i32(2).cell(std::string_view("ab\0cd", 5)).cell("xyz");
    f.bytes += "trailing garbage";
    WriteAll(path("z.vd"), f.bytes);
    ArchiveTable table;
    const auto loaded = LoadProject(table, path("z.vd"));
    ASSERT_TRUE(loaded) << loaded.error().message.toStdString();
    EXPECT_EQ(loaded.value().flags, (ChannelFlags{true, false}));
    EXPECT_EQ(table.cell(0, 0), QStringLiteral("ab"));
    EXPECT_EQ(table.cell(0, 1), QStringLiteral("xyz"));
    EXPECT_EQ(table.colCount(), 1);
}

TEST_F(ProjectFileTest, TableWithoutCellsOpens) {
    WriteAll(path("empty.vd"), FileBytes().u8(0).u8(1).i32(10).i32(0).bytes);
    ArchiveTable table;
    table.setCell(0, 1, u"1");
    const auto loaded = LoadProject(table, path("empty.vd"));
    ASSERT_TRUE(loaded) << loaded.error().message.toStdString();
    EXPECT_EQ(loaded.value().recordCount, 0u);
    EXPECT_EQ(table.rowCount(), 0);
    EXPECT_TRUE(TableIsEmpty(table));
    EXPECT_TRUE(Channel2Present.load());
}

TEST_F(ProjectFileTest, MalformedFilesLeaveEverythingUnchanged) {
    using Kind = ProjectError::Kind;
    LanguageIndex = 1;
    struct Case {
        const char *name;
        std::string bytes;
        Kind kind;
        const char *message; // expected message, or null
    };
    const std::string header = FileBytes().u8(1).u8(1).i32(1).i32(2).bytes;
    const Case cases[] = {
        {"empty", "", Kind::Truncated,
         "a.vd: the file holds 0 bytes, a project file has at least 10 (offset 0)"},
        {"inside the header", header.substr(0, 9), Kind::Truncated, nullptr},
        {"negative columns", FileBytes().u8(1).u8(1).i32(-1).i32(2).bytes, Kind::NegativeCount,
         "a.vd: the column count -1 is negative (offset 2)"},
        {"negative rows", FileBytes().u8(1).u8(1).i32(14).i32(-5).bytes, Kind::NegativeCount, nullptr},
        {"more cells than bytes", FileBytes().u8(1).u8(1).i32(14).i32(1000000).cell("x").bytes,
         Kind::CountTooLarge,
         "a.vd: 14 columns of 1000000 rows claim more cells than the 5 bytes after the header can hold (each "
         "cell "
         "takes at least 4) (offset 2)"},
        {"counts whose product overflows", FileBytes().u8(1).u8(1).i32(0x7FFFFFFF).i32(0x7FFFFFFF).bytes,
         Kind::CountTooLarge, nullptr},
        {"no columns but countless rows", FileBytes().u8(0).u8(0).i32(0).i32(0x7FFFFFFF).bytes,
         Kind::CountTooLarge, nullptr},
        {"countless columns but no rows", FileBytes().u8(0).u8(0).i32(0x7FFFFFFF).i32(0).bytes,
         Kind::CountTooLarge, nullptr},
        // Its own save would hold the header alone, which could not be opened again.
        {"no columns, more rows than the widest table, padded",
         FileBytes().u8(0).u8(0).i32(0).i32(16).bytes + std::string(120, '\0'), Kind::CountTooLarge,
         "a.vd: 0 columns of 16 rows: a table without cells has at most 14 of either (offset 2)"},
        {"overlong cell", FileBytes(header).i32(4096).bytes + std::string(12, 'x'), Kind::CellTooLong,
         "a.vd: cell 0 of column 0 claims 4096 bytes, 12 remain (offset 10)"},
        {"negative length", FileBytes(header).cell("ab").i32(-2).bytes + std::string(4, 'x'),
         Kind::NegativeLength, "a.vd: cell 1 of column 0 claims -2 bytes (offset 16)"},
        {"ends inside a length", FileBytes(header).cell("abcdef").bytes + std::string(2, '\0'),
         Kind::Truncated, "a.vd: the file ends inside the length of cell 1 of column 0 (offset 20)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        WriteAll(path("a.vd"), c.bytes);
        ArchiveTable table;
        table.setColCount(14);
        table.setRowCount(3);
        table.setCell(0, 0, u"№");
        table.setCell(0, 1, u"1");
        table.setCell(12, 2, u"12,50");
        const ArchiveTable before = table;
        Channel1Present = true;
        Channel2Present = false;
        const auto loaded = LoadProject(table, path("a.vd"));
        ASSERT_FALSE(loaded);
        EXPECT_EQ(loaded.error().kind, c.kind);
        EXPECT_TRUE(loaded.error().message.startsWith(QStringLiteral("a.vd: ")))
            << loaded.error().message.toStdString();
        if (c.message) {
            EXPECT_EQ(loaded.error().message, QString::fromUtf8(c.message));
        }
        EXPECT_TRUE(SameTable(table, before));
        EXPECT_TRUE(Channel1Present.load());
        EXPECT_FALSE(Channel2Present.load());
    }
    ArchiveTable table;
    const auto missing = LoadProject(table, path("no such file.vd"));
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().kind, Kind::OpenFailed);
    EXPECT_TRUE(missing.error().message.startsWith(QStringLiteral("no such file.vd: ")));
    LanguageIndex = 0;
}

TEST_F(ProjectFileTest, FailedSaveIsReportedAndKeepsTheOldFile) {
    ArchiveTable table;
    table.setCell(0, 1, u"1");
    const auto noDir = SaveProject(table, path("missing/dir/a.vd"), {});
    ASSERT_FALSE(noDir);
    EXPECT_EQ(noDir.error().kind, ProjectError::Kind::OpenFailed);
    EXPECT_TRUE(noDir.error().message.startsWith(QStringLiteral("a.vd: ")));

    // A folder in the way of the new file: the save fails at the last step and the folder stays.
    const QString blocked = path("blocked.vd");
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("blocked.vd")));
    WriteAll(blocked + QStringLiteral("/keep"), "old content");
    const auto result = SaveProject(table, blocked, {});
    ASSERT_FALSE(result);
    EXPECT_EQ(ReadAll(blocked + QStringLiteral("/keep")), "old content");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 0) << "no temporary file left behind";
}

TEST_F(ProjectFileTest, ZeroByteAnywhereEndsTheText) {
    // Short texts are tested a word at a time, long ones and those at the very end of the file byte by
    // byte: every length up to past a word, with the zero at every place or nowhere.
    for (std::size_t length = 1; length <= 20; ++length) {
        for (std::size_t zeroAt = 0; zeroAt <= length; ++zeroAt) {
            SCOPED_TRACE(testing::Message() << "length " << length << ", zero at " << zeroAt);
            std::string text(length, '\x01');
            for (std::size_t i = 0; i < length; ++i)
                text[i] = static_cast<char>(i % 2 ? '\xFF' : 'a' + i);
            if (zeroAt < length) text[zeroAt] = '\0';
            const std::string expected = text.substr(0, zeroAt);
            for (const bool last : {false, true}) {
                FileBytes f;
                f.u8(0).u8(0).i32(1).i32(2);
                if (last) f.cell("\x80").cell(text);
                if (!last) f.cell(text).cell("\x80");
                WriteAll(path("z.vd"), f.bytes);
                ArchiveTable table;
                const auto loaded = ReadProject(table, path("z.vd"));
                ASSERT_TRUE(loaded) << loaded.error().message.toStdString();
                EXPECT_EQ(table.cellBytes(0, last ? 1 : 0), expected);
                EXPECT_EQ(table.cellBytes(0, last ? 0 : 1), "\x80");
            }
        }
    }
}

TEST_F(ProjectFileTest, EditsOfAnOpenedTableSaveAsTheirCells) {
    WriteAll(path("Arhive.vd"), FixtureBytes());
    ArchiveTable table;
    ASSERT_TRUE(ReadProject(table, path("Arhive.vd")));
    table.setCellBytes(7, 1, "1234567,89");          // longer than the text it replaces
    table.setCellBytes(1, 2, "1");                   // shorter
    table.setCellBytes(3, 1, {});                    // emptied
    table.setCellBytes(5, 2, table.cellBytes(6, 1)); // copied from a cell of the file
    table.moveRow(2, 1);
    table.setCellBytes(12, 2, "hidden");
    ASSERT_TRUE(SaveProject(table, path("edited.vd"), ChannelFlags{true, false}));

    FileBytes expected;
    expected.u8(1).u8(0).i32(10).i32(3);
    for (int col = 0; col < 10; ++col) {
        for (int row = 0; row < 3; ++row) {
            const int fixtureRow = row == 0 ? 0 : 3 - row;
            std::string text = kFixtureCells[col][fixtureRow];
            if (col == 7 && fixtureRow == 1) text = "1234567,89";
            if (col == 1 && fixtureRow == 2) text = "1";
            if (col == 3 && fixtureRow == 1) text.clear();
            if (col == 5 && fixtureRow == 2) text = kFixtureCells[6][1];
            expected.cell(text);
        }
    }
    EXPECT_EQ(ReadAll(path("edited.vd")), expected.bytes);
    EXPECT_EQ(table.cellBytes(12, 2), "hidden");
}

// A loaded table carries the file's channel flags and, as a file keeps no format, the format the program
// works in when it is loaded; a refused file leaves the table's own as they were.
TEST_F(ProjectFileTest, ALoadedTableCarriesTheFilesFlagsAndTakesTheFormatInForce) {
    struct Case {
        const char *name;
        std::uint8_t flag1;
        std::uint8_t flag2;
        std::uint8_t programFormat;
        bool load; // LoadProject, else ReadProject
        ChannelFlags expected;
    };
    const Case cases[] = {
        {"channel 1, format 0, opened", 1, 0, 0, true, {true, false}},
        {"channel 2, format 2, read", 0, 1, 2, false, {false, true}},
        {"any byte but 0 counts as set, format 1", 7, 1, 1, true, {true, true}},
        {"neither", 0, 0, 2, false, {false, false}},
    };
    WriteAll(path("refused.vd"), FileBytes().u8(1).u8(1).i32(1).bytes);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        WriteAll(path("a.vd"),
                 FileBytes().u8(c.flag1).u8(c.flag2).i32(1).i32(2).cell("\xB9").cell("1").bytes);
        ArchiveFormat = c.programFormat;
        ArchiveTable table;
        table.setArchiveFormat(static_cast<std::uint8_t>((c.programFormat + 1) % 3));
        table.setChannels({!c.expected.channel1, !c.expected.channel2});
        const auto loaded = c.load ? LoadProject(table, path("a.vd")) : ReadProject(table, path("a.vd"));
        ASSERT_TRUE(loaded) << loaded.error().message.toStdString();
        EXPECT_EQ(table.channels(), c.expected);
        // The file stores no format: the one in force names the probes, also when it changes later.
        EXPECT_EQ(table.archiveFormat(), std::nullopt);
        EXPECT_EQ(table.archiveFormatOr(ArchiveFormat.load()), c.programFormat);

        ArchiveFormat = static_cast<std::uint8_t>((c.programFormat + 2) % 3);
        EXPECT_FALSE(c.load ? LoadProject(table, path("refused.vd"))
                            : ReadProject(table, path("refused.vd")));
        EXPECT_EQ(table.channels(), c.expected);
        EXPECT_EQ(table.archiveFormat(), std::nullopt);
        EXPECT_EQ(table.archiveFormatOr(ArchiveFormat.load()), (c.programFormat + 2) % 3);
    }
    ArchiveFormat = 0;
}
