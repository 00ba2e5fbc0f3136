// The history store against a real SQLite file and a real PostgreSQL server: what it keeps, and the
// faults it must survive (damaged or foreign files, a newer schema, a killed writer, two writers, a
// server that is down or refuses the login).
#include "history/HistorySync.h"

#include "archive/ArchiveDownload.h"
#include "base/TableColumns.h"
#include "base/TableHeader.h"
#include "cli/CliCommands.h"
#include "history/HistoryRecords.h"
#include "history/PgServer.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace velda;

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "HistoryStoreTest";
    static char *argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) new QCoreApplication(argc, argv);
}

test::PgServer &Server() {
    static test::PgServer *server = [] {
        auto *started = new test::PgServer;
        const QString problem = started->start();
        EXPECT_TRUE(problem.isEmpty()) << problem.toStdString();
        return started;
    }();
    return *server;
}

/// The dump of a fresh download of records [first, first + count), filled as `read` fills it.
QByteArray FreshDump(int first, int count) {
    ReceivedArchive archive;
    archive.archiveFormat = 2;
    archive.recordSize = 44;
    archive.recordCount = static_cast<std::uint32_t>(count);
    for (const QByteArray &record : test::Records(first, count))
        archive.records.insert(archive.records.end(), record.begin(), record.end());
    ArchiveTable table;
    WriteHeaderRow(table, 0);
    ArchiveDownload download(table);
    download.fill(archive);
    EXPECT_TRUE(download.swapInto(table));
    return cli::DumpText(table);
}

HistoryLocation SQLiteAt(const QString &path) {
    HistoryLocation location;
    location.path = path;
    return location;
}

/// Empties the server's database so each test starts from nothing.
void ClearServer() {
    auto &server = Server();
    auto db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("clear"));
    db.setHostName(QStringLiteral("127.0.0.1"));
    db.setPort(server.port());
    db.setUserName(QLatin1String(test::PgServer::kUser));
    db.setPassword(QLatin1String(test::PgServer::kPassword));
    db.setDatabaseName(QLatin1String(test::PgServer::kDatabase));
    ASSERT_TRUE(db.open());
    QSqlQuery query(db);
    ASSERT_TRUE(query.exec(QStringLiteral("SET client_min_messages = warning")));
    ASSERT_TRUE(query.exec(QStringLiteral("DROP SCHEMA public CASCADE")));
    ASSERT_TRUE(query.exec(QStringLiteral("CREATE SCHEMA public")));
    query = QSqlQuery();
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("clear"));
}

class HistorySemantics : public ::testing::TestWithParam<HistoryLocation::Kind> {
protected:
    void SetUp() override {
        EnsureApplication();
        LanguageIndex.store(0);
        ASSERT_TRUE(m_dir.isValid());
        if (GetParam() == HistoryLocation::Kind::SQLite) {
            m_location = SQLiteAt(m_dir.filePath(QStringLiteral("h/history.sqlite")));
        } else {
            ClearServer();
            auto parsed = ParseHistoryLocation(Server().uri());
            ASSERT_TRUE(parsed.ok());
            m_location = parsed.value();
        }
    }
    QTemporaryDir m_dir;
    HistoryLocation m_location;
};

