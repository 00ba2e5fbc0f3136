// The main window's texts, also used by the table fill, the export, the report and the graph window.
#pragma once

#include "app/Texts.h"

namespace velda {

inline constexpr TextPair TxtWarning{"Внимание", "Warning"};
inline constexpr TextPair TxtMainCaption{"Измеритель температуры и влажности VELDA-9",
                                         "Temperature and humidity measuring instrument VELDA-9"};
inline constexpr TextPair TxtFile{"Файл", "File"};
inline constexpr TextPair TxtSaveToExcel{"Сохранить в Exel", "Save to Exel"};
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
inline constexpr TextPair TxtGraph{"График измерений", "The graph of measurements"};
inline constexpr TextPair TxtNumberSign{"№", "№"};
inline constexpr TextPair TxtTime{"Время", "Time"};
inline constexpr TextPair TxtDate{"Дата", "Date"};
inline constexpr TextPair TxtMode{"Режим", "Regime"};
inline constexpr TextPair TxtNumber{"Номер", "Number"};
inline constexpr TextPair TxtSeries{"Серия", "Series"};
inline constexpr TextPair TxtSensor{"Датчик", "Sensor"};
inline constexpr TextPair TxtT{"T, °C", "T, °C"};
inline constexpr TextPair TxtH{"H, %", "H, %"};
inline constexpr TextPair TxtQ{"Q, Вт/m2", "Q, W/m2"};
inline constexpr TextPair TxtChannel1{"Канал 1", "Chanal 1"};
inline constexpr TextPair TxtChannel2{"Канал 2", "Chanal 2"};
// Both end in a space: a sheet number or the date follows.
inline constexpr TextPair TxtArchiveTitle{"Архив измерений ", "Archive of measurements "};
inline constexpr TextPair TxtArchiveNotRead{"Архив не считан!", "Archive not read!"};
inline constexpr TextPair TxtError{"Ошибка", "Error"};
inline constexpr TextPair TxtExportError{"Экспорт данных - Ошибка !!!", "Export of the data - Error !!!"};
inline constexpr TextPair TxtExcelOpenFailed{"Невозможно открыть Microsoft Excel!",
                                             "It is impossible to open Microsoft Excel!"};
inline constexpr TextPair TxtExcelMissing{"Возможно Excel не установлен на компьютере",
                                          "Probably Excel it is not established on the computer"};
inline constexpr TextPair TxtTableEmpty{"Таблтца пуста", "The table is empty"};
inline constexpr TextPair TxtHintSort{"Левая кнопка мыши - Сортировка", "Left mouse button - Sort"};
inline constexpr TextPair TxtHintSelect{"Левая кнопка мыши + Тащить - Выделение",
                                        "Left mouse button + drag - Highlight"};
inline constexpr TextPair TxtDelete{"Удалить", "Delete"};
inline constexpr TextPair TxtClockSync{"Синхронизация времени с ПК", "Time Synchronization with PC"};

// Third-quantity headers written by the table fill into columns 9 and 13.
inline constexpr TextPair TxtDewPointHeader{"Точка росы, °C", "Dew Point, °C"};
inline constexpr TextPair TxtPressureHeader{"Давление, мм рт. ст.", "Pressure, mm Hg"};

/// Header texts of columns 0 to 13 of the archive table.
inline constexpr TextPair kHeaderTexts[14] = {TxtNumberSign, TxtTime,   TxtDate, TxtMode, TxtNumber,
                                              TxtSeries,     TxtSensor, TxtT,    TxtH,    TxtQ,
                                              TxtSensor,     TxtT,      TxtH,    TxtQ};

} // namespace velda
