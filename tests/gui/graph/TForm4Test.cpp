// The graph window opened from the simulated instrument's demo archive, driven with clicks and mouse
// events on the chart, offscreen.
#include "graph/TForm4.h"

#include "QtPrinters.h"
#include "archive/ArchiveDownload.h"
#include "base/SystemFormats.h"
#include "base/Texts.h"
#include "device/Exchange.h"
#include "device/LibUsbBinding.h"

#include <QAnimationDriver>
#include <QApplication>
#include <QChartView>
#include <QCheckBox>
#include <QDateTimeAxis>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QGroupBox>
#include <QLabel>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScatterSeries>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QValueAxis>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace velda;

namespace {

class InlineUi : public ExchangeUi {
public:
    void runBlocking(const std::function<void()> &call) override { call(); }
    void showMessage(const QString &, const QString &, MessageIcon) override {}
};

QApplication *App() {
    static int argc = 1;
    static char name[] = "TForm4Test";
    static char *argv[] = {name, nullptr};
    static auto *app = new QApplication(argc, argv);
    return app;
}

// The demo archive of the simulated instrument, read through the real binding and filled into a table
// with Russian formats, once for all tests.
const ArchiveTable &DemoTable() {
    static const ArchiveTable table = [] {
        LibUSB.useSimulator(true);
        CancelRequested = false;
        VersionPending = true;
        ArchiveTable shown;
        auto download = std::make_shared<ArchiveDownload>(shown);
        InlineUi ui;
        ExchangeSetup setup;
        setup.ui = &ui;
        setup.sleeper = [](std::chrono::milliseconds) {};
        setup.handOver = download->handOver();
        EXPECT_EQ(StartArchiveRead(std::move(setup), {}), StartResult::Started);
        EXPECT_TRUE(WaitForExchange(std::chrono::seconds(60)));
        ShutdownDeviceLink();
        EXPECT_TRUE(download->swapInto(shown));
        return shown;
    }();
    return table;
}

// Replaces the animation clock: animations move only when a test steps them (no waiting, no race).
struct StoppedAnimationClock : QAnimationDriver {
    StoppedAnimationClock() { install(); }
};

class TForm4Test : public testing::Test {
protected:
    static void SetUpTestSuite() {
        App();
        static StoppedAnimationClock clock;
        SetCurrentFormats(SystemFormats::FromLocale(QLocale(QLocale::Russian, QLocale::Russia)));
        LanguageIndex = 0;
        ASSERT_GT(DemoTable().rowCount(), 100);
    }

    void SetUp() override {
        m_services.showError = [this](QWidget *, const QString &, const QString &text) {
            m_errors.append(text);
        };
        m_services.pickColour = [this](const QColor &initial, QWidget *) { return m_pick(initial); };
        m_table = DemoTable();
        m_table.setChannels({true, true});
        m_form = std::make_unique<TForm4>(m_table, nullptr, m_services);
        m_form->show();
        QCoreApplication::processEvents();
        m_plot = m_form->plotRect();
    }

    void TearDown() override { m_form.reset(); }

