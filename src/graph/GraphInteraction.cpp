// Press zones, drag modes, axis-end stretching and snapping, zoom, read-out text and marker hits.
#include "graph/GraphInteraction.h"

#include "graph/GraphTexts.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace velda {
namespace {

constexpr double kSnapMarginFraction = 0.02;
constexpr qint64 kMsPerDay = 86400000;
// Span given to an automatic axis whose data is one value, so that the point shows inside it.
constexpr double kFlatValueSpan = 1.0;
constexpr double kFlatTimeSpanDays = 1.0 / 24.0;

double Span(const AxisRange &axis) {
    return axis.max - axis.min;
}

int Width(const PlotRect &p) {
    return std::max(1, p.right - p.left);
}
int Height(const PlotRect &p) {
    return std::max(1, p.bottom - p.top);
}

// Over series 0..6 on `axis` (or all for the bottom axis): active ones with points first, else all
// with points.
template <typename Pick>
std::optional<Extremes> ExtremesOver(const GraphModel &model, std::optional<ValueAxis> axis, bool activeOnly,
                                     Pick pick) {
    std::optional<Extremes> out;
    for (int i = 0; i < GraphModel::kSeriesCount; ++i) {
        const SeriesState &s = model.series(i);
        if (s.points.empty()) continue;
        if (axis && s.axis != *axis) continue;
        if (activeOnly && !s.active) continue;
        for (const GraphPoint &p : s.points) {
            const double v = pick(p);
            if (!out) out = Extremes{v, v};
            out->lo = std::min(out->lo, v);
            out->hi = std::max(out->hi, v);
        }
    }
    return out;
}

bool AnyActive(const GraphModel &model, std::optional<ValueAxis> axis) {
    for (int i = 0; i < GraphModel::kSeriesCount; ++i) {
        const SeriesState &s = model.series(i);
        if ((!axis || s.axis == *axis) && s.active && !s.points.empty()) return true;
    }
    return false;
}

template <typename Pick>
Extremes DataExtremes(const GraphModel &model, std::optional<ValueAxis> axis, Pick pick) {
    const bool activeOnly = AnyActive(model, axis);
    return ExtremesOver(model, axis, activeOnly, pick).value_or(Extremes{});
}

// The bottom axis in pixels: linear in real time, as the chart draws it.
class TimeScale {
public:
    TimeScale(const AxisRange &axis, const PlotRect &plot)
        : m_from(DaysToEpochMs(axis.min)), m_span(DaysToEpochMs(axis.max) - m_from), m_left(plot.left),
          m_width(Width(plot)) {}
    [[nodiscard]] double pixel(TimeMapping &mapping, double x) const {
        if (m_span == 0) return m_left;
        return m_left + (mapping.toEpochMs(x) - m_from) * m_width / m_span;
    }

private:
    double m_from;
    double m_span;
    double m_left;
    double m_width;
};

} // namespace

double PixelToX(const AxisRange &axis, const PlotRect &plot, double px) {
    const double from = DaysToEpochMs(axis.min);
    const double to = DaysToEpochMs(axis.max);
    return EpochMsToDays(from + (px - plot.left) * (to - from) / Width(plot));
}

double PixelToY(const AxisRange &axis, const PlotRect &plot, double py) {
    return axis.max - (py - plot.top) * Span(axis) / Height(plot);
}

double XToPixel(const AxisRange &axis, const PlotRect &plot, double x) {
    TimeMapping mapping;
    return TimeScale(axis, plot).pixel(mapping, x);
}

double YToPixel(const AxisRange &axis, const PlotRect &plot, double y) {
    const double span = Span(axis);
    if (span == 0) return plot.bottom;
    return plot.top + (axis.max - y) * Height(plot) / span;
}

int PressZoneAt(const PlotRect &plot, int x, int y) {
    if (y > plot.bottom) return (plot.left < x && x < plot.right) ? 3 : 0;
    if (y > plot.top) {
        if (x < plot.left) return 1;
        if (x > plot.right) return 2;
    }
    return 0;
}

int DragModeFor(int zone, double x, double y, const AxisRange &bottom, const AxisRange &left,
                const AxisRange &right) {
    auto vertical = [y](const AxisRange &a, int top, int low) {
        if (y > a.max) return 0;
        if (y > (a.max + a.min) / 2) return top;
        if (y > a.min) return low;
        return 0;
    };
    switch (zone) {
    case 1:
        return vertical(left, 3, 4);
    case 2:
        return vertical(right, 5, 6);
    case 3:
        return x < (bottom.max + bottom.min) / 2 ? 1 : 2;
    default:
        return 0;
    }
}

