// Statistics of the archive table: rows grouped by channel and sensor, each quantity's figures and the
// readings outside its limits.
#include "graph/Statistics.h"

#include "archive/ArchiveRecord.h"
#include "base/Cp1251.h"
#include "base/SharedTexts.h"
#include "graph/GraphTexts.h"
#include "graph/StatsTexts.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <string>
#include <string_view>
#include <unordered_map>

namespace velda {
namespace {

constexpr int kTimeColumn = 1;
constexpr int kDateColumn = 2;
constexpr int kMinSensorTextLength = 3;
constexpr Stamp kSecondsPerDay = 86400;
constexpr double kKelvinOffset = 273.15;
// Formats in which the graph's sensor tables are read: table A, then table B.
constexpr int kTableAFormat = 0;
constexpr int kTableBFormat = 2;

const QDate &Epoch() {
    static const QDate epoch(1899, 12, 30);
    return epoch;
}

std::string_view Trimmed(std::string_view bytes) {
    while (!bytes.empty() && static_cast<unsigned char>(bytes.front()) <= ' ')
        bytes.remove_prefix(1);
    while (!bytes.empty() && static_cast<unsigned char>(bytes.back()) <= ' ')
        bytes.remove_suffix(1);
    return bytes;
}

struct Reading {
    Stamp at = 0;
    double value = 0;
};

struct Group {
    QString sensor;
    int firstRow = 0;
    std::optional<Quantity> third;
    std::array<std::vector<Reading>, kQuantityCount> readings;
};

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    const std::size_t mid = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid), values.end());
    const double upper = values[mid];
    if (values.size() % 2 == 1) return upper;
    const double lower = *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid));
    return (lower + upper) / 2;
}

QuantityStats Summarise(std::vector<Reading> &readings, const Limit &limit, bool temperature,
                        double mktActivationK) {
    const auto byTime = [](const Reading &a, const Reading &b) { return a.at < b.at; };
    // Stable: readings of the same moment keep the order of their rows.
    if (!std::is_sorted(readings.begin(), readings.end(), byTime))
        std::stable_sort(readings.begin(), readings.end(), byTime);
    QuantityStats s;
    const std::size_t n = readings.size();
    s.count = static_cast<std::int64_t>(n);
    s.first = readings.front().at;
    s.last = readings.back().at;
    s.min = s.max = readings.front().value;
    s.minAt = s.maxAt = readings.front().at;
    double sum = 0;
    for (const Reading &r : readings) {
        sum += r.value;
        if (r.value < s.min) {
            s.min = r.value;
            s.minAt = r.at;
        }
        if (r.value > s.max) {
            s.max = r.value;
            s.maxAt = r.at;
        }
    }
    s.mean = sum / static_cast<double>(n);
    if (n > 1) {
        double squares = 0;
        for (const Reading &r : readings)
            squares += (r.value - s.mean) * (r.value - s.mean);
        s.stddev = std::sqrt(squares / static_cast<double>(n - 1));
    }
    if (temperature) {
        std::vector<double> values(n);
        std::transform(readings.begin(), readings.end(), values.begin(),
                       [](const Reading &r) { return r.value; });
        s.mkt = MeanKineticTemperature(values, mktActivationK);
    }
    if (limit.isSet()) {
        LimitFigures f;
        f.limit = limit;
        std::vector<double> intervals;
        intervals.reserve(n > 0 ? n - 1 : 0);
        for (std::size_t i = 1; i < n; ++i)
            intervals.push_back(static_cast<double>(readings[i].at - readings[i - 1].at));
        // The last reading lasts as long as a typical interval of its group.
        const double lastInterval = Median(intervals);
        for (std::size_t i = 0; i < n; ++i) {
            const double lasts = i + 1 < n ? intervals[i] : lastInterval;
            if (limit.below(readings[i].value)) {
                ++f.belowCount;
                f.belowSeconds += lasts;
            } else if (limit.above(readings[i].value)) {
                ++f.aboveCount;
                f.aboveSeconds += lasts;
            }
        }
        s.limits = f;
    }
    return s;
}

// One slot's groups while the rows are read, in the order of each sensor's first row.
struct SlotReader {
    ChannelSlot slot;
    QString thirdHeader;
    std::vector<Group> groups;
    std::unordered_map<std::string, std::size_t> groupOf;
    std::string lastSensor;
    std::size_t lastGroup = 0;
    bool haveLast = false;

