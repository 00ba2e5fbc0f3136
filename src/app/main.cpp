// velda9: the main window of the VELDA-9 companion program.
#include "app/StartupArguments.h"
#include "app/TForm1.h"
#include "archive/SystemFormats.h"
#include "device/Exchange.h"
#include "device/LibUsbBinding.h"
#include "device/QtExchangeUi.h"

#include <QApplication>
#include <QLocale>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("velda9"));
    QApplication::setApplicationVersion(QStringLiteral(VELDA_VERSION));
    velda::SetCurrentFormats(velda::SystemFormats::FromLocale(QLocale::system()));

    const velda::StartupArguments arguments = velda::ParseStartupArguments(QApplication::arguments().mid(1));
    velda::UseSimulator(arguments.simulate);

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
