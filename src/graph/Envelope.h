// Thinning a long series for drawing: per pixel column the first, lowest, highest and last point, so the
// drawn line looks the same while every data point stays in the model.
#pragma once

#include "graph/GraphModel.h"

#include <vector>

namespace velda {

/// The points of `points` (sorted by x) to draw over [xMin, xMax] split into `columns` pixel columns:
/// all of them when the visible part holds at most `kEnvelopeFactor` points per column; otherwise, per
/// column, its first, lowest, highest and last point in x order. The nearest point outside each end is
/// kept so the line runs to the plot's edge. Pure; any thread.
inline constexpr int kEnvelopeFactor = 4;
[[nodiscard]] std::vector<GraphPoint> Envelope(const std::vector<GraphPoint> &points, double xMin,
                                               double xMax, int columns);

} // namespace velda
