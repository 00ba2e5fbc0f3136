// Chart pictures: one painter callback drawn onto an image, an SVG generator or a PDF page, written
// through a save file.
#include "graph/ChartPicture.h"

#include "base/FileWriter.h"
#include "base/SharedTexts.h"

#include <QBuffer>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCoreApplication>
#include <QDateTimeAxis>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace velda {
namespace {

constexpr int kPixelsPerInch = 96;
constexpr double kPointsPerPixel = 72.0 / kPixelsPerInch;

// The last name chosen in this run's picture dialog.
QString &LastPictureName() {
    static QString name;
    return name;
}

// The chart cuts a label or title that does not fit its room to "...".
bool IsCut(const QGraphicsTextItem *text) {
    return text->isVisible() && text->toPlainText().endsWith(QStringLiteral("..."));
}

// Where on the chart the cut texts are: for each side of the plot, whether a label or a title is cut.
struct CutTexts {
    bool labels[3] = {}; ///< below, left, right of the plot
    bool titles[3] = {};
    [[nodiscard]] bool any() const {
        return std::find(std::begin(labels), std::end(labels), true) != std::end(labels) ||
               std::find(std::begin(titles), std::end(titles), true) != std::end(titles);
    }
};

CutTexts FindCutTexts(QChart *chart) {
    CutTexts cut;
    const QRectF plot = chart->mapRectToScene(chart->plotArea());
    for (QGraphicsItem *item : chart->scene()->items()) {
        const auto *text = dynamic_cast<const QGraphicsTextItem *>(item);
        if (!text || !IsCut(text)) continue;
        const QPointF centre = text->sceneBoundingRect().center();
        const int side = centre.y() > plot.bottom() ? 0 : centre.x() < plot.left() ? 1 : 2;
        // The titles of the value axes are turned upright; labels are not.
        (text->rotation() != 0 && side != 0 ? cut.titles : cut.labels)[side] = true;
    }
    return cut;
}

// A smaller font for texts that are cut with the fewest labels already: false at the smallest size kept
// legible.
bool ShrinkFont(QAbstractAxis *axis, bool title) {
    constexpr qreal kSmallestPoints = 5.0;
    QFont font = title ? axis->titleFont() : axis->labelsFont();
    const qreal points = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 0.75;
    if (points <= kSmallestPoints) return false;
    font.setPointSizeF(std::max(kSmallestPoints, points * 0.85));
    title ? axis->setTitleFont(font) : axis->setLabelsFont(font);
    return true;
}

// How many labels fit along `length` pixels of `axis`: each needs its text (one line up a vertical axis,
// the widest line of `sample` across a horizontal one) with the chart's margins and padding around it.
int LabelsThatFit(const QAbstractAxis *axis, qreal length, const QString &sample) {
    constexpr qreal kTextMargins = 2 * 4 + 2 * 4 + 1; // the text item's margins, the label padding, rounding
    const QFontMetricsF metrics(axis->labelsFont());
    qreal room = metrics.height();
    if (axis->orientation() == Qt::Horizontal) {
        room = 0;
        for (const QString &line : sample.split(QStringLiteral("<br>")))
            room = std::max(room, metrics.horizontalAdvance(line));
    }
    return std::max(2, static_cast<int>(length / (room + kTextMargins)));
}

// Fewer labels on an axis whose labels are cut, while more are shown than fit along `length` pixels: the
// time axis fewer ticks, a value axis a wider step, a category axis every second label. Where that many
// still do not fit (labels too wide), the time axis drops its seconds and the year's first digits, then
// the font gets smaller. False when nothing is left to change.
bool ThinAxis(QAbstractAxis *axis, qreal length, const QLocale &locale) {
    if (auto *time = qobject_cast<QDateTimeAxis *>(axis)) {
        const int fit = LabelsThatFit(axis, length, locale.toString(time->max(), time->format()));
        if (time->tickCount() > fit) {
            time->setTickCount(fit);
            return true;
        }
        QString format = time->format();
        format.replace(QStringLiteral("hh:mm:ss"), QStringLiteral("hh:mm"));
        format.replace(QStringLiteral("yyyy"), QStringLiteral("yy"));
        if (format != time->format()) {
            time->setFormat(format);
            return true;
        }
    } else if (auto *categories = qobject_cast<QCategoryAxis *>(axis)) {
        const QStringList labels = categories->categoriesLabels();
        if (labels.size() > LabelsThatFit(axis, length, {})) {
            for (qsizetype i = 1; i < labels.size(); i += 2)
                categories->remove(labels.at(i));
            return true;
        }
    } else if (auto *values = qobject_cast<QValueAxis *>(axis)) {
        const int fit = LabelsThatFit(axis, length, {});
        if (values->tickType() == QValueAxis::TicksDynamic && values->tickInterval() > 0) {
            const double shown = (values->max() - values->min()) / values->tickInterval() + 1;
            if (shown > fit) {
                values->setTickInterval(values->tickInterval() * 2);
                return true;
            }
        } else if (values->tickCount() > fit) {
            values->setTickCount(fit);
            return true;
        }
    }
    return ShrinkFont(axis, false);
}

// Lays the chart out anew after a change of its axes.
void Relayout() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// Changes the axes until no label or title is cut to "...": labels thin out first, fonts get smaller
// only where two labels are still too many, and margins shrink on a small chart. Each step lays the
// chart out anew and looks at what it drew.
void FitTextsToChart(QChart *chart) {
    constexpr int kMaxSteps = 40;
    QAbstractAxis *sides[3] = {};
    for (QAbstractAxis *axis : chart->axes()) {
        const Qt::Alignment at = axis->alignment();
        sides[at == Qt::AlignBottom ? 0 : at == Qt::AlignLeft ? 1 : 2] = axis;
    }
    for (int step = 0; step < kMaxSteps; ++step) {
        const CutTexts cut = FindCutTexts(chart);
        if (!cut.any()) return;
        if (step == 0 && chart->margins() != QMargins(2, 2, 2, 2)) {
            chart->setMargins(QMargins(2, 2, 2, 2));
            Relayout();
            continue;
        }
        const QRectF plot = chart->plotArea();
        bool changed = false;
        for (int side = 0; side < 3; ++side) {
            if (!sides[side]) continue;
            const qreal length = side == 0 ? plot.width() : plot.height();
            if (cut.labels[side]) changed = ThinAxis(sides[side], length, chart->locale()) || changed;
            if (cut.titles[side]) changed = ShrinkFont(sides[side], true) || changed;
        }
        if (!changed) return;
        Relayout();
    }
}

const char *SuffixOf(PictureFormat format) {
    switch (format) {
    case PictureFormat::Png:
        return "png";
    case PictureFormat::Svg:
        return "svg";
    case PictureFormat::Pdf:
        break;
    }
    return "pdf";
}

} // namespace

