// The text: page set-up, paragraphs (content controls flattened), runs and the
// pictures they refer to, charged against the package's limits as they grow.
#include "wordproc/core/Fields.h"
#include "wordproc/core/OoxmlReadContext.h"
#include "wordproc/core/OoxmlWriteXml.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <utility>
#include <vector>

namespace wordproc::ooxml::reader {

namespace {

SectionStart StartOf(xml_node sectPr) {
  const std::string_view type = Value(Child(sectPr, "type"), "val");
  if (type == "continuous") return SectionStart::Continuous;
  if (type == "oddPage") return SectionStart::OddPage;
  if (type == "evenPage") return SectionStart::EvenPage;
  return SectionStart::NextPage;
}

bool OnOffAttribute(xml_node node, std::string_view name, bool fallback) {
  if (!AttrOf(node, name)) return fallback;
  const std::string_view v = Value(node, name);
  return !(v == "0" || v == "false" || v == "off");
}

// The word processors take at most 45 columns; a file asking for more gets as many.
constexpr int kMaxColumns = 45;

TextColumns ColumnsOf(xml_node cols) {
  TextColumns columns;
  if (!cols) return columns;
  const double num = Number(Value(cols, "num"), 1);
  columns.count = std::isfinite(num) ? int(std::clamp(num, 1.0, double(kMaxColumns))) : 1;
  if (auto space = TwipsValue(cols, "space"); space && *space >= 0)
    columns.space = static_cast<float>(std::min(*space, 1584.0));
  columns.separator = OnOffAttribute(cols, "sep", false);
  if (OnOffAttribute(cols, "equalWidth", true)) return columns;
  ForEachChild(cols, [&](xml_node col) {
    if (!Is(col, "col") || columns.widths.size() >= std::size_t(kMaxColumns)) return false;
    TextColumn column;
    if (auto w = TwipsValue(col, "w"); w && *w > 0) column.width = static_cast<float>(*w);
    if (auto space = TwipsValue(col, "space"); space && *space >= 0)
      column.space = static_cast<float>(std::min(*space, 1584.0));
    columns.widths.push_back(column);
    return false;
  });
  if (columns.widths.empty()) return columns;
  columns.count = int(columns.widths.size());
  return columns;
}

bool WordNamesOnly(xml_node node) {
  auto word = [](std::string_view name) {
    return name.starts_with("w:") || name.starts_with("xml:");
  };
  if (!word(node.name())) return false;
  for (pugi::xml_attribute a : node.attributes())
    if (!word(a.name())) return false;
  for (xml_node c : node.children())
    if (c.type() == pugi::node_element && !WordNamesOnly(c)) return false;
  return true;
}

// w:char gives the character's code in hexadecimal digits, "F0FE" or "FE".
SymbolPtr SymbolOf(xml_node sym) {
  const std::string_view digits = Value(sym, "char");
  char32_t code = 0;
  if (digits.empty() || digits.size() > 4) return nullptr;
  for (const char c : digits) {
    const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                      : std::isxdigit(static_cast<unsigned char>(c))
                          ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                          : -1;
    if (digit < 0) return nullptr;
    code = code * 16 + char32_t(digit);
  }
  if (code < 0x20) return nullptr;
  return std::make_shared<const SymbolChar>(SymbolChar{std::string(Value(sym, "font")), code});
}

// w:checked, where given, is the box's state; w:default the state it has until then. The size
// is in half-points, at most a line's worth of the largest text.
std::optional<FormCheckBox> CheckBoxOf(xml_node ffData) {
  const xml_node box = Child(ffData, "checkBox");
  if (!box) return std::nullopt;
  FormCheckBox checkBox;
  const xml_node checked = Child(box, "checked");
  checkBox.checked =
      checked ? OnOff(checked) : Child(box, "default") && OnOff(Child(box, "default"));
  if (!Child(box, "sizeAuto")) {
    const double size = ParseNumber(Value(Child(box, "size"), "val")).value_or(0) / 2;
    if (std::isfinite(size) && size > 0) checkBox.size = float(std::min(size, 1638.0));
  }
  return checkBox;
}

}  // namespace

namespace {

// Children the model does not hold. One that names a relationship (printer settings) is left
// out: the part it names is not kept with it.
KeptSectionXml KeptSectionChildren(xml_node sectPr) {
  static constexpr std::string_view kModelled[] = {
      "headerReference", "footerReference", "type", "pgSz", "pgMar", "cols",
      "titlePg",         "pgNumType"};
  KeptSectionXml kept;
  std::vector<KeptSectionXml::Element> elements;
  for (xml_node c = sectPr.first_child(); c; c = c.next_sibling()) {
    if (c.type() != pugi::node_element) continue;
    const std::string_view name = Local(c.name());
    if (name == "pgNumType") {
      for (xml_attribute a : c.attributes()) {
        if (Local(a.name()) == "start") continue;
        kept.pageNumberAttributes += std::string(" ") + a.name() + "=\"";
        write::Escape(kept.pageNumberAttributes, a.value(), true);
        kept.pageNumberAttributes += "\"";
      }
    }
    if (std::find(std::begin(kModelled), std::end(kModelled), name) != std::end(kModelled))
      continue;
    const std::string xml = NodeXml(c);
    if (xml.find(" r:") != std::string::npos) continue;
    elements.push_back({SectionElementRank(name), xml});
  }
  std::stable_sort(elements.begin(), elements.end(),
                   [](const auto& a, const auto& b) { return a.rank < b.rank; });
  if (!elements.empty())
    kept.elements =
        std::make_shared<const std::vector<KeptSectionXml::Element>>(std::move(elements));
  return kept;
}

}  // namespace

// What the sectPr says of the pages, over the defaults of a document without one.
Section ReadContext::SectionOf(xml_node sectPr) {
  Section section;
  section.start = StartOf(sectPr);
  ReadStories(sectPr, section.stories);
  PageSetup& page = section.setup;
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
    margin("header", page.headerDistance);
    margin("footer", page.footerDistance);
  }
  page.columns = ColumnsOf(Child(sectPr, "cols"));
  if (auto start = ParseLength(Value(Child(sectPr, "pgNumType"), "start"), 1))
    page.firstPageNumber = static_cast<int>(Clamp(*start, 0, 1e6));
  page.kept = KeptSectionChildren(sectPr);
  if (Value(Child(Child(sectPr, "endnotePr"), "pos"), "val") == "sectEnd") sectionEndnotes_ = true;
  page.topMargin = std::min(page.topMargin, page.pageHeight);
  page.bottomMargin = std::min(page.bottomMargin, page.pageHeight);
  page.leftMargin = std::min(page.leftMargin, page.pageWidth);
  page.rightMargin = std::min(page.rightMargin, page.pageWidth);
  return section;
}

