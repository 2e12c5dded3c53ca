#include "clone/uPlacing.h"

#include "clone/LabelSequence.h"
#include "clone/MergeData.h"
#include "wordlink/PageSize.h"

#include <algorithm>
#include <optional>

namespace cloning {

using wordlink::Variant;

namespace {

// Word's numbers for the calls below.
constexpr int kRelativeToPage = 1;
constexpr int kStoryEnd = 6;             // wdStory for EndKey
constexpr int kActiveEndPageNumber = 3;  // Information
constexpr int kGoToPage = 1, kGoToAbsolute = 1;
constexpr int kParagraphUnit = 4;
constexpr int kCollapseEnd = 0;
constexpr int kHorizontalText = 1;
constexpr int kMaxParagraphsPerPage = 100001;
constexpr int kMaxBackspaces = 100000;

void MakePageRelative(const Variant& shape) {
  shape.put("RelativeHorizontalPosition", kRelativeToPage);
  shape.put("RelativeVerticalPosition", kRelativeToPage);
}

TLabelPosition BoxOf(const Variant& shape, float width, float height) {
  TLabelPosition box;
  box.Left = shape.get("Left").toFloat();
  box.Top = shape.get("Top").toFloat();
  box.Right = box.Left + width - 1;
  box.Bottom = box.Top + height - 1;
  return box;
}

void ConvertInlineShapes(const Variant& doc) {
  const int count = doc.get("InlineShapes").get("Count").toInt();
  for (int i = 0; i < count; ++i) doc.get("InlineShapes").call("Item", 1).call("ConvertToShape");
}

// An invisible frame as large as the glyph's page, so that the glyph's group spans its whole
// page and keeps every element in its place when it is later sized to a label.
void AddPageFrame(const Variant& doc) {
  const auto [width, height] = wordlink::FirstPageSize(doc);
  doc.call("GoTo", kGoToPage, kGoToAbsolute, 1).call("Select");
  Variant frame = doc.get("Shapes").call("AddTextbox", kHorizontalText, 0, 0, width, height);
  frame.get("Line").put("Visible", 0);
  frame.get("Fill").put("Visible", 0);
  frame.put("Visible", 0);
  MakePageRelative(frame);
  frame.put("Width", width);
  frame.put("Height", height);
  frame.put("Left", 0);
  frame.put("Top", 0);
}

// Whatever the document holds besides its page set-up goes.
void ClearContent(const Variant& doc) {
  doc.get("Content").call("Delete");
}

int CountShapesWithArea(const Variant& doc) {
  Variant shapes = doc.get("Shapes");
  int count = 0;
  for (int i = 1, n = shapes.get("Count").toInt(); i <= n; ++i) {
    Variant shape = shapes.call("Item", i);
    if (shape.get("Width").toFloat() != 0 && shape.get("Height").toFloat() != 0) ++count;
  }
  return count;
}

struct TLabelCountCache {
  std::string DataFolder, Category, PaperName;
  int Count = 0;
};
std::optional<TLabelCountCache> labelCountCache;

}  // namespace

int PrepareGlyphDocument(const Variant& doc) {
  ConvertInlineShapes(doc);
  AddPageFrame(doc);
  const int shapes = doc.get("Shapes").get("Count").toInt();
  Variant range = doc.get("Content").get("ShapeRange");
  const int count = shapes > 1 ? range.get("Count").toInt() : 0;
  if (count == 0) return kNoGraphics;
  Variant glyph = count == 1 ? range.call("Item", 1) : range.call("Group");
  const int anchor = glyph.get("Anchor").get("Start").toInt();
  doc.call("Range", anchor + 1, doc.get("Content").get("End")).call("Delete");
  if (anchor > 0) doc.call("Range", 0, anchor).call("Delete");
  return 0;
}

TSheetTemplate ReadSheetTemplate(const Variant& doc) {
  Variant all = doc.get("Content").get("ShapeRange");
  // An empty range has nothing to move, and Word refuses properties on it.
  if (all.get("Count").toInt() > 0) MakePageRelative(all);
  TSheetTemplate sheet;
  Variant shapes = doc.get("Shapes");
  const int n = shapes.get("Count").toInt();
  for (int i = 1; i <= n; ++i) {
    Variant shape = shapes.call("Item", i);
    MakePageRelative(shape);
    const float w = shape.get("Width").toFloat(), h = shape.get("Height").toFloat();
    if (w == 0 || h == 0) {
      Variant line = shape.get("Line");
      sheet.Lines.push_back(
          {BoxOf(shape, w, h), line.get("Weight").toFloat(), line.get("DashStyle").toInt()});
    } else {
      sheet.Positions.push_back(BoxOf(shape, w, h));
    }
  }
  ClearContent(doc);
  return sheet;
}

namespace {

// The counters of one filling run; copy and line numbers run over the whole document.
class TSheetFiller {
 public:
  TSheetFiller(const Variant& doc, const TSheetTemplate& sheet, const TCloneParams& glyphs,
               const std::vector<std::string>& workingCopies, int sets,
               const std::function<void()>& step, int firstPosition, const TMergeOptions& merge)
      : doc_(doc),
        shapes_(doc.get("Shapes")),
        selection_(doc.get("Application").get("Selection")),
        sheet_(sheet),
        glyphs_(glyphs),
        workingCopies_(workingCopies),
        labels_(glyphs, sets),
        step_(step),
        merge_(merge),
        skipped_(std::size_t(std::max(firstPosition, 1) - 1)) {}

