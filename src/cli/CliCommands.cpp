// The commands of velda9-cli: each runs the same core as the windows and maps its outcome to an exit status.
#include "cli/CliCommands.h"

#include "archive/ArchiveDownload.h"
#include "archive/ChannelLayout.h"
#include "base/ArchiveTable.h"
#include "base/FileWriter.h"
#include "base/SharedTexts.h"
#include "base/SystemFormats.h"
#include "base/TableColumns.h"
#include "base/TableHeader.h"
#include "cli/CliExchange.h"
#include "cli/CsvMergeCommands.h"
#include "cli/HistoryCommand.h"
#include "cli/PlotProgram.h"
#include "cli/ReportCommand.h"
#include "cli/StatsCommand.h"
#include "cli/SummaryCommand.h"
#include "cli/WatchCommand.h"
#include "device/Exchange.h"
#include "device/LibUsbBinding.h"
#include "device/ShowStatus.h"
#include "export/SpreadsheetExport.h"
#include "screenshot/PixelMatrix.h"

#include <QFileInfo>
#include <QLocale>

#include <memory>
#include <utility>

namespace velda::cli {

namespace {

/// Sets the column count through the main window's layout rule; the window-only parts are ignored.
class TableLayout : public ChannelLayoutTarget {
public:
    explicit TableLayout(ArchiveTable &table) : m_table(table) {}
    void setWindowWidth(int) override {}
    void setColumnCount(int count) override { m_table.setColCount(count); }
    [[nodiscard]] int columnWidth(int) const override { return 0; }
    void setColumnWidth(int, int) override {}
    void setPanel1Caption(const QString &) override {}
    void setPanel2Caption(const QString &) override {}
    void setPanel2Visible(bool) override {}

private:
    ArchiveTable &m_table;
};

void appendEscaped(QByteArray &line, const QString &cell) {
    const QByteArray bytes = cell.toUtf8();
    for (const char c : bytes) {
        switch (c) {
        case '\\':
            line += "\\\\";
            break;
        case '\t':
            line += "\\t";
            break;
        case '\r':
            line += "\\r";
            break;
        case '\n':
            line += "\\n";
            break;
        default:
            line += c;
        }
    }
}

std::chrono::milliseconds limitOf(const Options &options) {
    return std::chrono::seconds(options.timeoutSeconds);
}

/// The one-line reason an exchange gave up, from what it showed last. Called once the exchange thread has
/// ended, so the link error it kept can be read.
QString gaveUpText(const Options &options, const CliExchange &exchange) {
    QString status = exchange.lastStatusText();
    if (status.isEmpty()) status = StatusText(StatusNoDevice);
    // The cancel that ends a timed-out exchange may show "Ready" last; the failure it kept says why.
    if (status == Pick(TxtReady) && ExchangeStatus.load() != StatusOk)
        status = StatusText(ExchangeStatus.load());
    if (const auto why = LastLinkError.get();
        ExchangeStatus.load() == StatusNoDriver && why && !why->detail.empty())
        status += QStringLiteral(" (%1)").arg(QString::fromStdString(why->detail));
    return Pick(TxtGaveUp).arg(options.timeoutSeconds).arg(status);
}

/// Waits for the exchange; on a timeout or an interrupt prints why and returns the exit status, else ExitOk.
int finishExchange(const Options &options, CliExchange &exchange, const Streams &streams) {
    const ExchangeEnd end = SuperviseExchange(options, exchange);
    if (end.status != ExitOk) PrintError(streams.err, end.failure);
    return end.status;
}

} // namespace

ExchangeEnd SuperviseExchange(const Options &options, CliExchange &exchange) {
    switch (exchange.supervise()) {
    case ExchangeOutcome::Finished:
        return {};
    case ExchangeOutcome::TimedOut:
        return {ExitInstrument, gaveUpText(options, exchange)};
    case ExchangeOutcome::Interrupted:
        break;
    }
    return {ExitInterrupted + InterruptSignal(), Pick(TxtInterrupted)};
}

void PrintLine(std::FILE *stream, const QString &text) {
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

void PrintError(std::FILE *stream, const QString &text) {
    PrintLine(stream, QStringLiteral("velda9-cli: ") + text);
}

std::optional<Options> ParseProgramArguments(int argc, char **argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    auto parsed = ParseArguments(arguments);
    if (!parsed.ok()) {
        PrintError(stderr, parsed.error().message);
        return std::nullopt;
    }
    Options &options = parsed.value();
    if (options.command == Command::Watch) return WithWatchConfig(arguments, std::move(options));
    return std::move(options);
}

void ApplyLanguageAndLocale(const Options &options) {
    LanguageIndex.store(options.language);
    SetCurrentFormats(
        SystemFormats::FromLocale(options.localeName ? QLocale(*options.localeName) : QLocale::system()));
}

QByteArray DumpLine(const ArchiveTable &table, int row) {
    QByteArray line;
    for (int col = 0; col < table.colCount(); ++col) {
        if (col > 0) line += '\t';
        appendEscaped(line, table.cell(col, row));
    }
    line += '\n';
    return line;
}

QByteArray DumpText(const ArchiveTable &table) {
    QByteArray text;
    for (int row = 0; row < table.rowCount(); ++row)
        text += DumpLine(table, row);
    return text;
}

void ApplyColumnLayout(ArchiveTable &table, const ChannelFlags &flags) {
    TableLayout layout(table);
    // A project file keeps only the shown columns: the second slot stays while any row holds values there.
    const ChannelFlags shown = ChannelsShown(table, flags);
    ApplyChannelLayout(layout, shown.channel1, shown.channel2);
}

QString ReadSummary(const ArchiveTable &table, const ChannelFlags &flags, const QString &file) {
    const int records = table.rowCount() - 1;
    if (records <= 0) return Pick(TxtReadSummaryEmpty).arg(file);
    QStringList channels;
    if (flags.channel1) channels << QStringLiteral("1");
    if (flags.channel2) channels << QStringLiteral("2");
    const QString channelText = channels.isEmpty() ? Pick(TxtNoChannel) : channels.join(QStringLiteral(", "));
    const auto stamp = [&table](int row) {
        return table.cell(column::kDate, row) + QLatin1Char(' ') + table.cell(column::kTime, row);
    };
    return Pick(TxtReadSummary).arg(records).arg(channelText, stamp(1), stamp(records), file);
}

OutputRules OutputRulesOf(const Options &options) {
    OutputRules rules;
    // A merge reads every input whole before it writes, so one of them may take the result: a download is
    // added to the archive kept in one file.
    if (options.command != Command::Merge) rules.inputs = options.inputs;
    switch (options.command) {
    case Command::Export:
        rules.extensions = {QStringLiteral(".xlsx"), QStringLiteral(".xls"), QStringLiteral(".csv")};
        break;
    case Command::Report:
    case Command::Summary:
        rules.extensions = {QStringLiteral(".pdf")};
        break;
    case Command::Screenshot:
        rules.extensions = {QStringLiteral(".bmp")};
        break;
    case Command::Plot:
        rules.extensions = {QStringLiteral(".png"), QStringLiteral(".svg"), QStringLiteral(".pdf")};
        break;
    default:
        break;
    }
    return rules;
}

QString PartialReadTarget(const QString &output) {
    const QFileInfo file(output);
    if (!file.exists() && !file.isSymLink()) return output;
    const QString suffix = file.suffix().isEmpty() ? QString() : QLatin1Char('.') + file.suffix();
    // The folder as the user wrote it, so the message names the file the way the command line did.
    const QString folder = output.left(output.lastIndexOf(QLatin1Char('/')) + 1);
    const QString stem = folder + file.completeBaseName() + QStringLiteral("-partial");
    for (int n = 1;; ++n) {
        const QString candidate = stem + (n == 1 ? QString() : QStringLiteral("-%1").arg(n)) + suffix;
        const QFileInfo taken(candidate);
        if (!taken.exists() && !taken.isSymLink()) return candidate;
    }
}

bool LoadForCommand(ArchiveTable &table, const QString &path, std::FILE *err) {
    const auto loaded = ReadProject(table, path);
    if (!loaded.ok()) {
        PrintError(err, loaded.error().message);
        return false;
    }
    return true;
}

bool LoadShownTable(ArchiveTable &table, const QString &path, std::FILE *err) {
    if (!LoadForCommand(table, path, err)) return false;
    ApplyColumnLayout(table, table.channels());
    if (TableIsEmpty(table)) {
        PrintError(err, QStringLiteral("%1: %2").arg(path, Pick(TxtArchiveNotRead)));
        return false;
    }
    return true;
}

DownloadRun DownloadArchive(const Options &options, const Streams &streams) {
    DownloadRun run;
    WriteHeaderRow(run.table, LanguageIndex.load());
    auto download = std::make_unique<ArchiveDownload>(run.table);

    ProgressPrinter printer(streams.err, streams.errIsTerminal);
    CliExchange exchange(printer, limitOf(options), RealSleeper());
    ExchangeSetup setup = exchange.setup();
    const ArchiveHandOver fill = download->handOver();
    setup.handOver = [&run, keep = !options.noHistory, fill](ReceivedArchive archive) {
        run.received = archive.recordCount;
        if (keep) run.kept = archive;
        fill(std::move(archive));
    };
    LibUSB.useSimulator(options.simulate);
    if (StartArchiveRead(std::move(setup), exchange.controls(true)) != StartResult::Started) {
        run.end = {ExitInstrument, Pick(TxtReadFailed).arg(StatusText(StatusLinkError))};
        return run;
    }
    run.end = SuperviseExchange(options, exchange);
    if (run.end.status != ExitOk) return run;
    if (!download->swapInto(run.table)) {
        // The exchange ended without records of its own: the parameter block failed its check.
        QString reason = exchange.lastStatusText();
        if (reason.isEmpty()) reason = StatusText(StatusLinkError);
        run.end = {ExitInstrument, Pick(TxtReadFailed).arg(reason)};
        return run;
    }
    ApplyColumnLayout(run.table, run.table.channels());
    run.announced = exchange.announcedRecords();
    run.failedChecks = download->failedChecks();
    return run;
}

int RunRead(const Options &options, const Streams &streams) {
    const DownloadRun run = DownloadArchive(options, streams);
    if (run.end.status != ExitOk) {
        PrintError(streams.err, run.end.failure);
        return run.end.status;
    }
    const ArchiveTable &table = run.table;
    const ChannelFlags flags = table.channels();
    const bool partial = run.partial();
    const QString target = partial ? PartialReadTarget(options.output) : options.output;
    const auto saved = SaveProject(table, target, flags);
    if (!saved.ok()) {
        PrintError(streams.err, saved.error().message);
        return ExitFile;
    }
    const int historyStatus = options.noHistory ? ExitOk : StoreReadInHistory(options, run.kept, streams);
    if (partial) {
        PrintError(streams.err, target == options.output
                                    ? Pick(TxtPartialRead).arg(run.received).arg(run.announced).arg(target)
                                    : Pick(TxtPartialReadBeside)
                                          .arg(run.received)
                                          .arg(run.announced)
                                          .arg(target, options.output));
        return ExitInstrument;
    }
    // The flags name the channels of the last record only; a shown second slot means both took part.
    const bool bothSlots = table.colCount() >= kTwoChannelColCount;
    const ChannelFlags seen{flags.channel1 || bothSlots, flags.channel2 || bothSlots};
    PrintLine(streams.err, ReadSummary(table, seen, options.output));
    // The records stay in the table as the instrument sent them; a script learns of them by the status.
    if (run.failedChecks > 0) {
        PrintError(streams.err, Pick(TxtRecordsFailedCheck).arg(run.failedChecks).arg(table.rowCount() - 1));
        if (historyStatus == ExitOk) return ExitChecksFailed;
    }
    return historyStatus;
}

int RunDump(const Options &options, const Streams &streams) {
    ArchiveTable table;
    if (!LoadForCommand(table, options.input, streams.err)) return ExitFile;
    // Row by row, so a large project does not need a second copy of itself as text.
    bool written = true;
    for (int row = 0; row < table.rowCount() && written; ++row) {
        const QByteArray line = DumpLine(table, row);
        written = std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), streams.out) ==
                  static_cast<std::size_t>(line.size());
    }
    if (!written || std::fflush(streams.out) != 0) {
        PrintError(streams.err, QStringLiteral("cannot write the cells to standard output"));
        return ExitFile;
    }
    return ExitOk;
}

