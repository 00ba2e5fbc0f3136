// The main window's status-line decisions: held messages, the clock setting's progress, hover hints.
#include "app/MainStatusLine.h"

#include "base/SharedTexts.h"
#include "device/ClockSetting.h"

namespace velda {

StatusLineUpdate MainStatusLine::tick(const std::function<ClockCommand::Tick()> &clockTick,
                                      const std::function<QString()> &hoverHint) {
    if (m_heldTicks > 0) {
        --m_heldTicks;
        return {};
    }
    switch (clockTick()) {
    case ClockCommand::Tick::Running:
        return {ClockCommand::statusText(), std::nullopt};
    case ClockCommand::Tick::Ended: {
        // The setting has ended: say what it did, then the hover texts take over again.
        StatusLineUpdate update = hold(ClockCommand::statusText());
        update.clockHint = ClockButtonHint(Pick(TxtClockSync), false);
        return update;
    }
    case ClockCommand::Tick::Idle:
        break;
    }
    return {hoverHint(), std::nullopt};
}

StatusLineUpdate MainStatusLine::refused(bool clockSettingRuns) {
    return hold(ExchangeBusyText(clockSettingRuns));
}

StatusLineUpdate MainStatusLine::readEnded(std::uint32_t records, std::uint32_t failedChecks) {
    if (failedChecks == 0) return {};
    return hold(Pick(TxtRecordsFailedCheck).arg(failedChecks).arg(records));
}

StatusLineUpdate MainStatusLine::clockPressed(ClockCommand::Press press) {
    StatusLineUpdate update;
    switch (press) {
    case ClockCommand::Press::Busy:
        return refused(false);
    case ClockCommand::Press::Started:
        update.clockHint = ClockButtonHint(Pick(TxtClockSync), true);
        break;
    case ClockCommand::Press::Cancelling:
        break;
    }
    m_heldTicks = 0;
    update.text = ClockCommand::statusText();
    return update;
}

StatusLineUpdate MainStatusLine::hold(const QString &text) {
    m_heldTicks = kHeldTicks;
    return {text, std::nullopt};
}

} // namespace velda
