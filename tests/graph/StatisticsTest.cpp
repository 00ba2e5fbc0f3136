// Statistics of hand-made tables against figures worked out by hand, the mean kinetic temperature, limits
// and their per-user storage, and the out-of-limit test of table cells.
#include "graph/Statistics.h"
#include "graph/LimitLines.h"
#include "graph/Limits.h"

#include "graph/GraphTestTables.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace velda {
namespace {

using test::MakeTable;
using test::RussianFormats;

SystemFormats Ru() {
    return SystemFormats::FromLocale(QLocale(QLocale::Russian, QLocale::Russia));
}

Stamp At(int y, int m, int d, int hh, int mm, int ss) {
    return StampOf(QDate(y, m, d), QTime(hh, mm, ss));
}

const QuantityStats *Find(const ArchiveStatistics &stats, int channel, const QString &sensor, Quantity q) {
    for (const QuantityStats &s : stats.groups) {
        if (s.channel == channel && s.sensor == sensor && s.quantity == q) return &s;
    }
    return nullptr;
}

Limits TemperatureLimits(std::optional<double> low, std::optional<double> high) {
    Limits limits;
    limits.set(Quantity::Temperature, Limit{low, high});
    return limits;
}

// 20, NAN, 22, (three hours) 18, empty, 24: the NAN and the empty cell are not values.
ArchiveTable GapTable() {
    return MakeTable({{"10:00:00", "01.02.2024", "DS18B20      ", "20,00"},
                      {"10:10:00", "01.02.2024", "DS18B20      ", "NAN"},
                      {"10:20:00", "01.02.2024", "DS18B20      ", "22,00"},
                      {"13:20:00", "01.02.2024", "DS18B20      ", "18,00"},
                      {"13:30:00", "01.02.2024", "DS18B20      ", ""},
                      {"13:40:00", "01.02.2024", "DS18B20      ", "24,00"}},
                     10);
}

TEST(StatisticsTest, SeriesWithGapsAndNanCells) {
    const ArchiveTable table = GapTable();
    const ArchiveStatistics stats =
        ComputeStatistics(table, ChannelSlotsOf(table, true, false), Ru(), TemperatureLimits(19, 21.5));
    ASSERT_EQ(stats.groups.size(), 1U);
    const QuantityStats &s = stats.groups.front();
    EXPECT_EQ(s.channel, 1);
    EXPECT_EQ(s.sensor, QStringLiteral("DS18B20"));
    EXPECT_EQ(s.quantity, Quantity::Temperature);
    EXPECT_EQ(s.count, 4);
    EXPECT_EQ(s.first, At(2024, 2, 1, 10, 0, 0));
    EXPECT_EQ(s.last, At(2024, 2, 1, 13, 40, 0));
    EXPECT_DOUBLE_EQ(s.min, 18);
    EXPECT_EQ(s.minAt, At(2024, 2, 1, 13, 20, 0));
    EXPECT_DOUBLE_EQ(s.max, 24);
    EXPECT_EQ(s.maxAt, At(2024, 2, 1, 13, 40, 0));
    EXPECT_DOUBLE_EQ(s.mean, 21);
    EXPECT_NEAR(s.stddev, std::sqrt(20.0 / 3.0), 1e-12);
    ASSERT_TRUE(s.limits);
    // Intervals 1200, 10800, 1200 s; the last reading ends the span.
    EXPECT_EQ(s.limits->belowCount, 1); // 18
    EXPECT_DOUBLE_EQ(s.limits->belowSeconds, 1200);
    EXPECT_EQ(s.limits->aboveCount, 2); // 22 over the gap, 24 at the end
    EXPECT_DOUBLE_EQ(s.limits->aboveSeconds, 10800);
}

TEST(StatisticsTest, ReadingsExactlyOnALimitAreInside) {
    const ArchiveTable table = MakeTable({{"10:00:00", "01.02.2024", "DS18B20      ", "19,00"},
                                          {"10:01:00", "01.02.2024", "DS18B20      ", "21,50"},
                                          {"10:02:00", "01.02.2024", "DS18B20      ", "21,51"},
                                          {"10:04:00", "01.02.2024", "DS18B20      ", "18,99"}},
                                         10);
    const ArchiveStatistics stats =
        ComputeStatistics(table, ChannelSlotsOf(table, true, false), Ru(), TemperatureLimits(19, 21.5));
    ASSERT_EQ(stats.groups.size(), 1U);
    const LimitFigures &f = *stats.groups.front().limits;
    EXPECT_EQ(f.belowCount, 1);
    EXPECT_EQ(f.aboveCount, 1);
    EXPECT_DOUBLE_EQ(f.aboveSeconds, 120); // 10:02 to 10:04
    EXPECT_DOUBLE_EQ(f.belowSeconds, 0);   // the last reading ends the span

    struct Case {
        const char *name;
        Limit limit;
        double value;
        bool below;
        bool above;
    };
    const Case cases[] = {
        {"on the lower limit", {19.0, 25.0}, 19.0, false, false},
        {"on the upper limit", {19.0, 25.0}, 25.0, false, false},
        {"just below", {19.0, 25.0}, 18.99, true, false},
        {"just above", {19.0, 25.0}, 25.01, false, true},
        {"no lower side", {std::nullopt, 25.0}, -500.0, false, false},
        {"no upper side", {19.0, std::nullopt}, 5000.0, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.limit.below(c.value), c.below);
        EXPECT_EQ(c.limit.above(c.value), c.above);
    }
}

TEST(StatisticsTest, OneValue) {
    const ArchiveTable table = MakeTable({{"23:59:59", "31.12.2023", "DS18B20      ", "-5,25"}}, 10);
    const ArchiveStatistics stats =
        ComputeStatistics(table, ChannelSlotsOf(table, true, false), Ru(), TemperatureLimits(0, 10));
    ASSERT_EQ(stats.groups.size(), 1U);
    const QuantityStats &s = stats.groups.front();
    EXPECT_EQ(s.count, 1);
    EXPECT_DOUBLE_EQ(s.min, -5.25);
    EXPECT_DOUBLE_EQ(s.max, -5.25);
    EXPECT_DOUBLE_EQ(s.mean, -5.25);
    EXPECT_DOUBLE_EQ(s.stddev, 0);
    ASSERT_TRUE(s.mkt);
    EXPECT_NEAR(*s.mkt, -5.25, 1e-9);
    EXPECT_EQ(s.limits->belowCount, 1);
    EXPECT_DOUBLE_EQ(s.limits->belowSeconds, 0); // a lone reading spans no time
}

TEST(StatisticsTest, SensorChangeMidTableAndTwoChannels) {
    // Channel 1 changes from MK SHT to SHT and back; channel 2 holds a thermometer and a heat-flux probe.
    const ArchiveTable table = MakeTable(
        {{"10:00:00", "01.02.2024", "MK SHT       ", "20,00", "40,00", "6,00", "DS18B20      ", "5,00"},
         {"10:10:00", "01.02.2024", "SHT          ", "21,00", "50,00", "10,20", "DS18B20      ", "7,00"},
         {"10:20:00", "01.02.2024", "MK SHT       ", "22,00", "60,00", "14,00", "Тепл. поток  ", "", "",
          "-900,00"},
         {"10:30:00", "01.02.2024", "MK SHT       ", "24,00", "150,00", "16,00", "Тепл. поток  ", "", "",
          "-750,50"}},
        14);
    const ArchiveStatistics stats = ComputeStatistics(table, ChannelSlotsOf(table, true, true), Ru(), {});
    std::vector<std::pair<QString, Quantity>> order;
    for (const QuantityStats &s : stats.groups)
        order.emplace_back(QString::number(s.channel) + QLatin1Char(' ') + s.sensor, s.quantity);
    const std::vector<std::pair<QString, Quantity>> expected{
        {QStringLiteral("1 MK SHT"), Quantity::Temperature},
        {QStringLiteral("1 MK SHT"), Quantity::Humidity},
        {QStringLiteral("1 MK SHT"), Quantity::DewPoint},
        {QStringLiteral("1 SHT"), Quantity::Temperature},
        {QStringLiteral("1 SHT"), Quantity::Humidity},
        {QStringLiteral("1 SHT"), Quantity::DewPoint},
        {QStringLiteral("2 DS18B20"), Quantity::Temperature},
        {QStringLiteral("2 Тепл. поток"), Quantity::HeatFlux},
    };
    EXPECT_EQ(order, expected);

    const QuantityStats *t = Find(stats, 1, QStringLiteral("MK SHT"), Quantity::Temperature);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->count, 3);
    EXPECT_NEAR(t->mean, 22, 1e-12);
    EXPECT_EQ(t->firstRow, 1);
    // 150 % is no humidity the graph would draw, but the table shows it.
    EXPECT_EQ(Find(stats, 1, QStringLiteral("MK SHT"), Quantity::Humidity)->count, 3);
    EXPECT_EQ(Find(stats, 1, QStringLiteral("SHT"), Quantity::DewPoint)->min, 10.2);
    // -900 W/m2 lies outside channel 2's heat-flux range on the graph, but the table shows it.
    const QuantityStats *q = Find(stats, 2, QStringLiteral("Тепл. поток"), Quantity::HeatFlux);
    ASSERT_TRUE(q);
    EXPECT_EQ(q->count, 2);
    EXPECT_DOUBLE_EQ(q->min, -900);
    EXPECT_FALSE(q->mkt);
    EXPECT_EQ(Find(stats, 2, QStringLiteral("DS18B20"), Quantity::Temperature)->count, 2);
}

