// Per-pixel min/max envelope of a sorted series.
#include "graph/Envelope.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace velda {

std::vector<GraphPoint> Envelope(const std::vector<GraphPoint> &points, double xMin, double xMax,
                                 int columns) {
    auto begin = std::lower_bound(points.begin(), points.end(), xMin,
                                  [](const GraphPoint &p, double x) { return p.x < x; });
    auto end = std::upper_bound(points.begin(), points.end(), xMax,
                                [](double x, const GraphPoint &p) { return x < p.x; });
    // One neighbour outside each end keeps the line running to the plot's edge.
    if (begin != points.begin()) --begin;
    if (end != points.end()) ++end;
    const auto visible = static_cast<std::size_t>(end - begin);
    columns = std::max(columns, 1);
    if (visible <= static_cast<std::size_t>(columns) * kEnvelopeFactor || !(xMax > xMin))
        return std::vector<GraphPoint>(begin, end);

    std::vector<GraphPoint> out;
    out.reserve(static_cast<std::size_t>(columns) * kEnvelopeFactor + 2);
    const double scale = columns / (xMax - xMin);
    auto columnOf = [&](double x) {
        const double c = std::floor((x - xMin) * scale);
        return static_cast<long long>(std::clamp(c, -1.0, static_cast<double>(columns)));
    };
    auto it = begin;
    while (it != end) {
        const long long column = columnOf(it->x);
        auto first = it;
        auto lowest = it;
        auto highest = it;
        auto last = it;
        for (++it; it != end && columnOf(it->x) == column; ++it) {
            if (it->y < lowest->y) lowest = it;
            if (it->y > highest->y) highest = it;
            last = it;
        }
        std::array<decltype(it), 4> picks{first, lowest, highest, last};
        std::sort(picks.begin(), picks.end());
        const auto unique = std::unique(picks.begin(), picks.end());
        for (auto p = picks.begin(); p != unique; ++p)
            out.push_back(**p);
    }
    return out;
}

} // namespace velda
