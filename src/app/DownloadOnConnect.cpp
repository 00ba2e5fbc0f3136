// The main window's download on connect.
#include "app/DownloadOnConnect.h"

#include "device/Exchange.h"
#include "graph/Limits.h"
#include "plug/HotplugSource.h"

namespace velda {

namespace {

constexpr const char *kEnabledKey = "plug/downloadOnConnect";
// How often an arrival that waits looks again whether the exchange has ended or the dialog closed.
constexpr int kRetryMs = 100;

} // namespace

bool DownloadOnConnectEnabled() {
    return OpenUserSettings()->value(QLatin1String(kEnabledKey), false).toBool();
}

void SetDownloadOnConnectEnabled(bool enabled) {
    OpenUserSettings()->setValue(QLatin1String(kEnabledKey), enabled);
}

DownloadOnConnect::DownloadOnConnect(std::function<bool()> modalOpen, std::function<void()> download,
                                     std::function<void(const QString &)> report, QObject *parent)
    : QObject(parent), m_modalOpen(std::move(modalOpen)), m_download(std::move(download)),
      m_report(std::move(report)) {
    m_retry.setInterval(kRetryMs);
    connect(&m_retry, &QTimer::timeout, this, &DownloadOnConnect::tryStart);
}

DownloadOnConnect::~DownloadOnConnect() = default;

void DownloadOnConnect::setEnabled(bool enabled) {
    if (enabled == this->enabled()) return;
    m_retry.stop();
    m_rules = ArrivalRules();
    if (!enabled) {
        m_source->stop();
        m_source.reset();
        return;
    }
    m_source = MakeHotplugSource(HotplugChoice::Automatic, this);
    connect(m_source.get(), &HotplugSource::arrived, this, &DownloadOnConnect::arrived);
    connect(m_source.get(), &HotplugSource::left, this, &DownloadOnConnect::left);
    connect(m_source.get(), &HotplugSource::problem, this, [this](const QString &text) { m_report(text); });
    m_source->start();
}

void DownloadOnConnect::arrived() {
    m_rules.instrumentArrived();
    // Not from inside the source's signal: the download runs a modal loop, and the source goes on
    // emitting during it.
    QTimer::singleShot(0, this, &DownloadOnConnect::tryStart);
}

void DownloadOnConnect::left() {
    m_rules.instrumentLeft();
    m_retry.stop();
}

void DownloadOnConnect::tryStart() {
    // The download's own modal loop may bring the retry round again; the running download is this stay's.
    if (m_starting || !enabled()) return;
    if (!m_rules.shouldStart(false, false)) {
        m_retry.stop();
        return;
    }
    if (!m_rules.shouldStart(ExchangeRunning(), m_modalOpen())) {
        m_retry.start();
        return;
    }
    m_retry.stop();
    m_rules.downloadStarted();
    m_starting = true;
    m_download();
    m_starting = false;
    // The instrument left and came back while the download ran: that new stay waits its turn.
    if (m_rules.shouldStart(false, false)) m_retry.start();
}

} // namespace velda
