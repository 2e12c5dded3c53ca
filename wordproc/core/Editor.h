// Editing of a document's main story by character positions, as the object model's ranges and
// selection see it: text, paragraph marks, and the floating shapes anchored to paragraphs.
// Positions are UTF-16 units; every paragraph holds its text plus one for its mark, and the
// final mark can never be deleted. Ranges handed out by track() follow the edits the way live
// ranges of the word processor do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "wordproc/core/Layout.h"
#include "wordproc/core/Model.h"

namespace wordproc {

struct RangeState {
  std::int64_t start = 0;
  std::int64_t end = 0;
};

// A piece of a story carried between documents (inserted files, the clipboard). Shapes refer to
// their anchor paragraph by index into paragraphs; with no paragraphs they are loose shapes.
struct Fragment {
  std::vector<Paragraph> paragraphs;
  bool lastHasMark = true;
  std::vector<std::pair<std::size_t, std::unique_ptr<Shape>>> shapes;

  Fragment clone() const;
  bool empty() const { return paragraphs.empty() && shapes.empty(); }
};

// The body of a file as InsertFile brings it in: every paragraph with its shapes, except a final
// empty paragraph that anchors nothing.
Fragment FragmentOfDocument(Document& source);

class Editor {
 public:
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  Editor(Document& doc, Layout& layout) : doc_(&doc), layout_(&layout) {}

  Document& doc() { return *doc_; }
  Layout& layout() { return *layout_; }

  // A range kept up to date by later edits, until the last reference is dropped.
  std::shared_ptr<RangeState> track(std::int64_t start, std::int64_t end);

  std::int64_t storyLength() { return layout_->storyLength(); }
  std::int64_t clamp(std::int64_t position);
  // Where text can go: never past the final paragraph mark.
  std::int64_t insertionPoint(std::int64_t position);
  std::size_t paragraphAt(std::int64_t position) { return layout_->paragraphAt(clamp(position)); }
  std::int64_t paragraphStart(std::size_t index) { return layout_->paragraphStart(index); }
  std::int64_t paragraphEnd(std::size_t index);  // after its mark
  int pageOf(std::int64_t position);

  // The text with "\r" for each paragraph mark.
  std::string text(std::int64_t start, std::int64_t end);
  // Inserts text; "\r" and "\n" start new paragraphs. Returns the position after it.
  std::int64_t insertText(std::int64_t position, std::string_view text);
  // Ends the paragraph at the position; returns the position after the new mark.
  std::int64_t splitParagraph(std::int64_t position);
  // Deletes the range; paragraphs it holds whole, marks included, take their shapes along.
  // Returns the number of characters removed.
  std::int64_t erase(std::int64_t start, std::int64_t end);
  // Inserts whole paragraphs (and their shapes) at the position, splitting a paragraph when the
  // position is inside one. Returns the range the inserted paragraphs occupy.
  std::pair<std::int64_t, std::int64_t> insertFragment(std::int64_t position, Fragment fragment);
  // Text of a fragment with one unterminated paragraph goes in at the position itself.
  std::pair<std::int64_t, std::int64_t> insertInline(std::int64_t position,
                                                     const Fragment& fragment);
  Fragment copy(std::int64_t start, std::int64_t end);
  // Puts the paragraphs (at least one, each with its id) in place of count paragraphs from
  // first. Shapes anchored to a replaced paragraph whose id is gone move to the paragraph now
  // standing in its place; live ranges inside the span stay inside it.
  void replaceParagraphs(std::size_t first, std::size_t count, std::vector<Paragraph> paragraphs);

