// The named process-wide values of the base, in one place with one call that sets their start values.
#pragma once

#include "base/ArchiveTable.h"
#include "base/Texts.h"

namespace velda {

// The base's named process-wide values (declared beside their meaning):
//   LanguageIndex                       base/Texts.h         0 at start
//   Channel1Present, Channel2Present    base/ArchiveTable.h  false at start
// and what the base keeps for the rest of a run:
//   the formats in force                base/SystemFormats.h the system locale's at start
//   the folder last used                base/FileTarget.h    none at start
// Everything else the base keeps belongs to an object that owns it.

/// Sets every named value of the base, and what it keeps for the run, back to its start value. A test fixture
/// calls it so that one test does not see the language or channels another left behind. GUI thread, no
/// exchange running.
void ResetBaseState();

} // namespace velda
