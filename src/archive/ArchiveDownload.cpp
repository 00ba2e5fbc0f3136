// Detached-table hand-over between the exchange thread and the owner of the shown archive table.
#include "archive/ArchiveDownload.h"

#include "archive/ChannelLayout.h"
#include "archive/TableFill.h"
#include "base/TableHeader.h"
#include "device/Protocol.h"

#include <algorithm>
#include <span>

namespace velda {

ArchiveDownload::ArchiveDownload(const ArchiveTable &current, const SystemFormats *formats)
    : m_formats(formats) {
    m_table.setColCount(current.colCount());
    m_table.setRowCount(1);
    m_table.setChannels(current.channels());
    const int headerCols = std::max(current.colCount(), ArchiveTable::kMaxColCount);
    for (int col = 0; col < headerCols; ++col)
        m_table.setCellBytes(col, 0, current.cellBytes(col, 0));
    // A table opened from a file of one channel stores no headers for the second slot, which the
    // download may fill.
    CompleteHeaderRow(m_table, LanguageIndex.load());
}

ArchiveHandOver ArchiveDownload::handOver() {
    return [this](const ReceivedArchive &received) { fill(received); };
}

void ArchiveDownload::fill(const ReceivedArchive &received) {
    if (m_ready.load(std::memory_order_acquire)) return;
    FillContext context;
    context.formats = m_formats;
    // State 10 has already cleared CancelRequested and chosen to hand the records over; a Cancel pressed
    // while the rows are written must not leave a table shorter than the records received.
    context.rowWritten = m_rowObserver;
    FillArchiveTable(m_table, received.records, received.recordCount, received.archiveFormat, context);
    if (received.recordSize == kLongRecordSize) {
        const std::size_t available =
            std::min<std::size_t>(received.recordCount, received.records.size() / kLongRecordSize);
        const std::span<const std::uint8_t> all(received.records);
        for (std::size_t i = 0; i < available; ++i)
            if (!CheckBlock(all.subspan(i * kLongRecordSize, kLongRecordSize))) ++m_failedChecks;
    }
    m_ready.store(true, std::memory_order_release);
}

std::optional<ArchiveTable> ArchiveDownload::takeTable() {
    if (!ready() || m_taken) return std::nullopt;
    m_taken = true;
    ArchiveTable out;
    out.swap(m_table);
    return out;
}

bool ArchiveDownload::swapInto(ArchiveTable &table) {
    auto filled = takeTable();
    if (!filled) return false;
    table.swap(*filled);
    PublishChannels(table);
    return true;
}

} // namespace velda
