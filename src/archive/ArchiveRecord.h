// Archive records of the instrument: the 36- and 44-byte layouts, their decoding and the sensor tables.
#pragma once

#include "base/Texts.h"
#include "device/ExchangeValues.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace velda {

namespace records {
inline constexpr std::size_t kLongCheckOffset = 40;
/// ModeCount of a record taken in continuous mode.
inline constexpr std::uint16_t kContinuousMode = 255;
} // namespace records

/// Which table of names the sensor codes of a record index.
enum class SensorTable : std::uint8_t { A, B };

/// One decoded record, the same fields for both layouts. Float fields of a channel the record does not
/// hold are present but meaningless.
struct ArchiveRecord {
    std::uint8_t Channels = 0;
    std::uint16_t Number = 0;
    std::uint16_t ModeCount = 0;
    std::uint16_t Series = 0;
    float Humidity1 = 0; ///< %
    float Humidity2 = 0;
    float Aux1 = 0; ///< heat flux W/m2, or air pressure mm Hg (pressure probe)
    float Aux2 = 0;
    float Temperature1 = 0; ///< degrees C
    float Temperature2 = 0;
    std::uint8_t Second = 0;
    std::uint8_t Minute = 0;
    std::uint8_t Hour = 0;
    std::uint8_t Day = 0;
    std::uint8_t Month = 0;
    std::uint8_t Year = 0; ///< years since 2000
    std::uint8_t Sensor1 = 0;
    std::uint8_t Sensor2 = 0;
    SensorTable Table = SensorTable::A;
};

/// Sensor table of an archive format: B for format 2, A otherwise.
[[nodiscard]] SensorTable SensorTableOf(int archiveFormat);

/// Decodes one record of `archiveFormat` (0: ShortRecord, otherwise LongRecord). Never fails: bytes
/// missing from a short buffer read as zero. Pure; any thread.
[[nodiscard]] ArchiveRecord DecodeRecord(int archiveFormat, std::span<const std::uint8_t> bytes);

/// Probe names, Russian and English, blank-padded to 13 characters (UTF-8 literals; all of them exist in
/// Windows-1251).
extern const TextPair SensorTableA[10];
extern const TextPair SensorTableB[12];

/// Number of codes of a table (10 or 12).
[[nodiscard]] int SensorCodeCount(SensorTable table);

/// The name of `code` in `language` (0 Russian, otherwise English); nullopt for a code outside the
/// table. Codes compare as signed 8-bit numbers, so 128 to 255 lie outside like codes above the table.
[[nodiscard]] std::optional<QString> SensorName(SensorTable table, std::uint8_t code, std::uint8_t language);

/// The index of `code` in `table`, or -1 when the code lies outside it (signed 8-bit comparison).
[[nodiscard]] int SensorIndex(SensorTable table, std::uint8_t code);

} // namespace velda