void ReadContext::ReadStories(xml_node sectPr, PageStories& stories) {
  if (xml_node title = Child(sectPr, "titlePg")) stories.titlePage = OnOff(title);
  ForEachChild(sectPr, [&](xml_node c) {
    const bool header = Is(c, "headerReference");
    if (!header && !Is(c, "footerReference")) return false;
    const std::string_view type = Value(c, "type");
    const int kind = type == "first" ? 1 : type == "even" ? 2 : 0;
    (header ? stories.headers : stories.footers)[kind] = ReadStory(Value(c, "id"));
    return false;
  });
}

// A header or footer part, read once however many sections show it. Its pictures are found
// through its own relationships.
HeaderFooterPtr ReadContext::ReadStory(std::string_view relId) {
  const auto rel = relationships_.find(std::string(relId));
  if (rel == relationships_.end() || rel->second.external || !zip_.Has(rel->second.target))
    return nullptr;
  const std::string partName = rel->second.target;
  const std::string key = package::AsciiLower(partName);
  if (auto known = stories_.find(key); known != stories_.end()) return known->second;
  stories_[key] = nullptr;  // a part that names itself again reads as none
  package::XmlPart part;
  Parse(partName, part);
  auto story = std::make_shared<HeaderFooter>();
  story->part = partName;
  storyPart_ = partName;
  auto documentRelationships = std::move(relationships_);
  relationships_.clear();
  ReadRelationships(RelationshipsPartOf(partName));
  storyTables_ = storyShapes_ = true;
  const std::size_t bodyShapes = pending_.size();
  // The body's kept pieces waiting for its next paragraph wait on.
  auto bodyControls = std::exchange(pendingControls_, {});
  auto bodyRaw = std::exchange(pendingRaw_, {});
  ReadBlocks(part.doc.document_element(), false, story->paragraphs);
  EndPendingControls(story->paragraphs);
  pendingControls_ = std::move(bodyControls);
  pendingRaw_ = std::move(bodyRaw);
  if (doc_->numbering) NumberParagraphs(story->paragraphs, *doc_->numbering);
  storyTables_ = storyShapes_ = false;
  storyPart_.clear();
  // Its floating shapes stay with it, not among the body's.
  for (std::size_t k = bodyShapes; k < pending_.size(); ++k)
    story->shapes.push_back({std::move(pending_[k].shape), pending_[k].paragraph});
  pending_.resize(bodyShapes);
  relationships_ = std::move(documentRelationships);
  // Another part may be parsed where this one was.
  partNamespaces_.erase(part.doc.internal_object());
  stories_[key] = story;
  return story;
}

