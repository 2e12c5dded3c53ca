#include "wordproc/RenderGeometry.h"

#include <cmath>

namespace wordproc {

namespace {

QBrush Shaded(const QBrush& brush, geometry::PathFill fill) {
  if (brush.style() != Qt::SolidPattern) return brush;
  const QColor c = brush.color();
  auto toward = [&](const QColor& target, double share) {
    return QColor::fromRgbF(float(c.redF() + (target.redF() - c.redF()) * share),
                            float(c.greenF() + (target.greenF() - c.greenF()) * share),
                            float(c.blueF() + (target.blueF() - c.blueF()) * share), c.alphaF());
  };
  switch (fill) {
    case geometry::PathFill::Darken:
      return QBrush(toward(Qt::black, 0.4));
    case geometry::PathFill::DarkenLess:
      return QBrush(toward(Qt::black, 0.2));
    case geometry::PathFill::Lighten:
      return QBrush(toward(Qt::white, 0.4));
    case geometry::PathFill::LightenLess:
      return QBrush(toward(Qt::white, 0.2));
    case geometry::PathFill::Norm:
    case geometry::PathFill::None:
      break;
  }
  return brush;
}

}  // namespace

QPainterPath PainterPathOf(const geometry::SubPath& path, const QRectF& box, bool flipH,
                           bool flipV) {
  auto place = [&](geometry::Point p) {
    return QPointF(flipH ? box.right() - p.x : box.left() + p.x,
                   flipV ? box.bottom() - p.y : box.top() + p.y);
  };
  QPainterPath out;
  out.setFillRule(Qt::OddEvenFill);
  for (const geometry::Segment& s : path.segments) {
    switch (s.kind) {
      case geometry::Segment::Kind::Move:
        out.moveTo(place(s.to));
        break;
      case geometry::Segment::Kind::Line:
        out.lineTo(place(s.to));
        break;
      case geometry::Segment::Kind::Cubic:
        out.cubicTo(place(s.c1), place(s.c2), place(s.to));
        break;
      case geometry::Segment::Kind::Close:
        out.closeSubpath();
        break;
    }
  }
  return out;
}

void DrawOutlinePaths(QPainter& painter, const geometry::Outline& outline, const Shape& shape,
                      const QRectF& box, const QPen& pen, const QBrush& brush) {
  for (const geometry::SubPath& sub : outline.paths) {
    const QPainterPath path = PainterPathOf(sub, box, shape.flipH, shape.flipV);
    if (sub.fill != geometry::PathFill::None && brush.style() != Qt::NoBrush)
      painter.fillPath(path, Shaded(brush, sub.fill));
    if (sub.stroke && pen.style() != Qt::NoPen) painter.strokePath(path, pen);
  }
}

QRectF TextRectOf(const geometry::Outline& outline, const QRectF& box) {
  const geometry::Box& t = outline.text;
  const QRectF rect(box.left() + t.left, box.top() + t.top, t.right - t.left, t.bottom - t.top);
  return rect.isValid() ? rect : box;
}

ShapeTurn::ShapeTurn(QPainter& painter, const Shape& shape, const QRectF& box) : painter_(painter) {
  const bool mirrors = shape.kind == ShapeKind::Picture || shape.kind == ShapeKind::Group;
  const bool flipped = mirrors && (shape.flipH || shape.flipV);
  if (std::fmod(double(shape.rotation), 360.0) == 0 && !flipped) return;
  turned_ = true;
  painter.save();
  painter.translate(box.center());
  painter.rotate(shape.rotation);
  if (flipped) painter.scale(shape.flipH ? -1 : 1, shape.flipV ? -1 : 1);
  painter.translate(-box.center());
}

ShapeTurn::~ShapeTurn() {
  if (turned_) painter_.restore();
}

}  // namespace wordproc
