#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <set>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "wordproc/core/Ooxml.h"
#include "wordproc/core/OoxmlInternal.h"
#include "wordproc/core/OoxmlWriteXml.h"
#include "wordproc/core/Package.h"
#include "wordproc/core/ShapeOps.h"
#include "wordproc/core/TableLayout.h"

namespace wordproc {

namespace {

using namespace ooxml;
using namespace ooxml::write;

// Word's own numbering for shapes in front of the text starts here.
constexpr std::uint64_t kFirstRelativeHeight = 251659264;

class Writer {
 public:
  Writer(const Document& doc, bool templateType, bool forConversion = false)
      : doc_(doc), templateType_(templateType), forConversion_(forConversion) {}

  std::vector<std::uint8_t> Write() {
    ReserveIds();
    std::string body = DocumentXml();
    // A story's pictures are found through its own relationships, and the package names every
    // picture's type: both are written once every part has named the pictures it shows.
    std::vector<std::string> stories;
    for (const Story& story : stories_) stories.push_back(StoryXml(story));
    package::ZipWriter zip;
    zip.Add("[Content_Types].xml", ContentTypes(), true);
    zip.Add("_rels/.rels", RootRelsXml(kept_), true);
    zip.Add("word/document.xml", std::move(body), true);
    zip.Add("word/_rels/document.xml.rels", DocumentRels(), true);
    zip.Add("word/styles.xml", StylesXml(kept_), true);
    zip.Add("word/settings.xml", SettingsXml(doc_), true);
    if (doc_.numbering) zip.Add("word/numbering.xml", NumberingXml(*doc_.numbering), true);
    for (std::size_t k = 0; k < stories_.size(); ++k) {
      zip.Add("word/" + stories_[k].target, std::move(stories[k]), true);
      zip.Add("word/_rels/" + stories_[k].target + ".rels", StoryRels(stories_[k]), true);
    }
    for (const Media& media : media_) {
      if (media.kept) continue;
      const bool packed =
          media.extension == "png" || media.extension == "jpeg" || media.extension == "gif";
      zip.Add("word/" + media.target,
              std::string(media.image->bytes.begin(), media.image->bytes.end()), !packed);
    }
    if (kept_) AddKeptParts(zip, *kept_, MadeParts());
    for (const KeptPart& part : copier_.parts()) zip.Add(part.name, part.bytes, true);
    return zip.Finish();
  }

 private:
  struct Media {
    const Image* image;
    std::string relId, target, extension, contentType;
    bool kept = false;     // the part is one kept from the package read
    bool keptRel = false;  // and the main part's relationship to it too
  };

  // A header or footer part and the relationship the sections name it by.
  struct Story {
    const HeaderFooter* content;
    bool footer;
    std::string relId, target;
  };

  const Story& StoryFor(const HeaderFooter* content, bool footer) {
    for (const Story& story : stories_)
      if (story.content == content && story.footer == footer) return story;
    const std::string number = std::to_string(stories_.size() + 1);
    std::string target = (footer ? "footer" : "header") + number + ".xml";
    for (int k = 1; Kept("word/" + target); ++k)
      target = (footer ? "footer" : "header") + number + "_" + std::to_string(k) + ".xml";
    stories_.push_back({content, footer, KeptFree("rIdStory" + number), target});
    return stories_.back();
  }

  std::string StoryXml(const Story& story) {
    story_ = &story;
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n" +
                      std::string(story.footer ? "<w:ftr" : "<w:hdr") + RootNamespaces() + ">";
    const auto& paragraphs = story.content->paragraphs;
    const auto anchored = AnchorLists(paragraphs, story.content->shapes);
    shapes_ = &story.content->shapes;
    const auto bodyWrappers = std::exchange(wrappers_, PairWrappers(paragraphs));
    wrapped_ = &paragraphs;
    for (std::size_t i = 0; i < paragraphs.size();)
      i = WriteBlock(out, paragraphs, i, 0, &anchored);
    wrappers_ = bodyWrappers;
    wrapped_ = &doc_.paragraphs;
    if (paragraphs.empty()) {
      Paragraph empty;
      WriteParagraph(out, empty, &anchored[0], false);
    }
    shapes_ = &doc_.shapes;
    story_ = nullptr;
    out += story.footer ? "</w:ftr>" : "</w:hdr>";
    return out;
  }

  // Every picture's, those the part read kept, and those of copies written into it.
  std::string StoryRels(const Story& story) const {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<Relationships "
        "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    for (const Media& media : media_) {
      out += "<Relationship Id=\"" + media.relId + "\" Type=\"" + kRelImage + "\" Target=\"" +
             Attr(media.target) + "\"/>";
    }
    // A header made here has none: no part of the package it came from is its own.
    if (kept_ && !story.content->part.empty())
      out += RelationshipsXml(kept_->relationshipsOf(story.content->part));
    out += RelationshipsXml(copier_.relationships(story.target));
    return out + "</Relationships>";
  }