int RunExport(const Options &options, const Streams &streams) {
    ArchiveTable table;
    if (!LoadShownTable(table, options.input, streams.err)) return ExitFile;
    const xlsx::ExportResult result = xlsx::ExportToSpreadsheet(table, Pick(TxtArchiveTitle), options.output);
    if (!result.ok()) {
        PrintError(streams.err, result.error().message);
        return ExitFile;
    }
    PrintLine(streams.err,
              Pick(TxtExportDone).arg(result.summary().fileName).arg(result.summary().sheetCount));
    return ExitOk;
}

int RunSetClock(const Options &options, const Streams &streams) {
    ProgressPrinter printer(streams.err, streams.errIsTerminal);
    CliExchange exchange(printer, limitOf(options), RealSleeper());
    LibUSB.useSimulator(options.simulate);
    if (StartClockSetting(exchange.setup()) != StartResult::Started) return ExitInstrument;
    if (const int status = finishExchange(options, exchange, streams); status != ExitOk) return status;
    return ExitOk;
}

int RunScreenshot(const Options &options, const Streams &streams) {
    ProgressPrinter printer(streams.err, streams.errIsTerminal);
    CliExchange exchange(printer, limitOf(options), RealSleeper());
    LibUSB.useSimulator(options.simulate);
    if (StartScreenRead(exchange.setup(), exchange.controls(false)) != StartResult::Started)
        return ExitInstrument;
    if (const int status = finishExchange(options, exchange, streams); status != ExitOk) return status;
    const auto screen = ScreenBuffer.snapshot();
    const BmpFileResult written = WriteScreenBmp(options.output, screen, options.pen, options.background);
    if (!written.ok()) {
        PrintError(streams.err, written.error().message);
        return ExitFile;
    }
    PrintLine(streams.err, Pick(TxtScreenSaved).arg(options.output));
    return ExitOk;
}