// A section shows the headers and footers of the one before where it names none of a kind.
void ReadContext::InheritStories() {
  const PageStories* before = nullptr;
  auto inherit = [&](PageStories& stories) {
    for (int kind = 0; before && kind < 3; ++kind) {
      if (!stories.headers[kind]) stories.headers[kind] = before->headers[kind];
      if (!stories.footers[kind]) stories.footers[kind] = before->footers[kind];
    }
    before = &stories;
  };
  for (Paragraph& p : doc_->paragraphs)
    if (p.sectionEnd) inherit(p.sectionEnd->stories);
  inherit(doc_->lastStories);
}

// The page colour. A fill that names a picture is left out: its part is not kept with it.
void ReadContext::ReadBackground(xml_node background) {
  if (!background) return;
  doc_->pageColor = ParseHexColor(Value(background, "color"));
  std::string xml = NodeXml(background);
  if (xml.find(" r:") == std::string::npos)
    doc_->backgroundXml = std::make_shared<const std::string>(std::move(xml));
}

void ReadContext::ReadPageSetup(xml_node body) {
  // The body's own sectPr describes the last section; without it, the last paragraph that
  // ends a section does.
  xml_node sectPr;
  for (xml_node c = body.last_child(); c && !sectPr; c = c.previous_sibling()) {
    if (Is(c, "sectPr")) sectPr = c;
  }
  for (xml_node c = body.last_child(); c && !sectPr; c = c.previous_sibling()) {
    if (Is(c, "p")) sectPr = Child(Child(c, "pPr"), "sectPr");
  }
  const Section last = SectionOf(sectPr);
  lastSectionProperties_ = sectPr;
  doc_->pageSetup = last.setup;
  doc_->lastSectionStart = last.start;
  doc_->lastStories = last.stories;
}

void ReadContext::ReadTextBoxBlocks(xml_node content, std::vector<Paragraph>& out) {
  const bool story = storyShapes_;
  storyShapes_ = false;
  ReadBlocks(content, false, out);
  if (doc_->numbering) NumberParagraphs(out, *doc_->numbering);
  storyShapes_ = story;
}

void ReadContext::ReadBlocks(xml_node container, bool body, std::vector<Paragraph>& out) {
  ForEachChild(container, [&](xml_node c) {
    const std::string_view name = Local(c.name());
    if (name == "p") {
      Paragraph para = ReadParagraph(c, body);
      ApplyContextualSpacing(out, para);
      out.push_back(std::move(para));
    } else if (name == "tbl") {
      if (body || storyTables_)
        ReadTable(c, body, out);
      else
        ForEachRowCell(c, [&](xml_node tc) { ReadBlocks(tc, false, out); });
    } else if (name == "sdt" && Keeps(body)) {
      ReadBlockControl(c, body, out);
    } else if (name == "sdt") {
      ReadBlocks(Child(c, "sdtContent"), body, out);
    } else if (name == "customXml" || name == "ins" || name == "moveTo") {
      ReadBlocks(c, body, out);
    } else if (Keeps(body) && KeptMarker(name)) {
      pendingRaw_.push_back(NodeXml(c));
    }
    return false;
  });
}

