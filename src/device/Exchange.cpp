// The device exchange: the worker thread's state machine over the USB binding and the protocol.
#include "device/Exchange.h"

#include "base/LittleEndian.h"
#include "base/SharedTexts.h"
#include "device/LibUsbBinding.h"
#include "device/Protocol.h"
#include "device/ShowStatus.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>

namespace velda {

std::atomic<std::uint8_t> ExchangeState{StateConnect};
std::atomic<std::uint8_t> ExchangeMode{ModeArchiveRead};
std::atomic<std::uint8_t> ExchangeStatus{StatusOk};
std::atomic<bool> CancelRequested{false};
std::atomic<bool> VersionPending{true};
std::atomic<std::uint8_t> ArchiveFormat{0};
std::atomic<std::uint32_t> RecordCount{0};
std::atomic<ClockOutcome> LastClockOutcome{ClockOutcome::Pending};
ScreenImage ScreenBuffer;

namespace {

constexpr std::chrono::milliseconds kPauseAfterLoadMs{300};
constexpr std::chrono::milliseconds kPauseAfterOpenMs{300};
constexpr std::chrono::milliseconds kPauseBeforeVersionReplyMs{80};
constexpr std::chrono::milliseconds kPauseBeforeParamReplyMs{50};
constexpr std::chrono::milliseconds kPauseBeforeRecordLoopMs{50};
constexpr std::chrono::milliseconds kPauseBeforeRecordReplyMs{50};
constexpr std::chrono::milliseconds kPauseBeforeClockPayloadMs{300};
constexpr std::size_t kLengthFieldSize = 4;
constexpr std::uint32_t kMinVersionLength = 10;

// The registry of the program's main, or for a program that made none (a test program) one made on
// first use and never destroyed, so no static destructor runs under a live exchange thread.
std::atomic<ExchangeRegistry *> g_installedRegistry{nullptr};

ExchangeRegistry &Registry() {
    if (ExchangeRegistry *installed = g_installedRegistry.load()) return *installed;
    static ExchangeRegistry *fallback = new ExchangeRegistry(ExchangeRegistry::Fallback{});
    return *fallback;
}

// Used when a starter is given no user interface: calls run inline, boxes are not shown.
class SilentUi final : public ExchangeUi {
public:
    void runBlocking(const std::function<void()> &call) override { call(); }
    void showMessage(const QString &, const QString &, MessageIcon) override {}
};
SilentUi g_silentUi;

BulkReader TransportReader() {
    return [](std::uint8_t *buffer, int length) { return LibUSB.BulkRead(buffer, length); };
}

template <std::size_t N>
bool WriteCommand(const std::array<std::uint8_t, N> &bytes) {
    return LibUSB.BulkWrite(bytes.data(), static_cast<int>(N)) >= 0;
}

} // namespace

// ---- RecordArray / ScreenImage ------------------------------------------------------------------------

void RecordArray::allocate(std::uint32_t count, std::size_t recordSize) {
    m_bytes.assign(static_cast<std::size_t>(count) * recordSize, 0);
    m_count = count;
    m_recordSize = recordSize;
    m_allocated = true;
}

void RecordArray::release() {
    std::vector<std::uint8_t>().swap(m_bytes);
    m_count = 0;
    m_allocated = false;
}

void RecordArray::store(std::uint32_t index, std::span<const std::uint8_t> bytes) {
    if (index >= m_count) return;
    const std::size_t length = std::min(bytes.size(), m_recordSize);
    std::copy_n(bytes.begin(), length, m_bytes.begin() + static_cast<std::ptrdiff_t>(index * m_recordSize));
}

std::vector<std::uint8_t> RecordArray::take(std::uint32_t count) {
    // Shrinking keeps the block, so the bytes change hands without a copy.
    m_bytes.resize(static_cast<std::size_t>(std::min(count, m_count)) * m_recordSize);
    std::vector<std::uint8_t> taken = std::move(m_bytes);
    release();
    return taken;
}

std::array<std::uint8_t, kScreenBufferSize> ScreenImage::snapshot() const {
    std::lock_guard lock(m_mutex);
    return m_bytes;
}

void ScreenImage::store(const std::array<std::uint8_t, kScreenBufferSize> &bytes) {
    std::lock_guard lock(m_mutex);
    m_bytes = bytes;
}

Sleeper RealSleeper() {
    return [](std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); };
}

// ---- BMTreadUSB ----------------------------------------------------------------------------------------