int RunCommand(const Options &options, const Streams &streams) {
    // Every command that writes a file refuses what the windows would not write either, before it reads or
    // downloads anything: a name the command does not write and one of its own inputs are usage errors.
    if (!options.output.isEmpty()) {
        if (const auto checked = CheckOutputTarget(options.output, OutputRulesOf(options)); !checked) {
            const FileError &error = checked.error();
            PrintError(streams.err, error.message());
            const bool usage =
                error.kind == FileError::Kind::SameAsInput || error.kind == FileError::Kind::WrongExtension;
            return usage ? ExitUsage : ExitFile;
        }
    }
    switch (options.command) {
    case Command::Help:
        PrintLine(streams.out,
                  (options.helpTopic == Command::Help ? HelpText(options.russianHelp)
                                                      : CommandHelpText(options.helpTopic, options.language))
                      .chopped(1));
        return ExitOk;
    case Command::Version:
        PrintLine(streams.out, VersionText());
        return ExitOk;
    case Command::Read:
        return RunRead(options, streams);
    case Command::Dump:
        return RunDump(options, streams);
    case Command::Export:
        return IsCsvName(options.output) ? RunCsvExport(options, streams) : RunExport(options, streams);
    case Command::Merge:
        return RunMerge(options, streams);
    case Command::SetClock:
        return RunSetClock(options, streams);
    case Command::Screenshot:
        return RunScreenshot(options, streams);
    case Command::Stats:
        return RunStats(options, streams);
    case Command::Report:
        return RunReport(options, streams);
    case Command::Summary:
        return RunSummary(options, streams);
    case Command::Plot:
        return RunPlotProgram(options, streams);
    case Command::History:
        return RunHistory(options, streams);
    case Command::Watch:
        return RunWatch(options, streams);
    }
    return ExitUsage;
}

} // namespace velda::cli