TEST(StatisticsTest, ChannelTwoAloneAndRowsOutOfTimeOrder) {
    // Rows sorted by temperature (as the graph leaves them): first, last and durations follow the clock.
    const ArchiveTable table = MakeTable({{"12:00:00", "02.02.2024", "DS18B20      ", "1,00"},
                                          {"11:00:00", "02.02.2024", "DS18B20      ", "2,00"},
                                          {"10:00:00", "02.02.2024", "DS18B20      ", "9,00"}},
                                         10);
    const ArchiveStatistics stats = ComputeStatistics(table, ChannelSlotsOf(table, false, true), Ru(),
                                                      TemperatureLimits(std::nullopt, 5));
    ASSERT_EQ(stats.groups.size(), 1U);
    const QuantityStats &s = stats.groups.front();
    EXPECT_EQ(s.channel, 2);
    EXPECT_EQ(s.first, At(2024, 2, 2, 10, 0, 0));
    EXPECT_EQ(s.last, At(2024, 2, 2, 12, 0, 0));
    EXPECT_EQ(s.limits->aboveCount, 1);
    EXPECT_DOUBLE_EQ(s.limits->aboveSeconds, 3600);
}

TEST(StatisticsTest, DecimalCommaAndPointFollowTheFormats) {
    const ArchiveTable comma = MakeTable({{"10:00:00", "01.02.2024", "DS18B20      ", "20,50"},
                                          {"10:01:00", "01.02.2024", "DS18B20      ", "21.50"}},
                                         10);
    const ArchiveStatistics ru = ComputeStatistics(comma, ChannelSlotsOf(comma, true, false), Ru(), {});
    ASSERT_EQ(ru.groups.size(), 1U);
    EXPECT_EQ(ru.groups.front().count, 1); // "21.50" is no number with a decimal comma
    EXPECT_DOUBLE_EQ(ru.groups.front().mean, 20.5);

    const SystemFormats us = SystemFormats::FromLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    ArchiveTable point;
    point.setRowCount(3);
    for (int r = 1; r <= 2; ++r) {
        point.setCell(0, r, QString::number(r));
        point.setCell(1, r, FormatTimeCell(QTime(10, r, 0), us));
        point.setCell(2, r, FormatDateCell(QDate(2024, 2, 1), us));
        point.setCell(6, r, QStringLiteral("DS18B20      "));
        point.setCell(7, r, CellFormat(20.25 * r, us.decimalSeparator));
    }
    const ArchiveStatistics en = ComputeStatistics(point, ChannelSlotsOf(point, true, false), us, {});
    ASSERT_EQ(en.groups.size(), 1U);
    EXPECT_EQ(en.groups.front().count, 2);
    EXPECT_DOUBLE_EQ(en.groups.front().max, 40.5);
}

