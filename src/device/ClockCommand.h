// The clock command of the main window: set the instrument's clock, cancel it, and its status-line text.
#pragma once

#include "base/Texts.h"
#include "device/Exchange.h"

#include <QString>

namespace velda {

inline constexpr TextPair TxtClockSync{"Синхронизация времени с ПК", "Time Synchronization with PC"};
inline constexpr TextPair TxtClockCancelling{"Синхронизация времени отменяется",
                                             "Time synchronization is being cancelled"};
/// Shown when a command that needs the instrument is refused because another exchange runs.
inline constexpr TextPair TxtExchangeBusy{"Идёт обмен с прибором, подождите",
                                          "Device exchange in progress, please wait"};

/// The clock button's command. The exchange runs without a dialog; the window's status line shows its
/// progress while running() holds. GUI thread.
class ClockCommand {
public:
    /// What a press of the clock button did.
    enum class Press {
        Started,    ///< a clock setting started
        Cancelling, ///< this command's clock setting was running: cancel requested
        Busy,       ///< another exchange runs: nothing started (the window shows TxtExchangeBusy)
    };

    [[nodiscard]] Press press(ExchangeSetup setup);

    /// Whether the status line still belongs to this command: true while its exchange runs. Once the
    /// exchange has ended it lets go for good (until the next start).
    [[nodiscard]] bool running();

    /// The status-line text for the exchange's current state, status and cancel request.
    [[nodiscard]] static QString statusText();

private:
    bool m_running = false;
};

} // namespace velda
