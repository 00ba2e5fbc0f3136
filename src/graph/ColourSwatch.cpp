// Colour swatch of the graph window's channel boxes.
#include "graph/ColourSwatch.h"

#include <QMouseEvent>
#include <QPalette>

namespace velda {

ColourSwatch::ColourSwatch(QWidget *parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(2);
    setAutoFillBackground(true);
    setColour(std::nullopt);
}

void ColourSwatch::setColour(std::optional<QColor> colour) {
    m_colour = colour;
    QPalette p = palette();
    p.setColor(QPalette::Window, colour.value_or(QPalette().color(QPalette::Button)));
    setPalette(p);
}

void ColourSwatch::mousePressEvent(QMouseEvent *event) {
    setFrameShadow(QFrame::Sunken);
    event->accept();
}

void ColourSwatch::mouseReleaseEvent(QMouseEvent *event) {
    setFrameShadow(QFrame::Raised);
    event->accept();
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) Q_EMIT clicked();
}

} // namespace velda
