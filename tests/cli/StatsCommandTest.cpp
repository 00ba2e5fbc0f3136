// The stats command: --limit and --json on the command line, the JSON shape, and a run over a project file.
#include "cli/StatsCommand.h"

#include "archive/ProjectFile.h"
#include "base/ArchiveTable.h"
#include "base/Texts.h"

#include "graph/GraphTestTables.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "cli/ReadBack.h"

#include <cstdio>

using namespace velda;
using namespace velda::cli;

namespace {

Result<Options, UsageError> Parse(std::initializer_list<const char *> args) {
    QStringList list;
    for (const char *a : args)
        list << QString::fromUtf8(a);
    return ParseArguments(list);
}

ArchiveTable TwoChannelTable() {
    return velda::test::MakeTable(
        {{"10:00:00", "01.02.2024", "MK SHT       ", "20,00", "40,00", "6,00", "DS18B20      ", "5,00"},
         {"10:10:00", "01.02.2024", "MK SHT       ", "26,00", "50,00", "10,00", "DS18B20      ", "7,00"}},
        14);
}

} // namespace

TEST(StatsArguments, LimitsAndJson) {
    const auto parsed =
        Parse({"stats", "a.vd", "--limit", "temperature=2:8", "--limit=humidity=:70", "--json"});
    ASSERT_TRUE(parsed.ok()) << parsed.error().message.toStdString();
    const Options &o = parsed.value();
    EXPECT_EQ(o.command, Command::Stats);
    EXPECT_EQ(o.input, QStringLiteral("a.vd"));
    EXPECT_TRUE(o.json);
    EXPECT_EQ(o.limits.of(Quantity::Temperature), (Limit{2.0, 8.0}));
    EXPECT_EQ(o.limits.of(Quantity::Humidity), (Limit{std::nullopt, 70.0}));

    const auto summary = Parse({"summary", "a.vd", "-o", "s.pdf", "--limit", "dewpoint=-5:", "--lang", "en"});
    ASSERT_TRUE(summary.ok());
    EXPECT_EQ(summary.value().command, Command::Summary);
    EXPECT_EQ(summary.value().output, QStringLiteral("s.pdf"));
}

