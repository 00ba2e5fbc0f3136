// velda9-plot: the plot command of velda9-cli, which starts it with its own arguments. The chart is the
// graph window's, built off screen, so this program links the widget libraries and velda9-cli does not.
#include "cli/CliArguments.h"
#include "cli/CliCommands.h"
#include "cli/PlotCommand.h"

#include <QApplication>
#include <QStringList>

#include <unistd.h>

int main(int argc, char **argv) {
    using namespace velda::cli;
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const auto parsed = ParseArguments(arguments);
    if (const auto *error = std::get_if<UsageError>(&parsed)) {
        PrintError(stderr, error->message);
        return ExitUsage;
    }
    const Options &options = std::get<Options>(parsed);
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
