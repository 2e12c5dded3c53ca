// The state of reading one package, shared by the parts of the reader: the package and its
// relationships, the theme and styles text inherits from, the images read so far, and the
// shapes waiting for the whole body before they get ids and names. Each group of members is
// defined in its own file: OoxmlReadPackage.cpp, OoxmlReadText.cpp, OoxmlReadDrawing.cpp,
// OoxmlReadVml.cpp and OoxmlReadPlacement.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "wordproc/core/Chart.h"
#include "wordproc/core/KeptPackage.h"
#include "wordproc/core/Model.h"
#include "wordproc/core/Numbering.h"
#include "wordproc/core/OoxmlInternal.h"
#include "wordproc/core/OoxmlProperties.h"
#include "wordproc/core/OoxmlReadXml.h"
#include "wordproc/core/Package.h"

namespace wordproc::ooxml::reader {

// The relationships part of a part: "word/_rels/header1.xml.rels" for "word/header1.xml".
std::string RelationshipsPartOf(const std::string& partName);

struct Theme {
  Rgb colors[12] = {0x000000, 0xFFFFFF, 0x44546A, 0xE7E6E6, 0x4472C4, 0xED7D31,
                    0xA5A5A5, 0xFFC000, 0x5B9BD5, 0x70AD47, 0x0563C1, 0x954F72};
  std::string minorFont = "Calibri";
  std::string majorFont = "Calibri Light";
};

// A colour as DrawingML gives it, its transforms applied: the RGB value and its opacity.
struct ReadColor {
  Rgb rgb = 0;
  float alpha = 1;
};

// A body shape read but not yet placed: shapes are put in z-order once the body is read.
struct PendingShape {
  std::unique_ptr<Shape> shape;
  std::uint64_t paragraph = 0;
  int layer = 1;  // 0: behind the text
  double z = 0;
  std::size_t sequence = 0;
};

using KeptList = std::shared_ptr<const std::vector<KeptProperty>>;

// The page field a field instruction names (PAGE, NUMPAGES), or none.
PageField PageFieldOf(std::string_view instruction);

// a:bodyPr or wps:bodyPr: a shape's text frame and its warp.
void ReadTextBodyProperties(xml_node bodyPr, Shape& shape);

// Markers of the text the model does not hold but saving keeps where they stand: bookmarks,
// comment ranges and editing permissions; with equations, what paragraphs keep; and what runs
// keep: references to notes and comments, symbols, ruby (OoxmlReadKeep.cpp).
bool KeptMarker(std::string_view name);
bool KeptInline(std::string_view name);
bool KeptInRun(std::string_view name);

// w:ind over the indents given before it.
Indents IndentsOf(xml_node ind, Indents base);

class ReadContext {
 public:
  ReadContext(package::ZipReader& zip, const PartHook& onPart) : zip_(zip), onPart_(onPart) {}

  std::unique_ptr<Document> Read();
  // Resolves a relationship target against the folder of its source part.
  static std::string ResolveTarget(const std::string& folder, std::string_view target);

 private:
  // Where inline content read goes: the paragraph, whether it is in the body (text boxes hold no
  // floating shapes), and the run format the paragraph's style gives.
  struct Flow {
    Paragraph* paragraph = nullptr;
    RunFormat paragraphRun;
    bool body = false;
    bool keepRaw = false;  // elements the model does not hold are kept in raw runs
    std::size_t picturesAt = static_cast<std::size_t>(-1);  // runs count at the last picture
    // Complex fields: how deep, the outer one's instruction (read while inCode), the runs of
    // the fields nested in it, and the field whose result is being read.
    int fieldDepth = 0;
    bool inCode = false;
    bool nested = false;
    bool nestedLost = false;  // a nested run names what we cannot write back
    std::string instruction;
    std::string nestedXml;
    std::string formData;  // of the outer field being read
    std::optional<FormCheckBox> checkBox;
    FieldPtr code;
    PageField field = PageField::None;
  };

  struct Relationship {
    std::string type, target;
    bool external = false;
  };

  // Reads and parses an XML part of the package.
  void Parse(const std::string& partName, package::XmlPart& part);

