// The outputs of velda9-cli as a user meets them: an output that is an input, a folder, a wrong extension,
// a system folder, names at the file-name limit, the file-size limit, a terminating signal mid-export, and
// workbooks written under decimal-comma locales, read back by openpyxl.
#include "QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <optional>

namespace {

struct CliRun {
    int exitCode = -1; ///< -1 when ended by a signal
    QString err;
};

CliRun Cli(const QStringList &args, const QStringList &env = {}, std::optional<rlim_t> fileSizeLimit = {},
           int signalAfterMs = -1, int signalNumber = 0) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &pair : env)
        environment.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
    process.setProcessEnvironment(environment);
    if (fileSizeLimit)
        process.setChildProcessModifier([limit = *fileSizeLimit] {
            const rlimit bound{limit, limit};
            setrlimit(RLIMIT_FSIZE, &bound);
        });
    process.start(QStringLiteral(VELDA_BIN_DIR "/velda9-cli"), args);
    if (signalAfterMs >= 0 && !process.waitForFinished(signalAfterMs))
        ::kill(process.processId(), signalNumber);
    process.waitForFinished(120000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardError())};
}

// A project file of `rows` rows (header included) and 10 columns; cell (1, 1) holds 260 digits.
QByteArray Project(int rows) {
    const auto le = [](qint32 v) {
        v = qToLittleEndian(v);
        return QByteArray(reinterpret_cast<const char *>(&v), 4);
    };
    QByteArray bytes = QByteArray("\1\0", 2) + le(10) + le(rows);
    for (int col = 0; col < 10; ++col) {
        for (int row = 0; row < rows; ++row) {
            const QByteArray cell = col == 1 && row == 1 ? QByteArray(260, '7')
                                    : row == 0           ? QByteArray("Col") + QByteArray::number(col)
                                                         : QByteArray::number(row * 10 + col) + ".25";
            bytes += le(static_cast<qint32>(cell.size())) + cell;
        }
    }
    return bytes;
}

class CliOutputTarget : public ::testing::Test {
protected:
    void SetUp() override {
        QFile file(at("x.vd"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(Project(50)) > 0);
    }
    QString at(const QString &name) const { return m_dir.filePath(name); }
    QStringList hidden() const {
        return QDir(m_dir.path()).entryList({QStringLiteral(".velda9*")}, QDir::Files | QDir::Hidden);
    }
    QTemporaryDir m_dir;
};

TEST_F(CliOutputTarget, RefusesWhatWouldLoseDataAndWritesNamesAtTheLimit) {
    ASSERT_TRUE(QFile::link(at("x.vd"), at("link.pdf")));
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("folder.xlsx")));
    const QString longAscii = at(QByteArray(251, 'a').append(".csv").constData());          // 255 bytes
    const QString longCyrillic = at(QString(125, QChar(0x0416)) + QStringLiteral(".xlsx")); // 255 bytes
    const QString name249 = at(QByteArray(245, 'm').append(".csv").constData());
    for (const QString &old : {longAscii, longCyrillic, name249}) {
        QFile file(old);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("old") == 3);
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    }
    const QString x = at("x.vd");
    const QString dotX = m_dir.path() + QStringLiteral("/./x.vd");
    const struct {
        const char *name;
        QStringList args;
        std::optional<rlim_t> fileSizeLimit;
        int exitCode;
        QString mentions;
    } cases[] = {
        {"export onto its input", {"export", x, "-o", x}, {}, 2, "это тот же файл, что и входной"},
        {"export onto ./input", {"export", x, "-o", dotX}, {}, 2, "это тот же файл, что и входной"},
        {"report onto a link", {"report", dotX, "-o", at("link.pdf")}, {}, 2, "это тот же файл"},
        {"summary onto its input", {"summary", x, "-o", dotX, "--lang", "en"}, {}, 2, "is the same file as"},
        {"summary as a picture", {"summary", x, "-o", at("s.png")}, {}, 2, "должно оканчиваться на .pdf"},
        {"export into a folder", {"export", x, "-o", at("folder.xlsx"), "--lang", "ru"}, {}, 4, "это папка"},
        {"read into /proc", {"read", "--simulate", "-o", "/proc/x.vd"}, {}, 4, "/proc/x.vd: "},
        {"workbook over the size limit", {"export", x, "-o", at("big.xlsx")}, 2000, 4, "превысил допустимый"},
        {"CSV over the size limit", {"export", x, "-o", at("big.csv")}, 2000, 4, "превысил допустимый"},
        {"bitmap over the size limit", {"screenshot", "--simulate", "-o", at("s.bmp")}, 2000, 4, "превысил"},
        {"255-byte name", {"export", x, "-o", longAscii}, {}, 0, "CSV"},
        {"255-byte Cyrillic name", {"export", x, "-o", longCyrillic}, {}, 0, "Книга сохранена"},
        {"249-byte name", {"export", x, "-o", name249}, {}, 0, "CSV"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const CliRun run = Cli(c.args, {}, c.fileSizeLimit);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.mentions)) << run.err.toStdString();
        if (c.args.front() == QLatin1String("read")) {
            EXPECT_FALSE(run.err.contains(QStringLiteral("Чтение"))) << "downloaded before refusing";
        }
        QFile input(x);
        ASSERT_TRUE(input.open(QIODevice::ReadOnly));
        EXPECT_EQ(input.readAll(), Project(50));
        EXPECT_EQ(hidden(), QStringList());
    }
    // Replaced, and with the permissions the user gave the old file.
    for (const QString &replaced : {longAscii, longCyrillic, name249}) {
        EXPECT_GT(QFile(replaced).size(), 100);
        EXPECT_EQ(QFile(replaced).permissions() & ~(QFile::ReadUser | QFile::WriteUser),
                  QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    }
}

