// What the graph window hands its chart: value-axis looks, zoom transition ranges, series refreshes.
#include "graph/ChartSync.h"

#include "GraphTestTables.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace velda;
using namespace velda::test;

namespace {

GraphModel TwoChannelModel(bool channel2) {
    ArchiveTable t = MakeTable(
        {
            {"10:00:00", "05.03.2018", "DS18B20      ", "21,00", "", "", "MK BMP280 SHT", "19,00", "41,00",
             "751,00"},
            {"10:00:01", "05.03.2018", "DS18B20      ", "23,50", "", "", "MK BMP280 SHT", "18,00", "42,00",
             "752,00"},
        },
        14);
    GraphModel model(0);
    EXPECT_TRUE(model.build(t, true, channel2, 2, CurrentFormats()).ok());
    return model;
}

std::vector<GraphPoint> Points(int count) {
    std::vector<GraphPoint> points;
    for (int i = 0; i < count; ++i)
        points.push_back(GraphPoint{static_cast<double>(i), static_cast<double>(i % 7)});
    return points;
}

} // namespace

TEST(ValueAxisLook, RangeTicksTitleAndVisibility) {
    RussianFormats formats;
    GraphModel model = TwoChannelModel(true);
    const ValueAxisLook left = ValueAxisLookOf(model, ValueAxis::Left, AxisRange{-1, 9, true});
    EXPECT_EQ(left.min, -1);
    EXPECT_EQ(left.max, 9);
    EXPECT_EQ(left.tickInterval, 2); // ten units at no more than eight ticks: every 2
    EXPECT_EQ(left.titleHtml, QStringLiteral("Температура, °C Канал 1"));
    EXPECT_TRUE(left.visible);
    EXPECT_EQ(ValueAxisLookOf(model, ValueAxis::Left, AxisRange{5, 5, false}).tickInterval, 0);

    // Both channels on the left axis: their titles on separate lines, as the chart breaks them.
    model.axisChosen(1, ValueAxis::Left);
    const ValueAxisLook both = ValueAxisLookOf(model, ValueAxis::Left, AxisRange{0, 1, true});
    QString lines = model.axis(ValueAxis::Left).title;
    ASSERT_TRUE(lines.contains(QLatin1Char('\r')));
    EXPECT_EQ(both.titleHtml, lines.replace(QLatin1Char('\r'), QStringLiteral("<br>")));

    // Visibility is the model's: the axis is drawn only with an active line on it.
    for (const GraphModel &m : {model, TwoChannelModel(false)}) {
        for (ValueAxis side : {ValueAxis::Left, ValueAxis::Right})
            EXPECT_EQ(ValueAxisLookOf(m, side, AxisRange{0, 1, true}).visible, m.axisDrawn(side));
    }
    EXPECT_FALSE(ValueAxisLookOf(model, ValueAxis::Right, AxisRange{0, 1, true}).visible);
}

TEST(ZoomTransition, MovesEachAxisFromItsStartToTheTarget) {
    ZoomTransition transition;
    const AxisRange target{10, 20, false};
    EXPECT_FALSE(transition.running());
    EXPECT_EQ(transition.drawn(0, target), target);

    transition.start({AxisRange{0, 100, true}, AxisRange{-4, 4, true}, AxisRange{1, 2, true}});
    EXPECT_TRUE(transition.running());
    EXPECT_EQ(transition.drawn(0, target), (AxisRange{0, 100, false})); // the target's mode at once
    transition.setProgress(0.5);
    EXPECT_EQ(transition.drawn(0, target), (AxisRange{5, 60, false}));
    EXPECT_EQ(transition.drawn(1, target), (AxisRange{3, 12, false}));
    transition.setProgress(1.5); // an easing curve overshooting ends the transition
    EXPECT_FALSE(transition.running());
    EXPECT_EQ(transition.drawn(2, target), target);

    transition.start({});
    transition.finish();
    EXPECT_FALSE(transition.running());
    EXPECT_EQ(transition.drawn(1, target), target);
}

TEST(SeriesDataCache, ShortSeriesOnceLongSeriesPerRangeAndWidth) {
    SeriesDataCache cache;
    SeriesState shortSeries;
    shortSeries.points = Points(40); // at most four points per pixel column of 10: whole
    SeriesState longSeries;
    longSeries.points = Points(4000);
    const AxisRange all{0, 4000, true};
    const AxisRange half{0, 2000, false};

    const auto first = cache.pointsToDraw(0, shortSeries, all, 10);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->size(), 40u);
    EXPECT_FALSE(cache.pointsToDraw(0, shortSeries, half, 10)); // whole already, whatever the range
    EXPECT_FALSE(cache.pointsToDraw(0, shortSeries, all, 12));

    const auto envelope = cache.pointsToDraw(1, longSeries, all, 10);
    ASSERT_TRUE(envelope);
    EXPECT_LT(envelope->size(), 4000u);
    EXPECT_FALSE(cache.pointsToDraw(1, longSeries, all, 10));
    EXPECT_TRUE(cache.pointsToDraw(1, longSeries, half, 10));
    EXPECT_TRUE(cache.pointsToDraw(1, longSeries, half, 11));

    // A long series that the plot has become wide enough to show whole is handed over whole.
    const auto whole = cache.pointsToDraw(1, longSeries, half, 1000);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->size(), 4000u);

    SeriesState inactive = shortSeries;
    inactive.active = false;
    EXPECT_FALSE(cache.pointsToDraw(2, inactive, all, 10));
    EXPECT_FALSE(
        cache.pointsToDraw(GraphModel::kMarkerSeries, shortSeries, all, 10)); // the marker is no line

    cache.clear();
    EXPECT_TRUE(cache.pointsToDraw(0, shortSeries, all, 10));
}

