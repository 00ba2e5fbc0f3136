// Mouse work on the graph without a chart: press zones, axis-end dragging, snapping, zoom, scrolling,
// the cursor read-out and the marker, over the plot rectangle in pixels and the axes' ranges.
#pragma once

#include "graph/GraphModel.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace velda {

/// The plotting area in client pixels of the chart. Inside means left and top included, right and
/// bottom excluded.
struct PlotRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    [[nodiscard]] bool contains(int x, int y) const {
        return x >= left && x < right && y >= top && y < bottom;
    }
};

/// One axis's current limits; `automatic` while they follow the data.
struct AxisRange {
    double min = 0;
    double max = 1;
    bool automatic = true;
    friend bool operator==(const AxisRange &, const AxisRange &) = default;
};

/// Linear conversions between client pixels and axis values (x grows right, y grows up).
[[nodiscard]] double PixelToX(const AxisRange &axis, const PlotRect &plot, double px);
[[nodiscard]] double PixelToY(const AxisRange &axis, const PlotRect &plot, double py);
[[nodiscard]] double XToPixel(const AxisRange &axis, const PlotRect &plot, double x);
[[nodiscard]] double YToPixel(const AxisRange &axis, const PlotRect &plot, double y);

/// Where a press happened: 0 none (inside or above the plot, or a lower corner), 1 left margin, 2 right
/// margin, 3 below the plot.
[[nodiscard]] int PressZoneAt(const PlotRect &plot, int x, int y);

/// Drag mode of a press in `zone` at values x (bottom axis) and y (the reference series' vertical axis):
/// 0 none, 1/2 bottom min/max, 3/4 left max/min, 5/6 right max/min.
[[nodiscard]] int DragModeFor(int zone, double x, double y, const AxisRange &bottom, const AxisRange &left,
                              const AxisRange &right);

/// Label font colour of each axis while a drag mode is set; nullopt leaves the colour as it is.
struct LabelColours {
    std::optional<Rgb> bottom;
    std::optional<Rgb> left;
    std::optional<Rgb> right;
};
inline constexpr Rgb kLabelBlack = 0x000000;
inline constexpr Rgb kLabelRed = 0xFF0000;
[[nodiscard]] LabelColours LabelColoursFor(int dragMode);

/// Smallest and largest data value of an axis: over its active series with points; when none of its
/// series is active, over all of them with points; 0 and 0 when there is none. The marker counts.
struct Extremes {
    double lo = 0;
    double hi = 0;
};
[[nodiscard]] Extremes YExtremes(const GraphModel &model, ValueAxis axis);
[[nodiscard]] Extremes XExtremes(const GraphModel &model);

/// Index of the point of `series` nearest to the pointer within `tolerancePx` pixels, if any. Lines
/// between points do not count. The points must be sorted by x.
[[nodiscard]] std::optional<std::size_t> PointUnderPointer(const SeriesState &series, const AxisRange &bottom,
                                                           const AxisRange &vertical, const PlotRect &plot,
                                                           int px, int py, double tolerancePx = 5.0);

/// Cursor read-out of the status line: time t (days since 30 December 1899) and the values y1, y2 at the
/// pointer's height on channel 1's and channel 2's axes; a channel's value only when `show1`/`show2`.
[[nodiscard]] QString ReadoutText(double t, double y1, double y2, bool show1, bool show2,
                                  std::uint8_t language, const SystemFormats &formats);

/// A readable distance between value-axis ticks for `span`: the smallest of 1, 2 or 5 times a power of ten
/// at most `targetTicks` intervals. 0 for an empty or invalid span.
[[nodiscard]] double NiceTickInterval(double span, int targetTicks);

/// A value-axis label in the number format "#,##0.##": thousands grouped, at most two decimals without
/// trailing zeros, the locale's group separator and the system decimal separator (1234.5 -> "1 234,5"
/// in Russian, 0.25 -> "0.25" and 12000 -> "12,000" in US English).
[[nodiscard]] QString AxisValueLabel(double y, const SystemFormats &formats);

