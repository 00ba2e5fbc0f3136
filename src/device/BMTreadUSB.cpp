// The exchange thread's state machine over the USB binding and the protocol.
#include "device/BMTreadUSB.h"

#include "base/LittleEndian.h"
#include "base/SharedTexts.h"
#include "device/Protocol.h"
#include "device/ShowStatus.h"
#include "device/ThreadPriority.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <span>

namespace velda {

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

BulkReader TransportReader() {
    return [](std::uint8_t *buffer, int length) { return LibUSB.BulkRead(buffer, length); };
}

template <std::size_t N>
bool WriteCommand(const std::array<std::uint8_t, N> &bytes) {
    return LibUSB.BulkWrite(bytes.data(), static_cast<int>(N)) >= 0;
}

} // namespace

BMTreadUSB::BMTreadUSB(ExchangeSetup setup, const ExchangeControls &controls)
    : m_setup(std::move(setup)), m_controls(controls) {
    m_thread = std::thread([this] { Execute(); });
}

BMTreadUSB::~BMTreadUSB() {
    Terminate();
    Join();
}

void BMTreadUSB::ShowStatus() {
    int progress = m_progress.load();
    velda::ShowStatus(progress, ExchangeStatus.load(), ExchangeState.load(), m_controls.gauge,
                      m_controls.dialog, m_controls.statusLabel, m_setup.sleeper);
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
    SetCallingThreadIdle(idle);
}

bool BMTreadUSB::settle(bool worked, std::uint8_t failure) {
    ExchangeStatus.store(worked ? StatusOk : failure);
    return worked;
}

bool BMTreadUSB::settle(const UsbResult<Done> &result, std::uint8_t failure) {
    LastLinkError.set(result.ok() ? std::nullopt : std::optional<UsbError>(result.error()));
    return settle(result.ok(), failure);
}

bool BMTreadUSB::finishIfCancelled() {
    if (!CancelRequested.load()) return false;
    ExchangeState.store(StateFinish);
    return true;
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
        m_buffers.releaseRecords();
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
    if (finishIfCancelled()) return;
    if (!settle(LibUSB.LoadDriver(), StatusNoDriver)) return;
    pause(kPauseAfterLoadMs);
    if (!settle(LibUSB.OpenDevice(), StatusNoDevice)) return;
    // The instrument answers: every later state talks to it at normal priority, also when the version
    // read is skipped, so that a download is not starved by other work.
    setIdlePriority(false);
    pause(kPauseAfterOpenMs);
    ExchangeState.store(VersionPending.load() ? StateVersion : nextStateByMode());
}

void BMTreadUSB::stepVersion() {
    if (finishIfCancelled()) return;
    if (!settle(WriteCommand(VersionRequest))) return;
    pause(kPauseBeforeVersionReplyMs);
    const ReplyResult reply = ReadReply(TransportReader(), m_versionBuffer, std::nullopt);
    // A declared length the 32-byte buffer cannot hold, or one too short for a date, is a broken reply.
    if (!settle(reply.ok() && reply.value() >= kMinVersionLength && reply.value() <= m_versionBuffer.size()))
        return;
    const FirmwareVerdict verdict = FirmwareFormat(m_versionBuffer, reply.value());
    m_firmwareDate = FirmwareDateText(m_versionBuffer, reply.value());
    if (!settle(verdict != FirmwareVerdict::Outdated, StatusOldFirmware)) return;
    const auto format = FormatNumber(verdict);
    // A date that is no number cannot have come from the instrument intact.
    if (!settle(format.has_value())) return;
    ArchiveFormat.store(*format);
    if (finishIfCancelled()) return;
    ExchangeState.store(nextStateByMode());
}

void BMTreadUSB::stepParams() {
    if (finishIfCancelled()) return;
    if (!settle(WriteCommand(ParamRequest))) return;
    pause(kPauseBeforeParamReplyMs);
    const int format = ArchiveFormat.load();
    const std::span<std::uint8_t> block = m_buffers.paramBlockOf(format);
    if (!settle(ReadReply(TransportReader(), block, block.size()).ok())) return;
    if (!CheckBlock(block)) {
        showCrcError();
        settle(false);
        ExchangeState.store(StateFinish);
        return;
    }
    if (finishIfCancelled()) return;
    const std::uint32_t count = CountRecords(block, format == 0 ? kShortBitmapWords : kLongBitmapWords);
    RecordCount.store(count);
    m_paramBlockAccepted = true;
    if (count == 0) {
        settle(false, StatusNoData);
        ExchangeState.store(StateFinish);
        return;
    }
    ExchangeState.store(StateRecords);
    m_progress.store(20);
    showStatusBlocking();
}

