#include "wordproc/EditCanvas.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QTextEdit>
#include <algorithm>
#include <cmath>

#include "wordproc/Connect.h"
#include "wordproc/Render.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Numbering.h"
#include "wordproc/core/ShapeOps.h"
#include "wordproc/core/Units.h"

namespace wordproc {

namespace {

constexpr int kGap = 16;  // pixels around and between pages
constexpr int kShadow = 4;
constexpr double kZoomStep = 1.25;
constexpr double kMinZoom = 0.1;
constexpr double kMaxZoom = 8.0;
constexpr double kHandleSize = 7;      // pixels
constexpr double kGrabDistance = 5;    // pixels from a handle or a line that still hit it
constexpr double kGridDotSpacing = 8;  // pixels at least between the dots shown
constexpr float kMillimetre = float(kPointsPerMillimetre);
constexpr float kSmallestSide = 1;  // points

const QColor kSelectionColour(0x1E, 0x6F, 0xD9);

QPointF DefaultExtent(const InsertTool& tool) {
  if (tool.width > 0 && tool.height > 0) return QPointF(tool.width, tool.height);
  if (!tool.warp.empty()) return QPointF(40 * kMillimetre, 40 * kMillimetre);
  switch (tool.kind) {
    case ShapeKind::Line:
      return QPointF(40 * kMillimetre, 0);
    case ShapeKind::TextBox:
      return QPointF(50 * kMillimetre, 15 * kMillimetre);
    default:
      return QPointF(30 * kMillimetre, 20 * kMillimetre);
  }
}

// A seal's ring of text to be edited: the text alone is drawn, not the shape.
void MakeWordArt(Shape& shape, const std::string& warp) {
  shape.warp.preset = warp;
  shape.fill.visible = false;
  shape.line.visible = false;
  Paragraph paragraph;
  paragraph.alignment = Alignment::Center;
  paragraph.markFormat.fontSize = 14;
  paragraph.markFormat.bold = true;
  paragraph.runs.push_back(Run{"ТЕКСТ ПО КРУГУ", paragraph.markFormat});
  shape.text = {paragraph};
}

double LogicalDpi(const QWidget* widget) {
  const QScreen* screen = widget->screen();
  double dpi = screen ? screen->logicalDotsPerInch() : 96;
  return dpi > 0 ? dpi : 96;
}

double DistanceToSegment(QPointF p, QPointF a, QPointF b) {
  const QPointF ab = b - a;
  const double length = QPointF::dotProduct(ab, ab);
  double t = length > 0 ? QPointF::dotProduct(p - a, ab) / length : 0;
  QPointF nearest = a + std::clamp(t, 0.0, 1.0) * ab;
  return std::hypot(p.x() - nearest.x(), p.y() - nearest.y());
}

QRectF ToQRect(const RectF& r) {
  return QRectF(r.x, r.y, r.width, r.height);
}

// Which edges a box handle drags, in the order the handles go round: corners and edge middles
// from the top-left corner clockwise.
struct Edges {
  bool left, top, right, bottom;
};
constexpr Edges kHandleEdges[] = {{true, true, false, false}, {false, true, false, false},
                                  {false, true, true, false}, {false, false, true, false},
                                  {false, false, true, true}, {false, false, false, true},
                                  {true, false, false, true}, {true, false, false, false}};

}  // namespace

// Text edited in place: frameless over the text's area, in its background.
class TextOverlay : public QTextEdit {
 public:
  TextOverlay(QWidget* parent, const QColor& background) : QTextEdit(parent) {
    setObjectName(QStringLiteral("textEditor"));
    setFrameStyle(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    document()->setDocumentMargin(0);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, background);
    setPalette(colours);
  }
  std::function<void()> finished;      // Escape
  std::function<void()> fieldClicked;  // a double click on a field's result

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override {
    const QTextCursor at = cursorForPosition(event->position().toPoint());
    if (!fieldClicked || !FieldAt(at)) return QTextEdit::mouseDoubleClickEvent(event);
    setTextCursor(at);
    fieldClicked();
  }
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Escape && finished) return finished();
    QTextEdit::keyPressEvent(event);
  }
};

