// The screenshot window: Update starts a screen read, the poll draws, saves and copies the picture.
#include "screenshot/TForm5.h"

#include "base/FileTarget.h"
#include "base/SharedTexts.h"
#include "base/Texts.h"
#include "device/QtExchangeUi.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <chrono>

namespace velda {

namespace {

constexpr TextPair TxtScreenshotCaption{"Скриншот", "Screenshot"};
constexpr TextPair TxtUpdate{"Обновить", "Update"};
constexpr TextPair TxtSaveToBmp{"сохранять в *.bmp", "save to *.bmp"};
constexpr TextPair TxtSaveToClipboard{"сохранять в буфер", "save to clipboard"};
constexpr TextPair TxtPenColor{"цвет надписи", "pen color"};
constexpr TextPair TxtBackgroundColor{"цвет фона", "background color"};
constexpr TextPair TxtBitmapFilter{"Точечные рисунки (*.bmp)", "Bitmaps (*.bmp)"};
constexpr TextPair TxtExchangeBusy{"Прибор занят другим обменом", "Device busy with another exchange"};

constexpr int kPollIntervalMs = 500;
constexpr int kDesignWidth = 219;
constexpr int kDesignHeight = 402;
constexpr int kGaugeHeight = 8;
constexpr std::chrono::milliseconds kFinishingWait{1000};

struct NamedColor {
    TextPair name;
    QRgb rgb;
};

// The sixteen standard colours of a colour list.
constexpr NamedColor kStandardColors[] = {
    {{"Чёрный", "Black"}, 0x000000},       {{"Тёмно-красный", "Maroon"}, 0x800000},
    {{"Зелёный", "Green"}, 0x008000},      {{"Оливковый", "Olive"}, 0x808000},
    {{"Тёмно-синий", "Navy"}, 0x000080},   {{"Пурпурный", "Purple"}, 0x800080},
    {{"Сине-зелёный", "Teal"}, 0x008080},  {{"Серый", "Gray"}, 0x808080},
    {{"Серебристый", "Silver"}, 0xC0C0C0}, {{"Красный", "Red"}, 0xFF0000},
    {{"Лайм", "Lime"}, 0x00FF00},          {{"Жёлтый", "Yellow"}, 0xFFFF00},
    {{"Синий", "Blue"}, 0x0000FF},         {{"Фуксия", "Fuchsia"}, 0xFF00FF},
    {{"Голубой", "Aqua"}, 0x00FFFF},       {{"Белый", "White"}, 0xFFFFFF},
};

QIcon Swatch(QColor colour) {
    QPixmap pixmap(16, 12);
    pixmap.fill(colour);
    QPainter painter(&pixmap);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, pixmap.width() - 1, pixmap.height() - 1);
    return QIcon(pixmap);
}

QComboBox *NewColorBox(QWidget *parent) {
    auto *box = new QComboBox(parent);
    // Narrow enough for the designed window width; the open list still shows the full names.
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(6);
    for (const NamedColor &c : kStandardColors) {
        const QColor colour = QColor::fromRgb(c.rgb);
        box->addItem(Swatch(colour), Pick(c.name), colour);
    }
    return box;
}

RgbColor ToRgb(QColor colour) {
    return static_cast<RgbColor>(colour.rgb() & 0xFFFFFF);
}

} // namespace

ScreenPicture::ScreenPicture(QWidget *parent) : QWidget(parent) {
    setMinimumSize(kPixelMatrixWidth, kPixelMatrixHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ScreenPicture::setImage(const QImage &image) {
    m_image = image;
    update();
}

void ScreenPicture::paintEvent(QPaintEvent *) {
    if (m_image.isNull()) return;
    QPainter painter(this);
    // Without smoothing each instrument pixel stays a sharp block at any size.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(rect(), m_image);
}

QImage ScreenImageToPicture(const PixelMatrix &matrix, QColor pen, QColor background) {
    QImage image(kPixelMatrixWidth, kPixelMatrixHeight, QImage::Format_RGB32);
    const QRgb penRgb = pen.rgb(), backgroundRgb = background.rgb();
    for (int y = 0; y < kPixelMatrixHeight; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < kPixelMatrixWidth; ++x)
            line[x] = matrix.at(x, y) ? penRgb : backgroundRgb;
    }
    return image;
}

TForm5::TForm5(QWidget *parent, WindowServices services) : QDialog(parent), m_services(std::move(services)) {
    setWindowTitle(Pick(TxtScreenshotCaption));
    setSizeGripEnabled(true);
    resize(kDesignWidth, kDesignHeight);

    Image1 = new ScreenPicture(this);
    Button1 = new QPushButton(Pick(TxtUpdate), this);
    CGauge1 = new QProgressBar(this);
    CGauge1->setRange(0, 100);
    CGauge1->setTextVisible(false);
    CGauge1->setFixedHeight(kGaugeHeight);
    QPalette gaugePalette = CGauge1->palette();
    gaugePalette.setColor(QPalette::Highlight, QColor(Qt::darkBlue));
    CGauge1->setPalette(gaugePalette);
    CGauge1->hide();
    Label3 = new QLabel(this);
    CheckBox1 = new QCheckBox(Pick(TxtSaveToBmp), this);
    CheckBox2 = new QCheckBox(Pick(TxtSaveToClipboard), this);
    Label1 = new QLabel(Pick(TxtPenColor), this);
    ColorBox1 = NewColorBox(this);
    selectColor(ColorBox1, Qt::black);
    Label2 = new QLabel(Pick(TxtBackgroundColor), this);
    ColorBox2 = NewColorBox(this);
    selectColor(ColorBox2, Qt::white);
    Timer1 = new QTimer(this);
    Timer1->setInterval(kPollIntervalMs);

    // The picture takes every extra pixel; the controls keep their distance to the bottom edge.
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Image1, 1);
    layout->addWidget(Button1);
    layout->addWidget(CGauge1);
    layout->addWidget(Label3);
    layout->addWidget(CheckBox1);
    layout->addWidget(CheckBox2);
    auto *colours = new QGridLayout;
    colours->addWidget(Label1, 0, 0);
    colours->addWidget(ColorBox1, 0, 1);
    colours->addWidget(Label2, 1, 0);
    colours->addWidget(ColorBox2, 1, 1);
    colours->setColumnStretch(1, 1);
    layout->addLayout(colours);

    connect(Button1, &QPushButton::clicked, this, &TForm5::Button1Click);
    connect(CheckBox1, &QCheckBox::clicked, this, &TForm5::CheckBox1Click);
    connect(Timer1, &QTimer::timeout, this, &TForm5::Timer1Timer);
}

