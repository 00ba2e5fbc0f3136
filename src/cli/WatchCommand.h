// velda9-cli watch: waits for the instrument, downloads its archive at each arrival into the history (and
// a folder), tells of readings outside the limits, and writes one timestamped line per event on stdout.
#pragma once

#include "base/Texts.h"
#include "cli/CliArguments.h"
#include "cli/CliCommands.h"

#include <QStringList>

#include <optional>

namespace velda::cli {

inline constexpr TextPair TxtWatchStarted{"Ожидание прибора (%1)", "Waiting for the instrument (%1)"};
inline constexpr TextPair TxtWatchArrived{"Прибор подключён", "The instrument arrived"};
inline constexpr TextPair TxtWatchLeft{"Прибор отключён", "The instrument left"};
inline constexpr TextPair TxtWatchDownloaded{"Считано записей: %1", "Downloaded %1 records"};
/// %1 received, %2 announced.
inline constexpr TextPair TxtWatchPartial{"Связь прервалась после %1 из %2 записей",
                                          "The link failed after %1 of %2 records"};
inline constexpr TextPair TxtWatchSaved{"Сохранено: %1", "Saved %1"};
inline constexpr TextPair TxtWatchSummarySaved{"Сводка сохранена: %1", "Summary saved %1"};
inline constexpr TextPair TxtWatchClockSet{"Часы прибора установлены", "The instrument's clock was set"};
inline constexpr TextPair TxtWatchError{"Ошибка: %1", "Error: %1"};
inline constexpr TextPair TxtWatchStopped{"Остановлено", "Stopped"};
inline constexpr TextPair TxtWatchConfigUnreadable{"%1: файл не читается", "%1: the file cannot be read"};

/// The options of a watch run: `parsed` (from `typed`) with the settings file's options (WatchConfigPath)
/// that `typed` does not name. A settings file that cannot be read or parsed, or whose values the command
/// line refuses, is told on stderr in the language of `parsed` and gives nullopt (exit status 2); a
/// missing file leaves `parsed` as it is.
[[nodiscard]] std::optional<Options> WithWatchConfig(const QStringList &typed, Options parsed);

/// Runs until SIGINT or SIGTERM; ExitOk then. A download under way is cancelled; what was being written
/// is completed or left as it was. Failed downloads and saves are told and the watch goes on. Main thread,
/// with a QCoreApplication (a QGuiApplication for --summary).
[[nodiscard]] int RunWatch(const Options &options, const Streams &streams);

} // namespace velda::cli
