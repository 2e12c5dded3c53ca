#include "wordproc/core/OoxmlWriteXml.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <utility>

#include "wordproc/core/GeometryXml.h"
#include "wordproc/core/Numbering.h"
#include "wordproc/core/OoxmlProperties.h"
#include "wordproc/core/ShapeOps.h"

namespace wordproc::ooxml::write {

void Escape(std::string& out, std::string_view text, bool attribute) {
  const std::string clean = SanitizeXmlText(text);
  for (char c : clean) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        if (attribute)
          out += "&quot;";
        else
          out += c;
        break;
      case '\t':
        if (attribute)
          out += "&#9;";
        else
          out += c;
        break;
      case '\n':
        if (attribute)
          out += "&#10;";
        else
          out += c;
        break;
      case '\r':
        out += "&#13;";
        break;
      default:
        out += c;
    }
  }
}

std::string Attr(std::string_view text) {
  std::string out;
  Escape(out, text, true);
  return out;
}

std::int64_t Emu(double pt) {
  return std::llround(Clamp(pt * kEmuPerPt, -kMaxEmu, kMaxEmu));
}
std::int64_t EmuSize(double pt) {
  return std::llround(Clamp(pt * kEmuPerPt, 0, kMaxEmu));
}
std::int64_t Twips(double pt) {
  return std::llround(Clamp(pt, -kMaxLengthPt, kMaxLengthPt) * kTwipsPerPt);
}
std::string Num(std::int64_t value) {
  return std::to_string(value);
}

std::string Geometry(const Shape& shape) {
  if (shape.kind == ShapeKind::Line) return "line";
  return PresetOf(shape);
}

std::string XfrmXml(const Shape& shape, std::int64_t x, std::int64_t y, bool group) {
  const std::int64_t cx = EmuSize(shape.width), cy = EmuSize(shape.height);
  std::string out = "<a:xfrm";
  constexpr std::int64_t kTurn = 21600000;  // 60000ths of a degree
  const std::int64_t rot =
      (std::llround(Clamp(shape.rotation, -360, 360) * 60000) % kTurn + kTurn) % kTurn;
  if (rot != 0) out += " rot=\"" + Num(rot) + "\"";
  if (shape.flipH) out += " flipH=\"1\"";
  if (shape.flipV) out += " flipV=\"1\"";
  out += "><a:off x=\"" + Num(x) + "\" y=\"" + Num(y) + "\"/><a:ext cx=\"" + Num(cx) + "\" cy=\"" +
         Num(cy) + "\"/>";
  if (group) {
    out += "<a:chOff x=\"0\" y=\"0\"/><a:chExt cx=\"" + Num(cx) + "\" cy=\"" + Num(cy) + "\"/>";
  }
  return out + "</a:xfrm>";
}

std::string ShapeGeometryXml(const Shape& shape) {
  if (shape.kind != ShapeKind::Line && shape.custom)
    return "<a:custGeom>" + geometry::GeometryXml(*shape.custom) + "</a:custGeom>";
  return "<a:prstGeom prst=\"" + Attr(Geometry(shape)) + "\">" + Adjustments(shape) +
         "</a:prstGeom>";
}

const char* VmlElement(const Shape& shape) {
  if (shape.kind == ShapeKind::Line) return "v:line";
  if (shape.kind != ShapeKind::AutoShape && shape.kind != ShapeKind::TextBox) return "v:rect";
  if (HasGeneralGeometry(shape)) return "v:shape";
  if (shape.autoShapeType == AutoShapeType::Oval) return "v:oval";
  if (shape.autoShapeType == AutoShapeType::RoundedRectangle) return "v:roundrect";
  return "v:rect";
}

