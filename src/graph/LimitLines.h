// Which limit lines the graph draws: one per limit side of each shown line's quantity, on that line's axis.
#pragma once

#include "graph/GraphModel.h"
#include "graph/Limits.h"

#include <optional>
#include <vector>

namespace velda {

/// The quantity a line series of the graph shows (0 to 5), by its channel's quantity set; nullopt for a
/// channel that plots nothing.
[[nodiscard]] std::optional<Quantity> SeriesQuantity(const GraphModel &model, int series);

/// A dashed horizontal line at `value` on `axis`, in the colour of the series it belongs to.
struct LimitLine {
    int series = 0;
    ValueAxis axis = ValueAxis::Left;
    double value = 0;
    Rgb colour = 0;
    friend bool operator==(const LimitLine &, const LimitLine &) = default;
};

/// The limit lines of every active line series of a present channel, in series order, lower side
/// first. A limit shared by two shown lines on the same axis is drawn once, for the first of them.
[[nodiscard]] std::vector<LimitLine> LimitLinesFor(const GraphModel &model, const Limits &limits);

} // namespace velda