BMTreadUSB::BMTreadUSB(ExchangeSetup setup, const ExchangeControls &controls)
    : m_setup(std::move(setup)), m_controls(controls) {
    m_thread = std::thread([this] { Execute(); });
}

BMTreadUSB::~BMTreadUSB() {
    Terminate();
    Join();
}

void BMTreadUSB::SetControls(Gauge *gauge, Dialog *dialog, StatusLabel *statusLabel, ArchiveTable *grid) {
    std::lock_guard lock(m_controlsMutex);
    m_controls = ExchangeControls{gauge, dialog, statusLabel, grid};
}

void BMTreadUSB::ShowStatus() {
    ExchangeControls controls;
    {
        std::lock_guard lock(m_controlsMutex);
        controls = m_controls;
    }
    int progress = m_progress.load();
    velda::ShowStatus(progress, ExchangeStatus.load(), ExchangeState.load(), controls.gauge, controls.dialog,
                      controls.statusLabel, m_setup.sleeper);
    m_progress.store(progress);
}

void BMTreadUSB::Terminate() {
    {
        std::lock_guard lock(m_waitMutex);
        m_terminate.store(true);
    }
    m_waitCondition.notify_all();
}

void BMTreadUSB::Join() {
    std::lock_guard lock(m_joinMutex);
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) m_thread.join();
}

bool BMTreadUSB::WaitFinished(std::chrono::milliseconds timeout, const std::function<void()> &pump) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    // With a pump the wait is sliced so that calls the worker hands to this thread still run.
    const auto slice = pump ? std::chrono::milliseconds(5) : timeout;
    std::unique_lock lock(m_waitMutex);
    while (!m_finished.load()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        if (pump) {
            lock.unlock();
            pump();
            lock.lock();
            if (m_finished.load()) break;
        }
        m_waitCondition.wait_until(lock, std::min(deadline, std::chrono::steady_clock::now() + slice));
    }
    return true;
}

void BMTreadUSB::pause(std::chrono::milliseconds duration) {
    if (m_setup.sleeper) {
        m_setup.sleeper(duration);
        return;
    }
    // A real pause ends early when the exchange is told to terminate.
    std::unique_lock lock(m_waitMutex);
    m_waitCondition.wait_for(lock, duration, [this] { return m_terminate.load(); });
}

void BMTreadUSB::setIdlePriority(bool idle) {
    // An ordinary user may enter SCHED_IDLE but is refused the way back, which would leave the whole
    // download starving under load: the search for the instrument is only made idle where the return
    // to normal priority is permitted.
    if (idle && !m_mayIdle) return;
    sched_param param{};
    param.sched_priority = 0;
    static_cast<void>(pthread_setschedparam(pthread_self(), idle ? SCHED_IDLE : SCHED_OTHER, &param));
}

void BMTreadUSB::settleClockOutcome() {
    if (ExchangeMode.load() != ModeClockSet) return;
    ClockOutcome pending = ClockOutcome::Pending;
    LastClockOutcome.compare_exchange_strong(pending, ClockOutcome::NotSent);
}

void BMTreadUSB::showStatusBlocking() {
    if (stopping()) return;
    m_setup.ui->runBlocking([this] { ShowStatus(); });
}

void BMTreadUSB::showCrcError() {
    if (stopping()) return;
    m_setup.ui->showMessage(Pick(TxtCrcError), Pick(TxtWarning), MessageIcon::Error);
}

std::uint8_t BMTreadUSB::nextStateByMode() const {
    switch (ExchangeMode.load()) {
    case ModeClockSet:
        return StateClock;
    case ModeScreenRead:
        return StateScreen;
    default:
        return StateParams;
    }
}

void BMTreadUSB::Execute() {
    m_recordCountBefore = RecordCount.load();
    m_mayIdle = IdlePriorityReversible();
    bool ended = false;
    while (!ended && !stopping()) {
        showStatusBlocking();
        if (stopping()) break;
        switch (ExchangeState.load()) {
        case StateConnect:
            stepConnect();
            break;
        case StateVersion:
            stepVersion();
            break;
        case StateParams:
            stepParams();
            break;
        case StateRecords:
            stepRecords();
            break;
        case StateClock:
            stepClock();
            break;
        case StateScreen:
            stepScreen();
            break;
        case StateFinish:
            stepFinish();
            ended = true;
            break;
        default:
            ExchangeState.store(StateFinish);
            break;
        }
    }
    if (!ended) {
        // Told to terminate: leave the link closed and release what this exchange holds; no hand-over.
        LibUSB.CloseDevice();
        if (m_paramBlockAccepted) RecordCount.store(m_recordCountBefore);
        m_buffers.ShortRecords.release();
        m_buffers.LongRecords.release();
        settleClockOutcome();
    }
    {
        std::lock_guard lock(m_waitMutex);
        m_finished.store(true);
    }
    m_waitCondition.notify_all();
}