// The outline in hundredths of a point, the units group members are placed in: a shape type
// would need VML's own formulas for each preset, a path carries any outline as it is drawn.
std::string VmlPathAttributes(const Shape& shape) {
  if (VmlElement(shape) != std::string_view("v:shape")) return {};
  constexpr double kUnits = 100;
  const std::int64_t w =
      std::max<std::int64_t>(1, std::llround(Clamp(shape.width, 0, kMaxLengthPt) * kUnits));
  const std::int64_t h =
      std::max<std::int64_t>(1, std::llround(Clamp(shape.height, 0, kMaxLengthPt) * kUnits));
  return " coordsize=\"" + Num(w) + "," + Num(h) + "\" path=\"" +
         Attr(geometry::VmlPath(OutlineOf(shape), kUnits)) + "\"";
}

std::string VmlTurn(const Shape& shape) {
  std::string out;
  const double turn = Clamp(shape.rotation, -360, 360);
  if (std::fmod(turn, 360) != 0) out += "rotation:" + FormatPoints(turn) + ";";
  if (shape.kind != ShapeKind::Line && (shape.flipH || shape.flipV)) {
    out += std::string("flip:") + (shape.flipH ? "x" : "") +
           (shape.flipH && shape.flipV ? " " : "") + (shape.flipV ? "y" : "") + ";";
  }
  return out;
}

std::string LineSpacingAttributes(const Paragraph& p) {
  if (p.lineRule == LineRule::Auto)
    return " w:line=\"" + Num(std::llround(double(p.line) * 240)) + "\" w:lineRule=\"auto\"";
  return " w:line=\"" + Num(Twips(p.line)) + "\" w:lineRule=\"" +
         (p.lineRule == LineRule::Exact ? "exact" : "atLeast") + "\"";
}

std::string RootNamespaces(const KeptPackage* kept) {
  std::string out;
  std::vector<std::string> declared;
  for (const auto& [prefix, uri] : WrittenNamespaces()) {
    out += std::string(" xmlns:") + prefix + "=\"" + uri + "\"";
    declared.emplace_back(prefix);
  }
  std::string ignorable = "w14 wp14";
  if (!kept) return out + " mc:Ignorable=\"" + ignorable + "\"";
  // A prefix we declare ourselves keeps our meaning; the file's other prefixes are added.
  for (const auto& [prefix, uri] : kept->namespaces) {
    if (std::find(declared.begin(), declared.end(), prefix) != declared.end()) continue;
    out += " xmlns:" + prefix + "=\"" + Attr(uri) + "\"";
    declared.push_back(prefix);
  }
  std::size_t at = 0;
  while (at < kept->ignorable.size()) {
    const std::size_t end = std::min(kept->ignorable.find(' ', at), kept->ignorable.size());
    const std::string prefix = kept->ignorable.substr(at, end - at);
    const bool listed = (" " + ignorable + " ").find(" " + prefix + " ") != std::string::npos;
    if (!prefix.empty() && !listed &&
        std::find(declared.begin(), declared.end(), prefix) != declared.end())
      ignorable += " " + prefix;
    at = end + 1;
  }
  return out + " mc:Ignorable=\"" + Attr(ignorable) + "\"";
}

std::vector<std::vector<std::size_t>> AnchorLists(const std::vector<Paragraph>& paragraphs,
                                                  const std::vector<AnchoredShape>& shapes) {
  std::unordered_map<std::uint64_t, std::size_t> paragraphIndex;
  for (std::size_t i = 0; i < paragraphs.size(); ++i) paragraphIndex.emplace(paragraphs[i].id, i);
  std::vector<std::vector<std::size_t>> anchored(std::max<std::size_t>(1, paragraphs.size()));
  for (std::size_t i = 0; i < shapes.size(); ++i) {
    if (!shapes[i].shape) continue;
    const auto found = paragraphIndex.find(shapes[i].anchorParagraph);
    anchored[found == paragraphIndex.end() ? 0 : found->second].push_back(i);
  }
  return anchored;
}