  void ReadContentTypes();
  std::string ContentTypeOf(const std::string& partName) const;
  std::string FindMainPart();
  void ReadRelationships(const std::string& relsPart);
  const std::string* PartOfType(std::string_view suffix) const;
  // Keeps on the document the parts the writer does not make itself, and the relationships of
  // the package and of the main part that lead to them (OoxmlReadKeep.cpp).
  void KeepUnread(const std::string& mainPart);
  std::vector<KeptRelationship> KeptRelationships(const std::string& relsPart,
                                                  const std::string& folder, bool absolute,
                                                  const std::unordered_set<std::string>& made);
  void ReadTheme();
  Section SectionOf(xml_node sectPr);
  // A text box's paragraphs, which hold no floating shapes of their own.
  void ReadTextBoxBlocks(xml_node content, std::vector<Paragraph>& out);
  void ReadStories(xml_node sectPr, PageStories& stories);
  HeaderFooterPtr ReadStory(std::string_view relId);
  void InheritStories();
  void ReadThemePart();
  std::optional<ReadColor> SchemeColor(std::string_view name,
                                       std::optional<ReadColor> placeholder) const;
  // The colour held by a fill or reference element, with its transforms applied; phClr stands
  // for the placeholder, the colour of the style reference being resolved.
  std::optional<ReadColor> ColorOf(xml_node holder, std::optional<ReadColor> placeholder) const;
  // The fill, line and effect style lists of the theme's format scheme.
  void ReadThemeFormats(xml_node elements);
  void ReadStyles();
  void ReadSettings();
  void ReadNumbering();
  // The list a paragraph stands in: the level's indents under the paragraph's own, the label's
  // format, and the document's tab interval.
  void ApplyList(xml_node pPr, Paragraph& p) const;
  // The rPr or pPr elements of a style and the styles it is based on, the most basic first.
  const std::vector<xml_node>& StyleChain(const std::string& id, const char* properties);
  void ApplyRunProperties(xml_node rPr, RunFormat& format) const;
  static void ApplyParagraphProperties(xml_node pPr, Paragraph& p);
  // The children of a w:pPr or w:rPr the model does not read and we can write back; a style's
  // are read once (OoxmlReadProps.cpp).
  KeptList UnreadProperties(xml_node props, PropertyKind kind, bool style);
  // Those of the lists given, later ones over earlier ones.
  KeptProperties KeepProperties(const std::vector<KeptList>& lists, PropertyKind kind);
  KeptList Interned(std::vector<KeptProperty> list);
  bool WritableNames(xml_node node);
  // What the paragraph's style and the table's give its runs and itself.
  void KeepStyleProperties(xml_node pPr, const std::string& styleId, bool inTable, Paragraph& para,
                           RunFormat& paragraphRun);

