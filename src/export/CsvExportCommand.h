// The main window's "Save to CSV..." command: file dialog with delimiter and date choices, empty-table
// refusal, export with progress.
#pragma once

#include "base/ArchiveTable.h"
#include "base/SharedTexts.h"
#include "export/CsvExport.h"

#include <QObject>
#include <QString>

#include <optional>

class QFileDialog;
class QWidget;

namespace velda {

inline constexpr TextPair TxtCsvFilters{"Текст CSV (*.csv);;Все файлы (*)",
                                        "CSV text (*.csv);;All Files (*)"};
inline constexpr TextPair TxtCsvDelimiter{"Разделитель:", "Delimiter:"};
inline constexpr TextPair TxtCsvSemicolon{"точка с запятой ( ; )", "semicolon ( ; )"};
inline constexpr TextPair TxtCsvComma{"запятая ( , )", "comma ( , )"};
inline constexpr TextPair TxtCsvTab{"табуляция", "tab"};
inline constexpr TextPair TxtCsvIsoDate{"Даты в виде ГГГГ-ММ-ДД (для программ)",
                                        "Dates as YYYY-MM-DD (for scripts)"};

/// One per main window; remembers the file name, delimiter and date choice for the rest of the run.
/// GUI thread only.
class CsvExportCommand : public QObject {
    Q_OBJECT
public:
    explicit CsvExportCommand(QObject *parent = nullptr);

    /// Asks for a file name (with the delimiter, the locale's by default, and the date form), refuses an
    /// empty table with "Archive not read!", else writes the CSV on a worker thread behind a modal
    /// progress dialog with Cancel. `table` must stay unchanged until run() returns, which the modal
    /// dialogs guarantee. A failure shows "Export of the data - Error !!!" with the reason; a chosen name
    /// that cannot take the file, the open project `openProject` included, is refused so before any work.
    void run(QWidget *parent, const ArchiveTable &table, const QString &openProject = {});

    /// Builds the dialog run() shows for `table`; the caller owns it. Its delimiter box is named
    /// "CsvDelimiter" and its date check box "CsvIsoDate". The delimiter proposed is the user's last
    /// choice unless `table`'s cells carry it as their decimal separator; then, and before any choice,
    /// the one the command line takes (csv::DelimiterFor).
    [[nodiscard]] QFileDialog *createDialog(QWidget *parent, const ArchiveTable &table);

    [[nodiscard]] const std::optional<csv::ExportResult> &lastResult() const { return m_lastResult; }

private:
    QString m_fileName;
    std::optional<char> m_delimiter; ///< the user's last choice
    bool m_isoDate = false;
    std::optional<csv::ExportResult> m_lastResult;
};

} // namespace velda
