// velda9-cli watch against the simulated instrument joining and leaving the bus, on a private session bus
// whose notification server records what it is sent: downloads, files named by the template, the summary,
// the notice of limits crossed, the history, and a clean stop on SIGTERM.
#include "CliProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

namespace {

using velda::test::BinDir;
using velda::test::SimEnvironment;

QByteArray ReadAll(const QString &file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Waits, looking every 20 ms, until `done` holds or `limitMs` passed.
template <typename Done>
bool WaitFor(Done done, int limitMs = 60000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limitMs) return false;
        QThread::msleep(20);
    }
    return true;
}

// A session bus of its own (dbus-run-session) with the test's notification server on it, in a process
// group of its own so that stopping it stops the bus too.
class PrivateBus {
public:
    explicit PrivateBus(const QString &folder)
        : m_record(folder + QStringLiteral("/notices.jsonl")), m_ready(folder + QStringLiteral("/bus")) {
        m_process.setChildProcessModifier([] { ::setsid(); });
        m_process.start(QStringLiteral("dbus-run-session"),
                        {QStringLiteral("--"), QStringLiteral("/usr/bin/python3"),
                         QStringLiteral(VELDA_E2E_DIR "/notification_receiver.py"), m_record, m_ready});
    }
    ~PrivateBus() {
        if (m_process.processId() > 0) ::kill(-static_cast<pid_t>(m_process.processId()), SIGTERM);
        m_process.waitForFinished(10000);
    }
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    /// The bus address once the server owns its name; empty when it did not come up.
    QString address() {
        if (!WaitFor([&] { return QFile::exists(m_ready); }, 20000)) return {};
        return QString::fromUtf8(ReadAll(m_ready)).trimmed();
    }
    /// The Notify calls received, one object each.
    std::vector<QJsonObject> notices() const {
        std::vector<QJsonObject> calls;
        for (const QByteArray &line : ReadAll(m_record).split('\n'))
            if (!line.isEmpty()) calls.push_back(QJsonDocument::fromJson(line).object());
        return calls;
    }

private:
    QString m_record;
    QString m_ready;
    QProcess m_process;
};

struct WatchCase {
    const char *name;
    const char *saveTo; ///< relative to the test folder; "" for none
    bool makeFolder;    ///< create it first (read-only when `readOnly`)
    bool readOnly;
    int savedPairs;       ///< project files (each with its summary) expected
    const char *saveLine; ///< a text every failed save's line holds; "" when saves succeed
};

