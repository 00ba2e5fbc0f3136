// Opening help pages, mail and web links through the desktop, with a replaceable opener for tests.
#pragma once

#include "app/HelpPages.h"

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

} // namespace velda
