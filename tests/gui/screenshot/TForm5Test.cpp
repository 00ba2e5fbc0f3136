// The screenshot window under offscreen rendering, reading the simulated instrument's screen.
#include "screenshot/TForm5.h"

#include "QtPrinters.h"
#include "device/LibUsbBinding.h"
#include "device/QtExchangeUi.h"
#include "device/ShowStatus.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <array>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace velda {
namespace {

QApplication &App() {
    static int argc = 1;
    static char name[] = "ScreenshotWindowTest";
    static char *argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

using Screen = std::array<std::uint8_t, kScreenImageSize>;

std::string Hex(const Screen &screen) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::uint8_t b : screen) {
        text.push_back(digits[b >> 4]);
        text.push_back(digits[b & 0x0F]);
    }
    return text;
}

// Every pixel of `image` against the framed matrix of `screen` in the two colours.
void ExpectPicture(const QImage &image, const Screen &screen, QColor pen, QColor background) {
    ASSERT_EQ(image.width(), kPixelMatrixWidth);
    ASSERT_EQ(image.height(), kPixelMatrixHeight);
    const PixelMatrix matrix(screen);
    for (int y = 0; y < kPixelMatrixHeight; ++y)
        for (int x = 0; x < kPixelMatrixWidth; ++x)
            ASSERT_EQ(image.pixel(x, y) & 0xFFFFFF, (matrix.at(x, y) ? pen : background).rgb() & 0xFFFFFF)
                << "x " << x << " y " << y;
}

class ScreenshotWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        App();
        LibUSB.useSimulator(true);
    }
    static void TearDownTestSuite() { StopExchange(ProcessGuiEvents); }

    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        CancelRequested.store(false);
    }
    void TearDown() override {
        StopExchange(ProcessGuiEvents);
        ::unsetenv("VELDA9_SIM_SCENARIO");
    }

    void useScenario(nlohmann::json scenario) {
        m_logPath = m_dir.filePath(QStringLiteral("log%1.jsonl").arg(m_count)).toStdString();
        scenario["log"] = m_logPath;
        const std::string path =
            m_dir.filePath(QStringLiteral("scenario%1.json").arg(m_count++)).toStdString();
        std::ofstream(path) << scenario.dump();
        ::setenv("VELDA9_SIM_SCENARIO", path.c_str(), 1);
    }

    std::vector<std::string> commands() const {
        std::vector<std::string> names;
        std::ifstream file(m_logPath);
        for (std::string line; std::getline(file, line);)
            names.push_back(nlohmann::json::parse(line)["command"].get<std::string>());
        return names;
    }

    // Pauses that do not sleep, the file dialog answered with m_answer (nullopt: cancelled), errors
    // collected in m_errors when m_collectErrors, a failure otherwise.
    WindowServices services() {
        WindowServices s = DefaultWindowServices();
        s.sleep = [](std::chrono::milliseconds) {};
        s.runFileDialog = [this](QFileDialog &) { return m_answer; };
        s.showError = [this](QWidget *, const QString &, const QString &text) {
            if (!m_collectErrors) ADD_FAILURE() << text.toStdString();
            m_errors << text;
        };
        s.openProject = [this] { return m_project; };
        return s;
    }

    // Update, wait for the exchange to end while serving its status displays, then the poll's tick.
    static void readScreen(TForm5 &form) {
        form.Button1->click();
        ASSERT_TRUE(form.reading());
        EXPECT_FALSE(form.Button1->isEnabled());
        EXPECT_TRUE(form.CGauge1->isVisible());
        EXPECT_TRUE(form.Timer1->isActive());
        ASSERT_TRUE(WaitForExchange(std::chrono::seconds(60), ProcessGuiEvents));
        QCoreApplication::processEvents();
        form.Timer1Timer();
    }

    QTemporaryDir m_dir;
    std::optional<QString> m_answer;
    QStringList m_errors;
    bool m_collectErrors = false;
    QString m_project;
    std::string m_logPath;
    int m_count = 0;
};

