// velda9-cli: entry point. Parses the command line and hands over to the command; only report, summary
// and plot start the window toolkit, on the offscreen platform.
#include "cli/CliArguments.h"
#include "cli/CliCommands.h"

#include <QCoreApplication>
#include <QStringList>

#include "cli/CliExchange.h"

#include <csignal>
#include <cstdio>
#include <unistd.h>

#ifdef VELDA_CLI_WITH_REPORT
#include "cli/PlotCommand.h"
#include "cli/ReportCommand.h"
#include "cli/SummaryCommand.h"

#include <QApplication>
#include <QGuiApplication>
#endif

int main(int argc, char **argv) {
    using namespace velda::cli;
    // A write past the file-size limit must fail like a full disk (EFBIG) and be reported with exit
    // status 4, not end the process by the file-size signal with a half-written temporary file.
    std::signal(SIGXFSZ, SIG_IGN);
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const auto parsed = ParseArguments(arguments);
    if (const auto *error = std::get_if<UsageError>(&parsed)) {
        PrintError(stderr, error->message);
        return ExitUsage;
    }
    const Options &options = std::get<Options>(parsed);
    // During an exchange the first Ctrl-C cancels it, so the link is closed cleanly after the transfer under
    // way; a second one ends the program at once. Other commands keep the default.
    if (options.command == Command::Read || options.command == Command::SetClock ||
        options.command == Command::Screenshot) {
        struct sigaction action {};
        action.sa_handler = [](int signalNumber) { RequestInterrupt(signalNumber); };
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, nullptr);
        sigaction(SIGTERM, &action, nullptr);
    }

    Streams streams;
    streams.errIsTerminal = isatty(STDERR_FILENO) == 1;

#ifdef VELDA_CLI_WITH_REPORT
    if (options.command == Command::Report || options.command == Command::Summary) {
        // A report is painted, which needs a GUI application; a server has no display, so never ask for one.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication application(argc, argv);
        ApplyLanguageAndLocale(options);
        return options.command == Command::Report ? RunReport(options, streams)
                                                  : RunSummary(options, streams);
    }
    if (options.command == Command::Plot) {
        // The chart is the graph window's, built off screen: a widget application without a display.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication application(argc, argv);
        ApplyLanguageAndLocale(options);
        return RunPlot(options, streams);
    }
#endif
    QCoreApplication application(argc, argv);
    ApplyLanguageAndLocale(options);
    return RunCommand(options, streams);
}