    void send(QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons held) {
        QWidget *target = m_form->Chart1->viewport();
        QMouseEvent event(type, QPointF(pos), QPointF(target->mapToGlobal(pos)), button, held,
                          Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    }
    void press(QPoint pos, Qt::MouseButton b = Qt::LeftButton) { send(QEvent::MouseButtonPress, pos, b, b); }
    void move(QPoint pos, Qt::MouseButtons held = Qt::NoButton) {
        send(QEvent::MouseMove, pos, Qt::NoButton, held);
    }
    void release(QPoint pos, Qt::MouseButton b = Qt::LeftButton) {
        send(QEvent::MouseButtonRelease, pos, b, Qt::NoButton);
    }
    void doubleClick(QPoint pos) {
        press(pos);
        release(pos);
        send(QEvent::MouseButtonDblClick, pos, Qt::LeftButton, Qt::LeftButton);
        release(pos);
    }

    ArchiveTable m_table;
    std::unique_ptr<TForm4> m_form;
    PlotRect m_plot;
    QStringList m_errors;
    std::function<std::optional<QColor>(const QColor &)> m_pick = [](const QColor &) { return std::nullopt; };
    WindowServices m_services = DefaultWindowServices();
};

// Clicks a check box or radio button on its indicator (the middle of a wide box may lie past its text).
void ClickBox(QWidget *box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

double MaxY(const SeriesState &s) {
    double hi = -1e300;
    for (const GraphPoint &p : s.points)
        hi = std::max(hi, p.y);
    return hi;
}

double MinY(const SeriesState &s) {
    double lo = 1e300;
    for (const GraphPoint &p : s.points)
        lo = std::min(lo, p.y);
    return lo;
}

} // namespace

TEST_F(TForm4Test, OpensWithBothChannelsOnTheirAxes) {
    TForm4 &f = *m_form;
    EXPECT_TRUE(m_errors.isEmpty()) << m_errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("График измерений"));
    EXPECT_TRUE(f.GroupBox1->isVisible());
    EXPECT_TRUE(f.GroupBox2->isVisible());
    EXPECT_EQ(f.Series1->count(), static_cast<int>(f.model().series(0).points.size()));
    EXPECT_GT(f.Series1->count(), 100);
    EXPECT_GT(f.Series4->count(), 100);
    EXPECT_TRUE(f.LeftAxis->isVisible());
    EXPECT_TRUE(f.RightAxis->isVisible());
    EXPECT_TRUE(f.LeftAxis->titleText().endsWith(QStringLiteral("Канал 1")));
    EXPECT_TRUE(f.RightAxis->titleText().endsWith(QStringLiteral("Канал 2")));
    EXPECT_EQ(f.CheckBox1->text(), m_table.cell(6, 1));
    EXPECT_EQ(f.Series1->color(), QColor(255, 0, 0));
    EXPECT_EQ(f.Series4->color(), QColor(0, 0, 255));
    EXPECT_DOUBLE_EQ(f.LeftAxis->max(), f.interaction().left().max);
    EXPECT_TRUE(f.RadioButton3->isChecked());
    EXPECT_TRUE(f.RadioButton8->isChecked());
    EXPECT_TRUE(f.StatusBar1->currentMessage().isEmpty());
    // Opening a second window builds again from the (now sorted) table.
    TForm4 second(m_table);
    EXPECT_EQ(second.model().series(0).points, f.model().series(0).points);
}

TEST_F(TForm4Test, RadioButtonsAndCheckBoxesDriveSeriesAndTitles) {
    TForm4 &f = *m_form;
    // Pick the channel with the humidity choice.
    const bool ch1Hygro = f.RadioButton2->isVisible();
    const bool ch2Hygro = f.RadioButton6->isVisible();
    ASSERT_TRUE(ch1Hygro || ch2Hygro);
    QRadioButton *humidity = ch1Hygro ? f.RadioButton2 : f.RadioButton6;
    QLineSeries *primary = ch1Hygro ? f.Series1 : f.Series4;
    QLineSeries *hum = ch1Hygro ? f.Series2 : f.Series5;
    QValueAxis *axis = ch1Hygro ? f.LeftAxis : f.RightAxis;
    ClickBox(humidity);
    EXPECT_TRUE(humidity->isChecked());
    EXPECT_FALSE(primary->isVisible());
    EXPECT_TRUE(hum->isVisible());
    EXPECT_TRUE(axis->titleText().startsWith(QStringLiteral("Влажность, %")));
    EXPECT_FALSE((ch1Hygro ? f.CheckBox2 : f.CheckBox4)->isEnabled());

    // Channel 1 to the right axis: both share it, the left axis goes.
    ClickBox(f.RadioButton4);
    EXPECT_FALSE(f.LeftAxis->isVisible());
    EXPECT_TRUE(f.RightAxis->titleText().contains(QStringLiteral("<br>")));
    EXPECT_EQ(f.Series1->attachedAxes().contains(f.RightAxis), true);

    // Hiding channel 2 hides its lines and leaves the axes as they are.
    ClickBox(f.CheckBox3);
    EXPECT_FALSE(f.CheckBox3->isChecked());
    EXPECT_FALSE(f.Series4->isVisible());
    EXPECT_FALSE(f.Series5->isVisible());
    EXPECT_FALSE(f.RadioButton7->isEnabled());
}

TEST_F(TForm4Test, SwatchTakesTheChosenColour) {
    TForm4 &f = *m_form;
    m_pick = [](const QColor &) { return std::optional<QColor>(QColor(10, 20, 30)); };
    QTest::mouseClick(f.Panel1, Qt::LeftButton);
    EXPECT_EQ(f.Series1->color(), QColor(10, 20, 30));
    EXPECT_EQ(f.Panel1->colour(), std::optional<QColor>(QColor(10, 20, 30)));
    m_pick = [](const QColor &) { return std::optional<QColor>(); };
    QTest::mouseClick(f.Panel1, Qt::LeftButton);
    EXPECT_EQ(f.Series1->color(), QColor(10, 20, 30));
}

TEST_F(TForm4Test, DraggingAndSnappingAxisEnds) {
    TForm4 &f = *m_form;
    const double min = f.LeftAxis->min();
    const double max = f.LeftAxis->max();
    const int h = f.Chart1->height();
    // Left margin, upper half of the axis: drag 50 pixels down outside the plot.
    const QPoint start(m_plot.left - 10, m_plot.top + 10);
    press(start);
    EXPECT_EQ(f.interaction().AxisDragMode, 3);
    EXPECT_EQ(f.LeftAxis->labelsColor(), QColor(255, 0, 0));
    move(start + QPoint(0, 50), Qt::LeftButton);
    EXPECT_NEAR(f.LeftAxis->max(), max + (max - min) * 50 / h, 1e-9);
    release(start + QPoint(0, 50));
    EXPECT_EQ(f.LeftAxis->labelsColor(), QColor(0, 0, 0));
    EXPECT_EQ(f.interaction().AxisDragMode, 0);

    // Double click near the top of the right axis snaps its maximum to the data plus 2 %.
    double lo = 1e300, hi = -1e300;
    for (int i = 3; i < 6; ++i) {
        const SeriesState &s = f.model().series(i);
        if (!s.active || s.points.empty()) continue;
        lo = std::min(lo, MinY(s));
        hi = std::max(hi, MaxY(s));
    }
    doubleClick(QPoint(m_plot.right + 10, m_plot.top + 5));
    EXPECT_NEAR(f.RightAxis->max(), hi + (hi - lo) * 0.02, 1e-9);

    // Below the plot, left half: the bottom minimum.
    const QDateTime bottomMin = f.BottomAxis->min();
    press(QPoint(m_plot.left + 20, m_plot.bottom + 10));
    EXPECT_EQ(f.interaction().AxisDragMode, 1);
    move(QPoint(m_plot.left + 120, m_plot.bottom + 10), Qt::LeftButton);
    release(QPoint(m_plot.left + 120, m_plot.bottom + 10));
    EXPECT_LT(f.BottomAxis->min(), bottomMin);
}

TEST_F(TForm4Test, HoverShowsReadoutAndMarker) {
    TForm4 &f = *m_form;
    const SeriesState &s1 = f.model().series(0);
    ASSERT_FALSE(s1.points.empty());
    const GraphPoint p = s1.points[s1.points.size() / 2];
    const QPointF at = f.chart->mapToPosition(
        QPointF(static_cast<double>(f.Series1->at(static_cast<int>(s1.points.size() / 2)).x()), p.y),
        f.Series1);
    const QPoint pos = f.Chart1->mapFromScene(f.chart->mapToScene(at));
    move(pos);
    const QString status = f.StatusBar1->currentMessage();
    EXPECT_TRUE(status.startsWith(QStringLiteral("Время  "))) << status.toStdString();
    EXPECT_TRUE(status.contains(QStringLiteral("    Значение канал 1   ")));
    EXPECT_TRUE(status.contains(QStringLiteral("    Значение канал 2   ")));
    ASSERT_EQ(f.Series7->count(), 1);
    EXPECT_FALSE(f.markerLabelText().isEmpty());
    EXPECT_FALSE(f.markerLabelText().contains(QLatin1Char('.'))) << "the label follows the decimal comma";

    // Away into empty plot: the marker stays; into the margin: the status line empties.
    move(QPoint(m_plot.left + 1, m_plot.top + 1));
    EXPECT_EQ(f.Series7->count(), 1);
    move(QPoint(m_plot.left - 5, (m_plot.top + m_plot.bottom) / 2));
    EXPECT_TRUE(f.StatusBar1->currentMessage().isEmpty());

    // Marks off: cleared and not drawn again.
    ClickBox(f.CheckBox5);
    EXPECT_EQ(f.Series7->count(), 0);
    move(pos);
    EXPECT_EQ(f.Series7->count(), 0);
    EXPECT_TRUE(f.markerLabelText().isEmpty());
}

TEST_F(TForm4Test, RectangleZoomAndRestore) {
    TForm4 &f = *m_form;
    const double leftMin = f.LeftAxis->min();
    const double leftMax = f.LeftAxis->max();
    const QDateTime bottomMin = f.BottomAxis->min();
    const QPoint a(m_plot.left + 100, m_plot.top + 100);
    const QPoint b(m_plot.left + 300, m_plot.top + 300);
    press(a);
    move(b, Qt::LeftButton);
    release(b);
    // The axes move there in an animated transition.
    EXPECT_TRUE(f.zoomTransitionRunning());
    EXPECT_DOUBLE_EQ(f.LeftAxis->min(), leftMin);
    f.stepZoomTransition(1);
    EXPECT_GT(f.LeftAxis->min(), leftMin);
    EXPECT_LT(f.LeftAxis->max(), leftMax);
    EXPECT_GT(f.BottomAxis->min(), bottomMin);
    EXPECT_FALSE(f.interaction().left().automatic);

    press(b);
    move(a, Qt::LeftButton);
    release(a);
    f.stepZoomTransition(1);
    EXPECT_DOUBLE_EQ(f.LeftAxis->min(), leftMin);
    EXPECT_DOUBLE_EQ(f.LeftAxis->max(), leftMax);
    EXPECT_EQ(f.BottomAxis->min(), bottomMin);

    // Right-button drag scrolls.
    press(a, Qt::RightButton);
    move(a + QPoint(0, 40), Qt::RightButton);
    release(a + QPoint(0, 40), Qt::RightButton);
    EXPECT_GT(f.LeftAxis->min(), leftMin);

    // Escape ends a running zoom transition at its target; only then does it close the window.
    press(a);
    move(b, Qt::LeftButton);
    release(b);
    for (const bool running : {true, false}) {
        QTest::keyClick(f.Chart1, Qt::Key_Escape);
        EXPECT_EQ(f.isVisible(), running);
    }
}

// The chart prints to a PDF file; a file that cannot be written is said, and the open project is no place
// for it and stays as it was.
TEST_F(TForm4Test, PrintsTheChartToAFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString project = dir.filePath(QStringLiteral("open.vd"));
    {
        QFile file(project);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("kept") == 4);
    }
    m_services.openProject = [project] { return project; };
    TForm4 form(m_table, nullptr, m_services);
    struct Case {
        QString target;
        qint64 size; ///< the target's size afterwards; 0 when it must not exist
        const char *error;
    };
    const Case cases[] = {
        {dir.filePath(QStringLiteral("graph.pdf")), 1000, nullptr},
        {dir.filePath(QStringLiteral("no/such/graph.pdf")), 0, "no/such/graph.pdf"},
        {project, 4, "это тот же файл, что и входной"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.target.toStdString());
        m_errors.clear();
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(c.target);
        form.printChart(&printer);
        if (c.error) {
            ASSERT_EQ(m_errors.size(), 1);
            EXPECT_TRUE(m_errors[0].contains(QString::fromUtf8(c.error))) << m_errors[0].toStdString();
        } else {
            EXPECT_TRUE(m_errors.isEmpty());
        }
        const QFileInfo info(c.target);
        EXPECT_EQ(info.exists(), c.size > 0);
        if (c.error)
            EXPECT_EQ(info.size(), c.size);
        else
            EXPECT_GT(info.size(), c.size);
    }
}

