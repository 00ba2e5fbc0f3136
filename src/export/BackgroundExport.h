// Runs the spreadsheet export on a worker thread, with progress and cancel readable from another thread.
#pragma once

#include "base/ArchiveTable.h"
#include "export/SpreadsheetExport.h"

#include <QString>

#include <atomic>
#include <functional>
#include <optional>
#include <thread>

namespace velda::xlsx {

/// Starts an export (ExportToSpreadsheet, or any job with the same progress contract) on its own thread when
/// constructed. `table` must outlive the object and stay
/// unchanged until wait() returns or the object is destroyed (the caller keeps every writer out, e.g.
/// behind a modal dialog). The other members may be called from the thread that made the object.
class BackgroundExport {
public:
    BackgroundExport(const ArchiveTable &table, QString namePrefix, QString fileName);
    /// Runs `job` on the worker, handing it the progress callback that feeds rowsWritten() and cancel().
    using Job = std::function<ExportResult(const ExportProgress &progress)>;
    BackgroundExport(int rowsTotal, Job job);
    /// Cancels a running export and waits for the thread; a partial file never replaces the target.
    ~BackgroundExport();
    BackgroundExport(const BackgroundExport &) = delete;
    BackgroundExport &operator=(const BackgroundExport &) = delete;

    [[nodiscard]] int rowsWritten() const { return m_rowsWritten.load(std::memory_order_relaxed); }
    [[nodiscard]] int rowsTotal() const { return m_rowsTotal; }
    /// True once the worker has its result; wait() then returns at once.
    [[nodiscard]] bool finished() const { return m_finished.load(std::memory_order_acquire); }
    /// Asks the worker to stop at its next progress step; the result is then an error of kind Cancelled.
    void cancel() { m_cancel.store(true, std::memory_order_relaxed); }

    /// Joins the worker and hands over its result (once).
    [[nodiscard]] ExportResult wait();

private:
    const int m_rowsTotal;
    std::atomic<int> m_rowsWritten{0};
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_finished{false};
    std::optional<ExportResult> m_result;
    std::thread m_worker;
};

} // namespace velda::xlsx
