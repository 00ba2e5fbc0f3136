// Page painting of the printed report and its PDF output.
#include "export/ReportPainter.h"

#include "base/PdfFile.h"
#include "base/Texts.h"
#include "export/ReportLines.h"

#include <QDateTime>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QRawFont>

#include <cstdint>
#include <vector>

namespace velda {
namespace {

// Lucida Console where installed; DejaVu Sans Mono is always there on Linux and covers Cyrillic.
QStringList MonospaceFamilies() {
    return {QStringLiteral("Lucida Console"), QStringLiteral("DejaVu Sans Mono"),
            QStringLiteral("Liberation Mono")};
}

QFont MonospaceFont() {
    QFont font;
    font.setFamilies(MonospaceFamilies());
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

// Draws the report's fixed-pitch lines. A PDF carries every glyph with its own place, blanks included, and
// laying out a line as text costs more than printing it; so on a PDF device a line goes out as the glyphs
// of its printed characters, each where the text layout would put it (the sum of the advances before it:
// the named fixed-pitch fonts have neither kerning nor ligatures), and its blanks as room only. The page
// looks the same, reads back the same and is made in about half the time. A line holding a character
// the font lacks (the layout would take it from another font), a combining mark or right-to-left text is
// laid out as text, as on every other device, and so is every line when another font stands in.
class LinePainter {
public:
    LinePainter(QPainter &painter, const PlacedFont &font, QPaintDevice *device)
        : m_painter(painter), m_font(font) {
        if (painter.paintEngine() != nullptr && painter.paintEngine()->type() == QPaintEngine::Pdf &&
            painter.layoutDirection() != Qt::RightToLeft)
            m_raw = QRawFont::fromFont(QFont(font.font, device));
        if (!MonospaceFamilies().contains(m_raw.familyName(), Qt::CaseInsensitive)) m_raw = QRawFont();
        if (m_raw.isValid()) m_glyphs.resize(std::size_t{0x10000});
    }

    void draw(double x, double y, const QString &line) {
        if (!m_raw.isValid()) {
            DrawTextAt(m_painter, m_font, x, y, line);
            return;
        }
        m_indexes.clear();
        m_positions.clear();
        double pen = 0;
        for (const QChar c : line) {
            const Glyph &glyph = glyphOf(c.unicode());
            if (glyph.kind == Glyph::Kind::LaidOut) {
                DrawTextAt(m_painter, m_font, x, y, line);
                return;
            }
            if (glyph.kind == Glyph::Kind::Printed) {
                m_indexes.push_back(glyph.index);
                m_positions.emplace_back(pen, 0.0);
            }
            pen += glyph.advance;
        }
        if (m_indexes.empty()) return;
        QGlyphRun run;
        run.setRawFont(m_raw);
        run.setRawData(m_indexes.data(), m_positions.data(), static_cast<int>(m_indexes.size()));
        m_painter.drawGlyphRun(QPointF(x, y + m_font.ascent), run);
    }

private:
    struct Glyph {
        enum class Kind : std::uint8_t { Unknown, Printed, Blank, LaidOut };
        Kind kind = Kind::Unknown;
        quint32 index = 0;
        double advance = 0;
    };

    const Glyph &glyphOf(char16_t code) {
        Glyph &glyph = m_glyphs[code];
        if (glyph.kind != Glyph::Kind::Unknown) return glyph;
        // Control characters print as blanks, one for one (Printable).
        const bool blank = code <= 0x20 || code == 0x7F;
        const QChar c = blank ? QChar(u' ') : QChar(code);
        glyph.kind = blank ? Glyph::Kind::Blank : Glyph::Kind::Printed;
        if (c.isSurrogate() || c.isMark() || c.category() == QChar::Other_Format ||
            !LaysOutLeftToRight(c.direction()) || !m_raw.supportsCharacter(c))
            glyph.kind = Glyph::Kind::LaidOut;
        const QList<quint32> indexes = m_raw.glyphIndexesForString(QString(c));
        if (indexes.size() != 1 || indexes.front() == 0) glyph.kind = Glyph::Kind::LaidOut;
        if (glyph.kind == Glyph::Kind::LaidOut) return glyph;
        glyph.index = indexes.front();
        glyph.advance = m_raw.advancesForGlyphIndexes(indexes).front().x();
        return glyph;
    }

    // Directions that a left-to-right line keeps in their order: letters, digits and the neutrals among
    // them.
    static bool LaysOutLeftToRight(QChar::Direction direction) {
        switch (direction) {
        case QChar::DirL:
        case QChar::DirEN:
        case QChar::DirES:
        case QChar::DirET:
        case QChar::DirCS:
        case QChar::DirWS:
        case QChar::DirON:
            return true;
        default:
            return false;
        }
    }

    QPainter &m_painter;
    const PlacedFont &m_font;
    QRawFont m_raw;
    std::vector<Glyph> m_glyphs; ///< by UTF-16 code, filled as characters are met
    std::vector<quint32> m_indexes;
    std::vector<QPointF> m_positions;
};

// Paints the pages of a report whose line `index` (0 the header line) `lineAt(index)` makes, for
// `lineCount` lines and a detail cursor over `rowCount` rows.
template <typename LineAt>
int PaintPages(QPainter &painter, QPagedPaintDevice &device, const QString &title, int lineCount,
               int rowCount, const LineAt &lineAt) {
    // The painter's origin is the top-left corner of the printable area, inside the margins.
    const double unitsPerMm = device.logicalDpiY() / 25.4;
    const auto mm = [unitsPerMm](double v) { return v * unitsPerMm; };
    // The page as set up now: A4 landscape unless the user changed it in the preview or print dialog.
    const double paintHeightMm = device.pageLayout().paintRect(QPageLayout::Millimeter).height();
    const double bodyHeightMm = paintHeightMm > 0 ? paintHeightMm : report::kBodyHeightMm;
    const PlacedFont mono(MonospaceFont(), &device);
    const PlacedFont titleFont(TitleFont(), &device);
    LinePainter lines(painter, mono, &device);
    const int perPage = report::LinesPerPage(bodyHeightMm);
    const int pages = report::PageCount(lineCount, bodyHeightMm);
    const QString header = lineCount > 0 ? lineAt(0) : QString();

    painter.setPen(Qt::black);
    DetailCursor cursor(rowCount);
    int printed = 0;
    for (int page = 1; page <= pages; ++page) {
        if (page > 1) device.newPage();
        DrawTextAt(painter, titleFont, mm(report::kTitleLeftMm), 0, title);
        lines.draw(0, mm(report::kHeaderLineTopMm), header);
        double top = report::kHeaderBandMm;
        for (int i = 0; i < perPage && printed < lineCount; ++i, ++printed) {
            const int index = cursor.NextPrintIndex();
            if (index > 0 && index < lineCount) lines.draw(mm(report::kDetailLeftMm), mm(top), lineAt(index));
            top += report::kDetailBandMm;
        }
        const double footerTop = bodyHeightMm - report::kFooterBandMm;
        DrawTextAt(painter, titleFont, mm(report::kPageNumberLeftMm),
                   mm(footerTop + report::kPageNumberTopMm), QString::number(page));
    }
    return pages;
}

QString ReportTitleNow() {
    return ReportTitle(QDateTime::currentDateTime(), CurrentFormats(), LanguageIndex.load());
}

ReportPdfResult WritePdf(const QString &fileName, const QString &title,
                         const std::function<int(QPainter &, QPagedPaintDevice &)> &paint) {
    const auto pages = WritePdfFile(
        fileName, title, [](QPagedPaintDevice &page) { SetUpReportPage(page); }, paint);
    if (!pages) return pages.error();
    return ReportPdfSummary{pages.value()};
}

} // namespace

ReportDocument MakeReportDocument(const ArchiveTable &table) {
    return {ReportTitleNow(), MakeReportLines(table), table.rowCount()};
}

void SetUpReportPage(QPagedPaintDevice &device) {
    device.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                    QMarginsF(report::kMarginMm, report::kMarginMm, report::kMarginMm, report::kMarginMm),
                    QPageLayout::Millimeter));
}

int PaintReport(QPainter &painter, QPagedPaintDevice &device, const ReportDocument &document) {
    return PaintPages(painter, device, document.title, static_cast<int>(document.lines.size()),
                      document.rowCount, [&document](int index) { return document.lines[index]; });
}

int PaintReport(QPainter &painter, QPagedPaintDevice &device, const QString &title,
                const ArchiveTable &table) {
    return PaintPages(painter, device, title, table.rowCount(), table.rowCount(),
                      [&table](int index) { return ReportLine(table, index); });
}

ReportPdfResult WriteReportPdf(const ReportDocument &document, const QString &fileName) {
    return WritePdf(fileName, document.title, [&document](QPainter &painter, QPagedPaintDevice &page) {
        return PaintReport(painter, page, document);
    });
}

ReportPdfResult WriteReportPdf(const ArchiveTable &table, const QString &fileName) {
    const QString title = ReportTitleNow();
    return WritePdf(fileName, title, [&title, &table](QPainter &painter, QPagedPaintDevice &page) {
        return PaintReport(painter, page, title, table);
    });
}

} // namespace velda
