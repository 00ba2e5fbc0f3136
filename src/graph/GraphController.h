// The graph window's flows without a chart: the model change each channel control makes, the colour
// choice, the mouse gestures (axis ends, rubber band, scrolling), the rectangle zoom's transition, and
// what the window redraws after each.
#pragma once

#include "graph/ChartSync.h"
#include "graph/GraphInteraction.h"
#include "graph/GraphModel.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace velda {

/// GraphInteraction's index of a value axis.
[[nodiscard]] constexpr int AxisIndex(ValueAxis side) {
    return side == ValueAxis::Left ? GraphInteraction::kLeftAxis : GraphInteraction::kRightAxis;
}

/// The check boxes and radio buttons of one channel box.
enum class ChannelControl : std::uint8_t { Sensor, Temperature, Humidity, Third, LeftAxis, RightAxis };

/// What the window does after an event, in this order: stop the zoom animation, start it, then redraw.
struct Redraw {
    bool stopAnimation = false;  ///< the zoom transition was ended at its target
    bool startAnimation = false; ///< a zoom transition starts from progress 0
    bool controls = false;       ///< channel boxes and the series' colours, visibility and axes
    bool axes = false;           ///< axis ranges and looks, the lines' points, label colours, limit lines
    bool marker = false;
    bool status = false;
    friend bool operator==(const Redraw &, const Redraw &) = default;
};

/// The rubber band as dragged: from the press to the pointer, in the chart's client pixels.
struct BandDrag {
    int x0 = 0;
    int y0 = 0;
    int x1 = 0;
    int y1 = 0;
    friend bool operator==(const BandDrag &, const BandDrag &) = default;
};

/// Asks the user for a colour starting from `initial`; nullopt when the user cancels.
using ColourAsker = std::function<std::optional<Rgb>(Rgb initial)>;

/// Drives the model, the mouse state and the zoom transition of one graph window. GUI thread.
class GraphController {
public:
    /// The initial colour offered for a swatch that shows none.
    static constexpr Rgb kNoSwatchColour = 0xFFFFFF;

    explicit GraphController(GraphModel &model) : m_model(model), m_interaction(model) {}

    [[nodiscard]] const GraphInteraction &interaction() const { return m_interaction; }

    /// After the model was built: automatic ranges from its series, everything drawn.
    [[nodiscard]] Redraw built();
    /// A check box of a channel box was clicked (`checked` its new state) or a radio button selected.
    [[nodiscard]] Redraw channelControl(int channel, ChannelControl control, bool checked);
    /// The marks check box was clicked.
    [[nodiscard]] Redraw marksClicked(bool checked);
    /// A colour swatch was clicked: asks for its colour starting from the swatch's own.
    [[nodiscard]] Redraw colourClicked(int channel, bool thirdSwatch, const ColourAsker &ask);

    /// Chart mouse events; positions in the chart's client pixels, `plot` its plotting area now.
    [[nodiscard]] Redraw mouseDown(MouseButton button, int x, int y, const PlotRect &plot);
    [[nodiscard]] Redraw mouseMove(int x, int y, bool leftHeld, bool rightHeld, const PlotRect &plot,
                                   int clientWidth, int clientHeight);
    [[nodiscard]] Redraw mouseUp(MouseButton button, int x, int y, const PlotRect &plot);
    [[nodiscard]] Redraw dblClick(int x, int y, const PlotRect &plot);
    /// The Escape key: ends a running zoom transition at its target and abandons a gesture whose button is
    /// still held (a rubber band, the drag of an axis end, right-button scrolling), so that its release
    /// does nothing. nullopt when none of them ran: then Escape closes the window.
    [[nodiscard]] std::optional<Redraw> escapePressed();
    /// The rubber band while it is dragged with the left button, nullopt while none is to be shown.
    [[nodiscard]] const std::optional<BandDrag> &band() const { return m_band; }

    /// The zoom animation's progress in [0, 1] and its natural end.
    [[nodiscard]] Redraw transitionProgress(double progress);
    [[nodiscard]] Redraw transitionFinished();
    /// Ends a running zoom transition at its target before anything else changes or reads what is drawn.
    [[nodiscard]] Redraw finishTransition();
    [[nodiscard]] bool transitionRunning() const { return m_transition.running(); }
    /// The range axis `axis` is drawn with (GraphInteraction's indices): the interaction's, or on the way
    /// to it while a zoom transition runs.
    [[nodiscard]] AxisRange drawn(int axis) const;

private:
    [[nodiscard]] Redraw everything();

    GraphModel &m_model;
    GraphInteraction m_interaction;
    ZoomTransition m_transition;
    struct Pixel {
        int x = 0;
        int y = 0;
    };
    std::optional<Pixel> m_bandOrigin; ///< a left press inside the plot, until its release
    std::optional<BandDrag> m_band;
    std::optional<Pixel> m_scrollLast; ///< a right press, then the last pointer position it scrolled to
};

} // namespace velda