TEST(StatisticsTest, RowsWithoutSensorOrTimeAreSkipped) {
    const ArchiveTable table = MakeTable({{"10:00:00", "01.02.2024", "", "30,00"},
                                          {"NAN", "01.02.2024", "DS18B20      ", "31,00"},
                                          {"10:02:00", "NAN", "DS18B20      ", "32,00"},
                                          {"10:03:00", "01.02.2024", "NAN", "33,00"},
                                          {"10:04:00", "01.02.2024", "DS18B20      ", "34,00"}},
                                         10);
    const ArchiveStatistics stats = ComputeStatistics(table, ChannelSlotsOf(table, true, false), Ru(), {});
    ASSERT_EQ(stats.groups.size(), 1U);
    EXPECT_EQ(stats.groups.front().count, 1);
    EXPECT_EQ(stats.groups.front().firstRow, 5);
    EXPECT_EQ(stats.unreadableRows, 2); // the NAN time and the NAN date
}

TEST(StatisticsTest, MeanKineticTemperature) {
    // Equal weights: T_K = (ΔH/R) / -ln(mean of exp(-ΔH/(R T_i))), T_i in kelvin, ΔH/R = 83.144 kJ/mol over
    // 8.3144 J/(mol K) = 10,000 K. Expected values worked out independently in double precision.
    struct Case {
        const char *name;
        std::vector<double> celsius;
        double activationK;
        double expected;
    };
    const Case cases[] = {
        {"constant", {25, 25, 25, 25, 25}, 10000, 25.0},
        {"20 and 30", {20, 30}, 10000, 26.25988691600344},
        {"cold chain 2..8", {2, 8, 4, 6}, 10000, 5.302088397105024},
        {"one excursion", {25, 25, 25, 40}, 10000, 31.27513712778898},
        {"from kJ/mol", {20, 30}, 83144.0 / 8.3144, 26.25988691600344},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto mkt = MeanKineticTemperature(c.celsius, c.activationK);
        ASSERT_TRUE(mkt);
        EXPECT_NEAR(*mkt, c.expected, 1e-9);
    }
    // Above the arithmetic mean whenever the readings vary.
    EXPECT_GT(*MeanKineticTemperature({2, 8}), 5.0);
    // Near absolute zero the sum does not underflow.
    const auto cold = MeanKineticTemperature({-273, 20});
    ASSERT_TRUE(cold);
    EXPECT_TRUE(std::isfinite(*cold));
    EXPECT_FALSE(MeanKineticTemperature({}));
}

