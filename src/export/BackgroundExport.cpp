// The spreadsheet export on a worker thread.
#include "export/BackgroundExport.h"

#include <utility>

namespace velda::xlsx {

BackgroundExport::BackgroundExport(const ArchiveTable &table, QString namePrefix, QString fileName)
    : m_rowsTotal(std::max(table.rowCount(), 0)) {
    m_worker = std::thread([this, &table, prefix = std::move(namePrefix), name = std::move(fileName)] {
        m_result.emplace(ExportToSpreadsheet(table, prefix, name, [this](int rows, int) {
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
