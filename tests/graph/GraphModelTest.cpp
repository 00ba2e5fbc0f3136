// Graph construction from hand-made tables, sensor recognition, and titles after channel choices.
#include "graph/GraphModel.h"

#include "GraphTestTables.h"
#include "QtPrinters.h"
#include "base/Texts.h"

#include <gtest/gtest.h>

using namespace velda;
using namespace velda::test;

namespace {

const QString kT1 = QStringLiteral("Температура, °C Канал 1");
const QString kT2 = QStringLiteral("Температура, °C Канал 2");
const QString kH2 = QStringLiteral("Влажность, % Канал 2");
const QString kP2 = QStringLiteral("Давление, мм рт. ст. Канал 2");
const QString kCr = QStringLiteral("\r");

std::vector<double> Ys(const SeriesState &s) {
    std::vector<double> out;
    for (const GraphPoint &p : s.points)
        out.push_back(p.y);
    return out;
}

struct Built {
    GraphModel model;
    std::optional<GraphError> error;
};

Built Build(ArchiveTable &table, bool ch1, bool ch2, int format, std::uint8_t language = 0) {
    Built b{GraphModel(language), std::nullopt};
    if (const auto built = b.model.build(table, ch1, ch2, format, CurrentFormats()); !built)
        b.error = built.error();
    return b;
}

} // namespace

TEST(ClassifySensor, WholeTextLatinCaseOnly) {
    struct Case {
        const char *text;
        int format;
        int code;
    } cases[] = {
        {"DS18B20      ", 0, 3},
        {"ds18b20      ", 0, 3},
        {"DS18B20", 0, 0},
        {"ХА-Термопара ", 0, 1},
        {"XA-Thermopair", 0, 1},
        {"xa-thermopair", 2, 1},
        {"ха-термопара ", 0, 0},
        {"Тепл. поток  ", 0, 4},
        {"Therm. stream", 2, 5},
        {"Свободен     ", 0, 0},
        {"", 0, 0},
        {"MK BMP280 SHT", 0, 0},
        {"MK BMP280 SHT", 2, 7},
        {"ТПР-Термопара", 0, 0},
        {"TPR-Thermopair", 2, 3},
        {"SHT          ", 0, 6},
        {"SHT          ", 2, 8},
        {"mk sht       ", 2, 6},
        {"ХK-Т. пара+Pt", 0, 9},
        {"Термосопр. Pt", 1, 7},
        {"Термосопр. PT", 1, 7},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ClassifySensor(QString::fromUtf8(c.text), c.format), c.code);
    }
}

TEST(GraphConstruction, TwoChannelsTemperatureAndPressure) {
    RussianFormats formats;
    ArchiveTable t = MakeTable(
        {
            {"10:00:02", "05.03.2018", "DS18B20      ", "22,00", "", "", "MK BMP280 SHT", "20,00", "40,00",
             "750,00"},
            {"10:00:00", "05.03.2018", "DS18B20      ", "21,00", "", "", "MK BMP280 SHT", "19,00", "41,00",
             "751,00"},
            {"10:00:01", "05.03.2018", "DS18B20      ", "23,50", "", "", "MK BMP280 SHT", "18,00", "42,00",
             "752,00"},
        },
        14);
    Built b = Build(t, true, true, 2);
    ASSERT_FALSE(b.error);
    const GraphModel &m = b.model;
    EXPECT_EQ(m.channel(0).FirstCode, 4);
    EXPECT_EQ(m.channel(0).Quantities, QuantitySet::ThermoOnly);
    EXPECT_EQ(m.channel(1).SensorColumn, 10);
    EXPECT_EQ(m.channel(1).Quantities, QuantitySet::ThermoHygroPressure);

    // Points in time order whatever the row order.
    EXPECT_EQ(Ys(m.series(0)), (std::vector<double>{21.0, 23.5, 22.0}));
    EXPECT_DOUBLE_EQ(m.series(0).points[0].x, Days(2018, 3, 5, 10, 0, 0));
    EXPECT_EQ(Ys(m.series(3)), (std::vector<double>{19.0, 18.0, 20.0}));
    EXPECT_EQ(Ys(m.series(4)), (std::vector<double>{41.0, 42.0, 40.0}));
    EXPECT_EQ(Ys(m.series(5)), (std::vector<double>{751.0, 752.0, 750.0}));

    EXPECT_FALSE(m.series(1).active);
    EXPECT_FALSE(m.series(2).active);
    EXPECT_TRUE(m.series(3).active);
    EXPECT_FALSE(m.series(4).active);
    EXPECT_TRUE(m.series(5).active);
    EXPECT_EQ(m.series(3).axis, ValueAxis::Right);

    // Only the temperature line right after construction.
    EXPECT_EQ(m.axis(ValueAxis::Left).title, kT1);
    EXPECT_EQ(m.axis(ValueAxis::Right).title, kT2);

    const ChannelControls &c1 = m.controls(0);
    EXPECT_TRUE(c1.boxVisible);
    EXPECT_TRUE(c1.sensorCheckVisible);
    EXPECT_EQ(c1.sensorCaption, QStringLiteral("DS18B20      "));
    EXPECT_FALSE(c1.tempRadioVisible);
    EXPECT_FALSE(c1.thirdCheckVisible);
    EXPECT_EQ(c1.primarySwatch, std::optional<Rgb>(0xFF0000));
    const ChannelControls &c2 = m.controls(1);
    EXPECT_TRUE(c2.tempRadioVisible && c2.tempChecked && !c2.humChecked);
    EXPECT_EQ(c2.humCaption, QStringLiteral("Влажность, %"));
    EXPECT_EQ(c2.thirdCaption, QStringLiteral("Давление, мм рт. ст."));
    EXPECT_EQ(c2.thirdSwatch, std::optional<Rgb>(0xFF00FF));

    // Opening the graph left the table ordered by the channel-2 sensor name (all equal here) and the
    // channel-1 temperature sort has happened before.
    EXPECT_EQ(t.rowCount(), 4);
}