  // Ids stay as the model has them when they are unique; clashes and zeros get fresh ones.
  void ReserveIds() {
    std::uint32_t highest = 0;
    auto visit = [&](auto&& self, const Shape& shape) -> void {
      highest = std::max(highest, shape.id);
      for (const auto& child : shape.children) self(self, *child);
    };
    for (const AnchoredShape& anchored : doc_.shapes) {
      if (anchored.shape) visit(visit, *anchored.shape);
    }
    for (const Paragraph& p : doc_.paragraphs) {
      for (const InlinePicture& picture : p.inlinePictures) highest = std::max(highest, picture.id);
    }
    nextFreeId_ = highest == std::numeric_limits<std::uint32_t>::max() ? 1 : highest + 1;
  }

  std::uint32_t TakeId(std::uint32_t wanted) {
    if (wanted != 0 && usedIds_.insert(wanted).second) return wanted;
    while (nextFreeId_ == 0 || !usedIds_.insert(nextFreeId_).second) ++nextFreeId_;
    return nextFreeId_++;
  }

  const Media* MediaFor(const ImagePtr& image) {
    if (!image || image->bytes.empty()) return nullptr;
    const auto found = mediaIndex_.find(image.get());
    if (found != mediaIndex_.end()) return &media_[found->second];
    Media media;
    media.image = image.get();
    MediaType format = MediaFormat(*image);
    media.extension = std::move(format.extension);
    media.contentType = std::move(format.contentType);
    media.relId = KeptFree("rId" + std::to_string(media_.size() + 10));
    for (std::size_t n = media_.size() + 1; media.target.empty() || Kept("word/" + media.target);)
      media.target = "media/image" + std::to_string(n++) + "." + media.extension;
    if (const KeptPart* part = kept_ ? kept_->partOf(image.get()) : nullptr) UseKept(media, *part);
    mediaIndex_.emplace(image.get(), media_.size());
    media_.push_back(std::move(media));
    return &media_.back();
  }

  // A picture read from the package stays in its part, under the main part's relationship to it
  // where there is one.
  void UseKept(Media& media, const KeptPart& part) const {
    media.kept = true;
    media.target = part.name.rfind("word/", 0) == 0 ? part.name.substr(5) : "/" + part.name;
    for (const KeptRelationship& r : kept_->documentRelationships) {
      if (!r.external && r.part == part.name && r.type == kRelImage) {
        media.relId = r.id;
        media.keptRel = true;
        return;
      }
    }
  }

  bool Kept(const std::string& partName) const {
    return (kept_ && kept_->find(partName)) || copier_.Has(partName);
  }

  // Pictures' relationships serve every part, so their ids are free in the headers' too.
  std::string KeptFree(const std::string& id) const {
    return kept_ ? FreeRelationshipId(id, keptIds_) : id;
  }

  // The parts written here, which no kept part of the same name may replace.
  std::unordered_set<std::string> MadeParts() const {
    std::unordered_set<std::string> made = {"[content_types].xml", "_rels/.rels",
                                            "word/document.xml",   "word/_rels/document.xml.rels",
                                            "word/styles.xml",     "word/settings.xml"};
    if (doc_.numbering) made.insert("word/numbering.xml");
    for (const Story& story : stories_) {
      made.insert(package::AsciiLower("word/" + story.target));
      made.insert(package::AsciiLower("word/_rels/" + story.target + ".rels"));
    }
    for (const Media& media : media_)
      if (!media.kept) made.insert(package::AsciiLower("word/" + media.target));
    for (const KeptPart& part : copier_.parts()) made.insert(package::AsciiLower(part.name));
    return made;
  }

  // Another part may be added after it, so the relationship's id is kept rather than the Media.
  std::string RelIdOf(const ImagePtr& image) {
    const Media* media = MediaFor(image);
    return media ? media->relId : std::string();
  }

  std::string ContentTypes() const {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" "
        "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>";
    std::map<std::string, std::string> defaults;
    for (const Media& media : media_)
      if (!media.kept) defaults.emplace(media.extension, media.contentType);
    for (const auto& [extension, type] : defaults) {
      out += "<Default Extension=\"" + Attr(extension) + "\" ContentType=\"" + Attr(type) + "\"/>";
    }
    defaults.emplace("rels", "application/vnd.openxmlformats-package.relationships+xml");
    defaults.emplace("xml", "application/xml");
    if (kept_) out += KeptContentTypesXml(*kept_, defaults, MadeParts());
    out += "<Override PartName=\"/word/document.xml\" ContentType=\"";
    out += templateType_ ? kTypeTemplateMain : kTypeDocumentMain;
    out +=
        "\"/><Override PartName=\"/word/styles.xml\" ContentType=\"application/"
        "vnd.openxmlformats-officedocument.wordprocessingml.styles+xml\"/>"
        "<Override PartName=\"/word/settings.xml\" ContentType=\"application/"
        "vnd.openxmlformats-officedocument.wordprocessingml.settings+xml\"/>";
    if (doc_.numbering) out += NumberingOverride();
    for (const KeptPart& part : copier_.parts())
      if (!part.contentType.empty() && !part.name.ends_with(".rels"))
        out += "<Override PartName=\"/" + Attr(part.name) + "\" ContentType=\"" +
               Attr(part.contentType) + "\"/>";
    for (const Story& story : stories_) {
      out += "<Override PartName=\"/word/" + story.target +
             "\" ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml." +
             (story.footer ? "footer" : "header") + "+xml\"/>";
    }
    out += "</Types>";
    return out;
  }