std::string ColumnsXml(const TextColumns& columns) {
  std::string out = "<w:cols";
  if (columns.widths.empty() && columns.count > 1) out += " w:num=\"" + Num(columns.count) + "\"";
  if (columns.separator) out += " w:sep=\"1\"";
  out += " w:space=\"" + Num(std::max<std::int64_t>(0, Twips(columns.space))) + "\"";
  if (columns.widths.empty()) return out + "/>";
  out += " w:num=\"" + Num(std::int64_t(columns.widths.size())) + "\" w:equalWidth=\"0\">";
  for (const TextColumn& column : columns.widths) {
    out += "<w:col w:w=\"" + Num(std::max<std::int64_t>(0, Twips(column.width))) + "\" w:space=\"" +
           Num(std::max<std::int64_t>(0, Twips(column.space))) + "\"/>";
  }
  return out + "</w:cols>";
}

std::string BodyPr(const TextFrame& frame, const TextWarp& warp) {
  static const char* kAnchors[] = {"t", "t", "t", "ctr", "b"};
  auto emu = [](float points) { return Num(EmuSize(points)); };
  std::string out = "<wps:bodyPr rot=\"0\" vert=\"horz\" wrap=\"square\" lIns=\"" +
                    emu(frame.left) + "\" tIns=\"" + emu(frame.top) + "\" rIns=\"" +
                    emu(frame.right) + "\" bIns=\"" + emu(frame.bottom) + "\" anchor=\"" +
                    kAnchors[static_cast<int>(frame.anchor) % 5] + "\" anchorCtr=\"0\"";
  if (!frame.clip) out += " vertOverflow=\"overflow\"";
  out += ">";
  if (!warp.preset.empty()) {
    out += "<a:prstTxWarp prst=\"" + Attr(warp.preset) + "\">" +
           geometry::AdjustListXml(warp.adjusts) + "</a:prstTxWarp>";
  }
  out += frame.autoFit ? "<a:spAutoFit/></wps:bodyPr>" : "<a:noAutofit/></wps:bodyPr>";
  return out;
}

// The rounded rectangle's corner as DrawingML's "adj" guide, in 1/100000 of the shorter side.
std::string Adjustments(const Shape& shape) {
  if (shape.kind != ShapeKind::Line && !shape.preset.empty())
    return geometry::AdjustListXml(shape.adjusts);
  if (shape.kind == ShapeKind::Line || shape.autoShapeType != AutoShapeType::RoundedRectangle)
    return "<a:avLst/>";
  const long value = std::lround(double(shape.adjustment) * 100000);
  return "<a:avLst><a:gd name=\"adj\" fmla=\"val " + std::to_string(value) + "\"/></a:avLst>";
}

// The defaults the file's own lists had stay the document's; its language over ours.
bool KeepsFileStyles(const KeptPackage* kept) {
  return kept && !kept->styles.empty() && kept->styles != OwnStylesXml(kept);
}

std::string StylesXml(const KeptPackage* kept) {
  return KeepsFileStyles(kept) ? kept->styles : OwnStylesXml(kept);
}

