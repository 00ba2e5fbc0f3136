// Joining the command line into a project path.
#include "app/StartupArguments.h"

namespace velda {

StartupArguments ParseStartupArguments(const QStringList &arguments) {
    StartupArguments result;
    QStringList rest = arguments;
    if (!rest.isEmpty() && rest.front() == QLatin1String("--simulate")) {
        result.simulate = true;
        rest.removeFirst();
    }
    result.projectPath = rest.join(QLatin1Char(' '));
    return result;
}

} // namespace velda