TForm5::~TForm5() {
    stopRead();
}

void TForm5::selectColor(QComboBox *box, QColor colour) {
    int index = box->findData(colour);
    if (index < 0) {
        box->addItem(Swatch(colour), colour.name(), colour);
        index = box->count() - 1;
    }
    box->setCurrentIndex(index);
}

QColor TForm5::selectedColor(const QComboBox *box) {
    return box->currentData().value<QColor>();
}

void TForm5::Button1Click() {
    ExchangeSetup setup;
    setup.ui = &QtExchangeUi::instance();
    setup.sleeper = m_services.sleep;
    // The gauge may still show 100 from the previous read; that must not end this one.
    CGauge1->setValue(0);
    // The previous read may still be closing the link after its picture was drawn.
    if (ExchangeRunning()) static_cast<void>(WaitForExchange(kFinishingWait, ProcessGuiEvents));
    if (StartScreenRead(std::move(setup), ExchangeControls{this, nullptr, this}) != StartResult::Started) {
        Label3->setText(Pick(TxtExchangeBusy));
        return;
    }
    m_reading = true;
    Timer1->start();
    CGauge1->show();
    Button1->setEnabled(false);
}

QString TForm5::OpenPictureDialog1() {
    QFileDialog dialog(this, Pick(TxtSaveToBmp), m_fileName);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(Pick(TxtBitmapFilter));
    dialog.setDefaultSuffix(QStringLiteral("bmp"));
    const std::optional<QString> chosen = m_services.runFileDialog(dialog);
    if (!chosen) return {};
    RememberFolder(*chosen);
    return *chosen;
}

void TForm5::CheckBox1Click() {
    if (!CheckBox1->isChecked()) return;
    m_fileName = OpenPictureDialog1();
}

void TForm5::Timer1Timer() {
    if (CGauge1->value() != 100) {
        // An exchange that ended without an image (stopped from outside) leaves nothing to wait for.
        if (!ExchangeRunning()) backToIdle();
        return;
    }
    const auto screen = ScreenBuffer.snapshot();
    const PixelMatrix matrix(screen);
    // The colours are those selected now; changing them later does not repaint this picture.
    const QColor pen = selectedColor(ColorBox1), background = selectedColor(ColorBox2);
    const QImage picture = ScreenImageToPicture(matrix, pen, background);
    Image1->setImage(picture);
    if (CheckBox1->isChecked() && !m_fileName.isEmpty()) {
        if (const std::optional<QString> refused = m_services.refusedTarget(m_fileName)) {
            m_services.showError(this, Pick(TxtError), *refused);
        } else if (const BmpFileResult saved =
                       WriteBmpFile(m_fileName, EncodeBmp(matrix, ToRgb(pen), ToRgb(background)));
                   !saved.ok()) {
            m_services.showError(this, Pick(TxtError), saved.error().message);
        }
    }
    if (CheckBox2->isChecked()) QGuiApplication::clipboard()->setImage(picture);
    backToIdle();
}

void TForm5::backToIdle() {
    Timer1->stop();
    CGauge1->hide();
    Button1->setEnabled(true);
    m_reading = false;
}

void TForm5::setGaugeValue(int percent) {
    CGauge1->setValue(percent);
}

// The exchange's last status display: the read is over. The gauge keeps its value while hidden, so the
// poll still sees the final 100 and draws the picture.
void TForm5::hideGauge() {
    CGauge1->hide();
}

void TForm5::setStatusText(const QString &text) {
    Label3->setText(text);
    PaintNow(Label3);
}

void TForm5::stopRead() {
    if (!m_reading) return;
    // A read that is still retrying (no instrument, link errors) would outlive the window it reports to.
    if (ExchangeRunning()) StopExchange(ProcessGuiEvents);
    backToIdle();
}

void TForm5::done(int result) {
    stopRead();
    QDialog::done(result);
}

} // namespace velda
