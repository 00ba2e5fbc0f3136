// The report command of velda9-cli: a project file printed to PDF with QtGui's painter (offscreen, no
// widgets).
#pragma once

#include "cli/CliArguments.h"
#include "cli/CliCommands.h"

namespace velda::cli {

/// Loads `options.input` and writes its report to `options.output` as PDF. A QGuiApplication must exist.
[[nodiscard]] int RunReport(const Options &options, const Streams &streams);

} // namespace velda::cli
