// The device exchange: process-wide exchange variables, the worker thread BMTreadUSB and its starters.
#pragma once

#include <QDateTime>
#include <QString>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace velda {

class ArchiveTable;
class LibUsbBinding;

// ---- Exchange states, modes and status codes -------------------------------------------------------

inline constexpr std::uint8_t StateConnect = 0;
inline constexpr std::uint8_t StateVersion = 1;
inline constexpr std::uint8_t StateParams = 2;
inline constexpr std::uint8_t StateRecords = 3;
inline constexpr std::uint8_t StateClock = 7;
inline constexpr std::uint8_t StateScreen = 8;
inline constexpr std::uint8_t StateFinish = 10;

inline constexpr std::uint8_t ModeArchiveRead = 0;
inline constexpr std::uint8_t ModeClockSet = 1;
inline constexpr std::uint8_t ModeScreenRead = 2;

inline constexpr std::uint8_t StatusOk = 0;
inline constexpr std::uint8_t StatusNoDriver = 1;
inline constexpr std::uint8_t StatusOldFirmware = 2;
inline constexpr std::uint8_t StatusNoDevice = 3;
inline constexpr std::uint8_t StatusLinkError = 4;
inline constexpr std::uint8_t StatusNoData = 5;

inline constexpr std::size_t kShortRecordSize = 36;
inline constexpr std::size_t kLongRecordSize = 44;
inline constexpr std::size_t kShortParamBlockSize = 6608;
inline constexpr std::size_t kLongParamBlockSize = 11096;
inline constexpr std::size_t kScreenBufferSize = 1024;

// ---- Process-wide exchange variables ---------------------------------------------------------------
// The GUI thread writes ExchangeState/ExchangeMode only through the starters and afterwards only sets
// CancelRequested; every other write comes from the exchange thread.

extern std::atomic<std::uint8_t> ExchangeState;  ///< 0, 1, 2, 3, 7, 8 or 10
extern std::atomic<std::uint8_t> ExchangeMode;   ///< ModeArchiveRead, ModeClockSet, ModeScreenRead
extern std::atomic<std::uint8_t> ExchangeStatus; ///< StatusOk .. StatusNoData; never reset by a starter
extern std::atomic<bool> CancelRequested;        ///< set by Cancel; cleared by state 10 and every starter
extern std::atomic<bool> VersionPending;         ///< next exchange reads the firmware version first
extern std::atomic<std::uint8_t> ArchiveFormat;  ///< 0, 1 or 2, fixed by the first completed version read
extern std::atomic<std::uint32_t> RecordCount;   ///< records of the last read (or project open)

/// What the last clock setting did to the instrument: Pending while it runs, Set once the clock payload
/// has been sent, NotSent when it ended (cancelled or stopped) before that.
enum class ClockOutcome : std::uint8_t { Pending, Set, NotSent };
extern std::atomic<ClockOutcome> LastClockOutcome; ///< written by StartClockSetting and the exchange thread

/// The records of one archive read, fixed-size slots of 36 (format 0) or 44 bytes (formats 1 and 2).
/// Each exchange owns its own (see ExchangeBuffers): allocated in state 3, handed over by move or
/// released in state 10. Not locked: the exchange thread uses it while the exchange runs; another thread
/// may look at it only after the exchange has finished.
class RecordArray {
public:
    /// Allocates `count` zeroed slots of `recordSize` bytes; throws std::bad_alloc when memory is short.
    void allocate(std::uint32_t count, std::size_t recordSize);
    void release();
    /// Stores one received record (at most recordSize() bytes are taken; the rest of the slot is kept).
    void store(std::uint32_t index, std::span<const std::uint8_t> bytes);
    [[nodiscard]] bool allocated() const { return m_allocated; }
    [[nodiscard]] std::uint32_t slotCount() const { return m_count; }
    [[nodiscard]] std::size_t recordSize() const { return m_recordSize; }
    /// All slots, slotCount() * recordSize() bytes.
    [[nodiscard]] std::span<const std::uint8_t> bytes() const { return m_bytes; }
    /// Hands out the first `count` slots (at most slotCount()) without copying them and leaves the array
    /// released.
    [[nodiscard]] std::vector<std::uint8_t> take(std::uint32_t count);

private:
    std::vector<std::uint8_t> m_bytes;
    std::uint32_t m_count = 0;
    std::size_t m_recordSize = 0;
    bool m_allocated = false;
};

/// The buffers one exchange reads the instrument's replies into, owned by its BMTreadUSB. A parameter
/// block is read into the one of its format, from its first byte; the records into the array of their
/// format, allocated in state 3.
struct ExchangeBuffers {
    std::array<std::uint8_t, kShortParamBlockSize> ShortParamBlock{}; ///< format 0
    std::array<std::uint8_t, kLongParamBlockSize> LongParamBlock{};   ///< formats 1 and 2
    RecordArray ShortRecords;                                         ///< 36-byte records of format 0
    RecordArray LongRecords;                                          ///< 44-byte records of formats 1 and 2
};

