// Write failures end to end: every command that writes a file runs with its file-size limit
// (RLIMIT_FSIZE) set at points across the whole output. Each must end with exit status 4 and a message,
// not by the file-size signal, leave the earlier file of that name byte for byte, and leave no temporary
// file behind. Where the machine lets the test mount a small file system, the same holds when that file
// system fills up at points across the output.
#include "QtPrinters.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/statvfs.h>

#include <functional>
#include <optional>
#include <vector>

namespace {

QString BinDir() {
    const QByteArray fromEnv = qgetenv("VELDA9_BIN_DIR");
    return fromEnv.isEmpty() ? QStringLiteral(VELDA_BIN_DIR) : QString::fromLocal8Bit(fromEnv);
}

struct ChildRun {
    bool exitedNormally = false;
    int exitCode = -1;
    QByteArray err;
};

// Runs velda9-cli with `args`; with a limit, every file the child writes stops at that many bytes.
ChildRun RunCli(const QStringList &args, const QString &scenario, std::optional<rlim_t> fileSizeLimit) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("VELDA9_USB_LIBRARY"));
    env.insert(QStringLiteral("VELDA9_SIM_SCENARIO"), scenario);
    process.setProcessEnvironment(env);
    if (fileSizeLimit) {
        const rlim_t limit = *fileSizeLimit;
        process.setChildProcessModifier([limit]() {
            const rlimit bound{limit, limit};
            setrlimit(RLIMIT_FSIZE, &bound);
        });
    }
    process.start(BinDir() + QStringLiteral("/velda9-cli"), args);
    ChildRun run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitedNormally = process.exitStatus() == QProcess::NormalExit;
    run.exitCode = process.exitCode();
    run.err = process.readAllStandardError();
    return run;
}

QByteArray ReadAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QStringList Entries(const QString &folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Limits from nothing to one byte short of `outputSize`: the edges and evenly spread points between.
std::vector<rlim_t> LimitsAcross(qint64 outputSize, int points) {
    std::vector<rlim_t> limits{0, 1, 2};
    for (int i = 1; i < points; ++i)
        limits.push_back(static_cast<rlim_t>(outputSize * i / points));
    limits.push_back(static_cast<rlim_t>(outputSize - 1));
    return limits;
}

struct OutputCase {
    const char *name;
    const char *fileName;
    /// The output carries the time it was made (a PDF's title and date), which changes its length from
    /// run to run by up to a few hundred bytes of embedded glyphs.
    bool timeStamped;
    std::function<QStringList(const QString &project, const QString &output)> args;
};

class WriteFailure : public ::testing::TestWithParam<OutputCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_scenario = m_dir.filePath(QStringLiteral("scenario.json"));
        // Outputs of several kilobytes; a download pauses for every record, so not many more.
        ASSERT_TRUE(WriteAll(m_scenario, R"({"firmware_date": "13.03.2018", "generate": {"records": 60}})"));
        m_project = m_dir.filePath(QStringLiteral("source.vd"));
        const ChildRun read =
            RunCli({QStringLiteral("read"), QStringLiteral("--simulate"), QStringLiteral("-o"), m_project},
                   m_scenario, std::nullopt);
        ASSERT_TRUE(read.exitedNormally && read.exitCode == 0) << read.err.constData();
        m_out = m_dir.filePath(QStringLiteral("out"));
        ASSERT_TRUE(QDir().mkpath(m_out));
    }

    QTemporaryDir m_dir;
    QString m_scenario;
    QString m_project;
    QString m_out;
};

TEST_P(WriteFailure, EveryCutLeavesTheOldFileAndNoTemporaryFile) {
    const OutputCase &c = GetParam();
    const QString target = QDir(m_out).filePath(QString::fromLatin1(c.fileName));
    const QStringList args = c.args(m_project, target);

    const ChildRun whole = RunCli(args, m_scenario, std::nullopt);
    ASSERT_TRUE(whole.exitedNormally && whole.exitCode == 0) << whole.err.constData();
    const qint64 outputSize = QFile(target).size();
    ASSERT_GT(outputSize, 100);

    QByteArray previous(1000, '\0');
    for (int i = 0; i < previous.size(); ++i)
        previous[i] = static_cast<char>('A' + i % 26);
    ASSERT_TRUE(WriteAll(target, previous));
    const QStringList entriesBefore = Entries(m_out);

    const qint64 surelyShort = c.timeStamped ? outputSize * 9 / 10 : outputSize;
    for (const rlim_t limit : LimitsAcross(surelyShort, 12)) {
        SCOPED_TRACE(testing::Message() << c.name << ", file size limit " << limit << " of " << outputSize);
        const ChildRun cut = RunCli(args, m_scenario, limit);
        EXPECT_TRUE(cut.exitedNormally) << "ended by a signal";
        EXPECT_EQ(cut.exitCode, 4) << cut.err.constData();
        EXPECT_FALSE(cut.err.trimmed().isEmpty());
        EXPECT_EQ(ReadAll(target), previous);
        EXPECT_EQ(Entries(m_out), entriesBefore);
    }
}

