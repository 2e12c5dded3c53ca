// Diagrams (SmartArt): the word processor lays a diagram out from its data and keeps the result
// in a drawing part of plain shapes, which other readers draw too. We read that drawing as a
// group of autoshapes with DrawingML text.
#include <algorithm>

#include "wordproc/core/OoxmlReadContext.h"

namespace wordproc::ooxml::reader {

namespace {

constexpr int kMostDiagramShapes = 2000;

Alignment DrawingAlignment(std::string_view algn) {
  if (algn == "ctr") return Alignment::Center;
  if (algn == "r") return Alignment::Right;
  if (algn == "just" || algn == "dist") return Alignment::Justify;
  return Alignment::Left;
}

// a:spcPts is in hundredths of a point, a:spcPct in thousandths of a percent of a line.
float DrawingSpacing(xml_node spacing, float fontSize) {
  if (xml_node points = Child(spacing, "spcPts"))
    return static_cast<float>(Clamp(Number(Value(points, "val")) / 100, 0, kMaxLengthPt));
  if (xml_node share = Child(spacing, "spcPct"))
    return static_cast<float>(
        Clamp(Number(Value(share, "val")) / 100000 * fontSize * 1.2, 0, 1584));
  return 0;
}

}  // namespace

void ReadContext::ReadDrawingText(xml_node txBody, const RunFormat& base,
                                  std::vector<Paragraph>& out) {
  ForEachChild(txBody, [&](xml_node p) {
    if (!Is(p, "p")) return false;
    CountParagraph();
    Paragraph para;
    para.id = doc_->newParagraphId();
    const xml_node pPr = Child(p, "pPr");
    para.alignment = DrawingAlignment(Value(pPr, "algn"));
    para.markFormat = base;
    if (xml_node percent = Child(Child(pPr, "lnSpc"), "spcPct"))
      para.line = static_cast<float>(Clamp(Number(Value(percent, "val")) / 100000, 0.06, 132));
    ForEachChild(p, [&](xml_node r) {
      const bool lineBreak = Is(r, "br");
      if (!Is(r, "r") && !lineBreak && !Is(r, "fld")) return false;
      Run run{lineBreak ? "\v" : TextOf(Child(r, "t")), base};
      const xml_node rPr = Child(r, "rPr");
      if (auto size = ParseNumber(Value(rPr, "sz")))
        run.format.fontSize = static_cast<float>(Clamp(*size / 100, 1, 1638));
      if (auto bold = Value(rPr, "b"); !bold.empty())
        run.format.bold = bold == "1" || bold == "true";
      if (auto italic = Value(rPr, "i"); !italic.empty())
        run.format.italic = italic == "1" || italic == "true";
      if (auto color = ColorOf(Child(rPr, "solidFill"), std::nullopt))
        run.format.color = color->rgb;
      if (auto face = Value(Child(rPr, "latin"), "typeface"); !face.empty() && face[0] != '+')
        run.format.fontFamily = std::string(face);
      CountText(run.text.size());
      if (!run.text.empty()) para.runs.push_back(std::move(run));
      return false;
    });
    if (!para.runs.empty()) para.markFormat = para.runs.front().format;
    para.spaceBefore = DrawingSpacing(Child(pPr, "spcBef"), para.markFormat.fontSize);
    para.spaceAfter = DrawingSpacing(Child(pPr, "spcAft"), para.markFormat.fontSize);
    out.push_back(std::move(para));
    return false;
  });
}

std::unique_ptr<Shape> ReadContext::ReadDiagramShape(xml_node sp) {
  Xfrm xfrm;
  auto shape = ReadWsp(sp, xfrm);
  shape->left = static_cast<float>(Clamp(xfrm.offX / kEmuPerPt, -kMaxLengthPt, kMaxLengthPt));
  shape->top = static_cast<float>(Clamp(xfrm.offY / kEmuPerPt, -kMaxLengthPt, kMaxLengthPt));
  shape->width = static_cast<float>(Clamp(xfrm.extX / kEmuPerPt, 0, kMaxLengthPt));
  shape->height = static_cast<float>(Clamp(xfrm.extY / kEmuPerPt, 0, kMaxLengthPt));
  const xml_node txBody = Child(sp, "txBody");
  if (!txBody) return shape;
  // The text's colour and font come from the style's font reference unless a run names its own.
  RunFormat base = baseRun_;
  const xml_node fontRef = Child(Child(sp, "style"), "fontRef");
  base.fontFamily = Value(fontRef, "idx") == "major" ? theme_.majorFont : theme_.minorFont;
  if (auto color = ColorOf(fontRef, std::nullopt)) base.color = color->rgb;
  ReadDrawingText(txBody, base, shape->text);
  ReadTextBodyProperties(Child(txBody, "bodyPr"), *shape);
  if (!shape->text.empty() && shape->kind == ShapeKind::Line) shape->text.clear();
  return shape;
}

std::unique_ptr<Shape> ReadContext::ReadDiagram(xml_node relIds) {
  auto part = [&](std::string_view relId) -> const std::string* {
    const auto rel = relationships_.find(std::string(relId));
    if (rel == relationships_.end() || rel->second.external || !zip_.Has(rel->second.target))
      return nullptr;
    return &rel->second.target;
  };
  const std::string* dataPart = part(Value(relIds, "dm"));
  if (!dataPart) return nullptr;
  package::XmlPart data;
  Parse(*dataPart, data);
  // The data names the drawing laid out from it in an extension of its own.
  std::string drawingId;
  for (const pugi::xpath_node& n : data.doc.select_nodes("//*[local-name()='dataModelExt']"))
    drawingId = std::string(Value(n.node(), "relId"));
  const std::string* drawingPart = part(drawingId);
  if (!drawingPart) return nullptr;
  package::XmlPart drawing;
  Parse(*drawingPart, drawing);
  auto group = NewShape();
  group->kind = ShapeKind::Group;
  const xml_node tree = Child(drawing.doc.document_element(), "spTree");
  ForEachChild(tree, [&](xml_node sp) {
    if (Is(sp, "sp")) group->children.push_back(ReadDiagramShape(sp));
    return group->children.size() >= kMostDiagramShapes;
  });
  if (group->children.empty()) return nullptr;
  return group;
}

}  // namespace wordproc::ooxml::reader