  void ReadPageSetup(xml_node body);
  void ReadBackground(xml_node background);
  // Footnotes and endnotes (OoxmlReadNotes.cpp): how they are numbered, the notes of a notes
  // part, the reference just kept in a raw run, and the note's own mark in its text.
  enum class NoteRestart : std::uint8_t { Continuous, EachSection, EachPage };
  struct NoteNumbering {
    std::string format = "decimal";
    int start = 1;
    NoteRestart restart = NoteRestart::Continuous;
    std::string position;  // w:pos, as given
  };
  static void ApplyNoteNumbering(xml_node notePr, NoteNumbering& numbering);
  // The document's numbering with what the section's sectPr says over it.
  NoteNumbering SectionNoteNumbering(xml_node sectPr, bool endnotes) const;
  void ReadNotes(bool endnotes);
  void NumberNotes(std::map<int, Note>& notes, bool endnotes);
  void KeepNoteReference(xml_node reference, Flow& flow, bool endnote);
  void AddNoteMark(Flow& flow, const RunFormat& format);
  // A run of its own that shows a symbol and writes nothing, where w:sym is not kept.
  void AddSymbol(Flow& flow, const RunFormat& format, SymbolPtr symbol);
  // Paragraphs of a body, cell or text box; content controls are flattened.
  void ReadBlocks(xml_node container, bool body, std::vector<Paragraph>& out);
  // A table of the body or of a header or footer: its paragraphs name their cells. Tables in
  // text boxes are flattened.
  void ReadTable(xml_node tbl, bool body, std::vector<Paragraph>& out);
  Paragraph EmptyCellParagraph();
  void ReadJoinedCell(pugi::xml_node tc, bool body, const std::shared_ptr<Table>& table,
                      std::uint32_t row, std::vector<Paragraph>& out);
  using NodeVisitor = std::function<void(xml_node)>;
  // Where the content controls around rows or cells go: the opens or closes of the one read last.
  struct WrapperTarget {
    using Last = std::function<std::vector<BlockWrapperPtr>&(bool opens)>;
    explicit WrapperTarget(Last lists) : last(std::move(lists)) {}
    Last last;
    std::vector<BlockWrapperPtr> waiting;  // for the next one read
    std::size_t visited = 0;
  };
  // Rows and cells, looking through the content controls and revisions that may wrap them.
  // Children of that name, and those inside content controls and revisions; with a target, the
  // controls are kept around those read (OoxmlReadKeep.cpp).
  static void ForEachWrapped(xml_node parent, std::string_view element, const NodeVisitor& f,
                             WrapperTarget* target = nullptr);
  static BlockWrapperPtr WrapperOf(xml_node sdt);
  // Empty content controls still waiting for a paragraph end the last one read.
  void EndPendingControls(std::vector<Paragraph>& out);
  static void ForEachRow(xml_node tbl, const NodeVisitor& f);
  static void ForEachCell(xml_node tr, const NodeVisitor& f);
  static void ForEachRowCell(xml_node tbl, const NodeVisitor& f);
  void CountParagraph();
  void CountText(std::size_t bytes);
  std::unique_ptr<Shape> NewShape();
  Paragraph ReadParagraph(xml_node p, bool body);
  void ReadInlineContent(xml_node container, Flow& flow);
  void AppendText(Flow& flow, const RunFormat& format, const std::string& text);
  void ReadRun(xml_node r, Flow& flow);
  // Keeps an element of the body's text as a run of its own (OoxmlReadKeep.cpp).
  void KeepRaw(Flow& flow, const RunFormat& format, std::string xml,
               RawNesting nesting = RawNesting::None);
  // A hyperlink, content control or smart tag of the body's text: its start with its properties
  // and its end kept around the runs read from its content.
  void ReadWrapped(xml_node wrapper, xml_node content, Flow& flow);
  // A content control of the body: its paragraphs, which keep it around them when it holds
  // nothing else (OoxmlReadKeep.cpp).
  void ReadBlockControl(xml_node sdt, bool body, std::vector<Paragraph>& out);
  TablePtr TableAlone(xml_node content, const std::vector<Paragraph>& out, std::size_t first) const;
  // A floating chart or SmartArt keeps its run's XML, and the place and size it was read at;
  // one in the text its run's XML.
  void KeepDrawing(Shape& shape, xml_node r, xml_node drawing);
  std::shared_ptr<const KeptDrawing> KeptTextDrawing(xml_node r, xml_node drawing);
  // The element of a run, wrapped in a run of the same properties.
  static std::string RunXml(xml_node r, xml_node element);
  void KeepRootNamespaces(xml_node root);
  // Markers among the rows or cells of a body's table, back from the node given to the row or
  // cell before, wait for the next paragraph read.
  void KeepMarkersBack(xml_node from, std::string_view stop, bool body);
  void FollowField(xml_node c, const RunFormat& format, Flow& flow);
  void StartFieldResult(Flow& flow, std::string instruction, bool simple);
  // A field without result text keeps an empty run to carry it.
  void EndFieldResult(Flow& flow, const RunFormat& format);
  // The picture part of a relationship; an optional one that is missing or no picture is null
  // rather than a damaged file.
  ImagePtr ImageFor(std::string_view relId, bool optional = false);
  // The picture of a pic element: its part, its SVG and its crop.
  void ReadBlipFill(xml_node pic, Shape& shape);

