#include "wordproc/core/OoxmlReadXml.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "wordproc/core/Package.h"

namespace wordproc::ooxml::reader {

std::string_view Local(const char* name) {
  const char* colon = std::strchr(name, ':');
  return colon ? std::string_view(colon + 1) : std::string_view(name);
}

bool Is(xml_node node, std::string_view local) {
  return node.type() == pugi::node_element && Local(node.name()) == local;
}

xml_attribute AttrOf(xml_node node, std::string_view local) {
  for (xml_attribute a : node.attributes()) {
    if (Local(a.name()) == local) return a;
  }
  return xml_attribute();
}

std::string_view Value(xml_node node, std::string_view local) {
  const xml_attribute a = AttrOf(node, local);
  return a ? std::string_view(a.value()) : std::string_view();
}

std::string_view NamespaceOf(xml_node node, std::string_view prefix) {
  const std::string name = prefix.empty() ? std::string("xmlns") : "xmlns:" + std::string(prefix);
  for (; node; node = node.parent()) {
    if (xml_attribute a = node.attribute(name.c_str())) return a.value();
  }
  return std::string_view();
}

xml_node ChooseAlternative(xml_node alternate) {
  xml_node fallback;
  for (xml_node branch = alternate.first_child(); branch; branch = branch.next_sibling()) {
    if (Is(branch, "Choice")) {
      std::string_view required = Value(branch, "Requires");
      bool understood = !required.empty();
      while (understood && !required.empty()) {
        const std::size_t space = required.find(' ');
        const std::string_view prefix = required.substr(0, space);
        required =
            space == std::string_view::npos ? std::string_view() : required.substr(space + 1);
        if (prefix.empty()) continue;
        const std::string_view uri = NamespaceOf(branch, prefix);
        if (uri.empty()) {
          understood = prefix == "wps" || prefix == "wpg" || prefix == "wp14";
        } else {
          understood = uri == kNsWps || uri == kNsWpg || uri == kNsWp14;
        }
      }
      if (understood) return branch;
    } else if (Is(branch, "Fallback") && !fallback) {
      fallback = branch;
    }
  }
  return fallback;
}

xml_node Child(xml_node parent, std::string_view local) {
  xml_node found;
  ForEachChild(parent, [&](xml_node c) {
    if (!Is(c, local)) return false;
    found = c;
    return true;
  });
  return found;
}

std::string NodeXml(xml_node node) {
  struct Collect : pugi::xml_writer {
    std::string text;
    void write(const void* data, std::size_t size) override {
      text.append(static_cast<const char*>(data), size);
    }
  } out;
  node.print(out, "", pugi::format_raw);
  return std::move(out.text);
}

std::string TextOf(xml_node node) {
  std::string text;
  for (xml_node c = node.first_child(); c; c = c.next_sibling()) {
    if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) text += c.value();
  }
  return text;
}

double Number(std::string_view text, double fallback) {
  const auto value = ParseNumber(text);
  return value ? *value : fallback;
}

float CornerAdjustment(xml_node geometry) {
  float share = kDefaultAdjustment;
  ForEachChild(Child(geometry, "avLst"), [&](xml_node gd) {
    const std::string_view formula = Value(gd, "fmla");
    if (!Is(gd, "gd") || Value(gd, "name") != "adj" || formula.substr(0, 4) != "val ") return false;
    share = float(Clamp(Number(formula.substr(4), kDefaultAdjustment * 100000), 0, 50000) / 100000);
    return true;
  });
  return share;
}

bool OnOff(xml_node node) {
  const std::string_view v = Value(node, "val");
  return !(v == "0" || v == "false" || v == "off" || v == "none");
}

double PositionFromEmu(double emu) {
  return Clamp(emu / kEmuPerPt, -kMaxLengthPt, kMaxLengthPt);
}
double SizeFromEmu(double emu) {
  return Clamp(emu / kEmuPerPt, 0, kMaxLengthPt);
}

