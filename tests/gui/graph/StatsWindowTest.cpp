// The statistics window, its menu item in the main window, the table's tint and the graph's limit lines,
// driven offscreen. Settings go to a temporary folder, never to the user's home.
#include "app/ArchiveTableModel.h"
#include "app/MainTexts.h"
#include "app/TForm1.h"
#include "archive/ProjectFile.h"
#include "graph/StatsTexts.h"
#include "graph/TForm4.h"
#include "graph/TStatsForm.h"

#include "graph/GraphTestTables.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGraphicsLineItem>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace velda;

namespace {

QApplication *App() {
    static int argc = 1;
    static char name[] = "StatsWindowTest";
    static char *argv[] = {name, nullptr};
    static auto *app = new QApplication(argc, argv);
    return app;
}

ArchiveTable TwoChannels() {
    return test::MakeTable(
        {{"10:00:00", "01.02.2024", "MK SHT       ", "20,00", "40,00", "6,00", "DS18B20      ", "5,00"},
         {"10:10:00", "01.02.2024", "MK SHT       ", "26,00", "50,00", "10,00", "DS18B20      ", "7,00"},
         {"10:20:00", "01.02.2024", "MK SHT       ", "23,00", "45,00", "8,00", "DS18B20      ", "9,00"}},
        14);
}

QString SheetText(const QTableWidget *sheet, const QString &figure, int column) {
    for (int r = 0; r < sheet->rowCount(); ++r) {
        if (sheet->verticalHeaderItem(r)->text() == figure)
            return sheet->item(r, column) ? sheet->item(r, column)->text() : QString();
    }
    return QStringLiteral("<no row %1>").arg(figure);
}

void Edit(QLineEdit *edit, const QString &text) {
    edit->setText(text);
    Q_EMIT edit->editingFinished();
}

class StatsWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { App(); }
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
        SetCurrentStatsSettings({});
        LanguageIndex = 0;
        m_services.openSettings = [this] {
            ++m_saves;
            return OpenUserSettings();
        };
        m_services.showError = [](QWidget *, const QString &, const QString &text) {
            ADD_FAILURE() << text.toStdString();
        };
    }
    void TearDown() override {
        SetCurrentStatsSettings({});
        LanguageIndex = 0;
    }
    test::RussianFormats m_formats;
    QTemporaryDir m_dir;
    int m_saves = 0;
    WindowServices m_services = DefaultWindowServices();
};

} // namespace

