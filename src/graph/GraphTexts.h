// The graph window's own texts: cursor read-out, quantities, axis choice and the window's buttons.
#pragma once

#include "base/Texts.h"

namespace velda {

// The three cursor texts end in two blanks: the value follows after one more.
inline constexpr TextPair TxtCursorTime{"Время  ", "Time  "};
inline constexpr TextPair TxtCursorValue1{"Значение канал 1  ", "Value of chanal 1  "};
inline constexpr TextPair TxtCursorValue2{"Значение канал 2  ", "Value of chanal 2  "};
inline constexpr TextPair TxtGraphPrint{"Печать", "Print"};
inline constexpr TextPair TxtQuantT{"Температура, °C", "Temperature, °C"};
inline constexpr TextPair TxtQuantH{"Влажность, %", "Humidity, %"};
inline constexpr TextPair TxtQuantQ{"Тепловой поток, Вт/м2", "Thermal stream, W/m2"};
inline constexpr TextPair TxtQuantDew{"Точка росы, °C", "Dew Point, °C"};
inline constexpr TextPair TxtQuantP{"Давление, мм рт. ст.", "Pressure, mm Hg"};
inline constexpr TextPair TxtAxis{"Ось", "Axis"};
inline constexpr TextPair TxtLeft{"Л", "L"};
inline constexpr TextPair TxtRight{"П", "R"};
inline constexpr TextPair TxtShowMarks{"Метки", "Marks"};

// Errors that end the construction of the graph.
inline constexpr TextPair TxtBadTimeCell{"«%1» не является временем (строка %2, столбец %3)",
                                         "'%1' is not a valid time (row %2, column %3)"};
inline constexpr TextPair TxtBadDateCell{"«%1» не является датой (строка %2, столбец %3)",
                                         "'%1' is not a valid date (row %2, column %3)"};
inline constexpr TextPair TxtBadValueCell{"«%1» не является числом (строка %2, столбец %3)",
                                          "'%1' is not a valid number (row %2, column %3)"};

} // namespace velda
