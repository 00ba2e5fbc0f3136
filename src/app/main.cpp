// velda9: the main window of the VELDA-9 companion program.
#include "app/StartupArguments.h"
#include "app/TForm1.h"
#include "base/BuildDate.h"
#include "base/SystemFormats.h"
#include "device/Exchange.h"
#include "device/LibUsbBinding.h"
#include "device/QtExchangeUi.h"
#include "graph/Limits.h"

#include <QApplication>
#include <QLocale>

#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char *kUsage =
    "Usage: velda9 [--simulate] [PROJECT-PATH ...]\n"
    "The companion program of the VELDA-9 measuring instrument: downloads, plots, exports and prints its\n"
    "archive. The remaining arguments, joined with single blanks, name a project file (*.vd) to open.\n"
    "\n"
    "Options:\n"
    "  --simulate   talk to the simulated instrument instead of the USB device\n"
    "  --help       show this help and exit\n"
    "  --version    show the version and build date and exit\n"
    "\n"
    "Exit status: 0 when the main window was closed.\n"
    "For scripts and servers without a display see velda9-cli --help.\n";

} // namespace

int main(int argc, char *argv[]) {
    // A save past the file-size limit must fail like a full disk (EFBIG) and show its message, not end
    // the program by the file-size signal and lose the archive on screen.
    std::signal(SIGXFSZ, SIG_IGN);
    // Answered before the window toolkit starts, so they work without a display. Only as the sole argument:
    // a project path split by the shell may contain such a word.
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("velda9 %s (built %s)\n", VELDA_VERSION, velda::BuildDateText());
        return 0;
    }
    // Made first so it ends last: an exchange still running when the window has gone is stopped here.
    velda::ExchangeRegistry exchanges;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("velda9"));
    QApplication::setApplicationVersion(QStringLiteral(VELDA_VERSION));
    velda::SetCurrentFormats(velda::SystemFormats::FromLocale(QLocale::system()));
    // The user's limits tint the table and mark the graph from the start.
    velda::SetCurrentStatsSettings(velda::LoadStatsSettings(*velda::OpenUserSettings()));

    const velda::StartupArguments arguments = velda::ParseStartupArguments(QApplication::arguments().mid(1));
    velda::LibUSB.useSimulator(arguments.simulate);

    int status = 0;
    {
        velda::TForm1 form;
        form.show();
        if (!arguments.projectPath.isEmpty()) form.Action1Execute(arguments.projectPath);
        status = QApplication::exec();
        // The exchange thread may still be waiting on the GUI thread; it must end while events still run.
        velda::ShutdownDeviceLink(velda::ProcessGuiEvents);
        velda::QtExchangeUi::instance().shutdown();
    }
    return status;
}