TEST(StatisticsTest, SheetTextsFollowLanguageAndSeparator) {
    const ArchiveTable table = GapTable();
    const ArchiveStatistics stats =
        ComputeStatistics(table, ChannelSlotsOf(table, true, false), Ru(), TemperatureLimits(19, 21.5));
    const auto sheets = MakeStatsSheets(stats, 0, Ru());
    ASSERT_EQ(sheets.size(), 1U);
    const auto &rows = sheets.front().rows;
    auto row = [&](const QString &name) {
        for (const QStringList &r : rows)
            if (r.front() == name) return r;
        return QStringList();
    };
    EXPECT_EQ(row(QStringLiteral("Датчик")),
              QStringList({QStringLiteral("Датчик"), QStringLiteral("DS18B20")}));
    EXPECT_EQ(row(QStringLiteral("Среднее")).value(1), QStringLiteral("21,00"));
    EXPECT_EQ(row(QStringLiteral("Время минимума")).value(1), QStringLiteral("01.02.2024 13:20:00"));
    EXPECT_EQ(row(QStringLiteral("Выше предела")).value(1), QStringLiteral("2 (50,00 %)"));
    EXPECT_EQ(row(QStringLiteral("Время выше предела")).value(1), QStringLiteral("3:00:00"));

    const QString clip = StatsClipboardText(MakeStatsSheets(stats, 1, Ru()), 1);
    EXPECT_TRUE(clip.startsWith(QStringLiteral("Chanal 1\r\nSensor\tDS18B20\r\n")));
    EXPECT_TRUE(clip.contains(QStringLiteral("Mean kinetic temperature\t")));
}

TEST(StatisticsTest, FormatDuration) {
    EXPECT_EQ(FormatDuration(0), QStringLiteral("0:00:00"));
    EXPECT_EQ(FormatDuration(59.6), QStringLiteral("0:01:00"));
    EXPECT_EQ(FormatDuration(51 * 3600 + 15 * 60 + 30), QStringLiteral("51:15:30"));
}