void BMTreadUSB::stepConnect() {
    setIdlePriority(true);
    if (CancelRequested.load()) {
        ExchangeState.store(StateFinish);
        return;
    }
    if (LibUSB.LoadDriver() != 0) {
        ExchangeStatus.store(StatusNoDriver);
        return;
    }
    ExchangeStatus.store(StatusOk);
    pause(kPauseAfterLoadMs);
    if (LibUSB.OpenDevice() != 0) {
        ExchangeStatus.store(StatusNoDevice);
        return;
    }
    ExchangeStatus.store(StatusOk);
    // The instrument answers: every later state talks to it at normal priority, also when the version
    // read is skipped, so that a download is not starved by other work.
    setIdlePriority(false);
    pause(kPauseAfterOpenMs);
    ExchangeState.store(VersionPending.load() ? StateVersion : nextStateByMode());
}

void BMTreadUSB::stepVersion() {
    if (CancelRequested.load()) {
        ExchangeState.store(StateFinish);
        return;
    }
    if (!WriteCommand(VersionRequest)) {
        ExchangeStatus.store(StatusLinkError);
        return;
    }
    ExchangeStatus.store(StatusOk);
    pause(kPauseBeforeVersionReplyMs);
    const ReplyResult reply = ReadReply(TransportReader(), m_versionBuffer, std::nullopt);
    // A declared length the 32-byte buffer cannot hold, or one too short for a date, is a broken reply.
    if (!reply.ok || reply.declaredLength < kMinVersionLength ||
        reply.declaredLength > m_versionBuffer.size()) {
        ExchangeStatus.store(StatusLinkError);
        return;
    }
    ExchangeStatus.store(StatusOk);
    const FirmwareVerdict verdict = FirmwareFormat(m_versionBuffer, reply.declaredLength);
    m_firmwareDate = FirmwareDateText(m_versionBuffer, reply.declaredLength);
    if (verdict == FirmwareVerdict::Outdated) {
        ExchangeStatus.store(StatusOldFirmware);
        return;
    }
    const auto format = FormatNumber(verdict);
    if (!format) {
        // A date that is no number cannot have come from the instrument intact.
        ExchangeStatus.store(StatusLinkError);
        return;
    }
    ArchiveFormat.store(*format);
    if (CancelRequested.load()) {
        ExchangeState.store(StateFinish);
        return;
    }
    ExchangeState.store(nextStateByMode());
}

void BMTreadUSB::stepParams() {
    if (CancelRequested.load()) {
        ExchangeState.store(StateFinish);
        return;
    }
    if (!WriteCommand(ParamRequest)) {
        ExchangeStatus.store(StatusLinkError);
        return;
    }
    ExchangeStatus.store(StatusOk);
    pause(kPauseBeforeParamReplyMs);
    const bool shortFormat = ArchiveFormat.load() == 0;
    const std::span<std::uint8_t> block = shortFormat ? std::span<std::uint8_t>(m_buffers.ShortParamBlock)
                                                      : std::span<std::uint8_t>(m_buffers.LongParamBlock);
    const ReplyResult reply = ReadReply(TransportReader(), block, block.size());
    if (!reply.ok) {
        ExchangeStatus.store(StatusLinkError);
        return;
    }
    ExchangeStatus.store(StatusOk);
    if (!CheckBlock(block)) {
        showCrcError();
        ExchangeStatus.store(StatusLinkError);
        ExchangeState.store(StateFinish);
        return;
    }
    if (CancelRequested.load()) {
        ExchangeState.store(StateFinish);
        return;
    }
    const std::uint32_t count = CountRecords(block, shortFormat ? kShortBitmapWords : kLongBitmapWords);
    RecordCount.store(count);
    m_paramBlockAccepted = true;
    if (count == 0) {
        ExchangeStatus.store(StatusNoData);
        ExchangeState.store(StateFinish);
        return;
    }
    ExchangeState.store(StateRecords);
    m_progress.store(20);
    showStatusBlocking();
}

