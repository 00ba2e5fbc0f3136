// The statistics window's limit and ΔH/R fields: typed texts checked against the settings in use.
#include "graph/LimitFields.h"

#include "graph/Statistics.h"
#include "graph/StatsTexts.h"

namespace velda {

QString FieldError::message(std::uint8_t language) const {
    switch (kind) {
    case Kind::NotANumber:
        return PickIn(TxtStatsBadNumber, language).arg(text);
    case Kind::LowAboveHigh:
        return PickIn(TxtStatsLowAboveHigh, language).arg(QuantityTitle(quantity, language));
    case Kind::MktOutOfRange:
        return PickIn(TxtStatsMktRange, language).arg(text);
    }
    return {};
}

Result<StatsSettings, FieldError> EditLimitField(const StatsSettings &inUse, Quantity quantity, bool upper,
                                                 QStringView text) {
    Limit limit = inUse.limits.of(quantity);
    std::optional<double> &side = upper ? limit.high : limit.low;
    if (text.trimmed().isEmpty()) {
        side.reset();
    } else if (const auto v = ParseLimitNumber(text)) {
        side = *v;
    } else {
        return FieldError{FieldError::Kind::NotANumber, text.toString(), quantity};
    }
    if (limit.low && limit.high && *limit.low > *limit.high)
        return FieldError{FieldError::Kind::LowAboveHigh, text.toString(), quantity};
    StatsSettings settings = inUse;
    settings.limits.set(quantity, limit);
    return settings;
}

Result<StatsSettings, FieldError> EditMktField(const StatsSettings &inUse, QStringView text) {
    const auto v = ParseLimitNumber(text);
    if (!v) return FieldError{FieldError::Kind::NotANumber, text.toString()};
    if (!(*v > 0)) return FieldError{FieldError::Kind::MktOutOfRange, text.toString()};
    StatsSettings settings = inUse;
    settings.mktActivationK = *v;
    return settings;
}

QString FieldText(const std::optional<double> &value, const SystemFormats &formats) {
    if (!value) return {};
    QString text = QString::number(*value, 'g', 15);
    return text.replace(QLatin1Char('.'), formats.decimalSeparator);
}

} // namespace velda
