// The graph of the archive table without a chart: sensor recognition, points per series, the state of
// every control and value axis, and what the channel, quantity, colour and axis choices do to them.
#pragma once

#include "archive/TableRows.h"
#include "base/ArchiveTable.h"
#include "base/Result.h"
#include "base/SystemFormats.h"
#include "base/TableColumns.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace velda {

/// Per-channel result of the construction, kept while the window is open.
struct GraphChannel {
    bool Present = false;
    int SensorColumn = column::kSlot0Sensor;
    SensorCode FirstCode = 0;
    QuantitySet Quantities = QuantitySet::NoPlot;
};

enum class ValueAxis : std::uint8_t { Left, Right };

/// A point: x in days since kDayZero plus the time of day as a fraction of a day.
struct GraphPoint {
    double x = 0;
    double y = 0;
    friend bool operator==(const GraphPoint &, const GraphPoint &) = default;
};

/// Colour as 0xRRGGBB.
using Rgb = std::uint32_t;

struct SeriesState {
    std::vector<GraphPoint> points; ///< sorted by ascending x
    bool active = true;
    ValueAxis axis = ValueAxis::Left;
    Rgb colour = 0;
};

/// The controls of one channel's box. A swatch colour of nullopt is the neutral button face.
struct ChannelControls {
    bool boxVisible = false;
    bool primarySwatchVisible = false;
    std::optional<Rgb> primarySwatch;
    bool primarySwatchEnabled = true;
    bool sensorCheckVisible = false;
    bool sensorChecked = true;
    QString sensorCaption;
    bool tempRadioVisible = false;
    bool tempChecked = true;
    bool tempEnabled = true;
    QString tempCaption;
    bool humRadioVisible = false;
    bool humChecked = false;
    bool humEnabled = true;
    QString humCaption;
    bool thirdSwatchVisible = false;
    std::optional<Rgb> thirdSwatch;
    bool thirdSwatchEnabled = true;
    bool thirdCheckVisible = false;
    bool thirdChecked = true;
    bool thirdCheckEnabled = true;
    QString thirdCaption;
    bool leftChecked = false;
    bool rightChecked = false;
    bool axisRadiosEnabled = true;
};

/// A value axis as the handlers leave it. Title lines are separated by a carriage return.
struct ValueAxisState {
    bool visible = true;
    QString title;
};

/// Why the construction stopped early.
struct GraphError {
    enum class Kind : std::uint8_t { Sort, Time, Date, Value };
    Kind kind = Kind::Value;
    int column = 0;
    int row = 0;
    QString cellText;
    /// The sort's own text for Kind::Sort.
    QString sortMessage;
    /// The error's text for the user in `language` (0 Russian, otherwise English).
    [[nodiscard]] QString message(std::uint8_t language) const;
};

/// Accepted value ranges, bounds included.
struct ValueRange {
    double low;
    double high;
    [[nodiscard]] bool contains(double v) const { return v >= low && v <= high; }
};
inline constexpr ValueRange kTemperatureRange{-273, 1200};
inline constexpr ValueRange kHumidityRange{-100, 100};
inline constexpr ValueRange kDewPointRange{-273, 1200};
inline constexpr ValueRange kPressureRange{0, 500000};
inline constexpr ValueRange kFluxRangeChannel1{-1000, 800};
inline constexpr ValueRange kFluxRangeChannel2{-800, 800};

/// Days since kDayZero plus the day fraction of `time`.
[[nodiscard]] double DateTimeToDays(QDate date, QTime time);

/// The one time mapping of the graph. Point x values are local wall-clock days (DateTimeToDays of the
/// cells); the chart's time axis runs linearly in real time (milliseconds since 1970 UTC) and writes its
/// labels in local time. Drawing, axis range, read-out, zoom and the marker's hit test all convert through
/// this, so a point sits over the label of its own time also on the days the clocks change. A wall-clock
/// time the clocks skipped maps to the moment of the change; one they repeat to its first occurrence.
/// Remembers the start of every day it converted (finding it asks the time zone, which costs a system
/// call), so one object serves any number of runs over the points while the time zone stays. One thread
/// at a time.
class TimeMapping {
public:
    [[nodiscard]] double toEpochMs(double days);

private:
    struct DayStart {
        double startMs = 0;
        bool regular = true; ///< the day has 24 hours: its instants follow its start linearly
    };
    qint64 m_day = 0;
    bool m_known = false;
    DayStart m_start;
    std::unordered_map<qint64, DayStart> m_days;
};

