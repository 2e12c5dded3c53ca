// The w:rPr of runs and the w:pPr of paragraphs: what the model holds, with the properties kept
// from the file in their places among it.
#include "wordproc/core/OoxmlProperties.h"
#include "wordproc/core/OoxmlWriteXml.h"

namespace wordproc::ooxml::write {

void RunPropertiesXml(std::string& out, const RunFormat& format, bool hidden, PropertyKind kind,
                      bool full) {
  out += "<w:rPr>";
  PropertyWriter properties(out, kind, format.kept);
  // A character style is written only with the file's own styles, which define it.
  if (full && !format.style.empty())
    properties.Add("w:rStyle", "<w:rStyle w:val=\"" + Attr(format.style) + "\"/>");
  if (!format.fontFamily.empty()) {
    const std::string font = Attr(format.fontFamily);
    properties.Add("w:rFonts", "<w:rFonts w:ascii=\"" + font + "\" w:hAnsi=\"" + font +
                                   "\" w:eastAsia=\"" + font + "\" w:cs=\"" + font + "\"/>");
  }
  for (const auto& [on, name] : {std::pair{format.bold, "b"}, std::pair{format.italic, "i"}}) {
    if (!on && !full) continue;
    const std::string value = on ? "/>" : " w:val=\"0\"/>";
    for (const std::string& element : {std::string("w:") + name, std::string("w:") + name + "Cs"})
      properties.Add(element, "<" + element + value);
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

void SpacingXml(PropertyWriter& properties, const Paragraph& p, bool full) {
  const bool single = p.lineRule == LineRule::Auto && p.line == 1.0f;
  if (p.spaceBefore == 0 && p.spaceAfter == 0 && single && !full) return;
  std::string xml = "<w:spacing w:before=\"" +
                    Num(std::max<std::int64_t>(0, Twips(p.spaceBefore))) + "\" w:after=\"" +
                    Num(std::max<std::int64_t>(0, Twips(p.spaceAfter))) + "\"";
  if (!single || full) xml += LineSpacingAttributes(p);
  properties.Add("w:spacing", xml + "/>");
}

// A switch of the paragraph: on when the model has it on; off said so in full, where the file's
// style might turn it on.
void Switch(PropertyWriter& properties, bool on, bool full, const char* name) {
  if (on)
    properties.Add(name, "<" + std::string(name) + "/>");
  else if (full)
    properties.Add(name, "<" + std::string(name) + " w:val=\"0\"/>");
}

const char* JustificationOf(Alignment alignment) {
  switch (alignment) {
    case Alignment::Center:
      return "center";
    case Alignment::Right:
      return "right";
    case Alignment::Justify:
      return "both";
    case Alignment::Left:
      break;
  }
  return "left";
}

}  // namespace

void ParagraphPropertiesXml(std::string& out, const Paragraph& p, bool lists,
                            std::string_view markRPr, std::string_view sectPr, bool full) {
  out += "<w:pPr>";
  PropertyWriter properties(out, PropertyKind::Paragraph, p.kept);
  if (full && !p.style.empty())
    properties.Add("w:pStyle", "<w:pStyle w:val=\"" + Attr(p.style) + "\"/>");
  Switch(properties, p.keepNext, full, "w:keepNext");
  Switch(properties, p.keepLines, full, "w:keepLines");
  // Said off only under a style of its own: LibreOffice breaks the page before a framed
  // paragraph that says it off.
  Switch(properties, p.pageBreakBefore, full && !p.style.empty(), "w:pageBreakBefore");
  if (!p.widowControl)
    properties.Add("w:widowControl", "<w:widowControl w:val=\"0\"/>");
  else if (full)
    properties.Add("w:widowControl", "<w:widowControl/>");
  const std::string list = ListXml(p, lists), tabs = TabsXml(p);
  if (!list.empty())
    properties.Add("w:numPr", list);
  else if (full && lists)
    properties.Add("w:numPr", "<w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"0\"/></w:numPr>");
  if (!tabs.empty()) properties.Add("w:tabs", tabs);
  Switch(properties, p.bidi, full, "w:bidi");
  SpacingXml(properties, p, full);
  if (const std::string ind = IndentsXml(p.indents); !ind.empty())
    properties.Add("w:ind", ind);
  else if (full)
    properties.Add("w:ind", "<w:ind w:left=\"0\" w:right=\"0\" w:firstLine=\"0\"/>");
  if (full) Switch(properties, false, true, "w:contextualSpacing");
  // A right-to-left paragraph's leading edge is its own default: it is left as it was.
  if (p.alignment != Alignment::Left || (full && !p.bidi))
    properties.Add("w:jc", "<w:jc w:val=\"" + std::string(JustificationOf(p.alignment)) + "\"/>");
  properties.Add("w:rPr", markRPr);
  if (!sectPr.empty()) properties.Add("w:sectPr", sectPr);
  properties.Finish();
  out += "</w:pPr>";
}

}  // namespace wordproc::ooxml::write
