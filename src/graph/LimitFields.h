// The statistics window's limit and ΔH/R fields: the settings a typed text makes, or why it is refused.
#pragma once

#include "base/Result.h"
#include "base/SystemFormats.h"
#include "graph/Limits.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace velda {

/// Why the text typed into a field was refused. The settings in use stay, and the field shows them again,
/// so the figures never count with a value the fields do not show.
struct FieldError {
    enum class Kind : std::uint8_t {
        NotANumber,    ///< the text reads as no number
        LowAboveHigh,  ///< the lower limit would lie above the upper one
        MktOutOfRange, ///< ΔH/R not above 0 K
    };
    Kind kind = Kind::NotANumber;
    QString text;                              ///< what was typed
    Quantity quantity = Quantity::Temperature; ///< whose limits, for LowAboveHigh
    /// The message the window shows, in `language`.
    [[nodiscard]] QString message(std::uint8_t language) const;
};

/// The settings after `text` was typed into the lower (`upper` false) or upper limit field of `quantity`,
/// starting from the settings in use: an empty text removes that side's limit; a number (point or comma)
/// sets it unless it would put the lower limit above the upper one.
[[nodiscard]] Result<StatsSettings, FieldError> EditLimitField(const StatsSettings &inUse, Quantity quantity,
                                                               bool upper, QStringView text);
/// The settings after `text` was typed into the ΔH/R field: a number above 0 K.
[[nodiscard]] Result<StatsSettings, FieldError> EditMktField(const StatsSettings &inUse, QStringView text);

/// What a field shows for `value`: up to 15 significant digits with the decimal separator of `formats`;
/// empty for no value.
[[nodiscard]] QString FieldText(const std::optional<double> &value, const SystemFormats &formats);

} // namespace velda
