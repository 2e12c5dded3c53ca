// Paint of VML shapes: v:fill gradients, patterns and pictures, v:stroke ends and compound
// lines, v:shadow.
#include <charconv>
#include <cmath>

#include "wordproc/core/OoxmlReadContext.h"

namespace wordproc::ooxml::reader {

namespace {

// "0.5", ".5", "50%", or 65536ths ("32768f").
std::optional<double> VmlFraction(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  if (!text.empty() && text.front() == '.') {
    const auto rest = VmlFraction("0" + std::string(text));
    return rest;
  }
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [next, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || !std::isfinite(value)) return std::nullopt;
  const std::string_view unit(next, std::size_t(end - next));
  if (unit == "f") return value / 65536;
  if (unit == "%") return value / 100;
  return value;
}

float Opacity(xml_node node, const char* attribute) {
  return float(Clamp(VmlFraction(Value(node, attribute)).value_or(1), 0, 1));
}

// VML turns the blend counter-clockwise from bottom-to-top; the model's angle runs clockwise
// from left-to-right.
float AngleFromVml(double vml) {
  return float(NormalDegrees(270 - vml));
}

// The stops of a two-colour VML gradient: focus 100% reverses it, 50% puts the first colour at
// both ends and -50% the second.
std::vector<GradientStop> VmlStops(Rgb first, float firstAlpha, Rgb second, float secondAlpha,
                                   double focus) {
  const GradientStop a{0, first, firstAlpha}, b{0, second, secondAlpha};
  auto at = [](GradientStop s, float position) {
    s.position = position;
    return s;
  };
  if (std::abs(focus) >= 0.75) return {at(b, 0), at(a, 1)};
  if (focus >= 0.25) return {at(a, 0), at(b, 0.5f), at(a, 1)};
  if (focus <= -0.25) return {at(b, 0), at(a, 0.5f), at(b, 1)};
  return {at(a, 0), at(b, 1)};
}

// "0 #ff0000;.5 blue;1 #00ff00": the colours list of a multi-colour gradient.
std::vector<GradientStop> VmlColorList(std::string_view list) {
  std::vector<GradientStop> stops;
  while (!list.empty() && stops.size() < 64) {
    const std::size_t semi = list.find(';');
    std::string_view item = list.substr(0, semi);
    list = semi == std::string_view::npos ? std::string_view() : list.substr(semi + 1);
    while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
    const std::size_t space = item.find(' ');
    if (space == std::string_view::npos) continue;
    const auto position = VmlFraction(item.substr(0, space));
    const auto color = ParseVmlColor(item.substr(space + 1));
    if (position && color) stops.push_back({float(Clamp(*position, 0, 1)), *color, 1});
  }
  return stops;
}

Arrowhead VmlArrow(xml_node stroke, const char* prefix) {
  const std::string p(prefix);
  const std::string type = Lower(Value(stroke, p + "arrow"));
  Arrowhead a;
  a.style = type == "block"     ? ArrowStyle::Triangle
            : type == "classic" ? ArrowStyle::Stealth
            : type == "diamond" ? ArrowStyle::Diamond
            : type == "oval"    ? ArrowStyle::Oval
            : type == "open"    ? ArrowStyle::Open
                                : ArrowStyle::None;
  const std::string w = Lower(Value(stroke, p + "arrowwidth"));
  const std::string l = Lower(Value(stroke, p + "arrowlength"));
  a.width = w == "narrow" ? 1 : w == "wide" ? 3 : 2;
  a.length = l == "short" ? 1 : l == "long" ? 3 : 2;
  return a;
}

LineStyle VmlLineStyle(std::string_view name) {
  const std::string lower = Lower(name);
  if (lower == "thinthin") return LineStyle::ThinThin;
  if (lower == "thinthick") return LineStyle::ThinThick;
  if (lower == "thickthin") return LineStyle::ThickThin;
  if (lower == "thickbetweenthin") return LineStyle::ThickBetweenThin;
  return LineStyle::Single;
}

}  // namespace

void ReadContext::ReadVmlFill(xml_node fill, FillFormat& out) {
  if (auto color = ParseVmlColor(Value(fill, "color"))) out.color = *color;
  if (AttrOf(fill, "opacity")) out.alpha = Opacity(fill, "opacity");
  const std::string type = Lower(Value(fill, "type"));
  const Rgb second = ParseVmlColor(Value(fill, "color2")).value_or(0xFFFFFF);
  const float secondAlpha = AttrOf(fill, "opacity2") ? Opacity(fill, "opacity2") : out.alpha;
  if (type == "gradient" || type == "gradientradial") {
    out.type = FillType::Gradient;
    out.stops = VmlColorList(Value(fill, "colors"));
    if (out.stops.size() < 2) {
      const double focus = VmlFraction(Value(fill, "focus")).value_or(0);
      out.stops = VmlStops(out.color, out.alpha, second, secondAlpha, focus);
    }
    out.color = out.stops.front().color;
    out.backColor = out.stops.back().color;
    out.backAlpha = out.stops.back().alpha;
    if (type == "gradient") {
      out.path = GradientPath::Linear;
      out.angle = AngleFromVml(VmlFraction(Value(fill, "angle")).value_or(0));
    } else {
      out.path = GradientPath::Rect;
    }
  } else if (type == "pattern") {
    out.type = FillType::Patterned;
    out.pattern = "pct50";
    out.backColor = second;
  } else if (type == "tile" || type == "frame") {
    const std::string_view relId = Value(fill, "id");
    if (!relId.empty()) out.image = ImageFor(relId, true);
    if (out.image) out.type = type == "tile" ? FillType::Textured : FillType::Picture;
    out.tile = type == "tile";
  }
}

void ReadContext::ReadVmlStroke(xml_node stroke, LineFormat& out) {
  if (AttrOf(stroke, "opacity")) out.alpha = Opacity(stroke, "opacity");
  if (AttrOf(stroke, "linestyle")) out.style = VmlLineStyle(Value(stroke, "linestyle"));
  const std::string cap = Lower(Value(stroke, "endcap"));
  if (!cap.empty()) {
    out.cap = cap == "round" ? LineCap::Round : cap == "square" ? LineCap::Square : LineCap::Flat;
  }
  const std::string join = Lower(Value(stroke, "joinstyle"));
  if (!join.empty()) {
    out.join = join == "round"   ? LineJoin::Round
               : join == "bevel" ? LineJoin::Bevel
                                 : LineJoin::Miter;
  }
  out.head = VmlArrow(stroke, "start");
  out.tail = VmlArrow(stroke, "end");
}

void ReadContext::ReadVmlShadow(xml_node shadow, ShadowFormat& out) {
  const std::string on = Lower(Value(shadow, "on"));
  out = ShadowFormat{};
  out.visible = on == "t" || on == "true" || on == "1";
  if (!out.visible) return;
  out.color = ParseVmlColor(Value(shadow, "color")).value_or(0x808080);
  out.alpha = AttrOf(shadow, "opacity") ? Opacity(shadow, "opacity") : 1;
  double dx = 2, dy = 2;
  const std::string_view offset = Value(shadow, "offset");
  if (!offset.empty()) {
    const std::size_t comma = offset.find(',');
    dx = ParseLength(offset.substr(0, comma), 1.0).value_or(0);
    dy = comma == std::string_view::npos ? 0
                                         : ParseLength(offset.substr(comma + 1), 1.0).value_or(0);
  }
  dx = Clamp(dx, -1584, 1584);
  dy = Clamp(dy, -1584, 1584);
  out.distance = float(std::hypot(dx, dy));
  out.direction = float(NormalDegrees(std::atan2(dy, dx) * 180 / M_PI));
}

}  // namespace wordproc::ooxml::reader