LabelColours LabelColoursFor(int dragMode) {
    LabelColours c;
    switch (dragMode) {
    case 1:
    case 2:
        c.bottom = kLabelRed;
        break;
    case 3:
    case 4:
        c.left = kLabelRed;
        break;
    case 5:
    case 6:
        c.right = kLabelRed;
        break;
    default:
        c.bottom = c.left = c.right = kLabelBlack;
        break;
    }
    return c;
}

Extremes YExtremes(const GraphModel &model, ValueAxis axis) {
    return DataExtremes(model, axis, [](const GraphPoint &p) { return p.y; });
}

Extremes XExtremes(const GraphModel &model) {
    return DataExtremes(model, std::nullopt, [](const GraphPoint &p) { return p.x; });
}

std::optional<std::size_t> PointUnderPointer(const SeriesState &series, const AxisRange &bottom,
                                             const AxisRange &vertical, const PlotRect &plot, int px, int py,
                                             double tolerancePx) {
    if (series.points.empty()) return std::nullopt;
    const double x0 = PixelToX(bottom, plot, px - tolerancePx);
    const double x1 = PixelToX(bottom, plot, px + tolerancePx);
    const auto &pts = series.points;
    auto it = std::lower_bound(pts.begin(), pts.end(), std::min(x0, x1),
                               [](const GraphPoint &p, double x) { return p.x < x; });
    const TimeScale scale(bottom, plot);
    TimeMapping mapping;
    std::optional<std::size_t> best;
    double bestDistance = tolerancePx * tolerancePx;
    for (; it != pts.end() && it->x <= std::max(x0, x1); ++it) {
        const double dx = scale.pixel(mapping, it->x) - px;
        const double dy = YToPixel(vertical, plot, it->y) - py;
        const double d = dx * dx + dy * dy;
        if (d <= bestDistance) {
            bestDistance = d;
            best = static_cast<std::size_t>(it - pts.begin());
        }
    }
    return best;
}

QString ReadoutText(double t, double y1, double y2, bool show1, bool show2, std::uint8_t language,
                    const SystemFormats &formats) {
    const double wholeDays = std::floor(t);
    qint64 ms = std::llround((t - wholeDays) * static_cast<double>(kMsPerDay));
    qint64 days = static_cast<qint64>(wholeDays);
    if (ms >= kMsPerDay) {
        ++days;
        ms -= kMsPerDay;
    }
    const QDate date = kDayZero.addDays(days);
    const QTime time = QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms));
    QString when;
    if (ms == 0)
        when = FormatDateCell(date, formats);
    else if (days == 0)
        when = FormatTimeCell(time, formats);
    else
        when = FormatDateCell(date, formats) + QLatin1Char(' ') + FormatTimeCell(time, formats);

    QString text = PickIn(TxtCursorTime, language) + when;
    const QString gap = QStringLiteral("    ");
    if (show1)
        text += gap + PickIn(TxtCursorValue1, language) + QLatin1Char(' ') +
                CellFormat(y1, formats.decimalSeparator);
    if (show2)
        text += gap + PickIn(TxtCursorValue2, language) + QLatin1Char(' ') +
                CellFormat(y2, formats.decimalSeparator);
    return text;
}

double NiceTickInterval(double span, int targetTicks) {
    if (!(span > 0) || !std::isfinite(span) || targetTicks < 1) return 0;
    const double raw = span / targetTicks;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double step : {1.0, 2.0, 5.0}) {
        if (step * power >= raw) return step * power;
    }
    return 10 * power;
}

QString AxisValueLabel(double y, const SystemFormats &formats) {
    double rounded = std::round(y * 100.0) / 100.0;
    if (rounded == 0) rounded = 0; // no "-0"
    QLocale locale = formats.locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    QString s = locale.toString(rounded, 'f', 2);
    const QString point = locale.decimalPoint();
    const qsizetype at = s.lastIndexOf(point);
    if (at >= 0) {
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.size() == at + point.size())
            s.truncate(at);
        else
            s.replace(at, point.size(), formats.decimalSeparator);
    }
    return s;
}

std::vector<AxisTick> ValueAxisTicks(double min, double max, double interval, const SystemFormats &formats) {
    std::vector<AxisTick> ticks;
    if (!(interval > 0) || !(max >= min)) return ticks;
    // A little slack so that ends lying on a multiple are not lost to rounding.
    constexpr double kSlack = 1e-9;
    constexpr double kMaxTicks = 1000;
    const double first = std::ceil(min / interval - kSlack);
    const double last = std::floor(max / interval + kSlack);
    if (last - first > kMaxTicks) return ticks;
    for (double k = first; k <= last; ++k) {
        const double value = k * interval;
        QString label = AxisValueLabel(value, formats);
        if (!ticks.empty() && ticks.back().label == label) continue;
        ticks.push_back({value, std::move(label)});
    }
    return ticks;
}

