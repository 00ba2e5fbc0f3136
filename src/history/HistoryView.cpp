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

QString StoreWindowDownload(const ReceivedArchive &archive) {
    const auto location = ChosenHistoryLocation({});
    if (!location.ok()) return location.error().message;
    const HistoryDownload download = ReceivedDownload(archive);
    HistoryPlace place;
    place.location = location.value();
    const StoreOutcome outcome = StoreDownload(place, download, {});
    if (!outcome.problems.isEmpty()) return outcome.problems.join(QStringLiteral("; "));
    if (!outcome.added) return {};
    return Pick(TxtHistoryStored)
        .arg(outcome.added->instrument)
        .arg(outcome.added->downloadId)
        .arg(outcome.added->newReadings);
}

} // namespace velda
