// The csv export and merge commands of velda9-cli.
#pragma once

#include "cli/CliArguments.h"
#include "cli/CliCommands.h"

namespace velda::cli {

inline constexpr TextPair TxtCsvDone{"CSV сохранён в %1 (строк: %2)", "CSV saved to %1 (%2 rows)"};
/// %1 rows of the result, %2 rows of the inputs, %3 repeats dropped, %4 file.
inline constexpr TextPair TxtMergeDone{"Объединено строк: %1 из %2 (повторов: %3); сохранено в %4",
                                       "Merged %2 rows into %1 (%3 repeated); saved to %4"};

/// export FILE.vd -o FILE.csv: the project's cells as CSV, delimiter and date form from the options and
/// the formats in force.
[[nodiscard]] int RunCsvExport(const Options &options, const Streams &streams);

/// merge A.vd B.vd ... -o OUT.vd: the inputs' rows in date and time order, each once.
[[nodiscard]] int RunMerge(const Options &options, const Streams &streams);

} // namespace velda::cli
