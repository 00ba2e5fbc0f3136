// Getting a download into the history whatever happens: the local store first, the server after it, and
// a queue of downloads that could not be stored, taken up on the next start or download.
#pragma once

#include "device/Exchange.h"
#include "history/HistoryStore.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace velda {

inline constexpr TextPair TxtHistoryStored{"В истории: прибор «%1», загрузка %2, новых показаний %3",
                                           "In the history: instrument \"%1\", download %2, %3 new readings"};
inline constexpr TextPair TxtHistoryQueued{
    "История не записана (%1); загрузка поставлена в очередь и будет записана при следующем запуске",
    "The history was not written (%1); the download is queued and will be stored on the next start"};
inline constexpr TextPair TxtHistoryNotPushed{
    "Сервер истории недоступен (%1); загрузка сохранена локально и будет передана позже",
    "The history server cannot be reached (%1); the download is kept locally and will be sent later"};

/// Where the downloads wait that could not be stored (~/.cache/velda9/history-queue): a folder apart from
/// the history's, so that a history folder that cannot be written does not lose them.
[[nodiscard]] QString DefaultHistoryQueueFolder();

/// The store named by `--history`, or VELDA9_HISTORY, or the embedded default.
[[nodiscard]] HistoryResult<HistoryLocation> ChosenHistoryLocation(const QString &option);

/// Where a history is kept and where its downloads wait.
struct HistoryPlace {
    HistoryLocation location;                 ///< the history that is read and written
    QString localPath = DefaultHistoryPath(); ///< the local SQLite file a server's downloads pass through
    QString queueFolder = DefaultHistoryQueueFolder();
};

/// What storing a download did. `added` is set once the download is in `location` (or, for a server, in
/// the local file); `problems` says in words what failed and what was kept.
struct StoreOutcome {
    std::optional<AddedDownload> added;
    bool queued = false; ///< written to the queue folder, stored at the next chance
    bool pushed = false; ///< a server's store holds it
    QStringList problems;
};

/// Stores `download` for `instrument` (empty: the overlapping instrument or the default). An SQLite
/// history takes it directly; a server's download goes to the local file first and is then pushed with
/// every earlier download not pushed yet. When the history (or for a server, the local file) cannot be
/// written the download is written to the queue folder. Queued downloads are taken up first.
[[nodiscard]] StoreOutcome StoreDownload(const HistoryPlace &place, const HistoryDownload &download,
                                         const QString &instrument);

/// Stores queued downloads and pushes unpushed ones to a server (at start); the problems met.
[[nodiscard]] QStringList FlushPending(const HistoryPlace &place);

/// The records an exchange received as a download read now (UTC), with its firmware date.
[[nodiscard]] HistoryDownload ReceivedDownload(const ReceivedArchive &archive);

/// Reads the project file `file` and adds its rows (as stored) to `instrument` as one download; `rows`
/// receives the number of its rows. A file that cannot be read adds nothing.
[[nodiscard]] HistoryResult<AddedDownload> ImportProjectFile(HistoryStore &store, const QString &file,
                                                             const QString &instrument, int *rows);

/// Writes `download` into the queue folder: OpenFailed when the folder cannot be made, WriteFailed when
/// the file cannot be written.
[[nodiscard]] HistoryResult<Done> QueueDownload(const QString &queueFolder, const HistoryDownload &download,
                                                const QString &instrument);

} // namespace velda