TEST(StatsArguments, UsageErrorsNameTheArgument) {
    struct Case {
        const char *name;
        std::initializer_list<const char *> args;
        const char *mentions;
    };
    const Case cases[] = {
        {"malformed limit", {"stats", "a.vd", "--limit", "temperature=8"}, "temperature=8"},
        {"unknown quantity", {"stats", "a.vd", "--limit", "wind=1:2"}, "wind=1:2"},
        {"reversed limits", {"stats", "a.vd", "--limit", "temperature=8:2"}, "temperature=8:2"},
        {"same quantity twice",
         {"stats", "a.vd", "--limit", "humidity=1:2", "--limit", "humidity=3:4"},
         "humidity=3:4"},
        {"json on summary", {"summary", "a.vd", "-o", "s.pdf", "--json"}, "--json"},
        {"summary without output", {"summary", "a.vd"}, "-o"},
        {"stats without file", {"stats"}, "FILE.vd"},
        {"limit on export", {"export", "a.vd", "-o", "a.xlsx", "--limit", "temperature=1:2"}, "--limit"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto parsed = Parse(c.args);
        ASSERT_TRUE(!parsed.ok());
        EXPECT_TRUE(parsed.error().message.contains(QString::fromUtf8(c.mentions)))
            << parsed.error().message.toStdString();
    }
    EXPECT_TRUE(HelpText().contains(QStringLiteral("stats FILE.vd")));
    EXPECT_TRUE(HelpText().contains(QStringLiteral("summary FILE.vd -o FILE.pdf")));
}

TEST(StatsJson, ShapeKeyOrderAndNulls) {
    const velda::test::RussianFormats ru;
    const ArchiveTable table = TwoChannelTable();
    Options options;
    options.limits.set(Quantity::Temperature, Limit{std::nullopt, 25.0});
    const QByteArray json = StatisticsJson(StatisticsFor(table, {true, true}, options));
    ASSERT_TRUE(json.endsWith('\n'));

    const QJsonDocument doc = QJsonDocument::fromJson(json);
    ASSERT_TRUE(doc.isObject());
    EXPECT_EQ(doc.object().keys(), QStringList{QStringLiteral("groups")});
    const QJsonArray groups = doc.object().value(QStringLiteral("groups")).toArray();
    ASSERT_EQ(groups.size(), 4); // temperature, humidity, dew point of channel 1; temperature of channel 2

    // The keys in the documented order: the first group in full, byte for byte.
    const QByteArray first =
        R"({"channel":1,"sensor":"MK SHT","quantity":"temperature","unit":"°C","count":2,)"
        R"("first":"2024-02-01T10:00:00","last":"2024-02-01T10:10:00","min":20.0,"min_at":"2024-02-01T10:00:00",)"
        R"("max":26.0,"max_at":"2024-02-01T10:10:00","mean":23.0,"stddev":4.2426,"mkt":23.4738,)"
        R"("limits":{"low":null,"high":25.0,"below_count":0,"above_count":1,"below_seconds":0,)"
        R"("above_seconds":0}})";
    EXPECT_TRUE(json.startsWith(R"({"groups":[)" + first)) << json.toStdString();

    const QJsonObject humidity = groups.at(1).toObject();
    EXPECT_EQ(humidity.value(QStringLiteral("quantity")).toString(), QStringLiteral("humidity"));
    EXPECT_FALSE(humidity.contains(QStringLiteral("mkt")));
    EXPECT_FALSE(humidity.contains(QStringLiteral("limits")));
    EXPECT_EQ(groups.at(2).toObject().value(QStringLiteral("quantity")).toString(),
              QStringLiteral("dewpoint"));
    const QJsonObject second = groups.at(3).toObject();
    EXPECT_EQ(second.value(QStringLiteral("channel")).toInt(), 2);
    EXPECT_EQ(second.value(QStringLiteral("sensor")).toString(), QStringLiteral("DS18B20"));
    EXPECT_DOUBLE_EQ(second.value(QStringLiteral("mean")).toDouble(), 6.0);

    EXPECT_EQ(StatisticsJson({}), QByteArray("{\"groups\":[]}\n"));
}

TEST(StatsJson, FiguresRoundHalfAwayFromZeroOnTheirLastDigit) {
    // 39 × 12.07 and one 11.98: the mean is 12.06775 exactly, which plain double sums put just below.
    const velda::test::RussianFormats ru;
    ArchiveTable table;
    table.setColCount(10);
    table.setRowCount(41);
    for (int r = 1; r <= 40; ++r) {
        table.setCell(1, r, QStringLiteral("10:%1:00").arg(r, 2, 10, QLatin1Char('0')));
        table.setCell(2, r, QStringLiteral("01.02.2024"));
        table.setCell(6, r, QStringLiteral("DS18B20      "));
        table.setCell(7, r, r == 40 ? QStringLiteral("11,98") : QStringLiteral("12,07"));
    }
    const QByteArray json = StatisticsJson(StatisticsFor(table, {true, false}, Options{}));
    EXPECT_TRUE(json.contains(R"("mean":12.0678,)")) << json.toStdString();

    struct Case {
        double value;
        int decimals;
        double rounded;
    };
    const Case cases[] = {{12.06775, 4, 12.0678}, {-12.06775, 4, -12.0678}, {2.675, 2, 2.68},
                          {0.00004, 4, 0},        {1234567.5, 0, 1234568},  {23.47384, 4, 23.4738}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(RoundedFigure(c.value, c.decimals), c.rounded);
    }
}

TEST(StatsCommand, RunsOverAProjectFileInBothLanguages) {
    const velda::test::RussianFormats ru;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("a.vd"));
    ASSERT_TRUE(SaveProject(TwoChannelTable(), path, {true, true}).ok());

    struct Case {
        std::uint8_t language;
        bool json;
        const char *expected;
    };
    const Case cases[] = {
        {0, false, "Среднее"},
        {1, false, "Mean kinetic temperature"},
        {1, true, "\"mkt\":23.4738"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.expected);
        LanguageIndex.store(c.language);
        Options options;
        options.input = path;
        options.json = c.json;
        std::FILE *out = std::tmpfile();
        std::FILE *err = std::tmpfile();
        EXPECT_EQ(RunStats(options, Streams{out, err, false}), ExitOk);
        const QString text = velda::cli::test::ReadBack(out);
        EXPECT_TRUE(text.contains(QString::fromUtf8(c.expected))) << text.toStdString();
        EXPECT_EQ(velda::cli::test::ReadBack(err), QString());
        std::fclose(out);
        std::fclose(err);
    }
    LanguageIndex.store(0);

    Options missing;
    missing.input = dir.filePath(QStringLiteral("none.vd"));
    std::FILE *out = std::tmpfile();
    std::FILE *err = std::tmpfile();
    EXPECT_EQ(RunStats(missing, Streams{out, err, false}), ExitFile);
    EXPECT_TRUE(velda::cli::test::ReadBack(err).contains(QStringLiteral("none.vd")));
    std::fclose(out);
    std::fclose(err);
}