TEST(LimitsTest, ParseLimitArgument) {
    using K = LimitError::Kind;
    struct Case {
        const char *text;
        std::optional<K> error;
        Quantity quantity;
        std::optional<double> low;
        std::optional<double> high;
    };
    const Case cases[] = {
        {"temperature=2:8", {}, Quantity::Temperature, 2.0, 8.0},
        {"humidity=:70", {}, Quantity::Humidity, std::nullopt, 70.0},
        {"dewpoint=-5.5:", {}, Quantity::DewPoint, -5.5, std::nullopt},
        {"pressure=700,5:800", {}, Quantity::Pressure, 700.5, 800.0},
        {"heatflux=-10:-10", {}, Quantity::HeatFlux, -10.0, -10.0},
        {"temperature=:", K::NoLimit, {}, {}, {}},
        {"temperature=8:2", K::LowAboveHigh, {}, {}, {}},
        {"temperature=2-8", K::NotARange, {}, {}, {}},
        {"temperature=a:8", K::NotANumber, {}, {}, {}},
        {"temperature=nan:8", K::NotANumber, {}, {}, {}},
        {"temp=2:8", K::UnknownQuantity, {}, {}, {}},
        {"2:8", K::NoEquals, {}, {}, {}},
        {"temperature=1:2:3", K::NotARange, {}, {}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const auto parsed = ParseLimitArgument(QString::fromUtf8(c.text));
        ASSERT_EQ(parsed.ok(), !c.error);
        if (c.error) {
            EXPECT_EQ(parsed.error().kind, *c.error);
            EXPECT_TRUE(parsed.error().message.contains(QString::fromUtf8(c.text)));
            continue;
        }
        const ParsedLimit &p = parsed.value();
        EXPECT_EQ(p.quantity, c.quantity);
        EXPECT_EQ(p.limit.low, c.low);
        EXPECT_EQ(p.limit.high, c.high);
    }
}

TEST(LimitsTest, SettingsRoundTripInATemporaryFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("velda9.ini"));
    StatsSettings values;
    values.limits.set(Quantity::Temperature, Limit{2.5, 8.0});
    values.limits.set(Quantity::Humidity, Limit{std::nullopt, 70.0});
    values.mktActivationK = 9500;
    {
        QSettings settings(path, QSettings::IniFormat);
        SaveStatsSettings(settings, values);
    }
    QSettings settings(path, QSettings::IniFormat);
    EXPECT_EQ(LoadStatsSettings(settings), values);

    // Clearing a side removes it; text that is no number is ignored.
    values.limits.set(Quantity::Temperature, Limit{std::nullopt, 8.0});
    SaveStatsSettings(settings, values);
    settings.setValue(QStringLiteral("limits/pressure/low"), QStringLiteral("abc"));
    const StatsSettings back = LoadStatsSettings(settings);
    EXPECT_EQ(back.limits.of(Quantity::Temperature), (Limit{std::nullopt, 8.0}));
    EXPECT_FALSE(back.limits.of(Quantity::Pressure).isSet());
}

TEST(LimitsTest, UserSettingsLiveWhereTheSettingsPathPoints) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    StatsSettings values;
    values.limits.set(Quantity::HeatFlux, Limit{-100.0, 100.0});
    SaveStatsSettings(*OpenUserSettings(), values);
    EXPECT_TRUE(QFileInfo(OpenUserSettings()->fileName()).absoluteFilePath().startsWith(dir.path()));
    EXPECT_EQ(LoadStatsSettings(*OpenUserSettings()), values);
}

