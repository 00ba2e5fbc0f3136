// The exchange's process-wide variables and their start values.
#include "device/ExchangeValues.h"

#include <utility>

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
LinkErrorSlot LastLinkError;

std::array<std::uint8_t, kScreenBufferSize> ScreenImage::snapshot() const {
    std::lock_guard lock(m_mutex);
    return m_bytes;
}

void ScreenImage::store(const std::array<std::uint8_t, kScreenBufferSize> &bytes) {
    std::lock_guard lock(m_mutex);
    m_bytes = bytes;
}

std::optional<UsbError> LinkErrorSlot::get() const {
    std::lock_guard lock(m_mutex);
    return m_error;
}

void LinkErrorSlot::set(std::optional<UsbError> error) {
    std::lock_guard lock(m_mutex);
    m_error = std::move(error);
}

} // namespace velda
