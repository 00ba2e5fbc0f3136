// The main window's "Save to spreadsheet" command: file dialog, empty-table refusal, export with progress.
#pragma once

#include "base/ArchiveTable.h"
#include "export/BackgroundExport.h"
#include "export/SpreadsheetExport.h"

#include <QObject>
#include <QString>

#include <optional>

class QFileDialog;
class QWidget;

namespace velda {

/// Runs `job` on a worker thread while a modal progress dialog titled `title` (with Cancel) shows how many
/// of `rowsTotal` rows it wrote; returns its result. Whatever the job reads must stay unchanged until this
/// returns, which the modal dialog guarantees for the main window's table. GUI thread.
[[nodiscard]] xlsx::ExportResult ExportWithProgressDialog(QWidget *parent, const QString &title,
                                                          int rowsTotal, xlsx::BackgroundExport::Job job);

/// One per main window; remembers the dialog's file name for the rest of the run. GUI thread only.
/// Checks `chosen` as an export's output that must not be `openProject`; on a refusal shows the export's
/// error box and returns the error as an export result. GUI thread.
[[nodiscard]] std::optional<xlsx::ExportResult> RefuseExportTarget(const QString &chosen,
                                                                   const QString &openProject);

class SpreadsheetExportCommand : public QObject {
    Q_OBJECT
public:
    explicit SpreadsheetExportCommand(QObject *parent = nullptr);

    /// Save1Click: asks for a file name (types .xls, .xlsx, all files; "Arhive" on first use), refuses an
    /// empty table with "Archive not read!", else writes the workbook on a worker thread while a modal
    /// progress dialog (with Cancel) shows how far it got. `table` must stay unchanged until run() returns,
    /// which the modal dialogs guarantee. On success the remembered name is cleared; on failure an error
    /// box says "Export of the data - Error !!!" with the reason, and the name is kept. A chosen name that
    /// cannot take the workbook (CheckOutputTarget), the open project `openProject` included, is refused
    /// with that box before any work.
    void run(QWidget *parent, const ArchiveTable &table, const QString &openProject = {});

    /// The name the dialog offers next.
    [[nodiscard]] const QString &fileName() const { return m_fileName; }

    /// The outcome of the last export run() started (none when it stopped before writing).
    [[nodiscard]] const std::optional<xlsx::ExportResult> &lastResult() const { return m_lastResult; }

    /// Builds the save dialog run() shows, offering `fileName()`; the caller owns it.
    [[nodiscard]] QFileDialog *createSaveDialog1(QWidget *parent);

private:
    void SaveDialog1TypeChange(QFileDialog *dialog, const QString &filter);
    [[nodiscard]] xlsx::ExportResult exportWithProgress(QWidget *parent, const ArchiveTable &table,
                                                        const QString &fileName);

    QString m_fileName;
    QString m_folder;
    std::optional<xlsx::ExportResult> m_lastResult;
};

} // namespace velda
