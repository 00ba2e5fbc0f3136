// The graph window: lays out the chart and the channel boxes and mirrors the graph model into them.
#include "graph/TForm4.h"

#include "base/SharedTexts.h"
#include "device/Exchange.h"
#include "graph/ChannelBox.h"
#include "graph/ChartPicture.h"
#include "graph/ChartSync.h"
#include "graph/GraphChartView.h"
#include "graph/GraphTexts.h"
#include "graph/Limits.h"
#include "graph/SteadyPreview.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QColorDialog>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineSeries>
#include <QMessageBox>
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

#include <cmath>

namespace velda {
namespace {

constexpr int kClientWidth = 1508;
constexpr int kClientHeight = 878;
constexpr int kChartWidth = 1012;
constexpr int kSplitterWidth = 7;
constexpr int kPanelMinWidth = 213;
constexpr int kStatusHeight = 19;
constexpr int kBoxWidth = 245;
constexpr int kMarkerLabelArrowPx = 10;
constexpr int kMarkerSizePx = 11;

TForm4::ErrorReporter &Reporter() {
    static TForm4::ErrorReporter reporter = [](const QString &text) {
        QMessageBox box(QMessageBox::Critical, Pick(TxtError), text, QMessageBox::Ok);
        box.exec();
    };
    return reporter;
}

TForm4::ColourPicker &Picker() {
    static TForm4::ColourPicker picker = [](const QColor &initial, QWidget *parent) -> std::optional<QColor> {
        const QColor c = QColorDialog::getColor(initial, parent);
        if (!c.isValid()) return std::nullopt;
        return c;
    };
    return picker;
}

QColor ToQColor(Rgb rgb) {
    return QColor::fromRgb(static_cast<QRgb>(rgb) | 0xFF000000u);
}
Rgb FromQColor(const QColor &c) {
    return static_cast<Rgb>(c.rgb() & 0xFFFFFFu);
}

// Days since 30 December 1899 on the date-time axis, through the graph's one time mapping.
class DayConverter {
public:
    qint64 toMs(double days) { return std::llround(m_mapping.toEpochMs(days)); }

private:
    TimeMapping m_mapping;
};

// Replaces the labelled ticks of a category axis, unless they are already the ones asked for.
void SetAxisTicks(QCategoryAxis *axis, const std::vector<AxisTick> &ticks) {
    QStringList labels;
    for (const AxisTick &tick : ticks)
        labels.append(tick.label);
    const QStringList current = axis->categoriesLabels();
    if (current == labels) {
        bool same = true;
        for (const AxisTick &tick : ticks)
            same = same && axis->endValue(tick.label) == tick.value;
        if (same) return;
    }
    for (const QString &label : current)
        axis->remove(label);
    if (!ticks.empty()) axis->setStartValue(ticks.front().value);
    for (const AxisTick &tick : ticks)
        axis->append(tick.label, tick.value);
}

} // namespace

void TForm4::setErrorReporter(ErrorReporter reporter) {
    Reporter() = std::move(reporter);
}
void TForm4::setColourPicker(ColourPicker picker) {
    Picker() = std::move(picker);
}

TForm4::TForm4(ArchiveTable &table, QWidget *parent)
    : QDialog(parent), m_model(LanguageIndex.load()), m_interaction(m_model) {
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
    // Time over date on every label. Where the abbreviated month names end in a point ("янв."), the
    // point after the month is already there.
    const bool monthHasPoint =
        CurrentFormats().locale.monthName(1, QLocale::ShortFormat).endsWith(QLatin1Char('.'));
    BottomAxis->setFormat(monthHasPoint ? QStringLiteral("hh:mm:ss'<br>'dd.MMMyyyy")
                                        : QStringLiteral("hh:mm:ss'<br>'dd.MMM.yyyy"));
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
        if (m_zoomTransition->state() != QAbstractAnimation::Running) return;
        m_transition.setProgress(value.toDouble());
        syncAxes();
        syncMarker();
    });
    connect(m_zoomTransition, &QVariantAnimation::finished, this, [this] {
        m_transition.finish();
        syncAxes();
        syncMarker();
    });
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

    auto parts = [](ChannelBox *box, ColourSwatch *&primary, QCheckBox *&sensor, QRadioButton *&temp,
                    QRadioButton *&hum, ColourSwatch *&third, QCheckBox *&thirdCheck, QGroupBox *&axisBox,
                    QRadioButton *&left, QLabel *&leftLabel, QRadioButton *&right, QLabel *&rightLabel) {
        primary = box->primary;
        sensor = box->sensor;
        temp = box->temp;
        hum = box->hum;
        third = box->third;
        thirdCheck = box->thirdCheck;
        axisBox = box->axisBox;
        left = box->left;
        leftLabel = box->leftLabel;
        right = box->right;
        rightLabel = box->rightLabel;
    };
    GroupBox1 = new ChannelBox(106, Panel5);
    parts(GroupBox1, Panel1, CheckBox1, RadioButton1, RadioButton2, Panel2, CheckBox2, GroupBox3,
          RadioButton3, Label1, RadioButton4, Label2);
    GroupBox2 = new ChannelBox(96, Panel5);
    parts(GroupBox2, Panel3, CheckBox3, RadioButton5, RadioButton6, Panel4, CheckBox4, GroupBox4,
          RadioButton7, Label3, RadioButton8, Label4);
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

    m_error = m_model.build(table, table.channels().channel1, table.channels().channel2,
                            table.archiveFormat(), CurrentFormats());
    m_interaction.updateAutomatic();
    sync();
    if (m_error) Reporter()(m_error->message(m_model.language()));
}