void BMTreadUSB::stepRecords() {
    const bool shortFormat = ArchiveFormat.load() == 0;
    RecordArray &records = shortFormat ? m_buffers.ShortRecords : m_buffers.LongRecords;
    const std::size_t recordSize = shortFormat ? kShortRecordSize : kLongRecordSize;
    const std::uint32_t count = RecordCount.load();
    try {
        records.allocate(count, recordSize);
    } catch (const std::bad_alloc &) {
        if (!stopping())
            m_setup.ui->showMessage(Pick(TxtAllocationError), Pick(TxtWarning), MessageIcon::Error);
        if (m_setup.onAllocationFailure) {
            m_setup.onAllocationFailure();
            ExchangeState.store(StateFinish);
            return;
        }
        std::_Exit(1);
    }
    m_receivedCount = 0;
    pause(kPauseBeforeRecordLoopMs);

    std::array<std::uint8_t, kLongRecordSize> slot{};
    for (std::uint32_t i = 0; i < count && !stopping(); ++i) {
        if (!WriteCommand(RecordRequest(static_cast<std::uint16_t>(i)))) {
            ExchangeStatus.store(StatusLinkError);
            break;
        }
        ExchangeStatus.store(StatusOk);
        pause(kPauseBeforeRecordReplyMs);
        slot.fill(0);
        const std::span<std::uint8_t> record(slot.data(), recordSize);
        if (!ReadReply(TransportReader(), record, recordSize).ok) {
            ExchangeStatus.store(StatusLinkError);
            break;
        }
        records.store(i, record);
        m_receivedCount = i + 1;
        ExchangeStatus.store(StatusOk);
        if (recordSize == kLongRecordSize && !CheckBlock(record)) {
            // The record stays as received; the loop goes on with the next one.
            showCrcError();
            ExchangeStatus.store(StatusLinkError);
            continue;
        }
        m_progress.store(static_cast<int>(20 + (80ULL * (i + 1)) / count));
        showStatusBlocking();
        if (CancelRequested.load()) break;
    }
    ExchangeState.store(StateFinish);
}

void BMTreadUSB::stepClock() {
    // A Cancel pressed while the instrument was searched for stops the setting before anything is sent.
    if (CancelRequested.load()) {
        ExchangeState.store(StateFinish);
        return;
    }
    const QDateTime now = m_setup.now ? m_setup.now() : QDateTime::currentDateTime();
    const auto payload = ClockPayload(now);
    if (!WriteCommand(ClockSet)) {
        ExchangeStatus.store(StatusLinkError);
        return;
    }
    ExchangeStatus.store(StatusOk);
    pause(kPauseBeforeClockPayloadMs);
    if (!WriteCommand(payload)) {
        ExchangeStatus.store(StatusLinkError);
        return;
    }
    LastClockOutcome.store(ClockOutcome::Set);
    ExchangeStatus.store(StatusOk);
    showStatusBlocking();
    if (CancelRequested.load()) {
        ExchangeState.store(StateFinish);
        return;
    }
    if (!stopping()) m_setup.ui->showMessage(Pick(TxtTimeSet), Pick(TxtWarning), MessageIcon::Information);
    m_progress.store(100);
    showStatusBlocking();
    ExchangeState.store(StateFinish);
}

void BMTreadUSB::stepScreen() {
    if (!WriteCommand(ScreenRequest)) {
        ExchangeStatus.store(StatusLinkError);
        return;
    }
    ExchangeStatus.store(StatusOk);
    // The two reads of the framed reply are split to show 80 % between them; they work on a copy so
    // that readers of ScreenBuffer never see the length bytes or half an image.
    auto image = ScreenBuffer.snapshot();
    if (LibUSB.BulkRead(image.data(), static_cast<int>(kLengthFieldSize)) < 0) {
        ExchangeStatus.store(StatusLinkError);
        return;
    }
    const std::uint32_t length = le::U32(image.data());
    ExchangeStatus.store(StatusOk);
    m_progress.store(80);
    showStatusBlocking();
    const auto wanted = static_cast<int>(std::min<std::uint32_t>(length, kScreenBufferSize));
    if (LibUSB.BulkRead(image.data(), wanted) < 0) {
        ExchangeStatus.store(StatusLinkError);
        return;
    }
    ScreenBuffer.store(image);
    ExchangeStatus.store(StatusOk);
    m_progress.store(100);
    showStatusBlocking();
    ExchangeState.store(StateFinish);
}

