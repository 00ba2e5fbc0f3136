// The main window under the offscreen platform, with the simulated instrument behind the real binding.
#include "app/TForm1.h"

#include "app/ClipboardText.h"
#include "app/DesktopServices.h"
#include "app/MainTexts.h"
#include "app/StartupArguments.h"
#include "app/TAboutBox.h"
#include "archive/ProjectFile.h"
#include "base/SortTable.h"
#include "base/SystemFormats.h"
#include "device/ClockSetting.h"
#include "device/Exchange.h"
#include "device/LibUsbBinding.h"
#include "device/QtExchangeUi.h"
#include "device/TForm2.h"
#include "export/TForm6.h"
#include "graph/Limits.h"
#include "graph/TForm4.h"
#include "history/HistoryStore.h"
#include "plug/HotplugSource.h"
#include "sim/SimArchive.h"

#include "FileDialogChoice.h"
#include "QtPrinters.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QValueAxis>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <vector>

using namespace velda;

namespace {

QApplication &App() {
    static int argc = 1;
    static char name[] = "AppWindowTest";
    static char *argv[] = {name, nullptr};
    static auto *app = new QApplication(argc, argv);
    return *app;
}

struct ShownBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Answers the modal windows a command opens: message boxes are recorded and closed, file dialogs get
// the answer the test prepared. Polls the event loop the modal window runs, so no test sleeps.
class ModalAnswerer {
public:
    ModalAnswerer() {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { answer(); });
        m_timer.start();
    }
    std::vector<ShownBox> boxes;
    std::vector<QString> windows; ///< class names of the other modal windows, closed at once
    std::function<void(QFileDialog *)> onFileDialog;

private:
    void answer() {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            boxes.push_back({box->windowTitle(), box->text(), box->icon()});
            box->accept();
        } else if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
            if (onFileDialog) {
                onFileDialog(dialog);
            } else {
                dialog->reject();
            }
        } else if (auto *other = qobject_cast<QDialog *>(modal);
                   other && !qobject_cast<TForm2 *>(other)) { // the progress dialog closes itself
            windows.push_back(QString::fromLatin1(other->metaObject()->className()));
            other->reject();
        }
    }
    QTimer m_timer;
};

// Counts the presses of one key that reach a widget.
class KeySpy : public QObject {
public:
    KeySpy(int key, int *count) : m_key(key), m_count(count) {}

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == m_key) ++*m_count;
        return false;
    }

private:
    int m_key;
    int *m_count;
};

class TForm1Test : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // The settings the window keeps go to a folder of the test's own, never the user's.
        static QTemporaryDir config;
        ::setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
        App();
        LibUSB.useSimulator(true);
    }
    static void TearDownTestSuite() { ShutdownDeviceLink(ProcessGuiEvents); }
    static std::vector<QUrl> &OpenedUrls() {
        static std::vector<QUrl> urls;
        return urls;
    }
    static void RecordUrls(UrlOpener &opener) {
        opener.replace([](const QUrl &url) {
            OpenedUrls().push_back(url);
            return true;
        });
    }

    void SetUp() override {
        ::unsetenv("VELDA9_SIM_SCENARIO");
        Channel1Present = false;
        Channel2Present = false;
        RecordCount = 0;
        WindowServices services = DefaultWindowServices();
        services.sleep = [](std::chrono::milliseconds) {};
        m_form = std::make_unique<TForm1>(nullptr, services);
        RecordUrls(m_form->urlOpener());
        m_form->show();
    }
    void TearDown() override {
        StopExchange(ProcessGuiEvents);
        m_form.reset();
        LanguageIndex = 0;
        ::unsetenv("VELDA9_SIM_SCENARIO");
    }

    void useScenario(const std::string &json) {
        const std::string path = m_dir.filePath(QStringLiteral("s%1.json").arg(m_count++)).toStdString();
        std::ofstream(path) << json;
        ::setenv("VELDA9_SIM_SCENARIO", path.c_str(), 1);
    }

    // A project file of `rows` data rows with channel 1 only: number, time, temperature and a series.
    QString writeProject(const QString &name, const std::vector<std::vector<QString>> &rows,
                         ChannelFlags flags = {true, false}) {
        ArchiveTable t;
        t.setRowCount(static_cast<int>(rows.size()) + 1);
        for (int k = 0; k < 14; ++k)
            t.setCell(k, 0, Pick(kHeaderTexts[k]));
        for (std::size_t r = 0; r < rows.size(); ++r)
            for (std::size_t k = 0; k < rows[r].size(); ++k)
                t.setCell(static_cast<int>(k), static_cast<int>(r) + 1, rows[r][k]);
        const QString path = m_dir.filePath(name);
        EXPECT_TRUE(SaveProject(t, path, flags).ok());
        return path;
    }

    std::vector<QString> column(int col) const {
        std::vector<QString> out;
        for (int r = 1; r < m_form->table().rowCount(); ++r)
            out.push_back(m_form->table().cell(col, r));
        return out;
    }

    QPoint headerPoint(int column) const {
        QHeaderView *h = m_form->StringGrid1->horizontalHeader();
        return {h->sectionViewportPosition(column - 1) + h->sectionSize(column - 1) / 2, h->height() / 2};
    }
    QPoint numberPoint(int row) const {
        QHeaderView *v = m_form->StringGrid1->verticalHeader();
        return {v->width() / 2, v->sectionViewportPosition(row - 1) + v->sectionSize(row - 1) / 2};
    }
    void clickHeader(int column) {
        QTest::mouseClick(m_form->StringGrid1->horizontalHeader()->viewport(), Qt::LeftButton, {},
                          headerPoint(column));
    }
    void clickNumber(int row) {
        QTest::mouseClick(m_form->StringGrid1->verticalHeader()->viewport(), Qt::LeftButton, {},
                          numberPoint(row));
        QCoreApplication::processEvents();
    }

    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/velda app XXXXXX")};
    int m_count = 0;
    std::unique_ptr<TForm1> m_form;
};

const std::vector<std::vector<QString>> kFourRows = {
    {"1", "10:00:00", "01.02.2024", "Непрерывный", "1", "0", "ТП-K", "20.50", "", "1.00"},
    {"2", "10:15:00", "01.02.2024", "Непрерывный", "2", "0", "ТП-K", "-3.00", "", "2.00"},
    {"3", "10:30:00", "01.02.2024", "Непрерывный", "3", "0", "ТП-K", "", "", "3.00"},
    {"4", "10:45:00", "01.02.2024", "Непрерывный", "4", "0", "ТП-K", "100.00", "", "4.00"},
};