std::string OwnStylesXml(const KeptPackage* kept) {
  const KeptProperties none;
  const RunFormat defaults;
  const std::string font = Attr(defaults.fontFamily);
  const std::string size = Num(std::llround(defaults.fontSize * 2));
  std::string out = std::string(
                        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                        "<w:styles") +
                    RootNamespaces() + "><w:docDefaults><w:rPrDefault><w:rPr>";
  PropertyWriter run(out, PropertyKind::Run, kept ? kept->runDefaults : none);
  run.Add("w:rFonts", "<w:rFonts w:ascii=\"" + font + "\" w:eastAsia=\"" + font + "\" w:hAnsi=\"" +
                          font + "\" w:cs=\"" + font + "\"/>");
  run.Add("w:sz", "<w:sz w:val=\"" + size + "\"/>");
  run.Add("w:szCs", "<w:szCs w:val=\"" + size + "\"/>");
  if (!run.Keeps("w:lang"))
    run.Add("w:lang", "<w:lang w:val=\"ru-RU\" w:eastAsia=\"en-US\" w:bidi=\"ar-SA\"/>");
  run.Finish();
  out += "</w:rPr></w:rPrDefault><w:pPrDefault><w:pPr>";
  PropertyWriter paragraph(out, PropertyKind::Paragraph, kept ? kept->paragraphDefaults : none);
  paragraph.Add("w:spacing", "<w:spacing w:after=\"0\" w:line=\"240\" w:lineRule=\"auto\"/>");
  paragraph.Finish();
  return out +
         "</w:pPr></w:pPrDefault></w:docDefaults>"
         "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\">"
         "<w:name w:val=\"Normal\"/><w:qFormat/></w:style>"
         "<w:style w:type=\"character\" w:default=\"1\" w:styleId=\"DefaultParagraphFont\">"
         "<w:name w:val=\"Default Paragraph Font\"/><w:uiPriority w:val=\"1\"/>"
         "<w:semiHidden/><w:unhideWhenUsed/></w:style></w:styles>";
}

std::string BlipFill(std::string_view relId, std::string_view svgRelId, const PictureCrop& crop) {
  std::string out = "<pic:blipFill><a:blip";
  if (!relId.empty()) out += " r:embed=\"" + std::string(relId) + "\"";
  out += ">";
  if (!svgRelId.empty()) {
    out += "<a:extLst><a:ext uri=\"" + std::string(kSvgBlipUri) + "\"><asvg:svgBlip xmlns:asvg=\"";
    out += kNsAsvg;
    out += "\" r:embed=\"" + std::string(svgRelId) + "\"/></a:ext></a:extLst>";
  }
  out += "</a:blip>";
  if (!crop.empty()) {
    auto share = [](float value) { return Num(std::llround(double(value) * 100000)); };
    out += "<a:srcRect l=\"" + share(crop.left) + "\" t=\"" + share(crop.top) + "\" r=\"" +
           share(crop.right) + "\" b=\"" + share(crop.bottom) + "\"/>";
  }
  return out + "<a:stretch><a:fillRect/></a:stretch></pic:blipFill>";
}

std::string VmlCrop(const PictureCrop& crop) {
  if (crop.empty()) return {};
  auto share = [](float value) { return Num(std::llround(double(value) * 65536)) + "f"; };
  return " cropleft=\"" + share(crop.left) + "\" croptop=\"" + share(crop.top) + "\" cropright=\"" +
         share(crop.right) + "\" cropbottom=\"" + share(crop.bottom) + "\"";
}

MediaType MediaFormat(const Image& image) {
  if (const auto sniffed = SniffImage(image.bytes.data(), image.bytes.size()))
    return {sniffed->contentType, sniffed->extension};
  std::string extension;
  for (char c : image.extension) {
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
      extension += c;
    else if (c >= 'A' && c <= 'Z')
      extension += static_cast<char>(c - 'A' + 'a');
  }
  return {image.contentType.empty() ? "application/octet-stream" : image.contentType,
          extension.empty() ? "bin" : extension};
}

std::string RootRelsXml(const KeptPackage* kept) {
  const std::vector<KeptRelationship> none;
  const auto& others = kept ? kept->packageRelationships : none;
  return std::string(
             "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
             "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
             "relationships\"><Relationship Id=\"") +
         Attr(FreeRelationshipId("rId1", others)) + "\" Type=\"" + kRelOfficeDocument +
         "\" Target=\"word/document.xml\"/>" + RelationshipsXml(others) + "</Relationships>";
}

