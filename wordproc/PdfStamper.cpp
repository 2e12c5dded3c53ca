#include "wordproc/PdfStamper.h"

#include <QPaintEngine>
#include <QPainterPath>
#include <QPixmap>
#include <QRegion>
#include <algorithm>
#include <type_traits>

#include "wordproc/PdfForms.h"

namespace wordproc {

namespace {

// Records what a drawing asks of the paint device, in order: two drawings that record the same
// bytes come out the same in the PDF. Pictures count by their cache key, which copies of one
// picture share.
class KeyEngine final : public QPaintEngine {
 public:
  KeyEngine() : QPaintEngine(QPaintEngine::AllFeatures) { bytes_.reserve(4096); }

  std::string& bytes() { return bytes_; }
  // About how much the drawing writes into a PDF: points of paths, gradients, pictures, text.
  int weight() const { return weight_; }

  bool begin(QPaintDevice*) override { return true; }
  bool end() override { return true; }
  Type type() const override { return QPaintEngine::User; }

  void updateState(const QPaintEngineState& state) override {
    const auto flags = state.state();
    put('S', quint32(flags));
    if (flags & DirtyPen) put(state.pen());
    if (flags & DirtyBrush) {
      put(state.brush());
      if (state.brush().gradient()) weight_ += kGradientWeight;
    }
    if (flags & DirtyBrushOrigin) put(state.brushOrigin());
    if (flags & DirtyBackground) put(state.backgroundBrush());
    if (flags & DirtyBackgroundMode) put(state.backgroundMode());
    if (flags & DirtyFont) put(state.font().toString());
    if (flags & DirtyTransform) put(state.transform());
    if (flags & DirtyClipPath) put(state.clipOperation(), state.clipPath());
    if (flags & DirtyClipRegion) put(state.clipOperation(), state.clipRegion());
    if (flags & DirtyClipEnabled) put(state.isClipEnabled());
    if (flags & DirtyHints) put(state.renderHints().toInt());
    if (flags & DirtyCompositionMode) put(state.compositionMode());
    if (flags & DirtyOpacity) put(state.opacity());
  }

  using QPaintEngine::drawEllipse;
  using QPaintEngine::drawLines;
  using QPaintEngine::drawPoints;
  using QPaintEngine::drawPolygon;
  using QPaintEngine::drawRects;

  void drawPath(const QPainterPath& path) override {
    put('P', path);
    weight_ += path.elementCount();
  }
  void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override {
    weight_ += count;
    put('G', mode);
    putArray(points, count);
  }
  void drawRects(const QRectF* rects, int count) override {
    put('R');
    putArray(rects, count);
  }
  void drawLines(const QLineF* lines, int count) override {
    put('L');
    putArray(lines, count);
  }
  void drawEllipse(const QRectF& rect) override { put('E', rect); }
  void drawPoints(const QPointF* points, int count) override {
    put('O');
    putArray(points, count);
  }
  void drawPixmap(const QRectF& rect, const QPixmap& pixmap, const QRectF& source) override {
    put('X', rect, pixmap.cacheKey(), source);
    weight_ += kPictureWeight;
  }
  void drawImage(const QRectF& rect, const QImage& image, const QRectF& source,
                 Qt::ImageConversionFlags flags) override {
    put('I', rect, image.cacheKey(), source, flags.toInt());
    weight_ += kPictureWeight;
  }
  void drawTiledPixmap(const QRectF& rect, const QPixmap& pixmap, const QPointF& at) override {
    put('T', rect, pixmap.cacheKey(), at);
    weight_ += kPictureWeight;
  }
  void drawTextItem(const QPointF& at, const QTextItem& item) override {
    put('W', at, item.text(), item.font().toString(), item.width(), item.ascent(),
        item.renderFlags().toInt());
    weight_ += kPictureWeight + int(item.text().size());
  }

