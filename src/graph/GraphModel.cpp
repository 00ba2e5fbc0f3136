// Graph construction from the archive table and the effects of the graph window's channel controls.
#include "graph/GraphModel.h"

#include "archive/ChannelLayout.h"
#include "base/Cp1251.h"
#include "base/SharedTexts.h"
#include "base/SortTable.h"
#include "base/TableColumns.h"
#include "graph/GraphTexts.h"

#include <algorithm>
#include <cmath>

namespace velda {
namespace {

constexpr int kChannelCount = 2;
constexpr double kMsPerDay = 86400000.0;

int PrimaryOf(int channel) {
    return channel * 3;
}
int HumidityOf(int channel) {
    return channel * 3 + 1;
}
int ThirdOf(int channel) {
    return channel * 3 + 2;
}

ValueAxis Opposite(ValueAxis side) {
    return side == ValueAxis::Left ? ValueAxis::Right : ValueAxis::Left;
}

} // namespace

QString GraphError::message(std::uint8_t language) const {
    switch (kind) {
    case Kind::Sort:
        return sortMessage;
    case Kind::Time:
        return PickIn(TxtBadTimeCell, language).arg(cellText).arg(row).arg(column);
    case Kind::Date:
        return PickIn(TxtBadDateCell, language).arg(cellText).arg(row).arg(column);
    case Kind::Value:
        break;
    }
    return PickIn(TxtBadValueCell, language).arg(cellText).arg(row).arg(column);
}

double DateTimeToDays(QDate date, QTime time) {
    return static_cast<double>(kDayZero.daysTo(date)) + time.msecsSinceStartOfDay() / kMsPerDay;
}

namespace {

constexpr double kUnixEpochDays = 25569.0; // 1 January 1970 in days since kDayZero

QDate DayDate(qint64 day) {
    return kDayZero.addDays(day);
}

qint64 LocalMidnightMs(QDate date) {
    return QDateTime(date, QTime(0, 0)).toMSecsSinceEpoch();
}

double WallDaysAt(qint64 ms) {
    return EpochMsToDays(static_cast<double>(ms));
}

// On a day the clocks change: the first instant whose wall-clock time is not before `days`.
qint64 IrregularDayMs(qint64 day, double days) {
    const QDate date = DayDate(day);
    const auto wallMs = std::llround((days - static_cast<double>(day)) * kMsPerDay);
    if (wallMs < static_cast<qint64>(kMsPerDay)) {
        const QDateTime wall(date, QTime::fromMSecsSinceStartOfDay(static_cast<int>(wallMs)));
        const qint64 candidate = wall.toMSecsSinceEpoch();
        const auto sameWall = [&wall](qint64 ms) {
            const QDateTime back = QDateTime::fromMSecsSinceEpoch(ms);
            return back.date() == wall.date() && back.time() == wall.time();
        };
        if (sameWall(candidate)) {
            // A repeated hour: its first pass, so that wall-clock order stays time order.
            const qint64 longer =
                LocalMidnightMs(date.addDays(1)) - LocalMidnightMs(date) - static_cast<qint64>(kMsPerDay);
            if (longer > 0 && sameWall(candidate - longer)) return candidate - longer;
            return candidate;
        }
    }
    // A time the clocks skipped: search the day for the moment its wall clock reaches that time.
    qint64 lo = LocalMidnightMs(date);
    qint64 hi = LocalMidnightMs(date.addDays(1));
    const double target = static_cast<double>(day) + static_cast<double>(wallMs) / kMsPerDay;
    while (lo < hi) {
        const qint64 mid = lo + (hi - lo) / 2;
        if (WallDaysAt(mid) < target)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

} // namespace

double TimeMapping::toEpochMs(double days) {
    const double whole = std::floor(days);
    const auto day = static_cast<qint64>(whole);
    if (!m_known || day != m_day) {
        auto found = m_days.find(day);
        if (found == m_days.end()) {
            const QDate date = DayDate(day);
            const qint64 start = LocalMidnightMs(date);
            const bool regular = LocalMidnightMs(date.addDays(1)) - start == static_cast<qint64>(kMsPerDay);
            found = m_days.emplace(day, DayStart{static_cast<double>(start), regular}).first;
        }
        m_start = found->second;
        m_day = day;
        m_known = true;
    }
    if (m_start.regular) return m_start.startMs + (days - whole) * kMsPerDay;
    return static_cast<double>(IrregularDayMs(day, days));
}

double DaysToEpochMs(double days) {
    TimeMapping mapping;
    return mapping.toEpochMs(days);
}

double EpochMsToDays(double ms) {
    const auto instant = static_cast<qint64>(std::floor(ms));
    const double offsetMs = QDateTime::fromMSecsSinceEpoch(instant).offsetFromUtc() * 1000.0;
    return (ms + offsetMs) / kMsPerDay + kUnixEpochDays;
}

GraphModel::GraphModel(std::uint8_t language) : m_language(language) {
    for (int i = 0; i < kSeriesCount; ++i) {
        m_series[i].colour = kStartColours[static_cast<std::size_t>(i)];
        m_series[i].axis = (i >= 3 && i < kMarkerSeries) ? ValueAxis::Right : ValueAxis::Left;
    }
    m_controls[0].leftChecked = true;
    m_controls[1].rightChecked = true;
}

QString GraphModel::ChannelTitle(int channel, const QString &quantity) const {
    return quantity + QLatin1Char(' ') + PickIn(channel == 0 ? TxtChannel1 : TxtChannel2, m_language);
}

std::optional<QString> GraphModel::channelTitleText(int channel, bool byOtherChannel,
                                                    bool pressureLineBare) const {
    const ChannelControls &c = m_controls[channel];
    const bool humidity = !c.tempChecked && c.humChecked;
    switch (TitleVariantFor(channel, m_archiveFormat, m_channels[channel].FirstCode, byOtherChannel)) {
    case TitleVariant::TitleT:
        return ChannelTitle(channel, PickIn(TxtQuantT, m_language));
    case TitleVariant::TitleQ:
        return ChannelTitle(channel, PickIn(TxtQuantQ, m_language));
    case TitleVariant::TitleSel:
        return ChannelTitle(channel, PickIn(humidity ? TxtQuantH : TxtQuantT, m_language));
    case TitleVariant::TitleSelP:
        if (humidity) return ChannelTitle(channel, PickIn(TxtQuantH, m_language));
        return ChannelTitle(channel, PickIn(TxtQuantT, m_language)) + QLatin1Char('\r') +
               (pressureLineBare ? PickIn(TxtQuantP, m_language)
                                 : ChannelTitle(channel, PickIn(TxtQuantP, m_language)));
    case TitleVariant::TitleNone:
        break;
    }
    return std::nullopt;
}

Result<Done, GraphError> GraphModel::build(ArchiveTable &table, bool channel1Present, bool channel2Present,
                                           int archiveFormat, const SystemFormats &formats) {
    m_archiveFormat = archiveFormat;
    // The flags describe the last record only; the main window shows the second slot while any row holds
    // values there, and the graph offers every channel the table shows.
    m_shownByTable = {false, false};
    if (table.colCount() >= kTwoChannelColCount && SecondSlotHoldsData(table)) {
        m_shownByTable = {!channel1Present, !channel2Present};
        channel1Present = true;
        channel2Present = true;
    }
    m_channels[0].Present = channel1Present;
    m_channels[1].Present = channel2Present;
    m_channels[0].SensorColumn = column::kSlot0Sensor;
    // A table of channel 2 alone keeps it in the first channel slot.
    m_channels[1].SensorColumn = channel1Present ? column::kSlot1Sensor : column::kSlot0Sensor;
    for (int ch = 0; ch < kChannelCount; ++ch) {
        if (!m_channels[ch].Present) continue;
        if (auto error = buildChannel(ch, table, formats)) return *error;
    }
    return {};
}

std::optional<GraphError> GraphModel::buildChannel(int ch, ArchiveTable &table,
                                                   const SystemFormats &formats) {
    GraphChannel &channel = m_channels[ch];
    ChannelControls &c = m_controls[ch];
    // Channel 1 reads its first row after ordering by temperature (empty cells first); channel 2 after
    // ordering by its sensor name.
    const SortResult sorted =
        SortTable(table, ch == 0 ? column::InSlot(0, column::kTemperatureInSlot) : channel.SensorColumn, 1);
    if (!sorted.ok()) {
        GraphError e;
        e.kind = GraphError::Kind::Sort;
        e.column = sorted.error().column;
        e.row = sorted.error().row;
        e.cellText = sorted.error().cellText;
        e.sortMessage = sorted.error().message();
        return e;
    }

    // A channel the flags do not name has records without it: their empty sensor cells sort first, and
    // the first row that names a sensor decides what the channel plots.
    TableRowReader reader(table, formats, m_archiveFormat);
    const int slot = column::SlotOf(channel.SensorColumn);
    int firstRow = 1;
    if (m_shownByTable[static_cast<std::size_t>(ch)])
        firstRow = reader.firstSensorRow(slot).value_or(std::max(1, table.rowCount() - 1));
    const QString firstSensor = table.cell(channel.SensorColumn, firstRow);
    channel.FirstCode = ClassifySensor(firstSensor, m_archiveFormat);
    channel.Quantities = QuantitiesFor(ch, m_archiveFormat, channel.FirstCode);

    const ValueAxis side = c.leftChecked ? ValueAxis::Left : ValueAxis::Right;
    for (int s : {PrimaryOf(ch), HumidityOf(ch), ThirdOf(ch)})
        m_series[s].axis = side;

    c.boxVisible = true;
    if (!IsUnpresentedCode(ch, m_archiveFormat, channel.FirstCode)) {
        c.primarySwatchVisible = true;
        c.primarySwatch = m_series[PrimaryOf(ch)].colour;
    }
    c.sensorCheckVisible = true;
    c.sensorCaption = firstSensor;

    ValueAxisState &ownAxis = m_axes[ch == 0 ? 0 : 1];
    switch (channel.Quantities) {
    case QuantitySet::ThermoOnly:
    case QuantitySet::FluxOnly:
        ownAxis.title = ChannelTitle(
            ch, PickIn(channel.Quantities == QuantitySet::ThermoOnly ? TxtQuantT : TxtQuantQ, m_language));
        m_series[HumidityOf(ch)].active = false;
        m_series[ThirdOf(ch)].active = false;
        break;
    case QuantitySet::ThermoHygroDew:
    case QuantitySet::ThermoHygroPressure:
        // Only the temperature line: the pressure line joins with the first axis or quantity choice.
        ownAxis.title = ChannelTitle(ch, PickIn(TxtQuantT, m_language));
        c.tempRadioVisible = true;
        c.tempChecked = true;
        c.tempCaption = PickIn(TxtQuantT, m_language);
        c.humRadioVisible = true;
        c.humChecked = false;
        c.humCaption = PickIn(TxtQuantH, m_language);
        c.thirdSwatchVisible = true;
        c.thirdSwatch = m_series[ThirdOf(ch)].colour;
        c.thirdCheckVisible = true;
        c.thirdCaption =
            PickIn(channel.Quantities == QuantitySet::ThermoHygroDew ? TxtQuantDew : TxtQuantP, m_language);
        m_series[PrimaryOf(ch)].active = true;
        m_series[HumidityOf(ch)].active = false;
        m_series[ThirdOf(ch)].active = true;
        break;
    case QuantitySet::NoPlot:
        break;
    }

    auto error = readRows(ch, reader);
    for (int s : {PrimaryOf(ch), HumidityOf(ch), ThirdOf(ch)}) {
        auto &points = m_series[s].points;
        const auto byX = [](const GraphPoint &a, const GraphPoint &b) { return a.x < b.x; };
        // Stable, so points of equal time keep the order of their rows.
        if (!std::is_sorted(points.begin(), points.end(), byX))
            std::stable_sort(points.begin(), points.end(), byX);
        points.shrink_to_fit();
    }
    return error;
}

std::optional<GraphError> GraphModel::readRows(int ch, TableRowReader &reader) {
    const GraphChannel &channel = m_channels[ch];
    const int slot = column::SlotOf(channel.SensorColumn);
    const ValueRange flux = ch == 0 ? kFluxRangeChannel1 : kFluxRangeChannel2;
    const ValueRange third =
        channel.Quantities == QuantitySet::ThermoHygroPressure ? kPressureRange : kDewPointRange;
    auto &primary = m_series[PrimaryOf(ch)].points;
    auto &humidity = m_series[HumidityOf(ch)].points;
    auto &thirdPoints = m_series[ThirdOf(ch)].points;
    if (channel.Quantities != QuantitySet::NoPlot) {
        const auto rows = static_cast<std::size_t>(std::max(0, reader.table().rowCount() - 1));
        primary.reserve(rows);
        if (channel.Quantities == QuantitySet::ThermoHygroDew ||
            channel.Quantities == QuantitySet::ThermoHygroPressure) {
            humidity.reserve(rows);
            thirdPoints.reserve(rows);
        }
    }

    std::optional<GraphError> error;
    std::array<bool, column::kSlotCount> slots{};
    slots[static_cast<std::size_t>(slot)] = true;
    reader.forEach(slots, [&](const TableRow &row) {
        // The rows of the first row's sensor are read; the next sensor ends the channel.
        if (row.sensorCode(slot) != channel.FirstCode) return false;
        if (!row.timeOk()) {
            error = GraphError{
                GraphError::Kind::Time, column::kTime, row.index(), FromCp1251(row.cell(column::kTime)), {}};
            return false;
        }
        if (!row.dateOk()) {
            error = GraphError{
                GraphError::Kind::Date, column::kDate, row.index(), FromCp1251(row.cell(column::kDate)), {}};
            return false;
        }
        const double x = DateTimeToDays(row.date(), row.time());
        // A value of `place` within `range`; a cell that is no number ends the construction.
        const auto value = [&](int place, ValueRange range) -> std::optional<double> {
            const ParsedValue v = row.value(slot, place);
            if (v.empty) return std::nullopt;
            if (!v.ok) {
                error = GraphError{GraphError::Kind::Value,
                                   column::InSlot(slot, place),
                                   row.index(),
                                   FromCp1251(row.cell(slot, place)),
                                   {}};
                return std::nullopt;
            }
            if (!range.contains(v.value)) return std::nullopt;
            return v.value;
        };

        switch (channel.Quantities) {
        case QuantitySet::ThermoOnly:
            if (auto t = value(column::kTemperatureInSlot, kTemperatureRange)) primary.push_back({x, *t});
            break;
        case QuantitySet::FluxOnly:
            if (auto q = value(column::kThirdInSlot, flux)) primary.push_back({x, *q});
            break;
        case QuantitySet::ThermoHygroDew:
        case QuantitySet::ThermoHygroPressure: {
            const auto t = value(column::kTemperatureInSlot, kTemperatureRange);
            if (!t) break;
            primary.push_back({x, *t});
            const auto h = value(column::kHumidityInSlot, kHumidityRange);
            if (!h) break;
            humidity.push_back({x, *h});
            if (auto v = value(column::kThirdInSlot, third)) thirdPoints.push_back({x, *v});
            break;
        }
        case QuantitySet::NoPlot:
            break;
        }
        return !error;
    });
    return error;
}

void GraphModel::sensorCheckClicked(int ch, bool checked) {
    clearMarker();
    ChannelControls &c = m_controls[ch];
    c.sensorChecked = checked;
    c.tempEnabled = c.humEnabled = c.axisRadiosEnabled = checked;
    c.primarySwatchEnabled = c.thirdSwatchEnabled = c.thirdCheckEnabled = checked;
    if (!checked) {
        c.primarySwatch.reset();
        c.thirdSwatch.reset();
        for (int s : {PrimaryOf(ch), HumidityOf(ch), ThirdOf(ch)})
            m_series[s].active = false;
        return;
    }
    // Shown again: both swatches take their series' colours whichever quantity is chosen, and the
    // chosen quantity's line is drawn again.
    c.primarySwatch = m_series[PrimaryOf(ch)].colour;
    c.thirdSwatch = m_series[ThirdOf(ch)].colour;
    if (c.tempChecked) {
        m_series[PrimaryOf(ch)].active = true;
        m_series[ThirdOf(ch)].active = c.thirdChecked;
    } else if (c.humChecked) {
        m_series[HumidityOf(ch)].active = true;
    }
}

void GraphModel::quantityChosen(int ch, bool humidity) {
    clearMarker();
    ChannelControls &c = m_controls[ch];
    c.tempChecked = !humidity;
    c.humChecked = humidity;
    if (!humidity) {
        m_series[PrimaryOf(ch)].active = true;
        m_series[HumidityOf(ch)].active = false;
        m_series[ThirdOf(ch)].active = c.thirdChecked;
        c.primarySwatch = m_series[PrimaryOf(ch)].colour;
        c.thirdSwatchEnabled = true;
        c.thirdSwatch = m_series[ThirdOf(ch)].colour;
        c.thirdCheckEnabled = true;
    } else {
        m_series[PrimaryOf(ch)].active = false;
        m_series[HumidityOf(ch)].active = true;
        m_series[ThirdOf(ch)].active = false;
        c.primarySwatch = m_series[HumidityOf(ch)].colour;
        c.thirdSwatchEnabled = false;
        c.thirdSwatch.reset();
        c.thirdCheckEnabled = false;
    }
    if (c.leftChecked)
        axisChosen(ch, ValueAxis::Left);
    else if (c.rightChecked)
        axisChosen(ch, ValueAxis::Right);
}

void GraphModel::thirdCheckClicked(int ch, bool checked) {
    clearMarker();
    m_controls[ch].thirdChecked = checked;
    m_series[ThirdOf(ch)].active = checked;
}

void GraphModel::colourChosen(int ch, bool thirdSwatch, Rgb colour) {
    ChannelControls &c = m_controls[ch];
    if (thirdSwatch) {
        c.thirdSwatch = colour;
        m_series[ThirdOf(ch)].colour = colour;
        return;
    }
    c.primarySwatch = colour;
    if (c.tempChecked)
        m_series[PrimaryOf(ch)].colour = colour;
    else if (c.humChecked)
        m_series[HumidityOf(ch)].colour = colour;
}

void GraphModel::axisChosen(int ch, ValueAxis side) {
    clearMarker();
    ChannelControls &c = m_controls[ch];
    c.leftChecked = side == ValueAxis::Left;
    c.rightChecked = side == ValueAxis::Right;
    if (m_channels[ch].Present) {
        ValueAxisState &axisState = m_axes[Index(side)];
        axisState.visible = true;
        if (auto title = channelTitleText(ch, false)) axisState.title = *title;
    }
    CheckChanal(ch, side);
    for (int s : {PrimaryOf(ch), HumidityOf(ch), ThirdOf(ch)})
        m_series[s].axis = side;
}

void GraphModel::CheckChanal(int ch, ValueAxis side) {
    const int other = 1 - ch;
    const ValueAxis otherSide = Opposite(side);
    ValueAxisState &otherAxis = m_axes[Index(otherSide)];
    if (!m_channels[other].Present || !m_controls[other].sensorChecked) {
        otherAxis.visible = false;
        return;
    }
    if (m_series[PrimaryOf(other)].axis == otherSide) {
        otherAxis.visible = true;
        // Channel 1 moving left writes channel 2's pressure line on the right without its caption.
        const bool bare = ch == 0 && side == ValueAxis::Left;
        if (auto title = channelTitleText(other, true, bare)) otherAxis.title = *title;
        return;
    }
    otherAxis.visible = false;
    if (auto title = channelTitleText(other, true)) m_axes[Index(side)].title += QLatin1Char('\r') + *title;
}

bool GraphModel::axisDrawn(ValueAxis side) const {
    if (!m_axes[Index(side)].visible) return false;
    for (int i = 0; i < kMarkerSeries; ++i) {
        if (m_series[i].active && m_series[i].axis == side) return true;
    }
    // A channel hidden with its sensor check box keeps its axis and title.
    for (int ch = 0; ch < kChannelCount; ++ch) {
        if (m_channels[ch].Present && !m_controls[ch].sensorChecked && m_series[PrimaryOf(ch)].axis == side)
            return true;
    }
    return false;
}

void GraphModel::setMarker(int source, std::size_t index) {
    SeriesState &marker = m_series[kMarkerSeries];
    const SeriesState &from = m_series[source];
    marker.points.assign(1, from.points[index]);
    marker.axis = from.axis;
    marker.colour = from.colour;
}

} // namespace velda