/// The instrument's 128 x 64 screen image of the last screen read (1024 bytes, zero at start). The
/// exchange thread writes it whole; readers take a copy (the screenshot window after the gauge shows 100).
class ScreenImage {
public:
    [[nodiscard]] std::array<std::uint8_t, kScreenBufferSize> snapshot() const;
    void store(const std::array<std::uint8_t, kScreenBufferSize> &bytes);

private:
    mutable std::mutex m_mutex;
    std::array<std::uint8_t, kScreenBufferSize> m_bytes{};
};

extern ScreenImage ScreenBuffer;

// ---- Interfaces toward the user interface -----------------------------------------------------------

enum class MessageIcon { Error, Information };

/// How the exchange thread reaches the user interface. Both calls block the calling (exchange) thread
/// until they are done. The windows implement it with a blocking queued call onto the GUI thread; tests
/// and headless programs may run the call inline.
class ExchangeUi {
public:
    virtual ~ExchangeUi() = default;
    /// Runs `call` on the user-interface thread and returns when it has returned.
    virtual void runBlocking(const std::function<void()> &call) = 0;
    /// Shows a message box without owner window and returns when the user has closed it.
    virtual void showMessage(const QString &text, const QString &caption, MessageIcon icon) = 0;
};

/// A progress gauge, 0 to 100. Called only on the user-interface thread (inside ShowStatus).
class Gauge {
public:
    virtual ~Gauge() = default;
    virtual void setGaugeValue(int percent) = 0;
    virtual void hideGauge() = 0;
};

/// The progress dialog: its caption shows the phase; state 10 closes it (ending the starter's modal
/// wait). Called only on the user-interface thread.
class Dialog {
public:
    virtual ~Dialog() = default;
    virtual void setPhaseCaption(const QString &caption) = 0;
    virtual void closeDialog() = 0;
};

/// A one-line status text. Called only on the user-interface thread.
class StatusLabel {
public:
    virtual ~StatusLabel() = default;
    virtual void setStatusText(const QString &text) = 0;
};

/// Pauses the calling thread. Production sleeps for real; tests pass a fake that advances a clock.
using Sleeper = std::function<void(std::chrono::milliseconds)>;
[[nodiscard]] Sleeper RealSleeper();

/// What an archive read hands to the table fill, on the exchange thread, in state 10 of an exchange that
/// was not cancelled. `records` holds exactly `recordCount` records of `recordSize` bytes that arrived in
/// this exchange (fewer than announced after a link error in the record loop; none for "No Data"); the
/// exchange moves its record array in, so the receiver owns the bytes and nothing else refers to them.
/// Nothing is handed over when the exchange ended without records of its own (failed parameter block).
struct ReceivedArchive {
    ArchiveTable *grid = nullptr; ///< the table attached with SetControls (may be null)
    std::uint32_t recordCount = 0;
    std::uint8_t archiveFormat = 0;
    std::size_t recordSize = 0; ///< 36 for format 0, 44 otherwise
    std::vector<std::uint8_t> records;
    /// The firmware date the exchange read ("dd.MM.yyyy"); empty when it did not read the version.
    std::string firmwareDate{};
};
/// Takes the received archive by value: the exchange moves it in, and the records are released when the
/// call returns unless the receiver moves them on.
using ArchiveHandOver = std::function<void(ReceivedArchive)>;

/// Everything an exchange needs besides the process-wide variables.
struct ExchangeSetup {
    ExchangeUi *ui = nullptr;       ///< must outlive the exchange thread; null: inline, no message boxes
    Sleeper sleeper;                ///< empty: real pauses, cut short by Terminate()
    ArchiveHandOver handOver;       ///< archive read only; may be empty
    std::function<QDateTime()> now; ///< local date and time for the clock; empty: current time
    /// Called when the record array cannot be allocated, after the message box; empty: _Exit(1).
    std::function<void()> onAllocationFailure;
};

/// The controls an exchange updates through ShowStatus; none is owned, any may be null. They must
/// outlive the exchange (or be detached by the GUI before they go).
struct ExchangeControls {
    Gauge *gauge = nullptr;
    Dialog *dialog = nullptr;
    StatusLabel *statusLabel = nullptr;
    ArchiveTable *grid = nullptr;
};

/// The exchange thread: the state machine that talks to the instrument on a std::thread of its own. It
/// never touches a widget; it reaches the user interface only through ExchangeUi. It owns the buffers
/// its replies are read into (ExchangeBuffers) and moves the received records into the hand-over.
class BMTreadUSB {
public:
    /// Creates the thread running; the controls are in place before the first status display.
    BMTreadUSB(ExchangeSetup setup, const ExchangeControls &controls = {});
    /// Asks the loop to stop (as Terminate()) and joins the thread.
    ~BMTreadUSB();
    BMTreadUSB(const BMTreadUSB &) = delete;
    BMTreadUSB &operator=(const BMTreadUSB &) = delete;

