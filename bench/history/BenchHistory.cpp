// Prints the history's figures: adding a 2,688-record download to SQLite against the same rows inserted
// with the sqlite3 library in one prepared-statement transaction, opening a 200,000-reading range into a
// table, and pushing a 2,688-record download to a local PostgreSQL server. The last line holds the ratios.
#include "history/HistorySync.h"
#include "history/PgServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

using namespace velda;

/// Format-2 records one minute apart from 2024-01-01, each with its own bytes.
HistoryDownload Download(int first, int count) {
    HistoryDownload download;
    download.archiveFormat = 2;
    const QDateTime start(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC);
    for (int i = first; i < first + count; ++i) {
        QByteArray record(44, '\0');
        record[0] = 1;
        const QDateTime at = start.addSecs(60LL * i);
        const std::uint8_t tail[] = {0,
                                     static_cast<std::uint8_t>(at.time().minute()),
                                     static_cast<std::uint8_t>(at.time().hour()),
                                     static_cast<std::uint8_t>(at.date().day()),
                                     static_cast<std::uint8_t>(at.date().month()),
                                     static_cast<std::uint8_t>(at.date().year() - 2000)};
        for (std::size_t b = 0; b < sizeof tail; ++b)
            record[static_cast<qsizetype>(32 + b)] = static_cast<char>(tail[b]);
        const float value = static_cast<float>(i % 1000) / 10.0f;
        std::memcpy(record.data() + 24, &value, sizeof value);
        record[40] = static_cast<char>(0xAA), record[41] = static_cast<char>(0xAA);
        download.readings.push_back(record);
    }
    return download;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

/// The same readings inserted with sqlite3 alone: one transaction, one prepared statement, WAL journal.
double RawSqliteMs(const QString &path, const HistoryDownload &download) {
    sqlite3 *db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_exec(
        db,
        "PRAGMA journal_mode=WAL; CREATE TABLE readings (id INTEGER PRIMARY KEY, instrument_id INTEGER, "
        "at_s INTEGER, format INTEGER, bytes BLOB, UNIQUE (instrument_id, at_s, format, bytes))",
        nullptr, nullptr, nullptr);
    QElapsedTimer timer;
    timer.start();
    sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO readings (instrument_id, at_s, format, bytes) VALUES (1, ?, 2, ?) ON "
                       "CONFLICT DO NOTHING",
                       -1, &insert, nullptr);
    qint64 at = 0;
    for (const QByteArray &record : download.readings) {
        sqlite3_bind_int64(insert, 1, ++at);
        sqlite3_bind_blob(insert, 2, record.constData(), static_cast<int>(record.size()), SQLITE_STATIC);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    sqlite3_close(db);
    return ms;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    QTemporaryDir dir;
    constexpr int kRecords = 2688;
    constexpr int kRounds = 15;
    const HistoryDownload download = Download(0, kRecords);

    std::vector<double> addMs, rawMs;
    for (int round = 0; round < kRounds; ++round) {
        HistoryLocation location;
        location.path = dir.filePath(QStringLiteral("add-%1.sqlite").arg(round));
        auto store = HistoryStore::open(location);
        if (!store.ok()) {
            std::fprintf(stderr, "%s\n", qPrintable(store.error().message));
            return 1;
        }
        QElapsedTimer timer;
        timer.start();
        if (!store.value()->add(download).ok()) return 1;
        addMs.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        rawMs.push_back(RawSqliteMs(dir.filePath(QStringLiteral("raw-%1.sqlite").arg(round)), download));
    }
    const double add = Median(addMs), raw = Median(rawMs);
    std::printf("add %d records to SQLite: %.2f ms (sqlite3 alone: %.2f ms)\n", kRecords, add, raw);

    HistoryLocation large;
    large.path = dir.filePath(QStringLiteral("large.sqlite"));
    auto store = HistoryStore::open(large);
    if (!store.ok()) return 1;
    constexpr int kLarge = 200000;
    for (int first = 0; first < kLarge; first += 20000)
        if (!store.value()->add(Download(first, 20000)).ok()) return 1;
    QElapsedTimer timer;
    timer.start();
    const auto table = store.value()->table(Pick(TxtDefaultInstrument));
    const double openS = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (!table.ok() || table.value().rowCount() != kLarge + 1) return 1;
    std::printf("open %d readings into the table: %.3f s\n", kLarge, openS);

    QString pushText = QStringLiteral("n/a");
    test::PgServer server;
    const QString problem = server.start();
    if (problem.isEmpty()) {
        HistoryPlace place;
        place.location = ParseHistoryLocation(server.uri()).value();
        place.localPath = dir.filePath(QStringLiteral("local.sqlite"));
        place.queueFolder = dir.filePath(QStringLiteral("queue"));
        HistoryLocation localFile;
        localFile.path = place.localPath;
        auto local = HistoryStore::open(localFile);
        auto remote = HistoryStore::open(place.location);
        if (!local.ok() || !remote.ok()) return 1;
        std::vector<double> pushMs;
        for (int round = 0; round < 5; ++round) {
            HistoryDownload next = Download(round * kRecords, kRecords);
            if (!local.value()->add(next).ok()) return 1;
            QElapsedTimer push;
            push.start();
            const QStringList problems = FlushPending(place);
            pushMs.push_back(static_cast<double>(push.nsecsElapsed()) / 1e6);
            if (!problems.isEmpty()) return 1;
        }
        pushText = QString::number(Median(pushMs), 'f', 1);
        std::printf("push %d records to PostgreSQL: %s ms\n", kRecords, qPrintable(pushText));
    } else {
        std::printf("no PostgreSQL server: %s\n", qPrintable(problem));
    }
    std::printf("history_add_ms=%.2f history_add_ratio=%.2f history_open_s=%.3f history_push_ms=%s\n", add,
                add / raw, openS, qPrintable(pushText));
    return 0;
}