TEST_F(TForm4Test, ConversionErrorShowsWhatWasBuilt) {
    ArchiveTable table = DemoTable();
    // Dates of another format in rows given the highest channel-1 temperature: they come last after the
    // temperature sort, so channel 1 has points before the error.
    const int rows = table.rowCount();
    for (int r = rows / 2; r < rows; ++r) {
        table.setCell(2, r, QStringLiteral("2018-03-05"));
        table.setCell(7, r, QStringLiteral("99,00"));
    }
    m_errors.clear();
    TForm4 f(table, nullptr, m_services);
    ASSERT_EQ(m_errors.size(), 1);
    EXPECT_TRUE(m_errors.front().contains(QStringLiteral("2018-03-05")));
    ASSERT_TRUE(f.constructionError());
    EXPECT_EQ(f.constructionError()->row, rows / 2);
    EXPECT_TRUE(f.GroupBox1->isVisibleTo(&f));
    EXPECT_EQ(f.model().series(0).points.size(), static_cast<std::size_t>(rows / 2 - 1));
    EXPECT_EQ(f.Series1->count(), static_cast<int>(f.model().series(0).points.size()));
    EXPECT_FALSE(f.GroupBox2->isVisibleTo(&f)) << "channel 2 is not built after an error in channel 1";
}