void BMTreadUSB::stepRecords() {
    const int format = ArchiveFormat.load();
    RecordArray &records = m_buffers.recordsOf(format);
    const std::size_t recordSize = RecordSize(format);
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
        if (!settle(WriteCommand(RecordRequest(static_cast<std::uint16_t>(i))))) break;
        pause(kPauseBeforeRecordReplyMs);
        slot.fill(0);
        const std::span<std::uint8_t> record(slot.data(), recordSize);
        if (!settle(ReadReply(TransportReader(), record, recordSize).ok())) break;
        records.store(i, record);
        m_receivedCount = i + 1;
        if (recordSize == kLongRecordSize && !CheckBlock(record)) {
            // The record stays as received; the loop goes on with the next one.
            showCrcError();
            settle(false);
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
    if (finishIfCancelled()) return;
    const QDateTime now = m_setup.now ? m_setup.now() : QDateTime::currentDateTime();
    const auto payload = ClockPayload(now);
    if (!settle(WriteCommand(ClockSet))) return;
    pause(kPauseBeforeClockPayloadMs);
    if (!settle(WriteCommand(payload))) return;
    LastClockOutcome.store(ClockOutcome::Set);
    showStatusBlocking();
    if (finishIfCancelled()) return;
    if (!stopping()) m_setup.ui->showMessage(Pick(TxtTimeSet), Pick(TxtWarning), MessageIcon::Information);
    m_progress.store(100);
    showStatusBlocking();
    ExchangeState.store(StateFinish);
}

void BMTreadUSB::stepScreen() {
    if (!settle(WriteCommand(ScreenRequest))) return;
    // The two reads of the framed reply are split to show 80 % between them; they work on a copy so
    // that readers of ScreenBuffer never see the length bytes or half an image.
    auto image = ScreenBuffer.snapshot();
    if (!settle(LibUSB.BulkRead(image.data(), static_cast<int>(kLengthFieldSize)) >= 0)) return;
    const std::uint32_t length = le::U32(image.data());
    m_progress.store(80);
    showStatusBlocking();
    const auto wanted = static_cast<int>(std::min<std::uint32_t>(length, kScreenBufferSize));
    if (LibUSB.BulkRead(image.data(), wanted) < 0) {
        settle(false);
        return;
    }
    ScreenBuffer.store(image);
    settle(true);
    m_progress.store(100);
    showStatusBlocking();
    ExchangeState.store(StateFinish);
}

void BMTreadUSB::stepFinish() {
    LibUSB.CloseDevice();
    const bool cancelled = CancelRequested.exchange(false);
    if (cancelled && m_paramBlockAccepted) {
        // Nothing reaches the table, so RecordCount goes back to describing what the table shows.
        RecordCount.store(m_recordCountBefore);
    }
    if (!cancelled) {
        VersionPending.store(false);
        if (ExchangeMode.load() == ModeArchiveRead && m_paramBlockAccepted && m_setup.handOver) {
            const int format = ArchiveFormat.load();
            // Only records that arrived in this exchange are handed over, and RecordCount says so.
            RecordCount.store(m_receivedCount);
            ReceivedArchive archive;
            archive.recordCount = m_receivedCount;
            archive.archiveFormat = static_cast<std::uint8_t>(format);
            archive.recordSize = RecordSize(format);
            archive.records = m_buffers.recordsOf(format).take(m_receivedCount);
            archive.firmwareDate = m_firmwareDate;
            m_setup.handOver(std::move(archive));
        }
    }
    m_buffers.releaseRecords();
    settleClockOutcome();
    if (m_controls.dialog && !stopping())
        m_setup.ui->runBlocking([dialog = m_controls.dialog] { dialog->closeDialog(); });
    setIdlePriority(true);
}

} // namespace velda
