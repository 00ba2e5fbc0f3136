// Files the program writes: whether an existing one may be replaced, names made from titles, and the
// folder the user last chose.
#pragma once

#include "base/Texts.h"

#include <QSettings>
#include <QString>

#include <memory>

namespace velda {

/// True when `path` names an existing file that a save must leave alone: one this process cannot write,
/// or one whose owner has no write permission (a file the user protected; the superuser could write it,
/// but a protected file is never replaced). Symbolic links are followed. Any thread.
[[nodiscard]] bool IsReadOnlyTarget(const QString &path);

/// `title` as a file name: the characters a file name should not carry (path separators, colons, the
/// characters Windows refuses, control characters) become '-'. Any thread.
[[nodiscard]] QString SafeFileName(const QString &title);

/// Notes the folder of `filePath`, a file the user chose in a file dialog (or named on the command line).
/// GUI thread.
void RememberFolder(const QString &filePath);

/// The folder noted last in this run; the home folder before any was noted. GUI thread.
[[nodiscard]] QString LastUsedFolder();
/// Forgets the folder noted last (ResetBaseState). GUI thread.
void ForgetLastFolder();

/// The per-user settings file of the program (INI format, user scope). Any thread; one object per thread.
[[nodiscard]] std::unique_ptr<QSettings> OpenUserSettings();

} // namespace velda
