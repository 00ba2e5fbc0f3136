// Graph construction from the archive table and the effects of the graph window's channel controls.
#include "graph/GraphModel.h"

#include "archive/ArchiveRecord.h"
#include "archive/ChannelLayout.h"
#include "base/SharedTexts.h"
#include "base/SortTable.h"
#include "graph/GraphTexts.h"

#include "base/Cp1251.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>

namespace velda {
namespace {

constexpr int kChannelCount = 2;
constexpr int kTemperatureColumn1 = 7;
constexpr int kTimeColumn = 1;
constexpr int kDateColumn = 2;
constexpr int kMinSensorTextLength = 3;
constexpr double kMsPerDay = 86400000.0;

// Both languages' names of both tables, decoded once: classification runs for every row.
struct SensorNames {
    std::vector<QString> ru;
    std::vector<QString> en;
};

const SensorNames &NamesOf(SensorTable table) {
    static const auto make = [](const TextPair *pairs, int count) {
        SensorNames n;
        for (int i = 0; i < count; ++i) {
            n.ru.push_back(PickIn(pairs[i], 0));
            n.en.push_back(PickIn(pairs[i], 1));
        }
        return n;
    };
    static const SensorNames a = make(SensorTableA, SensorCodeCount(SensorTable::A));
    static const SensorNames b = make(SensorTableB, SensorCodeCount(SensorTable::B));
    return table == SensorTable::A ? a : b;
}

char16_t LowerLatin(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool EqualsIgnoringLatinCase(QStringView a, QStringView b) {
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (LowerLatin(a[i].unicode()) != LowerLatin(b[i].unicode())) return false;
    }
    return true;
}

bool In(SensorCode code, std::initializer_list<int> codes) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

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

// Times are written "hh:mm:ss" with the system's separator; reading that shape directly from the cell's
// bytes keeps the construction of a large archive fast. Anything else takes the general parser.
std::optional<QTime> ParseTime(std::string_view text, const SystemFormats &formats) {
    const QString &sep = formats.timeSeparator;
    if (sep.size() == 1 && sep[0].unicode() < 0x80 && text.size() == 8 && text[2] == sep[0].toLatin1() &&
        text[5] == sep[0].toLatin1()) {
        auto two = [&](std::size_t at) -> int {
            const char a = text[at];
            const char b = text[at + 1];
            if (a < '0' || a > '9' || b < '0' || b > '9') return -1;
            return (a - '0') * 10 + (b - '0');
        };
        const int h = two(0);
        const int m = two(3);
        const int s = two(6);
        if (h >= 0 && h < 24 && m >= 0 && m < 60 && s >= 0 && s < 60) return QTime(h, m, s);
    }
    return ParseTimeCell(FromCp1251(text), formats);
}

} // namespace

SensorCode ClassifySensor(QStringView text, int archiveFormat) {
    const SensorNames &names = NamesOf(SensorTableOf(archiveFormat));
    for (std::size_t code = 0; code < names.ru.size(); ++code) {
        if (EqualsIgnoringLatinCase(text, names.ru[code]) || EqualsIgnoringLatinCase(text, names.en[code]))
            return static_cast<SensorCode>(code);
    }
    return 0;
}

QuantitySet QuantitiesFor(int channel, int archiveFormat, SensorCode code) {
    const bool tableB = SensorTableOf(archiveFormat) == SensorTable::B;
    if (channel == 0) {
        if (!tableB) {
            if (In(code, {1, 2, 3})) return QuantitySet::ThermoOnly;
            if (code == 4) return QuantitySet::FluxOnly;
            if (In(code, {5, 6})) return QuantitySet::ThermoHygroDew;
            return QuantitySet::NoPlot;
        }
        if (In(code, {1, 2, 3, 4})) return QuantitySet::ThermoOnly;
        if (code == 5) return QuantitySet::FluxOnly;
        if (In(code, {6, 8})) return QuantitySet::ThermoHygroDew;
        if (code == 7) return QuantitySet::ThermoHygroPressure;
        return QuantitySet::NoPlot;
    }
    if (!tableB) {
        if (In(code, {1, 2, 3, 7, 8, 9})) return QuantitySet::ThermoOnly;
        if (code == 4) return QuantitySet::FluxOnly;
        if (code == 5) return QuantitySet::ThermoHygroDew;
        return QuantitySet::NoPlot;
    }
    if (In(code, {1, 2, 3, 4, 9, 10, 11})) return QuantitySet::ThermoOnly;
    if (code == 5) return QuantitySet::FluxOnly;
    if (code == 6) return QuantitySet::ThermoHygroDew;
    if (code == 7) return QuantitySet::ThermoHygroPressure;
    return QuantitySet::NoPlot;
}

bool IsUnpresentedCode(int channel, int archiveFormat, SensorCode code) {
    return code == 0 || (channel == 1 && SensorTableOf(archiveFormat) == SensorTable::B && code == 8);
}

TitleVariant TitleVariantFor(int channel, int archiveFormat, SensorCode code, bool byOtherChannel) {
    const bool tableB = SensorTableOf(archiveFormat) == SensorTable::B;
    if (code == 0) return TitleVariant::TitleNone;
    if (channel == 0) {
        if (!tableB) {
            if (In(code, {1, 2, 3})) return TitleVariant::TitleT;
            // The platinum thermometer titles the axis only when its own axis buttons write the title.
            if (code == 7) return byOtherChannel ? TitleVariant::TitleNone : TitleVariant::TitleT;
            if (code == 4) return TitleVariant::TitleQ;
            if (In(code, {5, 6})) return TitleVariant::TitleSel;
            return TitleVariant::TitleNone;
        }
        if (In(code, {1, 2, 3, 4, 9, 10, 11})) return TitleVariant::TitleT;
        if (code == 5) return TitleVariant::TitleQ;
        if (In(code, {6, 8})) return TitleVariant::TitleSel;
        if (code == 7) return TitleVariant::TitleSelP;
        return TitleVariant::TitleNone;
    }
    if (!tableB) {
        if (In(code, {1, 2, 3, 7, 8, 9})) return TitleVariant::TitleT;
        if (code == 4) return TitleVariant::TitleQ;
        if (code == 5) return TitleVariant::TitleSel;
        return TitleVariant::TitleNone;
    }
    if (In(code, {1, 2, 3, 4, 9, 10, 11})) return TitleVariant::TitleT;
    if (code == 5) return TitleVariant::TitleQ;
    if (code == 6) return TitleVariant::TitleSel;
    if (code == 7) return TitleVariant::TitleSelP;
    return TitleVariant::TitleNone;
}

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
    static const QDate kEpoch(1899, 12, 30);
    return static_cast<double>(kEpoch.daysTo(date)) + time.msecsSinceStartOfDay() / kMsPerDay;
}

