// The graph window's chart view: hands its mouse events to the window, which zooms and scrolls itself.
#pragma once

#include <QChartView>

namespace velda {

class TForm4;

/// Chart1: a chart view without rubber band or frame that forwards presses, moves, releases and double
/// clicks, in its client pixels, to `form`'s Chart1Mouse... handlers. GUI thread.
class GraphChartView : public QChartView {
public:
    GraphChartView(QChart *chart, TForm4 *form);

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;

private:
    TForm4 *m_form;
};

} // namespace velda
