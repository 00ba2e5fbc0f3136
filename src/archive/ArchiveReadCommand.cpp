// The read-archive command: exchange start, wait for its end, swap-in of the filled table.
#include "archive/ArchiveReadCommand.h"

#include "archive/ArchiveDownload.h"

namespace velda {

StartResult ArchiveReadCommand::start(const ArchiveTable &shown, ExchangeSetup setup,
                                      const ExchangeControls &controls) {
    auto download = std::make_shared<ArchiveDownload>(shown);
    // The hand-over keeps the download alive as long as the exchange may call it.
    setup.handOver = [download](const ReceivedArchive &received) { download->fill(received); };
    const StartResult started = StartArchiveRead(std::move(setup), controls);
    if (started == StartResult::Started) m_download = std::move(download);
    return started;
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
