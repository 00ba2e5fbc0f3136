// Tests of the terminal side of an exchange against the simulated instrument: a read supervised to its
// end, and the watchdog giving up on an absent instrument (fake sleeper and clock, no real pauses).
#include "cli/CliExchange.h"
#include "base/ArchiveTable.h"
#include "device/Exchange.h"
#include "device/LibUsbBinding.h"

#include "QtPrinters.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "cli/ReadBack.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

using namespace velda;
using namespace velda::cli;
using velda::cli::test::ReadBack;
using namespace std::chrono_literals;

namespace {

class CliExchangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        LibUSB.useSimulator(true);
        LanguageIndex.store(1);
        m_stream = std::tmpfile();
        ASSERT_NE(m_stream, nullptr);
    }
    void TearDown() override {
        StopExchange();
        ClearInterrupt();
        unsetenv("VELDA9_SIM_SCENARIO");
        LanguageIndex.store(0);
        if (m_stream != nullptr) std::fclose(m_stream);
    }

    void useScenario(const char *json) {
        QFile file(m_dir.filePath(QStringLiteral("scenario.json")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(json);
        file.close();
        setenv("VELDA9_SIM_SCENARIO", file.fileName().toLocal8Bit().constData(), 1);
    }

    QTemporaryDir m_dir;
    std::FILE *m_stream = nullptr;
};

// Two long records with the "no checksum" mark, continuous mode, channel 1 alone with a thermocouple.
constexpr const char *kTwoRecords =
    R"({"firmware_date": "13.03.2018", "records_hex": [
        "0100ff0001000000000000000000000000000000000000000000ac410000000000000a0c01120100aaaa0000",
        "0100ff0002000000000000000000000000000000000000000000b0410000000000000a0c01120100aaaa0000"]})";

} // namespace

TEST_F(CliExchangeTest, SupervisedReadRunsToItsEndAndReportsTheAnnouncedCount) {
    useScenario(kTwoRecords);
    ProgressPrinter printer(m_stream, false);
    CliExchange exchange(printer, 60s, [](std::chrono::milliseconds) {});
    ExchangeSetup setup = exchange.setup();
    std::atomic<std::uint32_t> received{99};
    setup.handOver = [&received](const ReceivedArchive &archive) { received = archive.recordCount; };
    ASSERT_EQ(StartArchiveRead(std::move(setup), exchange.controls(true)), StartResult::Started);
    EXPECT_EQ(exchange.supervise(), ExchangeOutcome::Finished);
    EXPECT_EQ(received.load(), 2u);
    EXPECT_EQ(exchange.announcedRecords(), 2u);
    EXPECT_EQ(exchange.gaugeValue(), 100);
    EXPECT_EQ(exchange.lastStatusText(), QStringLiteral("Ready"));
    const QString printed = ReadBack(m_stream);
    EXPECT_TRUE(printed.contains(QStringLiteral("Data Read 100%: Data Archive\n"))) << printed.toStdString();
    EXPECT_FALSE(CancelRequested.load());
}

TEST_F(CliExchangeTest, AbsentInstrumentIsCancelledWhenTheLimitPassesWithoutProgress) {
    useScenario(R"({"firmware_date": "13.03.2018", "records_hex": [], "faults": {"absent_ms": 86400000}})");
    ProgressPrinter printer(m_stream, false);
    // Every look at the clock moves it on by 100 ms, so the 5 s limit passes after a few dozen cycles.
    auto fakeNow = ProgressWatchdog::Clock::time_point{} + 1h;
    CliExchange exchange(
        printer, 5s, [](std::chrono::milliseconds) {}, [&fakeNow] { return fakeNow += 100ms; });
    ASSERT_EQ(StartClockSetting(exchange.setup()), StartResult::Started);
    EXPECT_EQ(exchange.supervise(), ExchangeOutcome::TimedOut);
    EXPECT_FALSE(ExchangeRunning());
    EXPECT_FALSE(CancelRequested.load()); // a cancel left pending would end the next exchange at once
    EXPECT_EQ(exchange.lastStatusText(), QStringLiteral("Check Connection"));
    EXPECT_EQ(ExchangeStatus.load(), StatusNoDevice);
}

TEST_F(CliExchangeTest, PermissionDeniedReplacesCheckConnection) {
    useScenario(R"({"firmware_date": "13.03.2018", "records_hex": [], "faults": {"open_error": "EACCES"}})");
    ProgressPrinter printer(m_stream, false);
    auto fakeNow = ProgressWatchdog::Clock::time_point{} + 1h;
    CliExchange exchange(
        printer, 5s, [](std::chrono::milliseconds) {}, [&fakeNow] { return fakeNow += 100ms; });
    ASSERT_EQ(StartScreenRead(exchange.setup(), exchange.controls(false)), StartResult::Started);
    EXPECT_EQ(exchange.supervise(), ExchangeOutcome::TimedOut);
    ASSERT_TRUE(LastLinkError.get());
    EXPECT_EQ(LastLinkError.get()->kind, UsbError::Kind::PermissionDenied);
    const QString status = exchange.lastStatusText();
    EXPECT_TRUE(status.contains(QStringLiteral("/usr/lib/udev/rules.d/70-velda9.rules")))
        << status.toStdString();
    EXPECT_TRUE(status.contains(QStringLiteral("plugdev")));
    // Printed once, not once per retry.
    const QString printed = ReadBack(m_stream);
    EXPECT_EQ(printed.count(QStringLiteral("Permission denied")), 1) << printed.toStdString();
}

TEST_F(CliExchangeTest, AnInterruptCancelsTheExchangeAndNothingIsHandedOver) {
    useScenario(kTwoRecords);
    ProgressPrinter printer(m_stream, false);
    CliExchange exchange(printer, 60s, [](std::chrono::milliseconds) {});
    ExchangeSetup setup = exchange.setup();
    std::atomic<bool> handedOver{false};
    setup.handOver = [&handedOver](const ReceivedArchive &) { handedOver = true; };
    RequestInterrupt(2);
    ASSERT_EQ(StartArchiveRead(std::move(setup), exchange.controls(true)), StartResult::Started);
    const ExchangeOutcome outcome = exchange.supervise();
    // The two records may be read before the first look at the interrupt; if not, nothing is handed over.
    if (outcome == ExchangeOutcome::Interrupted) {
        EXPECT_FALSE(handedOver.load());
    } else {
        EXPECT_EQ(outcome, ExchangeOutcome::Finished);
    }
    EXPECT_FALSE(ExchangeRunning());
    EXPECT_FALSE(CancelRequested.load());
    EXPECT_EQ(InterruptSignal(), 2);
}
