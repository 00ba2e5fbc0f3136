// Workbooks written by the export and read back with openpyxl.
#include "export/SpreadsheetExport.h"

#include "QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace velda::xlsx {
namespace {

const QString kRussianPrefix = QStringLiteral("Архив измерений ");
const QString kEnglishPrefix = QStringLiteral("Archive of measurements ");

QJsonObject ReadWorkbook(const QString &path) {
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(VELDA_EXPORT_TEST_DIR "/read_workbook.py"), path});
    EXPECT_TRUE(python.waitForFinished(120000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

QJsonArray Sheets(const QJsonObject &book) {
    return book.value(QStringLiteral("sheets")).toArray();
}

// Cell texts of a sheet keyed by (row, col), 1-based as in the workbook.
std::map<std::pair<int, int>, QJsonObject> Cells(const QJsonObject &sheet) {
    std::map<std::pair<int, int>, QJsonObject> cells;
    for (const QJsonValue &v : sheet.value(QStringLiteral("cells")).toArray()) {
        const QJsonObject o = v.toObject();
        cells[{o.value(QStringLiteral("row")).toInt(), o.value(QStringLiteral("col")).toInt()}] = o;
    }
    return cells;
}

double Width(const QJsonObject &sheet, int col) {
    return sheet.value(QStringLiteral("widths")).toObject().value(QString::number(col)).toDouble();
}

ArchiveTable RecordTable(int records, int columns) {
    ArchiveTable table;
    table.setColCount(columns);
    table.setRowCount(records + 1);
    for (int c = 0; c < columns; ++c)
        table.setCell(c, 0, QStringLiteral("Заголовок %1").arg(c));
    for (int r = 1; r <= records; ++r) {
        for (int c = 0; c < columns; ++c)
            table.setCell(c, r, QStringLiteral("%1,%2").arg(r).arg(c));
    }
    return table;
}

class SpreadsheetExportTest : public ::testing::Test {
protected:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QStringList folderEntries() const {
        return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    QTemporaryDir m_dir;
};

TEST_F(SpreadsheetExportTest, HundredRowsInOneCentredFittedSheet) {
    ArchiveTable table = RecordTable(100, 10);
    table.setCell(6, 1, QStringLiteral("Термопара ХА, очень длинное имя датчика"));
    table.setCell(3, 2, QStringLiteral("  007 "));
    table.setCell(10, 1, QStringLiteral("hidden slot"));
    const ExportResult result =
        ExportToSpreadsheet(table, kRussianPrefix, path(QStringLiteral("Архив 1.xlsx")));
    ASSERT_TRUE(result.ok()) << result.error().message.toStdString();
    EXPECT_EQ(result.summary().sheetCount, 1);

    const QJsonArray sheets = Sheets(ReadWorkbook(path(QStringLiteral("Архив 1.xlsx"))));
    ASSERT_EQ(sheets.size(), 1);
    const QJsonObject sheet = sheets[0].toObject();
    EXPECT_EQ(sheet.value(QStringLiteral("name")).toString(), QStringLiteral("Архив измерений 1"));
    const auto cells = Cells(sheet);
    EXPECT_EQ(cells.size(), 101u * 10u);
    for (int r = 0; r <= 100; ++r) {
        for (int c = 0; c < 10; ++c) {
            SCOPED_TRACE(testing::Message() << "row " << r << " col " << c);
            const auto it = cells.find({r + 1, c + 1});
            ASSERT_NE(it, cells.end());
            EXPECT_EQ(it->second.value(QStringLiteral("value")).toString(), table.cell(c, r));
            EXPECT_EQ(it->second.value(QStringLiteral("type")).toString(), QStringLiteral("s"));
            EXPECT_EQ(it->second.value(QStringLiteral("align")).toString(), QStringLiteral("center"));
        }
    }
    EXPECT_FALSE(cells.count({2, 11})) << "columns beyond the shown ones are not exported";
    EXPECT_GT(Width(sheet, 7), Width(sheet, 8)) << "the long sensor name widens its column";
    EXPECT_GT(Width(sheet, 8), 0.0);
}

TEST_F(SpreadsheetExportTest, SecondSheetStartsWithRow65535InEnglish) {
    const ArchiveTable table = RecordTable(65536, 2); // rows 0 .. 65536
    const ExportResult result = ExportToSpreadsheet(table, kEnglishPrefix, path(QStringLiteral("b.xls")));
    ASSERT_TRUE(result.ok()) << result.error().message.toStdString();
    EXPECT_EQ(result.summary().sheetCount, 2);

    const QJsonArray sheets = Sheets(ReadWorkbook(path(QStringLiteral("b.xls"))));
    ASSERT_EQ(sheets.size(), 2);
    EXPECT_EQ(sheets[0].toObject().value(QStringLiteral("name")).toString(),
              QStringLiteral("Archive of measurements 1"));
    EXPECT_EQ(sheets[1].toObject().value(QStringLiteral("name")).toString(),
              QStringLiteral("Archive of measurements 2"));
    EXPECT_EQ(sheets[0].toObject().value(QStringLiteral("max_row")).toInt(), 65535);
    const auto second = Cells(sheets[1].toObject());
    ASSERT_EQ(second.size(), 4u);
    EXPECT_EQ(second.at({1, 1}).value(QStringLiteral("value")).toString(), QStringLiteral("65535,0"));
    EXPECT_EQ(second.at({2, 2}).value(QStringLiteral("value")).toString(), QStringLiteral("65536,1"));
}

TEST_F(SpreadsheetExportTest, ControlCharactersStillGiveAReadableWorkbook) {
    ArchiveTable table = RecordTable(2, 3);
    table.setCellBytes(1, 1,
                       std::string("a\x01"
                                   "b\0c",
                                   5));
    table.setCell(2, 2, QStringLiteral("<&> \"quoted\""));
    const ExportResult result = ExportToSpreadsheet(table, kEnglishPrefix, path(QStringLiteral("c.xlsx")));
    ASSERT_TRUE(result.ok()) << result.error().message.toStdString();
    const auto cells = Cells(Sheets(ReadWorkbook(path(QStringLiteral("c.xlsx"))))[0].toObject());
    EXPECT_EQ(cells.at({3, 3}).value(QStringLiteral("value")).toString(), QStringLiteral("<&> \"quoted\""));
    EXPECT_TRUE(cells.count({2, 2}));
}

TEST_F(SpreadsheetExportTest, ExistingFileReplacedOnlyByACompleteWorkbook) {
    const QString target = path(QStringLiteral("keep.xlsx"));
    const QByteArray old = "previous workbook";
    auto writeOld = [&] {
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(old);
    };
    auto readTarget = [&] {
        QFile f(target);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    };
    writeOld();

    ArchiveTable tooLong = RecordTable(3, 10);
    tooLong.setCell(4, 3, QString(kMaxCellLength + 1, QLatin1Char('x')));
    const ExportResult failed = ExportToSpreadsheet(tooLong, kEnglishPrefix, target);
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(failed.error().kind, ExportError::Kind::CellTooLong);
    EXPECT_TRUE(failed.error().message.contains(QStringLiteral("строки 3")))
        << failed.error().message.toStdString();
    EXPECT_EQ(readTarget(), old);

    const ArchiveTable table = RecordTable(2000, 10);
    int calls = 0;
    const ExportResult cancelled =
        ExportToSpreadsheet(table, kEnglishPrefix, target, [&](int written, int total) {
            EXPECT_EQ(total, 2001);
            ++calls;
            return written < 1000;
        });
    ASSERT_FALSE(cancelled.ok());
    EXPECT_EQ(cancelled.error().kind, ExportError::Kind::Cancelled);
    EXPECT_EQ(calls, 3); // at 0, 512 and 1024 rows
    EXPECT_EQ(readTarget(), old);
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("keep.xlsx")}) << "no partial files left behind";

    int lastWritten = -1;
    const ExportResult done = ExportToSpreadsheet(table, kEnglishPrefix, target, [&](int written, int) {
        EXPECT_GE(written, lastWritten);
        lastWritten = written;
        return true;
    });
    ASSERT_TRUE(done.ok()) << done.error().message.toStdString();
    EXPECT_EQ(lastWritten, 2001);
    EXPECT_TRUE(readTarget().startsWith("PK"));
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("keep.xlsx")});
}