  std::string DocumentRels() const {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    out += "<Relationship Id=\"" + Attr(KeptFree("rId1")) + "\" Type=\"" + kRelStyles +
           "\" Target=\"styles.xml\"/>";
    out += "<Relationship Id=\"" + Attr(KeptFree("rId2")) + "\" Type=\"" + kRelSettings +
           "\" Target=\"settings.xml\"/>";
    if (doc_.numbering) out += NumberingRelationship(KeptFree("rIdNumbering"));
    if (kept_) out += RelationshipsXml(kept_->documentRelationships);
    out += RelationshipsXml(copier_.relationships(""));
    for (const Media& media : media_) {
      if (media.keptRel) continue;
      out += "<Relationship Id=\"" + media.relId + "\" Type=\"" + kRelImage + "\" Target=\"" +
             Attr(media.target) + "\"/>";
    }
    for (const Story& story : stories_) {
      out += "<Relationship Id=\"" + story.relId + "\" Type=\"" +
             std::string(story.footer ? kRelFooter : kRelHeader) + "\" Target=\"" + story.target +
             "\"/>";
    }
    out += "</Relationships>";
    return out;
  }

  std::string DocumentXml() {
    std::string out;
    out.reserve(4096 + doc_.paragraphs.size() * 200 + doc_.shapes.size() * 2500);
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<w:document";
    out += RootNamespaces(kept_) + ">";
    if (doc_.backgroundXml)
      out += *doc_.backgroundXml;
    else if (doc_.pageColor)
      out += "<w:background w:color=\"" + HexColor(*doc_.pageColor & 0xFFFFFF) + "\"/>";
    out += "<w:body>";
    const auto anchored = AnchorLists(doc_.paragraphs, doc_.shapes);
    const std::uint64_t count = std::max<std::uint64_t>(1, doc_.shapes.size());
    heightStep_ =
        std::clamp<std::uint64_t>((0xFFFFFFFFull - kFirstRelativeHeight) / count, 1, 1024);
    keptStacking_ = KeepsItsStacking(doc_.shapes);
    wrappers_ = PairWrappers(doc_.paragraphs);

    if (doc_.paragraphs.empty()) {
      out += "<w:p/>";
      // A document without paragraphs is not valid; its shapes still need a home.
      if (!anchored[0].empty()) {
        Paragraph empty;
        WriteParagraph(out, empty, &anchored[0], false);
      }
    }
    for (std::size_t i = 0; i < doc_.paragraphs.size();)
      i = WriteBlock(out, doc_.paragraphs, i, 0, &anchored);

    WriteSection(out, {doc_.pageSetup, doc_.lastSectionStart, doc_.lastStories});
    out += "</w:body></w:document>";
    return out;
  }

  // The paragraph, or the table at that depth it begins; returns the paragraph after it. The
  // body's paragraphs carry the shapes anchored in them; headers and footers keep their text.
  std::size_t WriteBlock(std::string& out, const std::vector<Paragraph>& paragraphs,
                         std::size_t index, std::size_t depth,
                         const std::vector<std::vector<std::size_t>>* anchored) {
    const Paragraph& p = paragraphs[index];
    const bool wrapped = &paragraphs == wrapped_;
    if (wrapped) out += WrappersXml(p.opens, wrappers_.opens[index], true, depth);
    std::size_t end = index + 1;
    if (p.cells.size() > depth && p.cells[depth].table)
      end = WriteTable(out, paragraphs, index, depth, anchored);
    else
      WriteParagraph(out, p, anchored ? &(*anchored)[index] : nullptr, !anchored);
    if (wrapped)
      out += WrappersXml(paragraphs[end - 1].closes, wrappers_.closes[end - 1], false, depth);
    return end;
  }