TEST_F(TForm4Test, SelectedRadioButtonKeepsTheMarkerAndSwatchesLookPressed) {
    TForm4 &f = *m_form;
    const SeriesState &s1 = f.model().series(0);
    const int index = static_cast<int>(s1.points.size() / 3);
    const QPointF at = f.chart->mapToPosition(f.Series1->at(index), f.Series1);
    move(f.Chart1->mapFromScene(f.chart->mapToScene(at)));
    ASSERT_EQ(f.Series7->count(), 1);
    for (QRadioButton *selected : {f.RadioButton3, f.RadioButton1, f.RadioButton5}) { // already selected
        ClickBox(selected);
        EXPECT_TRUE(f.RadioButton1->isChecked() && f.RadioButton3->isChecked() &&
                    f.RadioButton5->isChecked());
        EXPECT_EQ(f.Series7->count(), 1);
    }
    ClickBox(f.RadioButton4);
    EXPECT_EQ(f.Series7->count(), 0);

    QTest::mousePress(f.Panel3, Qt::RightButton);
    EXPECT_TRUE(f.Panel3->isLowered());
    QTest::mouseRelease(f.Panel3, Qt::RightButton);
    EXPECT_FALSE(f.Panel3->isLowered());
}

TEST_F(TForm4Test, PrintButtonOpensAModalPreview) {
    bool shown = false;
    QTimer::singleShot(0, [&shown] {
        if (QWidget *preview = QApplication::activeModalWidget()) {
            shown = true;
            preview->close();
        }
    });
    m_form->Button1Click();
    EXPECT_TRUE(shown);
}

