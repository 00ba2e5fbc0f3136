// Runs one exchange with the instrument from the terminal: status on stderr, message boxes answered at
// once, and a timeout that gives up only when nothing moves.
#pragma once

#include "base/Texts.h"
#include "device/Exchange.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>

namespace velda::cli {

/// %1 seconds, %2 the last status text.
inline constexpr TextPair TxtGaveUp{"Нет ответа прибора за %1 с: %2",
                                    "No progress with the instrument in %1 s: %2"};

/// One look at the exchange, taken at a status display or a message box.
struct Heartbeat {
    std::uint8_t state = 0;
    std::uint8_t status = 0;
    int progress = 0;     ///< the gauge value, or -1 when no gauge is attached
    bool message = false; ///< a message box was shown (a record that failed its check still arrived)
};

/// Decides when an exchange has gone `limit` without progress. Progress is a move to another state, a
/// gauge value above every earlier one, or, in the record loop, any display with status 0 or any message
/// (a record arrived). Repeated displays of the same state and status are no progress. Not thread-safe.
class ProgressWatchdog {
public:
    using Clock = std::chrono::steady_clock;
    ProgressWatchdog(std::chrono::milliseconds limit, Clock::time_point start);

    void observe(const Heartbeat &beat, Clock::time_point now);
    [[nodiscard]] bool expired(Clock::time_point now) const;

private:
    std::chrono::milliseconds m_limit;
    Clock::time_point m_lastProgress;
    bool m_seen = false;
    Heartbeat m_last;
    int m_bestProgress = -1;
};

/// Shows the exchange's status on a stream: a redrawn bar on a terminal, plain lines otherwise (one per
/// change of phase or status text, and every 10 % of progress).
class ProgressPrinter {
public:
    ProgressPrinter(std::FILE *stream, bool terminal) : m_stream(stream), m_terminal(terminal) {}
    void show(const QString &phase, const QString &status, int progress);
    /// A line of its own (message boxes, errors), clearing a bar in progress first.
    void line(const QString &text);
    /// Ends a bar in progress with a line break.
    void finish();

private:
    std::FILE *m_stream;
    bool m_terminal;
    bool m_barOpen = false;
    QString m_phase;      ///< the caption ShowStatus gave the dialog
    QString m_shownPhase; ///< the phase printed last
    QString m_status;
    int m_progressStep = -1;
    int m_percent = -1;
};

/// What came of a supervised exchange.
enum class ExchangeOutcome {
    Finished,    ///< the exchange reached its end by itself
    TimedOut,    ///< no progress within the limit: it was cancelled
    Interrupted, ///< a signal asked to stop: it was cancelled
};

/// Asks the supervised exchange to be cancelled (from a SIGINT/SIGTERM handler: only an atomic store).
void RequestInterrupt(int signalNumber) noexcept;
/// The signal passed to RequestInterrupt, 0 when none came. Any thread.
[[nodiscard]] int InterruptSignal() noexcept;
/// Forgets an earlier interrupt (tests).
void ClearInterrupt() noexcept;

/// The terminal side of an exchange: ExchangeUi and the controls in one object. Display calls from the
/// exchange thread run inline, under a lock; the supervising thread reads the watchdog under the same lock.
class CliExchange : public ExchangeUi, public Gauge, public Dialog, public StatusLabel {
public:
    using ClockFn = std::function<ProgressWatchdog::Clock::time_point()>;
    /// `sleeper` paces repeated failures and is handed to the exchange; `clock` (empty: the steady clock)
    /// times the watchdog.
    CliExchange(ProgressPrinter &printer, std::chrono::milliseconds limit, Sleeper sleeper,
                ClockFn clock = {});

    void runBlocking(const std::function<void()> &call) override;
    void showMessage(const QString &text, const QString &caption, MessageIcon icon) override;
    void setGaugeValue(int percent) override;
    void hideGauge() override;
    void setPhaseCaption(const QString &caption) override;
    void closeDialog() override;
    void setStatusText(const QString &text) override;

    /// The exchange's setup with this object as its user interface.
    [[nodiscard]] ExchangeSetup setup();
    /// The controls to attach: gauge and status label always, the dialog when `withDialog`.
    [[nodiscard]] ExchangeControls controls(bool withDialog);

    /// Waits for the running exchange; cancels it and returns TimedOut once the watchdog expires.
    [[nodiscard]] ExchangeOutcome supervise();

    /// The status text shown last (the permission hint in place of "Check Connection" when it applies).
    [[nodiscard]] QString lastStatusText() const;
    [[nodiscard]] int gaugeValue() const;
    [[nodiscard]] int messageCount() const;
    /// Records the parameter block announced, as seen during the record loop (0 before it).
    [[nodiscard]] std::uint32_t announcedRecords() const;

private:
    [[nodiscard]] QString statusTextNow() const;

    ProgressPrinter &m_printer;
    Sleeper m_sleeper;
    ClockFn m_clock;
    mutable std::mutex m_mutex;
    ProgressWatchdog m_watchdog;
    QString m_phase;      ///< the caption ShowStatus gave the dialog
    QString m_shownPhase; ///< the phase printed last
    QString m_label;
    int m_gauge = -1;
    int m_messages = 0;
    std::uint32_t m_announced = 0;
    Heartbeat m_lastBeat;
    bool m_haveBeat = false;
};

} // namespace velda::cli