    /// Stores the controls (GUI thread; safe while the thread runs).
    void SetControls(Gauge *gauge, Dialog *dialog, StatusLabel *statusLabel, ArchiveTable *grid);

    /// Turns Progress, ExchangeStatus and ExchangeState into what the controls show. User-interface
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

    [[nodiscard]] int Progress() const { return m_progress.load(); }

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
    void showStatusBlocking();
    /// A clock setting that ends without having sent its payload records NotSent (exchange thread).
    void settleClockOutcome();
    void showCrcError();
    void pause(std::chrono::milliseconds duration);
    void setIdlePriority(bool idle);
    [[nodiscard]] bool stopping() const { return m_terminate.load(); }
    [[nodiscard]] std::uint8_t nextStateByMode() const;

    ExchangeSetup m_setup;
    mutable std::mutex m_controlsMutex;
    ExchangeControls m_controls;
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

// ---- Thread priority -------------------------------------------------------------------------------

/// Whether a thread with nice value `niceValue` may leave SCHED_IDLE again (or take back a raised nice
/// value): Linux allows it while 20 - niceValue is within the RLIMIT_NICE soft limit `niceLimit`, or with
/// CAP_SYS_NICE. Pure; any thread.
[[nodiscard]] bool IdlePriorityReversible(int niceValue, unsigned long long niceLimit, bool capSysNice);
/// The same for the calling thread, from its nice value, RLIMIT_NICE and effective capabilities.
[[nodiscard]] bool IdlePriorityReversible();

// ---- Starters -------------------------------------------------------------------------------------

enum class StartResult { Started, Busy };

/// The program's exchange slot: the exchange under way, or the last one until the next start. Each
/// program's main makes one before its first exchange and keeps it to its end; the starters and waits
/// below use it. A program that makes none (a test program) gets one made on first use that lives to the
/// end of the process. At its end an exchange still retrying is told to stop; one that does not stop
/// within 2 s (its user interface is gone) is left to the end of the process rather than destroyed under
/// its running thread. One at a time; a second throws std::logic_error. GUI (main) thread.
class ExchangeRegistry {
public:
    ExchangeRegistry();
    ~ExchangeRegistry();
    ExchangeRegistry(const ExchangeRegistry &) = delete;
    ExchangeRegistry &operator=(const ExchangeRegistry &) = delete;

    /// Refuses with Busy while an exchange runs; otherwise clears CancelRequested, sets ExchangeState 0
    /// and `mode`, and starts the exchange with the controls attached.
    [[nodiscard]] StartResult start(std::uint8_t mode, ExchangeSetup setup, const ExchangeControls &controls);
    /// The exchange under way or the last one (null before the first start or after forget()).
    [[nodiscard]] std::shared_ptr<BMTreadUSB> current() const;
    /// Drops `exchange` when it is still the current one (it has been joined).
    void forget(const std::shared_ptr<BMTreadUSB> &exchange);

    struct Fallback {};
    /// The registry of a program whose main made none; it is not installed and never destroyed.
    explicit ExchangeRegistry(Fallback);

private:
    mutable std::mutex m_mutex;
    std::shared_ptr<BMTreadUSB> m_exchange;
};

/// Each starter (GUI thread) refuses with Busy while an exchange runs; otherwise it clears
/// CancelRequested, sets ExchangeState 0 and the mode, and starts the exchange with the controls
/// attached, in the program's ExchangeRegistry, which keeps it until the next start or StopExchange().
[[nodiscard]] StartResult StartArchiveRead(ExchangeSetup setup, const ExchangeControls &controls);
[[nodiscard]] StartResult StartClockSetting(ExchangeSetup setup);
[[nodiscard]] StartResult StartScreenRead(ExchangeSetup setup, const ExchangeControls &controls);

/// True while an exchange thread has been started and its Execute has not yet returned.
[[nodiscard]] bool ExchangeRunning();

/// The program's exchange under way, or the last one until the next start (null before the first start
/// or after StopExchange()).
[[nodiscard]] std::shared_ptr<BMTreadUSB> CurrentExchange();

/// Waits until the current exchange has ended and joins it. `pump` (may be empty) is called between
/// short waits so that calls the worker hands to this thread still run (pass the GUI's event processing
/// when called on the GUI thread). Returns false when `timeout` passed first (the exchange keeps running).
[[nodiscard]] bool WaitForExchange(std::chrono::milliseconds timeout, const std::function<void()> &pump = {});

/// Ends the current exchange for good (program exit, CLI timeout): asks it to terminate, then joins it
/// while calling `pump`. Safe when no exchange runs.
void StopExchange(const std::function<void()> &pump = {});

/// Program exit: StopExchange(pump), then LibUSB.UnloadDriver().
void ShutdownDeviceLink(const std::function<void()> &pump = {});

} // namespace velda
