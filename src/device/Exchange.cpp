// The starters and waits of the device exchange.
#include "device/Exchange.h"

namespace velda {

StartResult StartArchiveRead(ExchangeSetup setup, const ExchangeControls &controls) {
    return ExchangeRegistry::program().start(ModeArchiveRead, std::move(setup), controls);
}

StartResult StartClockSetting(ExchangeSetup setup) {
    return ExchangeRegistry::program().start(ModeClockSet, std::move(setup), {});
}

StartResult StartScreenRead(ExchangeSetup setup, const ExchangeControls &controls) {
    ExchangeControls attached = controls;
    attached.dialog = nullptr;
    return ExchangeRegistry::program().start(ModeScreenRead, std::move(setup), attached);
}

bool ExchangeRunning() {
    const auto exchange = ExchangeRegistry::program().current();
    return exchange && !exchange->Finished();
}

// The waits hold no lock, so the pump may run GUI code that asks ExchangeRunning() or starts anew.
bool WaitForExchange(std::chrono::milliseconds timeout, const std::function<void()> &pump) {
    const auto exchange = ExchangeRegistry::program().current();
    if (!exchange) return true;
    if (!exchange->WaitFinished(timeout, pump)) return false;
    exchange->Join();
    return true;
}

void StopExchange(const std::function<void()> &pump) {
    ExchangeRegistry &registry = ExchangeRegistry::program();
    const auto exchange = registry.current();
    if (!exchange) return;
    exchange->Terminate();
    static_cast<void>(exchange->WaitFinished(std::chrono::hours(1), pump));
    exchange->Join();
    registry.forget(exchange);
}

void ShutdownDeviceLink(const std::function<void()> &pump) {
    StopExchange(pump);
    LibUSB.UnloadDriver();
}

} // namespace velda
