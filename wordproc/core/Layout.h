// Pagination of a document: which page (and column) each paragraph, table row and body shape
// stands on, where, and the character positions the object model's ranges use. Text flows
// through the columns of each page's sections: paragraphs divide between columns and pages at
// their lines, table rows go on whole or split as their rows allow. A floating shape that text
// wraps around and that leaves no room for text beside it in the column sends the text below it.
// The layout is kept incrementally: an edit invalidates from the changed paragraph on, so appending
// paragraph after paragraph stays linear in the document's size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>
#include <vector>

#include "wordproc/core/Model.h"
#include "wordproc/core/TableLayout.h"
#include "wordproc/core/TextMeasure.h"

namespace wordproc {

struct RectF {
  float x = 0, y = 0, width = 0, height = 0;
};

// A table cell's box on a page, drawn under the text: its shading and borders.
struct PageCellBox {
  int page = 1;
  std::size_t table = 0;  // the table's first paragraph
  RectF rect;
  CellBorders edges;
  std::optional<Rgb> shading;
};

// The part of a paragraph divided between pages that stands on one page: drawn from top, as
// tall as height, the paragraph's first offset points (spacing before and the lines on earlier
// pages) left out.
struct LinePiece {
  int page = 1;
  float left = 0;  // of its column
  float top = 0, height = 0;
  float offset = 0;
  int lines = 0;
};

// A header row's paragraph set again at the top of a page its table goes on to.
struct RepeatedParagraph {
  int page = 1;
  std::size_t table = 0;
  std::size_t paragraph = 0;
  float x = 0, y = 0, width = 0;
};

// A part of a paragraph that a page or column break in its text begins (PageBreakParts), and
// where it stands.
struct BreakPart {
  int page = 1;
  float left = 0, top = 0, width = 0;
};

// A footnote at the foot of a page, or the part of it that stands there: the note (its id among
// the document's footnotes) and where its paragraphs begin, set one under the other in the width
// given, drawn from top with their first offset points left out (what earlier pages hold), as
// tall as height.
struct PageNote {
  int id = 0;
  float left = 0, top = 0, width = 0, offset = 0, height = 0;
};

// The footnotes of a page, in the order their references stand, under a short rule (a line from
// x, y, width long; no width when the page has no notes). A page that goes on with a note begun
// on the page before sets that first, under a rule across the whole width of the text.
struct PageNotes {
  RectF rule;
  std::vector<PageNote> notes;
};

// A paragraph of an endnote, or the part of it that stands on a page: the note (its id among the
// document's endnotes) and which of its paragraphs, drawn from top in the width given with its
// first offset points left out (the lines on earlier pages), as tall as height.
struct PageEndnote {
  int id = 0;
  std::size_t paragraph = 0;
  float left = 0, top = 0, width = 0, offset = 0, height = 0;
};

// The endnotes on a page, after the document's last paragraph (or a section's, when each
// section's notes end it), and the rule above them on the page they begin on (no width on the
// pages they go on to). Where the notes of two sections begin on one page, rules holds both rules
// (rule is the first).
struct PageEndnotes {
  RectF rule;
  std::vector<PageEndnote> parts;
  std::vector<RectF> rules;
};

// Above a page's footnotes: room, a rule of this weight and room again, and the share of the
// text's width the rule takes, as LibreOffice sets notes.
inline constexpr float kNoteRuleSpace = 2.85f, kNoteRuleWeight = 0.5f, kNoteRuleShare = 0.25f;
inline constexpr float kNoteSeparator = 2 * kNoteRuleSpace + kNoteRuleWeight;

// A text column's place across the page.
struct ColumnBox {
  float left = 0, width = 0;
};

// Where a header's or footer's floating shape stands on a page of that set-up: from the page,
// its margins, or the story's top (which its paragraphs begin at).
RectF StoryShapeRect(const Shape& shape, const PageSetup& setup, float storyTop);

// The height of the paragraph's lines of text, given the single line spacing of its largest
// font: as its line rule says.
double LineHeight(const Paragraph& paragraph, double singleLine);
// The format whose font sets the paragraph's line height: the largest holding text, or the
// paragraph mark's in an empty paragraph.
const RunFormat& LargestFormat(const Paragraph& paragraph);
// Whether the runs holding text are set in fonts of different line heights: then each line is
// as tall as its own tallest font, not the paragraph's.
bool MixedLineHeights(const Paragraph& paragraph, const TextMeasurer& measurer);

// The narrowest column body text is broken to: half an inch holds a few characters of ordinary
// sizes. Margins wider than the page leave no room at all, yet the text must still be set: from
// the left margin on, cut off at the page's edge. Without a column of some width every word would
// be broken into lines of nothing, forever.
inline constexpr float kMinTextColumn = 36.0f;

// Rounding of the running sums must not push a paragraph that fits exactly onto the next page.
inline constexpr double kFitTolerance = 1e-3;

// The width body text is broken to: the room between the margins, but at least kMinTextColumn,
// or the whole page where the page itself is narrower.
float TextColumnWidth(const PageSetup& setup);

// The text columns of a section's pages, left to right. Columns too narrow to hold text are
// given up: the page keeps as many as have room, at least one.
std::vector<ColumnBox> ColumnBoxes(const PageSetup& setup);

// The parts of a paragraph that page and column breaks ('\f' and kColumnBreak in its text) put
// on pages or columns of their own, each formatted as the paragraph, the spacing before on the
// first and after on the last only. Empty when the paragraph holds no such break. breaks, when
// given, receives the break that begins each part (0 for the first).
std::vector<Paragraph> PageBreakParts(const Paragraph& paragraph,
                                      std::vector<char>* breaks = nullptr);

// Height of a paragraph set in a column of the given width: its line count as the measurer
// breaks it times its line height, the tallest inline picture at least, plus its spacing.
float ParagraphHeight(const Paragraph& paragraph, float textWidth, const TextMeasurer& measurer);
// An empty paragraph whose mark is hidden is not there at all, its spacing neither.
bool TakesNoRoom(const Paragraph& paragraph);

class Layout {
 public:
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  // The measurer outlives the layout.
  Layout(const Document& doc, const TextMeasurer& measurer) : doc_(&doc), measurer_(&measurer) {}