namespace {

// Appends one record to a JSON list body of hex strings for a scenario's "records_hex".
void AppendRecordHex(std::string &list, const sim::Bytes &bytes) {
    const QByteArray raw(reinterpret_cast<const char *>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    list += std::string(list.empty() ? "" : ",") + "\"" + raw.toHex().toStdString() + "\"";
}

} // namespace

TEST_F(TForm1Test, StartUpState) {
    TForm1 &f = *m_form;
    EXPECT_EQ(f.windowTitle(), "Измеритель температуры и влажности VELDA-9");
    EXPECT_EQ(f.Button1->text(), "Загрузить архив");
    EXPECT_EQ(f.Button2->text(), "График измерений");
    EXPECT_EQ(f.Button1->geometry(), QRect(1, 0, 114, 25));
    EXPECT_EQ(f.Panel1->geometry(), QRect(427, 0, 304, 24));
    EXPECT_EQ(f.Panel1->text(), "Канал 1");
    EXPECT_FALSE(f.Panel2->isVisible());
    EXPECT_EQ(f.width(), 1507);
    EXPECT_EQ(f.table().colCount(), 10);
    EXPECT_EQ(f.table().rowCount(), 9);
    EXPECT_EQ(f.StringGrid1->model()->columnCount(), 9);
    EXPECT_EQ(f.StringGrid1->model()->rowCount(), 8);
    EXPECT_EQ(f.table().cell(0, 0), "№");
    EXPECT_EQ(f.table().cell(13, 0), "Q, Вт/m2");
    EXPECT_EQ(f.StringGrid1->model()->headerData(6, Qt::Horizontal).toString(), "T, °C");
    EXPECT_EQ(f.tableColumnWidth(9), 168);
    EXPECT_TRUE(TableIsEmpty(f.table()));
    EXPECT_TRUE(f.Lang0->isChecked());
    EXPECT_FALSE(f.Lang1->isChecked());
    EXPECT_EQ(f.Language1->title(), "Language(Язык)");
    EXPECT_EQ(f.N1->text(), "Создать Проект");
    EXPECT_TRUE(VersionPending.load());
    EXPECT_EQ(f.StatusBar1->currentMessage(), "");

    ModalAnswerer answerer;
    f.Button2Click();
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes[0].text, "Архив не считан!");
    EXPECT_EQ(answerer.boxes[0].title, "Внимание");
    EXPECT_EQ(answerer.boxes[0].icon, QMessageBox::Critical);

    f.ACopyTableExecute(); // no record read yet
    ASSERT_EQ(answerer.boxes.size(), 2u);
    EXPECT_EQ(answerer.boxes[1].text, "Таблтца пуста");
}

TEST_F(TForm1Test, ReadsFromTheSimulatorAndLaysOutTheChannels) {
    TForm1 &f = *m_form;
    ModalAnswerer answerer;
    f.Button1Click(); // the demo archive holds both channels
    EXPECT_TRUE(answerer.boxes.empty());
    ASSERT_FALSE(TableIsEmpty(f.table()));
    EXPECT_EQ(f.table().colCount(), 14);
    EXPECT_EQ(f.width(), 1300);
    EXPECT_TRUE(f.Panel2->isVisible());
    EXPECT_EQ(f.Panel2->text(), "Канал 2");
    EXPECT_EQ(f.tableColumnWidth(10), f.tableColumnWidth(6));
    EXPECT_EQ(f.tableColumnWidth(13), f.tableColumnWidth(9));
    EXPECT_EQ(RecordCount.load(), static_cast<std::uint32_t>(f.table().rowCount() - 1));
    EXPECT_EQ(f.StringGrid1->model()->rowCount(), f.table().rowCount() - 1);
    EXPECT_EQ(f.table().cell(0, 0), "№");

    sim::Reading reading;
    reading.channels = 0x21;
    reading.number = 1;
    reading.sensor2 = 1; // a thermocouple: temperature only
    reading.temperature2 = 21.5f;
    reading.day = 5;
    reading.month = 3;
    reading.year = 2024;
    std::string records;
    for (int k = 0; k < 3; ++k) {
        reading.minute = k;
        AppendRecordHex(records, sim::EncodeRecord(2, reading));
    }
    useScenario(R"({"firmware_date": ")" + sim::DefaultFirmwareDate(2) + R"(", "records_hex": [)" + records +
                "]}");
    f.Button1Click();
    EXPECT_TRUE(answerer.boxes.empty());
    EXPECT_EQ(f.table().rowCount(), 4);
    EXPECT_EQ(f.table().colCount(), 10);
    EXPECT_EQ(f.width(), 1000);
    EXPECT_EQ(f.Panel1->text(), "Канал 2");
    EXPECT_FALSE(f.Panel2->isVisible());
    EXPECT_TRUE(f.table().cell(6, 1).startsWith(QString::fromUtf8("ХА-Термопара")));
    EXPECT_EQ(f.table().cell(7, 1), "21.50");
    EXPECT_EQ(RecordCount.load(), 3u);

    // Both channels in earlier records, channel 1 alone in the last: the flags describe the last record,
    // but the second slot stays shown so its values are neither hidden nor left out of a saved project.
    records.clear();
    reading.sensor1 = 1;
    reading.temperature1 = 30.25f;
    for (int k = 0; k < 3; ++k) {
        reading.minute = k;
        reading.channels = k < 2 ? 2 : 0x01;
        AppendRecordHex(records, sim::EncodeRecord(2, reading));
    }
    useScenario(R"({"firmware_date": ")" + sim::DefaultFirmwareDate(2) + R"(", "records_hex": [)" + records +
                "]}");
    f.Button1Click();
    EXPECT_TRUE(Channel1Present.load());
    EXPECT_FALSE(Channel2Present.load());
    EXPECT_EQ(f.table().colCount(), 14);
    EXPECT_EQ(f.width(), 1300);
    EXPECT_TRUE(f.Panel2->isVisible());
    EXPECT_EQ(f.table().cell(11, 1), "21.50");
}

TEST_F(TForm1Test, StatusLineCountsTheRecordsThatFailedTheirCheck) {
    TForm1 &f = *m_form;
    ModalAnswerer answerer; // closes the checksum warning of each record
    useScenario(
        R"({"firmware_date": ")" + sim::DefaultFirmwareDate(2) +
        R"(", "generate": {"records": 6, "format": 2, "seed": 1}, "faults": {"bad_crc_records": [1, 4]}})");
    f.Button1Click();
    EXPECT_EQ(f.table().rowCount(), 7);
    // With the history kept, its line follows the count; the count itself stays either way.
    EXPECT_TRUE(f.StatusBar1->currentMessage().startsWith(
        "Записей с ошибкой контрольной суммы: 2 из 6 (в таблице как получены)"))
        << f.StatusBar1->currentMessage().toStdString();
}

// Both channels in earlier records, channel 1 alone in the last: the table shows the second slot with its
// values, so the graph offers channel 2 as well; the flags a saved project stores stay those of the fill.
TEST_F(TForm1Test, GraphOffersTheSecondChannelTheTableShows) {
    TForm1 &f = *m_form;
    sim::Reading reading;
    reading.number = 1;
    reading.sensor1 = 1; // thermocouples: temperature only
    reading.sensor2 = 1;
    reading.temperature1 = 30.25f;
    reading.temperature2 = 21.5f;
    reading.day = 5;
    reading.month = 3;
    reading.year = 2024;
    std::string records;
    for (int k = 0; k < 3; ++k) {
        reading.minute = k;
        reading.channels = k < 2 ? 2 : 0x01;
        AppendRecordHex(records, sim::EncodeRecord(2, reading));
    }
    useScenario(R"({"firmware_date": ")" + sim::DefaultFirmwareDate(2) + R"(", "records_hex": [)" + records +
                "]}");
    f.Button1Click();
    ASSERT_EQ(f.table().colCount(), 14);
    ASSERT_FALSE(Channel2Present.load());

    bool sawGraph = false;
    bool channel2Box = false;
    int channel2Points = 0;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *graph = qobject_cast<TForm4 *>(QApplication::activeModalWidget());
        if (!graph) return;
        sawGraph = true;
        channel2Box = graph->GroupBox2->isVisible();
        channel2Points = static_cast<int>(graph->model().series(3).points.size());
        graph->reject();
    });
    poll.start();
    f.Button2Click();
    poll.stop();
    ASSERT_TRUE(sawGraph);
    EXPECT_TRUE(channel2Box) << "the channel-2 box is offered";
    EXPECT_EQ(channel2Points, 2) << "the two records with a second channel are plotted";

    EXPECT_TRUE(Channel1Present.load());
    EXPECT_FALSE(Channel2Present.load()) << "opening the graph leaves the flags of the fill";
    const QString path = m_dir.filePath(QStringLiteral("after-graph.vd"));
    ASSERT_TRUE(SaveProject(f.table(), path, f.table().channels()).ok());
    ArchiveTable loaded;
    const auto project = ReadProject(loaded, path);
    ASSERT_TRUE(project.ok());
    EXPECT_EQ(project.value().flags, (ChannelFlags{true, false}));
}

