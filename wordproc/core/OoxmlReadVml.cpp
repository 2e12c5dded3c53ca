// VML shapes in w:pict, as older files and the fallbacks of newer ones keep them.
#include "wordproc/core/OoxmlReadContext.h"
#include "wordproc/core/TextWarp.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <optional>
#include <vector>

namespace wordproc::ooxml::reader {

namespace {

// cropleft and the others: a share of the picture, as a fraction or in 65536ths ("16384f").
PictureCrop VmlCrop(xml_node imageData) {
  auto share = [&](const char* side) {
    std::string_view text = Value(imageData, side);
    const bool fixed = !text.empty() && (text.back() == 'f' || text.back() == 'F');
    if (fixed) text.remove_suffix(1);
    const double value = ParseNumber(text).value_or(0) / (fixed ? 65536 : 1);
    return float(std::isfinite(value) ? std::clamp(value, -10.0, 1.0) : 0);
  };
  PictureCrop crop{share("cropleft"), share("croptop"), share("cropright"), share("cropbottom")};
  if (crop.left + crop.right >= 1 || crop.top + crop.bottom >= 1) return {};
  return crop;
}

// v:textbox: "inset" as left, top, right, bottom lengths (missing ones keep their defaults), the
// shape's "v-text-anchor" and the text box's "mso-fit-shape-to-text".
void ReadVmlTextFrame(xml_node textbox, const CssStyle& shapeStyle, TextFrame& frame) {
  const std::string_view inset = Value(textbox, "inset");
  float* sides[] = {&frame.left, &frame.top, &frame.right, &frame.bottom};
  std::size_t from = 0;
  for (float* side : sides) {
    if (from > inset.size()) break;
    const std::size_t comma = std::min(inset.find(',', from), inset.size());
    const std::string_view part = inset.substr(from, comma - from);
    if (part.find_first_not_of(' ') == std::string_view::npos) {
      from = comma + 1;
      continue;
    }
    if (auto length = ParseLength(part, 1))
      *side = static_cast<float>(Clamp(*length, 0, kMaxLengthPt));
    from = comma + 1;
  }
  const std::string anchor = Lower(shapeStyle.Get("v-text-anchor"));
  frame.anchor = anchor.substr(0, 6) == "middle"   ? TextAnchor::Middle
                 : anchor.substr(0, 6) == "bottom" ? TextAnchor::Bottom
                                                   : TextAnchor::Top;
  const std::string fit = Lower(ParseCss(Value(textbox, "style")).Get("mso-fit-shape-to-text"));
  frame.autoFit = fit == "t" || fit == "true";
}

// A share of a whole as VML writes one: "0.2", "20%" or "13107f" (in 1/65536).
std::optional<double> Fraction(std::string_view text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [next, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc()) return std::nullopt;
  const std::string_view unit(next, std::size_t(end - next));
  if (unit == "f") return value / 65536;
  if (unit == "%") return value / 100;
  if (!unit.empty()) return std::nullopt;
  return value;
}

// A rounded rectangle's corner as a share of its shorter side.
float ArcSize(std::string_view text) {
  return float(std::clamp(Fraction(text).value_or(kDefaultAdjustment), 0.0, 0.5));
}

// A fill or stroke at opacity 0 is not seen at all (LibreOffice's frames without a background).
bool Unseen(xml_node paint) {
  const auto opacity = Fraction(Value(paint, "opacity"));
  return opacity && *opacity <= 0;
}

// The shape type a VML shape names: o:spt, or the number ending its type reference
// ("#_x0000_t12").
int VmlType(std::string_view spt, std::string_view typeRef) {
  std::string_view digits = spt;
  if (digits.empty()) {
    const std::size_t at = typeRef.rfind("_t");
    if (at == std::string_view::npos) return 0;
    digits = typeRef.substr(at + 2);
  }
  int number = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  return error == std::errc() && end == digits.data() + digits.size() ? number : 0;
}

// "rotation:45", "rotation:-30deg" or in 1/65536 degree, "rotation:2949120fd".
double VmlRotation(std::string_view text) {
  double degrees = 0;
  const char* end = text.data() + text.size();
  const auto [next, error] = std::from_chars(text.data(), end, degrees);
  if (error != std::errc()) return 0;
  if (std::string_view(next, std::size_t(end - next)) == "fd") degrees /= 65536;
  return NormalDegrees(degrees);
}

// The outline of a VML autoshape beyond the three of its own elements: a preset of its shape
// type, or the path it carries in its coordinate space.
void ReadVmlGeometry(xml_node node, int type, Shape& shape) {
  const std::string_view preset = geometry::PresetOfVmlType(type);
  if (!preset.empty() && preset != "rect" && preset != "roundRect" && preset != "ellipse") {
    shape.preset = std::string(preset);
    return;
  }
  const std::string_view path = Value(node, "path");
  if (path.empty() || !Is(node, "shape")) return;
  double sizeX = 1000, sizeY = 1000;
  const std::string_view size = Value(node, "coordsize");
  const std::size_t comma = size.find(',');
  if (comma != std::string_view::npos) {
    sizeX = ParseNumber(size.substr(0, comma)).value_or(1000);
    sizeY = ParseNumber(size.substr(comma + 1)).value_or(1000);
  }
  shape.custom = geometry::GeometryOfVmlPath(path, std::llround(Clamp(sizeX, 0, 1e12)),
                                             std::llround(Clamp(sizeY, 0, 1e12)));
}

// Font family names in VML styles come quoted ("&quot;Arial&quot;" once unescaped).
std::string Unquoted(std::string_view text) {
  while (!text.empty() && (text.front() == '"' || text.front() == '\'' || text.front() == ' '))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == '"' || text.back() == '\'' || text.back() == ' '))
    text.remove_suffix(1);
  return std::string(text);
}

