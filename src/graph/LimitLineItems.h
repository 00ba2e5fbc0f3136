// The graph window's limit lines: dashed horizontal lines drawn over the chart's plot area.
#pragma once

#include "graph/GraphModel.h"
#include "graph/LimitLines.h"

#include <functional>
#include <vector>

class QAbstractSeries;
class QChart;
class QGraphicsLineItem;

namespace velda {

/// Keeps one line item per limit line on `chart` (which owns them). GUI thread.
class LimitLineItems {
public:
    explicit LimitLineItems(QChart *chart) : m_chart(chart) {}

    /// Draws the limit lines of the model's shown series; `series(i)` is the chart series of line
    /// series i, whose axes place the value. A line outside the plot area is hidden.
    void update(const GraphModel &model, const Limits &limits,
                const std::function<QAbstractSeries *(int)> &series);

    /// The lines as last drawn (for tests).
    [[nodiscard]] const std::vector<LimitLine> &lines() const { return m_lines; }
    [[nodiscard]] const std::vector<QGraphicsLineItem *> &items() const { return m_items; }

private:
    QChart *m_chart;
    std::vector<LimitLine> m_lines;
    std::vector<QGraphicsLineItem *> m_items;
};

} // namespace velda
