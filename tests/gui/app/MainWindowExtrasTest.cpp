// The main window's "Save to CSV..." and "Append project..." items, driven offscreen through their dialogs.
#include "app/TForm1.h"

#include "FileDialogChoice.h"
#include "QtPrinters.h"
#include "archive/ArchiveRecord.h"
#include "archive/ProjectFile.h"
#include "archive/TableFill.h"
#include "base/SystemFormats.h"
#include "base/TableHeader.h"
#include "base/Texts.h"
#include "device/Exchange.h"
#include "sim/SimArchive.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace velda;

namespace {

QApplication &App() {
    static int argc = 1;
    static char name[] = "MainWindowExtrasTest";
    static char *argv[] = {name, nullptr};
    static auto *app = new QApplication(argc, argv);
    return *app;
}

// Closes message boxes (noting their caption and text) and answers file dialogs with `onFileDialog`.
class Answerer {
public:
    Answerer() {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                boxes.push_back(box->windowTitle() + QStringLiteral(": ") + box->text());
                box->accept();
            } else if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
                if (onFileDialog) onFileDialog(dialog);
                static_cast<QDialog *>(dialog)->accept();
            }
        });
        m_timer.start();
    }
    std::function<void(QFileDialog *)> onFileDialog;
    QStringList boxes;

private:
    QTimer m_timer;
};

// Records first..last (0-based, inclusive) of one generated archive as a project file in `language`.
QString Download(const QString &path, int first, int last, std::uint8_t language = 0) {
    const std::vector<sim::Bytes> records = sim::GenerateArchive(2, 300, 11);
    std::vector<std::uint8_t> bytes;
    for (int i = first; i <= last; ++i)
        bytes.insert(bytes.end(), records[static_cast<std::size_t>(i)].begin(),
                     records[static_cast<std::size_t>(i)].end());
    const std::uint8_t before = LanguageIndex;
    LanguageIndex = language;
    ArchiveTable table;
    WriteHeaderRow(table, language);
    FillArchiveTable(table, bytes, static_cast<std::size_t>(last - first + 1), 2);
    LanguageIndex = before;
    table.setColCount(14);
    EXPECT_TRUE(SaveProject(table, path, ChannelFlags{true, true}).ok());
    return path;
}

class MainWindowExtrasTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        App();
        SetCurrentFormats(SystemFormats::FromLocale(QLocale(QStringLiteral("ru_RU"))));
    }
    void SetUp() override {
        LanguageIndex = 0;
        m_form = std::make_unique<TForm1>();
    }
    void TearDown() override { m_form.reset(); }
    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir m_dir;
    std::unique_ptr<TForm1> m_form;
};

TEST_F(MainWindowExtrasTest, ItemsSitInTheFileMenuInBothLanguages) {
    const QList<QAction *> items = m_form->File1->actions();
    EXPECT_EQ(items.indexOf(m_form->SaveCsv1), items.indexOf(m_form->Save1) + 1);
    EXPECT_EQ(items.indexOf(m_form->AppendProject1), items.indexOf(m_form->N2) + 1);
    EXPECT_EQ(m_form->SaveCsv1->text(), QStringLiteral("Сохранить в CSV..."));
    EXPECT_EQ(m_form->AppendProject1->text(), QStringLiteral("Добавить проект..."));
    m_form->Lang1Click();
    EXPECT_EQ(m_form->SaveCsv1->text(), QStringLiteral("Save to CSV..."));
    EXPECT_EQ(m_form->AppendProject1->text(), QStringLiteral("Append project..."));
    m_form->Lang0Click();
}

TEST_F(MainWindowExtrasTest, AppendingAnOverlappingDownloadGivesEveryRecordOnce) {
    m_form->Action1Execute(Download(path("first.vd"), 0, 199));
    ASSERT_EQ(m_form->table().rowCount(), 201);
    Answerer answerer;
    answerer.onFileDialog = [&](QFileDialog *dialog) {
        test::ChooseFile(dialog, Download(path("second.vd"), 99, 299));
    };
    m_form->AppendProject1->trigger();
    EXPECT_TRUE(answerer.boxes.isEmpty()) << answerer.boxes.join(QLatin1Char('\n')).toStdString();
    const ArchiveTable &table = m_form->table();
    ASSERT_EQ(table.rowCount(), 301);
    EXPECT_EQ(RecordCount.load(), 300U);
    EXPECT_EQ(table.colCount(), 14);
    for (int r = 1; r < table.rowCount(); ++r) {
        ASSERT_EQ(table.cell(0, r), QString::number(r));
        if (r > 1) {
            const auto stamp = [&](int row) {
                return QDateTime(*ParseDateCell(table.cell(2, row), CurrentFormats()),
                                 *ParseTimeCell(table.cell(1, row), CurrentFormats()));
            };
            ASSERT_LT(stamp(r - 1), stamp(r)) << r;
        }
    }

    // A file written in English is refused with its name, and the table stays as it was.
    answerer.onFileDialog = [&](QFileDialog *dialog) {
        test::ChooseFile(dialog, Download(path("english.vd"), 0, 9, 1));
    };
    m_form->AppendProject1->trigger();
    ASSERT_EQ(answerer.boxes.size(), 1);
    EXPECT_TRUE(answerer.boxes.front().startsWith(QStringLiteral("Ошибка: english.vd: заголовки столбцов")))
        << answerer.boxes.front().toStdString();
    EXPECT_EQ(m_form->table().rowCount(), 301);
    EXPECT_EQ(RecordCount.load(), 300U);
}

