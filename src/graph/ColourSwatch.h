// A small colour panel that opens the colour dialog on a click and looks pressed while the button is down.
#pragma once

#include <QColor>
#include <QFrame>

#include <optional>

class QMouseEvent;

namespace velda {

/// Raised panel filled with one colour, or with the button face when it has none. GUI thread.
class ColourSwatch : public QFrame {
    Q_OBJECT
public:
    explicit ColourSwatch(QWidget *parent = nullptr);

    /// nullopt shows the neutral button face.
    void setColour(std::optional<QColor> colour);
    [[nodiscard]] std::optional<QColor> colour() const { return m_colour; }
    [[nodiscard]] bool isLowered() const { return frameShadow() == QFrame::Sunken; }

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    std::optional<QColor> m_colour;
};

} // namespace velda
