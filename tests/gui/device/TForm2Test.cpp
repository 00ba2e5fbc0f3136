// The progress dialog TForm2 and QtExchangeUi with real exchanges against the simulated instrument.
#include "device/TForm2.h"

#include "base/Texts.h"
#include "device/LibUsbBinding.h"
#include "device/QtExchangeUi.h"
#include "device/SharedState.h"
#include "device/ShowStatus.h"

#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <cstdlib>
#include <fstream>

using namespace velda;

namespace {

QApplication &App() {
    static int argc = 1;
    static char name[] = "DeviceWindowTest";
    static char *argv[] = {name, nullptr};
    static auto *app = new QApplication(argc, argv);
    return *app;
}

class TForm2Test : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        App();
        LibUSB.useSimulator(true);
    }
    static void TearDownTestSuite() { ShutdownDeviceLink(ProcessGuiEvents); }
    void SetUp() override { ASSERT_TRUE(ResetSharedState()); }
    void TearDown() override {
        StopExchange(ProcessGuiEvents);
        ::unsetenv("VELDA9_SIM_SCENARIO");
    }

    void useScenario(const std::string &json) {
        const std::string path = m_dir.filePath(QStringLiteral("s%1.json").arg(m_count++)).toStdString();
        std::ofstream(path) << json;
        ::setenv("VELDA9_SIM_SCENARIO", path.c_str(), 1);
    }

    static ExchangeSetup MakeSetup() {
        ExchangeSetup setup;
        setup.ui = &QtExchangeUi::instance();
        setup.sleeper = [](std::chrono::milliseconds) {};
        return setup;
    }

    QTemporaryDir m_dir;
    int m_count = 0;
};

} // namespace

TEST_F(TForm2Test, LayoutAndCancelTextInEitherLanguage) {
    for (std::uint8_t language : {0, 1}) {
        SCOPED_TRACE(language);
        LanguageIndex.store(language);
        TForm2 form;
        EXPECT_EQ(form.size(), QSize(338, 40));
        EXPECT_EQ(form.CGauge1->size(), QSize(337, 17));
        EXPECT_EQ(form.CGauge1->minimum(), 0);
        EXPECT_EQ(form.CGauge1->maximum(), 100);
        EXPECT_EQ(form.Button1->size(), QSize(69, 21));
        EXPECT_EQ(form.Button1->text(), "Отмена");
        EXPECT_TRUE(form.windowTitle().isEmpty());
        EXPECT_TRUE(form.Label1->text().isEmpty());
        EXPECT_GT(form.Button1->x(), form.Label1->x());
    }
}

TEST_F(TForm2Test, CancelAndCloseBoxOnlyRequestCancel) {
    TForm2 form;
    form.show();
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    EXPECT_TRUE(CancelRequested.load());
    EXPECT_TRUE(form.isVisible());
    CancelRequested.store(false);
    form.close();
    EXPECT_TRUE(CancelRequested.load());
    EXPECT_TRUE(form.isVisible());
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_TRUE(form.isVisible());
    form.closeDialog();
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(form.closedByExchange());
}

TEST_F(TForm2Test, ArchiveReadDrivesTheDialogUntilStateTenClosesIt) {
    useScenario(R"({"firmware_date": "13.03.2018", "generate": {"records": 12, "format": 2}})");
    TForm2 form;
    std::uint32_t handedOver = 0;
    bool handOverOnWorker = false;
    ExchangeSetup setup = MakeSetup();
    setup.handOver = [&](const ReceivedArchive &archive) {
        handedOver = archive.recordCount;
        handOverOnWorker = QThread::currentThread() != App().thread();
    };
    std::vector<int> gaugeValues;
    QObject::connect(form.CGauge1, &QProgressBar::valueChanged,
                     [&](int value) { gaugeValues.push_back(value); });
    ASSERT_EQ(StartArchiveRead(std::move(setup), form.controls()), StartResult::Started);
    form.RunModal();
    ASSERT_TRUE(WaitForExchange(std::chrono::seconds(60), ProcessGuiEvents));
    EXPECT_TRUE(form.closedByExchange());
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(handedOver, 12u);
    EXPECT_TRUE(handOverOnWorker);
    EXPECT_EQ(form.windowTitle(), "Чтение данных");
    EXPECT_EQ(form.Label1->text(), "Готово");
    EXPECT_TRUE(form.CGauge1->isHidden());
    ASSERT_FALSE(gaugeValues.empty());
    EXPECT_EQ(gaugeValues.back(), 100);
}

