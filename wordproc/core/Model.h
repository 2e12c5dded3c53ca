// The document model of the embedded word processor: what a WordprocessingML document holds as
// far as label designs need it. Plain data; layout, editing and the object model work on it.
// All lengths are points (1/72 inch) as float, colours are 0xRRGGBB.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "wordproc/core/Geometry.h"

namespace wordproc {

using Rgb = std::uint32_t;  // 0xRRGGBB

// One column of unequal text columns: its width and the room after it.
struct TextColumn {
  float width = 0, space = 0;

  bool operator==(const TextColumn&) const = default;
};

// The text columns of a section's pages (w:cols): count columns of equal width with space
// between them, or the columns listed one by one; a line between them when separator is set.
struct TextColumns {
  int count = 1;
  float space = 36.0f;
  bool separator = false;
  std::vector<TextColumn> widths;  // unequal columns; empty when they are equal

  bool operator==(const TextColumns&) const = default;
};

// Elements of a section's properties the model does not hold (page borders, line numbers,
// the document grid), kept as the file had them with their place in the schema's order, so
// that they are written back among the ones made from the model. Shared by copies.
struct KeptSectionXml {
  struct Element {
    int rank = 0;  // position of the element's name in the sectPr sequence
    std::string xml;
    bool operator==(const Element&) const = default;
  };
  std::shared_ptr<const std::vector<Element>> elements;
  std::string pageNumberAttributes;  // of w:pgNumType besides w:start (" w:fmt=\"upperRoman\"")

  bool operator==(const KeptSectionXml& o) const {
    const bool emptyA = !elements || elements->empty(), emptyB = !o.elements || o.elements->empty();
    if (pageNumberAttributes != o.pageNumberAttributes || emptyA != emptyB) return false;
    return emptyA || *elements == *o.elements;
  }
};

struct PageSetup {
  float pageWidth = 595.3f;  // A4, as 11906 x 16838 twips
  float pageHeight = 841.9f;
  float topMargin = 72.0f;
  float bottomMargin = 72.0f;
  float leftMargin = 90.0f;
  float rightMargin = 90.0f;
  float headerDistance = 35.4f;  // from the top edge to the header's text
  float footerDistance = 35.4f;  // from the bottom edge to the footer's last line
  TextColumns columns{};
  // The number of the section's first page (w:pgNumType w:start); none: it goes on counting.
  std::optional<int> firstPageNumber{};
  KeptSectionXml kept{};

  bool operator==(const PageSetup&) const = default;
};

// How a section begins (the w:type of the sectPr that ends it).
enum class SectionStart { NextPage, Continuous, OddPage, EvenPage };

struct Paragraph;

struct AnchoredShape;
struct Numbering;

// The text of a header or footer part and its floating shapes (watermarks, logos), which are
// drawn behind the page's text on every page that shows it.
struct HeaderFooter {
  std::vector<Paragraph> paragraphs;
  std::vector<AnchoredShape> shapes;  // anchored to its own paragraphs
  std::string part;  // the package part it was read from, whose relationships its kept runs name

  HeaderFooter();
  ~HeaderFooter();
};
using HeaderFooterPtr = std::shared_ptr<const HeaderFooter>;

// Which pages a header or footer is for: every page, the section's first page (when the
// section says so), and even pages (when the document says so).
enum class HeaderKind { Default = 0, First = 1, Even = 2 };

struct PageStories {
  HeaderFooterPtr headers[3], footers[3];  // by HeaderKind; null: none
  bool titlePage = false;                  // the first page has headers of its own

  bool operator==(const PageStories&) const = default;
};

// A section that ends with a paragraph: the page set-up of its pages, how it begins and its
// headers and footers. The document's last section is its own pageSetup, lastSectionStart and
// lastStories.
struct Section {
  PageSetup setup;
  SectionStart start = SectionStart::NextPage;
  PageStories stories;

