// The History window's texts and rules without widgets, and the main window's storing of a download.
#include "history/HistoryView.h"

#include "history/HistorySync.h"

#include <QSettings>

namespace velda {

namespace {

constexpr const char *kEnabledKey = "history/enabled";

QSettings userSettings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("velda9"),
                     QStringLiteral("velda9"));
}

QString timeText(const std::optional<QDateTime> &time) {
    return time ? time->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

} // namespace

bool HistoryEnabled() {
    return userSettings().value(QLatin1String(kEnabledKey), true).toBool();
}

void SetHistoryEnabled(bool enabled) {
    QSettings settings = userSettings();
    settings.setValue(QLatin1String(kEnabledKey), enabled);
}

QStringList InstrumentCells(const InstrumentSummary &instrument) {
    return {instrument.name, timeText(instrument.firstReading), timeText(instrument.lastReading),
            QString::number(instrument.readings),
            instrument.lastDownload ? timeText(instrument.lastDownload->toLocalTime()) : QString()};
}

QStringList DownloadCells(const DownloadSummary &download) {
    return {QString::number(download.id), timeText(download.readAt.toLocalTime()),
            QString::number(download.records), download.firmwareDate, download.source};
}

HistoryResult<QString> ForgetQuestion(HistoryStore &store, const QString &instrument,
                                      std::optional<qint64> downloadId) {
    const auto count = store.readingsToForget(instrument, downloadId);
    if (!count.ok()) return count.error();
    if (downloadId)
        return Pick(TxtForgetDownloadQuestion).arg(*downloadId).arg(instrument).arg(count.value());
    return Pick(TxtForgetInstrumentQuestion).arg(instrument).arg(count.value());
}

HistoryResult<std::unique_ptr<HistoryStore>> OpenWindowHistory() {
    const auto location = ChosenHistoryLocation({});
    if (!location.ok()) return location.error();
    return HistoryStore::open(location.value());
}

DownloadNaming NameWindowDownload(const HistoryDownload &download) {
    DownloadNaming naming;
    auto store = OpenWindowHistory();
    if (!store.ok()) return naming;
    const auto overlap = store.value()->overlappedInstrument(download);
    const auto instruments = store.value()->instruments();
    if (!overlap.ok() || !instruments.ok()) return naming;
    if (overlap.value()) {
        naming.instrument = *overlap.value();
        return naming;
    }
    naming.offered << Pick(TxtDefaultInstrument);
    for (const InstrumentSummary &known : instruments.value())
        if (!naming.offered.contains(known.name)) naming.offered << known.name;
    return naming;
}

QString StoreWindowDownload(const HistoryDownload &download, const QString &instrument) {
    const auto location = ChosenHistoryLocation({});
    if (!location.ok()) return location.error().message;
    HistoryPlace place;
    place.location = location.value();
    const StoreOutcome outcome = StoreDownload(place, download, instrument);
    if (!outcome.problems.isEmpty()) return outcome.problems.join(QStringLiteral("; "));
    if (!outcome.added) return {};
    return Pick(TxtHistoryStored)
        .arg(outcome.added->instrument)
        .arg(outcome.added->downloadId)
        .arg(outcome.added->newReadings);
}

QString FlushWindowHistory() {
    const auto location = ChosenHistoryLocation({});
    if (!location.ok()) return location.error().message;
    HistoryPlace place;
    place.location = location.value();
    return FlushPending(place).join(QStringLiteral("; "));
}

} // namespace velda
