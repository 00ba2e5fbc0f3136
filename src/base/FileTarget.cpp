// The read-only rule for files that a save would replace.
#include "base/FileTarget.h"

#include <QFileInfo>

namespace velda {

bool IsReadOnlyTarget(const QString &path) {
    const QFileInfo file(path);
    if (!file.exists() || file.isDir()) return false;
    // Replacing goes through a new file renamed over the old one, which needs only the folder's
    // permission: the file's own write permission has to be checked here, also for the superuser.
    return !file.isWritable() || !file.permission(QFileDevice::WriteOwner);
}

QString ReadOnlyTargetText(const QString &path) {
    return Pick(TxtFileReadOnly).arg(path);
}

} // namespace velda
