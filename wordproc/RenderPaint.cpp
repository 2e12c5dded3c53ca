#include "wordproc/RenderPaint.h"

#include <QImage>
#include <QLinearGradient>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>

#include "wordproc/RenderPicture.h"
#include "wordproc/core/FillPatterns.h"

namespace wordproc {

namespace {

constexpr double kPatternPixel = 0.75;  // a pattern cell's pixel, in points (96 dpi)

std::vector<GradientStop> StopsOf(const FillFormat& fill) {
  if (fill.stops.size() >= 2) return fill.stops;
  return {{0, fill.color, fill.alpha}, {1, fill.backColor, fill.backAlpha}};
}

QGradientStops QtStops(const std::vector<GradientStop>& stops) {
  QGradientStops out;
  for (const GradientStop& s : stops)
    out.append({std::clamp(double(s.position), 0.0, 1.0), ToQColor(s.color, s.alpha)});
  return out;
}

// The gradient line runs across the whole box: from the corner it meets first to the one it
// meets last. A scaled angle is taken in the unit square and stretched with the box.
QBrush LinearBrush(const FillFormat& fill, const QRectF& box, bool flipH, bool flipV) {
  double degrees = fill.angle;
  if (flipH) degrees = 180 - degrees;
  if (flipV) degrees = -degrees;
  const double a = degrees * M_PI / 180;
  double nx = std::cos(a), ny = std::sin(a);
  if (fill.scaled) {
    nx *= std::max(box.height(), 1e-6);
    ny *= std::max(box.width(), 1e-6);
  }
  const double length = std::hypot(nx, ny);
  nx /= length;
  ny /= length;
  const QPointF c = box.center();
  double lo = 0, hi = 0;
  for (const QPointF& corner :
       {box.topLeft(), box.topRight(), box.bottomLeft(), box.bottomRight()}) {
    const double d = (corner.x() - c.x()) * nx + (corner.y() - c.y()) * ny;
    lo = std::min(lo, d);
    hi = std::max(hi, d);
  }
  QLinearGradient gradient(c + QPointF(nx, ny) * lo, c + QPointF(nx, ny) * hi);
  gradient.setStops(QtStops(StopsOf(fill)));
  return QBrush(gradient);
}

// The focus rectangle of a path gradient, flipped with the shape.
QRectF FocusOf(const FillFormat& fill, const QRectF& box, bool flipH, bool flipV) {
  double l = fill.focusLeft, t = fill.focusTop, r = fill.focusRight, b = fill.focusBottom;
  if (flipH) std::swap(l, r);
  if (flipV) std::swap(t, b);
  const double left = box.left() + l * box.width(), right = box.right() - r * box.width();
  const double top = box.top() + t * box.height(), bottom = box.bottom() - b * box.height();
  return QRectF(QPointF(std::min(left, right), std::min(top, bottom)),
                QPointF(std::max(left, right), std::max(top, bottom)));
}

// A circle gradient: the first stop at the focus, the last where the circle reaches the box's
// farthest corner.
QBrush CircleBrush(const FillFormat& fill, const QRectF& box, bool flipH, bool flipV) {
  const QPointF focus = FocusOf(fill, box, flipH, flipV).center();
  double radius = 1e-3;
  for (const QPointF& corner : {box.topLeft(), box.topRight(), box.bottomLeft(), box.bottomRight()})
    radius = std::max(radius, std::hypot(corner.x() - focus.x(), corner.y() - focus.y()));
  QRadialGradient gradient(focus, radius);
  gradient.setStops(QtStops(StopsOf(fill)));
  return QBrush(gradient);
}

QBrush PatternBrush(const FillFormat& fill, const QRectF& box) {
  const PatternBits bits = PatternOf(fill.pattern).value_or(PatternBits{});
  QImage cell(8, 8, QImage::Format_ARGB32_Premultiplied);
  const QRgb fore = ToQColor(fill.color, fill.alpha).rgba();
  const QRgb back = ToQColor(fill.backColor, fill.backAlpha).rgba();
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x)
      cell.setPixel(x, y,
                    (bits[std::size_t(y)] & (0x80 >> x)) ? qPremultiply(fore) : qPremultiply(back));
  }
  QBrush brush(cell);
  brush.setTransform(
      QTransform::fromTranslate(box.left(), box.top()).scale(kPatternPixel, kPatternPixel));
  return brush;
}

