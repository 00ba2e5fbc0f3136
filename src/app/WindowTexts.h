// Every text of the main window that the language commands set.
#pragma once

#include <QString>

#include <cstdint>

namespace velda {

/// Captions that never change with the language.
inline constexpr const char *kLanguageMenuCaption = "Language(Язык)";
inline constexpr const char *kRussianItemCaption = "русский";
inline constexpr const char *kEnglishItemCaption = "english";

/// The main window's captions in one language.
struct MainWindowCaptions {
    QString window;
    QString file, save, createProject, openProject, print, exit;
    QString edit, copyTable, copySelection, screenshot;
    QString help, contents, about;
    QString readArchive, graph;
    QString channel1, channel2;
    QString deleteRow;
    QString clockHint;
};

[[nodiscard]] MainWindowCaptions CaptionsIn(std::uint8_t language);

} // namespace velda
