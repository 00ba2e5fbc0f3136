// The program's exchange slot.
#include "device/ExchangeRegistry.h"

#include <atomic>
#include <stdexcept>

namespace velda {

namespace {

std::atomic<ExchangeRegistry *> g_installedRegistry{nullptr};

// Used when a start is given no user interface: calls run inline, boxes are not shown.
class SilentUi final : public ExchangeUi {
public:
    void runBlocking(const std::function<void()> &call) override { call(); }
    void showMessage(const QString &, const QString &, MessageIcon) override {}
};
SilentUi g_silentUi;

} // namespace

ExchangeRegistry::ExchangeRegistry() {
    ExchangeRegistry *expected = nullptr;
    if (!g_installedRegistry.compare_exchange_strong(expected, this))
        throw std::logic_error("a program has one exchange registry at a time");
}

ExchangeRegistry::ExchangeRegistry(Fallback) {}

// An exchange still retrying is told to stop; one that does not stop in time (its GUI is gone) is left to
// the end of the process rather than destroyed under its running thread.
ExchangeRegistry::~ExchangeRegistry() {
    ExchangeRegistry *self = this;
    g_installedRegistry.compare_exchange_strong(self, nullptr);
    std::lock_guard lock(m_mutex);
    if (!m_exchange) return;
    m_exchange->Terminate();
    if (m_exchange->WaitFinished(std::chrono::seconds(2)))
        m_exchange.reset();
    else
        new std::shared_ptr<BMTreadUSB>(std::move(m_exchange)); // deliberately kept to process end
}

// A program that made no registry (a test program) gets one that is never destroyed, so no static
// destructor runs under a live exchange thread.
ExchangeRegistry &ExchangeRegistry::program() {
    if (ExchangeRegistry *installed = g_installedRegistry.load()) return *installed;
    static ExchangeRegistry *fallback = new ExchangeRegistry(Fallback{});
    return *fallback;
}

StartResult ExchangeRegistry::start(std::uint8_t mode, ExchangeSetup setup,
                                    const ExchangeControls &controls) {
    std::lock_guard lock(m_mutex);
    if (m_exchange && !m_exchange->Finished()) return StartResult::Busy;
    m_exchange.reset();
    // A cancel that arrived after the previous exchange had looked for it must not end this one.
    CancelRequested.store(false);
    ExchangeState.store(StateConnect);
    ExchangeMode.store(mode);
    if (mode == ModeClockSet) LastClockOutcome.store(ClockOutcome::Pending);
    if (!setup.ui) setup.ui = &g_silentUi;
    m_exchange = std::make_shared<BMTreadUSB>(std::move(setup), controls);
    return StartResult::Started;
}

std::shared_ptr<BMTreadUSB> ExchangeRegistry::current() const {
    std::lock_guard lock(m_mutex);
    return m_exchange;
}

void ExchangeRegistry::forget(const std::shared_ptr<BMTreadUSB> &exchange) {
    std::lock_guard lock(m_mutex);
    if (m_exchange == exchange) m_exchange.reset();
}

} // namespace velda