// Rectangle and shape gradients have no brush of their own, but each band between a side of
// the box and the same side of the focus is a linear gradient across it: four of them and the
// focus in the first colour draw the nested rectangles exactly.
void FillRings(QPainter& painter, const QPainterPath& path, const FillFormat& fill,
               const QRectF& box, bool flipH, bool flipV) {
  const QRectF focus = FocusOf(fill, box, flipH, flipV);
  const QGradientStops stops = QtStops(StopsOf(fill));
  painter.save();
  painter.setClipPath(path, Qt::IntersectClip);
  painter.setPen(Qt::NoPen);
  // Smoothed edges would leave seams where the bands meet.
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.fillRect(focus, stops.front().second);
  auto band = [&](QPointF outer1, QPointF outer2, QPointF inner2, QPointF inner1, QPointF from,
                  QPointF to) {
    if (QLineF(from, to).length() < 1e-6) return;
    QLinearGradient gradient(from, to);
    gradient.setStops(stops);
    painter.setBrush(gradient);
    painter.drawPolygon(QPolygonF({outer1, outer2, inner2, inner1}));
  };
  const QPointF c = focus.center();
  band(box.topLeft(), box.topRight(), focus.topRight(), focus.topLeft(), {c.x(), focus.top()},
       {c.x(), box.top()});
  band(box.bottomLeft(), box.bottomRight(), focus.bottomRight(), focus.bottomLeft(),
       {c.x(), focus.bottom()}, {c.x(), box.bottom()});
  band(box.topLeft(), box.bottomLeft(), focus.bottomLeft(), focus.topLeft(), {focus.left(), c.y()},
       {box.left(), c.y()});
  band(box.topRight(), box.bottomRight(), focus.bottomRight(), focus.topRight(),
       {focus.right(), c.y()}, {box.right(), c.y()});
  painter.restore();
}

void FillPicture(QPainter& painter, const QPainterPath& path, const FillFormat& fill,
                 const QRectF& box) {
  painter.save();
  painter.setClipPath(path, Qt::IntersectClip);
  if (fill.tile) {
    const QImage tile = QImage::fromData(fill.image->bytes.data(), int(fill.image->bytes.size()));
    if (!tile.isNull()) {
      QBrush brush(tile);
      brush.setTransform(
          QTransform::fromTranslate(box.left(), box.top()).scale(kPatternPixel, kPatternPixel));
      painter.fillPath(path, brush);
    }
  } else {
    DrawPicturePart(painter, fill.image, nullptr, PictureCrop{}, box);
  }
  painter.restore();
}

}  // namespace

QColor ToQColor(Rgb rgb, float alpha) {
  return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF,
                int(std::lround(std::clamp(double(alpha), 0.0, 1.0) * 255)));
}

QColor GradientColorAt(const std::vector<GradientStop>& stops, double t) {
  if (stops.empty()) return QColor();
  if (t <= stops.front().position) return ToQColor(stops.front().color, stops.front().alpha);
  for (std::size_t k = 1; k < stops.size(); ++k) {
    const GradientStop &a = stops[k - 1], &b = stops[k];
    if (t > b.position) continue;
    const double span = b.position - a.position;
    const double s = span > 1e-9 ? (t - a.position) / span : 1;
    const QColor ca = ToQColor(a.color, a.alpha), cb = ToQColor(b.color, b.alpha);
    auto mix = [&](double x, double y) { return float(x + (y - x) * s); };
    return QColor::fromRgbF(mix(ca.redF(), cb.redF()), mix(ca.greenF(), cb.greenF()),
                            mix(ca.blueF(), cb.blueF()), mix(ca.alphaF(), cb.alphaF()));
  }
  return ToQColor(stops.back().color, stops.back().alpha);
}

void FillArea(QPainter& painter, const QPainterPath& path, const FillFormat& fill,
              const QRectF& box, bool flipH, bool flipV) {
  if (!fill.visible) return;
  switch (fill.type) {
    case FillType::Gradient:
      if (fill.path == GradientPath::Linear)
        return painter.fillPath(path, LinearBrush(fill, box, flipH, flipV));
      if (fill.path == GradientPath::Circle)
        return painter.fillPath(path, CircleBrush(fill, box, flipH, flipV));
      return FillRings(painter, path, fill, box, flipH, flipV);
    case FillType::Patterned:
      return painter.fillPath(path, PatternBrush(fill, box));
    case FillType::Picture:
    case FillType::Textured:
      if (fill.image) return FillPicture(painter, path, fill, box);
      break;
    case FillType::Solid:
      break;
  }
  painter.fillPath(path, ToQColor(fill.color, fill.alpha));
}

}  // namespace wordproc
