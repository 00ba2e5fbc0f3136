// Whether an existing file may be replaced by a save: the one rule of every window and command that writes.
#pragma once

#include "app/Texts.h"

#include <QString>

namespace velda {

/// "%1: the file is read-only" in both languages; %1 is the path.
inline constexpr TextPair TxtFileReadOnly{"%1: файл только для чтения", "%1: the file is read-only"};

/// True when `path` names an existing file that a save must leave alone: one this process cannot write,
/// or one whose owner has no write permission (a file the user protected; the superuser could write it,
/// but a protected file is never replaced). Symbolic links are followed. Any thread.
[[nodiscard]] bool IsReadOnlyTarget(const QString &path);

/// The message for a protected target in the language active now, naming `path`.
[[nodiscard]] QString ReadOnlyTargetText(const QString &path);

} // namespace velda
