// The commands of velda9-cli on top of the core: read, dump, export, set-clock, screenshot.
#pragma once

#include "archive/ProjectFile.h"
#include "base/ArchiveTable.h"
#include "base/FileWriter.h"
#include "base/Texts.h"
#include "cli/CliArguments.h"
#include "cli/CliExchange.h"
#include "device/Exchange.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <optional>

namespace velda::cli {

inline constexpr TextPair TxtReadSummary{"Записей: %1, каналы: %2, с %3 по %4; сохранено в %5",
                                         "%1 records, channels %2, from %3 to %4; saved to %5"};
inline constexpr TextPair TxtReadSummaryEmpty{"Записей нет; заголовок таблицы сохранён в %1",
                                              "No records; the table header was saved to %1"};
inline constexpr TextPair TxtNoChannel{"нет", "none"};
/// %1 received, %2 announced, %3 file.
inline constexpr TextPair TxtPartialRead{
    "Связь прервалась после %1 из %2 записей; полученные записи сохранены в %3",
    "The link failed after %1 of %2 records; the records received were saved "
    "to %3"};
/// A partial download beside an existing file: %1 received, %2 announced, %3 the new file, %4 the old one.
inline constexpr TextPair TxtPartialReadBeside{
    "Связь прервалась после %1 из %2 записей; полученные записи сохранены в %3, файл %4 не изменён",
    "The link failed after %1 of %2 records; the records received were saved to %3, %4 was left as it "
    "was"};
inline constexpr TextPair TxtReadFailed{"Архив не считан: %1", "Archive not read: %1"};
inline constexpr TextPair TxtScreenSaved{"Скриншот сохранён в %1", "Screenshot saved to %1"};
inline constexpr TextPair TxtInterrupted{"Прервано: обмен с прибором отменён, ничего не записано",
                                         "Interrupted: the exchange was cancelled, nothing was written"};
inline constexpr TextPair TxtExportDone{"Книга сохранена в %1 (листов: %2)",
                                        "Workbook saved to %1 (%2 sheets)"};

/// Where a command writes: `out` for data (dump), `err` for progress, status and errors.
struct Streams {
    std::FILE *out = stdout;
    std::FILE *err = stderr;
    bool errIsTerminal = false; ///< draw a progress bar on `err` instead of plain lines
};

/// How an exchange ended: ExitOk, or the exit status and the one line that says why.
struct ExchangeEnd {
    int status = ExitOk;
    QString failure;
};

/// Waits for the exchange `exchange` runs; cancels it on a timeout or an interrupt (SIGINT, SIGTERM).
[[nodiscard]] ExchangeEnd SuperviseExchange(const Options &options, CliExchange &exchange);

/// One download of the archive as `read` makes it: the filled table with the columns its channels show,
/// the records as received (unless --no-history) and how many arrived.
struct DownloadRun {
    ExchangeEnd end;
    ArchiveTable table;
    ReceivedArchive kept;
    std::uint32_t received = 0;     ///< records received
    std::uint32_t announced = 0;    ///< records the parameter block announced
    std::uint32_t failedChecks = 0; ///< records kept although they failed their check
    /// The link failed before every announced record arrived.
    [[nodiscard]] bool partial() const { return received < announced; }
};

/// Downloads the archive (the simulator with --simulate), progress on `streams.err`. On the main thread.
[[nodiscard]] DownloadRun DownloadArchive(const Options &options, const Streams &streams);

/// Sets LanguageIndex and the cell formats (the named locale, or the system's) for the whole run.
void ApplyLanguageAndLocale(const Options &options);

/// Runs the command and returns the exit status. The report paints with QtGui, so for it a QGuiApplication
/// must exist.
[[nodiscard]] int RunCommand(const Options &options, const Streams &streams);

[[nodiscard]] int RunRead(const Options &options, const Streams &streams);
[[nodiscard]] int RunDump(const Options &options, const Streams &streams);
[[nodiscard]] int RunExport(const Options &options, const Streams &streams);
[[nodiscard]] int RunSetClock(const Options &options, const Streams &streams);
[[nodiscard]] int RunScreenshot(const Options &options, const Streams &streams);

/// The table's cells as UTF-8 lines: every stored column of every row, TAB-separated, LF-terminated. A
/// backslash, TAB, CR or LF inside a cell is written as \\, \t, \r or \n so that each row stays one line.
[[nodiscard]] QByteArray DumpText(const ArchiveTable &table);
/// One row of DumpText, with its line break.
[[nodiscard]] QByteArray DumpLine(const ArchiveTable &table, int row);

/// Shows 14 columns when both channels are present, otherwise 10; but 14 whenever a data row holds a
/// cell in the second channel slot, so that saving the table keeps every value.
void ApplyColumnLayout(ArchiveTable &table, const ChannelFlags &flags);

/// Where a partial download of `output` goes: `output` itself when no file is there, otherwise the first
/// free name of "NAME-partial.vd", "NAME-partial-2.vd", ... in the same folder, so that a complete
/// download saved earlier is never replaced by a part of one.
[[nodiscard]] QString PartialReadTarget(const QString &output);

/// The closing line of a read: records, channels, first and last date and time, the file.
[[nodiscard]] QString ReadSummary(const ArchiveTable &table, const ChannelFlags &flags, const QString &file);

/// Loads a project file for export, report or dump; prints the one-line error on `err` when it fails.
[[nodiscard]] bool LoadForCommand(ArchiveTable &table, const QString &path, std::FILE *err);

/// What the output of the command in `options` must satisfy: the extensions the command writes, and none
/// of its inputs (but for merge, which reads them whole first). RunCommand checks the output with it
/// (CheckOutputTarget) before any work, so that a download is not lost at the end and no input is
/// overwritten.
[[nodiscard]] OutputRules OutputRulesOf(const Options &options);

/// Loads a project file for export, report, summary and plot as the main window opens it: the columns
/// its channel layout shows (ApplyColumnLayout with the file's flags). A table without a record is
/// refused ("FILE: Архив не считан!"), as the window refuses to export or plot one. Prints the one-line
/// error on `err` when it fails.
[[nodiscard]] bool LoadShownTable(ArchiveTable &table, const QString &path, std::FILE *err);

/// Prints TEXT and a line break on `stream` and flushes it.
void PrintLine(std::FILE *stream, const QString &text);

/// Prints "velda9-cli: TEXT" and a line break on `stream`.
void PrintError(std::FILE *stream, const QString &text);

/// The program's arguments after argv[0], parsed; a usage error is printed on stderr and gives nullopt
/// (the caller exits with ExitUsage).
[[nodiscard]] std::optional<Options> ParseProgramArguments(int argc, char **argv);

} // namespace velda::cli
