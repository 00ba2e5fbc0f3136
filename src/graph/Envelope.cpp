// Per-pixel min/max envelope of a sorted series, its extremes looked up in a pyramid of blocks.
#include "graph/Envelope.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace velda {

namespace {

// Points per block of the pyramid's lowest level: runs shorter than two blocks are scanned directly.
constexpr std::size_t kBlockPoints = 16;

// Orders by y, then by index, so that the first of equal extremes wins whatever order they are met in.
bool Lower(const std::vector<GraphPoint> &points, std::size_t a, std::size_t b) {
    return points[a].y < points[b].y || (points[a].y == points[b].y && a < b);
}
bool Higher(const std::vector<GraphPoint> &points, std::size_t a, std::size_t b) {
    return points[a].y > points[b].y || (points[a].y == points[b].y && a < b);
}

void Take(const std::vector<GraphPoint> &points, LowHigh &into, const LowHigh &candidate) {
    if (Lower(points, candidate.lowest, into.lowest)) into.lowest = candidate.lowest;
    if (Higher(points, candidate.highest, into.highest)) into.highest = candidate.highest;
}

void Scan(const std::vector<GraphPoint> &points, LowHigh &into, std::size_t first, std::size_t last) {
    for (std::size_t i = first; i < last; ++i)
        Take(points, into, LowHigh{i, i});
}

} // namespace

ExtremesPyramid::ExtremesPyramid(const std::vector<GraphPoint> &points) {
    std::vector<LowHigh> level;
    level.reserve((points.size() + kBlockPoints - 1) / kBlockPoints);
    for (std::size_t first = 0; first < points.size(); first += kBlockPoints) {
        LowHigh block{first, first};
        Scan(points, block, first + 1, std::min(first + kBlockPoints, points.size()));
        level.push_back(block);
    }
    while (level.size() > 1) {
        std::vector<LowHigh> up;
        up.reserve((level.size() + 1) / 2);
        for (std::size_t i = 0; i < level.size(); i += 2) {
            LowHigh pair = level[i];
            if (i + 1 < level.size()) Take(points, pair, level[i + 1]);
            up.push_back(pair);
        }
        m_levels.push_back(std::move(level));
        level = std::move(up);
    }
    m_levels.push_back(std::move(level));
}

LowHigh ExtremesPyramid::extremes(const std::vector<GraphPoint> &points, std::size_t first,
                                  std::size_t last) const {
    LowHigh found{first, first};
    // The whole blocks inside the run come from the pyramid, the points beside them one by one.
    std::size_t block = (first + kBlockPoints - 1) / kBlockPoints;
    std::size_t blockEnd = last / kBlockPoints;
    if (last - first < 2 * kBlockPoints || block >= blockEnd) {
        Scan(points, found, first + 1, last);
        return found;
    }
    Scan(points, found, first + 1, block * kBlockPoints);
    Scan(points, found, blockEnd * kBlockPoints, last);
    for (std::size_t level = 0; block < blockEnd; ++level, block /= 2, blockEnd /= 2) {
        const std::vector<LowHigh> &nodes = m_levels[level];
        if (block % 2 == 1) Take(points, found, nodes[block++]);
        if (blockEnd % 2 == 1) Take(points, found, nodes[--blockEnd]);
    }
    return found;
}

std::vector<GraphPoint> Envelope(const std::vector<GraphPoint> &points, const ExtremesPyramid &pyramid,
                                 double xMin, double xMax, int columns) {
    const auto at = [&](std::size_t i) { return points.begin() + static_cast<std::ptrdiff_t>(i); };
    auto begin = static_cast<std::size_t>(
        std::lower_bound(at(0), points.end(), xMin, [](const GraphPoint &p, double x) { return p.x < x; }) -
        at(0));
    auto end = static_cast<std::size_t>(
        std::upper_bound(at(0), points.end(), xMax, [](double x, const GraphPoint &p) { return x < p.x; }) -
        at(0));
    // One neighbour outside each end keeps the line running to the plot's edge.
    if (begin > 0) --begin;
    if (end < points.size()) ++end;
    columns = std::max(columns, 1);
    if (end - begin <= static_cast<std::size_t>(columns) * kEnvelopeFactor || !(xMax > xMin))
        return std::vector<GraphPoint>(at(begin), at(end));

    std::vector<GraphPoint> out;
    out.reserve(2 * static_cast<std::size_t>(columns) + 4);
    const double scale = columns / (xMax - xMin);
    // Never decreasing in x, so each column's points are one run.
    auto columnOf = [&](double x) {
        const double c = std::floor((x - xMin) * scale);
        return static_cast<long long>(std::clamp(c, -1.0, static_cast<double>(columns)));
    };
    for (std::size_t first = begin; first < end;) {
        const long long column = columnOf(points[first].x);
        const auto inColumn = [&](const GraphPoint &p) { return columnOf(p.x) <= column; };
        // The run's end: doubling steps past it, then bisection over the last step.
        std::size_t step = 1;
        std::size_t past = first + 1;
        while (past < end && inColumn(points[past])) {
            past = std::min(end, past + step);
            step *= 2;
        }
        const auto last =
            static_cast<std::size_t>(std::partition_point(at(first + step / 2), at(past), inColumn) - at(0));
        // A pixel column is drawn through its first, lowest, highest and last reading in time order: every
        // reading far off stays in sight, the readings between them add no height to the column, and the
        // strokes joining neighbouring columns run where the full line would run them.
        const LowHigh extremes = pyramid.extremes(points, first, last);
        std::array<std::size_t, 4> picks{first, extremes.lowest, extremes.highest, last - 1};
        std::sort(picks.begin(), picks.end());
        const auto unique = std::unique(picks.begin(), picks.end());
        for (auto p = picks.begin(); p != unique; ++p)
            out.push_back(points[*p]);
        first = last;
    }
    return out;
}

std::vector<GraphPoint> Envelope(const std::vector<GraphPoint> &points, double xMin, double xMax,
                                 int columns) {
    return Envelope(points, ExtremesPyramid(points), xMin, xMax, columns);
}

} // namespace velda