TEST(WatchEndToEnd, ThreeStaysThreeDownloadsOneNoticeAndACleanStop) {
    const WatchCase cases[] = {
        {"three stays into a folder", "out", true, false, 3, ""},
        {"a missing folder: the downloads still reach the history", "missing/out", false, false, 0,
         "missing/out"},
        {"a read-only folder: the same", "locked", true, true, 0, "is not writable"},
    };
    for (const WatchCase &c : cases) {
        SCOPED_TRACE(c.name);
        // The superuser writes into read-only folders, so there the case says nothing.
        if (c.readOnly && ::geteuid() == 0) continue;
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString folder = dir.filePath(QString::fromUtf8(c.saveTo));
        if (c.makeFolder) {
            ASSERT_TRUE(QDir().mkpath(folder));
            if (c.readOnly) {
                ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
            }
        }
        // Three stays; each leaves at the third scan after it arrived (the download's own open counts).
        const QString scenario = dir.filePath(QStringLiteral("scenario.json"));
        QFile json(scenario);
        ASSERT_TRUE(json.open(QIODevice::WriteOnly));
        json.write(R"({"firmware_date": "13.03.2018", "generate": {"records": 96, "format": 2, "seed": 7},
                       "presence": {"arrive_after_scans": 1, "leave_after_scans": 3, "stays": 3}})");
        json.close();

        PrivateBus bus(dir.path());
        const QString address = bus.address();
        ASSERT_FALSE(address.isEmpty()) << "the notification server did not come up";
        const QString history = dir.filePath(QStringLiteral("history.sqlite"));
        QProcess watch;
        watch.setProcessEnvironment(
            SimEnvironment(scenario, {QStringLiteral("DBUS_SESSION_BUS_ADDRESS=") + address,
                                      QStringLiteral("VELDA9_SCAN_INTERVAL_MS=10"),
                                      QStringLiteral("XDG_CONFIG_HOME=") + dir.path()}));
        watch.start(BinDir() + QStringLiteral("/velda9-cli"),
                    {QStringLiteral("watch"), QStringLiteral("--simulate"), QStringLiteral("--lang"),
                     QStringLiteral("en"), QStringLiteral("--history"), history,
                     QStringLiteral("--instrument"), QStringLiteral("Fridge"), QStringLiteral("--save-to"),
                     folder, QStringLiteral("--name-template"), QStringLiteral("{instrument}_{last-date}"),
                     QStringLiteral("--summary"), QStringLiteral("--limit"),
                     QStringLiteral("temperature=:24")});
        QByteArray out;
        const bool threeLeft = WaitFor([&] {
            watch.waitForReadyRead(20);
            out += watch.readAllStandardOutput();
            return out.count("The instrument left") >= 3 || watch.state() == QProcess::NotRunning;
        });
        ::kill(static_cast<pid_t>(watch.processId()), SIGTERM);
        ASSERT_TRUE(watch.waitForFinished(30000));
        out += watch.readAllStandardOutput();
        const QString log = QString::fromUtf8(out);
        ASSERT_TRUE(threeLeft) << log.toStdString() << watch.readAllStandardError().toStdString();
        EXPECT_EQ(watch.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(watch.exitCode(), 0) << log.toStdString();

        // Every line starts with its moment; the events come in the order they happened.
        const QRegularExpression stamp(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d "));
        const QStringList lines = log.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString &line : lines)
            EXPECT_TRUE(stamp.match(line).hasMatch()) << line.toStdString();
        EXPECT_EQ(log.count(QStringLiteral("The instrument arrived")), 3);
        EXPECT_EQ(log.count(QStringLiteral("Downloaded 96 records")), 3) << log.toStdString();
        EXPECT_EQ(log.count(QStringLiteral("In the history: instrument \"Fridge\"")), 3) << log.toStdString();
        EXPECT_EQ(log.count(QStringLiteral("Fridge: readings outside the limits: channel ")), 3);
        EXPECT_TRUE(lines.last().endsWith(QStringLiteral("Stopped")));

        // Only the first stay brought new readings: the later ones repeat no notification.
        const auto notices = bus.notices();
        ASSERT_EQ(notices.size(), 1U);
        EXPECT_EQ(notices[0][QStringLiteral("app")].toString(), QStringLiteral("velda9"));
        EXPECT_EQ(notices[0][QStringLiteral("icon")].toString(), QStringLiteral("velda9"));
        EXPECT_EQ(notices[0][QStringLiteral("summary")].toString(),
                  QStringLiteral("Fridge: readings outside the limits"));
        EXPECT_TRUE(
            notices[0][QStringLiteral("body")].toString().contains(QStringLiteral("Temperature, °C: ")));

        if (c.savedPairs == 0) {
            EXPECT_EQ(log.count(QStringLiteral("Error: ")), 3) << log.toStdString();
            EXPECT_EQ(log.count(QString::fromUtf8(c.saveLine)), 3) << log.toStdString();
            if (c.makeFolder) {
                EXPECT_TRUE(
                    QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
            }
            continue;
        }
        // Three project files and their summaries, named by the template, a taken name getting -2, -3;
        // nothing else, no temporary, is left in the folder.
        QStringList files =
            QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
        ASSERT_EQ(files.size(), 6) << files.join(QLatin1Char(' ')).toStdString();
        const QRegularExpression first(QStringLiteral("^Fridge_\\d{4}-\\d\\d-\\d\\d\\.vd$"));
        ASSERT_TRUE(first.match(files.at(4)).hasMatch()) << files.at(4).toStdString();
        const QString stem = files.at(4).chopped(3);
        EXPECT_EQ(files, (QStringList{stem + "-2.pdf", stem + "-2.vd", stem + "-3.pdf", stem + "-3.vd",
                                      stem + ".pdf", stem + ".vd"}));
        EXPECT_EQ(log.count(QStringLiteral("Saved ")), 3);
        EXPECT_EQ(log.count(QStringLiteral("Summary saved ")), 3);
        EXPECT_TRUE(ReadAll(QDir(folder).filePath(stem + ".pdf")).startsWith("%PDF-"));
        // Each file holds the whole download.
        const auto dump = velda::test::RunProgram(
            BinDir() + QStringLiteral("/velda9-cli"),
            {QStringLiteral("dump"), QDir(folder).filePath(stem + "-3.vd")}, SimEnvironment());
        EXPECT_EQ(dump.exitCode, 0);
        EXPECT_EQ(dump.out.count('\n'), 97);
    }
}

} // namespace