std::optional<PictureFormat> PictureFormatOf(const QString &path) {
    for (const PictureFormat format : {PictureFormat::Png, PictureFormat::Svg, PictureFormat::Pdf})
        if (path.endsWith(QLatin1Char('.') + QLatin1String(SuffixOf(format)), Qt::CaseInsensitive))
            return format;
    return std::nullopt;
}

QSize PictureSizeFor(QSize shown, QSize box) {
    if (shown.width() <= 0 || shown.height() <= 0) return box;
    const double scale = std::min(static_cast<double>(box.width()) / shown.width(),
                                  static_cast<double>(box.height()) / shown.height());
    return QSize(std::max(1, static_cast<int>(std::lround(shown.width() * scale))),
                 std::max(1, static_cast<int>(std::lround(shown.height() * scale))));
}

PictureResult SaveChartPicture(const QString &path, QSize size, const QString &title,
                               const PicturePainter &paint) {
    const std::optional<PictureFormat> format = PictureFormatOf(path);
    if (!format)
        return PictureError{PictureError::Kind::WrongExtension,
                            QStringLiteral("the name does not end in .png, .svg or .pdf"), std::nullopt};
    if (size.isEmpty())
        return PictureError{
            PictureError::Kind::EmptySize,
            QStringLiteral("the picture size %1 x %2 is empty").arg(size.width()).arg(size.height()),
            std::nullopt};
    // The picture writers ignore short writes to their device, so the picture is made in memory and
    // the file written with every write checked.
    QBuffer file;
    file.open(QIODevice::WriteOnly);
    const QRectF target(QPointF(0, 0), QSizeF(size));

    bool written = true;
    switch (*format) {
    case PictureFormat::Png: {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(1);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::TextAntialiasing);
            paint(painter, target);
        }
        written = image.save(&file, "PNG");
        break;
    }
    case PictureFormat::Svg: {
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setResolution(kPixelsPerInch);
        svg.setTitle(title);
        QPainter painter;
        written = painter.begin(&svg);
        if (written) {
            paint(painter, target);
            written = painter.end();
        }
        break;
    }
    case PictureFormat::Pdf: {
        QPdfWriter pdf(&file);
        pdf.setTitle(title);
        pdf.setCreator(QStringLiteral("VELDA-9"));
        pdf.setResolution(kPixelsPerInch);
        pdf.setPageLayout(
            QPageLayout(QPageSize(QSizeF(size.width() * kPointsPerPixel, size.height() * kPointsPerPixel),
                                  QPageSize::Point, QString(), QPageSize::ExactMatch),
                        QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        QPainter painter;
        written = painter.begin(&pdf);
        if (written) {
            paint(painter, QRectF(painter.viewport()));
            written = painter.end();
        }
        break;
    }
    }
    if (!written)
        return PictureError{PictureError::Kind::NotDrawn, QStringLiteral("the picture could not be drawn"),
                            std::nullopt};
    if (const auto saved = WriteFileBytes(path, file.data()); !saved)
        return PictureError{PictureError::Kind::FileFailed, saved.error().reason(), saved.error()};
    return PictureSaved{QFileInfo(path).absoluteFilePath(), size};
}