TEST(GraphConstruction, StopRuleShortCellsAndFirstRow) {
    RussianFormats formats;
    // Sorted by the channel-1 temperature: 5 (short name, skipped), 10 (A), 15 (B: stops), 20 (A).
    ArchiveTable t = MakeTable(
        {
            {"10:00:04", "05.03.2018", "DS18B20      ", "20,00"},
            {"10:00:01", "05.03.2018", "DS18B20      ", "10,00"},
            {"10:00:03", "05.03.2018", "ХА-Термопара ", "15,00"},
            {"10:00:00", "05.03.2018", "DS", "5,00"},
        },
        10);
    Built b = Build(t, true, false, 0);
    ASSERT_FALSE(b.error);
    EXPECT_EQ(b.model.channel(0).FirstCode, 0) << "the first row after sorting has the short name";

    // Give the short row a temperature above all others: the first row is then the 10-degree one.
    t.setCell(7, 1, QStringLiteral("99,00"));
    Built again = Build(t, true, false, 0);
    ASSERT_FALSE(again.error);
    EXPECT_EQ(again.model.channel(0).FirstCode, 3);
    EXPECT_EQ(Ys(again.model.series(0)), (std::vector<double>{10.0}));

    // An empty temperature cell sorts first and its sensor decides.
    ArchiveTable e = MakeTable(
        {
            {"10:00:00", "05.03.2018", "DS18B20      ", "10,00"},
            {"10:00:01", "05.03.2018", "SHT          ", ""},
        },
        10);
    Built first = Build(e, true, false, 0);
    EXPECT_EQ(first.model.channel(0).FirstCode, 6);
    EXPECT_EQ(first.model.channel(0).Quantities, QuantitySet::ThermoHygroDew);
    EXPECT_TRUE(first.model.series(0).points.empty());
}

