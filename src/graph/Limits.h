// Lower and upper limits per measured quantity: parsing, per-user storage and the table's out-of-limit
// cells.
#pragma once

#include "archive/SensorCatalogue.h"
#include "base/ArchiveTable.h"
#include "base/FileTarget.h"
#include "base/Result.h"
#include "base/SystemFormats.h"

#include <QSettings>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace velda {

/// "temperature", "humidity", "dewpoint", "pressure", "heatflux": the command line's and the settings'
/// name of a quantity.
[[nodiscard]] QString QuantityKey(Quantity quantity);
[[nodiscard]] std::optional<Quantity> QuantityFromKey(QStringView key);

/// One quantity's limits; a missing side does not limit. Values on a limit count as inside.
struct Limit {
    std::optional<double> low;
    std::optional<double> high;
    [[nodiscard]] bool isSet() const { return low.has_value() || high.has_value(); }
    [[nodiscard]] bool below(double v) const { return low && v < *low; }
    [[nodiscard]] bool above(double v) const { return high && v > *high; }
    friend bool operator==(const Limit &, const Limit &) = default;
};

/// The limits of every quantity.
class Limits {
public:
    [[nodiscard]] const Limit &of(Quantity q) const { return m_limits[static_cast<std::size_t>(q)]; }
    void set(Quantity q, const Limit &limit) { m_limits[static_cast<std::size_t>(q)] = limit; }
    /// Whether any quantity has a limit.
    [[nodiscard]] bool any() const;
    friend bool operator==(const Limits &, const Limits &) = default;

private:
    std::array<Limit, kQuantityCount> m_limits{};
};

/// A command-line limit "QUANTITY=LOW:HIGH": either side may be empty, not both; a decimal point or a
/// comma; LOW not above HIGH. The error says what is wrong in one line.
struct ParsedLimit {
    Quantity quantity = Quantity::Temperature;
    Limit limit;
};
/// Why a command-line limit was refused.
struct LimitError {
    enum class Kind : std::uint8_t {
        NoEquals,        ///< no "=" between the quantity and the limits
        UnknownQuantity, ///< the name before "=" is no quantity key
        NotARange,       ///< the limits are not one "LOW:HIGH"
        NotANumber,      ///< a side reads as no finite number
        NoLimit,         ///< both sides are empty
        LowAboveHigh,    ///< the lower limit lies above the upper one
    };
    Kind kind = Kind::NoEquals;
    QString message; ///< one line for the user quoting the argument
};
[[nodiscard]] Result<ParsedLimit, LimitError> ParseLimitArgument(QStringView text);

/// A number typed by the user for a limit or a constant: blanks around it ignored, a point or a comma as
/// the decimal separator; nullopt when it is no finite number.
[[nodiscard]] std::optional<double> ParseLimitNumber(QStringView text);

/// Default ΔH/R of the mean kinetic temperature, in kelvin (83.144 kJ/mol over the gas constant).
inline constexpr double kDefaultMktActivationK = 10000.0;

/// Limits and the mean kinetic temperature's ΔH/R as kept per user.
struct StatsSettings {
    Limits limits;
    double mktActivationK = kDefaultMktActivationK;
    friend bool operator==(const StatsSettings &, const StatsSettings &) = default;
};

/// Reads and writes the "limits" and "statistics" groups of `settings`. Values that do not read back as
/// numbers are ignored.
[[nodiscard]] StatsSettings LoadStatsSettings(QSettings &settings);
void SaveStatsSettings(QSettings &settings, const StatsSettings &values);

/// The limits and ΔH/R in force for the windows: empty until the program loads them at start-up or the
/// statistics window changes them. GUI thread only.
[[nodiscard]] const StatsSettings &CurrentStatsSettings();
void SetCurrentStatsSettings(const StatsSettings &values);

/// Which value cells of a table's channel slots lie outside the limit of their quantity, decided once
/// for a table, its limits and decimal separator: a temperature or humidity column by its place, a third
/// column by each sensor's probe (or, for an unknown name, the column header). Every value the table
/// shows counts, as in the statistics; empty, "NAN" and unreadable cells are never outside. The owner
/// builds a new one when the table, the limits or the formats change. Any thread that owns the table.
class OutOfLimitCells {
public:
    OutOfLimitCells() = default;
    OutOfLimitCells(const ArchiveTable &table, const Limits &limits, const SystemFormats &formats);
    /// Whether cell (col, row) is outside; false for cells outside the slots and the data rows.
    [[nodiscard]] bool outside(int col, int row) const;

private:
    /// Per table row, bit k set when column kSlot0Sensor + k is outside.
    std::vector<std::uint8_t> m_rows;
};

} // namespace velda
