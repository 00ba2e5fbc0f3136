// velda9-cli's history command: listing, showing, exporting, importing and forgetting, over the store.
#include "cli/HistoryCommand.h"

#include "archive/ProjectFile.h"
#include "base/ArchiveTable.h"
#include "cli/CsvMergeCommands.h"
#include "cli/HistoryArguments.h"
#include "cli/ReportCommand.h"
#include "history/HistorySync.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

namespace velda::cli {

namespace {

QString timeText(const std::optional<QDateTime> &time) {
    return time ? time->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

bool namedByUser(const Options &options) {
    return !options.history.isEmpty() || !qEnvironmentVariableIsEmpty("VELDA9_HISTORY");
}

int exitFor(const HistoryError &error) {
    return error.kind == HistoryError::Kind::BadLocation ? ExitUsage : ExitFile;
}

int listInstruments(HistoryStore &store, const Options &options, const Streams &streams) {
    const auto instruments = store.instruments();
    if (!instruments.ok()) {
        PrintError(streams.err, instruments.error().message);
        return ExitFile;
    }
    if (options.json) {
        QJsonArray list;
        for (const InstrumentSummary &item : instruments.value()) {
            QJsonObject object;
            object[QStringLiteral("name")] = item.name;
            object[QStringLiteral("readings")] = item.readings;
            object[QStringLiteral("downloads")] = item.downloads;
            object[QStringLiteral("first_reading")] = timeText(item.firstReading);
            object[QStringLiteral("last_reading")] = timeText(item.lastReading);
            object[QStringLiteral("last_download")] =
                item.lastDownload ? item.lastDownload->toString(Qt::ISODate) : QString();
            list.append(object);
        }
        PrintLine(streams.out,
                  QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Indented)).trimmed());
        return ExitOk;
    }
    if (instruments.value().empty()) {
        PrintLine(streams.err, Pick(TxtHistoryEmpty));
        return ExitOk;
    }
    PrintLine(streams.out, Pick(TxtHistoryListHeader));
    for (const InstrumentSummary &item : instruments.value()) {
        const QString lastDownload =
            item.lastDownload
                ? item.lastDownload->toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                : QString();
        PrintLine(streams.out,
                  QStringList{item.name, QString::number(item.readings), timeText(item.firstReading),
                              timeText(item.lastReading), QString::number(item.downloads), lastDownload}
                      .join(QLatin1Char('\t')));
    }
    return ExitOk;
}

int listDownloads(HistoryStore &store, const QString &instrument, const Streams &streams) {
    const auto downloads = store.downloads(instrument);
    if (!downloads.ok()) {
        PrintError(streams.err, downloads.error().message);
        return ExitFile;
    }
    PrintLine(streams.out, Pick(TxtHistoryDownloadsHeader));
    for (const DownloadSummary &item : downloads.value()) {
        PrintLine(streams.out,
                  QStringList{QString::number(item.id),
                              item.readAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                              QString::number(item.records), item.firmwareDate, item.source}
                      .join(QLatin1Char('\t')));
    }
    return ExitOk;
}

/// The instrument's readings in the options' range, laid out as a saved download is.
std::optional<ArchiveTable> rangeTable(HistoryStore &store, const Options &options, const Streams &streams) {
    const HistoryOptions &history = options.historyCommand;
    ReadingRange range;
    if (!history.from.isEmpty()) range.from = ParseHistoryDate(history.from, false);
    if (!history.to.isEmpty()) range.to = ParseHistoryDate(history.to, true);
    auto table = store.table(history.instrument, range);
    if (!table.ok()) {
        PrintError(streams.err, table.error().message);
        return std::nullopt;
    }
    ApplyColumnLayout(table.value(), table.value().channels());
    return std::move(table.value());
}

int showRange(HistoryStore &store, const Options &options, const Streams &streams) {
    const auto table = rangeTable(store, options, streams);
    if (!table) return ExitFile;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QByteArray line = DumpLine(*table, row);
        if (std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), streams.out) !=
            static_cast<std::size_t>(line.size())) {
            PrintError(streams.err, QStringLiteral("cannot write the cells to standard output"));
            return ExitFile;
        }
    }
    return std::fflush(streams.out) == 0 ? ExitOk : ExitFile;
}

