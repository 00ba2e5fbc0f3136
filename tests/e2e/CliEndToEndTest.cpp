// End-to-end tests: the built velda9-cli against the simulated instrument, with scenario files, checked
// through its exit status, stderr and the files it writes.
#include "CliProcess.h"

#include "QtPrinters.h"
#include "archive/ProjectFile.h"
#include "base/TableHeader.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using velda::test::BinDir;
using CliRun = velda::test::ProcessRun;

CliRun RunCli(const QStringList &args, const QString &scenario = {}) {
    return velda::test::RunProgram(BinDir() + QStringLiteral("/velda9-cli"), args,
                                   velda::test::SimEnvironment(scenario));
}

QByteArray ReadAll(const QString &file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A LongRecord (formats 1 and 2) that carries the "no checksum" mark 0xAAAA.
struct Rec {
    std::uint8_t channels = 2;
    std::uint16_t modeCount = 255, number = 0, series = 0;
    float h1 = 0, h2 = 0, aux1 = 0, aux2 = 0, t1 = 0, t2 = 0;
    std::uint8_t second = 0, minute = 0, hour = 0, day = 1, month = 1, year = 18;
    std::uint8_t sensor1 = 0, sensor2 = 0;
};

QString LongRecordHex(const Rec &r) {
    QByteArray b(44, '\0');
    auto u16 = [&b](int at, std::uint16_t v) {
        b[at] = static_cast<char>(v & 0xFF);
        b[at + 1] = static_cast<char>(v >> 8);
    };
    auto f32 = [&b](int at, float v) {
        const auto u = std::bit_cast<std::uint32_t>(v);
        for (int i = 0; i < 4; ++i)
            b[at + i] = static_cast<char>((u >> (8 * i)) & 0xFF);
    };
    b[0] = static_cast<char>(r.channels);
    u16(2, r.modeCount);
    u16(4, r.number);
    u16(6, r.series);
    f32(8, r.h1);
    f32(12, r.h2);
    f32(16, r.aux1);
    f32(20, r.aux2);
    f32(24, r.t1);
    f32(28, r.t2);
    const std::uint8_t tail[] = {r.second, r.minute, r.hour, r.day, r.month, r.year, r.sensor1, r.sensor2};
    std::memcpy(b.data() + 32, tail, sizeof tail);
    u16(40, 0xAAAA);
    return QString::fromLatin1(b.toHex());
}

class CliEndToEnd : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString path(const QString &name) const { return m_dir.filePath(name); }

    /// Writes a scenario file and returns its path.
    QString scenario(const QString &name, const QString &json) const {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(json.toUtf8());
        return file.fileName();
    }

    QString recordsScenario(const QString &name, const std::vector<Rec> &records,
                            const QString &extra = {}) const {
        QStringList hex;
        for (const Rec &r : records)
            hex << QStringLiteral("\"%1\"").arg(LongRecordHex(r));
        return scenario(name, QStringLiteral("{\"firmware_date\": \"13.03.2018\", \"records_hex\": [%1]%2}")
                                  .arg(hex.join(QStringLiteral(", ")), extra));
    }

    QTemporaryDir m_dir;
};

// Three records of format 2: both channels with a humidity probe and a thermocouple, channel 2 alone with a
// heat-flux probe in series mode, both channels with a thermometer at its range bound and a pressure probe.
std::vector<Rec> ThreeRecords() {
    Rec both;
    both.t1 = 20.0f, both.h1 = 50.0f, both.sensor1 = 6, both.t2 = -7.25f, both.sensor2 = 1;
    both.second = 9, both.minute = 5, both.hour = 23, both.day = 31, both.month = 12, both.year = 18;
    Rec flux;
    flux.channels = 0x21, flux.modeCount = 10, flux.number = 3, flux.series = 7, flux.sensor2 = 5;
    flux.aux2 = 456.5f, flux.day = 1, flux.month = 1, flux.year = 19;
    Rec pressure;
    pressure.t1 = 1800.0f, pressure.sensor1 = 4, pressure.t2 = 25.0f, pressure.h2 = 80.0f;
    pressure.aux2 = 755.25f, pressure.sensor2 = 7;
    pressure.second = 45, pressure.minute = 30, pressure.hour = 12, pressure.day = 15, pressure.month = 6,
    pressure.year = 20;
    return {both, flux, pressure};
}

