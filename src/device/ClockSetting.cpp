// Status and hint texts of a clock setting started from the main window.
#include "device/ClockSetting.h"

#include "device/ShowStatus.h"

namespace velda {

QString ClockStatusText(const ClockView &view, const QString &settingCaption) {
    if (!view.running) {
        if (view.outcome == ClockOutcome::Set) return Pick(TxtTimeSet);
        return Pick(TxtClockNotSent);
    }
    if (view.outcome == ClockOutcome::Set) return Pick(TxtTimeSet);
    if (view.cancelRequested) return Pick(TxtClockCancelling);
    switch (view.state) {
    case StateConnect:
        // Without library or instrument the setting retries until the user cancels it: say how.
        if (view.status == StatusOk) return Pick(TxtConnection);
        return StatusText(view.status) + QStringLiteral(". ") + Pick(TxtClockHowToCancel);
    case StateVersion:
        if (view.status == StatusOk) return Pick(TxtVersionRead);
        return StatusText(view.status) + QStringLiteral(". ") + Pick(TxtClockHowToCancel);
    case StateFinish:
        return view.status == StatusOk ? Pick(TxtReady) : StatusText(view.status);
    default:
        if (view.status != StatusOk)
            return StatusText(view.status) + QStringLiteral(". ") + Pick(TxtClockHowToCancel);
        return settingCaption;
    }
}

QString ExchangeBusyText(bool clockSettingRuns) {
    return Pick(clockSettingRuns ? TxtClockBusy : TxtExchangeBusy);
}

QString ClockButtonHint(const QString &caption, bool clockSettingRuns) {
    if (!clockSettingRuns) return caption;
    return caption + QLatin1Char('\n') + Pick(TxtClockHowToCancel);
}

} // namespace velda
