// Installs and removes the translator of Qt's own texts.
#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>

namespace velda {

namespace {
std::unique_ptr<QTranslator> &installed() {
    static std::unique_ptr<QTranslator> translator;
    return translator;
}
} // namespace

bool UseQtTranslations(std::uint8_t language) {
    if (auto &old = installed()) {
        QCoreApplication::removeTranslator(old.get());
        old.reset();
    }
    if (language != 0) return true;
    auto translator = std::make_unique<QTranslator>();
    // "qt" gathers the catalogues of every Qt module; "qtbase" alone holds the widgets' texts.
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(russian, QStringLiteral("qt"), QStringLiteral("_"), dir) &&
        !translator->load(russian, QStringLiteral("qtbase"), QStringLiteral("_"), dir))
        return false;
    QCoreApplication::installTranslator(translator.get());
    installed() = std::move(translator);
    return true;
}

} // namespace velda
