// The graph window: the archive table plotted against time, channel and axis controls, mouse work.
#pragma once

#include "base/ArchiveTable.h"
#include "base/WindowServices.h"
#include "graph/ChannelBox.h"
#include "graph/ChartSync.h"
#include "graph/ColourSwatch.h"
#include "graph/GraphController.h"
#include "graph/GraphInteraction.h"
#include "graph/GraphModel.h"
#include "graph/LimitLineItems.h"

#include <QColor>
#include <QDialog>
#include <QPoint>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QChart;
class QChartView;
class QCheckBox;
class QDateTimeAxis;
class QGraphicsLineItem;
class QGraphicsRectItem;
class QGraphicsSimpleTextItem;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineSeries;
class QPrinter;
class QPushButton;
class QRadioButton;
class QRubberBand;
class QScatterSeries;
class QSplitter;
class QStatusBar;
class QValueAxis;
class QVariantAnimation;
class QWidget;
class QXYSeries;

namespace velda {

/// The graph window. Every instance builds itself from `table` in its state at creation (sorting the
/// table's rows as the construction requires) and keeps no reference to it afterwards. Opened modally
/// by the main window. GUI thread.
class TForm4 : public QDialog {
    Q_OBJECT
public:
    /// `services` show the error that ends a construction, ask for colours and the picture's file name,
    /// and name the open project, which a saved picture may not replace.
    explicit TForm4(ArchiveTable &table, QWidget *parent = nullptr,
                    WindowServices services = DefaultWindowServices());
    ~TForm4() override;

    [[nodiscard]] const GraphModel &model() const { return m_model; }
    [[nodiscard]] const GraphInteraction &interaction() const { return m_control.interaction(); }
    /// The error that ended the construction, if one did.
    [[nodiscard]] const std::optional<GraphError> &constructionError() const { return m_error; }
    /// The plotting area in the chart's client pixels.
    [[nodiscard]] PlotRect plotRect() const;
    /// Whether the rectangle zoom's animated transition is still moving the axes.
    [[nodiscard]] bool zoomTransitionRunning() const { return m_control.transitionRunning(); }
    /// Moves a running zoom transition's animation to `progress` (0 its start, 1 its end, which ends it),
    /// as its clock would; nothing when none runs. Lets tests stop at any stage without waiting.
    void stepZoomTransition(double progress);
    /// The dashed lines of the current limits, as drawn.
    [[nodiscard]] const LimitLineItems &limitLines() const { return *m_limitLines; }
    /// The marker's value label as drawn, empty while there is no marker.
    [[nodiscard]] QString markerLabelText() const;
    /// Draws the chart onto `printer`'s page (what the print preview shows).
    void printChart(QPrinter *printer);
    /// Closes the window. A closed graph window is never shown again, so its points are released here
    /// (the main window keeps its graph windows until the program ends).
    void done(int result) override;

    // Handlers.
    void FormCreate(ArchiveTable &table);
    void CheckBox1Click();
    void CheckBox2Click();
    void CheckBox3Click();
    void CheckBox4Click();
    void CheckBox5Click();
    void RadioButton1Click();
    void RadioButton2Click();
    void RadioButton3Click();
    void RadioButton4Click();
    void RadioButton5Click();
    void RadioButton6Click();
    void RadioButton7Click();
    void RadioButton8Click();
    void Panel1Click();
    void Panel2Click();
    void Panel3Click();
    void Panel4Click();
    void Button1Click();
    /// Saves the chart as shown to a picture file chosen in a dialog.
    void Button2Click();
    /// Mouse events of the chart, positions in its client pixels.
    void Chart1MouseDown(MouseButton button, QPoint pos);
    void Chart1MouseMove(QPoint pos, Qt::MouseButtons held);
    void Chart1MouseUp(MouseButton button, QPoint pos);
    void Chart1DblClick(QPoint pos);
    /// Gives each axis's labels the colour of the current drag mode.
    void Chart1GetAxisLabel();

    // Controls, named as in the window's layout.
    QSplitter *Splitter1 = nullptr;
    QChartView *Chart1 = nullptr;
    QWidget *Panel5 = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    ChannelBox *GroupBox1 = nullptr;
    ChannelBox *GroupBox2 = nullptr;
    QGroupBox *GroupBox3 = nullptr;
    QGroupBox *GroupBox4 = nullptr;
    QGroupBox *GroupBox5 = nullptr;
    ColourSwatch *Panel1 = nullptr;
    ColourSwatch *Panel2 = nullptr;
    ColourSwatch *Panel3 = nullptr;
    ColourSwatch *Panel4 = nullptr;
    QCheckBox *CheckBox1 = nullptr;
    QCheckBox *CheckBox2 = nullptr;
    QCheckBox *CheckBox3 = nullptr;
    QCheckBox *CheckBox4 = nullptr;
    QCheckBox *CheckBox5 = nullptr;
    QRadioButton *RadioButton1 = nullptr;
    QRadioButton *RadioButton2 = nullptr;
    QRadioButton *RadioButton3 = nullptr;
    QRadioButton *RadioButton4 = nullptr;
    QRadioButton *RadioButton5 = nullptr;
    QRadioButton *RadioButton6 = nullptr;
    QRadioButton *RadioButton7 = nullptr;
    QRadioButton *RadioButton8 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;
    QChart *chart = nullptr;
    QDateTimeAxis *BottomAxis = nullptr;
    QValueAxis *LeftAxis = nullptr;
    QValueAxis *RightAxis = nullptr;
    QLineSeries *Series1 = nullptr;
    QLineSeries *Series2 = nullptr;
    QLineSeries *Series3 = nullptr;
    QLineSeries *Series4 = nullptr;
    QLineSeries *Series5 = nullptr;
    QLineSeries *Series6 = nullptr;
    QScatterSeries *Series7 = nullptr;

protected:
    /// Escape first ends a running zoom or drag of the chart; only when none runs does it close the window.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void createControls();
    void createChart();
    void connectHandlers();
    /// Hands the chart what it draws of each active line: the whole series, or its envelope over the
    /// visible range when it is long.
    void refreshSeriesData();
    /// Carries out what the controller asks for after an event, and shows its rubber band.
    void apply(const Redraw &redraw);
    /// Pushes the model's channel controls and the series' colours, visibility and axes into the window.
    void syncControls();
    void syncAxes();
    void syncMarker();
    void syncLimitLines();
    void pickColour(int channel, bool thirdSwatch);
    [[nodiscard]] QLineSeries *lineSeries(int index) const;
    /// Moves `series` to the value axis `side` if it is on the other one.
    void attachToAxis(QXYSeries *series, ValueAxis side);

    WindowServices m_services;
    GraphModel m_model;
    GraphController m_control;
    std::optional<GraphError> m_error;
    QGraphicsRectItem *m_markerBox = nullptr;
    QGraphicsLineItem *m_markerArrow = nullptr;
    QGraphicsSimpleTextItem *m_markerLabel = nullptr;
    QRubberBand *m_rubberBand = nullptr;
    SeriesDataCache m_seriesData;
    ChartTime m_seriesTime;             ///< the series' times, with the days converted so far
    std::vector<AxisTick> m_rightTicks; ///< the ticks the right axis shows
    // The rectangle zoom's animated transition. The chart's own axis animations stay off: they keep
    // labels of an earlier layout while ranges, tick intervals and axis visibility change underneath,
    // and crash once the counts disagree. Here every frame is an ordinary, complete axis update; the
    // controller decides the ranges of each frame.
    QVariantAnimation *m_zoomTransition = nullptr;
    std::unique_ptr<LimitLineItems> m_limitLines;
};

} // namespace velda
