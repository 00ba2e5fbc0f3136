// One channel's box of the graph window: its parts laid out, and the model's controls mirrored into them.
#include "graph/ChannelBox.h"

#include "graph/ColourSwatch.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QSignalBlocker>

#include <utility>

namespace velda {

namespace {

constexpr int kBoxWidth = 245;

std::optional<QColor> SwatchColour(const std::optional<Rgb> &rgb) {
    if (!rgb) return std::nullopt;
    return QColor::fromRgb(static_cast<QRgb>(*rgb) | 0xFF000000u);
}

} // namespace

ChannelBox::ChannelBox(int height, QWidget *parent) : QGroupBox(parent) {
    setFixedSize(kBoxWidth, height);
    primary = new ColourSwatch(this);
    // Four rows of controls spread over the box's height: sensor, temperature, humidity, third quantity.
    const int rowStep = (height - 26) / 4;
    auto rowY = [rowStep](int row) { return 18 + row * rowStep; };
    primary->setGeometry(8, rowY(0) + 2, 17, 17);
    sensor = new QCheckBox(this);
    sensor->setGeometry(30, rowY(0), 150, 20);
    sensor->setChecked(true);
    temp = new QRadioButton(this);
    temp->setGeometry(30, rowY(1), 150, 20);
    temp->setChecked(true);
    hum = new QRadioButton(this);
    hum->setGeometry(30, rowY(2), 150, 20);
    third = new ColourSwatch(this);
    third->setGeometry(8, rowY(3) + 2, 17, 17);
    thirdCheck = new QCheckBox(this);
    thirdCheck->setGeometry(30, rowY(3), 150, 20);
    thirdCheck->setChecked(true);
    axisBox = new QGroupBox(this);
    axisBox->setGeometry(182, 14, 56, 62);
    left = new QRadioButton(axisBox);
    left->setGeometry(6, 18, 20, 20);
    leftLabel = new QLabel(axisBox);
    leftLabel->setGeometry(28, 18, 20, 20);
    right = new QRadioButton(axisBox);
    right->setGeometry(6, 38, 20, 20);
    rightLabel = new QLabel(axisBox);
    rightLabel->setGeometry(28, 38, 20, 20);
    // The quantity pair and the axis pair are exclusive each on its own. Left to themselves, radio buttons
    // group by their parent widget, searched through its children's children: the quantity pair would
    // take in the axis pair, and a click on the selected quantity would clear it.
    for (const auto &[first, second] : {std::pair{temp, hum}, std::pair{left, right}}) {
        auto *group = new QButtonGroup(this);
        group->addButton(first);
        group->addButton(second);
    }
    for (QWidget *w : std::initializer_list<QWidget *>{primary, sensor, temp, hum, third, thirdCheck})
        w->hide();
    hide();
}

void ChannelBox::showControls(const ChannelControls &c) {
    const QSignalBlocker b1(sensor), b2(thirdCheck), b3(temp), b4(hum), b5(left), b6(right);
    setVisible(c.boxVisible);
    primary->setVisible(c.primarySwatchVisible);
    primary->setColour(SwatchColour(c.primarySwatch));
    primary->setEnabled(c.primarySwatchEnabled);
    sensor->setVisible(c.sensorCheckVisible);
    sensor->setChecked(c.sensorChecked);
    sensor->setText(c.sensorCaption);
    temp->setVisible(c.tempRadioVisible);
    temp->setText(c.tempCaption);
    temp->setEnabled(c.tempEnabled);
    hum->setVisible(c.humRadioVisible);
    hum->setText(c.humCaption);
    hum->setEnabled(c.humEnabled);
    (c.humChecked ? hum : temp)->setChecked(true);
    third->setVisible(c.thirdSwatchVisible);
    third->setColour(SwatchColour(c.thirdSwatch));
    third->setEnabled(c.thirdSwatchEnabled);
    thirdCheck->setVisible(c.thirdCheckVisible);
    thirdCheck->setChecked(c.thirdChecked);
    thirdCheck->setText(c.thirdCaption);
    thirdCheck->setEnabled(c.thirdCheckEnabled);
    (c.rightChecked ? right : left)->setChecked(true);
    left->setEnabled(c.axisRadiosEnabled);
    right->setEnabled(c.axisRadiosEnabled);
}

} // namespace velda