  // Every row and cell the table holds is written, a cell whose text is gone with an empty
  // paragraph, since readers take the grid from the rows; text that names no cell of the table
  // goes into its last cell.
  std::size_t WriteTable(std::string& out, const std::vector<Paragraph>& paragraphs,
                         std::size_t begin, std::size_t depth,
                         const std::vector<std::vector<std::size_t>>* anchored) {
    const Table& table = *paragraphs[begin].cells[depth].table;
    const std::size_t end = TableEnd(paragraphs, begin, depth);
    std::size_t i = begin;
    if (table.rows.empty()) {
      for (; i < end; ++i)
        WriteParagraph(out, paragraphs[i], anchored ? &(*anchored)[i] : nullptr, !anchored);
      return end;
    }
    for (const BlockWrapperPtr& control : table.around) out += control->open;
    out += "<w:tbl>" + TablePropertiesXml(table, fullFormat_);
    const WrittenWrappers rows = PairItemWrappers(table.rows);
    for (std::uint32_t r = 0; r < table.rows.size(); ++r) {
      const TableRow& row = table.rows[r];
      const WrittenWrappers cells = PairItemWrappers(row.cells);
      out += WrappersXml(row.opens, rows.opens[r], true) + "<w:tr>" + RowPropertiesXml(row);
      for (std::uint32_t c = 0; c < row.cells.size(); ++c) {
        const bool lastCell = r + 1 == table.rows.size() && c + 1 == row.cells.size();
        out += WrappersXml(row.cells[c].opens, cells.opens[c], true) + "<w:tc>" +
               CellPropertiesXml(row.cells[c]);
        bool endsWithParagraph = false;
        while (i < end && (lastCell || (paragraphs[i].cells[depth].row == r &&
                                        paragraphs[i].cells[depth].cell == c))) {
          endsWithParagraph = paragraphs[i].cells.size() == depth + 1;
          i = WriteBlock(out, paragraphs, i, depth + 1, anchored);
        }
        // A cell ends with a paragraph, if only an empty one.
        if (!endsWithParagraph) out += "<w:p/>";
        out += "</w:tc>" + WrappersXml(row.cells[c].closes, cells.closes[c], false);
      }
      out += "</w:tr>" + WrappersXml(row.closes, rows.closes[r], false);
    }
    out += "</w:tbl>";
    for (auto control = table.around.rbegin(); control != table.around.rend(); ++control)
      out += (*control)->close;
    return end;
  }

  void WriteSection(std::string& out, const Section& section) {
    static const char* kKinds[] = {"default", "first", "even"};
    out += "<w:sectPr>";
    static const HeaderFooter kNone;
    for (int footer = 0; footer < 2; ++footer) {
      for (int kind = 0; kind < 3; ++kind) {
        const auto& stories = footer ? section.stories.footers : section.stories.headers;
        const auto& before = footer ? shownBefore_.footers : shownBefore_.headers;
        // Readers give a section its predecessor's header where it names none: an empty one
        // says there is none.
        const HeaderFooter* story = stories[kind]  ? stories[kind].get()
                                    : before[kind] ? &kNone
                                                   : nullptr;
        if (!story) continue;
        out += std::string(footer ? "<w:footerReference" : "<w:headerReference") + " w:type=\"" +
               kKinds[kind] + "\" r:id=\"" + StoryFor(story, footer).relId + "\"/>";
      }
    }
    shownBefore_ = section.stories;
    SectionPageXml(out, section);
    out += "</w:sectPr>";
  }

  // A field opens before its first result run and closes after its last.
  void WriteRun(std::string& out, const std::vector<Run>& runs, std::size_t r, bool raw) const {
    const Run& run = runs[r];
    const FieldCode* code = run.format.fieldCode.get();
    const bool legacyPage = !code && run.format.field != PageField::None;
    raw = raw && run.raw;
    if (run.text.empty() && !code && !raw) return;
    std::string rPr;
    RunPropertiesXml(rPr, run.format, hideText_, PropertyKind::Run, fullFormat_);
    if (code && (r == 0 || runs[r - 1].format.fieldCode.get() != code))
      out += FieldStartXml(*code, rPr);
    if (raw) out += *run.raw;
    if (legacyPage) {
      out += run.format.field == PageField::Page ? "<w:fldSimple w:instr=\" PAGE \">"
                                                 : "<w:fldSimple w:instr=\" NUMPAGES \">";
    }
    out += RunTextXml(rPr, run.text);
    if (legacyPage) out += "</w:fldSimple>";
    if (code && (r + 1 == runs.size() || runs[r + 1].format.fieldCode.get() != code))
      out += FieldEndXml(*code, rPr);
  }

  void WriteParagraph(std::string& out, const Paragraph& p,
                      const std::vector<std::size_t>* anchored, bool fallback) {
    std::string mark, section;
    RunPropertiesXml(mark, p.markFormat, hideText_ || p.hiddenMark, PropertyKind::Mark,
                     fullFormat_);
    if (p.sectionEnd && !fallback) WriteSection(section, *p.sectionEnd);
    out += "<w:p>";
    ParagraphPropertiesXml(out, p, doc_.numbering != nullptr, mark, section, fullFormat_);
    if (anchored) {
      for (std::size_t index : *anchored) WriteAnchored(out, *(*shapes_)[index].shape, index);
    }
    // Empty runs are not written, so pictures are placed by the runs that carry text.
    std::vector<const InlinePicture*> pictures;
    for (const InlinePicture& picture : p.inlinePictures) pictures.push_back(&picture);
    std::stable_sort(pictures.begin(), pictures.end(),
                     [](const auto* a, const auto* b) { return a->afterRun < b->afterRun; });
    std::size_t next = 0;
    const std::vector<bool> raw = WrittenRaw(p.runs);
    for (std::size_t r = 0; r <= p.runs.size(); ++r) {
      while (next < pictures.size() && (pictures[next]->afterRun <= r || r == p.runs.size())) {
        if (!fallback) WriteInlinePicture(out, *pictures[next]);
        ++next;
      }
      if (r < p.runs.size()) WriteRun(out, p.runs, r, raw[r]);
    }
    out += "</w:p>";
  }

