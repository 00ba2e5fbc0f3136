// The named process-wide values of the device link and the base, with one call that sets them all back to
// their start values.
#pragma once

#include "base/SharedState.h"
#include "device/Exchange.h"

namespace velda {

// The device link's named process-wide values (declared in device/ExchangeValues.h):
//   ExchangeState 0, ExchangeMode 0, ExchangeStatus 0, CancelRequested false, VersionPending true,
//   ArchiveFormat 0, RecordCount 0,
//   LastClockOutcome Pending             the exchange's state and outcome
//   ScreenBuffer                         all zero
//   LastLinkError                        empty
// together with the base's (ResetBaseState). LibUSB, the binding, is left as it is: it keeps its loaded
// library and its simulate switch until ShutdownDeviceLink at exit. The parameter blocks and the record
// arrays ShortRecords / LongRecords are not process-wide: each exchange owns its own (ExchangeBuffers).

/// Sets every named value of the device link and of the base back to its start value. Refuses, changing
/// nothing, while an exchange thread runs (returns false). GUI thread; meant for test fixtures.
[[nodiscard]] bool ResetSharedState();

} // namespace velda
