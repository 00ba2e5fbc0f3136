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

// What a step shows (Clock: the clock setting's status text) and does to the clock button's tooltip.
enum Shown { Nothing, Hover, Clock, ExchangeBusy, ClockBusy };
enum Hint { Kept, Idle, Running };

TEST(MainStatusLineTest, Scenarios) {
    enum Event { OnTick, Refused, RefusedDuringClock, Pressed };
    struct Step {
        Event event;
        Tick clock = Tick::Idle; ///< the clock command's answer when a tick asks it
        Press press = Press::Started;
        Shown shown = Nothing;
        Hint hint = Kept;
        bool clockAsked = false;
        int repeat = 1;
    };
    const int held = MainStatusLine::kHeldTicks;
    const struct {
        const char *name;
        std::vector<Step> steps;
    } scenarios[] = {
        {"idle ticks show the hover hint", {{OnTick, Tick::Idle, {}, Hover, Kept, true, 3}}},
        {"a refusal is held and the clock is not asked meanwhile",
         {{Refused, {}, {}, ExchangeBusy},
          {OnTick, Tick::Ended, {}, Nothing, Kept, false, held},
          {OnTick, Tick::Idle, {}, Hover, Kept, true}}},
        {"a refusal while the clock runs names the clock", {{RefusedDuringClock, {}, {}, ClockBusy}}},
        {"a running setting shows its progress on every tick",
         {{OnTick, Tick::Running, {}, Clock, Kept, true, 2}}},
        {"the end of a setting is held and the hint loses its cancel line",
         {{OnTick, Tick::Ended, {}, Clock, Idle, true}, {OnTick, {}, {}, Nothing, Kept, false, held}}},
        {"a press that finds another exchange refuses with the exchange's text",
         {{Pressed, {}, Press::Busy, ExchangeBusy}, {OnTick, {}, {}, Nothing, Kept, false, held}}},
        {"a started setting drops a held refusal and says how to cancel",
         {{Refused, {}, {}, ExchangeBusy},
          {Pressed, {}, Press::Started, Clock, Running},
          {OnTick, Tick::Running, {}, Clock, Kept, true}}},
        {"a cancelling press drops the hold and keeps the hint",
         {{RefusedDuringClock, {}, {}, ClockBusy},
          {Pressed, {}, Press::Cancelling, Clock, Kept},
          {OnTick, Tick::Running, {}, Clock, Kept, true}}},
    };
    for (std::uint8_t language : {0, 1}) {
        LanguageIndex = language;
        const QString hover = QStringLiteral("hover hint");
        const std::optional<QString> texts[] = {std::nullopt, hover, ClockCommand::statusText(),
                                                ExchangeBusyText(false), ExchangeBusyText(true)};
        const std::optional<QString> hints[] = {std::nullopt, ClockButtonHint(Pick(TxtClockSync), false),
                                                ClockButtonHint(Pick(TxtClockSync), true)};
        ASSERT_NE(texts[ExchangeBusy], texts[ClockBusy]);
        ASSERT_NE(hints[Idle], hints[Running]);
        for (const auto &scenario : scenarios) {
            SCOPED_TRACE(scenario.name);
            MainStatusLine line;
            for (std::size_t i = 0; i < scenario.steps.size(); ++i) {
                SCOPED_TRACE(i);
                const Step &step = scenario.steps[i];
                for (int k = 0; k < step.repeat; ++k) {
                    bool asked = false;
                    const auto clock = [&] {
                        asked = true;
                        return step.clock;
                    };
                    const StatusLineUpdate update =
                        step.event == OnTick    ? line.tick(clock, [&] { return hover; })
                        : step.event == Pressed ? line.clockPressed(step.press)
                                                : line.refused(step.event == RefusedDuringClock);
                    EXPECT_EQ(update.text, texts[step.shown]);
                    EXPECT_EQ(update.clockHint, hints[step.hint]);
                    EXPECT_EQ(asked, step.clockAsked);
                }
            }
        }
    }
    LanguageIndex = 0;
}

} // namespace
} // namespace velda