TEST_F(TForm1Test, LanguageSwitch) {
    TForm1 &f = *m_form;
    f.Action1Execute(writeProject("lang.vd", kFourRows));
    f.Lang1->trigger();
    f.Lang1->trigger();
    EXPECT_TRUE(f.Lang1->isChecked());
    EXPECT_FALSE(f.Lang0->isChecked());
    EXPECT_EQ(f.windowTitle(), "Temperature and humidity measuring instrument VELDA-9");
    EXPECT_EQ(f.N1->text(), QString::fromUtf8("Сreate Project"));
    EXPECT_EQ(f.Language1->title(), "Language(Язык)");
    EXPECT_EQ(f.Lang0->text(), "русский");
    EXPECT_EQ(f.table().cell(3, 0), "Regime");
    EXPECT_EQ(f.table().cell(10, 0), "Sensor");
    EXPECT_EQ(f.table().cell(3, 1), "Непрерывный"); // data cells keep the language they were written in
    EXPECT_EQ(f.StringGrid1->model()->headerData(1, Qt::Horizontal).toString(), "Date");
    EXPECT_EQ(f.Panel1->text(), "Chanal 1");
    EXPECT_FALSE(f.Panel2->isVisible());
    EXPECT_EQ(f.table().colCount(), 10);

    ModalAnswerer answerer;
    f.Delete1Click();
    EXPECT_EQ(answerer.boxes.size(), 0u);
    f.setSelection(Selection{1, 1, 1, 1});
    f.ACopyTableExecute();
    EXPECT_TRUE(QGuiApplication::clipboard()->text().startsWith("№\tTime\t\tDate\t\tRegime\t\t"));

    f.Lang0->trigger();
    EXPECT_TRUE(f.Lang0->isChecked());
    EXPECT_FALSE(f.Lang1->isChecked());
    EXPECT_EQ(f.table().cell(3, 0), "Режим");
}

TEST_F(TForm1Test, LanguageSwitchKeepsTheThirdQuantityOfEachChannel) {
    TForm1 &f = *m_form;
    sim::Reading reading;
    reading.channels = 2;
    reading.sensor1 = 6; // MK SHT: dew point in column 9
    reading.sensor2 = 7; // MK BMP280 SHT: pressure in column 13
    reading.temperature1 = reading.temperature2 = 21.0f;
    reading.humidity1 = reading.humidity2 = 40.0f;
    reading.aux2 = 755.0f;
    reading.day = 5;
    reading.month = 3;
    reading.year = 2024;
    std::string records;
    AppendRecordHex(records, sim::EncodeRecord(2, reading));
    useScenario(R"({"firmware_date": ")" + sim::DefaultFirmwareDate(2) + R"(", "records_hex": [)" + records +
                "]}");
    ModalAnswerer answerer;
    f.Button1->click();
    ASSERT_EQ(f.table().colCount(), 14);
    ASSERT_EQ(f.table().cell(9, 0), "Точка росы, °C");
    ASSERT_EQ(f.table().cell(13, 0), "Давление, мм рт. ст.");
    f.Lang1->trigger();
    EXPECT_EQ(f.table().cell(9, 0), "Dew Point, °C");
    EXPECT_EQ(f.table().cell(13, 0), "Pressure, mm Hg");
    EXPECT_EQ(f.StringGrid1->model()->headerData(8, Qt::Horizontal).toString(), "Dew Point, °C");
    EXPECT_EQ(f.table().cell(7, 0), "T, °C");
    f.Lang0->trigger();
    EXPECT_EQ(f.table().cell(9, 0), "Точка росы, °C");
    EXPECT_EQ(f.table().cell(13, 0), "Давление, мм рт. ст.");

    // A heat-flux column keeps the heat-flux header in either language.
    f.Action1Execute(writeProject("flux.vd", kFourRows));
    f.Lang1->trigger();
    EXPECT_EQ(f.table().cell(9, 0), "Q, W/m2");
    EXPECT_EQ(f.table().cell(13, 0), "Q, W/m2");
    EXPECT_TRUE(answerer.boxes.empty());
}

// Qt's own dialogs speak the language of the menu: the open dialog's labels and buttons, the buttons of
// a message box.
TEST_F(TForm1Test, QtDialogsFollowTheLanguage) {
    TForm1 &f = *m_form;
    struct Seen {
        QString cancel, fileTypeLabel, boxButton;
    };
    const auto openDialogTexts = [&] {
        Seen seen;
        ModalAnswerer answerer;
        answerer.onFileDialog = [&](QFileDialog *dialog) {
            auto *buttons = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
            if (buttons) seen.cancel = buttons->button(QDialogButtonBox::Cancel)->text();
            if (auto *label = dialog->findChild<QLabel *>(QStringLiteral("fileTypeLabel")))
                seen.fileTypeLabel = label->text();
            dialog->reject();
        };
        f.N2->trigger();
        QMessageBox box(QMessageBox::Critical, QStringLiteral("t"), QStringLiteral("m"),
                        QMessageBox::Ok | QMessageBox::Cancel);
        seen.boxButton = box.button(QMessageBox::Cancel)->text();
        return seen;
    };
    const Seen russian = openDialogTexts();
    EXPECT_EQ(russian.cancel, "Отмена");
    EXPECT_EQ(russian.boxButton, "Отмена");
    EXPECT_TRUE(russian.fileTypeLabel.contains("Тип")) << russian.fileTypeLabel.toStdString();
    f.Lang1->trigger();
    const Seen english = openDialogTexts();
    EXPECT_EQ(english.cancel, "Cancel");
    EXPECT_EQ(english.boxButton, "Cancel");
    EXPECT_TRUE(english.fileTypeLabel.contains("type")) << english.fileTypeLabel.toStdString();
    f.Lang0->trigger();
    EXPECT_EQ(openDialogTexts().cancel, "Отмена");
}

