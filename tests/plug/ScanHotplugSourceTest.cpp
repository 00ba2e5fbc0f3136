// The scan source against the simulated instrument's comings and goings, through the real USB binding
// and the real exchange.
#include "plug/ScanHotplugSource.h"

#include "ExchangeTestSupport.h"
#include "device/Exchange.h"
#include "device/LibUsbBinding.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <nlohmann/json.hpp>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

using namespace velda;
using Json = nlohmann::json;

namespace {

struct Download {
    std::uint32_t records;
    std::uint8_t status;
    bool operator==(const Download &) const = default;
};

void PrintTo(const Download &d, std::ostream *out) {
    *out << d.records << " records, status " << int(d.status);
}

class ScanSourceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "ScanHotplugSourceTest";
        static char *argv[] = {name, nullptr};
        static QCoreApplication *app = new QCoreApplication(argc, argv);
        static_cast<void>(app);
        LibUSB.useSimulator(true);
    }
    static void TearDownTestSuite() { ShutdownDeviceLink(); }
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    void TearDown() override {
        StopExchange();
        ::unsetenv("VELDA9_SIM_SCENARIO");
        ::unsetenv("VELDA9_SCAN_INTERVAL_MS");
    }

    // A fresh file each time, so the simulator loads it anew with its presence from the start.
    void useScenario(const Json &presence) {
        Json scenario{{"generate", {{"records", 6}, {"format", 2}}}};
        if (!presence.is_null()) scenario["presence"] = presence;
        const std::string path = m_dir.filePath(QStringLiteral("s%1.json").arg(m_count++)).toStdString();
        std::ofstream(path) << scenario.dump();
        ::setenv("VELDA9_SIM_SCENARIO", path.c_str(), 1);
    }

    // The source's signals as one character each: A arrived, L left.
    void record(HotplugSource &source) {
        m_events.clear();
        QObject::connect(&source, &HotplugSource::arrived, [this] { m_events += 'A'; });
        QObject::connect(&source, &HotplugSource::left, [this] { m_events += 'L'; });
    }

    // One look: '.' no change, or the signal it gave.
    char look(ScanHotplugSource &source) {
        const auto before = m_events.size();
        source.look();
        return m_events.size() == before ? '.' : m_events.back();
    }

    // A download started now and waited for; with `looksMeanwhile`, the source looks that often while the
    // exchange is held in its first pause.
    Download download(ScanHotplugSource *looksMeanwhile = nullptr) {
        Download result{0, 0};
        test::Gate gate;
        ExchangeSetup setup;
        std::atomic<bool> held{false};
        setup.sleeper = [&](std::chrono::milliseconds) {
            if (looksMeanwhile && !held.exchange(true)) gate.wait();
        };
        setup.handOver = [&result](const ReceivedArchive &archive) { result.records = archive.recordCount; };
        EXPECT_EQ(StartArchiveRead(std::move(setup), {}), StartResult::Started);
        if (looksMeanwhile) {
            gate.waitEntered();
            for (int i = 0; i < 3; ++i)
                EXPECT_EQ(look(*looksMeanwhile), '.') << "a look while the exchange runs is skipped";
            gate.open();
        }
        EXPECT_TRUE(WaitForExchange(std::chrono::seconds(30)));
        result.status = ExchangeStatus.load();
        return result;
    }

    // Runs the event loop until `done` or 10 s have passed.
    static void runUntil(const std::function<bool()> &done) {
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (done()) loop.quit();
        });
        poll.start(1);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
    }

    QTemporaryDir m_dir;
    int m_count = 0;
    std::string m_events;
};

} // namespace