  void WriteInlinePicture(std::string& out, const InlinePicture& picture) {
    if (const std::optional<std::string> kept =
            picture.raw && !forConversion_ ? KeptRun(*picture.raw) : std::nullopt) {
      out += KeptInlineXml(picture, *kept, TakeId(picture.id));
      return;
    }
    const std::uint32_t id = TakeId(picture.id);
    const std::string name = picture.name.empty() ? "Picture " + std::to_string(id) : picture.name;
    const std::int64_t cx = EmuSize(picture.width), cy = EmuSize(picture.height);
    out += "<w:r><w:drawing><wp:inline distT=\"0\" distB=\"0\" distL=\"0\" distR=\"0\">";
    out += "<wp:extent cx=\"" + Num(cx) + "\" cy=\"" + Num(cy) +
           "\"/><wp:effectExtent l=\"0\" t=\"0\" r=\"0\" b=\"0\"/>";
    out += "<wp:docPr id=\"" + Num(id) + "\" name=\"" + Attr(name) + "\"/>";
    if (const Shape* drawing = picture.drawing.get()) {
      // SmartArt and charts go out as the drawing they are shown by.
      const bool group = drawing->kind == ShapeKind::Group;
      out += std::string("<wp:cNvGraphicFramePr/><a:graphic><a:graphicData uri=\"") +
             (group ? kNsWpg : kNsWps) + "\">";
      const std::unique_ptr<Shape> sized = drawing->clone();
      sized->width = picture.width;
      sized->height = picture.height;
      WriteShapeBody(out, *sized, id, false, 0, 0);
      out += "</a:graphicData></a:graphic></wp:inline></w:drawing></w:r>";
      return;
    }
    out +=
        "<wp:cNvGraphicFramePr><a:graphicFrameLocks noChangeAspect=\"1\"/>"
        "</wp:cNvGraphicFramePr><a:graphic><a:graphicData uri=\"";
    out += kNsPic;
    out += "\">";
    WritePic(out, id, name, true, 0, 0, cx, cy, picture.image, picture.svg, picture.crop, nullptr);
    out += "</a:graphicData></a:graphic></wp:inline></w:drawing></w:r>";
  }

  void WritePic(std::string& out, std::uint32_t id, const std::string& name, bool visible,
                std::int64_t x, std::int64_t y, std::int64_t cx, std::int64_t cy,
                const ImagePtr& image, const ImagePtr& svg, const PictureCrop& crop,
                const Shape* shape) {
    const std::string relId = RelIdOf(image), svgRelId = RelIdOf(svg);
    out += "<pic:pic><pic:nvPicPr><pic:cNvPr id=\"" + Num(id) + "\" name=\"" + Attr(name) + "\"";
    if (!visible) out += " hidden=\"1\"";
    out += "/><pic:cNvPicPr><a:picLocks noChangeAspect=\"1\"/></pic:cNvPicPr></pic:nvPicPr>";
    out += BlipFill(relId, svgRelId, crop) + "<pic:spPr>";
    if (shape) {
      out += XfrmXml(*shape, x, y, false);
    } else {
      out += "<a:xfrm><a:off x=\"" + Num(x) + "\" y=\"" + Num(y) + "\"/><a:ext cx=\"" + Num(cx) +
             "\" cy=\"" + Num(cy) + "\"/></a:xfrm>";
    }
    out += "<a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom>";
    if (shape) out += LineXml(shape->line) + EffectXml(shape->shadow);
    out += "</pic:spPr></pic:pic>";
  }

  // A shape inside a wps or wpg element; child shapes carry their name in cNvPr, top-level ones
  // in docPr. Sizes and positions are EMU in the coordinates of the container.
  void WriteShapeBody(std::string& out, const Shape& shape, std::uint32_t id, bool child,
                      std::int64_t x, std::int64_t y) {
    const bool outerHidden = hideText_;
    hideText_ = hideText_ || !shape.visible;
    WriteShapeBodyContent(out, shape, id, child, x, y);
    hideText_ = outerHidden;
  }

