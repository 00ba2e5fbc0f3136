// The status display of the device link.
#include "device/ShowStatus.h"

#include <algorithm>
#include <thread>

namespace velda {

namespace {
constexpr std::chrono::milliseconds kNoDataPause{300};
}

QString StatusText(std::uint8_t status) {
    switch (status) {
    case StatusNoDriver:
        return Pick(TxtDriverNotInstalled);
    case StatusOldFirmware:
        return Pick(TxtFirmwareOutdated);
    case StatusNoDevice: {
        const auto why = LastLinkError.get();
        switch (why ? why->kind : UsbError::Kind::NotFound) {
        case UsbError::Kind::PermissionDenied:
            return Pick(TxtPermissionDenied);
        case UsbError::Kind::Busy:
            return Pick(TxtDeviceBusy);
        default:
            return Pick(TxtCheckConnection);
        }
    }
    case StatusLinkError:
        return Pick(TxtLinkError);
    case StatusNoData:
        return Pick(TxtNoData);
    default:
        return {};
    }
}

void ShowStatus(int &progress, std::uint8_t status, std::uint8_t state, Gauge *gauge, Dialog *dialog,
                StatusLabel *statusLabel, const Sleeper &sleeper) {
    progress = std::min(progress, 100);
    if (gauge) gauge->setGaugeValue(progress);

    if (statusLabel) statusLabel->setStatusText(StatusText(status));
    if (status == StatusNoDevice || status == StatusLinkError) return;
    if (status == StatusNoData) {
        // Long enough to read "No Data" before the dialog closes.
        if (sleeper)
            sleeper(kNoDataPause);
        else
            std::this_thread::sleep_for(kNoDataPause);
        return;
    }

    switch (state) {
    case StateConnect:
        if (dialog) dialog->setPhaseCaption(Pick(TxtConnection));
        break;
    case StateVersion:
        if (dialog) dialog->setPhaseCaption(Pick(TxtVersionRead));
        break;
    case StateParams:
        if (dialog) dialog->setPhaseCaption(Pick(TxtParametersRead));
        break;
    case StateRecords:
        if (dialog) dialog->setPhaseCaption(Pick(TxtDataRead));
        if (statusLabel) statusLabel->setStatusText(Pick(TxtDataArchive));
        break;
    case StateScreen:
        if (statusLabel) statusLabel->setStatusText(Pick(TxtDataRead));
        break;
    case StateFinish:
        if (gauge) gauge->hideGauge();
        if (statusLabel) statusLabel->setStatusText(Pick(TxtReady));
        break;
    default:
        break;
    }
}

} // namespace velda
