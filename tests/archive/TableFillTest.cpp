// The table fill: rule tables of all formats and record kinds, ranges, dew points, modes, headers.
#include "archive/TableFill.h"

#include "QtPrinters.h"
#include "RecordBytes.h"
#include "base/ArchiveTable.h"
#include "base/SharedTexts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace velda;
using velda::test::Concat;
using velda::test::RecordBytes;
using velda::test::RecordFields;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

class TableFillTest : public ::testing::Test {
protected:
    void SetUp() override {
        LanguageIndex = 0;
        Channel1Present = false;
        Channel2Present = false;
        for (int c = 0; c < 14; ++c)
            table.setCell(c, 0, PickIn(kHeaderTexts[c], 0));
    }
    void TearDown() override { LanguageIndex = 0; }

    void fill(int format, const std::vector<RecordFields> &fields, const FillContext &context = {}) {
        std::vector<std::vector<std::uint8_t>> records;
        for (const auto &s : fields)
            records.push_back(RecordBytes(format, s));
        const auto bytes = Concat(records);
        FillContext ctx = context;
        if (!ctx.formats) ctx.formats = &point;
        FillArchiveTable(table, bytes, fields.size(), format, ctx);
    }

    QString cell(int col, int row = 1) const { return table.cell(col, row); }

    ArchiveTable table;
    SystemFormats point = SystemFormats::FromLocale(QLocale(QStringLiteral("en_GB")));
};

// What each rule writes into a slot of a freshly filled row, for a channel with temperature `t`,
// humidity `h` and third quantity `a` that lie in every range.
struct SlotCells {
    QString temperature, humidity, third;
    const TextPair *header; // null: header unchanged ("Q, ...")
};

SlotCells Expected(ValueRule rule, double t, double h, double a) {
    const QChar dot('.');
    switch (rule) {
    case ValueRule::None:
        return {{}, {}, {}, nullptr};
    case ValueRule::Temperature:
    case ValueRule::TemperatureOnly:
        return {CellFormat(t, dot), {}, {}, nullptr};
    case ValueRule::HeatFlux:
        return {{}, {}, CellFormat(a, dot), nullptr};
    case ValueRule::DewPoint:
        return {CellFormat(t, dot), CellFormat(h, dot), CellFormat(DewPoint(h, t), dot), &TxtDewPointHeader};
    case ValueRule::Pressure:
        return {CellFormat(t, dot), CellFormat(h, dot), CellFormat(a, dot), &TxtPressureHeader};
    }
    return {};
}

constexpr auto N = ValueRule::None;
constexpr auto T = ValueRule::Temperature;
constexpr auto T0 = ValueRule::TemperatureOnly;
constexpr auto Q = ValueRule::HeatFlux;
constexpr auto D = ValueRule::DewPoint;
constexpr auto P = ValueRule::Pressure;

// Rule tables with the open combinations following the rule of the same code elsewhere in the format.
// Columns: channel 1 alone, channel 2 alone, both channels. Row 12 stands for codes outside the table.
constexpr ValueRule kExpectedA[13][3] = {
    {N, N, N}, {T, T, T}, {T, T, T}, {T, T, T}, {Q, Q, Q}, {D, D, D}, {D, D, D},
    {T, T, T}, {T, T, T}, {T, T, T}, {N, N, N}, {N, N, N}, {N, N, N},
};
constexpr ValueRule kExpectedB[13][3] = {
    {N, N, N}, {T0, T0, T0}, {T0, T0, T0}, {T0, T0, T0}, {T0, T0, T0}, {Q, Q, Q}, {D, D, D},
    {P, P, P}, {D, D, D},    {T0, T0, T},  {T0, T0, T0}, {T0, T0, T0}, {N, N, N},
};

} // namespace

