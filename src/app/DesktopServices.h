// Opening help pages, mail and web links through the desktop, with a replaceable opener for tests.
#pragma once

#include <QString>
#include <QUrl>

#include <functional>

namespace velda {

/// Hands URLs (help pages, mail and web links) to the desktop. The main window owns one and lends it to
/// the dialogs it opens. GUI thread only.
class UrlOpener {
public:
    /// Opens `url` with the desktop's handler, or the replacement; returns whether it was accepted.
    bool OpenUrl(const QUrl &url) const;
    /// Replaces the desktop's handler (tests record the URLs instead of starting a browser); an empty
    /// function restores the desktop's.
    void replace(std::function<bool(const QUrl &)> replacement) { m_replacement = std::move(replacement); }

private:
    std::function<bool(const QUrl &)> m_replacement;
};

/// The file name of the help page for `language`: index.html (0, Russian) or index-en.html (1, English).
[[nodiscard]] QString HelpPageName(int language);

/// The help page for `language` (0 Russian index.html, 1 English index-en.html): looked up in
/// $VELDA9_HELP_DIR, next to the program (help/) and in the data folder beside the program's
/// (../share/velda9/help, in the installed tree as in the build tree). An empty URL when none is found.
[[nodiscard]] QUrl HelpPageUrl(int language);

} // namespace velda
