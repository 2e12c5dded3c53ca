// DrawingML shapes in w:drawing: autoshapes, lines, text boxes, pictures and groups, inline or
// anchored.
#include "wordproc/core/OoxmlReadContext.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "wordproc/core/GeometryXml.h"

namespace wordproc::ooxml::reader {

namespace {

// Preset names are words of letters and digits; anything else is not kept.
bool PresetName(std::string_view name) {
  if (name.empty() || name.size() > 64) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  });
}

// A preset's own adjust values: guides of the form "val N".
geometry::Adjusts ReadAdjusts(xml_node avLst) {
  geometry::Adjusts adjusts;
  ForEachChild(avLst, [&](xml_node gd) {
    const std::string_view formula = Value(gd, "fmla");
    if (!Is(gd, "gd") || formula.substr(0, 4) != "val " || adjusts.size() >= 64) return false;
    const auto value = ParseNumber(formula.substr(4));
    if (value) adjusts.push_back({std::string(Value(gd, "name")), Clamp(*value, -1e9, 1e9)});
    return false;
  });
  return adjusts;
}

// The outline of an autoshape: its custom geometry, or a preset with its adjust values; the
// rounded rectangle keeps its corner in Shape::adjustment as before.
void ReadShapeGeometry(xml_node spPr, Shape& shape) {
  if (xml_node custGeom = Child(spPr, "custGeom")) {
    shape.custom =
        std::make_shared<const geometry::ShapeGeometry>(geometry::ReadGeometry(custGeom));
    return;
  }
  const xml_node prstGeom = Child(spPr, "prstGeom");
  const std::string_view preset = Value(prstGeom, "prst");
  if (preset == "roundRect") {
    shape.autoShapeType = AutoShapeType::RoundedRectangle;
    shape.adjustment = CornerAdjustment(prstGeom);
  } else if (preset == "ellipse") {
    shape.autoShapeType = AutoShapeType::Oval;
  } else if (preset != "rect" && PresetName(preset)) {
    shape.preset = std::string(preset);
    shape.adjusts = ReadAdjusts(Child(prstGeom, "avLst"));
  }
}

void Turn(const Xfrm& xfrm, Shape& shape) {
  shape.rotation = static_cast<float>(xfrm.rotation);
  shape.flipH = xfrm.flipH;
  shape.flipV = xfrm.flipV;
}

}  // namespace

void ReadContext::ReadNonVisual(xml_node cNvPr, Shape& shape) {
  if (!cNvPr) return;
  shape.id = static_cast<std::uint32_t>(Clamp(Number(Value(cNvPr, "id")), 0, 4294967295.0));
  shape.name = SanitizeXmlText(Value(cNvPr, "name"));
  const std::string_view hidden = Value(cNvPr, "hidden");
  shape.visible = !(hidden == "1" || hidden == "true");
}

