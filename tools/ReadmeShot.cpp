// velda9-readme-shot: opens the main window, reads the simulated instrument's archive through the real
// progress dialog and saves a picture of the window (used for the README under Xvfb).
#include "app/TForm1.h"
#include "archive/SystemFormats.h"
#include "device/Exchange.h"
#include "device/LibUsbBinding.h"
#include "device/QtExchangeUi.h"

#include <QApplication>
#include <QLocale>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[]) {
    if (argc != 2) {
        std::fputs("Usage: velda9-readme-shot OUT.png\n", stderr);
        return 2;
    }
    QApplication app(argc, argv);
    velda::SetCurrentFormats(velda::SystemFormats::FromLocale(QLocale(QStringLiteral("ru_RU"))));
    velda::UseSimulator(true);
    const QString out = QString::fromLocal8Bit(argv[1]);
    int status = 0;
    {
        velda::TForm1 form;
        form.show();
        QTimer::singleShot(200, &form, [&] {
            form.Button1Click(); // modal: returns once the download has filled the table
            QTimer::singleShot(500, &form, [&] {
                if (!form.grab().save(out)) {
                    std::fprintf(stderr, "cannot write %s\n", argv[1]);
                    status = 4;
                }
                QApplication::quit();
            });
        });
        QApplication::exec();
        velda::ShutdownDeviceLink(velda::ProcessGuiEvents);
        velda::QtExchangeUi::instance().shutdown();
    }
    return status;
}