/// One labelled tick of a value axis.
struct AxisTick {
    double value = 0;
    QString label;
    friend bool operator==(const AxisTick &, const AxisTick &) = default;
};
/// The ticks of a value axis from `min` to `max`: the multiples of `interval` in that range, labelled
/// with AxisValueLabel; a tick whose label repeats the previous one is left out. Empty when `interval`
/// is not positive.
[[nodiscard]] std::vector<AxisTick> ValueAxisTicks(double min, double max, double interval,
                                                   const SystemFormats &formats);

/// The marker's value label: grouped thousands and up to three decimals in the formats' locale
/// (21.5 -> "21,5" in Russian, 1234.567 -> "1,234.567" in US English).
[[nodiscard]] QString MarkerLabel(double y, const SystemFormats &formats);

enum class MouseButton : std::uint8_t { Left, Right, Middle };

/// The mouse state of one graph window and the three axes' ranges. GUI thread.
class GraphInteraction {
public:
    static constexpr int kZoomThresholdPx = 16;

    explicit GraphInteraction(GraphModel &model) : m_model(model) { updateAutomatic(); }

    [[nodiscard]] const AxisRange &bottom() const { return m_bottom; }
    [[nodiscard]] const AxisRange &left() const { return m_left; }
    [[nodiscard]] const AxisRange &right() const { return m_right; }
    [[nodiscard]] const AxisRange &vertical(ValueAxis axis) const {
        return axis == ValueAxis::Left ? m_left : m_right;
    }
    void setRanges(const AxisRange &bottom, const AxisRange &left, const AxisRange &right);
    /// Recomputes the ranges of the axes that scale automatically from their active series.
    void updateAutomatic();

    /// Chart1MouseDown. `client` is the chart control's size in pixels.
    void mouseDown(MouseButton button, int x, int y, const PlotRect &plot);
    /// Chart1MouseMove: read-out and marker inside the plot, axis-end dragging outside it.
    void mouseMove(int x, int y, const PlotRect &plot, int clientWidth, int clientHeight);
    /// Chart1MouseUp.
    void mouseUp(MouseButton button);
    /// Chart1DblClick.
    void dblClick() { SnapPending = true; }
    /// Ends the drag of an axis end where the end now is, without its release: the labels turn black, a
    /// snap the drag would have run on its release is dropped, and the release that follows changes
    /// nothing. Returns whether a drag was running.
    [[nodiscard]] bool endAxisDrag();

    /// Rectangle zoom from a left press inside the plot at (x0, y0) released at (x1, y1): towards lower
    /// right zooms all axes to the rectangle, any other direction restores automatic scaling; a release
    /// within the threshold in either direction does nothing. Returns whether the ranges changed.
    [[nodiscard]] bool rubberBand(int x0, int y0, int x1, int y1, const PlotRect &plot);
    /// Automatic scaling for all three axes.
    void restoreAutomatic();
    /// Right-button scrolling: the view follows the pointer by (dx, dy) pixels.
    void scroll(int dx, int dy, const PlotRect &plot);

    void SetOptimalLeftMarginToBottomAxis();
    void SetOptimalRightMarginToBottomAxis();
    void SetOptimalTopMarginToLeftAxis();
    void SetOptimalBottomMarginToLeftAxis();
    void SetOptimalTopMarginToRightAxis();
    void SetOptimalBottomMarginToRightAxis();

    [[nodiscard]] const QString &statusText() const { return m_status; }
    [[nodiscard]] Rgb labelColour(int axis) const { return m_labelColour[static_cast<std::size_t>(axis)]; }

    int PrevMouseX = 0;
    int PrevMouseY = 0;
    int PressZone = 0;
    int AxisDragMode = 0;
    bool SnapPending = false;

    /// Axis indices of labelColour: 0 bottom, 1 left, 2 right.
    static constexpr int kBottomAxis = 0;
    static constexpr int kLeftAxis = 1;
    static constexpr int kRightAxis = 2;

private:
    [[nodiscard]] int referenceSeries(int zone) const;
    void applyLabelColours();
    void runSnap(int mode);

    GraphModel &m_model;
    AxisRange m_bottom;
    AxisRange m_left;
    AxisRange m_right;
    QString m_status;
    std::array<Rgb, 3> m_labelColour{kLabelBlack, kLabelBlack, kLabelBlack};
};

} // namespace velda