std::optional<double> ParseLength(std::string_view text, double defaultUnit) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  static const std::pair<const char*, double> kUnits[] = {{"pt", 1.0},
                                                          {"in", kPointsPerInch},
                                                          {"cm", 10 * kPointsPerMillimetre},
                                                          {"mm", kPointsPerMillimetre},
                                                          {"pc", 12.0},
                                                          {"pi", 12.0},
                                                          {"px", 0.75},
                                                          {"emu", 1.0 / kEmuPerPt}};
  for (const auto& [suffix, factor] : kUnits) {
    const std::size_t n = std::strlen(suffix);
    if (text.size() > n && text.substr(text.size() - n) == suffix) {
      const auto value = ParseNumber(text.substr(0, text.size() - n));
      if (!value) return std::nullopt;
      return *value * factor;
    }
  }
  const auto value = ParseNumber(text);
  if (!value) return std::nullopt;
  return *value * defaultUnit;
}

std::optional<double> TwipsValue(xml_node node, std::string_view attribute) {
  const xml_attribute a = AttrOf(node, attribute);
  if (!a) return std::nullopt;
  const auto value = ParseLength(a.value(), 1.0 / kTwipsPerPt);
  if (!value || std::isnan(*value)) return std::nullopt;
  return Clamp(*value, -kMaxLengthPt, kMaxLengthPt);
}

std::string Lower(std::string_view text) {
  return package::AsciiLower(std::string(text));
}

Hsl ToHsl(Rgb c) {
  const double r = ((c >> 16) & 0xFF) / 255.0, g = ((c >> 8) & 0xFF) / 255.0,
               b = (c & 0xFF) / 255.0;
  const double hi = std::max({r, g, b}), lo = std::min({r, g, b});
  Hsl out{0, 0, (hi + lo) / 2};
  const double d = hi - lo;
  if (d > 1e-9) {
    out.s = out.l > 0.5 ? d / (2 - hi - lo) : d / (hi + lo);
    if (hi == r)
      out.h = (g - b) / d + (g < b ? 6 : 0);
    else if (hi == g)
      out.h = (b - r) / d + 2;
    else
      out.h = (r - g) / d + 4;
    out.h /= 6;
  }
  return out;
}

Rgb FromHsl(Hsl c) {
  auto channel = [](double p, double q, double t) {
    if (t < 0) t += 1;
    if (t > 1) t -= 1;
    if (t < 1.0 / 6) return p + (q - p) * 6 * t;
    if (t < 0.5) return q;
    if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
    return p;
  };
  double r = c.l, g = c.l, b = c.l;
  if (c.s > 1e-9) {
    const double q = c.l < 0.5 ? c.l * (1 + c.s) : c.l + c.s - c.l * c.s;
    const double p = 2 * c.l - q;
    r = channel(p, q, c.h + 1.0 / 3);
    g = channel(p, q, c.h);
    b = channel(p, q, c.h - 1.0 / 3);
  }
  auto byte = [](double v) { return static_cast<Rgb>(std::lround(Clamp(v, 0, 1) * 255)); };
  return (byte(r) << 16) | (byte(g) << 8) | byte(b);
}

std::optional<Rgb> PresetColor(std::string_view name) {
  static const std::pair<const char*, Rgb> kNames[] = {
      {"black", 0x000000},     {"white", 0xFFFFFF},    {"red", 0xFF0000},
      {"green", 0x008000},     {"lime", 0x00FF00},     {"blue", 0x0000FF},
      {"yellow", 0xFFFF00},    {"cyan", 0x00FFFF},     {"aqua", 0x00FFFF},
      {"magenta", 0xFF00FF},   {"fuchsia", 0xFF00FF},  {"gray", 0x808080},
      {"grey", 0x808080},      {"silver", 0xC0C0C0},   {"darkgray", 0xA9A9A9},
      {"lightgray", 0xD3D3D3}, {"maroon", 0x800000},   {"navy", 0x000080},
      {"olive", 0x808000},     {"purple", 0x800080},   {"teal", 0x008080},
      {"orange", 0xFFA500},    {"brown", 0xA52A2A},    {"windowtext", 0x000000},
      {"window", 0xFFFFFF},    {"darkblue", 0x00008B}, {"darkred", 0x8B0000},
      {"darkgreen", 0x006400}};
  const std::string lower = Lower(name);
  for (const auto& [n, rgb] : kNames) {
    if (lower == n) return rgb;
  }
  return std::nullopt;
}