// v:textpath: WordArt's text, one paragraph a line, in the font its style names and the shape's
// fill colour; the shape itself shows no outline or fill of its own.
void ReadVmlTextPath(xml_node textPath, xml_node node, int type, Shape& shape) {
  const CssStyle style = ParseCss(Value(textPath, "style"));
  Run run;
  if (const std::string family = Unquoted(style.Get("font-family")); !family.empty())
    run.format.fontFamily = SanitizeXmlText(family);
  if (auto size = ParseLength(style.Get("font-size"), 1.0))
    run.format.fontSize = static_cast<float>(Clamp(*size, 1, 1584));
  const std::string weight = Lower(style.Get("font-weight"));
  run.format.bold =
      weight == "bold" || weight == "bolder" || ParseNumber(weight).value_or(0) >= 600;
  run.format.italic = Lower(style.Get("font-style")) == "italic";
  if (shape.fill.visible) run.format.color = shape.fill.color;
  shape.text.clear();
  const std::string text = SanitizeXmlText(Value(textPath, "string"));
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    Paragraph paragraph;
    paragraph.alignment = Alignment::Center;
    paragraph.markFormat = run.format;
    run.text = text.substr(start, end - start);
    if (!run.text.empty() && run.text.back() == '\r') run.text.pop_back();
    paragraph.runs.push_back(run);
    shape.text.push_back(std::move(paragraph));
    start = end + 1;
  }
  shape.fill.visible = false;
  shape.line.visible = false;
  shape.warp.preset = std::string(WarpOfVmlType(type));
  const std::string_view adj = Value(node, "adj");
  if (auto value = ParseNumber(adj.substr(0, adj.find(','))))
    shape.warp.adjusts = WarpAdjustsOfVml(shape.warp.preset, *value);
}

// w10:wrap of a floating VML shape, and the distances its style keeps from the text. A shape
// without one stands in front of the text.
WrapFormat ReadVmlWrap(xml_node node, const CssStyle& style) {
  WrapFormat wrap;
  auto distance = [&](const char* name, float& out) {
    if (auto v = ParseLength(style.Get(name), 0.75))
      out = static_cast<float>(Clamp(*v, 0, kMaxLengthPt));
  };
  distance("mso-wrap-distance-top", wrap.top);
  distance("mso-wrap-distance-bottom", wrap.bottom);
  distance("mso-wrap-distance-left", wrap.left);
  distance("mso-wrap-distance-right", wrap.right);
  const xml_node element = Child(node, "wrap");
  const std::string type = Lower(Value(element, "type"));
  wrap.type = type == "square"         ? WrapType::Square
              : type == "tight"        ? WrapType::Tight
              : type == "through"      ? WrapType::Through
              : type == "topandbottom" ? WrapType::TopAndBottom
                                       : WrapType::None;
  const std::string side = Lower(Value(element, "side"));
  wrap.side = side == "left"      ? WrapSide::Left
              : side == "right"   ? WrapSide::Right
              : side == "largest" ? WrapSide::Largest
                                  : WrapSide::Both;
  return wrap;
}

}  // namespace

void ReadContext::ReadPict(xml_node pict, Flow& flow) {
  ForEachChild(pict, [&](xml_node c) {
    const std::string_view name = Local(c.name());
    if (name == "shapetype") return false;
    const CssStyle style = ParseCss(Value(c, "style"));
    const bool absolute = Lower(style.Get("position")) == "absolute";
    auto shape = ReadVml(c, style, nullptr, 0);
    if (!shape) return false;
    if (!absolute) {
      if (shape->kind == ShapeKind::Picture) {
        AddInlinePicture(flow, std::move(shape));
        return false;
      }
      shape->relH = RelH::Character;
      shape->relV = RelV::Line;
      shape->left = shape->top = 0;
    }
    if (!flow.body) return false;
    if (absolute) shape->wrap = ReadVmlWrap(c, style);
    const std::string inCell = Lower(Value(c, "allowincell"));
    shape->layoutInCell = inCell != "f" && inCell != "false" && inCell != "0";
    const double z = Clamp(Number(style.Get("z-index")), -1e12, 1e12);
    Keep(std::move(shape), flow, z < 0 ? 0 : 1, z);
    return false;
  });
}

