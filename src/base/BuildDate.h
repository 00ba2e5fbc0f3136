// The date the program was built, kept in one generated source file so that a new day recompiles that
// file alone.
#pragma once

namespace velda {

/// The build date as "dd.mm.yyyy": the day of the build, or the day of SOURCE_DATE_EPOCH (UTC) when that
/// was set for a reproducible build.
[[nodiscard]] const char *BuildDateText();

} // namespace velda