  bool operator==(const Section&) const = default;
};

// A page number a header or footer shows: its text is the number last shown, drawn anew on
// every page.
enum class PageField : std::uint8_t { None, Page, NumPages };

// The check box of a legacy form field (w:ffData/w:checkBox): a square drawn in the text, crossed
// when checked, size points high or, 0, as high as its run's text.
struct FormCheckBox {
  bool checked = false;
  float size = 0;

  bool operator==(const FormCheckBox&) const = default;
};

// A field of the text (w:fldSimple, or w:fldChar begin, separate and end around w:instrText):
// its instruction and the form it is written back in. The runs of its result share one
// FieldCode, which is never changed in place: a change makes a new one for those runs, so that
// copies of a shape keep their fields apart. A field whose result is empty keeps one empty run.
struct FieldCode {
  std::string instruction;  // as the file has it, spaces included
  bool simple = false;      // written as w:fldSimple
  // The runs between begin and separate of a complex field whose instruction holds fields of
  // its own, written back as they came while the instruction is unchanged.
  std::string nestedXml;
  bool error = false;  // the result is the message of a failed update, drawn red
  // A legacy form field's w:ffData, written back in its begin as it came.
  std::string formData;
  std::optional<FormCheckBox> checkBox;  // what a FORMCHECKBOX field draws
};
using FieldPtr = std::shared_ptr<const FieldCode>;

// A child of a w:pPr or w:rPr the model does not read (w:textAlignment, w:u, w14:glow), as the
// file had it: its qualified name, its place in the schema's order of properties, and its XML.
struct KeptProperty {
  std::string name;
  int rank = 0;
  std::string xml;

  bool operator==(const KeptProperty&) const = default;
};

// Such properties of a paragraph or run in schema order, written back among those the model
// writes. Runs share them; equal lists compare equal wherever they came from, so that runs that
// differ in nothing else still merge.
struct KeptProperties {
  std::shared_ptr<const std::vector<KeptProperty>> list;

  bool empty() const { return !list || list->empty(); }
  bool operator==(const KeptProperties& other) const {
    return list == other.list || (empty() && other.empty()) ||
           (list && other.list && *list == *other.list);
  }
};

struct RunFormat {
  std::string fontFamily = "Calibri";
  float fontSize = 11.0f;
  bool bold = false;
  bool italic = false;
  Rgb color = 0x000000;
  std::string style;  // w:rStyle, the character style named; the format already holds what it gives
  PageField field = PageField::None;
  FieldPtr fieldCode;  // the field whose result the run is part of
  KeptProperties kept;

  bool operator==(const RunFormat&) const = default;
};

// Breaks within a paragraph's text: '\f' a page break, '\v' a line break, and this one a
// column break (the character the object model shows for it).
inline constexpr char kColumnBreak = '\x0e';

// A raw run that opens an element whose content is the runs up to the raw run closing it (a
// hyperlink, a content control), or closes one; such runs are written only in pairs.
enum class RawNesting : std::uint8_t { None, Opens, Closes };

// What a reference to a footnote or endnote (w:footnoteReference, w:endnoteReference) draws,
// and what the note's own mark (w:footnoteRef, w:endnoteRef) draws before its text: the note's
// id and its number as the document's numbering of that kind of note writes it. A reference
// whose text carries a mark of its own (custom) draws no number and takes none.
struct NoteMark {
  int id = 0;
  std::string text;
  bool custom = false;
  bool endnote = false;  // the id is among the document's endnotes, not its footnotes
  // Of a footnote whose numbers begin again on each page (w:numRestart "eachPage"): the format
  // they are written in, text being only a stand-in until the page is known. Empty otherwise.
  std::string pageFormat;

  bool operator==(const NoteMark&) const = default;
};
using NoteMarkPtr = std::shared_ptr<const NoteMark>;

// A character of a symbol font (w:sym): the font the file names and the character's code in it
// (0xF0FE), drawn as one character in the run's size.
struct SymbolChar {
  std::string font;
  char32_t code = 0;