std::string_view ReadContext::VmlName(xml_node node) {
  std::string_view name = Value(node, "ID");
  if (name.empty()) {
    name = Value(node, "id");
    if (name.substr(0, 6) == "shape_") name = std::string_view();
  }
  if (name.empty()) name = Value(node, "alt");
  if (name.empty()) name = Value(node, "spid");
  return name;
}

void ReadContext::NameMembersFromFallback(xml_node anchor, Shape& group) {
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

void ReadContext::NameMembers(xml_node vmlGroup, Shape& group, int depth) {
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

std::unique_ptr<Shape> ReadContext::ReadVml(xml_node node, const CssStyle& style,
                                            const ChildSpace* space, int depth) {
  const std::string_view element = Local(node.name());
  static const char* kKnown[] = {"rect", "oval", "roundrect", "line", "shape", "group", "image"};
  if (std::none_of(std::begin(kKnown), std::end(kKnown),
                   [&](const char* k) { return element == k; })) {
    return nullptr;
  }
  auto shape = NewShape();
  shape->name = SanitizeXmlText(VmlName(node));
  shape->visible = Lower(style.Get("visibility")) != "hidden";
  shape->rotation = static_cast<float>(VmlRotation(style.Get("rotation")));
  const std::string flip = Lower(style.Get("flip"));
  shape->flipH = flip.find('x') != std::string::npos;
  shape->flipV = flip.find('y') != std::string::npos;

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
    shape->relH =
        RelFrom(Lower(style.Get("mso-position-horizontal-relative")), kVmlRelHNames, RelH::Column);
    shape->relV =
        RelFrom(Lower(style.Get("mso-position-vertical-relative")), kVmlRelVNames, RelV::Paragraph);
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
  xml_node textBox, imageData, textPath;
  ForEachChild(node, [&](xml_node c) {
    const std::string_view name = Local(c.name());
    if (name == "fill") {
      if (xml_attribute on = AttrOf(c, "on")) shape->fill.visible = !isFalse(on.value());
      if (Unseen(c)) shape->fill.visible = false;
      const bool visible = shape->fill.visible;
      ReadVmlFill(c, shape->fill);
      shape->fill.visible = visible;
    } else if (name == "stroke") {
      if (xml_attribute on = AttrOf(c, "on")) shape->line.visible = !isFalse(on.value());
      if (Unseen(c)) shape->line.visible = false;
      if (auto color = ParseVmlColor(Value(c, "color"))) shape->line.color = *color;
      if (AttrOf(c, "weight")) shape->line.weight = weight(Value(c, "weight"), shape->line.weight);
      if (AttrOf(c, "dashstyle")) shape->line.dash = DashFromVml(Value(c, "dashstyle"));
      ReadVmlStroke(c, shape->line);
    } else if (name == "shadow") {
      ReadVmlShadow(c, shape->shadow);
    } else if (name == "textbox") {
      textBox = Child(c, "txbxContent");
      ReadVmlTextFrame(c, style, shape->frame);
    } else if (name == "imagedata") {
      imageData = c;
    } else if (name == "textpath" && !isFalse(Value(c, "on"))) {
      textPath = c;
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
    }
    return shape;
  }
  if (imageData || element == "image" || typeIs("75")) {
    shape->kind = ShapeKind::Picture;
    std::string_view relId = Value(imageData, "id");
    if (relId.empty()) relId = Value(imageData, "relid");
    if (!relId.empty()) shape->image = ImageFor(relId);
    shape->crop = VmlCrop(imageData);
    if (!AttrOf(node, "filled")) shape->fill.visible = false;
    if (!AttrOf(node, "stroked") && !Child(node, "stroke")) shape->line.visible = false;
    return shape;
  }
  if (element == "oval" || typeIs("3")) shape->autoShapeType = AutoShapeType::Oval;
  if (element == "roundrect" || typeIs("2")) {
    shape->autoShapeType = AutoShapeType::RoundedRectangle;
    if (AttrOf(node, "arcsize")) shape->adjustment = ArcSize(Value(node, "arcsize"));
  }
  ReadVmlGeometry(node, VmlType(spt, typeRef), *shape);
  if (textPath) {
    ReadVmlTextPath(textPath, node, VmlType(spt, typeRef), *shape);
    for (Paragraph& paragraph : shape->text) paragraph.id = doc_->newParagraphId();
    return shape;
  }
  const bool rectangular =
      shape->autoShapeType == AutoShapeType::Rectangle && shape->preset.empty() && !shape->custom;
  shape->kind =
      (typeIs("202") || (textBox && rectangular)) ? ShapeKind::TextBox : ShapeKind::AutoShape;
  if (textBox) ReadTextBoxBlocks(textBox, shape->text);
  return shape;
}

}  // namespace wordproc::ooxml::reader