TEST_F(TForm1Test, HeaderClicksSortAndRowNumbersSelect) {
    TForm1 &f = *m_form;
    f.Action1Execute(writeProject("sort.vd", kFourRows));
    ASSERT_EQ(f.table().rowCount(), 5);
    clickHeader(7); // the first click of a new window sorts descending
    EXPECT_EQ(column(7), (std::vector<QString>{"100.00", "20.50", "-3.00", ""}));
    clickHeader(7);
    EXPECT_EQ(column(7), (std::vector<QString>{"", "-3.00", "20.50", "100.00"}));
    EXPECT_EQ(f.StringGrid1->model()->headerData(0, Qt::Vertical).toString(), "3");
    // The corner cell "№" sorts by the number column; the direction keeps alternating.
    f.StringGrid1LeftRelease(0, 0);
    EXPECT_EQ(column(0), (std::vector<QString>{"4", "3", "2", "1"}));

    clickNumber(2);
    EXPECT_EQ(f.selection(), (Selection{0, 2, 9, 2}));
    EXPECT_EQ(f.StringGrid1->selectionModel()->selectedIndexes().size(), 9);

    // A cell that is no number ends the sort with its message and leaves the table as it was.
    f.table().setCell(8, 1, u"NAN");
    const auto before = column(0);
    ModalAnswerer answerer;
    clickHeader(8);
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_TRUE(answerer.boxes[0].text.contains("NAN"));
    EXPECT_EQ(column(0), before);
}

TEST_F(TForm1Test, DeleteRemovesTheTopRowOfTheSelection) {
    TForm1 &f = *m_form;
    f.Action1Execute(writeProject("delete.vd", kFourRows));
    f.setSelection(Selection{1, 2, 5, 3});
    f.StringGrid1->setFocus();
    QTest::keyClick(f.StringGrid1, Qt::Key_Delete);
    EXPECT_EQ(column(0), (std::vector<QString>{"1", "3", "4"}));
    EXPECT_EQ(RecordCount.load(), 4u);

    // Over no cell the selection leaves the table, and Delete deletes nothing.
    f.StringGrid1LeftRelease(-1, -1);
    QTest::keyClick(f.StringGrid1, Qt::Key_Delete);
    EXPECT_EQ(column(0), (std::vector<QString>{"1", "3", "4"}));

    // The context menu opens only over the number of the selected row.
    clickNumber(1);
    EXPECT_FALSE(f.StringGrid1RightPress(0, 2, QPoint()));
    EXPECT_TRUE(f.StringGrid1RightPress(0, 1, QPoint()));
    f.PopupMenu1->close();
    f.Delete1->trigger();
    EXPECT_EQ(column(0), (std::vector<QString>{"3", "4"}));
}

TEST_F(TForm1Test, DeleteOnTheKeypadDeletesTheRowAsDeleteDoes) {
    TForm1 &f = *m_form;
    f.Action1Execute(writeProject("keypad.vd", kFourRows));
    f.StringGrid1->setFocus();
    clickNumber(2);
    QTest::keyClick(f.StringGrid1, Qt::Key_Delete, Qt::KeypadModifier);
    EXPECT_EQ(column(0), (std::vector<QString>{"1", "3", "4"}));
    // Another modifier held changes nothing: the key still deletes.
    clickNumber(1);
    QTest::keyClick(f.StringGrid1, Qt::Key_Delete, Qt::ShiftModifier | Qt::KeypadModifier);
    EXPECT_EQ(column(0), (std::vector<QString>{"3", "4"}));
}

TEST_F(TForm1Test, CtrlCCopiesTableOrBlock) {
    TForm1 &f = *m_form;
    f.Action1Execute(writeProject("copy.vd", kFourRows));
    f.StringGrid1->setFocus();
    f.setSelection(Selection{2, 2, 2, 2});
    QTest::keyClick(f.StringGrid1, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), TableText(f.table()));
    EXPECT_TRUE(QGuiApplication::clipboard()->text().startsWith(
        "№\tВремя\t\tДата\t\tРежим\t\tНомер\tСерия\tДатчик\t\tT, °C\tH, %\tQ, Вт/m2\r\n"));

    clickNumber(2);
    QTest::keyClick(f.StringGrid1, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              "2\t10:15:00\t01.02.2024\tНепрерывный\t2\t0\tТП-K\t-3.00\t\t2.00\r\n");
}

TEST_F(TForm1Test, CommandLinePathWithBlanksOpensTheProject) {
    TForm1 &f = *m_form;
    const QString path = writeProject("my archive.vd", kFourRows, {false, true});
    ASSERT_TRUE(path.contains(' '));
    const StartupArguments arguments =
        ParseStartupArguments(QStringList{"--simulate"} + path.split(QLatin1Char(' ')));
    EXPECT_TRUE(arguments.simulate);
    f.Action1Execute(arguments.projectPath);
    EXPECT_EQ(f.openDialogName(), path);
    EXPECT_EQ(f.table().cell(7, 2), "-3.00");
    EXPECT_EQ(RecordCount.load(), 4u);
    EXPECT_EQ(f.Panel1->text(), "Канал 2");
    EXPECT_EQ(f.width(), 1000);
}

TEST_F(TForm1Test, ProjectMenuItems) {
    TForm1 &f = *m_form;
    ModalAnswerer answerer;
    const QString target = m_dir.filePath("saved.vd");
    answerer.onFileDialog = [&](QFileDialog *dialog) {
        EXPECT_EQ(dialog->nameFilters().front(), "VELDA-9 (*.vd)");
        test::ChooseFile(dialog, target);
        QMetaObject::invokeMethod(dialog, "accept");
    };
    f.N1Click(); // empty table: refused after the dialog
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes[0].text, "Архив не считан!");
    EXPECT_EQ(answerer.boxes[0].title, "Ошибка");
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_EQ(f.saveDialogName(), target);

    f.Action1Execute(writeProject("source.vd", kFourRows));
    f.N1Click();
    ASSERT_TRUE(QFile::exists(target));

    // A damaged file is refused with its message and changes nothing.
    const QString damaged = m_dir.filePath("damaged.vd");
    {
        QFile file(damaged);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromHex("0100ff000000ffffff7f"));
    }
    f.table().setCell(5, 1, u"kept");
    RecordCount = 0;
    answerer.onFileDialog = [&](QFileDialog *dialog) {
        EXPECT_EQ(dialog->nameFilters().front(), "VELDA (*.vd)");
        test::ChooseFile(dialog, damaged);
        QMetaObject::invokeMethod(dialog, "accept");
    };
    f.N2Click();
    ASSERT_EQ(answerer.boxes.size(), 2u);
    EXPECT_TRUE(answerer.boxes[1].text.contains("damaged.vd"));
    EXPECT_EQ(f.table().cell(5, 1), "kept");
    EXPECT_EQ(RecordCount.load(), 4u);

    answerer.onFileDialog = [&](QFileDialog *dialog) {
        test::ChooseFile(dialog, target);
        QMetaObject::invokeMethod(dialog, "accept");
    };
    f.N2Click();
    EXPECT_EQ(answerer.boxes.size(), 2u);
    EXPECT_EQ(f.table().cell(5, 1), "0");
    EXPECT_EQ(f.openDialogName(), target);
}

