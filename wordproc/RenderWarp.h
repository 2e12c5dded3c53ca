// WordArt: a shape's text set along an arc of its ellipse glyph by glyph, or stretched to fill
// its box. Glyphs stay text, so PDF files keep them searchable.
#pragma once

#include <QPainter>
#include <QRectF>

#include "wordproc/core/Model.h"

namespace wordproc {

// Draws the shape's text by its warp within box; false when the warp is none drawn here (the
// text is then set as in any text box).
bool DrawWarpedText(QPainter& painter, const Shape& shape, const QRectF& box);

}  // namespace wordproc
