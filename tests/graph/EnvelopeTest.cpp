// The drawn envelope keeps the shape of a long series: per column its ends and extremes.
#include "graph/Envelope.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>

using namespace velda;

namespace {

std::vector<GraphPoint> Saw(int count) {
    std::vector<GraphPoint> points;
    for (int i = 0; i < count; ++i)
        points.push_back({static_cast<double>(i), std::sin(i * 0.37) * (i % 97)});
    return points;
}

} // namespace

TEST(Envelope, ShortRangesAreDrawnWhole) {
    const auto points = Saw(100);
    EXPECT_EQ(Envelope(points, 0, 99, 50), points);
    // A window onto the middle keeps one neighbour outside each end.
    const auto middle = Envelope(points, 10.5, 20.5, 50);
    ASSERT_EQ(middle.size(), 12u);
    EXPECT_EQ(middle.front().x, 10);
    EXPECT_EQ(middle.back().x, 21);
    EXPECT_TRUE(Envelope({}, 0, 1, 10).empty());
}

TEST(Envelope, LongSeriesKeepEveryColumnsExtremes) {
    const auto points = Saw(200000);
    const int columns = 1000;
    const auto shown = Envelope(points, 0, 199999, columns);
    EXPECT_LE(shown.size(), static_cast<std::size_t>(columns) * kEnvelopeFactor + 2);
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end(),
                               [](const GraphPoint &a, const GraphPoint &b) { return a.x < b.x; }));
    EXPECT_EQ(shown.front(), points.front());
    EXPECT_EQ(shown.back(), points.back());
    // Every column's lowest and highest value survive.
    const double width = 199999.0 / columns;
    for (int c = 0; c < columns; c += 97) {
        SCOPED_TRACE(c);
        double lo = 1e300, hi = -1e300;
        for (const GraphPoint &p : points) {
            if (std::floor(p.x / width) != c) continue;
            lo = std::min(lo, p.y);
            hi = std::max(hi, p.y);
        }
        double shownLo = 1e300, shownHi = -1e300;
        for (const GraphPoint &p : shown) {
            if (std::floor(p.x / width) != c) continue;
            shownLo = std::min(shownLo, p.y);
            shownHi = std::max(shownHi, p.y);
        }
        EXPECT_EQ(shownLo, lo);
        EXPECT_EQ(shownHi, hi);
    }
}

// The pyramid finds the same first lowest and first highest point as a scan, for runs of every length
// and position, over series with ties, plateaus and lone spikes.
TEST(Envelope, PyramidFindsWhatAScanFinds) {
    struct Case {
        const char *name;
        int count;
        double (*y)(int);
    };
    const Case cases[] = {
        {"noise", 5000, [](int i) { return std::sin(i * 0.37) * (i % 97); }},
        {"few values, many ties", 3001, [](int i) { return static_cast<double>((i * 7919) % 5); }},
        {"flat", 1000, [](int) { return 1.0; }},
        {"lone spikes", 4097, [](int i) { return i % 1000 == 999 ? 500.0
                                                 : i % 777 == 0  ? -500.0
                                                                 : 20.0; }},
        {"shorter than a block", 7, [](int i) { return static_cast<double>(-i); }},
    };
    std::mt19937 rng(11);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<GraphPoint> points;
        for (int i = 0; i < c.count; ++i)
            points.push_back({static_cast<double>(i), c.y(i)});
        const ExtremesPyramid pyramid(points);
        std::uniform_int_distribution<std::size_t> pick(0, points.size() - 1);
        for (int run = 0; run < 2000; ++run) {
            std::size_t first = pick(rng);
            std::size_t last = pick(rng);
            if (first > last) std::swap(first, last);
            ++last;
            LowHigh scanned{first, first};
            for (std::size_t i = first + 1; i < last; ++i) {
                if (points[i].y < points[scanned.lowest].y) scanned.lowest = i;
                if (points[i].y > points[scanned.highest].y) scanned.highest = i;
            }
            ASSERT_EQ(pyramid.extremes(points, first, last), scanned) << first << ".." << last;
        }
    }
}

// A single reading far off is drawn at every zoom and plot width (while it is the extreme of its pixel
// column), and the drawn line never holds more than two points per pixel column besides its ends.
TEST(Envelope, SpikesSurviveEveryZoom) {
    std::vector<GraphPoint> points;
    for (int i = 0; i < 100000; ++i)
        points.push_back({i / 96.0, 20 + std::sin(i * 0.065)});
    const std::size_t spikes[] = {12345, 12346, 77777};
    points[spikes[0]].y = 90;
    points[spikes[1]].y = -40;
    points[spikes[2]].y = 55;
    const ExtremesPyramid pyramid(points);
    const double last = points.back().x;
    const std::pair<double, double> ranges[] = {{0, last}, {-last, 2 * last}, {100, 900}, {128, 129.5}};
    for (const auto &[from, to] : ranges) {
        for (const int columns : {7, 640, 1913}) {
            SCOPED_TRACE(testing::Message() << from << ".." << to << " in " << columns << " columns");
            const auto shown = Envelope(points, pyramid, from, to, columns);
            const auto perColumn = static_cast<std::size_t>(columns);
            // Whole when short; else two per column, the runs before and after the range and both ends.
            EXPECT_LE(shown.size(), std::max(perColumn * kEnvelopeFactor + 2, 2 * (perColumn + 2) + 2));
            EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end(),
                                       [](const GraphPoint &a, const GraphPoint &b) { return a.x < b.x; }));
            for (const std::size_t spike : spikes) {
                if (points[spike].x < from || points[spike].x > to) continue;
                EXPECT_NE(std::find(shown.begin(), shown.end(), points[spike]), shown.end()) << spike;
            }
        }
    }
}