namespace {

// a:prstTxWarp names its preset in letters and digits; anything else is no warp we could write
// back.
TextWarp ReadTextWarp(xml_node prstTxWarp) {
  const std::string_view preset = Value(prstTxWarp, "prst");
  const bool named = !preset.empty() && preset.size() <= 40 &&
                     std::all_of(preset.begin(), preset.end(), [](char c) {
                       return std::isalnum(static_cast<unsigned char>(c)) != 0;
                     });
  if (!named || preset == "textNoShape") return {};
  return {std::string(preset), ReadAdjusts(Child(prstTxWarp, "avLst"))};
}

// wps:bodyPr: insets in EMU, the vertical anchor, growing to the text, overflow and the warp.
void ReadBodyPr(xml_node bodyPr, TextFrame& frame, TextWarp& warp) {
  if (!bodyPr) return;
  warp = ReadTextWarp(Child(bodyPr, "prstTxWarp"));
  auto inset = [&](const char* name, float& slot) {
    if (auto emu = ParseNumber(Value(bodyPr, name)))
      slot = static_cast<float>(Clamp(*emu / kEmuPerPt, 0, kMaxLengthPt));
  };
  inset("lIns", frame.left);
  inset("tIns", frame.top);
  inset("rIns", frame.right);
  inset("bIns", frame.bottom);
  const std::string_view anchor = Value(bodyPr, "anchor");
  frame.anchor = anchor == "ctr" ? TextAnchor::Middle
                 : anchor == "b" ? TextAnchor::Bottom
                                 : TextAnchor::Top;
  frame.autoFit = static_cast<bool>(Child(bodyPr, "spAutoFit"));
  frame.clip = Value(bodyPr, "vertOverflow") != "overflow";
}

// The anchor's wrapping element (wp:wrapSquare, ...) and the distances it keeps from the text.
WrapFormat ReadWrap(xml_node anchor) {
  WrapFormat wrap;
  auto distance = [&](const char* name, float& out) {
    if (const std::string_view v = Value(anchor, name); !v.empty())
      out = static_cast<float>(Clamp(PositionFromEmu(Number(v)), 0, kMaxLengthPt));
  };
  distance("distT", wrap.top);
  distance("distB", wrap.bottom);
  distance("distL", wrap.left);
  distance("distR", wrap.right);
  ForEachChild(anchor, [&](xml_node c) {
    const std::string_view name = Local(c.name());
    if (name == "wrapSquare")
      wrap.type = WrapType::Square;
    else if (name == "wrapTight")
      wrap.type = WrapType::Tight;
    else if (name == "wrapThrough")
      wrap.type = WrapType::Through;
    else if (name == "wrapTopAndBottom")
      wrap.type = WrapType::TopAndBottom;
    else
      return false;
    const std::string_view side = Value(c, "wrapText");
    wrap.side = side == "left"      ? WrapSide::Left
                : side == "right"   ? WrapSide::Right
                : side == "largest" ? WrapSide::Largest
                                    : WrapSide::Both;
    return true;
  });
  return wrap;
}

}  // namespace

void ReadTextBodyProperties(xml_node bodyPr, Shape& shape) {
  ReadBodyPr(bodyPr, shape.frame, shape.warp);
}

std::unique_ptr<Shape> ReadContext::ReadWsp(xml_node wsp, Xfrm& xfrm) {
  auto shape = NewShape();
  ReadNonVisual(Child(wsp, "cNvPr"), *shape);
  const xml_node spPr = Child(wsp, "spPr");
  const xml_node style = Child(wsp, "style");
  xfrm = ReadXfrm(spPr);
  const std::string_view preset = Value(Child(spPr, "prstGeom"), "prst");
  const bool connector = static_cast<bool>(Child(wsp, "cNvCnPr"));
  const xml_node textBox = Child(Child(wsp, "txbx"), "txbxContent");
  const std::string_view txBox = Value(Child(wsp, "cNvSpPr"), "txBox");
  Turn(xfrm, *shape);
  const bool custom = static_cast<bool>(Child(spPr, "custGeom"));
  if (!custom && (preset == "line" || preset.substr(0, 17) == "straightConnector" ||
                  (connector && preset.empty()))) {
    shape->kind = ShapeKind::Line;
  } else {
    ReadShapeGeometry(spPr, *shape);
    const bool rectangular = !custom && (preset.empty() || preset == "rect");
    shape->kind = (txBox == "1" || txBox == "true" || (textBox && rectangular))
                      ? ShapeKind::TextBox
                      : ShapeKind::AutoShape;
    ReadFill(spPr, style, *shape);
  }
  ReadLine(spPr, style, *shape);
  ReadEffects(spPr, style, *shape);
  if (textBox) ReadTextBoxBlocks(textBox, shape->text);
  ReadBodyPr(Child(wsp, "bodyPr"), shape->frame, shape->warp);
  return shape;
}