  void WriteShapeBodyContent(std::string& out, const Shape& shape, std::uint32_t id, bool child,
                             std::int64_t x, std::int64_t y) {
    const std::int64_t cx = EmuSize(shape.width), cy = EmuSize(shape.height);
    const std::string name = shape.name;
    if (shape.kind == ShapeKind::Picture) {
      WritePic(out, id, name, shape.visible, x, y, cx, cy, shape.image, shape.svg, shape.crop,
               &shape);
      return;
    }
    if (shape.kind == ShapeKind::Group) {
      out += child ? "<wpg:grpSp>" : "<wpg:wgp>";
      if (child) {
        out += "<wpg:cNvPr id=\"" + Num(id) + "\" name=\"" + Attr(name) + "\"";
        if (!shape.visible) out += " hidden=\"1\"";
        out += "/>";
      }
      out += "<wpg:cNvGrpSpPr/><wpg:grpSpPr>" + XfrmXml(shape, x, y, true) + "</wpg:grpSpPr>";
      for (const auto& member : shape.children) {
        if (!member) continue;
        WriteShapeBody(out, *member, TakeId(member->id), true, Emu(member->left), Emu(member->top));
      }
      out += child ? "</wpg:grpSp>" : "</wpg:wgp>";
      return;
    }
    out += "<wps:wsp>";
    if (child) {
      out += "<wps:cNvPr id=\"" + Num(id) + "\" name=\"" + Attr(name) + "\"";
      if (!shape.visible) out += " hidden=\"1\"";
      out += "/>";
    }
    if (shape.kind == ShapeKind::Line) {
      out += "<wps:cNvCnPr/>";
    } else if (shape.kind == ShapeKind::TextBox) {
      out += "<wps:cNvSpPr txBox=\"1\"/>";
    } else {
      out += "<wps:cNvSpPr/>";
    }
    out += "<wps:spPr>" + XfrmXml(shape, x, y, false) + ShapeGeometryXml(shape);
    out += shape.kind == ShapeKind::Line ? "<a:noFill/>"
                                         : FillXml(shape.fill, RelIdOf(shape.fill.image));
    out += LineXml(shape.line) + EffectXml(shape.shadow);
    out += "</wps:spPr>";
    const bool hasText = shape.kind == ShapeKind::TextBox || !shape.text.empty();
    if (hasText && shape.kind != ShapeKind::Line) {
      out += "<wps:txbx><w:txbxContent>";
      WriteTextBoxContent(out, shape, false);
      out += "</w:txbxContent></wps:txbx>";
      out += BodyPr(shape.frame, shape.warp);
    } else {
      out += "<wps:bodyPr/>";
    }
    out += "</wps:wsp>";
  }

  // A kept chart or SmartArt goes out as read the first time its run is written into the part
  // it came from. Copies, and drawings pasted from another part or document, name copies of its
  // parts; where those cannot be made, the shape is written as the drawing it is shown by.
  std::optional<std::string> KeptRun(const KeptDrawing& drawing) {
    const KeptPackage* from = drawing.package.get();
    if (!from) return std::nullopt;
    const std::string& here = story_ ? story_->content->part : kMainPart;
    const bool read = !story_ || !here.empty();  // the part written is one the package had
    if (from == kept_ && read && drawing.part == here) {
      std::vector<std::string> written = NamedRelationships(drawing.xml, from);
      written.push_back(here);
      if (writtenRuns_.insert(std::move(written)).second) return drawing.xml;
    }
    return copier_.Copy(drawing.xml, *from, drawing.part, story_ ? story_->target : kMainPart);
  }

  void WriteTextBoxContent(std::string& out, const Shape& shape, bool fallback) {
    if (shape.text.empty()) {
      out += "<w:p/>";
      return;
    }
    for (const Paragraph& p : shape.text) WriteParagraph(out, p, nullptr, fallback);
  }

  void WriteAnchored(std::string& out, const Shape& shape, std::size_t zIndex) {
    const std::uint32_t id = TakeId(shape.id);
    const std::uint64_t relativeHeight = kFirstRelativeHeight + zIndex * heightStep_;
    if (const std::optional<std::string> kept =
            shape.raw && !forConversion_ ? KeptRun(*shape.raw) : std::nullopt) {
      out += KeptAnchorXml(shape, *kept, id,
                           keptStacking_ ? std::nullopt : std::optional(relativeHeight));
      return;
    }
    const std::string name =
        shape.name.empty() ? ShapeKindName(shape) + " " + std::to_string(id) : shape.name;
    const char* uri = shape.kind == ShapeKind::Picture ? kNsPic
                      : shape.kind == ShapeKind::Group ? kNsWpg
                                                       : kNsWps;
    const bool wrapped = shape.kind != ShapeKind::Picture;

    out += "<w:r><w:rPr><w:noProof/></w:rPr>";
    if (forConversion_ && (shape.kind == ShapeKind::AutoShape || shape.kind == ShapeKind::Line ||
                           shape.kind == ShapeKind::Group)) {
      // LibreOffice reads a DrawingML preset as a custom shape whose formulas its Word 97
      // writer loses (ovals vanish there, and inside groups their fills and outlines too); from
      // VML it makes the native shape, which it keeps. Its Word 97 file then has the groups
      // above the other shapes: on a cloned sheet the guide lines go under the labels, which
      // is the lesser loss.
      out += "<w:pict>";
      WriteVml(out, shape, name, id, relativeHeight, true);
      out += "</w:pict></w:r>";
      return;
    }
    if (wrapped) {
      out += "<mc:AlternateContent><mc:Choice Requires=\"";
      out += shape.kind == ShapeKind::Group ? "wpg" : "wps";
      out += "\">";
    }
    out += "<w:drawing>" + AnchorPlacementXml(shape, relativeHeight);
    out += "<wp:docPr id=\"" + Num(id) + "\" name=\"" + Attr(name) + "\"";
    if (!shape.visible) out += " hidden=\"1\"";
    out += "/>";
    if (shape.kind == ShapeKind::Picture) {
      out +=
          "<wp:cNvGraphicFramePr><a:graphicFrameLocks noChangeAspect=\"1\"/>"
          "</wp:cNvGraphicFramePr>";
    } else {
      out += "<wp:cNvGraphicFramePr/>";
    }
    out += std::string("<a:graphic><a:graphicData uri=\"") + uri + "\">";
    if (shape.kind == ShapeKind::Picture) {
      WritePic(out, id, name, true, 0, 0, EmuSize(shape.width), EmuSize(shape.height), shape.image,
               shape.svg, shape.crop, &shape);
    } else {
      WriteShapeBody(out, shape, id, false, 0, 0);
    }
    out += "</a:graphicData></a:graphic></wp:anchor></w:drawing>";
    if (wrapped) {
      out += "</mc:Choice><mc:Fallback><w:pict>";
      WriteVml(out, shape, name, id, relativeHeight, true);
      out += "</w:pict></mc:Fallback></mc:AlternateContent>";
    }
    out += "</w:r>";
  }

