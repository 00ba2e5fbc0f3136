// The scan source against the simulated instrument's comings and goings, through the real USB binding
// and the real exchange.
#include "plug/ScanHotplugSource.h"

#include "ExchangeTestSupport.h"
#include "PlugTestSupport.h"
#include "device/Exchange.h"
#include "device/LibUsbBinding.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <nlohmann/json.hpp>

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

using namespace velda;
using Json = nlohmann::json;

class ScanSourceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test::EnsureApplication();
        LibUSB.useSimulator(true);
    }
    static void TearDownTestSuite() { ShutdownDeviceLink(); }
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

    // The source's signals, one character each: A arrived, L left.
    void record(HotplugSource &source) {
        m_events.clear();
        QObject::connect(&source, &HotplugSource::arrived, [this] { m_events += 'A'; });
        QObject::connect(&source, &HotplugSource::left, [this] { m_events += 'L'; });
    }
    // One look: '.' no change, the signal it gave, or R for a replug (left, then arrived).
    char look(ScanHotplugSource &source) {
        const auto before = m_events.size();
        source.look();
        const std::string given = m_events.substr(before);
        return given.empty() ? '.' : given == "LA" ? 'R' : given.back();
    }

    // A download waited for, as the count of records handed over ('x' when its status does not fit: a
    // full archive of 6 ends ready, a partial one with a link error); with `looker`, the source tries
    // three looks while the exchange is held.
    char download(ScanHotplugSource *looker = nullptr) {
        std::uint32_t received = 0;
        test::Gate gate;
        std::atomic<bool> held{false};
        ExchangeSetup setup;
        setup.sleeper = [&](std::chrono::milliseconds) {
            if (looker && !held.exchange(true)) gate.wait();
        };
        setup.handOver = [&received](const ReceivedArchive &archive) { received = archive.recordCount; };
        EXPECT_EQ(StartArchiveRead(std::move(setup), {}), StartResult::Started);
        if (looker) {
            gate.waitEntered();
            EXPECT_EQ(std::string() + look(*looker) + look(*looker) + look(*looker), "...");
            gate.open();
        }
        EXPECT_TRUE(WaitForExchange(std::chrono::seconds(30)));
        const bool fits = ExchangeStatus.load() == (received == 6 ? StatusOk : StatusLinkError);
        return fits ? static_cast<char>('0' + received) : 'x';
    }

    QTemporaryDir m_dir;
    int m_count = 0;
    std::string m_events;
};

// Script: '.', 'A', 'L', 'R' a look with that outcome; a digit a download handing over that many records;
// 'w' a full download while the source tries to look (skipped: the exchange's open is the only scan).
TEST_F(ScanSourceTest, LooksFollowThePresenceAndDownloadsSeeTheSameBus) {
    struct Case {
        const char *name;
        Json presence;
        std::string script;
    };
    const std::vector<Case> cases = {
        {"no presence keys: there from the start", nullptr, "A..6.."},
        {"arrive after 3 scans", {{"arrive_after_scans", 3}}, "...A...."},
        {"leave after 3 scans, back at once", {{"leave_after_scans", 3}}, "A..LA..LA"},
        {"three stays, then away for good",
         {{"arrive_after_scans", 1}, {"leave_after_scans", 2}, {"stays", 3}},
         ".A.L.A.L.A.L...."},
        {"looks wait for the exchange; its open is a scan", {{"leave_after_scans", 2}}, "AwLA"},
        {"leaving mid-download is a link error with the records so far; the next stay reads afresh",
         {{"arrive_after_scans", 1}, {"leave_after_records", 4}},
         ".A4LA4L"},
        {"left mid-download and back by the next look: a replug", {{"leave_after_records", 4}}, "A4R4R"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        useScenario(c.presence);
        ScanHotplugSource source(std::chrono::milliseconds(1000));
        record(source);
        std::string trace;
        for (const char step : c.script) {
            if (step == 'w')
                trace += download(&source) == '6' ? 'w' : 'x';
            else
                trace += std::isdigit(step) ? download() : look(source);
        }
        EXPECT_EQ(trace, c.script);
        const auto last = trace.find_last_of("ALR");
        EXPECT_EQ(source.present(), last != std::string::npos && trace[last] != 'L');
    }
}

// The timer as a program runs it: a download on each arrival, ten stays in quick succession.
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
            downloaded += archive.recordCount == 6;
        };
        refused += StartArchiveRead(std::move(setup), {}) != StartResult::Started;
    });
    source->start();
    test::RunUntil([&] { return m_events.size() >= 20 && !ExchangeRunning(); });
    test::RunUntil([] { return false; }, 40); // twenty more looks: after the last stay it stays away
    EXPECT_EQ(m_events, "ALALALALALALALALALAL");
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
    const std::string missing = std::string() + look(source) + look(source);
    ::unsetenv("VELDA9_SIM_LIBRARY");
    EXPECT_EQ(missing + look(source), "..A") << "the library is found again";
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].contains("/nonexistent/libvelda9-sim.so")) << problems[0].toStdString();
    EXPECT_TRUE(source.problemText().isEmpty()) << "cleared once the bus is seen";
}