TEST_F(MainWindowExtrasTest, AppendingToAnEmptyTableTakesTheFileAlone) {
    Answerer answerer;
    answerer.onFileDialog = [&](QFileDialog *dialog) {
        test::ChooseFile(dialog, Download(path("only.vd"), 5, 24));
    };
    m_form->AppendProject1->trigger();
    EXPECT_TRUE(answerer.boxes.isEmpty());
    EXPECT_EQ(m_form->table().rowCount(), 21);
    EXPECT_EQ(m_form->table().cell(0, 1), QStringLiteral("1"));
    EXPECT_TRUE(Channel2Present.load());
}

TEST_F(MainWindowExtrasTest, SavesCsvWithTheChosenDelimiterAndDates) {
    m_form->Action1Execute(Download(path("csv.vd"), 0, 29));
    Answerer answerer;
    QString offeredDelimiter;
    answerer.onFileDialog = [&](QFileDialog *dialog) {
        auto *delimiter = dialog->findChild<QComboBox *>(QStringLiteral("CsvDelimiter"));
        offeredDelimiter = delimiter->currentText();
        delimiter->setCurrentIndex(2);
        dialog->findChild<QCheckBox *>(QStringLiteral("CsvIsoDate"))->setChecked(true);
        test::ChooseFile(dialog, path("out.csv"));
    };
    m_form->SaveCsv1->trigger();
    EXPECT_TRUE(answerer.boxes.isEmpty()) << answerer.boxes.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(offeredDelimiter, QStringLiteral("точка с запятой ( ; )"))
        << "the comma-decimal locale's default";
    QFile file(path("out.csv"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 32); // 31 rows and the empty rest after the last line end
    ASSERT_TRUE(lines[0].startsWith("\xEF\xBB\xBF№\tВремя\tДата\t")) << lines[0].toStdString();
    const QList<QByteArray> first = lines[1].split('\t');
    ASSERT_EQ(first.size(), 14);
    ASSERT_EQ(first[2].size(), 10) << first[2].toStdString();
    EXPECT_EQ(first[2][4], '-') << first[2].toStdString();
    EXPECT_TRUE(lines[1].endsWith('\r'));

    // The dialog offers the last choices again.
    answerer.onFileDialog = [&](QFileDialog *dialog) {
        offeredDelimiter = dialog->findChild<QComboBox *>(QStringLiteral("CsvDelimiter"))->currentText();
        EXPECT_TRUE(dialog->findChild<QCheckBox *>(QStringLiteral("CsvIsoDate"))->isChecked());
        test::ChooseFile(dialog, path("again.csv"));
    };
    m_form->SaveCsv1->trigger();
    EXPECT_EQ(offeredDelimiter, QStringLiteral("табуляция"));
}

// The delimiter offered is never the decimal separator the cells carry, whichever locale wrote them; the
// CSV then splits into whole values.
TEST_F(MainWindowExtrasTest, CsvDelimiterFollowsTheSeparatorInTheCells) {
    struct Case {
        const char *name;
        const char *inForce;
        const char *writtenUnder;
        const char *offered;
        char delimiter;
    };
    const Case cases[] = {
        {"comma cells under a point locale", "en_US", "ru_RU", "точка с запятой ( ; )", ';'},
        {"point cells under a comma locale", "ru_RU", "en_US", "запятая ( , )", ','},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString csv = m_dir.filePath(QString::fromUtf8(c.name) + QStringLiteral(".csv"));
        SetCurrentFormats(SystemFormats::FromLocale(QLocale(QLatin1String(c.writtenUnder))));
        const QString project = Download(path("cells.vd"), 0, 5);
        SetCurrentFormats(SystemFormats::FromLocale(QLocale(QLatin1String(c.inForce))));
        Answerer answerer;
        m_form = std::make_unique<TForm1>();
        m_form->Action1Execute(project);
        QString offered;
        answerer.onFileDialog = [&](QFileDialog *dialog) {
            offered = dialog->findChild<QComboBox *>(QStringLiteral("CsvDelimiter"))->currentText();
            test::ChooseFile(dialog, csv);
        };
        m_form->SaveCsv1->trigger();
        EXPECT_TRUE(answerer.boxes.isEmpty()) << answerer.boxes.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(offered, QString::fromUtf8(c.offered));
        QFile file(csv);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray row = file.readAll().split('\n').value(1);
        EXPECT_EQ(row.split(c.delimiter).size(), 14) << row.toStdString();
        EXPECT_FALSE(row.contains('"')) << row.toStdString();
    }
    SetCurrentFormats(SystemFormats::FromLocale(QLocale(QStringLiteral("ru_RU"))));
}

TEST_F(MainWindowExtrasTest, CsvOfAnEmptyTableIsRefusedAfterTheDialog) {
    Answerer answerer;
    answerer.onFileDialog = [&](QFileDialog *dialog) { test::ChooseFile(dialog, path("empty.csv")); };
    m_form->SaveCsv1->trigger();
    ASSERT_EQ(answerer.boxes.size(), 1);
    EXPECT_EQ(answerer.boxes.front(), QStringLiteral("Ошибка: Архив не считан!"));
    EXPECT_FALSE(QFile::exists(path("empty.csv")));
}

} // namespace
