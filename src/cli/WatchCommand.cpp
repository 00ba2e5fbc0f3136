// velda9-cli watch: the arrivals of the instrument drive downloads through the same path as `read`.
#include "cli/WatchCommand.h"

#include "base/ArchiveTable.h"
#include "base/FileWriter.h"
#include "base/SharedTexts.h"
#include "base/SystemFormats.h"
#include "base/TableColumns.h"
#include "cli/CliExchange.h"
#include "device/Exchange.h"
#include "device/LibUsbBinding.h"
#include "device/ShowStatus.h"
#include "graph/SummaryPainter.h"
#include "history/HistoryStore.h"
#include "history/HistorySync.h"
#include "plug/ArrivalRules.h"
#include "plug/DesktopNotice.h"
#include "plug/HotplugSource.h"
#include "plug/LimitNotice.h"
#include "plug/WatchConfig.h"
#include "plug/WatchNames.h"

#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace velda::cli {

namespace {

// The stop signals wake the event loop through this pipe; the handler only stores and writes.
int g_wakeWrite = -1;

void OnStopSignal(int signalNumber) {
    RequestInterrupt(signalNumber);
    if (g_wakeWrite >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(g_wakeWrite, &byte, 1);
    }
}

struct FileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};

class WatchService {
public:
    WatchService(const Options &options, const Streams &streams) : m_options(options), m_out(streams.out) {
        // Progress bars belong on a terminal; in a journal they would bury the events.
        m_progress.errIsTerminal = streams.errIsTerminal;
        if (streams.errIsTerminal) {
            m_progress.err = streams.err;
        } else {
            m_sink.reset(std::fopen("/dev/null", "w"));
            m_progress.err = m_sink ? m_sink.get() : streams.err;
        }
    }

    int run() {
        int pipeEnds[2] = {-1, -1};
        if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
            PrintError(stderr, Pick(TxtWatchError).arg(QString::fromLocal8Bit(std::strerror(errno))));
            return ExitFile;
        }
        g_wakeWrite = pipeEnds[1];
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        // The first signal stops the watch cleanly; a second one ends the program at once.
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, nullptr);
        ::sigaction(SIGTERM, &action, nullptr);

        QSocketNotifier wake(pipeEnds[0], QSocketNotifier::Read);
        QObject::connect(&wake, &QSocketNotifier::activated, &m_loop, &QEventLoop::quit);

        LibUSB.useSimulator(m_options.simulate);
        m_source = MakeHotplugSource();
        QObject::connect(m_source.get(), &HotplugSource::arrived, &m_loop, [this] { arrived(); });
        QObject::connect(m_source.get(), &HotplugSource::left, &m_loop, [this] { left(); });
        QObject::connect(m_source.get(), &HotplugSource::problem, &m_loop,
                         [this](const QString &text) { error(text); });
        event(Pick(TxtWatchStarted).arg(m_source->kind()));
        m_source->start();
        if (InterruptSignal() == 0) m_loop.exec();
        m_source->stop();
        m_source.reset();
        event(Pick(TxtWatchStopped));

        g_wakeWrite = -1;
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        return ExitOk;
    }