 private:
  template <typename... Values>
  void put(const Values&... values) {
    (putOne(values), ...);
  }
  template <typename T>
  void putOne(const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    bytes_.append(reinterpret_cast<const char*>(&value), sizeof value);
  }
  template <typename T>
  void putArray(const T* values, int count) {
    putOne(count);
    bytes_.append(reinterpret_cast<const char*>(values),
                  sizeof(T) * std::size_t(std::max(0, count)));
  }
  void putOne(const QString& text) { putArray(text.utf16(), int(text.size())); }
  void putOne(const QTransform& m) {
    put(m.m11(), m.m12(), m.m13(), m.m21(), m.m22(), m.m23(), m.m31(), m.m32(), m.m33());
  }
  void putOne(const QPainterPath& path) {
    put(path.fillRule(), path.elementCount());
    for (int i = 0; i < path.elementCount(); ++i) {
      const QPainterPath::Element e = path.elementAt(i);
      put(e.type, e.x, e.y);
    }
  }
  void putOne(const QRegion& region) {
    put(region.rectCount());
    for (const QRect& rect : region) put(rect);
  }
  void putOne(const QPen& pen) {
    put(pen.widthF(), pen.style(), pen.capStyle(), pen.joinStyle(), pen.miterLimit(),
        pen.dashOffset(), pen.isCosmetic(), pen.brush());
    const QList<qreal> dashes = pen.dashPattern();
    putArray(dashes.constData(), int(dashes.size()));
  }
  // Pictures in brushes count by their key too, not by their pixels.
  void putOne(const QBrush& brush) {
    put(brush.style(), brush.color().rgba64(), brush.transform());
    if (brush.style() == Qt::TexturePattern) put(brush.textureImage().cacheKey());
    if (const QGradient* gradient = brush.gradient()) putOne(*gradient);
  }
  void putOne(const QGradient& gradient) {
    put(gradient.type(), gradient.spread(), gradient.coordinateMode(),
        gradient.interpolationMode());
    for (const QGradientStop& stop : gradient.stops()) put(stop.first, stop.second.rgba64());
    if (gradient.type() == QGradient::LinearGradient) {
      const auto& linear = static_cast<const QLinearGradient&>(gradient);
      put(linear.start(), linear.finalStop());
    } else if (gradient.type() == QGradient::RadialGradient) {
      const auto& radial = static_cast<const QRadialGradient&>(gradient);
      put(radial.center(), radial.centerRadius(), radial.focalPoint(), radial.focalRadius());
    } else if (gradient.type() == QGradient::ConicalGradient) {
      const auto& conical = static_cast<const QConicalGradient&>(gradient);
      put(conical.center(), conical.angle());
    }
  }

  static constexpr int kGradientWeight = 30;
  static constexpr int kPictureWeight = 30;

  std::string bytes_;
  int weight_ = 0;
};

// A device that measures as the PDF writer does (fonts, resolution) and paints into a key.
class KeyDevice final : public QPaintDevice {
 public:
  explicit KeyDevice(const QPaintDevice& like) : like_(like) {}

  QPaintEngine* paintEngine() const override { return &engine_; }
  int devType() const override { return QInternal::Printer; }
  std::string& bytes() { return engine_.bytes(); }
  int weight() const { return engine_.weight(); }

 protected:
  int metric(PaintDeviceMetric metric) const override {
    switch (metric) {
      case PdmWidth:
        return like_.width();
      case PdmHeight:
        return like_.height();
      case PdmWidthMM:
        return like_.widthMM();
      case PdmHeightMM:
        return like_.heightMM();
      case PdmNumColors:
        return like_.colorCount();
      case PdmDepth:
        return like_.depth();
      case PdmDpiX:
        return like_.logicalDpiX();
      case PdmDpiY:
        return like_.logicalDpiY();
      case PdmPhysicalDpiX:
        return like_.physicalDpiX();
      case PdmPhysicalDpiY:
        return like_.physicalDpiY();
      default:
        return QPaintDevice::metric(metric);
    }
  }