TEST_F(TableFillTest, EveryCodeOfEveryFormatInEverySlot) {
    const RecordFields values; // channel 1: T 21.5, H 40, A 123.45; channel 2: T -7.25, H 60, A 456.5
    for (int format : {0, 1, 2}) {
        const int codes = format == 2 ? 12 : 10;
        for (int code = 0; code <= codes + 1; ++code) {
            const std::uint8_t sensor =
                code == codes + 1 ? std::uint8_t{0xC8} : static_cast<std::uint8_t>(code);
            const auto &expected = format == 2 ? kExpectedB : kExpectedA;
            const int expectedRow = std::min(code, 12);
            struct Kind {
                const char *name;
                std::uint8_t channels;
                RecordKind kind;
                int channel; // channel shown in slot 0
            } kinds[] = {{"channel 1 alone", 0x11, RecordKind::Channel1Alone, 1},
                         {"channel 2 alone", 0x21, RecordKind::Channel2Alone, 2},
                         {"both channels", 0x02, RecordKind::BothChannels, 1}};
            for (const auto &k : kinds) {
                SCOPED_TRACE(testing::Message()
                             << "format " << format << ", code " << int(sensor) << ", " << k.name);
                RecordFields r = values;
                r.channels = k.channels;
                r.sensor1 = sensor;
                r.sensor2 = sensor;
                SetUp();
                fill(format, {r});
                const ValueRule rule = expected[code > codes ? 12 : expectedRow][static_cast<int>(k.kind)];
                EXPECT_EQ(RuleFor(format, k.kind, sensor), rule);

                const auto name = SensorName(SensorTableOf(format), sensor, 0);
                const QString nameText = name ? *name : QStringLiteral("Неизв. код %1").arg(sensor);
                const int slots = k.kind == RecordKind::BothChannels ? 2 : 1;
                for (int slot = 0; slot < slots; ++slot) {
                    SCOPED_TRACE(slot);
                    const int channel = slot == 0 ? k.channel : 2;
                    const SlotCells want = channel == 1 ? Expected(rule, 21.5, 40.0, double(123.45f))
                                                        : Expected(rule, -7.25, 60.0, 456.5);
                    const int base = 6 + 4 * slot;
                    EXPECT_EQ(cell(base), nameText);
                    EXPECT_EQ(cell(base + 1), want.temperature);
                    EXPECT_EQ(cell(base + 2), want.humidity);
                    EXPECT_EQ(cell(base + 3), want.third);
                    EXPECT_EQ(cell(base + 3, 0), PickIn(want.header ? *want.header : TxtQ, 0));
                }
                if (slots == 1) {
                    for (int col = 10; col < 14; ++col)
                        EXPECT_EQ(cell(col), QString()) << col;
                }
                EXPECT_EQ(table.channels().channel1, k.channel == 1 || slots == 2);
                EXPECT_EQ(table.channels().channel2, k.channel == 2 || slots == 2);
            }
        }
    }
}

