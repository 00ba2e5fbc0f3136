// Texts shown by several subsystems: the table's column headers, channel names, archive titles, errors.
#pragma once

#include "base/Texts.h"

namespace velda {

inline constexpr TextPair TxtWarning{"Внимание", "Warning"};
inline constexpr TextPair TxtSaveToExcel{"Сохранить в Exel", "Save to Exel"};
inline constexpr TextPair TxtSaveToCsv{"Сохранить в CSV...", "Save to CSV..."};
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
/// After a read whose records partly failed their block check: %1 failed, %2 records in all.
inline constexpr TextPair TxtRecordsFailedCheck{
    "Записей с ошибкой контрольной суммы: %1 из %2 (в таблице как получены)",
    "%1 of %2 records failed their checksum (in the table as received)"};
inline constexpr TextPair TxtError{"Ошибка", "Error"};
inline constexpr TextPair TxtExportError{"Экспорт данных - Ошибка !!!", "Export of the data - Error !!!"};
inline constexpr TextPair TxtExcelOpenFailed{"Невозможно открыть Microsoft Excel!",
                                             "It is impossible to open Microsoft Excel!"};
inline constexpr TextPair TxtExcelMissing{"Возможно Excel не установлен на компьютере",
                                          "Probably Excel it is not established on the computer"};

// Third-quantity headers written by the table fill into columns 9 and 13.
inline constexpr TextPair TxtDewPointHeader{"Точка росы, °C", "Dew Point, °C"};
inline constexpr TextPair TxtPressureHeader{"Давление, мм рт. ст.", "Pressure, mm Hg"};

/// Header texts of columns 0 to 13 of the archive table.
inline constexpr TextPair kHeaderTexts[14] = {TxtNumberSign, TxtTime,   TxtDate, TxtMode, TxtNumber,
                                              TxtSeries,     TxtSensor, TxtT,    TxtH,    TxtQ,
                                              TxtSensor,     TxtT,      TxtH,    TxtQ};

} // namespace velda
