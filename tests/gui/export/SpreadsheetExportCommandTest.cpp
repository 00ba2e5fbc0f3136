// The Save-to-spreadsheet command driven through its real dialogs.
#include "export/SpreadsheetExportCommand.h"

#include "base/Texts.h"
#include "export/SaveTypeRule.h"

#include "ExportGuiTestSupport.h"
#include "QtPrinters.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace velda {
namespace {

// Pollers still waiting when a test ends are deleted with it.
QObject *&PollerOwner() {
    static QObject *owner = nullptr;
    return owner;
}

// Runs `action` on the next modal widget of type T as soon as it is up (polled from the event loop).
template <typename T>
void OnNextModal(std::function<void(T *)> action) {
    auto *timer = new QTimer(PollerOwner());
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        if (auto *widget = qobject_cast<T *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            action(widget);
        }
    });
    timer->start();
}

QLineEdit *NameEdit(QFileDialog *dialog) {
    return dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
}

// Answers the save dialog with `path` (after noting the name it offered), then the message box, if any.
struct DialogScript {
    QString offeredName;
    QString boxText;
    QString boxCaption;
    void chooseFile(const QString &path) {
        OnNextModal<QFileDialog>([this, path](QFileDialog *dialog) {
            offeredName = NameEdit(dialog)->text();
            NameEdit(dialog)->setText(path);
            static_cast<QDialog *>(dialog)->accept();
            OnNextModal<QMessageBox>([this](QMessageBox *box) {
                boxText = box->text();
                boxCaption = box->windowTitle();
                box->accept();
            });
        });
    }
};

class SpreadsheetExportCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::App();
        LanguageIndex = 0;
        PollerOwner() = &m_pollers;
    }
    void TearDown() override { PollerOwner() = nullptr; }
    QObject m_pollers;
    QTemporaryDir m_dir;
    QWidget m_main;
};

TEST_F(SpreadsheetExportCommandTest, EmptyTableRefusedAfterTheDialog) {
    SpreadsheetExportCommand command;
    const QString target = m_dir.filePath(QStringLiteral("empty.xlsx"));
    DialogScript script;
    script.chooseFile(target);
    command.run(&m_main, ArchiveTable());
    EXPECT_EQ(script.offeredName, QStringLiteral("Arhive"));
    EXPECT_EQ(script.boxText, QStringLiteral("Архив не считан!"));
    EXPECT_EQ(script.boxCaption, QStringLiteral("Ошибка"));
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_EQ(command.fileName(), target);
}

TEST_F(SpreadsheetExportCommandTest, PickingAFileTypeCompletesTheName) {
    SpreadsheetExportCommand command;
    std::unique_ptr<QFileDialog> dialog(command.createSaveDialog1(&m_main));
    dialog->show();
    auto *types = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(types, nullptr);
    ASSERT_EQ(types->count(), 3);
    const struct {
        int type;
        QString name;
    } steps[] = {{1, QStringLiteral("Arhive.xlsx")},
                 {0, QStringLiteral("Arhive.xlsx")},
                 {2, QStringLiteral("Arhive.xlsx")}};
    for (const auto &step : steps) {
        SCOPED_TRACE(step.type);
        types->setCurrentIndex(step.type);
        Q_EMIT types->textActivated(types->itemText(step.type));
        EXPECT_EQ(NameEdit(dialog.get())->text(), step.name);
    }
    NameEdit(dialog.get())->setText(QStringLiteral("data"));
    types->setCurrentIndex(2);
    Q_EMIT types->textActivated(types->itemText(2));
    EXPECT_EQ(NameEdit(dialog.get())->text(), QStringLiteral("data.xls"));
}

// The user types a name, then changes the file type with the keyboard or the open list, as in the real
// dialog, whose own type handling runs first.
TEST_F(SpreadsheetExportCommandTest, FileTypeChosenInTheDialogFollowsTheNameRule) {
    SpreadsheetExportCommand command;
    std::unique_ptr<QFileDialog> dialog(command.createSaveDialog1(&m_main));
    dialog->setDirectory(m_dir.path());
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    auto *types = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(types, nullptr);
    QLineEdit *edit = NameEdit(dialog.get());
    const auto pickByList = [types](int index) {
        types->showPopup();
        QAbstractItemView *list = types->view();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(index, 0)).center());
    };
    const struct {
        const char *typed;
        std::function<void()> pick;
        int type;
        const char *expected;
    } steps[] = {
        {"Arhive.xls", [types] { QTest::keyClick(types, Qt::Key_Down); }, 1, "Arhive.xls.xlsx"},
        {"Arhive.xlsx", [types] { QTest::keyClick(types, Qt::Key_Up); }, 0, "Arhive.xlsx"},
        {"data.txt", [types] { QTest::keyClick(types, Qt::Key_End); }, 2, "data.txt.xls"},
        {"data.txt", [types] { QTest::keyClick(types, Qt::Key_Home); }, 0, "data.txt.xls"},
        {"Arhive", [&] { pickByList(1); }, 1, "Arhive.xlsx"},
        {"report.xlsx", [&] { pickByList(0); }, 0, "report.xlsx"},
        {"old.xls", [&] { pickByList(1); }, 1, "old.xls.xlsx"},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.typed);
        edit->selectAll();
        QTest::keyClicks(edit, QString::fromLatin1(step.typed));
        ASSERT_EQ(edit->text(), QString::fromLatin1(step.typed));
        step.pick();
        ASSERT_EQ(types->currentIndex(), step.type);
        EXPECT_EQ(edit->text(), QString::fromLatin1(step.expected));
    }
    EXPECT_EQ(dialog->selectedNameFilter(), xlsx::SaveDialogFilters().at(1));
}

