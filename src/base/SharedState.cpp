// Start values of the base's named process-wide values.
#include "base/SharedState.h"

#include "base/FileTarget.h"
#include "base/SystemFormats.h"

namespace velda {

void ResetBaseState() {
    LanguageIndex.store(0);
    Channel1Present.store(false);
    Channel2Present.store(false);
    SetCurrentFormats(SystemFormats::FromLocale(QLocale::system()));
    ForgetLastFolder();
}

} // namespace velda