  // Shapes, found by id among body shapes and the members of groups.
  Shape* findShape(std::uint32_t id);
  Shape* parentOf(std::uint32_t id);               // the group holding it, or null for a body shape
  AnchoredShape* anchoredShape(std::uint32_t id);  // body shapes only
  std::size_t zIndex(std::uint32_t id);  // index in doc.shapes of the body shape holding it
  // Adds a body shape on top of the others (or at zIndex).
  void addShape(std::unique_ptr<Shape> shape, std::uint64_t anchorParagraph,
                std::size_t zIndex = npos);
  std::unique_ptr<Shape> removeShape(std::uint32_t id);
  // Gives the shape (body shape or member) the state's content, members included; its id stays.
  void replaceShape(std::uint32_t id, const Shape& state);
  // Moves a body shape to another place in the z-order (clamped to the top).
  void moveShape(std::uint32_t id, std::size_t place);
  // Sections, each known by the paragraph that ends it: its index, or the paragraph count for
  // the document's last section, whose set-up is the document's own.
  // Those the paragraphs first to last belong to, in document order; never empty.
  std::vector<std::size_t> sectionsOf(std::size_t first, std::size_t last);
  std::vector<std::size_t> sections() { return sectionsOf(0, doc_->paragraphs.size() - 1); }
  std::size_t sectionOfParagraph(std::size_t index) { return sectionsOf(index, index).front(); }
  std::size_t sectionStart(std::size_t sectionEnd);  // the index of its first paragraph
  const PageSetup& sectionPageSetup(std::size_t sectionEnd) const;
  // A section by the id of the paragraph that ends it, which edits before it leave alone (0
  // for the document's last section); npos once that paragraph ends no section.
  std::uint64_t sectionId(std::size_t sectionEnd) const;
  std::size_t sectionById(std::uint64_t id);
  // Gives one section its page set-up and lays its pages and those after them out again.
  void setSectionPageSetup(std::size_t sectionEnd, const PageSetup& setup);
  void setPageSetup(const PageSetup& setup);  // the document's last section
  // For changes made to a paragraph in place (its inline pictures): lays it out again.
  void paragraphChanged(std::size_t paragraphIndex) { edited(paragraphIndex); }
  // Changes a paragraph's text in place (a field's result) where count characters from offset
  // are replaced: live ranges after them move by the change in length.
  void changeParagraph(std::size_t paragraphIndex, std::size_t offset, std::size_t count,
                       const std::function<void(Paragraph&)>& change);
  // Body shapes anchored in [start, end), or in the paragraph of a collapsed range, z-order.
  std::vector<std::uint32_t> shapesIn(std::int64_t start, std::int64_t end);
  // Gives the shape and its members fresh ids.
  void renumber(Shape& shape);
  void renumberPictures(Paragraph& paragraph);

  // Counts changes, for the document's Saved state and window refreshes. Every change of the
  // document goes through this editor or ends in touch().
  std::uint64_t changes() const { return changes_; }
  void touch();
  // The changes made by automation. A window's undo history holds states of the shapes and
  // paragraphs it edited; once automation has changed the document those states may no longer
  // be what the document holds, and replaying them would silently revert automation's work.
  std::uint64_t automationChanges() const { return automationChanges_; }

  // While one lives, changes of any document count as automation's: the object model holds one
  // for each call it serves.
  class AutomationCall {
   public:
    AutomationCall() { ++depth_; }
    ~AutomationCall() { --depth_; }
    AutomationCall(const AutomationCall&) = delete;
    AutomationCall& operator=(const AutomationCall&) = delete;
  };
  // While one lives, changes are a window's own again (an undo run by an automation call).
  class WindowEdit {
   public:
    WindowEdit() : saved_(depth_) { depth_ = 0; }
    ~WindowEdit() { depth_ = saved_; }
    WindowEdit(const WindowEdit&) = delete;
    WindowEdit& operator=(const WindowEdit&) = delete;

   private:
    int saved_;
  };

 private:
  struct Loc {
    Shape* shape = nullptr;
    Shape* parent = nullptr;
    Shape* body = nullptr;  // the body shape holding it, itself for a body shape
    std::size_t z = 0;      // where the body shape was last seen in doc.shapes
  };

  void moveRanges(const std::function<std::int64_t(std::int64_t)>& moved);
  void adjustForInsert(std::int64_t position, std::int64_t count);
  void adjustForErase(std::int64_t start, std::int64_t removed);
  void edited(std::size_t paragraphIndex);
  void eraseShapesOfParagraphs(std::size_t first, std::size_t last, std::int64_t start,
                               std::int64_t end);
  void reanchor(std::uint64_t from, std::uint64_t to);
  void adjustForReplace(std::int64_t start, std::int64_t oldEnd, std::int64_t newEnd);
  void eraseAcross(std::size_t i, std::size_t j, std::size_t offS, std::size_t offE);
  void indexShape(Shape& shape, Shape* parent, Shape* body, std::size_t z);
  void ensureIndex();
  Loc* locate(std::uint32_t id);

  Document* doc_;
  Layout* layout_;
  std::vector<std::weak_ptr<RangeState>> ranges_;
  std::unordered_map<std::uint32_t, Loc> index_;
  bool indexValid_ = false;
  std::uint64_t changes_ = 0;
  std::uint64_t automationChanges_ = 0;
  static thread_local int depth_;
};

// Text helpers on paragraphs, by UTF-16 offsets.
std::size_t Utf16Length(std::string_view text);
// Makes a run boundary fall at the offset; returns the index of the run that starts there.
std::size_t RunBoundary(Paragraph& paragraph, std::size_t offset);
// Cuts the paragraph at the offset and returns the part after it, with the paragraph's format.
Paragraph SplitOff(Paragraph& paragraph, std::size_t offset);
void EraseText(Paragraph& paragraph, std::size_t from, std::size_t to);
void AppendParagraph(Paragraph& head, Paragraph tail);

}  // namespace wordproc
