// The package around the text: content types, relationships, the main part, the theme's colours
// and fonts, and the styles paragraphs and runs inherit from.
#include "wordproc/core/OoxmlReadContext.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace wordproc::ooxml::reader {

namespace {

constexpr int kMaxStyleChain = 16;

}  // namespace

void ReadContext::Parse(const std::string& partName, package::XmlPart& part) {
  part.text = zip_.Read(partName);
  package::ParseXml(zip_, partName, part);
  if (onPart_) onPart_(partName);
}

std::unique_ptr<Document> ReadContext::Read() {
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
  ReadSettings();
  ReadNumbering();

  package::XmlPart part;
  Parse(mainPart, part);
  const xml_node root = part.doc.document_element();
  if (!Is(root, "document")) {
    zip_.Fail("часть \"" + mainPart + "\" не является документом WordprocessingML");
  }
  KeepRootNamespaces(root);
  ReadBackground(Child(root, "background"));
  const xml_node body = Child(root, "body");
  ReadPageSetup(body);
  ReadBlocks(body, true, doc_->paragraphs);
  EndPendingControls(doc_->paragraphs);
  // Markers after the last paragraph end it.
  for (std::string& xml : pendingRaw_) {
    if (doc_->paragraphs.empty()) break;
    doc_->paragraphs.back().runs.push_back({std::string(), doc_->paragraphs.back().markFormat,
                                            std::make_shared<const std::string>(std::move(xml))});
    ++rawKept_;
  }
  pendingRaw_.clear();
  if (doc_->numbering) NumberParagraphs(doc_->paragraphs, *doc_->numbering);
  ReadNotes(false);
  ReadNotes(true);
  // The last section is the document's own: a last paragraph that ends it ends nothing more.
  if (!doc_->paragraphs.empty()) doc_->paragraphs.back().sectionEnd.reset();
  InheritStories();
  if (doc_->paragraphs.empty()) {
    Paragraph empty;
    empty.id = doc_->newParagraphId();
    empty.markFormat = baseRun_;
    doc_->paragraphs.push_back(std::move(empty));
  }
  PlaceShapes();
  KeepUnread(mainPart);
  return std::move(doc_);
}

// Of the settings, whether even pages have headers and footers of their own, the notes'
// numbering, the default tab stops and which version's layout the file asks for.
void ReadContext::ReadSettings() {
  const std::string* name = PartOfType("/settings");
  if (!name) return;
  // Parsing in place changes the text: what is kept for saving is read on its own.
  settingsXml_ = zip_.Read(*name);
  package::XmlPart part;
  Parse(*name, part);
  const xml_node settings = part.doc.document_element();
  for (xml_node c : Child(settings, "compat").children())
    if (Is(c, "compatSetting") && Value(c, "name") == "compatibilityMode")
      compatibilityMode_ = static_cast<int>(Clamp(Number(Value(c, "val"), 12), 0, 99, 12));
  if (xml_node even = Child(settings, "evenAndOddHeaders")) doc_->evenAndOddHeaders = OnOff(even);
  ApplyNoteNumbering(Child(settings, "footnotePr"), footnoteNumbering_);
  ApplyNoteNumbering(Child(settings, "endnotePr"), endnoteNumbering_);
  // Stops closer than a tenth of a point would leave a tab no room to advance.
  if (auto tab = TwipsValue(Child(settings, "defaultTabStop"), "val"); tab && *tab >= 0.1)
    defaultTab_ = static_cast<float>(std::min(*tab, double(kMaxLengthPt)));
}

void ReadContext::ReadNumbering() {
  const std::string* name = PartOfType("/numbering");
  if (!name) return;
  // Parsing in place changes the text: the definitions are read from a copy of their own.
  const std::string text = zip_.Read(*name);
  if (onPart_) onPart_(*name);
  doc_->numbering = std::make_shared<Numbering>(wordproc::ReadNumbering(text));
}

void ReadContext::ApplyList(xml_node pPr, Paragraph& p) const {
  p.tabs.interval = defaultTab_;
  const ListLevel* level =
      doc_->numbering ? doc_->numbering->level(p.list.numId, p.list.level) : nullptr;
  if (!level) {
    p.list = ListItem();
    return;
  }
  if (level->indents) p.indents = IndentsOf(Child(pPr, "ind"), *level->indents);
  p.list.format = p.markFormat;
  // Symbol fonts place their bullets where other fonts have none; the bullet is drawn as the
  // Unicode character in the paragraph's font instead.
  const bool symbol = level->font == "Symbol" || level->font.rfind("Wingdings", 0) == 0;
  if (!level->font.empty() && !symbol) p.list.format.fontFamily = level->font;
}