EditCanvas::EditCanvas(EditSession& session, QWidget* parent)
    : QWidget(parent), session_(session), grid_(kMillimetre) {
  setObjectName(QStringLiteral("pageView"));
  setFocusPolicy(Qt::StrongFocus);
}

EditCanvas::~EditCanvas() {
  disconnect(focusWatch_);
}

double EditCanvas::scale() const {
  return zoom_ * LogicalDpi(this) / 72.0;
}

QSize EditCanvas::pageSize() const {
  const PageSetup& setup = session_.doc().pageSetup;
  return QSize(std::max(1, int(std::lround(setup.pageWidth * scale()))),
               std::max(1, int(std::lround(setup.pageHeight * scale()))));
}

int EditCanvas::pageLeft() const {
  return std::max(kGap, (width() - pageSize().width()) / 2);
}

int EditCanvas::pageTop(int page) const {
  return kGap + (page - 1) * (pageSize().height() + kGap);
}

QSize EditCanvas::contentSize() const {
  QSize page = pageSize();
  int count = std::max(1, session_.layout().pageCount());
  return QSize(page.width() + 2 * kGap, count * (page.height() + kGap) + kGap);
}

void EditCanvas::setZoom(double zoom) {
  commitText();
  zoom_ = std::clamp(zoom, kMinZoom, kMaxZoom);
  relayout();
  emit zoomChanged();
}

double EditCanvas::zoomToFit(int width) const {
  double pagePixels = session_.doc().pageSetup.pageWidth * LogicalDpi(this) / 72.0;
  return pagePixels > 0 ? (width - 2 * kGap) / pagePixels : zoom_;
}

void EditCanvas::relayout() {
  if (!session_.attached()) return update();
  if (overlay_ && editing_.shapeId != 0 && !session_.body(editing_.shapeId)) cancelText();
  resize(contentSize());
  update();
}

// Pages are drawn at whole pixel sizes; positions follow the same rounding so that marks on
// shapes sit exactly on them.
QPointF EditCanvas::toWidget(int page, QPointF points) const {
  const PageSetup& setup = session_.doc().pageSetup;
  const QSize size = pageSize();
  return QPointF(pageLeft() + points.x() * size.width() / setup.pageWidth,
                 pageTop(page) + points.y() * size.height() / setup.pageHeight);
}

QRectF EditCanvas::toWidget(int page, const RectF& r) const {
  return QRectF(toWidget(page, QPointF(r.x, r.y)),
                toWidget(page, QPointF(r.x + r.width, r.y + r.height)));
}

int EditCanvas::pageAt(QPointF position, QPointF* points) const {
  if (!session_.attached()) return 0;
  const QSize size = pageSize();
  const int page = int(std::floor((position.y() - kGap) / (size.height() + kGap))) + 1;
  if (page < 1 || page > session_.layout().pageCount()) return 0;
  const QRectF rect(pageLeft(), pageTop(page), size.width(), size.height());
  if (!rect.contains(position)) return 0;
  if (points) {
    const PageSetup& setup = session_.doc().pageSetup;
    *points = QPointF((position.x() - rect.left()) * setup.pageWidth / size.width(),
                      (position.y() - rect.top()) * setup.pageHeight / size.height());
  }
  return page;
}

std::optional<RectF> EditCanvas::pageRect(std::uint32_t id, int* page) const {
  const AnchoredShape* body = session_.attached() ? session_.body(id) : nullptr;
  if (!body) return std::nullopt;
  if (page) *page = session_.layout().pageOfShape(*body);
  return session_.layout().shapeRectOnPage(*body);
}

void EditCanvas::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.fillRect(event->rect(), QColor(0x80, 0x80, 0x80));
  if (!session_.attached()) return;
  const QSize page = pageSize();
  const int pitch = page.height() + kGap;
  const int count = session_.layout().pageCount();
  const int first = std::max(1, (event->rect().top() - kGap) / pitch + 1);
  const int last = std::min(count, event->rect().bottom() / pitch + 1);
  for (int n = first; n <= last; ++n) {
    QRect rect(pageLeft(), pageTop(n), page.width(), page.height());
    paintPageAt(painter, n, rect);
    if (snap_) paintGrid(painter, n, rect, event->rect());
    paintSelection(painter, n);
  }
  paintDrag(painter);
}

