// The graph window: lays out the chart and the channel boxes, hands every event to the graph's flow
// controller and mirrors the model and the mouse state into the controls and the chart.
#include "graph/TForm4.h"

#include "base/SharedTexts.h"
#include "device/Exchange.h"
#include "graph/ChartPicture.h"
#include "graph/GraphChartView.h"
#include "graph/GraphTexts.h"
#include "graph/Limits.h"
#include "graph/SteadyPreview.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineSeries>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QRubberBand>
#include <QScatterSeries>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QVariantAnimation>

#include <algorithm>

namespace velda {
namespace {

constexpr int kClientWidth = 1508;
constexpr int kClientHeight = 878;
constexpr int kChartWidth = 1012;
constexpr int kSplitterWidth = 7;
constexpr int kPanelMinWidth = 213;
constexpr int kStatusHeight = 19;
constexpr int kBoxWidth = 245;

QColor ToQColor(Rgb rgb) {
    return QColor::fromRgb(static_cast<QRgb>(rgb) | 0xFF000000u);
}
Rgb FromQColor(const QColor &c) {
    return static_cast<Rgb>(c.rgb() & 0xFFFFFFu);
}

// Replaces the labelled ticks of a category axis.
void SetAxisTicks(QCategoryAxis *axis, const std::vector<AxisTick> &ticks) {
    for (const QString &label : axis->categoriesLabels())
        axis->remove(label);
    if (!ticks.empty()) axis->setStartValue(ticks.front().value);
    for (const AxisTick &tick : ticks)
        axis->append(tick.label, tick.value);
}

} // namespace

TForm4::TForm4(ArchiveTable &table, QWidget *parent, WindowServices services)
    : QDialog(parent), m_services(std::move(services)), m_model(LanguageIndex.load()), m_control(m_model) {
    createChart();
    createControls();
    connectHandlers();
    FormCreate(table);
}

TForm4::~TForm4() = default;

void TForm4::createChart() {
    chart = new QChart();
    chart->setBackgroundBrush(Qt::white);
    chart->legend()->hide();
    chart->setTitle(QString());
    chart->setLocalizeNumbers(true);
    chart->setLocale(CurrentFormats().locale);
    chart->setAnimationOptions(QChart::NoAnimation);
    m_limitLines = std::make_unique<LimitLineItems>(chart);

    BottomAxis = new QDateTimeAxis(chart);
    BottomAxis->setFormat(TimeAxisFormat(CurrentFormats().locale));
    BottomAxis->setTickCount(7);
    LeftAxis = new QValueAxis(chart);
    // The right axis writes its labels in the number format "#,##0.##", which the chart's printf-style
    // label formats cannot express: its ticks are categories labelled here.
    auto *rightTicks = new QCategoryAxis(chart);
    rightTicks->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    RightAxis = rightTicks;
    chart->addAxis(BottomAxis, Qt::AlignBottom);
    chart->addAxis(LeftAxis, Qt::AlignLeft);
    chart->addAxis(RightAxis, Qt::AlignRight);
    RightAxis->setGridLineVisible(false); // the left axis's grid lines are the chart's only ones

    QLineSeries **lines[] = {&Series1, &Series2, &Series3, &Series4, &Series5, &Series6};
    for (int i = 0; i < 6; ++i) {
        auto *s = new QLineSeries(chart);
        s->setPointLabelsVisible(false);
        s->setPointsVisible(false);
        QPen pen(ToQColor(GraphModel::kStartColours[static_cast<std::size_t>(i)]));
        pen.setWidth(1);
        s->setPen(pen);
        chart->addSeries(s);
        s->attachAxis(BottomAxis);
        s->attachAxis(i < 3 ? static_cast<QAbstractAxis *>(LeftAxis) : RightAxis);
        *lines[i] = s;
    }
    Series7 = new QScatterSeries(chart);
    Series7->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    Series7->setMarkerSize(kMarkerSizePx);
    Series7->setColor(QColor(255, 255, 0));
    Series7->setBorderColor(ToQColor(GraphModel::kStartColours[GraphModel::kMarkerSeries]));
    Series7->setPointLabelsVisible(false);
    chart->addSeries(Series7);
    Series7->attachAxis(BottomAxis);
    Series7->attachAxis(LeftAxis);

    // The marker's value label: its text in a small white box above the lines, with a short arrow.
    m_markerBox = new QGraphicsRectItem(chart);
    m_markerBox->setBrush(Qt::white);
    m_markerBox->setZValue(1000);
    m_markerBox->hide();
    m_markerArrow = new QGraphicsLineItem(chart);
    m_markerArrow->setZValue(1000);
    m_markerArrow->hide();
    m_markerLabel = new QGraphicsSimpleTextItem(m_markerBox);

    Chart1 = new GraphChartView(chart, this);
    m_rubberBand = new QRubberBand(QRubberBand::Rectangle, Chart1);
    connect(chart, &QChart::plotAreaChanged, this, [this] {
        refreshSeriesData();
        syncMarker();
        syncLimitLines();
    });

    m_zoomTransition = new QVariantAnimation(this);
    m_zoomTransition->setStartValue(0.0);
    m_zoomTransition->setEndValue(1.0);
    m_zoomTransition->setDuration(chart->animationDuration());
    m_zoomTransition->setEasingCurve(chart->animationEasingCurve());
    connect(m_zoomTransition, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        if (m_zoomTransition->state() == QAbstractAnimation::Running)
            apply(m_control.transitionProgress(value.toDouble()));
    });
    connect(m_zoomTransition, &QVariantAnimation::finished, this,
            [this] { apply(m_control.transitionFinished()); });
}