  bool operator==(const SymbolChar&) const = default;
};
using SymbolPtr = std::shared_ptr<const SymbolChar>;

struct Run {
  std::string text;  // UTF-8, no paragraph marks
  RunFormat format;
  // An element of the file the model does not hold (a bookmark, a note's reference, a chart),
  // written back as it came before the run's text. It has no text of its own, so layout and
  // editing pass it by, and it moves with its paragraph.
  std::shared_ptr<const std::string> raw = nullptr;
  RawNesting nesting = RawNesting::None;
  // The note the run refers to, drawn as a superscript mark; the reference itself is written
  // back from raw.
  NoteMarkPtr note = nullptr;
  // The symbol the run's raw w:sym shows, taking its room in the line; raw is what is written.
  SymbolPtr symbol = nullptr;

  bool operator==(const Run&) const = default;
};

enum class Alignment { Left, Center, Right, Justify };

// How a paragraph's line height follows from its font's single line spacing (w:lineRule).
enum class LineRule {
  Auto,     // a multiple of single spacing
  Exact,    // so many points, whatever the font
  AtLeast,  // single spacing, but no less than so many points
};

// A picture file kept in the package, shared by shapes that show it.
struct Image {
  std::string contentType;  // "image/png", "image/jpeg", ...
  std::string extension;    // "png", "jpeg", ...
  std::vector<std::uint8_t> bytes;
};
using ImagePtr = std::shared_ptr<const Image>;

// The share of a picture's width or height cut off at each edge (a:srcRect); a negative share
// leaves room there instead.
struct PictureCrop {
  float left = 0, top = 0, right = 0, bottom = 0;

  bool operator==(const PictureCrop&) const = default;
  bool empty() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
};

struct Shape;

struct KeptDrawing;

// A picture placed in the text flow, standing in the paragraph after the given run; or a chart
// or SmartArt standing there, drawn from its shape.
struct InlinePicture {
  std::size_t afterRun = 0;  // inserted after this many runs of the paragraph
  std::uint32_t id = 0;
  std::string name;
  float width = 0, height = 0;
  ImagePtr image;
  ImagePtr svg;  // the same picture as SVG, drawn in its place where it can be
  PictureCrop crop;
  std::shared_ptr<const Shape> drawing;  // immutable, shared by copies
  // The run of a chart or SmartArt as the file had it, written back in its place: the parts it
  // names are kept with the package. Copies share it; saving gives all but one parts of their
  // own.
  std::shared_ptr<const KeptDrawing> raw;

  bool operator==(const InlinePicture&) const = default;
};

// One edge of a table or cell border (w:top, w:insideH, ...).
struct BorderLine {
  bool visible = false;
  float width = 0.5f;  // points, of one line of the style (w:sz)
  Rgb color = 0x000000;
  std::string style = "single";  // w:val as the file names it: "double", "dashed", "outset"
  float space = 0;               // w:space, points

  bool operator==(const BorderLine&) const = default;
};

// The room a border takes across its edge: a double border is two lines and the gap between
// them, each of the stated width; the three-dimensional ones are twice it.
float BorderSpan(const BorderLine& line);

struct CellBorders {
  std::optional<BorderLine> top, left, bottom, right;

  bool operator==(const CellBorders&) const = default;
};

// Cell margins: room between a cell's edges and its text.
struct CellMargins {
  float top = 0, left = 5.4f, bottom = 0, right = 5.4f;

