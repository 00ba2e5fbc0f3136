// The report command of velda9-cli: a project file printed to PDF through the report painter.
#include "cli/ReportCommand.h"

#include "base/ArchiveTable.h"
#include "export/ReportPainter.h"

namespace velda::cli {

inline constexpr TextPair TxtReportDone{"Отчёт сохранён в %1 (страниц: %2)", "Report saved to %1 (%2 pages)"};

int RunReport(const Options &options, const Streams &streams) {
    ArchiveTable table;
    if (!LoadForCommand(table, options.input, streams.err)) return ExitFile;
    const ReportPdfResult result = WriteReportPdf(table, options.output);
    if (!result.ok()) {
        PrintError(streams.err, result.error().message);
        return ExitFile;
    }
    const QString done = Pick(TxtReportDone).arg(options.output).arg(result.value().pageCount);
    const QByteArray bytes = done.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), streams.err);
    return ExitOk;
}

} // namespace velda::cli