TEST(GraphConstruction, RangesIncludeTheirBounds) {
    RussianFormats formats;
    struct Case {
        const char *name;
        const char *sensor;
        int format;
        bool channel2;
        const char *t;
        const char *h;
        const char *q;
        std::vector<double> primary;
        std::vector<double> humidity;
        std::vector<double> third;
    } cases[] = {
        {"lowest temperature", "DS18B20      ", 0, false, "-273,00", "", "", {-273}, {}, {}},
        {"highest temperature", "DS18B20      ", 0, false, "1200,00", "", "", {1200}, {}, {}},
        {"above the top", "DS18B20      ", 0, false, "1200,01", "", "", {}, {}, {}},
        {"humidity bounds", "SHT          ", 0, false, "20,00", "100,00", "5,00", {20}, {100}, {5}},
        {"humidity -100", "SHT          ", 0, false, "20,00", "-100,00", "5,00", {20}, {-100}, {5}},
        {"humidity out", "SHT          ", 0, false, "20,00", "100,01", "5,00", {20}, {}, {}},
        {"temperature out", "SHT          ", 0, false, "1300,00", "50,00", "5,00", {}, {}, {}},
        {"dew point out", "SHT          ", 0, false, "20,00", "50,00", "-274,00", {20}, {50}, {}},
        {"flux -900 ch1", "Тепл. поток  ", 0, false, "", "", "-900,00", {-900}, {}, {}},
        {"flux -1000 ch1", "Тепл. поток  ", 0, false, "", "", "-1000,00", {-1000}, {}, {}},
        {"flux -900 ch2", "Тепл. поток  ", 0, true, "", "", "-900,00", {}, {}, {}},
        {"flux -800 ch2", "Тепл. поток  ", 0, true, "", "", "-800,00", {-800}, {}, {}},
        {"pressure 0", "MK BMP280 SHT", 2, false, "20,00", "50,00", "0,00", {20}, {50}, {0}},
        {"pressure negative", "MK BMP280 SHT", 2, false, "20,00", "50,00", "-0,01", {20}, {50}, {}},
        {"blank value cell", "DS18B20      ", 0, false, " ", "", "", {}, {}, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        // Channel 2 alone keeps its cells in columns 6 to 9.
        ArchiveTable t = MakeTable({{"12:00:00", "01.02.2019", c.sensor, c.t, c.h, c.q}}, 10);
        Built b = Build(t, !c.channel2, c.channel2, c.format);
        ASSERT_FALSE(b.error) << b.error->message(0).toStdString();
        const int base = c.channel2 ? 3 : 0;
        EXPECT_EQ(Ys(b.model.series(base)), c.primary);
        EXPECT_EQ(Ys(b.model.series(base + 1)), c.humidity);
        EXPECT_EQ(Ys(b.model.series(base + 2)), c.third);
    }
}

TEST(GraphConstruction, QuantitySetsPerChannelAndTable) {
    struct Case {
        int channel;
        int format;
        int code;
        QuantitySet set;
        TitleVariant own;
        TitleVariant byOther;
    } cases[] = {
        {0, 0, 3, QuantitySet::ThermoOnly, TitleVariant::TitleT, TitleVariant::TitleT},
        {0, 0, 4, QuantitySet::FluxOnly, TitleVariant::TitleQ, TitleVariant::TitleQ},
        {0, 1, 6, QuantitySet::ThermoHygroDew, TitleVariant::TitleSel, TitleVariant::TitleSel},
        {0, 0, 7, QuantitySet::NoPlot, TitleVariant::TitleT, TitleVariant::TitleNone},
        {0, 0, 9, QuantitySet::NoPlot, TitleVariant::TitleNone, TitleVariant::TitleNone},
        {0, 2, 7, QuantitySet::ThermoHygroPressure, TitleVariant::TitleSelP, TitleVariant::TitleSelP},
        {0, 2, 8, QuantitySet::ThermoHygroDew, TitleVariant::TitleSel, TitleVariant::TitleSel},
        {0, 2, 10, QuantitySet::NoPlot, TitleVariant::TitleT, TitleVariant::TitleT},
        {1, 0, 7, QuantitySet::ThermoOnly, TitleVariant::TitleT, TitleVariant::TitleT},
        {1, 0, 6, QuantitySet::NoPlot, TitleVariant::TitleNone, TitleVariant::TitleNone},
        {1, 1, 5, QuantitySet::ThermoHygroDew, TitleVariant::TitleSel, TitleVariant::TitleSel},
        {1, 2, 8, QuantitySet::NoPlot, TitleVariant::TitleNone, TitleVariant::TitleNone},
        {1, 2, 11, QuantitySet::ThermoOnly, TitleVariant::TitleT, TitleVariant::TitleT},
        {1, 2, 0, QuantitySet::NoPlot, TitleVariant::TitleNone, TitleVariant::TitleNone},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "channel " << c.channel + 1 << " format " << c.format << " code " << c.code);
        EXPECT_EQ(QuantitiesFor(c.channel, c.format, c.code), c.set);
        EXPECT_EQ(TitleVariantFor(c.channel, c.format, c.code, false), c.own);
        EXPECT_EQ(TitleVariantFor(c.channel, c.format, c.code, true), c.byOther);
    }
}

