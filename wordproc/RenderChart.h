// Charts drawn from their cached series: columns and bars (clustered, stacked, in percent),
// lines, areas, pies and doughnuts, with the value axis, category labels, title and legend.
#pragma once

#include <QPainter>
#include <QRectF>

#include "wordproc/core/Chart.h"

namespace wordproc {

// Draws the chart within the box, in points.
void DrawChart(QPainter& painter, const Chart& chart, const QRectF& box);

}  // namespace wordproc
