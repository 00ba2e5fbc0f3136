// The main window's "Append project..." command: open dialog, merge into the table, refusal message.
#include "app/AppendProjectCommand.h"

#include "app/ArchiveTableModel.h"
#include "app/MainTexts.h"
#include "archive/MergeProjects.h"
#include "base/SystemFormats.h"

#include <QFileDialog>
#include <QMessageBox>

namespace velda {
namespace {

const char *const kProjectFilters = "VELDA (*.vd);;All Files (*)";

} // namespace

bool AppendProjectWithDialog(QWidget *parent, ArchiveTableModel &model, QString *lastName) {
    QFileDialog dialog(parent, Pick(TxtAppendProject));
    dialog.setObjectName(QStringLiteral("AppendDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(QString::fromLatin1(kProjectFilters).split(QStringLiteral(";;")));
    if (!lastName->isEmpty()) dialog.selectFile(*lastName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    *lastName = dialog.selectedFiles().front();

    QString error;
    model.change([&](ArchiveTable &table) {
        const MergeResult result = AppendProject(&table, table.channels(), *lastName, CurrentFormats());
        if (!result.ok()) error = result.error().message;
    });
    if (!error.isEmpty()) {
        QMessageBox box(QMessageBox::Critical, Pick(TxtError), error, QMessageBox::Ok);
        box.setObjectName(QStringLiteral("AppendMessage"));
        box.exec();
        return false;
    }
    return true;
}

} // namespace velda
