// velda9-readme-shot: opens the main window, reads the simulated instrument's archive through the real
// progress dialog and saves a picture of the window and, when a second file is named, of the graph window
// built from that table (used for the README under Xvfb).
#include "app/TForm1.h"
#include "base/SystemFormats.h"
#include "device/Exchange.h"
#include "device/LibUsbBinding.h"
#include "device/QtExchangeUi.h"
#include "graph/TForm4.h"

#include <QApplication>
#include <QLocale>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[]) {
    if (argc != 2 && argc != 3) {
        std::fputs("Usage: velda9-readme-shot MAIN.png [GRAPH.png]\n", stderr);
        return 2;
    }
    velda::ExchangeRegistry exchanges;
    QApplication app(argc, argv);
    velda::SetCurrentFormats(velda::SystemFormats::FromLocale(QLocale(QStringLiteral("ru_RU"))));
    velda::LibUSB.useSimulator(true);
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
                if (argc == 3) {
                    velda::TForm4 graph(form.table(), &form);
                    graph.show();
                    QApplication::processEvents();
                    if (!graph.grab().save(QString::fromLocal8Bit(argv[2]))) {
                        std::fprintf(stderr, "cannot write %s\n", argv[2]);
                        status = 4;
                    }
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