TEST_F(SpreadsheetExportTest, NamesAtTheLengthLimitAndSymlinksAreWrittenThrough) {
    const ArchiveTable table = RecordTable(1, 10);
    const QString longName = path(QString(250, QLatin1Char('n')) + QStringLiteral(".xlsx"));
    const ExportResult result = ExportToSpreadsheet(table, kEnglishPrefix, longName);
    ASSERT_TRUE(result.ok()) << result.error().message.toStdString();
    EXPECT_TRUE(QFile::exists(longName));

    const QString real = path(QStringLiteral("real.xlsx"));
    const QString link = path(QStringLiteral("link.xlsx"));
    ASSERT_TRUE(QFile::link(real, link));
    ASSERT_TRUE(ExportToSpreadsheet(table, kEnglishPrefix, link).ok());
    EXPECT_TRUE(QFileInfo(link).isSymLink()) << "the link stays a link";
    EXPECT_TRUE(QFileInfo(real).isFile());
}

TEST_F(SpreadsheetExportTest, UnwritablePlacesGiveSpecificErrors) {
    const ArchiveTable table = RecordTable(1, 10);
    struct Case {
        const char *name;
        QString file;
        ExportError::Kind kind;
    };
    const Case cases[] = {
        {"empty name", QString(), ExportError::Kind::NoFileName},
        {"a folder", m_dir.path(), ExportError::Kind::NoFileName},
        {"missing folder", path(QStringLiteral("no/such/folder/a.xlsx")), ExportError::Kind::CannotCreate},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const ExportResult result = ExportToSpreadsheet(table, kEnglishPrefix, c.file);
        ASSERT_FALSE(result.ok());
        EXPECT_EQ(result.error().kind, c.kind);
        EXPECT_FALSE(result.error().message.isEmpty());
    }
}

} // namespace
} // namespace velda::xlsx
