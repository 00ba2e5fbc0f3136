// Limits per quantity: the command line's "QUANTITY=LOW:HIGH", the per-user settings and the table's
// out-of-limit cells.
#include "graph/Limits.h"

#include "base/Cp1251.h"
#include "graph/GraphModel.h"
#include "graph/Statistics.h"

#include <QSettings>

#include <cmath>

namespace velda {
namespace {

constexpr std::array<const char *, kQuantityCount> kKeys{"temperature", "humidity", "dewpoint", "pressure",
                                                         "heatflux"};
constexpr int kFirstSlotColumn = 6;
constexpr int kSlotColumns = 4;
constexpr int kSlotCount = 2;

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

std::variant<ParsedLimit, QString> ParseLimitArgument(QStringView text) {
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    if (equals < 0) return QStringLiteral("--limit takes QUANTITY=LOW:HIGH, not \"%1\"").arg(text.toString());
    const QStringView name = text.left(equals).trimmed();
    const std::optional<Quantity> quantity = QuantityFromKey(name);
    if (!quantity)
        return QStringLiteral("--limit \"%1\": the quantity is one of temperature, humidity, dewpoint, "
                              "pressure, heatflux")
            .arg(text.toString());
    const QStringView range = text.mid(equals + 1);
    const qsizetype colon = range.indexOf(QLatin1Char(':'));
    if (colon < 0 || range.indexOf(QLatin1Char(':'), colon + 1) >= 0)
        return QStringLiteral("--limit \"%1\": the limits are LOW:HIGH, either side may be empty")
            .arg(text.toString());
    ParsedLimit out;
    out.quantity = *quantity;
    const QStringView sides[2] = {range.left(colon).trimmed(), range.mid(colon + 1).trimmed()};
    std::optional<double> *targets[2] = {&out.limit.low, &out.limit.high};
    for (int i = 0; i < 2; ++i) {
        if (sides[i].isEmpty()) continue;
        *targets[i] = ParseLimitNumber(sides[i]);
        if (!*targets[i])
            return QStringLiteral("--limit \"%1\": \"%2\" is not a number")
                .arg(text.toString(), sides[i].toString());
    }
    if (!out.limit.isSet())
        return QStringLiteral("--limit \"%1\": give a lower limit, an upper limit or both")
            .arg(text.toString());
    if (out.limit.low && out.limit.high && *out.limit.low > *out.limit.high)
        return QStringLiteral("--limit \"%1\": the lower limit is above the upper one").arg(text.toString());
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

std::unique_ptr<QSettings> OpenUserSettings() {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("velda9"),
                                       QStringLiteral("velda9"));
}

const StatsSettings &CurrentStatsSettings() {
    return Current();
}

void SetCurrentStatsSettings(const StatsSettings &values) {
    Current() = values;
}

bool CellOutsideLimits(const ArchiveTable &table, int col, int row, const Limits &limits,
                       const SystemFormats &formats) {
    if (row < 1 || col < kFirstSlotColumn || col >= kFirstSlotColumn + kSlotCount * kSlotColumns)
        return false;
    const int offset = (col - kFirstSlotColumn) % kSlotColumns;
    if (offset == 0) return false;
    const int sensorColumn = col - offset;
    std::optional<Quantity> quantity;
    if (offset == 1) {
        quantity = Quantity::Temperature;
    } else if (offset == 2) {
        quantity = Quantity::Humidity;
    } else {
        quantity = ThirdQuantityOf(table.cell(sensorColumn, row), table.cell(col, 0));
    }
    if (!quantity || !limits.of(*quantity).isSet()) return false;
    const ParsedValue v = ParseValueCellBytes(table.cellBytes(col, row), formats.decimalSeparator);
    // The slot's channel only matters for the heat flux's range; the wider one of channel 1 is used.
    if (!v.ok || !AcceptedRange(*quantity, 1).contains(v.value)) return false;
    const Limit &limit = limits.of(*quantity);
    return limit.below(v.value) || limit.above(v.value);
}

} // namespace velda
