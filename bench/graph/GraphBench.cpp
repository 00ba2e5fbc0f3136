// Times the graph model's construction for a 200,000-row two-channel table, the graph window's first
// paint for it offscreen and a drag of its time axis, against the targets of 0.5 s, 2 s and 16 ms a move.
#include "base/ArchiveTable.h"
#include "base/SortTable.h"
#include "base/SystemFormats.h"
#include "graph/GraphModel.h"

#ifdef VELDA_BENCH_WINDOW
#include "graph/TForm4.h"

#include <QApplication>
#include <QChartView>
#include <QPixmap>
#endif

#include <QDateTime>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

using namespace velda;

namespace {

constexpr int kRows = 200000;
constexpr double kModelTargetS = 0.5;
constexpr double kWindowTargetS = 2.0;
constexpr double kDragTargetMs = 16.0;

// Quarter-hourly readings of a temperature-and-humidity probe (channel 1) and a thermocouple
// (channel 2), written as the fill writes them.
ArchiveTable MakeTable(const SystemFormats &f) {
    ArchiveTable t;
    t.setColCount(14);
    t.setRowCount(kRows + 1);
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0.0, 0.3);
    QDateTime when(QDate(2012, 1, 1), QTime(0, 0));
    for (int r = 1; r <= kRows; ++r) {
        const double day = (when.time().msecsSinceStartOfDay() / 86400000.0) * 2 * M_PI;
        const double t1 = 21 + 3 * std::sin(day) + noise(rng);
        const double h1 = 45 + 10 * std::cos(day) + noise(rng);
        const double t2 = 60 + 15 * std::sin(day + 1) + noise(rng);
        t.setCell(0, r, QString::number(r));
        t.setCell(1, r, FormatTimeCell(when.time(), f));
        t.setCell(2, r, FormatDateCell(when.date(), f));
        t.setCell(3, r, QStringLiteral("Непрерывный"));
        t.setCell(6, r, QStringLiteral("MK SHT       "));
        t.setCell(7, r, CellFormat(t1, f.decimalSeparator));
        t.setCell(8, r, CellFormat(h1, f.decimalSeparator));
        t.setCell(9, r, CellFormat(t1 - (100 - h1) / 5, f.decimalSeparator));
        t.setCell(10, r, QStringLiteral("ХА-Термопара "));
        t.setCell(11, r, CellFormat(t2, f.decimalSeparator));
        when = when.addSecs(15 * 60);
    }
    return t;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

} // namespace

