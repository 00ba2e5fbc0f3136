// The main window's project-file dialogs and its F1 key: small window parts the commands use.
#pragma once

#include "base/WindowServices.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace velda {

/// Asks where to save a project (SaveDialog2, run by `services`), proposing `proposedName`; nullopt when
/// cancelled.
[[nodiscard]] std::optional<QString> AskProjectSavePath(QWidget *parent, const QString &proposedName,
                                                        const WindowServices &services);
/// Asks which project file to open (OpenDialog1, run by `services`), starting at `lastOpened` (may be
/// empty); nullopt when cancelled.
[[nodiscard]] std::optional<QString> AskProjectOpenPath(QWidget *parent, const QString &lastOpened,
                                                        const WindowServices &services);

/// Calls `onHelp` when F1 is pressed in `window`, before its controls and without taking the key from
/// them. Install on the application. A key event that climbs from child to parent passes an application
/// filter once per widget, so only its first receiver, the focus widget, counts.
class HelpKeyFilter : public QObject {
public:
    HelpKeyFilter(QWidget *window, std::function<void()> onHelp);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_window;
    std::function<void()> m_onHelp;
};

} // namespace velda
