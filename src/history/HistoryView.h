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

inline constexpr TextPair TxtInstrumentNameCaption{"Новый прибор", "New instrument"};
inline constexpr TextPair TxtInstrumentNamePrompt{
    "Показания этой загрузки не совпадают ни с одним прибором истории. Имя прибора:",
    "The readings of this download match no instrument of the history. Instrument name:"};
inline constexpr TextPair TxtHistoryRename{"Переименовать...", "Rename..."};
inline constexpr TextPair TxtHistoryRenamePrompt{"Новое имя прибора «%1»:",
                                                 "New name of the instrument \"%1\":"};
/// %1 the name asked for.
inline constexpr TextPair TxtHistoryNameTaken{
    "Прибор с именем «%1» уже есть; выберите другое имя.",
    "An instrument named \"%1\" exists already; choose another name."};

/// How the main window names a download before it is stored.
struct DownloadNaming {
    QString instrument;  ///< the instrument its readings overlap; empty when none does
    QStringList offered; ///< when none does: the names to offer the user, the default first; empty when
                         ///< the history cannot be read (storing then reports why)
};

/// Asks the window's history which instrument `download` belongs to. GUI or any one thread.
[[nodiscard]] DownloadNaming NameWindowDownload(const HistoryDownload &download);

/// Stores `download` for `instrument` (empty: the overlapping one or the default) into the history
/// VELDA9_HISTORY or the default names (the local file first for a server). Returns a line for the status
/// bar when something went wrong, else the line saying where it went.
[[nodiscard]] QString StoreWindowDownload(const HistoryDownload &download, const QString &instrument);

/// Stores what waits in the queue and pushes what a server has not received yet (at the window's start);
/// one line naming the problems met, empty when there were none. May run on any thread.
[[nodiscard]] QString FlushWindowHistory();

/// The history the window reads: VELDA9_HISTORY, or the default file.
[[nodiscard]] HistoryResult<std::unique_ptr<HistoryStore>> OpenWindowHistory();

} // namespace velda
