// The shipped help pages: where they are found, and what opening one reports when it fails.
#pragma once

#include "base/Result.h"
#include "base/Texts.h"

#include <QString>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <optional>

namespace velda {

inline constexpr TextPair TxtHelpMissing{"Справка не найдена: нет файла %1",
                                         "Help not found: the file %1 is missing"};
inline constexpr TextPair TxtHelpNotOpened{
    "Не удалось открыть справку %1: ни одна программа не открыла страницу",
    "Could not open the help page %1: no program opened it"};

/// The file name of the help page for `language`: index.html (0, Russian) or index-en.html (1, English).
[[nodiscard]] QString HelpPageName(int language);

/// The help page for `language` (0 Russian index.html, 1 English index-en.html): looked up in
/// $VELDA9_HELP_DIR, next to the program (help/) and in the data folder beside the program's
/// (../share/velda9/help, in the installed tree as in the build tree). An empty URL when none is found.
[[nodiscard]] QUrl HelpPageUrl(int language);

/// Why the help page was not shown.
struct HelpError {
    enum class Kind : std::uint8_t {
        NoPage,    ///< no help page was found for the language
        NotOpened, ///< no program took the page
    };
    Kind kind = Kind::NoPage;
    QString message; ///< the warning to show, in the current language
};

/// Opens `page`, the help page found for `language` (empty when none was), with `open`. Done when the
/// page was handed over; otherwise the warning to show.
[[nodiscard]] Result<Done, HelpError> OpenHelpPage(const QUrl &page, std::uint8_t language,
                                                   const std::function<bool(const QUrl &)> &open);

} // namespace velda