  void Fill();
  void Finish();

 private:
  void MakePageExist();
  const Variant& MasterFor(std::size_t glyph);
  Variant InsertMaster(const std::string& workingCopy);
  Variant MasterOf(const Variant& range);
  void SizeMaster(const Variant& master);
  bool PlaceCopies();
  bool PlaceLabel(const TLabelPosition& position);
  bool PlaceCopy(const Variant& master, const TLabelPosition& position);
  bool NextLabel();
  void DrawLines();

  Variant doc_, shapes_, selection_;
  const TSheetTemplate& sheet_;
  const TCloneParams& glyphs_;
  const std::vector<std::string>& workingCopies_;
  TLabelSequence labels_;
  const std::function<void()>& step_;
  const TMergeOptions& merge_;
  TLabel label_;
  bool finished_ = false;
  int page_ = 1;
  int copyNumber_ = 1, lineNumber_ = 1;
  float referenceWidth_ = -1, referenceHeight_ = -1;
  std::size_t skipped_;  // positions of the first page left empty
  // This page's insertion point and the masters of the glyphs it holds, inserted when a
  // position first needs them: a page holds a few of the glyphs, and inserting all of them on
  // every page made a group run grow with the square of their number (and with enough glyphs
  // their paragraphs pushed the page's anchors onto the next page).
  Variant range_;
  std::vector<Variant> masters_;
  std::vector<bool> inserted_;
};

void TSheetFiller::Fill() {
  if (glyphs_.empty() || sheet_.Positions.empty() || !labels_.Next(label_, finished_)) return;
  bool more = true;
  while (more) {
    MakePageExist();
    range_ = doc_.call("GoTo", kGoToPage, kGoToAbsolute, page_);
    range_.call("Select");
    referenceWidth_ = referenceHeight_ = -1;
    masters_.assign(glyphs_.size(), Variant());
    inserted_.assign(glyphs_.size(), false);
    more = PlaceCopies();
    for (const Variant& master : masters_)
      if (!master.isEmpty()) master.call("Delete");
    DrawLines();
    ++page_;
  }
}

// Types paragraphs at the end until the end reaches the page after this one.
void TSheetFiller::MakePageExist() {
  selection_.call("EndKey", kStoryEnd);
  for (int typed = 1;; ++typed) {
    selection_.call("TypeParagraph");
    if (selection_.call("Information", kActiveEndPageNumber).toInt() > page_) break;
    if (typed >= kMaxParagraphsPerPage) break;
  }
}

// A glyph without shapes gives an empty master, inserted once per page all the same.
const Variant& TSheetFiller::MasterFor(std::size_t glyph) {
  if (!inserted_[glyph]) {
    inserted_[glyph] = true;
    masters_[glyph] = InsertMaster(workingCopies_[glyph]);
  }
  return masters_[glyph];
}

Variant TSheetFiller::InsertMaster(const std::string& workingCopy) {
  range_.call("InsertFile", workingCopy);
  range_.call("Expand", kParagraphUnit);
  Variant master = MasterOf(range_);
  if (!master.isEmpty()) SizeMaster(master);
  range_.call("Collapse", kCollapseEnd);
  return master;
}

// The shape or group the glyph brought; an inline picture becomes a floating shape first.
Variant TSheetFiller::MasterOf(const Variant& range) {
  int m = range.get("ShapeRange").get("Count").toInt();
  if (m == 0) {
    Variant inlines = range.get("InlineShapes");
    if (inlines.get("Count").toInt() > 0) {
      Variant shape = inlines.call("Item", 1).call("ConvertToShape");
      shape.call("Duplicate").call("Select");
      range.get("ShapeRange").call("Item", 1).call("Delete");
      m = range.get("ShapeRange").get("Count").toInt();
    }
  }
  if (m == 0) return Variant();
  Variant shapes = range.get("ShapeRange");
  return m == 1 ? shapes.call("Item", 1) : shapes.call("Group");
}

void TSheetFiller::SizeMaster(const Variant& master) {
  master.put("Visible", false);
  MakePageRelative(master);
  const TLabelPosition& first = sheet_.Positions.front();
  referenceWidth_ = first.Width();
  master.put("Width", referenceWidth_);
  referenceHeight_ = first.Height();
  master.put("Height", referenceHeight_);
}

// False when the labels ran out on this page.
bool TSheetFiller::PlaceCopies() {
  const std::size_t first = page_ == 1 ? std::min(skipped_, sheet_.Positions.size()) : 0;
  for (std::size_t p = first; p < sheet_.Positions.size(); ++p)
    if (!PlaceLabel(sheet_.Positions[p])) return false;
  return true;
}

// Places the next label that can be merged; false when none is left after it.
bool TSheetFiller::PlaceLabel(const TLabelPosition& position) {
  for (;;) {
    const Variant& master = MasterFor(label_.Glyph);
    if (master.isEmpty() || PlaceCopy(master, position)) return NextLabel();
    labels_.DropRecord();
    finished_ = true;
    if (!NextLabel()) return false;
  }
}

// False when the label's record could not be merged and the user chose to skip such records.
bool TSheetFiller::PlaceCopy(const Variant& master, const TLabelPosition& position) {
  Variant copy = master.call("Duplicate");
  if (label_.Record) {
    try {
      MergeRecord(copy, *glyphs_[label_.Glyph].Data, *label_.Record);
    } catch (const TMergeError& e) {
      copy.call("Delete");
      if (!merge_.SkipBadRecords) throw;
      merge_.Skipped->push_back(e.what());
      return false;
    }
  }
  MakePageRelative(copy);
  copy.put("Name", kClonedPrefix + std::to_string(copyNumber_++));
  if (position.Width() != referenceWidth_) copy.put("Width", position.Width());
  if (position.Height() != referenceHeight_) copy.put("Height", position.Height());
  copy.put("Left", position.Left);
  copy.put("Top", position.Top);
  copy.put("Visible", true);
  return true;
}

// Steps past the label just placed; false when it was the last.
bool TSheetFiller::NextLabel() {
  if (finished_ && step_) step_();
  return labels_.Next(label_, finished_);
}

void TSheetFiller::DrawLines() {
  for (const TTemplateLine& l : sheet_.Lines) {
    const TLabelPosition& b = l.Box;
    Variant line = shapes_.call("AddLine", b.Left, b.Top, b.Right, b.Bottom);
    MakePageRelative(line);
    line.put("Width", b.Right - b.Left + 1);
    line.put("Height", b.Bottom - b.Top + 1);
    line.put("Left", b.Left);
    line.put("Top", b.Top);
    Variant format = line.get("Line");
    format.put("Weight", l.Weight);
    format.put("DashStyle", l.DashStyle);
    line.put("Name", kTemplateLinePrefix + std::to_string(lineNumber_++));
  }
}

// Removes the page that making the last page exist created beyond it, and puts the selection
// at the start.
void TSheetFiller::Finish() {
  selection_.call("EndKey", kStoryEnd);
  for (int k = 0; k < kMaxBackspaces; ++k) {
    const int e = selection_.call("Information", kActiveEndPageNumber).toInt();
    if (page_ < 2 || e < page_) break;
    selection_.call("TypeBackSpace");
  }
  doc_.call("Range", 0, 0).call("Select");
}

}  // namespace

void FillSheet(const Variant& doc, const TSheetTemplate& sheet, const TCloneParams& glyphs,
               const std::vector<std::string>& workingCopies, int sets,
               const std::function<void()>& step, int firstPosition, const TMergeOptions& merge) {
  if (workingCopies.size() != glyphs.size())
    throw std::invalid_argument("FillSheet: one working copy per glyph is needed");
  if (merge.SkipBadRecords && !merge.Skipped)
    throw std::invalid_argument("FillSheet: skipped records need a list");
  TSheetFiller filler(doc, sheet, glyphs, workingCopies, sets, step, firstPosition, merge);
  filler.Fill();
  filler.Finish();
}

int CountLabelPositions(wordlink::TExtAppController& controller, const std::string& dataFolder,
                        const std::string& category, const std::string& paperName) {
  if (labelCountCache && labelCountCache->DataFolder == dataFolder &&
      labelCountCache->Category == category && labelCountCache->PaperName == paperName)
    return labelCountCache->Count;
  platform::ScopedTempFile copy;
  wordlink::TExtAppDocument* doc =
      OpenSheetTemplate(controller, dataFolder, category, paperName, copy);
  if (!doc) {
    labelCountCache.reset();
    return 0;
  }
  int count = 0;
  try {
    count = CountShapesWithArea(doc->Document);
  } catch (...) {
    // A template that cannot be read must not stay open in the hidden instance.
    doc->CloseDocument(wordlink::kDoNotSaveChanges);
    throw;
  }
  doc->CloseDocument(wordlink::kDoNotSaveChanges);
  labelCountCache = TLabelCountCache{dataFolder, category, paperName, count};
  return count;
}

void ResetLabelCountCache() {
  labelCountCache.reset();
}

}  // namespace cloning
