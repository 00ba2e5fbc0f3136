// What the exchange thread reaches of the user interface: the blocking hand-over, the controls that
// show its progress, and the pauses.
#pragma once

#include <QString>

#include <chrono>
#include <functional>
#include <thread>

namespace velda {

enum class MessageIcon { Error, Information };

/// How the exchange thread reaches the user interface. Both calls block the calling (exchange) thread
/// until they are done. The windows implement it with a blocking queued call onto the GUI thread; tests
/// and headless programs may run the call inline.
class ExchangeUi {
public:
    virtual ~ExchangeUi() = default;
    /// Runs `call` on the user-interface thread and returns when it has returned.
    virtual void runBlocking(const std::function<void()> &call) = 0;
    /// Shows a message box without owner window and returns when the user has closed it.
    virtual void showMessage(const QString &text, const QString &caption, MessageIcon icon) = 0;
};

/// A progress gauge, 0 to 100. Called only on the user-interface thread (inside ShowStatus).
class Gauge {
public:
    virtual ~Gauge() = default;
    virtual void setGaugeValue(int percent) = 0;
    virtual void hideGauge() = 0;
};

/// The progress dialog: its caption shows the phase; state 10 closes it (ending the starter's modal
/// wait). Called only on the user-interface thread.
class Dialog {
public:
    virtual ~Dialog() = default;
    virtual void setPhaseCaption(const QString &caption) = 0;
    virtual void closeDialog() = 0;
};

/// A one-line status text. Called only on the user-interface thread. The text is on screen when the call
/// returns: a pause may follow that is meant to show it.
class StatusLabel {
public:
    virtual ~StatusLabel() = default;
    virtual void setStatusText(const QString &text) = 0;
};

/// The controls an exchange updates through ShowStatus; none is owned, any may be null. They must
/// outlive the exchange (or be detached by the GUI before they go).
struct ExchangeControls {
    Gauge *gauge = nullptr;
    Dialog *dialog = nullptr;
    StatusLabel *statusLabel = nullptr;
};

/// Pauses the calling thread. Production sleeps for real; tests pass a fake that advances a clock.
using Sleeper = std::function<void(std::chrono::milliseconds)>;

[[nodiscard]] inline Sleeper RealSleeper() {
    return [](std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); };
}

} // namespace velda