TEST(GraphConstruction, FormatTwoTableReadWithFormatZero) {
    RussianFormats formats;
    ArchiveTable t = MakeTable({{"12:00:00", "01.02.2019", "SHT          ", "20,00", "50,00", "9,00"}}, 10);
    Built b = Build(t, true, false, 0);
    EXPECT_EQ(b.model.channel(0).Quantities, QuantitySet::ThermoHygroDew);
    EXPECT_EQ(Ys(b.model.series(2)), (std::vector<double>{9.0}));

    ArchiveTable p = MakeTable({{"12:00:00", "01.02.2019", "MK BMP280 SHT", "20,00", "50,00", "750,00"}}, 10);
    Built none = Build(p, true, false, 0);
    EXPECT_EQ(none.model.channel(0).FirstCode, 0);
    // Code 0: the box holds only the sensor check box, and no axis title is written.
    EXPECT_TRUE(none.model.controls(0).boxVisible);
    EXPECT_TRUE(none.model.controls(0).sensorCheckVisible);
    EXPECT_FALSE(none.model.controls(0).primarySwatchVisible);
    EXPECT_TRUE(none.model.axis(ValueAxis::Left).title.isEmpty());
    EXPECT_TRUE(none.model.series(0).points.empty());
}

TEST(GraphConstruction, ChannelTwoAloneUsesTheFirstSlot) {
    RussianFormats formats;
    ArchiveTable t = MakeTable({{"12:00:01", "01.02.2019", "DS18B20      ", "25,00"},
                                {"12:00:00", "01.02.2019", "DS18B20      ", "1,00"}},
                               10);
    Built b = Build(t, false, true, 0);
    ASSERT_FALSE(b.error);
    EXPECT_EQ(b.model.channel(1).SensorColumn, 6);
    EXPECT_FALSE(b.model.controls(0).boxVisible);
    EXPECT_TRUE(b.model.controls(1).boxVisible);
    EXPECT_EQ(Ys(b.model.series(3)), (std::vector<double>{1.0, 25.0}));
    EXPECT_TRUE(b.model.series(0).points.empty());
    EXPECT_EQ(b.model.axis(ValueAxis::Right).title, kT2);
    EXPECT_TRUE(b.model.axis(ValueAxis::Left).title.isEmpty());
}

