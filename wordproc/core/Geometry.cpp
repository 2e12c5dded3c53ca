#include "wordproc/core/Geometry.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

namespace wordproc::geometry {

namespace {

constexpr double kEmuPerPoint = 12700;
// Guides beyond this size mean nothing on a page and would overflow the squares in "mod".
constexpr double kLargest = 1e15;
constexpr double kFullTurn = 21600000;  // angles are 60000ths of a degree
// Hostile sweeps would otherwise make millions of curve pieces.
constexpr double kMostTurns = 4;
constexpr std::size_t kMostSegments = 200000;

double Finite(double v) {
  if (!std::isfinite(v)) return 0;
  return std::clamp(v, -kLargest, kLargest);
}

double Radians(double angle) {
  return angle / kFullTurn * 2 * std::numbers::pi;
}

double Angle(double radians) {
  return radians / (2 * std::numbers::pi) * kFullTurn;
}

std::vector<std::string_view> Tokens(std::string_view text) {
  std::vector<std::string_view> tokens;
  std::size_t at = 0;
  while (at < text.size() && tokens.size() < 5) {
    const std::size_t start = text.find_first_not_of(" \t\r\n", at);
    if (start == std::string_view::npos) break;
    const std::size_t end = std::min(text.find_first_of(" \t\r\n", start), text.size());
    tokens.push_back(text.substr(start, end - start));
    at = end;
  }
  return tokens;
}

double Apply(std::string_view op, double x, double y, double z) {
  if (op == "*/") return z == 0 ? 0 : x * y / z;
  if (op == "+-") return x + y - z;
  if (op == "+/") return z == 0 ? 0 : (x + y) / z;
  if (op == "?:") return x > 0 ? y : z;
  if (op == "abs") return std::fabs(x);
  if (op == "at2") return Angle(std::atan2(y, x));
  if (op == "cat2") return x * std::cos(std::atan2(z, y));
  if (op == "sat2") return x * std::sin(std::atan2(z, y));
  if (op == "cos") return x * std::cos(Radians(y));
  if (op == "sin") return x * std::sin(Radians(y));
  if (op == "tan") return x * std::tan(Radians(y));
  if (op == "max") return std::max(x, y);
  if (op == "min") return std::min(x, y);
  if (op == "mod") return std::sqrt(x * x + y * y + z * z);
  if (op == "pin") return y < x ? x : y > z ? z : y;
  if (op == "sqrt") return std::sqrt(std::max(0.0, x));
  if (op == "val") return x;
  return 0;
}

}  // namespace

GuideValues::GuideValues(double width, double height) {
  const double w = Finite(width), h = Finite(height);
  const double ss = std::min(w, h), ls = std::max(w, h);
  values_ = {{"b", h},
             {"cd2", 10800000},
             {"cd4", 5400000},
             {"cd8", 2700000},
             {"3cd4", 16200000},
             {"3cd8", 8100000},
             {"5cd8", 13500000},
             {"7cd8", 18900000},
             {"h", h},
             {"hc", w / 2},
             {"l", 0},
             {"ls", ls},
             {"r", w},
             {"ss", ss},
             {"t", 0},
             {"vc", h / 2},
             {"w", w}};
  for (int d : {2, 3, 4, 5, 6, 8, 10, 12, 16, 32}) {
    values_.emplace_back("wd" + std::to_string(d), w / d);
    values_.emplace_back("hd" + std::to_string(d), h / d);
    values_.emplace_back("ssd" + std::to_string(d), ss / d);
  }
  std::sort(values_.begin(), values_.end());
}

double GuideValues::Value(std::string_view token) const {
  if (token.empty()) return 0;
  const char first = token.front();
  if ((first >= '0' && first <= '9') || first == '-' || first == '+' || first == '.') {
    double number = 0;
    const char* begin = token.data() + (first == '+' ? 1 : 0);
    const auto [end, error] = std::from_chars(begin, token.data() + token.size(), number);
    // Names may begin with a digit too ("3cd4").
    if (end == token.data() + token.size()) return error == std::errc() ? Finite(number) : 0;
  }
  const auto found =
      std::lower_bound(values_.begin(), values_.end(), token,
                       [](const auto& item, std::string_view name) { return item.first < name; });
  return found != values_.end() && found->first == token ? found->second : 0;
}

double GuideValues::Evaluate(std::string_view formula) const {
  const auto tokens = Tokens(formula);
  if (tokens.empty()) return 0;
  auto arg = [&](std::size_t k) { return k < tokens.size() ? Value(tokens[k]) : 0.0; };
  return Finite(Apply(tokens[0], arg(1), arg(2), arg(3)));
}

void GuideValues::Set(std::string_view name, double value) {
  const auto at =
      std::lower_bound(values_.begin(), values_.end(), name,
                       [](const auto& item, std::string_view key) { return item.first < key; });
  if (at != values_.end() && at->first == name) {
    at->second = Finite(value);
  } else {
    values_.emplace(at, std::string(name), Finite(value));
  }
}

namespace {

// Builds the segments of one path, in the path's units, and scales them to points.
class PathBuilder {
 public:
  PathBuilder(const GuideValues& guides, double scaleX, double scaleY, std::size_t& budget)
      : guides_(guides), scaleX_(scaleX), scaleY_(scaleY), budget_(budget) {}