void TForm4::createControls() {
    setWindowTitle(Pick(TxtGraph));
    resize(kClientWidth, kClientHeight);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(kClientWidth / 2, kClientHeight / 2));
    }

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setHandleWidth(kSplitterWidth);
    Splitter1->setChildrenCollapsible(false);
    Panel5 = new QWidget(Splitter1);
    Panel5->setMinimumWidth(kPanelMinWidth);
    Splitter1->addWidget(Chart1);
    Splitter1->addWidget(Panel5);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    Splitter1->setSizes({kChartWidth, kClientWidth - kChartWidth - kSplitterWidth});
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setFixedHeight(kStatusHeight);
    StatusBar1->setSizeGripEnabled(false);
    layout->addWidget(Splitter1, 1);
    layout->addWidget(StatusBar1);

    GroupBox1 = new ChannelBox(106, Panel5);
    std::tie(Panel1, CheckBox1, RadioButton1, RadioButton2, Panel2, CheckBox2, GroupBox3, RadioButton3,
             Label1, RadioButton4, Label2) = GroupBox1->parts();
    GroupBox2 = new ChannelBox(96, Panel5);
    std::tie(Panel3, CheckBox3, RadioButton5, RadioButton6, Panel4, CheckBox4, GroupBox4, RadioButton7,
             Label3, RadioButton8, Label4) = GroupBox2->parts();
    RadioButton3->setChecked(true);
    RadioButton8->setChecked(true);

    GroupBox5 = new QGroupBox(Panel5);
    // The picture button has a row of its own under the marks box, so the print button and the marks
    // box stay where they were and the longer Russian caption is not cut.
    GroupBox5->setFixedSize(kBoxWidth, 110);
    Button1 = new QPushButton(GroupBox5);
    Button1->setGeometry(8, 12, 110, 26);
    Button2 = new QPushButton(GroupBox5);
    Button2->setGeometry(8, 74, 160, 26);
    CheckBox5 = new QCheckBox(GroupBox5);
    CheckBox5->setGeometry(8, 46, 150, 20);
    CheckBox5->setChecked(true);

    auto *panelLayout = new QVBoxLayout(Panel5);
    panelLayout->setContentsMargins(4, 4, 4, 4);
    panelLayout->addWidget(GroupBox1);
    panelLayout->addWidget(GroupBox2);
    panelLayout->addWidget(GroupBox5);
    panelLayout->addStretch(1);
}

