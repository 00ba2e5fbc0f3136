// Pictures of the graph window's chart: PNG, SVG with texts as text, and a one-page PDF.
#pragma once

#include "base/FileWriter.h"
#include "base/Result.h"
#include "base/Texts.h"
#include "base/WindowServices.h"

#include <QRectF>
#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

class QChart;
class QChartView;
class QPainter;
class QWidget;

namespace velda {

inline constexpr TextPair TxtSavePicture{"Сохранить рисунок...", "Save picture..."};
inline constexpr TextPair TxtPictureFilters{"Рисунок PNG (*.png);;Рисунок SVG (*.svg);;Документ PDF (*.pdf)",
                                            "PNG picture (*.png);;SVG picture (*.svg);;PDF document (*.pdf)"};
/// %1 the file, %2 the reason.
inline constexpr TextPair TxtPictureFailed{"Рисунок не сохранён в %1: %2",
                                           "The picture was not saved to %1: %2"};

/// Size of a chart picture when none is asked for.
inline constexpr QSize kDefaultPictureSize{1600, 1000};

enum class PictureFormat { Png, Svg, Pdf };

/// The format a file name asks for by its extension (any case); nullopt for another extension.
[[nodiscard]] std::optional<PictureFormat> PictureFormatOf(const QString &path);

/// The picture size for a chart shown at `shown`: as large as fits in `box` with the shown aspect.
[[nodiscard]] QSize PictureSizeFor(QSize shown, QSize box = kDefaultPictureSize);

struct PictureSaved {
    QString fileName;
    QSize size;
};
/// Why a picture was not saved.
struct PictureError {
    enum class Kind : std::uint8_t {
        WrongExtension, ///< the name ends in none of .png, .svg, .pdf
        EmptySize,      ///< a width or height of zero
        NotDrawn,       ///< the picture writer failed
        FileFailed,     ///< the file could not be written; `file` says why
    };
    Kind kind = Kind::NotDrawn;
    /// One line: the English reason of the writer, or for FileFailed the file's reason in the language in
    /// force.
    QString reason;
    std::optional<FileError> file; ///< set for FileFailed
};
/// The saved picture, or why it was not saved.
using PictureResult = Result<PictureSaved, PictureError>;

/// Paints into the rectangle it is given.
using PicturePainter = std::function<void(QPainter &painter, const QRectF &target)>;

/// Writes a picture of `size` pixels to `path`, its format by the extension: PNG at device pixel ratio 1
/// on white; SVG as vectors with texts as text, titled `title`; PDF as one page of the picture's size
/// (at 96 pixels per inch). The file is written under a temporary name and renamed over `path` when
/// complete. GUI thread (a QGuiApplication must exist).
[[nodiscard]] PictureResult SaveChartPicture(const QString &path, QSize size, const QString &title,
                                             const PicturePainter &paint);

/// The chart of `view` exactly as shown (series, colours, ranges, titles, marker), scaled to a picture
/// of PictureSizeFor(view size).
[[nodiscard]] PictureResult SaveChartViewPicture(QChartView *view, const QString &path, const QString &title);

/// The chart `chart` laid out at `size` and drawn on its own, for a chart that is not on screen. Where the
/// size is too small for the axes' texts, the axes get fewer ticks (a wider step), then the time labels a
/// shorter form and the texts a smaller font, rather than any text cut to "..."; the chart keeps them.
[[nodiscard]] PictureResult SaveChartAtSize(QChart *chart, const QString &path, QSize size,
                                            const QString &title);

/// The graph window's "Save picture..." command: asks for a file through `services` (PNG, SVG, PDF; the
/// last name of this run offered again) and saves the chart of `view` as shown; an error box tells a
/// failure, the open project named as the file among them.
void SaveChartPictureWithDialog(QWidget *parent, QChartView *view, const WindowServices &services);

} // namespace velda
