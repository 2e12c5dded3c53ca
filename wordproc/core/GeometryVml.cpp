// Outlines in VML's path language ("m 0,0 l 100,0 c ... x e"), written for the VML copy of a
// shape and read from VML shapes that carry their own path.
#include <algorithm>
#include <charconv>
#include <cmath>

#include "wordproc/core/Geometry.h"

namespace wordproc::geometry {

namespace {

constexpr std::size_t kMostVmlCommands = 50000;

std::string Coordinate(double value, double unitsPerPoint) {
  const double scaled = std::clamp(value * unitsPerPoint, -2e9, 2e9);
  return std::to_string(std::llround(std::isfinite(scaled) ? scaled : 0));
}

void AppendPoint(std::string& out, Point p, double unitsPerPoint) {
  out += Coordinate(p.x, unitsPerPoint) + "," + Coordinate(p.y, unitsPerPoint);
}

void AppendSegment(std::string& out, const Segment& s, double unitsPerPoint) {
  switch (s.kind) {
    case Segment::Kind::Move:
      out += "m";
      return AppendPoint(out, s.to, unitsPerPoint);
    case Segment::Kind::Line:
      out += "l";
      return AppendPoint(out, s.to, unitsPerPoint);
    case Segment::Kind::Cubic:
      out += "c";
      AppendPoint(out, s.c1, unitsPerPoint);
      out += ",";
      AppendPoint(out, s.c2, unitsPerPoint);
      out += ",";
      return AppendPoint(out, s.to, unitsPerPoint);
    case Segment::Kind::Close:
      out += "x";
      return;
  }
}

// Reads the numbers and commands of a VML path in turn.
class VmlPathReader {
 public:
  explicit VmlPathReader(std::string_view text) : text_(text) {}

  // The next command's letters, or "" at the end; numbers without a command repeat the last.
  std::string_view Command() {
    Skip();
    if (at_ >= text_.size()) return {};
    static constexpr std::string_view kTwoLetters[] = {"nf", "ns", "ae", "al", "at", "ar",
                                                       "wa", "wr", "qx", "qy", "qb"};
    const std::string_view rest = text_.substr(at_);
    std::size_t length = std::isalpha(static_cast<unsigned char>(rest[0])) ? 1 : 0;
    for (std::string_view two : kTwoLetters)
      if (rest.substr(0, 2) == two) length = 2;
    if (rest[0] == 'h' && rest.size() > 1) length = 2;
    at_ += std::max<std::size_t>(length, 1);
    return rest.substr(0, std::max<std::size_t>(length, 1));
  }
  bool Number(double& value) {
    Skip();
    if (at_ >= text_.size()) return false;
    const char c = text_[at_];
    if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == '.'))
      return false;
    if (c == '+') ++at_;
    const auto [end, error] =
        std::from_chars(text_.data() + at_, text_.data() + text_.size(), value);
    if (error != std::errc()) return false;
    at_ = std::size_t(end - text_.data());
    return std::isfinite(value);
  }
  bool AtNumber() {
    Skip();
    if (at_ >= text_.size()) return false;
    const char c = text_[at_];
    return std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == '.';
  }

 private:
  void Skip() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == ',' || text_[at_] == '\t' ||
                                  text_[at_] == '\r' || text_[at_] == '\n'))
      ++at_;
  }
  std::string_view text_;
  std::size_t at_ = 0;
};

std::string Literal(double v) {
  return std::to_string(std::llround(std::clamp(v, -1e12, 1e12)));
}

// Appends one VML command with its numbers to the path; relative ones start from current.
bool AddVmlCommand(std::string_view command, const std::vector<double>& n, Point& current,
                   Point& start, PathDef& def) {
  const bool relative = command == "t" || command == "r" || command == "v";
  auto point = [&](std::size_t k) {
    return Point{n[k] + (relative ? current.x : 0), n[k + 1] + (relative ? current.y : 0)};
  };
  auto add = [&](PathCommand::Kind kind, std::initializer_list<Point> points) {
    PathCommand c{kind, {}};
    for (Point p : points) {
      c.args.push_back(Literal(p.x));
      c.args.push_back(Literal(p.y));
    }
    def.commands.push_back(std::move(c));
  };
  if ((command == "m" || command == "t") && n.size() == 2) {
    current = start = point(0);
    add(PathCommand::Kind::MoveTo, {current});
  } else if ((command == "l" || command == "r") && n.size() == 2) {
    current = point(0);
    add(PathCommand::Kind::LineTo, {current});
  } else if ((command == "c" || command == "v") && n.size() == 6) {
    const Point c1 = point(0), c2 = point(2), to = point(4);
    current = to;
    add(PathCommand::Kind::CubicTo, {c1, c2, to});
  } else {
    return false;
  }
  return true;
}

std::size_t NumbersOf(std::string_view command) {
  if (command == "m" || command == "t" || command == "l" || command == "r") return 2;
  if (command == "c" || command == "v") return 6;
  return 0;
}

}  // namespace

std::string VmlPath(const Outline& outline, double unitsPerPoint) {
  std::string out;
  for (const SubPath& path : outline.paths) {
    const bool filled = path.fill != PathFill::None;
    if ((!filled && !path.stroke) || path.segments.empty()) continue;
    if (!filled) out += "nf";
    if (!path.stroke) out += "ns";
    for (const Segment& s : path.segments) AppendSegment(out, s, unitsPerPoint);
    out += "e";
  }
  return out;
}

ShapeGeometryPtr GeometryOfVmlPath(std::string_view text, std::int64_t width, std::int64_t height) {
  if (text.find('@') != std::string_view::npos || width <= 0 || height <= 0) return nullptr;
  auto geometry = std::make_shared<ShapeGeometry>();
  PathDef def{width, height, PathFill::Norm, true, {}};
  Point current, start;
  VmlPathReader reader(text);
  std::string command;
  std::size_t steps = 0;
  auto finish = [&] {
    if (!def.commands.empty()) geometry->paths.push_back(def);
    def = PathDef{width, height, PathFill::Norm, true, {}};
  };
  while (steps++ < kMostVmlCommands) {
    if (!reader.AtNumber()) {
      command = std::string(reader.Command());
      if (command.empty()) break;
    } else if (NumbersOf(command) == 0) {
      return nullptr;
    }
    if (command == "e") {
      finish();
    } else if (command == "x") {
      def.commands.push_back({PathCommand::Kind::Close, {}});
      current = start;
    } else if (command == "nf") {
      def.fill = PathFill::None;
    } else if (command == "ns") {
      def.stroke = false;
    } else if (const std::size_t count = NumbersOf(command)) {
      std::vector<double> numbers(count);
      for (double& v : numbers)
        if (!reader.Number(v)) return nullptr;
      if (!AddVmlCommand(command, numbers, current, start, def)) return nullptr;
    } else {
      return nullptr;  // arcs and the rest of VML's commands are left to the shape type
    }
  }
  finish();
  if (geometry->paths.empty()) return nullptr;
  return geometry;
}

}  // namespace wordproc::geometry