  bool operator==(const CellMargins&) const = default;
};

// A content control of the body around whole paragraphs, tables, rows or cells (w:sdt): its start
// tag with its properties and the content's start tag, and the end tags that close them; depth
// is the number of cells around it. One that holds nothing has all its XML in open, or in close
// when nothing followed it, and is written where it stood.
struct BlockWrapper {
  std::string open, close;
  std::size_t depth = 0;
};
using BlockWrapperPtr = std::shared_ptr<const BlockWrapper>;

enum class VerticalMerge { None, Restart, Continue };
// Where a cell's text stands in a row taller than it (w:vAlign): label cells centre theirs.
enum class CellAlign { Top, Center, Bottom };
// w:hRule of a row height; Auto rows are as tall as their content.
enum class RowHeightRule { Auto, AtLeast, Exact };

struct TableCell {
  int gridSpan = 1;
  VerticalMerge vMerge = VerticalMerge::None;
  float width = 0;                     // w:tcW in points, 0 when the file leaves it to the grid
  std::optional<CellMargins> margins;  // sides below zero follow the table's
  std::optional<Rgb> shading;
  CellBorders borders;
  CellAlign align = CellAlign::Top;
  KeptProperties kept;  // w:tcPr's children the model does not read (vertical text, no wrap)
  // Content controls that open before the cell and close after it, as a paragraph's.
  std::vector<BlockWrapperPtr> opens, closes;

  bool operator==(const TableCell&) const = default;
};

// Table-wide properties one row sets in place of the table's (w:tblPrEx), as rows joined from
// another table keep its look: each side of the row takes the row's own border where it gives
// one. Unset borders, and margins below zero, follow the table.
struct RowTableProperties {
  CellBorders borders;
  std::optional<BorderLine> insideH, insideV;
  CellMargins cellMargins{-1, -1, -1, -1};

  bool operator==(const RowTableProperties&) const = default;
};

struct TableRow {
  float height = 0;
  RowHeightRule heightRule = RowHeightRule::Auto;
  bool header = false;     // repeated at the top of every page the table goes on to
  bool cantSplit = false;  // kept whole on one page
  int gridBefore = 0;      // grid columns skipped before the first cell
  std::optional<RowTableProperties> exceptions;
  KeptProperties kept;  // w:trPr's children the model does not read
  std::vector<TableCell> cells;
  std::vector<BlockWrapperPtr> opens, closes;  // content controls around whole rows

  bool operator==(const TableRow&) const = default;
};

// A table's grid and the properties of its rows and cells. The text of its cells stays in the
// document's paragraph list, each paragraph naming its cell (Paragraph::cells), so that ranges,
// character positions and editing see the text as the object model does.
struct Table {
  std::vector<float> grid;  // column widths in points (w:tblGrid)
  float width = 0;          // w:tblW in points; 0 automatic
  float widthPercent = 0;   // w:tblW of type pct, as a share of the text column (0..)
  Alignment alignment = Alignment::Left;
  float indent = 0;  // w:tblInd
  // In files of the word processor's older versions the indent of a table (not within another)
  // is that of the first cell's text: the table's edge stands its left cell margin further out.
  bool indentToText = false;
  CellMargins cellMargins;
  CellBorders borders;
  std::optional<BorderLine> insideH, insideV;
  std::vector<TableRow> rows;
  // The table style named (w:tblStyle) and which of its conditional formats the table takes
  // (w:tblLook, as the flags of its hexadecimal form); the cells already hold what they give.
  std::string style;
  std::optional<std::uint16_t> look;
  KeptProperties kept;  // w:tblPr's children the model does not read (a floating table's place)
  // Content controls around the table alone, outermost first: they stay with it whatever rows
  // are deleted, and go with it.
  std::vector<BlockWrapperPtr> around;

  bool operator==(const Table&) const = default;
};
using TablePtr = std::shared_ptr<const Table>;

// The cell a paragraph stands in.
struct CellRef {
  TablePtr table;
  std::uint32_t row = 0, cell = 0;

  bool operator==(const CellRef&) const = default;
};

// How a tab stop aligns the text after it (w:tab w:val); bar and decimal stops count as left.
// A decimal stop aligns the text after it on its first decimal comma or point, or on its end
// when it has none.
enum class TabAlign : std::uint8_t { Left, Center, Right, Decimal };

struct TabStop {
  float position = 0;  // points from the text column's left edge
  TabAlign align = TabAlign::Left;