TEST_F(StatsWindowTest, OneTabPerChannelAndLimitsApplyAtOnce) {
    const ArchiveTable table = TwoChannels();
    TStatsForm form(table, true, true, 0, nullptr, m_services);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Статистика"));
    ASSERT_EQ(form.Tabs->count(), 2);
    EXPECT_EQ(form.Tabs->tabText(0), QStringLiteral("Канал 1"));
    EXPECT_EQ(form.Tabs->tabText(1), QStringLiteral("Канал 2"));
    ASSERT_EQ(form.Sheets.size(), 2U);
    EXPECT_EQ(form.Sheets[0]->columnCount(), 3); // temperature, humidity, dew point
    EXPECT_EQ(SheetText(form.Sheets[0], QStringLiteral("Среднее"), 0), QStringLiteral("23,00"));
    EXPECT_EQ(SheetText(form.Sheets[1], QStringLiteral("Максимум"), 0), QStringLiteral("9,00"));
    EXPECT_EQ(SheetText(form.Sheets[0], QStringLiteral("Время максимума"), 0),
              QStringLiteral("01.02.2024 10:10:00"));

    int announced = 0;
    QObject::connect(&form, &TStatsForm::limitsChanged, [&announced] { ++announced; });
    Edit(form.LimitEdits[0][1], QStringLiteral("24,5"));
    EXPECT_EQ(announced, 1);
    EXPECT_EQ(CurrentStatsSettings().limits.of(Quantity::Temperature), (Limit{std::nullopt, 24.5}));
    ASSERT_EQ(m_saves, 1);
    EXPECT_EQ(LoadStatsSettings(*OpenUserSettings()), CurrentStatsSettings());
    EXPECT_EQ(SheetText(form.Sheets[0], QStringLiteral("Выше предела"), 0), QStringLiteral("1 (33,33 %)"));
    EXPECT_EQ(SheetText(form.Sheets[1], QStringLiteral("Выше предела"), 0), QStringLiteral("0 (0,00 %)"));

    // A refused text changes nothing and says why; the field shows the value in use again, so no figure
    // counts with a limit shown nowhere.
    const std::tuple<QLineEdit *, const char *, const char *, const char *> refused[] = {
        {form.LimitEdits[0][0], "abc", "«abc» не является числом", ""},
        {form.LimitEdits[0][0], "30", "Нижний предел выше верхнего: Температура, °C", ""},
        {form.MktEdit, "-5", "ΔH/R должна быть больше 0 K, а не «-5»", "10000"},
    };
    for (const auto &[field, typed, message, shown] : refused) {
        Edit(field, QString::fromUtf8(typed));
        EXPECT_EQ(form.StatusLabel->text(), QString::fromUtf8(message));
        EXPECT_EQ(field->text(), QString::fromUtf8(shown));
    }
    EXPECT_EQ(announced, 1);
    EXPECT_EQ(CurrentStatsSettings().limits.of(Quantity::Temperature), (Limit{std::nullopt, 24.5}));

    // Emptying the field removes the limit; ΔH/R changes the mean kinetic temperature.
    Edit(form.LimitEdits[0][1], QString());
    EXPECT_FALSE(CurrentStatsSettings().limits.any());
    const QString mkt = SheetText(form.Sheets[0], QStringLiteral("Средняя кинетическая температура"), 0);
    Edit(form.MktEdit, QStringLiteral("20000"));
    EXPECT_EQ(CurrentStatsSettings().mktActivationK, 20000);
    EXPECT_NE(SheetText(form.Sheets[0], QStringLiteral("Средняя кинетическая температура"), 0), mkt);
    EXPECT_EQ(announced, 3);
}

TEST_F(StatsWindowTest, CopiesTabSeparatedTextInEnglish) {
    LanguageIndex = 1;
    const ArchiveTable table = TwoChannels();
    TStatsForm form(table, true, true, 0, nullptr, m_services);
    EXPECT_EQ(form.PrintButton->text(), QStringLiteral("Print..."));
    form.CopyClick();
    const QString text = QApplication::clipboard()->text();
    EXPECT_EQ(text, form.clipboardText());
    EXPECT_TRUE(text.startsWith(QStringLiteral("Chanal 1\r\nSensor\tMK SHT\tMK SHT\tMK SHT\r\n")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\r\nChanal 2\r\n")));
}

TEST_F(StatsWindowTest, MainWindowItemRefusesAnEmptyTableThenOpensAndTintsTheTable) {
    TForm1 main;
    main.show();
    QAction *item = nullptr;
    const QList<QAction *> actions = main.File1->actions();
    for (qsizetype i = 0; i < actions.size(); ++i) {
        if (actions[i]->text() == QStringLiteral("Статистика...")) {
            item = actions[i];
            EXPECT_EQ(actions.value(i - 1)->text(), Pick(TxtPrint)); // right after the print item
        }
    }
    ASSERT_TRUE(item);

    std::vector<QString> boxes;
    std::function<void(TStatsForm *)> onStats;
    QTimer answer;
    answer.setInterval(5);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            boxes.push_back(box->windowTitle() + QLatin1Char('|') + box->text());
            box->accept();
        } else if (auto *stats = qobject_cast<TStatsForm *>(modal)) {
            if (onStats) onStats(stats);
            stats->accept();
        }
    });
    answer.start();

    item->trigger();
    EXPECT_EQ(boxes, std::vector<QString>{QStringLiteral("Внимание|Архив не считан!")});

    const QString path = m_dir.filePath(QStringLiteral("two.vd"));
    ASSERT_TRUE(SaveProject(TwoChannels(), path, {true, true}).ok());
    main.Action1Execute(path);
    const QModelIndex hot = main.StringGrid1->model()->index(1, 6);  // 26,00 °C of channel 1
    const QModelIndex cool = main.StringGrid1->model()->index(0, 6); // 20,00 °C
    EXPECT_FALSE(hot.data(Qt::BackgroundRole).isValid());

    int tabs = 0;
    onStats = [&tabs](TStatsForm *stats) {
        tabs = stats->Tabs->count();
        Edit(stats->LimitEdits[0][1], QStringLiteral("25"));
    };
    item->trigger();
    EXPECT_EQ(tabs, 2);
    EXPECT_EQ(boxes.size(), 1U);
    EXPECT_TRUE(hot.data(Qt::BackgroundRole).isValid());
    EXPECT_FALSE(cool.data(Qt::BackgroundRole).isValid());
    EXPECT_EQ(hot.data(Qt::DisplayRole).toString(), QStringLiteral("26,00")); // the text stays

    // The caption follows the language when the menu opens.
    LanguageIndex = 1;
    Q_EMIT main.File1->aboutToShow();
    EXPECT_EQ(item->text(), QStringLiteral("Statistics..."));
}

