// The drawn envelope keeps the shape of a long series: per column its ends and extremes.
#include "graph/Envelope.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

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
