// Qt's own texts (file, print and colour dialogs, the buttons of message boxes) in the program's language.
#pragma once

#include <cstdint>

namespace velda {

/// Makes Qt's own texts follow `language` (0 Russian: Qt's Russian catalogue from Qt's translations
/// folder, on Debian /usr/share/qt6/translations of qt6-translations-l10n; 1 English: Qt's texts as
/// built in) in every dialog created afterwards, replacing what an earlier call installed. Returns false
/// when the Russian catalogue is missing; Qt's texts then stay English. Needs the application object;
/// GUI thread.
bool UseQtTranslations(std::uint8_t language);

} // namespace velda
