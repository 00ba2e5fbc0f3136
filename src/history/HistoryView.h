// What the History window and the main window's history items show and do, without widgets: texts, the
// setting that turns the history on, the cells of the instrument and download lists, the question asked
// before forgetting, and storing a download the main window has read.
#pragma once

#include "base/Texts.h"
#include "device/Exchange.h"
#include "history/HistoryStore.h"

#include <QStringList>

#include <optional>

namespace velda {

inline constexpr TextPair TxtHistoryMenu{"История...", "History..."};
inline constexpr TextPair TxtKeepHistory{"Записывать загрузки в историю", "Keep downloads in the history"};
inline constexpr TextPair TxtHistoryCaption{"История загрузок", "Download history"};
inline constexpr TextPair TxtHistoryInstrumentColumns{
    "Прибор|Первое показание|Последнее показание|Показаний|Последняя загрузка",
    "Instrument|First reading|Last reading|Readings|Last download"};
inline constexpr TextPair TxtHistoryDownloadColumns{"Загрузка|Считана|Записей|Прошивка|Источник",
                                                    "Download|Read at|Records|Firmware|Source"};
inline constexpr TextPair TxtHistoryFrom{"С", "From"};
inline constexpr TextPair TxtHistoryTo{"по", "to"};
inline constexpr TextPair TxtHistoryOpen{"Открыть в таблице", "Open in table"};
inline constexpr TextPair TxtHistoryImport{"Импорт...", "Import..."};
inline constexpr TextPair TxtHistoryForgetDownload{"Забыть загрузку...", "Forget download..."};
inline constexpr TextPair TxtHistoryForgetInstrument{"Забыть прибор...", "Forget instrument..."};
inline constexpr TextPair TxtHistoryClose{"Закрыть", "Close"};
inline constexpr TextPair TxtHistoryImportName{"Имя прибора для импортируемых строк:",
                                               "Instrument name for the imported rows:"};
/// %1 instrument, %2 readings.
inline constexpr TextPair TxtForgetInstrumentQuestion{
    "Забыть прибор «%1»? Будут удалены все его загрузки и показания: %2.",
    "Forget the instrument \"%1\"? All its downloads and its %2 readings will be removed."};
/// %1 download, %2 instrument, %3 readings.
inline constexpr TextPair TxtForgetDownloadQuestion{
    "Забыть загрузку %1 прибора «%2»? Будут удалены показания, которых нет в других загрузках: %3.",
    "Forget download %1 of \"%2\"? The %3 readings no other download holds will be removed."};

/// Whether downloads go into the history (the menu's check item); on unless turned off. Kept in the
/// user's settings.
[[nodiscard]] bool HistoryEnabled();
void SetHistoryEnabled(bool enabled);

/// The cells of an instrument's row and of a download's row, in the order of the column texts above.
[[nodiscard]] QStringList InstrumentCells(const InstrumentSummary &instrument);
[[nodiscard]] QStringList DownloadCells(const DownloadSummary &download);

/// The confirmation asked before forgetting, or why the store cannot say how many readings would go.
[[nodiscard]] HistoryResult<QString> ForgetQuestion(HistoryStore &store, const QString &instrument,
                                                    std::optional<qint64> downloadId);

/// Stores the records of a download the main window read into the history VELDA9_HISTORY or the default
/// names (the local file first for a server). Returns a line for the status bar when something went
/// wrong, else the line saying where it went.
[[nodiscard]] QString StoreWindowDownload(const ReceivedArchive &archive);

/// The history the window reads: VELDA9_HISTORY, or the default file.
[[nodiscard]] HistoryResult<std::unique_ptr<HistoryStore>> OpenWindowHistory();

} // namespace velda