  void Run(const PathCommand& command, SubPath& out) {
    out_ = &out;
    switch (command.kind) {
      case PathCommand::Kind::MoveTo:
        current_ = start_ = PointAt(command, 0);
        return Add(Segment::Kind::Move, current_);
      case PathCommand::Kind::LineTo:
        current_ = PointAt(command, 0);
        return Add(Segment::Kind::Line, current_);
      case PathCommand::Kind::ArcTo:
        return Arc(command);
      case PathCommand::Kind::QuadTo:
        return Quad(PointAt(command, 0), PointAt(command, 1));
      case PathCommand::Kind::CubicTo:
        return Cubic(PointAt(command, 0), PointAt(command, 1), PointAt(command, 2));
      case PathCommand::Kind::Close:
        current_ = start_;
        return Add(Segment::Kind::Close, current_);
    }
  }

 private:
  double Arg(const PathCommand& command, std::size_t k) const {
    return k < command.args.size() ? guides_.Value(command.args[k]) : 0.0;
  }
  Point PointAt(const PathCommand& command, std::size_t index) const {
    return {Arg(command, index * 2), Arg(command, index * 2 + 1)};
  }
  Point Scaled(Point p) const { return {Finite(p.x * scaleX_), Finite(p.y * scaleY_)}; }

  void Add(Segment::Kind kind, Point to, Point c1 = {}, Point c2 = {}) {
    if (budget_ == 0) return;
    --budget_;
    out_->segments.push_back({kind, Scaled(to), Scaled(c1), Scaled(c2)});
  }

  void Quad(Point control, Point to) {
    const Point c1{current_.x + 2.0 / 3 * (control.x - current_.x),
                   current_.y + 2.0 / 3 * (control.y - current_.y)};
    const Point c2{to.x + 2.0 / 3 * (control.x - to.x), to.y + 2.0 / 3 * (control.y - to.y)};
    Cubic(c1, c2, to);
  }

  void Cubic(Point c1, Point c2, Point to) {
    current_ = to;
    Add(Segment::Kind::Cubic, to, c1, c2);
  }

  // The angles of arcTo are seen on the ellipse as drawn; the curve needs the ellipse's own
  // parameter for them.
  static double Parametric(double angle, double rx, double ry) {
    const double a = Radians(angle);
    return std::atan2(rx * std::sin(a), ry * std::cos(a));
  }

  void Arc(const PathCommand& command) {
    const double rx = Arg(command, 0), ry = Arg(command, 1);
    const double start = Arg(command, 2);
    const double sweep =
        std::clamp(Arg(command, 3), -kMostTurns * kFullTurn, kMostTurns * kFullTurn);
    if (sweep == 0) return;
    const double turns = std::trunc(sweep / kFullTurn);
    const double rest = sweep - turns * kFullTurn;
    const double from = Parametric(start, rx, ry);
    double span = Parametric(start + rest, rx, ry) - from;
    if (rest > 0 && span < 0) span += 2 * std::numbers::pi;
    if (rest < 0 && span > 0) span -= 2 * std::numbers::pi;
    span += turns * 2 * std::numbers::pi;
    const Point centre{current_.x - rx * std::cos(from), current_.y - ry * std::sin(from)};
    const int pieces = std::max(1, int(std::ceil(std::fabs(span) / (std::numbers::pi / 2))));
    const double step = span / pieces;
    const double k = 4.0 / 3 * std::tan(step / 4);
    for (int i = 0; i < pieces; ++i) {
      const double a = from + step * i, b = a + step;
      const Point p0{centre.x + rx * std::cos(a), centre.y + ry * std::sin(a)};
      const Point p3{centre.x + rx * std::cos(b), centre.y + ry * std::sin(b)};
      const Point c1{p0.x - k * rx * std::sin(a), p0.y + k * ry * std::cos(a)};
      const Point c2{p3.x + k * rx * std::sin(b), p3.y - k * ry * std::cos(b)};
      Cubic(c1, c2, p3);
    }
  }

  const GuideValues& guides_;
  double scaleX_, scaleY_;
  std::size_t& budget_;
  SubPath* out_ = nullptr;
  Point current_, start_;
};

GuideValues GuidesFor(const ShapeGeometry& geometry, double w, double h, const Adjusts& adjusts) {
  GuideValues guides(w, h);
  for (const Guide& gd : geometry.adjust) {
    const auto own = std::find_if(adjusts.begin(), adjusts.end(),
                                  [&](const Adjust& a) { return a.name == gd.name; });
    guides.Set(gd.name, own != adjusts.end() ? own->value : guides.Evaluate(gd.formula));
  }
  for (const Guide& gd : geometry.guides) guides.Set(gd.name, guides.Evaluate(gd.formula));
  return guides;
}

}  // namespace

Outline Evaluate(const ShapeGeometry& geometry, double width, double height,
                 const Adjusts& adjusts) {
  // Formulas are written for EMU: a few compare lengths with fixed numbers.
  const double w = Finite(width) * kEmuPerPoint, h = Finite(height) * kEmuPerPoint;
  const GuideValues guides = GuidesFor(geometry, w, h, adjusts);
  Outline outline;
  std::size_t budget = kMostSegments;
  for (const PathDef& def : geometry.paths) {
    SubPath path{def.fill, def.stroke, {}};
    const double sx = def.width > 0 ? w / double(def.width) : 1;
    const double sy = def.height > 0 ? h / double(def.height) : 1;
    PathBuilder builder(guides, sx / kEmuPerPoint, sy / kEmuPerPoint, budget);
    for (const PathCommand& command : def.commands) builder.Run(command, path);
    outline.paths.push_back(std::move(path));
  }
  auto pt = [&](const std::string& name) { return guides.Value(name) / kEmuPerPoint; };
  outline.text = {pt(geometry.textLeft), pt(geometry.textTop), pt(geometry.textRight),
                  pt(geometry.textBottom)};
  for (const auto& [x, y] : geometry.sites) outline.sites.push_back({pt(x), pt(y)});
  return outline;
}

}  // namespace wordproc::geometry