TEST(LimitsTest, OutOfLimitCells) {
    ArchiveTable table =
        MakeTable({{"10:00:00", "01.02.2024", "SHT          ", "30,00", "75,00", "25,00", "DS18B20      ",
                    "4,00", "", "99,00"},
                   {"10:01:00", "01.02.2024", "SHT          ", "NAN", "", "20,00", "DS18B20      ", "25,00"},
                   {"10:02:00", "01.02.2024", "SHT          ", "", "", "", "ХА-Термопара ", "1300,00"}},
                  14);
    Limits limits;
    limits.set(Quantity::Temperature, Limit{5.0, 25.0});
    limits.set(Quantity::Humidity, Limit{std::nullopt, 70.0});
    limits.set(Quantity::DewPoint, Limit{std::nullopt, 21.0});
    struct Case {
        int col;
        int row;
        bool outside;
    };
    const Case cases[] = {
        {7, 1, true},   // 30 °C above 25
        {8, 1, true},   // 75 % above 70
        {9, 1, true},   // dew point 25 above 21
        {9, 2, false},  // dew point 20
        {7, 2, false},  // NAN
        {8, 2, false},  // empty
        {11, 1, true},  // 4 °C below 5
        {11, 2, false}, // 25 °C on the limit
        {11, 3, true},  // 1300 °C of a thermocouple, beyond the graph's axis range
        {13, 1, false}, // a thermometer has no third quantity
        {6, 1, false},  // sensor name
        {7, 0, false},  // header
        {2, 1, false},  // date
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "column " << c.col << " row " << c.row);
        EXPECT_EQ(OutOfLimitCells(table, limits, Ru()).outside(c.col, c.row), c.outside);
    }
    EXPECT_FALSE(OutOfLimitCells(table, Limits{}, Ru()).outside(7, 1));
}

TEST(LimitsTest, UnrecognisedSensorFollowsTheThirdHeader) {
    EXPECT_EQ(ThirdQuantityOf(u"Probe 42", u"Давление, мм рт. ст."), Quantity::Pressure);
    EXPECT_EQ(ThirdQuantityOf(u"Probe 42", u"Dew Point, °C"), Quantity::DewPoint);
    EXPECT_EQ(ThirdQuantityOf(u"Probe 42", u"Q, W/m2"), std::nullopt);
    // Format-2 names are recognised without a device exchange.
    EXPECT_EQ(ThirdQuantityOf(u"MK BMP280 SHT", u"Q, W/m2"), Quantity::Pressure);
    EXPECT_EQ(ThirdQuantityOf(u"Therm. stream", u""), Quantity::HeatFlux);
    EXPECT_EQ(ThirdQuantityOf(u"Thermistor Pt", u"Dew Point, °C"), std::nullopt);
}

} // namespace
} // namespace velda

namespace velda {
namespace {

TEST(LimitLinesTest, ShownLinesOfPresentChannelsOnly) {
    const RussianFormats ru;
    // Channel 1 a humidity probe (temperature and dew point shown, humidity hidden), channel 2 a thermometer.
    ArchiveTable table = MakeTable(
        {{"10:00:00", "01.02.2024", "SHT          ", "20,00", "40,00", "6,00", "DS18B20      ", "5,00"},
         {"10:10:00", "01.02.2024", "SHT          ", "26,00", "50,00", "10,00", "DS18B20      ", "7,00"}},
        14);
    GraphModel model(0);
    ASSERT_TRUE(model.build(table, true, true, 0, CurrentFormats()).ok());
    EXPECT_EQ(SeriesQuantity(model, 0), Quantity::Temperature);
    EXPECT_EQ(SeriesQuantity(model, 1), Quantity::Humidity);
    EXPECT_EQ(SeriesQuantity(model, 2), Quantity::DewPoint);
    EXPECT_EQ(SeriesQuantity(model, 3), Quantity::Temperature);

    EXPECT_TRUE(LimitLinesFor(model, Limits{}).empty());
    Limits limits;
    limits.set(Quantity::Temperature, Limit{2.0, 8.0});
    limits.set(Quantity::DewPoint, Limit{std::nullopt, 8.0}); // same value as the temperature's, same axis
    limits.set(Quantity::Humidity, Limit{std::nullopt, 45.0});
    const std::vector<LimitLine> expected{
        {0, ValueAxis::Left, 2.0, 0xFF0000},
        {0, ValueAxis::Left, 8.0, 0xFF0000},
        {3, ValueAxis::Right, 2.0, 0x0000FF},
        {3, ValueAxis::Right, 8.0, 0x0000FF},
    };
    EXPECT_EQ(LimitLinesFor(model, limits), expected);

    // Hiding channel 2 removes its lines; showing the humidity brings its own limit.
    model.sensorCheckClicked(1, false);
    model.quantityChosen(0, true);
    const std::vector<LimitLine> humidity{{1, ValueAxis::Left, 45.0, 0x008000}};
    EXPECT_EQ(LimitLinesFor(model, limits), humidity);
}

} // namespace
} // namespace velda