TEST_F(TableFillTest, RangeBoundsSuppressTheWholeChannel) {
    struct Case {
        const char *name;
        int format;
        std::uint8_t sensor;
        float t, h, a;
        bool shown;
    } cases[] = {
        {"T at -100", 1, 1, -100.0f, 0, 0, true},
        {"T at 1800", 1, 1, 1800.0f, 0, 0, true},
        {"T below -100", 1, 1, -100.01f, 0, 0, false},
        {"T above 1800", 1, 1, 1800.01f, 0, 0, false},
        {"T not a number", 2, 1, kNaN, 0, 0, false},
        {"D with H at 0", 1, 5, 20.0f, 0.0f, 0, true},
        {"D with H at 100", 1, 5, 20.0f, 100.0f, 0, true},
        {"D with H below 0", 1, 5, 20.0f, -0.01f, 0, false},
        {"D with H above 100", 2, 6, 20.0f, 100.01f, 0, false},
        {"D with H not a number", 2, 6, 20.0f, kNaN, 0, false},
        {"D with T above 1800", 2, 6, 1800.5f, 50.0f, 0, false},
        {"P at 0", 2, 7, 20.0f, 50.0f, 0.0f, true},
        {"P at 500000", 2, 7, 20.0f, 50.0f, 500000.0f, true},
        {"P above 500000", 2, 7, 20.0f, 50.0f, 500000.0625f, false},
        {"P negative", 2, 7, 20.0f, 50.0f, -1.0f, false},
        {"P with H out of range", 2, 7, 20.0f, 101.0f, 750.0f, false},
        {"Q huge negative", 2, 5, kNaN, kNaN, -1.0e9f, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        RecordFields r;
        r.channels = 0x01;
        r.sensor1 = c.sensor;
        r.temperature1 = c.t;
        r.humidity1 = c.h;
        r.aux1 = c.a;
        fill(c.format, {r});
        const bool anyValue = !cell(7).isEmpty() || !cell(8).isEmpty() || !cell(9).isEmpty();
        EXPECT_EQ(anyValue, c.shown);
        EXPECT_FALSE(cell(6).isEmpty());
        if (!c.shown) {
            EXPECT_EQ(cell(9, 0), QStringLiteral("Q, Вт/m2"));
        }
    }
    // H = 0 gives the dew point 0; H = 100 gives the temperature itself.
    SetUp();
    RecordFields dry;
    dry.channels = 0x01;
    dry.sensor1 = 5;
    dry.temperature1 = 20.0f;
    dry.humidity1 = 0.0f;
    RecordFields wet = dry;
    wet.humidity1 = 100.0f;
    fill(1, {dry, wet});
    EXPECT_EQ(cell(9, 1), QStringLiteral("0.00"));
    EXPECT_EQ(cell(9, 2), QStringLiteral("20.00"));
}

TEST(DewPoint, ReferenceValues) {
    struct Case {
        double h, t, dew;
    } cases[] = {{50, 20, 9.269264},  {100, 20, 20.000000}, {45.5, -10, -19.512297},
                 {80, 25, 21.306422}, {0, 20, 0},           {-3, 20, 0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.h << " % at " << c.t << " C");
        EXPECT_NEAR(DewPoint(c.h, c.t), c.dew, 1e-6);
    }
    EXPECT_EQ(DewPoint(std::nan(""), 20), 0.0);
}

TEST_F(TableFillTest, ModeNumberDateAndTimeCells) {
    RecordFields series;
    series.modeCount = 10;
    series.number = 3;
    series.series = 12;
    RecordFields continuous = series;
    continuous.modeCount = 255;
    RecordFields badDate = series;
    badDate.month = 13;
    RecordFields badTime = series;
    badTime.minute = 60;
    RecordFields leap = series;
    leap.year = 0;
    leap.month = 2;
    leap.day = 29;
    fill(2, {series, continuous, badDate, badTime, leap});
    ASSERT_EQ(table.rowCount(), 6);
    EXPECT_EQ(cell(0, 1), QStringLiteral("1"));
    EXPECT_EQ(cell(1, 1), QStringLiteral("23:05:09"));
    EXPECT_EQ(cell(2, 1), QStringLiteral("31/12/2018"));
    EXPECT_EQ(cell(3, 1), QStringLiteral("По сериям"));
    EXPECT_EQ(cell(4, 1), QStringLiteral("3 | 10"));
    EXPECT_EQ(cell(5, 1), QStringLiteral("12"));
    EXPECT_EQ(cell(3, 2), QStringLiteral("Непрерывный"));
    EXPECT_EQ(cell(4, 2), QString());
    EXPECT_EQ(cell(5, 2), QString());
    for (int row : {3, 4}) {
        SCOPED_TRACE(row);
        EXPECT_EQ(cell(1, row), QStringLiteral("NAN"));
        EXPECT_EQ(cell(2, row), QStringLiteral("NAN"));
        EXPECT_EQ(cell(0, row), QString::number(row));
        EXPECT_EQ(cell(4, row), QStringLiteral("3 | 10"));
    }
    EXPECT_EQ(cell(2, 5), QStringLiteral("29/02/2000"));
}

TEST_F(TableFillTest, NumbersFollowTheLocale) {
    const SystemFormats ru = SystemFormats::FromLocale(QLocale(QStringLiteral("ru_RU")));
    const SystemFormats us = SystemFormats::FromLocale(QLocale(QStringLiteral("en_US")));
    RecordFields r;
    r.channels = 0x01;
    r.sensor1 = 5;
    r.temperature1 = 21.5f;
    r.humidity1 = 50.0f;
    FillContext context;
    context.formats = &ru;
    fill(1, {r}, context);
    EXPECT_EQ(cell(7), QStringLiteral("21,50"));
    EXPECT_EQ(cell(8), QStringLiteral("50,00"));
    EXPECT_EQ(cell(2), QStringLiteral("31.12.2018"));
    context.formats = &us;
    fill(1, {r}, context);
    EXPECT_EQ(cell(7), QStringLiteral("21.50"));
    EXPECT_EQ(cell(2), QStringLiteral("12/31/2018"));
}

TEST_F(TableFillTest, ChannelTwoAloneFillsSlotZero) {
    RecordFields r;
    r.channels = 0x21;
    r.sensor1 = 1;
    r.sensor2 = 5;
    r.temperature2 = 20.0f;
    r.humidity2 = 50.0f;
    fill(0, {r});
    EXPECT_EQ(cell(6), QStringLiteral("MK SHT       "));
    EXPECT_EQ(cell(7), QStringLiteral("20.00"));
    EXPECT_EQ(cell(8), QStringLiteral("50.00"));
    EXPECT_EQ(cell(9), QStringLiteral("9.27"));
    EXPECT_EQ(cell(9, 0), QStringLiteral("Точка росы, °C"));
    EXPECT_EQ(cell(13, 0), QStringLiteral("Q, Вт/m2"));
    EXPECT_FALSE(table.channels().channel1);
    EXPECT_TRUE(table.channels().channel2);
}

TEST_F(TableFillTest, ChannelsByteKinds) {
    struct Case {
        std::uint8_t channels;
        bool slot0, slot1, flag1, flag2;
    } cases[] = {
        {0x00, false, false, true, true}, // both flags, no sensor or value cell
        {0x01, true, false, true, false}, {0x31, true, false, true, false}, {0x02, true, true, true, true},
        {0x05, true, true, true, true}, // more channels than the instrument has: the first two
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(int(c.channels));
        SetUp();
        RecordFields r;
        r.channels = c.channels;
        r.sensor1 = 1;
        r.sensor2 = 2;
        fill(1, {r});
        EXPECT_EQ(!cell(6).isEmpty(), c.slot0);
        EXPECT_EQ(!cell(10).isEmpty(), c.slot1);
        EXPECT_EQ(table.channels().channel1, c.flag1);
        EXPECT_EQ(table.channels().channel2, c.flag2);
    }
}

TEST_F(TableFillTest, FlagsDescribeTheLastRecord) {
    RecordFields both;
    RecordFields second = both;
    second.channels = 0x21;
    fill(1, {both, second});
    EXPECT_FALSE(table.channels().channel1);
    EXPECT_TRUE(table.channels().channel2);
    fill(1, {second, both});
    EXPECT_TRUE(table.channels().channel1);
    EXPECT_TRUE(table.channels().channel2);
}

TEST_F(TableFillTest, HeadersOfBothSlotsFollowTheLastRecordThatSetThem) {
    RecordFields dew; // both channels: D in slot 0, P in slot 1
    dew.sensor1 = 6;
    dew.sensor2 = 7;
    dew.humidity2 = 50.0f;
    dew.aux2 = 745.0f;
    RecordFields pressure; // channel 1 alone with the pressure probe: slot 0
    pressure.channels = 0x01;
    pressure.sensor1 = 7;
    pressure.aux1 = 750.0f;
    RecordFields flux; // heat flux leaves headers as they are
    flux.channels = 0x01;
    flux.sensor1 = 5;
    fill(2, {dew, pressure, flux});
    EXPECT_EQ(cell(9, 0), QStringLiteral("Давление, мм рт. ст."));
    EXPECT_EQ(cell(13, 0), QStringLiteral("Давление, мм рт. ст."));
    EXPECT_EQ(cell(9, 1), CellFormat(DewPoint(40.0, 21.5), QLatin1Char('.')));
    EXPECT_EQ(cell(13, 1), QStringLiteral("745.00"));
    EXPECT_EQ(cell(9, 3), QStringLiteral("123.45"));
    EXPECT_EQ(cell(7, 3), QString());
    EXPECT_EQ(cell(0, 0), QStringLiteral("№"));
}

TEST_F(TableFillTest, LanguageIsTakenAtTheMomentOfWriting) {
    RecordFields r;
    r.channels = 0x01;
    r.sensor1 = 5;
    r.modeCount = 255;
    FillContext context;
    int asked = 0;
    context.cancelRequested = [&] {
        LanguageIndex = asked++ == 0 ? 0 : 1; // the user switches to English after the first row
        return false;
    };
    fill(1, {r, r}, context);
    EXPECT_EQ(cell(3, 1), QStringLiteral("Непрерывный"));
    EXPECT_EQ(cell(6, 1), QStringLiteral("MK SHT       "));
    EXPECT_EQ(cell(3, 2), QStringLiteral("Uninterrupted"));
    EXPECT_EQ(cell(9, 0), QStringLiteral("Dew Point, °C"));
    RecordFields unknown = r;
    unknown.sensor1 = 200;
    fill(1, {unknown});
    EXPECT_EQ(cell(6, 1), QStringLiteral("Unknown code 200"));
    EXPECT_EQ(cell(7, 1), QString());
}

TEST_F(TableFillTest, CancelStopsAtTheNextRecordAndKeepsWrittenRows) {
    RecordFields r;
    r.channels = 0x01;
    r.sensor1 = 1;
    FillContext context;
    int asked = 0;
    context.cancelRequested = [&] { return ++asked > 2; };
    fill(1, {r, r, r, r}, context);
    EXPECT_EQ(table.rowCount(), 5);
    EXPECT_EQ(cell(0, 1), QStringLiteral("1"));
    EXPECT_EQ(cell(0, 2), QStringLiteral("2"));
    EXPECT_EQ(cell(0, 3), QString());
    EXPECT_EQ(asked, 3);
}

TEST_F(TableFillTest, EarlierRowsAreClearedAndNoRecordsKeepTheFlags) {
    for (int row = 1; row < 20; ++row)
        for (int col = 0; col < 14; ++col)
            table.setCell(col, row, QStringLiteral("old"));
    table.setChannels({true, false});
    RecordFields r; // continuous mode, channel 1 alone, out-of-range values: few cells written
    r.modeCount = 255;
    r.channels = 0x01;
    r.sensor1 = 1;
    r.temperature1 = 5000.0f;
    fill(1, {r});
    EXPECT_EQ(table.rowCount(), 2);
    for (int col : {4, 5, 7, 8, 9, 10, 11, 12, 13})
        EXPECT_EQ(cell(col, 1), QString()) << col;
    table.setRowCount(20);
    EXPECT_EQ(cell(0, 5), QString());

    table.setChannels({false, true});
    fill(2, {});
    EXPECT_EQ(table.rowCount(), 1);
    EXPECT_TRUE(TableIsEmpty(table));
    EXPECT_FALSE(table.channels().channel1);
    EXPECT_TRUE(table.channels().channel2);
    EXPECT_EQ(cell(1, 0), QStringLiteral("Время"));
}

TEST_F(TableFillTest, HeatFluxThatIsNotFiniteShowsNan) {
    RecordFields r;
    r.channels = 0x01;
    r.sensor1 = 4;
    r.aux1 = std::numeric_limits<float>::infinity();
    RecordFields big = r;
    big.aux1 = 3.0e38f;
    fill(1, {r, big});
    EXPECT_EQ(cell(9, 1), QStringLiteral("NAN"));
    EXPECT_TRUE(cell(9, 2).endsWith(QStringLiteral(".00")));
    EXPECT_EQ(cell(9, 2).size(), 39 + 3);
}

TEST_F(TableFillTest, RecordsTheBufferDoesNotHoldAreNotDecoded) {
    const auto one = RecordBytes(1, RecordFields{});
    FillArchiveTable(table, one, 3, 1, FillContext{&point, {}, {}});
    EXPECT_EQ(table.rowCount(), 4);
    EXPECT_EQ(cell(0, 1), QStringLiteral("1"));
    EXPECT_EQ(cell(0, 2), QString());
}

TEST_F(TableFillTest, TimeAndDateCellsAreThoseOfTheFormats) {
    // The fill writes "hh", separator, "mm", separator, "ss" itself; every other format goes through the
    // general formatter. Either way the cells are what the formats give.
    struct Case {
        const char *name;
        const char *separator;
        const char *timeFormat;
    } cases[] = {
        {"colon", ":", "hh:mm:ss"},
        {"dot", ".", "hh.mm.ss"},
        {"two characters", " h", "hh h mm h ss"},
        {"12-hour clock", ":", "h:mm:ss AP"},
        {"letter separator quoted", "'h'", "hh'h'mm'h'ss"},
    };
    RecordFields evening;
    evening.hour = 21;
    evening.minute = 7;
    evening.second = 3;
    RecordFields nextDay = evening;
    nextDay.day = 30;
    nextDay.hour = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SystemFormats formats = point;
        formats.timeSeparator = QString::fromUtf8(c.separator);
        formats.timeFormat = QString::fromUtf8(c.timeFormat);
        FillContext context;
        context.formats = &formats;
        fill(2, {evening, nextDay, evening}, context);
        for (int row = 1; row <= 3; ++row) {
            SCOPED_TRACE(row);
            const RecordFields &r = row == 2 ? nextDay : evening;
            EXPECT_EQ(cell(1, row), FormatTimeCell(QTime(r.hour, r.minute, r.second), formats));
            EXPECT_EQ(cell(2, row), FormatDateCell(QDate(2000 + r.year, r.month, r.day), formats));
        }
    }
}

