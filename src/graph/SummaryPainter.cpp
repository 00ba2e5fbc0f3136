// Painting of the summary report: per channel a title, the chart as the graph window draws it by default
// with dashed limit lines, and the statistics table.
#include "graph/SummaryPainter.h"

#include "base/PdfFile.h"
#include "base/SharedTexts.h"
#include "graph/GraphInteraction.h"
#include "graph/GraphModel.h"
#include "graph/LimitLines.h"
#include "graph/StatsTexts.h"

#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace velda {
namespace {

constexpr double kMarginMm = 10;
constexpr double kTitlePt = 14;
constexpr double kTextPt = 9;
constexpr double kTablePt = 7.5;
constexpr double kChartShare = 0.5; // of the page height below the title lines
constexpr int kTimeTicks = 6;
constexpr int kValueTicks = 8;
constexpr int kLineWidthPx = 3;

QFont SansFont(double points, bool bold = false) {
    QFont font;
    font.setFamilies(
        {QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QColor ToColour(Rgb rgb) {
    return QColor::fromRgb(static_cast<QRgb>(rgb) | 0xFF000000u);
}

QString TimeLabel(double days, const SystemFormats &formats) {
    const auto seconds = static_cast<Stamp>(std::llround(days * 86400.0));
    return FormatTimeCell(StampTime(seconds), formats) + QLatin1Char('\n') +
           FormatDateCell(StampDate(seconds), formats);
}

struct Range {
    double lo = 0;
    double hi = 0;
    bool valid = false;
    void take(double v) {
        lo = valid ? std::min(lo, v) : v;
        hi = valid ? std::max(hi, v) : v;
        valid = true;
    }
};

// The chart of one channel: its shown lines, their limits, a value axis on the left and time below.
void PaintChart(QPainter &painter, const QRectF &area, const GraphModel &model, int ch, const Limits &limits,
                const SummaryInput &input) {
    std::vector<int> shown;
    Range x;
    Range y;
    for (int i = ch * 3; i < ch * 3 + 3; ++i) {
        const SeriesState &s = model.series(i);
        if (!s.active || s.points.empty()) continue;
        shown.push_back(i);
        x.take(s.points.front().x);
        x.take(s.points.back().x);
        for (const GraphPoint &p : s.points)
            y.take(p.y);
    }
    painter.save();
    painter.setFont(SansFont(kTextPt));
    const QFontMetricsF metrics(painter.font(), painter.device());
    if (shown.empty()) {
        painter.drawText(area, Qt::AlignCenter, PickIn(TxtSummaryNoData, input.language));
        painter.restore();
        return;
    }
    std::vector<LimitLine> lines;
    for (const LimitLine &line : LimitLinesFor(model, limits)) {
        if (line.series / 3 != ch) continue;
        lines.push_back(line);
        y.take(line.value);
    }
    if (y.hi - y.lo <= 0) {
        y.lo -= 1;
        y.hi += 1;
    }
    const double pad = (y.hi - y.lo) * 0.05;
    y.lo -= pad;
    y.hi += pad;
    if (x.hi - x.lo <= 0) {
        x.lo -= 0.5 / 24;
        x.hi += 0.5 / 24;
    }

    const double lineHeight = metrics.height();
    const double labelWidth = metrics.horizontalAdvance(QStringLiteral("-00000.00")) + lineHeight * 2.5;
    const QRectF plot(area.left() + labelWidth, area.top() + lineHeight * 0.5,
                      area.width() - labelWidth - lineHeight, area.height() - lineHeight * 3.5);
    const auto px = [&](double v) { return plot.left() + (v - x.lo) / (x.hi - x.lo) * plot.width(); };
    const auto py = [&](double v) { return plot.bottom() - (v - y.lo) / (y.hi - y.lo) * plot.height(); };
    const double unit = std::max(1.0, painter.device()->logicalDpiX() / 300.0);

    painter.setPen(QPen(Qt::black, unit));
    painter.drawRect(plot);
    // Value ticks and grid.
    const double step = NiceTickInterval(y.hi - y.lo, kValueTicks);
    if (step > 0) {
        for (double v = std::ceil(y.lo / step) * step; v <= y.hi; v += step) {
            const double at = py(v);
            painter.setPen(QPen(QColor(220, 220, 220), unit));
            painter.drawLine(QPointF(plot.left(), at), QPointF(plot.right(), at));
            painter.setPen(QPen(Qt::black, unit));
            const QString label =
                CellFormat(std::abs(v) < step / 1e6 ? 0.0 : v, input.formats.decimalSeparator);
            painter.drawText(
                QRectF(area.left(), at - lineHeight / 2, labelWidth - lineHeight * 0.3, lineHeight),
                Qt::AlignRight | Qt::AlignVCenter, label);
        }
    }
    // Time labels: the time above the date, as on the graph's axis.
    for (int k = 0; k <= kTimeTicks; ++k) {
        const double v = x.lo + (x.hi - x.lo) * k / kTimeTicks;
        const double at = px(v);
        painter.drawLine(QPointF(at, plot.bottom()), QPointF(at, plot.bottom() + lineHeight * 0.3));
        const QRectF box(at - labelWidth, plot.bottom() + lineHeight * 0.4, labelWidth * 2, lineHeight * 2.2);
        painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop, TimeLabel(v, input.formats));
    }
    // The axis title, turned by 90 degrees.
    QString title = model.axis(ch == 0 ? ValueAxis::Left : ValueAxis::Right).title;
    title.replace(QLatin1Char('\r'), QStringLiteral(" / "));
    painter.save();
    painter.translate(area.left(), plot.center().y());
    painter.rotate(-90);
    painter.drawText(QRectF(-plot.height() / 2, 0, plot.height(), lineHeight * 1.2), Qt::AlignCenter, title);
    painter.restore();

    painter.setClipRect(plot);
    for (int i : shown) {
        const SeriesState &s = model.series(i);
        QPainterPath path;
        path.moveTo(px(s.points.front().x), py(s.points.front().y));
        for (const GraphPoint &p : s.points)
            path.lineTo(px(p.x), py(p.y));
        painter.setPen(QPen(ToColour(s.colour), unit * kLineWidthPx / 2.0));
        painter.drawPath(path);
    }
    for (const LimitLine &line : lines) {
        QPen pen(ToColour(line.colour), unit * kLineWidthPx, Qt::DashLine);
        painter.setPen(pen);
        painter.drawLine(QPointF(plot.left(), py(line.value)), QPointF(plot.right(), py(line.value)));
    }
    painter.restore();
}

// The statistics sheet of a channel as a ruled table; long sheets shrink their font to fit the width.
void PaintSheet(QPainter &painter, const QRectF &area, const StatsSheet &sheet) {
    painter.save();
    QFont font = SansFont(kTablePt);
    std::vector<double> widths;
    double total = 0;
    for (int attempt = 0; attempt < 4; ++attempt) {
        const QFontMetricsF m(font, painter.device());
        widths.assign(sheet.rows.empty() ? 0 : static_cast<std::size_t>(sheet.rows.front().size()), 0);
        for (const QStringList &row : sheet.rows)
            for (qsizetype c = 0; c < row.size() && static_cast<std::size_t>(c) < widths.size(); ++c)
                widths[static_cast<std::size_t>(c)] = std::max(
                    widths[static_cast<std::size_t>(c)], m.horizontalAdvance(row[c]) + m.height() * 0.6);
        total = std::accumulate(widths.begin(), widths.end(), 0.0);
        if (total <= area.width()) break;
        font.setPointSizeF(font.pointSizeF() * area.width() / total);
    }
    painter.setFont(font);
    const QFontMetricsF m(font, painter.device());
    const double rowHeight =
        std::min(m.height() * 1.3, area.height() / std::max<std::size_t>(1, sheet.rows.size()));
    const double unit = std::max(1.0, painter.device()->logicalDpiX() / 600.0);
    double top = area.top();
    for (std::size_t r = 0; r < sheet.rows.size(); ++r) {
        double left = area.left();
        painter.setPen(QPen(QColor(160, 160, 160), unit));
        painter.drawLine(QPointF(area.left(), top + rowHeight),
                         QPointF(area.left() + total, top + rowHeight));
        painter.setPen(Qt::black);
        const QStringList &row = sheet.rows[r];
        for (qsizetype c = 0; c < row.size() && static_cast<std::size_t>(c) < widths.size(); ++c) {
            const double w = widths[static_cast<std::size_t>(c)];
            const QRectF cell(left + m.height() * 0.3, top, w - m.height() * 0.6, rowHeight);
            painter.drawText(cell, (c == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter, row[c]);
            left += w;
        }
        top += rowHeight;
    }
    painter.restore();
}

} // namespace

void SetUpSummaryPage(QPagedPaintDevice &device) {
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                     QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                     QPageLayout::Millimeter));
}

int PaintSummary(QPainter &painter, QPagedPaintDevice &device, const SummaryInput &input) {
    const ArchiveTable &table = *input.table;
    const std::vector<ChannelSlot> slots =
        ChannelSlotsOf(table, input.channel1Present, input.channel2Present);
    const ArchiveStatistics stats =
        ComputeStatistics(table, slots, input.formats, input.settings.limits, input.settings.mktActivationK);
    const std::vector<StatsSheet> sheets = MakeStatsSheets(stats, input.language, input.formats);

    // The chart as the graph window builds it, on a copy: the construction sorts the rows.
    ArchiveTable copy = table;
    GraphModel model(input.language);
    const bool has1 =
        std::any_of(slots.begin(), slots.end(), [](const ChannelSlot &s) { return s.channel == 1; });
    const bool has2 =
        std::any_of(slots.begin(), slots.end(), [](const ChannelSlot &s) { return s.channel == 2; });
    (void)model.build(copy, has1, has2, input.archiveFormat, input.formats);

    const QRectF page(QPointF(0, 0), device.pageLayout().paintRectPixels(device.logicalDpiX()).size());
    const QString name = input.fileName.isEmpty() ? PickIn(TxtArchiveTitle, input.language).trimmed()
                                                  : QFileInfo(input.fileName).fileName();
    const QString title = PickIn(TxtSummaryTitle, input.language).arg(name);
    const QFont titleFont = SansFont(kTitlePt, true);
    const QFont textFont = SansFont(kTextPt);
    const double titleHeight = QFontMetricsF(titleFont, &device).height();
    const double textHeight = QFontMetricsF(textFont, &device).height();

    int pages = 0;
    const auto newPage = [&] {
        if (pages++ > 0) device.newPage();
    };
    for (const StatsSheet &sheet : sheets) {
        newPage();
        Range period;
        for (const QuantityStats &s : stats.groups) {
            if (s.channel != sheet.channel) continue;
            period.take(static_cast<double>(s.first));
            period.take(static_cast<double>(s.last));
        }
        painter.setPen(Qt::black);
        painter.setFont(titleFont);
        painter.drawText(QRectF(0, 0, page.width(), titleHeight), Qt::AlignLeft | Qt::AlignVCenter,
                         title + QStringLiteral(" — ") +
                             PickIn(sheet.channel == 2 ? TxtChannel2 : TxtChannel1, input.language));
        painter.setFont(textFont);
        painter.drawText(QRectF(0, titleHeight, page.width(), textHeight), Qt::AlignLeft | Qt::AlignVCenter,
                         PickIn(TxtSummaryPeriod, input.language)
                             .arg(FormatStamp(static_cast<Stamp>(period.lo), input.formats),
                                  FormatStamp(static_cast<Stamp>(period.hi), input.formats)));
        const double top = titleHeight + textHeight * 1.5;
        const double chartHeight = (page.height() - top) * kChartShare;
        PaintChart(painter, QRectF(0, top, page.width(), chartHeight), model, sheet.channel - 1,
                   input.settings.limits, input);
        PaintSheet(painter,
                   QRectF(0, top + chartHeight + textHeight, page.width(),
                          page.height() - top - chartHeight - textHeight),
                   sheet);
    }
    if (pages == 0) {
        newPage();
        painter.setFont(titleFont);
        painter.drawText(QRectF(0, 0, page.width(), titleHeight), Qt::AlignLeft | Qt::AlignVCenter, title);
        painter.setFont(textFont);
        painter.drawText(QRectF(0, titleHeight * 1.5, page.width(), textHeight), Qt::AlignLeft,
                         PickIn(TxtStatsNoValues, input.language));
    }
    return pages;
}

SummaryPdfResult WriteSummaryPdf(const SummaryInput &input, const QString &fileName) {
    const auto pages = WritePdfFile(
        fileName, PickIn(TxtSummaryTitle, input.language).arg(QFileInfo(input.fileName).fileName()),
        [](QPagedPaintDevice &page) { SetUpSummaryPage(page); },
        [&input](QPainter &painter, QPagedPaintDevice &page) { return PaintSummary(painter, page, input); });
    if (!pages) return pages.error();
    return pages.value();
}

} // namespace velda