TEST_F(TForm2Test, CancelWhileTheInstrumentIsMissingClosesTheDialog) {
    useScenario(R"({"firmware_date": "13.03.2018", "faults": {"absent_ms": 3600000}})");
    LanguageIndex.store(1);
    TForm2 form;
    bool handedOver = false;
    ExchangeSetup setup = MakeSetup();
    setup.handOver = [&](const ReceivedArchive &) { handedOver = true; };
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        // One click: a later one would land after the exchange has ended and leave a cancel pending.
        if (form.Label1->text() == "Check Connection") {
            poll.stop();
            QTest::mouseClick(form.Button1, Qt::LeftButton);
        }
    });
    poll.start(1);
    ASSERT_EQ(StartArchiveRead(std::move(setup), form.controls()), StartResult::Started);
    form.RunModal();
    ASSERT_TRUE(WaitForExchange(std::chrono::seconds(60), ProcessGuiEvents));
    EXPECT_TRUE(form.closedByExchange());
    EXPECT_EQ(form.windowTitle(), "Connection");
    EXPECT_FALSE(handedOver);
    EXPECT_FALSE(CancelRequested.load());
}

TEST_F(TForm2Test, MessageBoxesOpenOnTheGuiThreadAndBlockTheWorker) {
    useScenario(R"({"firmware_date": "13.03.2018", "generate": {"records": 3, "format": 2},
                    "param_block_check": "bad"})");
    TForm2 form;
    QString boxText;
    QString boxCaption;
    QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
    bool boxOnGuiThread = false;
    bool dialogOpenWhileBox = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) return;
        boxText = box->text();
        boxCaption = box->windowTitle();
        boxIcon = box->icon();
        boxOnGuiThread = box->thread() == App().thread();
        dialogOpenWhileBox = form.isVisible() && !form.closedByExchange();
        box->button(QMessageBox::Ok)->click();
    });
    poll.start(1);
    ASSERT_EQ(StartArchiveRead(MakeSetup(), form.controls()), StartResult::Started);
    form.RunModal();
    ASSERT_TRUE(WaitForExchange(std::chrono::seconds(60), ProcessGuiEvents));
    EXPECT_EQ(boxText, "Ошибка контрольной суммы");
    EXPECT_EQ(boxCaption, "Внимание");
    EXPECT_EQ(boxIcon, QMessageBox::Critical);
    EXPECT_TRUE(boxOnGuiThread);
    EXPECT_TRUE(dialogOpenWhileBox);
    EXPECT_EQ(form.Label1->text(), "Ошибка связи");
}

// Records the text of a label each time it is painted.
class PaintedTexts : public QObject {
public:
    explicit PaintedTexts(QLabel *label) : m_label(label) { label->installEventFilter(this); }
    QString last;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched == m_label && event->type() == QEvent::Paint) last = m_label->text();
        return false;
    }

private:
    QLabel *m_label;
};

// A status text is on screen before the pause meant to show it ("No Data" holds the GUI thread 300 ms)
// and before state 10 closes the dialog ("Ready").
TEST_F(TForm2Test, StatusTextsArePaintedBeforeThePauseAndTheClose) {
    struct Case {
        const char *name;
        const char *scenario;
        QString atPause; ///< painted when the GUI thread starts its pause (empty: no pause expected)
        QString atClose; ///< painted when the dialog closes
    };
    const Case cases[] = {
        {"empty archive", R"({"firmware_date": "13.03.2018", "records_hex": []})", "Данных нет",
         "Данных нет"},
        {"three records",
         R"({"firmware_date": "13.03.2018", "generate": {"records": 3, "format": 2}})",
         {},
         "Готово"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(ResetSharedState()); // the status of the last read would show again at the start
        useScenario(c.scenario);
        TForm2 form;
        PaintedTexts painted(form.Label1);
        QString atPause;
        QString atClose;
        ExchangeSetup setup = MakeSetup();
        setup.sleeper = [&](std::chrono::milliseconds) {
            if (QThread::currentThread() == App().thread()) atPause = painted.last;
        };
        QObject::connect(&form, &QDialog::finished, [&] { atClose = painted.last; });
        ASSERT_EQ(StartArchiveRead(std::move(setup), form.controls()), StartResult::Started);
        form.RunModal();
        ASSERT_TRUE(WaitForExchange(std::chrono::seconds(60), ProcessGuiEvents));
        EXPECT_EQ(atPause, c.atPause);
        EXPECT_EQ(atClose, c.atClose);
    }
}

TEST_F(TForm2Test, RunBlockingOnTheGuiThreadRunsInlineAndAfterShutdownDrops) {
    QtExchangeUi ui;
    int calls = 0;
    ui.runBlocking([&] { ++calls; });
    EXPECT_EQ(calls, 1);
    ui.shutdown();
    std::thread worker([&] { ui.runBlocking([&] { ++calls; }); });
    worker.join();
    EXPECT_EQ(calls, 1);
}

TEST_F(TForm2Test, ALongExplanationWrapsAndTheDialogGrowsToShowIt) {
    TForm2 form;
    const QSize normal = form.size();
    form.setStatusText(PickIn(TxtPermissionDenied, 1));
    EXPECT_TRUE(form.Label1->wordWrap());
    EXPECT_GT(form.height(), normal.height());
    EXPECT_GE(form.Label1->height(), form.Label1->heightForWidth(form.Label1->width()));
    form.setStatusText(PickIn(TxtCheckConnection, 1));
    EXPECT_EQ(form.size(), normal);
}