// The filled table carries the format it was filled in and the channels of its last record, whatever it
// carried before; without a record it takes the process-wide flags as they stand (which keep theirs).
TEST_F(TableFillTest, TheFilledTableCarriesItsFormatAndChannels) {
    const auto record = [](std::uint8_t channels) {
        RecordFields r;
        r.channels = channels;
        return r;
    };
    struct Case {
        const char *name;
        int format;
        std::vector<RecordFields> records;
        ChannelFlags before; // the table's channels when the fill starts
        ChannelFlags expected;
    };
    const Case cases[] = {
        {"format 0, channel 1 alone", 0, {record(0x01)}, {false, true}, {true, false}},
        {"format 1, channel 2 alone", 1, {record(0x21)}, {true, true}, {false, true}},
        {"format 2, both channels", 2, {record(0x02)}, {false, false}, {true, true}},
        {"the last record decides", 2, {record(0x02), record(0x21)}, {false, false}, {false, true}},
        {"no record keeps the table's channels", 1, {}, {true, false}, {true, false}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        table.setArchiveFormat(static_cast<std::uint8_t>((c.format + 1) % 3));
        table.setChannels(c.before);
        const ChannelFlags shown{!c.expected.channel1, !c.expected.channel2};
        Channel1Present = shown.channel1;
        Channel2Present = shown.channel2;
        fill(c.format, c.records);
        EXPECT_EQ(table.archiveFormat(), c.format);
        EXPECT_EQ(table.channels(), c.expected);
        EXPECT_EQ((ChannelFlags{Channel1Present.load(), Channel2Present.load()}), shown)
            << "the process-wide flags describe the shown table until the filled one is swapped in";
    }
}