TEST_F(CliEndToEnd, ReadThenDumpGivesTheCellsOfTheRecords) {
    const QString file = path(QStringLiteral("three.vd"));
    const CliRun read = RunCli({QStringLiteral("read"), QStringLiteral("--simulate"), QStringLiteral("-o"),
                                file, QStringLiteral("--lang"), QStringLiteral("en"),
                                QStringLiteral("--locale"), QStringLiteral("ru_RU")},
                               recordsScenario(QStringLiteral("three.json"), ThreeRecords()));
    ASSERT_EQ(read.exitCode, 0) << read.err.toStdString();
    EXPECT_TRUE(
        read.err.contains("3 records, channels 1, 2, from 31.12.2018 23:05:09 to 15.06.2020 12:30:45"))
        << read.err.toStdString();

    const CliRun dump = RunCli({QStringLiteral("dump"), file});
    ASSERT_EQ(dump.exitCode, 0) << dump.err.toStdString();
    const QByteArray expected =
        "№\tTime\tDate\tRegime\tNumber\tSeries\tSensor\tT, °C\tH, %\tDew Point, °C\tSensor\tT, °C\tH, %\t"
        "Pressure, mm Hg\n"
        "1\t23:05:09\t31.12.2018\tUninterrupted\t\t\tMK SHT       "
        "\t20,00\t50,00\t9,27\tXA-Thermopair\t-7,25\t\t\n"
        "2\t00:00:00\t01.01.2019\tOn series\t3 | 10\t7\tTherm. stream\t\t\t456,50\t\t\t\t\n"
        "3\t12:30:45\t15.06.2020\tUninterrupted\t\t\tDS18B20      \t1800,00\t\t\tMK BMP280 "
        "SHT\t25,00\t80,00\t"
        "755,25\n";
    EXPECT_EQ(dump.out, expected);
}

TEST_F(CliEndToEnd, ReadKeepsTheSecondSlotWhenTheLastRecordHasOneChannel) {
    std::vector<Rec> records = ThreeRecords();
    std::swap(records[1], records[2]); // the channel-2-alone record comes last
    const QString file = path(QStringLiteral("last-alone.vd"));
    const CliRun read = RunCli({QStringLiteral("read"), QStringLiteral("--simulate"), QStringLiteral("-o"),
                                file, QStringLiteral("--lang"), QStringLiteral("en")},
                               recordsScenario(QStringLiteral("last-alone.json"), records));
    ASSERT_EQ(read.exitCode, 0) << read.err.toStdString();
    EXPECT_TRUE(read.err.contains("3 records, channels 1, 2,")) << read.err.toStdString();
    const CliRun dump = RunCli({QStringLiteral("dump"), file});
    ASSERT_EQ(dump.exitCode, 0);
    const QList<QByteArray> lines = dump.out.split('\n');
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines[1].split('\t').size(), 14);
    EXPECT_TRUE(lines[2].endsWith("\t25,00\t80,00\t755,25") || lines[2].endsWith("\t25.00\t80.00\t755.25"))
        << lines[2].toStdString();
}

TEST_F(CliEndToEnd, ReadWithoutRecordsWritesTheHeaderRow) {
    const QString file = path(QStringLiteral("empty.vd"));
    const CliRun read = RunCli({QStringLiteral("read"), QStringLiteral("--simulate"), QStringLiteral("-o"),
                                file, QStringLiteral("--lang"), QStringLiteral("en")},
                               recordsScenario(QStringLiteral("empty.json"), {}));
    ASSERT_EQ(read.exitCode, 0) << read.err.toStdString();
    EXPECT_TRUE(read.err.contains("No Data"));
    const CliRun dump = RunCli({QStringLiteral("dump"), file});
    ASSERT_EQ(dump.exitCode, 0);
    EXPECT_EQ(dump.out, QByteArray("№\tTime\tDate\tRegime\tNumber\tSeries\tSensor\tT, °C\tH, %\tQ, W/m2\n"));
}

