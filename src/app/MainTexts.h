// Texts of the main window alone; the texts it shares with other subsystems are in base/SharedTexts.h.
#pragma once

#include "base/SharedTexts.h"

namespace velda {

inline constexpr TextPair TxtMainCaption{"Измеритель температуры и влажности VELDA-9",
                                         "Temperature and humidity measuring instrument VELDA-9"};
inline constexpr TextPair TxtFile{"Файл", "File"};
// The English text begins with the Cyrillic capital Es, as the instrument's program has always shown it.
inline constexpr TextPair TxtCreateProject{"Создать Проект", "Сreate Project"};
inline constexpr TextPair TxtOpenProject{"Открыть Проект", "Open Project"};
inline constexpr TextPair TxtPrint{"Печать", "Print"};
inline constexpr TextPair TxtExit{"Выход", "Exit"};
inline constexpr TextPair TxtEdit{"Правка", "Edit"};
inline constexpr TextPair TxtCopyTable{"Копировать таблицу в буфер", "Copy table to clipboard"};
inline constexpr TextPair TxtCopySelection{"Копировать выделенное в буфер", "Copy select to clipboard"};
inline constexpr TextPair TxtScreenshot{"Скриншот из прибора", "Screenshot from Device"};
inline constexpr TextPair TxtHelp{"Помощь", "Help"};
inline constexpr TextPair TxtContents{"Справка", "Information"};
inline constexpr TextPair TxtAbout{"О приборе", "About"};
inline constexpr TextPair TxtReadArchive{"Загрузить архив", "Read from device"};
inline constexpr TextPair TxtTableEmpty{"Таблтца пуста", "The table is empty"};
inline constexpr TextPair TxtHintSort{"Левая кнопка мыши - Сортировка", "Left mouse button - Sort"};
inline constexpr TextPair TxtHintSelect{"Левая кнопка мыши + Тащить - Выделение",
                                        "Left mouse button + drag - Highlight"};
inline constexpr TextPair TxtDelete{"Удалить", "Delete"};
inline constexpr TextPair TxtAppendProject{"Добавить проект...", "Append project..."};

} // namespace velda
