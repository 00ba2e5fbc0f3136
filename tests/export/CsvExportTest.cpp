// CSV files written by the export and read back with Python's csv module, compared with the table.
#include "export/CsvExport.h"

#include "QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace velda::csv {
namespace {

struct ReadBack {
    bool bom = false;
    bool exact = false; ///< rewriting the parsed rows with minimal quoting and CR LF gives the same text
    std::vector<QStringList> rows;
};

ReadBack ReadCsv(const QString &path, const QString &delimiter) {
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(VELDA_EXPORT_TEST_DIR "/read_csv.py"), path, delimiter});
    EXPECT_TRUE(python.waitForFinished(120000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    const QJsonObject o = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    ReadBack back;
    back.bom = o.value(QStringLiteral("bom")).toBool();
    back.exact = o.value(QStringLiteral("exact")).toBool();
    for (const QJsonValue &row : o.value(QStringLiteral("rows")).toArray()) {
        QStringList cells;
        for (const QJsonValue &cell : row.toArray())
            cells << cell.toString();
        back.rows.push_back(cells);
    }
    return back;
}

// A 14-column table with Russian headers and cells that need quoting under one delimiter or another.
ArchiveTable TrickyTable(const SystemFormats &formats) {
    ArchiveTable table;
    table.setColCount(14);
    table.setRowCount(6);
    const QStringList headers = {
        QStringLiteral("№"),        QStringLiteral("Время"),   QStringLiteral("Дата"),
        QStringLiteral("Режим"),    QStringLiteral("Номер"),   QStringLiteral("Серия"),
        QStringLiteral("Датчик"),   QStringLiteral("T, °C"),   QStringLiteral("H, %"),
        QStringLiteral("Q, Вт/m2"), QStringLiteral("Датчик"),  QStringLiteral("T, °C"),
        QStringLiteral("H, %"),     QStringLiteral("Q, Вт/m2")};
    for (int c = 0; c < 14; ++c)
        table.setCell(c, 0, headers.at(c));
    const QString date = FormatDateCell(QDate(2018, 3, 1), formats);
    for (int r = 1; r < 6; ++r) {
        table.setCell(0, r, QString::number(r));
        table.setCell(1, r, QStringLiteral("12:00:0%1").arg(r));
        table.setCell(2, r, date);
        table.setCell(3, r, QStringLiteral("По сериям"));
        table.setCell(4, r, QStringLiteral("3 | 10"));
        table.setCell(6, r, QStringLiteral("MK SHT       "));
        table.setCell(7, r, CellFormat(21.5 + r, formats.decimalSeparator));
        table.setCell(8, r, CellFormat(-5.25, formats.decimalSeparator));
    }
    table.setCell(5, 1, QStringLiteral("a;b"));
    table.setCell(5, 2, QStringLiteral("say \"hi\""));
    table.setCell(5, 3, QStringLiteral("two\nlines"));
    table.setCell(5, 4, QStringLiteral("cr\r\nlf"));
    table.setCell(5, 5, QStringLiteral("tab\there, comma"));
    table.setCell(10, 5, QStringLiteral("NAN"));
    return table;
}

struct LocaleCase {
    const char *name;
    const char *locale;
    const char *delimiterArg;      ///< what read_csv.py is told
    std::optional<char> delimiter; ///< nullopt: the locale's default
    char expectedDelimiter;
};

class CsvLocaleTest : public ::testing::TestWithParam<LocaleCase> {};

TEST_P(CsvLocaleTest, ReadsBackAsTheTableWithBomAndCrLf) {
    const LocaleCase &c = GetParam();
    const SystemFormats formats = SystemFormats::FromLocale(QLocale(QString::fromLatin1(c.locale)));
    const ArchiveTable table = TrickyTable(formats);
    CsvOptions options;
    options.delimiter = c.delimiter.value_or(DefaultDelimiter(formats.decimalSeparator));
    ASSERT_EQ(options.delimiter, c.expectedDelimiter);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Arhive.csv"));
    const ExportResult result = ExportToCsv(table, path, options, formats);
    ASSERT_TRUE(result.ok()) << result.error().message.toStdString();
    EXPECT_EQ(result.summary().rowCount, 6);

    const ReadBack back = ReadCsv(path, QString::fromLatin1(c.delimiterArg));
    EXPECT_TRUE(back.bom);
    EXPECT_TRUE(back.exact) << "quoting or line ends differ from minimal quoting with CR LF";
    ASSERT_EQ(back.rows.size(), 6U);
    for (int r = 0; r < 6; ++r) {
        SCOPED_TRACE(r);
        ASSERT_EQ(back.rows[static_cast<std::size_t>(r)].size(), 14);
        for (int col = 0; col < 14; ++col)
            EXPECT_EQ(back.rows[static_cast<std::size_t>(r)].at(col), table.cell(col, r)) << "column " << col;
    }
    // Only the cells that hold the delimiter, a quote or a line break are quoted.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(bytes.count('"') % 2, 0);
    EXPECT_FALSE(bytes.contains("\"12:00:01\""));
    EXPECT_TRUE(bytes.endsWith("\r\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Locales, CsvLocaleTest,
    ::testing::Values(LocaleCase{"russian_comma_decimal", "ru_RU", ";", std::nullopt, ';'},
                      LocaleCase{"german_comma_decimal", "de_DE", ";", std::nullopt, ';'},
                      LocaleCase{"english_point_decimal", "en_US", ",", std::nullopt, ','},
                      LocaleCase{"tab_chosen", "ru_RU", "tab", '\t', '\t'},
                      LocaleCase{"comma_chosen_under_comma_decimal", "ru_RU", ",", ',', ','}),
    [](const auto &param) { return std::string(param.param.name); });

TEST(CsvExportTest, IsoDateRewritesTheDateCellsOfDataRowsAndRefusesAnUnreadableOne) {
    const SystemFormats formats = SystemFormats::FromLocale(QLocale(QStringLiteral("en_US")));
    ArchiveTable table = TrickyTable(formats);
    table.setCell(2, 3, QStringLiteral("not a date"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("iso.csv"));
    CsvOptions options;
    options.isoDate = true;
    const ExportResult refused = ExportToCsv(table, path, options, formats);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().kind, ExportError::Kind::DateNotRead);
    EXPECT_FALSE(QFile::exists(path));

    table.setCell(2, 3, QStringLiteral("NAN"));
    ASSERT_TRUE(ExportToCsv(table, path, options, formats).ok());
    const ReadBack back = ReadCsv(path, QStringLiteral(","));
    ASSERT_EQ(back.rows.size(), 6U);
    EXPECT_EQ(back.rows[0].at(2), QStringLiteral("Дата"));
    EXPECT_EQ(back.rows[1].at(2), QStringLiteral("2018-03-01"));
    EXPECT_EQ(back.rows[3].at(2), QStringLiteral("NAN"));
    EXPECT_EQ(back.rows[5].at(2), QStringLiteral("2018-03-01"));
    EXPECT_EQ(back.rows[1].at(1), QStringLiteral("12:00:01")) << "times stay as in the table";

    options.isoDate = false;
    std::string line;
    AppendCsvRow(line, table, 1, options, formats);
    EXPECT_NE(line.find("3/1/2018"), std::string::npos) << line;
}

TEST(CsvExportTest, WritesTheSameColumnsAsTheWorkbook) {
    ArchiveTable table;
    table.setColCount(10);
    table.setRowCount(2);
    table.setCell(0, 1, QStringLiteral("1"));
    table.setCell(9, 1, QStringLiteral("last"));
    table.setCell(12, 1, QStringLiteral("hidden")); // stored beyond the shown columns
    std::string line;
    AppendCsvRow(line, table, 1, CsvOptions{}, SystemFormats{});
    EXPECT_EQ(line, "1,,,,,,,,,last\r\n");
    EXPECT_EQ(xlsx::ExportedColumnCount(table), 10);
}

// True when `cell`, blanks around it aside, is a number with '.' or ',' as its decimal separator.
bool IsNumber(QString cell) {
    while (!cell.isEmpty() && (cell.front() <= u' ' || cell.front() == u'\u00A0'))
        cell.remove(0, 1);
    while (!cell.isEmpty() && (cell.back() <= u' ' || cell.back() == u'\u00A0'))
        cell.chop(1);
    static const QRegularExpression number(
        QStringLiteral(R"(^[+-]?(?=[.,]?\d)(\d*\.?\d*|\d*,?\d*)([eE][+-]?\d+)?$)"));
    return number.match(cell).hasMatch();
}

// The file the rules describe, built the plain way from each cell's text: UTF-8 with a BOM, CR LF, a
// text beginning with = + - @ (no number) after a ', a field quoted (quotes doubled) only when it holds
// the delimiter, a quote, CR or LF.
QByteArray ReferenceCsv(const ArchiveTable &table, const CsvOptions &options, const SystemFormats &formats) {
    QString text = QStringLiteral("\uFEFF");
    const QChar delimiter = QLatin1Char(options.delimiter);
    for (int r = 0; r < table.rowCount(); ++r) {
        for (int c = 0; c < xlsx::ExportedColumnCount(table); ++c) {
            if (c > 0) text += delimiter;
            QString cell = table.cell(c, r);
            if (options.isoDate && c == 2 && r > 0 && !cell.isEmpty()) {
                if (const auto date = ParseDateCell(cell, formats))
                    cell = date->toString(QStringLiteral("yyyy-MM-dd"));
            }
            if (!cell.isEmpty() && QStringLiteral("=+-@").contains(cell.front()) && !IsNumber(cell))
                cell.prepend(QLatin1Char('\''));
            if (cell.contains(delimiter) || cell.contains(QLatin1Char('"')) ||
                cell.contains(QLatin1Char('\r')) || cell.contains(QLatin1Char('\n'))) {
                cell.replace(QLatin1Char('"'), QStringLiteral("\"\""));
                cell = QLatin1Char('"') + cell + QLatin1Char('"');
            }
            text += cell;
        }
        text += QStringLiteral("\r\n");
    }
    return text.toUtf8();
}

// Cells of every length the writer treats apart (empty, 1-3, 4-7, 8-15, 16, longer than 16 bytes), of
// every Windows-1251 byte, with the characters that force quotes at the first, the last or any byte;
// cells repeated from the row above or changed in one byte; date cells; and one cell of 1.5 MB, longer
// than the write block. More than a megabyte of text, so the block is written out in the middle of rows.
ArchiveTable RandomTable(const SystemFormats &formats) {
    constexpr int kRows = 4000;
    ArchiveTable table;
    table.setColCount(14);
    table.setRowCount(kRows);
    std::mt19937 random(20260309);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const std::string specials = ";,\t\"\r\n";
    const int lengths[] = {0, 1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 32, 33, 64};
    const std::string date = FormatDateCell(QDate(2026, 3, 9), formats).toStdString();
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < 14; ++c) {
            const std::string above(r > 0 ? table.cellBytes(c, r - 1) : std::string_view());
            std::string cell;
            switch (pick(8)) {
            case 0:
                cell = above;
                break;
            case 1:
                cell = above;
                if (!cell.empty()) cell[static_cast<std::size_t>(pick(static_cast<int>(cell.size())))] ^= 1;
                break;
            case 2:
                cell = c == 2 ? date : "12,5";
                break;
            default: {
                const int length = lengths[pick(static_cast<int>(std::size(lengths)))];
                const int kind = pick(4); // ASCII, Cyrillic, any byte, ASCII with specials
                for (int i = 0; i < length; ++i) {
                    if (kind == 0)
                        cell += static_cast<char>(0x20 + pick(0x5F));
                    else if (kind == 1)
                        cell += static_cast<char>(pick(3) ? 0xC0 + pick(0x40) : 0x20 + pick(0x5F));
                    else if (kind == 2)
                        cell += static_cast<char>(1 + pick(0xFF));
                    else
                        cell += pick(6) ? static_cast<char>(0x30 + pick(0x40))
                                        : specials[static_cast<std::size_t>(pick(6))];
                }
                if (kind == 3 && length > 0 && pick(2))
                    cell[pick(2) ? 0 : cell.size() - 1] = specials[static_cast<std::size_t>(pick(6))];
            }
            }
            table.setCellBytes(c, r, cell);
        }
    }
    std::string huge(1'500'000, '\xEF');
    huge[700'000] = '"';
    table.setCellBytes(9, kRows / 2, huge);
    return table;
}

struct SameBytesCase {
    const char *name;
    char delimiter;
    bool isoDate;
};

class CsvSameBytesTest : public ::testing::TestWithParam<SameBytesCase> {};

TEST_P(CsvSameBytesTest, FileIsByteForByteWhatTheRulesGive) {
    const SystemFormats formats = SystemFormats::FromLocale(QLocale(QStringLiteral("ru_RU")));
    ArchiveTable table = RandomTable(formats);
    const CsvOptions options{GetParam().delimiter, GetParam().isoDate};
    // ISO dates refuse a date cell that does not read: those rows hold a date, "NAN" or nothing there.
    for (int r = 1; options.isoDate && r < table.rowCount(); ++r)
        if (!ParseDateCell(table.cell(2, r), formats) && table.cell(2, r) != QStringLiteral("NAN"))
            table.setCell(2, r, r % 3 == 0 ? QStringLiteral("NAN") : QString());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("same.csv"));
    ASSERT_TRUE(ExportToCsv(table, path, options, formats).ok());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    const QByteArray expected = ReferenceCsv(table, options, formats);
    ASSERT_GT(written.size(), 2'000'000);
    if (written != expected) {
        qsizetype at = 0;
        while (at < std::min(written.size(), expected.size()) && written[at] == expected[at])
            ++at;
        FAIL() << "first difference at byte " << at << ": written \""
               << written.mid(at - 20, 60).toStdString() << "\", expected \""
               << expected.mid(at - 20, 60).toStdString() << "\"";
    }
    // One row alone gives that row's line.
    const int lineStarts[] = {0, 1, 2, 1999};
    for (const int row : lineStarts) {
        std::string line;
        AppendCsvRow(line, table, row, options, formats);
        EXPECT_TRUE(written.contains(QByteArray::fromStdString("\n" + line)) ||
                    (row == 0 && written.startsWith("\xEF\xBB\xBF" + QByteArray::fromStdString(line))))
            << "row " << row;
    }
}

INSTANTIATE_TEST_SUITE_P(Delimiters, CsvSameBytesTest,
                         ::testing::Values(SameBytesCase{"semicolon", ';', false},
                                           SameBytesCase{"comma", ',', false},
                                           SameBytesCase{"tab", '\t', false},
                                           SameBytesCase{"semicolon_iso_date", ';', true}),
                         [](const auto &param) { return std::string(param.param.name); });

TEST(CsvExportTest, DelimiterNames) {
    EXPECT_EQ(ParseDelimiter(u";"), ';');
    EXPECT_EQ(ParseDelimiter(u","), ',');
    EXPECT_EQ(ParseDelimiter(u"tab"), '\t');
    EXPECT_EQ(ParseDelimiter(u"\t"), '\t');
    EXPECT_EQ(ParseDelimiter(u"|"), std::nullopt);
    EXPECT_EQ(ParseDelimiter(u""), std::nullopt);
    EXPECT_EQ(DefaultDelimiter(QLatin1Char(',')), ';');
    EXPECT_EQ(DefaultDelimiter(QLatin1Char('.')), ',');
}

TEST(CsvExportTest, FailureOrCancelLeavesTheOldFileAndNoTemporaryFile) {
    const SystemFormats formats = SystemFormats::FromLocale(QLocale(QStringLiteral("ru_RU")));
    ArchiveTable table;
    table.setColCount(10);
    table.setRowCount(3000);
    for (int r = 0; r < 3000; ++r)
        table.setCell(0, r, QString::number(r));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.csv"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old content");
    }
    int calls = 0;
    const ExportResult cancelled =
        ExportToCsv(table, path, CsvOptions{';', false}, formats, [&](int rows, int total) {
            EXPECT_EQ(total, 3000);
            ++calls;
            return rows < 1024;
        });
    ASSERT_FALSE(cancelled.ok());
    EXPECT_EQ(cancelled.error().kind, ExportError::Kind::Cancelled);
    EXPECT_GE(calls, 2);
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("old content"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("old.csv")});

    const ExportResult missing =
        ExportToCsv(table, dir.filePath(QStringLiteral("no/such/folder.csv")), CsvOptions{}, formats);
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().kind, ExportError::Kind::CannotCreate);
    const ExportResult folder = ExportToCsv(table, dir.path(), CsvOptions{}, formats);
    ASSERT_FALSE(folder.ok());
    EXPECT_EQ(folder.error().kind, ExportError::Kind::NoFileName);
}

} // namespace
} // namespace velda::csv
