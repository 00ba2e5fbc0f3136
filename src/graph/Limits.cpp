// Limits per quantity: the command line's "QUANTITY=LOW:HIGH", the per-user settings and the table's
// out-of-limit cells.
#include "graph/Limits.h"

#include "archive/TableRows.h"
#include "base/Cp1251.h"
#include "base/TableColumns.h"

#include <QSettings>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

namespace velda {
namespace {

constexpr std::array<const char *, kQuantityCount> kKeys{"temperature", "humidity", "dewpoint", "pressure",
                                                         "heatflux"};

const QString kLimitsGroup = QStringLiteral("limits");
const QString kStatisticsGroup = QStringLiteral("statistics");
const QString kMktKey = QStringLiteral("mkt_activation_k");

std::optional<double> ReadNumber(const QSettings &settings, const QString &key) {
    if (!settings.contains(key)) return std::nullopt;
    return ParseLimitNumber(settings.value(key).toString());
}

StatsSettings &Current() {
    static StatsSettings current;
    return current;
}

} // namespace

QString QuantityKey(Quantity quantity) {
    return QLatin1String(kKeys[static_cast<std::size_t>(quantity)]);
}

std::optional<Quantity> QuantityFromKey(QStringView key) {
    for (Quantity q : kAllQuantities) {
        if (key == QuantityKey(q)) return q;
    }
    return std::nullopt;
}

bool Limits::any() const {
    return std::any_of(m_limits.begin(), m_limits.end(), [](const Limit &l) { return l.isSet(); });
}

std::optional<double> ParseLimitNumber(QStringView text) {
    QString normal = text.trimmed().toString();
    normal.replace(QLatin1Char(','), QLatin1Char('.'));
    const ParsedValue v = ParseValueCell(normal, QLatin1Char('.'));
    if (!v.ok || !std::isfinite(v.value)) return std::nullopt;
    return v.value;
}

Result<ParsedLimit, LimitError> ParseLimitArgument(QStringView text) {
    const auto fail = [](LimitError::Kind kind, QString message) {
        return LimitError{kind, std::move(message)};
    };
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    if (equals < 0)
        return fail(LimitError::Kind::NoEquals,
                    QStringLiteral("--limit takes QUANTITY=LOW:HIGH, not \"%1\"").arg(text.toString()));
    const QStringView name = text.left(equals).trimmed();
    const std::optional<Quantity> quantity = QuantityFromKey(name);
    if (!quantity)
        return fail(LimitError::Kind::UnknownQuantity,
                    QStringLiteral("--limit \"%1\": the quantity is one of temperature, humidity, dewpoint, "
                                   "pressure, heatflux")
                        .arg(text.toString()));
    const QStringView range = text.mid(equals + 1);
    const qsizetype colon = range.indexOf(QLatin1Char(':'));
    if (colon < 0 || range.indexOf(QLatin1Char(':'), colon + 1) >= 0)
        return fail(LimitError::Kind::NotARange,
                    QStringLiteral("--limit \"%1\": the limits are LOW:HIGH, either side may be empty")
                        .arg(text.toString()));
    ParsedLimit out;
    out.quantity = *quantity;
    const QStringView sides[2] = {range.left(colon).trimmed(), range.mid(colon + 1).trimmed()};
    std::optional<double> *targets[2] = {&out.limit.low, &out.limit.high};
    for (int i = 0; i < 2; ++i) {
        if (sides[i].isEmpty()) continue;
        *targets[i] = ParseLimitNumber(sides[i]);
        if (!*targets[i])
            return fail(LimitError::Kind::NotANumber, QStringLiteral("--limit \"%1\": \"%2\" is not a number")
                                                          .arg(text.toString(), sides[i].toString()));
    }
    if (!out.limit.isSet())
        return fail(LimitError::Kind::NoLimit,
                    QStringLiteral("--limit \"%1\": give a lower limit, an upper limit or both")
                        .arg(text.toString()));
    if (out.limit.low && out.limit.high && *out.limit.low > *out.limit.high)
        return fail(
            LimitError::Kind::LowAboveHigh,
            QStringLiteral("--limit \"%1\": the lower limit is above the upper one").arg(text.toString()));
    return out;
}

StatsSettings LoadStatsSettings(QSettings &settings) {
    StatsSettings out;
    settings.beginGroup(kLimitsGroup);
    for (Quantity q : kAllQuantities) {
        Limit limit;
        limit.low = ReadNumber(settings, QuantityKey(q) + QStringLiteral("/low"));
        limit.high = ReadNumber(settings, QuantityKey(q) + QStringLiteral("/high"));
        // A pair stored the wrong way round is not a limit anyone set on purpose.
        if (limit.low && limit.high && *limit.low > *limit.high) limit = Limit{};
        out.limits.set(q, limit);
    }
    settings.endGroup();
    settings.beginGroup(kStatisticsGroup);
    if (const auto k = ReadNumber(settings, kMktKey); k && *k > 0) out.mktActivationK = *k;
    settings.endGroup();
    return out;
}

void SaveStatsSettings(QSettings &settings, const StatsSettings &values) {
    settings.beginGroup(kLimitsGroup);
    for (Quantity q : kAllQuantities) {
        const Limit &limit = values.limits.of(q);
        const auto put = [&](const QString &key, const std::optional<double> &v) {
            if (v)
                settings.setValue(key, QString::number(*v, 'g', 17));
            else
                settings.remove(key);
        };
        put(QuantityKey(q) + QStringLiteral("/low"), limit.low);
        put(QuantityKey(q) + QStringLiteral("/high"), limit.high);
    }
    settings.endGroup();
    settings.beginGroup(kStatisticsGroup);
    settings.setValue(kMktKey, QString::number(values.mktActivationK, 'g', 17));
    settings.endGroup();
    settings.sync();
}

const StatsSettings &CurrentStatsSettings() {
    return Current();
}

void SetCurrentStatsSettings(const StatsSettings &values) {
    Current() = values;
}

OutOfLimitCells::OutOfLimitCells(const ArchiveTable &table, const Limits &limits,
                                 const SystemFormats &formats) {
    if (!limits.any()) return;
    m_rows.assign(static_cast<std::size_t>(std::max(table.rowCount(), 0)), 0);
    std::array<QString, column::kSlotCount> thirdHeaders;
    for (int slot = 0; slot < column::kSlotCount; ++slot)
        thirdHeaders[static_cast<std::size_t>(slot)] =
            table.cell(column::InSlot(slot, column::kThirdInSlot), 0);
    // The third column's quantity of the last sensor name met in each slot.
    struct LastThird {
        std::string sensor;
        std::optional<Quantity> quantity;
        bool known = false;
    };
    std::array<LastThird, column::kSlotCount> lastThird{};
    TableRowReader reader(table, formats);
    reader.forEach({true, true}, [&](const TableRow &row) {
        std::uint8_t &bits = m_rows[static_cast<std::size_t>(row.index())];
        for (int slot = 0; slot < column::kSlotCount; ++slot) {
            const auto i = static_cast<std::size_t>(slot);
            const std::string_view sensor = row.sensorCell(slot);
            if (sensor.empty()) continue;
            LastThird &third = lastThird[i];
            if (!third.known || sensor != third.sensor) {
                third.sensor.assign(sensor);
                third.quantity = ThirdQuantityOf(FromCp1251(sensor), thirdHeaders[i]);
                third.known = true;
            }
            const std::pair<int, std::optional<Quantity>> places[] = {
                {column::kTemperatureInSlot, Quantity::Temperature},
                {column::kHumidityInSlot, Quantity::Humidity},
                {column::kThirdInSlot, third.quantity}};
            for (const auto &[place, quantity] : places) {
                if (!quantity) continue;
                const Limit &limit = limits.of(*quantity);
                if (!limit.isSet()) continue;
                const ParsedValue v = row.value(slot, place);
                if (v.ok && (limit.below(v.value) || limit.above(v.value)))
                    bits = static_cast<std::uint8_t>(
                        bits | 1U << (column::InSlot(slot, place) - column::kSlot0Sensor));
            }
        }
        return true;
    });
}

bool OutOfLimitCells::outside(int col, int row) const {
    if (row < 1 || static_cast<std::size_t>(row) >= m_rows.size() || col < column::kSlot0Sensor ||
        col >= column::kTwoSlotCount)
        return false;
    return (m_rows[static_cast<std::size_t>(row)] >> (col - column::kSlot0Sensor) & 1U) != 0;
}

} // namespace velda
