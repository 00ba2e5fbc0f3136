// Thinning a long series for drawing: per pixel column its lowest and highest point, so the drawn line
// looks the same while every data point stays in the model.
#pragma once

#include "graph/GraphModel.h"

#include <cstddef>
#include <vector>

namespace velda {

/// Where the lowest and the highest point of a run of points lie: indices into the series.
struct LowHigh {
    std::size_t lowest = 0;
    std::size_t highest = 0;
    friend bool operator==(const LowHigh &, const LowHigh &) = default;
};

/// The lowest and highest point of any run of a series' points in time logarithmic in the run's length:
/// for each block of a few points, then each pair of blocks and so on up, the indices of its lowest and
/// highest point. Built once per series (linear time, a few bytes per block); it answers for the points
/// it was built from, which must stay as they were. Pure; any thread.
class ExtremesPyramid {
public:
    ExtremesPyramid() = default;
    explicit ExtremesPyramid(const std::vector<GraphPoint> &points);

    /// Of `points[first, last)` (first < last, `points` as built from): the first lowest and the first
    /// highest point in x order, as a scan from `first` finds them.
    [[nodiscard]] LowHigh extremes(const std::vector<GraphPoint> &points, std::size_t first,
                                   std::size_t last) const;

private:
    std::vector<std::vector<LowHigh>> m_levels; ///< level 0 per block, each next level per pair below
};

/// The points of `points` (sorted by x) to draw over [xMin, xMax] split into `columns` pixel columns:
/// all of them when the visible part holds at most `kEnvelopeFactor` points per column; otherwise, per
/// column, its first, lowest, highest and last point in x order, so every reading far off (a spike) is
/// still drawn and the line joins its columns as the whole line would.
/// The nearest point outside each end is kept so the line runs to the plot's edge. `pyramid` is built
/// from `points`; the work grows with the columns, not with the points. Pure; any thread.
inline constexpr int kEnvelopeFactor = 4;
[[nodiscard]] std::vector<GraphPoint> Envelope(const std::vector<GraphPoint> &points,
                                               const ExtremesPyramid &pyramid, double xMin, double xMax,
                                               int columns);
/// The same for a series drawn once: builds its pyramid first.
[[nodiscard]] std::vector<GraphPoint> Envelope(const std::vector<GraphPoint> &points, double xMin,
                                               double xMax, int columns);

} // namespace velda