TEST_F(CliEndToEnd, ExitStatusAndMessageOfEachFailure) {
    QFile broken(path(QStringLiteral("broken.vd")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write(QByteArray::fromHex("0100"
                                     "0a000000"
                                     "05000000"
                                     "04000000"
                                     "4142"));
    broken.close();
    const QString absent = scenario(QStringLiteral("absent.json"),
                                    QStringLiteral("{\"firmware_date\": \"13.03.2018\", \"records_hex\": [], "
                                                   "\"faults\": {\"absent_ms\": 600000}}"));
    const QString denied = scenario(QStringLiteral("denied.json"),
                                    QStringLiteral("{\"firmware_date\": \"13.03.2018\", \"records_hex\": [], "
                                                   "\"faults\": {\"open_error\": \"EACCES\"}}"));
    const QString busy = scenario(QStringLiteral("busy.json"),
                                  QStringLiteral("{\"firmware_date\": \"13.03.2018\", \"records_hex\": [], "
                                                 "\"faults\": {\"open_error\": \"EBUSY\"}}"));
    const QString outdated =
        scenario(QStringLiteral("old.json"),
                 QStringLiteral("{\"firmware_date\": \"01.01.2010\", \"records_hex\": []}"));
    const QString badBlock = recordsScenario(QStringLiteral("badblock.json"), ThreeRecords(),
                                             QStringLiteral(", \"param_block_check\": \"bad\""));
    const QString out = path(QStringLiteral("out.vd"));
    QFile good(path(QStringLiteral("good.vd")));
    ASSERT_TRUE(good.open(QIODevice::WriteOnly));
    good.write(QByteArray::fromHex("0000"
                                   "01000000"
                                   "01000000"
                                   "01000000"
                                   "78"));
    good.close();

    struct Case {
        const char *name;
        QStringList args;
        QString scenario;
        int exitCode;
        QStringList mentions;
    };
    std::vector<Case> cases = {
        {"no command", {}, {}, 2, {"no command"}},
        {"unknown command", {QStringLiteral("fetch")}, {}, 2, {"fetch"}},
        {"read without -o", {QStringLiteral("read"), QStringLiteral("--simulate")}, {}, 2, {"-o"}},
        {"bad locale",
         {QStringLiteral("dump"), out, QStringLiteral("--locale"), QStringLiteral("xx_QQ")},
         {},
         2,
         {"xx_QQ"}},
        {"instrument absent",
         {QStringLiteral("read"), QStringLiteral("--simulate"), QStringLiteral("-o"), out,
          QStringLiteral("--timeout"), QStringLiteral("1"), QStringLiteral("--lang"), QStringLiteral("en")},
         absent,
         3,
         {"Check Connection", "1 s"}},
        {"permission denied",
         {QStringLiteral("read"), QStringLiteral("--simulate"), QStringLiteral("-o"), out,
          QStringLiteral("--timeout"), QStringLiteral("1"), QStringLiteral("--lang"), QStringLiteral("en")},
         denied,
         3,
         {"Permission denied", "70-velda9.rules", "plugdev", "plug it in again"}},
        {"instrument busy",
         {QStringLiteral("screenshot"), QStringLiteral("--simulate"), QStringLiteral("-o"),
          path(QStringLiteral("out.bmp")), QStringLiteral("--timeout"), QStringLiteral("1"),
          QStringLiteral("--lang"), QStringLiteral("en")},
         busy,
         3,
         {"in use by another program"}},
        {"permission denied, Russian",
         {QStringLiteral("set-clock"), QStringLiteral("--simulate"), QStringLiteral("--timeout"),
          QStringLiteral("1")},
         denied,
         3,
         {"Нет доступа", "70-velda9.rules"}},
        {"outdated firmware",
         {QStringLiteral("read"), QStringLiteral("--simulate"), QStringLiteral("-o"), out,
          QStringLiteral("--timeout"), QStringLiteral("1"), QStringLiteral("--lang"), QStringLiteral("en")},
         outdated,
         3,
         {"Firmware version is outdated"}},
        {"parameter block fails its check",
         {QStringLiteral("read"), QStringLiteral("--simulate"), QStringLiteral("-o"), out,
          QStringLiteral("--lang"), QStringLiteral("en")},
         badBlock,
         3,
         {"CRC16 Error", "Archive not read"}},
        {"no instrument on the USB bus",
         {QStringLiteral("screenshot"), QStringLiteral("-o"), path(QStringLiteral("s.bmp")),
          QStringLiteral("--timeout"), QStringLiteral("1"), QStringLiteral("--lang"), QStringLiteral("en")},
         {},
         3,
         {}},
        {"dump of a missing file",
         {QStringLiteral("dump"), path(QStringLiteral("missing.vd"))},
         {},
         4,
         {"missing.vd"}},
        {"dump of a broken file", {QStringLiteral("dump"), broken.fileName()}, {}, 4, {"broken.vd"}},
        {"export of a broken file",
         {QStringLiteral("export"), broken.fileName(), QStringLiteral("-o"), path(QStringLiteral("x.xlsx"))},
         {},
         4,
         {"broken.vd"}},
        {"export into a missing folder",
         {QStringLiteral("export"), good.fileName(), QStringLiteral("-o"),
          path(QStringLiteral("none/x.xlsx"))},
         {},
         4,
         {"none"}},
        {"read into a folder",
         {QStringLiteral("read"), QStringLiteral("--simulate"), QStringLiteral("-o"), m_dir.path()},
         {},
         4,
         {"это папка"}},
        {"read into a missing folder",
         {QStringLiteral("read"), QStringLiteral("--simulate"), QStringLiteral("-o"),
          path(QStringLiteral("no/such/dir/a.vd"))},
         recordsScenario(QStringLiteral("one.json"), {ThreeRecords().front()}),
         4,
         {"a.vd"}},
        {"report into a missing folder",
         {QStringLiteral("report"), good.fileName(), QStringLiteral("-o"),
          path(QStringLiteral("none/x.pdf"))},
         {},
         4,
         {"x.pdf"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(out);
        const CliRun run = RunCli(c.args, c.scenario);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        const QString err = QString::fromUtf8(run.err);
        for (const QString &word : c.mentions)
            EXPECT_TRUE(err.contains(word)) << err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
        if (c.exitCode != 0) {
            EXPECT_FALSE(QFileInfo::exists(out));
        }
        // Without an exchange the error is the only line.
        if ((c.exitCode == 2 || c.exitCode == 4) && c.scenario.isEmpty()) {
            EXPECT_EQ(run.err.count('\n'), 1) << err.toStdString();
        }
    }
}

TEST_F(CliEndToEnd, ReadOnlyOutputsAreRefusedAndLeftAsTheyWere) {
    const QString vd = path(QStringLiteral("source.vd"));
    ASSERT_EQ(RunCli({QStringLiteral("read"), QStringLiteral("--simulate"), QStringLiteral("-o"), vd},
                     recordsScenario(QStringLiteral("source.json"), ThreeRecords()))
                  .exitCode,
              0);
    struct Case {
        const char *name;
        QString output;
        QStringList args; ///< the output path is appended after "-o"
        const char *mentions;
    };
    std::vector<Case> cases = {
        {"workbook",
         path(QStringLiteral("kept.xlsx")),
         {QStringLiteral("export"), vd, QStringLiteral("--lang"), QStringLiteral("en")},
         "read-only"},
        {"workbook, Russian",
         path(QStringLiteral("kept2.xls")),
         {QStringLiteral("export"), vd, QStringLiteral("--lang"), QStringLiteral("ru")},
         "только для чтения"},
        {"bitmap",
         path(QStringLiteral("kept.bmp")),
         {QStringLiteral("screenshot"), QStringLiteral("--simulate"), QStringLiteral("--lang"),
          QStringLiteral("en")},
         "read-only"},
        {"text table",
         path(QStringLiteral("kept.csv")),
         {QStringLiteral("export"), vd, QStringLiteral("--lang"), QStringLiteral("en")},
         "read-only"},
        {"merged project",
         path(QStringLiteral("merged.vd")),
         {QStringLiteral("merge"), vd, vd, QStringLiteral("--lang"), QStringLiteral("en")},
         "read-only"},
        {"project file",
         path(QStringLiteral("kept.vd")),
         {QStringLiteral("read"), QStringLiteral("--simulate"), QStringLiteral("--lang"),
          QStringLiteral("en")},
         "read-only"},
    };
    cases.push_back({"report",
                     path(QStringLiteral("kept.pdf")),
                     {QStringLiteral("report"), vd, QStringLiteral("--lang"), QStringLiteral("en")},
                     "read-only"});
    const QByteArray old("protected by the user");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        {
            QFile file(c.output);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(old);
        }
        ASSERT_TRUE(QFile::setPermissions(c.output, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        const CliRun run = RunCli(c.args + QStringList{QStringLiteral("-o"), c.output});
        EXPECT_EQ(run.exitCode, 4) << run.err.toStdString();
        EXPECT_TRUE(QString::fromUtf8(run.err).contains(QString::fromUtf8(c.mentions)))
            << run.err.toStdString();
        QFile file(c.output);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), old);
        EXPECT_EQ(QDir(m_dir.path()).entryList({QStringLiteral(".*part*")}, QDir::Files | QDir::Hidden),
                  QStringList());
    }
}

TEST_F(CliEndToEnd, ProjectFileMessagesFollowLang) {
    QFile damaged(path(QStringLiteral("short.vd")));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray::fromHex("0100020000"));
    damaged.close();
    struct Case {
        const char *name;
        QStringList args;
        const char *line;
    };
    const QString missing = path(QStringLiteral("missing.vd"));
    const Case cases[] = {
        {"dump, Russian by default",
         {QStringLiteral("dump"), damaged.fileName()},
         "velda9-cli: short.vd: в файле 5 байт, а в файле проекта их не меньше 10 (смещение 5)\n"},
        {"dump, English",
         {QStringLiteral("dump"), damaged.fileName(), QStringLiteral("--lang"), QStringLiteral("en")},
         "velda9-cli: short.vd: the file holds 5 bytes, a project file has at least 10 (offset 5)\n"},
        {"export, Russian",
         {QStringLiteral("export"), missing, QStringLiteral("-o"), path(QStringLiteral("x.xlsx")),
          QStringLiteral("--lang"), QStringLiteral("ru")},
         "velda9-cli: missing.vd: не удаётся открыть: файл не найден\n"},
        {"export, English",
         {QStringLiteral("export"), missing, QStringLiteral("-o"), path(QStringLiteral("x.xlsx")),
          QStringLiteral("--lang"), QStringLiteral("en")},
         "velda9-cli: missing.vd: cannot open: no such file\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const CliRun run = RunCli(c.args);
        EXPECT_EQ(run.exitCode, 4);
        EXPECT_EQ(QString::fromUtf8(run.err), QString::fromUtf8(c.line));
    }
}

TEST_F(CliEndToEnd, LinkFailureInTheRecordLoopKeepsTheRecordsReceived) {
    const QString file = path(QStringLiteral("partial.vd"));
    const CliRun read = RunCli(
        {QStringLiteral("read"), QStringLiteral("--simulate"), QStringLiteral("-o"), file,
         QStringLiteral("--lang"), QStringLiteral("en")},
        recordsScenario(QStringLiteral("partial.json"), ThreeRecords(),
                        QStringLiteral(", \"faults\": {\"fail\": [{\"command\": \"record\", \"index\": 2, "
                                       "\"stage\": \"data\", \"times\": -1}]}")));
    EXPECT_EQ(read.exitCode, 3) << read.err.toStdString();
    EXPECT_TRUE(read.err.contains("after 2 of 3 records")) << read.err.toStdString();
    const CliRun dump = RunCli({QStringLiteral("dump"), file});
    ASSERT_EQ(dump.exitCode, 0);
    EXPECT_EQ(dump.out.count('\n'), 3); // header and two records
}

TEST_F(CliEndToEnd, ADownloadLongerThanTheTimeoutIsNotCutOff) {
    // 60 records take about three seconds at the instrument's pace; the two-second limit applies only to
    // a lack of progress (two seconds, so that a start-up slowed by a busy machine is not taken for one).
    const QString scenarioFile = scenario(QStringLiteral("long.json"),
                                          QStringLiteral("{\"firmware_date\": \"13.03.2018\", \"generate\": "
                                                         "{\"records\": 60, \"format\": 2, \"seed\": 3}}"));
    const QString file = path(QStringLiteral("long.vd"));
    const CliRun read = RunCli({QStringLiteral("read"), QStringLiteral("--simulate"), QStringLiteral("-o"),
                                file, QStringLiteral("--timeout"), QStringLiteral("2")},
                               scenarioFile);
    ASSERT_EQ(read.exitCode, 0) << read.err.toStdString();
    const CliRun dump = RunCli({QStringLiteral("dump"), file});
    EXPECT_EQ(dump.out.count('\n'), 61);
}

TEST_F(CliEndToEnd, ExportWritesAWorkbookThatOpensElsewhere) {
    const QString vd = path(QStringLiteral("three.vd"));
    ASSERT_EQ(RunCli({QStringLiteral("read"), QStringLiteral("--simulate"), QStringLiteral("-o"), vd,
                      QStringLiteral("--locale"), QStringLiteral("en_US")},
                     recordsScenario(QStringLiteral("three.json"), ThreeRecords()))
                  .exitCode,
              0);
    const QString xlsx = path(QStringLiteral("three.xlsx"));
    const CliRun exported = RunCli({QStringLiteral("export"), vd, QStringLiteral("-o"), xlsx,
                                    QStringLiteral("--lang"), QStringLiteral("en")});
    ASSERT_EQ(exported.exitCode, 0) << exported.err.toStdString();

    if (!QFileInfo::exists(QStringLiteral("/usr/bin/python3")))
        GTEST_SKIP() << "no /usr/bin/python3 to read the workbook back";
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, openpyxl\n"
                                 "wb = openpyxl.load_workbook(sys.argv[1])\n"
                                 "ws = wb.worksheets[0]\n"
                                 "print(wb.sheetnames[0])\n"
                                 "print(ws.max_row, ws.max_column)\n"
                                 "print(ws['A1'].value, ws['H2'].value, ws['C4'].value)\n"),
                  xlsx});
    ASSERT_TRUE(python.waitForFinished(60000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    const QString text = QString::fromUtf8(python.readAllStandardOutput());
    EXPECT_EQ(text, QStringLiteral("Archive of measurements 1\n4 14\n№ 20.00 6/15/2020\n"));
}

TEST_F(CliEndToEnd, ReportWritesAPdfWithTheTable) {
    const QString vd = path(QStringLiteral("three.vd"));
    ASSERT_EQ(RunCli({QStringLiteral("read"), QStringLiteral("--simulate"), QStringLiteral("-o"), vd,
                      QStringLiteral("--lang"), QStringLiteral("en")},
                     recordsScenario(QStringLiteral("three.json"), ThreeRecords()))
                  .exitCode,
              0);
    const QString pdf = path(QStringLiteral("three.pdf"));
    const CliRun report =
        RunCli({QStringLiteral("report"), vd, QStringLiteral("-o"), pdf, QStringLiteral("--lang"),
                QStringLiteral("en"), QStringLiteral("--locale"), QStringLiteral("en_GB")});
    ASSERT_EQ(report.exitCode, 0) << report.err.toStdString();
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    QProcess process;
    process.start(pdftotext, {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    ASSERT_TRUE(process.waitForFinished(60000));
    const QString text = QString::fromUtf8(process.readAllStandardOutput());
    for (const char *word : {"Archive of measurements", "Dew Point", "MK BMP280 SHT", "755.25", "1800.00"}) {
        SCOPED_TRACE(word);
        EXPECT_TRUE(text.contains(QString::fromUtf8(word))) << text.toStdString();
    }
}

TEST_F(CliEndToEnd, ScreenshotWritesTheFramedScreenInTheChosenColours) {
    QByteArray screen(1024, '\0');
    screen[0] = 0x01; // lights pixel (2, 2)
    const QString scenarioFile = scenario(
        QStringLiteral("screen.json"),
        QStringLiteral("{\"firmware_date\": \"13.03.2018\", \"records_hex\": [], \"screen_hex\": \"%1\"}")
            .arg(QString::fromLatin1(screen.toHex())));
    const QString bmp = path(QStringLiteral("screen.bmp"));
    const CliRun run = RunCli({QStringLiteral("screenshot"), QStringLiteral("--simulate"),
                               QStringLiteral("-o"), bmp, QStringLiteral("--pen"), QStringLiteral("red"),
                               QStringLiteral("--background"), QStringLiteral("#00ff00")},
                              scenarioFile);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QFile file(bmp);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_GE(bytes.size(), 54);
    ASSERT_EQ(bytes.left(2), QByteArray("BM"));
    auto le32 = [&bytes](int at) {
        return static_cast<std::int32_t>(
            static_cast<std::uint8_t>(bytes[at]) | static_cast<std::uint8_t>(bytes[at + 1]) << 8 |
            static_cast<std::uint8_t>(bytes[at + 2]) << 16 |
            static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at + 3])) << 24);
    };
    const int width = le32(18), height = le32(22), offset = le32(10);
    EXPECT_EQ(width, 132);
    EXPECT_EQ(std::abs(height), 68);
    const int bitsPerPixel = static_cast<std::uint8_t>(bytes[28]);
    ASSERT_EQ(bitsPerPixel, 24) << "the check below reads 24-bit pixels";
    const int stride = (width * 3 + 3) / 4 * 4;
    auto pixel = [&](int x, int y) {
        const int row = height > 0 ? height - 1 - y : y;
        const int at = offset + row * stride + x * 3;
        return QByteArray(bytes.constData() + at, 3).toHex(); // blue, green, red
    };
    EXPECT_EQ(pixel(0, 0), QByteArray("0000ff")); // frame in the pen colour
    EXPECT_EQ(pixel(1, 1), QByteArray("00ff00")); // gap in the background colour
    EXPECT_EQ(pixel(2, 2), QByteArray("0000ff")); // bit 0 of byte 0
    EXPECT_EQ(pixel(3, 2), QByteArray("00ff00"));
}

TEST_F(CliEndToEnd, SetClockSendsTheClockToTheInstrument) {
    const QString log = path(QStringLiteral("clock.jsonl"));
    const QString scenarioFile = scenario(
        QStringLiteral("clock.json"),
        QStringLiteral("{\"firmware_date\": \"13.03.2018\", \"records_hex\": [], \"log\": \"%1\"}").arg(log));
    const CliRun run = RunCli({QStringLiteral("set-clock"), QStringLiteral("--simulate"),
                               QStringLiteral("--lang"), QStringLiteral("en")},
                              scenarioFile);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("Time is successful")) << run.err.toStdString();
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("\"clock\""));
}

