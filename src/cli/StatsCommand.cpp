// The stats command of velda9-cli and its JSON shape.
#include "cli/StatsCommand.h"

#include "archive/ProjectFile.h"
#include "base/ArchiveTable.h"
#include "graph/StatsTexts.h"

#include <nlohmann/json.hpp>

#include <cmath>

namespace velda::cli {
namespace {

// Derived figures carry four decimals: twice the cells' precision, without binary noise in the output.
double Rounded(double v) {
    return RoundedFigure(v, 4);
}

std::string Moment(Stamp stamp) {
    return QDateTime(StampDate(stamp), StampTime(stamp))
        .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))
        .toStdString();
}

nlohmann::ordered_json Side(const std::optional<double> &v) {
    return v ? nlohmann::ordered_json(*v) : nlohmann::ordered_json(nullptr);
}

// Whole seconds print as integers, a median between two intervals may add a half.
nlohmann::ordered_json Seconds(double s) {
    if (s == std::floor(s) && std::abs(s) < 9e15) return static_cast<std::int64_t>(s);
    return s;
}

} // namespace

QByteArray StatisticsJson(const ArchiveStatistics &stats) {
    nlohmann::ordered_json groups = nlohmann::ordered_json::array();
    for (const QuantityStats &s : stats.groups) {
        nlohmann::ordered_json g;
        g["channel"] = s.channel;
        g["sensor"] = s.sensor.toStdString();
        g["quantity"] = QuantityKey(s.quantity).toStdString();
        g["unit"] = QuantityUnit(s.quantity).toStdString();
        g["count"] = s.count;
        g["first"] = Moment(s.first);
        g["last"] = Moment(s.last);
        g["min"] = s.min;
        g["min_at"] = Moment(s.minAt);
        g["max"] = s.max;
        g["max_at"] = Moment(s.maxAt);
        g["mean"] = Rounded(s.mean);
        g["stddev"] = Rounded(s.stddev);
        if (s.mkt) g["mkt"] = Rounded(*s.mkt);
        if (s.limits) {
            const LimitFigures &f = *s.limits;
            nlohmann::ordered_json l;
            l["low"] = Side(f.limit.low);
            l["high"] = Side(f.limit.high);
            l["below_count"] = f.belowCount;
            l["above_count"] = f.aboveCount;
            l["below_seconds"] = Seconds(f.belowSeconds);
            l["above_seconds"] = Seconds(f.aboveSeconds);
            g["limits"] = std::move(l);
        }
        groups.push_back(std::move(g));
    }
    nlohmann::ordered_json root;
    root["groups"] = std::move(groups);
    const std::string text = root.dump() + '\n';
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

ArchiveStatistics StatisticsFor(const ArchiveTable &table, const ChannelFlags &flags,
                                const Options &options) {
    return ComputeStatistics(table, ChannelSlotsOf(table, flags.channel1, flags.channel2), CurrentFormats(),
                             options.limits);
}

int RunStats(const Options &options, const Streams &streams) {
    ArchiveTable table;
    const auto loaded = ReadProject(table, options.input);
    if (!loaded.ok()) {
        PrintError(streams.err, loaded.error().message);
        return ExitFile;
    }
    const ArchiveStatistics stats = StatisticsFor(table, loaded.value().flags, options);
    if (stats.unreadableRows > 0)
        PrintError(streams.err, Pick(TxtStatsUnreadableRows).arg(stats.unreadableRows));
    QByteArray bytes;
    if (options.json) {
        bytes = StatisticsJson(stats);
    } else if (stats.groups.empty()) {
        bytes = Pick(TxtStatsNoValues).toUtf8() + '\n';
    } else {
        bytes = StatsPlainText(MakeStatsSheets(stats, LanguageIndex.load(), CurrentFormats()),
                               LanguageIndex.load())
                    .toUtf8();
    }
    const bool written = std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()),
                                     streams.out) == static_cast<std::size_t>(bytes.size());
    if (!written || std::fflush(streams.out) != 0) {
        PrintError(streams.err, QStringLiteral("cannot write the statistics to standard output"));
        return ExitFile;
    }
    return ExitOk;
}

} // namespace velda::cli
