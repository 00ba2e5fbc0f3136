// The main window's project-file dialogs and its F1 key.
#include "app/ProjectDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QKeyEvent>

namespace velda {

namespace {

const char *const kProjectSaveFilters = "VELDA-9 (*.vd);;All Files (*)";
const char *const kProjectOpenFilters = "VELDA (*.vd);;All Files (*)";

} // namespace

std::optional<QString> AskProjectSavePath(QWidget *parent, const QString &proposedName,
                                          const WindowServices &services) {
    QFileDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("SaveDialog2"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(QString::fromLatin1(kProjectSaveFilters).split(QStringLiteral(";;")));
    dialog.setDefaultSuffix(QStringLiteral("vd"));
    dialog.selectFile(proposedName);
    return services.runFileDialog(dialog);
}

std::optional<QString> AskProjectOpenPath(QWidget *parent, const QString &lastOpened,
                                          const WindowServices &services) {
    QFileDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("OpenDialog1"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(QString::fromLatin1(kProjectOpenFilters).split(QStringLiteral(";;")));
    if (!lastOpened.isEmpty()) dialog.selectFile(lastOpened);
    return services.runFileDialog(dialog);
}

HelpKeyFilter::HelpKeyFilter(QWidget *window, std::function<void()> onHelp)
    : m_window(window), m_onHelp(std::move(onHelp)) {}

bool HelpKeyFilter::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() != QEvent::KeyPress) return false;
    auto *key = static_cast<QKeyEvent *>(event);
    auto *widget = qobject_cast<QWidget *>(watched);
    if (key->key() == Qt::Key_F1 && !key->isAutoRepeat() && widget && widget->window() == m_window &&
        watched == QApplication::focusWidget())
        m_onHelp();
    return false;
}

} // namespace velda