void BMTreadUSB::stepFinish() {
    LibUSB.CloseDevice();
    ExchangeControls controls;
    {
        std::lock_guard lock(m_controlsMutex);
        controls = m_controls;
    }
    const bool cancelled = CancelRequested.exchange(false);
    if (cancelled && m_paramBlockAccepted) {
        // Nothing reaches the table, so RecordCount goes back to describing what the table shows.
        RecordCount.store(m_recordCountBefore);
    }
    if (!cancelled) {
        VersionPending.store(false);
        if (ExchangeMode.load() == ModeArchiveRead && m_paramBlockAccepted && m_setup.handOver) {
            const bool shortFormat = ArchiveFormat.load() == 0;
            RecordArray &records = shortFormat ? m_buffers.ShortRecords : m_buffers.LongRecords;
            // Only records that arrived in this exchange are handed over, and RecordCount says so.
            RecordCount.store(m_receivedCount);
            ReceivedArchive archive;
            archive.grid = controls.grid;
            archive.recordCount = m_receivedCount;
            archive.archiveFormat = ArchiveFormat.load();
            archive.recordSize = shortFormat ? kShortRecordSize : kLongRecordSize;
            archive.records = records.take(m_receivedCount);
            archive.firmwareDate = m_firmwareDate;
            m_setup.handOver(std::move(archive));
        }
    }
    m_buffers.ShortRecords.release();
    m_buffers.LongRecords.release();
    settleClockOutcome();
    if (controls.dialog && !stopping())
        m_setup.ui->runBlocking([dialog = controls.dialog] { dialog->closeDialog(); });
    setIdlePriority(true);
}

// ---- Thread priority -------------------------------------------------------------------------------

bool IdlePriorityReversible(int niceValue, unsigned long long niceLimit, bool capSysNice) {
    if (capSysNice) return true;
    const auto needed = static_cast<unsigned long long>(20 - std::clamp(niceValue, -20, 19));
    return needed <= niceLimit;
}

namespace {

bool HasCapSysNice() {
    constexpr int kCapSysNice = 23;
    std::ifstream status("/proc/thread-self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("CapEff:", 0) != 0) continue;
        const std::size_t first = line.find_first_not_of(" \t", 7);
        if (first == std::string::npos) return false;
        unsigned long long caps = 0;
        const char *end = line.data() + line.size();
        if (std::from_chars(line.data() + first, end, caps, 16).ec != std::errc{}) return false;
        return (caps >> kCapSysNice) & 1U;
    }
    return false;
}

} // namespace

bool IdlePriorityReversible() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NICE, &limit) != 0) return false;
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    if (nice == -1 && errno != 0) return false;
    const unsigned long long soft =
        limit.rlim_cur == RLIM_INFINITY ? ~0ULL : static_cast<unsigned long long>(limit.rlim_cur);
    return IdlePriorityReversible(nice, soft, HasCapSysNice());
}

// ---- The exchange registry and the starters -------------------------------------------------------------

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

namespace {

StartResult Start(std::uint8_t mode, ExchangeSetup setup, const ExchangeControls &controls) {
    return Registry().start(mode, std::move(setup), controls);
}

} // namespace

std::shared_ptr<BMTreadUSB> CurrentExchange() {
    return Registry().current();
}

StartResult StartArchiveRead(ExchangeSetup setup, const ExchangeControls &controls) {
    return Start(ModeArchiveRead, std::move(setup), controls);
}

StartResult StartClockSetting(ExchangeSetup setup) {
    return Start(ModeClockSet, std::move(setup), {});
}

StartResult StartScreenRead(ExchangeSetup setup, const ExchangeControls &controls) {
    ExchangeControls attached = controls;
    attached.dialog = nullptr;
    attached.grid = nullptr;
    return Start(ModeScreenRead, std::move(setup), attached);
}

bool ExchangeRunning() {
    const auto exchange = CurrentExchange();
    return exchange && !exchange->Finished();
}

// The waits hold no lock, so the pump may run GUI code that asks ExchangeRunning() or starts anew.
bool WaitForExchange(std::chrono::milliseconds timeout, const std::function<void()> &pump) {
    const auto exchange = CurrentExchange();
    if (!exchange) return true;
    if (!exchange->WaitFinished(timeout, pump)) return false;
    exchange->Join();
    return true;
}

void StopExchange(const std::function<void()> &pump) {
    const auto exchange = CurrentExchange();
    if (!exchange) return;
    exchange->Terminate();
    static_cast<void>(exchange->WaitFinished(std::chrono::hours(1), pump));
    exchange->Join();
    Registry().forget(exchange);
}

void ShutdownDeviceLink(const std::function<void()> &pump) {
    StopExchange(pump);
    LibUSB.UnloadDriver();
}

} // namespace velda
