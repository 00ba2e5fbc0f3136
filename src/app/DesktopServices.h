// Opening help pages, mail and web links through the desktop, with a replaceable opener for tests.
#pragma once

#include <QString>
#include <QUrl>

#include <functional>

namespace velda {

/// Opens `url` with the desktop's handler; returns whether the desktop accepted it. GUI thread.
bool OpenUrl(const QUrl &url);

/// Replaces the opener (tests record the URLs instead of starting a browser); an empty function restores
/// the desktop's. GUI thread.
void SetUrlOpener(std::function<bool(const QUrl &)> opener);

/// The file name of the help page for `language`: index.html (0, Russian) or index-en.html (1, English).
[[nodiscard]] QString HelpPageName(int language);

/// The help page for `language` (0 Russian index.html, 1 English index-en.html): looked up in
/// $VELDA9_HELP_DIR, next to the program (help/), in the installed data folder (../share/velda9/help)
/// and in the source tree. An empty URL when none is found.
[[nodiscard]] QUrl HelpPageUrl(int language);

} // namespace velda