  // The VML copy read by word processors that predate wps. Top-level shapes are positioned in
  // points; group members in the group's coordinate units (hundredths of a point).
  void WriteVml(std::string& out, const Shape& shape, const std::string& name, std::uint32_t id,
                std::uint64_t zIndex, bool topLevel) {
    const bool outerHidden = hideText_;
    hideText_ = hideText_ || !shape.visible;
    WriteVmlContent(out, shape, name, id, zIndex, topLevel);
    hideText_ = outerHidden;
  }

  void WriteVmlContent(std::string& out, const Shape& shape, const std::string& name,
                       std::uint32_t id, std::uint64_t zIndex, bool topLevel) {
    auto length = [&](double pt) {
      return topLevel ? FormatPoints(pt) + "pt"
                      : Num(std::llround(Clamp(pt, -kMaxLengthPt, kMaxLengthPt) * 100));
    };
    std::string style = "position:absolute;";
    if (shape.kind != ShapeKind::Line) {
      style += topLevel ? "margin-left:" : "left:";
      style += length(shape.left) + ";";
      style += topLevel ? "margin-top:" : "top:";
      style += length(shape.top) + ";width:" + length(Clamp(shape.width, 0, kMaxLengthPt)) +
               ";height:" + length(Clamp(shape.height, 0, kMaxLengthPt)) + ";";
    }
    if (topLevel) style += "z-index:" + Num(static_cast<std::int64_t>(zIndex)) + ";";
    style += VmlTurn(shape);
    if (!shape.visible) style += "visibility:hidden;";
    if (shape.frame.anchor == TextAnchor::Middle) style += "v-text-anchor:middle;";
    if (shape.frame.anchor == TextAnchor::Bottom) style += "v-text-anchor:bottom;";
    if (topLevel) {
      style += std::string("mso-position-horizontal:absolute;mso-position-horizontal-relative:") +
               kVmlRelHNames[std::clamp(static_cast<int>(shape.relH), 0, 7)] +
               ";mso-position-vertical:absolute;mso-position-vertical-relative:" +
               kVmlRelVNames[std::clamp(static_cast<int>(shape.relV), 0, 7)] +
               VmlWrapStyle(shape.wrap);
    }
    const std::string common = " id=\"" + Attr(name) + "\" o:spid=\"_x0000_s" +
                               Num(1024 + static_cast<std::int64_t>(id)) + "\" style=\"" +
                               Attr(style) + "\"" +
                               (topLevel && !shape.layoutInCell ? " o:allowincell=\"f\"" : "");
    if (shape.kind == ShapeKind::Group) {
      const std::int64_t w =
          std::max<std::int64_t>(1, std::llround(Clamp(shape.width, 0, kMaxLengthPt) * 100));
      const std::int64_t h =
          std::max<std::int64_t>(1, std::llround(Clamp(shape.height, 0, kMaxLengthPt) * 100));
      out +=
          "<v:group" + common + " coordorigin=\"0,0\" coordsize=\"" + Num(w) + "," + Num(h) + "\">";
      for (const auto& member : shape.children) {
        if (!member) continue;
        WriteVml(out, *member, member->name, member->id, 0, false);
      }
      if (topLevel) out += VmlWrapXml(shape.wrap);
      out += "</v:group>";
      return;
    }
    std::string paint, fill;
    if (shape.kind == ShapeKind::Picture || shape.kind == ShapeKind::Line || !shape.fill.visible) {
      paint += " filled=\"f\"";
    } else {
      paint += " fillcolor=\"#" + HexColor(shape.fill.color & 0xFFFFFF) + "\"";
      fill = VmlFillXml(shape.fill, RelIdOf(shape.fill.image));
    }
    if (shape.line.visible) {
      paint += " strokecolor=\"#" + HexColor(shape.line.color & 0xFFFFFF) + "\" strokeweight=\"" +
               FormatPoints(Clamp(shape.line.weight, 0, 1584)) + "pt\"";
    } else {
      paint += " stroked=\"f\"";
    }
    std::string stroke = fill + VmlStrokeXml(shape.line) + VmlShadowXml(shape.shadow);
    if (topLevel) stroke += VmlWrapXml(shape.wrap);
    if (shape.kind == ShapeKind::Line) {
      double x1 = shape.left, y1 = shape.top;
      double x2 = shape.left + shape.width, y2 = shape.top + shape.height;
      if (shape.flipH) std::swap(x1, x2);
      if (shape.flipV) std::swap(y1, y2);
      out += "<v:line" + common + " from=\"" + length(x1) + "," + length(y1) + "\" to=\"" +
             length(x2) + "," + length(y2) + "\"" + paint + ">" + stroke + "</v:line>";
      return;
    }
    const char* element = VmlElement(shape);
    out += std::string("<") + element + common + paint + VmlPathAttributes(shape);
    if (element == std::string_view("v:roundrect"))
      out += " arcsize=\"" + Num(std::llround(double(shape.adjustment) * 65536)) + "f\"";
    out += ">" + stroke;
    if (shape.kind == ShapeKind::Picture) {
      if (const Media* media = MediaFor(shape.image)) {
        out +=
            "<v:imagedata r:id=\"" + media->relId + "\"" + VmlCrop(shape.crop) + " o:title=\"\"/>";
      }
    } else if (shape.kind == ShapeKind::TextBox || !shape.text.empty()) {
      const TextFrame& f = shape.frame;
      out += "<v:textbox inset=\"" + FormatPoints(f.left) + "pt," + FormatPoints(f.top) + "pt," +
             FormatPoints(f.right) + "pt," + FormatPoints(f.bottom) + "pt\"";
      if (f.autoFit) out += " style=\"mso-fit-shape-to-text:t\"";
      out += "><w:txbxContent>";
      WriteTextBoxContent(out, shape, true);
      out += "</w:txbxContent></v:textbox>";
    }
    out += std::string("</") + element + ">";
  }