// The default tab interval is the document's: its paragraphs all carry the same.
std::string SettingsXml(const Document& doc) {
  if (doc.kept && !doc.kept->settings.empty()) return KeptSettingsXml(doc.kept->settings, doc);
  const float interval = doc.paragraphs.empty() ? 36 : doc.paragraphs.front().tabs.interval;
  return std::string(
             "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
             "<w:settings xmlns:w=\"") +
         kNsW + "\"><w:zoom w:percent=\"100\"/><w:defaultTabStop w:val=\"" +
         Num(std::max<std::int64_t>(2, Twips(interval))) + "\"/>" +
         (doc.evenAndOddHeaders ? "<w:evenAndOddHeaders/>" : "") +
         "<w:characterSpacingControl w:val=\"doNotCompress\"/><w:compat>"
         "<w:compatSetting w:name=\"compatibilityMode\" "
         "w:uri=\"http://schemas.microsoft.com/office/word\" w:val=\"15\"/>"
         "</w:compat></w:settings>";
}

std::string ListXml(const Paragraph& p, bool lists) {
  if (!lists || p.list.numId <= 0) return {};
  return "<w:numPr><w:ilvl w:val=\"" + Num(p.list.level) + "\"/><w:numId w:val=\"" +
         Num(p.list.numId) + "\"/></w:numPr>";
}

std::string TabsXml(const Paragraph& p) {
  if (p.tabs.stops.empty()) return {};
  std::string out = "<w:tabs>";
  for (const TabStop& stop : p.tabs.stops) {
    const char* align = stop.align == TabAlign::Center    ? "center"
                        : stop.align == TabAlign::Right   ? "right"
                        : stop.align == TabAlign::Decimal ? "decimal"
                                                          : "left";
    out +=
        std::string("<w:tab w:val=\"") + align + "\" w:pos=\"" + Num(Twips(stop.position)) + "\"/>";
  }
  return out + "</w:tabs>";
}

std::string IndentsXml(const Indents& indents) {
  if (indents == Indents()) return {};
  std::string out = "<w:ind w:left=\"" + Num(Twips(indents.left)) + "\" w:right=\"" +
                    Num(Twips(indents.right)) + "\"";
  if (indents.firstLine < 0)
    out += " w:hanging=\"" + Num(Twips(-indents.firstLine)) + "\"";
  else
    out += " w:firstLine=\"" + Num(Twips(indents.firstLine)) + "\"";
  return out + "/>";
}

std::string NumberingXml(const Numbering& numbering) {
  if (!numbering.part.empty())
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n" + numbering.part;
  return std::string(
             "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
             "<w:numbering xmlns:w=\"") +
         kNsW + "\"/>";
}

std::string NumberingOverride() {
  return "<Override PartName=\"/word/numbering.xml\" ContentType=\"application/"
         "vnd.openxmlformats-officedocument.wordprocessingml.numbering+xml\"/>";
}

std::string NumberingRelationship(const std::string& id) {
  return "<Relationship Id=\"" + Attr(id) +
         "\" Type=\"http://schemas.openxmlformats.org/"
         "officeDocument/2006/relationships/numbering\" Target=\"numbering.xml\"/>";
}

std::string RunTextXml(const std::string& rPr, std::string_view text) {
  if (text.empty()) return {};
  std::string out = "<w:r>" + rPr;
  std::string pending;
  auto flush = [&] {
    if (pending.empty()) return;
    const bool keepSpaces =
        pending.front() == ' ' || pending.back() == ' ' || pending.find("  ") != std::string::npos;
    out += keepSpaces ? "<w:t xml:space=\"preserve\">" : "<w:t>";
    Escape(out, pending, false);
    out += "</w:t>";
    pending.clear();
  };
  for (char c : text) {
    const char* element = c == '\t'                             ? "<w:tab/>"
                          : c == '\v' || c == '\n' || c == '\r' ? "<w:br/>"
                          : c == '\f'                           ? "<w:br w:type=\"page\"/>"
                          : c == kColumnBreak                   ? "<w:br w:type=\"column\"/>"
                                                                : nullptr;
    if (!element) {
      pending += c;
      continue;
    }
    flush();
    out += element;
  }
  flush();
  return out + "</w:r>";
}