// Script: '.', 'A', 'L' a look with that outcome; 'd' a download; 'w' a download while the source tries
// to look (each look skipped, so the exchange's own open is the only scan meanwhile).
TEST_F(ScanSourceTest, LooksFollowThePresenceAndDownloadsSeeTheSameBus) {
    struct Case {
        const char *name;
        Json presence;
        const char *script;
        std::vector<Download> downloads;
    };
    const std::vector<Case> cases = {
        {"no presence keys: there from the start", nullptr, "A..d..", {{6, StatusOk}}},
        {"arrive after 3 scans", {{"arrive_after_scans", 3}}, "...A....", {}},
        {"leave after 3 scans, back at once", {{"leave_after_scans", 3}}, "A..LA..LA", {}},
        {"three stays, then away for good",
         {{"arrive_after_scans", 1}, {"leave_after_scans", 2}, {"stays", 3}},
         ".A.L.A.L.A.L......",
         {}},
        {"no stay at all", {{"stays", 0}}, ".....", {}},
        {"looks wait for the exchange; its open is a scan",
         {{"leave_after_scans", 2}},
         "AwLA",
         {{6, StatusOk}}},
        {"leaving mid-download is a link error with the records so far; the next stay reads afresh",
         {{"arrive_after_scans", 1}, {"leave_after_records", 4}},
         ".AdLAdL",
         {{4, StatusLinkError}, {4, StatusLinkError}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        useScenario(c.presence);
        ScanHotplugSource source(std::chrono::milliseconds(1000));
        record(source);
        std::string trace;
        std::vector<Download> downloads;
        for (const char step : std::string(c.script)) {
            if (step == 'd' || step == 'w') {
                downloads.push_back(download(step == 'w' ? &source : nullptr));
                trace += step;
            } else {
                trace += look(source);
            }
        }
        EXPECT_EQ(trace, c.script);
        EXPECT_EQ(downloads, c.downloads);
        EXPECT_EQ(source.present(),
                  trace.find_last_of("AL") != std::string::npos && trace[trace.find_last_of("AL")] == 'A');
    }
}

// The timer path as a program runs it: a download on each arrival, ten stays in quick succession.
TEST_F(ScanSourceTest, TenQuickStaysGiveTenArrivalsAndTenDownloads) {
    ::setenv("VELDA9_SCAN_INTERVAL_MS", "2", 1);
    useScenario({{"leave_after_scans", 2}, {"stays", 10}});
    const auto source = MakeHotplugSource(HotplugChoice::Automatic);
    ASSERT_EQ(source->kind(), "scan") << "the simulator is always scanned";
    record(*source);
    std::atomic<int> downloaded{0};
    int refused = 0;
    QObject::connect(source.get(), &HotplugSource::arrived, [&] {
        ExchangeSetup setup;
        setup.sleeper = [](std::chrono::milliseconds) {};
        setup.handOver = [&downloaded](const ReceivedArchive &archive) {
            if (archive.recordCount == 6) ++downloaded;
        };
        if (StartArchiveRead(std::move(setup), {}) != StartResult::Started) ++refused;
    });
    source->start();
    runUntil([&] { return m_events.size() >= 20 && !ExchangeRunning(); });
    // A few more looks: after the last stay the instrument stays away.
    int looksAfter = 0;
    runUntil([&] { return ++looksAfter > 20; });
    source->stop();
    std::string expected;
    for (int i = 0; i < 10; ++i)
        expected += "AL";
    EXPECT_EQ(m_events, expected);
    EXPECT_EQ(downloaded.load(), 10);
    EXPECT_EQ(refused, 0);
}

TEST_F(ScanSourceTest, ALibraryThatCannotBeLoadedIsOneProblemAndTheScanGoesOn) {
    useScenario(nullptr);
    LibUSB.UnloadDriver();
    ::setenv("VELDA9_SIM_LIBRARY", "/nonexistent/libvelda9-sim.so", 1);
    ScanHotplugSource source(std::chrono::milliseconds(1000));
    record(source);
    QStringList problems;
    QObject::connect(&source, &HotplugSource::problem, [&](const QString &text) { problems << text; });
    EXPECT_EQ(std::string{look(source)} + look(source) + look(source), "...");
    ::unsetenv("VELDA9_SIM_LIBRARY");
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].contains("/nonexistent/libvelda9-sim.so")) << problems[0].toStdString();
    EXPECT_EQ(source.problemText(), problems[0]);
    EXPECT_EQ(look(source), 'A') << "the library is found again";
    EXPECT_TRUE(source.problemText().isEmpty());
}