QString MarkerLabel(double y, const SystemFormats &formats) {
    QString s = formats.locale.toString(y, 'f', 3);
    const QString point = formats.locale.decimalPoint();
    if (s.contains(point)) {
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(point)) s.chop(point.size());
    }
    return s;
}

void GraphInteraction::setRanges(const AxisRange &bottom, const AxisRange &left, const AxisRange &right) {
    m_bottom = bottom;
    m_left = left;
    m_right = right;
}

void GraphInteraction::updateAutomatic() {
    auto fit = [&](AxisRange &axis, std::optional<ValueAxis> side, double flatSpan, auto pick) {
        if (!axis.automatic) return;
        const auto e = ExtremesOver(m_model, side, true, pick);
        if (!e) return;
        axis.min = e->lo;
        axis.max = e->hi;
        if (axis.min == axis.max) {
            axis.min -= flatSpan;
            axis.max += flatSpan;
        }
    };
    auto y = [](const GraphPoint &p) { return p.y; };
    fit(m_bottom, std::nullopt, kFlatTimeSpanDays, [](const GraphPoint &p) { return p.x; });
    fit(m_left, ValueAxis::Left, kFlatValueSpan, y);
    fit(m_right, ValueAxis::Right, kFlatValueSpan, y);
}

int GraphInteraction::referenceSeries(int zone) const {
    const ValueAxis wanted = zone == 1 ? ValueAxis::Left : ValueAxis::Right;
    for (int i = 0; i < GraphModel::kMarkerSeries; ++i) {
        const SeriesState &s = m_model.series(i);
        if (s.active && s.axis == wanted) return i;
    }
    return GraphModel::kMarkerSeries;
}

void GraphInteraction::applyLabelColours() {
    const LabelColours c = LabelColoursFor(AxisDragMode);
    if (c.bottom) m_labelColour[kBottomAxis] = *c.bottom;
    if (c.left) m_labelColour[kLeftAxis] = *c.left;
    if (c.right) m_labelColour[kRightAxis] = *c.right;
}

void GraphInteraction::mouseDown(MouseButton button, int x, int y, const PlotRect &plot) {
    if (button != MouseButton::Left) return;
    PrevMouseX = x;
    PrevMouseY = y;
    PressZone = PressZoneAt(plot, x, y);
    const int reference = referenceSeries(PressZone);
    const double vx = PixelToX(m_bottom, plot, x);
    const double vy = PixelToY(vertical(m_model.series(reference).axis), plot, y);
    switch (PressZone) {
    case 1:
        AxisDragMode = DragModeFor(1, vx, vy, m_bottom, m_left, m_right);
        m_left.automatic = false;
        break;
    case 2:
        AxisDragMode = DragModeFor(2, vx, vy, m_bottom, m_left, m_right);
        m_right.automatic = false;
        break;
    case 3:
        AxisDragMode = DragModeFor(3, vx, vy, m_bottom, m_left, m_right);
        m_bottom.automatic = false;
        break;
    default:
        AxisDragMode = 0;
        break;
    }
    applyLabelColours();
}

void GraphInteraction::mouseMove(int x, int y, const PlotRect &plot, int clientWidth, int clientHeight) {
    const int dx = x - PrevMouseX;
    const int dy = y - PrevMouseY;
    if (plot.contains(x, y)) {
        const SeriesState &s1 = m_model.series(0);
        const SeriesState &s4 = m_model.series(3);
        const double t = PixelToX(m_bottom, plot, x);
        const double y1 = PixelToY(vertical(s1.axis), plot, y);
        const double y2 = PixelToY(vertical(s4.axis), plot, y);
        // A channel that is not in the table has no value to read out, even though its hidden sensor
        // check box stays checked.
        const bool show1 = m_model.channel(0).Present && m_model.controls(0).sensorChecked;
        const bool show2 = m_model.channel(1).Present && m_model.controls(1).sensorChecked;
        m_status = ReadoutText(t, y1, y2, show1, show2, m_model.language(), CurrentFormats());

        if (!m_model.marksChecked()) {
            m_model.clearMarker();
            return;
        }
        for (int i = 0; i < GraphModel::kMarkerSeries; ++i) {
            const SeriesState &s = m_model.series(i);
            if (!s.active) continue;
            if (auto hit = PointUnderPointer(s, m_bottom, vertical(s.axis), plot, x, y))
                m_model.setMarker(i, *hit);
        }
        return;
    }

    m_status.clear();
    PrevMouseX = x;
    PrevMouseY = y;
    const double w = std::max(1, clientWidth);
    const double h = std::max(1, clientHeight);
    switch (AxisDragMode) {
    case 1:
        m_bottom.min = m_bottom.min - Span(m_bottom) * dx / w;
        break;
    case 2:
        m_bottom.max = m_bottom.max - Span(m_bottom) * dx / w;
        break;
    case 3:
        m_left.max = m_left.max + Span(m_left) * dy / h;
        break;
    case 4:
        m_left.min = m_left.min + Span(m_left) * dy / h;
        break;
    case 5:
        m_right.max = m_right.max + Span(m_right) * dy / h;
        break;
    case 6:
        m_right.min = m_right.min + Span(m_right) * dy / h;
        break;
    default:
        break;
    }
}