void TForm4::connectHandlers() {
    connect(CheckBox1, &QCheckBox::clicked, this, [this] { CheckBox1Click(); });
    connect(CheckBox2, &QCheckBox::clicked, this, [this] { CheckBox2Click(); });
    connect(CheckBox3, &QCheckBox::clicked, this, [this] { CheckBox3Click(); });
    connect(CheckBox4, &QCheckBox::clicked, this, [this] { CheckBox4Click(); });
    connect(CheckBox5, &QCheckBox::clicked, this, [this] { CheckBox5Click(); });
    // A radio button's handler runs when it becomes selected, not when an already selected one is clicked.
    const std::pair<QRadioButton *, void (TForm4::*)()> radios[] = {
        {RadioButton1, &TForm4::RadioButton1Click}, {RadioButton2, &TForm4::RadioButton2Click},
        {RadioButton3, &TForm4::RadioButton3Click}, {RadioButton4, &TForm4::RadioButton4Click},
        {RadioButton5, &TForm4::RadioButton5Click}, {RadioButton6, &TForm4::RadioButton6Click},
        {RadioButton7, &TForm4::RadioButton7Click}, {RadioButton8, &TForm4::RadioButton8Click},
    };
    for (const auto &[button, handler] : radios) {
        connect(button, &QRadioButton::toggled, this, [this, h = handler](bool on) {
            if (on) (this->*h)();
        });
    }
    connect(Panel1, &ColourSwatch::clicked, this, [this] { Panel1Click(); });
    connect(Panel2, &ColourSwatch::clicked, this, [this] { Panel2Click(); });
    connect(Panel3, &ColourSwatch::clicked, this, [this] { Panel3Click(); });
    connect(Panel4, &ColourSwatch::clicked, this, [this] { Panel4Click(); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
}

void TForm4::FormCreate(ArchiveTable &table) {
    GroupBox1->setTitle(Pick(TxtChannel1));
    GroupBox2->setTitle(Pick(TxtChannel2));
    Button1->setText(Pick(TxtGraphPrint));
    Button2->setText(Pick(TxtSavePicture));
    GroupBox3->setTitle(Pick(TxtAxis));
    GroupBox4->setTitle(Pick(TxtAxis));
    Label1->setText(Pick(TxtLeft));
    Label3->setText(Pick(TxtLeft));
    Label2->setText(Pick(TxtRight));
    Label4->setText(Pick(TxtRight));
    CheckBox5->setText(Pick(TxtShowMarks));

    const auto built = m_model.build(table, table.channels().channel1, table.channels().channel2,
                                     table.archiveFormatOr(ArchiveFormat.load()), CurrentFormats());
    m_error = built.ok() ? std::nullopt : std::optional<GraphError>(built.error());
    apply(m_control.built());
    if (m_error) m_services.showError(this, Pick(TxtError), m_error->message(m_model.language()));
}

QLineSeries *TForm4::lineSeries(int index) const {
    QLineSeries *const all[] = {Series1, Series2, Series3, Series4, Series5, Series6};
    return all[index];
}

void TForm4::refreshSeriesData() {
    const int width = EnvelopeWidth(plotRect(), Chart1->width());
    const AxisRange bottom = m_control.drawn(GraphInteraction::kBottomAxis);
    for (int i = 0; i < GraphModel::kMarkerSeries; ++i) {
        if (const auto shown = m_seriesData.pointsToDraw(i, m_model.series(i), bottom, width))
            lineSeries(i)->replace(m_seriesTime.points(*shown));
    }
}

PlotRect TForm4::plotRect() const {
    const QRectF area = chart->plotArea();
    const QPointF topLeft = Chart1->mapFromScene(chart->mapToScene(area.topLeft()));
    const QPointF bottomRight = Chart1->mapFromScene(chart->mapToScene(area.bottomRight()));
    return PlotRect{qRound(topLeft.x()), qRound(topLeft.y()), qRound(bottomRight.x()),
                    qRound(bottomRight.y())};
}

void TForm4::apply(const Redraw &redraw) {
    if (redraw.stopAnimation) m_zoomTransition->stop();
    if (redraw.startAnimation) m_zoomTransition->start();
    if (redraw.controls) syncControls();
    if (redraw.axes) syncAxes();
    if (redraw.marker) syncMarker();
    if (redraw.status) StatusBar1->showMessage(m_control.interaction().statusText());
    if (const std::optional<BandDrag> &band = m_control.band()) {
        m_rubberBand->setGeometry(QRect(QPoint(band->x0, band->y0), QPoint(band->x1, band->y1)).normalized());
        m_rubberBand->show();
    } else {
        m_rubberBand->hide();
    }
}

void TForm4::attachToAxis(QXYSeries *series, ValueAxis side) {
    QValueAxis *want = side == ValueAxis::Left ? LeftAxis : RightAxis;
    QValueAxis *other = want == LeftAxis ? RightAxis : LeftAxis;
    if (series->attachedAxes().contains(other)) {
        series->detachAxis(other);
        series->attachAxis(want);
    }
}

void TForm4::syncControls() {
    GroupBox1->showControls(m_model.controls(0));
    GroupBox2->showControls(m_model.controls(1));
    for (int i = 0; i < GraphModel::kMarkerSeries; ++i) {
        const SeriesState &s = m_model.series(i);
        QLineSeries *line = lineSeries(i);
        QPen pen = line->pen();
        pen.setColor(ToQColor(s.colour));
        line->setPen(pen);
        line->setVisible(s.active);
        attachToAxis(line, s.axis);
    }
}

void TForm4::syncAxes() {
    ChartTime time;
    const AxisRange bottom = m_control.drawn(GraphInteraction::kBottomAxis);
    // A line whose points change with the new range is emptied before the axes move: the chart then lays
    // it out once, for its new points, instead of first its old points in the new ranges.
    const int width = EnvelopeWidth(plotRect(), Chart1->width());
    for (int i = 0; i < GraphModel::kMarkerSeries; ++i) {
        if (lineSeries(i)->count() > 0 && m_seriesData.changes(i, m_model.series(i), bottom, width)) {
            lineSeries(i)->clear();
            m_seriesData.forget(i);
        }
    }
    BottomAxis->setRange(QDateTime::fromMSecsSinceEpoch(time.ms(bottom.min)),
                         QDateTime::fromMSecsSinceEpoch(time.ms(bottom.max)));
    for (ValueAxis side : {ValueAxis::Left, ValueAxis::Right}) {
        QValueAxis *axis = side == ValueAxis::Left ? LeftAxis : RightAxis;
        const ValueAxisLook look = ValueAxisLookOf(m_model, side, m_control.drawn(AxisIndex(side)));
        axis->setRange(look.min, look.max);
        if (auto *ticks = qobject_cast<QCategoryAxis *>(axis)) {
            std::vector<AxisTick> wanted =
                ValueAxisTicks(look.min, look.max, look.tickInterval, CurrentFormats());
            if (wanted != m_rightTicks) SetAxisTicks(ticks, m_rightTicks = std::move(wanted));
        } else if (look.tickInterval > 0) {
            axis->setTickType(QValueAxis::TicksDynamic);
            axis->setTickAnchor(0);
            axis->setTickInterval(look.tickInterval);
        }
        axis->setTitleText(look.titleHtml);
        axis->setVisible(look.visible);
    }
    refreshSeriesData();
    Chart1GetAxisLabel();
    syncLimitLines();
}

void TForm4::syncLimitLines() {
    m_limitLines->update(m_model, CurrentStatsSettings().limits,
                         [this](int i) { return static_cast<QAbstractSeries *>(lineSeries(i)); });
}

void TForm4::Chart1GetAxisLabel() {
    // The chart draws all labels of an axis in one colour: the axis whose end is being dragged is red.
    const GraphInteraction &mouse = m_control.interaction();
    BottomAxis->setLabelsColor(ToQColor(mouse.labelColour(GraphInteraction::kBottomAxis)));
    LeftAxis->setLabelsColor(ToQColor(mouse.labelColour(GraphInteraction::kLeftAxis)));
    RightAxis->setLabelsColor(ToQColor(mouse.labelColour(GraphInteraction::kRightAxis)));
}

void TForm4::syncMarker() {
    const SeriesState &marker = m_model.series(GraphModel::kMarkerSeries);
    if (marker.points.empty()) {
        if (Series7->count() > 0) Series7->clear();
        m_markerBox->hide();
        m_markerArrow->hide();
        return;
    }
    attachToAxis(Series7, marker.axis);
    const GraphPoint &p = marker.points.front();
    const QPointF point = ChartTime().point(p);
    if (Series7->count() != 1 || Series7->at(0) != point) Series7->replace(QList<QPointF>{point});
    Series7->setBorderColor(ToQColor(marker.colour));
    // The value label is drawn here so that it follows the system's number format.
    const QPointF at = chart->mapToPosition(point, Series7);
    m_markerLabel->setText(MarkerLabel(p.y, CurrentFormats()));
    const QColor colour = ToQColor(marker.colour);
    m_markerLabel->setBrush(colour);
    const MarkerCallout callout =
        MarkerCalloutAt(at, m_markerLabel->boundingRect().size(), chart->plotArea());
    m_markerBox->setRect(callout.box);
    m_markerBox->setPen(QPen(colour));
    m_markerBox->setPos(callout.boxPos);
    m_markerLabel->setPos(callout.textPos);
    m_markerArrow->setLine(callout.arrow);
    m_markerArrow->setPen(QPen(colour));
    m_markerBox->setVisible(callout.visible);
    m_markerArrow->setVisible(callout.visible);
}

QString TForm4::markerLabelText() const {
    return m_model.series(GraphModel::kMarkerSeries).points.empty() ? QString() : m_markerLabel->text();
}

void TForm4::CheckBox1Click() {
    apply(m_control.channelControl(0, ChannelControl::Sensor, CheckBox1->isChecked()));
}
void TForm4::CheckBox2Click() {
    apply(m_control.channelControl(0, ChannelControl::Third, CheckBox2->isChecked()));
}
void TForm4::CheckBox3Click() {
    apply(m_control.channelControl(1, ChannelControl::Sensor, CheckBox3->isChecked()));
}
void TForm4::CheckBox4Click() {
    apply(m_control.channelControl(1, ChannelControl::Third, CheckBox4->isChecked()));
}
void TForm4::CheckBox5Click() {
    apply(m_control.marksClicked(CheckBox5->isChecked()));
}
void TForm4::RadioButton1Click() {
    apply(m_control.channelControl(0, ChannelControl::Temperature, true));
}
void TForm4::RadioButton2Click() {
    apply(m_control.channelControl(0, ChannelControl::Humidity, true));
}
void TForm4::RadioButton3Click() {
    apply(m_control.channelControl(0, ChannelControl::LeftAxis, true));
}
void TForm4::RadioButton4Click() {
    apply(m_control.channelControl(0, ChannelControl::RightAxis, true));
}
void TForm4::RadioButton5Click() {
    apply(m_control.channelControl(1, ChannelControl::Temperature, true));
}
void TForm4::RadioButton6Click() {
    apply(m_control.channelControl(1, ChannelControl::Humidity, true));
}
void TForm4::RadioButton7Click() {
    apply(m_control.channelControl(1, ChannelControl::LeftAxis, true));
}
void TForm4::RadioButton8Click() {
    apply(m_control.channelControl(1, ChannelControl::RightAxis, true));
}

void TForm4::pickColour(int ch, bool thirdSwatch) {
    apply(m_control.colourClicked(ch, thirdSwatch, [this](Rgb initial) -> std::optional<Rgb> {
        const std::optional<QColor> chosen = m_services.pickColour(ToQColor(initial), this);
        return chosen ? std::optional<Rgb>(FromQColor(*chosen)) : std::nullopt;
    }));
}

void TForm4::Panel1Click() {
    pickColour(0, false);
}
void TForm4::Panel2Click() {
    pickColour(0, true);
}
void TForm4::Panel3Click() {
    pickColour(1, false);
}
void TForm4::Panel4Click() {
    pickColour(1, true);
}

void TForm4::printChart(QPrinter *printer) {
    apply(m_control.finishTransition());
    m_services.printPages(*printer, this, windowTitle(), [this](QPainter &painter, QPagedPaintDevice &) {
        Chart1->render(&painter, PrintTarget(painter.viewport(), Chart1->size()), Chart1->rect());
        return 1;
    });
}

void TForm4::done(int result) {
    apply(m_control.finishTransition());
    QDialog::done(result);
    m_model = GraphModel(m_model.language());
    m_seriesData.clear();
    for (int i = 0; i < GraphModel::kMarkerSeries; ++i)
        lineSeries(i)->clear();
    syncMarker(); // no marker in an empty model
}

void TForm4::stepZoomTransition(double progress) {
    if (m_zoomTransition->state() != QAbstractAnimation::Running) return;
    m_zoomTransition->setCurrentTime(qRound(std::clamp(progress, 0.0, 1.0) * m_zoomTransition->duration()));
}

void TForm4::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (const std::optional<Redraw> redraw = m_control.escapePressed()) {
            apply(*redraw);
            event->accept();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

void TForm4::Button1Click() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintPreviewDialog preview(&printer, this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter *p) { printChart(p); });
    KeepPreviewSteady(preview);
    preview.exec();
    Chart1->viewport()->update();
}

void TForm4::Button2Click() {
    apply(m_control.finishTransition());
    SaveChartPictureWithDialog(this, Chart1, m_services);
}

void TForm4::Chart1MouseDown(MouseButton button, QPoint pos) {
    apply(m_control.mouseDown(button, pos.x(), pos.y(), plotRect()));
}

void TForm4::Chart1MouseMove(QPoint pos, Qt::MouseButtons held) {
    apply(m_control.mouseMove(pos.x(), pos.y(), held.testFlag(Qt::LeftButton), held.testFlag(Qt::RightButton),
                              plotRect(), Chart1->width(), Chart1->height()));
}

void TForm4::Chart1MouseUp(MouseButton button, QPoint pos) {
    apply(m_control.mouseUp(button, pos.x(), pos.y(), plotRect()));
}

void TForm4::Chart1DblClick(QPoint pos) {
    apply(m_control.dblClick(pos.x(), pos.y(), plotRect()));
}

} // namespace velda
