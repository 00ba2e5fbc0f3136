// Start values of the base's named process-wide values.
#include "base/SharedState.h"

namespace velda {

void ResetBaseState() {
    LanguageIndex.store(0);
    Channel1Present.store(false);
    Channel2Present.store(false);
}

} // namespace velda
