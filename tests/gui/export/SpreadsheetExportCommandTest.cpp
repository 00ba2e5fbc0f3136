// The Save-to-spreadsheet command driven through its real dialogs.
#include "export/SpreadsheetExportCommand.h"

#include "base/Texts.h"

#include "ExportGuiTestSupport.h"
#include "QtPrinters.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
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