  bool operator==(const TabStop&) const = default;
};

// The paragraph's own tab stops in order, and the interval of the document's default stops
// beyond them (w:defaultTabStop; 36 points, 35.4 in documents of Russian editions).
struct TabStops {
  std::vector<TabStop> stops;
  float interval = 36;

  bool operator==(const TabStops&) const = default;
};

// Indents from the text column's edges (w:ind), in points; the first line's own indent is
// negative when it hangs.
struct Indents {
  float left = 0, right = 0, firstLine = 0;

  bool operator==(const Indents&) const = default;
};

// A paragraph of a numbered or bulleted list (w:numPr): the list and its level, and the label
// that numbering gave it, drawn at the first line's indent in its own format and followed by a
// tab, a space or nothing.
struct ListItem {
  int numId = 0;  // 0: not in a list
  int level = 0;
  std::string label;
  RunFormat format;
  char suffix = 't';  // 't' tab, 's' space, 'n' nothing

  bool operator==(const ListItem&) const = default;
};

struct Paragraph {
  std::uint64_t id = 0;  // stable identity while paragraphs are inserted and removed
  std::vector<Run> runs;
  Alignment alignment = Alignment::Left;
  float spaceBefore = 0;
  float spaceAfter = 0;
  LineRule lineRule = LineRule::Auto;
  float line = 1.0f;  // Auto: the multiple; Exact and AtLeast: points
  bool pageBreakBefore = false;
  bool keepNext = false;     // on the same page as the next paragraph's first lines
  bool keepLines = false;    // never divided between pages
  bool widowControl = true;  // no single line of it alone at the top or foot of a page
  // The paragraph style the file names (w:pStyle). The format here already holds what the style
  // gives; the name is kept so that saving with the file's styles keeps the style too.
  std::string style;
  // Right to left: set from the right edge, its words in the order of a right-to-left script;
  // the alignment is then of the paragraph's own start (Left is its right edge).
  bool bidi = false;
  Indents indents;
  TabStops tabs;
  ListItem list;
  std::optional<Section> sectionEnd;  // the section this paragraph ends, when it ends one
  RunFormat markFormat;  // format of the paragraph mark (line height of an empty paragraph)
  // The mark is hidden text (w:vanish): an empty paragraph then takes no room on the page.
  bool hiddenMark = false;
  KeptProperties kept;  // of its w:pPr, its style's and the document's defaults
  std::vector<InlinePicture> inlinePictures;
  // The cells the paragraph stands in, the outermost table first; empty outside tables.
  std::vector<CellRef> cells;
  // Content controls that open before this paragraph (or the table it begins), the outermost
  // first, and that close after it (or the table it ends), the innermost first. One is written
  // only while its opening and closing paragraphs pair up: editing that parts them loses the
  // control, never its text.
  std::vector<BlockWrapperPtr> opens, closes;

  std::string text() const;    // concatenated runs
  std::size_t length() const;  // characters (UTF-16 code units, as the object model counts)