void EditCanvas::paintPageAt(QPainter& painter, int page, const QRect& rect) {
  painter.fillRect(rect.translated(kShadow, kShadow), QColor(0x40, 0x40, 0x40));
  PaintPage(painter, session_.doc(), session_.layout(), page, rect, PaintMode::Screen);
}

// Dots at grid points, thinned out so that they never crowd the page.
void EditCanvas::paintGrid(QPainter& painter, int page, const QRect& rect, const QRect& exposed) {
  const double stepPixels = grid_ * scale();
  if (stepPixels <= 0) return;
  const double spacing = stepPixels * std::ceil(kGridDotSpacing / stepPixels);
  const QRect area = rect.intersected(exposed);
  QPolygonF dots;
  const double x0 = rect.left() + std::ceil((area.left() - rect.left()) / spacing) * spacing;
  const double y0 = rect.top() + std::ceil((area.top() - rect.top()) / spacing) * spacing;
  for (double y = y0; y <= area.bottom(); y += spacing)
    for (double x = x0; x <= area.right(); x += spacing) dots << QPointF(x, y);
  painter.setPen(QPen(QColor(0x9A, 0xB0, 0xC8), 1));
  painter.drawPoints(dots);
}

void EditCanvas::paintSelection(QPainter& painter, int page) {
  const auto ids = session_.selection();
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  for (std::uint32_t id : ids) {
    int on = 0;
    auto rect = pageRect(id, &on);
    const Shape* shape = session_.shape(id);
    if (!rect || on != page || !shape) continue;
    QPen frame(shape->visible ? kSelectionColour : Qt::gray, 0, Qt::DashLine);
    painter.setPen(frame);
    painter.setBrush(Qt::NoBrush);
    if (shape->kind != ShapeKind::Line) painter.drawRect(toWidget(page, *rect));
    if (ids.size() != 1) continue;
    painter.setPen(QPen(kSelectionColour, 0));
    painter.setBrush(Qt::white);
    for (QPointF h : handles(id))
      painter.drawRect(
          QRectF(h.x() - kHandleSize / 2, h.y() - kHandleSize / 2, kHandleSize, kHandleSize));
  }
  painter.restore();
}

