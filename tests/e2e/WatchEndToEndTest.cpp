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

// A session bus of its own (dbus-run-session) with the test's notification server on it, in a process
// group of its own so that stopping it stops the bus too.
class PrivateBus {
public:
    explicit PrivateBus(const QString &folder) : m_record(folder + QStringLiteral("/notices.jsonl")) {
        m_process.setChildProcessModifier([] { ::setsid(); });
        m_process.start(QStringLiteral("dbus-run-session"),
                        {QStringLiteral("--"), QStringLiteral("/usr/bin/python3"),
                         QStringLiteral(VELDA_E2E_DIR "/notification_receiver.py"), m_record});
    }
    ~PrivateBus() {
        if (m_process.processId() > 0) ::kill(-static_cast<pid_t>(m_process.processId()), SIGTERM);
        m_process.waitForFinished(10000);
    }
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    /// The bus address, printed by the server once it owns its name; empty when it did not come up.
    QString address() {
        while (!m_process.canReadLine() && m_process.waitForReadyRead(20000)) {
        }
        return QString::fromUtf8(m_process.readLine()).trimmed();
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
    QProcess m_process;
};

TEST(WatchEndToEnd, ThreeStaysThreeDownloadsOneNoticeAndACleanStop) {
    const struct {
        const char *name;
        const char *saveTo;   ///< under the test folder; created unless "missing" is in it
        bool readOnly;        ///< the folder cannot be written
        const char *saveLine; ///< a text every failed save's line holds; nullptr when saves succeed
    } cases[] = {
        {"three stays into a folder", "out", false, nullptr},
        {"a missing folder: the downloads still reach the history", "missing/out", false, "missing/out"},
        {"a read-only folder: the same", "locked", true, "is not writable"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        // The superuser writes into read-only folders, so there the case says nothing.
        if (c.readOnly && ::geteuid() == 0) continue;
        QTemporaryDir dir;
        const QString folder = dir.filePath(QString::fromUtf8(c.saveTo));
        if (!folder.contains(QStringLiteral("missing"))) {
            ASSERT_TRUE(QDir().mkpath(folder));
        }
        if (c.readOnly) {
            ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        }
        // Three stays; each leaves at the fourth scan after it arrived (the download's and the clock's opens
        // count).
        const QString scenario = dir.filePath(QStringLiteral("scenario.json"));
        QFile json(scenario);
        ASSERT_TRUE(json.open(QIODevice::WriteOnly));
        json.write(R"({"firmware_date": "13.03.2018", "generate": {"records": 96, "format": 2, "seed": 7},
                       "presence": {"arrive_after_scans": 1, "leave_after_scans": 4, "stays": 3}})");
        json.close();

        PrivateBus bus(dir.path());
        const QString address = bus.address();
        ASSERT_FALSE(address.isEmpty()) << "the notification server did not come up";
        QProcess watch;
        watch.setProcessEnvironment(
            SimEnvironment(scenario, {"DBUS_SESSION_BUS_ADDRESS=" + address, "VELDA9_SCAN_INTERVAL_MS=10",
                                      "XDG_CONFIG_HOME=" + dir.path()}));
        watch.start(BinDir() + "/velda9-cli",
                    {"watch", "--simulate", "--lang", "en", "--history", dir.filePath("history.sqlite"),
                     "--instrument", "Fridge", "--save-to", folder, "--name-template",
                     "{instrument}_{last-date}", "--summary", "--set-clock", "--limit", "temperature=:24"});
        QByteArray out;
        QElapsedTimer timer;
        timer.start();
        while (out.count("The instrument left") < 3 && timer.elapsed() < 120000 &&
               watch.waitForReadyRead(30000))
            out += watch.readAllStandardOutput();
        const bool threeLeft = out.count("The instrument left") >= 3;
        ::kill(static_cast<pid_t>(watch.processId()), SIGTERM);
        ASSERT_TRUE(watch.waitForFinished(30000));
        const QString log = QString::fromUtf8(out + watch.readAllStandardOutput());
        ASSERT_TRUE(threeLeft) << log.toStdString() << watch.readAllStandardError().toStdString();
        EXPECT_EQ(watch.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(watch.exitCode(), 0) << log.toStdString();

        const QRegularExpression stamp(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d "));
        const QStringList lines = log.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString &line : lines)
            EXPECT_TRUE(stamp.match(line).hasMatch()) << line.toStdString();
        for (const char *event :
             {"The instrument arrived", "Downloaded 96 records", "The instrument's clock was set",
              "In the history: instrument \"Fridge\"",
              "Fridge: readings outside the limits: channel 2, Temperature, °C: 96 above"})
            EXPECT_EQ(log.count(QString::fromUtf8(event)), 3) << event << '\n' << log.toStdString();
        EXPECT_TRUE(lines.last().endsWith(QStringLiteral("Stopped")));

        // Only the first stay brought new readings: the later ones repeat no notification.
        const auto notices = bus.notices();
        ASSERT_EQ(notices.size(), 1U);
        EXPECT_EQ(notices[0]["app"].toString() + notices[0]["icon"].toString(),
                  QStringLiteral("velda9velda9"));
        EXPECT_EQ(notices[0]["summary"].toString(), QStringLiteral("Fridge: readings outside the limits"));
        EXPECT_TRUE(
            notices[0]["body"].toString().startsWith(QStringLiteral("channel 2, Temperature, °C: 96 above")));

        // Three project files and their summaries named by the template, a taken name getting -2, -3, and
        // nothing else, no temporary, in the folder; or three clear lines and nothing written.
        const QStringList files =
            QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        if (c.saveLine != nullptr) {
            EXPECT_EQ(lines.filter(QString::fromUtf8(c.saveLine)).size(), 3) << log.toStdString();
            EXPECT_TRUE(files.isEmpty());
            continue;
        }
        const QString stem = QStringLiteral("Fridge_2018-03-13");
        EXPECT_EQ(files, (QStringList{stem + "-2.pdf", stem + "-2.vd", stem + "-3.pdf", stem + "-3.vd",
                                      stem + ".pdf", stem + ".vd"}));
        EXPECT_EQ(log.count(QStringLiteral("Summary saved ")), 3);
        EXPECT_TRUE(ReadAll(QDir(folder).filePath(stem + ".pdf")).startsWith("%PDF-"));
        const auto dump = velda::test::RunProgram(
            BinDir() + "/velda9-cli", {"dump", QDir(folder).filePath(stem + "-3.vd")}, SimEnvironment());
        EXPECT_EQ(dump.out.count('\n'), 97); // the header and every record
    }
}

} // namespace