    Group &groupFor(std::string_view sensor, std::string_view sensorCell, int row) {
        if (!haveLast || sensor != lastSensor) {
            lastSensor.assign(sensor);
            haveLast = true;
            auto known = groupOf.find(lastSensor);
            if (known == groupOf.end()) {
                Group g;
                g.sensor = FromCp1251(sensor);
                g.firstRow = row;
                g.third = ThirdQuantityOf(FromCp1251(sensorCell), thirdHeader);
                groups.push_back(std::move(g));
                known = groupOf.emplace(lastSensor, groups.size() - 1).first;
            }
            lastGroup = known->second;
        }
        return groups[lastGroup];
    }
};

// Reads every slot in one pass over the rows: each row's time and date are read once for all slots.
std::vector<SlotReader> ReadSlots(const ArchiveTable &table, const std::vector<ChannelSlot> &slots,
                                  const SystemFormats &formats, std::int64_t &unreadableRows) {
    std::vector<SlotReader> readers;
    for (const ChannelSlot &slot : slots)
        readers.push_back(SlotReader{slot, table.cell(slot.sensorColumn + 3, 0), {}, {}, {}, 0, false});
    std::unordered_map<std::string, QDate> dates;
    std::string lastDateText;
    QDate lastDate;
    bool haveDate = false;
    const QChar sep = formats.decimalSeparator;
    std::vector<std::string_view> sensors(readers.size());

    for (int r = 1; r < table.rowCount(); ++r) {
        bool anySensor = false;
        for (std::size_t i = 0; i < readers.size(); ++i) {
            const std::string_view cell = table.cellBytes(readers[i].slot.sensorColumn, r);
            const std::string_view sensor =
                cell.size() < kMinSensorTextLength ? std::string_view() : Trimmed(cell);
            sensors[i] = sensor == "NAN" ? std::string_view() : sensor;
            anySensor = anySensor || !sensors[i].empty();
        }
        if (!anySensor) continue;

        const std::optional<QTime> time = ParseTimeCellBytes(table.cellBytes(kTimeColumn, r), formats);
        const std::string_view dateBytes = table.cellBytes(kDateColumn, r);
        if (!haveDate || dateBytes != lastDateText) {
            auto known = dates.find(std::string(dateBytes));
            if (known == dates.end()) {
                const std::optional<QDate> parsed = ParseDateCell(FromCp1251(dateBytes), formats);
                known = dates.emplace(std::string(dateBytes), parsed.value_or(QDate())).first;
            }
            lastDate = known->second;
            lastDateText.assign(dateBytes);
            haveDate = true;
        }
        if (!time || !lastDate.isValid()) {
            ++unreadableRows;
            continue;
        }
        const Stamp at = StampOf(lastDate, *time);

        for (std::size_t i = 0; i < readers.size(); ++i) {
            if (sensors[i].empty()) continue;
            SlotReader &reader = readers[i];
            const int col = reader.slot.sensorColumn;
            Group &group = reader.groupFor(sensors[i], table.cellBytes(col, r), r);
            const auto take = [&](int column, Quantity q) {
                const ParsedValue v = ParseValueCellBytes(table.cellBytes(column, r), sep);
                if (!v.ok || !AcceptedRange(q, reader.slot.channel).contains(v.value)) return;
                group.readings[static_cast<std::size_t>(q)].push_back({at, v.value});
            };
            take(col + 1, Quantity::Temperature);
            take(col + 2, Quantity::Humidity);
            if (group.third) take(col + 3, *group.third);
        }
    }
    return readers;
}

QString Number(double v, const SystemFormats &formats) {
    return CellFormat(v, formats.decimalSeparator);
}

QString Share(std::int64_t part, std::int64_t whole, const SystemFormats &formats) {
    const double percent = whole > 0 ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0;
    return QStringLiteral("%1 (%2 %)").arg(part).arg(Number(percent, formats));
}

QStringList Padded(const QStringList &cells, const std::vector<qsizetype> &widths) {
    QStringList out;
    for (qsizetype c = 0; c < cells.size(); ++c) {
        const qsizetype width = widths[static_cast<std::size_t>(c)];
        out << (c + 1 < cells.size() ? cells[c].leftJustified(width) : cells[c]);
    }
    return out;
}

} // namespace

Stamp StampOf(QDate date, QTime time) {
    return Epoch().daysTo(date) * kSecondsPerDay + time.msecsSinceStartOfDay() / 1000;
}

QDate StampDate(Stamp stamp) {
    const Stamp days =
        stamp >= 0 ? stamp / kSecondsPerDay : -((-stamp + kSecondsPerDay - 1) / kSecondsPerDay);
    return Epoch().addDays(days);
}

QTime StampTime(Stamp stamp) {
    const Stamp seconds = ((stamp % kSecondsPerDay) + kSecondsPerDay) % kSecondsPerDay;
    return QTime(0, 0).addSecs(static_cast<int>(seconds));
}

