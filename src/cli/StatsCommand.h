// The stats command of velda9-cli: the statistics of a project file as a text table or as JSON.
#pragma once

#include "cli/CliArguments.h"
#include "cli/CliCommands.h"
#include "graph/Statistics.h"

#include <QByteArray>

namespace velda::cli {

/// %1 the file, %2 the date format, %3 the time format in force.
inline constexpr TextPair TxtNoRowReads{
    "%1: ни одна строка не читается: даты и время записаны не в форматах %2 и %3 (другая --locale?); "
    "ничего не записано",
    "%1: no row reads: its dates and times are not in the formats %2 and %3 (another --locale?); nothing "
    "was written"};

/// Tells on `err` how many rows of `file` the statistics skipped because their date or time does not
/// read; false, with the message that names the formats in force, when rows were skipped and none read.
[[nodiscard]] bool TellSkippedRows(const ArchiveStatistics &stats, const QString &file, std::FILE *err);

/// The statistics as JSON: {"groups": [...]} with one object per channel, sensor and quantity, keys in a
/// fixed order, moments as yyyy-MM-ddTHH:mm:ss, "mkt" for temperature only and "limits" only for a
/// quantity with a limit (a missing side is null), then "skipped_rows" when rows were skipped because
/// their date or time does not read. Ends in a line break.
[[nodiscard]] QByteArray StatisticsJson(const ArchiveStatistics &stats);

/// The statistics of `table` with the channels its flags name and `options.limits`, in the current formats.
[[nodiscard]] ArchiveStatistics StatisticsFor(const ArchiveTable &table, const ChannelFlags &flags,
                                              const Options &options);

/// Loads `options.input` and prints its statistics on `streams.out`.
[[nodiscard]] int RunStats(const Options &options, const Streams &streams);

} // namespace velda::cli