TEST_F(TForm1Test, ProjectFileMessagesFollowTheLanguage) {
    TForm1 &f = *m_form;
    const auto write = [this](const char *name, const QByteArray &hex) {
        QFile file(m_dir.filePath(QString::fromLatin1(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromHex(hex));
        return file.fileName();
    };
    const QString shortFile = write("short.vd", "0100020000");
    const QString negative = write("negative.vd", "0100feffffff01000000");
    const QString tooMany = write("toomany.vd", "01000e00000040420f0000000000");
    const QString protectedFile = writeProject("protected.vd", kFourRows);
    ASSERT_TRUE(QFile::setPermissions(protectedFile, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    const QByteArray protectedBytes = [&] {
        QFile file(protectedFile);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }();
    f.Action1Execute(writeProject("shown.vd", kFourRows));

    enum class Way { OpenMenu, CommandLine, SaveMenu };
    struct Case {
        const char *name;
        Way way;
        QString path;
        const char *russian;
        const char *english;
    };
    const Case cases[] = {
        {"truncated", Way::OpenMenu, shortFile,
         "short.vd: в файле 5 байт, а в файле проекта их не меньше 10 (смещение 5)",
         "short.vd: the file holds 5 bytes, a project file has at least 10 (offset 5)"},
        {"negative count", Way::OpenMenu, negative,
         "negative.vd: число столбцов -2 отрицательно (смещение 2)",
         "negative.vd: the column count -2 is negative (offset 2)"},
        {"impossible counts", Way::OpenMenu, tooMany,
         "toomany.vd: 14 столбцов по 1000000 строк требуют больше ячеек, чем вмещают 4 байт после заголовка "
         "(каждая ячейка занимает не меньше 4) (смещение 2)",
         "toomany.vd: 14 columns of 1000000 rows claim more cells than the 4 bytes after the header can hold "
         "(each cell takes at least 4) (offset 2)"},
        {"missing file", Way::CommandLine, m_dir.filePath("missing.vd"),
         "missing.vd: не удаётся открыть: файл не найден", "missing.vd: cannot open: no such file"},
        {"read-only file", Way::SaveMenu, protectedFile, "protected.vd: файл только для чтения",
         "protected.vd: the file is read-only"},
    };
    ModalAnswerer answerer;
    for (const bool english : {false, true}) {
        (english ? f.Lang1 : f.Lang0)->trigger();
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.name) + (english ? ", English" : ", Russian"));
            answerer.boxes.clear();
            answerer.onFileDialog = [&](QFileDialog *dialog) {
                test::ChooseFile(dialog, c.path);
                dialog->QDialog::accept(); // a chosen file that exists is taken without the replace question
            };
            switch (c.way) {
            case Way::OpenMenu:
                f.N2->trigger();
                break;
            case Way::CommandLine:
                f.Action1Execute(c.path);
                break;
            case Way::SaveMenu:
                f.N1->trigger();
                break;
            }
            ASSERT_EQ(answerer.boxes.size(), 1u);
            EXPECT_EQ(answerer.boxes[0].text, QString::fromUtf8(english ? c.english : c.russian));
            EXPECT_EQ(answerer.boxes[0].title, english ? "Error" : "Ошибка");
            EXPECT_EQ(f.table().cell(7, 1), "20.50") << "the table stays as it was";
        }
    }
    QFile file(protectedFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), protectedBytes);
}

TEST_F(TForm1Test, HelpOpensThePageForTheLanguageAndF1ReachesTheTable) {
    TForm1 &f = *m_form;
    OpenedUrls().clear();
    f.StringGrid1->setFocus();
    QApplication::setActiveWindow(&f);
    int f1SeenByTable = 0;
    KeySpy spy(Qt::Key_F1, &f1SeenByTable);
    f.StringGrid1->installEventFilter(&spy);
    QTest::keyClick(f.StringGrid1, Qt::Key_F1);
    f.StringGrid1->removeEventFilter(&spy);
    EXPECT_EQ(f1SeenByTable, 1);
    // Found beside the program (bin/../share/velda9/help), as in the installed tree, not in the sources.
    const QDir helpDir(QStringLiteral(VELDA_BIN_DIR "/../share/velda9/help"));
    ASSERT_EQ(OpenedUrls().size(), 1u);
    EXPECT_EQ(OpenedUrls()[0].toLocalFile(), QFileInfo(helpDir.filePath("index.html")).canonicalFilePath());
    f.Lang1Click();
    f.Contents1->trigger();
    ASSERT_EQ(OpenedUrls().size(), 2u);
    EXPECT_EQ(OpenedUrls()[1].toLocalFile(),
              QFileInfo(helpDir.filePath("index-en.html")).canonicalFilePath());
}

TEST_F(TForm1Test, HelpThatNoProgramOpensIsReportedInTheLanguage) {
    TForm1 &f = *m_form;
    f.urlOpener().replace([](const QUrl &) { return false; });
    ModalAnswerer answerer;
    f.StringGrid1->setFocus();
    QApplication::setActiveWindow(&f);
    QTest::keyClick(f.StringGrid1, Qt::Key_F1);
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes[0].title, "Внимание");
    EXPECT_TRUE(answerer.boxes[0].text.startsWith("Не удалось открыть справку "))
        << answerer.boxes[0].text.toStdString();
    EXPECT_TRUE(answerer.boxes[0].text.contains("help/index.html")) << answerer.boxes[0].text.toStdString();
    f.Lang1->trigger();
    f.Contents1->trigger();
    ASSERT_EQ(answerer.boxes.size(), 2u);
    EXPECT_EQ(answerer.boxes[1].title, "Warning");
    EXPECT_TRUE(answerer.boxes[1].text.startsWith("Could not open the help page "))
        << answerer.boxes[1].text.toStdString();
    EXPECT_TRUE(answerer.boxes[1].text.contains("help/index-en.html"))
        << answerer.boxes[1].text.toStdString();
}

TEST_F(TForm1Test, HoverHintFollowsThePointer) {
    TForm1 &f = *m_form;
    QHeaderView *columns = f.StringGrid1->horizontalHeader();
    const PointerPlace header = f.placeAt(columns->viewport()->mapToGlobal(headerPoint(3)));
    EXPECT_EQ(header.row, 0);
    EXPECT_EQ(header.column, 3);
    const PointerPlace number =
        f.placeAt(f.StringGrid1->verticalHeader()->viewport()->mapToGlobal(numberPoint(2)));
    EXPECT_EQ(number.column, 0);
    EXPECT_EQ(number.row, 2);
    QHeaderView *rows = f.StringGrid1->verticalHeader();
    const PointerPlace corner =
        f.placeAt(rows->mapToGlobal(QPoint(rows->width() / 2, -columns->height() / 2)));
    EXPECT_EQ(corner.column, 0);
    EXPECT_EQ(corner.row, 0);
    const PointerPlace belowRows =
        f.placeAt(rows->mapToGlobal(QPoint(rows->width() / 2, rows->height() - 2)));
    EXPECT_TRUE(belowRows.insideTable);
    EXPECT_EQ(belowRows.row, -1);
    const PointerPlace outside = f.placeAt(f.mapToGlobal(QPoint(-50, -50)));
    EXPECT_FALSE(outside.insideWindow);
    const PointerPlace button = f.placeAt(f.Button1->mapToGlobal(QPoint(5, 5)));
    EXPECT_TRUE(button.insideWindow);
    EXPECT_FALSE(button.insideTable);
}

} // namespace

