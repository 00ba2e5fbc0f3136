// The summary command of velda9-cli: statistics, chart and limits of each channel on one PDF page.
#include "cli/SummaryCommand.h"

#include "archive/ProjectFile.h"
#include "base/ArchiveTable.h"
#include "graph/StatsTexts.h"
#include "graph/SummaryPainter.h"

namespace velda::cli {

inline constexpr TextPair TxtSummaryDone{"Сводка сохранена в %1 (страниц: %2)",
                                         "Summary saved to %1 (%2 pages)"};

int RunSummary(const Options &options, const Streams &streams) {
    ArchiveTable table;
    const auto loaded = ReadProject(table, options.input);
    if (!loaded.ok()) {
        PrintError(streams.err, loaded.error().message);
        return ExitFile;
    }
    SummaryInput input;
    input.table = &table;
    input.channel1Present = loaded.value().flags.channel1;
    input.channel2Present = loaded.value().flags.channel2;
    // A project file does not say which sensor table wrote it; names of either table are recognised by
    // the statistics, and the chart reads them as a run without a device exchange does.
    input.archiveFormat = 0;
    input.fileName = options.input;
    input.settings.limits = options.limits;
    input.language = LanguageIndex.load();
    input.formats = CurrentFormats();
    const ArchiveStatistics stats =
        ComputeStatistics(table, ChannelSlotsOf(table, input.channel1Present, input.channel2Present),
                          input.formats, input.settings.limits);
    if (stats.unreadableRows > 0)
        PrintError(streams.err, Pick(TxtStatsUnreadableRows).arg(stats.unreadableRows));
    const SummaryPdfResult result = WriteSummaryPdf(input, options.output);
    if (!result.ok()) {
        PrintError(streams.err, result.error().message);
        return ExitFile;
    }
    const QString done = Pick(TxtSummaryDone).arg(options.output).arg(result.value());
    const QByteArray bytes = done.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), streams.err);
    return ExitOk;
}

} // namespace velda::cli