std::vector<ChannelSlot> ChannelSlotsOf(const ArchiveTable &table, bool channel1Present,
                                        bool channel2Present) {
    if (table.colCount() >= ArchiveTable::kMaxColCount) return {{1, 6}, {2, 10}};
    if (!channel1Present && channel2Present) return {{2, 6}};
    return {{1, 6}};
}

std::optional<Quantity> ThirdQuantityOf(QStringView sensorName, QStringView thirdHeader) {
    for (int format : {kTableAFormat, kTableBFormat}) {
        const SensorCode code = ClassifySensor(sensorName, format);
        if (code == 0) continue;
        // The first channel's sets name what each probe measures; the second channel's only decide what
        // the graph draws.
        switch (QuantitiesFor(0, format, code)) {
        case QuantitySet::FluxOnly:
            return Quantity::HeatFlux;
        case QuantitySet::ThermoHygroDew:
            return Quantity::DewPoint;
        case QuantitySet::ThermoHygroPressure:
            return Quantity::Pressure;
        case QuantitySet::ThermoOnly:
        case QuantitySet::NoPlot:
            return std::nullopt;
        }
    }
    for (std::uint8_t language : {0, 1}) {
        if (thirdHeader == PickIn(TxtDewPointHeader, language)) return Quantity::DewPoint;
        if (thirdHeader == PickIn(TxtPressureHeader, language)) return Quantity::Pressure;
    }
    return std::nullopt;
}

ValueRange AcceptedRange(Quantity quantity, int channel) {
    switch (quantity) {
    case Quantity::Temperature:
        return kTemperatureRange;
    case Quantity::Humidity:
        return kHumidityRange;
    case Quantity::DewPoint:
        return kDewPointRange;
    case Quantity::Pressure:
        return kPressureRange;
    case Quantity::HeatFlux:
        break;
    }
    return channel == 2 ? kFluxRangeChannel2 : kFluxRangeChannel1;
}

std::optional<double> MeanKineticTemperature(const std::vector<double> &celsius, double activationK) {
    if (celsius.empty() || !(activationK > 0)) return std::nullopt;
    // The mean of exp(-ΔH/RT) in logarithms, so readings near absolute zero do not underflow to 0.
    double largest = -std::numeric_limits<double>::infinity();
    for (double t : celsius)
        largest = std::max(largest, -activationK / (t + kKelvinOffset));
    double sum = 0;
    for (double t : celsius)
        sum += std::exp(-activationK / (t + kKelvinOffset) - largest);
    const double logMean = largest + std::log(sum / static_cast<double>(celsius.size()));
    return activationK / -logMean - kKelvinOffset;
}

ArchiveStatistics ComputeStatistics(const ArchiveTable &table, const std::vector<ChannelSlot> &slots,
                                    const SystemFormats &formats, const Limits &limits,
                                    double mktActivationK) {
    ArchiveStatistics out;
    std::vector<ChannelSlot> ordered = slots;
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const ChannelSlot &a, const ChannelSlot &b) { return a.channel < b.channel; });
    for (SlotReader &reader : ReadSlots(table, ordered, formats, out.unreadableRows)) {
        for (Group &group : reader.groups) {
            for (Quantity q : kAllQuantities) {
                auto &readings = group.readings[static_cast<std::size_t>(q)];
                if (readings.empty()) continue;
                QuantityStats s =
                    Summarise(readings, limits.of(q), q == Quantity::Temperature, mktActivationK);
                s.channel = reader.slot.channel;
                s.sensor = group.sensor;
                s.firstRow = group.firstRow;
                s.quantity = q;
                out.groups.push_back(std::move(s));
            }
        }
    }
    return out;
}

QString QuantityTitle(Quantity quantity, std::uint8_t language) {
    switch (quantity) {
    case Quantity::Temperature:
        return PickIn(TxtQuantT, language);
    case Quantity::Humidity:
        return PickIn(TxtQuantH, language);
    case Quantity::DewPoint:
        return PickIn(TxtQuantDew, language);
    case Quantity::Pressure:
        return PickIn(TxtQuantP, language);
    case Quantity::HeatFlux:
        break;
    }
    return PickIn(TxtQuantQ, language);
}

QString QuantityUnit(Quantity quantity) {
    switch (quantity) {
    case Quantity::Temperature:
    case Quantity::DewPoint:
        return QStringLiteral("°C");
    case Quantity::Humidity:
        return QStringLiteral("%");
    case Quantity::Pressure:
        return QStringLiteral("mm Hg");
    case Quantity::HeatFlux:
        break;
    }
    return QStringLiteral("W/m2");
}