std::string FieldStartXml(const FieldCode& code, const std::string& rPr) {
  if (code.simple) return "<w:fldSimple w:instr=\"" + Attr(code.instruction) + "\">";
  std::string out = "<w:r>" + rPr + "<w:fldChar w:fldCharType=\"begin\"";
  out += code.formData.empty() ? "/></w:r>" : ">" + code.formData + "</w:fldChar></w:r>";
  if (!code.nestedXml.empty()) {
    out += code.nestedXml;
  } else {
    out += "<w:r>" + rPr + "<w:instrText xml:space=\"preserve\">";
    Escape(out, code.instruction, false);
    out += "</w:instrText></w:r>";
  }
  return out + "<w:r>" + rPr + "<w:fldChar w:fldCharType=\"separate\"/></w:r>";
}

std::string FieldEndXml(const FieldCode& code, const std::string& rPr) {
  if (code.simple) return "</w:fldSimple>";
  return "<w:r>" + rPr + "<w:fldChar w:fldCharType=\"end\"/></w:r>";
}

namespace {

const char* WrapSideName(WrapSide side) {
  switch (side) {
    case WrapSide::Left:
      return "left";
    case WrapSide::Right:
      return "right";
    case WrapSide::Largest:
      return "largest";
    case WrapSide::Both:
      break;
  }
  return "bothSides";
}

}  // namespace

std::string AnchorPlacementXml(const Shape& shape, std::uint64_t relativeHeight) {
  const int relH = std::clamp(static_cast<int>(shape.relH), 0, 7);
  const int relV = std::clamp(static_cast<int>(shape.relV), 0, 7);
  std::string out =
      "<wp:anchor distT=\"" + Num(Emu(shape.wrap.top)) + "\" distB=\"" +
      Num(Emu(shape.wrap.bottom)) + "\" distL=\"" + Num(Emu(shape.wrap.left)) + "\" distR=\"" +
      Num(Emu(shape.wrap.right)) + "\" simplePos=\"0\" relativeHeight=\"" +
      Num(static_cast<std::int64_t>(relativeHeight)) +
      "\" behindDoc=\"0\" locked=\"0\" layoutInCell=\"" + (shape.layoutInCell ? "1" : "0") +
      "\" allowOverlap=\"1\"><wp:simplePos x=\"0\" y=\"0\"/>";
  out += std::string("<wp:positionH relativeFrom=\"") + kRelHNames[relH] + "\"><wp:posOffset>" +
         Num(Emu(shape.left)) + "</wp:posOffset></wp:positionH>";
  out += std::string("<wp:positionV relativeFrom=\"") + kRelVNames[relV] + "\"><wp:posOffset>" +
         Num(Emu(shape.top)) + "</wp:posOffset></wp:positionV>";
  out += "<wp:extent cx=\"" + Num(EmuSize(shape.width)) + "\" cy=\"" + Num(EmuSize(shape.height)) +
         "\"/><wp:effectExtent l=\"0\" t=\"0\" r=\"0\" b=\"0\"/>";
  return out + WrapXml(shape.wrap);
}

std::string WrapXml(const WrapFormat& wrap) {
  const std::string side = std::string(" wrapText=\"") + WrapSideName(wrap.side) + "\"";
  // Tight and through wrapping name the outline text keeps away from; the box's own will do.
  const std::string polygon =
      "<wp:wrapPolygon edited=\"0\"><wp:start x=\"0\" y=\"0\"/><wp:lineTo x=\"0\" y=\"21600\"/>"
      "<wp:lineTo x=\"21600\" y=\"21600\"/><wp:lineTo x=\"21600\" y=\"0\"/>"
      "<wp:lineTo x=\"0\" y=\"0\"/></wp:wrapPolygon>";
  switch (wrap.type) {
    case WrapType::Square:
      return "<wp:wrapSquare" + side + "/>";
    case WrapType::Tight:
      return "<wp:wrapTight" + side + ">" + polygon + "</wp:wrapTight>";
    case WrapType::Through:
      return "<wp:wrapThrough" + side + ">" + polygon + "</wp:wrapThrough>";
    case WrapType::TopAndBottom:
      return "<wp:wrapTopAndBottom/>";
    case WrapType::None:
      break;
  }
  return "<wp:wrapNone/>";
}