TEST_F(TForm4Test, EnglishTexts) {
    LanguageIndex = 1;
    ArchiveTable table = DemoTable();
    TForm4 f(table, nullptr, m_services);
    LanguageIndex = 0;
    EXPECT_EQ(f.windowTitle(), QStringLiteral("The graph of measurements"));
    EXPECT_EQ(f.GroupBox1->title(), QStringLiteral("Chanal 1"));
    EXPECT_EQ(f.Button1->text(), QStringLiteral("Print"));
    EXPECT_EQ(f.CheckBox5->text(), QStringLiteral("Marks"));
    EXPECT_EQ(f.Label2->text(), QStringLiteral("R"));
    EXPECT_TRUE(f.LeftAxis->titleText().endsWith(QStringLiteral("Chanal 1")));
    f.show();
    QCoreApplication::processEvents();
    const PlotRect plot = f.plotRect();
    f.Chart1MouseMove(QPoint((plot.left + plot.right) / 2, (plot.top + plot.bottom) / 2), Qt::NoButton);
    EXPECT_TRUE(f.StatusBar1->currentMessage().startsWith(QStringLiteral("Time  ")));
    EXPECT_TRUE(f.StatusBar1->currentMessage().contains(QStringLiteral("    Value of chanal 2   ")));
}

TEST_F(TForm4Test, ClosingReleasesThePoints) {
    TForm4 &f = *m_form;
    ASSERT_GT(f.Series1->count(), 0);
    f.reject();
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(f.Series1->count(), 0);
    EXPECT_TRUE(f.model().series(0).points.empty());
}

