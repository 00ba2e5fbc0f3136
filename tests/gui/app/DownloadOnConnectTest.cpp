// The main window's download on connect, driven offscreen with the simulated instrument joining and
// leaving the bus: off, nothing watches; on, an arrival under a modal dialog waits for it to close, the
// download then fills the table and the history, and a stay is read once.
#include "app/TForm1.h"

#include "app/DownloadOnConnect.h"
#include "base/TableHeader.h"
#include "device/Exchange.h"
#include "device/LibUsbBinding.h"
#include "device/QtExchangeUi.h"
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

constexpr int kRecords = 12;
constexpr int kWaitMs = 30000;

// Downloads the history holds for `instrument`; -1 while it cannot be read.
int Downloads(const QString &path, const QString &instrument) {
    HistoryLocation location;
    location.path = path;
    auto store = HistoryStore::open(location);
    if (!store.ok()) return -1;
    const auto list = store.value()->downloads(instrument);
    return list.ok() ? static_cast<int>(list.value().size()) : 0;
}

TEST(DownloadOnConnect, StartsOncePerStayAndWaitsForAModalDialog) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString history = dir.filePath(QStringLiteral("history.sqlite"));
    const std::string scenario = dir.filePath(QStringLiteral("plug.json")).toStdString();
    // Two stays of 60 scans each, two scans apart; the scan looks every 20 ms.
    std::ofstream(scenario) << R"({"generate": {"records": )" << kRecords
                            << R"(, "format": 2, "seed": 3}, "presence": {"arrive_after_scans": 2,)"
                            << R"( "leave_after_scans": 60, "stays": 2}})";
    for (const auto &[name, value] : {std::pair{"XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config"))},
                                      std::pair{"XDG_CACHE_HOME", dir.filePath(QStringLiteral("cache"))},
                                      std::pair{"VELDA9_HISTORY", history},
                                      std::pair{"VELDA9_SIM_SCENARIO", QString::fromStdString(scenario)},
                                      std::pair{"VELDA9_SCAN_INTERVAL_MS", QStringLiteral("20")}})
        ::setenv(name, value.toLocal8Bit().constData(), 1);
    static int argc = 1;
    static char name[] = "DownloadOnConnectTest";
    static char *argv[] = {name, nullptr};
    QApplication app(argc, argv);
    LibUSB.useSimulator(true);
    LanguageIndex = 1;

    // The first download matches no instrument of the history: the user names it.
    QTimer namer;
    QObject::connect(&namer, &QTimer::timeout, [] {
        if (auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget())) {
            dialog->setTextValue(QStringLiteral("Bench 1"));
            dialog->accept();
        }
    });
    namer.start(5);
    {
        TForm1 f;
        f.setExchangeSleeper([](std::chrono::milliseconds) {});
        f.show();
        f.Lang1Click();
        EXPECT_EQ(f.DownloadOnConnect1->text(), "Download the archive when the instrument is connected");
        EXPECT_FALSE(f.DownloadOnConnect1->isChecked());
        EXPECT_EQ(f.findChild<HotplugSource *>(), nullptr) << "unused, nothing watches the bus";

        f.DownloadOnConnect1->trigger();
        EXPECT_TRUE(DownloadOnConnectEnabled());
        auto *source = f.findChild<HotplugSource *>();
        ASSERT_NE(source, nullptr);
        QSignalSpy arrivals(source, &HotplugSource::arrived);
        QSignalSpy departures(source, &HotplugSource::left);

        // The instrument arrives while a modal dialog is open: nothing is read until it closes.
        QDialog blocker(&f);
        bool readUnderDialog = true;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (arrivals.count() == 0 || !blocker.isVisible()) return;
            // One more look at the event loop lets the arrival's start attempt run first.
            QTimer::singleShot(0, &blocker, [&] {
                readUnderDialog = ExchangeRunning() || !TableIsEmpty(f.table());
                blocker.accept();
            });
            watch.stop();
        });
        watch.start(5);
        blocker.exec();
        EXPECT_FALSE(readUnderDialog);

        ASSERT_TRUE(QTest::qWaitFor([&] { return !TableIsEmpty(f.table()); }, kWaitMs));
        EXPECT_EQ(f.table().rowCount(), kRecords + 1);
        EXPECT_TRUE(f.StatusBar1->currentMessage().contains(QStringLiteral("instrument \"Bench 1\"")))
            << f.StatusBar1->currentMessage().toStdString();

        // The stay goes on for many scans after its download; it is not read again.
        ASSERT_TRUE(QTest::qWaitFor([&] { return departures.count() == 1; }, kWaitMs));
        EXPECT_EQ(Downloads(history, QStringLiteral("Bench 1")), 1);
        // Back on the bus: a new stay, a new download, filed with the readings it matches.
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return Downloads(history, QStringLiteral("Bench 1")) == 2; }, kWaitMs));
        EXPECT_EQ(arrivals.count(), 2);

        f.DownloadOnConnect1->trigger();
        EXPECT_FALSE(DownloadOnConnectEnabled());
        EXPECT_EQ(f.findChild<HotplugSource *>(), nullptr);
    }
    StopExchange(ProcessGuiEvents);
    ShutdownDeviceLink(ProcessGuiEvents);
    LanguageIndex = 0;
}

} // namespace
