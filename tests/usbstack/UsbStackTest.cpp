// velda9-cli through the system's libusb-0.1 against the simulated instrument emulated at usbfs, each
// scenario compared with the same scenario through the simulator switch.
#include "UsbfsInstrument.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <chrono>
#include <optional>

namespace {

using velda::sim::UsbfsInstrument;

enum class Link { Simulator, Usbfs };

struct CliRun {
    int exitCode = -1;
    QByteArray err;
};

QString BinDir() {
    const QByteArray fromEnv = qgetenv("VELDA9_BIN_DIR");
    return fromEnv.isEmpty() ? QStringLiteral(VELDA_BIN_DIR) : QString::fromLocal8Bit(fromEnv);
}

// velda9-cli started with "--lang en" after `args`. The simulator switch loads libvelda9-sim.so; the
// usbfs link loads libusb-0.1.so.4 by its plain name, as a user's program does, under the test bed's
// preload.
class Cli {
public:
    Cli(Link link, QStringList args, const QString &scenario) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("VELDA9_USB_LIBRARY"));
        env.insert(QStringLiteral("VELDA9_SIM_SCENARIO"), scenario);
        if (link == Link::Simulator) {
            args.insert(1, QStringLiteral("--simulate"));
        } else {
            env.insert(QStringLiteral("LD_PRELOAD"), QString::fromLatin1(UsbfsInstrument::PreloadLibrary()));
            // Under AddressSanitizer the preload comes before its runtime, which it accepts when told to.
            const QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
            env.insert(QStringLiteral("ASAN_OPTIONS"),
                       (asan.isEmpty() ? QString() : asan + QLatin1Char(':')) +
                           QStringLiteral("verify_asan_link_order=0"));
        }
        m_process.setProcessEnvironment(env);
        m_process.start(BinDir() + QStringLiteral("/velda9-cli"),
                        args + QStringList{QStringLiteral("--lang"), QStringLiteral("en")});
    }

    CliRun finish() {
        CliRun run;
        if (!m_process.waitForFinished(120000)) {
            m_process.kill();
            m_process.waitForFinished();
            return run;
        }
        run.exitCode = m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
        run.err = m_process.readAllStandardError();
        return run;
    }

private:
    QProcess m_process;
};

QByteArray Dump(const QString &file) {
    QProcess process;
    process.start(BinDir() + QStringLiteral("/velda9-cli"), {QStringLiteral("dump"), file});
    process.waitForFinished(60000);
    return process.readAllStandardOutput();
}

QByteArray FileBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString WriteScenario(const QTemporaryDir &dir, const QString &name, QJsonObject scenario) {
    const QString path = dir.filePath(name + QStringLiteral(".json"));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QJsonDocument(scenario).toJson());
    return path;
}

QJsonObject Generated(int format, int records) {
    return {{QStringLiteral("generate"), QJsonObject{{QStringLiteral("records"), records},
                                                     {QStringLiteral("format"), format},
                                                     {QStringLiteral("seed"), 11}}}};
}

QJsonObject WithFaults(QJsonObject scenario, const QJsonObject &faults) {
    scenario.insert(QStringLiteral("faults"), faults);
    return scenario;
}

QJsonArray One(const QJsonObject &rule) {
    return QJsonArray{rule};
}

QJsonObject Malformed(const char *command, const char *reply, int index = -1) {
    QJsonObject rule{{QStringLiteral("command"), QLatin1String(command)},
                     {QStringLiteral("reply"), QLatin1String(reply)}};
    if (index >= 0) rule.insert(QStringLiteral("index"), index);
    return {{QStringLiteral("malformed"), One(rule)}};
}

struct ReadCase {
    const char *name;
    QJsonObject scenario;
    int exitCode;          // of both links
    qsizetype rows;        // of the table read, header row included; 0: no file is written
    const char *errorText; // on stderr of both links, or empty
    bool timesOut;         // the usbfs link sees at least one transfer discarded after its timeout
};