void EditCanvas::paintDrag(QPainter& painter) {
  if (!drag_.started) return;
  QRectF box = QRectF(drag_.startPixel, drag_.pixel).normalized();
  if (drag_.kind == DragKind::Band) {
    painter.setPen(QPen(kSelectionColour, 0, Qt::DashLine));
    painter.setBrush(QColor(0x1E, 0x6F, 0xD9, 0x30));
    painter.drawRect(box);
  } else if (drag_.kind == DragKind::Place) {
    painter.setPen(QPen(kSelectionColour, 0, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    if (tool_ && tool_->kind == ShapeKind::Line)
      painter.drawLine(drag_.startPixel, drag_.pixel);
    else
      painter.drawRect(box);
  }
}

std::vector<QPointF> EditCanvas::handles(std::uint32_t id) const {
  int page = 0;
  auto rect = pageRect(id, &page);
  const Shape* shape = session_.shape(id);
  if (!rect || !shape) return {};
  const QRectF r = toWidget(page, *rect);
  if (shape->kind == ShapeKind::Line) {
    const QLineF line = LineAcross(*shape, r);
    return {line.p1(), line.p2()};
  }
  const QPointF c = r.center();
  return {r.topLeft(),     QPointF(c.x(), r.top()),    r.topRight(),   QPointF(r.right(), c.y()),
          r.bottomRight(), QPointF(c.x(), r.bottom()), r.bottomLeft(), QPointF(r.left(), c.y())};
}

int EditCanvas::handleAt(QPointF position, std::uint32_t* id) {
  const auto ids = session_.selection();
  if (ids.size() != 1) return -1;
  const auto points = handles(ids.front());
  for (std::size_t k = 0; k < points.size(); ++k) {
    QPointF d = position - points[k];
    if (std::abs(d.x()) <= kGrabDistance && std::abs(d.y()) <= kGrabDistance) {
      *id = ids.front();
      return int(k);
    }
  }
  return -1;
}

// The topmost shape under the point; hidden shapes only while they are selected.
std::uint32_t EditCanvas::shapeAt(int page, QPointF point) {
  const auto& shapes = session_.doc().shapes;
  const double reach = kGrabDistance / scale();
  for (auto it = shapes.rbegin(); it != shapes.rend(); ++it) {
    const Shape& shape = *it->shape;
    if (!shape.visible && !session_.isSelected(shape.id)) continue;
    if (session_.layout().pageOfShape(*it) != page) continue;
    const QRectF box = ToQRect(session_.layout().shapeRectOnPage(*it));
    bool hit = false;
    if (shape.kind == ShapeKind::Line) {
      const QLineF line = LineAcross(shape, box);
      hit = DistanceToSegment(point, line.p1(), line.p2()) <= reach + shape.line.weight / 2;
    } else {
      hit = box.adjusted(-reach, -reach, reach, reach).contains(point);
    }
    if (hit) return shape.id;
  }
  return 0;
}

void EditCanvas::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !session_.attached())
    return QWidget::mousePressEvent(event);
  commitText();
  setFocus(Qt::MouseFocusReason);
  QPointF point;
  const int page = pageAt(event->position(), &point);
  if (page == 0) {
    if (!(event->modifiers() & Qt::ShiftModifier)) session_.select({});
    return;
  }
  currentPage_ = page;
  if (tool_) return startDrag(DragKind::Place, page, point, event->pos());
  std::uint32_t id = 0;
  const int handle = handleAt(event->position(), &id);
  if (handle < 0) return pressShape(event, page, point);
  startDrag(DragKind::Resize, page, point, event->pos());
  drag_.handle = handle;
  drag_.before = session_.snapshot({id});
  drag_.startRect = *pageRect(id);
}

void EditCanvas::pressShape(QMouseEvent* event, int page, QPointF point) {
  const std::uint32_t id = shapeAt(page, point);
  const bool shift = event->modifiers() & Qt::ShiftModifier;
  if (id == 0) {
    if (!shift) session_.select({});
    return startDrag(DragKind::Band, page, point, event->pos());
  }
  auto ids = session_.selection();
  if (shift) {
    auto at = std::find(ids.begin(), ids.end(), id);
    at == ids.end() ? ids.push_back(id) : void(ids.erase(at));
    return session_.select(ids);
  }
  const bool among = session_.isSelected(id) && ids.size() > 1;
  if (!session_.isSelected(id)) session_.select({id});
  startDrag(DragKind::Move, page, point, event->pos());
  if (among) drag_.pressed = id;
  drag_.before = session_.snapshot(session_.selection());
  drag_.startRect = *pageRect(id);
}

void EditCanvas::startDrag(DragKind kind, int page, QPointF point, QPoint pixel) {
  drag_ = Drag{};
  drag_.kind = kind;
  drag_.page = page;
  drag_.startPoint = drag_.point = point;
  drag_.startPixel = drag_.pixel = pixel;
}

void EditCanvas::mouseMoveEvent(QMouseEvent* event) {
  if (drag_.kind == DragKind::None || !session_.attached()) return QWidget::mouseMoveEvent(event);
  const PageSetup& setup = session_.doc().pageSetup;
  const QSize size = pageSize();
  drag_.pixel = event->pos();
  drag_.point =
      QPointF((event->position().x() - pageLeft()) * setup.pageWidth / size.width(),
              (event->position().y() - pageTop(drag_.page)) * setup.pageHeight / size.height());
  if (!drag_.started &&
      (drag_.pixel - drag_.startPixel).manhattanLength() < QApplication::startDragDistance())
    return;
  drag_.started = true;
  if (drag_.kind == DragKind::Move) dragMove();
  if (drag_.kind == DragKind::Resize) dragResize();
  update();
}

