// Storing a download through the local file, the server and the queue, and taking up what waits.
#include "history/HistorySync.h"

#include "archive/ProjectFile.h"
#include "base/FileWriter.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUuid>

namespace velda {

namespace {

constexpr quint32 kQueueMagic = 0x56394851; // "V9HQ"
constexpr quint16 kQueueVersion = 1;

struct QueuedDownload {
    HistoryDownload download;
    QString instrument;
};

std::optional<QueuedDownload> readQueued(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QDataStream in(&file);
    in.setVersion(QDataStream::Qt_6_4);
    quint32 magic = 0;
    quint16 version = 0;
    in >> magic >> version;
    if (magic != kQueueMagic || version != kQueueVersion) return std::nullopt;
    QueuedDownload queued;
    qint32 format = 0;
    QList<QByteArray> readings;
    in >> queued.download.uid >> queued.download.readAt >> queued.download.firmwareDate >> format >>
        queued.download.source >> queued.instrument >> readings;
    if (in.status() != QDataStream::Ok) return std::nullopt;
    queued.download.archiveFormat = format;
    queued.download.readings.assign(readings.begin(), readings.end());
    return queued;
}

/// Stores the queued downloads into `store`; a file leaves the queue only once its download is stored.
void takeUpQueue(HistoryStore &store, const QString &queueFolder, QStringList &problems) {
    const QDir folder(queueFolder);
    const QStringList names = folder.entryList({QStringLiteral("*.download")}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        const QString path = folder.filePath(name);
        const auto queued = readQueued(path);
        if (!queued) {
            problems << QStringLiteral("%1: not a queued download; left in place").arg(path);
            continue;
        }
        const auto added = store.add(queued->download, queued->instrument);
        if (!added.ok()) {
            problems << added.error().message;
            return;
        }
        QFile::remove(path);
    }
}

/// Pushes every unpushed download of `local` to `server`, each in one transaction, marking it pushed
/// locally once the server has committed it (a push repeated after a crash finds its uid stored).
bool pushAll(HistoryStore &local, HistoryStore &server, QStringList &problems) {
    const auto pending = local.unpushed();
    if (!pending.ok()) {
        problems << pending.error().message;
        return false;
    }
    for (const qint64 id : pending.value()) {
        QString instrument;
        const auto download = local.download(id, &instrument);
        if (!download.ok()) {
            problems << download.error().message;
            return false;
        }
        const auto pushed = server.add(download.value(), instrument);
        if (!pushed.ok()) {
            problems << pushed.error().message;
            return false;
        }
        if (const auto marked = local.markPushed(id); !marked.ok()) {
            problems << marked.error().message;
            return false;
        }
    }
    return true;
}

bool isServer(const HistoryPlace &place) {
    return place.location.kind == HistoryLocation::Kind::PostgreSQL;
}

HistoryLocation localLocation(const HistoryPlace &place) {
    if (!isServer(place)) return place.location;
    HistoryLocation local;
    local.path = place.localPath;
    return local;
}

} // namespace

QString DefaultHistoryQueueFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/velda9/history-queue");
}

HistoryResult<HistoryLocation> ChosenHistoryLocation(const QString &option) {
    if (!option.isEmpty()) return ParseHistoryLocation(option);
    const QString fromEnvironment = qEnvironmentVariable("VELDA9_HISTORY");
    if (!fromEnvironment.isEmpty()) return ParseHistoryLocation(fromEnvironment);
    return ParseHistoryLocation(DefaultHistoryPath());
}

HistoryDownload ReceivedDownload(const ReceivedArchive &archive) {
    HistoryDownload download;
    download.archiveFormat = archive.archiveFormat;
    download.firmwareDate = QString::fromLatin1(archive.firmwareDate);
    download.readAt = QDateTime::currentDateTimeUtc();
    const std::size_t size = archive.recordSize;
    for (std::size_t i = 0; size > 0 && i < archive.recordCount && (i + 1) * size <= archive.records.size();
         ++i)
        download.readings.emplace_back(reinterpret_cast<const char *>(archive.records.data() + i * size),
                                       static_cast<qsizetype>(size));
    return download;
}

