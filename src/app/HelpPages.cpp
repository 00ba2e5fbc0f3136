// Lookup of the shipped help pages and the warnings of the help command.
#include "app/HelpPages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace velda {

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

Result<Done, HelpError> OpenHelpPage(const QUrl &page, std::uint8_t language,
                                     const std::function<bool(const QUrl &)> &open) {
    if (page.isEmpty())
        return HelpError{HelpError::Kind::NoPage, Pick(TxtHelpMissing).arg(HelpPageName(language))};
    if (!open(page))
        return HelpError{HelpError::Kind::NotOpened,
                         Pick(TxtHelpNotOpened).arg(QDir::toNativeSeparators(page.toLocalFile()))};
    return Done{};
}

} // namespace velda
