// The main program's command line: an optional --simulate, then a project path split by the shell.
#pragma once

#include <QString>
#include <QStringList>

namespace velda {

struct StartupArguments {
    bool simulate = false;
    /// The remaining arguments joined in order by single blanks; empty when there are none.
    QString projectPath;
};

/// `arguments` without the program name. Only a first argument "--simulate" is taken as the option; every
/// later argument belongs to the path, so a file named "--simulate" can still be opened after it.
[[nodiscard]] StartupArguments ParseStartupArguments(const QStringList &arguments);

} // namespace velda