 private:
  const QPaintDevice& like_;
  mutable KeyEngine engine_;
};

constexpr QPainter::RenderHints kHints =
    QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform;

constexpr int kWorthAForm = 40;

// What the shape draws from its corner under the painter's scale, and its weight.
std::pair<std::string, int> KeyOf(const Shape& shape, QSizeF size, const QTransform& scale,
                                  const QPaintDevice& like) {
  KeyDevice device(like);
  {
    QPainter painter(&device);
    painter.setRenderHints(kHints);
    painter.setWorldTransform(scale);
    DrawShapeInBox(painter, shape, QRectF(QPointF(0, 0), size));
  }
  return {std::move(device.bytes()), device.weight()};
}

}  // namespace

PdfStamper::PdfStamper(int resolution, const QPageLayout& layout)
    : resolution_(resolution), layout_(layout), formBuffer_(&formBytes_) {}

PdfStamper::~PdfStamper() {
  if (formPainter_.isActive()) formPainter_.end();
}

void PdfStamper::draw(QPainter& painter, const Shape& shape, const QRectF& box) {
  const QTransform world = painter.worldTransform();
  const QTransform scale = QTransform::fromScale(world.m11(), world.m22());
  const bool stampable = !failed_ && painter.device() && world.type() <= QTransform::TxScale &&
                         painter.opacity() == 1.0 && (!scale_ || *scale_ == scale);
  if (!stampable) return DrawShapeInBox(painter, shape, box);
  std::optional<Seen*> found = alike(shape, box.size(), scale);
  if (!found) {
    auto [key, weight] = KeyOf(shape, box.size(), scale, *painter.device());
    // A plain rectangle costs less to write again than to place.
    found = weight < kWorthAForm ? nullptr : &seen_[std::move(key)];
    alike_.emplace(HintOf(shape, box.size()), Alike{&shape, box.size(), scale, *found});
  }
  if (!*found) return DrawShapeInBox(painter, shape, box);
  Seen& seen = **found;
  // A drawing seen once stays in the page's own content: most documents repeat nothing.
  if (seen.uses++ == 0) return DrawShapeInBox(painter, shape, box);
  scale_ = scale;
  if (seen.form < 0 && !addForm(shape, box.size(), seen.form))
    return DrawShapeInBox(painter, shape, box);
  pdfforms::MarkForm(painter, box.topLeft(), seen.form);
}

// Copies of a design are shapes alike in all but their place: those draw the same without
// being drawn to find out.
std::size_t PdfStamper::HintOf(const Shape& shape, QSizeF size) {
  return std::hash<std::string>()(shape.preset) ^ std::hash<double>()(size.width()) * 3 ^
         std::hash<double>()(size.height()) * 7 ^ std::hash<float>()(shape.rotation) * 11 ^
         std::size_t(shape.kind) * 13 ^ std::size_t(shape.fill.color) * 17;
}

bool PdfStamper::DrawsAlike(const Shape& a, const Shape& b) {
  if (a.width != b.width || a.height != b.height || a.kind != b.kind || a.preset != b.preset ||
      a.rotation != b.rotation || a.text.size() != b.text.size())
    return false;
  auto placed = b.clone();
  placed->id = a.id;
  placed->name = a.name;
  placed->left = a.left;
  placed->top = a.top;
  placed->relH = a.relH;
  placed->relV = a.relV;
  placed->wrap = a.wrap;
  placed->layoutInCell = a.layoutInCell;
  for (std::size_t k = 0; k < a.text.size(); ++k) placed->text[k].id = a.text[k].id;
  return a.sameAs(*placed);
}

// The drawing of a shape drawn before that draws alike (none for a light one), if there is one.
std::optional<PdfStamper::Seen*> PdfStamper::alike(const Shape& shape, QSizeF size,
                                                   const QTransform& scale) const {
  const auto [from, to] = alike_.equal_range(HintOf(shape, size));
  int compared = 0;
  for (auto it = from; it != to && compared < kMostCompared; ++it, ++compared) {
    const Alike& other = it->second;
    if (other.size == size && other.scale == scale && DrawsAlike(*other.shape, shape))
      return other.seen;
  }
  return std::nullopt;
}

bool PdfStamper::addForm(const Shape& shape, QSizeF size, int& form) {
  if (!formWriter_) {
    formBuffer_.open(QIODevice::WriteOnly);
    formWriter_ = std::make_unique<QPdfWriter>(&formBuffer_);
    formWriter_->setResolution(resolution_);
    formWriter_->setPageLayout(layout_);
    if (!formPainter_.begin(formWriter_.get())) failed_ = true;
  } else if (!failed_ && !formWriter_->newPage()) {
    failed_ = true;
  }
  if (failed_) return false;
  formPainter_.save();
  formPainter_.setRenderHints(kHints);
  formPainter_.setWorldTransform(*scale_);
  DrawShapeInBox(formPainter_, shape, QRectF(QPointF(0, 0), size));
  formPainter_.restore();
  form = forms_++;
  return true;
}

std::optional<std::string> PdfStamper::finish(std::string pdf) {
  if (failed_) return std::nullopt;
  if (forms_ == 0) return pdf;
  formPainter_.end();
  formBuffer_.close();
  return pdfforms::PlaceForms(pdf, std::string_view(formBytes_.constData(), formBytes_.size()),
                              scale_->m11(), scale_->m22());
}

}  // namespace wordproc
