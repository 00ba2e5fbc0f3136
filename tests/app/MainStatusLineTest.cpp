// The main window's status line, tick by tick: held refusals, the clock setting, hover hints.
#include "app/MainStatusLine.h"

#include "device/ClockSetting.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <vector>

namespace velda {
namespace {

using Tick = ClockCommand::Tick;
using Press = ClockCommand::Press;

const QString kHover = QStringLiteral("hover hint");

// What a step shows; Clock is the clock setting's status text, whatever the exchange globals make it.
enum class Shown { Nothing, Hover, Clock, ExchangeBusy, ClockBusy };
// What a step does to the clock button's tooltip.
enum class Hint { Kept, Idle, Running };

struct Step {
    enum class Event { ClockTick, Refuse, RefuseDuringClock, ClockPress } event;
    Tick clock = Tick::Idle; ///< what the clock command answers when asked on a tick
    Press press = Press::Started;
    Shown shown = Shown::Nothing;
    Hint hint = Hint::Kept;
    bool clockAsked = false;
    int repeat = 1;
};

std::optional<QString> ExpectedText(Shown shown) {
    switch (shown) {
    case Shown::Nothing:
        return std::nullopt;
    case Shown::Hover:
        return kHover;
    case Shown::Clock:
        return ClockCommand::statusText();
    case Shown::ExchangeBusy:
        return ExchangeBusyText(false);
    case Shown::ClockBusy:
        return ExchangeBusyText(true);
    }
    return std::nullopt;
}

std::optional<QString> ExpectedHint(Hint hint) {
    switch (hint) {
    case Hint::Kept:
        return std::nullopt;
    case Hint::Idle:
        return ClockButtonHint(Pick(TxtClockSync), false);
    case Hint::Running:
        return ClockButtonHint(Pick(TxtClockSync), true);
    }
    return std::nullopt;
}

TEST(MainStatusLineTest, Scenarios) {
    using E = Step::Event;
    const int held = MainStatusLine::kHeldTicks;
    struct Scenario {
        const char *name;
        std::vector<Step> steps;
    };
    const Scenario scenarios[] = {
        {"idle ticks show the hover hint",
         {{E::ClockTick, Tick::Idle, {}, Shown::Hover, Hint::Kept, true, 3}}},
        {"a refusal holds its text and does not ask the clock meanwhile",
         {{E::Refuse, {}, {}, Shown::ExchangeBusy},
          {E::ClockTick, Tick::Ended, {}, Shown::Nothing, Hint::Kept, false, held},
          {E::ClockTick, Tick::Idle, {}, Shown::Hover, Hint::Kept, true}}},
        {"a refusal while the clock runs names the clock",
         {{E::RefuseDuringClock, {}, {}, Shown::ClockBusy},
          {E::ClockTick, {}, {}, Shown::Nothing, Hint::Kept, false, held}}},
        {"a running setting shows its progress on every tick",
         {{E::ClockTick, Tick::Running, {}, Shown::Clock, Hint::Kept, true, 2}}},
        {"the end of a setting is held and the button hint loses its cancel line",
         {{E::ClockTick, Tick::Ended, {}, Shown::Clock, Hint::Idle, true},
          {E::ClockTick, Tick::Idle, {}, Shown::Nothing, Hint::Kept, false, held},
          {E::ClockTick, Tick::Idle, {}, Shown::Hover, Hint::Kept, true}}},
        {"a press that finds another exchange refuses with the exchange's text",
         {{E::ClockPress, {}, Press::Busy, Shown::ExchangeBusy},
          {E::ClockTick, {}, {}, Shown::Nothing, Hint::Kept, false, held}}},
        {"a started setting drops a held refusal and says how to cancel",
         {{E::Refuse, {}, {}, Shown::ExchangeBusy},
          {E::ClockPress, {}, Press::Started, Shown::Clock, Hint::Running},
          {E::ClockTick, Tick::Running, {}, Shown::Clock, Hint::Kept, true}}},
        {"a cancelling press drops the hold and keeps the hint",
         {{E::RefuseDuringClock, {}, {}, Shown::ClockBusy},
          {E::ClockPress, {}, Press::Cancelling, Shown::Clock, Hint::Kept},
          {E::ClockTick, Tick::Running, {}, Shown::Clock, Hint::Kept, true}}},
    };
    for (std::uint8_t language : {0, 1}) {
        LanguageIndex = language;
        for (const Scenario &scenario : scenarios) {
            SCOPED_TRACE(scenario.name);
            MainStatusLine line;
            int stepIndex = 0;
            for (const Step &step : scenario.steps) {
                SCOPED_TRACE(stepIndex++);
                for (int k = 0; k < step.repeat; ++k) {
                    bool asked = false;
                    StatusLineUpdate update;
                    switch (step.event) {
                    case E::ClockTick:
                        update = line.tick(
                            [&] {
                                asked = true;
                                return step.clock;
                            },
                            [] { return kHover; });
                        break;
                    case E::Refuse:
                    case E::RefuseDuringClock:
                        update = line.refused(step.event == E::RefuseDuringClock);
                        break;
                    case E::ClockPress:
                        update = line.clockPressed(step.press);
                        break;
                    }
                    EXPECT_EQ(update.text, ExpectedText(step.shown));
                    EXPECT_EQ(update.clockHint, ExpectedHint(step.hint));
                    EXPECT_EQ(asked, step.clockAsked);
                }
            }
        }
    }
    LanguageIndex = 0;
}

TEST(MainStatusLineTest, BusyTextsDifferAndHintsDifferWhileRunning) {
    // The scenarios tell the texts apart only if they are different texts.
    EXPECT_NE(ExchangeBusyText(false), ExchangeBusyText(true));
    EXPECT_NE(ExpectedHint(Hint::Idle), ExpectedHint(Hint::Running));
    EXPECT_NE(ClockCommand::statusText(), kHover);
}

} // namespace
} // namespace velda
