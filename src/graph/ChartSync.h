// What the graph window hands its chart, decided without the chart: the value axes' looks, the time
// axis's label format, the zoom transition's in-between ranges, which series need new points, where the
// marker's value label goes and where a print of the chart lands on the page.
#pragma once

#include "graph/Envelope.h"
#include "graph/GraphInteraction.h"
#include "graph/GraphModel.h"

#include <QLineF>
#include <QList>
#include <QLocale>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace velda {

/// How one value axis is drawn.
struct ValueAxisLook {
    double min = 0;
    double max = 1;
    /// Ticks at multiples of this from zero; 0 keeps the chart's own ticks (an empty or broken range).
    double tickInterval = 0;
    QString titleHtml; ///< the model's title, escaped, its line breaks as <br>
    bool visible = true;
};

/// The look of the value axis `side` of `model` drawn over `range`: ticks at round values while the
/// ends stay where the data or the user put them.
[[nodiscard]] ValueAxisLook ValueAxisLookOf(const GraphModel &model, ValueAxis side, const AxisRange &range);

/// The time axis's label format: time over date. Where the locale's abbreviated month names end in a
/// point ("янв."), the point after the month is already there.
[[nodiscard]] QString TimeAxisFormat(const QLocale &locale);

/// The rectangle zoom's animated transition: the axes move from the ranges before the zoom to the
/// interaction's current ones as the progress goes from 0 to 1. Axes as GraphInteraction's indices.
class ZoomTransition {
public:
    /// Starts from `from` at progress 0.
    void start(const std::array<AxisRange, 3> &from);
    /// Progress in [0, 1]; 1 ends the transition.
    void setProgress(double progress);
    void finish() { m_progress = 1; }
    [[nodiscard]] bool running() const { return m_progress < 1; }
    /// The range axis `axis` is drawn with on the way to `target` (`target` itself when not running).
    [[nodiscard]] AxisRange drawn(int axis, const AxisRange &target) const;

private:
    std::array<AxisRange, 3> m_from{};
    double m_progress = 1;
};

/// Which points the chart gets for each line series. A short series is handed over whole once; a long
/// one as its envelope over the visible time range, again whenever that range or the plot width changes
/// (from a pyramid of its extremes built the first time, so each range costs the columns, not the
/// points). A series made inactive is emptied once, so the chart stops laying out a line it hides.
class SeriesDataCache {
public:
    /// The points to hand the chart for series `index` (`series` as the model holds it) over `bottom`
    /// drawn `widthPx` wide; nullopt when the chart already shows them or the series is inactive and
    /// already emptied.
    [[nodiscard]] std::optional<std::vector<GraphPoint>> pointsToDraw(int index, const SeriesState &series,
                                                                      const AxisRange &bottom, int widthPx);
    /// Whether pointsToDraw would hand series `index` anything for these arguments.
    [[nodiscard]] bool changes(int index, const SeriesState &series, const AxisRange &bottom,
                               int widthPx) const;
    /// Forgets what the chart shows of series `index` (it was emptied).
    void forget(int index);
    /// Forgets what the chart shows (it was cleared) and the series' pyramids: call it whenever the
    /// model's points change.
    void clear();

private:
    struct Drawn {
        double min = 0;
        double max = 0;
        int width = 0;
        bool valid = false;
        friend bool operator==(const Drawn &, const Drawn &) = default;
    };
    /// What the chart is to show of `series`: the whole series, a range and width, or nothing (invalid).
    [[nodiscard]] static Drawn wanted(const SeriesState &series, const AxisRange &bottom, int widthPx);
    /// The pyramid of a series and the points it was built from.
    struct Pyramid {
        const GraphPoint *data = nullptr;
        std::size_t size = 0;
        ExtremesPyramid extremes;
    };
    std::array<Drawn, GraphModel::kMarkerSeries> m_drawn{};
    std::array<Pyramid, GraphModel::kMarkerSeries> m_pyramids{};
};

/// Days since 30 December 1899 as the date-time axis's milliseconds since the epoch, through the graph's
/// one time mapping (which keeps the days it converted: a window keeps one object for its redraws).
class ChartTime {
public:
    [[nodiscard]] qint64 ms(double days);
    [[nodiscard]] QPointF point(const GraphPoint &p) { return QPointF(static_cast<double>(ms(p.x)), p.y); }
    [[nodiscard]] QList<QPointF> points(const std::vector<GraphPoint> &points);

private:
    TimeMapping m_mapping;
};

/// The width in pixels long series are thinned to: the plot's, or before the first layout, while the plot
/// is not known yet, the chart's.
[[nodiscard]] int EnvelopeWidth(const PlotRect &plot, int chartWidth);

/// Diameter of the marker's circle in pixels.
inline constexpr int kMarkerSizePx = 11;

/// The marker's value label: its text in a small box centred above the marker's circle, joined to the
/// circle's rim by a short vertical arrow. Chart coordinates.
struct MarkerCallout {
    QRectF box;      ///< at the origin: the text's size and a padding on every side
    QPointF boxPos;  ///< where the box goes
    QPointF textPos; ///< the text inside the box
    QLineF arrow;    ///< from the rim up to the box
    bool visible = false;
};
/// The callout of a marker drawn at `at` for a text of `textSize`; hidden while the marker lies outside
/// `plotArea` (scrolled out of the plot).
[[nodiscard]] MarkerCallout MarkerCalloutAt(const QPointF &at, const QSizeF &textSize,
                                            const QRectF &plotArea);

/// Where a print of the chart shown at `shown` goes on `page`: as large as fits, aspect kept, at the top
/// left. Empty for an empty chart.
[[nodiscard]] QRectF PrintTarget(const QRectF &page, const QSizeF &shown);

} // namespace velda
