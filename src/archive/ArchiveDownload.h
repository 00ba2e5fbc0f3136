// The hand-over of an archive read to the table fill: a detached table filled on the exchange thread and
// swapped into the shown table by its owner once the exchange has ended.
#pragma once

#include "base/ArchiveTable.h"
#include "base/SystemFormats.h"
#include "device/ArchiveHandOver.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

namespace velda {

/// One archive download. Create it on the thread that owns the shown table before the exchange starts,
/// pass handOver() in ExchangeSetup, and take the filled table when the exchange has ended:
///
///     auto download = std::make_shared<ArchiveDownload>(table);
///     setup.handOver = download->handOver();
///     ... exchange runs, progress dialog closes ...
///     if (download->swapInto(table)) ApplyChannelLayout(...);
///
/// The shown table is never written while the exchange runs, so it can be repainted freely, and the
/// rows appear all at once, complete. A download that was cancelled before state 10 or ended without
/// records of its own hands nothing over and leaves the shown table as it was; one that reached the fill
/// hands over every received record, so the table is never partial.
class ArchiveDownload {
public:
    /// Copies the shown size, the channels and the header row (all stored header cells, also of hidden
    /// columns) of `current`; a hidden column without a header gets its header in the language in force.
    /// `formats` null: CurrentFormats() at fill time.
    explicit ArchiveDownload(const ArchiveTable &current, const SystemFormats *formats = nullptr);

    ArchiveDownload(const ArchiveDownload &) = delete;
    ArchiveDownload &operator=(const ArchiveDownload &) = delete;

    /// The callback for ExchangeSetup::handOver. It keeps a reference to this object, which must outlive
    /// the exchange. Ignores the hand-over's grid: the fill writes the detached table.
    [[nodiscard]] ArchiveHandOver handOver();

    /// Fills the detached table from the received records (exchange thread, once). Every received record
    /// is written: the exchange decided in state 10 that the read stands, so a Cancel arriving during the
    /// fill no longer applies to it (it is left pending for the starters to clear).
    void fill(const ReceivedArchive &received);

    /// Called on the exchange thread after each row the fill writes, with the rows written so far (a
    /// progress hook). Set before the exchange starts.
    void setRowObserver(std::function<void(std::size_t rowsWritten)> observer) {
        m_rowObserver = std::move(observer);
    }

    /// Records of the filled archive that failed their block check (long records carry one; they are
    /// kept in the table as received). Meaningful once ready().
    [[nodiscard]] std::uint32_t failedChecks() const { return m_failedChecks; }

    /// True once fill() has completed (any thread).
    [[nodiscard]] bool ready() const { return m_ready.load(std::memory_order_acquire); }

    /// The filled table, handed out once; nullopt when nothing was filled (yet) or it was taken already.
    /// Call after the exchange has ended, on the thread that owns the shown table.
    [[nodiscard]] std::optional<ArchiveTable> takeTable();

    /// Swaps the filled table into `table` (the previous content is dropped) and publishes its channels
    /// (PublishChannels); false, and `table` unchanged, when there is nothing to hand over.
    [[nodiscard]] bool swapInto(ArchiveTable &table);

private:
    ArchiveTable m_table;
    const SystemFormats *m_formats;
    std::function<void(std::size_t)> m_rowObserver;
    std::uint32_t m_failedChecks = 0; ///< written by fill() before m_ready is released
    std::atomic<bool> m_ready{false};
    bool m_taken = false;
};

} // namespace velda
