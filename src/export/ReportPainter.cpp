// Page painting of the printed report and its PDF output.
#include "export/ReportPainter.h"

#include "base/PdfFile.h"
#include "base/Texts.h"
#include "export/ReportLines.h"

#include <QDateTime>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>

namespace velda {
namespace {

QFont MonospaceFont() {
    QFont font;
    // Lucida Console where installed; DejaVu Sans Mono is always there on Linux and covers Cyrillic.
    font.setFamilies({QStringLiteral("Lucida Console"), QStringLiteral("DejaVu Sans Mono"),
                      QStringLiteral("Liberation Mono")});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSize(report::kDetailFontPt);
    return font;
}

QFont TitleFont() {
    QFont font;
    font.setFamilies(
        {QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(report::kTitleFontPt);
    return font;
}

// A line is drawn on one text row: control characters inside a cell would break it, so they show as
// blanks (one character for one, keeping the columns in place).
QString Printable(QString text) {
    for (QChar &c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) c = QLatin1Char(' ');
    }
    return text;
}

// A font with its ascent on the device, so a text can be placed by the top of its line.
struct PlacedFont {
    QFont font;
    double ascent = 0;
    PlacedFont(const QFont &f, QPaintDevice *device) : font(f), ascent(QFontMetricsF(f, device).ascent()) {}
};

void DrawTextAt(QPainter &painter, const PlacedFont &placed, double x, double y, const QString &text) {
    if (painter.font() != placed.font) painter.setFont(placed.font);
    painter.drawText(QPointF(x, y + placed.ascent), Printable(text));
}

} // namespace

ReportDocument MakeReportDocument(const ArchiveTable &table) {
    return {ReportTitle(QDateTime::currentDateTime(), CurrentFormats(), LanguageIndex.load()),
            MakeReportLines(table), table.rowCount()};
}

void SetUpReportPage(QPagedPaintDevice &device) {
    device.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                    QMarginsF(report::kMarginMm, report::kMarginMm, report::kMarginMm, report::kMarginMm),
                    QPageLayout::Millimeter));
}

int PaintReport(QPainter &painter, QPagedPaintDevice &device, const ReportDocument &document) {
    // The painter's origin is the top-left corner of the printable area, inside the margins.
    const double unitsPerMm = device.logicalDpiY() / 25.4;
    const auto mm = [unitsPerMm](double v) { return v * unitsPerMm; };
    // The page as set up now: A4 landscape unless the user changed it in the preview or print dialog.
    const double paintHeightMm = device.pageLayout().paintRect(QPageLayout::Millimeter).height();
    const double bodyHeightMm = paintHeightMm > 0 ? paintHeightMm : report::kBodyHeightMm;
    const PlacedFont mono(MonospaceFont(), &device);
    const PlacedFont title(TitleFont(), &device);
    const int perPage = report::LinesPerPage(bodyHeightMm);
    const int lineCount = static_cast<int>(document.lines.size());
    const int pages = report::PageCount(lineCount, bodyHeightMm);
    const QString header = QRExpr2Print(document.lines);

    painter.setPen(Qt::black);
    DetailCursor cursor(document.rowCount);
    int printed = 0;
    for (int page = 1; page <= pages; ++page) {
        if (page > 1) device.newPage();
        DrawTextAt(painter, title, mm(report::kTitleLeftMm), 0, document.title);
        DrawTextAt(painter, mono, 0, mm(report::kHeaderLineTopMm), header);
        double top = report::kHeaderBandMm;
        for (int i = 0; i < perPage && printed < lineCount; ++i, ++printed) {
            DrawTextAt(painter, mono, mm(report::kDetailLeftMm), mm(top),
                       cursor.QRExpr1Print(document.lines));
            top += report::kDetailBandMm;
        }
        const double footerTop = bodyHeightMm - report::kFooterBandMm;
        DrawTextAt(painter, title, mm(report::kPageNumberLeftMm), mm(footerTop + report::kPageNumberTopMm),
                   QString::number(page));
    }
    return pages;
}

ReportPdfResult WriteReportPdf(const ReportDocument &document, const QString &fileName) {
    if (fileName.trimmed().isEmpty())
        return PdfError{PdfError::Kind::NoFileName, QStringLiteral("No file name given for the report"),
                        std::nullopt};
    const auto pages = WritePdfFile(
        fileName, document.title, [](QPagedPaintDevice &page) { SetUpReportPage(page); },
        [&document](QPainter &painter, QPagedPaintDevice &page) {
            return PaintReport(painter, page, document);
        });
    if (!pages) return pages.error();
    return ReportPdfSummary{pages.value()};
}

ReportPdfResult WriteReportPdf(const ArchiveTable &table, const QString &fileName) {
    return WriteReportPdf(MakeReportDocument(table), fileName);
}

} // namespace velda