// Paragraphs of one style that say so leave out their spacing between each other (lists,
// addresses). Read here once: written back, the spacing they keep paginates alike elsewhere.
void ReadContext::ApplyContextualSpacing(std::vector<Paragraph>& out, Paragraph& next) {
  const bool adjacent = !out.empty() && out.back().id == previous_.id &&
                        out.back().cells == next.cells && previous_.style == read_.style;
  if (adjacent && previous_.contextual) out.back().spaceAfter = 0;
  if (adjacent && read_.contextual) next.spaceBefore = 0;
  previous_ = read_;
}

// Fields nested in a field's instruction are kept as the runs they came in; those nested in
// its result leave their results there.
void ReadContext::FollowField(xml_node c, const RunFormat& format, Flow& flow) {
  if (Local(c.name()) == "instrText") {
    if (flow.inCode) flow.instruction += TextOf(c);
    return;
  }
  const std::string_view type = Value(c, "fldCharType");
  if (type == "begin") {
    if (++flow.fieldDepth > 1) {
      flow.nested = flow.nested || flow.inCode;
      return;
    }
    flow.inCode = true;
    flow.nested = flow.nestedLost = false;
    flow.instruction.clear();
    flow.nestedXml.clear();
    const xml_node ffData = Child(c, "ffData");
    flow.formData = ffData && WordNamesOnly(ffData) ? NodeXml(ffData) : std::string();
    flow.checkBox = CheckBoxOf(ffData);
  } else if (type == "separate" && flow.fieldDepth == 1 && flow.inCode) {
    StartFieldResult(flow, std::move(flow.instruction), false);
  } else if (type == "end" && flow.fieldDepth > 0 && --flow.fieldDepth == 0) {
    if (flow.inCode) StartFieldResult(flow, std::move(flow.instruction), false);
    EndFieldResult(flow, format);
  }
}

void ReadContext::StartFieldResult(Flow& flow, std::string instruction, bool simple) {
  CountText(instruction.size() + flow.nestedXml.size());
  flow.inCode = false;
  // Headers and footers draw their page numbers anew on every page.
  if (storyTables_) flow.field = PageFieldOf(instruction);
  auto code = std::make_shared<FieldCode>();
  code->instruction = std::move(instruction);
  code->simple = simple;
  if (flow.nested && !flow.nestedLost) code->nestedXml = std::move(flow.nestedXml);
  flow.nestedXml.clear();
  if (ParseFieldInstruction(code->instruction).name == "FORMCHECKBOX")
    code->checkBox = flow.checkBox;
  code->formData = std::move(flow.formData);
  flow.formData.clear();
  flow.checkBox.reset();
  flow.code = std::move(code);
}

void ReadContext::EndFieldResult(Flow& flow, const RunFormat& format) {
  std::vector<Run>& runs = flow.paragraph->runs;
  if (flow.code && (runs.empty() || runs.back().format.fieldCode != flow.code)) {
    Run run{std::string(), format};
    run.format.field = flow.field;
    run.format.fieldCode = flow.code;
    ChargeModel(2 * sizeof(Run));
    runs.push_back(std::move(run));
  }
  flow.code = nullptr;
  flow.field = PageField::None;
}

PageField PageFieldOf(std::string_view instruction) {
  const std::size_t begin = instruction.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return PageField::None;
  const std::size_t end = instruction.find_first_of(" \t\\", begin);
  std::string name(instruction.substr(begin, end - begin));
  for (char& ch : name) ch = char(std::toupper(static_cast<unsigned char>(ch)));
  if (name == "PAGE") return PageField::Page;
  if (name == "NUMPAGES" || name == "SECTIONPAGES") return PageField::NumPages;
  return PageField::None;
}

void ReadContext::CountParagraph() {
  const std::uint32_t most = zip_.Limits().maxParagraphs;
  if (++paragraphs_ > most) {
    zip_.Fail("в документе больше " + std::to_string(most) +
              " абзацев; он повреждён или слишком велик");
  }
  ChargeModel(2 * sizeof(Paragraph));
}

