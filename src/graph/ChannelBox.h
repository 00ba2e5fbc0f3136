// One channel's box of the graph window: colour swatches, sensor and quantity choices, axis side.
#pragma once

#include "graph/GraphModel.h"

#include <QGroupBox>

#include <tuple>

class QCheckBox;
class QLabel;
class QRadioButton;

namespace velda {

class ColourSwatch;

/// GroupBox1 or GroupBox2 of the graph window, `height` pixels tall. The window names and connects its
/// parts; showControls() mirrors the model's ChannelControls into them without firing their signals.
/// GUI thread.
class ChannelBox : public QGroupBox {
public:
    ChannelBox(int height, QWidget *parent);

    /// Shows `controls` as they are: visibility, texts, checks, colours, enabled states.
    void showControls(const ChannelControls &controls);
    /// The parts in the window's order: swatch, sensor, temperature, humidity, third swatch, third check,
    /// axis box, left radio and label, right radio and label.
    [[nodiscard]] auto parts() const {
        return std::tuple(primary, sensor, temp, hum, third, thirdCheck, axisBox, left, leftLabel, right,
                          rightLabel);
    }

    ColourSwatch *primary = nullptr;
    QCheckBox *sensor = nullptr;
    QRadioButton *temp = nullptr;
    QRadioButton *hum = nullptr;
    ColourSwatch *third = nullptr;
    QCheckBox *thirdCheck = nullptr;
    QGroupBox *axisBox = nullptr;
    QRadioButton *left = nullptr;
    QLabel *leftLabel = nullptr;
    QRadioButton *right = nullptr;
    QLabel *rightLabel = nullptr;
};

} // namespace velda