int main(int argc, char **argv) {
#ifdef VELDA_BENCH_WINDOW
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
#else
    (void)argc;
    (void)argv;
#endif
    SetCurrentFormats(SystemFormats::FromLocale(QLocale(QLocale::Russian, QLocale::Russia)));
    auto start = std::chrono::steady_clock::now();
    const ArchiveTable source = MakeTable(CurrentFormats());
    std::printf("table of %d rows x 2 channels made in %.3f s\n", kRows, Seconds(start));

    {
        ArchiveTable sorted = source;
        start = std::chrono::steady_clock::now();
        (void)SortTable(sorted, 7, 1);
        const double byTemperature = Seconds(start);
        start = std::chrono::steady_clock::now();
        (void)SortTable(sorted, 10, 1);
        std::printf("of which the table sorts: by temperature %.3f s, by sensor name %.3f s\n", byTemperature,
                    Seconds(start));
    }

    // The machine may be shared: the best of a few runs is the figure, the median shows the spread.
    constexpr int kRuns = 5;
    std::vector<double> runs;
    std::size_t points = 0;
    for (int run = 0; run < kRuns; ++run) {
        ArchiveTable table = source;
        start = std::chrono::steady_clock::now();
        GraphModel model(0);
        const auto error = model.build(table, true, true, 2, CurrentFormats());
        runs.push_back(Seconds(start));
        if (!error) {
            std::printf("construction failed: %s\n", error.error().message(1).toUtf8().constData());
            return 1;
        }
        points = 0;
        for (int i = 0; i < GraphModel::kMarkerSeries; ++i)
            points += model.series(i).points.size();
    }
    std::sort(runs.begin(), runs.end());
    const double modelS = runs.front();
    std::printf("model: best %.3f s, median %.3f s of %d runs for %zu points (target %.1f s, ratio %.2f)\n",
                modelS, runs[kRuns / 2], kRuns, points, kModelTargetS, modelS / kModelTargetS);

#ifdef VELDA_BENCH_WINDOW
    ArchiveTable windowTable = source;
    windowTable.setChannels({true, true});
    start = std::chrono::steady_clock::now();
    TForm4 form(windowTable);
    const double createdS = Seconds(start);
    form.show();
    const QPixmap first = form.Chart1->grab();
    const double paintS = Seconds(start);
    std::printf("window: built in %.3f s, first paint of %dx%d chart at %.3f s (target %.1f s, ratio %.2f)\n",
                createdS, first.width(), first.height(), paintS, kWindowTargetS, paintS / kWindowTargetS);
    start = std::chrono::steady_clock::now();
    (void)form.Chart1->grab();
    std::printf("window: repaint %.3f s\n", Seconds(start));
    // Pointer work over the full archive: read-out and marker search inside the plot, and dragging the
    // bottom axis's minimum (each step thins the long series anew for the new range).
    const PlotRect plot = form.plotRect();
    constexpr int kMoves = 200;
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < kMoves; ++i)
        form.Chart1MouseMove(
            QPoint(plot.left + 1 + i * (plot.right - plot.left - 2) / kMoves, (plot.top + plot.bottom) / 2),
            Qt::NoButton);
    std::printf("hover: %.2f ms per move\n", Seconds(start) * 1000 / kMoves);
    // `GraphBench PREFIX` also keeps pictures of the window at each stage (PREFIX-full.png, -drag.png,
    // -zoom.png, -zoom2.png) for a look at the drawing.
    const auto keepPicture = [&](const char *stage) {
        if (argc > 1)
            form.grab().save(QString::fromLocal8Bit(argv[1]) + QLatin1Char('-') + QLatin1String(stage));
    };
    keepPicture("full.png");
    const auto drag = [&](bool paintEachMove) {
        form.Chart1MouseDown(MouseButton::Left, QPoint(plot.left + 10, plot.bottom + 10));
        const auto begin = std::chrono::steady_clock::now();
        for (int i = 0; i < kMoves; ++i) {
            form.Chart1MouseMove(QPoint(plot.left + 10 + i, plot.bottom + 10), Qt::LeftButton);
            if (paintEachMove) QCoreApplication::processEvents(); // layout and paint, as a screen's frame
        }
        const double ms = Seconds(begin) * 1000 / kMoves;
        form.Chart1MouseUp(MouseButton::Left, QPoint(plot.left + 10 + kMoves, plot.bottom + 10));
        return ms;
    };
    const double dragMs = drag(false);
    start = std::chrono::steady_clock::now();
    (void)form.Chart1->grab();
    std::printf("axis drag: %.2f ms per move (target %.0f ms, ratio %.2f), repaint after it %.3f s\n", dragMs,
                kDragTargetMs, dragMs / kDragTargetMs, Seconds(start));
    keepPicture("drag.png");
    // A second drag of the same end, the window laid out and painted after every move.
    std::printf("axis drag painted every move: %.2f ms per move\n", drag(true));
    // Rectangle zooms to a tenth of the plot's width and then to a fifth of that, where a pixel column holds
    // a few readings; each transition run to its end.
    for (const auto &[part, picture] : {std::pair{10, "zoom.png"}, std::pair{5, "zoom2.png"}}) {
        const QPoint from(plot.left + (plot.right - plot.left) * 2 / 5, plot.top + 5);
        const QPoint to = from + QPoint((plot.right - plot.left) / part, plot.bottom - plot.top - 10);
        form.Chart1MouseDown(MouseButton::Left, from);
        form.Chart1MouseMove(to, Qt::LeftButton);
        form.Chart1MouseUp(MouseButton::Left, to);
        form.stepZoomTransition(1);
        keepPicture(picture);
    }
    std::printf("axis drag zoomed in to a few readings a pixel: %.2f ms per move\n", drag(false));
#endif
    return 0;
}