std::unique_ptr<Shape> ReadContext::ReadPic(xml_node pic, Xfrm& xfrm) {
  auto shape = NewShape();
  shape->kind = ShapeKind::Picture;
  ReadNonVisual(Child(Child(pic, "nvPicPr"), "cNvPr"), *shape);
  const xml_node spPr = Child(pic, "spPr");
  xfrm = ReadXfrm(spPr);
  Turn(xfrm, *shape);
  ReadBlipFill(pic, *shape);
  shape->fill.visible = false;
  shape->line.visible = false;
  if (Child(spPr, "ln")) ReadLine(spPr, xml_node(), *shape);
  ReadEffects(spPr, xml_node(), *shape);
  return shape;
}

void ReadContext::ReadGroupMembers(xml_node group, const ChildSpace& space, Shape& into,
                                   int depth) {
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
      Turn(xfrm, *member);
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

// A chart stands in a frame of its own: white, with the light border charts are given.
std::unique_ptr<Shape> ReadContext::ReadChartFrame(xml_node chartRef) {
  auto chart = ReadChart(chartRef);
  if (!chart) return nullptr;
  auto shape = NewShape();
  shape->graphic = GraphicType::Chart;
  shape->chart = std::move(chart);
  shape->fill.visible = true;
  shape->fill.color = 0xFFFFFF;
  shape->line.visible = true;
  shape->line.color = 0xD9D9D9;
  shape->line.weight = 0.75f;
  return shape;
}

std::unique_ptr<Shape> ReadContext::ReadGraphic(xml_node container, double width, double height) {
  const xml_node data = Child(Child(container, "graphic"), "graphicData");
  std::unique_ptr<Shape> shape;
  ForEachChild(data, [&](xml_node c) {
    const std::string_view name = Local(c.name());
    Xfrm xfrm;
    if (name == "wsp") {
      shape = ReadWsp(c, xfrm);
    } else if (name == "pic") {
      shape = ReadPic(c, xfrm);
    } else if (name == "chart") {
      shape = ReadChartFrame(c);
    } else if (name == "relIds") {
      shape = ReadDiagram(c);
      if (shape) shape->graphic = GraphicType::SmartArt;
    } else if (name == "wgp") {
      shape = NewShape();
      shape->kind = ShapeKind::Group;
      xfrm = ReadXfrm(Child(c, "grpSpPr"));
      Turn(xfrm, *shape);
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

void ReadContext::ReadDrawing(xml_node drawing, Flow& flow) {
  ForEachChild(drawing, [&](xml_node c) {
    if (Is(c, "anchor"))
      ReadAnchor(c, flow);
    else if (Is(c, "inline"))
      ReadInline(c, flow);
    return false;
  });
}

void ReadContext::ReadInline(xml_node node, Flow& flow) {
  const xml_node extent = Child(node, "extent");
  auto shape = ReadGraphic(node, SizeFromEmu(Number(Value(extent, "cx"))),
                           SizeFromEmu(Number(Value(extent, "cy"))));
  if (!shape) return;
  if (shape->kind == ShapeKind::Picture || shape->graphic != GraphicType::Drawing) {
    AddInlinePicture(flow, std::move(shape));
  } else if (flow.body) {
    // Shapes in the text flow stand where their character is.
    shape->relH = RelH::Character;
    shape->relV = RelV::Line;
    Keep(std::move(shape), flow, 1, 0);
  }
}

void ReadContext::ReadAnchor(xml_node anchor, Flow& flow) {
  if (!flow.body) return;  // text boxes cannot hold floating shapes
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
  shape->wrap = ReadWrap(anchor);
  const std::string_view inCell = Value(anchor, "layoutInCell");
  shape->layoutInCell = inCell != "0" && inCell != "false";
  const std::string_view behind = Value(anchor, "behindDoc");
  Keep(std::move(shape), flow, behind == "1" || behind == "true" ? 0 : 1,
       Clamp(Number(Value(anchor, "relativeHeight")), -1e12, 1e12));
}

double ReadContext::Offset(xml_node position, double area, double size) {
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

}  // namespace wordproc::ooxml::reader
