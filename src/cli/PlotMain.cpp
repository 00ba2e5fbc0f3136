// velda9-plot: the plot command of velda9-cli, which starts it with its own arguments. The chart is the
// graph window's, built off screen, so this program links the widget libraries and velda9-cli does not.
#include "cli/CliArguments.h"
#include "cli/CliCommands.h"
#include "cli/PlotCommand.h"

#include <QApplication>

#include <unistd.h>

int main(int argc, char **argv) {
    using namespace velda::cli;
    const std::optional<Options> parsed = ParseProgramArguments(argc, argv);
    if (!parsed) return ExitUsage;
    const Options &options = *parsed;
    if (options.command != Command::Plot) {
        PrintError(stderr, QStringLiteral("velda9-plot draws the plot command of velda9-cli only"));
        return ExitUsage;
    }
    Streams streams;
    streams.errIsTerminal = isatty(STDERR_FILENO) == 1;
    // A widget application without a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ApplyLanguageAndLocale(options);
    return RunPlot(options, streams);
}
