// The clock command of the main window: set the instrument's clock, cancel it, follow it to its end.
#pragma once

#include "base/Texts.h"
#include "device/ClockSetting.h"
#include "device/Exchange.h"

#include <QString>

namespace velda {

/// The clock button's caption and the phase in which the time is sent.
inline constexpr TextPair TxtClockSync{"Синхронизация времени с ПК", "Time Synchronization with PC"};

/// The clock button's command. The exchange runs without a dialog; the window's status line follows it
/// through tick(). GUI thread.
class ClockCommand {
public:
    /// What a press of the clock button did.
    enum class Press {
        Started,    ///< a clock setting started
        Cancelling, ///< this command's clock setting was running: cancel requested
        Busy,       ///< another exchange runs: nothing started
    };
    [[nodiscard]] Press press(ExchangeSetup setup);

    /// Whether a setting this command started is still running.
    [[nodiscard]] bool settingRuns() const { return m_started && ExchangeRunning(); }

    /// What the status line shows on a timer tick.
    enum class Tick {
        Idle,    ///< no setting of this command: the hover hints
        Running, ///< its setting runs: statusText()
        Ended,   ///< its setting has just ended (reported once): statusText() says what it did
    };
    [[nodiscard]] Tick tick();

    /// The status-line text of the current or just ended clock setting, in the current language.
    [[nodiscard]] static QString statusText();

private:
    bool m_started = false;
};

} // namespace velda