void ReadContext::CountText(std::size_t bytes) {
  const std::uint64_t most = zip_.Limits().maxTextBytes;
  textBytes_ += bytes;
  if (textBytes_ > most) {
    zip_.Fail("текст документа больше " + std::to_string(most) +
              " байт; документ повреждён или слишком велик");
  }
  ChargeModel(bytes);
}

std::unique_ptr<Shape> ReadContext::NewShape() {
  ChargeModel(sizeof(Shape) + sizeof(AnchoredShape));
  return std::make_unique<Shape>();
}

Paragraph ReadContext::ReadParagraph(xml_node p, bool body) {
  CountParagraph();
  Paragraph para;
  para.id = doc_->newParagraphId();
  const xml_node pPr = Child(p, "pPr");
  std::string styleId(Value(Child(pPr, "pStyle"), "val"));
  para.style = styleId;
  if (styleId.empty()) styleId = defaultParagraphStyle_;
  Flow flow;
  flow.paragraph = &para;
  flow.body = body || storyShapes_;  // where floating shapes may stand
  flow.paragraphRun = baseRun_;
  // Table styles stand between the document's defaults and the paragraph's style.
  const bool inTable = (body || storyTables_) && !cells_.empty();
  if (inTable) {
    para.cells = cells_;
    ChargeModel(cells_.size() * sizeof(CellRef));
    for (xml_node rPr : tableStyle_.run) ApplyRunProperties(rPr, flow.paragraphRun);
  }
  for (xml_node rPr : StyleChain(styleId, "rPr")) ApplyRunProperties(rPr, flow.paragraphRun);
  ApplyParagraphProperties(defaultParagraphProperties_, para);
  if (inTable) {
    for (xml_node pPr : tableStyle_.paragraph) ApplyParagraphProperties(pPr, para);
  }
  for (xml_node props : StyleChain(styleId, "pPr")) ApplyParagraphProperties(props, para);
  ApplyParagraphProperties(pPr, para);
  read_ = {para.id, styleId, false};
  auto contextual = [&](xml_node props) {
    if (xml_node c = Child(props, "contextualSpacing")) read_.contextual = OnOff(c);
  };
  contextual(defaultParagraphProperties_);
  if (inTable)
    std::for_each(tableStyle_.paragraph.begin(), tableStyle_.paragraph.end(), contextual);
  for (xml_node props : StyleChain(styleId, "pPr")) contextual(props);
  contextual(pPr);
  KeepStyleProperties(pPr, styleId, inTable, para, flow.paragraphRun);
  para.markFormat = flow.paragraphRun;
  ApplyRunProperties(Child(pPr, "rPr"), para.markFormat);
  para.markFormat.kept = KeepProperties(
      {flow.paragraphRun.kept.list, UnreadProperties(Child(pPr, "rPr"), PropertyKind::Mark, false)},
      PropertyKind::Mark);
  if (xml_node vanish = Child(Child(pPr, "rPr"), "vanish")) para.hiddenMark = OnOff(vanish);
  ApplyList(pPr, para);
  // Only body paragraphs end sections; the body's own sectPr is the last section.
  if (xml_node sectPr = Child(pPr, "sectPr"); sectPr && body) {
    para.sectionEnd = SectionOf(sectPr);
    sectionProperties_[para.id] = sectPr;
  }
  flow.keepRaw = Keeps(body);
  if (Keeps(body)) {
    for (std::string& xml : pendingRaw_) KeepRaw(flow, flow.paragraphRun, std::move(xml));
    pendingRaw_.clear();
    para.opens = std::move(pendingControls_);
    pendingControls_.clear();
  }
  ReadInlineContent(p, flow);
  return para;
}

