#include "wordproc/RenderPicture.h"

#include <QByteArray>
#include <QPaintEngine>
#include <QSvgRenderer>
#include <algorithm>
#include <cmath>

#include "wordproc/RenderText.h"

namespace wordproc {

namespace {

constexpr double kPointsPerPixel = 0.75;

QByteArray Bytes(const std::vector<std::uint8_t>& bytes) {
  return QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                 qsizetype(bytes.size()));
}

// Printers and PDF take the drawing itself, which prints sharp at any size.
bool PaintsVectors(const QPainter& painter) {
  const QPaintDevice* device = painter.device();
  const QPaintEngine* engine = painter.paintEngine();
  return (device && device->devType() == QInternal::Printer) ||
         (engine &&
          (engine->type() == QPaintEngine::Pdf || engine->type() == QPaintEngine::Picture));
}

// The box the whole picture would fill for the part the crop keeps to fill box; null when the
// crop keeps nothing.
QRectF UncroppedBox(const QRectF& box, const PictureCrop& crop) {
  const double keptX = 1.0 - crop.left - crop.right, keptY = 1.0 - crop.top - crop.bottom;
  if (!(keptX > 1e-4 && keptY > 1e-4)) return {};
  const double w = box.width() / keptX, h = box.height() / keptY;
  return {box.left() - crop.left * w, box.top() - crop.top * h, w, h};
}

// A vector picture is rendered for a page no larger than a quarter of the pixels a picture may
// have, however far a crop enlarges it.
QSizeF BoundedPixels(QSizeF drawn) {
  const double most = double(kMaxPicturePixels) / 4, area = drawn.width() * drawn.height();
  if (area > most) drawn *= std::sqrt(most / area);
  return drawn;
}

// Only the part the crop keeps is drawn, so that smoothing takes no colour from beyond it.
void DrawCropped(QPainter& painter, const QImage& picture, const PictureCrop& crop,
                 const QRectF& whole, const QRectF& box) {
  const bool inside = crop.left >= 0 && crop.top >= 0 && crop.right >= 0 && crop.bottom >= 0;
  if (crop.empty() || !inside) return painter.drawImage(whole, picture);
  const double w = picture.width(), h = picture.height();
  const QRectF kept(crop.left * w, crop.top * h, (1 - crop.left - crop.right) * w,
                    (1 - crop.top - crop.bottom) * h);
  const QRect pixels = kept.toAlignedRect().intersected(picture.rect());
  painter.drawImage(box, picture.copy(pixels), kept.translated(-pixels.topLeft()));
}

}  // namespace

VectorKind VectorKindOf(const std::vector<std::uint8_t>& bytes) {
  switch (metafile::KindOf(bytes.data(), bytes.size())) {
    case metafile::Kind::Emf:
      return VectorKind::Emf;
    case metafile::Kind::Wmf:
      return VectorKind::Wmf;
    case metafile::Kind::None:
      break;
  }
  return metafile::LooksLikeSvg(bytes.data(), bytes.size()) ? VectorKind::Svg : VectorKind::None;
}

std::optional<QSizeF> VectorNaturalSize(const std::vector<std::uint8_t>& bytes) {
  const VectorKind kind = VectorKindOf(bytes);
  if (kind == VectorKind::Svg) {
    QSvgRenderer renderer(Bytes(bytes));
    const QSize size = renderer.defaultSize();
    if (!renderer.isValid() || size.isEmpty()) return std::nullopt;
    return QSizeF(size) * kPointsPerPixel;
  }
  if (kind == VectorKind::None) return std::nullopt;
  const auto size = metafile::NaturalSize(bytes.data(), bytes.size());
  if (!size) return std::nullopt;
  return QSizeF(size->first, size->second);
}

void PaintVector(QPainter& painter, const Image& image, const QRectF& box) {
  const VectorKind kind = VectorKindOf(image.bytes);
  if (kind == VectorKind::Svg) {
    QSvgRenderer renderer(Bytes(image.bytes));
    renderer.setAspectRatioMode(Qt::IgnoreAspectRatio);
    if (renderer.isValid()) renderer.render(&painter, box);
  } else if (kind != VectorKind::None) {
    if (const auto picture = metafile::Read(image.bytes.data(), image.bytes.size()))
      PaintMetafile(painter, *picture, box);
  }
}

QImage RasteriseVector(const Image& image, const QSize& pixels) {
  QImage out(pixels, QImage::Format_ARGB32_Premultiplied);
  if (out.isNull()) return out;
  out.fill(Qt::transparent);
  QPainter painter(&out);
  painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
  PaintVector(painter, image, QRectF(QPointF(0, 0), QSizeF(pixels)));
  return out;
}

void DrawPicturePart(QPainter& painter, const ImagePtr& image, const ImagePtr& svg,
                     const PictureCrop& crop, const QRectF& box) {
  const bool useSvg = svg && VectorKindOf(svg->bytes) == VectorKind::Svg;
  const ImagePtr& source = useSvg ? svg : image;
  if (!source || source->bytes.empty()) return;
  const QRectF whole = crop.empty() ? box : UncroppedBox(box, crop);
  if (whole.isEmpty()) return;
  const bool vector = useSvg || VectorKindOf(source->bytes) != VectorKind::None;
  painter.save();
  if (!crop.empty()) painter.setClipRect(box, Qt::IntersectClip);
  if (vector && PaintsVectors(painter)) {
    PaintVector(painter, *source, whole);
  } else {
    const QSizeF drawn = DevicePixels(painter, whole);
    const QImage picture = PictureImage(source, vector ? BoundedPixels(drawn) : drawn);
    if (!picture.isNull()) DrawCropped(painter, picture, crop, whole, box);
  }
  painter.restore();
}

QImage PicturePartImage(const ImagePtr& image, const ImagePtr& svg, const PictureCrop& crop,
                        const QSize& pixels) {
  if (!PictureSizeAllowed(pixels)) return {};
  QImage out(pixels, QImage::Format_ARGB32_Premultiplied);
  if (out.isNull()) return out;
  out.fill(Qt::transparent);
  QPainter painter(&out);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  DrawPicturePart(painter, image, svg, crop, QRectF(QPointF(0, 0), QSizeF(pixels)));
  return out;
}

}  // namespace wordproc