namespace {

TEST_F(TForm1Test, DraggingANumberMovesTheWholeRow) {
    TForm1 &f = *m_form;
    f.Action1Execute(writeProject("move.vd", kFourRows));
    QHeaderView *rows = f.StringGrid1->verticalHeader();
    rows->moveSection(0, 2); // what the header does when row 1 is dropped on row 3
    QCoreApplication::processEvents();
    EXPECT_EQ(column(0), (std::vector<QString>{"2", "3", "1", "4"}));
    EXPECT_EQ(column(7), (std::vector<QString>{"-3.00", "", "20.50", "100.00"}));
    EXPECT_EQ(rows->visualIndex(0), 0); // the header itself returns to its plain order
    EXPECT_EQ(f.StringGrid1->model()->headerData(2, Qt::Vertical).toString(), "1");
    EXPECT_EQ(f.selection(), (Selection{0, 3, 9, 3}));
}

// A row number dragged with the mouse lands on the row under the pointer at release, wherever in that
// row the pointer is, and the moved row is the one selected afterwards.
TEST_F(TForm1Test, RowDraggedWithTheMouseLandsWhereItIsReleased) {
    struct Case {
        const char *name;
        int from;
        int to;
        int releaseY; ///< pixels below the top of the row released on
        std::vector<QString> order;
    };
    const Case cases[] = {
        {"down, upper part of the row", 1, 3, 3, {"2", "3", "1", "4"}},
        {"down, middle of the row", 1, 3, 10, {"2", "3", "1", "4"}},
        {"down, lower part of the row", 1, 3, 16, {"2", "3", "1", "4"}},
        {"down by one, upper part", 1, 2, 3, {"2", "1", "3", "4"}},
        {"up, lower part of the row", 4, 2, 16, {"1", "4", "2", "3"}},
        {"up by one, lower part", 3, 2, 16, {"1", "3", "2", "4"}},
    };
    TForm1 &f = *m_form;
    QHeaderView *rows = f.StringGrid1->verticalHeader();
    QWidget *vp = rows->viewport();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        f.Action1Execute(writeProject("drag.vd", kFourRows));
        const int x = numberPoint(c.from).x();
        const QPoint release(x, rows->sectionViewportPosition(c.to - 1) +
                                    c.releaseY * rows->sectionSize(c.to - 1) / 20);
        QTest::mousePress(vp, Qt::LeftButton, {}, numberPoint(c.from));
        const int step = release.y() > numberPoint(c.from).y() ? 3 : -3;
        for (int y = numberPoint(c.from).y(); (release.y() - y) * step > 0; y += step)
            QTest::mouseMove(vp, QPoint(x, y));
        QTest::mouseMove(vp, release);
        QTest::mouseRelease(vp, Qt::LeftButton, {}, release);
        QCoreApplication::processEvents();
        EXPECT_EQ(column(0), c.order);
        const auto numbers = column(0);
        const auto moved = std::find(numbers.begin(), numbers.end(), QString::number(c.from));
        EXPECT_EQ(moved - numbers.begin() + 1, c.to);
        EXPECT_EQ(f.selection(), (Selection{0, c.to, 9, c.to}));
        EXPECT_EQ(f.StringGrid1->selectionModel()->selectedIndexes().size(), 9);
    }
}

TEST_F(TForm1Test, StatusLineShowsTheHintUnderThePointer) {
    TForm1 &f = *m_form;
    QHeaderView *columns = f.StringGrid1->horizontalHeader();
    QCursor::setPos(columns->viewport()->mapToGlobal(headerPoint(2)));
    if (f.placeAt(QCursor::pos()).row != 0) GTEST_SKIP() << "this platform does not move the pointer";
    f.Timer1Timer();
    EXPECT_EQ(f.StatusBar1->currentMessage(), "Левая кнопка мыши - Сортировка");
    f.Lang1Click();
    f.Timer1Timer();
    EXPECT_EQ(f.StatusBar1->currentMessage(), "Left mouse button - Sort");
    QCursor::setPos(f.StringGrid1->verticalHeader()->viewport()->mapToGlobal(numberPoint(1)));
    f.Timer1Timer();
    EXPECT_EQ(f.StatusBar1->currentMessage(), "");
    QCursor::setPos(f.StringGrid1->viewport()->mapToGlobal(QPoint(60, 30)));
    f.Timer1Timer();
    EXPECT_EQ(f.StatusBar1->currentMessage(), "Left mouse button + drag - Highlight");
}

TEST_F(TForm1Test, ClockSettingRefusesOtherExchangesAndASecondClickCancels) {
    TForm1 &f = *m_form;
    ModalAnswerer answerer;
    f.SpeedButton1Click();
    ASSERT_TRUE(ExchangeRunning()); // it waits for the GUI thread at least for its result box
    EXPECT_FALSE(f.StatusBar1->currentMessage().isEmpty());
    f.Button1Click();
    EXPECT_EQ(f.StatusBar1->currentMessage(), Pick(TxtClockBusy));
    EXPECT_TRUE(TableIsEmpty(f.table()));
    f.SpeedButton1Click();
    EXPECT_TRUE(CancelRequested.load());
    EXPECT_TRUE(WaitForExchange(std::chrono::seconds(30), ProcessGuiEvents));
    // After the refusal has had its time the hover hints return.
    for (int tick = 0; tick < 20; ++tick)
        f.Timer1Timer();
    EXPECT_NE(f.StatusBar1->currentMessage(), Pick(TxtClockBusy));

    CancelRequested = false;
    f.SpeedButton1Click();
    EXPECT_TRUE(WaitForExchange(std::chrono::seconds(30), ProcessGuiEvents));
    ASSERT_FALSE(answerer.boxes.empty());
    EXPECT_EQ(answerer.boxes.back().text, "Время установлено успешно");
}

// A double click on the clock button sets the clock once and the status line says so.
TEST_F(TForm1Test, DoubleClickOnTheClockButtonSetsTheClock) {
    TForm1 &f = *m_form;
    ModalAnswerer answerer;
    // What the platform sends for a double click: press, release, double click, release.
    QTest::mouseClick(f.SpeedButton1, Qt::LeftButton);
    QTest::mouseDClick(f.SpeedButton1, Qt::LeftButton);
    QTest::mouseRelease(f.SpeedButton1, Qt::LeftButton);
    EXPECT_TRUE(ExchangeRunning());
    EXPECT_FALSE(CancelRequested.load()) << "the second half of the double click cancels nothing";
    EXPECT_NE(f.StatusBar1->currentMessage(), Pick(TxtClockCancelling));
    ASSERT_TRUE(WaitForExchange(std::chrono::seconds(30), ProcessGuiEvents));
    f.Timer1Timer();
    EXPECT_EQ(f.StatusBar1->currentMessage(), "Время установлено успешно");
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes[0].text, "Время установлено успешно");
}

