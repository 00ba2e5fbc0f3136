// The exchange thread BMTreadUSB: the state machine that talks to the instrument.
#pragma once

#include "device/ArchiveHandOver.h"
#include "device/ExchangeBuffers.h"
#include "device/ExchangeUi.h"
#include "device/ExchangeValues.h"

#include <QDateTime>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace velda {

/// Everything an exchange needs besides the process-wide variables.
struct ExchangeSetup {
    ExchangeUi *ui = nullptr;       ///< must outlive the exchange thread; null: inline, no message boxes
    Sleeper sleeper;                ///< empty: real pauses, cut short by Terminate()
    ArchiveHandOver handOver;       ///< archive read only; may be empty
    std::function<QDateTime()> now; ///< local date and time for the clock; empty: current time
    /// Called when the record array cannot be allocated, after the message box; empty: _Exit(1).
    std::function<void()> onAllocationFailure;
};

/// The exchange thread: the state machine that talks to the instrument on a std::thread of its own. It
/// never touches a widget; it reaches the user interface only through ExchangeUi. It owns the buffers
/// its replies are read into (ExchangeBuffers) and moves the received records into the hand-over.
class BMTreadUSB {
public:
    /// Creates the thread running with `controls` attached for good. `setup.ui` must not be null.
    BMTreadUSB(ExchangeSetup setup, const ExchangeControls &controls = {});
    /// Asks the loop to stop (as Terminate()) and joins the thread.
    ~BMTreadUSB();
    BMTreadUSB(const BMTreadUSB &) = delete;
    BMTreadUSB &operator=(const BMTreadUSB &) = delete;

    /// Turns the progress, ExchangeStatus and ExchangeState into what the controls show. User-interface
    /// thread only (the exchange thread runs it through ExchangeUi::runBlocking).
    void ShowStatus();

    /// Asks the loop to end after its current step without state 10's hand-over (program exit, CLI
    /// timeout). The device is still closed. Any thread.
    void Terminate();
    /// True once Execute has returned.
    [[nodiscard]] bool Finished() const { return m_finished.load(); }
    /// Joins the thread (not from the exchange thread itself). The caller must keep handling the
    /// ExchangeUi calls the worker may still make, or call Terminate() first.
    void Join();
    /// Waits until Execute has returned, calling `pump` (may be empty) between short waits; false when
    /// `timeout` passed first.
    [[nodiscard]] bool WaitFinished(std::chrono::milliseconds timeout,
                                    const std::function<void()> &pump = {});

    /// The parameter blocks and record arrays of this exchange. Read them only after Finished() (the
    /// exchange thread owns them while it runs).
    [[nodiscard]] const ExchangeBuffers &Buffers() const { return m_buffers; }

private:
    void Execute();
    void stepConnect();
    void stepVersion();
    void stepParams();
    void stepRecords();
    void stepClock();
    void stepScreen();
    void stepFinish();
    /// ExchangeStatus after a transfer: StatusOk when it `worked`, else `failure`. Returns `worked`.
    bool settle(bool worked, std::uint8_t failure = StatusLinkError);
    /// As settle() for a request to the binding, whose refusal is kept in LastLinkError.
    bool settle(const UsbResult<Done> &result, std::uint8_t failure);
    /// When Cancel has been pressed: state 10 and true.
    bool finishIfCancelled();
    void showStatusBlocking();
    /// A clock setting that ends without having sent its payload records NotSent (exchange thread).
    void settleClockOutcome();
    void showCrcError();
    void pause(std::chrono::milliseconds duration);
    void setIdlePriority(bool idle);
    [[nodiscard]] bool stopping() const { return m_terminate.load(); }
    [[nodiscard]] std::uint8_t nextStateByMode() const;

    ExchangeSetup m_setup;
    const ExchangeControls m_controls;
    std::atomic<int> m_progress{0};
    std::atomic<bool> m_terminate{false};
    std::atomic<bool> m_finished{false};
    std::mutex m_waitMutex;
    std::condition_variable m_waitCondition; ///< signalled on Terminate() and when Execute returns
    bool m_mayIdle = false;                  ///< idle priority can be left again (exchange thread only)
    ExchangeBuffers m_buffers;               ///< exchange thread only while it runs
    std::uint32_t m_receivedCount = 0;       ///< records stored in this exchange (exchange thread only)
    bool m_paramBlockAccepted = false;       ///< this exchange has a parameter block of its own
    std::uint32_t m_recordCountBefore = 0;   ///< RecordCount when the exchange started (exchange thread only)
    std::array<std::uint8_t, 32> m_versionBuffer{};
    std::string m_firmwareDate; ///< of the version reply read in this exchange
    std::mutex m_joinMutex;
    std::thread m_thread;
};

} // namespace velda