TEST_P(HistorySemantics, EachReadingOnceInItsInstrumentAndShownAsAFreshDownload) {
    auto opened = HistoryStore::open(m_location);
    ASSERT_TRUE(opened.ok()) << opened.error().message.toStdString();
    HistoryStore &store = *opened.value();

    const QString uidA = QStringLiteral("download-a");
    HistoryDownload twice = test::Download(200, 2);
    twice.readings.push_back(twice.readings.front());
    struct Step {
        const char *name;
        HistoryDownload download;
        const char *instrument;
        const char *expectInstrument;
        qint64 expectNew;
        bool expectAlreadyStored;
    };
    const std::vector<Step> steps{
        {"the first download goes to the default instrument", test::Download(0, 10, uidA), "", "VELDA-9", 10,
         false},
        {"an overlapping download joins the instrument it overlaps", test::Download(5, 10), "", "VELDA-9", 5,
         false},
        {"the same download again is stored once", test::Download(0, 10, uidA), "", "VELDA-9", 0, true},
        {"a named instrument without overlap", test::Download(100, 4), "Lab 2", "Lab 2", 4, false},
        {"the same readings of another instrument are its own", test::Download(0, 3), "Lab 2", "Lab 2", 3,
         false},
        {"a reading twice in one download is stored once", twice, "Lab 2", "Lab 2", 2, false},
    };
    qint64 downloadA = 0;
    for (const Step &step : steps) {
        SCOPED_TRACE(step.name);
        const auto added = store.add(step.download, QString::fromUtf8(step.instrument));
        ASSERT_TRUE(added.ok()) << added.error().message.toStdString();
        EXPECT_EQ(added.value().instrument, QString::fromUtf8(step.expectInstrument));
        EXPECT_EQ(added.value().newReadings, step.expectNew);
        EXPECT_EQ(added.value().alreadyStored, step.expectAlreadyStored);
        if (step.download.uid == uidA) downloadA = added.value().downloadId;
    }

    const auto instruments = store.instruments();
    ASSERT_TRUE(instruments.ok());
    ASSERT_EQ(instruments.value().size(), 2U);
    const InstrumentSummary &lab = instruments.value()[0];
    const InstrumentSummary &velda = instruments.value()[1];
    EXPECT_EQ(lab.name, QStringLiteral("Lab 2"));
    EXPECT_EQ(lab.readings, 9);
    EXPECT_EQ(velda.name, QStringLiteral("VELDA-9"));
    EXPECT_EQ(velda.readings, 15);
    EXPECT_EQ(velda.downloads, 2);
    ASSERT_TRUE(velda.firstReading && velda.lastReading && velda.lastDownload);
    EXPECT_EQ(velda.firstReading->toString(Qt::ISODate), QStringLiteral("2024-01-01T00:00:00Z"));
    EXPECT_EQ(velda.lastReading->toString(Qt::ISODate), QStringLiteral("2024-01-01T00:14:00Z"));

    // Two overlapping downloads show as one download of all their records.
    const auto whole = store.table(QStringLiteral("VELDA-9"));
    ASSERT_TRUE(whole.ok());
    EXPECT_EQ(cli::DumpText(whole.value()), FreshDump(0, 15));
    ReadingRange range;
    range.from = QDateTime(QDate(2024, 1, 1), QTime(0, 3), Qt::UTC);
    range.to = QDateTime(QDate(2024, 1, 1), QTime(0, 6), Qt::UTC);
    const auto part = store.table(QStringLiteral("VELDA-9"), range);
    ASSERT_TRUE(part.ok());
    ASSERT_EQ(part.value().rowCount(), 5);
    EXPECT_EQ(part.value().cell(column::kTime, 1), QStringLiteral("00:03:00"));
    EXPECT_EQ(part.value().cell(column::kTime, 4), QStringLiteral("00:06:00"));

    // Rows of a project file are kept as they were stored.
    HistoryDownload imported;
    imported.archiveFormat = kImportedRows;
    imported.source = QStringLiteral("/tmp/a.vd");
    for (int row = 1; row <= 3; ++row)
        imported.readings.push_back(EncodeRow(whole.value(), row));
    const auto importedAdded = store.add(imported, QStringLiteral("Imported"));
    ASSERT_TRUE(importedAdded.ok()) << importedAdded.error().message.toStdString();
    EXPECT_EQ(importedAdded.value().newReadings, 3);
    const auto importedTable = store.table(QStringLiteral("Imported"));
    ASSERT_TRUE(importedTable.ok());
    ASSERT_EQ(importedTable.value().rowCount(), 4);
    for (int col = 1; col < whole.value().colCount(); ++col)
        EXPECT_EQ(importedTable.value().cell(col, 3), whole.value().cell(col, 3)) << col;

    // Forgetting a download removes only the readings no other download holds.
    struct Forget {
        const char *name;
        const char *instrument;
        std::optional<qint64> download;
        qint64 expectRemoved;
    };
    ASSERT_TRUE(store.rename(QStringLiteral("Lab 2"), QStringLiteral("VELDA-9")).error().kind ==
                HistoryError::Kind::NameTaken);
    ASSERT_TRUE(store.rename(QStringLiteral("Lab 2"), QStringLiteral("Lab 3")).ok());
    for (const Forget &c :
         {Forget{"download A", "VELDA-9", downloadA, 5}, Forget{"an instrument", "Lab 3", {}, 9},
          Forget{"an unknown instrument", "Lab 2", {}, -1}}) {
        SCOPED_TRACE(c.name);
        const auto toGo = store.readingsToForget(QString::fromUtf8(c.instrument), c.download);
        const auto removed = store.forget(QString::fromUtf8(c.instrument), c.download);
        if (c.expectRemoved < 0) {
            ASSERT_FALSE(removed.ok());
            EXPECT_EQ(removed.error().kind, HistoryError::Kind::NotFound);
            continue;
        }
        ASSERT_TRUE(toGo.ok() && removed.ok());
        EXPECT_EQ(toGo.value(), c.expectRemoved);
        EXPECT_EQ(removed.value(), c.expectRemoved);
    }
    const auto remaining = store.table(QStringLiteral("VELDA-9"));
    ASSERT_TRUE(remaining.ok());
    EXPECT_EQ(cli::DumpText(remaining.value()), FreshDump(5, 10));
}