private:
    void event(const QString &text) {
        const QByteArray line =
            (QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) + text).toUtf8() +
            '\n';
        std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), m_out);
        std::fflush(m_out);
    }
    void error(const QString &text) { event(Pick(TxtWatchError).arg(text)); }

    void arrived() {
        if (!m_rules.present()) event(Pick(TxtWatchArrived));
        m_rules.instrumentArrived();
        // Downloads run on this thread, so no other exchange can be under way when an arrival is seen.
        if (!m_rules.shouldStart(false, false)) return;
        m_rules.downloadStarted();
        download();
        if (InterruptSignal() != 0) m_loop.quit();
    }

    void left() {
        if (m_rules.present()) event(Pick(TxtWatchLeft));
        m_rules.instrumentLeft();
    }

    void download() {
        DownloadRun run = DownloadArchive(m_options, m_progress);
        if (run.end.status != ExitOk) {
            // A stop signal cancelled it: nothing to tell but the stop itself.
            if (InterruptSignal() == 0) error(run.end.failure);
            return;
        }
        const QDateTime readAt = QDateTime::currentDateTime();
        const int records = run.table.rowCount() - 1;
        if (run.partial())
            error(Pick(TxtWatchPartial).arg(run.received).arg(run.announced));
        else
            event(Pick(TxtWatchDownloaded).arg(records));
        if (run.failedChecks > 0) error(Pick(TxtRecordsFailedCheck).arg(run.failedChecks).arg(records));

        // Without --limit, the limits the statistics window keeps now: the service outlives changes to them.
        Limits limits = m_options.limits;
        if (const auto settings = OpenUserSettings(); !limits.any() && settings)
            limits = LoadStatsSettings(*settings).limits;
        QString instrument =
            m_options.instrument.isEmpty() ? Pick(TxtDefaultInstrument) : m_options.instrument;
        bool fresh = true;
        if (!m_options.noHistory) fresh = storeInHistory(run, instrument);
        if (!m_options.saveTo.isEmpty()) save(run.table, instrument, readAt, limits);
        if (const auto notice = NoticeOfLimits(run.table, limits, instrument, LanguageIndex.load())) {
            event(notice->line);
            // An instrument left plugged in for days is read at every arrival with the same old readings:
            // a download that adds none to the history has been notified already. Without a notification
            // server the line above is the notice.
            if (fresh) static_cast<void>(SendDesktopNotice({notice->title, notice->body}));
        }
        if (m_options.setClock && !run.partial()) setClock();
    }

    /// Stores the download; `instrument` becomes the history's name for it. False when the history took
    /// it and found no reading it did not hold already.
    bool storeInHistory(const DownloadRun &run, QString &instrument) {
        const auto location = ChosenHistoryLocation(m_options.history);
        if (!location.ok()) {
            error(location.error().message);
            return true;
        }
        HistoryPlace place;
        place.location = location.value();
        const StoreOutcome outcome = StoreDownload(place, ReceivedDownload(run.kept), m_options.instrument);
        for (const QString &problem : outcome.problems)
            error(problem);
        if (!outcome.added) return true;
        instrument = outcome.added->instrument;
        event(Pick(TxtHistoryStored)
                  .arg(outcome.added->instrument)
                  .arg(outcome.added->downloadId)
                  .arg(outcome.added->newReadings));
        return outcome.added->newReadings > 0;
    }

    /// The moment of the table's last record, invalid when its cells do not read back.
    static QDateTime lastRecord(const ArchiveTable &table) {
        const int row = table.rowCount() - 1;
        if (row < 1) return {};
        const SystemFormats &formats = CurrentFormats();
        return QDateTime(QDate::fromString(table.cell(column::kDate, row), formats.shortDateFormat),
                         QTime::fromString(table.cell(column::kTime, row), formats.timeFormat));
    }

    void save(const ArchiveTable &table, const QString &instrument, const QDateTime &readAt,
              const Limits &limits) {
        const QString nameTemplate = m_options.nameTemplate.isEmpty()
                                         ? QString::fromLatin1(kDefaultNameTemplate)
                                         : m_options.nameTemplate;
        const QString stem = ExpandNameTemplate(nameTemplate, {instrument, lastRecord(table), readAt});
        QStringList extensions{QStringLiteral(".vd")};
        if (m_options.summary) extensions << QStringLiteral(".pdf");
        const QString base = QDir(m_options.saveTo).filePath(FreeStem(m_options.saveTo, stem, extensions));
        const QString project = base + QStringLiteral(".vd");
        // A missing or read-only folder is named in the user's words before anything is written.
        if (const auto checked = CheckOutputTarget(project); !checked) {
            error(checked.error().message());
            return;
        }
        const auto saved = SaveProject(table, project, table.channels());
        if (!saved.ok()) {
            error(saved.error().message);
            return;
        }
        event(Pick(TxtWatchSaved).arg(project));
        if (!m_options.summary) return;
        SummaryInput input;
        input.table = &table;
        input.channel1Present = table.channels().channel1;
        input.channel2Present = table.channels().channel2;
        input.archiveFormat = table.archiveFormat().value_or(0);
        input.fileName = project;
        input.settings.limits = limits;
        input.language = LanguageIndex.load();
        input.formats = CurrentFormats();
        const QString pdf = base + QStringLiteral(".pdf");
        const SummaryPdfResult written = WriteSummaryPdf(input, pdf);
        if (!written.ok())
            error(written.error().message);
        else
            event(Pick(TxtWatchSummarySaved).arg(pdf));
    }

    void setClock() {
        ProgressPrinter printer(m_progress.err, m_progress.errIsTerminal);
        CliExchange exchange(printer, std::chrono::seconds(m_options.timeoutSeconds), RealSleeper());
        if (StartClockSetting(exchange.setup()) != StartResult::Started) {
            error(StatusText(StatusLinkError));
            return;
        }
        const ExchangeEnd end = SuperviseExchange(m_options, exchange);
        if (end.status == ExitOk)
            event(Pick(TxtWatchClockSet));
        else if (InterruptSignal() == 0)
            error(end.failure);
    }

    const Options &m_options;
    std::FILE *m_out;
    Streams m_progress;
    std::unique_ptr<std::FILE, FileCloser> m_sink;
    ArrivalRules m_rules;
    QEventLoop m_loop;
    std::unique_ptr<HotplugSource> m_source;
};

} // namespace

std::optional<Options> WithWatchConfig(const QStringList &typed, Options parsed) {
    const std::uint8_t language = parsed.language;
    const QString path = WatchConfigPath();
    QFile file(path);
    if (!file.exists()) return parsed;
    if (!file.open(QIODevice::ReadOnly)) {
        PrintError(stderr, PickIn(TxtWatchConfigUnreadable, language).arg(path));
        return std::nullopt;
    }
    const auto config = WatchConfigArguments(QString::fromUtf8(file.readAll()), path, language);
    if (const auto *problem = std::get_if<WatchConfigError>(&config)) {
        PrintError(stderr, problem->message);
        return std::nullopt;
    }
    auto merged = ParseArguments(MergeWatchArguments(std::get<QStringList>(config), typed));
    if (merged.ok()) return std::move(merged.value());
    // The typed arguments parsed on their own, so the file's values are what the parser refused.
    PrintError(stderr, path + QStringLiteral(": ") + merged.error().message);
    return std::nullopt;
}

int RunWatch(const Options &options, const Streams &streams) {
    WatchService service(options, streams);
    return service.run();
}

} // namespace velda::cli
