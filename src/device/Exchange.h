// The device exchange as the windows and the command line start it: the starters, the waits and the
// shutdown of the link. The parts: ExchangeValues (states, codes, shared variables), ExchangeUi,
// ArchiveHandOver, BMTreadUSB (the thread), ExchangeRegistry (one exchange at a time), ThreadPriority.
#pragma once

#include "device/BMTreadUSB.h"
#include "device/ExchangeRegistry.h"

#include <chrono>
#include <functional>

namespace velda {

/// Each starter (GUI thread) refuses with Busy while an exchange runs; otherwise it clears
/// CancelRequested, sets ExchangeState 0 and the mode, and starts the exchange with the controls
/// attached, in the program's ExchangeRegistry, which keeps it until the next start or StopExchange().
[[nodiscard]] StartResult StartArchiveRead(ExchangeSetup setup, const ExchangeControls &controls);
/// A clock setting shows nothing while it runs.
[[nodiscard]] StartResult StartClockSetting(ExchangeSetup setup);
/// A screen read closes no dialog: only its gauge and status label are attached.
[[nodiscard]] StartResult StartScreenRead(ExchangeSetup setup, const ExchangeControls &controls);

/// True while an exchange thread has been started and its Execute has not yet returned.
[[nodiscard]] bool ExchangeRunning();

/// Waits until the current exchange has ended and joins it. `pump` (may be empty) is called between
/// short waits so that calls the worker hands to this thread still run (pass the GUI's event processing
/// when called on the GUI thread). Returns false when `timeout` passed first (the exchange keeps running).
[[nodiscard]] bool WaitForExchange(std::chrono::milliseconds timeout, const std::function<void()> &pump = {});

/// Ends the current exchange for good (program exit, CLI timeout): asks it to terminate, then joins it
/// while calling `pump`. Safe when no exchange runs.
void StopExchange(const std::function<void()> &pump = {});

/// Program exit: StopExchange(pump), then LibUSB.UnloadDriver().
void ShutdownDeviceLink(const std::function<void()> &pump = {});

} // namespace velda
