// Paints the printed report page by page with QPainter, for the print preview, a printer or a PDF file.
#pragma once

#include "base/ArchiveTable.h"
#include "base/PdfFile.h"
#include "base/Result.h"

#include <QString>
#include <QStringList>

class QPagedPaintDevice;
class QPainter;

namespace velda {

/// What a report prints: the title and the lines (entry 0 the header line), with the row count the
/// detail cursor runs over.
struct ReportDocument {
    QString title;
    QStringList lines;
    int rowCount = 0;
};

/// Builds the report of `table` now: title in the current language and formats, lines, row count.
[[nodiscard]] ReportDocument MakeReportDocument(const ArchiveTable &table);

/// Sets `device` to A4 landscape with 10 mm margins.
void SetUpReportPage(QPagedPaintDevice &device);

/// Paints every page of `document` on `device` through `painter` (already begun on it): on each page the
/// title and header line in the page header, the detail lines, and the page number in the footer. Runs
/// one full pass of the detail cursor (from 0, for this document's row count). Returns the page count.
int PaintReport(QPainter &painter, QPagedPaintDevice &device, const ReportDocument &document);
/// Paints the report of `table` titled `title` as PaintReport does for its document, making each line only
/// when it is printed, so that the memory the pass takes does not grow with the table.
int PaintReport(QPainter &painter, QPagedPaintDevice &device, const QString &title,
                const ArchiveTable &table);

struct ReportPdfSummary {
    int pageCount = 0;
};
using ReportPdfResult = Result<ReportPdfSummary, PdfError>;

/// Writes the report of `document` as a PDF file `fileName`; the file is replaced only by a complete
/// document. Needs a QGuiApplication (the offscreen platform will do); GUI thread only.
[[nodiscard]] ReportPdfResult WriteReportPdf(const ReportDocument &document, const QString &fileName);
/// The same for the report of `table` (title in the current language and formats, made now); the pages
/// go to the file as they are painted, each line made when it is printed.
[[nodiscard]] ReportPdfResult WriteReportPdf(const ArchiveTable &table, const QString &fileName);

} // namespace velda