  bool operator==(const Paragraph&) const = default;
};

// Shape kinds with the object model's MsoShapeType numbers.
enum class ShapeKind { AutoShape = 1, Group = 6, Line = 9, Picture = 13, TextBox = 17 };

// Preset geometry of an autoshape, with the MsoAutoShapeType numbers; the other presets are
// kept by name (Shape::preset).
enum class AutoShapeType { Rectangle = 1, RoundedRectangle = 5, Oval = 9 };

// WdRelativeHorizontalPosition / WdRelativeVerticalPosition numbers; DrawingML relativeFrom
// values appear in the same order.
enum class RelH {
  Margin = 0,
  Page = 1,
  Column = 2,
  Character = 3,
  LeftMargin = 4,
  RightMargin = 5,
  InsideMargin = 6,
  OutsideMargin = 7
};
enum class RelV {
  Margin = 0,
  Page = 1,
  Paragraph = 2,
  Line = 3,
  TopMargin = 4,
  BottomMargin = 5,
  InsideMargin = 6,
  OutsideMargin = 7
};

// How body text makes way for a floating shape: not at all (the shape stands in front of or
// behind it), around its box, or above and below it only.
enum class WrapType : std::uint8_t { None, Square, Tight, Through, TopAndBottom };
// Which sides of the shape text may stand beside.
enum class WrapSide : std::uint8_t { Both, Left, Right, Largest };

struct WrapFormat {
  WrapType type = WrapType::None;
  WrapSide side = WrapSide::Both;
  // The room kept free around the shape, in points.
  float top = 0, bottom = 0, left = 9, right = 9;

  bool operator==(const WrapFormat&) const = default;
};

// MsoLineDashStyle numbers.
enum class DashStyle {
  Solid = 1,
  SquareDot = 2,
  RoundDot = 3,
  Dash = 4,
  DashDot = 5,
  DashDotDot = 6,
  LongDash = 7,
  LongDashDot = 8,
  LongDashDotDot = 9,
  SysDash = 10,
  SysDot = 11,
  SysDashDot = 12
};

// MsoLineStyle numbers: compound lines of one to three strokes.
enum class LineStyle {
  Single = 1,
  ThinThin = 2,
  ThinThick = 3,
  ThickThin = 4,
  ThickBetweenThin = 5
};
enum class LineCap { Flat, Round, Square };
enum class LineJoin { Miter, Round, Bevel };
// MsoArrowheadStyle numbers.
enum class ArrowStyle { None = 1, Triangle = 2, Open = 3, Stealth = 4, Diamond = 5, Oval = 6 };

// An arrowhead at one end of a line or open path; width and length are 1 (narrow, short),
// 2 (medium) or 3 (wide, long) as MsoArrowheadWidth and MsoArrowheadLength number them.
struct Arrowhead {
  ArrowStyle style = ArrowStyle::None;
  int width = 2;
  int length = 2;

  bool operator==(const Arrowhead&) const = default;
};

struct LineFormat {
  bool visible = true;
  float weight = 0.75f;
  DashStyle dash = DashStyle::Solid;
  Rgb color = 0x000000;
  float alpha = 1;  // opacity, 0 to 1
  LineStyle style = LineStyle::Single;
  LineCap cap = LineCap::Flat;
  LineJoin join = LineJoin::Miter;
  Arrowhead head, tail;  // at the path's start and end

  bool operator==(const LineFormat&) const = default;
};

// MsoFillType numbers.
enum class FillType { Solid = 1, Patterned = 2, Gradient = 3, Textured = 4, Picture = 6 };
// How a gradient runs: along a line at an angle, or out from a focus as a circle, a rectangle
// or the shape's own outline.
enum class GradientPath { Linear, Circle, Rect, Shape };

struct GradientStop {
  float position = 0;  // 0 to 1
  Rgb color = 0x000000;
  float alpha = 1;

  bool operator==(const GradientStop&) const = default;
};

// A fill: solid (color at alpha), a gradient of stops, an 8x8 pattern preset ("pct50") of color
// on backColor, or a picture stretched or tiled. color stays the fill's first colour whatever the
// type, so code that knows only solid fills still finds one.
struct FillFormat {
  bool visible = true;
  Rgb color = 0xFFFFFF;
  float alpha = 1;
  FillType type = FillType::Solid;
  Rgb backColor = 0xFFFFFF;
  float backAlpha = 1;
  std::vector<GradientStop> stops;
  GradientPath path = GradientPath::Linear;
  float angle = 0;      // degrees clockwise from left-to-right, linear gradients
  bool scaled = false;  // the angle is taken in the unit square and stretched with the shape
  // The focus of a path gradient: insets from the box's left, top, right and bottom as shares.
  float focusLeft = 0.5f, focusTop = 0.5f, focusRight = 0.5f, focusBottom = 0.5f;
  std::string pattern;
  ImagePtr image;
  bool tile = false;

