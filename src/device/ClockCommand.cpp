// The clock command of the main window and the status-line text of its exchange.
#include "device/ClockCommand.h"

#include "device/ShowStatus.h"

namespace velda {

ClockCommand::Press ClockCommand::press(ExchangeSetup setup) {
    if (m_running && ExchangeRunning()) {
        CancelRequested = true;
        return Press::Cancelling;
    }
    if (ExchangeRunning() || StartClockSetting(std::move(setup)) != StartResult::Started) return Press::Busy;
    m_running = true;
    return Press::Started;
}

bool ClockCommand::running() {
    if (m_running && !ExchangeRunning()) m_running = false;
    return m_running;
}

QString ClockCommand::statusText() {
    if (CancelRequested.load()) return Pick(TxtClockCancelling);
    const std::uint8_t status = ExchangeStatus.load();
    switch (ExchangeState.load()) {
    case StateConnect:
        return status == StatusOk ? Pick(TxtConnection) : StatusText(status);
    case StateVersion:
        return Pick(TxtVersionRead);
    case StateFinish:
        return status == StatusOk ? Pick(TxtReady) : StatusText(status);
    default:
        return Pick(TxtClockSync);
    }
}

} // namespace velda
