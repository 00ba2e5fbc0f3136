// What the main window's status line and clock button say about a clock setting started there.
#pragma once

#include "base/Texts.h"
#include "device/Exchange.h"

#include <QString>

#include <cstdint>

namespace velda {

inline constexpr TextPair TxtClockCancelling{"Синхронизация времени отменяется",
                                             "Time synchronization is being cancelled"};
inline constexpr TextPair TxtClockNotSent{"Установка времени отменена, время прибора не изменено",
                                          "Clock setting cancelled, the instrument clock was not changed"};
inline constexpr TextPair TxtClockHowToCancel{"Повторное нажатие кнопки часов отменяет установку времени",
                                              "Click the clock button again to cancel the clock setting"};
inline constexpr TextPair TxtClockBusy{
    "Идёт установка времени, она ждёт прибор. Повторное нажатие кнопки часов отменяет её",
    "The clock setting is waiting for the instrument. Click the clock button again to cancel it"};
inline constexpr TextPair TxtExchangeBusy{"Идёт обмен с прибором, подождите",
                                          "Device exchange in progress, please wait"};

/// A clock setting as the status line sees it.
struct ClockView {
    bool running = false;         ///< the exchange has not ended yet
    std::uint8_t state = 0;       ///< ExchangeState
    std::uint8_t status = 0;      ///< ExchangeStatus
    bool cancelRequested = false; ///< CancelRequested
    ClockOutcome outcome = ClockOutcome::Pending;
};

/// The status line during and after a clock setting, in the current language. While it runs: its phase,
/// the status that keeps it waiting together with how to cancel it, or that it is being cancelled; once
/// ended: whether the clock was set or the setting stopped before anything was sent. `settingCaption`
/// is the text of the phase in which the time is sent. GUI thread.
[[nodiscard]] QString ClockStatusText(const ClockView &view, const QString &settingCaption);

/// The answer to another exchange command while one runs: a clock setting says how to cancel it.
[[nodiscard]] QString ExchangeBusyText(bool clockSettingRuns);

/// The clock button's hint: `caption`, and while a clock setting runs, how to cancel it.
[[nodiscard]] QString ClockButtonHint(const QString &caption, bool clockSettingRuns);

} // namespace velda
