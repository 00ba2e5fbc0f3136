// The main window's download on connect, driven offscreen with the simulated instrument joining and
// leaving the bus: off, nothing watches; on, an arrival under a modal dialog waits for it to close, the
// download then fills the table and the history and notices the limits crossed, and a stay is read once.
#include "app/TForm1.h"

#include "device/Exchange.h"
#include "device/LibUsbBinding.h"
#include "device/QtExchangeUi.h"
#include "graph/Limits.h"
#include "history/HistoryStore.h"
#include "plug/HotplugSource.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QInputDialog>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

using namespace velda;

namespace {

// Downloads the history at `path` holds for "Bench".
int Downloads(const QString &path) {
    HistoryLocation location;
    location.path = path;
    auto store = HistoryStore::open(location);
    if (!store.ok()) return -1;
    const auto list = store.value()->downloads(QStringLiteral("Bench"));
    return list.ok() ? static_cast<int>(list.value().size()) : 0;
}

TEST(DownloadOnConnect, StartsOncePerStayAndWaitsForAModalDialog) {
    QTemporaryDir dir;
    const QString history = dir.filePath(QStringLiteral("h.sqlite")),
                  scenario = dir.filePath(QStringLiteral("s.json"));
    // Two stays of 60 scans, two scans apart; a scan every 20 ms.
    std::ofstream(scenario.toStdString()) << R"({"generate": {"records": 12, "format": 2, "seed": 3},
        "presence": {"arrive_after_scans": 2, "leave_after_scans": 60, "stays": 2}})";
    for (const auto &[name, value] :
         {std::pair{"XDG_CONFIG_HOME", dir.path()}, std::pair{"XDG_CACHE_HOME", dir.path()},
          std::pair{"VELDA9_HISTORY", history}, std::pair{"VELDA9_SIM_SCENARIO", scenario},
          std::pair{"VELDA9_SCAN_INTERVAL_MS", QStringLiteral("20")}})
        ::setenv(name, value.toLocal8Bit().constData(), 1);
    int argc = 1;
    char name[] = "DownloadOnConnectTest", *argv[] = {name, nullptr};
    QApplication app(argc, argv);
    LibUSB.useSimulator(true);
    // The first download matches no instrument of the history: the user names it.
    QTimer namer;
    QObject::connect(&namer, &QTimer::timeout, [] {
        if (auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget())) {
            dialog->setTextValue(QStringLiteral("Bench"));
            dialog->accept();
        }
    });
    namer.start(5);
    // Every temperature lies above this limit: the download ends with the notice.
    StatsSettings limits;
    limits.limits.set(Quantity::Temperature, Limit{std::nullopt, -100.0});
    SetCurrentStatsSettings(limits);
    {
        TForm1 f;
        f.setExchangeSleeper([](std::chrono::milliseconds) {});
        f.show();
        EXPECT_FALSE(f.DownloadOnConnect1->isChecked());
        EXPECT_EQ(f.findChild<HotplugSource *>(), nullptr) << "unused, nothing watches the bus";
        f.DownloadOnConnect1->trigger();
        auto *source = f.findChild<HotplugSource *>();
        ASSERT_NE(source, nullptr);
        QSignalSpy arrivals(source, &HotplugSource::arrived), departures(source, &HotplugSource::left);

        // The instrument arrives while a modal dialog is open: nothing is read until it closes.
        QDialog blocker(&f);
        bool readUnderDialog = true;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (arrivals.count() == 0 || !watch.isActive()) return;
            watch.stop();
            // A turn of the event loop later the arrival has had its chance to start a download.
            QTimer::singleShot(0, &blocker, [&] {
                readUnderDialog = ExchangeRunning() || !TableIsEmpty(f.table());
                blocker.accept();
            });
        });
        watch.start(5);
        blocker.exec();
        EXPECT_FALSE(readUnderDialog);

        ASSERT_TRUE(QTest::qWaitFor([&] { return !TableIsEmpty(f.table()); }, 30000));
        EXPECT_EQ(f.table().rowCount(), 13);
        EXPECT_TRUE(f.StatusBar1->currentMessage().contains(QStringLiteral("прибор «Bench»")) &&
                    f.StatusBar1->currentMessage().contains(QStringLiteral("Bench: показания вне пределов")))
            << f.StatusBar1->currentMessage().toStdString();
        // The stay lasts many scans after its download and is read once; the next stay is read again.
        ASSERT_TRUE(QTest::qWaitFor([&] { return departures.count() == 1; }, 30000));
        EXPECT_EQ(Downloads(history), 1);
        EXPECT_TRUE(QTest::qWaitFor([&] { return Downloads(history) == 2; }, 30000));

        f.DownloadOnConnect1->trigger();
        EXPECT_EQ(f.findChild<HotplugSource *>(), nullptr);
    }
    EXPECT_EQ(OpenUserSettings()->value("plug/downloadOnConnect").toString(), "false");
    StopExchange(ProcessGuiEvents);
    ShutdownDeviceLink(ProcessGuiEvents);
}

} // namespace
