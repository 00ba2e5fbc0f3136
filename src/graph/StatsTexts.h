// Texts of the statistics: figure names, the statistics window and the summary report.
#pragma once

#include "base/Texts.h"

namespace velda {

inline constexpr TextPair TxtStatistics{"Статистика...", "Statistics..."};
inline constexpr TextPair TxtStatsCaption{"Статистика", "Statistics"};
inline constexpr TextPair TxtStatsPrint{"Печать...", "Print..."};
inline constexpr TextPair TxtStatsCopy{"Копировать в буфер", "Copy to clipboard"};
inline constexpr TextPair TxtStatsClose{"Закрыть", "Close"};
inline constexpr TextPair TxtStatsLimits{"Пределы", "Limits"};
inline constexpr TextPair TxtStatsNoValues{"Нет значений", "No values"};
inline constexpr TextPair TxtStatsUnreadableRows{
    "Строк пропущено: %1 (дата или время не читаются в форматах даты и времени этой системы)",
    "%1 rows skipped: their date or time does not read in this system's date and time formats"};
inline constexpr TextPair TxtStatsMktConstant{"ΔH/R для средней кинетической температуры, K",
                                              "ΔH/R of the mean kinetic temperature, K"};
inline constexpr TextPair TxtStatsLowerColumn{"Нижний", "Lower"};
inline constexpr TextPair TxtStatsUpperColumn{"Верхний", "Upper"};
inline constexpr TextPair TxtStatsBadNumber{"«%1» не является числом", "'%1' is not a number"};
inline constexpr TextPair TxtStatsLowAboveHigh{"Нижний предел выше верхнего: %1",
                                               "The lower limit is above the upper one: %1"};
inline constexpr TextPair TxtStatsMktRange{"ΔH/R должна быть больше 0 K, а не «%1»",
                                           "ΔH/R must be greater than 0 K, not '%1'"};

// Figure names, one per row of a statistics sheet.
inline constexpr TextPair TxtFigSensor{"Датчик", "Sensor"};
inline constexpr TextPair TxtFigQuantity{"Величина", "Quantity"};
inline constexpr TextPair TxtFigCount{"Число значений", "Number of values"};
inline constexpr TextPair TxtFigFirst{"Первое значение", "First value"};
inline constexpr TextPair TxtFigLast{"Последнее значение", "Last value"};
inline constexpr TextPair TxtFigMin{"Минимум", "Minimum"};
inline constexpr TextPair TxtFigMinAt{"Время минимума", "Time of minimum"};
inline constexpr TextPair TxtFigMax{"Максимум", "Maximum"};
inline constexpr TextPair TxtFigMaxAt{"Время максимума", "Time of maximum"};
inline constexpr TextPair TxtFigMean{"Среднее", "Mean"};
inline constexpr TextPair TxtFigStddev{"Стандартное отклонение", "Standard deviation"};
inline constexpr TextPair TxtFigMkt{"Средняя кинетическая температура", "Mean kinetic temperature"};
inline constexpr TextPair TxtFigLow{"Нижний предел", "Lower limit"};
inline constexpr TextPair TxtFigHigh{"Верхний предел", "Upper limit"};
inline constexpr TextPair TxtFigBelow{"Ниже предела", "Below the limit"};
inline constexpr TextPair TxtFigAbove{"Выше предела", "Above the limit"};
inline constexpr TextPair TxtFigBelowTime{"Время ниже предела", "Time below the limit"};
inline constexpr TextPair TxtFigAboveTime{"Время выше предела", "Time above the limit"};

// The summary report.
inline constexpr TextPair TxtSummaryTitle{"Сводка: %1", "Summary: %1"};
/// %1 first moment, %2 last moment.
inline constexpr TextPair TxtSummaryPeriod{"Период: с %1 по %2", "Period: from %1 to %2"};
inline constexpr TextPair TxtSummaryNoData{"Нет значений для графика", "No values to plot"};

} // namespace velda
