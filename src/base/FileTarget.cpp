// The read-only rule for files that a save would replace, safe file names, the folder last used.
#include "base/FileTarget.h"

#include <QDir>
#include <QFileInfo>

namespace velda {

bool IsReadOnlyTarget(const QString &path) {
    const QFileInfo file(path);
    if (!file.exists() || file.isDir()) return false;
    // Replacing goes through a new file renamed over the old one, which needs only the folder's
    // permission: the file's own write permission has to be checked here, also for the superuser.
    return !file.isWritable() || !file.permission(QFileDevice::WriteOwner);
}

QString SafeFileName(const QString &title) {
    static const QString kRefused = QStringLiteral("/\\:*?\"<>|");
    QString name = title;
    for (QChar &c : name)
        if (kRefused.contains(c) || c.category() == QChar::Other_Control) c = QLatin1Char('-');
    return name;
}

namespace {
QString &lastFolder() {
    static QString folder;
    return folder;
}
} // namespace

void RememberFolder(const QString &filePath) {
    if (!filePath.isEmpty()) lastFolder() = QFileInfo(filePath).absolutePath();
}

QString LastUsedFolder() {
    return lastFolder().isEmpty() ? QDir::homePath() : lastFolder();
}

void ForgetLastFolder() {
    lastFolder().clear();
}

std::unique_ptr<QSettings> OpenUserSettings() {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("velda9"),
                                       QStringLiteral("velda9"));
}

} // namespace velda
