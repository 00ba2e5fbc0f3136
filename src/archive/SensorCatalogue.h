// The sensor catalogue: for every sensor code of each archive format, its name, how the table fill writes
// its values, what the graph plots of it on each channel and how it titles the value axis.
#pragma once

#include "archive/ArchiveRecord.h"
#include "base/Texts.h"

#include <QStringView>

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace velda {

/// The quantities a channel slot can hold, in the order statistics list them.
enum class Quantity : std::uint8_t { Temperature, Humidity, DewPoint, Pressure, HeatFlux };
inline constexpr int kQuantityCount = 5;
inline constexpr std::array<Quantity, kQuantityCount> kAllQuantities{
    Quantity::Temperature, Quantity::Humidity, Quantity::DewPoint, Quantity::Pressure, Quantity::HeatFlux};

/// What a channel's values become in its slot.
enum class ValueRule : std::uint8_t {
    None,            ///< only the name cell
    Temperature,     ///< T: the temperature cell
    TemperatureOnly, ///< T0: the temperature cell, humidity and third-quantity cells emptied
    HeatFlux,        ///< Q: the third-quantity cell, unchecked
    DewPoint,        ///< D: temperature, humidity, dew point, header "Dew Point"
    Pressure,        ///< P: temperature, humidity, air pressure, header "Pressure"
};

/// Which column of the fill rules applies to a channel.
enum class RecordKind : std::uint8_t { Channel1Alone, Channel2Alone, BothChannels };

/// What a channel plots, decided by the code of its first data row.
enum class QuantitySet : std::uint8_t { ThermoOnly, FluxOnly, ThermoHygroDew, ThermoHygroPressure, NoPlot };

/// How a channel titles the value axis it is drawn on.
enum class TitleVariant : std::uint8_t { TitleT, TitleQ, TitleSel, TitleSelP, TitleNone };

/// Code of a sensor name: its index in the sensor table of the archive format; 0 for no match.
using SensorCode = int;

/// One sensor code of a sensor table. Per-channel fields are indexed 0 for channel 1, 1 for channel 2.
struct SensorEntry {
    const TextPair *name;                     ///< blank-padded names, Russian and English
    std::array<ValueRule, 3> fill;            ///< indexed by RecordKind
    std::optional<Quantity> third;            ///< what the slot's third column holds for this probe
    std::array<QuantitySet, 2> plots;         ///< what the graph draws of the channel
    std::array<TitleVariant, 2> title;        ///< axis title written by the channel's own axis buttons
    std::array<TitleVariant, 2> titleByOther; ///< axis title written because the other channel moved
    std::array<bool, 2> presented;            ///< false: the window shows only the sensor check box
};

/// Every code of the sensor table of `archiveFormat` (table B for format 2, table A otherwise), by code.
[[nodiscard]] std::span<const SensorEntry> SensorCatalogue(int archiveFormat);

/// The entry of `code` under `archiveFormat`; codes outside the table give the entry of code 0 (free).
[[nodiscard]] const SensorEntry &SensorEntryOf(int archiveFormat, SensorCode code);

/// The code of the first name, in increasing code order, whose Russian or English text (Russian tried
/// first) equals `text` over its whole length, padding blanks included; upper and lower case differ only
/// for the Latin letters A to Z. No match gives 0. Pure; any thread.
[[nodiscard]] SensorCode ClassifySensor(QStringView text, int archiveFormat);

/// The rule for a sensor code of `archiveFormat` in a record of `kind`. Codes outside the format's
/// table give ValueRule::None.
[[nodiscard]] ValueRule RuleFor(int archiveFormat, RecordKind kind, std::uint8_t sensorCode);

/// Quantity set of channel 1 or 2 (`channel` 0 or 1) for `code` under the sensor table of `archiveFormat`.
[[nodiscard]] QuantitySet QuantitiesFor(int channel, int archiveFormat, SensorCode code);

/// True for the codes whose window presentation is not fixed by their quantity set: code 0 on either
/// channel and code 8 of format 2 on channel 2. Such a channel shows its box with the sensor check box
/// only and writes no axis title.
[[nodiscard]] bool IsUnpresentedCode(int channel, int archiveFormat, SensorCode code);

/// Title variant of channel 1 or 2. `byOtherChannel` is true when the title is written because the other
/// channel moved: code 7 of format 0/1 on channel 1 then writes no title.
[[nodiscard]] TitleVariant TitleVariantFor(int channel, int archiveFormat, SensorCode code,
                                           bool byOtherChannel);

/// The quantity of a slot's third column for a sensor name: a name recognised in either sensor table
/// gives what that probe measures there (heat flux, dew point, pressure, or nothing); an unrecognised
/// name follows the slot's third-column header (dew point or pressure).
[[nodiscard]] std::optional<Quantity> ThirdQuantityOf(QStringView sensorName, QStringView thirdHeader);

} // namespace velda
