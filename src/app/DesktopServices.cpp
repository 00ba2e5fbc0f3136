// Desktop hand-off for URLs and the lookup of the shipped help pages.
#include "app/DesktopServices.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

namespace velda {

bool UrlOpener::OpenUrl(const QUrl &url) const {
    if (m_replacement) return m_replacement(url);
    return QDesktopServices::openUrl(url);
}

QString HelpPageName(int language) {
    return language == 0 ? QStringLiteral("index.html") : QStringLiteral("index-en.html");
}

QUrl HelpPageUrl(int language) {
    const QString page = HelpPageName(language);
    QStringList folders;
    const QString fromEnvironment = qEnvironmentVariable("VELDA9_HELP_DIR");
    if (!fromEnvironment.isEmpty()) folders << fromEnvironment;
    const QString programDir = QCoreApplication::applicationDirPath();
    folders << programDir + QStringLiteral("/help") << programDir + QStringLiteral("/../share/velda9/help");
    for (const QString &folder : folders) {
        const QFileInfo file(QDir(folder).filePath(page));
        if (file.isFile()) return QUrl::fromLocalFile(file.canonicalFilePath());
    }
    return {};
}

} // namespace velda