// With no instrument the clock setting waits; the status line, the refusal of a read and the button's
// hint say how to stop it, and after the second click the status line says nothing was sent.
TEST_F(TForm1Test, AWaitingClockSettingSaysHowToStopIt) {
    TForm1 &f = *m_form;
    ModalAnswerer answerer;
    useScenario(R"({"firmware_date": "13.03.2018", "faults": {"absent_ms": 3600000}})");
    struct Case {
        std::uint8_t language;
        const char *noInstrument;
        const char *howToCancel;
        const char *notSent;
    };
    const Case cases[] = {
        {0, "Проверьте подключение", "Повторное нажатие кнопки часов отменяет установку времени",
         "Установка времени отменена, время прибора не изменено"},
        {1, "Check Connection", "Click the clock button again to cancel the clock setting",
         "Clock setting cancelled, the instrument clock was not changed"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.language));
        c.language == 0 ? f.Lang0Click() : f.Lang1Click();
        const QString plainHint = f.SpeedButton1->toolTip();
        EXPECT_FALSE(plainHint.contains(QString::fromUtf8(c.howToCancel)));

        QTest::mouseClick(f.SpeedButton1, Qt::LeftButton);
        ASSERT_TRUE(ExchangeRunning());
        ASSERT_TRUE(QTest::qWaitFor([] { return ExchangeStatus.load() == StatusNoDevice; }, 10000));
        f.Timer1Timer();
        const QString waiting = f.StatusBar1->currentMessage();
        EXPECT_TRUE(waiting.contains(QString::fromUtf8(c.noInstrument))) << waiting.toStdString();
        EXPECT_TRUE(waiting.contains(QString::fromUtf8(c.howToCancel))) << waiting.toStdString();
        EXPECT_TRUE(f.SpeedButton1->toolTip().startsWith(plainHint));
        EXPECT_TRUE(f.SpeedButton1->toolTip().contains(QString::fromUtf8(c.howToCancel)));

        QTest::mouseClick(f.Button1, Qt::LeftButton);
        EXPECT_EQ(f.StatusBar1->currentMessage(), Pick(TxtClockBusy));
        EXPECT_TRUE(
            f.StatusBar1->currentMessage().contains(c.language == 0 ? "кнопки часов" : "clock button"));

        QTest::mouseClick(f.SpeedButton1, Qt::LeftButton);
        ASSERT_TRUE(WaitForExchange(std::chrono::seconds(30), ProcessGuiEvents));
        f.Timer1Timer();
        EXPECT_EQ(f.StatusBar1->currentMessage(), QString::fromUtf8(c.notSent));
        EXPECT_EQ(f.SpeedButton1->toolTip(), plainHint);
        EXPECT_EQ(LastClockOutcome.load(), ClockOutcome::NotSent);
    }
    f.Lang0Click();
    EXPECT_TRUE(answerer.boxes.empty());
}

TEST_F(TForm1Test, AboutBoxTextsAndLinks) {
    for (std::uint8_t language : {0, 1}) {
        SCOPED_TRACE(language);
        LanguageIndex = language;
        TAboutBox box(m_form->urlOpener());
        EXPECT_EQ(box.windowTitle(), language == 0 ? "О приборе" : "About");
        EXPECT_EQ(box.size(), QSize(303, 226));
        EXPECT_EQ(box.ProductName->text(), "VELDA - 9");
        const QString version = box.Version->text();
        EXPECT_TRUE(version.startsWith(language == 0 ? "Версия 1.0.0 от " : "Version 1.0.0 of "))
            << version.toStdString();
        EXPECT_TRUE(version.endsWith(" г.")) << version.toStdString();
        EXPECT_EQ(box.Comments->text(), language == 0 ? "тел./факс. " : "tel./fax");
        EXPECT_EQ(box.Label2->text(), language == 0 ? " многоканальный " : " multichannel ");
        EXPECT_TRUE(box.OKButton->isDefault());
    }
    LanguageIndex = 0;
    OpenedUrls().clear();
    UrlOpener opener;
    RecordUrls(opener);
    TAboutBox box(opener);
    QTest::mouseClick(box.LabelEMail, Qt::LeftButton);
    QTest::mouseClick(box.LabelWWW, Qt::LeftButton);
    QTest::mouseClick(box.ProgramIcon, Qt::LeftButton);
    ASSERT_EQ(OpenedUrls().size(), 3u);
    EXPECT_EQ(OpenedUrls()[0].toString(), "mailto:info@velda9.example?Subject=Appwindowtest");
    EXPECT_EQ(OpenedUrls()[1].toString(), "https://velda9.example");
    EXPECT_EQ(OpenedUrls()[2], OpenedUrls()[1]);
}

} // namespace

namespace {

TEST_F(TForm1Test, SecondaryWindowsOpenModallyFromTheMainWindow) {
    TForm1 &f = *m_form;
    const SystemFormats saved = CurrentFormats();
    // Day-first dates with dots and a decimal point, as the rows below are written.
    SetCurrentFormats(SystemFormats::FromLocale(QLocale(QLocale::German, QLocale::Switzerland)));
    ModalAnswerer answerer;
    f.Action1Execute(writeProject("windows.vd", kFourRows));
    f.Button2Click();
    f.Copy3->trigger();
    f.Print1->trigger();
    f.About1->trigger();
    for (const ShownBox &box : answerer.boxes)
        ADD_FAILURE() << box.title.toStdString() << ": " << box.text.toStdString();
    ASSERT_EQ(answerer.windows.size(), 4u);
    EXPECT_TRUE(answerer.windows[0].endsWith("TForm4"));
    EXPECT_TRUE(answerer.windows[1].endsWith("TForm5"));
    EXPECT_TRUE(answerer.windows[2].contains("PrintPreview"));
    EXPECT_TRUE(answerer.windows[3].endsWith("TAboutBox"));
    EXPECT_EQ(f.table().rowCount(), 5); // the graph may reorder rows, never drop them
    SetCurrentFormats(saved);
}

} // namespace
namespace {
TEST_F(TForm1Test, MouseDragOfANumberMovesTheRow) {
    TForm1 &f = *m_form;
    f.Action1Execute(writeProject("drag.vd", kFourRows));
    QWidget *vp = f.StringGrid1->verticalHeader()->viewport();
    QTest::mousePress(vp, Qt::LeftButton, {}, numberPoint(1));
    for (int y = numberPoint(1).y(); y <= numberPoint(3).y(); y += 4)
        QTest::mouseMove(vp, QPoint(numberPoint(1).x(), y));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, numberPoint(3));
    QCoreApplication::processEvents();
    const auto numbers = column(0);
    EXPECT_EQ(numbers.front(), "2");
    const auto moved = std::find(numbers.begin(), numbers.end(), QString("1"));
    ASSERT_NE(moved, numbers.end());
    EXPECT_EQ(column(7)[static_cast<std::size_t>(moved - numbers.begin())], "20.50");
}
} // namespace

