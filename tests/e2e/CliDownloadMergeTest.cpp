// End-to-end: the built velda9-cli as a user meets it when a download goes wrong, when downloads with
// other channels or formats are merged, and when a project is exported the way the main window shows it.
#include "QtPrinters.h"
#include "archive/ProjectFile.h"
#include "base/TableHeader.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <bit>
#include <cstring>

namespace {

struct CliRun {
    int exitCode = -1;
    QString out, err;
};

CliRun Cli(const QStringList &args, const QString &scenario = {}) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!scenario.isEmpty()) env.insert(QStringLiteral("VELDA9_SIM_SCENARIO"), scenario);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VELDA_BIN_DIR "/velda9-cli"), args);
    if (!process.waitForFinished(120000)) return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// A format-2 record without checksum (0xAAAA): `channels` as the record byte, thermocouples reading
// 20 (channel 1) and 30 (channel 2) plus i/4, taken i quarter hours after 12:00 on `day`.`month`.2018.
QString Record(int i, int channels = 2, int day = 1, int month = 3) {
    QByteArray b(44, '\0');
    for (const auto &[at, value] :
         {std::pair{24, 20.0f + float(i) / 4}, std::pair{28, 30.0f + float(i) / 4}}) {
        const auto u = std::bit_cast<std::uint32_t>(value);
        std::memcpy(b.data() + at, &u, 4);
    }
    const char tail[] = {0, char(15 * i % 60), char(12 + 15 * i / 60), char(day), char(month), 18, 1, 1};
    std::memcpy(b.data() + 32, tail, sizeof tail);
    b[0] = char(channels), b[2] = char(0xFF), b[40] = b[41] = char(0xAA);
    return QStringLiteral("\"%1\"").arg(QString::fromLatin1(b.toHex()));
}

QStringList Records(int count, int channels = 2) {
    QStringList records;
    for (int i = 0; i < count; ++i)
        records << Record(i, channels);
    return records;
}