/// Instant (milliseconds since 1970 UTC) of local wall-clock `days`.
[[nodiscard]] double DaysToEpochMs(double days);
/// Local wall-clock days of the instant `ms`.
[[nodiscard]] double EpochMsToDays(double ms);

/// The graph window's model: seven series (six lines and the marker), two channel boxes and two value
/// axes. Built once from the table; the handlers then change it. GUI thread.
class GraphModel {
public:
    static constexpr int kSeriesCount = 7;
    static constexpr int kMarkerSeries = 6;
    static constexpr std::array<Rgb, kSeriesCount> kStartColours{0xFF0000, 0x008000, 0xFF8000, 0x0000FF,
                                                                 0x808080, 0xFF00FF, 0x008080};

    /// The state of a freshly created window, texts in `language`.
    explicit GraphModel(std::uint8_t language = 0);

    /// Builds the graph from `table`: sorts it by the channel-1 temperature when channel 1 is present and
    /// by the channel-2 sensor name when channel 2 is, then reads the rows of each channel. A table that
    /// shows its second channel slot (14 columns) with values in it counts as holding both channels,
    /// whatever the flags of its last record say; the flags themselves are not changed. A cell that
    /// cannot be converted ends the construction there and is returned; what was built before it stays.
    [[nodiscard]] Result<Done, GraphError> build(ArchiveTable &table, bool channel1Present,
                                                 bool channel2Present, int archiveFormat,
                                                 const SystemFormats &formats);

    // Handlers. `channel` is 0 for channel 1 and 1 for channel 2. Every one but the colour choice
    // clears the marker first.
    /// The sensor check box was clicked; `checked` is its new state.
    void sensorCheckClicked(int channel, bool checked);
    /// The temperature (`humidity` false) or humidity radio button became selected.
    void quantityChosen(int channel, bool humidity);
    /// The third-quantity check box was clicked.
    void thirdCheckClicked(int channel, bool checked);
    /// A colour was confirmed in the colour dialog of the primary (`thirdSwatch` false) or third swatch.
    void colourChosen(int channel, bool thirdSwatch, Rgb colour);
    /// The left or right axis radio button became selected.
    void axisChosen(int channel, ValueAxis side);
    /// Sets the other side's axis after `channel` moved to `side`.
    void CheckChanal(int channel, ValueAxis side);

    /// Clears the marker series.
    void clearMarker() { m_series[kMarkerSeries].points.clear(); }
    /// Puts a copy of point `index` of series `source` into the marker series, on its axis and colour.
    void setMarker(int source, std::size_t index);

    [[nodiscard]] const GraphChannel &channel(int channel) const { return m_channels[channel]; }
    [[nodiscard]] const ChannelControls &controls(int channel) const { return m_controls[channel]; }
    [[nodiscard]] const SeriesState &series(int index) const { return m_series[index]; }
    [[nodiscard]] const ValueAxisState &axis(ValueAxis side) const { return m_axes[Index(side)]; }
    /// Whether the chart draws the axis: it is visible and an active line series uses it, or a present
    /// channel hidden with its sensor check box is on it (hiding a channel keeps its axis and title). Any
    /// other axis that no drawn line uses would only show an empty scale.
    [[nodiscard]] bool axisDrawn(ValueAxis side) const;
    [[nodiscard]] int archiveFormat() const { return m_archiveFormat; }
    [[nodiscard]] std::uint8_t language() const { return m_language; }
    [[nodiscard]] bool marksChecked() const { return m_marksChecked; }
    void setMarksChecked(bool checked) { m_marksChecked = checked; }

    /// The title a channel writes on its axis (carriage-return separated lines); nullopt for TitleNone.
    [[nodiscard]] std::optional<QString> channelTitleText(int channel, bool byOtherChannel,
                                                          bool pressureLineBare = false) const;

private:
    static int Index(ValueAxis side) { return side == ValueAxis::Left ? 0 : 1; }
    [[nodiscard]] QString ChannelTitle(int channel, const QString &quantity) const;
    [[nodiscard]] std::optional<GraphError> buildChannel(int channel, ArchiveTable &table,
                                                         const SystemFormats &formats);
    [[nodiscard]] std::optional<GraphError> readRows(int channel, TableRowReader &reader);

    std::uint8_t m_language = 0;
    int m_archiveFormat = 0;
    bool m_marksChecked = true;
    std::array<bool, 2> m_shownByTable{}; ///< present because the table shows the slot, not by the flags
    std::array<GraphChannel, 2> m_channels{};
    std::array<ChannelControls, 2> m_controls{};
    std::array<SeriesState, kSeriesCount> m_series{};
    std::array<ValueAxisState, 2> m_axes{};
};

} // namespace velda
