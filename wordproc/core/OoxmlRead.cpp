#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <unordered_map>
#include <unordered_set>

#include "wordproc/core/Ooxml.h"
#include "wordproc/core/OoxmlInternal.h"
#include "wordproc/core/Package.h"

namespace wordproc {

namespace {

using namespace ooxml;
using pugi::xml_attribute;
using pugi::xml_node;

constexpr int kMaxStyleChain = 16;
constexpr int kMaxAlternateNesting = 8;

// Elements are matched by local name: files use the usual prefixes almost always, but nothing
// obliges them to, and strict documents use other namespace names for the same elements.
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

// Namespace of a prefix as declared on the node or its ancestors.
std::string_view NamespaceOf(xml_node node, std::string_view prefix) {
  const std::string name = prefix.empty() ? std::string("xmlns") : "xmlns:" + std::string(prefix);
  for (; node; node = node.parent()) {
    if (xml_attribute a = node.attribute(name.c_str())) return a.value();
  }
  return std::string_view();
}

// mc:Choice is taken when we understand every namespace it requires; otherwise mc:Fallback.
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

// Visits element children, looking through mc:AlternateContent; stops when f returns true.
template <class F>
bool ForEachChild(xml_node parent, F&& f, int nesting = 0) {
  for (xml_node c = parent.first_child(); c; c = c.next_sibling()) {
    if (c.type() != pugi::node_element) continue;
    if (Is(c, "AlternateContent")) {
      const xml_node chosen = ChooseAlternative(c);
      if (chosen && nesting < kMaxAlternateNesting && ForEachChild(chosen, f, nesting + 1)) {
        return true;
      }
      continue;
    }
    if (f(c)) return true;
  }
  return false;
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

std::string TextOf(xml_node node) {
  std::string text;
  for (xml_node c = node.first_child(); c; c = c.next_sibling()) {
    if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) text += c.value();
  }
  return text;
}

double Number(std::string_view text, double fallback = 0) {
  const auto value = ParseNumber(text);
  return value ? *value : fallback;
}

// A rounded rectangle's "adj" guide ("val 16667": 1/100000 of the shorter side), within the
// half of that side the preset allows.
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

// A length with an optional unit suffix, in points; bare numbers are in defaultUnit points.
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

// Twips, or a universal measure ("2.5cm") where the schema allows one.
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

// ---- colours ----

struct Hsl {
  double h, s, l;
};

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

// VML colours: "#RRGGBB", "#RGB" or a name, possibly followed by a palette index in brackets.
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

struct Theme {
  Rgb colors[12] = {0x000000, 0xFFFFFF, 0x44546A, 0xE7E6E6, 0x4472C4, 0xED7D31,
                    0xA5A5A5, 0xFFC000, 0x5B9BD5, 0x70AD47, 0x0563C1, 0x954F72};
  std::string minorFont = "Calibri";
  std::string majorFont = "Calibri Light";
};

// ---- document pieces waiting to be put together ----

struct PendingShape {
  std::unique_ptr<Shape> shape;
  std::uint64_t paragraph = 0;
  int layer = 1;  // 0: behind the text
  double z = 0;
  std::size_t sequence = 0;
};

// Maps coordinates of a group's children to points from the group's top-left corner.
struct ChildSpace {
  double originX = 0, originY = 0;  // child units
  double scaleX = 1, scaleY = 1;    // points per child unit
};

struct Xfrm {
  double offX = 0, offY = 0, extX = 0, extY = 0;
  double chOffX = 0, chOffY = 0, chExtX = 0, chExtY = 0;
  bool flipH = false, flipV = false;
};

Xfrm ReadXfrm(xml_node properties) {
  Xfrm x;
  const xml_node xfrm = Child(properties, "xfrm");
  if (!xfrm) return x;
  x.flipH = Value(xfrm, "flipH") == "1" || Value(xfrm, "flipH") == "true";
  x.flipV = Value(xfrm, "flipV") == "1" || Value(xfrm, "flipV") == "true";
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

// The space of a group's children given the group's own size in points.
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

struct CssStyle {
  std::vector<std::pair<std::string, std::string>> items;
  std::string_view Get(std::string_view key) const {
    for (const auto& [k, v] : items) {
      if (k == key) return v;
    }
    return std::string_view();
  }
};

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

class Reader {
 public:
  Reader(package::ZipReader& zip) : zip_(zip) {}

  std::unique_ptr<Document> Read() {
    doc_ = std::make_unique<Document>();
    doc_->paragraphs.clear();
    ReadContentTypes();
    const std::string mainPart = FindMainPart();
    const std::string type = ContentTypeOf(mainPart);
    if (type.find("spreadsheetml") != std::string::npos ||
        type.find("presentationml") != std::string::npos) {
      zip_.Fail("пакет содержит не текстовый документ");
    }
    doc_->isTemplate =
        type.find("template") != std::string::npos || type.find("Template") != std::string::npos;
    const std::size_t slash = mainPart.rfind('/');
    mainFolder_ = slash == std::string::npos ? std::string() : mainPart.substr(0, slash + 1);
    ReadRelationships(mainFolder_ + "_rels/" + mainPart.substr(slash + 1) + ".rels");
    ReadTheme();
    ReadStyles();

    package::XmlPart part;
    part.text = zip_.Read(mainPart);
    package::ParseXml(zip_, mainPart, part);
    const xml_node root = part.doc.document_element();
    if (!Is(root, "document")) {
      zip_.Fail("часть \"" + mainPart + "\" не является документом WordprocessingML");
    }
    const xml_node body = Child(root, "body");
    ReadPageSetup(body);
    ReadBlocks(body, true, doc_->paragraphs);
    if (doc_->paragraphs.empty()) {
      Paragraph empty;
      empty.id = doc_->newParagraphId();
      empty.markFormat = baseRun_;
      doc_->paragraphs.push_back(std::move(empty));
    }
    PlaceShapes();
    return std::move(doc_);
  }

 private:
  void ReadContentTypes() {
    if (!zip_.Has("[Content_Types].xml")) {
      zip_.Fail("в пакете нет части [Content_Types].xml; это не документ OOXML");
    }
    package::XmlPart part;
    part.text = zip_.Read("[Content_Types].xml");
    package::ParseXml(zip_, "[Content_Types].xml", part);
    for (xml_node n : part.doc.document_element().children()) {
      if (Is(n, "Override")) {
        std::string name(Value(n, "PartName"));
        while (!name.empty() && name.front() == '/') name.erase(name.begin());
        overrides_[package::AsciiLower(name)] = Value(n, "ContentType");
      } else if (Is(n, "Default")) {
        defaults_[Lower(Value(n, "Extension"))] = Value(n, "ContentType");
      }
    }
  }

  std::string ContentTypeOf(const std::string& partName) const {
    const auto found = overrides_.find(package::AsciiLower(partName));
    if (found != overrides_.end()) return found->second;
    const std::size_t dot = partName.rfind('.');
    if (dot != std::string::npos) {
      const auto byExtension = defaults_.find(Lower(partName.substr(dot + 1)));
      if (byExtension != defaults_.end()) return byExtension->second;
    }
    return std::string();
  }

  // Resolves a relationship target against the folder of its source part.
  static std::string ResolveTarget(const std::string& folder, std::string_view target) {
    std::string decoded;
    for (std::size_t i = 0; i < target.size(); ++i) {
      if (target[i] == '%' && i + 2 < target.size()) {
        const auto hex = [](char c) -> int {
          if (c >= '0' && c <= '9') return c - '0';
          if (c >= 'a' && c <= 'f') return c - 'a' + 10;
          if (c >= 'A' && c <= 'F') return c - 'A' + 10;
          return -1;
        };
        const int hi = hex(target[i + 1]), lo = hex(target[i + 2]);
        if (hi >= 0 && lo >= 0) {
          decoded += static_cast<char>(hi * 16 + lo);
          i += 2;
          continue;
        }
      }
      decoded += target[i] == '\\' ? '/' : target[i];
    }
    std::string path = !decoded.empty() && decoded.front() == '/' ? decoded : folder + decoded;
    std::vector<std::string> segments;
    std::size_t start = 0;
    while (start <= path.size()) {
      const std::size_t end = std::min(path.find('/', start), path.size());
      const std::string segment = path.substr(start, end - start);
      if (segment == "..") {
        if (!segments.empty()) segments.pop_back();
      } else if (!segment.empty() && segment != ".") {
        segments.push_back(segment);
      }
      start = end + 1;
    }
    std::string result;
    for (const std::string& segment : segments) {
      if (!result.empty()) result += '/';
      result += segment;
    }
    return result;
  }

  std::string FindMainPart() {
    if (zip_.Has("_rels/.rels")) {
      package::XmlPart part;
      part.text = zip_.Read("_rels/.rels");
      package::ParseXml(zip_, "_rels/.rels", part);
      for (xml_node rel : part.doc.document_element().children()) {
        if (!Is(rel, "Relationship")) continue;
        const std::string_view type = Value(rel, "Type");
        if (type.size() >= 15 && type.substr(type.size() - 15) == "/officeDocument") {
          const std::string target = ResolveTarget("", Value(rel, "Target"));
          if (!zip_.Has(target)) {
            zip_.Fail("в пакете нет основной части документа (" + target + ")");
          }
          return target;
        }
      }
    }
    if (zip_.Has("word/document.xml")) return "word/document.xml";
    zip_.Fail("в пакете нет основной части документа (word/document.xml)");
  }

  void ReadRelationships(const std::string& relsPart) {
    if (!zip_.Has(relsPart)) return;
    package::XmlPart part;
    part.text = zip_.Read(relsPart);
    package::ParseXml(zip_, relsPart, part);
    for (xml_node rel : part.doc.document_element().children()) {
      if (!Is(rel, "Relationship")) continue;
      Relationship r;
      r.type = Value(rel, "Type");
      r.external = Value(rel, "TargetMode") == "External";
      r.target = r.external ? std::string(Value(rel, "Target"))
                            : ResolveTarget(mainFolder_, Value(rel, "Target"));
      relationships_.emplace(Value(rel, "Id"), std::move(r));
    }
  }

  const std::string* PartOfType(std::string_view suffix) const {
    for (const auto& [id, rel] : relationships_) {
      if (!rel.external && rel.type.size() >= suffix.size() &&
          std::string_view(rel.type).substr(rel.type.size() - suffix.size()) == suffix &&
          zip_.Has(rel.target)) {
        return &rel.target;
      }
    }
    return nullptr;
  }

  void ReadTheme() {
    const std::string* name = PartOfType("/theme");
    if (!name) return;
    package::XmlPart part;
    part.text = zip_.Read(*name);
    package::ParseXml(zip_, *name, part);
    const xml_node elements = Child(part.doc.document_element(), "themeElements");
    static const char* kSlots[] = {"dk1",     "lt1",     "dk2",     "lt2",
                                   "accent1", "accent2", "accent3", "accent4",
                                   "accent5", "accent6", "hlink",   "folHlink"};
    if (xml_node scheme = Child(elements, "clrScheme")) {
      for (int i = 0; i < 12; ++i) {
        if (xml_node slot = Child(scheme, kSlots[i])) {
          if (auto color = ColorOf(slot, std::nullopt)) theme_.colors[i] = *color;
        }
      }
    }
    if (xml_node fonts = Child(elements, "fontScheme")) {
      auto latin = [&](const char* which) -> std::string {
        return std::string(Value(Child(Child(fonts, which), "latin"), "typeface"));
      };
      if (std::string f = latin("minorFont"); !f.empty()) theme_.minorFont = f;
      if (std::string f = latin("majorFont"); !f.empty()) theme_.majorFont = f;
    }
  }

  std::optional<Rgb> SchemeColor(std::string_view name, std::optional<Rgb> placeholder) const {
    static const std::pair<const char*, int> kNames[] = {
        {"dk1", 0},     {"tx1", 0},     {"lt1", 1},     {"bg1", 1},
        {"dk2", 2},     {"tx2", 2},     {"lt2", 3},     {"bg2", 3},
        {"accent1", 4}, {"accent2", 5}, {"accent3", 6}, {"accent4", 7},
        {"accent5", 8}, {"accent6", 9}, {"hlink", 10},  {"folHlink", 11}};
    if (name == "phClr") return placeholder;
    for (const auto& [n, index] : kNames) {
      if (name == n) return theme_.colors[index];
    }
    return std::nullopt;
  }

  // The colour held by a fill or reference element, with its luminance modifiers applied.
  std::optional<Rgb> ColorOf(xml_node holder, std::optional<Rgb> placeholder) const {
    std::optional<Rgb> color;
    xml_node element;
    ForEachChild(holder, [&](xml_node c) {
      const std::string_view name = Local(c.name());
      if (name == "srgbClr") {
        color = ParseHexColor(Value(c, "val"));
      } else if (name == "schemeClr") {
        color = SchemeColor(Value(c, "val"), placeholder);
      } else if (name == "sysClr") {
        color = ParseHexColor(Value(c, "lastClr"));
        if (!color) color = PresetColor(Value(c, "val"));
      } else if (name == "prstClr") {
        color = PresetColor(Value(c, "val"));
      } else if (name == "scrgbClr") {
        auto channel = [&](const char* a) {
          return static_cast<Rgb>(std::lround(Clamp(Number(Value(c, a)) / 100000.0, 0, 1) * 255));
        };
        color = (channel("r") << 16) | (channel("g") << 8) | channel("b");
      } else if (name == "hslClr") {
        color = FromHsl({Clamp(Number(Value(c, "hue")) / 21600000.0, 0, 1),
                         Clamp(Number(Value(c, "sat")) / 100000.0, 0, 1),
                         Clamp(Number(Value(c, "lum")) / 100000.0, 0, 1)});
      } else {
        return false;
      }
      element = c;
      return true;
    });
    if (!color) return std::nullopt;
    Rgb value = *color & 0xFFFFFF;
    for (xml_node m : element.children()) {
      const std::string_view name = Local(m.name());
      const double amount = Clamp(Number(Value(m, "val")) / 100000.0, -10, 10);
      if (name == "lumMod" || name == "lumOff") {
        Hsl hsl = ToHsl(value);
        hsl.l = Clamp(name == "lumMod" ? hsl.l * amount : hsl.l + amount, 0, 1);
        value = FromHsl(hsl);
      } else if (name == "shade" || name == "tint") {
        Rgb mixed = 0;
        for (int shift = 16; shift >= 0; shift -= 8) {
          const double c = (value >> shift) & 0xFF;
          const double v =
              name == "shade" ? c * Clamp(amount, 0, 1) : c + (255 - c) * (1 - Clamp(amount, 0, 1));
          mixed |= static_cast<Rgb>(std::lround(Clamp(v, 0, 255))) << shift;
        }
        value = mixed;
      }
    }
    return value;
  }

  void ReadStyles() {
    baseRun_.fontFamily = "Times New Roman";  // what a word processor assumes without styles
    baseRun_.fontSize = 10;
    const std::string* name = PartOfType("/styles");
    if (!name) return;
    stylesPart_.text = zip_.Read(*name);
    package::ParseXml(zip_, *name, stylesPart_);
    const xml_node root = stylesPart_.doc.document_element();
    if (xml_node defaults = Child(root, "docDefaults")) {
      ApplyRunProperties(Child(Child(defaults, "rPrDefault"), "rPr"), baseRun_);
      defaultParagraphProperties_ = Child(Child(defaults, "pPrDefault"), "pPr");
    }
    for (xml_node style : root.children()) {
      if (!Is(style, "style")) continue;
      const std::string id(Value(style, "styleId"));
      styles_.emplace(id, style);
      const std::string_view isDefault = Value(style, "default");
      if (Value(style, "type") == "paragraph" &&
          (isDefault == "1" || isDefault == "true" || isDefault == "on")) {
        defaultParagraphStyle_ = id;
      }
    }
  }

  // The rPr or pPr elements of a style and the styles it is based on, the most basic first.
  const std::vector<xml_node>& StyleChain(const std::string& id, const char* properties) {
    auto& cache = properties[0] == 'r' ? runChains_ : paragraphChains_;
    const auto cached = cache.find(id);
    if (cached != cache.end()) return cached->second;
    std::vector<xml_node> chain;
    std::string current = id;
    for (int i = 0; i < kMaxStyleChain && !current.empty(); ++i) {
      const auto found = styles_.find(current);
      if (found == styles_.end()) break;
      if (xml_node p = Child(found->second, properties)) chain.push_back(p);
      current = std::string(Value(Child(found->second, "basedOn"), "val"));
    }
    std::reverse(chain.begin(), chain.end());
    return cache.emplace(id, std::move(chain)).first->second;
  }

  void ApplyRunProperties(xml_node rPr, RunFormat& format) const {
    if (!rPr) return;
    ForEachChild(rPr, [&](xml_node c) {
      const std::string_view name = Local(c.name());
      if (name == "rFonts") {
        std::string_view font = Value(c, "ascii");
        if (font.empty()) font = Value(c, "hAnsi");
        if (!font.empty()) {
          format.fontFamily = SanitizeXmlText(font);
        } else {
          const std::string_view themeFont = Value(c, "asciiTheme");
          if (themeFont.substr(0, 5) == "major")
            format.fontFamily = theme_.majorFont;
          else if (themeFont.substr(0, 5) == "minor")
            format.fontFamily = theme_.minorFont;
        }
      } else if (name == "sz") {
        if (auto size = ParseLength(Value(c, "val"), 0.5)) {
          format.fontSize = static_cast<float>(Clamp(*size, 1, 1638, 11));
        }
      } else if (name == "b") {
        format.bold = OnOff(c);
      } else if (name == "i") {
        format.italic = OnOff(c);
      } else if (name == "color") {
        if (auto color = ParseHexColor(Value(c, "val")))
          format.color = *color;
        else if (Value(c, "val") == "auto")
          format.color = 0x000000;
      }
      return false;
    });
  }

  static void ApplyParagraphProperties(xml_node pPr, Paragraph& p) {
    if (!pPr) return;
    if (xml_node spacing = Child(pPr, "spacing")) {
      if (auto before = TwipsValue(spacing, "before")) {
        p.spaceBefore = static_cast<float>(Clamp(*before, 0, kMaxLengthPt));
      }
      if (auto after = TwipsValue(spacing, "after")) {
        p.spaceAfter = static_cast<float>(Clamp(*after, 0, kMaxLengthPt));
      }
    }
    if (xml_node jc = Child(pPr, "jc")) {
      const std::string_view v = Value(jc, "val");
      if (v == "center")
        p.alignment = Alignment::Center;
      else if (v == "right" || v == "end")
        p.alignment = Alignment::Right;
      else if (v == "both" || v == "distribute" || v.substr(0, 4) == "thai" ||
               v.substr(0, 4) == "medi" || v.substr(0, 4) == "high" || v.substr(0, 3) == "low")
        p.alignment = Alignment::Justify;
      else
        p.alignment = Alignment::Left;
    }
  }

  void ReadPageSetup(xml_node body) {
    // The body's own sectPr describes the last section; without it, the last paragraph that
    // ends a section does.
    xml_node sectPr;
    for (xml_node c = body.last_child(); c && !sectPr; c = c.previous_sibling()) {
      if (Is(c, "sectPr")) sectPr = c;
    }
    for (xml_node c = body.last_child(); c && !sectPr; c = c.previous_sibling()) {
      if (Is(c, "p")) sectPr = Child(Child(c, "pPr"), "sectPr");
    }
    PageSetup& page = doc_->pageSetup;
    if (xml_node size = Child(sectPr, "pgSz")) {
      if (auto w = TwipsValue(size, "w"); w && *w >= 1) page.pageWidth = static_cast<float>(*w);
      if (auto h = TwipsValue(size, "h"); h && *h >= 1) page.pageHeight = static_cast<float>(*h);
    }
    if (xml_node margins = Child(sectPr, "pgMar")) {
      // A negative top or bottom margin only says the text may not push it; its size is the same.
      auto margin = [&](const char* name, float& slot) {
        if (auto v = TwipsValue(margins, name)) slot = static_cast<float>(std::fabs(*v));
      };
      margin("top", page.topMargin);
      margin("bottom", page.bottomMargin);
      margin("left", page.leftMargin);
      margin("right", page.rightMargin);
    }
    page.topMargin = std::min(page.topMargin, page.pageHeight);
    page.bottomMargin = std::min(page.bottomMargin, page.pageHeight);
    page.leftMargin = std::min(page.leftMargin, page.pageWidth);
    page.rightMargin = std::min(page.rightMargin, page.pageWidth);
  }

  struct Context {
    Paragraph* paragraph = nullptr;
    RunFormat paragraphRun;
    bool body = false;
    std::size_t picturesAt = static_cast<std::size_t>(-1);  // runs count at the last picture
  };

  // Paragraphs of a body, cell or text box; tables and content controls are flattened, since the
  // model keeps paragraphs only.
  void ReadBlocks(xml_node container, bool body, std::vector<Paragraph>& out) {
    ForEachChild(container, [&](xml_node c) {
      const std::string_view name = Local(c.name());
      if (name == "p") {
        out.push_back(ReadParagraph(c, body));
      } else if (name == "tbl") {
        for (xml_node row : c.children()) {
          if (!Is(row, "tr")) continue;
          for (xml_node cell : row.children()) {
            if (Is(cell, "tc")) ReadBlocks(cell, body, out);
          }
        }
      } else if (name == "sdt") {
        ReadBlocks(Child(c, "sdtContent"), body, out);
      } else if (name == "customXml" || name == "ins" || name == "moveTo") {
        ReadBlocks(c, body, out);
      }
      return false;
    });
  }

  // The document's own memory is charged with the parts it is read from. Vectors grow by
  // doubling, so an element may take twice its size for a while.
  void ChargeModel(std::uint64_t bytes) { zip_.Charge(bytes); }

  void CountParagraph() {
    const std::uint32_t most = zip_.Limits().maxParagraphs;
    if (++paragraphs_ > most) {
      zip_.Fail("в документе больше " + std::to_string(most) +
                " абзацев; он повреждён или слишком велик");
    }
    ChargeModel(2 * sizeof(Paragraph));
  }

  void CountText(std::size_t bytes) {
    const std::uint64_t most = zip_.Limits().maxTextBytes;
    textBytes_ += bytes;
    if (textBytes_ > most) {
      zip_.Fail("текст документа больше " + std::to_string(most) +
                " байт; документ повреждён или слишком велик");
    }
    ChargeModel(bytes);
  }

  std::unique_ptr<Shape> NewShape() {
    ChargeModel(sizeof(Shape) + sizeof(AnchoredShape));
    return std::make_unique<Shape>();
  }

  Paragraph ReadParagraph(xml_node p, bool body) {
    CountParagraph();
    Paragraph para;
    para.id = doc_->newParagraphId();
    const xml_node pPr = Child(p, "pPr");
    std::string styleId(Value(Child(pPr, "pStyle"), "val"));
    if (styleId.empty()) styleId = defaultParagraphStyle_;
    Context context;
    context.paragraph = &para;
    context.body = body;
    context.paragraphRun = baseRun_;
    for (xml_node rPr : StyleChain(styleId, "rPr")) ApplyRunProperties(rPr, context.paragraphRun);
    ApplyParagraphProperties(defaultParagraphProperties_, para);
    for (xml_node props : StyleChain(styleId, "pPr")) ApplyParagraphProperties(props, para);
    ApplyParagraphProperties(pPr, para);
    para.markFormat = context.paragraphRun;
    ApplyRunProperties(Child(pPr, "rPr"), para.markFormat);
    ReadInlineContent(p, context);
    return para;
  }

  void ReadInlineContent(xml_node container, Context& context) {
    ForEachChild(container, [&](xml_node c) {
      const std::string_view name = Local(c.name());
      if (name == "r") {
        ReadRun(c, context);
      } else if (name == "hyperlink" || name == "smartTag" || name == "customXml" ||
                 name == "ins" || name == "moveTo" || name == "fldSimple" || name == "dir" ||
                 name == "bdo") {
        ReadInlineContent(c, context);
      } else if (name == "sdt") {
        ReadInlineContent(Child(c, "sdtContent"), context);
      }
      return false;
    });
  }

  void AppendText(Context& context, const RunFormat& format, const std::string& text) {
    if (text.empty()) return;
    CountText(text.size());
    std::vector<Run>& runs = context.paragraph->runs;
    if (!runs.empty() && context.picturesAt != runs.size() && runs.back().format == format) {
      runs.back().text += text;
      return;
    }
    ChargeModel(2 * sizeof(Run) + format.fontFamily.size());
    runs.push_back(Run{text, format});
  }

  void ReadRun(xml_node r, Context& context) {
    RunFormat format = context.paragraphRun;
    const xml_node rPr = Child(r, "rPr");
    const std::string charStyle(Value(Child(rPr, "rStyle"), "val"));
    if (!charStyle.empty()) {
      for (xml_node props : StyleChain(charStyle, "rPr")) ApplyRunProperties(props, format);
    }
    ApplyRunProperties(rPr, format);
    std::string text;
    ForEachChild(r, [&](xml_node c) {
      const std::string_view name = Local(c.name());
      if (name == "t") {
        text += SanitizeXmlText(TextOf(c));
      } else if (name == "tab" || name == "ptab") {
        text += '\t';
      } else if (name == "br") {
        const std::string_view type = Value(c, "type");
        text += type == "page" || type == "column" ? '\f' : '\v';
      } else if (name == "cr") {
        text += '\v';
      } else if (name == "noBreakHyphen") {
        text += "\xE2\x80\x91";
      } else if (name == "drawing" || name == "pict") {
        AppendText(context, format, text);
        text.clear();
        if (name == "drawing")
          ReadDrawing(c, context);
        else
          ReadPict(c, context);
      }
      return false;
    });
    AppendText(context, format, text);
  }

  ImagePtr ImageFor(std::string_view relId) {
    const auto rel = relationships_.find(std::string(relId));
    if (rel == relationships_.end() || rel->second.external) return nullptr;
    const std::string& partName = rel->second.target;
    const auto cached = images_.find(package::AsciiLower(partName));
    if (cached != images_.end()) return cached->second;
    if (!zip_.Has(partName)) zip_.Fail("в пакете нет части \"" + partName + "\" с рисунком");
    const std::string bytes = zip_.Read(partName);
    const auto format =
        SniffImage(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    if (!format) zip_.Fail("часть \"" + partName + "\" не является изображением");
    ChargeModel(bytes.size());
    auto image = std::make_shared<Image>();
    image->contentType = format->contentType;
    image->extension = format->extension;
    image->bytes.assign(bytes.begin(), bytes.end());
    images_.emplace(package::AsciiLower(partName), image);
    return image;
  }

  ImagePtr BlipImage(xml_node pic) {
    const xml_node blip = Child(Child(pic, "blipFill"), "blip");
    const std::string_view embed = Value(blip, "embed");
    return embed.empty() ? nullptr : ImageFor(embed);
  }

  static void ReadNonVisual(xml_node cNvPr, Shape& shape) {
    if (!cNvPr) return;
    shape.id = static_cast<std::uint32_t>(Clamp(Number(Value(cNvPr, "id")), 0, 4294967295.0));
    shape.name = SanitizeXmlText(Value(cNvPr, "name"));
    const std::string_view hidden = Value(cNvPr, "hidden");
    shape.visible = !(hidden == "1" || hidden == "true");
  }

  void ReadLine(xml_node spPr, xml_node style, Shape& shape) {
    const xml_node ln = Child(spPr, "ln");
    if (!ln) {
      const xml_node ref = Child(style, "lnRef");
      const int index = static_cast<int>(Clamp(Number(Value(ref, "idx")), 0, 3));
      shape.line.visible = ref && index > 0;
      if (shape.line.visible) {
        if (auto color = ColorOf(ref, std::nullopt)) shape.line.color = *color;
        shape.line.weight = index == 1 ? 0.5f : index == 2 ? 1.0f : 1.5f;
      }
      return;
    }
    if (xml_attribute w = AttrOf(ln, "w")) {
      shape.line.weight = static_cast<float>(Clamp(Number(w.value()) / kEmuPerPt, 0, 1584, 0.75));
    }
    shape.line.visible = true;
    std::optional<Rgb> styleColor;
    if (xml_node ref = Child(style, "lnRef")) styleColor = ColorOf(ref, std::nullopt);
    if (styleColor) shape.line.color = *styleColor;
    ForEachChild(ln, [&](xml_node c) {
      const std::string_view name = Local(c.name());
      if (name == "noFill") {
        shape.line.visible = false;
      } else if (name == "solidFill") {
        if (auto color = ColorOf(c, styleColor)) shape.line.color = *color;
      } else if (name == "gradFill") {
        if (xml_node stop = Child(Child(c, "gsLst"), "gs")) {
          if (auto color = ColorOf(stop, styleColor)) shape.line.color = *color;
        }
      } else if (name == "prstDash") {
        shape.line.dash = DashFromPreset(Value(c, "val"), Value(ln, "cap"));
      } else if (name == "custDash") {
        shape.line.dash = DashStyle::Dash;
      }
      return false;
    });
  }

  void ReadFill(xml_node spPr, xml_node style, Shape& shape) {
    bool decided = false;
    ForEachChild(spPr, [&](xml_node c) {
      const std::string_view name = Local(c.name());
      if (name == "noFill") {
        shape.fill.visible = false;
      } else if (name == "solidFill") {
        shape.fill.visible = true;
        if (auto color = ColorOf(c, std::nullopt)) shape.fill.color = *color;
      } else if (name == "gradFill") {
        shape.fill.visible = true;
        if (xml_node stop = Child(Child(c, "gsLst"), "gs")) {
          if (auto color = ColorOf(stop, std::nullopt)) shape.fill.color = *color;
        }
      } else if (name == "pattFill") {
        shape.fill.visible = true;
        if (auto color = ColorOf(Child(c, "fgClr"), std::nullopt)) shape.fill.color = *color;
      } else if (name == "blipFill" || name == "grpFill") {
        shape.fill.visible = true;
      } else {
        return false;
      }
      decided = true;
      return true;
    });
    if (decided) return;
    const xml_node ref = Child(style, "fillRef");
    shape.fill.visible = ref && Number(Value(ref, "idx")) > 0;
    if (shape.fill.visible) {
      if (auto color = ColorOf(ref, std::nullopt)) shape.fill.color = *color;
    }
  }

  // An autoshape, line or text box. Returns its transform, whose meaning depends on the parent.
  std::unique_ptr<Shape> ReadWsp(xml_node wsp, Xfrm& xfrm) {
    auto shape = NewShape();
    ReadNonVisual(Child(wsp, "cNvPr"), *shape);
    const xml_node spPr = Child(wsp, "spPr");
    const xml_node style = Child(wsp, "style");
    xfrm = ReadXfrm(spPr);
    const std::string_view preset = Value(Child(spPr, "prstGeom"), "prst");
    const bool connector = static_cast<bool>(Child(wsp, "cNvCnPr"));
    const xml_node textBox = Child(Child(wsp, "txbx"), "txbxContent");
    const std::string_view txBox = Value(Child(wsp, "cNvSpPr"), "txBox");
    if (preset == "line" || preset.substr(0, 17) == "straightConnector" ||
        (connector && preset.empty())) {
      shape->kind = ShapeKind::Line;
      shape->flipH = xfrm.flipH;
      shape->flipV = xfrm.flipV;
    } else {
      if (preset == "roundRect") {
        shape->autoShapeType = AutoShapeType::RoundedRectangle;
        shape->adjustment = CornerAdjustment(Child(spPr, "prstGeom"));
      } else if (preset == "ellipse")
        shape->autoShapeType = AutoShapeType::Oval;
      const bool rectangular = preset.empty() || preset == "rect";
      shape->kind = (txBox == "1" || txBox == "true" || (textBox && rectangular))
                        ? ShapeKind::TextBox
                        : ShapeKind::AutoShape;
      ReadFill(spPr, style, *shape);
    }
    ReadLine(spPr, style, *shape);
    if (textBox) ReadBlocks(textBox, false, shape->text);
    return shape;
  }

  std::unique_ptr<Shape> ReadPic(xml_node pic, Xfrm& xfrm) {
    auto shape = NewShape();
    shape->kind = ShapeKind::Picture;
    ReadNonVisual(Child(Child(pic, "nvPicPr"), "cNvPr"), *shape);
    const xml_node spPr = Child(pic, "spPr");
    xfrm = ReadXfrm(spPr);
    shape->image = BlipImage(pic);
    shape->fill.visible = false;
    shape->line.visible = false;
    if (Child(spPr, "ln")) ReadLine(spPr, xml_node(), *shape);
    return shape;
  }

  void ReadGroupMembers(xml_node group, const ChildSpace& space, Shape& into, int depth) {
    ForEachChild(group, [&](xml_node c) {
      const std::string_view name = Local(c.name());
      Xfrm xfrm;
      std::unique_ptr<Shape> member;
      if (name == "wsp") {
        member = ReadWsp(c, xfrm);
      } else if (name == "pic") {
        member = ReadPic(c, xfrm);
      } else if (name == "grpSp" && depth < 64) {
        member = NewShape();
        member->kind = ShapeKind::Group;
        ReadNonVisual(Child(c, "cNvPr"), *member);
        xfrm = ReadXfrm(Child(c, "grpSpPr"));
      } else {
        return false;
      }
      member->left = static_cast<float>(
          Clamp((xfrm.offX - space.originX) * space.scaleX, -kMaxLengthPt, kMaxLengthPt));
      member->top = static_cast<float>(
          Clamp((xfrm.offY - space.originY) * space.scaleY, -kMaxLengthPt, kMaxLengthPt));
      member->width = static_cast<float>(Clamp(xfrm.extX * space.scaleX, 0, kMaxLengthPt));
      member->height = static_cast<float>(Clamp(xfrm.extY * space.scaleY, 0, kMaxLengthPt));
      if (member->kind == ShapeKind::Group) {
        ReadGroupMembers(c, InnerSpace(xfrm, member->width, member->height), *member, depth + 1);
      }
      into.children.push_back(std::move(member));
      return false;
    });
  }

  // The shape inside a:graphic, sized by the anchor's extent.
  std::unique_ptr<Shape> ReadGraphic(xml_node container, double width, double height) {
    const xml_node data = Child(Child(container, "graphic"), "graphicData");
    std::unique_ptr<Shape> shape;
    ForEachChild(data, [&](xml_node c) {
      const std::string_view name = Local(c.name());
      Xfrm xfrm;
      if (name == "wsp") {
        shape = ReadWsp(c, xfrm);
      } else if (name == "pic") {
        shape = ReadPic(c, xfrm);
      } else if (name == "wgp") {
        shape = NewShape();
        shape->kind = ShapeKind::Group;
        xfrm = ReadXfrm(Child(c, "grpSpPr"));
        ReadGroupMembers(c, InnerSpace(xfrm, width, height), *shape, 0);
      } else {
        return false;
      }
      return true;
    });
    if (!shape) return nullptr;
    shape->width = static_cast<float>(width);
    shape->height = static_cast<float>(height);
    // The anchor's docPr names a top-level shape; a cNvPr inside it does not count.
    shape->id = 0;
    shape->name.clear();
    shape->visible = true;
    if (xml_node docPr = Child(container, "docPr")) ReadNonVisual(docPr, *shape);
    return shape;
  }

  // Width and height of the area a relative position refers to, for aligned positions.
  double AreaWidth(RelH rel) const {
    const PageSetup& page = doc_->pageSetup;
    switch (rel) {
      case RelH::Page:
        return page.pageWidth;
      case RelH::Margin:
      case RelH::Column:
        return page.pageWidth - page.leftMargin - page.rightMargin;
      case RelH::LeftMargin:
      case RelH::InsideMargin:
      case RelH::OutsideMargin:
        return page.leftMargin;
      case RelH::RightMargin:
        return page.rightMargin;
      case RelH::Character:
        return 0;
    }
    return 0;
  }

  double AreaHeight(RelV rel) const {
    const PageSetup& page = doc_->pageSetup;
    switch (rel) {
      case RelV::Page:
        return page.pageHeight;
      case RelV::Margin:
        return page.pageHeight - page.topMargin - page.bottomMargin;
      case RelV::TopMargin:
      case RelV::InsideMargin:
      case RelV::OutsideMargin:
        return page.topMargin;
      case RelV::BottomMargin:
        return page.bottomMargin;
      case RelV::Paragraph:
      case RelV::Line:
        return 0;
    }
    return 0;
  }

  static double Aligned(std::string_view align, double area, double size) {
    if (align == "center") return (area - size) / 2;
    if (align == "right" || align == "bottom" || align == "outside") return area - size;
    return 0;
  }

  template <class Rel, std::size_t N>
  static Rel RelFrom(std::string_view name, const char* const (&names)[N], Rel fallback) {
    for (std::size_t i = 0; i < N; ++i) {
      if (name == names[i]) return static_cast<Rel>(i);
    }
    return fallback;
  }

  void ReadDrawing(xml_node drawing, Context& context) {
    ForEachChild(drawing, [&](xml_node c) {
      if (Is(c, "anchor"))
        ReadAnchor(c, context);
      else if (Is(c, "inline"))
        ReadInline(c, context);
      return false;
    });
  }

  void AddInlinePicture(Context& context, const Shape& shape) {
    ChargeModel(2 * sizeof(InlinePicture) + shape.name.size());
    InlinePicture picture;
    picture.afterRun = context.paragraph->runs.size();
    picture.id = shape.id;
    picture.name = shape.name;
    picture.width = shape.width;
    picture.height = shape.height;
    picture.image = shape.image;
    context.paragraph->inlinePictures.push_back(std::move(picture));
    context.picturesAt = context.paragraph->runs.size();
  }

  void Keep(std::unique_ptr<Shape> shape, const Context& context, int layer, double z) {
    PendingShape pending;
    pending.shape = std::move(shape);
    pending.paragraph = context.paragraph->id;
    pending.layer = layer;
    pending.z = z;
    pending.sequence = pending_.size();
    pending_.push_back(std::move(pending));
  }

  void ReadInline(xml_node node, Context& context) {
    const xml_node extent = Child(node, "extent");
    auto shape = ReadGraphic(node, SizeFromEmu(Number(Value(extent, "cx"))),
                             SizeFromEmu(Number(Value(extent, "cy"))));
    if (!shape) return;
    if (shape->kind == ShapeKind::Picture) {
      AddInlinePicture(context, *shape);
    } else if (context.body) {
      // Shapes in the text flow stand where their character is.
      shape->relH = RelH::Character;
      shape->relV = RelV::Line;
      Keep(std::move(shape), context, 1, 0);
    }
  }

  void ReadAnchor(xml_node anchor, Context& context) {
    if (!context.body) return;  // text boxes cannot hold floating shapes
    const xml_node extent = Child(anchor, "extent");
    auto shape = ReadGraphic(anchor, SizeFromEmu(Number(Value(extent, "cx"))),
                             SizeFromEmu(Number(Value(extent, "cy"))));
    if (!shape) return;
    if (shape->kind == ShapeKind::Group) NameMembersFromFallback(anchor, *shape);
    const std::string_view simple = Value(anchor, "simplePos");
    if (simple == "1" || simple == "true") {
      const xml_node pos = Child(anchor, "simplePos");
      shape->relH = RelH::Page;
      shape->relV = RelV::Page;
      shape->left = static_cast<float>(PositionFromEmu(Number(Value(pos, "x"))));
      shape->top = static_cast<float>(PositionFromEmu(Number(Value(pos, "y"))));
    } else {
      const xml_node h = Child(anchor, "positionH");
      shape->relH = RelFrom(Value(h, "relativeFrom"), kRelHNames, RelH::Column);
      shape->left = static_cast<float>(Offset(h, AreaWidth(shape->relH), shape->width));
      const xml_node v = Child(anchor, "positionV");
      shape->relV = RelFrom(Value(v, "relativeFrom"), kRelVNames, RelV::Paragraph);
      shape->top = static_cast<float>(Offset(v, AreaHeight(shape->relV), shape->height));
    }
    const std::string_view behind = Value(anchor, "behindDoc");
    Keep(std::move(shape), context, behind == "1" || behind == "true" ? 0 : 1,
         Clamp(Number(Value(anchor, "relativeHeight")), -1e12, 1e12));
  }

  static double Offset(xml_node position, double area, double size) {
    double result = 0;
    ForEachChild(position, [&](xml_node c) {
      const std::string_view name = Local(c.name());
      if (name == "posOffset") {
        result = PositionFromEmu(Number(TextOf(c)));
      } else if (name == "align") {
        result = Aligned(TextOf(c), area, size);
      } else if (name == "pctPosHOffset" || name == "pctPosVOffset") {
        result = area * Clamp(Number(TextOf(c)), -1e7, 1e7) / 100000.0;
      } else {
        return false;
      }
      return true;
    });
    return Clamp(result, -kMaxLengthPt, kMaxLengthPt);
  }

  void ReadPict(xml_node pict, Context& context) {
    ForEachChild(pict, [&](xml_node c) {
      const std::string_view name = Local(c.name());
      if (name == "shapetype") return false;
      const CssStyle style = ParseCss(Value(c, "style"));
      const bool absolute = Lower(style.Get("position")) == "absolute";
      auto shape = ReadVml(c, style, nullptr, 0);
      if (!shape) return false;
      if (!absolute) {
        if (shape->kind == ShapeKind::Picture) {
          AddInlinePicture(context, *shape);
          return false;
        }
        shape->relH = RelH::Character;
        shape->relV = RelV::Line;
        shape->left = shape->top = 0;
      }
      if (!context.body) return false;
      const double z = Clamp(Number(style.Get("z-index")), -1e12, 1e12);
      Keep(std::move(shape), context, z < 0 ? 0 : 1, z);
      return false;
    });
  }

  // LibreOffice keeps a VML shape's name in an "ID" attribute and numbers the "id"s itself; Word
  // puts the name in "id".
  static std::string_view VmlName(xml_node node) {
    std::string_view name = Value(node, "ID");
    if (name.empty()) {
      name = Value(node, "id");
      if (name.substr(0, 6) == "shape_") name = std::string_view();
    }
    if (name.empty()) name = Value(node, "alt");
    if (name.empty()) name = Value(node, "spid");
    return name;
  }

  // LibreOffice writes group members without names in the DrawingML choice but names them in
  // the VML fallback beside it; members are in the same order in both.
  static void NameMembersFromFallback(xml_node anchor, Shape& group) {
    const xml_node choice = anchor.parent().parent();
    if (!Is(choice, "Choice")) return;
    xml_node fallback;
    for (xml_node n = choice.parent().first_child(); n; n = n.next_sibling()) {
      if (Is(n, "Fallback")) fallback = n;
    }
    xml_node vmlGroup;
    for (xml_node pict : fallback.children()) {
      for (xml_node n : pict.children()) {
        if (Is(n, "group") && !vmlGroup) vmlGroup = n;
      }
    }
    NameMembers(vmlGroup, group, 0);
  }

  static void NameMembers(xml_node vmlGroup, Shape& group, int depth) {
    static const char* kShapes[] = {"rect", "oval", "roundrect", "line", "shape", "group", "image"};
    std::vector<xml_node> members;
    for (xml_node n : vmlGroup.children()) {
      const std::string_view name = Local(n.name());
      if (std::any_of(std::begin(kShapes), std::end(kShapes),
                      [&](const char* k) { return name == k; })) {
        members.push_back(n);
      }
    }
    if (members.size() != group.children.size() || depth > 64) return;
    for (std::size_t i = 0; i < members.size(); ++i) {
      Shape& member = *group.children[i];
      if (member.name.empty()) member.name = SanitizeXmlText(VmlName(members[i]));
      if (member.kind == ShapeKind::Group && Is(members[i], "group")) {
        NameMembers(members[i], member, depth + 1);
      }
    }
  }

  // A VML shape; space is null for a top-level shape, whose lengths carry units, and the
  // group's coordinate space for a member.
  std::unique_ptr<Shape> ReadVml(xml_node node, const CssStyle& style, const ChildSpace* space,
                                 int depth) {
    const std::string_view element = Local(node.name());
    static const char* kKnown[] = {"rect", "oval", "roundrect", "line", "shape", "group", "image"};
    if (std::none_of(std::begin(kKnown), std::end(kKnown),
                     [&](const char* k) { return element == k; })) {
      return nullptr;
    }
    auto shape = NewShape();
    shape->name = SanitizeXmlText(VmlName(node));
    shape->visible = Lower(style.Get("visibility")) != "hidden";

    auto length = [&](std::string_view text) -> double {
      if (space) return Number(text);
      return ParseLength(text, 0.75).value_or(0);
    };
    auto toX = [&](double v) { return space ? (v - space->originX) * space->scaleX : v; };
    auto toY = [&](double v) { return space ? (v - space->originY) * space->scaleY : v; };
    const double sx = space ? space->scaleX : 1, sy = space ? space->scaleY : 1;

    double left = length(style.Get("left")), top = length(style.Get("top"));
    if (!space) {
      left += length(style.Get("margin-left"));
      top += length(style.Get("margin-top"));
    }
    shape->left = static_cast<float>(Clamp(toX(left), -kMaxLengthPt, kMaxLengthPt));
    shape->top = static_cast<float>(Clamp(toY(top), -kMaxLengthPt, kMaxLengthPt));
    shape->width = static_cast<float>(Clamp(length(style.Get("width")) * sx, 0, kMaxLengthPt));
    shape->height = static_cast<float>(Clamp(length(style.Get("height")) * sy, 0, kMaxLengthPt));

    if (!space) {
      shape->relH = RelFrom(Lower(style.Get("mso-position-horizontal-relative")), kVmlRelHNames,
                            RelH::Column);
      shape->relV = RelFrom(Lower(style.Get("mso-position-vertical-relative")), kVmlRelVNames,
                            RelV::Paragraph);
      const std::string h = Lower(style.Get("mso-position-horizontal"));
      if (!h.empty() && h != "absolute") {
        shape->left = static_cast<float>(Aligned(h, AreaWidth(shape->relH), shape->width));
      }
      const std::string v = Lower(style.Get("mso-position-vertical"));
      if (!v.empty() && v != "absolute") {
        shape->top = static_cast<float>(Aligned(v, AreaHeight(shape->relV), shape->height));
      }
    }

    if (element == "group") {
      shape->kind = ShapeKind::Group;
      if (depth >= 64) return shape;
      ChildSpace inner;
      auto pair = [](std::string_view text, double& a, double& b) {
        const std::size_t comma = text.find(',');
        if (comma == std::string_view::npos) return;
        if (auto v = ParseNumber(text.substr(0, comma))) a = *v;
        if (auto v = ParseNumber(text.substr(comma + 1))) b = *v;
      };
      double originX = 0, originY = 0, sizeX = 1000, sizeY = 1000;
      pair(Value(node, "coordorigin"), originX, originY);
      pair(Value(node, "coordsize"), sizeX, sizeY);
      inner.originX = Clamp(originX, -1e12, 1e12);
      inner.originY = Clamp(originY, -1e12, 1e12);
      inner.scaleX = sizeX > 0 ? shape->width / Clamp(sizeX, 1e-6, 1e12) : 1;
      inner.scaleY = sizeY > 0 ? shape->height / Clamp(sizeY, 1e-6, 1e12) : 1;
      ForEachChild(node, [&](xml_node c) {
        if (auto member = ReadVml(c, ParseCss(Value(c, "style")), &inner, depth + 1)) {
          shape->children.push_back(std::move(member));
        }
        return false;
      });
      return shape;
    }

    // Paint: attributes first, then the v:fill and v:stroke elements that override them.
    auto isFalse = [](std::string_view v) { return v == "f" || v == "false" || v == "0"; };
    shape->fill.visible = !isFalse(Value(node, "filled"));
    shape->fill.color = ParseVmlColor(Value(node, "fillcolor")).value_or(0xFFFFFF);
    shape->line.visible = !isFalse(Value(node, "stroked"));
    shape->line.color = ParseVmlColor(Value(node, "strokecolor")).value_or(0x000000);
    auto weight = [](std::string_view text, float fallback) {
      const auto pt = ParseLength(text, 1.0);
      if (!pt) return fallback;
      // Bare numbers this large are EMU, as some writers store them.
      const double value = *pt > 1584 && text.find_first_of("ptinmcx") == std::string_view::npos
                               ? *pt / kEmuPerPt
                               : *pt;
      return static_cast<float>(Clamp(value, 0, 1584, fallback));
    };
    shape->line.weight = weight(Value(node, "strokeweight"), 0.75f);
    std::string_view typeRef = Value(node, "type");
    std::string_view spt = Value(node, "spt");
    xml_node textBox, imageData;
    ForEachChild(node, [&](xml_node c) {
      const std::string_view name = Local(c.name());
      if (name == "fill") {
        if (xml_attribute on = AttrOf(c, "on")) shape->fill.visible = !isFalse(on.value());
        if (auto color = ParseVmlColor(Value(c, "color"))) shape->fill.color = *color;
      } else if (name == "stroke") {
        if (xml_attribute on = AttrOf(c, "on")) shape->line.visible = !isFalse(on.value());
        if (auto color = ParseVmlColor(Value(c, "color"))) shape->line.color = *color;
        if (AttrOf(c, "weight"))
          shape->line.weight = weight(Value(c, "weight"), shape->line.weight);
        if (AttrOf(c, "dashstyle")) shape->line.dash = DashFromVml(Value(c, "dashstyle"));
      } else if (name == "textbox") {
        textBox = Child(c, "txbxContent");
      } else if (name == "imagedata") {
        imageData = c;
      }
      return false;
    });

    auto typeIs = [&](const char* number) {
      const std::string suffix = std::string("_t") + number;
      return spt == number || (typeRef.size() >= suffix.size() &&
                               typeRef.substr(typeRef.size() - suffix.size()) == suffix);
    };
    if (element == "line" || (element == "shape" && (typeIs("32") || typeIs("20")))) {
      shape->kind = ShapeKind::Line;
      if (element == "line") {
        double x1 = 0, y1 = 0, x2 = 10, y2 = 10;
        auto point = [&](std::string_view text, double& x, double& y) {
          const std::size_t comma = text.find(',');
          if (comma == std::string_view::npos) return;
          x = length(text.substr(0, comma));
          y = length(text.substr(comma + 1));
        };
        point(Value(node, "from"), x1, y1);
        point(Value(node, "to"), x2, y2);
        x1 += left;
        x2 += left;
        y1 += top;
        y2 += top;
        shape->left = static_cast<float>(Clamp(toX(std::min(x1, x2)), -kMaxLengthPt, kMaxLengthPt));
        shape->top = static_cast<float>(Clamp(toY(std::min(y1, y2)), -kMaxLengthPt, kMaxLengthPt));
        shape->width = static_cast<float>(Clamp(std::fabs(x2 - x1) * sx, 0, kMaxLengthPt));
        shape->height = static_cast<float>(Clamp(std::fabs(y2 - y1) * sy, 0, kMaxLengthPt));
        shape->flipH = x2 < x1;
        shape->flipV = y2 < y1;
      } else {
        const std::string flip = Lower(style.Get("flip"));
        shape->flipH = flip.find('x') != std::string::npos;
        shape->flipV = flip.find('y') != std::string::npos;
      }
      return shape;
    }
    if (imageData || element == "image" || typeIs("75")) {
      shape->kind = ShapeKind::Picture;
      std::string_view relId = Value(imageData, "id");
      if (relId.empty()) relId = Value(imageData, "relid");
      if (!relId.empty()) shape->image = ImageFor(relId);
      if (!AttrOf(node, "filled")) shape->fill.visible = false;
      if (!AttrOf(node, "stroked") && !Child(node, "stroke")) shape->line.visible = false;
      return shape;
    }
    if (element == "oval" || typeIs("3")) shape->autoShapeType = AutoShapeType::Oval;
    if (element == "roundrect" || typeIs("2"))
      shape->autoShapeType = AutoShapeType::RoundedRectangle;
    const bool rectangular = shape->autoShapeType == AutoShapeType::Rectangle;
    shape->kind =
        (typeIs("202") || (textBox && rectangular)) ? ShapeKind::TextBox : ShapeKind::AutoShape;
    if (textBox) ReadBlocks(textBox, false, shape->text);
    return shape;
  }

  static const char* DefaultName(const Shape& shape) {
    switch (shape.kind) {
      case ShapeKind::Group:
        return "Group";
      case ShapeKind::Line:
        return "Straight Connector";
      case ShapeKind::Picture:
        return "Picture";
      case ShapeKind::TextBox:
        return "Text Box";
      case ShapeKind::AutoShape:
        break;
    }
    switch (shape.autoShapeType) {
      case AutoShapeType::Oval:
        return "Oval";
      case AutoShapeType::RoundedRectangle:
        return "Rounded Rectangle";
      case AutoShapeType::Rectangle:
        break;
    }
    return "Rectangle";
  }

  void PlaceShapes() {
    std::stable_sort(pending_.begin(), pending_.end(),
                     [](const PendingShape& a, const PendingShape& b) {
                       if (a.layer != b.layer) return a.layer < b.layer;
                       return a.z < b.z;
                     });
    // Ids from the file are kept where they are unique; the rest are numbered after them.
    std::unordered_set<std::uint32_t> used;
    std::uint32_t highest = 0;
    auto claim = [&](auto&& self, Shape& shape) -> void {
      if (shape.id != 0 && used.insert(shape.id).second)
        highest = std::max(highest, shape.id);
      else
        shape.id = 0;
      for (auto& child : shape.children) self(self, *child);
    };
    for (PendingShape& p : pending_) claim(claim, *p.shape);
    std::vector<InlinePicture*> pictures;
    auto collect = [&](std::vector<Paragraph>& paragraphs) {
      for (Paragraph& paragraph : paragraphs) {
        for (InlinePicture& picture : paragraph.inlinePictures) {
          if (picture.id != 0 && used.insert(picture.id).second) {
            highest = std::max(highest, picture.id);
          } else {
            picture.id = 0;
          }
          pictures.push_back(&picture);
        }
      }
    };
    collect(doc_->paragraphs);
    std::uint32_t next = highest == std::numeric_limits<std::uint32_t>::max() ? 1 : highest + 1;
    auto fresh = [&]() {
      while (next == 0 || used.count(next)) ++next;
      used.insert(next);
      return next++;
    };
    auto finish = [&](auto&& self, Shape& shape) -> void {
      if (shape.id == 0) shape.id = fresh();
      if (shape.name.empty())
        shape.name = std::string(DefaultName(shape)) + " " + std::to_string(shape.id);
      for (auto& child : shape.children) self(self, *child);
    };
    for (PendingShape& p : pending_) {
      finish(finish, *p.shape);
      doc_->shapes.push_back({std::move(p.shape), p.paragraph});
    }
    for (InlinePicture* picture : pictures) {
      if (picture->id == 0) picture->id = fresh();
      if (picture->name.empty()) picture->name = "Picture " + std::to_string(picture->id);
    }
    doc_->nextShapeId = next == 0 ? 1 : next;
  }

  struct Relationship {
    std::string type, target;
    bool external = false;
  };

  package::ZipReader& zip_;
  std::unique_ptr<Document> doc_;
  std::unordered_map<std::string, std::string> overrides_, defaults_;
  std::unordered_map<std::string, Relationship> relationships_;
  std::string mainFolder_;
  Theme theme_;
  package::XmlPart stylesPart_;
  std::unordered_map<std::string, xml_node> styles_;
  std::unordered_map<std::string, std::vector<xml_node>> runChains_, paragraphChains_;
  std::string defaultParagraphStyle_;
  xml_node defaultParagraphProperties_;
  RunFormat baseRun_;
  std::unordered_map<std::string, ImagePtr> images_;
  std::vector<PendingShape> pending_;
  std::uint32_t paragraphs_ = 0;
  std::uint64_t textBytes_ = 0;
};

std::unique_ptr<Document> ReadFrom(package::ZipReader& zip) {
  try {
    return Reader(zip).Read();
  } catch (const DocumentError&) {
    throw;
  } catch (const std::bad_alloc&) {
    zip.Fail("недостаточно памяти");
  } catch (const std::exception&) {
    zip.Fail("файл повреждён");
  }
}

}  // namespace

namespace ooxml {

std::unique_ptr<Document> ReadPackageNamed(const std::string& path, const std::string& displayName,
                                           const PackageLimits& limits) {
  auto zip = package::ZipReader::OpenFile(path, displayName, limits);
  return ReadFrom(*zip);
}

std::unique_ptr<Document> ReadZip(package::ZipReader& zip) {
  return ReadFrom(zip);
}

bool IsOpenDocument(const package::ZipReader& zip) {
  return zip.Has("mimetype") && !zip.Has("[Content_Types].xml");
}

}  // namespace ooxml

std::unique_ptr<Document> ReadPackage(const std::string& path, const PackageLimits& limits) {
  return ooxml::ReadPackageNamed(path, path, limits);
}

std::unique_ptr<Document> ReadPackageFromMemory(const void* data, std::size_t size,
                                                const std::string& nameForErrors,
                                                const PackageLimits& limits) {
  auto zip = package::ZipReader::OpenMemory(data, size, nameForErrors, limits);
  return ReadFrom(*zip);
}

bool LooksLikePackage(const std::string& path) {
  std::string reason;
  const package::FileDescriptor file(package::OpenRegularForReading(path, reason));
  return file.get() >= 0 && package::StartsLikeZip(file.get());
}

}  // namespace wordproc
