// The one-page-per-channel summary report: title, period, the channel's chart with its limits and the
// statistics table, painted with QPainter for the print preview, a printer or a PDF file.
#pragma once

#include "base/ArchiveTable.h"
#include "base/PdfFile.h"
#include "base/Result.h"
#include "base/SystemFormats.h"
#include "graph/Limits.h"
#include "graph/Statistics.h"

#include <QString>

#include <cstdint>

class QPagedPaintDevice;
class QPainter;

namespace velda {

/// What a summary is made of. The table is read, not changed (the chart is built on a copy).
struct SummaryInput {
    const ArchiveTable *table = nullptr;
    bool channel1Present = false;
    bool channel2Present = false;
    int archiveFormat = 0;
    QString fileName; ///< shown in the title; the archive's title when empty
    StatsSettings settings;
    std::uint8_t language = 0;
    SystemFormats formats;
};

/// Sets `device` to A4 landscape with 10 mm margins.
void SetUpSummaryPage(QPagedPaintDevice &device);

/// Paints one page per channel that has values (one page saying so when none has) on `device` through
/// `painter`, already begun on it. Returns the page count.
int PaintSummary(QPainter &painter, QPagedPaintDevice &device, const SummaryInput &input);

using SummaryPdfResult = Result<int, PdfError>; ///< the page count, or why it failed

/// Writes the summary as the PDF file `fileName`, replaced only by a complete document. Needs a
/// QGuiApplication (the offscreen platform will do); GUI thread only.
[[nodiscard]] SummaryPdfResult WriteSummaryPdf(const SummaryInput &input, const QString &fileName);

} // namespace velda