  // Call after changing paragraphs at index and later (or the page set-up: index 0).
  void invalidateFrom(std::size_t paragraphIndex);

  int pageCount();
  int pageOfParagraph(std::size_t index);  // 1-based, where the paragraph begins
  // Where it ends: later than where it begins when page breaks in its text carry it on.
  int lastPageOfParagraph(std::size_t index);
  // The page set-up of the section the page's first paragraph belongs to.
  PageSetup pageSetupOfPage(int page);
  // The number the page shows in its header or footer: counted on from the page before, or
  // from the number its section begins with.
  int pageNumberOfPage(int page);
  // The page set-up of the paragraph's section.
  PageSetup pageSetupOfParagraph(std::size_t index);
  // The header (or footer) the page shows: its section's first-page one on the section's first
  // page when the section has those, the even one on even pages when the document has those,
  // else the default one. Null when there is none.
  HeaderFooterPtr headerOfPage(int page, bool footer);
  // Where the page's text begins: its top margin, or below a header that reaches further.
  double textTopOfPage(int page);
  // The first paragraph of the page (1-based); the last page's when page is beyond it.
  std::size_t firstParagraphOfPage(int page);
  // Top of the paragraph in points from the top edge of its page, and its height.
  float paragraphTop(std::size_t index);
  float paragraphHeight(std::size_t index);
  // Left edge of the paragraph's text from the page's left edge and the width it is set in:
  // the margins' for body text, the cell's for text in tables.
  float paragraphLeft(std::size_t index);
  float paragraphWidth(std::size_t index);
  // The pieces of a paragraph divided between pages at its lines; empty when it is not.
  std::vector<LinePiece> piecesOf(std::size_t index);
  // Where the parts of a paragraph with page or column breaks stand (alongside PageBreakParts);
  // empty when it has none.
  std::vector<BreakPart> breakPartsOf(std::size_t index);
  // The lines between the columns of the page, where their sections ask for them: from the top
  // of the columns down to the lowest text beside them (x, y, 0, height).
  std::vector<RectF> columnRulesOnPage(int page);
  // Cell boxes and repeated header rows of the page, in the order they were laid out.
  std::vector<PageCellBox> cellBoxesOnPage(int page);
  std::vector<RepeatedParagraph> repeatedOnPage(int page);
  // The footnotes of the page: those its lines refer to, stacked up from the foot of its text,
  // whose room the body's text leaves them.
  // When the document sets them right below the text, the notes begin there instead.
  PageNotes notesOnPage(int page);
  // The marks of the footnotes referred to on the page whose numbers begin again on each page:
  // by id, the text the page shows them with (1, 2... on each page, in their format).
  std::map<int, std::string> footnoteMarksOnPage(int page);
  // The endnotes the page holds: they follow the last paragraph (of their section, when the
  // document collects them at each section's end), in the order of their references, and go on
  // to pages of their own when they do not fit after it.
  PageEndnotes endnotesOnPage(int page);