float EditCanvas::snap(float value) const {
  return snap_ && grid_ > 0 ? std::round(value / grid_) * grid_ : value;
}

// The shape the mouse holds snaps to the grid; the others move along by as much.
void EditCanvas::dragMove() {
  const QPointF delta = drag_.point - drag_.startPoint;
  const float dx = snap(drag_.startRect.x + float(delta.x())) - drag_.startRect.x;
  const float dy = snap(drag_.startRect.y + float(delta.y())) - drag_.startRect.y;
  for (const auto& state : drag_.before) {
    if (Shape* shape = session_.shape(state->id)) {
      shape->left = state->left + dx;
      shape->top = state->top + dy;
    }
  }
}

// Every step starts again from the shape as it was when pressed, so that group members never
// gather rounding from rescaling upon rescaling.
void EditCanvas::dragResize() {
  const Shape& before = *drag_.before.front();
  if (!session_.shape(before.id)) return;
  const RectF start = drag_.startRect;
  const QPointF d = drag_.point - drag_.startPoint;
  float x1 = start.x, y1 = start.y, x2 = start.x + start.width, y2 = start.y + start.height;
  bool flipH = before.flipH, flipV = before.flipV;
  if (before.kind == ShapeKind::Line) {
    const QLineF line = LineAcross(before, ToQRect(start));
    QPointF from = line.p1(), to = line.p2();
    QPointF& end = drag_.handle == 0 ? from : to;
    end = QPointF(snap(float(end.x() + d.x())), snap(float(end.y() + d.y())));
    x1 = float(std::min(from.x(), to.x())), x2 = float(std::max(from.x(), to.x()));
    y1 = float(std::min(from.y(), to.y())), y2 = float(std::max(from.y(), to.y()));
    flipH = to.x() < from.x(), flipV = to.y() < from.y();
  } else {
    const Edges edges = kHandleEdges[drag_.handle];
    if (edges.left) x1 = std::min(snap(x1 + float(d.x())), x2 - kSmallestSide);
    if (edges.right) x2 = std::max(snap(x2 + float(d.x())), x1 + kSmallestSide);
    if (edges.top) y1 = std::min(snap(y1 + float(d.y())), y2 - kSmallestSide);
    if (edges.bottom) y2 = std::max(snap(y2 + float(d.y())), y1 + kSmallestSide);
  }
  // The resized state replaces the shape whole: a group's members scale from their first state.
  std::unique_ptr<Shape> resized = before.clone();
  resized->left = before.left + (x1 - start.x);
  resized->top = before.top + (y1 - start.y);
  resized->flipH = flipH;
  resized->flipV = flipV;
  SetShapeSize(*resized, x2 - x1, y2 - y1);
  session_.editor().replaceShape(before.id, *resized);
}

void EditCanvas::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || drag_.kind == DragKind::None)
    return QWidget::mouseReleaseEvent(event);
  finishDrag(event);
}

void EditCanvas::finishDrag(QMouseEvent* event) {
  if (session_.attached()) {
    switch (drag_.kind) {
      case DragKind::Move:
      case DragKind::Resize:
        if (!drag_.started && drag_.pressed) session_.select({drag_.pressed});
        if (drag_.started)
          session_.record(drag_.kind == DragKind::Move ? ShapeEdit::Move : ShapeEdit::Resize,
                          std::move(drag_.before));
        break;
      case DragKind::Band:
        if (drag_.started) finishBand(event->modifiers() & Qt::ShiftModifier);
        break;
      case DragKind::Place:
        finishPlace();
        break;
      case DragKind::None:
        break;
    }
  }
  drag_ = Drag{};
  update();
}

// The band selects the shapes it wholly covers.
void EditCanvas::finishBand(bool add) {
  const QRectF band = QRectF(drag_.startPixel, drag_.pixel).normalized();
  std::vector<std::uint32_t> ids = add ? session_.selection() : std::vector<std::uint32_t>{};
  for (const AnchoredShape& anchored : session_.doc().shapes) {
    const Shape& shape = *anchored.shape;
    if (!shape.visible || session_.layout().pageOfShape(anchored) != drag_.page) continue;
    QRectF box = toWidget(drag_.page, session_.layout().shapeRectOnPage(anchored));
    if (band.contains(box.normalized())) ids.push_back(shape.id);
  }
  session_.select(ids);
}

