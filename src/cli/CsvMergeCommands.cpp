// The csv export and merge commands of velda9-cli: a project file loaded, the core run, one line told.
#include "cli/CsvMergeCommands.h"

#include "archive/MergeProjects.h"
#include "base/ArchiveTable.h"
#include "base/SystemFormats.h"
#include "export/CsvExport.h"

namespace velda::cli {
namespace {} // namespace

int RunCsvExport(const Options &options, const Streams &streams) {
    ArchiveTable table;
    if (!LoadShownTable(table, options.input, streams.err)) return ExitFile;
    const SystemFormats &formats = CurrentFormats();
    csv::CsvOptions csvOptions;
    csvOptions.delimiter = options.delimiter.value_or(csv::DelimiterFor(table, formats));
    csvOptions.isoDate = options.isoDate;
    const csv::ExportResult result = csv::ExportToCsv(table, options.output, csvOptions, formats);
    if (!result.ok()) {
        PrintError(streams.err, result.error().message);
        return ExitFile;
    }
    PrintLine(streams.err, Pick(TxtCsvDone).arg(result.summary().fileName).arg(result.summary().rowCount));
    return ExitOk;
}

int RunMerge(const Options &options, const Streams &streams) {
    const MergeResult result = MergeProjectFiles(options.inputs, options.output, CurrentFormats());
    if (!result.ok()) {
        PrintError(streams.err, result.error().message);
        return ExitFile;
    }
    const MergeSummary &summary = result.summary();
    PrintLine(streams.err, Pick(TxtMergeDone)
                               .arg(summary.rows)
                               .arg(summary.inputRows)
                               .arg(summary.duplicates)
                               .arg(options.output));
    return ExitOk;
}

} // namespace velda::cli
