// The clock command without the window: start, cancel by a second press, refusal, end of a setting.
#include "device/ClockCommand.h"

#include "ExchangeTestSupport.h"
#include "device/LibUsbBinding.h"
#include "device/ShowStatus.h"

#include "QtPrinters.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <mutex>

using namespace velda;
using velda::test::Gate;

namespace {

class ClockCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        const std::string scenario = m_dir.filePath(QStringLiteral("scenario.json")).toStdString();
        std::ofstream(scenario) << R"({"firmware_date": "13.03.2018", "records_hex": []})";
        ::setenv("VELDA9_SIM_SCENARIO", scenario.c_str(), 1);
        LibUSB.useSimulator(true);
        VersionPending = true;
    }
    void TearDown() override {
        m_gate.open();
        StopExchange();
        ShutdownDeviceLink();
        ::unsetenv("VELDA9_SIM_SCENARIO");
        CancelRequested = false;
    }
    ExchangeSetup gatedSetup() {
        ExchangeSetup setup;
        setup.sleeper = [this, first = true](std::chrono::milliseconds) mutable {
            if (!first) return;
            first = false;
            m_gate.wait();
        };
        return setup;
    }

    QTemporaryDir m_dir;
    Gate m_gate;
};

} // namespace

TEST_F(ClockCommandTest, SecondPressCancelsItsOwnSettingAndItsEndIsReportedOnce) {
    ClockCommand clock;
    EXPECT_EQ(clock.tick(), ClockCommand::Tick::Idle);
    ASSERT_EQ(clock.press(gatedSetup()), ClockCommand::Press::Started);
    m_gate.waitEntered();
    EXPECT_TRUE(clock.settingRuns());
    EXPECT_EQ(clock.tick(), ClockCommand::Tick::Running);

    EXPECT_EQ(clock.press(gatedSetup()), ClockCommand::Press::Cancelling);
    EXPECT_TRUE(CancelRequested.load());
    EXPECT_EQ(ClockCommand::statusText(), Pick(TxtClockCancelling));

    m_gate.open();
    ASSERT_TRUE(WaitForExchange(std::chrono::seconds(60)));
    EXPECT_FALSE(clock.settingRuns());
    EXPECT_EQ(clock.tick(), ClockCommand::Tick::Ended);
    EXPECT_EQ(ClockCommand::statusText(), Pick(TxtClockNotSent)); // cancelled before the time was sent
    EXPECT_EQ(clock.tick(), ClockCommand::Tick::Idle);            // reported once
}

TEST_F(ClockCommandTest, PressWhileAnotherExchangeRunsStartsNothing) {
    ClockCommand owner;
    ASSERT_EQ(owner.press(gatedSetup()), ClockCommand::Press::Started);
    m_gate.waitEntered();

    ClockCommand other;
    EXPECT_EQ(other.press(gatedSetup()), ClockCommand::Press::Busy);
    EXPECT_FALSE(other.settingRuns());
    EXPECT_EQ(other.tick(), ClockCommand::Tick::Idle);
    EXPECT_FALSE(CancelRequested.load()); // a refused press cancels nobody's exchange

    m_gate.open();
    ASSERT_TRUE(WaitForExchange(std::chrono::seconds(60)));
    EXPECT_EQ(ExchangeStatus.load(), StatusOk);
    EXPECT_EQ(owner.tick(), ClockCommand::Tick::Ended);
    EXPECT_EQ(ClockCommand::statusText(), Pick(TxtTimeSet));
}
