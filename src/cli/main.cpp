// velda9-cli: entry point. Parses the command line and hands over to the command; report and summary
// start a GUI application (QtGui, no widgets) on the offscreen platform, plot hands over to velda9-plot.
#include "cli/CliArguments.h"
#include "cli/CliCommands.h"
#include "cli/CliExchange.h"
#include "device/Exchange.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <csignal>
#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv) {
    using namespace velda::cli;
    // A write past the file-size limit must fail like a full disk (EFBIG) and be reported with exit
    // status 4, not end the process by the file-size signal with a half-written temporary file.
    std::signal(SIGXFSZ, SIG_IGN);
    const std::optional<Options> parsed = ParseProgramArguments(argc, argv);
    if (!parsed) return ExitUsage;
    const Options &options = *parsed;
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

    velda::ExchangeRegistry exchanges; // ends after the application: stops an exchange still running
    Streams streams;
    streams.errIsTerminal = isatty(STDERR_FILENO) == 1;

    const bool historyReport = options.command == Command::History &&
                               options.output.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
    const bool watchSummary = options.command == Command::Watch && options.summary;
    if (options.command == Command::Report || options.command == Command::Summary || historyReport ||
        watchSummary) {
        // The pages are painted, which needs a GUI application; a server has no display, so never ask for
        // one.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication application(argc, argv);
        ApplyLanguageAndLocale(options);
        return RunCommand(options, streams);
    }
    QCoreApplication application(argc, argv);
    ApplyLanguageAndLocale(options);
    return RunCommand(options, streams);
}
