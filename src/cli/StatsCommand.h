// The stats command of velda9-cli: the statistics of a project file as a text table or as JSON.
#pragma once

#include "cli/CliArguments.h"
#include "cli/CliCommands.h"
#include "graph/Statistics.h"

#include <QByteArray>

namespace velda::cli {

/// The statistics as JSON: {"groups": [...]} with one object per channel, sensor and quantity, keys in a
/// fixed order, moments as yyyy-MM-ddTHH:mm:ss, "mkt" for temperature only and "limits" only for a
/// quantity with a limit (a missing side is null). Ends in a line break.
[[nodiscard]] QByteArray StatisticsJson(const ArchiveStatistics &stats);

/// The statistics of `table` with the channels its flags name and `options.limits`, in the current formats.
[[nodiscard]] ArchiveStatistics StatisticsFor(const ArchiveTable &table, const ChannelFlags &flags,
                                              const Options &options);

/// Loads `options.input` and prints its statistics on `streams.out`.
[[nodiscard]] int RunStats(const Options &options, const Streams &streams);

} // namespace velda::cli
