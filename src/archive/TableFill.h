// The table fill: turns the instrument's archive records into rows of the archive table.
#pragma once

#include "archive/ArchiveRecord.h"
#include "archive/SensorCatalogue.h"
#include "base/SystemFormats.h"
#include "base/Texts.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace velda {

class ArchiveTable;

inline constexpr TextPair TxtModeContinuous{"Непрерывный", "Uninterrupted"};
inline constexpr TextPair TxtModeSeries{"По сериям", "On series"};
/// Name cell of a sensor code the format's table has no name for; %1 is the code as an unsigned decimal.
inline constexpr TextPair TxtUnknownSensor{"Неизв. код %1", "Unknown code %1"};
/// Separator between Number and ModeCount in column 4.
inline constexpr const char *kNumberSeparator = " | ";

/// Valid measuring ranges, bounds included; a value that is not a number lies outside every range.
inline constexpr double kMinTemperature = -100.0;
inline constexpr double kMaxTemperature = 1800.0;
inline constexpr double kMinHumidity = 0.0;
inline constexpr double kMaxHumidity = 100.0;
inline constexpr double kMinPressure = 0.0;
inline constexpr double kMaxPressure = 500000.0;

/// Dew point in degrees C from relative humidity `h` (%) and temperature `t` (degrees C), Magnus-type
/// approximation; 0 when h is not greater than 0 or not a number.
[[nodiscard]] double DewPoint(double h, double t);

/// Everything the fill reads besides the table and the records.
struct FillContext {
    /// Cell formats; null: CurrentFormats().
    const SystemFormats *formats = nullptr;
    /// Asked once before every record; once it returns true no further row is written. Empty: never.
    std::function<bool()> cancelRequested;
    /// Called after each record's row is written, with the number of rows written so far. Empty: never.
    std::function<void(std::size_t rowsWritten)> rowWritten;
};

/// Fills `table` from `recordCount` records of `archiveFormat` held back to back in `records`
/// (RecordSize(archiveFormat) bytes each; records the buffer does not hold are not written). Empties
/// every data row (row 1 and below, all stored columns), sets the row count to recordCount + 1, writes
/// one row per record and the third-quantity headers of row 0. The table's archiveFormat() becomes
/// `archiveFormat` and its channels() those of the last record (one channel for a one-channel record,
/// both for a record of both); without a record they stay as they were. Texts
/// chosen by language are taken from LanguageIndex at the moment each is written. A cell whose text cannot be
/// produced shows "NAN". Runs on whichever thread owns `table` (the exchange thread for a detached table).
void FillArchiveTable(ArchiveTable &table, std::span<const std::uint8_t> records, std::size_t recordCount,
                      int archiveFormat, const FillContext &context = {});

} // namespace velda
