// Every text of the main window that the language commands set, and the table's header row.
#pragma once

#include "archive/ArchiveTable.h"

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

/// Writes the header row: "№" in column 0 and the headers of columns 1 to 13 in `language`, whatever
/// the shown column count. Columns 9 and 13 keep naming the quantity they hold (heat flux, dew point or
/// pressure, as the fill or a project file left their header), now in `language`.
void WriteHeaderRow(ArchiveTable &table, std::uint8_t language);

} // namespace velda
