// The w:rPr of runs and the w:pPr of paragraphs: what the model holds, with the properties kept
// from the file in their places among it.
#include "wordproc/core/OoxmlProperties.h"
#include "wordproc/core/OoxmlWriteXml.h"

namespace wordproc::ooxml::write {

void RunPropertiesXml(std::string& out, const RunFormat& format, bool hidden, PropertyKind kind) {
  out += "<w:rPr>";
  PropertyWriter properties(out, kind, format.kept);
  if (!format.fontFamily.empty()) {
    const std::string font = Attr(format.fontFamily);
    properties.Add("w:rFonts", "<w:rFonts w:ascii=\"" + font + "\" w:hAnsi=\"" + font +
                                   "\" w:eastAsia=\"" + font + "\" w:cs=\"" + font + "\"/>");
  }
  if (format.bold) {
    properties.Add("w:b", "<w:b/>");
    properties.Add("w:bCs", "<w:bCs/>");
  }
  if (format.italic) {
    properties.Add("w:i", "<w:i/>");
    properties.Add("w:iCs", "<w:iCs/>");
  }
  if (hidden) properties.Add("w:vanish", "<w:vanish/>");
  properties.Add("w:color", "<w:color w:val=\"" + HexColor(format.color & 0xFFFFFF) + "\"/>");
  const std::string size = Num(std::llround(Clamp(format.fontSize, 1, 1638, 11) * 2));
  properties.Add("w:sz", "<w:sz w:val=\"" + size + "\"/>");
  properties.Add("w:szCs", "<w:szCs w:val=\"" + size + "\"/>");
  properties.Finish();
  out += "</w:rPr>";
}

namespace {

void SpacingXml(PropertyWriter& properties, const Paragraph& p) {
  const bool single = p.lineRule == LineRule::Auto && p.line == 1.0f;
  if (p.spaceBefore == 0 && p.spaceAfter == 0 && single) return;
  std::string xml = "<w:spacing w:before=\"" +
                    Num(std::max<std::int64_t>(0, Twips(p.spaceBefore))) + "\" w:after=\"" +
                    Num(std::max<std::int64_t>(0, Twips(p.spaceAfter))) + "\"";
  if (!single) xml += LineSpacingAttributes(p);
  properties.Add("w:spacing", xml + "/>");
}

}  // namespace

void ParagraphPropertiesXml(std::string& out, const Paragraph& p, bool lists,
                            std::string_view markRPr, std::string_view sectPr) {
  out += "<w:pPr>";
  PropertyWriter properties(out, PropertyKind::Paragraph, p.kept);
  if (p.keepNext) properties.Add("w:keepNext", "<w:keepNext/>");
  if (p.keepLines) properties.Add("w:keepLines", "<w:keepLines/>");
  if (p.pageBreakBefore) properties.Add("w:pageBreakBefore", "<w:pageBreakBefore/>");
  if (!p.widowControl) properties.Add("w:widowControl", "<w:widowControl w:val=\"0\"/>");
  const std::string list = ListXml(p, lists), tabs = TabsXml(p);
  if (!list.empty()) properties.Add("w:numPr", list);
  if (!tabs.empty()) properties.Add("w:tabs", tabs);
  if (p.bidi) properties.Add("w:bidi", "<w:bidi/>");
  SpacingXml(properties, p);
  if (const std::string ind = IndentsXml(p.indents); !ind.empty()) properties.Add("w:ind", ind);
  switch (p.alignment) {
    case Alignment::Center:
      properties.Add("w:jc", "<w:jc w:val=\"center\"/>");
      break;
    case Alignment::Right:
      properties.Add("w:jc", "<w:jc w:val=\"right\"/>");
      break;
    case Alignment::Justify:
      properties.Add("w:jc", "<w:jc w:val=\"both\"/>");
      break;
    case Alignment::Left:
      break;
  }
  properties.Add("w:rPr", markRPr);
  if (!sectPr.empty()) properties.Add("w:sectPr", sectPr);
  properties.Finish();
  out += "</w:pPr>";
}

}  // namespace wordproc::ooxml::write
