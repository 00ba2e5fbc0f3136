// The archive table's columns by what they hold: the one set of column indices of the table.
#pragma once

namespace velda::column {

inline constexpr int kNumber = 0;         ///< record number i + 1
inline constexpr int kTime = 1;           ///< "hh:mm:ss" with the system's time separator
inline constexpr int kDate = 2;           ///< the system's short date
inline constexpr int kMode = 3;           ///< recording mode
inline constexpr int kNumberAndCount = 4; ///< Number " | " ModeCount, series mode only
inline constexpr int kSeries = 5;         ///< Series, series mode only

/// Channel slots: slot 0 is columns 6 to 9, slot 1 columns 10 to 13; within a slot, in this order, the
/// sensor name, the temperature, the humidity and the third quantity (heat flux, dew point or pressure).
inline constexpr int kSlotCount = 2;
inline constexpr int kSlotWidth = 4;
inline constexpr int kSlot0Sensor = 6;
inline constexpr int kSlot1Sensor = kSlot0Sensor + kSlotWidth;
inline constexpr int kSensorInSlot = 0;
inline constexpr int kTemperatureInSlot = 1;
inline constexpr int kHumidityInSlot = 2;
inline constexpr int kThirdInSlot = 3;

/// The column of `inSlot` (kSensorInSlot ... kThirdInSlot) in channel slot `slot` (0 or 1).
[[nodiscard]] constexpr int InSlot(int slot, int inSlot) {
    return kSlot0Sensor + kSlotWidth * slot + inSlot;
}
/// The slot a column of 6 to 13 belongs to and its place there.
[[nodiscard]] constexpr int SlotOf(int col) {
    return (col - kSlot0Sensor) / kSlotWidth;
}
[[nodiscard]] constexpr int PlaceInSlot(int col) {
    return (col - kSlot0Sensor) % kSlotWidth;
}

/// Column counts of a table that shows one channel slot and of one that shows both.
inline constexpr int kOneSlotCount = kSlot1Sensor;
inline constexpr int kTwoSlotCount = kSlot1Sensor + kSlotWidth;

} // namespace velda::column