// A drag gives the new shape its extent; a click gives it a usual size from that point.
void EditCanvas::finishPlace() {
  if (!tool_) return;
  const InsertTool tool = *tool_;
  setTool(std::nullopt);
  const bool line = tool.kind == ShapeKind::Line;
  QPointF a(snap(float(drag_.startPoint.x())), snap(float(drag_.startPoint.y())));
  QPointF b(snap(float(drag_.point.x())), snap(float(drag_.point.y())));
  if (!drag_.started || a == b) b = a + DefaultExtent(tool);
  auto shape = NewShapeOf(tool.kind, tool.type);
  shape->image = tool.image;
  shape->preset = tool.preset;
  shape->left = float(std::min(a.x(), b.x()));
  shape->top = float(std::min(a.y(), b.y()));
  shape->width = float(std::abs(b.x() - a.x()));
  shape->height = float(std::abs(b.y() - a.y()));
  if (!line) {
    shape->width = std::max(kSmallestSide, shape->width);
    shape->height = std::max(kSmallestSide, shape->height);
  }
  shape->flipH = line && b.x() < a.x();
  shape->flipV = line && b.y() < a.y();
  if (!tool.warp.empty()) MakeWordArt(*shape, tool.warp);
  session_.insert(std::move(shape), drag_.page);
  const auto ids = session_.selection();
  if (tool.kind == ShapeKind::TextBox && ids.size() == 1) beginTextEdit(ids.front());
}

void EditCanvas::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !session_.attached() || tool_) return;
  QPointF point;
  const int page = pageAt(event->position(), &point);
  if (page == 0) return;
  const std::uint32_t id = shapeAt(page, point);
  const Shape* shape = id ? session_.shape(id) : nullptr;
  if (shape && shape->kind == ShapeKind::TextBox)
    beginTextEdit(id);
  else if (!shape)
    beginBodyEdit(page);
}

void EditCanvas::keyPressEvent(QKeyEvent* event) {
  if (!session_.attached()) return QWidget::keyPressEvent(event);
  const auto ids = session_.selection();
  const int key = event->key();
  const int dx = key == Qt::Key_Left ? -1 : key == Qt::Key_Right ? 1 : 0;
  const int dy = key == Qt::Key_Up ? -1 : key == Qt::Key_Down ? 1 : 0;
  if ((dx || dy) && !ids.empty()) {
    return nudge(dx, dy, event->modifiers() & Qt::ShiftModifier,
                 event->modifiers() & Qt::ControlModifier);
  }
  switch (key) {
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
      return session_.deleteSelection();
    case Qt::Key_Escape:
      return tool_ ? setTool(std::nullopt) : session_.select({});
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F2:
      if (ids.size() == 1 && beginTextEdit(ids.front())) return;
      break;
  }
  QWidget::keyPressEvent(event);
}

// Arrow keys: a grid step (a millimetre without the grid, a tenth with Ctrl); with Shift they
// resize instead. Steps in a row undo as one.
void EditCanvas::nudge(int dx, int dy, bool resize, bool fine) {
  const auto ids = session_.selection();
  const float step = fine ? kMillimetre / 10 : (snap_ ? grid_ : kMillimetre);
  if (resize) {
    return session_.change(
        ShapeEdit::Resize, ids,
        [&](Shape& s) {
          SetShapeSize(s, std::max(kSmallestSide, s.width + dx * step),
                       std::max(kSmallestSide, s.height + dy * step));
        },
        true);
  }
  const RectF lead = *pageRect(ids.front());
  const bool onGrid = snap_ && !fine;
  const float mx = dx ? (onGrid ? snap(lead.x + dx * step) : lead.x + dx * step) - lead.x : 0;
  const float my = dy ? (onGrid ? snap(lead.y + dy * step) : lead.y + dy * step) - lead.y : 0;
  session_.change(
      ShapeEdit::Move, ids,
      [&](Shape& s) {
        s.left += mx;
        s.top += my;
      },
      true);
}

