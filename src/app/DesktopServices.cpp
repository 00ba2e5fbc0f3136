// Desktop hand-off for URLs.
#include "app/DesktopServices.h"

#include <QDesktopServices>

namespace velda {

bool UrlOpener::OpenUrl(const QUrl &url) const {
    if (m_replacement) return m_replacement(url);
    return QDesktopServices::openUrl(url);
}

} // namespace velda
