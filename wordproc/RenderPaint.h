// How shapes are painted: fills (solid, gradients, patterns, pictures) clipped to their
// outlines, outlines with compound strokes, caps, joins and arrowheads, and soft outer shadows.
#pragma once

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QRectF>

#include "wordproc/core/Model.h"

namespace wordproc {

QColor ToQColor(Rgb rgb, float alpha);
// The colour of a gradient at t (0 to 1) between its stops.
QColor GradientColorAt(const std::vector<GradientStop>& stops, double t);

// Fills path with fill over box; a flipped shape's gradient is mirrored with it.
void FillArea(QPainter& painter, const QPainterPath& path, const FillFormat& fill,
              const QRectF& box, bool flipH, bool flipV);
// The pen of a single line: weight (one device pixel at least), colour, dash, cap and join.
QPen LinePen(const QPainter& painter, const LineFormat& line);
// Strokes path with line: one stroke, or the bands of a compound line.
void StrokeArea(QPainter& painter, const QPainterPath& path, const LineFormat& line);
// The arrowheads of an open path: line.head at its start, line.tail at its end.
void DrawArrowheads(QPainter& painter, const QPainterPath& path, const LineFormat& line);
// How far an arrowhead reaches back along its line, in points; 0 without one.
double ArrowReach(const LineFormat& line, const Arrowhead& arrow);

// Paints silhouette as the shadow: moved by the painter's caller, blurred on pictures of pages,
// drawn as a few translucent layers on printers and PDF.
void PaintShadow(QPainter& painter, const QPainterPath& silhouette, const ShadowFormat& shadow);

}  // namespace wordproc
