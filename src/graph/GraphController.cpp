// The graph window's flows: controls to model changes, mouse gestures and the zoom transition.
#include "graph/GraphController.h"

namespace velda {

Redraw GraphController::everything() {
    Redraw redraw = finishTransition();
    redraw.controls = redraw.axes = redraw.marker = redraw.status = true;
    return redraw;
}

Redraw GraphController::built() {
    m_interaction.updateAutomatic();
    return everything();
}

Redraw GraphController::channelControl(int channel, ChannelControl control, bool checked) {
    switch (control) {
    case ChannelControl::Sensor:
        m_model.sensorCheckClicked(channel, checked);
        break;
    case ChannelControl::Temperature:
    case ChannelControl::Humidity:
        m_model.quantityChosen(channel, control == ChannelControl::Humidity);
        break;
    case ChannelControl::Third:
        m_model.thirdCheckClicked(channel, checked);
        break;
    case ChannelControl::LeftAxis:
    case ChannelControl::RightAxis:
        m_model.axisChosen(channel, control == ChannelControl::LeftAxis ? ValueAxis::Left : ValueAxis::Right);
        break;
    }
    // Automatic axis ranges follow the lines now shown.
    m_interaction.updateAutomatic();
    return everything();
}

Redraw GraphController::marksClicked(bool checked) {
    m_model.setMarksChecked(checked);
    m_model.clearMarker();
    return Redraw{.marker = true};
}

Redraw GraphController::colourClicked(int channel, bool thirdSwatch, const ColourAsker &ask) {
    const ChannelControls &c = m_model.controls(channel);
    const std::optional<Rgb> current = thirdSwatch ? c.thirdSwatch : c.primarySwatch;
    const std::optional<Rgb> chosen = ask(current.value_or(kNoSwatchColour));
    if (!chosen) return {};
    m_model.colourChosen(channel, thirdSwatch, *chosen);
    return everything();
}

Redraw GraphController::mouseDown(MouseButton button, int x, int y, const PlotRect &plot) {
    Redraw redraw = finishTransition();
    m_interaction.mouseDown(button, x, y, plot);
    if (button == MouseButton::Left && plot.contains(x, y)) {
        m_bandOrigin = Pixel{x, y};
        m_band.reset();
    }
    if (button == MouseButton::Right) m_scrollLast = Pixel{x, y};
    redraw.axes = true; // the label colours of a drag mode
    return redraw;
}

Redraw GraphController::mouseMove(int x, int y, bool leftHeld, bool rightHeld, const PlotRect &plot,
                                  int clientWidth, int clientHeight) {
    const AxisRange bottom = m_interaction.bottom();
    const AxisRange left = m_interaction.left();
    const AxisRange right = m_interaction.right();
    if (m_scrollLast && rightHeld) {
        m_interaction.scroll(x - m_scrollLast->x, y - m_scrollLast->y, plot);
        m_scrollLast = Pixel{x, y};
    }
    if (m_bandOrigin && leftHeld) m_band = BandDrag{m_bandOrigin->x, m_bandOrigin->y, x, y};
    m_interaction.mouseMove(x, y, plot, clientWidth, clientHeight);
    Redraw redraw{.marker = true, .status = true};
    redraw.axes =
        !(bottom == m_interaction.bottom() && left == m_interaction.left() && right == m_interaction.right());
    return redraw;
}

Redraw GraphController::mouseUp(MouseButton button, int x, int y, const PlotRect &plot) {
    Redraw redraw{.axes = true, .marker = true};
    m_interaction.mouseUp(button);
    if (button == MouseButton::Left && m_bandOrigin) {
        const Pixel origin = *m_bandOrigin;
        m_bandOrigin.reset();
        m_band.reset();
        // Only the rectangle zoom is animated; dragging an axis end follows the pointer directly.
        const std::array<AxisRange, 3> before{drawn(GraphInteraction::kBottomAxis),
                                              drawn(GraphInteraction::kLeftAxis),
                                              drawn(GraphInteraction::kRightAxis)};
        if (m_interaction.rubberBand(origin.x, origin.y, x, y, plot)) {
            redraw.stopAnimation = m_transition.running();
            m_transition.start(before);
            redraw.startAnimation = true;
        }
    }
    if (button == MouseButton::Right) m_scrollLast.reset();
    return redraw;
}

Redraw GraphController::dblClick(int x, int y, const PlotRect &plot) {
    m_interaction.dblClick();
    return mouseDown(MouseButton::Left, x, y, plot);
}

std::optional<Redraw> GraphController::escapePressed() {
    const bool gesture = m_bandOrigin.has_value() || m_scrollLast.has_value();
    m_bandOrigin.reset();
    m_band.reset();
    m_scrollLast.reset();
    const bool axisDrag = m_interaction.endAxisDrag();
    Redraw redraw = finishTransition();
    if (!gesture && !axisDrag && !redraw.stopAnimation) return std::nullopt;
    redraw.axes = true; // the label colours, and the rubber band goes
    return redraw;
}

Redraw GraphController::transitionProgress(double progress) {
    m_transition.setProgress(progress);
    return Redraw{.axes = true, .marker = true};
}

Redraw GraphController::transitionFinished() {
    m_transition.finish();
    return Redraw{.axes = true, .marker = true};
}

Redraw GraphController::finishTransition() {
    if (!m_transition.running()) return {};
    m_transition.finish();
    return Redraw{.stopAnimation = true, .axes = true};
}

AxisRange GraphController::drawn(int axis) const {
    return m_transition.drawn(axis, axis == GraphInteraction::kBottomAxis ? m_interaction.bottom()
                                    : axis == GraphInteraction::kLeftAxis ? m_interaction.left()
                                                                          : m_interaction.right());
}

} // namespace velda