  // Character positions: each paragraph holds its length plus one for its mark.
  std::int64_t paragraphStart(std::size_t index);
  std::int64_t storyLength();
  std::size_t paragraphAt(std::int64_t position);  // clamps to the last paragraph
  // The paragraph's index, or npos when no paragraph has that id.
  std::size_t paragraphIndexOf(std::uint64_t paragraphId);

  // A body shape's page (of its anchor) and its rectangle in points from the page's top-left
  // corner, taking the relative references into account.
  int pageOfShape(const AnchoredShape& shape);
  RectF shapeRectOnPage(const AnchoredShape& shape);
  // Converts a position between references, keeping the shape where it is on the page.
  float horizontalOrigin(RelH ref, const AnchoredShape& shape);
  float verticalOrigin(RelV ref, const AnchoredShape& shape);

 private:
  // Internally pages are counted in frames: each column of each page, in the order text fills
  // them. Entries, pieces and table parts name frames (1-based); the public functions answer
  // pages. A document without columns has one frame per page.
  struct Entry {
    int page = 1;               // the frame
    float top = 0, height = 0;  // of the part on the first frame
    std::int64_t start = 0;
    int endPage = 1;  // the frame of its last part
    float endY = 0;   // the bottom of its last part; of the table, for a table's last paragraph
    float left = 0, width = 0;
  };
  struct Frame {
    int page = 1, column = 0;
    std::size_t first = 0;    // the paragraph it begins with
    std::size_t section = 0;  // sectionEndOf of that paragraph
    float left = 0, width = 0, top = 0, bottom = 0;
    float used = 0;  // the bottom of the text set in it so far
    // Shapes across the column, by the paragraphs they are anchored to. One below the text set
    // so far ends the frame at its top, and the text goes on below it in a frame of its own;
    // one reaching into that text sends what comes after below it (clear).
    struct Band {
      std::size_t by = 0;
      float top = 0, bottom = 0;
      bool ends = false;
    };
    std::vector<Band> bands;
    // Shapes text stands beside, on one side: from top to bottom of a shape's box, paragraphs
    // are set between left and left + width.
    struct Beside {
      std::size_t by = 0;
      float top = 0, bottom = 0, left = 0, width = 0;
    };
    std::vector<Beside> beside;
    float fullBottom = 0;  // the bottom without bands
    float clear = 0;
  };

