// The graph window's flows without a chart: control clicks, colour choice, mouse gestures and the zoom
// transition, and what each asks the window to redraw.
#include "graph/GraphController.h"

#include "GraphTestTables.h"

#include <gtest/gtest.h>

#include <functional>

using namespace velda;
using namespace velda::test;

namespace {

const PlotRect kPlot{50, 20, 950, 700};
constexpr int kClientW = 1000;
constexpr int kClientH = 800;
const Redraw kEverything{.controls = true, .axes = true, .marker = true, .status = true};

// Channel 1: a dew-point probe (T, H, dew point), channel 2: a thermometer. Three rows a minute apart.
GraphModel MakeModel() {
    RussianFormats formats;
    ArchiveTable t = MakeTable(
        {
            {"10:00:00", "05.03.2018", "SHT          ", "10,00", "50,00", "0,00", "DS18B20      ", "-5,00"},
            {"10:01:00", "05.03.2018", "SHT          ", "20,00", "70,00", "2,00", "DS18B20      ", "20,00"},
            {"10:02:00", "05.03.2018", "SHT          ", "30,00", "90,00", "5,00", "DS18B20      ", "45,00"},
        },
        14);
    GraphModel m(0);
    EXPECT_FALSE(m.build(t, true, true, 0, CurrentFormats()));
    m.setMarker(0, 1);
    return m;
}

// A window's model and its controller.
struct Window {
    GraphModel model = MakeModel();
    GraphController control{model};
    Window() { EXPECT_EQ(control.built(), kEverything); }
};

// A rectangle zoom towards the lower right, left running at progress 0.
Redraw Zoom(GraphController &control) {
    EXPECT_EQ(control.mouseDown(MouseButton::Left, 200, 100, kPlot), Redraw{.axes = true});
    (void)control.mouseMove(600, 500, true, false, kPlot, kClientW, kClientH);
    return control.mouseUp(MouseButton::Left, 600, 500, kPlot);
}

} // namespace

