// The read-archive command: starts the exchange that fills a detached table and swaps the result in.
#pragma once

#include "base/ArchiveTable.h"
#include "device/Exchange.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace velda {

class ArchiveDownload;

/// One main window's archive reads. start() begins an exchange whose fill writes a detached copy of the
/// shown table; after the progress dialog has closed, waitForEnd() lets the exchange thread finish and
/// swapInto() puts the filled table in place. The shown table is never written while the exchange
/// runs. GUI thread (the thread that owns the shown table).
class ArchiveReadCommand {
public:
    /// Starts a read into a detached table shaped like `shown` (size and header row). Busy, and nothing
    /// started, while another exchange runs. `controls` are the progress dialog's.
    [[nodiscard]] StartResult start(const ArchiveTable &shown, ExchangeSetup setup,
                                    const ExchangeControls &controls);

    /// Waits up to `timeout` for the exchange thread to end, calling `pump` between short waits; false
    /// when it is still running.
    [[nodiscard]] bool waitForEnd(std::chrono::milliseconds timeout, const std::function<void()> &pump = {});

    /// Swaps the table the last read filled into `shown`; false, and `shown` unchanged, when that read
    /// was cancelled or failed before its hand-over, has not finished, or was swapped in already.
    [[nodiscard]] bool swapInto(ArchiveTable &shown);

    /// Whether the next reads keep a copy of the records they receive (for the history).
    void setKeepRecords(bool keep) { m_keepRecords = keep; }
    /// The records the last read received, handed out once after it ended; nullopt when it kept none.
    [[nodiscard]] std::optional<ReceivedArchive> takeRecords();
    /// Records of the last read that failed their block check; 0 before any read has filled a table.
    [[nodiscard]] std::uint32_t failedChecks() const;

private:
    bool m_keepRecords = false;
    // Written by the hand-over on the exchange thread, read after that thread has ended.
    std::shared_ptr<std::optional<ReceivedArchive>> m_records;
    // Shared with the hand-over the exchange thread holds, which may outlive a refused wait.
    std::shared_ptr<ArchiveDownload> m_download;
};

} // namespace velda
