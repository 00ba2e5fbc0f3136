// The plot command runs in a program of its own, velda9-plot: the chart is the graph window's, which
// needs the widget libraries, and velda9-cli links none so that it runs where only QtCore and QtGui are.
#pragma once

#include "cli/CliArguments.h"
#include "cli/CliCommands.h"

#include <QString>

namespace velda::cli {

/// The file name of the plot program.
inline constexpr const char *kPlotProgramName = "velda9-plot";

/// %1 the program's name.
inline constexpr TextPair TxtPlotProgramMissing{
    "рисунок не построен: нет программы %1 (она ставится вместе с окнами программы)",
    "the plot cannot be drawn: %1 is missing (it comes with the program's windows)"};

/// Where velda9-plot is: VELDA9_PLOT_PROGRAM, else beside `programDir` (the build tree), else in
/// `programDir`/../lib/velda9/ (the installed tree). Empty when none of them is an executable file.
[[nodiscard]] QString PlotProgramPath(const QString &programDir);

/// Replaces this process with velda9-plot run on `options.arguments`, so its output and exit status are
/// the plot command's. Returns only when the program cannot be started: then the reason is on stderr and
/// the result is ExitUsage.
[[nodiscard]] int RunPlotProgram(const Options &options, const Streams &streams);

} // namespace velda::cli
