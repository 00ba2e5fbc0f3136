// The hot-plug source that scans the bus.
#include "plug/ScanHotplugSource.h"

#include "base/Texts.h"
#include "device/Exchange.h"
#include "device/LibUsbBinding.h"

namespace velda {

namespace {

inline constexpr TextPair TxtScanNoLibrary{
    "Библиотека USB %1 не загружается (%2): подключение прибора не отслеживается",
    "The USB library %1 cannot be loaded (%2): the instrument's connection is not watched"};

} // namespace

ScanHotplugSource::ScanHotplugSource(std::chrono::milliseconds interval, QObject *parent)
    : HotplugSource(parent) {
    m_timer.setInterval(interval);
    connect(&m_timer, &QTimer::timeout, this, &ScanHotplugSource::look);
}

QString ScanHotplugSource::kind() const {
    return QStringLiteral("scan");
}

void ScanHotplugSource::start() {
    m_place.clear();
    m_timer.start();
    // The first look runs on the event loop, so an instrument already there arrives after start().
    QTimer::singleShot(0, this, [this] {
        if (m_timer.isActive()) look();
    });
}

void ScanHotplugSource::stop() {
    m_timer.stop();
}

void ScanHotplugSource::look() {
    if (ExchangeRunning()) return;
    const UsbResult<std::string> listed = LibUSB.InstrumentOnBus();
    if (!listed.ok()) {
        // A library that cannot be loaded is said once; the next looks try again quietly at the interval.
        const UsbError &why = listed.error();
        reportProblem(
            Pick(TxtScanNoLibrary)
                .arg(QString::fromStdString(LibUSB.libraryPath()), QString::fromStdString(why.detail)));
        return;
    }
    clearProblem();
    if (listed.value() == m_place) return;
    const bool wasPresent = present();
    m_place = listed.value();
    if (wasPresent) Q_EMIT left();
    if (present()) Q_EMIT arrived();
}

} // namespace velda