// A small memory file system mounted for the test; unmounted when the test ends. Needs the right to
// mount (root outside a restricted container), otherwise the test is skipped.
class SmallFileSystem {
public:
    explicit SmallFileSystem(const QString &where) : m_where(QFile::encodeName(where)) {
        m_mounted =
            ::mount("velda-test", m_where.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=512k") == 0;
    }
    ~SmallFileSystem() {
        if (m_mounted) ::umount2(m_where.constData(), MNT_DETACH);
    }
    [[nodiscard]] bool mounted() const { return m_mounted; }
    [[nodiscard]] qint64 freeBytes() const {
        struct statvfs info {};
        return ::statvfs(m_where.constData(), &info) == 0
                   ? static_cast<qint64>(info.f_bavail) * static_cast<qint64>(info.f_frsize)
                   : -1;
    }

private:
    QByteArray m_where;
    bool m_mounted = false;
};

TEST_P(WriteFailure, AFullFileSystemLeavesTheOldFileAndNoTemporaryFile) {
    const OutputCase &c = GetParam();
    const QString mountPoint = m_dir.filePath(QStringLiteral("small"));
    ASSERT_TRUE(QDir().mkpath(mountPoint));
    SmallFileSystem small(mountPoint);
    if (!small.mounted()) GTEST_SKIP() << "no right to mount a small file system here";

    const QString target = QDir(mountPoint).filePath(QString::fromLatin1(c.fileName));
    const QStringList args = c.args(m_project, target);
    const ChildRun whole = RunCli(args, m_scenario, std::nullopt);
    ASSERT_TRUE(whole.exitedNormally && whole.exitCode == 0) << whole.err.constData();
    const qint64 outputSize = QFile(target).size();
    const QByteArray previous(300, 'P');
    ASSERT_TRUE(WriteAll(target, previous));
    const QString filler = QDir(mountPoint).filePath(QStringLiteral("filler"));
    const QStringList entriesBefore = Entries(mountPoint) << QStringLiteral("filler");

    // The file system counts whole pages: room left from none to just under the output.
    for (const qint64 room : {qint64(0), outputSize / 4, outputSize / 2, outputSize - 4096}) {
        if (room < 0) continue;
        SCOPED_TRACE(testing::Message() << c.name << ", " << room << " bytes free for " << outputSize);
        QFile::remove(filler);
        ASSERT_TRUE(WriteAll(filler, QByteArray(std::max<qint64>(small.freeBytes() - room, 0), 'f')));
        const ChildRun full = RunCli(args, m_scenario, std::nullopt);
        EXPECT_TRUE(full.exitedNormally) << "ended by a signal";
        EXPECT_EQ(full.exitCode, 4) << full.err.constData();
        EXPECT_FALSE(full.err.trimmed().isEmpty());
        EXPECT_EQ(ReadAll(target), previous);
        QStringList entries = Entries(mountPoint);
        entries.sort();
        QStringList expected = entriesBefore;
        expected.sort();
        EXPECT_EQ(entries, expected);
    }
}

std::vector<OutputCase> Outputs() {
    std::vector<OutputCase> cases{
        {"project", "saved.vd", false,
         [](const QString &, const QString &output) {
             return QStringList{QStringLiteral("read"), QStringLiteral("--simulate"), QStringLiteral("-o"),
                                output};
         }},
        {"workbook", "table.xlsx", false,
         [](const QString &project, const QString &output) {
             return QStringList{QStringLiteral("export"), project, QStringLiteral("-o"), output};
         }},
        {"csv", "table.csv", false,
         [](const QString &project, const QString &output) {
             return QStringList{QStringLiteral("export"), project, QStringLiteral("-o"), output};
         }},
        {"bitmap", "screen.bmp", false,
         [](const QString &, const QString &output) {
             return QStringList{QStringLiteral("screenshot"), QStringLiteral("--simulate"),
                                QStringLiteral("-o"), output};
         }},
    };
    cases.push_back({"report", "report.pdf", true, [](const QString &project, const QString &output) {
                         return QStringList{QStringLiteral("report"), project, QStringLiteral("-o"), output};
                     }});
    cases.push_back({"plot", "plot.pdf", true, [](const QString &project, const QString &output) {
                         return QStringList{QStringLiteral("plot"), project, QStringLiteral("-o"), output};
                     }});
    cases.push_back({"summary", "summary.pdf", true, [](const QString &project, const QString &output) {
                         return QStringList{QStringLiteral("summary"), project, QStringLiteral("-o"), output};
                     }});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Outputs, WriteFailure, ::testing::ValuesIn(Outputs()),
                         [](const ::testing::TestParamInfo<OutputCase> &row) {
                             return std::string(row.param.name);
                         });

} // namespace