std::string VmlWrapStyle(const WrapFormat& wrap) {
  return ";mso-wrap-distance-left:" + FormatPoints(wrap.left) +
         "pt;mso-wrap-distance-top:" + FormatPoints(wrap.top) +
         "pt;mso-wrap-distance-right:" + FormatPoints(wrap.right) +
         "pt;mso-wrap-distance-bottom:" + FormatPoints(wrap.bottom) + "pt";
}

std::string VmlWrapXml(const WrapFormat& wrap) {
  const char* type = nullptr;
  switch (wrap.type) {
    case WrapType::Square:
      type = "square";
      break;
    case WrapType::Tight:
      type = "tight";
      break;
    case WrapType::Through:
      type = "through";
      break;
    case WrapType::TopAndBottom:
      type = "topAndBottom";
      break;
    case WrapType::None:
      return std::string();
  }
  std::string xml = std::string("<w10:wrap type=\"") + type + "\"";
  if (wrap.side != WrapSide::Both && wrap.type != WrapType::TopAndBottom)
    xml += std::string(" side=\"") + WrapSideName(wrap.side) + "\"";
  return xml + "/>";
}

namespace {

// Writes the section's kept elements that come before a given one in the schema's order.
struct KeptSectionWriter {
  std::string& out;
  const KeptSectionXml& kept;
  std::size_t next = 0;

  void upTo(std::string_view name) {
    if (!kept.elements) return;
    const int rank = name.empty() ? std::numeric_limits<int>::max() : SectionElementRank(name);
    for (; next < kept.elements->size() && (*kept.elements)[next].rank < rank; ++next)
      out += (*kept.elements)[next].xml;
  }
};

}  // namespace

void SectionPageXml(std::string& out, const Section& section) {
  static const char* kStarts[] = {"nextPage", "continuous", "oddPage", "evenPage"};
  const PageSetup& page = section.setup;
  const double width = Clamp(page.pageWidth, 1, kMaxLengthPt, 595.3);
  const double height = Clamp(page.pageHeight, 1, kMaxLengthPt, 841.9);
  KeptSectionWriter kept{out, page.kept};
  kept.upTo("type");
  if (section.start != SectionStart::NextPage)
    out += std::string("<w:type w:val=\"") + kStarts[static_cast<int>(section.start) & 3] + "\"/>";
  kept.upTo("pgSz");
  out += "<w:pgSz w:w=\"" + Num(Twips(width)) + "\" w:h=\"" + Num(Twips(height)) + "\"";
  if (width > height) out += " w:orient=\"landscape\"";
  out += "/><w:pgMar w:top=\"" + Num(Twips(page.topMargin)) + "\" w:right=\"" +
         Num(Twips(page.rightMargin)) + "\" w:bottom=\"" + Num(Twips(page.bottomMargin)) +
         "\" w:left=\"" + Num(Twips(page.leftMargin)) + "\" w:header=\"" +
         Num(Twips(page.headerDistance)) + "\" w:footer=\"" + Num(Twips(page.footerDistance)) +
         "\" w:gutter=\"0\"/>";
  kept.upTo("pgNumType");
  if (page.firstPageNumber || !page.kept.pageNumberAttributes.empty()) {
    out += "<w:pgNumType";
    if (page.firstPageNumber) out += " w:start=\"" + Num(*page.firstPageNumber) + "\"";
    out += page.kept.pageNumberAttributes + "/>";
  }
  kept.upTo("cols");
  out += ColumnsXml(page.columns);
  kept.upTo("titlePg");
  if (section.stories.titlePage) out += "<w:titlePg/>";
  kept.upTo("");
}

}  // namespace wordproc::ooxml::write
