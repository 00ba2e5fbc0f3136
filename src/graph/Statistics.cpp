// Statistics of the archive table: rows grouped by channel and sensor, each quantity's figures and the
// readings outside its limits.
#include "graph/Statistics.h"

#include "base/Cp1251.h"
#include "base/SharedTexts.h"
#include "base/TableColumns.h"
#include "graph/GraphTexts.h"
#include "graph/StatsTexts.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>

namespace velda {
namespace {

constexpr Stamp kSecondsPerDay = 86400;
constexpr double kKelvinOffset = 273.15;
// Significant digits a double carries reliably: enough for every figure, few enough that binary noise
// from the arithmetic cannot decide a half when rounding.
constexpr int kReliableDigits = 15;

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
    // Summed in extended precision: the mean of many two-decimal readings keeps its last digit.
    long double sum = 0;
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
    const long double mean = sum / static_cast<long double>(n);
    s.mean = static_cast<double>(mean);
    if (n > 1) {
        long double squares = 0;
        for (const Reading &r : readings)
            squares += (r.value - mean) * (r.value - mean);
        s.stddev = static_cast<double>(std::sqrt(squares / static_cast<long double>(n - 1)));
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
        // Each reading holds until the next one; the last marks the end of the span, so the time outside
        // never exceeds the span of the readings.
        for (std::size_t i = 0; i < n; ++i) {
            const double lasts = i + 1 < n ? static_cast<double>(readings[i + 1].at - readings[i].at) : 0.0;
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

// Reads every slot in one pass over the rows. Every value the table shows counts: the ranges the graph
// accepts on its axes are no matter of the statistics.
std::vector<SlotReader> ReadSlots(const ArchiveTable &table, const std::vector<ChannelSlot> &slots,
                                  const SystemFormats &formats, std::int64_t &unreadableRows) {
    std::vector<SlotReader> readers;
    std::array<bool, column::kSlotCount> wanted{};
    for (const ChannelSlot &slot : slots) {
        const int index = column::SlotOf(slot.sensorColumn);
        wanted[static_cast<std::size_t>(index)] = true;
        readers.push_back(SlotReader{
            slot, table.cell(column::InSlot(index, column::kThirdInSlot), 0), {}, {}, {}, 0, false});
    }
    TableRowReader rows(table, formats);
    rows.forEach(wanted, [&](const TableRow &row) {
        if (!row.hasMoment()) {
            ++unreadableRows;
            return true;
        }
        const Stamp at = StampOf(row.date(), row.time());
        for (SlotReader &reader : readers) {
            const int slot = column::SlotOf(reader.slot.sensorColumn);
            const std::string_view sensor = row.sensorName(slot);
            if (sensor.empty()) continue;
            Group &group = reader.groupFor(sensor, row.sensorCell(slot), row.index());
            const auto take = [&](int place, Quantity q) {
                const ParsedValue v = row.value(slot, place);
                if (v.ok) group.readings[static_cast<std::size_t>(q)].push_back({at, v.value});
            };
            take(column::kTemperatureInSlot, Quantity::Temperature);
            take(column::kHumidityInSlot, Quantity::Humidity);
            if (group.third) take(column::kThirdInSlot, *group.third);
        }
        return true;
    });
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
    return kDayZero.daysTo(date) * kSecondsPerDay + time.msecsSinceStartOfDay() / 1000;
}

QDate StampDate(Stamp stamp) {
    const Stamp days =
        stamp >= 0 ? stamp / kSecondsPerDay : -((-stamp + kSecondsPerDay - 1) / kSecondsPerDay);
    return kDayZero.addDays(days);
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

double RoundedFigure(double value, int decimals) {
    if (!std::isfinite(value) || value == 0) return value;
    // d.dddddddddddddde±x: the significant digits as an integer D, so that |value| = D * 10^(x - 14).
    char text[64];
    const auto res = std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::scientific,
                                   kReliableDigits - 1);
    std::int64_t digits = 0;
    const char *p = text;
    for (; p < res.ptr && *p != 'e'; ++p) {
        if (*p != '.') digits = digits * 10 + (*p - '0');
    }
    int exponent = 0;
    std::from_chars(p + (p[1] == '+' ? 2 : 1), res.ptr, exponent);
    // Digits of D below the last decimal kept.
    const int dropped = kReliableDigits - 1 - exponent - decimals;
    if (dropped <= 0) return value;
    if (dropped > kReliableDigits) return 0;
    std::int64_t scale = 1;
    for (int i = 0; i < dropped; ++i)
        scale *= 10;
    // Half away from zero, as the table's cells round.
    const std::int64_t kept = digits / scale + (digits % scale * 2 >= scale ? 1 : 0);
    double divisor = 1;
    for (int i = 0; i < decimals; ++i)
        divisor *= 10;
    const double rounded = static_cast<double>(kept) / divisor;
    return value < 0 ? -rounded : rounded;
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
