// Choosing a file in a Qt file dialog the way a user does, for tests that answer the dialogs.
#pragma once

#include <QFileDialog>
#include <QLineEdit>
#include <QString>

namespace velda::test {

/// Makes `path` the dialog's choice. selectFile leaves the name box alone while it has the focus, which
/// depends on when the window system activated the dialog, so the name is also typed into that box.
inline void ChooseFile(QFileDialog *dialog, const QString &path) {
    dialog->selectFile(path);
    if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))) name->setText(path);
}

} // namespace velda::test
