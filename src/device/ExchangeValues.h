// The exchange's named values: states, modes, status codes, buffer and record sizes, and the process-wide
// variables the exchange thread shares with the user-interface thread.
#pragma once

#include "device/LibUsbBinding.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>

namespace velda {

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

/// Bytes of one archive record: the short layout of format 0 and the long one of formats 1 and 2.
inline constexpr std::size_t kShortRecordSize = 36;
inline constexpr std::size_t kLongRecordSize = 44;
inline constexpr std::size_t kShortParamBlockSize = 6608;
inline constexpr std::size_t kLongParamBlockSize = 11096;
inline constexpr std::size_t kScreenBufferSize = 1024;

/// Record size in bytes of an archive format: 36 for format 0, 44 for formats 1 and 2.
[[nodiscard]] constexpr std::size_t RecordSize(int archiveFormat) {
    return archiveFormat == 0 ? kShortRecordSize : kLongRecordSize;
}

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

/// Why the binding refused the link the last time the exchange asked for it: beside ExchangeStatus 1 (the
/// library) and 3 (the instrument), so that the texts can say what to do. Empty once the link works
/// again. Written by the exchange thread; any thread reads a copy.
class LinkErrorSlot {
public:
    [[nodiscard]] std::optional<UsbError> get() const;
    void set(std::optional<UsbError> error);

private:
    mutable std::mutex m_mutex;
    std::optional<UsbError> m_error;
};

extern LinkErrorSlot LastLinkError;

} // namespace velda
