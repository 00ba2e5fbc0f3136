// The drawn envelope keeps the shape of a long series: per column its ends and extremes.
#include "graph/Envelope.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
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

// The pyramid finds the first lowest and highest point a scan finds, for any run, with ties and spikes.
TEST(Envelope, PyramidFindsWhatAScanFinds) {
    const std::pair<int, double (*)(int)> cases[] = {
        {5000, [](int i) { return std::sin(i * 0.37) * (i % 97); }},
        {3001, [](int i) { return static_cast<double>((i * 7919) % 5); }}, // many ties
        {4097, [](int i) { return i % 1000 == 999 ? 500.0
                                  : i % 777 == 0  ? -500.0
                                                  : 20.0; }},
        {7, [](int i) { return static_cast<double>(-i); }}, // shorter than a block
    };
    std::mt19937 rng(11);
    for (const auto &[count, y] : cases) {
        std::vector<GraphPoint> points;
        for (int i = 0; i < count; ++i)
            points.push_back({static_cast<double>(i), y(i)});
        const ExtremesPyramid pyramid(points);
        std::uniform_int_distribution<std::size_t> pick(0, points.size() - 1);
        for (int run = 0; run < 2000; ++run) {
            const std::size_t a = pick(rng), b = pick(rng);
            const std::size_t first = std::min(a, b), back = std::max(a, b);
            LowHigh scanned{first, first};
            for (std::size_t i = first + 1; i <= back; ++i) {
                if (points[i].y < points[scanned.lowest].y) scanned.lowest = i;
                if (points[i].y > points[scanned.highest].y) scanned.highest = i;
            }
            ASSERT_EQ(pyramid.extremes(points, first, back + 1), scanned)
                << count << ": " << first << ".." << back;
        }
    }
}

// A reading far off is drawn at every zoom and width; a thinned line holds at most four points
// a column and its ends.
TEST(Envelope, SpikesSurviveEveryZoom) {
    std::vector<GraphPoint> points;
    for (int i = 0; i < 100000; ++i)
        points.push_back({i / 96.0, 20 + std::sin(i * 0.065)});
    const std::array<std::pair<std::size_t, double>, 3> spikes{{{12345, 90}, {12346, -40}, {77777, 55}}};
    for (const auto &[at, y] : spikes)
        points[at].y = y;
    const ExtremesPyramid pyramid(points);
    const double end = points.back().x;
    for (const auto &[from, to] : {std::pair{0.0, end}, {-end, 2 * end}, {100.0, 900.0}, {128.0, 129.5}}) {
        for (const std::size_t columns : {7u, 640u, 1913u}) {
            const auto shown = Envelope(points, pyramid, from, to, static_cast<int>(columns));
            EXPECT_LE(shown.size(), columns * 4 + 6) << from << " " << to;
            for (const auto &[at, y] : spikes) {
                const bool visible = points[at].x >= from && points[at].x <= to;
                EXPECT_TRUE(!visible || std::find(shown.begin(), shown.end(), points[at]) != shown.end())
                    << at << " " << from;
            }
        }
    }
}