QLineSeries *TForm4::lineSeries(int index) const {
    QLineSeries *const all[] = {Series1, Series2, Series3, Series4, Series5, Series6};
    return all[index];
}

void TForm4::refreshSeriesData() {
    const PlotRect plot = currentPlot();
    // Before the first layout the plot area is not known yet; the chart's width is close enough.
    int width = plot.right - plot.left;
    if (width < 2) width = std::max(1, Chart1->width());
    const AxisRange bottom = drawnRange(GraphInteraction::kBottomAxis);
    DayConverter days;
    for (int i = 0; i < GraphModel::kMarkerSeries; ++i) {
        const auto shown = m_seriesData.pointsToDraw(i, m_model.series(i), bottom, width);
        if (!shown) continue;
        QList<QPointF> list;
        list.reserve(static_cast<qsizetype>(shown->size()));
        for (const GraphPoint &p : *shown)
            list.append(QPointF(static_cast<double>(days.toMs(p.x)), p.y));
        lineSeries(i)->replace(list);
    }
}

PlotRect TForm4::currentPlot() const {
    const QRectF area = chart->plotArea();
    const QPointF topLeft = Chart1->mapFromScene(chart->mapToScene(area.topLeft()));
    const QPointF bottomRight = Chart1->mapFromScene(chart->mapToScene(area.bottomRight()));
    return PlotRect{qRound(topLeft.x()), qRound(topLeft.y()), qRound(bottomRight.x()),
                    qRound(bottomRight.y())};
}

PlotRect TForm4::plotRect() const {
    return currentPlot();
}

AxisRange TForm4::drawnRange(int axis) const {
    return m_transition.drawn(axis, axis == GraphInteraction::kBottomAxis ? m_interaction.bottom()
                                    : axis == GraphInteraction::kLeftAxis ? m_interaction.left()
                                                                          : m_interaction.right());
}

void TForm4::startZoomTransition(const std::array<AxisRange, 3> &from) {
    finishZoomTransition();
    m_transition.start(from);
    m_zoomTransition->start();
}

void TForm4::finishZoomTransition() {
    if (!m_transition.running()) return;
    m_zoomTransition->stop();
    m_transition.finish();
    syncAxes();
}

void TForm4::sync() {
    finishZoomTransition();
    syncChannel(0);
    syncChannel(1);
    for (int i = 0; i < GraphModel::kMarkerSeries; ++i) {
        const SeriesState &s = m_model.series(i);
        QLineSeries *line = lineSeries(i);
        QPen pen = line->pen();
        pen.setColor(ToQColor(s.colour));
        line->setPen(pen);
        line->setVisible(s.active);
        QValueAxis *want = s.axis == ValueAxis::Left ? LeftAxis : RightAxis;
        QValueAxis *other = want == LeftAxis ? RightAxis : LeftAxis;
        if (line->attachedAxes().contains(other)) {
            line->detachAxis(other);
            line->attachAxis(want);
        }
    }
    syncAxes();
    syncMarker();
    StatusBar1->showMessage(m_interaction.statusText());
}

void TForm4::syncChannel(int ch) {
    (ch == 0 ? GroupBox1 : GroupBox2)->showControls(m_model.controls(ch));
}

