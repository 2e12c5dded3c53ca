// DrawingML paint: colours with their transforms, fills, outlines and shadows of shapes, and the
// theme's format scheme that wps:style references pick them from.
#include <algorithm>
#include <cmath>

#include "wordproc/core/OoxmlReadContext.h"

namespace wordproc::ooxml::reader {

namespace {

// Thousandths of a percent; strict files write percentages ("50%").
double Share(xml_node node, const char* attribute, double fallback) {
  std::string_view text = Value(node, attribute);
  if (text.empty()) return fallback;
  if (text.back() == '%') {
    text.remove_suffix(1);
    return Clamp(Number(text, fallback * 100) / 100.0, -10, 10, fallback);
  }
  return Clamp(Number(text, fallback * 100000) / 100000.0, -10, 10, fallback);
}

double ToLinear(double c) {
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double FromLinear(double c) {
  return c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
}

// Tint and shade mix with white or black in linear light, as the word processor does.
Rgb Mixed(Rgb value, double amount, bool tint) {
  Rgb mixed = 0;
  amount = Clamp(amount, 0, 1);
  for (int shift = 16; shift >= 0; shift -= 8) {
    const double c = ToLinear(((value >> shift) & 0xFF) / 255.0);
    const double v = tint ? 1 - (1 - c) * amount : c * amount;
    mixed |= static_cast<Rgb>(std::lround(Clamp(FromLinear(v), 0, 1) * 255)) << shift;
  }
  return mixed;
}

Rgb Inverse(Rgb value) {
  return ~value & 0xFFFFFF;
}

Rgb Gray(Rgb value) {
  const double y =
      0.299 * ((value >> 16) & 0xFF) + 0.587 * ((value >> 8) & 0xFF) + 0.114 * (value & 0xFF);
  const Rgb g = static_cast<Rgb>(std::lround(Clamp(y, 0, 255)));
  return (g << 16) | (g << 8) | g;
}

// One transform of a colour element, in document order.
void Transform(xml_node m, ReadColor& color) {
  const std::string_view name = Local(m.name());
  const double amount = Share(m, "val", 0);
  auto hsl = [&](auto change) {
    Hsl h = ToHsl(color.rgb);
    change(h);
    h.h = h.h - std::floor(h.h);
    h.s = Clamp(h.s, 0, 1);
    h.l = Clamp(h.l, 0, 1);
    color.rgb = FromHsl(h);
  };
  if (name == "alpha") {
    color.alpha = float(Clamp(amount, 0, 1));
  } else if (name == "alphaMod") {
    color.alpha = float(Clamp(color.alpha * amount, 0, 1));
  } else if (name == "alphaOff") {
    color.alpha = float(Clamp(color.alpha + amount, 0, 1));
  } else if (name == "lumMod") {
    hsl([&](Hsl& h) { h.l *= amount; });
  } else if (name == "lumOff") {
    hsl([&](Hsl& h) { h.l += amount; });
  } else if (name == "satMod") {
    hsl([&](Hsl& h) { h.s *= amount; });
  } else if (name == "satOff") {
    hsl([&](Hsl& h) { h.s += amount; });
  } else if (name == "hueOff") {
    // 60000ths of a degree, not a share.
    hsl([&](Hsl& h) { h.h += Clamp(Number(Value(m, "val")), -1e9, 1e9) / 21600000.0; });
  } else if (name == "hueMod") {
    hsl([&](Hsl& h) { h.h *= amount; });
  } else if (name == "tint" || name == "shade") {
    color.rgb = Mixed(color.rgb, amount, name == "tint");
  } else if (name == "inv") {
    color.rgb = Inverse(color.rgb);
  } else if (name == "comp") {
    hsl([&](Hsl& h) { h.h += 0.5; });
  } else if (name == "gray") {
    color.rgb = Gray(color.rgb);
  }
}

std::optional<Rgb> BaseColor(xml_node c, std::string_view name) {
  if (name == "srgbClr") return ParseHexColor(Value(c, "val"));
  if (name == "sysClr") {
    if (auto last = ParseHexColor(Value(c, "lastClr"))) return last;
    return PresetColor(Value(c, "val"));
  }
  if (name == "prstClr") return PresetColor(Value(c, "val"));
  if (name == "scrgbClr") {
    auto channel = [&](const char* a) {
      return static_cast<Rgb>(
          std::lround(Clamp(FromLinear(Clamp(Share(c, a, 0), 0, 1)), 0, 1) * 255));
    };
    return (channel("r") << 16) | (channel("g") << 8) | channel("b");
  }
  if (name == "hslClr") {
    return FromHsl({Clamp(Number(Value(c, "hue")) / 21600000.0, 0, 1),
                    Clamp(Share(c, "sat", 0), 0, 1), Clamp(Share(c, "lum", 0), 0, 1)});
  }
  return std::nullopt;
}

GradientPath PathOf(std::string_view name) {
  if (name == "rect") return GradientPath::Rect;
  if (name == "shape") return GradientPath::Shape;
  return GradientPath::Circle;
}

// A picture fill's stretch or tile, its part read through the relationship.
bool PatternName(std::string_view name) {
  if (name.empty() || name.size() > 16) return false;
  for (char c : name) {
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
}

// The n-th element child (1-based) of a style list.
xml_node Nth(xml_node list, int n) {
  int k = 0;
  xml_node found;
  ForEachChild(list, [&](xml_node c) {
    if (++k < n) return false;
    found = c;
    return true;
  });
  return found;
}

LineStyle CompoundOf(std::string_view name) {
  if (name == "dbl") return LineStyle::ThinThin;
  if (name == "thickThin") return LineStyle::ThickThin;
  if (name == "thinThick") return LineStyle::ThinThick;
  if (name == "tri") return LineStyle::ThickBetweenThin;
  return LineStyle::Single;
}

Arrowhead ArrowOf(xml_node end) {
  Arrowhead a;
  const std::string_view type = Value(end, "type");
  a.style = type == "triangle"  ? ArrowStyle::Triangle
            : type == "stealth" ? ArrowStyle::Stealth
            : type == "diamond" ? ArrowStyle::Diamond
            : type == "oval"    ? ArrowStyle::Oval
            : type == "arrow"   ? ArrowStyle::Open
                                : ArrowStyle::None;
  auto size = [](std::string_view v) { return v == "sm" ? 1 : v == "lg" ? 3 : 2; };
  a.width = size(Value(end, "w"));
  a.length = size(Value(end, "len"));
  return a;
}

}  // namespace

std::optional<ReadColor> ReadContext::ColorOf(xml_node holder,
                                              std::optional<ReadColor> placeholder) const {
  std::optional<ReadColor> color;
  xml_node element;
  ForEachChild(holder, [&](xml_node c) {
    const std::string_view name = Local(c.name());
    if (name == "schemeClr") {
      color = SchemeColor(Value(c, "val"), placeholder);
    } else if (auto rgb = BaseColor(c, name)) {
      color = ReadColor{*rgb & 0xFFFFFF, 1};
    } else if (name != "srgbClr" && name != "sysClr" && name != "prstClr") {
      return false;
    }
    element = c;
    return true;
  });
  if (!color) return std::nullopt;
  for (xml_node m : element.children()) Transform(m, *color);
  return color;
}

void ReadContext::ReadThemeFormats(xml_node elements) {
  const xml_node scheme = Child(elements, "fmtScheme");
  themeFills_ = Child(scheme, "fillStyleLst");
  themeBackgroundFills_ = Child(scheme, "bgFillStyleLst");
  themeLines_ = Child(scheme, "lnStyleLst");
  themeEffects_ = Child(scheme, "effectStyleLst");
}

bool ReadContext::ReadFillElement(xml_node c, std::optional<ReadColor> placeholder,
                                  FillFormat& fill) {
  const std::string_view name = Local(c.name());
  auto solid = [&](xml_node holder, Rgb& rgb, float& alpha) {
    if (auto color = ColorOf(holder, placeholder)) {
      rgb = color->rgb;
      alpha = color->alpha;
    }
  };
  if (name == "noFill") {
    fill.visible = false;
  } else if (name == "solidFill") {
    fill = FillFormat{};
    solid(c, fill.color, fill.alpha);
    // LibreOffice writes a frame without a background as white at alpha 0.
    if (fill.alpha <= 0) {
      fill.visible = false;
      fill.alpha = 1;
    }
  } else if (name == "gradFill") {
    fill = FillFormat{};
    ReadGradient(c, placeholder, fill);
  } else if (name == "pattFill") {
    fill = FillFormat{};
    fill.type = FillType::Patterned;
    const std::string_view preset = Value(c, "prst");
    fill.pattern = PatternName(preset) ? std::string(preset) : "pct5";
    fill.color = 0x000000;
    solid(Child(c, "fgClr"), fill.color, fill.alpha);
    solid(Child(c, "bgClr"), fill.backColor, fill.backAlpha);
  } else if (name == "blipFill") {
    fill = FillFormat{};
    fill.type = FillType::Picture;
    const std::string_view embed = Value(Child(c, "blip"), "embed");
    if (!embed.empty()) fill.image = ImageFor(embed, true);
    fill.tile = static_cast<bool>(Child(c, "tile"));
    if (fill.tile) fill.type = FillType::Textured;
    if (!fill.image) fill.type = FillType::Solid;
  } else if (name == "grpFill") {
    fill.visible = true;
  } else {
    return false;
  }
  return true;
}

void ReadContext::ReadGradient(xml_node gradFill, std::optional<ReadColor> placeholder,
                               FillFormat& fill) {
  fill.type = FillType::Gradient;
  ForEachChild(Child(gradFill, "gsLst"), [&](xml_node gs) {
    if (!Is(gs, "gs") || fill.stops.size() >= 64) return false;
    const auto color = ColorOf(gs, placeholder);
    if (!color) return false;
    fill.stops.push_back({float(Clamp(Share(gs, "pos", 0), 0, 1)), color->rgb, color->alpha});
    return false;
  });
  std::stable_sort(fill.stops.begin(), fill.stops.end(),
                   [](const auto& a, const auto& b) { return a.position < b.position; });
  if (fill.stops.empty()) fill.stops = {{0, 0xFFFFFF, 1}, {1, 0x000000, 1}};
  fill.color = fill.stops.front().color;
  fill.alpha = fill.stops.front().alpha;
  fill.backColor = fill.stops.back().color;
  fill.backAlpha = fill.stops.back().alpha;
  if (xml_node path = Child(gradFill, "path")) {
    fill.path = PathOf(Value(path, "path"));
    const xml_node to = Child(path, "fillToRect");
    fill.focusLeft = float(Clamp(Share(to, "l", 0), -1, 2));
    fill.focusTop = float(Clamp(Share(to, "t", 0), -1, 2));
    fill.focusRight = float(Clamp(Share(to, "r", 0), -1, 2));
    fill.focusBottom = float(Clamp(Share(to, "b", 0), -1, 2));
  } else if (xml_node lin = Child(gradFill, "lin")) {
    fill.angle = float(NormalDegrees(Number(Value(lin, "ang")) / 60000.0));
    const std::string_view scaled = Value(lin, "scaled");
    fill.scaled = scaled == "1" || scaled == "true";
  }
}

void ReadContext::ReadFill(xml_node spPr, xml_node style, Shape& shape) {
  const bool decided =
      ForEachChild(spPr, [&](xml_node c) { return ReadFillElement(c, std::nullopt, shape.fill); });
  if (decided) return;
  const xml_node ref = Child(style, "fillRef");
  const int index = static_cast<int>(Clamp(Number(Value(ref, "idx")), 0, 2000));
  shape.fill = FillFormat{};
  shape.fill.visible = ref && index > 0;
  if (!shape.fill.visible) return;
  const auto color = ColorOf(ref, std::nullopt);
  const xml_node themed =
      index >= 1001 ? Nth(themeBackgroundFills_, index - 1000) : Nth(themeFills_, index);
  if (themed && ReadFillElement(themed, color, shape.fill)) return;
  if (color) {
    shape.fill.color = color->rgb;
    shape.fill.alpha = color->alpha;
  }
}

void ReadContext::ReadLineElement(xml_node ln, std::optional<ReadColor> placeholder,
                                  LineFormat& line) {
  if (xml_attribute w = AttrOf(ln, "w")) {
    line.weight = static_cast<float>(Clamp(Number(w.value()) / kEmuPerPt, 0, 1584, 0.75));
  }
  if (AttrOf(ln, "cmpd")) line.style = CompoundOf(Value(ln, "cmpd"));
  if (xml_attribute cap = AttrOf(ln, "cap")) {
    const std::string_view v = cap.value();
    line.cap = v == "rnd" ? LineCap::Round : v == "sq" ? LineCap::Square : LineCap::Flat;
  }
  line.visible = true;
  ForEachChild(ln, [&](xml_node c) {
    const std::string_view name = Local(c.name());
    auto take = [&](std::optional<ReadColor> color) {
      if (!color) return;
      line.color = color->rgb;
      line.alpha = color->alpha;
    };
    if (name == "noFill") {
      line.visible = false;
    } else if (name == "solidFill") {
      take(ColorOf(c, placeholder));
      if (line.alpha <= 0) line.visible = false;
    } else if (name == "gradFill") {
      take(ColorOf(Child(Child(c, "gsLst"), "gs"), placeholder));
    } else if (name == "prstDash") {
      line.dash = DashFromPreset(Value(c, "val"), Value(ln, "cap"));
    } else if (name == "custDash") {
      line.dash = DashStyle::Dash;
    } else if (name == "round" || name == "bevel" || name == "miter") {
      line.join = name == "round"   ? LineJoin::Round
                  : name == "bevel" ? LineJoin::Bevel
                                    : LineJoin::Miter;
    } else if (name == "headEnd") {
      line.head = ArrowOf(c);
    } else if (name == "tailEnd") {
      line.tail = ArrowOf(c);
    }
    return false;
  });
}

void ReadContext::ReadLine(xml_node spPr, xml_node style, Shape& shape) {
  const xml_node ref = Child(style, "lnRef");
  const int index = static_cast<int>(Clamp(Number(Value(ref, "idx")), 0, 3));
  const auto styleColor = ColorOf(ref, std::nullopt);
  const xml_node ln = Child(spPr, "ln");
  shape.line.visible = (ref && index > 0) || ln;
  if (ref && index > 0) {
    // Without a theme, the widths of the usual one.
    shape.line.weight = index == 1 ? 0.5f : index == 2 ? 1.0f : 1.5f;
    if (styleColor) {
      shape.line.color = styleColor->rgb;
      shape.line.alpha = styleColor->alpha;
    }
    if (xml_node themed = Nth(themeLines_, index)) ReadLineElement(themed, styleColor, shape.line);
  } else if (styleColor) {
    shape.line.color = styleColor->rgb;
  }
  if (ln) ReadLineElement(ln, styleColor, shape.line);
}

void ReadContext::ReadShadowElement(xml_node effectLst, std::optional<ReadColor> placeholder,
                                    ShadowFormat& shadow) {
  const xml_node outer = Child(effectLst, "outerShdw");
  shadow = ShadowFormat{};
  if (!outer) return;
  shadow.visible = true;
  shadow.color = 0x000000;
  shadow.alpha = 1;
  if (auto color = ColorOf(outer, placeholder)) {
    shadow.color = color->rgb;
    shadow.alpha = color->alpha;
  }
  shadow.blur = float(Clamp(Number(Value(outer, "blurRad")) / kEmuPerPt, 0, 1584));
  shadow.distance = float(Clamp(Number(Value(outer, "dist")) / kEmuPerPt, 0, 1584));
  shadow.direction = float(NormalDegrees(Number(Value(outer, "dir")) / 60000.0));
}

void ReadContext::ReadEffects(xml_node spPr, xml_node style, Shape& shape) {
  if (xml_node effects = Child(spPr, "effectLst")) {
    return ReadShadowElement(effects, std::nullopt, shape.shadow);
  }
  const xml_node ref = Child(style, "effectRef");
  const int index = static_cast<int>(Clamp(Number(Value(ref, "idx")), 0, 3));
  if (index <= 0) return;
  const xml_node themed = Nth(themeEffects_, index);
  ReadShadowElement(Child(themed, "effectLst"), ColorOf(ref, std::nullopt), shape.shadow);
}

}  // namespace wordproc::ooxml::reader