INSTANTIATE_TEST_SUITE_P(BothDrivers, HistorySemantics,
                         ::testing::Values(HistoryLocation::Kind::SQLite, HistoryLocation::Kind::PostgreSQL),
                         [](const auto &param) {
                             return param.param == HistoryLocation::Kind::SQLite ? std::string("SQLite")
                                                                                 : std::string("PostgreSQL");
                         });

QByteArray FileBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A file the history cannot use is refused by name and left as it was; the download waits in the queue
// and is stored once a usable history is there.
TEST(HistoryFaults, UnusableFilesAreLeftUntouchedAndTheDownloadIsQueued) {
    EnsureApplication();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto makeFile = [&dir](const char *name, const QByteArray &bytes) {
        QFile file(dir.filePath(QString::fromUtf8(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    };
    const auto sqlite = [](const QString &path, const QString &statement) {
        auto db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("prepare"));
        db.setDatabaseName(path);
        EXPECT_TRUE(db.open());
        QSqlQuery query(db);
        EXPECT_TRUE(query.exec(statement));
        query = QSqlQuery();
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("prepare"));
        return path;
    };
    const QString newer = dir.filePath(QStringLiteral("newer.sqlite"));
    ASSERT_TRUE(HistoryStore::open(SQLiteAt(newer)).ok());
    sqlite(newer, QStringLiteral("UPDATE history_schema SET version = 99"));
    const QString notAFolder = makeFile("plain-file", "x");

    struct Case {
        const char *name;
        QString path;
        HistoryError::Kind kind;
        const char *mentions;
    };
    const std::vector<Case> cases{
        {"a file that is no database", makeFile("garbage.sqlite", QByteArray(4096, 'g')),
         HistoryError::Kind::NotAHistory, "not an SQLite database"},
        {"a truncated database",
         makeFile("corrupt.sqlite", QByteArray("SQLite format 3\0", 16) + QByteArray(100, 'z')),
         HistoryError::Kind::NotAHistory, "left untouched"},
        {"a database of another program",
         sqlite(dir.filePath(QStringLiteral("foreign.sqlite")),
                QStringLiteral("CREATE TABLE notes (t TEXT)")),
         HistoryError::Kind::NotAHistory, "another program"},
        {"a history of a newer schema", newer, HistoryError::Kind::NewerSchema, "newer version"},
        {"a folder that cannot be made", notAFolder + QStringLiteral("/sub/history.sqlite"),
         HistoryError::Kind::OpenFailed, "cannot be created"},
    };
    const QString queue = dir.filePath(QStringLiteral("queue"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray before = FileBytes(c.path);
        const auto opened = HistoryStore::open(SQLiteAt(c.path));
        ASSERT_FALSE(opened.ok());
        EXPECT_EQ(opened.error().kind, c.kind);
        EXPECT_TRUE(opened.error().message.contains(c.path)) << opened.error().message.toStdString();
        EXPECT_TRUE(opened.error().message.contains(QLatin1String(c.mentions)))
            << opened.error().message.toStdString();

        HistoryPlace place;
        place.location = SQLiteAt(c.path);
        place.queueFolder = queue;
        const StoreOutcome outcome = StoreDownload(place, test::Download(0, 5), {});
        EXPECT_FALSE(outcome.added);
        EXPECT_TRUE(outcome.queued);
        ASSERT_EQ(outcome.problems.size(), 1);
        EXPECT_TRUE(outcome.problems.front().contains(c.path));
        EXPECT_EQ(FileBytes(c.path), before);
    }

    HistoryPlace good;
    good.location = SQLiteAt(dir.filePath(QStringLiteral("good.sqlite")));
    good.queueFolder = queue;
    EXPECT_TRUE(FlushPending(good).isEmpty());
    auto store = HistoryStore::open(good.location);
    ASSERT_TRUE(store.ok());
    const auto instruments = store.value()->instruments();
    ASSERT_TRUE(instruments.ok());
    ASSERT_EQ(instruments.value().size(), 1U);
    EXPECT_EQ(instruments.value().front().readings, 5);
    EXPECT_EQ(instruments.value().front().downloads, 5);
    EXPECT_TRUE(QDir(queue).entryList(QDir::Files).isEmpty());
}

/// Runs `work` in a child process that writes one byte to `ready` after each step; returns its pid.
template <typename Work>
pid_t Child(int ready, Work work) {
    const pid_t pid = fork();
    if (pid == 0) {
        work(ready);
        _exit(0);
    }
    return pid;
}

// A writer killed in the middle of a download leaves it whole or absent; two writers adding the same
// readings at once store each reading once.
TEST(HistoryFaults, KilledAndConcurrentWritersKeepEveryDownloadWholeAndEachReadingOnce) {
    EnsureApplication();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const HistoryLocation location = SQLiteAt(dir.filePath(QStringLiteral("history.sqlite")));
    ASSERT_TRUE(HistoryStore::open(location).ok());
    constexpr int kRecords = 20000;

    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t killed = Child(pipeFds[1], [&](int ready) {
        auto store = HistoryStore::open(location);
        for (int i = 0; store.ok(); ++i) {
            if (!store.value()->add(test::Download(i * kRecords, kRecords)).ok()) return;
            const char byte = 1;
            if (write(ready, &byte, 1) != 1) return;
        }
    });
    close(pipeFds[1]);
    char byte = 0;
    ASSERT_EQ(read(pipeFds[0], &byte, 1), 1); // one download is in; the next one is under way
    kill(killed, SIGKILL);
    int status = 0;
    waitpid(killed, &status, 0);
    close(pipeFds[0]);

    std::vector<pid_t> writers;
    for (int i = 0; i < 2; ++i)
        writers.push_back(Child(-1, [&](int) {
            auto store = HistoryStore::open(location);
            if (!store.ok() ||
                !store.value()->add(test::Download(500000, 3000), QStringLiteral("Twice")).ok())
                _exit(1);
        }));
    for (const pid_t writer : writers) {
        waitpid(writer, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    auto store = HistoryStore::open(location);
    ASSERT_TRUE(store.ok());
    const auto downloads = store.value()->downloads(QStringLiteral("VELDA-9"));
    ASSERT_TRUE(downloads.ok());
    ASSERT_GE(downloads.value().size(), 1U);
    qint64 stored = 0;
    for (const DownloadSummary &download : downloads.value()) {
        QString instrument;
        const auto whole = store.value()->download(download.id, &instrument);
        ASSERT_TRUE(whole.ok());
        EXPECT_EQ(whole.value().readings.size(), static_cast<std::size_t>(kRecords));
        stored += kRecords;
    }
    const auto instruments = store.value()->instruments();
    ASSERT_TRUE(instruments.ok());
    ASSERT_EQ(instruments.value().size(), 2U);
    EXPECT_EQ(instruments.value()[0].name, QStringLiteral("Twice"));
    EXPECT_EQ(instruments.value()[0].readings, 3000);
    EXPECT_EQ(instruments.value()[0].downloads, 2);
    EXPECT_EQ(instruments.value()[1].readings, stored);
}

// A server that is down, refuses the password or has no such database: a clear message without the
// password, the download kept locally and pushed once the server is back.
TEST(HistoryFaults, ServerFaultsKeepTheDownloadLocallyUntilItIsPushed) {
    EnsureApplication();
    ClearServer();
    test::PgServer &server = Server();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    struct Refusal {
        const char *name;
        QString uri;
        const char *mentions;
    };
    for (const Refusal &c :
         {Refusal{"a wrong password", server.uri(QStringLiteral("wrong-pw")), "password"},
          Refusal{"an unknown database",
                  server.uri(QLatin1String(test::PgServer::kPassword), QStringLiteral("no_such_db")),
                  "no_such_db"}}) {
        SCOPED_TRACE(c.name);
        const auto location = ParseHistoryLocation(c.uri);
        ASSERT_TRUE(location.ok());
        const auto opened = HistoryStore::open(location.value());
        ASSERT_FALSE(opened.ok());
        EXPECT_EQ(opened.error().kind, HistoryError::Kind::OpenFailed);
        EXPECT_TRUE(opened.error().message.contains(QLatin1String(c.mentions)))
            << opened.error().message.toStdString();
        EXPECT_FALSE(opened.error().message.contains(QLatin1String(test::PgServer::kPassword)));
        EXPECT_FALSE(opened.error().message.contains(QLatin1String("wrong-pw")));
    }

    HistoryPlace place;
    place.location = ParseHistoryLocation(server.uri()).value();
    place.localPath = dir.filePath(QStringLiteral("local.sqlite"));
    place.queueFolder = dir.filePath(QStringLiteral("queue"));
    const StoreOutcome first = StoreDownload(place, test::Download(0, 2688), {});
    ASSERT_TRUE(first.added);
    EXPECT_TRUE(first.pushed);

    server.stop();
    const StoreOutcome down = StoreDownload(place, test::Download(2000, 1000), {});
    ASSERT_TRUE(down.added);
    EXPECT_FALSE(down.pushed);
    ASSERT_EQ(down.problems.size(), 1);
    EXPECT_TRUE(down.problems.front().contains(QStringLiteral("127.0.0.1")));
    EXPECT_FALSE(down.problems.front().contains(QLatin1String(test::PgServer::kPassword)));
    ASSERT_TRUE(server.restart());

    EXPECT_TRUE(FlushPending(place).isEmpty());
    auto remote = HistoryStore::open(place.location);
    ASSERT_TRUE(remote.ok());
    const auto instruments = remote.value()->instruments();
    ASSERT_TRUE(instruments.ok());
    ASSERT_EQ(instruments.value().size(), 1U);
    EXPECT_EQ(instruments.value().front().readings, 3000);
    EXPECT_EQ(instruments.value().front().downloads, 2);
    const auto table = remote.value()->table(QStringLiteral("VELDA-9"));
    ASSERT_TRUE(table.ok());
    EXPECT_EQ(cli::DumpText(table.value()), FreshDump(0, 3000));
}

} // namespace