namespace {

// Sets the process's time zone for the life of the object.
class TimeZone {
public:
    explicit TimeZone(const char *zone) {
        if (const char *old = std::getenv("TZ")) m_saved = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~TimeZone() {
        if (m_saved)
            ::setenv("TZ", m_saved->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    TimeZone(const TimeZone &) = delete;
    TimeZone &operator=(const TimeZone &) = delete;

private:
    std::optional<std::string> m_saved;
};

} // namespace

// Berlin puts its clocks forward on the last Sunday of March and back on the last Sunday of October.
// Over archives written every half hour across those days, each point is drawn above the axis label of
// its own time, the read-out under it names that time, and the marker takes that point.
TEST_F(TForm4Test, DaylightSavingChangesKeepPointsLabelsReadoutAndMarkerTogether) {
    const TimeZone berlin("Europe/Berlin");
    struct Case {
        const char *name;
        QDate first;
        std::vector<QDateTime> probes; // wall-clock times of records to point at
    };
    const Case cases[] = {
        {"spring forward",
         QDate(2018, 3, 24),
         {QDateTime(QDate(2018, 3, 25), QTime(1, 30)), QDateTime(QDate(2018, 3, 25), QTime(3, 30)),
          QDateTime(QDate(2018, 3, 25), QTime(14, 0)), QDateTime(QDate(2018, 3, 26), QTime(12, 0))}},
        {"fall back",
         QDate(2018, 10, 27),
         {QDateTime(QDate(2018, 10, 28), QTime(1, 30)), QDateTime(QDate(2018, 10, 28), QTime(3, 30)),
          QDateTime(QDate(2018, 10, 28), QTime(14, 0)), QDateTime(QDate(2018, 10, 29), QTime(12, 0))}},
    };
    const SystemFormats &formats = CurrentFormats();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        // Three days, a record every 30 minutes, each value telling its record apart.
        constexpr int kRecords = 3 * 48;
        ArchiveTable table;
        table.setColCount(10);
        table.setRowCount(kRecords + 1);
        std::vector<QDateTime> times;
        for (int i = 0; i < kRecords; ++i) {
            const QDateTime wall(c.first.addDays(i / 48), QTime(0, 0).addSecs((i % 48) * 1800));
            times.push_back(wall);
            const int row = i + 1;
            table.setCell(0, row, QString::number(row));
            table.setCell(1, row, FormatTimeCell(wall.time(), formats));
            table.setCell(2, row, FormatDateCell(wall.date(), formats));
            table.setCell(3, row, QStringLiteral("Непрерывный"));
            table.setCell(6, row, QStringLiteral("DS18B20      "));
            table.setCell(7, row, CellFormat(10.0 + i * 0.1, formats.decimalSeparator));
        }
        table.setArchiveFormat(2);
        table.setChannels({true, false});
        TForm4 f(table, nullptr, m_services);
        f.show();
        QCoreApplication::processEvents();
        ASSERT_EQ(f.Series1->count(), kRecords);
        const PlotRect plot = f.plotRect();
        const double msPerPixel = static_cast<double>(f.BottomAxis->max().toMSecsSinceEpoch() -
                                                      f.BottomAxis->min().toMSecsSinceEpoch()) /
                                  (plot.right - plot.left);

        for (const QDateTime &probe : c.probes) {
            SCOPED_TRACE(probe.toString(Qt::ISODate).toStdString());
            const auto i = static_cast<int>(std::find(times.begin(), times.end(), probe) - times.begin());
            ASSERT_LT(i, kRecords);
            // Drawing and labels: the axis writes the local time of the instant the point is drawn at.
            const QPointF drawn = f.Series1->at(i);
            const QDateTime labelled = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(drawn.x()));
            EXPECT_EQ(labelled.date(), probe.date());
            EXPECT_EQ(labelled.time(), probe.time());

            // Read-out and hit test at the pixel the point is drawn on.
            const QPointF at = f.chart->mapToPosition(drawn, f.Series1);
            const QPoint pos = f.Chart1->mapFromScene(f.chart->mapToScene(at));
            QWidget *target = f.Chart1->viewport();
            QMouseEvent event(QEvent::MouseMove, QPointF(pos), QPointF(target->mapToGlobal(pos)),
                              Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(target, &event);
            const QString status = f.StatusBar1->currentMessage();
            const QString prefix = QStringLiteral("Время  ");
            ASSERT_TRUE(status.startsWith(prefix)) << status.toStdString();
            const QStringList when = status.mid(prefix.size()).split(QLatin1Char(' '));
            ASSERT_GE(when.size(), 2) << status.toStdString();
            const QDateTime readout(QDate::fromString(when[0], QStringLiteral("dd.MM.yyyy")),
                                    QTime::fromString(when[1], QStringLiteral("hh:mm:ss")));
            ASSERT_TRUE(readout.isValid()) << status.toStdString();
            // The same wall clock, within the pixel the pointer stands on.
            const qint64 apartMs = std::llabs(readout.toMSecsSinceEpoch() - probe.toMSecsSinceEpoch());
            EXPECT_LE(static_cast<double>(apartMs), 1.5 * msPerPixel) << status.toStdString();

            ASSERT_EQ(f.Series7->count(), 1) << "the marker finds the point under the pointer";
            EXPECT_DOUBLE_EQ(f.Series7->at(0).y(), drawn.y());
        }
    }
}

// Clearing a channel's sensor check box hides its lines but keeps its axis and title.
TEST_F(TForm4Test, AHiddenChannelKeepsItsAxisAndTitle) {
    TForm4 &f = *m_form;
    const QString leftTitle = f.LeftAxis->titleText();
    const QString rightTitle = f.RightAxis->titleText();
    ASSERT_TRUE(f.LeftAxis->isVisible());
    ASSERT_TRUE(f.RightAxis->isVisible());
    struct Step {
        const char *name;
        QCheckBox *box;
    };
    const Step steps[] = {{"channel 2 hidden", f.CheckBox3},
                          {"channel 1 hidden too", f.CheckBox1},
                          {"channel 2 shown again", f.CheckBox3},
                          {"channel 1 shown again", f.CheckBox1}};
    for (const Step &step : steps) {
        SCOPED_TRACE(step.name);
        ClickBox(step.box);
        EXPECT_TRUE(f.LeftAxis->isVisible());
        EXPECT_TRUE(f.RightAxis->isVisible());
        EXPECT_EQ(f.LeftAxis->titleText(), leftTitle);
        EXPECT_EQ(f.RightAxis->titleText(), rightTitle);
        EXPECT_EQ(f.Series4->isVisible(), f.CheckBox3->isChecked());
        EXPECT_EQ(f.Series1->isVisible(), f.CheckBox1->isChecked());
    }
}

// The right axis writes its labels as "#,##0.##": thousands grouped with the system's separator, at
// most two decimals, no trailing zeros.
TEST_F(TForm4Test, RightAxisLabelsGroupThousandsAndDropTrailingZeros) {
    const SystemFormats &formats = CurrentFormats();
    QString group = formats.locale.groupSeparator();
    ASSERT_FALSE(group.isEmpty());
    // The drawn text reads a no-break space back as a plain one.
    if (group == QString(QChar(0x00A0)) || group == QString(QChar(0x202F))) group = QStringLiteral(" ");
    struct Case {
        const char *name;
        double first; // channel 2 values rise from here by `step` per row
        double step;
        bool expectGrouping;
        bool expectDecimals;
    };
    const Case cases[] = {
        {"thousands", 1000.0, 1.5, true, false},
        {"fractions", 20.0, 0.01, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ArchiveTable table;
        table.setColCount(14);
        constexpr int kRows = 40;
        table.setRowCount(kRows + 1);
        for (int i = 0; i < kRows; ++i) {
            const int row = i + 1;
            table.setCell(0, row, QString::number(row));
            table.setCell(1, row, FormatTimeCell(QTime(10, 0).addSecs(i * 60), formats));
            table.setCell(2, row, FormatDateCell(QDate(2018, 3, 5), formats));
            table.setCell(6, row, QStringLiteral("DS18B20      "));
            table.setCell(7, row, CellFormat(20.0, formats.decimalSeparator));
            table.setCell(10, row, QStringLiteral("DS18B20      "));
            table.setCell(11, row, CellFormat(c.first + i * c.step, formats.decimalSeparator));
        }
        table.setArchiveFormat(2);
        table.setChannels({true, true});
        TForm4 f(table, nullptr, m_services);
        f.resize(1516, 909);
        f.show();
        QCoreApplication::processEvents();

        // The labels as drawn: text items to the right of the plot, not the title.
        const QRectF plot = f.chart->mapRectToScene(f.chart->plotArea());
        QStringList labels;
        for (QGraphicsItem *item : f.chart->scene()->items()) {
            auto *text = dynamic_cast<QGraphicsTextItem *>(item);
            if (!text || !text->isVisible() || text->sceneBoundingRect().left() < plot.right()) continue;
            const QString t = text->toPlainText();
            if (t.isEmpty() || t.contains(QRegularExpression(QStringLiteral("\\p{L}")))) continue;
            labels.append(t);
        }
        ASSERT_GE(labels.size(), 3) << labels.join(QLatin1Char('|')).toStdString();
        const QRegularExpression pattern(QStringLiteral("^-?\\d{1,3}(%1\\d{3})*(%2\\d{0,1}[1-9])?$")
                                             .arg(QRegularExpression::escape(group),
                                                  QRegularExpression::escape(formats.decimalSeparator)));
        bool grouped = false;
        bool decimals = false;
        for (const QString &label : labels) {
            SCOPED_TRACE(label.toStdString());
            EXPECT_TRUE(pattern.match(label).hasMatch());
            grouped = grouped || label.contains(group);
            decimals = decimals || label.contains(formats.decimalSeparator);
        }
        EXPECT_EQ(grouped, c.expectGrouping) << labels.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(decimals, c.expectDecimals) << labels.join(QLatin1Char('|')).toStdString();
    }
}

// Axis choices, channel check boxes, zoom, restore, stretch and snap in any order, each followed by a
// step of the transition to another stage, so that zoom transitions are cut at every stage. Used to crash
// the program.
TEST_F(TForm4Test, AnySequenceOfAxisChangesIsSafe) {
    TForm4 &f = *m_form;
    const QPoint upperLeft(m_plot.left + 60, m_plot.top + 60);
    const QPoint lowerRight(m_plot.left + 360, m_plot.top + 300);
    const QPoint leftMargin(m_plot.left - 10, m_plot.top + 10);
    const QPoint rightMargin(m_plot.right + 10, m_plot.top + 5);
    const QPoint belowPlot(m_plot.right - 20, m_plot.bottom + 10);
    enum Step { Left2, Right2, Left1, Right1, Hide1, Hide2, Zoom, Restore, Stretch, Snap, Scroll, Count };
    const auto act = [&](Step step) {
        switch (step) {
        case Left2:
            ClickBox(f.RadioButton7);
            break;
        case Right2:
            ClickBox(f.RadioButton8);
            break;
        case Left1:
            ClickBox(f.RadioButton3);
            break;
        case Right1:
            ClickBox(f.RadioButton4);
            break;
        case Hide1:
            ClickBox(f.CheckBox1);
            break;
        case Hide2:
            ClickBox(f.CheckBox3);
            break;
        case Zoom:
            press(upperLeft);
            move(lowerRight, Qt::LeftButton);
            release(lowerRight);
            break;
        case Restore:
            press(lowerRight);
            move(upperLeft, Qt::LeftButton);
            release(upperLeft);
            break;
        case Stretch:
            press(leftMargin);
            move(leftMargin + QPoint(0, 40), Qt::LeftButton);
            release(leftMargin + QPoint(0, 40));
            press(belowPlot);
            move(belowPlot + QPoint(-60, 0), Qt::LeftButton);
            release(belowPlot + QPoint(-60, 0));
            break;
        case Snap:
            doubleClick(rightMargin);
            break;
        case Scroll:
            press(upperLeft, Qt::RightButton);
            move(upperLeft + QPoint(30, 30), Qt::RightButton);
            release(upperLeft + QPoint(30, 30), Qt::RightButton);
            break;
        case Count:
            break;
        }
    };
    struct Case {
        const char *name;
        std::vector<Step> steps;
    };
    std::vector<Case> cases = {
        {"left axis for channel 2, then zoom", {Left2, Zoom}},
        {"restore, then left axis for channel 2", {Restore, Left2}},
        {"zoom, then channel 1 to the right", {Zoom, Right1, Zoom}},
        {"hide a channel while zooming", {Zoom, Hide2, Restore, Hide2, Zoom, Hide1}},
        {"stretch and snap during a transition", {Zoom, Stretch, Snap, Restore, Snap, Left2}},
    };
    // A fixed pseudo-random walk over every step.
    std::uint32_t seed = 12345;
    Case walk{"random walk", {}};
    for (int i = 0; i < 40; ++i) {
        seed = seed * 1664525u + 1013904223u;
        walk.steps.push_back(static_cast<Step>((seed >> 16) % Count));
    }
    cases.push_back(walk);

    int pause = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (Step step : c.steps) {
            act(step);
            f.stepZoomTransition(pause / 300.0);
            pause = (pause + 70) % 330;
        }
        f.stepZoomTransition(1);
        EXPECT_DOUBLE_EQ(f.LeftAxis->min(), f.interaction().left().min);
        EXPECT_DOUBLE_EQ(f.LeftAxis->max(), f.interaction().left().max);
        EXPECT_DOUBLE_EQ(f.RightAxis->min(), f.interaction().right().min);
        EXPECT_DOUBLE_EQ(f.RightAxis->max(), f.interaction().right().max);
    }
}

// The window builds from the format and channels the table carries, not from the process-wide values,
// which may have moved on since the table was filled or opened.
TEST_F(TForm4Test, BuildsFromTheTablesOwnFormatAndChannels) {
    struct Case {
        const char *name;
        std::uint8_t tableFormat;
        ChannelFlags tableChannels;
        std::uint8_t globalFormat;
        ChannelFlags globalChannels;
        SensorCode firstCode; // of the channel shown
        QuantitySet quantities;
        int shownChannel; // 0 or 1
    };
    const Case cases[] = {
        {"format 2 table, program in format 0",
         2,
         {true, false},
         0,
         {false, true},
         7,
         QuantitySet::ThermoHygroPressure,
         0},
        {"format 0 table, program in format 2", 0, {true, false}, 2, {true, true}, 0, QuantitySet::NoPlot, 0},
        {"channel 2 alone, program flags both",
         2,
         {false, true},
         2,
         {true, true},
         7,
         QuantitySet::ThermoHygroPressure,
         1},
    };
    const SystemFormats &formats = CurrentFormats();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ArchiveTable table;
        table.setColCount(10);
        constexpr int kRows = 5;
        table.setRowCount(kRows + 1);
        for (int i = 0; i < kRows; ++i) {
            const int row = i + 1;
            table.setCell(0, row, QString::number(row));
            table.setCell(1, row, FormatTimeCell(QTime(10, i), formats));
            table.setCell(2, row, FormatDateCell(QDate(2018, 3, 5), formats));
            table.setCell(6, row, QStringLiteral("MK BMP280 SHT"));
            table.setCell(7, row, CellFormat(20.0 + i, formats.decimalSeparator));
            table.setCell(8, row, CellFormat(50.0, formats.decimalSeparator));
            table.setCell(9, row, CellFormat(745.0, formats.decimalSeparator));
        }
        table.setArchiveFormat(c.tableFormat);
        table.setChannels(c.tableChannels);
        const std::uint8_t savedFormat = ArchiveFormat.load();
        ArchiveFormat = c.globalFormat;
        Channel1Present = c.globalChannels.channel1;
        Channel2Present = c.globalChannels.channel2;
        TForm4 f(table, nullptr, m_services);
        ArchiveFormat = savedFormat;
        EXPECT_EQ(f.model().channel(0).Present, c.tableChannels.channel1);
        EXPECT_EQ(f.model().channel(1).Present, c.tableChannels.channel2);
        const GraphChannel &shown = f.model().channel(c.shownChannel);
        EXPECT_EQ(shown.SensorColumn, 6);
        EXPECT_EQ(shown.FirstCode, c.firstCode);
        EXPECT_EQ(shown.Quantities, c.quantities);
        if (c.quantities == QuantitySet::ThermoHygroPressure) {
            EXPECT_EQ(f.model().series(3 * c.shownChannel + 2).points.size(), std::size_t{kRows})
                << "the pressure is plotted";
        }
    }
}
