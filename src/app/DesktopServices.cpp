// Desktop hand-off for URLs and the lookup of the shipped help pages.
#include "app/DesktopServices.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

namespace velda {

namespace {
std::function<bool(const QUrl &)> &opener() {
    static std::function<bool(const QUrl &)> current;
    return current;
}
} // namespace

bool OpenUrl(const QUrl &url) {
    if (opener()) return opener()(url);
    return QDesktopServices::openUrl(url);
}

void SetUrlOpener(std::function<bool(const QUrl &)> replacement) {
    opener() = std::move(replacement);
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
#ifdef VELDA_SOURCE_HELP_DIR
    folders << QStringLiteral(VELDA_SOURCE_HELP_DIR);
#endif
    for (const QString &folder : folders) {
        const QFileInfo file(QDir(folder).filePath(page));
        if (file.isFile()) return QUrl::fromLocalFile(file.canonicalFilePath());
    }
    return {};
}

} // namespace velda
