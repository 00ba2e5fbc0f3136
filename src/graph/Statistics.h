// Statistics of the archive table per channel, sensor and quantity: count, period, extremes, mean,
// standard deviation, mean kinetic temperature and the readings outside limits. Rows are read through the
// table's row reader.
#pragma once

#include "archive/TableRows.h"
#include "base/ArchiveTable.h"
#include "base/SystemFormats.h"
#include "graph/GraphModel.h"
#include "graph/Limits.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace velda {

/// A moment as read from a row's time and date cells: seconds since kDayZero, 00:00, wall-clock
/// time without a time zone.
using Stamp = std::int64_t;
[[nodiscard]] Stamp StampOf(QDate date, QTime time);
[[nodiscard]] QDate StampDate(Stamp stamp);
[[nodiscard]] QTime StampTime(Stamp stamp);

/// Counts and durations outside one quantity's limits within a group. Each reading holds until the next
/// one in time; the last one marks the end of the span, so the durations never exceed the span.
struct LimitFigures {
    Limit limit;
    std::int64_t belowCount = 0;
    std::int64_t aboveCount = 0;
    double belowSeconds = 0;
    double aboveSeconds = 0;
};

/// The figures of one quantity of one sensor on one channel.
struct QuantityStats {
    int channel = 1;  ///< 1 or 2
    QString sensor;   ///< the sensor-name cell without its padding blanks
    int firstRow = 0; ///< table row where the sensor first appears
    Quantity quantity = Quantity::Temperature;
    std::int64_t count = 0;
    Stamp first = 0; ///< earliest reading
    Stamp last = 0;  ///< latest reading
    double min = 0;
    Stamp minAt = 0; ///< earliest moment of the minimum
    double max = 0;
    Stamp maxAt = 0; ///< earliest moment of the maximum
    double mean = 0;
    double stddev = 0;                  ///< sample standard deviation (n - 1); 0 for one value
    std::optional<double> mkt;          ///< temperature only, °C
    std::optional<LimitFigures> limits; ///< when the quantity has a limit
};

struct ArchiveStatistics {
    /// Ordered by channel, then by the sensor's first row, then by quantity.
    std::vector<QuantityStats> groups;
    /// Rows with a sensor name whose time or date cell did not read back with the formats: a sign that
    /// the table was written with other formats.
    std::int64_t unreadableRows = 0;
};

/// Which channels the table holds and where: a 14-column table holds channel 1 in columns 6 to 9 and
/// channel 2 in 10 to 13; a 10-column table holds the channel its flags name (channel 1 when neither) in
/// columns 6 to 9.
struct ChannelSlot {
    int channel = 1;
    int sensorColumn = 6;
};
[[nodiscard]] std::vector<ChannelSlot> ChannelSlotsOf(const ArchiveTable &table, bool channel1Present,
                                                      bool channel2Present);

/// `value` rounded half away from zero to `decimals` places (0 to 15), taken first to the 15 significant
/// digits a double carries reliably so that binary noise cannot decide a half: 12.06775 gives 12.0678
/// with 4 decimals.
[[nodiscard]] double RoundedFigure(double value, int decimals);

/// Mean kinetic temperature in °C of `celsius` (equal weights) with ΔH/R `activationK` in kelvin;
/// nullopt for no values.
[[nodiscard]] std::optional<double> MeanKineticTemperature(const std::vector<double> &celsius,
                                                           double activationK = kDefaultMktActivationK);

/// Statistics of every group of `table` (data rows 1 and below, in table order). Rows whose sensor cell
/// is shorter than 3 characters or "NAN", or whose time or date cell does not read back, are skipped;
/// so are empty, "NAN" and unreadable value cells. Every other value the table shows counts, also those
/// the graph leaves off its axes. Pure; any thread that owns `table`.
[[nodiscard]] ArchiveStatistics ComputeStatistics(const ArchiveTable &table,
                                                  const std::vector<ChannelSlot> &slots,
                                                  const SystemFormats &formats, const Limits &limits,
                                                  double mktActivationK = kDefaultMktActivationK);

/// Name of a quantity with its unit in `language` ("Температура, °C" / "Temperature, °C").
[[nodiscard]] QString QuantityTitle(Quantity quantity, std::uint8_t language);
/// Unit of a quantity as the command line's JSON writes it ("°C", "%", "mm Hg", "W/m2").
[[nodiscard]] QString QuantityUnit(Quantity quantity);

/// A moment as the table writes it: the date cell, a blank, the time cell.
[[nodiscard]] QString FormatStamp(Stamp stamp, const SystemFormats &formats);
/// A duration as hours:minutes:seconds ("0:00:00", "51:15:30"); fractions of a second are rounded.
[[nodiscard]] QString FormatDuration(double seconds);

/// The figures of one channel as a grid of texts: row 0 the sensors, row 1 the quantities, then one row
/// per figure; column 0 names the figure, each further column is one group. Numbers in the value format
/// with the formats' decimal separator, moments as the table writes them.
struct StatsSheet {
    int channel = 1;
    std::vector<QStringList> rows;
};
[[nodiscard]] std::vector<StatsSheet> MakeStatsSheets(const ArchiveStatistics &stats, std::uint8_t language,
                                                      const SystemFormats &formats);

/// Every sheet as TAB-separated text, each channel introduced by its caption line and followed by an
/// empty line; lines end in CR LF, as the table's clipboard text does.
[[nodiscard]] QString StatsClipboardText(const std::vector<StatsSheet> &sheets, std::uint8_t language);
/// The same sheets with the columns padded by blanks for a terminal; lines end in LF.
[[nodiscard]] QString StatsPlainText(const std::vector<StatsSheet> &sheets, std::uint8_t language);

} // namespace velda