namespace {

// The text lines a label shows, as the horizontal extent of the ink of each line of its picture.
std::vector<int> InkLineWidths(QWidget *label) {
    const QImage picture = label->grab().toImage();
    std::vector<int> widths;
    bool inLine = false;
    for (int y = 0; y < picture.height(); ++y) {
        int left = picture.width(), right = -1;
        for (int x = 0; x < picture.width(); ++x) {
            if (qGray(picture.pixel(x, y)) < 128) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
        if (right < 0) {
            inLine = false;
            continue;
        }
        if (!inLine) widths.push_back(0);
        inLine = true;
        widths.back() = std::max(widths.back(), right - left + 1);
    }
    return widths;
}

} // namespace

// Small layout faults a user sees at once: the corner "№" of the empty table, the About box's version
// line, the graph's grid, the name proposed for a printed PDF.
TEST_F(TForm1Test, SmallLayoutFaults) {
    TForm1 &f = *m_form;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    auto *corner = f.StringGrid1->findChild<QLabel *>(QStringLiteral("StringGrid1Corner"));
    ASSERT_NE(corner, nullptr);
    EXPECT_EQ(corner->text(), "№");
    EXPECT_EQ(corner->geometry(), corner->parentWidget()->rect());
    const QFontMetrics cornerFont(corner->font());
    EXPECT_GE(corner->width(), cornerFont.horizontalAdvance(QStringLiteral("№")));
    EXPECT_GE(corner->height(), cornerFont.height());

    for (const std::uint8_t language : {0, 1}) {
        SCOPED_TRACE(language);
        LanguageIndex = language;
        TAboutBox box(f.urlOpener());
        box.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
        const std::vector<int> lines = InkLineWidths(box.Version);
        ASSERT_FALSE(lines.empty());
        // The year mark stays with the date: no line holds it alone.
        const int yearMark = QFontMetrics(box.Version->font()).horizontalAdvance(QStringLiteral("2026 г."));
        for (const int width : lines)
            EXPECT_GE(width, yearMark);
    }
    LanguageIndex = 0;

    f.Action1Execute(writeProject("layout.vd", kFourRows));
    // The graph draws one set of horizontal grid lines, the left axis's.
    const SystemFormats saved = CurrentFormats();
    SetCurrentFormats(SystemFormats::FromLocale(QLocale(QLocale::German, QLocale::Switzerland)));
    ModalAnswerer answerer;
    {
        TForm4 graph(f.table(), &f);
        EXPECT_TRUE(graph.LeftAxis->isGridLineVisible());
        EXPECT_FALSE(graph.RightAxis->isGridLineVisible());
    }
    SetCurrentFormats(saved);
    for (const ShownBox &box : answerer.boxes)
        ADD_FAILURE() << box.text.toStdString();

    // The PDF of a report is proposed under the report's title without the time's colons, in the folder
    // of the project just opened.
    TForm6 report(f.table(), &f);
    const QString docName = report.printer().docName();
    EXPECT_TRUE(docName.startsWith("Архив измерений ")) << docName.toStdString();
    for (const QChar c : QStringLiteral("/\\:*?\"<>|"))
        EXPECT_FALSE(docName.contains(c)) << docName.toStdString();
    if (QPrinterInfo::availablePrinterNames().isEmpty()) {
        EXPECT_EQ(report.printer().outputFileName(), QDir(m_dir.path()).filePath(docName + ".pdf"));
    }
}

// A left release is judged by the cell under the pointer, whichever part of the table was pressed and
// receives it; Tab leaves the table; the row number's menu opens at the pointer.
TEST_F(TForm1Test, ReleasesKeysAndTheMenuActWhereThePointerIs) {
    TForm1 &f = *m_form;
    f.Action1Execute(writeProject("release.vd", kFourRows));
    ArchiveGrid *grid = f.StringGrid1;
    const std::pair<QWidget *, QPoint> header{grid->horizontalHeader()->viewport(), headerPoint(7)},
        number{grid->verticalHeader()->viewport(), numberPoint(3)}, cell{grid->viewport(), QPoint(60, 30)};
    const struct {
        const char *name;
        std::pair<QWidget *, QPoint> press, release;
        std::vector<QString> numbers;
        Selection selection;
    } cases[] = {
        {"header released over the data", header, cell, {"1", "2", "3", "4"}, Selection{3, 2, 3, 2}},
        {"drag ending on a row number", cell, number, {"1", "2", "3", "4"}, Selection{0, 3, 9, 3}},
        {"drag ending on a header cell sorts", cell, header, {"4", "1", "2", "3"}, Selection{1, 2, 1, 2}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        f.setSelection(Selection{3, 2, 3, 2});
        const auto [pressed, pressPos] = c.press;
        const QPoint releasePos = pressed->mapFromGlobal(c.release.first->mapToGlobal(c.release.second));
        QTest::mousePress(pressed, Qt::LeftButton, {}, pressPos);
        QTest::mouseMove(pressed, releasePos);
        QTest::mouseRelease(pressed, Qt::LeftButton, {}, releasePos);
        QCoreApplication::processEvents();
        EXPECT_EQ(column(0), c.numbers);
        EXPECT_EQ(f.selection(), c.selection);
    }
    f.StringGrid1->setFocus();
    QTest::keyClick(f.StringGrid1, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), f.Button1);
    clickNumber(1);
    QTest::mousePress(number.first, Qt::RightButton, {}, numberPoint(1));
    EXPECT_EQ(f.PopupMenu1->pos(), number.first->mapToGlobal(numberPoint(1)));
    f.PopupMenu1->close();
}

TEST_F(TForm1Test, DownloadsOncePerStayWhenTheInstrumentArrives) {
    TForm1 &f = *m_form;
    const QString history = m_dir.filePath(QStringLiteral("plug.sqlite"));
    ::setenv("VELDA9_HISTORY", history.toLocal8Bit().constData(), 1);
    ::setenv("VELDA9_SCAN_INTERVAL_MS", "20", 1);
    // Two stays of 100 scans, two scans apart; every temperature lies above the limit.
    useScenario(R"({"generate": {"records": 12, "format": 2, "seed": 3},
                    "presence": {"arrive_after_scans": 2, "leave_after_scans": 100, "stays": 2}})");
    StatsSettings limits;
    limits.limits.set(Quantity::Temperature, Limit{std::nullopt, -100.0});
    SetCurrentStatsSettings(limits);
    const auto downloads = [&history] {
        HistoryLocation location;
        location.path = history;
        auto store = HistoryStore::open(location);
        if (!store.ok()) return std::size_t{0};
        const auto list = store.value()->downloads(QStringLiteral("VELDA-9"));
        return list.ok() ? list.value().size() : 0u;
    };
    EXPECT_FALSE(f.DownloadOnConnect1->isChecked());
    EXPECT_EQ(f.findChild<HotplugSource *>(), nullptr) << "unused, nothing watches the bus";
    f.DownloadOnConnect1->trigger();
    auto *source = f.findChild<HotplugSource *>();
    ASSERT_NE(source, nullptr);
    QSignalSpy arrivals(source, &HotplugSource::arrived), departures(source, &HotplugSource::left);

    // The instrument arrives under a modal dialog: nothing is read until the dialog has closed.
    QDialog blocker(&f);
    bool readUnderDialog = true;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (arrivals.count() == 0 || !watch.isActive()) return;
        watch.stop();
        // A turn of the event loop later the arrival has had its chance to start a download.
        QTimer::singleShot(0, &blocker, [&] {
            readUnderDialog = ExchangeRunning() || !TableIsEmpty(f.table());
            blocker.accept();
        });
    });
    watch.start(5);
    blocker.exec();
    EXPECT_FALSE(readUnderDialog);

    ModalAnswerer answerer; // cancels the question for a name: the default one
    ASSERT_TRUE(QTest::qWaitFor([&] { return !TableIsEmpty(f.table()); }, 30000));
    EXPECT_EQ(f.table().rowCount(), 13);
    const QString status = f.StatusBar1->currentMessage();
    EXPECT_TRUE(status.contains("прибор «VELDA-9»") && status.contains("VELDA-9: показания вне пределов"))
        << status.toStdString();
    // The stay lasts many scans after its download and is read once; the next stay is read again.
    ASSERT_TRUE(QTest::qWaitFor([&] { return departures.count() == 1; }, 30000));
    EXPECT_EQ(downloads(), 1u);
    EXPECT_TRUE(QTest::qWaitFor([&] { return downloads() == 2u; }, 30000));
    f.DownloadOnConnect1->trigger();
    EXPECT_EQ(f.findChild<HotplugSource *>(), nullptr);
    EXPECT_FALSE(OpenUserSettings()->value("plug/downloadOnConnect").toBool());
    SetCurrentStatsSettings({});
    ::unsetenv("VELDA9_HISTORY");
    ::unsetenv("VELDA9_SCAN_INTERVAL_MS");
}
