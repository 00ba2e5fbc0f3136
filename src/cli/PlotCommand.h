// The plot command of velda9-cli: the graph window's chart of a project file as a picture.
#pragma once

#include "cli/CliArguments.h"
#include "cli/CliCommands.h"

namespace velda::cli {

/// %1 file, %2 width, %3 height.
inline constexpr TextPair TxtPlotDone{"Рисунок сохранён в %1 (%2 × %3)", "Picture saved to %1 (%2 × %3)"};

/// %1 file, %2 the construction error.
inline constexpr TextPair TxtPlotIncomplete{
    "%1: график не построен: %2 (даты, время и числа читаются в формате --locale); ничего не записано",
    "%1: the chart cannot be built: %2 (dates, times and numbers are read in the --locale formats); nothing "
    "was written"};

/// Loads `options.input` as the main window opens a project and builds the graph window on it, off
/// screen, as it shows when it opens; writes its chart at --width x --height to `options.output` (PNG,
/// SVG or PDF by the extension). A cell the construction cannot read is an error: told on stderr,
/// nothing written. A QApplication must exist (offscreen platform).
[[nodiscard]] int RunPlot(const Options &options, const Streams &streams);

} // namespace velda::cli