void ReadContext::ReadInlineContent(xml_node container, Flow& flow) {
  ForEachChild(container, [&](xml_node c) {
    const std::string_view name = Local(c.name());
    if (name == "r") {
      ReadRun(c, flow);
    } else if (name == "fldSimple" && !flow.code && !flow.inCode) {
      StartFieldResult(flow, std::string(Value(c, "instr")), true);
      ReadInlineContent(c, flow);
      EndFieldResult(flow, flow.paragraphRun);
    } else if (flow.keepRaw && (name == "hyperlink" || name == "smartTag")) {
      ReadWrapped(c, c, flow);
    } else if (flow.keepRaw && name == "sdt" && Child(c, "sdtContent")) {
      ReadWrapped(c, Child(c, "sdtContent"), flow);
    } else if (name == "hyperlink" || name == "smartTag" || name == "customXml" || name == "ins" ||
               name == "moveTo" || name == "fldSimple" || name == "dir" || name == "bdo") {
      ReadInlineContent(c, flow);
    } else if (name == "sdt") {
      ReadInlineContent(Child(c, "sdtContent"), flow);
    } else if (flow.keepRaw && KeptInline(name)) {
      KeepRaw(flow, flow.paragraphRun, NodeXml(c));
    }
    return false;
  });
}

void ReadContext::AppendText(Flow& flow, const RunFormat& format, const std::string& text) {
  if (text.empty()) return;
  CountText(text.size());
  std::vector<Run>& runs = flow.paragraph->runs;
  if (!runs.empty() && flow.picturesAt != runs.size() && runs.back().format == format) {
    runs.back().text += text;
    return;
  }
  ChargeModel(2 * sizeof(Run) + format.fontFamily.size() + format.style.size());
  runs.push_back(Run{text, format});
}

void ReadContext::AddSymbol(Flow& flow, const RunFormat& format, SymbolPtr symbol) {
  if (!symbol) return;
  ChargeModel(2 * sizeof(Run));
  std::vector<Run>& runs = flow.paragraph->runs;
  Run run{std::string(), format};
  run.symbol = std::move(symbol);
  runs.push_back(std::move(run));
  flow.picturesAt = runs.size();
}

void ReadContext::ReadRun(xml_node r, Flow& flow) {
  RunFormat format = flow.paragraphRun;
  const xml_node rPr = Child(r, "rPr");
  const std::string charStyle(Value(Child(rPr, "rStyle"), "val"));
  std::vector<KeptList> kept;
  if (!charStyle.empty()) {
    for (xml_node props : StyleChain(charStyle, "rPr")) {
      ApplyRunProperties(props, format);
      kept.push_back(UnreadProperties(props, PropertyKind::Run, true));
    }
  }
  ApplyRunProperties(rPr, format);
  // Most runs have no properties of their own beyond their paragraph's.
  if (KeptList direct = UnreadProperties(rPr, PropertyKind::Run, false); direct || !kept.empty()) {
    kept.insert(kept.begin(), format.kept.list);
    kept.push_back(std::move(direct));
    format.kept = KeepProperties(kept, PropertyKind::Run);
  }
  format.style = charStyle;
  format.field = flow.field;
  format.fieldCode = flow.code;
  const bool startsInCode = flow.inCode;
  std::string text;
  ForEachChild(r, [&](xml_node c) {
    const std::string_view name = Local(c.name());
    if (name == "fldChar" || name == "instrText") {
      AppendText(flow, format, text);
      text.clear();
      FollowField(c, format, flow);
      format.field = flow.field;
      format.fieldCode = flow.code;
    } else if (flow.inCode) {
      // The results of fields nested in an instruction are in the runs kept with it.
    } else if (name == "t") {
      text += SanitizeXmlText(TextOf(c));
    } else if (name == "tab" || name == "ptab") {
      text += '\t';
    } else if (name == "br") {
      const std::string_view type = Value(c, "type");
      text += type == "page" ? '\f' : type == "column" ? kColumnBreak : '\v';
    } else if (name == "cr") {
      text += '\v';
    } else if (name == "noBreakHyphen") {
      text += "\xE2\x80\x91";
    } else if (name == "drawing" || name == "pict" || name == "object") {
      // An embedded object shows its stored picture, a VML shape like those of w:pict.
      AppendText(flow, format, text);
      text.clear();
      const std::size_t shapes = pending_.size();
      const std::size_t pictures = flow.paragraph->inlinePictures.size();
      if (name == "drawing")
        ReadDrawing(c, flow);
      else
        ReadPict(c, flow);
      // A drawing we do not model (a canvas) stays as it came; so do charts and SmartArt,
      // which we only draw.
      auto& inlines = flow.paragraph->inlinePictures;
      if (flow.keepRaw && shapes == pending_.size() && pictures == inlines.size())
        KeepRaw(flow, format, RunXml(r, c));
      else if (flow.keepRaw && pictures + 1 == inlines.size() && inlines.back().drawing)
        inlines.back().raw = KeptTextDrawing(r, c);
      else if (flow.keepRaw && shapes + 1 == pending_.size() && name == "drawing")
        KeepDrawing(*pending_.back().shape, r, c);
    } else if (flow.keepRaw && KeptInRun(name)) {
      AppendText(flow, format, text);
      text.clear();
      KeepRaw(flow, format, RunXml(r, c));
      if (name == "footnoteReference" || name == "endnoteReference")
        KeepNoteReference(c, flow, name == "endnoteReference");
      if (name == "sym") flow.paragraph->runs.back().symbol = SymbolOf(c);
    } else if (name == "sym") {
      // Drawn all the same where the element is not kept.
      AppendText(flow, format, text);
      text.clear();
      AddSymbol(flow, format, SymbolOf(c));
    } else if (name == "footnoteRef" || name == "endnoteRef") {
      AppendText(flow, format, text);
      text.clear();
      AddNoteMark(flow, format);
    }
    return false;
  });
  AppendText(flow, format, text);
  if (startsInCode && flow.inCode) {
    // Written back into a part that declares the namespaces we write, not the file's own.
    if (WordNamesOnly(r))
      flow.nestedXml += NodeXml(r);
    else
      flow.nestedLost = true;
  }
}