TEST_F(CliOutputTarget, AnInterruptedExportLeavesNoTemporaryFile) {
    {
        QFile big(at("big.vd"));
        ASSERT_TRUE(big.open(QIODevice::WriteOnly) && big.write(Project(150000)) > 0);
    }
    const struct {
        int signalNumber;
        int afterMs;
    } cases[] = {{SIGINT, 200}, {SIGTERM, 500}, {SIGHUP, 800}, {SIGQUIT, 1100}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.signalNumber);
        QFile::remove(at("out.xlsx"));
        const CliRun run =
            Cli({"export", at("big.vd"), "-o", at("out.xlsx")}, {}, {}, c.afterMs, c.signalNumber);
        // Whenever the signal came, the folder holds the finished workbook or nothing new.
        EXPECT_EQ(hidden(), QStringList());
        if (run.exitCode != 0) {
            EXPECT_FALSE(QFile::exists(at("out.xlsx")));
        }
    }
}

TEST_F(CliOutputTarget, WorkbooksAreTheSameBytesUnderEveryLocaleAndOpenInOpenpyxl) {
    // Locales that are not installed are built for the test from the system's locale sources.
    const QString locales = at("locales");
    ASSERT_TRUE(QDir().mkpath(locales));
    for (const QString name : {"ru_RU", "de_DE"})
        ASSERT_EQ(
            QProcess::execute("localedef", {"-i", name, "-f", "UTF-8", locales + "/" + name + ".UTF-8"}), 0);
    ASSERT_EQ(Cli({"export", at("x.vd"), "-o", at("c.xlsx")}, {"LC_ALL=C.UTF-8"}).exitCode, 0);
    for (const char *locale : {"ru_RU.UTF-8", "de_DE.UTF-8"}) {
        SCOPED_TRACE(locale);
        const QString out = at(QStringLiteral("%1.xlsx").arg(QLatin1String(locale)));
        const QStringList env{"LOCPATH=" + locales, QStringLiteral("LC_ALL=") + locale};
        ASSERT_EQ(Cli({"export", at("x.vd"), "-o", out}, env).exitCode, 0);
        // Every part the same as under the C locale but the creation time; a width of 255 characters is
        // written as the spreadsheet programs write it.
        QProcess python;
        python.start(
            QStringLiteral("/usr/bin/python3"),
            {"-c",
             "import sys, zipfile, openpyxl; a, b = (zipfile.ZipFile(p) for p in sys.argv[1:]); "
             "same = a.namelist() == b.namelist() and all(a.read(n) == b.read(n) for n in "
             "a.namelist() if n != 'docProps/core.xml'); s = openpyxl.load_workbook(sys.argv[2]).active; "
             "print(same, s.column_dimensions['B'].width, s['A3'].value)",
             at("c.xlsx"), out});
        ASSERT_TRUE(python.waitForFinished(60000));
        EXPECT_EQ(python.readAllStandardOutput().trimmed(), QByteArray("True 255.7109375 20.25"))
            << python.readAllStandardError().constData();
    }
}

} // namespace