  static void ReadNonVisual(xml_node cNvPr, Shape& shape);
  // Paint of a shape: its own, or what the theme's style lists give through wps:style.
  void ReadLine(xml_node spPr, xml_node style, Shape& shape);
  void ReadFill(xml_node spPr, xml_node style, Shape& shape);
  void ReadEffects(xml_node spPr, xml_node style, Shape& shape);
  // One fill element (a:solidFill, a:gradFill...) into fill; false when c is none.
  bool ReadFillElement(xml_node c, std::optional<ReadColor> placeholder, FillFormat& fill);
  void ReadGradient(xml_node gradFill, std::optional<ReadColor> placeholder, FillFormat& fill);
  void ReadLineElement(xml_node ln, std::optional<ReadColor> placeholder, LineFormat& line);
  void ReadShadowElement(xml_node effectLst, std::optional<ReadColor> placeholder,
                         ShadowFormat& shadow);
  // An autoshape, line or text box. Returns its transform, whose meaning depends on the parent.
  std::unique_ptr<Shape> ReadWsp(xml_node wsp, Xfrm& xfrm);
  std::unique_ptr<Shape> ReadPic(xml_node pic, Xfrm& xfrm);
  void ReadGroupMembers(xml_node group, const ChildSpace& space, Shape& into, int depth);
  // A diagram as the group of shapes its drawing part holds; null without one.
  std::unique_ptr<Shape> ReadDiagram(xml_node relIds);
  std::shared_ptr<const Chart> ReadChart(xml_node chartRef);
  std::unique_ptr<Shape> ReadChartFrame(xml_node chartRef);
  Rgb SeriesColor(xml_node spPr, std::size_t index, bool line) const;
  std::unique_ptr<Shape> ReadDiagramShape(xml_node sp);
  // The DrawingML paragraphs of a:txBody; text of the colour and size the shape's style gives.
  void ReadDrawingText(xml_node txBody, const RunFormat& base, std::vector<Paragraph>& out);
  // The shape inside a:graphic, sized by the anchor's extent.
  std::unique_ptr<Shape> ReadGraphic(xml_node container, double width, double height);
  void ReadDrawing(xml_node drawing, Flow& flow);
  void ReadInline(xml_node node, Flow& flow);
  void ReadAnchor(xml_node anchor, Flow& flow);
  static double Offset(xml_node position, double area, double size);

  void ReadPict(xml_node pict, Flow& flow);
  // LibreOffice keeps a VML shape's name in an "ID" attribute and numbers the "id"s itself; Word
  // puts the name in "id".
  static std::string_view VmlName(xml_node node);
  // LibreOffice writes group members without names in the DrawingML choice but names them in
  // the VML fallback beside it; members are in the same order in both.
  static void NameMembersFromFallback(xml_node anchor, Shape& group);
  static void NameMembers(xml_node vmlGroup, Shape& group, int depth);
  // A VML shape; space is null for a top-level shape, whose lengths carry units, and the
  // group's coordinate space for a member.
  std::unique_ptr<Shape> ReadVml(xml_node node, const CssStyle& style, const ChildSpace* space,
                                 int depth);

  // v:fill, v:stroke and v:shadow beyond the colours and weights ReadVml takes itself.
  void ReadVmlFill(xml_node fill, FillFormat& out);
  static void ReadVmlStroke(xml_node stroke, LineFormat& out);
  static void ReadVmlShadow(xml_node shadow, ShadowFormat& out);

  // Width and height of the area a relative position refers to, for aligned positions.
  double AreaWidth(RelH rel) const;
  double AreaHeight(RelV rel) const;
  static double Aligned(std::string_view align, double area, double size);
  void AddInlinePicture(Flow& flow, std::unique_ptr<Shape> shape);
  void Keep(std::unique_ptr<Shape> shape, const Flow& flow, int layer, double z);
  void PlaceShapes();

  template <class Rel, std::size_t N>
  static Rel RelFrom(std::string_view name, const char* const (&names)[N], Rel fallback) {
    for (std::size_t i = 0; i < N; ++i) {
      if (name == names[i]) return static_cast<Rel>(i);
    }
    return fallback;
  }