// A hidden line is emptied once and gets its points back when shown; after a clear, new points get their
// own envelope.
TEST(SeriesDataCache, HiddenLinesAreEmptiedOnceAndNewPointsGetANewEnvelope) {
    SeriesDataCache cache;
    SeriesState series;
    series.points = Points(4000);
    const AxisRange all{0, 4000, true};
    const auto shown = cache.pointsToDraw(0, series, all, 10);
    series.active = false;
    EXPECT_EQ(cache.pointsToDraw(0, series, all, 10), std::vector<GraphPoint>{});
    EXPECT_FALSE(cache.pointsToDraw(0, series, all, 10));
    series.active = true;
    EXPECT_EQ(cache.pointsToDraw(0, series, all, 10), shown);
    cache.clear();
    series.points[1234].y = 99;
    const auto spiked = cache.pointsToDraw(0, series, all, 10).value_or(std::vector<GraphPoint>{});
    EXPECT_NE(std::find(spiked.begin(), spiked.end(), series.points[1234]), spiked.end());
}

TEST(MarkerCallout, CentredAboveTheRimAndHiddenOutsideThePlot) {
    const QRectF plot(50, 20, 900, 680);
    const std::pair<QPointF, bool> cases[] = {
        {{400, 300}, true}, {{400, 20}, true}, {{10, 300}, false}, {{400, 710}, false}};
    for (const auto &[at, visible] : cases) {
        const MarkerCallout callout = MarkerCalloutAt(at, QSizeF(30, 12), plot);
        EXPECT_EQ(callout.box, QRectF(0, 0, 34, 16)); // two pixels of padding around the text
        EXPECT_EQ(callout.textPos, QPointF(2, 2));
        const double rim = at.y() - kMarkerSizePx / 2.0;
        EXPECT_EQ(callout.arrow, QLineF(at.x(), rim, at.x(), rim - 10));
        // Centred on the marker, sitting on the arrow's upper end.
        EXPECT_DOUBLE_EQ(callout.boxPos.x() + callout.box.width() / 2, at.x());
        EXPECT_DOUBLE_EQ(callout.boxPos.y() + callout.box.height(), callout.arrow.y2());
        EXPECT_EQ(callout.visible, visible) << at.x() << "," << at.y();
    }
}

TEST(PrintTarget, FitsThePageKeepingTheAspect) {
    const std::tuple<QRectF, QSizeF, QRectF> cases[] = {
        {{10, 20, 1000, 700}, {500, 200}, {10, 20, 1000, 400}}, // wide chart
        {{0, 0, 1000, 700}, {100, 350}, {0, 0, 200, 700}},      // tall chart
        {{5, 5, 800, 600}, {400, 300}, {5, 5, 800, 600}},
        {{5, 5, 800, 600}, {0, 300}, {5, 5, 0, 0}}, // nothing to print
    };
    for (const auto &[page, shown, target] : cases)
        EXPECT_EQ(PrintTarget(page, shown), target);
}

TEST(ChartTime, TimeAxisFormatPointsAndWidth) {
    // Russian abbreviated months end in a point already; English ones get one.
    EXPECT_EQ(TimeAxisFormat(QLocale(QLocale::Russian)), QStringLiteral("hh:mm:ss'<br>'dd.MMMyyyy"));
    EXPECT_EQ(TimeAxisFormat(QLocale(QLocale::English)), QStringLiteral("hh:mm:ss'<br>'dd.MMM.yyyy"));

    ChartTime time;
    const std::vector<GraphPoint> points{{Days(2018, 3, 5, 10, 0, 0), 21.5}, {Days(2018, 3, 6, 0, 0, 1), -3}};
    const QList<QPointF> drawn = time.points(points);
    ASSERT_EQ(drawn.size(), 2);
    EXPECT_EQ(drawn[0], QPointF(static_cast<double>(std::llround(DaysToEpochMs(points[0].x))), 21.5));
    EXPECT_EQ(drawn[1], ChartTime().point(points[1]));
    EXPECT_EQ(drawn[1].x() - drawn[0].x(), (14 * 3600 + 1) * 1000.0);

    // Long lines are thinned to the plot's width; before the first layout to the chart's.
    EXPECT_EQ(EnvelopeWidth(PlotRect{50, 20, 950, 700}, 1000), 900);
    EXPECT_EQ(EnvelopeWidth(PlotRect{}, 1000), 1000);
    EXPECT_EQ(EnvelopeWidth(PlotRect{}, 0), 1);
}