QString FormatStamp(Stamp stamp, const SystemFormats &formats) {
    return FormatDateCell(StampDate(stamp), formats) + QLatin1Char(' ') +
           FormatTimeCell(StampTime(stamp), formats);
}

QString FormatDuration(double seconds) {
    const auto total = static_cast<std::int64_t>(std::llround(std::max(0.0, seconds)));
    return QStringLiteral("%1:%2:%3")
        .arg(total / 3600)
        .arg((total / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(total % 60, 2, 10, QLatin1Char('0'));
}

std::vector<StatsSheet> MakeStatsSheets(const ArchiveStatistics &stats, std::uint8_t language,
                                        const SystemFormats &formats) {
    std::vector<StatsSheet> sheets;
    bool anyMkt = false;
    bool anyLimits = false;
    for (const QuantityStats &s : stats.groups) {
        anyMkt = anyMkt || s.mkt.has_value();
        anyLimits = anyLimits || s.limits.has_value();
    }
    for (const QuantityStats &s : stats.groups) {
        if (sheets.empty() || sheets.back().channel != s.channel) {
            StatsSheet sheet;
            sheet.channel = s.channel;
            std::vector<TextPair> names{TxtFigSensor, TxtFigQuantity, TxtFigCount, TxtFigFirst,
                                        TxtFigLast,   TxtFigMin,      TxtFigMinAt, TxtFigMax,
                                        TxtFigMaxAt,  TxtFigMean,     TxtFigStddev};
            if (anyMkt) names.push_back(TxtFigMkt);
            if (anyLimits) {
                for (const TextPair &p :
                     {TxtFigLow, TxtFigHigh, TxtFigBelow, TxtFigAbove, TxtFigBelowTime, TxtFigAboveTime})
                    names.push_back(p);
            }
            for (const TextPair &name : names)
                sheet.rows.push_back(QStringList{PickIn(name, language)});
            sheets.push_back(std::move(sheet));
        }
        auto &rows = sheets.back().rows;
        std::size_t i = 0;
        const auto put = [&](const QString &text) { rows[i++].append(text); };
        put(s.sensor);
        put(QuantityTitle(s.quantity, language));
        put(QString::number(s.count));
        put(FormatStamp(s.first, formats));
        put(FormatStamp(s.last, formats));
        put(Number(s.min, formats));
        put(FormatStamp(s.minAt, formats));
        put(Number(s.max, formats));
        put(FormatStamp(s.maxAt, formats));
        put(Number(s.mean, formats));
        put(Number(s.stddev, formats));
        if (anyMkt) put(s.mkt ? Number(*s.mkt, formats) : QString());
        if (anyLimits) {
            if (s.limits) {
                const LimitFigures &f = *s.limits;
                put(f.limit.low ? Number(*f.limit.low, formats) : QString());
                put(f.limit.high ? Number(*f.limit.high, formats) : QString());
                put(f.limit.low ? Share(f.belowCount, s.count, formats) : QString());
                put(f.limit.high ? Share(f.aboveCount, s.count, formats) : QString());
                put(f.limit.low ? FormatDuration(f.belowSeconds) : QString());
                put(f.limit.high ? FormatDuration(f.aboveSeconds) : QString());
            } else {
                for (int k = 0; k < 6; ++k)
                    put(QString());
            }
        }
    }
    return sheets;
}

QString StatsClipboardText(const std::vector<StatsSheet> &sheets, std::uint8_t language) {
    QString text;
    const QLatin1String crlf("\r\n");
    for (const StatsSheet &sheet : sheets) {
        text += PickIn(sheet.channel == 2 ? TxtChannel2 : TxtChannel1, language) + crlf;
        for (const QStringList &row : sheet.rows)
            text += row.join(QLatin1Char('\t')) + crlf;
        text += crlf;
    }
    return text;
}

QString StatsPlainText(const std::vector<StatsSheet> &sheets, std::uint8_t language) {
    QStringList lines;
    for (const StatsSheet &sheet : sheets) {
        if (!lines.isEmpty()) lines << QString();
        lines << PickIn(sheet.channel == 2 ? TxtChannel2 : TxtChannel1, language);
        std::vector<qsizetype> widths;
        for (const QStringList &row : sheet.rows) {
            widths.resize(std::max(widths.size(), static_cast<std::size_t>(row.size())), 0);
            for (qsizetype c = 0; c < row.size(); ++c)
                widths[static_cast<std::size_t>(c)] =
                    std::max(widths[static_cast<std::size_t>(c)], row[c].size());
        }
        for (const QStringList &row : sheet.rows)
            lines << Padded(row, widths).join(QStringLiteral("  ")).trimmed();
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace velda
