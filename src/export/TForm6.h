// The report form: holds the report of the archive table as it was when the form was made, and shows it
// in a modal print preview from which the user prints or saves a PDF.
#pragma once

#include "base/ArchiveTable.h"
#include "base/WindowServices.h"
#include "export/ReportPainter.h"

#include <QWidget>

#include <memory>

class QPrinter;
class QPrintPreviewDialog;

namespace velda {

/// Created by the main window's Print1 command for each report; never shown itself, it lives until its
/// parent goes (program end). GUI thread only.
class TForm6 : public QWidget {
    Q_OBJECT
public:
    /// Takes the title (current language, date and time), the lines and the row count from `table` now,
    /// and starts the detail cursor for this report. `services` name the open project, which a report
    /// printed to a PDF file may not replace, and show that refusal.
    TForm6(const ArchiveTable &table, QWidget *parent, WindowServices services = DefaultWindowServices());
    ~TForm6() override;

    /// Shows the report in the modal print preview; returns when the preview closes.
    void showPreview();

    /// The preview dialog showPreview() runs, not yet shown (the caller owns it).
    [[nodiscard]] QPrintPreviewDialog *createPreviewDialog();

    [[nodiscard]] const ReportDocument &document() const { return m_document; }
    [[nodiscard]] QPrinter &printer() { return *m_printer; }

    /// Paints every page on `printer` (preview pages or a real print job).
    void QuickRep1Print(QPrinter *printer);

private:
    WindowServices m_services;
    ReportDocument m_document;
    std::unique_ptr<QPrinter> m_printer;
};

} // namespace velda
