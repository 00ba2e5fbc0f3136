// The spreadsheet export on a worker thread.
#include "export/BackgroundExport.h"

#include <utility>

namespace velda::xlsx {

BackgroundExport::BackgroundExport(const ArchiveTable &table, QString namePrefix, QString fileName)
    : BackgroundExport(table.rowCount(), [&table, prefix = std::move(namePrefix),
                                          name = std::move(fileName)](const ExportProgress &progress) {
          return ExportToSpreadsheet(table, prefix, name, progress);
      }) {}

BackgroundExport::BackgroundExport(int rowsTotal, Job job) : m_rowsTotal(std::max(rowsTotal, 0)) {
    m_worker = std::thread([this, job = std::move(job)] {
        m_result.emplace(job([this](int rows, int) {
            m_rowsWritten.store(rows, std::memory_order_relaxed);
            return !m_cancel.load(std::memory_order_relaxed);
        }));
        m_finished.store(true, std::memory_order_release);
    });
}

BackgroundExport::~BackgroundExport() {
    if (m_worker.joinable()) {
        cancel();
        m_worker.join();
    }
}

ExportResult BackgroundExport::wait() {
    if (m_worker.joinable()) m_worker.join();
    if (!m_result)
        return ExportError{ExportError::Kind::WriteFailed, QStringLiteral("Export result already taken")};
    ExportResult result = std::move(*m_result);
    m_result.reset();
    return result;
}

} // namespace velda::xlsx