void GraphInteraction::mouseUp(MouseButton button) {
    m_labelColour = {kLabelBlack, kLabelBlack, kLabelBlack};
    if (button != MouseButton::Left) return;
    if (AxisDragMode < 1 || AxisDragMode > 6) return;
    if (SnapPending) {
        SnapPending = false;
        runSnap(AxisDragMode);
    }
    AxisDragMode = 0;
}

bool GraphInteraction::endAxisDrag() {
    if (AxisDragMode == 0) return false;
    AxisDragMode = 0;
    SnapPending = false;
    m_labelColour = {kLabelBlack, kLabelBlack, kLabelBlack};
    return true;
}

void GraphInteraction::runSnap(int mode) {
    switch (mode) {
    case 1:
        SetOptimalLeftMarginToBottomAxis();
        break;
    case 2:
        SetOptimalRightMarginToBottomAxis();
        break;
    case 3:
        SetOptimalTopMarginToLeftAxis();
        break;
    case 4:
        SetOptimalBottomMarginToLeftAxis();
        break;
    case 5:
        SetOptimalTopMarginToRightAxis();
        break;
    case 6:
        SetOptimalBottomMarginToRightAxis();
        break;
    default:
        break;
    }
}

namespace {

void SnapTop(AxisRange &axis, Extremes e) {
    const double m = (e.hi - e.lo) * kSnapMarginFraction;
    // Never leave the minimum above the new maximum.
    if (axis.min >= e.hi + m) axis.min = e.lo - m;
    axis.max = e.hi + m;
    axis.automatic = false;
}

void SnapBottom(AxisRange &axis, Extremes e) {
    const double m = (e.hi - e.lo) * kSnapMarginFraction;
    if (!(axis.max > e.lo - m)) axis.max = e.hi + m;
    axis.min = e.lo - m;
    axis.automatic = false;
}

} // namespace

void GraphInteraction::SetOptimalLeftMarginToBottomAxis() {
    const Extremes e = XExtremes(m_model);
    if (!(m_bottom.max > e.lo)) m_bottom.max = e.hi;
    m_bottom.min = e.lo;
    m_bottom.automatic = false;
}

void GraphInteraction::SetOptimalRightMarginToBottomAxis() {
    const Extremes e = XExtremes(m_model);
    if (m_bottom.min >= e.hi) m_bottom.min = e.lo;
    m_bottom.max = e.hi;
    m_bottom.automatic = false;
}

void GraphInteraction::SetOptimalTopMarginToLeftAxis() {
    SnapTop(m_left, YExtremes(m_model, ValueAxis::Left));
}
void GraphInteraction::SetOptimalBottomMarginToLeftAxis() {
    SnapBottom(m_left, YExtremes(m_model, ValueAxis::Left));
}
void GraphInteraction::SetOptimalTopMarginToRightAxis() {
    SnapTop(m_right, YExtremes(m_model, ValueAxis::Right));
}
void GraphInteraction::SetOptimalBottomMarginToRightAxis() {
    SnapBottom(m_right, YExtremes(m_model, ValueAxis::Right));
}

bool GraphInteraction::rubberBand(int x0, int y0, int x1, int y1, const PlotRect &plot) {
    if (std::abs(x1 - x0) <= kZoomThresholdPx || std::abs(y1 - y0) <= kZoomThresholdPx) return false;
    if (x1 < x0 || y1 < y0) {
        restoreAutomatic();
        return true;
    }
    const AxisRange bottom{PixelToX(m_bottom, plot, x0), PixelToX(m_bottom, plot, x1), false};
    const AxisRange left{PixelToY(m_left, plot, y1), PixelToY(m_left, plot, y0), false};
    const AxisRange right{PixelToY(m_right, plot, y1), PixelToY(m_right, plot, y0), false};
    setRanges(bottom, left, right);
    return true;
}

void GraphInteraction::restoreAutomatic() {
    m_bottom.automatic = m_left.automatic = m_right.automatic = true;
    updateAutomatic();
}

void GraphInteraction::scroll(int dx, int dy, const PlotRect &plot) {
    const double shiftX = -dx * Span(m_bottom) / Width(plot);
    m_bottom = {m_bottom.min + shiftX, m_bottom.max + shiftX, false};
    for (AxisRange *axis : {&m_left, &m_right}) {
        const double shiftY = dy * Span(*axis) / Height(plot);
        *axis = {axis->min + shiftY, axis->max + shiftY, false};
    }
}

} // namespace velda
