// Pictures in their boxes: the SVG a picture carries drawn in place of its pixels, the crop
// applied, and pictures recorded as drawing (EMF, WMF, SVG) painted as vectors on printers and
// PDF so that logos print sharp, or rendered into pixels for pictures of pages at the size they
// are shown, through the same cache and limits as other pictures.
#pragma once

#include <QImage>
#include <QPainter>
#include <optional>

#include "wordproc/core/Metafile.h"
#include "wordproc/core/Model.h"

namespace wordproc {

enum class VectorKind { None, Emf, Wmf, Svg };

VectorKind VectorKindOf(const std::vector<std::uint8_t>& bytes);
// The size a vector picture has of its own, in points; nullopt when it cannot be read.
std::optional<QSizeF> VectorNaturalSize(const std::vector<std::uint8_t>& bytes);

// Paints a vector picture to fill box; nothing when it cannot be read.
void PaintVector(QPainter& painter, const Image& image, const QRectF& box);
// The vector picture rendered into that many pixels, transparent around what it draws.
QImage RasteriseVector(const Image& image, const QSize& pixels);
void PaintMetafile(QPainter& painter, const metafile::Picture& picture, const QRectF& box);

// Draws the picture of a shape or inline picture to fill box.
void DrawPicturePart(QPainter& painter, const ImagePtr& image, const ImagePtr& svg,
                     const PictureCrop& crop, const QRectF& box);
// The same, into a picture of that many pixels.
QImage PicturePartImage(const ImagePtr& image, const ImagePtr& svg, const PictureCrop& crop,
                        const QSize& pixels);

}  // namespace wordproc
