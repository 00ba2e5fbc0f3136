// velda9-cli stats and summary on the simulated instrument's demo archive: JSON read back, the summary
// PDF read back with pdftotext, and the exit status of each failure.
#include "CliProcess.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "archive/RecordBytes.h"

namespace {

using CliRun = velda::test::ProcessRun;

CliRun RunCli(const QStringList &args, const QString &scenario = {}) {
    return velda::test::RunProgram(velda::test::BinDir() + QStringLiteral("/velda9-cli"), args,
                                   velda::test::SimEnvironment(scenario));
}

class StatsEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new QTemporaryDir();
        ASSERT_TRUE(s_dir->isValid());
        const CliRun read =
            RunCli({QStringLiteral("read"), QStringLiteral("--simulate"), QStringLiteral("-o"), demo(),
                    QStringLiteral("--locale"), QStringLiteral("ru_RU")});
        ASSERT_EQ(read.exitCode, 0) << read.err.toStdString();
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }
    static QString demo() { return s_dir->filePath(QStringLiteral("demo.vd")); }
    static QString path(const QString &name) { return s_dir->filePath(name); }
    static QTemporaryDir *s_dir;
};
QTemporaryDir *StatsEndToEnd::s_dir = nullptr;

} // namespace

TEST_F(StatsEndToEnd, JsonOfTheDemoArchive) {
    const CliRun run =
        RunCli({QStringLiteral("stats"), demo(), QStringLiteral("--json"), QStringLiteral("--locale"),
                QStringLiteral("ru_RU"), QStringLiteral("--limit"), QStringLiteral("temperature=19:"),
                QStringLiteral("--limit"), QStringLiteral("humidity=:50")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(run.out, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out.toStdString();
    const QJsonArray groups = doc.object().value(QStringLiteral("groups")).toArray();
    ASSERT_GE(groups.size(), 2);
    int previousChannel = 0;
    for (const QJsonValue &value : groups) {
        const QJsonObject g = value.toObject();
        const QString quantity = g.value(QStringLiteral("quantity")).toString();
        SCOPED_TRACE(quantity.toStdString());
        EXPECT_GE(g.value(QStringLiteral("channel")).toInt(), previousChannel);
        previousChannel = g.value(QStringLiteral("channel")).toInt();
        EXPECT_EQ(g.value(QStringLiteral("count")).toInt(), 300);
        EXPECT_LE(g.value(QStringLiteral("min")).toDouble(), g.value(QStringLiteral("mean")).toDouble());
        EXPECT_LE(g.value(QStringLiteral("mean")).toDouble(), g.value(QStringLiteral("max")).toDouble());
        EXPECT_EQ(g.contains(QStringLiteral("mkt")), quantity == QStringLiteral("temperature"));
        EXPECT_EQ(g.contains(QStringLiteral("limits")),
                  quantity == QStringLiteral("temperature") || quantity == QStringLiteral("humidity"));
        EXPECT_TRUE(
            QDateTime::fromString(g.value(QStringLiteral("first")).toString(), Qt::ISODate).isValid());
    }
    EXPECT_EQ(previousChannel, 2);
    const QJsonObject limits = groups.at(0).toObject().value(QStringLiteral("limits")).toObject();
    EXPECT_EQ(limits.value(QStringLiteral("low")).toDouble(), 19.0);
    EXPECT_TRUE(limits.value(QStringLiteral("high")).isNull());
}

TEST_F(StatsEndToEnd, TextTableFollowsLanguageAndLocale) {
    const CliRun run = RunCli({QStringLiteral("stats"), demo(), QStringLiteral("--lang"),
                               QStringLiteral("en"), QStringLiteral("--locale"), QStringLiteral("ru_RU")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString text = QString::fromUtf8(run.out);
    for (const char *word : {"Chanal 1", "Chanal 2", "Mean kinetic temperature", "Standard deviation"}) {
        SCOPED_TRACE(word);
        EXPECT_TRUE(text.contains(QString::fromUtf8(word))) << text.toStdString();
    }
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("Mean +\\d+,\\d\\d"))));
}

TEST_F(StatsEndToEnd, SummaryPdfReadsBack) {
    const QString pdf = path(QStringLiteral("summary.pdf"));
    const CliRun run =
        RunCli({QStringLiteral("summary"), demo(), QStringLiteral("-o"), pdf, QStringLiteral("--lang"),
                QStringLiteral("en"), QStringLiteral("--locale"), QStringLiteral("ru_RU"),
                QStringLiteral("--limit"), QStringLiteral("temperature=19:21")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("(2 pages)")) << run.err.toStdString();
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    QProcess process;
    process.start(pdftotext, {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    ASSERT_TRUE(process.waitForFinished(60000));
    const QString text = QString::fromUtf8(process.readAllStandardOutput());
    const QStringList pages = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    ASSERT_EQ(pages.size(), 2);
    for (int p = 0; p < 2; ++p) {
        SCOPED_TRACE(p);
        const QString &page = pages[p];
        EXPECT_TRUE(page.contains(QStringLiteral("Summary: demo.vd"))) << page.toStdString();
        EXPECT_TRUE(page.contains(p == 0 ? QStringLiteral("Chanal 1") : QStringLiteral("Chanal 2")));
        EXPECT_TRUE(page.contains(QStringLiteral("Period: from ")));
        EXPECT_TRUE(page.contains(QStringLiteral("Mean kinetic temperature")));
        EXPECT_TRUE(page.contains(QStringLiteral("Upper limit")));
        EXPECT_TRUE(page.contains(QStringLiteral("21,00"))); // the limit with the locale's decimal comma
    }
}

TEST_F(StatsEndToEnd, ExitStatusOfEachFailure) {
    struct Case {
        const char *name;
        QStringList args;
        int exitCode;
        const char *mentions;
    };
    const QString missing = path(QStringLiteral("none.vd"));
    // Cells written with Russian formats do not read back with British ones: an error naming the formats,
    // not a silently empty result.
    const CliRun other =
        RunCli({QStringLiteral("stats"), demo(), QStringLiteral("--locale"), QStringLiteral("en_GB")});
    EXPECT_EQ(other.exitCode, 4);
    EXPECT_TRUE(other.err.contains("dd/MM/yyyy")) << other.err.toStdString();

    const std::vector<Case> cases = {
        {"malformed limit",
         {QStringLiteral("stats"), demo(), QStringLiteral("--limit"), QStringLiteral("temperature")},
         2,
         "temperature"},
        {"stats of a missing file", {QStringLiteral("stats"), missing}, 4, "none.vd"},
        {"summary of a missing file",
         {QStringLiteral("summary"), missing, QStringLiteral("-o"), path(QStringLiteral("x.pdf"))},
         4,
         "none.vd"},
        {"summary into a missing folder",
         {QStringLiteral("summary"), demo(), QStringLiteral("-o"), path(QStringLiteral("no/such/x.pdf"))},
         4,
         "не существует"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const CliRun run = RunCli(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_TRUE(run.err.contains(c.mentions)) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
}

// A furnace run downloaded from the instrument: a thermocouple on channel 1 at 1150 to 1300 °C and a
// heat-flux probe on channel 2 at 700 to 950 W/m2, every 10 minutes for an hour. The table shows every
// reading, and so must the statistics, whatever the graph leaves off its axes.
TEST_F(StatsEndToEnd, FurnaceRunCountsEveryReadingTheTableShows) {
    const float celsius[] = {1150, 1180, 1190, 1250, 1280, 1300, 1210};
    const float flux[] = {700, 760, 810, 850, 900, 950, 880};
    QStringList hex;
    for (int i = 0; i < 7; ++i) {
        velda::test::RecordFields r;
        r.channels = 2;
        r.modeCount = 255;
        r.temperature1 = celsius[i];
        r.aux2 = flux[i];
        r.second = 0;
        r.minute = static_cast<std::uint8_t>(i * 10 % 60);
        r.hour = static_cast<std::uint8_t>(10 + i * 10 / 60);
        r.day = 6;
        r.month = 12;
        r.year = 24;
        r.sensor1 = 1; // thermocouple XA
        r.sensor2 = 5; // heat flux
        const auto bytes = velda::test::RecordBytes(2, r);
        hex << QStringLiteral("\"%1\"").arg(QString::fromLatin1(
            QByteArray(reinterpret_cast<const char *>(bytes.data()), static_cast<qsizetype>(bytes.size()))
                .toHex()));
    }
    QFile scenario(path(QStringLiteral("furnace.json")));
    ASSERT_TRUE(scenario.open(QIODevice::WriteOnly));
    scenario.write(QStringLiteral("{\"firmware_date\": \"13.03.2018\", \"records_hex\": [%1]}")
                       .arg(hex.join(QStringLiteral(", ")))
                       .toUtf8());
    scenario.close();
    const QString furnace = path(QStringLiteral("furnace.vd"));
    const CliRun read = RunCli({QStringLiteral("read"), QStringLiteral("--simulate"), QStringLiteral("-o"),
                                furnace, QStringLiteral("--locale"), QStringLiteral("ru_RU")},
                               scenario.fileName());
    ASSERT_EQ(read.exitCode, 0) << read.err.toStdString();

    const CliRun run =
        RunCli({QStringLiteral("stats"), furnace, QStringLiteral("--json"), QStringLiteral("--locale"),
                QStringLiteral("ru_RU"), QStringLiteral("--limit"), QStringLiteral("temperature=:1200"),
                QStringLiteral("--limit"), QStringLiteral("heatflux=:600")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonArray groups =
        QJsonDocument::fromJson(run.out).object().value(QStringLiteral("groups")).toArray();
    ASSERT_EQ(groups.size(), 2) << run.out.toStdString();
    struct Case {
        const char *quantity;
        int count;
        double max;
        int above;
        double aboveSeconds; // never more than the hour the readings span
    };
    const Case cases[] = {{"temperature", 7, 1300, 4, 1800}, {"heatflux", 7, 950, 7, 3600}};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case &c = cases[i];
        SCOPED_TRACE(c.quantity);
        const QJsonObject g = groups.at(static_cast<qsizetype>(i)).toObject();
        EXPECT_EQ(g.value(QStringLiteral("quantity")).toString(), QLatin1String(c.quantity));
        EXPECT_EQ(g.value(QStringLiteral("count")).toInt(), c.count);
        EXPECT_DOUBLE_EQ(g.value(QStringLiteral("max")).toDouble(), c.max);
        const QJsonObject limits = g.value(QStringLiteral("limits")).toObject();
        EXPECT_EQ(limits.value(QStringLiteral("above_count")).toInt(), c.above);
        EXPECT_DOUBLE_EQ(limits.value(QStringLiteral("above_seconds")).toDouble(), c.aboveSeconds);
    }
}
