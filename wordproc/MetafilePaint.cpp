#include <QBuffer>
#include <QFontMetricsF>
#include <QImageReader>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "wordproc/RenderPicture.h"
#include "wordproc/RenderText.h"

namespace wordproc {

namespace {

using namespace metafile;

QColor ColorOf(Color c) {
  return QColor(int((c >> 16) & 0xFF), int((c >> 8) & 0xFF), int(c & 0xFF));
}

QRectF RectOf(const Rect& r) {
  return QRectF(QPointF(r.left, r.top), QPointF(r.right, r.bottom)).normalized();
}

QPen PenOf(const Pen& pen) {
  QPen out(ColorOf(pen.color), pen.width);
  out.setCosmetic(pen.width <= 0);
  static const Qt::PenStyle kDashes[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine,
                                         Qt::DashDotDotLine};
  out.setStyle(kDashes[int(pen.dash)]);
  out.setCapStyle(pen.cap == PenCap::Square ? Qt::SquareCap
                  : pen.cap == PenCap::Flat ? Qt::FlatCap
                                            : Qt::RoundCap);
  out.setJoinStyle(pen.join == PenJoin::Bevel   ? Qt::BevelJoin
                   : pen.join == PenJoin::Miter ? Qt::MiterJoin
                                                : Qt::RoundJoin);
  return out;
}

QBrush BrushOf(const Brush& brush) {
  static const Qt::BrushStyle kHatches[] = {Qt::HorPattern,   Qt::VerPattern,
                                            Qt::FDiagPattern, Qt::BDiagPattern,
                                            Qt::CrossPattern, Qt::DiagCrossPattern};
  const bool hatched = brush.hatch >= 0 && brush.hatch < 6;
  return QBrush(ColorOf(brush.color), hatched ? kHatches[brush.hatch] : Qt::SolidPattern);
}

void PaintPath(QPainter& painter, const Path& path) {
  QPainterPath out;
  out.setFillRule(path.winding ? Qt::WindingFill : Qt::OddEvenFill);
  std::size_t at = 0;
  for (const PathOp op : path.ops) {
    const std::size_t need = op == PathOp::Cubic ? 3 : op == PathOp::Close ? 0 : 1;
    if (need > path.points.size() - at) break;
    const Point* p = path.points.data() + at;
    if (op == PathOp::Move) out.moveTo(p[0].x, p[0].y);
    if (op == PathOp::Line) out.lineTo(p[0].x, p[0].y);
    if (op == PathOp::Cubic) out.cubicTo(p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y);
    if (op == PathOp::Close) out.closeSubpath();
    at += need;
  }
  painter.setPen(path.stroke ? PenOf(path.pen) : QPen(Qt::NoPen));
  painter.setBrush(path.fill ? BrushOf(path.brush) : QBrush(Qt::NoBrush));
  painter.drawPath(out);
}

// Text stays upright where the picture's axes are turned round: flipX and flipY undo that.
void PaintText(QPainter& painter, const Text& text, double flipX, double flipY) {
  if (!(text.height > 0) || text.chars.empty()) return;
  constexpr int kPixels = 100;  // the font is scaled to the height, which need not be whole
  QFont font(QString::fromStdU16String(text.family));
  font.setPixelSize(kPixels);
  font.setWeight(QFont::Weight(std::clamp(text.weight == 0 ? 400 : text.weight, 100, 900)));
  font.setItalic(text.italic);
  font.setUnderline(text.underline);
  font.setStrikeOut(text.strikeOut);
  const QFontMetricsF metrics(font);
  const QString chars = QString::fromStdU16String(text.chars);
  const double scale = text.height / kPixels;
  double width = 0;
  for (double a : text.advances) width += a / scale;
  if (text.advances.empty()) width = metrics.horizontalAdvance(chars);
  double x = text.hAlign == HAlign::Center ? -width / 2 : text.hAlign == HAlign::Right ? -width : 0;
  const double y = text.vAlign == VAlign::Top      ? metrics.ascent()
                   : text.vAlign == VAlign::Bottom ? -metrics.descent()
                                                   : 0;
  painter.save();
  painter.translate(text.at.x, text.at.y);
  painter.rotate(-text.angle * flipX * flipY);
  painter.scale(flipX * scale, flipY * scale);
  painter.setFont(font);
  painter.setPen(ColorOf(text.color));
  if (text.advances.empty()) {
    painter.drawText(QPointF(x, y), chars);
  } else {
    for (qsizetype k = 0; k < chars.size(); ++k) {
      const bool pair = chars[k].isHighSurrogate() && k + 1 < chars.size();
      painter.drawText(QPointF(x, y), chars.mid(k, pair ? 2 : 1));
      x += text.advances[std::size_t(k)] / scale;
      if (pair) x += text.advances[std::size_t(++k)] / scale;
    }
  }
  painter.restore();
}

void PaintBitmap(QPainter& painter, const Bitmap& bitmap) {
  QByteArray bytes = QByteArray::fromRawData(bitmap.file.data(), qsizetype(bitmap.file.size()));
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  const QSize size = reader.size();
  if (!PictureSizeAllowed(size) || !SpendDecoding(qint64(size.width()) * size.height())) return;
  reader.setAllocationLimit(int((kMaxPicturePixels * 4) >> 20));
  const QImage image = reader.read();
  if (image.isNull()) return;
  QRectF source = RectOf(bitmap.source).intersected(QRectF(image.rect()));
  if (source.isEmpty()) source = image.rect();
  const Rect& d = bitmap.dest;
  painter.save();
  // Enlarged, a metafile's bitmap keeps its pixels square, as the programs that wrote it show it.
  const QSizeF shown = painter.transform().mapRect(RectOf(d)).size();
  painter.setRenderHint(QPainter::SmoothPixmapTransform,
                        shown.width() < source.width() || shown.height() < source.height());
  painter.translate(d.left, d.top);
  painter.scale(d.right < d.left ? -1 : 1, d.bottom < d.top ? -1 : 1);
  painter.drawImage(QRectF(0, 0, std::abs(d.right - d.left), std::abs(d.bottom - d.top)), image,
                    source);
  painter.restore();
}

}  // namespace

void PaintMetafile(QPainter& painter, const Picture& picture, const QRectF& box) {
  const Rect& f = picture.frame;
  const double fw = f.right - f.left, fh = f.bottom - f.top;
  if (!(std::abs(fw) > 0 && std::abs(fh) > 0) || box.isEmpty()) return;
  painter.save();
  painter.setClipRect(box, Qt::IntersectClip);
  painter.translate(box.left(), box.top());
  painter.scale(box.width() / fw, box.height() / fh);
  painter.translate(-f.left, -f.top);
  painter.setRenderHint(QPainter::Antialiasing);
  const double flipX = fw < 0 ? -1 : 1, flipY = fh < 0 ? -1 : 1;
  for (const Drawn& drawn : picture.items) {
    if (drawn.clip) {
      painter.save();
      painter.setClipRect(RectOf(*drawn.clip), Qt::IntersectClip);
    }
    if (const auto* path = std::get_if<Path>(&drawn.item)) PaintPath(painter, *path);
    if (const auto* text = std::get_if<Text>(&drawn.item)) PaintText(painter, *text, flipX, flipY);
    if (const auto* bitmap = std::get_if<Bitmap>(&drawn.item)) PaintBitmap(painter, *bitmap);
    if (drawn.clip) painter.restore();
  }
  painter.restore();
}

}  // namespace wordproc