TEST_F(CliEndToEnd, TerminatingAReadCancelsItAndWritesNothing) {
    const QString scenarioFile =
        scenario(QStringLiteral("absent-long.json"),
                 QStringLiteral("{\"firmware_date\": \"13.03.2018\", \"records_hex\": [], "
                                "\"faults\": {\"absent_ms\": 600000}}"));
    const QString file = path(QStringLiteral("never.vd"));
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELDA9_SIM_SCENARIO"), scenarioFile);
    process.setProcessEnvironment(env);
    process.start(BinDir() + QStringLiteral("/velda9-cli"),
                  {QStringLiteral("read"), QStringLiteral("--simulate"), QStringLiteral("-o"), file,
                   QStringLiteral("--lang"), QStringLiteral("en")});
    ASSERT_TRUE(process.waitForStarted(30000));
    // The first status line shows that the exchange runs and the handler is in place.
    process.setReadChannel(QProcess::StandardError);
    ASSERT_TRUE(process.waitForReadyRead(30000));
    process.terminate();
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 128 + 15);
    EXPECT_TRUE(process.readAllStandardError().contains("Interrupted"));
    EXPECT_FALSE(QFileInfo::exists(file));
}

TEST_F(CliEndToEnd, HelpAndVersion) {
    const CliRun help = RunCli({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("Exit status"));
    const CliRun version = RunCli({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith("velda9-cli "));
}

// Record i of a run a quarter of an hour apart from 1 March 2018 12:00, thermocouples on both channels
// reading 20 (channel 1) and 30 (channel 2) plus i/4; `channels` as the record's channel byte.
std::vector<Rec> Series(int count, std::uint8_t channels = 2) {
    std::vector<Rec> records(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        Rec &r = records[static_cast<std::size_t>(i)];
        r.channels = channels, r.sensor1 = r.sensor2 = 1, r.t1 = 20.0f + float(i) / 4,
        r.t2 = 30.0f + float(i) / 4;
        r.minute = std::uint8_t(15 * i % 60), r.hour = std::uint8_t(12 + 15 * i / 60), r.day = 1, r.month = 3;
    }
    return records;
}

// Each case as a user meets it: the command line, its exit status and a text it shows (on stdout, on
// stderr or in the CSV written).
TEST_F(CliEndToEnd, CommandLineRulesAsAUserMeetsThem) {
    const auto download = [this](const char *name, const std::vector<Rec> &records,
                                 const char *locale = "ru_RU") {
        const CliRun read =
            RunCli({"read", "--simulate", "-o", path(name), "--locale", locale},
                   recordsScenario(QString::fromLatin1(name) + QStringLiteral(".json"), records));
        EXPECT_EQ(read.exitCode, 0) << read.err.toStdString();
        return path(name);
    };
    // A channel-1 project as a crafted or older file may hold it: series (column 5) and temperature cells,
    // `cols` stored columns, flags of channel 1 alone.
    const auto crafted = [this](const char *name, const QStringList &series, const QStringList &values,
                                int cols) {
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
    };
    const QString keep = download("keep.vd", Series(40));
    const QByteArray complete = ReadAll(keep);
    const QString failing = recordsScenario(
        "failing.json", Series(40),
        R"(, "faults": {"fail": [{"command": "record", "index": 10, "stage": "data", "times": -1}]})");
    const QString ru = download("ru.vd", Series(15));
    const QString first = download("first.vd", Series(4, 0x11));
    const QString second = download("second.vd", Series(4, 0x21));
    const QString us = download("us.vd", Series(3), "en_US");
    const QString gb = download("gb.vd", Series(3), "en_GB");
    // Month 13 and 30 February: both rows read "NAN" for time and date, with the same values.
    std::vector<Rec> records = Series(21);
    records.push_back(records.back()), records.back().month = 13;
    records.push_back(records.back()), records.back().month = 2, records.back().day = 30;
    const QString undated = download("undated.vd", records);
    velda::ArchiveTable table;
    ASSERT_TRUE(velda::ReadProject(table, ru).ok());
    for (int row = 1; row <= 3; ++row)
        table.setCell(2, row, QStringLiteral("3/1/2018")); // written under English formats
    const QString mixed = path("mixed.vd");
    ASSERT_TRUE(velda::SaveProject(table, mixed, table.channels()).ok());
    const QString crc = recordsScenario("crc.json", Series(8), R"(, "faults": {"bad_crc_records": [3, 5]})");
    const QString header = crafted("header.vd", {}, {}, 10);
    const QString wide = crafted("wide.vd", {}, {"23,13"}, 14);
    const QString formulas = crafted("formulas.vd", {R"(=HYPERLINK("http://x"))", "@SUM(A1)", "+1+1"},
                                     {"-5,25", "23,13", "-0,50"}, 10);
    const QString out = path("out.vd"), csv = path("out.csv"), pdf = path("out.pdf");
    const auto args = [](std::initializer_list<QString> list) { return QStringList(list); };
    struct Case {
        const char *name;
        QStringList args;
        int exitCode;
        QString needle;
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
        const CliRun run = RunCli(c.args, c.scenario);
        const QString seen = QString::fromUtf8(run.out + run.err + ReadAll(csv));
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        EXPECT_TRUE(seen.contains(c.needle)) << seen.toStdString();
        EXPECT_TRUE(c.exitCode == 0 || !(QFile::exists(csv) || QFile::exists(pdf)));
    }
    EXPECT_EQ(ReadAll(keep), complete) << "a partial download replaced a complete one";
}

} // namespace