TEST_F(SpreadsheetExportCommandTest, SuccessWritesTheWorkbookAndClearsTheName) {
    SpreadsheetExportCommand command;
    const QString target = m_dir.filePath(QStringLiteral("Arhive.xlsx"));
    DialogScript script;
    script.chooseFile(target);
    command.run(&m_main, testing::NumberedTable(100, 14));
    ASSERT_TRUE(command.lastResult().has_value());
    ASSERT_TRUE(command.lastResult()->ok()) << command.lastResult()->error().message.toStdString();
    EXPECT_TRUE(script.boxText.isEmpty());
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(2) == "PK");
    EXPECT_TRUE(command.fileName().isEmpty());

    QString offered = QStringLiteral("not asked");
    QString folder;
    OnNextModal<QFileDialog>([&](QFileDialog *dialog) {
        offered = NameEdit(dialog)->text();
        folder = dialog->directory().absolutePath();
        dialog->reject();
    });
    command.run(&m_main, testing::NumberedTable(1, 10));
    EXPECT_EQ(offered, QString());
    EXPECT_EQ(folder, QDir(m_dir.path()).absolutePath());
    EXPECT_FALSE(command.lastResult().has_value());
}

TEST_F(SpreadsheetExportCommandTest, FailureShowsTheExportErrorAndKeepsTheName) {
    SpreadsheetExportCommand command;
    LanguageIndex = 1;
    const QString target = m_dir.filePath(QStringLiteral("long.xlsx"));
    ArchiveTable table = testing::NumberedTable(3, 10);
    table.setCell(2, 2, QString(40000, QLatin1Char('x')));
    DialogScript script;
    script.chooseFile(target);
    command.run(&m_main, table);
    EXPECT_EQ(script.boxText, QStringLiteral("Export of the data - Error !!!"));
    EXPECT_EQ(script.boxCaption, QStringLiteral("Warning"));
    EXPECT_EQ(command.fileName(), target);
    EXPECT_FALSE(QFile::exists(target));
    LanguageIndex = 0;
}

TEST_F(SpreadsheetExportCommandTest, ReadOnlyWorkbookIsRefusedAndKept) {
    for (const std::uint8_t language : {0, 1}) {
        SCOPED_TRACE(language);
        LanguageIndex = language;
        SpreadsheetExportCommand command;
        const QString target = m_dir.filePath(QStringLiteral("protected%1.xlsx").arg(language));
        const QByteArray old("the user's own workbook");
        {
            QFile file(target);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(old);
        }
        ASSERT_TRUE(QFile::setPermissions(target, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        // The user picks the file, confirms that it is to be replaced, and is then told it cannot be.
        QString boxText;
        OnNextModal<QFileDialog>([&](QFileDialog *dialog) {
            NameEdit(dialog)->setText(target);
            OnNextModal<QMessageBox>([&](QMessageBox *question) {
                question->button(QMessageBox::Yes)->click();
                OnNextModal<QMessageBox>([&](QMessageBox *box) {
                    boxText = box->text();
                    box->accept();
                });
            });
            static_cast<QDialog *>(dialog)->accept(); // QFileDialog::accept, which asks about replacing
        });
        command.run(&m_main, testing::NumberedTable(5, 10));
        EXPECT_EQ(boxText, language == 0 ? QStringLiteral("Экспорт данных - Ошибка !!!")
                                         : QStringLiteral("Export of the data - Error !!!"));
        ASSERT_TRUE(command.lastResult().has_value());
        ASSERT_FALSE(command.lastResult()->ok());
        EXPECT_EQ(command.lastResult()->error().kind, xlsx::ExportError::Kind::ReadOnly);
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), old);
        EXPECT_EQ(command.fileName(), target);
    }
    LanguageIndex = 0;
}

TEST_F(SpreadsheetExportCommandTest, ProgressDialogCancelLeavesNoFile) {
    SpreadsheetExportCommand command;
    const QString target = m_dir.filePath(QStringLiteral("big.xlsx"));
    bool sawProgress = false;
    OnNextModal<QFileDialog>([&](QFileDialog *dialog) {
        NameEdit(dialog)->setText(target);
        static_cast<QDialog *>(dialog)->accept();
        OnNextModal<QProgressDialog>([&](QProgressDialog *progress) {
            sawProgress = true;
            auto *button = progress->findChild<QPushButton *>();
            ASSERT_NE(button, nullptr);
            button->click();
        });
    });
    command.run(&m_main, testing::NumberedTable(300000, 14));
    EXPECT_TRUE(sawProgress);
    ASSERT_TRUE(command.lastResult().has_value());
    ASSERT_FALSE(command.lastResult()->ok());
    EXPECT_EQ(command.lastResult()->error().kind, xlsx::ExportError::Kind::Cancelled);
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_EQ(command.fileName(), target);
}

} // namespace
} // namespace velda
