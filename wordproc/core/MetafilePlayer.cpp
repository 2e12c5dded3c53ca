#include "wordproc/core/MetafilePlayer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace wordproc::metafile::detail {

namespace {

constexpr double kKappa = 0.5522847498;

Rect Normalized(Point a, Point b) {
  return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

Rect Intersected(const std::optional<Rect>& clip, Rect r) {
  if (!clip) return r;
  return {std::max(clip->left, r.left), std::max(clip->top, r.top), std::min(clip->right, r.right),
          std::min(clip->bottom, r.bottom)};
}

double Finite(double v) {
  return std::isfinite(v) ? v : 0;
}

// Page units per millimetre of the fixed mapping modes.
double MillimetresPerUnit(int mapMode) {
  switch (mapMode) {
    case 2:
      return 0.1;
    case 3:
      return 0.01;
    case 4:
      return 0.254;
    case 5:
      return 0.0254;
    case 6:
      return 25.4 / 1440;
    default:
      return 0;
  }
}

double Ratio(double a, double b) {
  return b == 0 ? 1 : Finite(a / b);
}

}  // namespace

std::uint32_t Reader::U32(std::size_t at) const {
  if (!Has(at, 4)) return 0;
  return std::uint32_t(data_[at]) | std::uint32_t(data_[at + 1]) << 8 |
         std::uint32_t(data_[at + 2]) << 16 | std::uint32_t(data_[at + 3]) << 24;
}

std::uint16_t Reader::U16(std::size_t at) const {
  if (!Has(at, 2)) return 0;
  return std::uint16_t(data_[at] | data_[at + 1] << 8);
}

float Reader::F32(std::size_t at) const {
  const std::uint32_t bits = U32(at);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return std::isfinite(value) ? value : 0.0f;
}

Xform Xform::Then(const Xform& n) const {
  return {m11 * n.m11 + m12 * n.m21,      m11 * n.m12 + m12 * n.m22,
          m21 * n.m11 + m22 * n.m21,      m21 * n.m12 + m22 * n.m22,
          dx * n.m11 + dy * n.m21 + n.dx, dx * n.m12 + dy * n.m22 + n.dy};
}

Xform Player::Mapping() const {
  // A WMF's own window maps onto the first one it drew in, see WmfPlayer::FixView.
  if (!emf_ && dc_.mapMode != 8) return Xform();
  double sx = 1, sy = 1;
  if (const double mm = MillimetresPerUnit(dc_.mapMode); mm > 0) {
    sx = mm * deviceMmX_;
    sy = -mm * deviceMmY_;
  } else if (dc_.mapMode == 7 || dc_.mapMode == 8) {
    sx = Ratio(dc_.viewportExt.x, dc_.windowExt.x);
    sy = Ratio(dc_.viewportExt.y, dc_.windowExt.y);
    if (dc_.mapMode == 7) {
      const double m = std::min(std::abs(sx), std::abs(sy));
      sx = std::copysign(m, sx), sy = std::copysign(m, sy);
    }
  }
  const Xform page{sx,
                   0,
                   0,
                   sy,
                   dc_.viewportOrg.x - dc_.windowOrg.x * sx,
                   dc_.viewportOrg.y - dc_.windowOrg.y * sy};
  return emf_ ? dc_.world.Then(page) : page;
}

Point Player::Device(Point logical) const {
  const Point p = Mapping().Apply(logical);
  return {Finite(p.x), Finite(p.y)};
}

double Player::ScaleX() const {
  const Xform m = Mapping();
  return Finite(std::hypot(m.m11, m.m12));
}

double Player::ScaleY() const {
  const Xform m = Mapping();
  return Finite(std::hypot(m.m21, m.m22));
}

bool Player::Spend(std::size_t points) {
  if (exhausted_ || points > kMaxPoints - points_) {
    exhausted_ = true;
    return false;
  }
  points_ += points;
  return true;
}

void Player::Push(Item item) {
  if (out_.items.size() >= kMaxItems) {
    exhausted_ = true;
    return;
  }
  out_.items.push_back({std::move(item), dc_.clip});
}

Pen Player::DevicePen() const {
  Pen pen = dc_.pen;
  // No line is wider than a picture can be; wider ones only make the painter work.
  pen.width = dc_.penWidth > 0 ? std::min(dc_.penWidth * (ScaleX() + ScaleY()) / 2, 1e6) : 0;
  return pen;
}

void Player::Emit(Path path, bool stroke, bool fill) {
  if (inPath_) {
    path_.ops.insert(path_.ops.end(), path.ops.begin(), path.ops.end());
    path_.points.insert(path_.points.end(), path.points.begin(), path.points.end());
    figureOpen_ = !path.ops.empty() && path.ops.back() != PathOp::Close;
    return;
  }
  path.pen = DevicePen();
  path.brush = dc_.brush;
  path.stroke = stroke && path.pen.visible;
  path.fill = fill && path.brush.visible;
  path.winding = dc_.winding;
  if (path.stroke || path.fill) Push(std::move(path));
}

void Player::PutObject(std::uint32_t index, Object object) {
  if (objects_.size() >= kMaxObjects && !objects_.count(index)) return;
  objects_[index] = std::move(object);
}

void Player::AddObject(Object object) {
  std::uint32_t index;
  if (!freed_.empty()) {
    index = *freed_.begin();
    freed_.erase(freed_.begin());
  } else if (nextSlot_ < tableSize_) {
    index = std::uint32_t(nextSlot_++);
  } else {
    return;
  }
  objects_[index] = std::move(object);
}

void Player::SelectObject(std::uint32_t index) {
  if (emf_ && (index & 0x80000000u)) {
    static const Color kGrays[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0};
    const std::uint32_t stock = index & 0x7FFFFFFFu;
    if (stock <= 4) dc_.brush = Brush{true, kGrays[stock], -1};
    if (stock == 5) dc_.brush.visible = false;
    if (stock == 6 || stock == 7)
      dc_.pen = Pen{true, stock == 6 ? 0xFFFFFFu : 0u}, dc_.penWidth = 0;
    if (stock == 8) dc_.pen.visible = false;
    if (stock >= 10 && stock <= 17 && stock != 15) dc_.font = FontSpec();
    return;
  }
  const auto found = objects_.find(index);
  if (found == objects_.end()) return;
  const Object& o = found->second;
  if (o.kind == Object::Kind::Pen) dc_.pen = o.pen, dc_.penWidth = o.penWidth;
  if (o.kind == Object::Kind::Brush) dc_.brush = o.brush;
  if (o.kind == Object::Kind::Font) dc_.font = o.font;
}

void Player::DeleteObject(std::uint32_t index) {
  if (objects_.erase(index) && !emf_) freed_.insert(index);
}

void Player::Save() {
  if (saved_.size() < kMaxSavedStates) saved_.push_back(dc_);
}

void Player::Restore(int which) {
  std::size_t keep;
  if (which < 0) {
    const std::size_t back = std::size_t(-std::int64_t(which));
    if (back > saved_.size()) return;
    keep = saved_.size() - back;
  } else {
    if (which == 0 || std::size_t(which) > saved_.size()) return;
    keep = std::size_t(which) - 1;
  }
  dc_ = saved_[keep];
  saved_.resize(keep);
}

void Player::Polyline(const std::vector<Point>& points, bool closed, bool fill) {
  if (points.empty() || !Spend(points.size())) return;
  Path path;
  path.ops.assign(points.size(), PathOp::Line);
  path.ops[0] = PathOp::Move;
  for (const Point& p : points) path.points.push_back(Device(p));
  if (closed) path.ops.push_back(PathOp::Close);
  Emit(std::move(path), true, fill);
}

void Player::PolyPolygon(const std::vector<std::vector<Point>>& polygons, bool fill) {
  Path path;
  for (const auto& polygon : polygons) {
    if (polygon.empty() || !Spend(polygon.size())) continue;
    path.ops.push_back(PathOp::Move);
    path.ops.insert(path.ops.end(), polygon.size() - 1, PathOp::Line);
    path.ops.push_back(PathOp::Close);
    for (const Point& p : polygon) path.points.push_back(Device(p));
  }
  if (!path.ops.empty()) Emit(std::move(path), true, fill);
}

void Player::StartFigure(Point device) {
  if (inPath_ && figureOpen_) return;
  path_.ops.push_back(PathOp::Move);
  path_.points.push_back(device);
  figureOpen_ = inPath_;
}

void Player::Bezier(const std::vector<Point>& points, bool fromCurrent) {
  const std::size_t first = fromCurrent ? 0 : 1;
  if (points.size() < first + 3 || !Spend(points.size())) return;
  const Point start = fromCurrent ? dc_.current : points[0];
  Path path;
  if (!(fromCurrent && inPath_ && figureOpen_)) {
    path.ops.push_back(PathOp::Move);
    path.points.push_back(Device(start));
  }
  std::size_t k = first;
  for (; k + 3 <= points.size(); k += 3) {
    path.ops.push_back(PathOp::Cubic);
    for (std::size_t j = 0; j < 3; ++j) path.points.push_back(Device(points[k + j]));
  }
  if (fromCurrent) dc_.current = points[k - 1];
  Emit(std::move(path), true, false);
}

void Player::PolylineTo(const std::vector<Point>& points) {
  if (points.empty() || !Spend(points.size() + 1)) return;
  Path path;
  if (!(inPath_ && figureOpen_)) {
    path.ops.push_back(PathOp::Move);
    path.points.push_back(Device(dc_.current));
  }
  for (const Point& p : points) {
    path.ops.push_back(PathOp::Line);
    path.points.push_back(Device(p));
  }
  dc_.current = points.back();
  Emit(std::move(path), true, false);
}

void Player::LineTo(Point to) {
  PolylineTo({to});
}

void Player::MoveTo(Point to) {
  dc_.current = to;
  figureOpen_ = false;
}

void Player::RectangleShape(Rect box, double cornerW, double cornerH) {
  if (cornerW <= 0 || cornerH <= 0) {
    Polyline({{box.left, box.top},
              {box.right, box.top},
              {box.right, box.bottom},
              {box.left, box.bottom}},
             true, true);
    return;
  }
  const double rx = std::min(cornerW / 2, std::abs(box.right - box.left) / 2);
  const double ry = std::min(cornerH / 2, std::abs(box.bottom - box.top) / 2);
  const Rect n = Normalized({box.left, box.top}, {box.right, box.bottom});
  std::vector<Point> points;
  const Point centres[] = {{n.right - rx, n.top + ry},
                           {n.left + rx, n.top + ry},
                           {n.left + rx, n.bottom - ry},
                           {n.right - rx, n.bottom - ry}};
  for (int corner = 0; corner < 4; ++corner) {
    for (int step = 0; step <= 8; ++step) {
      const double a = (corner * 90 + step * 90.0 / 8) * std::numbers::pi / 180;
      points.push_back(
          {centres[corner].x + rx * std::cos(a), centres[corner].y - ry * std::sin(a)});
    }
  }
  Polyline(points, true, true);
}

void Player::EllipseShape(Rect box) {
  if (!Spend(13)) return;
  const double cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2;
  const double rx = (box.right - box.left) / 2, ry = (box.bottom - box.top) / 2;
  const double kx = rx * kKappa, ky = ry * kKappa;
  const Point p[] = {{cx + rx, cy},      {cx + rx, cy + ky}, {cx + kx, cy + ry}, {cx, cy + ry},
                     {cx - kx, cy + ry}, {cx - rx, cy + ky}, {cx - rx, cy},      {cx - rx, cy - ky},
                     {cx - kx, cy - ry}, {cx, cy - ry},      {cx + kx, cy - ry}, {cx + rx, cy - ky},
                     {cx + rx, cy}};
  Path path;
  path.ops = {PathOp::Move,  PathOp::Cubic, PathOp::Cubic,
              PathOp::Cubic, PathOp::Cubic, PathOp::Close};
  for (const Point& q : p) path.points.push_back(Device(q));
  Emit(std::move(path), true, true);
}

// The arc runs counter-clockwise as the picture shows it, from where the ray to start meets the
// ellipse to where the ray to end does; a whole ellipse when they meet at one place.
std::vector<Point> Player::ArcPoints(Rect box, Point start, Point end) const {
  const double cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2;
  const double rx = std::abs(box.right - box.left) / 2, ry = std::abs(box.bottom - box.top) / 2;
  if (rx <= 0 || ry <= 0) return {};
  auto angle = [&](Point p) { return std::atan2(-(p.y - cy) / ry, (p.x - cx) / rx); };
  const double from = angle(start);
  double sweep = angle(end) - from;
  if (dc_.clockwise) sweep = -sweep;
  while (sweep <= 0) sweep += 2 * std::numbers::pi;
  if (dc_.clockwise) sweep = -sweep;
  const int steps = std::max(2, int(std::ceil(std::abs(sweep) / (2 * std::numbers::pi) * 64)));
  std::vector<Point> points;
  for (int k = 0; k <= steps; ++k) {
    const double a = from + sweep * k / steps;
    points.push_back({cx + rx * std::cos(a), cy - ry * std::sin(a)});
  }
  return points;
}

void Player::ArcShape(Rect box, Point start, Point end, ArcKind kind) {
  std::vector<Point> points = ArcPoints(box, start, end);
  if (points.empty()) return;
  if (kind == ArcKind::To) {
    PolylineTo(points);
    return;
  }
  if (kind == ArcKind::Pie)
    points.push_back({(box.left + box.right) / 2, (box.top + box.bottom) / 2});
  Polyline(points, kind != ArcKind::Open, kind != ArcKind::Open);
}

void Player::BeginPath() {
  path_ = Path();
  inPath_ = true;
  figureOpen_ = false;
}

void Player::CloseFigure() {
  if (inPath_ && figureOpen_) path_.ops.push_back(PathOp::Close);
  figureOpen_ = false;
}

void Player::AbortPath() {
  path_ = Path();
  inPath_ = false;
}

void Player::DrawPath(bool stroke, bool fill) {
  inPath_ = false;
  if (fill && !path_.ops.empty() && path_.ops.back() != PathOp::Close)
    path_.ops.push_back(PathOp::Close);
  Emit(std::move(path_), stroke, fill);
  path_ = Path();
}

void Player::ClipToPath() {
  if (path_.points.empty()) return;
  Rect bounds{path_.points[0].x, path_.points[0].y, path_.points[0].x, path_.points[0].y};
  for (const Point& p : path_.points) {
    bounds.left = std::min(bounds.left, p.x), bounds.right = std::max(bounds.right, p.x);
    bounds.top = std::min(bounds.top, p.y), bounds.bottom = std::max(bounds.bottom, p.y);
  }
  dc_.clip = Intersected(dc_.clip, bounds);
  path_ = Path();
  inPath_ = false;
}

void Player::IntersectClip(Rect logical) {
  dc_.clip = Intersected(dc_.clip, Normalized(Device({logical.left, logical.top}),
                                              Device({logical.right, logical.bottom})));
}

void Player::SetClip(std::optional<Rect> device) {
  dc_.clip = device;
}

void Player::AddText(Point logical, std::u16string chars, std::vector<double> logicalAdvances) {
  if (chars.empty() || !Spend(chars.size())) return;
  Text text;
  const FontSpec& font = dc_.font;
  const double sy = ScaleY();
  // A positive height is that of the character cell, which holds the internal leading too.
  text.height = font.height == 0 ? 12 : std::abs(font.height) * sy * (font.height > 0 ? 0.85 : 1);
  text.family = font.family;
  text.weight = font.weight;
  text.italic = font.italic, text.underline = font.underline, text.strikeOut = font.strikeOut;
  const Xform m = Mapping();
  text.angle = Finite(font.escapement / 10 - std::atan2(m.m12, m.m11) * 180 / std::numbers::pi);
  text.color = dc_.textColor;
  const int align = dc_.textAlign;
  text.hAlign = (align & 6) == 6 ? HAlign::Center : (align & 6) == 2 ? HAlign::Right : HAlign::Left;
  text.vAlign = (align & 24) == 24 ? VAlign::Baseline : (align & 8) ? VAlign::Bottom : VAlign::Top;
  const bool updatesCurrent = (align & 1) != 0;
  text.at = Device(updatesCurrent ? dc_.current : logical);
  double total = 0;
  if (logicalAdvances.size() == chars.size()) {
    for (double a : logicalAdvances) {
      text.advances.push_back(Finite(a * ScaleX()));
      total += a;
    }
  }
  if (updatesCurrent) dc_.current.x += total;
  text.chars = std::move(chars);
  Push(std::move(text));
}

void Player::AddBitmap(Rect logicalDest, Bitmap bitmap) {
  if (bitmap.file.empty() || !Spend(4)) return;
  const Point a = Device({logicalDest.left, logicalDest.top});
  const Point b = Device({logicalDest.right, logicalDest.bottom});
  bitmap.dest = {a.x, a.y, b.x, b.y};
  Push(std::move(bitmap));
}

void Player::FillRect(Rect logical, Brush brush) {
  const Brush kept = dc_.brush;
  const Pen pen = dc_.pen;
  dc_.brush = brush;
  dc_.pen.visible = false;
  const bool inPath = inPath_;
  inPath_ = false;
  Polyline({{logical.left, logical.top},
            {logical.right, logical.top},
            {logical.right, logical.bottom},
            {logical.left, logical.bottom}},
           true, true);
  inPath_ = inPath;
  dc_.brush = kept;
  dc_.pen = pen;
}

}  // namespace wordproc::metafile::detail
