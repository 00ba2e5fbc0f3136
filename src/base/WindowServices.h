// What the windows ask of the desktop, in one struct handed to each window: message boxes, file dialogs,
// a colour, the user's settings, pauses, and the project the main window has open.
#pragma once

#include <QColor>
#include <QSettings>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QFileDialog;
class QPagedPaintDevice;
class QPainter;
class QPrinter;
class QWidget;

namespace velda {

/// The desktop services of the windows. DefaultWindowServices() gives the real ones; a test replaces the
/// members it answers itself (a file name instead of a modal dialog, a settings file in a temporary
/// folder, pauses that do not sleep). Each window keeps its own copy, taken at its construction. GUI thread.
struct WindowServices {
    /// Shows a modal error box with `caption` and `text`, owned by `parent`; returns when it is closed.
    std::function<void(QWidget *parent, const QString &caption, const QString &text)> showError;
    /// Runs a prepared file dialog; the file chosen, or nullopt when the user cancelled.
    std::function<std::optional<QString>(QFileDialog &dialog)> runFileDialog;
    /// Asks for a colour starting at `initial`; nullopt when the user cancelled.
    std::function<std::optional<QColor>(const QColor &initial, QWidget *parent)> pickColour;
    /// Opens the user's settings (the per-user settings file by default).
    std::function<std::unique_ptr<QSettings>()> openSettings;
    /// The pauses of the exchanges a window starts. Empty (the default): the exchange's own pause, which a
    /// stop of the exchange cuts short.
    std::function<void(std::chrono::milliseconds)> sleep;
    /// The whole path of the project open in the main window, "" when none is: no save replaces it.
    std::function<QString()> openProject;

    /// The reason a window's save must not write `target`, in the language in force and as the command
    /// line words it: the target is the open project itself (the same file by device and inode, so also
    /// through another name or a symbolic link). nullopt when it may be written.
    [[nodiscard]] std::optional<QString> refusedTarget(const QString &target) const;
    /// Prints a preview's job: `paint` draws every page through a painter begun on `device` and returns
    /// the page count. A job to a PDF file is written as every other output is (WritePdfFile, at the
    /// printer's resolution and page, titled `title`): the printer's own file would be left half written
    /// on a full disk, and a folder it cannot write would print nothing without a word. A PDF file
    /// refusedTarget() refuses is not touched and the printer's file name is cleared, so the next print
    /// asks for a name again. Failures are shown, owned by `parent`. The preview's own pages go straight
    /// to the printer.
    void printPages(QPrinter &printer, QWidget *parent, const QString &title,
                    const std::function<int(QPainter &, QPagedPaintDevice &)> &paint) const;
};

/// The real services: Qt's message box, the file dialog run modally, the colour dialog, the per-user
/// settings file, the exchange's own pauses and no open project.
[[nodiscard]] WindowServices DefaultWindowServices();

} // namespace velda