TEST_F(StatsWindowTest, GraphDrawsDashedLimitLinesOnlyWhenLimitsAreSet) {
    ArchiveTable table = TwoChannels();
    table.setChannels({true, true});
    {
        TForm4 plain(table, nullptr, m_services);
        plain.show();
        QApplication::processEvents();
        EXPECT_TRUE(plain.limitLines().lines().empty());
    }
    StatsSettings settings;
    settings.limits.set(Quantity::Temperature, Limit{21.0, 25.0});
    settings.limits.set(Quantity::Humidity, Limit{std::nullopt, 48.0}); // humidity is not shown at first
    SetCurrentStatsSettings(settings);
    TForm4 graph(table, nullptr, m_services);
    graph.show();
    QApplication::processEvents();
    const auto &lines = graph.limitLines().lines();
    // Channel 1's temperature on the left and channel 2's on the right, lower side first.
    ASSERT_EQ(lines.size(), 4U);
    EXPECT_EQ(lines[0], (LimitLine{0, ValueAxis::Left, 21.0, 0xFF0000}));
    EXPECT_EQ(lines[1], (LimitLine{0, ValueAxis::Left, 25.0, 0xFF0000}));
    EXPECT_EQ(lines[2].axis, ValueAxis::Right);
    const QGraphicsLineItem *low = graph.limitLines().items()[0];
    const QGraphicsLineItem *high = graph.limitLines().items()[1];
    EXPECT_TRUE(low->isVisible());
    EXPECT_EQ(low->pen().style(), Qt::DashLine);
    EXPECT_GT(low->line().y1(), high->line().y1()); // the lower limit is drawn lower

    // Choosing the humidity of channel 1 shows its limit instead of the temperature's.
    graph.RadioButton2->setChecked(true);
    graph.RadioButton2Click();
    QApplication::processEvents();
    ASSERT_FALSE(graph.limitLines().lines().empty());
    EXPECT_EQ(graph.limitLines().lines().front(), (LimitLine{1, ValueAxis::Left, 48.0, 0x008000}));
}

TEST_F(StatsWindowTest, MenuItemGoesAfterItsNeighbour) {
    QMenu menu;
    QAction *a = menu.addAction(QStringLiteral("a"));
    menu.addAction(QStringLiteral("b"));
    int opened = 0;
    QAction *item = AddStatisticsItem(&menu, a, [&opened] { ++opened; });
    EXPECT_EQ(menu.actions().indexOf(item), 1);
    item->trigger();
    EXPECT_EQ(opened, 1);
    QAction *last = AddStatisticsItem(&menu, nullptr, [] {});
    EXPECT_EQ(menu.actions().indexOf(last), menu.actions().size() - 1);
}
