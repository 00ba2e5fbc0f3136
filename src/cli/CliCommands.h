// The commands of velda9-cli on top of the core: read, dump, export, set-clock, screenshot.
#pragma once

#include "archive/ProjectFile.h"
#include "base/FileWriter.h"
#include "base/Texts.h"
#include "cli/CliArguments.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <optional>

namespace velda {
class ArchiveTable;
}

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

/// The closing line of a read: records, channels, first and last date and time, the file.
[[nodiscard]] QString ReadSummary(const ArchiveTable &table, const ChannelFlags &flags, const QString &file);

/// Loads a project file for export, report or dump; prints the one-line error on `err` when it fails.
[[nodiscard]] bool LoadForCommand(ArchiveTable &table, const QString &path, std::FILE *err);

/// What the output of the command in `options` must satisfy: the extensions the command writes, and none
/// of its inputs (but for merge, which reads them whole first). RunCommand checks the output with it
/// (CheckOutputTarget) before any work, so that a download is not lost at the end and no input is
/// overwritten.
[[nodiscard]] OutputRules OutputRulesOf(const Options &options);

/// Prints "velda9-cli: TEXT" and a line break on `stream`.
void PrintError(std::FILE *stream, const QString &text);

/// The program's arguments after argv[0], parsed; a usage error is printed on stderr and gives nullopt
/// (the caller exits with ExitUsage).
[[nodiscard]] std::optional<Options> ParseProgramArguments(int argc, char **argv);

} // namespace velda::cli
