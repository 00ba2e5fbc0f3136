// velda9-cli's history: the `history` command and the storing of every download that `read` makes.
#pragma once

#include "base/Texts.h"
#include "cli/CliCommands.h"
#include "device/Exchange.h"

namespace velda::cli {

inline constexpr TextPair TxtHistoryListHeader{
    "Прибор\tПоказаний\tПервое показание\tПоследнее показание\tЗагрузок\tПоследняя загрузка",
    "Instrument\tReadings\tFirst reading\tLast reading\tDownloads\tLast download"};
inline constexpr TextPair TxtHistoryDownloadsHeader{"Загрузка\tСчитана\tЗаписей\tПрошивка\tИсточник",
                                                    "Download\tRead at\tRecords\tFirmware\tSource"};
inline constexpr TextPair TxtHistoryEmpty{"История пуста", "The history is empty"};
/// %1 readings, %2 file.
inline constexpr TextPair TxtHistoryExported{"Показаний: %1; сохранено в %2", "%1 readings; saved to %2"};
/// %1 file, %2 rows, %3 new readings, %4 instrument.
inline constexpr TextPair TxtHistoryImported{"%1: строк %2, новых %3; прибор «%4»",
                                             "%1: %2 rows, %3 new; instrument \"%4\""};
/// %1 instrument, %2 readings.
inline constexpr TextPair TxtHistoryForgotten{"Прибор «%1»: удалено показаний: %2",
                                              "Instrument \"%1\": %2 readings removed"};

/// Runs `history list | show | export | import | forget`. Downloads waiting in the queue or for the
/// server are taken up first. `export -o FILE.pdf` needs a QGuiApplication.
[[nodiscard]] int RunHistory(const Options &options, const Streams &streams);

/// Stores the records `read` received (unless --no-history) and says on `err` what became of them.
/// Returns ExitOk, or ExitFile when a history the user named (--history or VELDA9_HISTORY) did not take
/// the download; the embedded default failing is told but does not change the exit status, since the
/// project file was saved and the download is queued.
[[nodiscard]] int StoreReadInHistory(const Options &options, const ReceivedArchive &archive,
                                     const Streams &streams);

} // namespace velda::cli
