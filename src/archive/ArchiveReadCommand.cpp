// The read-archive command: exchange start, wait for its end, swap-in of the filled table.
#include "archive/ArchiveReadCommand.h"

#include "archive/ArchiveDownload.h"

namespace velda {

StartResult ArchiveReadCommand::start(const ArchiveTable &shown, ExchangeSetup setup,
                                      const ExchangeControls &controls) {
    auto download = std::make_shared<ArchiveDownload>(shown);
    auto records = m_keepRecords ? std::make_shared<std::optional<ReceivedArchive>>() : nullptr;
    // The hand-over keeps the download alive as long as the exchange may call it.
    setup.handOver = [download, records](const ReceivedArchive &received) {
        if (records) *records = received;
        download->fill(received);
    };
    const StartResult started = StartArchiveRead(std::move(setup), controls);
    if (started == StartResult::Started) {
        m_download = std::move(download);
        m_records = std::move(records);
    }
    return started;
}

std::optional<ReceivedArchive> ArchiveReadCommand::takeRecords() {
    if (!m_records || !m_download || !m_download->ready()) return std::nullopt;
    std::optional<ReceivedArchive> records = std::move(*m_records);
    m_records.reset();
    return records;
}

bool ArchiveReadCommand::waitForEnd(std::chrono::milliseconds timeout, const std::function<void()> &pump) {
    return WaitForExchange(timeout, pump);
}

bool ArchiveReadCommand::swapInto(ArchiveTable &shown) {
    return m_download && m_download->swapInto(shown);
}

std::uint32_t ArchiveReadCommand::failedChecks() const {
    return m_download && m_download->ready() ? m_download->failedChecks() : 0;
}

} // namespace velda
