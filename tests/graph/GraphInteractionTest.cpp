// Press zones, drag modes, stretching, snaps, zoom, read-out and marker without a chart.
#include "graph/GraphInteraction.h"

#include "GraphTestTables.h"
#include "QtPrinters.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

using namespace velda;
using namespace velda::test;

namespace {

const PlotRect kPlot{50, 20, 950, 700};
constexpr int kClientW = 1000;
constexpr int kClientH = 800;

// The dew-point probe (left axis) and thermometer (right axis) table.
GraphModel MakeModel() {
    RussianFormats formats;
    ArchiveTable t = DewPointAndThermometerTable();
    GraphModel m(0);
    EXPECT_TRUE(m.build(t, true, true, 0, CurrentFormats()).ok());
    return m;
}

} // namespace

TEST(PressZone, MarginsAndCorners) {
    struct Case {
        const char *name;
        int x;
        int y;
        int zone;
    } cases[] = {
        {"left margin", 10, 300, 1},
        {"right margin", 990, 300, 2},
        {"below", 500, 750, 3},
        {"lower left corner", 10, 750, 0},
        {"lower right corner", 990, 750, 0},
        {"above", 500, 10, 0},
        {"inside", 500, 300, 0},
        {"on the left edge", 50, 300, 0},
        {"on the top edge, left", 10, 20, 0},
        {"on the bottom edge", 500, 700, 0},
        {"below, on the left edge", 50, 750, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PressZoneAt(kPlot, c.x, c.y), c.zone);
    }
}

TEST(DragMode, HalvesAndEnds) {
    const AxisRange bottom{0, 10, false};
    const AxisRange left{0, 40, false};
    const AxisRange right{-10, 10, false};
    struct Case {
        const char *name;
        int zone;
        double x;
        double y;
        int mode;
    } cases[] = {
        {"bottom left half", 3, 4.99, 0, 1},
        {"bottom middle", 3, 5, 0, 2},
        {"bottom right", 3, 9, 0, 2},
        {"left upper half", 1, 0, 30, 3},
        {"left middle", 1, 0, 20, 4},
        {"left at max", 1, 0, 40, 3},
        {"left above max", 1, 0, 40.1, 0},
        {"left at min", 1, 0, 0, 0},
        {"left below min", 1, 0, -1, 0},
        {"right upper", 2, 0, 5, 5},
        {"right lower", 2, 0, -5, 6},
        {"right middle", 2, 0, 0, 6},
        {"no zone", 0, 5, 20, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DragModeFor(c.zone, c.x, c.y, bottom, left, right), c.mode);
    }
}

TEST(AxisDrag, StretchesTheLeftMaximumByTheClientHeight) {
    GraphModel m = MakeModel();
    GraphInteraction g(m);
    g.setRanges({0, 1, false}, {0, 40, true}, {0, 1, true});
    g.mouseDown(MouseButton::Left, 10, 100, kPlot);
    EXPECT_EQ(g.PressZone, 1);
    EXPECT_EQ(g.AxisDragMode, 3);
    EXPECT_FALSE(g.left().automatic);
    EXPECT_EQ(g.labelColour(GraphInteraction::kLeftAxis), kLabelRed);
    EXPECT_EQ(g.labelColour(GraphInteraction::kBottomAxis), kLabelBlack);

    g.mouseMove(10, 150, kPlot, kClientW, kClientH);
    EXPECT_DOUBLE_EQ(g.left().max, 42.5);
    EXPECT_DOUBLE_EQ(g.left().min, 0);
    g.mouseMove(10, 100, kPlot, kClientW, kClientH);
    EXPECT_LT(g.left().max, 42.5);

    // Crossing the plot does not move the reference point: leaving it applies the whole distance.
    const double before = g.left().max;
    g.mouseMove(500, 300, kPlot, kClientW, kClientH);
    EXPECT_DOUBLE_EQ(g.left().max, before);
    g.mouseMove(10, 180, kPlot, kClientW, kClientH);
    EXPECT_DOUBLE_EQ(g.left().max, before + before * 80 / kClientH);

    g.mouseUp(MouseButton::Left);
    EXPECT_EQ(g.AxisDragMode, 0);
    EXPECT_EQ(g.labelColour(GraphInteraction::kLeftAxis), kLabelBlack);
    const double fixed = g.left().max;
    g.mouseMove(10, 400, kPlot, kClientW, kClientH);
    EXPECT_DOUBLE_EQ(g.left().max, fixed) << "no drag after the release";
}