namespace {

constexpr double kUnixEpochDays = 25569.0; // 1 January 1970 in days since 30 December 1899

QDate DayDate(qint64 day) {
    static const QDate kEpoch(1899, 12, 30);
    return kEpoch.addDays(day);
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
        const QDate date = DayDate(day);
        const qint64 start = LocalMidnightMs(date);
        m_regular = LocalMidnightMs(date.addDays(1)) - start == static_cast<qint64>(kMsPerDay);
        m_startMs = static_cast<double>(start);
        m_day = day;
        m_known = true;
    }
    if (m_regular) return m_startMs + (days - whole) * kMsPerDay;
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

namespace {

// Sign, digits, one decimal separator, digits, optional exponent: nothing else is a number here ("NAN",
// "INF", thousands separators and a second separator all fail). Blanks and control characters around
// the number are ignored.
template <typename Char>
ParsedValue ParseNumber(const Char *text, std::size_t size, char16_t decimalSeparator) {
    ParsedValue out;
    auto code = [&](std::size_t i) {
        return static_cast<char16_t>(static_cast<std::make_unsigned_t<Char>>(text[i]));
    };
    std::size_t begin = 0;
    std::size_t end = size;
    while (begin < end && code(begin) <= u' ')
        ++begin;
    while (end > begin && code(end - 1) <= u' ')
        --end;
    if (begin == end) {
        out.empty = true;
        return out;
    }
    char ascii[64];
    std::size_t n = 0;
    auto put = [&](char c) {
        if (n < sizeof ascii) ascii[n++] = c;
    };
    std::size_t i = begin;
    if (code(i) == u'+' || code(i) == u'-') {
        if (code(i) == u'-') put('-');
        ++i;
    }
    int digits = 0;
    bool separatorSeen = false;
    for (; i < end; ++i) {
        const char16_t c = code(i);
        if (c >= u'0' && c <= u'9') {
            put(static_cast<char>(c));
            ++digits;
        } else if (c == decimalSeparator && !separatorSeen) {
            put('.');
            separatorSeen = true;
        } else {
            break;
        }
    }
    if (digits == 0) return out;
    if (i < end && (code(i) == u'e' || code(i) == u'E')) {
        put('e');
        ++i;
        if (i < end && (code(i) == u'+' || code(i) == u'-')) put(static_cast<char>(code(i++)));
        int expDigits = 0;
        for (; i < end && code(i) >= u'0' && code(i) <= u'9'; ++i, ++expDigits)
            put(static_cast<char>(code(i)));
        if (expDigits == 0) return out;
    }
    if (i != end || n == sizeof ascii) return out;
    double v = 0;
    const auto res = std::from_chars(ascii, ascii + n, v);
    if (res.ec != std::errc() || res.ptr != ascii + n) return out;
    out.ok = true;
    out.value = v;
    return out;
}

} // namespace

ParsedValue ParseValueCell(QStringView text, QChar decimalSeparator) {
    return ParseNumber(text.utf16(), static_cast<std::size_t>(text.size()), decimalSeparator.unicode());
}

ParsedValue ParseValueCellBytes(std::string_view bytes, QChar decimalSeparator) {
    if (decimalSeparator.unicode() < 0x80)
        return ParseNumber(bytes.data(), bytes.size(), decimalSeparator.unicode());
    return ParseValueCell(FromCp1251(bytes), decimalSeparator);
}

std::optional<QTime> ParseTimeCellBytes(std::string_view bytes, const SystemFormats &formats) {
    return ParseTime(bytes, formats);
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

std::optional<GraphError> GraphModel::build(ArchiveTable &table, bool channel1Present, bool channel2Present,
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
    m_channels[0].SensorColumn = 6;
    // A table of channel 2 alone keeps it in the first channel slot.
    m_channels[1].SensorColumn = channel1Present ? 10 : 6;
    for (int ch = 0; ch < kChannelCount; ++ch) {
        if (!m_channels[ch].Present) continue;
        if (auto error = buildChannel(ch, table, formats)) return error;
    }
    return std::nullopt;
}

std::optional<GraphError> GraphModel::buildChannel(int ch, ArchiveTable &table,
                                                   const SystemFormats &formats) {
    GraphChannel &channel = m_channels[ch];
    ChannelControls &c = m_controls[ch];
    // Channel 1 reads its first row after ordering by temperature (empty cells first); channel 2 after
    // ordering by its sensor name.
    const SortResult sorted = SortTable(table, ch == 0 ? kTemperatureColumn1 : channel.SensorColumn, 1);
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
    int firstRow = 1;
    if (m_shownByTable[static_cast<std::size_t>(ch)]) {
        while (firstRow + 1 < table.rowCount() &&
               table.cell(channel.SensorColumn, firstRow).size() < kMinSensorTextLength)
            ++firstRow;
    }
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

    auto error = readRows(ch, table, formats);
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

std::optional<GraphError> GraphModel::readRows(int ch, const ArchiveTable &table,
                                               const SystemFormats &formats) {
    const GraphChannel &channel = m_channels[ch];
    const int col = channel.SensorColumn;
    const QChar sep = formats.decimalSeparator;
    // Cells are read as their Windows-1251 bytes: decoding every cell of a long archive would dominate
    // the construction. A separator outside ASCII is compared through the decoded text instead.
    const bool asciiSeparator = sep.unicode() < 0x80;
    const ValueRange flux = ch == 0 ? kFluxRangeChannel1 : kFluxRangeChannel2;
    const ValueRange third =
        channel.Quantities == QuantitySet::ThermoHygroPressure ? kPressureRange : kDewPointRange;
    auto &primary = m_series[PrimaryOf(ch)].points;
    auto &humidity = m_series[HumidityOf(ch)].points;
    auto &thirdPoints = m_series[ThirdOf(ch)].points;
    if (channel.Quantities != QuantitySet::NoPlot) {
        const auto rows = static_cast<std::size_t>(std::max(0, table.rowCount() - 1));
        primary.reserve(rows);
        if (channel.Quantities == QuantitySet::ThermoHygroDew ||
            channel.Quantities == QuantitySet::ThermoHygroPressure) {
            humidity.reserve(rows);
            thirdPoints.reserve(rows);
        }
    }

    std::string lastSensor;
    SensorCode lastCode = -1;
    std::string lastDateText;
    QDate lastDate;
    std::unordered_map<std::string, QDate> dates;

    GraphError valueError;
    bool failed = false;
    // Reads value cell `column` of row `r`: nullopt when it does not pass; sets `failed` when it is no
    // number.
    auto value = [&](int column, int r, ValueRange range) -> std::optional<double> {
        const std::string_view bytes = table.cellBytes(column, r);
        const ParsedValue v = asciiSeparator ? ParseNumber(bytes.data(), bytes.size(), sep.unicode())
                                             : ParseValueCell(FromCp1251(bytes), sep);
        if (v.empty) return std::nullopt;
        if (!v.ok) {
            valueError = GraphError{GraphError::Kind::Value, column, r, FromCp1251(bytes), {}};
            failed = true;
            return std::nullopt;
        }
        if (!range.contains(v.value)) return std::nullopt;
        return v.value;
    };

    for (int r = 1; r < table.rowCount(); ++r) {
        // One byte per character in Windows-1251.
        const std::string_view sensor = table.cellBytes(col, r);
        if (sensor.size() < kMinSensorTextLength) continue;
        if (lastCode < 0 || sensor != lastSensor) {
            lastSensor.assign(sensor);
            lastCode = ClassifySensor(FromCp1251(sensor), m_archiveFormat);
        }
        if (lastCode != channel.FirstCode) break;

        const std::string_view timeBytes = table.cellBytes(kTimeColumn, r);
        const std::optional<QTime> time = ParseTime(timeBytes, formats);
        if (!time) return GraphError{GraphError::Kind::Time, kTimeColumn, r, FromCp1251(timeBytes), {}};
        const std::string_view dateBytes = table.cellBytes(kDateColumn, r);
        if (dateBytes != lastDateText || !lastDate.isValid()) {
            auto known = dates.find(std::string(dateBytes));
            if (known != dates.end()) {
                lastDate = known->second;
            } else {
                const QString dateText = FromCp1251(dateBytes);
                const std::optional<QDate> parsed = ParseDateCell(dateText, formats);
                if (!parsed) return GraphError{GraphError::Kind::Date, kDateColumn, r, dateText, {}};
                lastDate = *parsed;
                dates.emplace(std::string(dateBytes), lastDate);
            }
            lastDateText.assign(dateBytes);
        }
        const double x = DateTimeToDays(lastDate, *time);

        switch (channel.Quantities) {
        case QuantitySet::ThermoOnly:
            if (auto t = value(col + 1, r, kTemperatureRange)) primary.push_back({x, *t});
            break;
        case QuantitySet::FluxOnly:
            if (auto q = value(col + 3, r, flux)) primary.push_back({x, *q});
            break;
        case QuantitySet::ThermoHygroDew:
        case QuantitySet::ThermoHygroPressure: {
            const auto t = value(col + 1, r, kTemperatureRange);
            if (!t) break;
            primary.push_back({x, *t});
            const auto h = value(col + 2, r, kHumidityRange);
            if (!h) break;
            humidity.push_back({x, *h});
            if (auto v = value(col + 3, r, third)) thirdPoints.push_back({x, *v});
            break;
        }
        case QuantitySet::NoPlot:
            break;
        }
        if (failed) return valueError;
    }
    return std::nullopt;
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
    if (c.tempChecked) {
        c.primarySwatch = m_series[PrimaryOf(ch)].colour;
        c.thirdSwatch = m_series[ThirdOf(ch)].colour;
        m_series[PrimaryOf(ch)].active = true;
        m_series[ThirdOf(ch)].active = c.thirdChecked;
    } else if (c.humChecked) {
        // The swatch shows the line that is drawn, and the third quantity stays unavailable while the
        // humidity is shown, as after choosing the humidity.
        c.primarySwatch = m_series[HumidityOf(ch)].colour;
        c.thirdSwatch.reset();
        c.thirdSwatchEnabled = false;
        c.thirdCheckEnabled = false;
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