ImagePtr ReadContext::ImageFor(std::string_view relId, bool optional) {
  const auto rel = relationships_.find(std::string(relId));
  if (rel == relationships_.end() || rel->second.external) return nullptr;
  const std::string& partName = rel->second.target;
  const auto cached = images_.find(package::AsciiLower(partName));
  if (cached != images_.end()) return cached->second;
  if (!zip_.Has(partName)) {
    if (optional) return nullptr;
    zip_.Fail("в пакете нет части \"" + partName + "\" с рисунком");
  }
  const std::string bytes = zip_.Read(partName);
  const auto format = SniffImage(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  if (!format && optional) return nullptr;
  if (!format) zip_.Fail("часть \"" + partName + "\" не является изображением");
  ChargeModel(bytes.size());
  auto image = std::make_shared<Image>();
  image->contentType = format->contentType;
  image->extension = format->extension;
  image->bytes.assign(bytes.begin(), bytes.end());
  images_.emplace(package::AsciiLower(partName), image);
  return image;
}

namespace {

// The SVG a blip carries beside its pixels, for programs that draw it.
std::string_view SvgRelId(xml_node blip) {
  std::string_view id;
  ForEachChild(Child(blip, "extLst"), [&](xml_node ext) {
    if (Value(ext, "uri") != kSvgBlipUri) return false;
    id = Value(Child(ext, "svgBlip"), "embed");
    return !id.empty();
  });
  return id;
}

// a:srcRect counts thousandths of a percent; a crop beyond the whole picture is no crop.
PictureCrop CropOf(xml_node srcRect) {
  auto share = [&](const char* side) {
    const double value = ParseNumber(Value(srcRect, side)).value_or(0) / 100000;
    return float(std::isfinite(value) ? std::clamp(value, -10.0, 1.0) : 0);
  };
  PictureCrop crop{share("l"), share("t"), share("r"), share("b")};
  if (crop.left + crop.right >= 1 || crop.top + crop.bottom >= 1) return {};
  return crop;
}

}  // namespace

void ReadContext::ReadBlipFill(xml_node pic, Shape& shape) {
  const xml_node blipFill = Child(pic, "blipFill");
  const xml_node blip = Child(blipFill, "blip");
  const std::string_view embed = Value(blip, "embed");
  if (!embed.empty()) shape.image = ImageFor(embed);
  if (const std::string_view svg = SvgRelId(blip); !svg.empty()) {
    shape.svg = ImageFor(svg, true);
    if (shape.svg && shape.svg->extension != "svg") shape.svg = nullptr;
  }
  shape.crop = CropOf(Child(blipFill, "srcRect"));
}

}  // namespace wordproc::ooxml::reader
