// Limit lines over the chart, placed through the value axis of the series they belong to.
#include "graph/LimitLineItems.h"

#include <QAbstractSeries>
#include <QChart>
#include <QGraphicsLineItem>
#include <QPen>

namespace velda {

namespace {
constexpr int kLimitLineWidthPx = 2;
}

void LimitLineItems::update(const GraphModel &model, const Limits &limits,
                            const std::function<QAbstractSeries *(int)> &series) {
    m_lines = LimitLinesFor(model, limits);
    while (m_items.size() < m_lines.size()) {
        auto *item = new QGraphicsLineItem(m_chart);
        // Above the lines, below the marker's label.
        item->setZValue(500);
        m_items.push_back(item);
    }
    const QRectF plot = m_chart->plotArea();
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        QGraphicsLineItem *item = m_items[i];
        if (i >= m_lines.size()) {
            item->hide();
            continue;
        }
        const LimitLine &line = m_lines[i];
        const double y = m_chart->mapToPosition(QPointF(0, line.value), series(line.series)).y();
        QPen pen(QColor::fromRgb(static_cast<QRgb>(line.colour) | 0xFF000000u), kLimitLineWidthPx,
                 Qt::DashLine);
        item->setPen(pen);
        item->setLine(plot.left(), y, plot.right(), y);
        item->setVisible(y >= plot.top() && y <= plot.bottom());
    }
}

} // namespace velda
