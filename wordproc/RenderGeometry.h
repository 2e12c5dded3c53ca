// Shapes drawn from their geometry: the outlines of presets and freeforms as painter paths,
// filled and stroked path by path, and the rectangle their text stands in.
#pragma once

#include <QBrush>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QRectF>

#include "wordproc/core/Geometry.h"
#include "wordproc/core/Model.h"

namespace wordproc {

// One path of an outline placed in box, mirrored within it as the flips say.
QPainterPath PainterPathOf(const geometry::SubPath& path, const QRectF& box, bool flipH,
                           bool flipV);
// Each path filled with the shape's fill (shaded for the darker and lighter paths of
// solid-looking presets) and stroked with its line, in the outline's order; open paths end in
// the line's arrowheads.
void DrawOutlinePaths(QPainter& painter, const geometry::Outline& outline, const Shape& shape,
                      const QRectF& box);
// The geometry's text rectangle within box.
QRectF TextRectOf(const geometry::Outline& outline, const QRectF& box);

// Turns the painter about the box's centre by the shape's rotation for as long as it lives;
// pictures and groups are mirrored by their flips too, which autoshapes apply to their outline
// alone so that their text still reads.
class ShapeTurn {
 public:
  ShapeTurn(QPainter& painter, const Shape& shape, const QRectF& box);
  ~ShapeTurn();
  ShapeTurn(const ShapeTurn&) = delete;
  ShapeTurn& operator=(const ShapeTurn&) = delete;

 private:
  QPainter& painter_;
  bool turned_ = false;
};

}  // namespace wordproc
