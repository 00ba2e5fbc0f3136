// Save dialog, refusal and progress of the spreadsheet export.
#include "export/SpreadsheetExportCommand.h"

#include "base/FileTarget.h"
#include "base/SharedTexts.h"
#include "export/BackgroundExport.h"
#include "export/SaveTypeRule.h"

#include <QComboBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace velda {
namespace {

constexpr TextPair TxtExportProgress{"Экспорт данных...", "Exporting the data..."};
constexpr TextPair TxtCancel{"Отмена", "Cancel"};
constexpr int kProgressPollMs = 50;

void ShowErrorBox(const QString &text, const QString &caption, const QString &detail = {}) {
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok);
    box.setObjectName(QStringLiteral("ExportMessage"));
    if (!detail.isEmpty()) box.setInformativeText(detail);
    box.exec();
}

QString DefaultSuffix(int typeIndex) {
    return xlsx::SaveTypeExtension(typeIndex).mid(1);
}

} // namespace

SpreadsheetExportCommand::SpreadsheetExportCommand(QObject *parent)
    : QObject(parent), m_fileName(QString::fromLatin1(xlsx::kInitialExportName)) {}

QFileDialog *SpreadsheetExportCommand::createSaveDialog1(QWidget *parent) {
    auto *dialog = new QFileDialog(parent, Pick(TxtSaveToExcel));
    dialog->setObjectName(QStringLiteral("SaveDialog1"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    // The Qt dialog gives the same type-change behaviour on every desktop.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    const QStringList filters = xlsx::SaveDialogFilters();
    dialog->setNameFilters(filters);
    dialog->selectNameFilter(filters.front());
    dialog->setDefaultSuffix(DefaultSuffix(0));
    // The folder of the last chosen file stays offered after a success has cleared the name.
    if (!m_folder.isEmpty()) dialog->setDirectory(m_folder);
    if (!m_fileName.isEmpty()) dialog->selectFile(m_fileName);
    // The dialog's own reaction to a picked type replaces the name's extension ("Arhive.xls" would
    // become "Arhive.xlsx") before filterSelected arrives. It is taken off the type list, so the rule
    // below sees the name as the user left it; the rule then applies the type's file filter itself.
    if (auto *types = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo")))
        QObject::disconnect(types, SIGNAL(activated(int)), dialog, nullptr);
    connect(dialog, &QFileDialog::filterSelected, this,
            [this, dialog](const QString &filter) { SaveDialog1TypeChange(dialog, filter); });
    return dialog;
}

void SpreadsheetExportCommand::SaveDialog1TypeChange(QFileDialog *dialog, const QString &filter) {
    const int typeIndex = static_cast<int>(xlsx::SaveDialogFilters().indexOf(filter));
    if (typeIndex < 0) return;
    dialog->setDefaultSuffix(DefaultSuffix(typeIndex));
    auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    const QString typed = edit ? edit->text() : QString();
    // Filters the file list; it also rewrites the extension, which the rule's name then replaces.
    dialog->selectNameFilter(filter);
    if (!edit) return;
    const QString name = xlsx::SaveDialog1TypeChange(typed, typeIndex);
    if (name != edit->text()) edit->setText(name);
}

std::optional<xlsx::ExportResult> RefuseExportTarget(const QString &chosen, const QString &openProject) {
    OutputRules rules;
    if (!openProject.isEmpty()) rules.inputs = QStringList{openProject};
    const auto checked = CheckOutputTarget(chosen, rules);
    if (checked) return std::nullopt;
    ShowErrorBox(Pick(TxtExportError), Pick(TxtWarning), checked.error().message());
    return xlsx::FileFault(xlsx::ExportError::Kind::CannotCreate, checked.error());
}

void SpreadsheetExportCommand::run(QWidget *parent, const ArchiveTable &table, const QString &openProject) {
    m_lastResult.reset();
    QString chosen;
    {
        std::unique_ptr<QFileDialog> dialog(createSaveDialog1(parent));
        if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return;
        chosen = dialog->selectedFiles().front();
    }
    m_fileName = chosen;
    m_folder = QFileInfo(chosen).absolutePath();
    RememberFolder(chosen);
    if (TableIsEmpty(table)) {
        ShowErrorBox(Pick(TxtArchiveNotRead), Pick(TxtError));
        return;
    }
    if ((m_lastResult = RefuseExportTarget(chosen, openProject))) return;
    m_lastResult = exportWithProgress(parent, table, chosen);
    if (m_lastResult->ok()) {
        m_fileName.clear();
    } else if (m_lastResult->error().kind != xlsx::ExportError::Kind::Cancelled) {
        ShowErrorBox(Pick(TxtExportError), Pick(TxtWarning), m_lastResult->error().message);
    }
}

xlsx::ExportResult SpreadsheetExportCommand::exportWithProgress(QWidget *parent, const ArchiveTable &table,
                                                                const QString &fileName) {
    return ExportWithProgressDialog(
        parent, Pick(TxtSaveToExcel), table.rowCount(),
        [&table, prefix = Pick(TxtArchiveTitle), fileName](const xlsx::ExportProgress &progress) {
            return xlsx::ExportToSpreadsheet(table, prefix, fileName, progress);
        });
}

xlsx::ExportResult ExportWithProgressDialog(QWidget *parent, const QString &title, int rowsTotal,
                                            xlsx::BackgroundExport::Job job) {
    const int total = std::max(rowsTotal, 1);
    QProgressDialog progress(Pick(TxtExportProgress), Pick(TxtCancel), 0, total, parent);
    progress.setObjectName(QStringLiteral("ExportProgress"));
    progress.setWindowTitle(title);
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    // Shown at once, not after a delay: while it is up and modal, no command of the main window can
    // change the table the worker reads.
    progress.setMinimumDuration(0);
    progress.setValue(0);
    progress.show();

    xlsx::BackgroundExport worker(rowsTotal, std::move(job));
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(kProgressPollMs);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (progress.wasCanceled()) {
            worker.cancel();
        } else {
            progress.setValue(std::min(worker.rowsWritten(), total));
        }
        if (worker.finished()) loop.quit();
    });
    poll.start();
    if (!worker.finished()) loop.exec();
    poll.stop();
    progress.close();
    return worker.wait();
}

} // namespace velda