std::optional<Rgb> ParseVmlColor(std::string_view text) {
  const std::size_t space = text.find_first_of(" [");
  if (space != std::string_view::npos) text = text.substr(0, space);
  if (text.size() == 4 && text.front() == '#') {
    const auto short3 =
        ParseHexColor(std::string{text[1], text[1], text[2], text[2], text[3], text[3]});
    if (short3) return short3;
  }
  if (!text.empty() && text.front() == '#') return ParseHexColor(text);
  return PresetColor(text);
}

double NormalDegrees(double degrees) {
  if (!std::isfinite(degrees)) return 0;
  const double turned = std::fmod(degrees, 360.0);
  return turned < 0 ? turned + 360 : turned;
}

Xfrm ReadXfrm(xml_node properties) {
  Xfrm x;
  const xml_node xfrm = Child(properties, "xfrm");
  if (!xfrm) return x;
  x.flipH = Value(xfrm, "flipH") == "1" || Value(xfrm, "flipH") == "true";
  x.flipV = Value(xfrm, "flipV") == "1" || Value(xfrm, "flipV") == "true";
  x.rotation = NormalDegrees(Number(Value(xfrm, "rot")) / 60000);
  auto clampEmu = [](double v) { return Clamp(v, -1e13, 1e13); };
  if (xml_node off = Child(xfrm, "off")) {
    x.offX = clampEmu(Number(Value(off, "x")));
    x.offY = clampEmu(Number(Value(off, "y")));
  }
  if (xml_node ext = Child(xfrm, "ext")) {
    x.extX = Clamp(Number(Value(ext, "cx")), 0, 1e13);
    x.extY = Clamp(Number(Value(ext, "cy")), 0, 1e13);
  }
  if (xml_node off = Child(xfrm, "chOff")) {
    x.chOffX = clampEmu(Number(Value(off, "x")));
    x.chOffY = clampEmu(Number(Value(off, "y")));
  }
  if (xml_node ext = Child(xfrm, "chExt")) {
    x.chExtX = Clamp(Number(Value(ext, "cx")), 0, 1e13);
    x.chExtY = Clamp(Number(Value(ext, "cy")), 0, 1e13);
  }
  return x;
}

ChildSpace InnerSpace(const Xfrm& x, double widthPt, double heightPt) {
  ChildSpace space;
  space.originX = x.chOffX;
  space.originY = x.chOffY;
  const double spanX = x.chExtX > 0 ? x.chExtX : x.extX;
  const double spanY = x.chExtY > 0 ? x.chExtY : x.extY;
  space.scaleX = spanX > 0 ? widthPt / spanX : 1.0 / kEmuPerPt;
  space.scaleY = spanY > 0 ? heightPt / spanY : 1.0 / kEmuPerPt;
  return space;
}

CssStyle ParseCss(std::string_view text) {
  CssStyle style;
  auto trim = [](std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
  };
  while (!text.empty()) {
    const std::size_t semi = text.find(';');
    const std::string_view item = text.substr(0, semi);
    text = semi == std::string_view::npos ? std::string_view() : text.substr(semi + 1);
    const std::size_t colon = item.find(':');
    if (colon == std::string_view::npos) continue;
    style.items.emplace_back(Lower(trim(item.substr(0, colon))),
                             std::string(trim(item.substr(colon + 1))));
  }
  return style;
}

}  // namespace wordproc::ooxml::reader