  const Document& doc_;
  const KeptPackage* kept_ = doc_.kept.get();
  const std::vector<KeptRelationship> keptIds_ = EveryKeptRelationship(kept_);
  // Written with the file's own styles, the text says every property it holds.
  const bool fullFormat_ = KeepsFileStyles(kept_);
  bool templateType_;
  bool forConversion_;  // the package is only LibreOffice's input for a Word 97 file
  std::vector<Media> media_;
  // The floating shapes of the part being written: the body's, or a header's or footer's.
  const std::vector<AnchoredShape>* shapes_ = &doc_.shapes;
  std::vector<Story> stories_;
  PageStories shownBefore_;       // of the section written last
  const Story* story_ = nullptr;  // the header or footer being written
  std::unordered_map<const Image*, std::size_t> mediaIndex_;
  std::unordered_set<std::uint32_t> usedIds_;
  std::uint32_t nextFreeId_ = 1;
  std::uint64_t heightStep_ = 1024;
  WrittenWrappers wrappers_;  // content controls around the paragraphs being written
  const std::vector<Paragraph>* wrapped_ = &doc_.paragraphs;  // which they are
  bool keptStacking_ = false;  // the body's charts and SmartArt keep the file's relativeHeight
  bool hideText_ = false;      // inside a hidden shape
  std::set<std::vector<std::string>> writtenRuns_;  // the relationships of the kept runs written
  std::size_t copiedRelationships_ = 0;
  GraphicCopier copier_{
      [this](const std::string& name) {
        return Kept(name) || MadeParts().count(package::AsciiLower(name));
      },
      [this] { return KeptFree("rIdCopy" + std::to_string(++copiedRelationships_)); }};
};

}  // namespace

std::vector<std::uint8_t> WritePackageToMemory(const Document& doc, bool templateType) {
  return Writer(doc, templateType).Write();
}

std::vector<std::uint8_t> WritePackageForConversion(const Document& doc, bool templateType) {
  return Writer(doc, templateType, true).Write();
}

void WritePackage(const Document& doc, const std::string& path) {
  try {
    package::ReplaceFile(path, WritePackageToMemory(doc, ooxml::write::IsTemplateName(path)));
  } catch (const DocumentError&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw DocumentError(SaveErrorMessage(path, "недостаточно памяти"));
  } catch (const std::exception& error) {
    throw DocumentError(SaveErrorMessage(path, error.what()));
  }
}

}  // namespace wordproc
