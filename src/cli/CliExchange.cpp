// Terminal side of an exchange: status display on stderr, message boxes answered at once, the watchdog.
#include "cli/CliExchange.h"

#include "base/SharedTexts.h"
#include "device/LibUsbBinding.h"
#include "device/ShowStatus.h"

#include <QByteArray>

#include <algorithm>
#include <atomic>

namespace velda::cli {

namespace {

constexpr int kBarWidth = 30;
// While the exchange spins on the same failure (no library, link errors) it would redraw as fast as it can;
// a short breather keeps a waiting CLI from eating a core.
constexpr std::chrono::milliseconds kRepeatPause{20};
constexpr std::chrono::milliseconds kPollInterval{100};
// How long a cancelled exchange gets to reach its end by itself before it is stopped outright.
constexpr std::chrono::milliseconds kCancelGrace{3000};

void write(std::FILE *stream, const QString &text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
}

QString phaseOfState(std::uint8_t state) {
    switch (state) {
    case StateConnect:
        return Pick(TxtConnection);
    case StateVersion:
        return Pick(TxtVersionRead);
    case StateParams:
        return Pick(TxtParametersRead);
    case StateRecords:
    case StateScreen:
        return Pick(TxtDataRead);
    default:
        return {};
    }
}

std::atomic<int> g_interruptSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler may only touch lock-free atomics");

} // namespace

void RequestInterrupt(int signalNumber) noexcept {
    g_interruptSignal.store(signalNumber);
}
int InterruptSignal() noexcept {
    return g_interruptSignal.load();
}
void ClearInterrupt() noexcept {
    g_interruptSignal.store(0);
}

// ---- ProgressWatchdog --------------------------------------------------------------------------------

ProgressWatchdog::ProgressWatchdog(std::chrono::milliseconds limit, Clock::time_point start)
    : m_limit(limit), m_lastProgress(start) {}

void ProgressWatchdog::observe(const Heartbeat &beat, Clock::time_point now) {
    bool progressed = !m_seen || beat.state != m_last.state || beat.progress > m_bestProgress;
    m_bestProgress = std::max(m_bestProgress, beat.progress);
    if (beat.state == StateRecords && (beat.status == StatusOk || beat.message)) progressed = true;
    if (progressed) m_lastProgress = now;
    m_last = beat;
    m_seen = true;
}

bool ProgressWatchdog::expired(Clock::time_point now) const {
    return now - m_lastProgress >= m_limit;
}

// ---- ProgressPrinter ---------------------------------------------------------------------------------

void ProgressPrinter::show(const QString &phase, const QString &status, int progress) {
    const int percent = progress < 0 ? -1 : std::min(progress, 100);
    if (m_terminal) {
        // Repeated failures redraw the same bar; a long status text would scroll the terminal each time.
        if (m_barOpen && phase == m_phase && status == m_status && percent == m_percent) return;
        QString text = QStringLiteral("\r\033[K") + phase;
        if (percent >= 0) {
            const int filled = percent * kBarWidth / 100;
            text += QStringLiteral(" [") + QString(filled, QLatin1Char('#')) +
                    QString(kBarWidth - filled, QLatin1Char('.')) + QStringLiteral("] ") +
                    QString::number(percent).rightJustified(3) + QLatin1Char('%');
        }
        if (!status.isEmpty()) text += QStringLiteral("  ") + status;
        write(m_stream, text);
        std::fflush(m_stream);
        m_barOpen = true;
        m_phase = phase;
        m_status = status;
        m_percent = percent;
        return;
    }
    const int step = percent < 0 ? -1 : percent / 10;
    if (phase == m_phase && status == m_status && step == m_progressStep) return;
    QString text = phase;
    if (percent > 0) text += QStringLiteral(" %1%").arg(percent);
    if (!status.isEmpty()) text += (text.isEmpty() ? QString() : QStringLiteral(": ")) + status;
    if (!text.isEmpty()) write(m_stream, text + QLatin1Char('\n'));
    m_phase = phase;
    m_status = status;
    m_progressStep = step;
}

void ProgressPrinter::line(const QString &text) {
    finish();
    write(m_stream, text + QLatin1Char('\n'));
    std::fflush(m_stream);
}

void ProgressPrinter::finish() {
    if (m_barOpen) {
        write(m_stream, QStringLiteral("\n"));
        m_barOpen = false;
    }
}

// ---- CliExchange -------------------------------------------------------------------------------------

CliExchange::CliExchange(ProgressPrinter &printer, std::chrono::milliseconds limit, Sleeper sleeper,
                         ClockFn clock)
    : m_printer(printer), m_sleeper(std::move(sleeper)),
      m_clock(clock ? std::move(clock) : ClockFn([] { return ProgressWatchdog::Clock::now(); })),
      m_watchdog(limit, m_clock()) {}

QString CliExchange::statusTextNow() const {
    const std::uint8_t status = ExchangeStatus.load();
    if (status != StatusOk) return StatusText(status);
    return m_label;
}

void CliExchange::runBlocking(const std::function<void()> &call) {
    bool repeated = false;
    {
        std::lock_guard lock(m_mutex);
        call();
        const Heartbeat beat{ExchangeState.load(), ExchangeStatus.load(), m_gauge, false};
        if (beat.state == StateRecords) m_announced = RecordCount.load();
        repeated = m_haveBeat && beat.state == m_lastBeat.state && beat.status == m_lastBeat.status &&
                   beat.progress == m_lastBeat.progress && beat.status != StatusOk;
        m_watchdog.observe(beat, m_clock());
        m_lastBeat = beat;
        m_haveBeat = true;
        // Without a dialog the phase follows the state; states without a phase of their own keep the last.
        QString phase = m_phase.isEmpty() ? phaseOfState(beat.state) : m_phase;
        if (phase.isEmpty()) phase = m_shownPhase;
        m_shownPhase = phase;
        m_printer.show(phase, statusTextNow(), m_gauge);
    }
    if (repeated && m_sleeper) m_sleeper(kRepeatPause);
}

void CliExchange::showMessage(const QString &text, const QString &caption, MessageIcon /*icon*/) {
    std::lock_guard lock(m_mutex);
    ++m_messages;
    m_printer.line(caption + QStringLiteral(": ") + text);
    m_watchdog.observe(Heartbeat{ExchangeState.load(), ExchangeStatus.load(), m_gauge, true}, m_clock());
}

// The control calls come from ShowStatus inside runBlocking, which holds the lock already.
void CliExchange::setGaugeValue(int percent) {
    m_gauge = percent;
}
void CliExchange::hideGauge() {}
void CliExchange::setPhaseCaption(const QString &caption) {
    m_phase = caption;
}
void CliExchange::closeDialog() {}
void CliExchange::setStatusText(const QString &text) {
    m_label = text;
}

ExchangeSetup CliExchange::setup() {
    ExchangeSetup result;
    result.ui = this;
    result.sleeper = m_sleeper ? m_sleeper : RealSleeper();
    return result;
}

ExchangeControls CliExchange::controls(bool withDialog) {
    ExchangeControls result;
    result.gauge = this;
    result.dialog = withDialog ? this : nullptr;
    result.statusLabel = this;
    return result;
}

ExchangeOutcome CliExchange::supervise() {
    ExchangeOutcome outcome = ExchangeOutcome::Finished;
    while (outcome == ExchangeOutcome::Finished) {
        if (WaitForExchange(kPollInterval)) break;
        if (InterruptSignal() != 0) {
            outcome = ExchangeOutcome::Interrupted;
            break;
        }
        std::lock_guard lock(m_mutex);
        if (m_watchdog.expired(m_clock())) outcome = ExchangeOutcome::TimedOut;
    }
    if (outcome != ExchangeOutcome::Finished) {
        // Cancelled rather than abandoned, so the exchange closes the link after its current transfer and the
        // instrument is not left with a reply nobody reads.
        CancelRequested.store(true);
        if (!WaitForExchange(kCancelGrace)) StopExchange();
        // A cancel the exchange never looked at must not end the next one.
        CancelRequested.store(false);
    }
    std::lock_guard lock(m_mutex);
    m_printer.finish();
    return outcome;
}

QString CliExchange::lastStatusText() const {
    std::lock_guard lock(m_mutex);
    const QString text = statusTextNow();
    return text.isEmpty() ? m_label : text;
}

int CliExchange::gaugeValue() const {
    std::lock_guard lock(m_mutex);
    return m_gauge;
}

std::uint32_t CliExchange::announcedRecords() const {
    std::lock_guard lock(m_mutex);
    return m_announced;
}

int CliExchange::messageCount() const {
    std::lock_guard lock(m_mutex);
    return m_messages;
}

} // namespace velda::cli