// Each channel control makes exactly its model change, lets the automatic ranges follow and redraws all.
TEST(GraphController, ChannelControlsChangeTheModelAndRedrawEverything) {
    struct Case {
        const char *name;
        int channel;
        ChannelControl control;
        bool checked;
        std::function<void(GraphModel &)> direct;
    };
    const Case cases[] = {
        {"hide channel 1", 0, ChannelControl::Sensor, false,
         [](GraphModel &m) { m.sensorCheckClicked(0, false); }},
        {"hide channel 2", 1, ChannelControl::Sensor, false,
         [](GraphModel &m) { m.sensorCheckClicked(1, false); }},
        {"humidity of channel 1", 0, ChannelControl::Humidity, true,
         [](GraphModel &m) { m.quantityChosen(0, true); }},
        {"temperature of channel 1", 0, ChannelControl::Temperature, true,
         [](GraphModel &m) { m.quantityChosen(0, false); }},
        {"third of channel 1 off", 0, ChannelControl::Third, false,
         [](GraphModel &m) { m.thirdCheckClicked(0, false); }},
        {"channel 1 to the right", 0, ChannelControl::RightAxis, true,
         [](GraphModel &m) { m.axisChosen(0, ValueAxis::Right); }},
        {"channel 2 to the left", 1, ChannelControl::LeftAxis, true,
         [](GraphModel &m) { m.axisChosen(1, ValueAxis::Left); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
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
        for (ValueAxis side : {ValueAxis::Left, ValueAxis::Right})
            EXPECT_EQ(w.model.axis(side).title, expected.axis(side).title);
        EXPECT_EQ(w.control.interaction().left(), expectedRanges.left());
        EXPECT_EQ(w.control.interaction().right(), expectedRanges.right());
    }
}

TEST(GraphController, MarksAndColours) {
    Window w;
    EXPECT_EQ(w.control.marksClicked(false), Redraw{.marker = true});
    EXPECT_FALSE(w.model.marksChecked());
    EXPECT_TRUE(w.model.series(GraphModel::kMarkerSeries).points.empty());

    struct Case {
        const char *name;
        int channel;
        bool thirdSwatch;
        std::optional<Rgb> answer;
    };
    const Case cases[] = {
        {"primary of channel 1 chosen", 0, false, 0x102030},
        {"third of channel 1 chosen", 0, true, 0x405060},
        {"cancelled", 1, false, std::nullopt},
        {"primary of channel 2 chosen", 1, false, 0x708090},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const ChannelControls before = w.model.controls(c.channel);
        const std::optional<Rgb> shown = c.thirdSwatch ? before.thirdSwatch : before.primarySwatch;
        std::optional<Rgb> offered;
        const Redraw redraw = w.control.colourClicked(c.channel, c.thirdSwatch, [&](Rgb initial) {
            offered = initial;
            return c.answer;
        });
        EXPECT_EQ(offered, shown.value_or(GraphController::kNoSwatchColour));
        const ChannelControls &after = w.model.controls(c.channel);
        const std::optional<Rgb> now = c.thirdSwatch ? after.thirdSwatch : after.primarySwatch;
        EXPECT_EQ(redraw, c.answer ? kEverything : Redraw{});
        EXPECT_EQ(now, c.answer ? c.answer : shown);
    }
}

// Whatever changes or reads what is drawn first ends a running zoom transition at its target.
TEST(GraphController, EveryChangeEndsARunningZoomTransitionFirst) {
    struct Case {
        const char *name;
        std::function<Redraw(GraphController &)> act;
        Redraw rest; // what the event redraws besides the axes of the ended transition
    };
    const Case cases[] = {
        {"axis choice",
         [](GraphController &c) { return c.channelControl(1, ChannelControl::LeftAxis, true); }, kEverything},
        {"press", [](GraphController &c) { return c.mouseDown(MouseButton::Left, 10, 300, kPlot); },
         Redraw{.axes = true}},
        {"double click", [](GraphController &c) { return c.dblClick(990, 30, kPlot); }, Redraw{.axes = true}},
        {"print or close", [](GraphController &c) { return c.finishTransition(); }, Redraw{.axes = true}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Window w;
        const AxisRange leftBefore = w.control.interaction().left();
        EXPECT_EQ(Zoom(w.control), (Redraw{.startAnimation = true, .axes = true, .marker = true}));
        ASSERT_TRUE(w.control.transitionRunning());
        EXPECT_EQ(w.control.drawn(GraphInteraction::kLeftAxis).min, leftBefore.min) << "starts where it was";
        EXPECT_EQ(w.control.transitionProgress(0.5), (Redraw{.axes = true, .marker = true}));
        const double halfway = w.control.drawn(GraphInteraction::kLeftAxis).min;
        EXPECT_GT(halfway, leftBefore.min);
        EXPECT_LT(halfway, w.control.interaction().left().min);

        Redraw expected = c.rest;
        expected.stopAnimation = true;
        expected.axes = true;
        EXPECT_EQ(c.act(w.control), expected);
        EXPECT_FALSE(w.control.transitionRunning());
        for (int axis = 0; axis < 3; ++axis) {
            const AxisRange target = axis == 0   ? w.control.interaction().bottom()
                                     : axis == 1 ? w.control.interaction().left()
                                                 : w.control.interaction().right();
            EXPECT_EQ(w.control.drawn(axis), target) << axis;
        }
        EXPECT_EQ(w.control.finishTransition(), Redraw{}) << "nothing left to end";
    }
}

TEST(GraphController, TransitionEndsOnItsOwn) {
    Window w;
    (void)Zoom(w.control);
    EXPECT_EQ(w.control.transitionFinished(), (Redraw{.axes = true, .marker = true}));
    EXPECT_FALSE(w.control.transitionRunning());
    EXPECT_EQ(w.control.drawn(GraphInteraction::kBottomAxis), w.control.interaction().bottom());
    // A restore (dragged towards the upper left) is animated too; a short drag changes nothing.
    (void)w.control.mouseDown(MouseButton::Left, 600, 500, kPlot);
    EXPECT_TRUE(w.control.mouseUp(MouseButton::Left, 200, 100, kPlot).startAnimation);
    (void)w.control.finishTransition();
    (void)w.control.mouseDown(MouseButton::Left, 600, 500, kPlot);
    EXPECT_FALSE(w.control.mouseUp(MouseButton::Left, 610, 510, kPlot).startAnimation);
    EXPECT_FALSE(w.control.transitionRunning());
}

// The rubber band shows from the press to the pointer while the left button is held after a press inside
// the plot; right-button drags scroll the axes, which are redrawn as they go.
TEST(GraphController, RubberBandAndScrolling) {
    Window w;
    struct Step {
        const char *name;
        std::function<Redraw(GraphController &)> act;
        std::optional<BandDrag> band;
        bool axesRedrawn;
    };
    const AxisRange bottomAtStart = w.control.interaction().bottom();
    const Step steps[] = {
        {"press outside the plot",
         [](GraphController &c) { return c.mouseDown(MouseButton::Left, 10, 300, kPlot); }, std::nullopt,
         true},
        {"drag an axis end",
         [](GraphController &c) { return c.mouseMove(10, 350, true, false, kPlot, kClientW, kClientH); },
         std::nullopt, true},
        {"release", [](GraphController &c) { return c.mouseUp(MouseButton::Left, 10, 350, kPlot); },
         std::nullopt, true},
        {"press inside", [](GraphController &c) { return c.mouseDown(MouseButton::Left, 200, 100, kPlot); },
         std::nullopt, true},
        {"hover without the button",
         [](GraphController &c) { return c.mouseMove(250, 150, false, false, kPlot, kClientW, kClientH); },
         std::nullopt, false},
        {"drag",
         [](GraphController &c) { return c.mouseMove(150, 400, true, false, kPlot, kClientW, kClientH); },
         BandDrag{200, 100, 150, 400}, false},
        {"drag on",
         [](GraphController &c) { return c.mouseMove(180, 90, true, false, kPlot, kClientW, kClientH); },
         BandDrag{200, 100, 180, 90}, false},
        {"release within the threshold",
         [](GraphController &c) { return c.mouseUp(MouseButton::Left, 180, 90, kPlot); }, std::nullopt, true},
        {"right press", [](GraphController &c) { return c.mouseDown(MouseButton::Right, 400, 400, kPlot); },
         std::nullopt, true},
        {"right drag scrolls",
         [](GraphController &c) { return c.mouseMove(300, 400, false, true, kPlot, kClientW, kClientH); },
         std::nullopt, true},
        {"right release", [](GraphController &c) { return c.mouseUp(MouseButton::Right, 300, 400, kPlot); },
         std::nullopt, true},
        {"right held after the release scrolls no more",
         [](GraphController &c) { return c.mouseMove(200, 400, false, true, kPlot, kClientW, kClientH); },
         std::nullopt, false},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.name);
        const Redraw redraw = s.act(w.control);
        EXPECT_EQ(w.control.band(), s.band);
        EXPECT_EQ(redraw.axes, s.axesRedrawn);
        EXPECT_FALSE(redraw.startAnimation);
    }
    // The scroll by 100 pixels to the left moved the bottom axis to later times by 100 pixels' worth.
    const AxisRange bottom = w.control.interaction().bottom();
    const double perPixel = (bottomAtStart.max - bottomAtStart.min) / (kPlot.right - kPlot.left);
    EXPECT_NEAR(bottom.min - bottomAtStart.min, 100 * perPixel, 1e-9);
    EXPECT_FALSE(bottom.automatic);
}
