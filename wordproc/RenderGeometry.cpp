#include "wordproc/RenderGeometry.h"

#include <cmath>
#include <vector>

#include "wordproc/RenderPaint.h"

namespace wordproc {

namespace {

// The darker and lighter paths of solid-looking presets: a solid fill's colour moved toward
// black or white.
FillFormat Shaded(const FillFormat& fill, geometry::PathFill kind) {
  double share = 0;
  Rgb target = 0x000000;
  switch (kind) {
    case geometry::PathFill::Darken:
      share = 0.4;
      break;
    case geometry::PathFill::DarkenLess:
      share = 0.2;
      break;
    case geometry::PathFill::Lighten:
      share = 0.4;
      target = 0xFFFFFF;
      break;
    case geometry::PathFill::LightenLess:
      share = 0.2;
      target = 0xFFFFFF;
      break;
    case geometry::PathFill::Norm:
    case geometry::PathFill::None:
      return fill;
  }
  if (fill.type != FillType::Solid) return fill;
  FillFormat shaded = fill;
  shaded.color = 0;
  for (int shift = 16; shift >= 0; shift -= 8) {
    const double c = (fill.color >> shift) & 0xFF, t = (target >> shift) & 0xFF;
    shaded.color |= Rgb(std::lround(c + (t - c) * share)) << shift;
  }
  return shaded;
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
                      const QRectF& box) {
  const QPainterPath* first = nullptr;
  const QPainterPath* last = nullptr;
  std::vector<QPainterPath> paths;
  paths.reserve(outline.paths.size());
  for (const geometry::SubPath& sub : outline.paths) {
    paths.push_back(PainterPathOf(sub, box, shape.flipH, shape.flipV));
    const QPainterPath& path = paths.back();
    if (sub.fill != geometry::PathFill::None)
      FillArea(painter, path, Shaded(shape.fill, sub.fill), box, shape.flipH, shape.flipV);
    if (sub.stroke) StrokeArea(painter, path, shape.line);
  }
  // Arrowheads end the open paths an outline strokes: the first one's start, the last one's end.
  for (std::size_t k = 0; k < paths.size(); ++k) {
    if (!outline.paths[k].stroke) continue;
    if (!first) first = &paths[k];
    last = &paths[k];
  }
  if (!first) return;
  LineFormat head = shape.line, tail = shape.line;
  head.tail = {};
  tail.head = {};
  DrawArrowheads(painter, *first, head);
  DrawArrowheads(painter, *last, tail);
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