PictureResult SaveChartViewPicture(QChartView *view, const QString &path, const QString &title) {
    const QSize size = PictureSizeFor(view->size());
    return SaveChartPicture(path, size, title, [view](QPainter &painter, const QRectF &target) {
        view->render(&painter, target, view->rect());
    });
}

PictureResult SaveChartAtSize(QChart *chart, const QString &path, QSize size, const QString &title) {
    chart->resize(QSizeF(size));
    // The chart lays out its axes and plot area on the layout request the resize posted.
    Relayout();
    FitTextsToChart(chart);
    return SaveChartPicture(path, size, title, [chart](QPainter &painter, const QRectF &target) {
        chart->scene()->render(&painter, target, chart->sceneBoundingRect());
    });
}

void SaveChartPictureWithDialog(QWidget *parent, QChartView *view, const WindowServices &services) {
    QFileDialog dialog(parent, Pick(TxtSavePicture));
    dialog.setObjectName(QStringLiteral("PictureDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QStringList filters = Pick(TxtPictureFilters).split(QStringLiteral(";;"));
    dialog.setNameFilters(filters);
    const std::optional<PictureFormat> last = PictureFormatOf(LastPictureName());
    const int chosenType = last ? static_cast<int>(*last) : 0;
    dialog.selectNameFilter(filters.at(chosenType));
    dialog.setDefaultSuffix(QLatin1String(SuffixOf(static_cast<PictureFormat>(chosenType))));
    QObject::connect(
        &dialog, &QFileDialog::filterSelected, &dialog, [&dialog, filters](const QString &filter) {
            const auto index = filters.indexOf(filter);
            if (index >= 0)
                dialog.setDefaultSuffix(QLatin1String(SuffixOf(static_cast<PictureFormat>(index))));
        });
    dialog.selectFile(LastPictureName().isEmpty() ? QStringLiteral("Graph.png") : LastPictureName());
    std::optional<QString> chosen = services.runFileDialog(dialog);
    if (!chosen) return;
    QString path = *chosen;
    if (!PictureFormatOf(path)) {
        const auto index = std::max<qsizetype>(filters.indexOf(dialog.selectedNameFilter()), 0);
        path += QLatin1Char('.') + QLatin1String(SuffixOf(static_cast<PictureFormat>(index)));
    }
    LastPictureName() = path;
    if (const std::optional<QString> refused = services.refusedTarget(path)) {
        services.showError(parent, Pick(TxtError), *refused);
        return;
    }
    const PictureResult result = SaveChartViewPicture(view, path, Pick(TxtGraph));
    if (!result.ok())
        services.showError(parent, Pick(TxtError), Pick(TxtPictureFailed).arg(path, result.error().reason));
}

} // namespace velda