TEST(GraphConstruction, ConversionErrorEndsConstructionWhereItHappened) {
    RussianFormats formats;
    struct Case {
        const char *name;
        int row; // 0-based row of the bad cell among the data rows, after the temperature sort
        int column;
        const char *text;
        GraphError::Kind kind;
        std::size_t pointsBefore;
    } cases[] = {
        {"NAN humidity", 1, 8, "NAN", GraphError::Kind::Value, 2},
        {"date of another format", 2, 2, "2018-03-05", GraphError::Kind::Date, 2},
        {"bad time", 0, 1, "25:61:00", GraphError::Kind::Time, 0},
        {"NAN temperature fails the sort", 0, 7, "NAN", GraphError::Kind::Sort, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ArchiveTable t = MakeTable(
            {
                {"10:00:00", "05.03.2018", "SHT          ", "10,00", "50,00", "1,00", "DS18B20      ",
                 "1,00"},
                {"10:00:01", "05.03.2018", "SHT          ", "11,00", "51,00", "2,00", "DS18B20      ",
                 "2,00"},
                {"10:00:02", "05.03.2018", "SHT          ", "12,00", "52,00", "3,00", "DS18B20      ",
                 "3,00"},
            },
            14);
        t.setCell(c.column, c.row + 1, QString::fromUtf8(c.text));
        Built b = Build(t, true, true, 1);
        ASSERT_TRUE(b.error);
        EXPECT_EQ(b.error->kind, c.kind);
        if (c.kind != GraphError::Kind::Sort) {
            EXPECT_EQ(b.error->row, c.row + 1);
            EXPECT_EQ(b.error->column, c.column);
            EXPECT_TRUE(b.error->message(1).contains(QString::fromUtf8(c.text)));
            EXPECT_TRUE(b.model.controls(0).boxVisible);
        }
        EXPECT_EQ(b.model.series(0).points.size(), c.pointsBefore);
        EXPECT_FALSE(b.model.controls(1).boxVisible) << "channel 2 is not built after an error in channel 1";
        EXPECT_TRUE(b.model.series(3).points.empty());
    }
}

TEST(GraphConstruction, EnglishNamesAndCommaFreeLocale) {
    const SystemFormats saved = CurrentFormats();
    SetCurrentFormats(SystemFormats::FromLocale(QLocale(QLocale::English, QLocale::UnitedStates)));
    ArchiveTable t = MakeTable({{"23:59:59", "12/31/2019", "Therm. stream", "", "", "-12.5"}}, 10);
    Built b = Build(t, true, false, 0, 1);
    SetCurrentFormats(saved);
    ASSERT_FALSE(b.error);
    ASSERT_EQ(b.model.series(0).points.size(), 1u);
    EXPECT_DOUBLE_EQ(b.model.series(0).points[0].y, -12.5);
    EXPECT_DOUBLE_EQ(b.model.series(0).points[0].x, Days(2019, 12, 31, 23, 59, 59));
    EXPECT_EQ(b.model.axis(ValueAxis::Left).title, QStringLiteral("Thermal stream, W/m2 Chanal 1"));
}

TEST(ParseValueCell, NumbersOnly) {
    struct Case {
        const char *text;
        bool empty;
        bool ok;
        double value;
    } cases[] = {
        {"21,37", false, true, 21.37}, {" -5,00\t", false, true, -5.0}, {"", true, false, 0},
        {" \r\n", true, false, 0},     {"NAN", false, false, 0},        {"1,2,3", false, false, 0},
        {"21.37", false, false, 0},    {"+3", false, true, 3},          {"1e3", false, true, 1000},
        {",5", false, true, 0.5},      {"-", false, false, 0},          {"inf", false, false, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        const ParsedValue v = ParseValueCell(QString::fromUtf8(c.text), QLatin1Char(','));
        EXPECT_EQ(v.empty, c.empty);
        EXPECT_EQ(v.ok, c.ok);
        if (c.ok) {
            EXPECT_DOUBLE_EQ(v.value, c.value);
        }
    }
}

namespace {

// Channel 1 a thermometer, channel 2 a temperature-and-humidity probe of `name2` (format 2).
Built TwoChannels(const char *sensor1, const char *sensor2, int format = 2) {
    ArchiveTable t = MakeTable(
        {{"10:00:00", "05.03.2018", sensor1, "10,00", "20,00", "30,00", sensor2, "11,00", "21,00", "700,00"}},
        14);
    return Build(t, true, true, format);
}

} // namespace

TEST(GraphTitles, BothChannelsOnTheLeftAxis) {
    RussianFormats formats;
    Built b = TwoChannels("DS18B20      ", "MK SHT       ");
    b.model.axisChosen(1, ValueAxis::Left);
    EXPECT_EQ(b.model.axis(ValueAxis::Left).title, kT2 + kCr + kT1);
    EXPECT_FALSE(b.model.axis(ValueAxis::Right).visible);
    b.model.axisChosen(0, ValueAxis::Left);
    EXPECT_EQ(b.model.axis(ValueAxis::Left).title, kT1 + kCr + kT2);
    EXPECT_FALSE(b.model.axis(ValueAxis::Right).visible);
    for (int s = 0; s < 6; ++s)
        EXPECT_EQ(b.model.series(s).axis, ValueAxis::Left);
    // Channel 1 back to the right: each axis shows its own channel again.
    b.model.axisChosen(0, ValueAxis::Right);
    EXPECT_EQ(b.model.axis(ValueAxis::Right).title, kT1);
    EXPECT_EQ(b.model.axis(ValueAxis::Left).title, kT2);
    EXPECT_TRUE(b.model.axis(ValueAxis::Left).visible);
}

TEST(GraphTitles, HumidityChoiceAndBack) {
    RussianFormats formats;
    Built b = TwoChannels("DS18B20      ", "MK SHT       ");
    GraphModel &m = b.model;
    m.quantityChosen(1, true);
    EXPECT_FALSE(m.series(3).active);
    EXPECT_TRUE(m.series(4).active);
    EXPECT_FALSE(m.series(5).active);
    EXPECT_FALSE(m.controls(1).thirdSwatchEnabled);
    EXPECT_FALSE(m.controls(1).thirdSwatch);
    EXPECT_FALSE(m.controls(1).thirdCheckEnabled);
    EXPECT_EQ(m.controls(1).primarySwatch, std::optional<Rgb>(0x808080));
    EXPECT_EQ(m.axis(ValueAxis::Right).title, kH2);

    // A colour chosen while humidity shows goes to the humidity line only.
    m.colourChosen(1, false, 0x123456);
    EXPECT_EQ(m.series(4).colour, 0x123456u);
    EXPECT_EQ(m.series(3).colour, 0x0000FFu);

    m.thirdCheckClicked(1, false);
    m.quantityChosen(1, false);
    EXPECT_TRUE(m.series(3).active);
    EXPECT_FALSE(m.series(4).active);
    EXPECT_FALSE(m.series(5).active) << "the third series stays off while its box is cleared";
    EXPECT_EQ(m.controls(1).primarySwatch, std::optional<Rgb>(0x0000FF));
    EXPECT_EQ(m.axis(ValueAxis::Right).title, kT2);
}

TEST(GraphTitles, PressureProbeSecondLine) {
    RussianFormats formats;
    Built b = TwoChannels("DS18B20      ", "MK BMP280 SHT");
    GraphModel &m = b.model;
    EXPECT_EQ(m.axis(ValueAxis::Right).title, kT2);
    m.axisChosen(1, ValueAxis::Right);
    EXPECT_EQ(m.axis(ValueAxis::Right).title, kT2 + kCr + kP2);
    // Channel 1 choosing the left axis rewrites the right title with the bare pressure line.
    m.axisChosen(0, ValueAxis::Left);
    EXPECT_EQ(m.axis(ValueAxis::Right).title, kT2 + kCr + QStringLiteral("Давление, мм рт. ст."));
    // Both on the left: the pressure probe adds two lines.
    m.axisChosen(1, ValueAxis::Left);
    EXPECT_EQ(m.axis(ValueAxis::Left).title, kT2 + kCr + kP2 + kCr + kT1);
    m.axisChosen(0, ValueAxis::Left);
    EXPECT_EQ(m.axis(ValueAxis::Left).title, kT1 + kCr + kT2 + kCr + kP2);
    m.quantityChosen(1, true);
    EXPECT_EQ(m.axis(ValueAxis::Left).title, kH2 + kCr + kT1);

    // A channel-1 pressure probe in English.
    ArchiveTable t = MakeTable({{"10:00:00", "05.03.2018", "MK BMP280 SHT", "10,00", "20,00", "700,00"}}, 10);
    Built e = Build(t, true, false, 2, 1);
    e.model.quantityChosen(0, false);
    EXPECT_EQ(e.model.axis(ValueAxis::Left).title,
              QStringLiteral("Temperature, °C Chanal 1\rPressure, mm Hg Chanal 1"));
    EXPECT_FALSE(e.model.axis(ValueAxis::Right).visible);
}

TEST(GraphTitles, PlatinumThermometerTitlesOnlyByItsOwnButtons) {
    RussianFormats formats;
    Built b = TwoChannels("Термосопр. Pt", "MK SHT       ", 0);
    GraphModel &m = b.model;
    EXPECT_EQ(m.channel(0).Quantities, QuantitySet::NoPlot);
    EXPECT_TRUE(m.axis(ValueAxis::Left).title.isEmpty());
    // Channel 2 moves: channel 1's title would be written on the left, but this probe writes none.
    m.axisChosen(1, ValueAxis::Right);
    EXPECT_TRUE(m.axis(ValueAxis::Left).title.isEmpty());
    EXPECT_TRUE(m.axis(ValueAxis::Left).visible);
    m.axisChosen(0, ValueAxis::Left);
    EXPECT_EQ(m.axis(ValueAxis::Left).title, kT1);
}

TEST(GraphTitles, HiddenChannelKeepsItsAxisUntilTheNextChoice) {
    RussianFormats formats;
    Built b = TwoChannels("DS18B20      ", "MK SHT       ");
    GraphModel &m = b.model;
    m.sensorCheckClicked(1, false);
    for (int s = 3; s < 6; ++s)
        EXPECT_FALSE(m.series(s).active);
    EXPECT_TRUE(m.axis(ValueAxis::Right).visible);
    EXPECT_EQ(m.axis(ValueAxis::Right).title, kT2);
    EXPECT_FALSE(m.controls(1).primarySwatch);
    EXPECT_FALSE(m.controls(1).tempEnabled);
    EXPECT_TRUE(m.axisDrawn(ValueAxis::Right)) << "a hidden channel keeps its axis";
    m.axisChosen(0, ValueAxis::Left);
    EXPECT_FALSE(m.axis(ValueAxis::Right).visible);

    m.sensorCheckClicked(1, true);
    EXPECT_FALSE(m.axisDrawn(ValueAxis::Right)) << "hidden by the axis choice";
    EXPECT_TRUE(m.axisDrawn(ValueAxis::Left));
    EXPECT_TRUE(m.series(3).active);
    EXPECT_TRUE(m.series(5).active);
    EXPECT_FALSE(m.series(4).active);
    EXPECT_EQ(m.controls(1).primarySwatch, std::optional<Rgb>(0x0000FF));

    // Shown again while humidity is chosen: the humidity line is drawn, both swatches take their own
    // series' colours and every control is enabled again.
    m.quantityChosen(1, true);
    m.sensorCheckClicked(1, false);
    m.sensorCheckClicked(1, true);
    EXPECT_TRUE(m.series(4).active);
    EXPECT_FALSE(m.series(3).active);
    EXPECT_EQ(m.controls(1).primarySwatch, std::optional<Rgb>(0x0000FF));
    EXPECT_EQ(m.controls(1).thirdSwatch, std::optional<Rgb>(0xFF00FF));
    EXPECT_TRUE(m.controls(1).primarySwatchEnabled);
    EXPECT_TRUE(m.controls(1).thirdSwatchEnabled);
    EXPECT_TRUE(m.controls(1).thirdCheckEnabled);
}

TEST(GraphTitles, HandlersClearTheMarkerButColoursDoNot) {
    RussianFormats formats;
    Built b = TwoChannels("DS18B20      ", "MK SHT       ");
    GraphModel &m = b.model;
    const std::function<void()> handlers[] = {
        [&] { m.sensorCheckClicked(0, true); },
        [&] { m.quantityChosen(1, false); },
        [&] { m.thirdCheckClicked(1, true); },
        [&] { m.axisChosen(0, ValueAxis::Left); },
    };
    for (const auto &h : handlers) {
        m.setMarker(0, 0);
        ASSERT_EQ(m.series(GraphModel::kMarkerSeries).points.size(), 1u);
        h();
        EXPECT_TRUE(m.series(GraphModel::kMarkerSeries).points.empty());
    }
    m.setMarker(3, 0);
    EXPECT_EQ(m.series(GraphModel::kMarkerSeries).axis, ValueAxis::Right);
    EXPECT_EQ(m.series(GraphModel::kMarkerSeries).colour, 0x0000FFu);
    m.colourChosen(0, false, 0x00FF00);
    m.colourChosen(1, true, 0x00FF00);
    EXPECT_EQ(m.series(GraphModel::kMarkerSeries).points.size(), 1u);
}

// The flags name the last record only. A table that shows its second slot with values there offers both
// channels; one that shows ten columns keeps to its flags.
TEST(GraphConstruction, ChannelsFollowTheSlotsTheTableShows) {
    RussianFormats formats;
    struct Case {
        const char *name;
        int colCount;
        bool ch1;
        bool ch2;
        bool channel2Offered;
        std::size_t channel2Points;
    };
    const Case cases[] = {
        {"last record channel 1 alone, 14 columns", 14, true, false, true, 2},
        {"ten columns shown", 10, true, false, false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ArchiveTable t = MakeTable(
            {
                {"10:00:00", "05.03.2018", "DS18B20      ", "21,00", "", "", "DS18B20      ", "11,00"},
                {"10:01:00", "05.03.2018", "DS18B20      ", "22,00", "", "", "DS18B20      ", "12,00"},
                {"10:02:00", "05.03.2018", "DS18B20      ", "23,00"},
            },
            14);
        t.setColCount(c.colCount);
        Channel2Present = c.ch2;
        Built b = Build(t, c.ch1, c.ch2, 2);
        ASSERT_FALSE(b.error);
        EXPECT_EQ(b.model.channel(1).Present, c.channel2Offered);
        EXPECT_EQ(b.model.controls(1).boxVisible, c.channel2Offered);
        EXPECT_EQ(b.model.series(3).points.size(), c.channel2Points);
        EXPECT_EQ(b.model.series(0).points.size(), 3u);
        EXPECT_EQ(Channel2Present.load(), c.ch2) << "the flags stay as they were";
    }
}
