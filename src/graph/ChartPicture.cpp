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
#include <QImage>
#include <QMessageBox>
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

// Room one label of `axis` needs along the axis: its widest line across a horizontal axis, a line and a
// half up a vertical one.
qreal LabelRoom(const QAbstractAxis *axis, const QString &sample) {
    const QFontMetricsF metrics(axis->labelsFont());
    if (axis->orientation() == Qt::Vertical) return 1.5 * metrics.height();
    qreal widest = 0;
    for (const QString &line : sample.split(QStringLiteral("<br>")))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    return widest + 2 * metrics.averageCharWidth();
}

// Fewer ticks where the chart is too small for its labels, which the chart would otherwise cut to "…":
// the time axis takes as many ticks as labels fit, a value axis a wider step, a category axis every
// second (third, ...) label. True when an axis changed.
bool ThinLabelsToFit(QChart *chart) {
    const QRectF plot = chart->plotArea();
    bool changed = false;
    for (QAbstractAxis *axis : chart->axes()) {
        const qreal length = axis->orientation() == Qt::Vertical ? plot.height() : plot.width();
        if (length <= 0) continue;
        if (auto *time = qobject_cast<QDateTimeAxis *>(axis)) {
            const QString sample = chart->locale().toString(time->max(), time->format());
            const int fit = std::max(2, static_cast<int>(length / LabelRoom(axis, sample)) + 1);
            if (fit < time->tickCount()) {
                time->setTickCount(fit);
                changed = true;
            }
        } else if (auto *categories = qobject_cast<QCategoryAxis *>(axis)) {
            const QStringList labels = categories->categoriesLabels();
            const auto fit = std::max<qsizetype>(2, static_cast<qsizetype>(length / LabelRoom(axis, {})));
            if (labels.size() <= fit) continue;
            const qsizetype step = (labels.size() + fit - 1) / fit;
            for (qsizetype i = 0; i < labels.size(); ++i)
                if (i % step != 0) categories->remove(labels.at(i));
            changed = true;
        } else if (auto *values = qobject_cast<QValueAxis *>(axis)) {
            const QString sample = chart->localizeNumbers() ? chart->locale().toString(values->max(), 'f', 2)
                                                            : QString::number(values->max(), 'f', 2);
            const int fit = std::max(2, static_cast<int>(length / LabelRoom(axis, sample)) + 1);
            if (values->tickType() == QValueAxis::TicksDynamic && values->tickInterval() > 0) {
                const double span = values->max() - values->min();
                double interval = values->tickInterval();
                while (span / interval + 1 > fit)
                    interval *= 2;
                if (interval != values->tickInterval()) {
                    values->setTickInterval(interval);
                    changed = true;
                }
            } else if (fit < values->tickCount()) {
                values->setTickCount(fit);
                changed = true;
            }
        }
    }
    return changed;
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
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    if (ThinLabelsToFit(chart)) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
    return SaveChartPicture(path, size, title, [chart](QPainter &painter, const QRectF &target) {
        chart->scene()->render(&painter, target, chart->sceneBoundingRect());
    });
}

void SaveChartPictureWithDialog(QWidget *parent, QChartView *view) {
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
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    QString path = dialog.selectedFiles().front();
    if (!PictureFormatOf(path)) {
        const auto index = std::max<qsizetype>(filters.indexOf(dialog.selectedNameFilter()), 0);
        path += QLatin1Char('.') + QLatin1String(SuffixOf(static_cast<PictureFormat>(index)));
    }
    LastPictureName() = path;
    const PictureResult result = SaveChartViewPicture(view, path, Pick(TxtGraph));
    if (!result.ok()) {
        QMessageBox box(QMessageBox::Critical, Pick(TxtError),
                        Pick(TxtPictureFailed).arg(path, result.error().reason), QMessageBox::Ok);
        box.setObjectName(QStringLiteral("PictureMessage"));
        box.exec();
    }
}

} // namespace velda