  bool operator==(const FillFormat&) const = default;
};

// An outer shadow: the shape's silhouette in color at alpha, blurred and moved distance points
// towards direction (degrees clockwise from the right).
struct ShadowFormat {
  bool visible = false;
  Rgb color = 0x000000;
  float alpha = 0.35f;
  float blur = 0;
  float distance = 0;
  float direction = 45;

  bool operator==(const ShadowFormat&) const = default;
};

inline constexpr float kDefaultAdjustment = 0.16667f;

// Where the text of a shape stands in its height (msoAnchorTop, msoAnchorMiddle, msoAnchorBottom).
enum class TextAnchor { Top = 1, Middle = 3, Bottom = 4 };

// The text frame of a text box or of a shape with text: room between the edges and the text,
// the text's vertical place, whether the shape grows to its text, and whether text beyond the
// bottom edge is cut off.
struct TextFrame {
  float left = 7.2f, top = 3.6f, right = 7.2f, bottom = 3.6f;
  TextAnchor anchor = TextAnchor::Top;
  bool autoFit = false;
  bool clip = true;

  bool operator==(const TextFrame&) const = default;
};

// A WordArt warp of a shape's text (DrawingML a:prstTxWarp): the preset's name ("textArchUp")
// and its own adjust values in the preset's units (angles in 60000ths of a degree). An empty
// preset, or "textNoShape", sets the text flat as in any text box.
struct TextWarp {
  std::string preset;
  geometry::Adjusts adjusts;

  bool operator==(const TextWarp&) const = default;
};

struct Chart;
struct KeptPackage;

// What a shape's graphic holds: a drawing of its own, or SmartArt (drawn from the diagram's
// drawing as a group of its boxes) or a chart.
enum class GraphicType : std::uint8_t { Drawing, SmartArt, Chart };

// A chart or SmartArt as the file had it: its run's XML, written back as it came, and for a
// floating one the place, size and stacking the file gave it, so that only what has changed
// since is patched into that XML.
struct KeptDrawing {
  std::string xml;
  float left = 0, top = 0, width = 0, height = 0;
  RelH relH = RelH::Page;
  RelV relV = RelV::Page;
  std::uint64_t relativeHeight = 0;
  WrapFormat wrap{};
  // The package whose parts the XML names by relationship id, and the part whose relationships
  // those are (empty: the main part). A copy written beside its original, elsewhere or into
  // another document, is given copies of those parts.
  std::shared_ptr<const KeptPackage> package;
  std::string part;
};

struct Shape {
  std::uint32_t id = 0;  // unique within the document
  std::string name;
  ShapeKind kind = ShapeKind::AutoShape;
  AutoShapeType autoShapeType = AutoShapeType::Rectangle;  // AutoShape and TextBox (rectangle)
  // A rounded rectangle's corner radius as a share of its shorter side (Adjustments(1)).
  float adjustment = kDefaultAdjustment;
  // Any other DrawingML preset of an autoshape ("star5"); empty when autoShapeType names it.
  std::string preset;
  geometry::Adjusts adjusts;          // the preset's or custom geometry's own adjust values
  geometry::ShapeGeometryPtr custom;  // a freeform's own geometry, drawn instead of any preset
  // Degrees clockwise about the centre; left, top, width and height stay the unrotated box.
  float rotation = 0;
  bool visible = true;
  // Position of the top-left corner relative to the references below, and the size.
  float left = 0, top = 0, width = 0, height = 0;
  RelH relH = RelH::Page;
  RelV relV = RelV::Page;
  WrapFormat wrap;  // of a floating shape of the body
  // Anchored in a table cell, the shape is placed from the cell rather than from the page.
  bool layoutInCell = true;
  // Lines: which diagonal of the box the line runs along; other shapes: mirrored outlines.
  bool flipH = false, flipV = false;
  LineFormat line;
  FillFormat fill;
  ShadowFormat shadow;
  std::vector<Paragraph> text;  // text box content
  TextFrame frame;
  TextWarp warp;
  ImagePtr image;  // Picture
  ImagePtr svg;
  PictureCrop crop;
  // Group members; their left/top are in the group's coordinates (points from the group's
  // top-left corner) and are scaled with the group.
  std::vector<std::unique_ptr<Shape>> children;
  GraphicType graphic = GraphicType::Drawing;
  std::shared_ptr<const Chart> chart;  // a chart's series, drawn in its box
  // The chart or SmartArt as read, shared by the states of one shape and by its copies; saving
  // gives every copy but one parts of its own.
  std::shared_ptr<const KeptDrawing> raw;