HistoryResult<AddedDownload> ImportProjectFile(HistoryStore &store, const QString &file,
                                               const QString &instrument, int *rows) {
    ArchiveTable table;
    const auto loaded = ReadProject(table, file);
    if (!loaded.ok()) return HistoryError{HistoryError::Kind::ReadFailed, loaded.error().message};
    HistoryDownload download;
    download.archiveFormat = kImportedRows;
    download.source = QFileInfo(file).absoluteFilePath();
    for (int row = 1; row < table.rowCount(); ++row)
        download.readings.push_back(EncodeRow(table, row));
    *rows = std::max(0, table.rowCount() - 1);
    return store.add(std::move(download), instrument);
}

HistoryResult<Done> QueueDownload(const QString &queueFolder, const HistoryDownload &download,
                                  const QString &instrument) {
    if (!QDir().mkpath(queueFolder))
        return HistoryError{HistoryError::Kind::OpenFailed,
                            QStringLiteral("the folder %1 cannot be created").arg(queueFolder)};
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    const QList<QByteArray> readings(download.readings.begin(), download.readings.end());
    out << kQueueMagic << kQueueVersion << download.uid << download.readAt << download.firmwareDate
        << qint32(download.archiveFormat) << download.source << instrument << readings;
    // Named by time first, so the queue is taken up in the order the downloads were made.
    const QString name =
        QStringLiteral("%1-%2.download")
            .arg(download.readAt.toUTC().toString(QStringLiteral("yyyyMMddHHmmsszzz")), download.uid);
    const auto written = WriteFileBytes(QDir(queueFolder).filePath(name), bytes);
    if (!written.ok()) return HistoryError{HistoryError::Kind::WriteFailed, written.error().message()};
    return Done{};
}

StoreOutcome StoreDownload(const HistoryPlace &place, const HistoryDownload &given,
                           const QString &instrument) {
    StoreOutcome outcome;
    HistoryDownload download = given;
    if (download.uid.isEmpty()) download.uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (!download.readAt.isValid()) download.readAt = QDateTime::currentDateTimeUtc();

    const auto queue = [&](const QString &why) {
        const auto queued = QueueDownload(place.queueFolder, download, instrument);
        outcome.queued = queued.ok();
        outcome.problems << (outcome.queued ? Pick(TxtHistoryQueued).arg(why)
                                            : why + QStringLiteral("; ") + queued.error().message);
    };
    auto local = HistoryStore::open(localLocation(place));
    if (!local.ok()) {
        queue(local.error().message);
        return outcome;
    }
    QStringList pending;
    takeUpQueue(*local.value(), place.queueFolder, pending);
    outcome.problems << pending;
    const auto added = local.value()->add(download, instrument);
    if (!added.ok()) {
        queue(added.error().message);
        return outcome;
    }
    outcome.added = added.value();
    if (!isServer(place)) return outcome;

    auto server = HistoryStore::open(place.location);
    QStringList serverProblems;
    if (server.ok()) {
        outcome.pushed = pushAll(*local.value(), *server.value(), serverProblems);
    } else {
        serverProblems << server.error().message;
    }
    if (!outcome.pushed)
        outcome.problems << Pick(TxtHistoryNotPushed).arg(serverProblems.join(QStringLiteral("; ")));
    return outcome;
}

QStringList FlushPending(const HistoryPlace &place) {
    QStringList problems;
    const bool queueWaits =
        !QDir(place.queueFolder).entryList({QStringLiteral("*.download")}, QDir::Files).isEmpty();
    if (!queueWaits && !isServer(place)) return problems;
    auto local = HistoryStore::open(localLocation(place));
    if (!local.ok()) {
        if (queueWaits) problems << local.error().message;
        return problems;
    }
    takeUpQueue(*local.value(), place.queueFolder, problems);
    if (!isServer(place)) return problems;
    const auto pending = local.value()->unpushed();
    if (pending.ok() && pending.value().empty()) return problems;
    auto server = HistoryStore::open(place.location);
    if (!server.ok()) {
        problems << Pick(TxtHistoryNotPushed).arg(server.error().message);
        return problems;
    }
    (void)pushAll(*local.value(), *server.value(), problems);
    return problems;
}

} // namespace velda
