// velda9-cli's history end to end: two overlapping simulated downloads become one history whose export
// is the project file of one download of all their records, in an SQLite file and on a PostgreSQL server;
// a history that cannot be written costs no download.
#include "CliProcess.h"
#include "archive/RecordBytes.h"
#include "history/PgServer.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using CliRun = velda::test::ProcessRun;

class HistoryEndToEnd : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString path(const QString &name) const { return m_dir.filePath(name); }

    /// A scenario serving format-2 records [first, first + count), one minute apart from 2024-03-01.
    QString scenario(int first, int count) const {
        QStringList hex;
        for (int i = first; i < first + count; ++i) {
            const QDateTime at = QDateTime(QDate(2024, 3, 1), QTime(8, 0), Qt::UTC).addSecs(60LL * i);
            velda::test::RecordFields fields;
            fields.channels = 2, fields.sensor1 = 6, fields.sensor2 = 1, fields.modeCount = 255;
            fields.temperature1 = 20.0f + static_cast<float>(i) / 4,
            fields.humidity1 = 40.0f + static_cast<float>(i);
            fields.second = 0, fields.minute = static_cast<std::uint8_t>(at.time().minute());
            fields.hour = static_cast<std::uint8_t>(at.time().hour());
            fields.day = 1, fields.month = 3, fields.year = 24;
            const auto bytes = velda::test::RecordBytes(2, fields);
            hex << QStringLiteral("\"%1\"").arg(QString::fromLatin1(
                QByteArray(reinterpret_cast<const char *>(bytes.data()), static_cast<qsizetype>(bytes.size()))
                    .toHex()));
        }
        const QString file = path(QStringLiteral("scenario-%1-%2.json").arg(first).arg(count));
        QFile out(file);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(QStringLiteral("{\"firmware_date\": \"13.03.2018\", \"records_hex\": [%1]}")
                      .arg(hex.join(QStringLiteral(", ")))
                      .toUtf8());
        return file;
    }

    CliRun cli(const QStringList &args, const QString &scenarioFile = {}) const {
        QProcessEnvironment env = velda::test::SimEnvironment(
            scenarioFile, {QStringLiteral("XDG_DATA_HOME=") + path(QStringLiteral("data")),
                           QStringLiteral("XDG_CACHE_HOME=") + path(QStringLiteral("cache"))});
        env.remove(QStringLiteral("VELDA9_HISTORY"));
        return velda::test::RunProgram(QStringLiteral(VELDA_BIN_DIR "/velda9-cli"), args, env);
    }

    static QByteArray bytes(const QString &file) {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }

    /// Reads records [first, first + count) into FILE with the history `history` (empty: --no-history).
    void read(int first, int count, const QString &file, const QString &history) const {
        QStringList args{QStringLiteral("read"), QStringLiteral("--simulate"), QStringLiteral("-o"),
                         path(file)};
        args << (history.isEmpty() ? QStringList{QStringLiteral("--no-history")}
                                   : QStringList{QStringLiteral("--history"), history});
        const CliRun run = cli(args, scenario(first, count));
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        if (!history.isEmpty()) {
            EXPECT_TRUE(run.err.contains("VELDA-9")) << run.err.toStdString();
        }
    }

    /// Runs `history ...` against `history` and expects success.
    CliRun history(const QStringList &args, const QString &store) const {
        const CliRun run = cli(QStringList{QStringLiteral("history")} + args +
                               QStringList{QStringLiteral("--history"), store});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        return run;
    }

    QTemporaryDir m_dir;
};

TEST_F(HistoryEndToEnd, OverlappingDownloadsExportAsOneDownloadOfAllRecords) {
    velda::test::PgServer server;
    const QString serverProblem = server.start();
    ASSERT_TRUE(serverProblem.isEmpty()) << serverProblem.toStdString();
    read(0, 30, QStringLiteral("all.vd"), {});

    struct Store {
        const char *name;
        QString history;
    };
    for (const Store &store :
         {Store{"SQLite file", path(QStringLiteral("h.sqlite"))}, Store{"PostgreSQL", server.uri()}}) {
        SCOPED_TRACE(store.name);
        read(0, 20, QStringLiteral("a.vd"), store.history);
        history({QStringLiteral("export"), QStringLiteral("VELDA-9"), QStringLiteral("-o"),
                 path(QStringLiteral("one.vd"))},
                store.history);
        EXPECT_EQ(bytes(path(QStringLiteral("one.vd"))), bytes(path(QStringLiteral("a.vd"))));

        read(10, 20, QStringLiteral("b.vd"), store.history);
        history({QStringLiteral("export"), QStringLiteral("VELDA-9"), QStringLiteral("-o"),
                 path(QStringLiteral("h.vd"))},
                store.history);
        EXPECT_EQ(bytes(path(QStringLiteral("h.vd"))), bytes(path(QStringLiteral("all.vd"))));

        const CliRun list = history({QStringLiteral("list"), QStringLiteral("--json")}, store.history);
        const QJsonArray instruments = QJsonDocument::fromJson(list.out).array();
        ASSERT_EQ(instruments.size(), 1);
        const QJsonObject velda = instruments.at(0).toObject();
        EXPECT_EQ(velda[QStringLiteral("name")].toString(), QStringLiteral("VELDA-9"));
        EXPECT_EQ(velda[QStringLiteral("readings")].toInt(), 30);
        EXPECT_EQ(velda[QStringLiteral("downloads")].toInt(), 2);
        EXPECT_EQ(velda[QStringLiteral("first_reading")].toString(), QStringLiteral("2024-03-01 08:00:00"));

        const CliRun shown = history({QStringLiteral("show"), QStringLiteral("VELDA-9"),
                                      QStringLiteral("--from"), QStringLiteral("2024-03-01T08:05"),
                                      QStringLiteral("--to"), QStringLiteral("2024-03-01 08:09")},
                                     store.history);
        EXPECT_EQ(shown.out.count('\n'), 6); // the header and five readings
    }
}

TEST_F(HistoryEndToEnd, AHistoryThatCannotBeWrittenCostsNoDownload) {
    QFile blocker(path(QStringLiteral("not-a-folder")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString broken = blocker.fileName() + QStringLiteral("/history.sqlite");
    const CliRun run = cli({QStringLiteral("read"), QStringLiteral("--simulate"), QStringLiteral("-o"),
                            path(QStringLiteral("a.vd")), QStringLiteral("--history"), broken},
                           scenario(0, 5));
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_TRUE(run.err.contains(broken.toUtf8())) << run.err.toStdString();
    EXPECT_EQ(QDir(path(QStringLiteral("cache/velda9/history-queue"))).entryList(QDir::Files).size(), 1);
    read(0, 5, QStringLiteral("expected.vd"), {});
    EXPECT_EQ(bytes(path(QStringLiteral("a.vd"))), bytes(path(QStringLiteral("expected.vd"))));

    // The queued download is stored by the next command that reaches a usable history.
    const QString good = path(QStringLiteral("good.sqlite"));
    const CliRun list = history({QStringLiteral("list"), QStringLiteral("--json")}, good);
    const QJsonArray instruments = QJsonDocument::fromJson(list.out).array();
    ASSERT_EQ(instruments.size(), 1);
    EXPECT_EQ(instruments.at(0).toObject()[QStringLiteral("readings")].toInt(), 5);
}

} // namespace
