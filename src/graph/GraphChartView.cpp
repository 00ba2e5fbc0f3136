// The graph window's chart view: mouse events forwarded to the window.
#include "graph/GraphChartView.h"

#include "graph/TForm4.h"

#include <QMouseEvent>

namespace velda {

namespace {

MouseButton ButtonOf(Qt::MouseButton b) {
    if (b == Qt::LeftButton) return MouseButton::Left;
    if (b == Qt::RightButton) return MouseButton::Right;
    return MouseButton::Middle;
}

} // namespace

GraphChartView::GraphChartView(QChart *chart, TForm4 *form) : QChartView(chart), m_form(form) {
    setMouseTracking(true);
    setRubberBand(QChartView::NoRubberBand);
    setFrameShape(QFrame::NoFrame);
    setRenderHint(QPainter::Antialiasing, false);
}

void GraphChartView::mousePressEvent(QMouseEvent *e) {
    m_form->Chart1MouseDown(ButtonOf(e->button()), e->position().toPoint());
    e->accept();
}

void GraphChartView::mouseMoveEvent(QMouseEvent *e) {
    m_form->Chart1MouseMove(e->position().toPoint(), e->buttons());
    e->accept();
}

void GraphChartView::mouseReleaseEvent(QMouseEvent *e) {
    m_form->Chart1MouseUp(ButtonOf(e->button()), e->position().toPoint());
    e->accept();
}

void GraphChartView::mouseDoubleClickEvent(QMouseEvent *e) {
    // The second press of a double click arrives here; it still chooses the zone and drag mode.
    if (e->button() == Qt::LeftButton)
        m_form->Chart1DblClick(e->position().toPoint());
    else
        m_form->Chart1MouseDown(ButtonOf(e->button()), e->position().toPoint());
    e->accept();
}

} // namespace velda
