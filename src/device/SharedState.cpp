// Start values of the device link's named process-wide values.
#include "device/SharedState.h"

namespace velda {

bool ResetSharedState() {
    if (ExchangeRunning()) return false;
    ExchangeState.store(StateConnect);
    ExchangeMode.store(ModeArchiveRead);
    ExchangeStatus.store(StatusOk);
    CancelRequested.store(false);
    VersionPending.store(true);
    ArchiveFormat.store(0);
    RecordCount.store(0);
    LastClockOutcome.store(ClockOutcome::Pending);
    ScreenBuffer.store({});
    LastLinkError.set(std::nullopt);
    ResetBaseState();
    return true;
}

} // namespace velda
