// The arguments of `velda9-cli history`: the sub-command, its instrument or files, the date range.
#pragma once

#include "cli/CliArguments.h"

#include <QDateTime>

#include <optional>

namespace velda::cli {

/// Checks and completes the options of `history` from its positional arguments (options.inputs: the
/// sub-command, then the instrument or the project files), or says why the command line is wrong.
[[nodiscard]] Result<Done, UsageError> FinishHistoryArguments(Options &options);

/// A --from or --to DATE: yyyy-MM-dd, or yyyy-MM-ddTHH:mm[:ss] (also with a blank). A date alone means
/// the start of that day for --from and its end for --to. nullopt when the text is none of these.
[[nodiscard]] std::optional<QDateTime> ParseHistoryDate(const QString &text, bool endOfDay);

/// The `history` lines of --help, in Russian or English.
[[nodiscard]] QString HistoryHelpText(bool russian);

} // namespace velda::cli