  // The document's own memory is charged with the parts it is read from. Vectors grow by
  // doubling, so an element may take twice its size for a while.
  void ChargeModel(std::uint64_t bytes) { zip_.Charge(bytes); }

  package::ZipReader& zip_;
  const PartHook& onPart_;
  std::unique_ptr<Document> doc_;
  std::unordered_map<std::string, std::string> overrides_, defaults_;
  std::unordered_map<std::string, Relationship> relationships_;
  std::string mainFolder_;
  Theme theme_;
  package::XmlPart themePart_;
  xml_node themeFills_, themeBackgroundFills_, themeLines_, themeEffects_;
  package::XmlPart stylesPart_;
  std::unordered_map<std::string, xml_node> styles_;
  // Style chains by kind of properties and style id.
  std::unordered_map<std::string, std::vector<xml_node>> styleChains_;
  std::string defaultParagraphStyle_, defaultTableStyle_;
  // The paragraph and run properties the table style gives the cells being read.
  struct TableStyle {
    std::vector<xml_node> paragraph, run;
  };
  TableStyle tableStyle_;
  std::vector<CellRef> cells_;  // the cells being read, the outermost first
  std::unordered_map<std::string, HeaderFooterPtr> stories_;  // by part name
  bool storyTables_ = false;  // reading a header or footer, whose tables keep their cells
  // Whether what the model does not read is kept for saving: in the body and in headers and
  // footers, which are written from the model too.
  bool Keeps(bool body) const { return body || storyTables_; }
  bool storyShapes_ = false;  // reading a header's or footer's own text: it keeps its shapes
  std::string storyPart_;     // and the part it is read from
  xml_node defaultParagraphProperties_, runDefaults_;
  float defaultTab_ = 36;
  RunFormat baseRun_;
  std::unordered_map<std::string, ImagePtr> images_;
  std::unordered_map<const void*, KeptList> unreadStyles_;  // by the style's pPr or rPr
  std::unordered_map<std::string, KeptList> internedProperties_;
  // What a paragraph style, with the table style around it, gives paragraphs and runs.
  std::unordered_map<std::string, std::pair<KeptList, KeptList>> styleProperties_;
  // The prefixes each part read declares on its root, by the part's document node.
  std::unordered_map<const void*, std::unordered_map<std::string, std::string>> partNamespaces_;
  // Markers between the body's paragraphs, kept at the start of the next paragraph read.
  std::vector<std::string> pendingRaw_;
  std::string settingsXml_, stylesXml_;  // as the file had them
  int compatibilityMode_ = 12;  // the word processor's version whose layout the file asks for
  // The body's charts and SmartArt kept as read, told the package once it is known.
  std::vector<std::shared_ptr<KeptDrawing>> keptDrawings_;
  std::vector<BlockWrapperPtr> pendingControls_;  // empty ones, for the next paragraph read
  std::size_t rawKept_ = 0;
  std::vector<std::pair<std::string, std::string>> rootNamespaces_;
  std::string ignorable_;
  std::vector<PendingShape> pending_;
  std::uint32_t paragraphs_ = 0;
  std::uint64_t textBytes_ = 0;
  // The paragraph read last, for contextual spacing between paragraphs of one style.
  struct Neighbour {
    std::uint64_t id = 0;
    std::string style;
    bool contextual = false;
  };
  Neighbour read_, previous_;
  NoteNumbering footnoteNumbering_, endnoteNumbering_{"lowerRoman", 1, NoteRestart::Continuous, {}};
  // The sectPr of each section, by the id of the paragraph that ends it, and the last one's.
  std::map<std::uint64_t, xml_node> sectionProperties_;
  xml_node lastSectionProperties_;
  bool sectionEndnotes_ = false;  // a section's own w:endnotePr collects them at its end
  int noteBeingRead_ = -1;        // the id of the note whose text is being read
  bool endnoteBeingRead_ = false;
  void ApplyContextualSpacing(std::vector<Paragraph>& out, Paragraph& next);
};

}  // namespace wordproc::ooxml::reader