int exportRange(HistoryStore &store, const Options &options, const Streams &streams) {
    const auto table = rangeTable(store, options, streams);
    if (!table) return ExitFile;
    if (options.output.endsWith(QLatin1String(".vd"), Qt::CaseInsensitive)) {
        const auto saved = SaveProject(*table, options.output, table->channels());
        if (!saved.ok()) {
            PrintError(streams.err, saved.error().message);
            return ExitFile;
        }
        PrintLine(streams.err, Pick(TxtHistoryExported).arg(table->rowCount() - 1).arg(options.output));
        return ExitOk;
    }
    // The workbook, CSV and report commands take a project file: the range is handed to them as one, so
    // every output is made exactly as from a saved download.
    const QTemporaryDir folder;
    if (!folder.isValid()) {
        PrintError(streams.err,
                   QStringLiteral("cannot create a temporary folder: %1").arg(folder.errorString()));
        return ExitFile;
    }
    Options exportOptions = options;
    exportOptions.input = folder.filePath(QStringLiteral("range.vd"));
    const auto saved = SaveProject(*table, exportOptions.input, table->channels());
    if (!saved.ok()) {
        PrintError(streams.err, saved.error().message);
        return ExitFile;
    }
    if (IsCsvName(options.output)) return RunCsvExport(exportOptions, streams);
    if (options.output.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        return RunReport(exportOptions, streams);
    return RunExport(exportOptions, streams);
}

int importFiles(HistoryStore &store, const Options &options, const Streams &streams) {
    for (const QString &file : options.inputs) {
        int rows = 0;
        const auto added = ImportProjectFile(store, file, options.historyCommand.instrument, &rows);
        if (!added.ok()) {
            PrintError(streams.err, added.error().message);
            return ExitFile;
        }
        PrintLine(streams.err, Pick(TxtHistoryImported)
                                   .arg(file)
                                   .arg(rows)
                                   .arg(added.value().newReadings)
                                   .arg(added.value().instrument));
    }
    return ExitOk;
}

int forgetReadings(HistoryStore &store, const Options &options, const Streams &streams) {
    const HistoryOptions &history = options.historyCommand;
    const auto removed = store.forget(history.instrument, history.download);
    if (!removed.ok()) {
        PrintError(streams.err, removed.error().message);
        return ExitFile;
    }
    PrintLine(streams.err, Pick(TxtHistoryForgotten).arg(history.instrument).arg(removed.value()));
    return ExitOk;
}

} // namespace

int RunHistory(const Options &options, const Streams &streams) {
    const auto location = ChosenHistoryLocation(options.history);
    if (!location.ok()) {
        PrintError(streams.err, location.error().message);
        return exitFor(location.error());
    }
    HistoryPlace place;
    place.location = location.value();
    for (const QString &problem : FlushPending(place))
        PrintError(streams.err, problem);
    auto store = HistoryStore::open(place.location);
    if (!store.ok()) {
        PrintError(streams.err, store.error().message);
        return ExitFile;
    }
    HistoryStore &history = *store.value();
    switch (options.historyCommand.action) {
    case HistoryOptions::Action::List:
        return options.historyCommand.instrument.isEmpty()
                   ? listInstruments(history, options, streams)
                   : listDownloads(history, options.historyCommand.instrument, streams);
    case HistoryOptions::Action::Show:
        return showRange(history, options, streams);
    case HistoryOptions::Action::Export:
        return exportRange(history, options, streams);
    case HistoryOptions::Action::Import:
        return importFiles(history, options, streams);
    case HistoryOptions::Action::Forget:
        return forgetReadings(history, options, streams);
    }
    return ExitUsage;
}

int StoreReadInHistory(const Options &options, const ReceivedArchive &archive, const Streams &streams) {
    const bool named = namedByUser(options);
    const auto location = ChosenHistoryLocation(options.history);
    if (!location.ok()) {
        PrintError(streams.err, location.error().message);
        return named ? ExitFile : ExitOk;
    }
    const HistoryDownload download = ReceivedDownload(archive);
    HistoryPlace place;
    place.location = location.value();
    const StoreOutcome outcome = StoreDownload(place, download, options.instrument);
    for (const QString &problem : outcome.problems)
        PrintError(streams.err, problem);
    if (outcome.added)
        PrintLine(streams.err, Pick(TxtHistoryStored)
                                   .arg(outcome.added->instrument)
                                   .arg(outcome.added->downloadId)
                                   .arg(outcome.added->newReadings));
    const bool complete =
        outcome.added && (place.location.kind == HistoryLocation::Kind::SQLite || outcome.pushed);
    return complete || !named ? ExitOk : ExitFile;
}

} // namespace velda::cli
