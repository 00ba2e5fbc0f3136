// The summary command of velda9-cli: a project file's one-page-per-channel summary printed to PDF (needs
// the window toolkit, offscreen).
#pragma once

#include "cli/CliArguments.h"
#include "cli/CliCommands.h"

namespace velda::cli {

/// Loads `options.input` and writes its summary to `options.output` as PDF. A QGuiApplication must exist.
[[nodiscard]] int RunSummary(const Options &options, const Streams &streams);

} // namespace velda::cli