void EditCanvas::wheelEvent(QWheelEvent* event) {
  if (!(event->modifiers() & Qt::ControlModifier) || event->angleDelta().y() == 0)
    return event->ignore();
  setZoom(zoom_ * (event->angleDelta().y() > 0 ? kZoomStep : 1 / kZoomStep));
  event->accept();
}

void EditCanvas::setTool(std::optional<InsertTool> tool) {
  commitText();
  tool_ = std::move(tool);
  setCursor(tool_ ? Qt::CrossCursor : Qt::ArrowCursor);
}

bool EditCanvas::beginTextEdit(std::uint32_t shapeId) {
  commitText();
  int page = 0;
  auto rect = pageRect(shapeId, &page);
  const Shape* shape = session_.shape(shapeId);
  if (!rect || !shape || shape->kind != ShapeKind::TextBox) return false;
  const TextFrame& frame = shape->frame;
  const QRectF inner = QRectF(rect->x + frame.left, rect->y + frame.top,
                              std::max(1.0f, rect->width - frame.left - frame.right),
                              std::max(1.0f, rect->height - frame.top - frame.bottom));
  auto paragraphs = shape->text.empty() ? std::vector<Paragraph>{Paragraph{}} : shape->text;
  const QColor background = shape->fill.visible ? ToQColor(shape->fill.color) : QColor(Qt::white);
  session_.select({shapeId});
  return beginEditing(shapeId, page, inner, std::move(paragraphs), background);
}

bool EditCanvas::beginBodyEdit(int page) {
  commitText();
  if (!session_.attached() || page < 1 || page > session_.layout().pageCount()) return false;
  Layout& layout = session_.layout();
  const Document& doc = session_.doc();
  const std::size_t first = layout.firstParagraphOfPage(page);
  // A page of endnotes (or of footnotes carried on) after the text holds no paragraph of the
  // body to edit: the last one, on a page before, is not taken for it.
  if (layout.lastPageOfParagraph(first) < page) return false;
  std::size_t last = first;
  while (last + 1 < doc.paragraphs.size() && layout.pageOfParagraph(last + 1) == page) ++last;
  const PageSetup& setup = doc.pageSetup;
  const float top = layout.paragraphTop(first);
  float height = setup.pageHeight - std::fabs(setup.bottomMargin) - top;
  height = std::max(height, layout.paragraphTop(last) + layout.paragraphHeight(last) - top);
  const QRectF area(setup.leftMargin, top, TextColumnWidth(setup), height);
  std::vector<Paragraph> paragraphs(doc.paragraphs.begin() + std::ptrdiff_t(first),
                                    doc.paragraphs.begin() + std::ptrdiff_t(last) + 1);
  session_.select({});
  return beginEditing(0, page, area, std::move(paragraphs), Qt::white);
}

bool EditCanvas::beginEditing(std::uint32_t shapeId, int page, const QRectF& rect,
                              std::vector<Paragraph> paragraphs, const QColor& background) {
  textScale_ = TextScale{zoom_, scale()};
  auto* overlay = new TextOverlay(this, background);
  LoadParagraphs(*overlay->document(), paragraphs, textScale_);
  const RectF area{float(rect.x()), float(rect.y()), float(rect.width()), float(rect.height())};
  overlay->setGeometry(toWidget(page, area).toAlignedRect());
  overlay->finished = [this] { commitText(); };
  overlay->fieldClicked = [this] { emit fieldDoubleClicked(); };
  on(overlay, &QTextEdit::currentCharFormatChanged, this, &EditCanvas::textFormatChanged);
  on(overlay, &QTextEdit::cursorPositionChanged, this, &EditCanvas::textFormatChanged);
  overlay->moveCursor(QTextCursor::End);
  overlay->show();
  overlay->setFocus(Qt::OtherFocusReason);
  editing_ = Editing{shapeId, page, std::move(paragraphs), {}};
  overlay_ = overlay;
  focusWatch_ = on(qApp, &QApplication::focusChanged, this,
                   [this](QWidget*, QWidget* now) { focusMoved(now); });
  emit textEditingChanged(true);
  return true;
}

