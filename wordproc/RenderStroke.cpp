// Outlines, arrowheads and shadows of shapes (declared in RenderPaint.h).
#include <QPaintEngine>
#include <QPainterPathStroker>
#include <algorithm>
#include <cmath>
#include <mutex>
#include <unordered_map>

#include "wordproc/RenderPaint.h"

namespace wordproc {

namespace {

// Dash and gap lengths in line widths, as the word processor draws each style.
QList<qreal> DashPattern(DashStyle dash) {
  switch (dash) {
    case DashStyle::Solid:
      return {};
    case DashStyle::SquareDot:
    case DashStyle::SysDot:
      return {1, 1};
    case DashStyle::RoundDot:
      return {0.01, 2};
    case DashStyle::Dash:
      return {4, 3};
    case DashStyle::DashDot:
      return {4, 3, 1, 3};
    case DashStyle::DashDotDot:
      return {4, 3, 1, 3, 1, 3};
    case DashStyle::LongDash:
      return {8, 3};
    case DashStyle::LongDashDot:
      return {8, 3, 1, 3};
    case DashStyle::LongDashDotDot:
      return {8, 3, 1, 3, 1, 3};
    case DashStyle::SysDash:
      return {3, 1};
    case DashStyle::SysDashDot:
      return {3, 1, 1, 1};
  }
  return {};
}

double DevicePixelsPerUnit(const QPainter& painter) {
  const QTransform t = painter.combinedTransform();
  return std::max(1e-6, std::sqrt(std::abs(t.determinant())));
}

Qt::PenCapStyle CapOf(const LineFormat& line) {
  if (line.dash == DashStyle::RoundDot || line.cap == LineCap::Round) return Qt::RoundCap;
  return line.cap == LineCap::Square ? Qt::SquareCap : Qt::FlatCap;
}

Qt::PenJoinStyle JoinOf(LineJoin join) {
  switch (join) {
    case LineJoin::Round:
      return Qt::RoundJoin;
    case LineJoin::Bevel:
      return Qt::BevelJoin;
    case LineJoin::Miter:
      break;
  }
  return Qt::MiterJoin;
}

// The outline of the path stroked width wide, dashed as the line is in its own width.
QPainterPath Stroked(const QPainterPath& path, const QPen& pen, double width) {
  QPainterPathStroker stroker;
  stroker.setWidth(width);
  stroker.setCapStyle(pen.capStyle());
  stroker.setJoinStyle(pen.joinStyle());
  if (pen.style() == Qt::CustomDashLine) {
    QList<qreal> pattern = pen.dashPattern();
    for (qreal& v : pattern) v *= pen.widthF() / width;
    stroker.setDashPattern(pattern);
  }
  return stroker.createStroke(path);
}

// The part of the stroke between distances inner and outer from the path, on both sides.
QPainterPath Band(const QPainterPath& path, const QPen& pen, double inner, double outer) {
  QPainterPath band = Stroked(path, pen, 2 * outer);
  if (inner > 0) band = band.subtracted(Stroked(path, pen, 2 * inner));
  return band;
}

// Thick and thin lines side by side: on a closed outline the first one named goes outside.
void PaintSided(QPainter& painter, const QPainterPath& path, const QPen& pen, bool thickOutside) {
  const double w = pen.widthF();
  const QPainterPath thick = Stroked(path, pen, w);
  const QPainterPath thin = Band(path, pen, w / 4, w / 2);
  QPainterPath inside = path;
  inside.setFillRule(Qt::WindingFill);
  const QBrush brush = pen.brush();
  if (thickOutside) {
    painter.fillPath(thick.subtracted(inside), brush);
    painter.fillPath(thin.intersected(inside), brush);
  } else {
    painter.fillPath(thick.intersected(inside), brush);
    painter.fillPath(thin.subtracted(inside), brush);
  }
}

bool Closed(const QPainterPath& path) {
  const int n = path.elementCount();
  return n > 2 && path.elementAt(0) == path.elementAt(n - 1);
}

// One arrowhead with its tip at the origin pointing along +x, length long and width wide.
void PaintArrow(QPainter& painter, ArrowStyle style, double length, double width, const QPen& pen) {
  const double l = length, h = width / 2;
  QPainterPath shape;
  switch (style) {
    case ArrowStyle::Triangle:
      shape.addPolygon(QPolygonF({{0, 0}, {-l, h}, {-l, -h}, {0, 0}}));
      break;
    case ArrowStyle::Stealth:
      shape.addPolygon(QPolygonF({{0, 0}, {-l, h}, {-l * 0.65, 0}, {-l, -h}, {0, 0}}));
      break;
    case ArrowStyle::Diamond:
      shape.addPolygon(QPolygonF({{l / 2, 0}, {0, h}, {-l / 2, 0}, {0, -h}, {l / 2, 0}}));
      break;
    case ArrowStyle::Oval:
      shape.addEllipse(QPointF(0, 0), l / 2, h);
      break;
    case ArrowStyle::Open: {
      QPainterPath open;
      open.moveTo(-l, h);
      open.lineTo(0, 0);
      open.lineTo(-l, -h);
      QPen arrowPen = pen;
      arrowPen.setStyle(Qt::SolidLine);
      arrowPen.setJoinStyle(Qt::MiterJoin);
      return painter.strokePath(open, arrowPen);
    }
    case ArrowStyle::None:
      return;
  }
  painter.fillPath(shape, pen.brush());
}

double Scale(int size) {
  return size <= 1 ? 2 : size >= 3 ? 5 : 3;
}

// The arrowhead's size grows with the line, from a floor that keeps it seen on hairlines.
double ArrowBase(const LineFormat& line) {
  return std::max(double(line.weight), 1.5);
}

void ArrowAt(QPainter& painter, const QPainterPath& path, bool atEnd, const Arrowhead& arrow,
             const LineFormat& line, const QPen& pen) {
  if (arrow.style == ArrowStyle::None) return;
  const double length = path.length();
  if (length <= 1e-6) return;
  const double reach = std::min(length, ArrowBase(line) * Scale(arrow.length));
  const QPointF tip = path.pointAtPercent(atEnd ? 1 : 0);
  const QPointF back = path.pointAtPercent(path.percentAtLength(atEnd ? length - reach : reach));
  const QPointF d = tip - back;
  painter.save();
  painter.translate(tip);
  painter.rotate(std::atan2(d.y(), d.x()) * 180 / M_PI);
  PaintArrow(painter, arrow.style, ArrowBase(line) * Scale(arrow.length),
             ArrowBase(line) * Scale(arrow.width), pen);
  painter.restore();
}

bool PaintsVectors(const QPainter& painter) {
  const QPaintEngine* engine = painter.paintEngine();
  return !engine || engine->type() != QPaintEngine::Raster;
}

// The silhouette rendered into device pixels, blurred by scaling down and back up smoothly.
void PaintBlurred(QPainter& painter, const QPainterPath& silhouette, const QColor& color,
                  double blur) {
  const QTransform device = painter.combinedTransform();
  const double scale = DevicePixelsPerUnit(painter);
  const double margin = blur * scale * 2 + 2;
  const QRectF area =
      device.mapRect(silhouette.boundingRect()).adjusted(-margin, -margin, margin, margin);
  const QRect pixels = area.toAlignedRect().intersected(QRect(-8192, -8192, 16384, 16384));
  if (pixels.isEmpty() || double(pixels.width()) * pixels.height() > 16e6) return;
  QImage layer(pixels.size(), QImage::Format_ARGB32_Premultiplied);
  layer.fill(Qt::transparent);
  {
    QPainter p(&layer);
    p.setRenderHint(QPainter::Antialiasing);
    p.setTransform(device * QTransform::fromTranslate(-pixels.left(), -pixels.top()));
    p.fillPath(silhouette, color);
  }
  const double step = std::max(1.0, blur * scale / 2);
  const QSize small(std::max(1, int(pixels.width() / step)),
                    std::max(1, int(pixels.height() / step)));
  layer = layer.scaled(small, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
              .scaled(pixels.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  painter.save();
  painter.resetTransform();
  painter.drawImage(pixels.topLeft(), layer);
  painter.restore();
}

// Pixels per point of the shadow pictures of printed pages: a blur hides finer detail.
constexpr double kShadowPixelsPerPoint = 3;

struct ShadowKey {
  std::size_t hash = 0;
  QPainterPath outline;
  QRgb color = 0;
  double blur = 0;
  bool operator==(const ShadowKey& o) const {
    return hash == o.hash && color == o.color && blur == o.blur && outline == o.outline;
  }
};

struct ShadowKeyHash {
  std::size_t operator()(const ShadowKey& key) const { return key.hash; }
};

std::size_t HashOf(const QPainterPath& outline, QRgb color, double blur) {
  std::size_t h = std::hash<QRgb>()(color) ^ (std::hash<double>()(blur) << 1);
  for (int k = 0; k < outline.elementCount(); ++k) {
    const QPainterPath::Element e = outline.elementAt(k);
    h = h * 1000003u ^ std::hash<double>()(e.x) ^ (std::hash<double>()(e.y) << 1) ^ e.type;
  }
  return h;
}

// The blurred outline, its origin at the picture's corner, made once per outline, colour and
// blur: the same image drawn again is written to a PDF only once.
QImage ShadowPicture(const QPainterPath& outline, QSizeF size, const QColor& color, double blur) {
  static std::mutex mutex;
  static std::unordered_map<ShadowKey, QImage, ShadowKeyHash> made;
  ShadowKey key{HashOf(outline, color.rgba(), blur), outline, color.rgba(), blur};
  std::lock_guard<std::mutex> lock(mutex);
  if (auto found = made.find(key); found != made.end()) return found->second;
  const QSize pixels(int(std::ceil(size.width() * kShadowPixelsPerPoint)),
                     int(std::ceil(size.height() * kShadowPixelsPerPoint)));
  if (pixels.isEmpty() || double(pixels.width()) * pixels.height() > 16e6) return {};
  QImage layer(pixels, QImage::Format_ARGB32_Premultiplied);
  layer.fill(Qt::transparent);
  {
    QPainter p(&layer);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(kShadowPixelsPerPoint, kShadowPixelsPerPoint);
    p.fillPath(outline, color);
  }
  const double step = std::max(1.0, blur * kShadowPixelsPerPoint / 2);
  const QSize small(std::max(1, int(pixels.width() / step)),
                    std::max(1, int(pixels.height() / step)));
  layer = layer.scaled(small, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
              .scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  if (made.size() >= 512) made.clear();
  made.emplace(std::move(key), layer);
  return layer;
}

}  // namespace

QPen LinePen(const QPainter& painter, const LineFormat& line) {
  if (!line.visible) return Qt::NoPen;
  // Hairlines would vanish from small pictures such as thumbnails: one device pixel at least.
  const double width = std::max(double(line.weight), 1.0 / DevicePixelsPerUnit(painter));
  QPen pen(ToQColor(line.color, line.alpha), width, Qt::SolidLine, CapOf(line), JoinOf(line.join));
  const QList<qreal> pattern = DashPattern(line.dash);
  if (!pattern.isEmpty()) pen.setDashPattern(pattern);
  return pen;
}

void StrokeArea(QPainter& painter, const QPainterPath& path, const LineFormat& line) {
  const QPen pen = LinePen(painter, line);
  if (pen.style() == Qt::NoPen) return;
  const double w = pen.widthF();
  switch (line.style) {
    case LineStyle::Single:
      return painter.strokePath(path, pen);
    case LineStyle::ThinThin:
      return painter.fillPath(Band(path, pen, w / 6, w / 2), pen.brush());
    case LineStyle::ThickBetweenThin:
      painter.fillPath(Band(path, pen, 0, w / 6), pen.brush());
      return painter.fillPath(Band(path, pen, w / 3, w / 2), pen.brush());
    case LineStyle::ThickThin:
    case LineStyle::ThinThick:
      if (!Closed(path)) return painter.fillPath(Band(path, pen, w / 6, w / 2), pen.brush());
      return PaintSided(painter, path, pen, line.style == LineStyle::ThickThin);
  }
}

void DrawArrowheads(QPainter& painter, const QPainterPath& path, const LineFormat& line) {
  if (!line.visible || Closed(path)) return;
  const QPen pen = LinePen(painter, line);
  ArrowAt(painter, path, false, line.head, line, pen);
  ArrowAt(painter, path, true, line.tail, line, pen);
}

double ArrowReach(const LineFormat& line, const Arrowhead& arrow) {
  switch (arrow.style) {
    case ArrowStyle::Triangle:
    case ArrowStyle::Stealth:
      return ArrowBase(line) * Scale(arrow.length) * 0.5;
    case ArrowStyle::None:
    case ArrowStyle::Open:
    case ArrowStyle::Diamond:
    case ArrowStyle::Oval:
      break;
  }
  return 0;
}

void PaintShadow(QPainter& painter, const QPainterPath& silhouette, const ShadowFormat& shadow) {
  const QColor color = ToQColor(shadow.color, shadow.alpha);
  if (shadow.blur <= 0.25f) return painter.fillPath(silhouette, color);
  if (!PaintsVectors(painter)) return PaintBlurred(painter, silhouette, color, shadow.blur);
  // Printers and PDF: the blurred silhouette as a picture at print resolution, one for every
  // copy that casts the same shadow, so that a sheet of copies holds it once.
  const QRectF bounds = silhouette.boundingRect();
  const double margin = 2.0 * shadow.blur;
  const QRectF area = bounds.adjusted(-margin, -margin, margin, margin);
  const QImage picture =
      ShadowPicture(silhouette.translated(-area.topLeft()), area.size(), color, shadow.blur);
  if (!picture.isNull()) painter.drawImage(area, picture);
}

}  // namespace wordproc
