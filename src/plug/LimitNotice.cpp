// The notice of readings outside the limits, from the statistics' limit figures.
#include "plug/LimitNotice.h"

#include "graph/Statistics.h"

#include <QStringList>

#include <algorithm>

namespace velda {

namespace {

QString crossingText(const LimitCrossing &c, std::uint8_t language) {
    QStringList sides;
    if (c.belowCount > 0)
        sides << PickIn(TxtLimitNoticeBelow, language).arg(c.belowCount).arg(FormatDuration(c.belowSeconds));
    if (c.aboveCount > 0)
        sides << PickIn(TxtLimitNoticeAbove, language).arg(c.aboveCount).arg(FormatDuration(c.aboveSeconds));
    return PickIn(TxtLimitNoticeGroup, language)
        .arg(c.channel)
        .arg(QuantityTitle(c.quantity, language), sides.join(QStringLiteral(", ")));
}

} // namespace

std::optional<LimitNotice> NoticeOfLimits(const ArchiveTable &table, const Limits &limits,
                                          const QString &instrument, std::uint8_t language,
                                          const SystemFormats &formats) {
    if (!limits.any()) return std::nullopt;
    const ChannelFlags flags = table.channels();
    const ArchiveStatistics stats =
        ComputeStatistics(table, ChannelSlotsOf(table, flags.channel1, flags.channel2), formats, limits);
    LimitNotice notice;
    for (const QuantityStats &group : stats.groups) {
        if (!group.limits || (group.limits->belowCount == 0 && group.limits->aboveCount == 0)) continue;
        const LimitFigures &f = *group.limits;
        const auto same = std::find_if(notice.crossings.begin(), notice.crossings.end(), [&](const auto &c) {
            return c.channel == group.channel && c.quantity == group.quantity;
        });
        LimitCrossing &c = same != notice.crossings.end()
                               ? *same
                               : notice.crossings.emplace_back(LimitCrossing{group.channel, group.quantity});
        c.belowCount += f.belowCount;
        c.aboveCount += f.aboveCount;
        c.belowSeconds += f.belowSeconds;
        c.aboveSeconds += f.aboveSeconds;
    }
    if (notice.crossings.empty()) return std::nullopt;
    QStringList lines;
    for (const LimitCrossing &c : notice.crossings)
        lines << crossingText(c, language);
    notice.title = PickIn(TxtLimitNoticeTitle, language).arg(instrument);
    notice.body = lines.join(QLatin1Char('\n'));
    notice.line = notice.title + QStringLiteral(": ") + lines.join(QStringLiteral("; "));
    return notice;
}

} // namespace velda
