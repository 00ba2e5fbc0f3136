// Axis looks, zoom transition ranges and series refresh of the graph window's chart.
#include "graph/ChartSync.h"

#include <algorithm>
#include <cmath>

namespace velda {

namespace {
constexpr int kValueTickTarget = 8;
constexpr double kCalloutArrowPx = 10;
constexpr double kCalloutPadPx = 2;
} // namespace

QString TimeAxisFormat(const QLocale &locale) {
    const bool monthHasPoint = locale.monthName(1, QLocale::ShortFormat).endsWith(QLatin1Char('.'));
    return monthHasPoint ? QStringLiteral("hh:mm:ss'<br>'dd.MMMyyyy")
                         : QStringLiteral("hh:mm:ss'<br>'dd.MMM.yyyy");
}

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

SeriesDataCache::Drawn SeriesDataCache::wanted(const SeriesState &series, const AxisRange &bottom,
                                               int widthPx) {
    if (!series.active) return Drawn{};
    if (series.points.size() <= static_cast<std::size_t>(widthPx) * kEnvelopeFactor)
        return Drawn{0, 0, 0, true};
    return Drawn{bottom.min, bottom.max, widthPx, true};
}

bool SeriesDataCache::changes(int index, const SeriesState &series, const AxisRange &bottom,
                              int widthPx) const {
    return index >= 0 && index < GraphModel::kMarkerSeries &&
           wanted(series, bottom, widthPx) != m_drawn[static_cast<std::size_t>(index)];
}

void SeriesDataCache::forget(int index) {
    if (index >= 0 && index < GraphModel::kMarkerSeries) m_drawn[static_cast<std::size_t>(index)] = Drawn{};
}

std::optional<std::vector<GraphPoint>> SeriesDataCache::pointsToDraw(int index, const SeriesState &series,
                                                                     const AxisRange &bottom, int widthPx) {
    if (!changes(index, series, bottom, widthPx)) return std::nullopt;
    const Drawn key = wanted(series, bottom, widthPx);
    m_drawn[static_cast<std::size_t>(index)] = key;
    if (!key.valid) return std::vector<GraphPoint>{}; // made inactive: emptied once
    if (key.width == 0) return series.points;         // short: whole
    Pyramid &pyramid = m_pyramids[static_cast<std::size_t>(index)];
    if (pyramid.data != series.points.data() || pyramid.size != series.points.size())
        pyramid = Pyramid{series.points.data(), series.points.size(), ExtremesPyramid(series.points)};
    return Envelope(series.points, pyramid.extremes, bottom.min, bottom.max, widthPx);
}

void SeriesDataCache::clear() {
    m_drawn.fill(Drawn{});
    m_pyramids.fill(Pyramid{});
}

qint64 ChartTime::ms(double days) {
    return std::llround(m_mapping.toEpochMs(days));
}

QList<QPointF> ChartTime::points(const std::vector<GraphPoint> &points) {
    QList<QPointF> list;
    list.reserve(static_cast<qsizetype>(points.size()));
    for (const GraphPoint &p : points)
        list.append(point(p));
    return list;
}

int EnvelopeWidth(const PlotRect &plot, int chartWidth) {
    const int width = plot.right - plot.left;
    return width < 2 ? std::max(1, chartWidth) : width;
}

MarkerCallout MarkerCalloutAt(const QPointF &at, const QSizeF &textSize, const QRectF &plotArea) {
    MarkerCallout callout;
    callout.box = QRectF(0, 0, textSize.width() + 2 * kCalloutPadPx, textSize.height() + 2 * kCalloutPadPx);
    callout.textPos = QPointF(kCalloutPadPx, kCalloutPadPx);
    const double rim = at.y() - kMarkerSizePx / 2.0;
    callout.boxPos = QPointF(at.x() - callout.box.width() / 2, rim - kCalloutArrowPx - callout.box.height());
    callout.arrow = QLineF(at.x(), rim, at.x(), rim - kCalloutArrowPx);
    callout.visible = plotArea.contains(at);
    return callout;
}

QRectF PrintTarget(const QRectF &page, const QSizeF &shown) {
    if (shown.isEmpty()) return QRectF(page.topLeft(), QSizeF(0, 0));
    const double scale = std::min(page.width() / shown.width(), page.height() / shown.height());
    return QRectF(page.topLeft(), shown * scale);
}

} // namespace velda
