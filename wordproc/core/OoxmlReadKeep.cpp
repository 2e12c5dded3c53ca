// What the model does not hold of a package: every part the writer does not make anew, kept
// with the relationships that lead to it so that saving puts it back as it came.
#include <algorithm>

#include "wordproc/core/OoxmlReadContext.h"

namespace wordproc::ooxml::reader {

std::string RelationshipsPartOf(const std::string& partName) {
  const std::size_t slash = partName.rfind('/');
  if (slash == std::string::npos) return "_rels/" + partName + ".rels";
  return partName.substr(0, slash + 1) + "_rels/" + partName.substr(slash + 1) + ".rels";
}

bool KeptMarker(std::string_view name) {
  return name == "bookmarkStart" || name == "bookmarkEnd" || name == "commentRangeStart" ||
         name == "commentRangeEnd" || name == "permStart" || name == "permEnd";
}

bool KeptInline(std::string_view name) {
  return KeptMarker(name) || name == "oMath" || name == "oMathPara";
}

bool KeptInRun(std::string_view name) {
  return name == "footnoteReference" || name == "endnoteReference" || name == "commentReference" ||
         name == "annotationRef" || name == "sym" || name == "ruby";
}

// Relationships to parts the writer makes are its own to write; the others keep their ids,
// which the kept parts and elements name them by.
std::vector<KeptRelationship> ReadContext::KeptRelationships(
    const std::string& relsPart, const std::string& folder, bool absolute,
    const std::unordered_set<std::string>& made) {
  std::vector<KeptRelationship> kept;
  if (!zip_.Has(relsPart)) return kept;
  package::XmlPart part;
  part.text = zip_.Read(relsPart);
  package::ParseXml(zip_, relsPart, part);
  for (xml_node rel : part.doc.document_element().children()) {
    if (!Is(rel, "Relationship") || Value(rel, "Id").empty()) continue;
    KeptRelationship r{std::string(Value(rel, "Id")), std::string(Value(rel, "Type")),
                       std::string(Value(rel, "Target")), Value(rel, "TargetMode") == "External",
                       std::string()};
    if (!r.external) {
      r.part = ResolveTarget(folder, r.target);
      if (made.count(package::AsciiLower(r.part))) continue;
      // The main part is written as word/document.xml: targets from another folder are given
      // from the package's root.
      if (absolute) r.target = "/" + r.part;
    }
    kept.push_back(std::move(r));
  }
  return kept;
}

void ReadContext::KeepUnread(const std::string& mainPart) {
  std::unordered_set<std::string> made = {"[content_types].xml", "_rels/.rels"};
  const auto makes = [&](const std::string& name, bool relationships) {
    made.insert(package::AsciiLower(name));
    if (relationships) made.insert(package::AsciiLower(RelationshipsPartOf(name)));
  };
  makes(mainPart, true);
  // The relationships of styles and settings stay, though ours no longer name them.
  for (const char* type : {"/styles", "/settings", "/numbering"})
    if (const std::string* name = PartOfType(type)) makes(*name, false);
  for (const auto& story : stories_) makes(story.first, true);

  auto kept = std::make_shared<KeptPackage>();
  kept->packageRelationships = KeptRelationships("_rels/.rels", "", false, made);
  kept->documentRelationships =
      KeptRelationships(RelationshipsPartOf(mainPart), mainFolder_, mainFolder_ != "word/", made);
  // A header's or footer's kept runs name its relationships, which go back into the part
  // written for it.
  for (const auto& [key, story] : stories_) {
    if (!story) continue;
    const std::string folder = story->part.substr(0, story->part.rfind('/') + 1);
    auto relationships =
        KeptRelationships(RelationshipsPartOf(story->part), folder, folder != "word/", made);
    if (!relationships.empty())
      kept->storyRelationships.emplace(story->part, std::move(relationships));
  }
  std::unordered_set<std::string> lost;
  for (const std::string& name : zip_.Names()) {
    const std::string lower = package::AsciiLower(name);
    if (made.count(lower)) continue;
    KeptPart part{name, ContentTypeOf(name), std::string(), nullptr};
    // A picture the model shows already holds the part's bytes.
    if (const auto image = images_.find(lower); image != images_.end()) {
      part.image = image->second;
    } else {
      // A damaged part the text does not need (a theme read as far as it could be) costs the
      // document nothing but itself.
      try {
        part.bytes = zip_.Read(name);
        ChargeModel(part.bytes.size());
      } catch (const FormatError&) {
        lost.insert(lower);
        continue;
      }
    }
    kept->parts.push_back(std::move(part));
  }
  std::vector<std::vector<KeptRelationship>*> lists = {&kept->packageRelationships,
                                                       &kept->documentRelationships};
  for (auto& [part, relationships] : kept->storyRelationships) lists.push_back(&relationships);
  for (auto* relationships : lists) {
    std::erase_if(*relationships, [&](const KeptRelationship& r) {
      return !r.external && lost.count(package::AsciiLower(r.part));
    });
  }
  kept->defaults.assign(defaults_.begin(), defaults_.end());
  std::sort(kept->defaults.begin(), kept->defaults.end());
  kept->namespaces = std::move(rootNamespaces_);
  kept->ignorable = std::move(ignorable_);
  kept->runDefaults = {UnreadProperties(runDefaults_, PropertyKind::Run, true)};
  kept->paragraphDefaults = {
      UnreadProperties(defaultParagraphProperties_, PropertyKind::Paragraph, true)};
  kept->settings = std::move(settingsXml_);
  kept->styles = std::move(stylesXml_);
  if (!kept->parts.empty() || !kept->packageRelationships.empty() ||
      !kept->documentRelationships.empty() || !kept->storyRelationships.empty() || rawKept_ != 0 ||
      !kept->runDefaults.empty() || !kept->paragraphDefaults.empty() || !kept->settings.empty() ||
      !kept->styles.empty()) {
    for (const auto& drawing : keptDrawings_) drawing->package = kept;
    doc_->kept = std::move(kept);
  }
}

void ReadContext::KeepRootNamespaces(xml_node root) {
  for (pugi::xml_attribute a : root.attributes()) {
    const std::string_view name = a.name();
    if (name.starts_with("xmlns:"))
      rootNamespaces_.emplace_back(std::string(name.substr(6)), std::string(a.value()));
    else if (Local(a.name()) == "Ignorable")
      ignorable_ = a.value();
  }
}

void ReadContext::KeepMarkersBack(xml_node from, std::string_view stop, bool body) {
  if (!body) return;
  std::vector<std::string> found;
  for (xml_node c = from; c && !Is(c, stop); c = c.previous_sibling())
    if (c.type() == pugi::node_element && KeptMarker(Local(c.name()))) found.push_back(NodeXml(c));
  pendingRaw_.insert(pendingRaw_.end(), found.rbegin(), found.rend());
}

void ReadContext::KeepRaw(Flow& flow, const RunFormat& format, std::string xml,
                          RawNesting nesting) {
  CountText(xml.size());
  ChargeModel(2 * sizeof(Run));
  std::vector<Run>& runs = flow.paragraph->runs;
  Run run{std::string(), format, std::make_shared<const std::string>(std::move(xml)), nesting};
  run.format.field = flow.field;
  run.format.fieldCode = flow.code;
  runs.push_back(std::move(run));
  // Text after it starts a run of its own, as after a picture.
  flow.picturesAt = runs.size();
  ++rawKept_;
}

namespace {

std::string StartTag(xml_node node) {
  std::string out = std::string("<") + node.name();
  for (pugi::xml_attribute a : node.attributes()) {
    out += std::string(" ") + a.name() + "=\"";
    for (const char* c = a.value(); *c; ++c) {
      switch (*c) {
        case '&':
          out += "&amp;";
          break;
        case '<':
          out += "&lt;";
          break;
        case '"':
          out += "&quot;";
          break;
        default:
          out += *c;
      }
    }
    out += '"';
  }
  return out + ">";
}

}  // namespace

void ReadContext::ReadWrapped(xml_node wrapper, xml_node content, Flow& flow) {
  std::string open = StartTag(wrapper), close = std::string("</") + wrapper.name() + ">";
  for (xml_node c : wrapper.children()) {
    const std::string_view name = Local(c.name());
    if (c != content && name.size() > 2 && name.substr(name.size() - 2) == "Pr") open += NodeXml(c);
  }
  if (content != wrapper) {
    open += StartTag(content);
    close = std::string("</") + content.name() + ">" + close;
  }
  KeepRaw(flow, flow.paragraphRun, std::move(open), RawNesting::Opens);
  ReadInlineContent(content, flow);
  KeepRaw(flow, flow.paragraphRun, std::move(close), RawNesting::Closes);
}

std::string ReadContext::RunXml(xml_node r, xml_node element) {
  const std::string name = r.name();
  const xml_node rPr = Child(r, "rPr");
  return "<" + name + ">" + (rPr ? NodeXml(rPr) : std::string()) + NodeXml(element) + "</" + name +
         ">";
}

std::shared_ptr<const KeptDrawing> ReadContext::KeptTextDrawing(xml_node r, xml_node drawing) {
  auto kept = std::make_shared<KeptDrawing>();
  kept->xml = RunXml(r, drawing);
  kept->part = storyPart_;
  keptDrawings_.push_back(kept);
  return kept;
}

void ReadContext::KeepDrawing(Shape& shape, xml_node r, xml_node drawing) {
  const xml_node anchor = Child(drawing, "anchor");
  if (!anchor || shape.graphic == GraphicType::Drawing) return;
  auto kept = std::make_shared<KeptDrawing>();
  kept->xml = RunXml(r, drawing);
  CountText(kept->xml.size());
  kept->left = shape.left;
  kept->top = shape.top;
  kept->width = shape.width;
  kept->height = shape.height;
  kept->relH = shape.relH;
  kept->relV = shape.relV;
  kept->wrap = shape.wrap;
  kept->relativeHeight =
      static_cast<std::uint64_t>(Clamp(Number(Value(anchor, "relativeHeight")), 0, 4294967295.0));
  kept->part = storyPart_;
  keptDrawings_.push_back(kept);
  shape.raw = std::move(kept);
}

namespace {

// Whether a content control holds paragraphs and tables and nothing else but markers and controls
// that hold them: then it can be written back around the paragraphs read from it.
bool HoldsBlocks(xml_node sdt, int depth) {
  bool paragraph = false, other = false;
  ForEachChild(Child(sdt, "sdtContent"), [&](xml_node c) {
    const std::string_view name = Local(c.name());
    if (name == "p" || name == "tbl" || (name == "sdt" && depth < 32 && HoldsBlocks(c, depth + 1)))
      paragraph = true;
    else if (!KeptMarker(name))
      other = true;
    return other;
  });
  return paragraph && !other;
}

}  // namespace

BlockWrapperPtr ReadContext::WrapperOf(xml_node sdt) {
  const xml_node content = Child(sdt, "sdtContent");
  auto wrapper = std::make_shared<BlockWrapper>();
  wrapper->open = StartTag(sdt);
  for (xml_node c : sdt.children()) {
    const std::string_view name = Local(c.name());
    if (c != content && name.size() > 2 && name.substr(name.size() - 2) == "Pr")
      wrapper->open += NodeXml(c);
  }
  wrapper->open += StartTag(content);
  wrapper->close = std::string("</") + content.name() + "></" + sdt.name() + ">";
  return wrapper;
}

// The table a control's content is, when it holds that table and nothing else.
TablePtr ReadContext::TableAlone(xml_node content, const std::vector<Paragraph>& out,
                                 std::size_t first) const {
  int elements = 0;
  ForEachChild(content, [&](xml_node) { return ++elements > 1; });
  const std::size_t depth = cells_.size();
  if (elements != 1 || !Child(content, "tbl") || out[first].cells.size() <= depth) return nullptr;
  const TablePtr table = out[first].cells[depth].table;
  for (std::size_t i = first; i < out.size(); ++i)
    if (out[i].cells.size() <= depth || out[i].cells[depth].table != table) return nullptr;
  return table;
}

void ReadContext::ReadBlockControl(xml_node sdt, bool body, std::vector<Paragraph>& out) {
  const xml_node content = Child(sdt, "sdtContent");
  if (!content.find_child([](xml_node c) { return c.type() == pugi::node_element; })) {
    auto empty = std::make_shared<BlockWrapper>();
    empty->open = NodeXml(sdt);
    empty->depth = cells_.size();
    CountText(empty->open.size());
    pendingControls_.push_back(std::move(empty));
    return;
  }
  const std::size_t first = out.size(), emptyBefore = pendingControls_.size();
  ReadBlocks(content, body, out);
  if (out.size() == first || !HoldsBlocks(sdt, 0)) return;
  auto wrapper = std::const_pointer_cast<BlockWrapper>(WrapperOf(sdt));
  wrapper->depth = cells_.size();
  CountText(wrapper->open.size() + wrapper->close.size());
  if (const auto table = TableAlone(content, out, first)) {
    std::const_pointer_cast<Table>(table)->around.push_back(std::move(wrapper));
    return;
  }
  // Empty controls before it stay before it.
  auto& opens = out[first].opens;
  opens.insert(opens.begin() + std::ptrdiff_t(std::min(emptyBefore, opens.size())), wrapper);
  out.back().closes.push_back(std::move(wrapper));
}

void ReadContext::EndPendingControls(std::vector<Paragraph>& out) {
  if (out.empty()) return;
  for (BlockWrapperPtr& control : pendingControls_) {
    if (control->depth < cells_.size()) continue;
    auto closing = std::make_shared<BlockWrapper>();
    closing->close = control->open;
    closing->depth = control->depth;
    out.back().closes.push_back(std::move(closing));
    control = nullptr;
  }
  std::erase(pendingControls_, nullptr);
}

}  // namespace wordproc::ooxml::reader
