// Limit lines of the graph from the model's shown series and the limits of their quantities.
#include "graph/LimitLines.h"

#include <algorithm>

namespace velda {

std::optional<Quantity> SeriesQuantity(const GraphModel &model, int series) {
    const QuantitySet set = model.channel(series / 3).Quantities;
    if (set == QuantitySet::NoPlot) return std::nullopt;
    switch (series % 3) {
    case 0:
        return set == QuantitySet::FluxOnly ? Quantity::HeatFlux : Quantity::Temperature;
    case 1:
        return Quantity::Humidity;
    default:
        break;
    }
    if (set == QuantitySet::ThermoHygroDew) return Quantity::DewPoint;
    if (set == QuantitySet::ThermoHygroPressure) return Quantity::Pressure;
    return std::nullopt;
}

std::vector<LimitLine> LimitLinesFor(const GraphModel &model, const Limits &limits) {
    std::vector<LimitLine> lines;
    if (!limits.any()) return lines;
    for (int i = 0; i < GraphModel::kMarkerSeries; ++i) {
        const SeriesState &s = model.series(i);
        if (!s.active || !model.channel(i / 3).Present) continue;
        const std::optional<Quantity> quantity = SeriesQuantity(model, i);
        if (!quantity) continue;
        const Limit &limit = limits.of(*quantity);
        for (const std::optional<double> &side : {limit.low, limit.high}) {
            if (!side) continue;
            const bool drawn = std::any_of(lines.begin(), lines.end(), [&](const LimitLine &l) {
                return l.axis == s.axis && l.value == *side;
            });
            if (!drawn) lines.push_back({i, s.axis, *side, s.colour});
        }
    }
    return lines;
}

} // namespace velda
