// The plot command of velda9-cli: the graph window built off screen and its chart saved as a picture.
#include "cli/PlotCommand.h"

#include "archive/ProjectFile.h"
#include "base/ArchiveTable.h"
#include "base/SharedTexts.h"
#include "graph/ChartPicture.h"
#include "graph/TForm4.h"

namespace velda::cli {

int RunPlot(const Options &options, const Streams &streams) {
    ArchiveTable table;
    // The graph reads the channels and the format the loaded table carries.
    if (!LoadShownTable(table, options.input, streams.err)) return ExitFile;
    QString constructionError;
    WindowServices services = DefaultWindowServices();
    services.showError = [&constructionError](QWidget *, const QString &, const QString &text) {
        constructionError = text;
    };
    TForm4 form(table, nullptr, services);
    // The window would show the chart up to the cell it could not read; a script is better told, with
    // nothing written, than handed a picture that silently lacks data.
    if (!constructionError.isEmpty()) {
        PrintError(streams.err, Pick(TxtPlotIncomplete).arg(options.input, constructionError));
        return ExitFile;
    }

    const PictureResult result =
        SaveChartAtSize(form.chart, options.output, QSize(options.width, options.height), Pick(TxtGraph));
    if (!result.ok()) {
        PrintError(streams.err, Pick(TxtPictureFailed).arg(options.output, result.error().reason));
        return ExitFile;
    }
    const QString done = Pick(TxtPlotDone).arg(options.output).arg(options.width).arg(options.height);
    const QByteArray bytes = done.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), streams.err);
    return ExitOk;
}

} // namespace velda::cli