  std::unique_ptr<Shape> clone() const;
  // Everything alike, members included; images compare as the same part.
  bool sameAs(const Shape& other) const;
};

// A floating shape of the body: anchored to a paragraph, drawn in front of the text.
struct AnchoredShape {
  std::unique_ptr<Shape> shape;
  std::uint64_t anchorParagraph = 0;  // Paragraph::id
};

using KeptPackagePtr = std::shared_ptr<const KeptPackage>;  // KeptPackage.h

// The format of the file a document was read from, which saving keeps.
enum class SourceFormat {
  Package,  // WordprocessingML, whatever the file's extension
  Word97,   // binary Word 97 (a compound file), read and written through LibreOffice
  Other,    // RTF, OpenDocument: read through LibreOffice, saved as a package
};

// A footnote's or endnote's text, as the notes part gives it: its paragraphs, the first beginning
// with the note's mark.
struct Note {
  std::vector<Paragraph> paragraphs;
};
using NotesPtr = std::shared_ptr<const std::map<int, Note>>;

struct Document {
  PageSetup pageSetup;  // of the last section, the whole document's when there is one
  SectionStart lastSectionStart = SectionStart::NextPage;
  PageStories lastStories;
  bool evenAndOddHeaders = false;  // even pages show the even headers and footers
  // The page colour (w:background), drawn under every page, and the element as the file had it
  // (with a fill beyond the colour), written back in its place; whoever changes the colour
  // drops the element.
  std::optional<Rgb> pageColor;
  std::shared_ptr<const std::string> backgroundXml;
  std::vector<Paragraph> paragraphs;  // never empty: a document has at least one paragraph
  // Body shapes in z-order, back to front; also the order of the Shapes collection.
  std::vector<AnchoredShape> shapes;
  bool isTemplate = false;  // the main part carries the template content type
  // The lists' definitions the paragraphs' list items refer to, as the file gave them.
  std::shared_ptr<const Numbering> numbering;
  SourceFormat sourceFormat = SourceFormat::Package;
  KeptPackagePtr kept;  // null for a document not read from a package
  // The footnotes by id, read for drawing at the foot of their pages; the part they come from is
  // kept and written back as it came. Null when there are none.
  NotesPtr footnotes;
  // The endnotes by id, set after the last paragraph; their part is kept likewise.
  NotesPtr endnotes;
  // Each section's endnotes follow its own last paragraph (w:endnotePr w:pos "sectEnd"), not
  // the document's.
  bool endnotesAtSectionEnds = false;
  // The footnotes stand right below the last line of their page's text, not at its foot
  // (w:footnotePr w:pos "beneathText").
  bool footnotesBeneathText = false;

  std::uint64_t nextParagraphId = 1;
  std::uint32_t nextShapeId = 1;

  Document();  // one empty paragraph
  std::uint64_t newParagraphId() { return nextParagraphId++; }
  std::uint32_t newShapeId() { return nextShapeId++; }
  std::unique_ptr<Document> clone() const;
};

}  // namespace wordproc
