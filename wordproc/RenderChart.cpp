#include "wordproc/RenderChart.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "wordproc/RenderText.h"

namespace wordproc {

namespace {

constexpr double kGapShare = 1.5;  // the gap between clusters, in bar widths
constexpr double kLineWidth = 2.25;
constexpr QRgb kAxisColor = 0xD9D9D9, kLabelColor = 0x595959;

// A font of that size in points, in a painter whose user space is points.
QFont ChartFont(const QPainter& painter, double size) {
  QFont font(QStringLiteral("Calibri"));
  const QPaintDevice* device = painter.device();
  const int dpi = device ? device->logicalDpiY() : 72;
  font.setPointSizeF(size * 72.0 / std::max(dpi, 1));
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

std::size_t PointCount(const Chart& chart) {
  std::size_t points = chart.categories.size();
  for (const ChartSeries& s : chart.series) points = std::max(points, s.values.size());
  return points;
}

double ValueAt(const ChartSeries& s, std::size_t k) {
  return k < s.values.size() && std::isfinite(s.values[k]) ? s.values[k] : 0;
}

QString Number(double value) {
  return QLocale(QLocale::Russian).toString(value, 'g', 6);
}

// The share of the plot a value reaches along its axis, 0 at scale.low.
double Share(const ChartScale& scale, double value) {
  return (value - scale.low) / (scale.high - scale.low);
}

struct Legend {
  std::vector<std::pair<QString, QColor>> entries;
};

Legend LegendOf(const Chart& chart) {
  Legend legend;
  const bool pie = chart.kind == ChartKind::Pie || chart.kind == ChartKind::Doughnut;
  if (pie && !chart.series.empty()) {
    const ChartSeries& s = chart.series.front();
    for (std::size_t k = 0; k < s.values.size(); ++k) {
      const QString name = k < chart.categories.size() ? QString::fromStdString(chart.categories[k])
                                                       : QString::number(k + 1);
      const Rgb color = k < s.pointColors.size() ? s.pointColors[k] : s.color;
      legend.entries.push_back({name, ToQColor(color)});
    }
    return legend;
  }
  for (const ChartSeries& s : chart.series)
    legend.entries.push_back({QString::fromStdString(s.name), ToQColor(s.color)});
  return legend;
}

// Draws the legend at its side of the box and takes its room from the box.
void DrawLegend(QPainter& painter, const Chart& chart, QRectF& box) {
  if (chart.legend == LegendPosition::None) return;
  const Legend legend = LegendOf(chart);
  const QFont font = ChartFont(painter, 9);
  const QFontMetricsF metrics(font, painter.device());
  const double key = metrics.height() * 0.6, row = metrics.height() * 1.2;
  double widest = 0;
  for (const auto& [name, color] : legend.entries)
    widest = std::max(widest, metrics.horizontalAdvance(name));
  const double width = key * 1.5 + widest, height = row * double(legend.entries.size());
  const bool side = chart.legend == LegendPosition::Right || chart.legend == LegendPosition::Left;
  QPointF at;
  if (side) {
    const double x = chart.legend == LegendPosition::Right ? box.right() - width : box.left();
    at = QPointF(x, box.center().y() - height / 2);
    (chart.legend == LegendPosition::Right ? box.setRight(x - key) : box.setLeft(x + width + key));
  } else {
    const double y = chart.legend == LegendPosition::Bottom ? box.bottom() - row : box.top();
    at = QPointF(box.center().x() - width / 2, y);
    (chart.legend == LegendPosition::Bottom ? box.setBottom(y - key) : box.setTop(y + row + key));
  }
  painter.setFont(font);
  for (std::size_t k = 0; k < legend.entries.size(); ++k) {
    const auto& [name, color] = legend.entries[k];
    const QPointF place = side ? at + QPointF(0, row * double(k)) : at;
    painter.fillRect(QRectF(place.x(), place.y() + (row - key) / 2, key, key), color);
    painter.setPen(QColor::fromRgb(kLabelColor));
    painter.drawText(QPointF(place.x() + key * 1.5,
                             place.y() + (row + metrics.ascent()) / 2 - metrics.descent() / 2),
                     name);
    if (!side) at.rx() += key * 2.5 + metrics.horizontalAdvance(name);
  }
}

void DrawTitle(QPainter& painter, const Chart& chart, QRectF& box) {
  if (chart.title.empty()) return;
  const QFont font = ChartFont(painter, 14);
  const QFontMetricsF metrics(font, painter.device());
  painter.setFont(font);
  painter.setPen(QColor::fromRgb(kLabelColor));
  const QRectF line(box.left(), box.top(), box.width(), metrics.height());
  painter.drawText(line, Qt::AlignHCenter | Qt::AlignVCenter, QString::fromStdString(chart.title));
  box.setTop(line.bottom() + metrics.height() * 0.3);
}

// What is left of the box for the plot, once the axes' labels have their room.
QRectF PlotRect(QPainter& painter, const Chart& chart, const ChartScale& scale, QRectF box) {
  const QFontMetricsF metrics(ChartFont(painter, 9), painter.device());
  const double pad = metrics.height() * 0.5;
  double widest = 0;
  if (chart.kind == ChartKind::Bar) {
    for (const std::string& c : chart.categories)
      widest = std::max(widest, metrics.horizontalAdvance(QString::fromStdString(c)));
    return box.adjusted(widest + pad, 0, -pad, -metrics.height() * 1.3);
  }
  for (double v = scale.low; v <= scale.high + scale.step / 2; v += scale.step)
    widest = std::max(widest, metrics.horizontalAdvance(Number(v)));
  return box.adjusted(widest + pad, pad, 0, -metrics.height() * 1.5);
}

// The value axis's labels and grid lines, across the plot (up it for bars).
void DrawValueAxis(QPainter& painter, const Chart& chart, const ChartScale& scale,
                   const QRectF& plot) {
  const QFont font = ChartFont(painter, 9);
  const QFontMetricsF metrics(font, painter.device());
  painter.setFont(font);
  for (double v = scale.low; v <= scale.high + scale.step / 2; v += scale.step) {
    const double share = Share(scale, v);
    const QString label = Number(std::fabs(v) < scale.step / 1e6 ? 0 : v);
    painter.setPen(QPen(QColor::fromRgb(kAxisColor), 0.75));
    if (chart.kind == ChartKind::Bar) {
      const double x = plot.left() + share * plot.width();
      painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
      painter.setPen(QColor::fromRgb(kLabelColor));
      painter.drawText(
          QPointF(x - metrics.horizontalAdvance(label) / 2, plot.bottom() + metrics.height()),
          label);
    } else {
      const double y = plot.bottom() - share * plot.height();
      painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
      painter.setPen(QColor::fromRgb(kLabelColor));
      painter.drawText(
          QPointF(plot.left() - metrics.height() * 0.3 - metrics.horizontalAdvance(label),
                  y + (metrics.ascent() - metrics.descent()) / 2),
          label);
    }
  }
}

// Category labels under the plot (beside it for bars), one per slot.
void DrawCategories(QPainter& painter, const Chart& chart, const QRectF& plot) {
  const std::size_t points = PointCount(chart);
  const QFont font = ChartFont(painter, 9);
  const QFontMetricsF metrics(font, painter.device());
  painter.setFont(font);
  painter.setPen(QColor::fromRgb(kLabelColor));
  const bool across = chart.kind == ChartKind::Bar;
  const double slot = (across ? plot.height() : plot.width()) / double(points);
  for (std::size_t k = 0; k < points && k < chart.categories.size(); ++k) {
    const QString label = QString::fromStdString(chart.categories[k]);
    const double middle = (double(k) + 0.5) * slot;
    if (across) {
      painter.drawText(
          QPointF(plot.left() - metrics.height() * 0.3 - metrics.horizontalAdvance(label),
                  plot.bottom() - middle + (metrics.ascent() - metrics.descent()) / 2),
          label);
    } else {
      painter.drawText(QPointF(plot.left() + middle - metrics.horizontalAdvance(label) / 2,
                               plot.bottom() + metrics.height()),
                       label);
    }
  }
}

// One bar: its extent along the value axis from one value to another.
void DrawBar(QPainter& painter, const Chart& chart, const ChartScale& scale, const QRectF& plot,
             double from, double to, double slotStart, double thickness, const QColor& color) {
  const double a = std::clamp(Share(scale, from), 0.0, 1.0);
  const double b = std::clamp(Share(scale, to), 0.0, 1.0);
  QRectF bar;
  if (chart.kind == ChartKind::Bar) {
    bar = QRectF(plot.left() + std::min(a, b) * plot.width(), plot.bottom() - slotStart - thickness,
                 std::fabs(b - a) * plot.width(), thickness);
  } else {
    bar = QRectF(plot.left() + slotStart, plot.bottom() - std::max(a, b) * plot.height(), thickness,
                 std::fabs(b - a) * plot.height());
  }
  painter.fillRect(bar, color);
}

void DrawBars(QPainter& painter, const Chart& chart, const ChartScale& scale, const QRectF& plot) {
  const std::size_t points = PointCount(chart);
  const double slot =
      (chart.kind == ChartKind::Bar ? plot.height() : plot.width()) / double(points);
  const bool clustered = chart.grouping == ChartGrouping::Clustered;
  const double bars = clustered ? double(chart.series.size()) : 1.0;
  const double thickness = slot / (bars + kGapShare);
  for (std::size_t k = 0; k < points; ++k) {
    double total = 0, up = 0, down = 0;
    for (const ChartSeries& s : chart.series) total += std::fabs(ValueAt(s, k));
    for (std::size_t n = 0; n < chart.series.size(); ++n) {
      const ChartSeries& s = chart.series[n];
      double v = ValueAt(s, k);
      if (chart.grouping == ChartGrouping::PercentStacked) v = total > 0 ? v / total * 100 : 0;
      const double start =
          double(k) * slot + thickness * kGapShare / 2 + (clustered ? double(n) * thickness : 0);
      const QColor color = ToQColor(s.color);
      if (clustered) {
        DrawBar(painter, chart, scale, plot, 0, v, start, thickness, color);
      } else {
        double& base = v >= 0 ? up : down;
        DrawBar(painter, chart, scale, plot, base, base + v, start, thickness, color);
        base += v;
      }
    }
  }
}

void DrawLines(QPainter& painter, const Chart& chart, const ChartScale& scale, const QRectF& plot) {
  const std::size_t points = PointCount(chart);
  const double slot = plot.width() / double(points);
  std::vector<double> base(points, 0.0);
  for (const ChartSeries& s : chart.series) {
    QPainterPath path;
    for (std::size_t k = 0; k < points; ++k) {
      double v = ValueAt(s, k);
      if (chart.grouping != ChartGrouping::Clustered) v = base[k] += v;
      const QPointF p(plot.left() + (double(k) + 0.5) * slot,
                      plot.bottom() - std::clamp(Share(scale, v), 0.0, 1.0) * plot.height());
      k == 0 ? path.moveTo(p) : path.lineTo(p);
    }
    if (chart.kind == ChartKind::Area) {
      path.lineTo(plot.left() + (double(points) - 0.5) * slot, plot.bottom());
      path.lineTo(plot.left() + 0.5 * slot, plot.bottom());
      path.closeSubpath();
      painter.fillPath(path, ToQColor(s.color));
    } else {
      painter.strokePath(
          path, QPen(ToQColor(s.color), kLineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    }
  }
}

void DrawPie(QPainter& painter, const Chart& chart, const QRectF& box) {
  const ChartSeries& s = chart.series.front();
  double total = 0;
  for (double v : s.values)
    if (std::isfinite(v) && v > 0) total += v;
  if (total <= 0) return;
  const double side = std::min(box.width(), box.height()) * 0.9;
  const QRectF circle(box.center().x() - side / 2, box.center().y() - side / 2, side, side);
  double angle = 90;  // the first slice starts at twelve o'clock and slices go clockwise
  painter.setPen(QPen(Qt::white, 0.75));
  for (std::size_t k = 0; k < s.values.size(); ++k) {
    const double v = ValueAt(s, k);
    if (v <= 0) continue;
    const double span = -360 * v / total;
    QPainterPath slice(circle.center());
    slice.arcTo(circle, angle, span);
    slice.closeSubpath();
    painter.setBrush(ToQColor(k < s.pointColors.size() ? s.pointColors[k] : s.color));
    painter.drawPath(slice);
    angle += span;
  }
  if (chart.kind == ChartKind::Doughnut) {
    painter.setBrush(Qt::white);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(circle.center(), side / 4, side / 4);
  }
}

}  // namespace

void DrawChart(QPainter& painter, const Chart& chart, const QRectF& box) {
  if (chart.series.empty() || box.width() <= 0 || box.height() <= 0) return;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  const double margin = std::min(box.width(), box.height()) * 0.04;
  QRectF room = box.adjusted(margin, margin, -margin, -margin);
  DrawTitle(painter, chart, room);
  DrawLegend(painter, chart, room);
  if (chart.kind == ChartKind::Pie || chart.kind == ChartKind::Doughnut) {
    DrawPie(painter, chart, room);
  } else if (PointCount(chart) > 0) {
    const ChartScale scale = ScaleOf(chart);
    const QRectF plot = PlotRect(painter, chart, scale, room);
    DrawValueAxis(painter, chart, scale, plot);
    DrawCategories(painter, chart, plot);
    if (chart.kind == ChartKind::Column || chart.kind == ChartKind::Bar)
      DrawBars(painter, chart, scale, plot);
    else
      DrawLines(painter, chart, scale, plot);
  }
  painter.restore();
}

}  // namespace wordproc
