// The clock command of the main window.
#include "device/ClockCommand.h"

namespace velda {

ClockCommand::Press ClockCommand::press(ExchangeSetup setup) {
    if (settingRuns()) {
        CancelRequested = true;
        return Press::Cancelling;
    }
    if (ExchangeRunning() || StartClockSetting(std::move(setup)) != StartResult::Started) return Press::Busy;
    m_started = true;
    return Press::Started;
}

ClockCommand::Tick ClockCommand::tick() {
    if (!m_started) return Tick::Idle;
    if (ExchangeRunning()) return Tick::Running;
    m_started = false;
    return Tick::Ended;
}

QString ClockCommand::statusText() {
    return ClockStatusText({ExchangeRunning(), ExchangeState.load(), ExchangeStatus.load(),
                            CancelRequested.load(), LastClockOutcome.load()},
                           Pick(TxtClockSync));
}

} // namespace velda