void ReadContext::ReadContentTypes() {
  if (!zip_.Has("[Content_Types].xml")) {
    zip_.Fail("в пакете нет части [Content_Types].xml; это не документ OOXML");
  }
  package::XmlPart part;
  Parse("[Content_Types].xml", part);
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

std::string ReadContext::ContentTypeOf(const std::string& partName) const {
  const auto found = overrides_.find(package::AsciiLower(partName));
  if (found != overrides_.end()) return found->second;
  const std::size_t dot = partName.rfind('.');
  if (dot != std::string::npos) {
    const auto byExtension = defaults_.find(Lower(partName.substr(dot + 1)));
    if (byExtension != defaults_.end()) return byExtension->second;
  }
  return std::string();
}

std::string ReadContext::ResolveTarget(const std::string& folder, std::string_view target) {
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

std::string ReadContext::FindMainPart() {
  if (zip_.Has("_rels/.rels")) {
    package::XmlPart part;
    Parse("_rels/.rels", part);
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

void ReadContext::ReadRelationships(const std::string& relsPart) {
  if (!zip_.Has(relsPart)) return;
  package::XmlPart part;
  Parse(relsPart, part);
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

const std::string* ReadContext::PartOfType(std::string_view suffix) const {
  for (const auto& [id, rel] : relationships_) {
    if (!rel.external && rel.type.size() >= suffix.size() &&
        std::string_view(rel.type).substr(rel.type.size() - suffix.size()) == suffix &&
        zip_.Has(rel.target)) {
      return &rel.target;
    }
  }
  return nullptr;
}

// A theme only lends colours and fonts: a damaged one leaves the defaults, as other word
// processors do, rather than the whole document unread.
void ReadContext::ReadTheme() {
  try {
    ReadThemePart();
  } catch (const FormatError&) {
    theme_ = Theme{};
    themeFills_ = themeBackgroundFills_ = themeLines_ = themeEffects_ = xml_node();
  }
}

void ReadContext::ReadThemePart() {
  const std::string* name = PartOfType("/theme");
  if (!name) return;
  Parse(*name, themePart_);
  const xml_node elements = Child(themePart_.doc.document_element(), "themeElements");
  static const char* kSlots[] = {"dk1",     "lt1",     "dk2",     "lt2",     "accent1", "accent2",
                                 "accent3", "accent4", "accent5", "accent6", "hlink",   "folHlink"};
  if (xml_node scheme = Child(elements, "clrScheme")) {
    for (int i = 0; i < 12; ++i) {
      if (xml_node slot = Child(scheme, kSlots[i])) {
        if (auto color = ColorOf(slot, std::nullopt)) theme_.colors[i] = color->rgb;
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
  ReadThemeFormats(elements);
}

std::optional<ReadColor> ReadContext::SchemeColor(std::string_view name,
                                                  std::optional<ReadColor> placeholder) const {
  static const std::pair<const char*, int> kNames[] = {
      {"dk1", 0},     {"tx1", 0},     {"lt1", 1},     {"bg1", 1},
      {"dk2", 2},     {"tx2", 2},     {"lt2", 3},     {"bg2", 3},
      {"accent1", 4}, {"accent2", 5}, {"accent3", 6}, {"accent4", 7},
      {"accent5", 8}, {"accent6", 9}, {"hlink", 10},  {"folHlink", 11}};
  if (name == "phClr") return placeholder;
  for (const auto& [n, index] : kNames) {
    if (name == n) return ReadColor{theme_.colors[index], 1};
  }
  return std::nullopt;
}

void ReadContext::ReadStyles() {
  baseRun_.fontFamily = "Times New Roman";  // what a word processor assumes without styles
  baseRun_.fontSize = 10;
  const std::string* name = PartOfType("/styles");
  if (!name) return;
  stylesXml_ = zip_.Read(*name);  // parsing in place changes the text
  Parse(*name, stylesPart_);
  const xml_node root = stylesPart_.doc.document_element();
  if (xml_node defaults = Child(root, "docDefaults")) {
    runDefaults_ = Child(Child(defaults, "rPrDefault"), "rPr");
    ApplyRunProperties(runDefaults_, baseRun_);
    defaultParagraphProperties_ = Child(Child(defaults, "pPrDefault"), "pPr");
  }
  for (xml_node style : root.children()) {
    if (!Is(style, "style")) continue;
    // Some writers leave the id out; paragraphs then name the style by its name, and both
    // LibreOffice and the word processor find it so.
    std::string id(Value(style, "styleId"));
    if (id.empty()) id = Value(Child(style, "name"), "val");
    styles_.emplace(id, style);
    const std::string_view isDefault = Value(style, "default");
    if (isDefault == "1" || isDefault == "true" || isDefault == "on") {
      if (Value(style, "type") == "paragraph") defaultParagraphStyle_ = id;
      if (Value(style, "type") == "table") defaultTableStyle_ = id;
    }
  }
}

const std::vector<xml_node>& ReadContext::StyleChain(const std::string& id,
                                                     const char* properties) {
  const std::string key = std::string(properties) + ':' + id;
  const auto cached = styleChains_.find(key);
  if (cached != styleChains_.end()) return cached->second;
  std::vector<xml_node> chain;
  std::string current = id;
  for (int i = 0; i < kMaxStyleChain && !current.empty(); ++i) {
    const auto found = styles_.find(current);
    if (found == styles_.end()) break;
    if (xml_node p = Child(found->second, properties)) chain.push_back(p);
    current = std::string(Value(Child(found->second, "basedOn"), "val"));
  }
  std::reverse(chain.begin(), chain.end());
  return styleChains_.emplace(key, std::move(chain)).first->second;
}

void ReadContext::ApplyRunProperties(xml_node rPr, RunFormat& format) const {
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

namespace {

constexpr float kAutoSpacing = 14.0f;

bool OnOffValue(std::string_view v) {
  return v == "1" || v == "true" || v == "on";
}

// w:line counts 240ths of single spacing under the rule "auto" (or none), twips otherwise.
void ApplyLineSpacing(xml_node spacing, Paragraph& p) {
  const auto line = ParseLength(Value(spacing, "line"), 1);
  if (!line) return;
  const std::string_view rule = Value(spacing, "lineRule");
  if (rule == "exact" || rule == "atLeast") {
    p.lineRule = rule == "exact" ? LineRule::Exact : LineRule::AtLeast;
    p.line = static_cast<float>(Clamp(std::fabs(*line) / 20, 0, 1584));
  } else {
    p.lineRule = LineRule::Auto;
    p.line = static_cast<float>(Clamp(*line / 240, 0.06, 132, 1));
  }
}

// Tab stops of a style and of the paragraph add up; "clear" takes away a stop given before.
void ApplyTabs(xml_node tabs, TabStops& out) {
  for (xml_node tab : tabs.children()) {
    if (!Is(tab, "tab") || out.stops.size() >= 64) continue;
    const auto pos = TwipsValue(tab, "pos");
    if (!pos) continue;
    const auto position = static_cast<float>(Clamp(*pos, -kMaxLengthPt, kMaxLengthPt));
    std::erase_if(out.stops,
                  [&](const TabStop& s) { return std::fabs(s.position - position) < 0.05f; });
    const std::string_view v = Value(tab, "val");
    if (v == "clear") continue;
    TabStop stop{position, TabAlign::Left};
    if (v == "center") stop.align = TabAlign::Center;
    if (v == "right" || v == "end") stop.align = TabAlign::Right;
    if (v == "decimal") stop.align = TabAlign::Decimal;
    out.stops.push_back(stop);
  }
  std::sort(out.stops.begin(), out.stops.end(),
            [](const TabStop& a, const TabStop& b) { return a.position < b.position; });
}

}  // namespace

void ReadContext::ApplyParagraphProperties(xml_node pPr, Paragraph& p) {
  if (!pPr) return;
  if (xml_node spacing = Child(pPr, "spacing")) {
    if (auto before = TwipsValue(spacing, "before")) {
      p.spaceBefore = static_cast<float>(Clamp(*before, 0, kMaxLengthPt));
    }
    if (auto after = TwipsValue(spacing, "after")) {
      p.spaceAfter = static_cast<float>(Clamp(*after, 0, kMaxLengthPt));
    }
    // Spacing "auto", as pasted web pages have it: the word processor sets 14 points.
    if (OnOffValue(Value(spacing, "beforeAutospacing"))) p.spaceBefore = kAutoSpacing;
    if (OnOffValue(Value(spacing, "afterAutospacing"))) p.spaceAfter = kAutoSpacing;
    ApplyLineSpacing(spacing, p);
  }
  if (xml_node breakBefore = Child(pPr, "pageBreakBefore")) p.pageBreakBefore = OnOff(breakBefore);
  if (xml_node keep = Child(pPr, "keepNext")) p.keepNext = OnOff(keep);
  if (xml_node keep = Child(pPr, "keepLines")) p.keepLines = OnOff(keep);
  if (xml_node widow = Child(pPr, "widowControl")) p.widowControl = OnOff(widow);
  if (xml_node bidi = Child(pPr, "bidi")) p.bidi = OnOff(bidi);
  if (xml_node ind = Child(pPr, "ind")) p.indents = IndentsOf(ind, p.indents);
  if (xml_node numPr = Child(pPr, "numPr")) {
    if (xml_node id = Child(numPr, "numId"))
      p.list.numId = static_cast<int>(Clamp(Number(Value(id, "val")), 0, 1e9));
    if (xml_node level = Child(numPr, "ilvl"))
      p.list.level = static_cast<int>(Clamp(Number(Value(level, "val")), 0, kListLevels - 1));
  }
  if (xml_node tabs = Child(pPr, "tabs")) ApplyTabs(tabs, p.tabs);
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

}  // namespace wordproc::ooxml::reader