void TForm4::syncAxes() {
    DayConverter days;
    const AxisRange bottom = drawnRange(GraphInteraction::kBottomAxis);
    BottomAxis->setRange(QDateTime::fromMSecsSinceEpoch(days.toMs(bottom.min)),
                         QDateTime::fromMSecsSinceEpoch(days.toMs(bottom.max)));
    for (ValueAxis side : {ValueAxis::Left, ValueAxis::Right}) {
        QValueAxis *axis = side == ValueAxis::Left ? LeftAxis : RightAxis;
        const ValueAxisLook look = ValueAxisLookOf(
            m_model, side,
            drawnRange(side == ValueAxis::Left ? GraphInteraction::kLeftAxis : GraphInteraction::kRightAxis));
        axis->setRange(look.min, look.max);
        if (auto *ticks = qobject_cast<QCategoryAxis *>(axis)) {
            SetAxisTicks(ticks, ValueAxisTicks(look.min, look.max, look.tickInterval, CurrentFormats()));
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
    BottomAxis->setLabelsColor(ToQColor(m_interaction.labelColour(GraphInteraction::kBottomAxis)));
    LeftAxis->setLabelsColor(ToQColor(m_interaction.labelColour(GraphInteraction::kLeftAxis)));
    RightAxis->setLabelsColor(ToQColor(m_interaction.labelColour(GraphInteraction::kRightAxis)));
}

void TForm4::syncMarker() {
    const SeriesState &marker = m_model.series(GraphModel::kMarkerSeries);
    if (marker.points.empty()) {
        if (Series7->count() > 0) Series7->clear();
        m_markerBox->hide();
        m_markerArrow->hide();
        return;
    }
    QValueAxis *want = marker.axis == ValueAxis::Left ? LeftAxis : RightAxis;
    QValueAxis *other = want == LeftAxis ? RightAxis : LeftAxis;
    if (Series7->attachedAxes().contains(other)) {
        Series7->detachAxis(other);
        Series7->attachAxis(want);
    }
    DayConverter days;
    const GraphPoint &p = marker.points.front();
    const QPointF point(static_cast<double>(days.toMs(p.x)), p.y);
    if (Series7->count() != 1 || Series7->at(0) != point) Series7->replace(QList<QPointF>{point});
    Series7->setBorderColor(ToQColor(marker.colour));
    // The value label is drawn here so that it follows the system's number format.
    const QPointF at = chart->mapToPosition(point, Series7);
    m_markerLabel->setText(MarkerLabel(p.y, CurrentFormats()));
    const QColor colour = ToQColor(marker.colour);
    m_markerLabel->setBrush(colour);
    const QRectF text = m_markerLabel->boundingRect();
    constexpr double kPad = 2;
    const QRectF box(0, 0, text.width() + 2 * kPad, text.height() + 2 * kPad);
    m_markerBox->setRect(box);
    m_markerBox->setPen(QPen(colour));
    m_markerLabel->setPos(kPad, kPad);
    // The arrow starts at the circle's rim.
    const double rim = at.y() - kMarkerSizePx / 2.0;
    m_markerBox->setPos(at.x() - box.width() / 2, rim - kMarkerLabelArrowPx - box.height());
    m_markerArrow->setLine(at.x(), rim, at.x(), rim - kMarkerLabelArrowPx);
    m_markerArrow->setPen(QPen(colour));
    // Clipped to the chart: a marker scrolled out of the plot shows no label.
    const bool inside = chart->plotArea().contains(at);
    m_markerBox->setVisible(inside);
    m_markerArrow->setVisible(inside);
}

QString TForm4::markerLabelText() const {
    return m_model.series(GraphModel::kMarkerSeries).points.empty() ? QString() : m_markerLabel->text();
}

void TForm4::controlsChanged() {
    m_interaction.updateAutomatic();
    sync();
}

void TForm4::CheckBox1Click() {
    m_model.sensorCheckClicked(0, CheckBox1->isChecked());
    controlsChanged();
}

void TForm4::CheckBox3Click() {
    m_model.sensorCheckClicked(1, CheckBox3->isChecked());
    controlsChanged();
}

void TForm4::CheckBox2Click() {
    m_model.thirdCheckClicked(0, CheckBox2->isChecked());
    controlsChanged();
}

void TForm4::CheckBox4Click() {
    m_model.thirdCheckClicked(1, CheckBox4->isChecked());
    controlsChanged();
}

void TForm4::CheckBox5Click() {
    m_model.setMarksChecked(CheckBox5->isChecked());
    m_model.clearMarker();
    syncMarker();
}

void TForm4::RadioButton1Click() {
    m_model.quantityChosen(0, false);
    controlsChanged();
}

void TForm4::RadioButton2Click() {
    m_model.quantityChosen(0, true);
    controlsChanged();
}

void TForm4::RadioButton5Click() {
    m_model.quantityChosen(1, false);
    controlsChanged();
}

void TForm4::RadioButton6Click() {
    m_model.quantityChosen(1, true);
    controlsChanged();
}

void TForm4::RadioButton3Click() {
    m_model.axisChosen(0, ValueAxis::Left);
    controlsChanged();
}

void TForm4::RadioButton4Click() {
    m_model.axisChosen(0, ValueAxis::Right);
    controlsChanged();
}

void TForm4::RadioButton7Click() {
    m_model.axisChosen(1, ValueAxis::Left);
    controlsChanged();
}

void TForm4::RadioButton8Click() {
    m_model.axisChosen(1, ValueAxis::Right);
    controlsChanged();
}

void TForm4::pickColour(int ch, bool thirdSwatch) {
    const ChannelControls &c = m_model.controls(ch);
    const std::optional<Rgb> current = thirdSwatch ? c.thirdSwatch : c.primarySwatch;
    const std::optional<QColor> chosen = Picker()(current ? ToQColor(*current) : QColor(Qt::white), this);
    if (!chosen) return;
    m_model.colourChosen(ch, thirdSwatch, FromQColor(*chosen));
    sync();
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
    finishZoomTransition();
    QPainter painter(printer);
    const QRectF page = painter.viewport();
    const QSize size = Chart1->size();
    const double scale = std::min(page.width() / size.width(), page.height() / size.height());
    const QRectF target(page.topLeft(), QSizeF(size.width() * scale, size.height() * scale));
    Chart1->render(&painter, target, Chart1->rect());
}

void TForm4::done(int result) {
    finishZoomTransition();
    QDialog::done(result);
    for (int i = 0; i < GraphModel::kMarkerSeries; ++i)
        lineSeries(i)->clear();
    Series7->clear();
    m_markerBox->hide();
    m_markerArrow->hide();
    m_model = GraphModel(m_model.language());
    m_seriesData.clear();
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
    finishZoomTransition();
    SaveChartPictureWithDialog(this, Chart1);
}

void TForm4::Chart1MouseDown(MouseButton button, QPoint pos) {
    finishZoomTransition();
    const PlotRect plot = currentPlot();
    m_interaction.mouseDown(button, pos.x(), pos.y(), plot);
    if (button == MouseButton::Left && plot.contains(pos.x(), pos.y())) {
        m_bandOrigin = pos;
        m_rubberBand->setGeometry(QRect(pos, QSize()));
    }
    if (button == MouseButton::Right) m_scrollLast = pos;
    syncAxes();
}

void TForm4::Chart1MouseMove(QPoint pos, Qt::MouseButtons held) {
    const PlotRect plot = currentPlot();
    if (m_scrollLast && (held & Qt::RightButton)) {
        m_interaction.scroll(pos.x() - m_scrollLast->x(), pos.y() - m_scrollLast->y(), plot);
        m_scrollLast = pos;
    }
    if (m_bandOrigin && (held & Qt::LeftButton)) {
        m_rubberBand->setGeometry(QRect(*m_bandOrigin, pos).normalized());
        m_rubberBand->show();
    }
    const AxisRange b = m_interaction.bottom();
    const AxisRange l = m_interaction.left();
    const AxisRange r = m_interaction.right();
    m_interaction.mouseMove(pos.x(), pos.y(), plot, Chart1->width(), Chart1->height());
    if (!(b == m_interaction.bottom() && l == m_interaction.left() && r == m_interaction.right())) syncAxes();
    syncMarker();
    StatusBar1->showMessage(m_interaction.statusText());
}

void TForm4::Chart1MouseUp(MouseButton button, QPoint pos) {
    m_interaction.mouseUp(button);
    if (button == MouseButton::Left && m_bandOrigin) {
        m_rubberBand->hide();
        const QPoint origin = *m_bandOrigin;
        m_bandOrigin.reset();
        // Only the rectangle zoom is animated; dragging an axis end follows the pointer directly.
        const std::array<AxisRange, 3> before{drawnRange(GraphInteraction::kBottomAxis),
                                              drawnRange(GraphInteraction::kLeftAxis),
                                              drawnRange(GraphInteraction::kRightAxis)};
        if (m_interaction.rubberBand(origin.x(), origin.y(), pos.x(), pos.y(), currentPlot()))
            startZoomTransition(before);
    }
    if (button == MouseButton::Right) m_scrollLast.reset();
    syncAxes();
    syncMarker();
}

void TForm4::Chart1DblClick(QPoint pos) {
    m_interaction.dblClick();
    Chart1MouseDown(MouseButton::Left, pos);
}

} // namespace velda
