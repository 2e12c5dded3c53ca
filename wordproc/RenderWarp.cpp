#include "wordproc/RenderWarp.h"

#include <QFontMetricsF>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "wordproc/RenderText.h"
#include "wordproc/core/TextMeasure.h"
#include "wordproc/core/TextWarp.h"

namespace wordproc {

namespace {

constexpr int kArcSamples = 360;
constexpr double kInkScale = 16;

struct Glyph {
  QString text;
  QFont font;
  QColor color;
  double advance = 0, ascent = 0, descent = 0;
};

// The painter's user space is points: a font measures its point size in user units whatever
// resolution the device has.
QFont WarpFont(const RunFormat& format, const QPaintDevice* device, double scale) {
  QFont font(QString::fromStdString(format.fontFamily));
  if (const auto families = FontFamilies(format.fontFamily); families.size() > 1) {
    QStringList names;
    for (const std::string& family : families) names << QString::fromStdString(family);
    font.setFamilies(names);
  }
  const int dpi = device ? std::max(device->logicalDpiY(), 1) : 72;
  const double size = format.fontSize > 0 ? format.fontSize : 11.0;
  font.setPointSizeF(std::max(0.1, size * scale) * 72.0 / dpi);
  font.setBold(format.bold);
  font.setItalic(format.italic);
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

// The paragraph's characters one by one (surrogate pairs kept whole), each in its run's font.
std::vector<Glyph> GlyphsOf(const Paragraph& paragraph, const QPaintDevice* device, double scale) {
  std::vector<Glyph> glyphs;
  for (const Run& run : paragraph.runs) {
    const QString text = QString::fromStdString(run.text);
    const QFont font = WarpFont(run.format, device, scale);
    const QFontMetricsF metrics(font, device);
    for (qsizetype i = 0; i < text.size(); ++i) {
      const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
      const QString piece = text.mid(i, length);
      i += length - 1;
      if (piece[0].category() == QChar::Other_Control) continue;
      glyphs.push_back({piece, font, ToQColor(run.format.color), metrics.horizontalAdvance(piece),
                        metrics.ascent(), metrics.descent()});
    }
  }
  return glyphs;
}

double WidthOf(const std::vector<Glyph>& glyphs) {
  double width = 0;
  for (const Glyph& g : glyphs) width += g.advance;
  return width;
}

// The directions of the rays of an arc at equal steps of angle. Every copy of a seal asks for
// the same ones, so the last arc's are kept.
const std::vector<QPointF>& RaysOf(const WarpArc& arc) {
  thread_local WarpArc last{};
  thread_local std::vector<QPointF> rays;
  const bool same = !rays.empty() && last.middle == arc.middle && last.sweep == arc.sweep &&
                    last.below == arc.below;
  if (same) return rays;
  last = arc;
  rays.clear();
  const double direction = arc.below ? -1 : 1;
  const double start = arc.middle - direction * arc.sweep / 2;
  for (int i = 0; i <= kArcSamples; ++i) {
    const double degrees = start + direction * arc.sweep * i / kArcSamples;
    const double t = degrees * std::numbers::pi / 180;
    rays.emplace_back(std::cos(t), std::sin(t));
  }
  return rays;
}

// Points along an arc of the ellipse inscribed in a box, at equal steps of angle, with the
// length of the path up to each.
class ArcPath {
 public:
  ArcPath(const QPointF& centre, double rx, double ry, const WarpArc& arc) {
    double length = 0;
    points_.reserve(kArcSamples + 1);
    lengths_.reserve(kArcSamples + 1);
    for (const QPointF& ray : RaysOf(arc)) {
      const double c = ray.x(), s = ray.y();
      // DrawingML angles are seen ones: the point of the ellipse on the ray at that angle.
      const double r = rx * ry / std::max(1e-9, std::sqrt(ry * c * ry * c + rx * s * rx * s));
      const QPointF p = centre + QPointF(r * c, r * s);
      if (!points_.empty()) {
        const QPointF d = p - points_.back();
        length += std::sqrt(d.x() * d.x() + d.y() * d.y());
      }
      points_.push_back(p);
      lengths_.push_back(length);
    }
  }
  double length() const { return lengths_.back(); }

  // The point at a distance along the path, and the path's direction there in degrees.
  std::pair<QPointF, double> at(double distance) const {
    const auto it = std::lower_bound(lengths_.begin(), lengths_.end(), distance);
    const std::size_t i =
        std::clamp<std::size_t>(std::size_t(it - lengths_.begin()), 1, points_.size() - 1);
    const double span = std::max(1e-9, lengths_[i] - lengths_[i - 1]);
    const double f = std::clamp((distance - lengths_[i - 1]) / span, -1.0, 2.0);
    const QLineF step(points_[i - 1], points_[i]);
    const QPointF p = step.p1() + (step.p2() - step.p1()) * f;
    return {p, std::atan2(step.dy(), step.dx()) * 180 / std::numbers::pi};
  }

 private:
  std::vector<QPointF> points_;
  std::vector<double> lengths_;
};

double MaxOf(const std::vector<Glyph>& glyphs, double Glyph::*member) {
  double most = 0;
  for (const Glyph& g : glyphs) most = std::max(most, g.*member);
  return most;
}

// The baseline's ellipse: glyph tops touch the box above the centre, feet below it.
ArcPath BaselineOf(const QRectF& box, const std::vector<Glyph>& glyphs, const WarpArc& arc) {
  const double inset = arc.below ? MaxOf(glyphs, &Glyph::descent) : MaxOf(glyphs, &Glyph::ascent);
  const double rx = std::max(1e-3, box.width() / 2 - inset);
  const double ry = std::max(1e-3, box.height() / 2 - inset);
  return ArcPath(box.center(), rx, ry, arc);
}

void DrawGlyphsAlong(QPainter& painter, const std::vector<Glyph>& glyphs, const ArcPath& path,
                     double first, double gap) {
  double distance = first;
  for (const Glyph& glyph : glyphs) {
    const auto [point, degrees] = path.at(distance + glyph.advance / 2);
    painter.save();
    painter.translate(point);
    painter.rotate(degrees);
    painter.setFont(glyph.font);
    painter.setPen(glyph.color);
    painter.drawText(QPointF(-glyph.advance / 2, 0), glyph.text);
    painter.restore();
    distance += glyph.advance + gap;
  }
}

// Text longer than its arc is made smaller to fit; a ring's letters spread round the whole of it.
void DrawArcText(QPainter& painter, const Paragraph& paragraph, const QRectF& box,
                 const WarpArc& arc) {
  const QPaintDevice* device = painter.device();
  std::vector<Glyph> glyphs = GlyphsOf(paragraph, device, 1);
  double width = WidthOf(glyphs);
  if (glyphs.empty() || width <= 0) return;
  double length = BaselineOf(box, glyphs, arc).length();
  if (width > length) {
    // Smaller glyphs stand further out, so the arc grows a little: measure again once.
    glyphs = GlyphsOf(paragraph, device, length / width);
    length = BaselineOf(box, glyphs, arc).length();
    glyphs = GlyphsOf(paragraph, device, std::min(1.0, length / width));
    width = WidthOf(glyphs);
  }
  const ArcPath path = BaselineOf(box, glyphs, arc);
  const bool ring = arc.sweep >= 360;
  const double room = std::max(0.0, path.length() - width);
  const double gap = ring ? room / double(glyphs.size()) : 0;
  DrawGlyphsAlong(painter, glyphs, path, ring ? gap / 2 : room / 2, gap);
}

void DrawGlyphsInLine(QPainter& painter, const std::vector<Glyph>& glyphs, double x,
                      double baseline) {
  for (const Glyph& glyph : glyphs) {
    painter.setFont(glyph.font);
    painter.setPen(glyph.color);
    painter.drawText(QPointF(x, baseline), glyph.text);
    x += glyph.advance;
  }
}

// The ink of a line of glyphs from its start on the baseline.
QRectF InkOf(const std::vector<Glyph>& glyphs, const QPaintDevice* device) {
  QRectF ink;
  double x = 0;
  for (const Glyph& glyph : glyphs) {
    const QRectF box = QFontMetricsF(glyph.font, device).tightBoundingRect(glyph.text);
    if (!box.isEmpty()) ink = ink.united(box.translated(x, 0));
    x += glyph.advance;
  }
  return ink;
}

// Each paragraph a band of its own, the ink of its text stretched to fill the band.
void DrawPlainText(QPainter& painter, const Shape& shape, const QRectF& box) {
  const double band = box.height() / double(shape.text.size());
  for (std::size_t k = 0; k < shape.text.size(); ++k) {
    // Measured large: the ink of small glyphs comes in whole device pixels, which stretching
    // would make whole letters wide.
    const std::vector<Glyph> glyphs = GlyphsOf(shape.text[k], painter.device(), kInkScale);
    const QRectF ink = InkOf(glyphs, painter.device());
    if (ink.width() <= 0 || ink.height() <= 0) continue;
    painter.save();
    painter.translate(box.left(), box.top() + band * double(k));
    painter.scale(box.width() / ink.width(), band / ink.height());
    painter.translate(-ink.left(), -ink.top());
    DrawGlyphsInLine(painter, glyphs, 0, 0);
    painter.restore();
  }
}

// A button's middle paragraph runs straight across the centre, its last along the foot.
void DrawButtonText(QPainter& painter, const Shape& shape, const QRectF& box, WarpArc top) {
  DrawArcText(painter, shape.text[0], box, top);
  if (shape.text.size() >= 3) {
    DrawArcText(painter, shape.text[2], box, WarpArc{90, top.sweep, true});
  }
  if (shape.text.size() < 2) return;
  const std::vector<Glyph> glyphs = GlyphsOf(shape.text[1], painter.device(), 1);
  DrawGlyphsInLine(painter, glyphs, box.center().x() - WidthOf(glyphs) / 2,
                   box.center().y() + MaxOf(glyphs, &Glyph::ascent) / 2);
}

}  // namespace

bool DrawWarpedText(QPainter& painter, const Shape& shape, const QRectF& box) {
  if (!HasTextWarp(shape) || box.width() <= 0 || box.height() <= 0) return false;
  painter.save();
  if (IsPlainWarp(shape.warp)) {
    DrawPlainText(painter, shape, box);
  } else if (const std::optional<WarpArc> arc = ArcOfWarp(shape.warp)) {
    if (shape.warp.preset == "textButton") {
      DrawButtonText(painter, shape, box, *arc);
    } else {
      DrawArcText(painter, shape.text[0], box, *arc);
    }
  }
  painter.restore();
  return true;
}

}  // namespace wordproc
