// Axis looks, zoom transition ranges and series refresh of the graph window's chart.
#include "graph/ChartSync.h"

#include "graph/Envelope.h"

#include <algorithm>

namespace velda {

namespace {
constexpr int kValueTickTarget = 8;
} // namespace

ValueAxisLook ValueAxisLookOf(const GraphModel &model, ValueAxis side, const AxisRange &range) {
    ValueAxisLook look;
    look.min = range.min;
    look.max = range.max;
    look.tickInterval = NiceTickInterval(range.max - range.min, kValueTickTarget);
    // The chart breaks title lines only at <br>.
    look.titleHtml =
        model.axis(side).title.toHtmlEscaped().replace(QLatin1Char('\r'), QStringLiteral("<br>"));
    look.visible = model.axisDrawn(side);
    return look;
}

void ZoomTransition::start(const std::array<AxisRange, 3> &from) {
    m_from = from;
    m_progress = 0;
}

void ZoomTransition::setProgress(double progress) {
    m_progress = std::clamp(progress, 0.0, 1.0);
}

AxisRange ZoomTransition::drawn(int axis, const AxisRange &target) const {
    if (!running() || axis < 0 || axis >= static_cast<int>(m_from.size())) return target;
    const AxisRange &from = m_from[static_cast<std::size_t>(axis)];
    const double t = m_progress;
    return AxisRange{from.min + (target.min - from.min) * t, from.max + (target.max - from.max) * t,
                     target.automatic};
}

std::optional<std::vector<GraphPoint>> SeriesDataCache::pointsToDraw(int index, const SeriesState &series,
                                                                     const AxisRange &bottom, int widthPx) {
    if (!series.active || index < 0 || index >= GraphModel::kMarkerSeries) return std::nullopt;
    const bool whole = series.points.size() <= static_cast<std::size_t>(widthPx) * kEnvelopeFactor;
    const Drawn key = whole ? Drawn{0, 0, 0, true} : Drawn{bottom.min, bottom.max, widthPx, true};
    Drawn &drawn = m_drawn[static_cast<std::size_t>(index)];
    if (key == drawn) return std::nullopt;
    drawn = key;
    return whole ? series.points : Envelope(series.points, bottom.min, bottom.max, widthPx);
}

} // namespace velda