TEST(AxisDrag, BottomAndRightEnds) {
    GraphModel m = MakeModel();
    GraphInteraction g(m);
    g.setRanges({100, 110, false}, {0, 40, false}, {-10, 10, false});
    g.mouseDown(MouseButton::Left, 300, 750, kPlot); // left half of the bottom axis
    EXPECT_EQ(g.AxisDragMode, 1);
    g.mouseMove(400, 750, kPlot, kClientW, kClientH);
    EXPECT_DOUBLE_EQ(g.bottom().min, 100 - 10.0 * 100 / kClientW);
    g.mouseUp(MouseButton::Left);

    g.mouseDown(MouseButton::Left, 990, 600, kPlot); // lower half of the right axis
    EXPECT_EQ(g.AxisDragMode, 6);
    EXPECT_EQ(g.labelColour(GraphInteraction::kRightAxis), kLabelRed);
    g.mouseMove(990, 560, kPlot, kClientW, kClientH);
    EXPECT_DOUBLE_EQ(g.right().min, -10 + 20.0 * -40 / kClientH);
    g.mouseUp(MouseButton::Left);
}

TEST(AxisDrag, PressesThatChooseNoMode) {
    GraphModel m = MakeModel();
    GraphInteraction g(m);
    const AxisRange left{0, 40, true};
    struct Case {
        const char *name;
        int x;
        int y;
        bool leftManual;
    } cases[] = {
        // The left axis maps y 20..700 to 40..0: y 10 lies above the plot, y 700 exactly at the minimum.
        {"above the plot", 10, 10, false},
        {"at the minimum", 10, 700, true},
        {"lower left corner", 10, 750, false},
        {"inside the plot", 500, 300, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        g.setRanges({100, 110, true}, left, {-10, 10, true});
        g.mouseDown(MouseButton::Left, c.x, c.y, kPlot);
        EXPECT_EQ(g.AxisDragMode, 0);
        EXPECT_EQ(g.left().automatic, !c.leftManual);
        EXPECT_TRUE(g.bottom().automatic);
        EXPECT_TRUE(g.right().automatic);
        g.mouseUp(MouseButton::Left);
    }
    // Above the axis maximum inside the left margin: the axis still turns manual.
    g.setRanges({100, 110, true}, {0, 10, true}, {-10, 10, true});
    g.mouseDown(MouseButton::Left, 10, 30, kPlot);
    EXPECT_EQ(g.AxisDragMode, 3);
    g.mouseUp(MouseButton::Left);
}

TEST(Snaps, DataExtremesAndMargins) {
    GraphModel m = MakeModel();
    GraphInteraction g(m);
    // Left: active T 10..30 and dew 0..5 (humidity inactive) -> 0..30, margin 0.6.
    g.setRanges({0, 1, false}, {100, 200, false}, {-100, 100, false});
    g.SetOptimalTopMarginToLeftAxis();
    EXPECT_DOUBLE_EQ(g.left().min, -0.6) << "the minimum above the data comes down first";
    EXPECT_DOUBLE_EQ(g.left().max, 30.6);

    g.setRanges({0, 1, false}, {-100, -50, false}, {-100, 100, false});
    g.SetOptimalBottomMarginToLeftAxis();
    EXPECT_DOUBLE_EQ(g.left().max, 30.6);
    EXPECT_DOUBLE_EQ(g.left().min, -0.6);

    g.SetOptimalTopMarginToRightAxis();
    EXPECT_DOUBLE_EQ(g.right().max, 46.0);
    EXPECT_DOUBLE_EQ(g.right().min, -100);
    g.SetOptimalBottomMarginToRightAxis();
    EXPECT_DOUBLE_EQ(g.right().min, -6.0);

    const double first = Days(2018, 3, 5, 10, 0, 0);
    const double last = Days(2018, 3, 5, 10, 2, 0);
    g.setRanges({last + 1, last + 2, false}, g.left(), g.right());
    g.SetOptimalRightMarginToBottomAxis();
    EXPECT_DOUBLE_EQ(g.bottom().min, first);
    EXPECT_DOUBLE_EQ(g.bottom().max, last);
    g.setRanges({first - 2, first - 1, false}, g.left(), g.right());
    g.SetOptimalLeftMarginToBottomAxis();
    EXPECT_DOUBLE_EQ(g.bottom().max, last);
    EXPECT_DOUBLE_EQ(g.bottom().min, first);

    // Channel 1 hidden: all its series count, humidity 50..90 included.
    m.sensorCheckClicked(0, false);
    g.SetOptimalTopMarginToLeftAxis();
    EXPECT_DOUBLE_EQ(g.left().max, 90 + 90 * 0.02);

    // Nothing on an axis: extremes 0.
    GraphModel empty(0);
    GraphInteraction e(empty);
    e.setRanges({0, 1, false}, {5, 10, false}, {5, 10, false});
    e.SetOptimalTopMarginToLeftAxis();
    EXPECT_DOUBLE_EQ(e.left().min, 0);
    EXPECT_DOUBLE_EQ(e.left().max, 0);
}

TEST(Snaps, DoubleClickArmsTheNextAxisDrag) {
    GraphModel m = MakeModel();
    GraphInteraction g(m);
    g.setRanges({0, 1, false}, {0, 40, false}, {-10, 50, false});
    // Double click in the right margin near the top: press, release, double click, press, release.
    g.mouseDown(MouseButton::Left, 990, 30, kPlot);
    g.mouseUp(MouseButton::Left);
    g.dblClick();
    g.mouseDown(MouseButton::Left, 990, 30, kPlot);
    EXPECT_EQ(g.AxisDragMode, 5);
    g.mouseUp(MouseButton::Left);
    EXPECT_DOUBLE_EQ(g.right().max, 45 + 50 * 0.02);
    EXPECT_FALSE(g.SnapPending);

    // Armed inside the plot: a release without a drag mode keeps it; the next drag of an end snaps.
    g.dblClick();
    g.mouseDown(MouseButton::Left, 500, 300, kPlot);
    g.mouseUp(MouseButton::Left);
    EXPECT_TRUE(g.SnapPending);
    g.mouseDown(MouseButton::Left, 10, 650, kPlot);
    EXPECT_EQ(g.AxisDragMode, 4);
    g.mouseMove(10, 690, kPlot, kClientW, kClientH);
    g.mouseUp(MouseButton::Left);
    EXPECT_DOUBLE_EQ(g.left().min, -0.6);
    EXPECT_FALSE(g.SnapPending);
}

TEST(Readout, BothLanguages) {
    const SystemFormats ru = SystemFormats::FromLocale(QLocale(QLocale::Russian, QLocale::Russia));
    const SystemFormats en = SystemFormats::FromLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    const double t = Days(2018, 3, 5, 14, 20, 7);
    struct Case {
        const char *name;
        double t;
        bool show1;
        bool show2;
        std::uint8_t language;
        const SystemFormats *formats;
        const char *text;
    } cases[] = {
        {"example", t, true, true, 0, &ru,
         "Время  05.03.2018 14:20:07    Значение канал 1   21,37    Значение канал 2   45,02"},
        {"english", t, true, true, 1, &en,
         "Time  3/5/2018 14:20:07    Value of chanal 1   21.37    Value of chanal 2   45.02"},
        {"channel 2 hidden", t, true, false, 0, &ru,
         "Время  05.03.2018 14:20:07    Значение канал 1   21,37"},
        {"channel 1 hidden", t, false, true, 1, &en, "Time  3/5/2018 14:20:07    Value of chanal 2   45.02"},
        {"whole day", Days(2018, 3, 5, 0, 0, 0), false, false, 0, &ru, "Время  05.03.2018"},
        {"under one day", 0.5, false, false, 1, &en, "Time  12:00:00"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ReadoutText(c.t, 21.371, 45.019, c.show1, c.show2, c.language, *c.formats),
                  QString::fromUtf8(c.text));
    }
}

TEST(Marker, HoverKeepsTheLastHitAndMarksOffClearsIt) {
    RussianFormats formats;
    GraphModel m = MakeModel();
    GraphInteraction g(m);
    const double first = Days(2018, 3, 5, 10, 0, 0);
    const double last = Days(2018, 3, 5, 10, 2, 0);
    g.setRanges({first, last, false}, {0, 100, false}, {-50, 50, false});
    // The 20-degree point of Series1 (second row) sits in the middle of the plot at y for 20 on 0..100.
    const int px = static_cast<int>(std::lround(XToPixel(g.bottom(), kPlot, Days(2018, 3, 5, 10, 1, 0))));
    const int py = static_cast<int>(std::lround(YToPixel(g.left(), kPlot, 20)));
    g.mouseMove(px + 3, py - 3, kPlot, kClientW, kClientH);
    const SeriesState &marker = m.series(GraphModel::kMarkerSeries);
    ASSERT_EQ(marker.points.size(), 1u);
    EXPECT_DOUBLE_EQ(marker.points[0].y, 20);
    EXPECT_EQ(marker.colour, 0xFF0000u);
    EXPECT_TRUE(g.statusText().startsWith(QStringLiteral("Время  05.03.2018 10:01:")));
    EXPECT_TRUE(g.statusText().contains(QStringLiteral("Значение канал 2")));

    g.mouseMove(px + 200, py + 200, kPlot, kClientW, kClientH);
    EXPECT_EQ(marker.points.size(), 1u) << "empty plot area keeps the marker";
    g.mouseMove(px + 6, py, kPlot, kClientW, kClientH);
    EXPECT_DOUBLE_EQ(marker.points[0].y, 20);

    // Into a margin: the status line empties.
    g.mouseMove(10, 300, kPlot, kClientW, kClientH);
    EXPECT_TRUE(g.statusText().isEmpty());

    m.setMarksChecked(false);
    g.mouseMove(px, py, kPlot, kClientW, kClientH);
    EXPECT_TRUE(marker.points.empty());
}

TEST(Zoom, RectangleDirectionDecides) {
    GraphModel m = MakeModel();
    GraphInteraction g(m);
    const AxisRange autoBottom = g.bottom();
    const AxisRange autoLeft = g.left();
    EXPECT_DOUBLE_EQ(autoLeft.min, 0);
    EXPECT_DOUBLE_EQ(autoLeft.max, 30);
    EXPECT_DOUBLE_EQ(g.right().min, -5);
    EXPECT_DOUBLE_EQ(g.right().max, 45);

    EXPECT_FALSE(g.rubberBand(100, 100, 116, 300, kPlot)) << "16 pixels is not enough";
    EXPECT_TRUE(g.rubberBand(50, 20, 500, 360, kPlot));
    EXPECT_FALSE(g.left().automatic);
    EXPECT_DOUBLE_EQ(g.left().max, 30);
    EXPECT_DOUBLE_EQ(g.left().min, 15);
    EXPECT_DOUBLE_EQ(g.right().min, 20);
    EXPECT_DOUBLE_EQ(g.bottom().min, autoBottom.min);
    EXPECT_NEAR(g.bottom().max, (autoBottom.min + autoBottom.max) / 2, 1e-9);

    EXPECT_TRUE(g.rubberBand(500, 300, 100, 400, kPlot));
    EXPECT_TRUE(g.left().automatic);
    EXPECT_EQ(g.left(), autoLeft);
    EXPECT_EQ(g.bottom(), autoBottom);

    // Automatic scaling follows what is drawn.
    m.quantityChosen(0, true);
    g.updateAutomatic();
    EXPECT_DOUBLE_EQ(g.left().min, 50);
    EXPECT_DOUBLE_EQ(g.left().max, 90);

    g.scroll(90, -68, kPlot);
    EXPECT_FALSE(g.bottom().automatic);
    EXPECT_DOUBLE_EQ(g.left().min, 50 - 4);
    EXPECT_NEAR(g.bottom().min, autoBottom.min - (autoBottom.max - autoBottom.min) / 10, 1e-9);
}

TEST(Readout, MarkerLabelFollowsTheLocale) {
    const SystemFormats ru = SystemFormats::FromLocale(QLocale(QLocale::Russian, QLocale::Russia));
    const SystemFormats en = SystemFormats::FromLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(MarkerLabel(21.5, ru), QStringLiteral("21,5"));
    EXPECT_EQ(MarkerLabel(21.0, ru), QStringLiteral("21"));
    EXPECT_EQ(MarkerLabel(-0.125, en), QStringLiteral("-0.125"));
    EXPECT_EQ(MarkerLabel(1234.567, en), QStringLiteral("1,234.567"));
}

TEST(Zoom, NiceTickIntervals) {
    struct Case {
        double span;
        double interval;
    } cases[] = {{40, 5},         {19.9, 5}, {16, 2}, {1, 0.2}, {0.07, 0.01},
                 {101325, 20000}, {8, 1},    {0, 0},  {-3, 0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.span);
        EXPECT_DOUBLE_EQ(NiceTickInterval(c.span, 8), c.interval);
    }
}

// Wall-clock days against real time in Berlin, whose clocks skip 02:00-03:00 on 25 March 2018 and repeat
// it on 28 October 2018: the pixels of the time axis follow real time, the read-out the wall clock.
TEST(TimeMapping, FollowsTheChangesOfClocks) {
    const char *saved = std::getenv("TZ");
    const std::string savedZone = saved ? saved : "";
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    const auto utcMs = [](int y, int mo, int d, int h, int mi) {
        return static_cast<double>(QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::UTC).toMSecsSinceEpoch());
    };
    struct Case {
        const char *name;
        double days;
        double instantMs;
        double wallDaysBack; // what the read-out names at that instant
    };
    const Case cases[] = {
        {"winter", Days(2018, 3, 24, 14, 0, 0), utcMs(2018, 3, 24, 13, 0), Days(2018, 3, 24, 14, 0, 0)},
        {"before the skip", Days(2018, 3, 25, 1, 30, 0), utcMs(2018, 3, 25, 0, 30),
         Days(2018, 3, 25, 1, 30, 0)},
        {"skipped time: the change", Days(2018, 3, 25, 2, 30, 0), utcMs(2018, 3, 25, 1, 0),
         Days(2018, 3, 25, 3, 0, 0)},
        {"summer, day of the skip", Days(2018, 3, 25, 14, 0, 0), utcMs(2018, 3, 25, 12, 0),
         Days(2018, 3, 25, 14, 0, 0)},
        {"summer", Days(2018, 7, 1, 14, 0, 0), utcMs(2018, 7, 1, 12, 0), Days(2018, 7, 1, 14, 0, 0)},
        {"repeated time: first pass", Days(2018, 10, 28, 2, 30, 0), utcMs(2018, 10, 28, 0, 30),
         Days(2018, 10, 28, 2, 30, 0)},
        {"winter, day of the repeat", Days(2018, 10, 28, 14, 0, 0), utcMs(2018, 10, 28, 13, 0),
         Days(2018, 10, 28, 14, 0, 0)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_DOUBLE_EQ(DaysToEpochMs(c.days), c.instantMs);
        EXPECT_NEAR(EpochMsToDays(c.instantMs), c.wallDaysBack, 1e-9);
    }
    // One pixel scale for drawing, hit test and read-out over a range crossing the skip.
    const AxisRange bottom{Days(2018, 3, 24, 0, 0, 0), Days(2018, 3, 27, 0, 0, 0), false};
    const PlotRect plot{0, 0, 710, 100}; // 71 real hours: 10 pixels an hour
    EXPECT_NEAR(XToPixel(bottom, plot, Days(2018, 3, 25, 14, 0, 0)), 370.0, 1e-6);
    EXPECT_NEAR(PixelToX(bottom, plot, 370.0), Days(2018, 3, 25, 14, 0, 0), 1e-9);
    EXPECT_NEAR(PixelToX(bottom, plot, 710.0), bottom.max, 1e-9);
    if (saved)
        ::setenv("TZ", savedZone.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

TEST(AxisLabels, GroupedWithAtMostTwoDecimals) {
    const SystemFormats ru = SystemFormats::FromLocale(QLocale(QLocale::Russian, QLocale::Russia));
    const SystemFormats us = SystemFormats::FromLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    const QString nbsp(QChar(0x00A0));
    struct Case {
        double value;
        const SystemFormats *formats;
        QString text;
    };
    const Case cases[] = {
        {1234.5, &ru, QStringLiteral("1") + nbsp + QStringLiteral("234,5")},
        {1234.5, &us, QStringLiteral("1,234.5")},
        {12000, &us, QStringLiteral("12,000")},
        {0.25, &us, QStringLiteral("0.25")},
        {20.1, &ru, QStringLiteral("20,1")},
        {-3.999, &ru, QStringLiteral("-4")},
        {0.004, &us, QStringLiteral("0")},
        {-0.001, &us, QStringLiteral("0")},
        {1e6 + 0.3 - 0.3, &us, QStringLiteral("1,000,000")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(AxisValueLabel(c.value, *c.formats), c.text);
    }
    // Ticks at multiples of the interval; labels never repeat.
    const auto ticks = ValueAxisTicks(-0.35, 0.3, 0.1, us);
    QStringList labels;
    for (const AxisTick &t : ticks)
        labels.append(t.label);
    EXPECT_EQ(labels, (QStringList{"-0.3", "-0.2", "-0.1", "0", "0.1", "0.2", "0.3"}));
    EXPECT_EQ(ValueAxisTicks(0, 0.01, 0.001, us).size(), 2u) << "0 and 0.01 only";
    EXPECT_TRUE(ValueAxisTicks(0, 1, 0, us).empty());
}