  // Where a block beginning with the paragraph goes: below the one above when its first needed
  // points fit and nothing asks for a new page; else at the top of the next column or page,
  // which is begun.
  struct Start {
    int page = 1;  // the frame
    double top = 0;
    bool newPage = false;  // at the top of a column
  };
  // splitsAt, when given, may keep a block that does not fit whole in the frame, divided from y.
  // The footnotes the block refers to need notes points of room at the foot of the page too.
  Start startOf(std::size_t index, const PageSetup& setup, double spaceBefore, double needed,
                const std::function<bool(int frame, double y)>& splitsAt = {}, double notes = 0);
  Entry newEntry(std::size_t index, float left, float width) const;
  bool carryKeptWithNext(std::size_t index, const PageSetup& setup);
  // besideFrame: the frame the column is narrowed beside shapes in, 0 when it is not.
  bool placeLines(std::size_t index, const PageSetup& setup, ColumnBox column, int besideFrame);
  void placeTable(std::size_t begin);
  void placeBoxes(std::size_t begin, const TableMeasure& m, const std::vector<RowPart>& parts,
                  float firstLeft, std::uint32_t onlyRowsBefore = std::uint32_t(-1));
  // The first paragraph of the table the paragraph stands in, or the paragraph itself.
  std::size_t tableStartOf(std::size_t index) const;

  void ensure(std::size_t paragraphIndex);
  void ensureAll();
  // Places the paragraph, or the table it begins, and lets the shapes anchored in it wrap.
  void place(std::size_t index);
  void placeBlock(std::size_t index);
  void truncate(std::size_t paragraphIndex);
  // The paragraph that ends the section of the given one, or the paragraph count for the last
  // section.
  std::size_t sectionEndOf(std::size_t index);
  const Section* sectionOf(std::size_t index);
  // Begins a page with the paragraph; returns its first frame.
  int startPage(std::size_t index, const PageSetup& setup);
  // Begins the next column of the page, or a page when its columns are used up.
  int nextFrame(std::size_t index, const PageSetup& setup);
  // Adds the first column of a page, or of a section that goes on on it, within the depth its
  // columns are balanced to (the top no lower than that when fitTop); returns it.
  int pushFrame(int page, std::size_t first, std::size_t section, ColumnBox column, float top,
                float bottom, bool fitTop);
  // Begins the columns of a section that goes on on the page of the one before, below its text.
  int continueOnPage(std::size_t index, const PageSetup& setup);
  // Evens out the columns of the section before the paragraph on their last page.
  void balanceColumnsBefore(std::size_t index);
  // The column the paragraph is set in where it would begin.
  ColumnBox columnFor(std::size_t index, const PageSetup& setup);
  void use(int frame, double bottom);
  // The header or footer a page beginning with the paragraph shows, and its height.
  HeaderFooterPtr storyOf(std::size_t first, int page, bool beginsSection, bool footer);
  float storyHeight(const HeaderFooterPtr& story, float width);
  double frameTop(int frame) const;
  double frameBottom(int frame) const;
  int pageOfFrame(int frame) const;
  std::size_t anchorIndex(const AnchoredShape& shape);
  // The box of the table cell a shape laid out in its cell is placed from: the innermost cell
  // holding the start of its paragraph.
  std::optional<RectF> cellOf(const AnchoredShape& shape);
  // Wrapping shapes anchored to the paragraph just placed take their part of its frame.
  void wrapAround(std::size_t index);
  bool bandOf(const Shape& shape, std::size_t anchor, const Frame& frame, Frame::Band& band);
  static void applyBands(Frame& frame);
  float frameClear(int frame) const;
  void placeBelowOwnShapes(std::size_t index);
  std::pair<float, float> shapeCorner(const Shape& shape, std::size_t anchor,
                                      const Frame& frame) const;
  bool besideOf(const Shape& shape, std::size_t anchor, const Frame& frame, Frame::Beside& box);
  // The room beside the shapes of the last frame a paragraph set in the column from where the
  // frame's text ends would reach into; none when it reaches into none.
  std::optional<ColumnBox> besideShapes(std::size_t index, const ColumnBox& column);
  // Sets the paragraph just placed beside its own shapes.
  void placeBesideOwnShapes(std::size_t index);
  // Lays the text out again from the first anchor of the wrapping shapes when one of them has
  // moved, changed in size or stopped wrapping since the text made way for them.
  void checkWrappingMoved();
  std::size_t wrappingHash() const;
  // Begins the frame below the band that ended the last one; 0 when there is none.
  int resumeBelowBand(std::size_t index);