TEST_F(ScreenshotWindowTest, ReadsDrawsSavesAndCopiesTheInstrumentScreen) {
    Screen screen{};
    screen[0] = 0x01;
    screen[127] = 0x80;
    screen[1023] = 0x80;
    for (std::size_t k = 300; k < 340; ++k)
        screen[k] = static_cast<std::uint8_t>(0x5A ^ k);
    useScenario({{"firmware_date", "13.03.2018"}, {"screen_hex", Hex(screen)}});

    TForm5 form(nullptr, services());
    const QString path = m_dir.filePath(QStringLiteral("screen.bmp"));
    m_answer = path;
    form.show();
    EXPECT_TRUE(form.Image1->image().isNull()) << "each opening starts with an empty picture";
    EXPECT_FALSE(form.CGauge1->isVisible());

    form.CheckBox1->click();
    EXPECT_EQ(form.fileName(), path);
    form.CheckBox2->setChecked(true);
    TForm5::selectColor(form.ColorBox1, QColor(0x00, 0x00, 0x80));
    TForm5::selectColor(form.ColorBox2, QColor(0xFF, 0xFF, 0x00));

    readScreen(form);
    EXPECT_FALSE(form.reading());
    EXPECT_TRUE(form.Button1->isEnabled());
    EXPECT_FALSE(form.CGauge1->isVisible());
    EXPECT_FALSE(form.Timer1->isActive());

    const QColor navy(0, 0, 0x80), yellow(0xFF, 0xFF, 0);
    ExpectPicture(form.Image1->image(), screen, navy, yellow);
    EXPECT_EQ(form.Image1->image().pixel(2, 2) & 0xFFFFFF, navy.rgb() & 0xFFFFFF);
    EXPECT_EQ(form.Image1->image().pixel(129, 65) & 0xFFFFFF, navy.rgb() & 0xFFFFFF);
    ExpectPicture(QImage(path, "BMP"), screen, navy, yellow);
    ExpectPicture(QGuiApplication::clipboard()->image(), screen, navy, yellow);

    // Colours are read at drawing time: a later change leaves the picture alone.
    TForm5::selectColor(form.ColorBox1, Qt::red);
    ExpectPicture(form.Image1->image(), screen, navy, yellow);

    // A second read overwrites the file, now in the new colours.
    readScreen(form);
    ExpectPicture(QImage(path, "BMP"), screen, Qt::red, yellow);
    const std::vector<std::string> expected{"version", "screen", "screen"};
    EXPECT_EQ(commands(), expected);
}

TEST_F(ScreenshotWindowTest, GaugeDisappearsWhenTheExchangeEnds) {
    Screen screen{};
    screen[5] = 0xFF;
    useScenario({{"firmware_date", "13.03.2018"}, {"screen_hex", Hex(screen)}});
    TForm5 form(nullptr, services());
    form.show();
    form.Button1->click();
    ASSERT_TRUE(form.CGauge1->isVisible());
    // The poll has not come round yet when the exchange reports its end.
    form.Timer1->stop();
    ASSERT_TRUE(WaitForExchange(std::chrono::seconds(60), ProcessGuiEvents));
    QCoreApplication::processEvents();
    EXPECT_EQ(form.Label3->text(), QStringLiteral("Готово"));
    EXPECT_FALSE(form.CGauge1->isVisible());
    // The poll's next tick still draws the picture of this read.
    form.Timer1Timer();
    EXPECT_FALSE(form.reading());
    ExpectPicture(form.Image1->image(), screen, Qt::black, Qt::white);
    EXPECT_FALSE(form.CGauge1->isVisible());
}