// Every download ends alike through both links: exit status, table cell by cell, message.
TEST(UsbStack, ReadsTheSameTableThroughTheSystemLibraryAsThroughTheSimulatorSwitch) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::vector<ReadCase> cases = {
        {"format 0", Generated(0, 5), 0, 6, "", false},
        {"format 1", Generated(1, 5), 0, 6, "", false},
        {"format 2", Generated(2, 5), 0, 6, "", false},
        {"version reply times out once, the exchange asks again",
         WithFaults(Generated(2, 3),
                    {{QStringLiteral("fail"), One({{QStringLiteral("command"), QStringLiteral("version")},
                                                   {QStringLiteral("stage"), QStringLiteral("length")}})}}),
         0, 4, "", true},
        {"a short record reply fails its check", WithFaults(Generated(2, 3), Malformed("record", "short", 1)),
         5, 4, "CRC16 Error", false},
        {"record length field 0xFFFFFFFF reads no more than a record",
         WithFaults(Generated(2, 3), Malformed("record", "length_ffffffff")), 0, 4, "", false},
        {"record reply longer than the transfer",
         WithFaults(Generated(1, 3), Malformed("record", "oversize")), 0, 4, "", false},
        {"version reply longer than its buffer",
         WithFaults(Generated(2, 3), Malformed("version", "oversize")), 3, 0, "Link Error", false},
        {"version reply in zero-length packets",
         WithFaults(Generated(2, 3), Malformed("version", "zero_length")), 3, 0, "Link Error", false},
        {"version length field 0xFFFFFFFF",
         WithFaults(Generated(2, 3), Malformed("version", "length_ffffffff")), 3, 0, "Link Error", false},
        {"endless NAKs on a record reply",
         WithFaults(Generated(2, 4),
                    {{QStringLiteral("fail"), One({{QStringLiteral("command"), QStringLiteral("record")},
                                                   {QStringLiteral("index"), 2},
                                                   {QStringLiteral("stage"), QStringLiteral("length")},
                                                   {QStringLiteral("times"), -1}})}}),
         3, 3, "The link failed after 2 of 4 records", true},
        {"instrument removed in the record loop",
         WithFaults(Generated(2, 6), {{QStringLiteral("removed_at_record"), 3}}), 3, 4,
         "The link failed after 3 of 6 records", false},
        {"device node without write access",
         WithFaults(Generated(2, 3), {{QStringLiteral("open_error"), QStringLiteral("EACCES")}}), 3, 0,
         "Permission denied opening the instrument", false},
    };
    int n = 0;
    for (const ReadCase &c : cases) {
        SCOPED_TRACE(c.name);
        const QString scenario = WriteScenario(dir, QString::number(++n), c.scenario);
        // Both links run side by side; a download that can only fail is cut off after a few seconds
        // without progress.
        const QString timeout = c.rows > 0 ? QStringLiteral("30") : QStringLiteral("3");
        UsbfsInstrument device(scenario.toStdString());
        QString out[2];
        std::optional<Cli> runs[2];
        for (Link link : {Link::Simulator, Link::Usbfs}) {
            const int i = static_cast<int>(link);
            out[i] = dir.filePath(QStringLiteral("%1-%2.vd").arg(n).arg(i));
            runs[i].emplace(link,
                            QStringList{QStringLiteral("read"), QStringLiteral("-o"), out[i],
                                        QStringLiteral("--timeout"), timeout},
                            scenario);
        }
        QByteArray tables[2];
        for (Link link : {Link::Simulator, Link::Usbfs}) {
            SCOPED_TRACE(link == Link::Simulator ? "simulator switch" : "libusb-0.1 on usbfs");
            const int i = static_cast<int>(link);
            const CliRun run = runs[i]->finish();
            EXPECT_EQ(run.exitCode, c.exitCode) << run.err.constData();
            EXPECT_TRUE(run.err.contains(c.errorText)) << run.err.constData();
            EXPECT_EQ(QFile::exists(out[i]), c.rows > 0);
            if (c.rows > 0) {
                tables[i] = Dump(out[i]);
                EXPECT_EQ(tables[i].count('\n'), c.rows);
            }
        }
        const auto delays = device.discardDelays();
        EXPECT_EQ(!delays.empty(), c.timesOut);
        // libusb-0.1 gives up on an unanswered URB once its 500 ms have passed, counted from just before
        // the submission reaches the device, so the device sees a little less.
        for (const auto delay : delays)
            EXPECT_GE(delay, std::chrono::milliseconds(450));
        EXPECT_EQ(tables[0], tables[1]);
    }
}

// The clock payload as the instrument received it, and the screen grab, through the system library.
TEST(UsbStack, SetsTheClockAndGrabsTheScreenThroughTheSystemLibrary) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QJsonObject content = Generated(2, 3);
    content.insert(QStringLiteral("log"), dir.filePath(QStringLiteral("log.jsonl")));
    const QString scenario = WriteScenario(dir, QStringLiteral("clock"), content);
    {
        UsbfsInstrument device(scenario.toStdString());
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        const CliRun run = Cli(Link::Usbfs, {QStringLiteral("set-clock")}, scenario).finish();
        const QDateTime after = QDateTime::currentDateTime().addSecs(1);
        ASSERT_EQ(run.exitCode, 0) << run.err.constData();
        QJsonArray payload;
        for (const QByteArray &line : FileBytes(dir.filePath(QStringLiteral("log.jsonl"))).split('\n')) {
            const QJsonObject entry = QJsonDocument::fromJson(line).object();
            if (entry.value(QStringLiteral("payload")).isArray())
                payload = entry.value(QStringLiteral("payload")).toArray();
        }
        ASSERT_EQ(payload.size(), 6);
        // second, minute, hour, day, month, year - 2000
        const QDateTime set(QDate(2000 + payload[5].toInt(), payload[4].toInt(), payload[3].toInt()),
                            QTime(payload[2].toInt(), payload[1].toInt(), payload[0].toInt()));
        EXPECT_TRUE(set >= before && set <= after) << set.toString(Qt::ISODate).toStdString();
    }
    QByteArray pictures[2];
    const QString grab = WriteScenario(dir, QStringLiteral("screen"), Generated(2, 3));
    UsbfsInstrument device(grab.toStdString());
    for (Link link : {Link::Simulator, Link::Usbfs}) {
        const QString out = dir.filePath(QStringLiteral("screen-%1.bmp").arg(static_cast<int>(link)));
        const CliRun run =
            Cli(link, {QStringLiteral("screenshot"), QStringLiteral("-o"), out}, grab).finish();
        EXPECT_EQ(run.exitCode, 0) << run.err.constData();
        pictures[static_cast<int>(link)] = FileBytes(out);
    }
    EXPECT_FALSE(pictures[0].isEmpty());
    EXPECT_EQ(pictures[0], pictures[1]);
}

} // namespace