  // Footnotes (LayoutNotes.cpp). A reference to one: the paragraph, the line of it that holds
  // the reference, the note, the width it is set in, its height and that of its first line.
  struct NoteRef {
    std::size_t paragraph = 0;
    int line = 0;
    int id = 0;
    float width = 0, height = 0, first = 0;
  };
  // A note, or the part of it, set at the foot of a page for the paragraph that refers to it:
  // from offset on, height points of it, rest points left for the pages after.
  struct PlacedNote {
    std::size_t paragraph = 0;
    int page = 1;
    int id = 0;
    float width = 0, offset = 0, height = 0, rest = 0;
  };
  // The notes the paragraph (or a part of it) refers to, set in a column of the given width.
  std::vector<NoteRef> notesOf(std::size_t index, const Paragraph& paragraph, float width);
  // Where a note set in that width may be divided between pages: after each of its lines,
  // from its top; the last is its height.
  const std::vector<float>& noteCuts(int id, float width);
  static double NotesHeight(const std::vector<NoteRef>& refs, int fromLine = 0,
                            int toLine = 1 << 30);
  // As NotesHeight, but of the last note only its first line when it is referred to on the
  // last of the lines: the least the lines need for it to be divided.
  static double LeastNotesHeight(const std::vector<NoteRef>& refs, int fromLine = 0,
                                 int toLine = 1 << 30);
  // The room that much more of notes takes on the frame's page: with the rule on a page that
  // has no notes yet; more than any page has on one that carries a note on to the next.
  double notesRoom(int frame, double notes) const;
  bool carriesNote(int page) const;
  // Sets the notes of the lines from fromLine to before toLine at the foot of the frame's page,
  // below text that goes down to textBottom.
  void addNotes(int frame, const std::vector<NoteRef>& refs, int fromLine, int toLine,
                double textBottom);
  // Sets the note from offset on at the foot of the page below textBottom: whole where it fits,
  // else as many of its lines as fit (at least one when force), the rest carried on.
  void placeNote(int page, const PlacedNote& note, double textBottom, bool force);
  // Sets what the page before carries on at the top of the notes of the page just begun,
  // leaving the text room for its first line.
  void carryNotesOn(int page, std::size_t first);
  // Takes back the notes of the paragraph and those after it; moves those of paragraphs
  // [first, end) to the page of the frame, below text that goes down to textBottom.
  void dropNotes(std::size_t paragraphIndex);
  void moveNotes(std::size_t first, std::size_t end, int frame, double textBottom);
  void sumPageNotes(std::size_t fromPage);
  // The lowest text on the page outside the frame (in the page's other columns).
  double textBottomBeside(int frame) const;
  float textBottomOfPage(int page) const;
  // Sets the notes the last page still carries on, on pages of their own after the text.
  void finishCarriedNotes();
  // Of tables: where a row that refers to notes needs them, and sets them. Returns the height
  // of the first row's notes.
  double flowNotes(const TableMeasure& m, PageFlow& flow);