QByteArray Bytes(const QString &file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class CliDownloadMerge : public ::testing::Test {
protected:
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QString scenario(const QString &name, const QStringList &records, const QString &faults = {}) const {
        QFile file(path(name + QStringLiteral(".json")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral(R"({"firmware_date": "13.03.2018", "records_hex": [%1], "faults": {%2}})")
                       .arg(records.join(QLatin1Char(',')), faults)
                       .toUtf8());
        return file.fileName();
    }
    QString download(const QString &name, const QStringList &records, const char *locale = "ru_RU") const {
        const CliRun read = Cli({QStringLiteral("read"), QStringLiteral("--simulate"), QStringLiteral("-o"),
                                 path(name), QStringLiteral("--locale"), QLatin1String(locale)},
                                scenario(name, records));
        EXPECT_EQ(read.exitCode, 0) << read.err.toStdString();
        return path(name);
    }
    // A channel-1 project as a crafted or older file may hold it: series (column 5) and temperature cells,
    // `cols` stored columns, flags of channel 1 alone.
    QString crafted(const QString &name, const QStringList &series, const QStringList &values,
                    int cols) const {
        velda::ArchiveTable table;
        table.setColCount(cols);
        table.setRowCount(static_cast<int>(values.size()) + 1);
        velda::WriteHeaderRow(table, 0);
        for (int r = 1; r < table.rowCount(); ++r) {
            QStringList cells;
            cells << QString::number(r) << QStringLiteral("12:00:0%1").arg(r) << QStringLiteral("01.03.2018")
                  << QString() << QString() << series.value(r - 1) << QStringLiteral("ТП")
                  << values.at(r - 1);
            for (int col = 0; col < cells.size(); ++col)
                table.setCell(col, r, cells.at(col));
        }
        EXPECT_TRUE(velda::SaveProject(table, path(name), {true, false}).ok());
        return path(name);
    }

    QTemporaryDir m_dir;
};

TEST_F(CliDownloadMerge, CommandLineRules) {
    const QString keep = download(QStringLiteral("keep.vd"), Records(40));
    const QByteArray complete = Bytes(keep);
    const QString failing =
        scenario(QStringLiteral("failing"), Records(40),
                 R"("fail": [{"command": "record", "index": 10, "stage": "data", "times": -1}])");
    const QString ru = download(QStringLiteral("ru.vd"), Records(15));
    const QString first = download(QStringLiteral("first.vd"), Records(4, 0x11));
    const QString second = download(QStringLiteral("second.vd"), Records(4, 0x21));
    const QString us = download(QStringLiteral("us.vd"), Records(3), "en_US");
    const QString gb = download(QStringLiteral("gb.vd"), Records(3), "en_GB");
    // Month 13 and 30 February: both rows read "NAN" for time and date, with the same values.
    const QString undated =
        download(QStringLiteral("undated.vd"), Records(21) << Record(20, 2, 1, 13) << Record(20, 2, 30, 2));
    velda::ArchiveTable table;
    ASSERT_TRUE(velda::ReadProject(table, ru).ok());
    for (int row = 1; row <= 3; ++row)
        table.setCell(2, row, QStringLiteral("3/1/2018")); // written under English formats
    const QString mixed = path(QStringLiteral("mixed.vd"));
    ASSERT_TRUE(velda::SaveProject(table, mixed, table.channels()).ok());
    const QString crc =
        scenario(QStringLiteral("crc"), Records(8), QStringLiteral(R"("bad_crc_records": [3, 5])"));
    const QString header = crafted(QStringLiteral("header.vd"), {}, {}, 10);
    const QString wide = crafted(QStringLiteral("wide.vd"), {}, {QStringLiteral("23,13")}, 14);
    const QString formulas = crafted(
        QStringLiteral("formulas.vd"),
        {QStringLiteral("=HYPERLINK(\"http://x\")"), QStringLiteral("@SUM(A1)"), QStringLiteral("+1+1")},
        {QStringLiteral("-5,25"), QStringLiteral("23,13"), QStringLiteral("-0,50")}, 10);
    const QString out = path(QStringLiteral("out.vd")), csv = path(QStringLiteral("out.csv")),
                  pdf = path(QStringLiteral("out.pdf"));
    const auto args = [](std::initializer_list<QString> list) { return QStringList(list); };
    struct Case {
        const char *name;
        QStringList args;
        int exitCode;
        QString needle; ///< in stdout, stderr or the CSV written
        QString scenario = {};
    };
    const Case cases[] = {
        {"a partial download goes beside", args({"read", "--simulate", "-o", keep}), 3,
         "после 10 из 40 записей; полученные записи сохранены в " + path("keep-partial.vd") + ", файл " +
             keep,
         failing},
        {"and never replaces the first partial one", args({"read", "--simulate", "-o", keep}), 3,
         "сохранены в " + path("keep-partial-2.vd"), failing},
        {"channel 2 alone merged with channel 1 alone",
         args({"merge", first, second, "-o", out, "--locale", "ru_RU"}), 0, "Объединено строк: 8 из 8"},
        {"keeps its own columns", args({"stats", out, "--json", "--locale", "ru_RU"}), 0, "\"channel\":2,"},
        {"merging English dates under Russian formats",
         args({"merge", us, ru, "-o", out, "--locale", "ru_RU"}), 4,
         "us.vd, строка 1: «3/1/2018» не читается"},
        {"British dates would swap day and month", args({"merge", gb, ru, "-o", out, "--locale", "en_US"}), 4,
         "gb.vd, строка 1: «01/03/2018»"},
        {"British values under French formats", args({"merge", gb, gb, "-o", out, "--locale", "fr_FR"}), 4,
         "gb.vd, строка 1: «20.00»"},
        {"records without a date are never repeats",
         args({"merge", undated, ru, "-o", out, "--locale", "ru_RU"}), 0,
         "Объединено строк: 23 из 38 (повторов: 15)"},
        {"records failing their check", args({"read", "--simulate", "-o", path("crc.vd")}), 5,
         "\nvelda9-cli: Записей с ошибкой контрольной суммы: 2 из 8 (в таблице как получены)\n", crc},
        {"are kept", args({"dump", path("crc.vd")}), 0, "\n8\t"},
        {"in English", args({"read", "--simulate", "-o", path("crc.vd"), "--lang", "en"}), 5,
         "2 of 8 records failed their checksum", crc},
        {"stats under formats that read no row", args({"stats", ru, "--locale", "en_US"}), 4,
         "ru.vd: ни одна строка не читается: даты и время записаны не в форматах M/d/yyyy и hh:mm:ss"},
        {"stats --json under C", args({"stats", ru, "--json", "--locale", "C"}), 4, "ни одна строка"},
        {"summary", args({"summary", ru, "-o", pdf, "--locale", "en_US", "--lang", "en"}), 4, "no row reads"},
        {"some rows skipped", args({"stats", mixed, "--json", "--locale", "ru_RU"}), 0,
         "\"skipped_rows\":3}"},
        {"ISO dates read with the file's formats",
         args({"export", gb, "-o", csv, "--iso-date", "--locale", "en_GB"}), 0, "\r\n1,12:00:00,2018-03-01,"},
        {"British dates under American formats",
         args({"export", gb, "-o", csv, "--iso-date", "--locale", "en_US"}), 4,
         "Строка 1: дата «01/03/2018»"},
        {"a command's own help", args({"export", "--help"}), 0, "Использование: velda9-cli export"},
        {"in English", args({"read", "-h", "--lang", "en"}), 0, "\n  --timeout SECONDS"},
        {"workbook of a header-only project", args({"export", header, "-o", path("h.xlsx")}), 4,
         "header.vd: Архив не считан!"},
        {"report of it", args({"report", header, "-o", pdf}), 4, "Архив не считан!"},
        {"summary of it", args({"summary", header, "-o", pdf}), 4, "Архив не считан!"},
        {"the columns the window shows", args({"export", wide, "-o", csv, "--delimiter", ";"}), 0,
         "\r\n1;12:00:01;01.03.2018;;;;ТП;23,13;;\r\n"},
        {"formulas stay texts, numbers stay numbers, the delimiter follows the cells",
         args({"export", formulas, "-o", csv, "--locale", "en_US"}), 0,
         ";\"'=HYPERLINK(\"\"http://x\"\")\";ТП;-5,25;;\r\n2;12:00:02;01.03.2018;;;'@SUM(A1);ТП;23,13;;\r\n"
         "3;12:00:03;01.03.2018;;;'+1+1;ТП;-0,50;;\r\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(csv);
        const CliRun run = Cli(c.args, c.scenario);
        const QString seen = run.out + run.err + QString::fromUtf8(Bytes(csv));
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        EXPECT_TRUE(seen.contains(c.needle)) << seen.toStdString();
        EXPECT_TRUE(c.exitCode == 0 || !(QFile::exists(csv) || QFile::exists(pdf)));
    }
    EXPECT_EQ(Bytes(keep), complete) << "a partial download replaced a complete one";
}

} // namespace