TEST_F(ScreenshotWindowTest, CancelledFileDialogKeepsTheBoxTickedAndSavesNothing) {
    useScenario({{"firmware_date", "13.03.2018"}});
    TForm5 form(nullptr, services());
    m_answer.reset();
    form.show();
    form.CheckBox1->click();
    EXPECT_TRUE(form.CheckBox1->isChecked());
    EXPECT_TRUE(form.fileName().isEmpty());
    readScreen(form);
    EXPECT_FALSE(form.Image1->image().isNull());
    EXPECT_TRUE(QDir(m_dir.path()).entryList({QStringLiteral("*.bmp")}, QDir::Files).isEmpty());
}

TEST_F(ScreenshotWindowTest, FailedSaveIsReportedOnceAndTheWindowGoesOn) {
    useScenario({{"firmware_date", "13.03.2018"}});
    TForm5 form(nullptr, services());
    const QString path = m_dir.filePath(QStringLiteral("missing/screen.bmp"));
    m_answer = path;
    m_collectErrors = true;
    form.show();
    form.CheckBox1->click();
    form.CheckBox2->setChecked(true);
    QGuiApplication::clipboard()->clear();
    readScreen(form);
    ASSERT_EQ(m_errors.size(), 1);
    EXPECT_TRUE(m_errors.front().startsWith(path)) << m_errors.front().toStdString();
    EXPECT_FALSE(form.reading());
    EXPECT_FALSE(form.Timer1->isActive());
    EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(kPixelMatrixWidth, kPixelMatrixHeight))
        << "the clipboard still receives the picture";
}

// A file the save must leave alone is reported and kept byte for byte: one protected by the user, and the
// project open in the main window.
TEST_F(ScreenshotWindowTest, ProtectedFilesAreReportedAndKept) {
    struct Case {
        const char *file;
        bool openProject;
        const char *reason;
    };
    useScenario({{"firmware_date", "13.03.2018"}});
    for (const Case &c : {Case{"protected.bmp", false, "только для чтения"},
                          Case{"Arhive.vd", true, "это тот же файл, что и входной"}}) {
        SCOPED_TRACE(c.file);
        m_errors.clear();
        const QString path = m_dir.filePath(QLatin1String(c.file));
        const QByteArray old("the user's own file");
        {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(old) == old.size());
        }
        if (!c.openProject) {
            ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        }
        m_project = c.openProject ? path : QString();
        m_answer = path;
        m_collectErrors = true;
        TForm5 form(nullptr, services());
        form.show();
        form.CheckBox1->click();
        readScreen(form);
        ASSERT_EQ(m_errors.size(), 1);
        EXPECT_TRUE(m_errors.front().contains(QString::fromUtf8(c.reason))) << m_errors.front().toStdString();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), old);
        EXPECT_FALSE(form.Image1->image().isNull()) << "the picture is still shown";
    }
}

TEST_F(ScreenshotWindowTest, ClosingWhileTheReadRetriesEndsTheExchange) {
    useScenario({{"faults", {{"absent_ms", 3600000}}}});
    TForm5 form(nullptr, services());
    form.show();
    form.Button1->click();
    ASSERT_TRUE(form.reading());
    // Serve a few status displays of the retrying exchange; the label shows why it cannot go on.
    for (int i = 0; i < 50 && form.Label3->text().isEmpty(); ++i)
        ProcessGuiEvents();
    EXPECT_TRUE(ExchangeRunning());
    form.reject();
    EXPECT_FALSE(ExchangeRunning());
    EXPECT_FALSE(form.reading());
    EXPECT_TRUE(form.Button1->isEnabled());
}

TEST_F(ScreenshotWindowTest, ReadStoppedElsewhereReturnsTheWindowToIdle) {
    useScenario({{"faults", {{"absent_ms", 3600000}}}});
    TForm5 form(nullptr, services());
    form.show();
    form.Button1->click();
    ASSERT_TRUE(form.reading());
    StopExchange(ProcessGuiEvents);
    form.Timer1Timer();
    EXPECT_FALSE(form.reading());
    EXPECT_TRUE(form.Button1->isEnabled());
    EXPECT_TRUE(form.Image1->image().isNull()) << "no picture without an image";
}

} // namespace
} // namespace velda