// Typing ends when the user turns to another window, so automation sees the text; popups and
// dialogs of this window (a font list, the colour dialog) are part of the typing.
void EditCanvas::focusMoved(QWidget* now) {
  if (!overlay_ || !now) return;
  const QWidget* top = now->window();
  const bool ours = top == window() || top->windowType() == Qt::Popup ||
                    (top->parentWidget() && top->parentWidget()->window() == window());
  if (!ours) commitText();
}

QTextEdit* EditCanvas::textEditor() const {
  return overlay_;
}

std::optional<std::string> EditCanvas::fieldAtCursor() const {
  if (!overlay_) return std::nullopt;
  const qulonglong field = FieldAt(overlay_->textCursor());
  auto same = [&](const RunFormat& format) {
    return field && qulonglong(reinterpret_cast<std::uintptr_t>(format.fieldCode.get())) == field;
  };
  for (const auto& format : editing_.added)
    if (same(*format)) return format->fieldCode->instruction;
  for (const Paragraph& p : editing_.loaded)
    for (const Run& run : p.runs)
      if (same(run.format)) return run.format.fieldCode->instruction;
  return std::nullopt;
}

bool EditCanvas::putFieldAtCursor(FieldPtr code, const std::string& result, bool replace) {
  if (!overlay_ || !code) return false;
  QTextCursor cursor = overlay_->textCursor();
  if (replace && !SelectField(cursor)) return false;
  auto format = std::make_unique<RunFormat>();
  format->fieldCode = std::move(code);
  InsertFieldText(cursor, *format, result);
  editing_.added.push_back(std::move(format));
  overlay_->setTextCursor(cursor);
  overlay_->setFocus(Qt::OtherFocusReason);
  return true;
}

void EditCanvas::commitText() {
  if (!overlay_) return;
  TextOverlay* overlay = overlay_;
  std::vector<const RunFormat*> added;
  for (const auto& field : editing_.added) added.push_back(field.get());
  auto edited = ReadParagraphs(*overlay->document(), editing_.loaded, textScale_, added);
  const bool changed = !SameText(edited, editing_.loaded);
  if (changed && session_.attached())
    editing_.shapeId ? commitShapeText(std::move(edited)) : commitBodyText(std::move(edited));
  cancelText();
}

void EditCanvas::cancelText() {
  if (!overlay_) return;
  TextOverlay* overlay = overlay_;
  overlay_ = nullptr;
  disconnect(focusWatch_);
  if (overlay->hasFocus()) setFocus(Qt::OtherFocusReason);
  overlay->hide();
  overlay->deleteLater();
  editing_ = Editing{};
  emit textEditingChanged(false);
  update();
}

void EditCanvas::commitShapeText(std::vector<Paragraph> edited) {
  Shape* shape = session_.shape(editing_.shapeId);
  if (!shape) return;
  auto before = session_.snapshot({editing_.shapeId});
  shape->text = std::move(edited);
  if (const auto& numbering = session_.doc().numbering) NumberParagraphs(shape->text, *numbering);
  session_.record(ShapeEdit::Text, std::move(before));
}

// Automation may have changed the paragraphs meanwhile; then the typing has nowhere to go.
void EditCanvas::commitBodyText(std::vector<Paragraph> edited) {
  const auto& paragraphs = session_.doc().paragraphs;
  const auto& loaded = editing_.loaded;
  const std::size_t first = session_.layout().paragraphIndexOf(loaded.front().id);
  if (first == Layout::npos || first + loaded.size() > paragraphs.size()) return;
  for (std::size_t k = 0; k < loaded.size(); ++k)
    if (paragraphs[first + k].id != loaded[k].id) return;
  std::vector<Paragraph> before(paragraphs.begin() + std::ptrdiff_t(first),
                                paragraphs.begin() + std::ptrdiff_t(first + loaded.size()));
  session_.setBodyText(std::move(before), std::move(edited));
}

}  // namespace wordproc
