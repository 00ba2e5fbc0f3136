// The graph window's flows without a chart: control clicks, colour choice, mouse gestures and the zoom
// transition, and what each asks the window to redraw.
#include "graph/GraphController.h"

#include "GraphTestTables.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <optional>

using namespace velda;
using namespace velda::test;

namespace {

const PlotRect kPlot{50, 20, 950, 700};
const Redraw kEverything{.controls = true, .axes = true, .marker = true, .status = true};

// The dew-point probe and thermometer table with a marker on channel 1.
GraphModel MakeModel() {
    RussianFormats formats;
    ArchiveTable t = DewPointAndThermometerTable();
    GraphModel m(0);
    EXPECT_TRUE(m.build(t, true, true, 0, CurrentFormats()).ok());
    m.setMarker(0, 1);
    return m;
}

struct Window {
    GraphModel model = MakeModel();
    GraphController control{model};
    Window() { EXPECT_EQ(control.built(), kEverything); }
};

Redraw Move(GraphController &c, int x, int y, bool left, bool right) {
    return c.mouseMove(x, y, left, right, kPlot, 1000, 800);
}

} // namespace

// Each channel control makes its model change, lets the automatic ranges follow and redraws everything.
TEST(GraphController, ChannelControlsChangeTheModelAndRedrawEverything) {
    using Direct = std::function<void(GraphModel &)>;
    const struct {
        int channel;
        ChannelControl control;
        bool checked;
        Direct direct;
    } cases[] = {
        {0, ChannelControl::Sensor, false, [](GraphModel &m) { m.sensorCheckClicked(0, false); }},
        {1, ChannelControl::Sensor, false, [](GraphModel &m) { m.sensorCheckClicked(1, false); }},
        {0, ChannelControl::Humidity, true, [](GraphModel &m) { m.quantityChosen(0, true); }},
        {0, ChannelControl::Temperature, true, [](GraphModel &m) { m.quantityChosen(0, false); }},
        {0, ChannelControl::Third, false, [](GraphModel &m) { m.thirdCheckClicked(0, false); }},
        {0, ChannelControl::RightAxis, true, [](GraphModel &m) { m.axisChosen(0, ValueAxis::Right); }},
        {1, ChannelControl::LeftAxis, true, [](GraphModel &m) { m.axisChosen(1, ValueAxis::Left); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(static_cast<int>(c.control) * 2 + c.channel);
        Window w;
        GraphModel expected = MakeModel();
        GraphInteraction expectedRanges(expected);
        c.direct(expected);
        expectedRanges.updateAutomatic();

        EXPECT_EQ(w.control.channelControl(c.channel, c.control, c.checked), kEverything);
        EXPECT_TRUE(w.model.series(GraphModel::kMarkerSeries).points.empty()) << "the marker is removed";
        for (int i = 0; i < GraphModel::kMarkerSeries; ++i) {
            EXPECT_EQ(w.model.series(i).active, expected.series(i).active) << i;
            EXPECT_EQ(w.model.series(i).axis, expected.series(i).axis) << i;
        }
        EXPECT_EQ(w.model.axis(ValueAxis::Right).title, expected.axis(ValueAxis::Right).title);
        EXPECT_EQ(w.control.interaction().left(), expectedRanges.left());
        EXPECT_EQ(w.control.interaction().right(), expectedRanges.right());
    }
}

TEST(GraphController, MarksAndColours) {
    Window w;
    EXPECT_EQ(w.control.marksClicked(false), Redraw{.marker = true});
    EXPECT_FALSE(w.model.marksChecked());
    EXPECT_TRUE(w.model.series(GraphModel::kMarkerSeries).points.empty());

    // Channel, third swatch, the user's answer (nullopt: cancelled).
    const std::tuple<int, bool, std::optional<Rgb>> cases[] = {
        {0, false, 0x102030}, {0, true, 0x405060}, {1, false, std::nullopt}, {1, false, 0x708090}};
    for (const auto &[channel, third, answer] : cases) {
        auto swatch = [&, ch = channel, th = third] {
            const ChannelControls &c = w.model.controls(ch);
            return th ? c.thirdSwatch : c.primarySwatch;
        };
        const std::optional<Rgb> before = swatch();
        std::optional<Rgb> offered;
        const Redraw redraw = w.control.colourClicked(channel, third, [&, a = answer](Rgb initial) {
            offered = initial;
            return a;
        });
        EXPECT_EQ(offered, before.value_or(GraphController::kNoSwatchColour)) << "the swatch's own, or white";
        EXPECT_EQ(redraw, answer ? kEverything : Redraw{});
        EXPECT_EQ(swatch(), answer ? answer : before);
    }
}

// A rectangle zoom animates; whatever changes or reads what is drawn first ends it at its target and
// stops the animation (the chart's own axis animations stay off).
TEST(GraphController, EveryChangeEndsARunningZoomTransitionFirst) {
    const struct {
        const char *name;
        std::function<Redraw(GraphController &)> act;
        Redraw expected;
    } cases[] = {
        {"axis choice",
         [](GraphController &c) { return c.channelControl(1, ChannelControl::LeftAxis, true); },
         Redraw{.stopAnimation = true, .controls = true, .axes = true, .marker = true, .status = true}},
        {"press", [](GraphController &c) { return c.mouseDown(MouseButton::Left, 10, 300, kPlot); },
         Redraw{.stopAnimation = true, .axes = true}},
        {"double click", [](GraphController &c) { return c.dblClick(990, 30, kPlot); },
         Redraw{.stopAnimation = true, .axes = true}},
        {"print, picture or close", [](GraphController &c) { return c.finishTransition(); },
         Redraw{.stopAnimation = true, .axes = true}},
        {"the animation's end", [](GraphController &c) { return c.transitionFinished(); },
         Redraw{.axes = true, .marker = true}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Window w;
        const double leftMin = w.control.interaction().left().min;
        (void)w.control.mouseDown(MouseButton::Left, 200, 100, kPlot);
        EXPECT_EQ(w.control.mouseUp(MouseButton::Left, 600, 500, kPlot),
                  (Redraw{.startAnimation = true, .axes = true, .marker = true}));
        ASSERT_TRUE(w.control.transitionRunning());
        EXPECT_EQ(w.control.drawn(GraphInteraction::kLeftAxis).min, leftMin) << "starts where it was";
        EXPECT_EQ(w.control.transitionProgress(0.5), (Redraw{.axes = true, .marker = true}));
        const double halfway = w.control.drawn(GraphInteraction::kLeftAxis).min;
        EXPECT_TRUE(halfway > leftMin && halfway < w.control.interaction().left().min);

        EXPECT_EQ(c.act(w.control), c.expected);
        EXPECT_FALSE(w.control.transitionRunning());
        EXPECT_EQ(w.control.drawn(GraphInteraction::kBottomAxis), w.control.interaction().bottom());
        EXPECT_EQ(w.control.drawn(GraphInteraction::kLeftAxis), w.control.interaction().left());
        EXPECT_EQ(w.control.drawn(GraphInteraction::kRightAxis), w.control.interaction().right());
        EXPECT_EQ(w.control.finishTransition(), Redraw{}) << "nothing left to end";
    }
}

// The rubber band shows from a press inside the plot to the pointer while the left button is held; a
// right-button drag scrolls the axes, redrawn as they move.
TEST(GraphController, RubberBandAndScrolling) {
    Window w;
    const AxisRange bottomAtStart = w.control.interaction().bottom();
    using Act = std::function<Redraw(GraphController &)>;
    const struct {
        const char *name;
        Act act;
        std::optional<BandDrag> band;
        bool axes;
    } steps[] = {
        {"press on the left axis", [](auto &c) { return c.mouseDown(MouseButton::Left, 10, 300, kPlot); },
         std::nullopt, true},
        {"drag its end", [](auto &c) { return Move(c, 10, 350, true, false); }, std::nullopt, true},
        {"release", [](auto &c) { return c.mouseUp(MouseButton::Left, 10, 350, kPlot); }, std::nullopt, true},
        {"press inside", [](auto &c) { return c.mouseDown(MouseButton::Left, 200, 100, kPlot); },
         std::nullopt, true},
        {"hover", [](auto &c) { return Move(c, 250, 150, false, false); }, std::nullopt, false},
        {"drag", [](auto &c) { return Move(c, 150, 400, true, false); }, BandDrag{200, 100, 150, 400}, false},
        {"release near the press", [](auto &c) { return c.mouseUp(MouseButton::Left, 190, 90, kPlot); },
         std::nullopt, true},
        {"right press", [](auto &c) { return c.mouseDown(MouseButton::Right, 400, 400, kPlot); },
         std::nullopt, true},
        {"right drag", [](auto &c) { return Move(c, 300, 400, false, true); }, std::nullopt, true},
        {"right release", [](auto &c) { return c.mouseUp(MouseButton::Right, 300, 400, kPlot); },
         std::nullopt, true},
        {"held after the release", [](auto &c) { return Move(c, 200, 400, false, true); }, std::nullopt,
         false},
    };
    for (const auto &s : steps) {
        SCOPED_TRACE(s.name);
        const Redraw redraw = s.act(w.control);
        EXPECT_EQ(w.control.band(), s.band);
        EXPECT_EQ(redraw.axes, s.axes);
        EXPECT_FALSE(redraw.startAnimation);
    }
    // Dragged 100 pixels to the left: the bottom axis shows 100 pixels' worth of later times.
    const AxisRange bottom = w.control.interaction().bottom();
    const double perPixel = (bottomAtStart.max - bottomAtStart.min) / (kPlot.right - kPlot.left);
    EXPECT_NEAR(bottom.min - bottomAtStart.min, 100 * perPixel, 1e-9);
    EXPECT_FALSE(bottom.automatic);
}

// Escape ends a zoom transition at its target and drops a gesture whose button is still held, so that its
// release stretches, snaps, scrolls and zooms nothing; only when nothing runs does the window close.
TEST(GraphController, EscapeEndsARunningZoomOrDragBeforeTheWindowCloses) {
    const struct {
        const char *name;
        MouseButton button; ///< pressed at (x, y), the middle one does nothing
        int x, y;
        bool released; ///< at (600, 500), which zooms from a press inside the plot
        std::optional<Redraw> escape;
    } cases[] = {
        {"nothing runs", MouseButton::Middle, 200, 100, false, std::nullopt},
        {"a zoom transition", MouseButton::Left, 200, 100, true, Redraw{.stopAnimation = true, .axes = true}},
        {"a rubber band", MouseButton::Left, 200, 100, false, Redraw{.axes = true}},
        {"an axis end", MouseButton::Left, 10, 300, false, Redraw{.axes = true}},
        {"scrolling", MouseButton::Right, 400, 400, false, Redraw{.axes = true}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Window w;
        (void)w.control.mouseDown(c.button, c.x, c.y, kPlot);
        if (c.released) (void)w.control.mouseUp(c.button, 600, 500, kPlot);
        EXPECT_EQ(w.control.escapePressed(), c.escape);
        const GraphInteraction &mouse = w.control.interaction();
        const std::array<AxisRange, 3> before{mouse.bottom(), mouse.left(), mouse.right()};
        (void)Move(w.control, 10, 500, true, true);
        EXPECT_FALSE(w.control.mouseUp(MouseButton::Left, 600, 500, kPlot).startAnimation);
        EXPECT_EQ((std::array{mouse.bottom(), mouse.left(), mouse.right()}), before);
        EXPECT_EQ(mouse.labelColour(GraphInteraction::kLeftAxis), kLabelBlack);
    }
}