  // Endnotes (LayoutEndnotes.cpp): set once the last paragraph is, in the frames after it and
  // in frames and pages of their own, which dropEndnotes takes back before the text is laid
  // out again. A section's own notes (when each section collects them) are set when its last
  // paragraph is, and taken back with it.
  struct PlacedEndnote {
    std::size_t after = 0;  // the paragraph they follow
    bool documentEnd = false;
    int frame = 1;
    PageEndnote part;
  };
  struct EndnoteRule {
    std::size_t after = 0;
    bool documentEnd = false;
    int frame = 1;
    RectF rule;
  };
  void placeEndnotes();
  void dropEndnotes();
  // Sets the notes the paragraphs [from, last] refer to after paragraph last; returns the frame
  // and the y they end at, or nothing when they refer to none.
  std::optional<std::pair<int, double>> setEndnotes(std::size_t from, std::size_t last,
                                                    bool documentEnd);
  void placeSectionEndnotes(std::size_t sectionEnd);
  // Sets the note's paragraph in the frame from y on, dividing it at its lines onto the frames
  // after; returns the frame and the y it ends at.
  std::pair<int, double> placeEndnoteParagraph(const PlacedEndnote& where, std::size_t k, double y);
  std::vector<int> endnotesInOrder(std::size_t from, std::size_t to) const;

  const Document* doc_;
  const TextMeasurer* measurer_;
  std::vector<Entry> entries_;  // the valid prefix of the layout
  std::vector<Frame> frames_;   // of the pages laid out, valid part only
  // Of each page, alongside: its first frame, its page set-up, and where its text begins and
  // ends (the margins, or below the header and above the footer where those reach further).
  std::vector<std::size_t> pageFrames_;
  std::vector<PageSetup> pageSetups_;
  std::vector<int> pageNumbers_;  // the number each page shows, by page
  std::vector<float> pageTops_, pageBottoms_;
  std::vector<float> pageNotes_;   // the room the page's notes take, their rule included
  std::vector<PlacedNote> notes_;  // in the order they were set, page after page
  std::map<std::pair<const Note*, float>, std::vector<float>> noteCuts_;
  bool endnotesSet_ = false;
  // What the layout had before the endnotes were set: frames and pages, and the used depth of
  // the frame they begin in.
  std::size_t framesBeforeEndnotes_ = 0, pagesBeforeEndnotes_ = 0;
  int endnotesFrame_ = 0;
  float usedBeforeEndnotes_ = 0;
  std::vector<PlacedEndnote> endnotes_;
  std::vector<EndnoteRule> endnoteRules_;
  // Of sections whose notes follow them: where the notes end, which the next section begins
  // below, by the section's last paragraph.
  std::map<std::size_t, std::pair<int, double>> sectionNotesEnd_;
  std::map<std::pair<const HeaderFooter*, float>, float> storyHeights_;
  std::vector<PageCellBox> boxes_;  // of the tables laid out, by page
  std::vector<RepeatedParagraph> repeats_;
  std::map<std::size_t, std::vector<LinePiece>> pieces_;  // of divided paragraphs, by index
  std::map<std::size_t, std::vector<BreakPart>> breakParts_;
  // How far down the columns of a section (its last paragraph) go on a page when they are
  // balanced there.
  std::map<std::pair<std::size_t, int>, float> balanced_;
  // The last answer of sectionEndOf, good for paragraphs from scanFrom_ to it until an edit
  // at or before it.
  std::size_t scanFrom_ = npos, scanEnd_ = npos;
  // The shapes text wraps around, by their anchors' ids (indices into the document's shapes);
  // taken again when the document's shapes change in number or the layout begins anew (as it
  // does when a shape begins or stops wrapping).
  std::unordered_multimap<std::uint64_t, std::size_t> wrapping_;
  std::size_t wrappingOf_ = npos;
  std::size_t wrappingHash_ = 0;
  // Paragraphs set below shapes anchored in them: the frame and top the shapes are placed from.
  std::map<std::size_t, std::pair<int, float>> anchorPlaces_;
  // Paragraphs set beside shapes anchored in them.
  std::set<std::size_t> besideAnchors_;
  // Paragraph id -> index as last laid out; an entry is trusted only when it still matches.
  std::unordered_map<std::uint64_t, std::size_t> ids_;
};

}  // namespace wordproc
