#include "wordproc/core/Layout.h"

#include <algorithm>
#include <cmath>

namespace wordproc {

namespace {

constexpr float kDefaultFontSize = 11.0f;
// The tallest line a file may ask for: 1584 pt, what the word processor's dialog takes.
constexpr double kMaxLineHeight = 1584;

float UsableSize(float size) {
  return size > 0 ? size : kDefaultFontSize;
}

std::int64_t Extent(const Paragraph& paragraph) {
  return static_cast<std::int64_t>(paragraph.length()) + 1;
}

}  // namespace

float TextColumnWidth(const PageSetup& setup) {
  const float room = setup.pageWidth - setup.leftMargin - setup.rightMargin;
  // NaN margins leave no room either.
  if (room >= kMinTextColumn) return room;
  return std::max(std::min(kMinTextColumn, setup.pageWidth), 1.0f);
}

double LineHeight(const Paragraph& paragraph, double singleLine) {
  // Bounds of what files may ask for keep a hostile value from stretching a page forever.
  switch (paragraph.lineRule) {
    case LineRule::Exact:
      return std::clamp(double(paragraph.line), 0.0, kMaxLineHeight);
    case LineRule::AtLeast:
      return std::clamp(std::max(singleLine, double(paragraph.line)), 0.0, kMaxLineHeight);
    case LineRule::Auto:
      break;
  }
  const double multiple = std::isfinite(paragraph.line) ? paragraph.line : 1.0;
  return std::clamp(singleLine * multiple, 0.0, kMaxLineHeight);
}

const RunFormat& LargestFormat(const Paragraph& paragraph) {
  const RunFormat* largest = nullptr;
  for (const Run& run : paragraph.runs) {
    if (run.text.empty() && !ShowsSymbol(run)) continue;
    if (!largest || UsableSize(run.format.fontSize) > UsableSize(largest->fontSize))
      largest = &run.format;
  }
  return largest ? *largest : paragraph.markFormat;
}

bool MixedLineHeights(const Paragraph& paragraph, const TextMeasurer& measurer) {
  if (paragraph.lineRule == LineRule::Exact) return false;
  double first = -1;
  for (const Run& run : paragraph.runs) {
    if (run.text.empty() && !ShowsSymbol(run)) continue;
    const double single = measurer.singleLineHeight(run.format);
    if (first < 0) first = single;
    if (std::abs(single - first) > kFitTolerance) return true;
  }
  return false;
}

namespace {

// A line spaced at a multiple above one carries its extra room above its text; the first line
// of a page drops it, as word processors set it.
float TopOfPageSaving(const Paragraph& paragraph, const TextMeasurer& measurer) {
  if (paragraph.lineRule != LineRule::Auto || !(paragraph.line > 1)) return 0;
  const double single = measurer.singleLineHeight(LargestFormat(paragraph));
  return float(std::max(0.0, LineHeight(paragraph, single) - single));
}

}  // namespace

bool TakesNoRoom(const Paragraph& p) {
  // Elements kept from the file (bookmarks) are no text.
  const bool noText = std::all_of(p.runs.begin(), p.runs.end(), [](const Run& run) {
    return run.raw && run.text.empty() && !run.format.fieldCode && !run.note && !run.symbol;
  });
  return p.hiddenMark && noText && p.inlinePictures.empty() && p.list.label.empty() &&
         !p.sectionEnd;
}

float ParagraphHeight(const Paragraph& paragraph, float textWidth, const TextMeasurer& measurer) {
  if (TakesNoRoom(paragraph)) return 0;
  const double line = LineHeight(paragraph, measurer.singleLineHeight(LargestFormat(paragraph)));
  double height = measurer.textHeight(paragraph, textWidth, line);
  height += std::max(0.0f, paragraph.spaceBefore) + std::max(0.0f, paragraph.spaceAfter);
  return float(height);
}

std::vector<Paragraph> PageBreakParts(const Paragraph& paragraph, std::vector<char>* breaks) {
  static constexpr char kBreaks[] = {'\f', kColumnBreak, '\0'};
  bool any = false;
  for (const Run& run : paragraph.runs)
    any = any || run.text.find_first_of(kBreaks) != std::string::npos;
  if (breaks) breaks->clear();
  if (!any) return {};
  std::vector<Paragraph> parts;
  auto start = [&](char kind) {
    Paragraph part = paragraph;
    part.runs.clear();
    part.inlinePictures.clear();
    part.spaceAfter = 0;
    if (!parts.empty()) part.spaceBefore = 0;
    parts.push_back(std::move(part));
    if (breaks) breaks->push_back(kind);
  };
  start(0);
  for (const Run& run : paragraph.runs) {
    if (run.note || ShowsSymbol(run))
      parts.back().runs.push_back(
          {std::string(), run.format, nullptr, RawNesting::None, run.note, run.symbol});
    std::size_t from = 0;
    for (std::size_t at; (at = run.text.find_first_of(kBreaks, from)) != std::string::npos;
         from = at + 1) {
      if (at > from) parts.back().runs.push_back({run.text.substr(from, at - from), run.format});
      start(run.text[at]);
    }
    if (from < run.text.size()) parts.back().runs.push_back({run.text.substr(from), run.format});
  }
  parts.back().spaceAfter = paragraph.spaceAfter;
  return parts;
}

RectF StoryShapeRect(const Shape& shape, const PageSetup& setup, float storyTop) {
  float x = 0, y = 0;
  switch (shape.relH) {
    case RelH::Margin:
    case RelH::Column:
    case RelH::Character:
      x = setup.leftMargin;
      break;
    case RelH::RightMargin:
    case RelH::OutsideMargin:
      x = setup.pageWidth - setup.rightMargin;
      break;
    default:
      break;
  }
  switch (shape.relV) {
    case RelV::Margin:
      y = std::fabs(setup.topMargin);
      break;
    case RelV::Paragraph:
    case RelV::Line:
      y = storyTop;
      break;
    case RelV::BottomMargin:
    case RelV::OutsideMargin:
      y = setup.pageHeight - std::fabs(setup.bottomMargin);
      break;
    default:
      break;
  }
  return {x + shape.left, y + shape.top, shape.width, shape.height};
}

namespace {

// A paragraph's lines, each of its own height, and the room runs of them take.
class LineStack {
 public:
  explicit LineStack(const std::vector<double>& heights) : sums_(heights.size() + 1, 0.0) {
    for (std::size_t k = 0; k < heights.size(); ++k)
      sums_[k + 1] = sums_[k] + std::max(0.0, heights[k]);
  }
  double span(int from, int to) const { return sums_[std::size_t(to)] - sums_[std::size_t(from)]; }
  // How many lines from `from` on fit in the room.
  int fitting(int from, double room) const {
    const auto begin = sums_.begin() + from + 1;
    return int(
        std::upper_bound(begin, sums_.end(), sums_[std::size_t(from)] + room + kFitTolerance) -
        begin);
  }

 private:
  std::vector<double> sums_;
};

// Each line's height: the paragraph's one line height, unless its fonts differ in height.
LineStack LinesOf(const Paragraph& paragraph, double width, int lines, double lineHeight,
                  const TextMeasurer& measurer) {
  if (MixedLineHeights(paragraph, measurer)) {
    std::vector<double> heights = measurer.lineHeights(paragraph, width, lineHeight);
    if (heights.size() == std::size_t(lines)) return LineStack(heights);
  }
  return LineStack(std::vector<double>(std::size_t(lines), lineHeight));
}

}  // namespace

void Layout::place(std::size_t index) {
  dropEndnotes();  // they follow the last paragraph, wherever it goes now
  const std::size_t before = entries_.size();
  placeBlock(index);
  for (std::size_t k = before; k < entries_.size(); ++k) wrapAround(k);
  // A section that collects its endnotes ends with them (the last one's are the document's).
  const std::size_t last = entries_.size() - 1;
  if (doc_->endnotesAtSectionEnds && doc_->endnotes && last + 1 < doc_->paragraphs.size() &&
      doc_->paragraphs[last].sectionEnd)
    placeSectionEndnotes(last);
}

void Layout::placeBlock(std::size_t index) {
  const Paragraph& paragraph = doc_->paragraphs[index];
  if (!paragraph.cells.empty() && paragraph.cells[0].table) return placeTable(index);
  const PageSetup& setup = pageSetupOfParagraph(index);
  ColumnBox column = columnFor(index, setup);
  const auto beside = besideShapes(index, column);
  // The frame the paragraph is set beside shapes in, if it begins there.
  const int besideFrame = beside ? int(frames_.size()) : 0;
  if (beside) column = *beside;
  std::vector<char> breaks;
  const std::vector<Paragraph> parts = PageBreakParts(paragraph, &breaks);
  if (parts.empty() && paragraph.inlinePictures.empty() && !paragraph.keepLines &&
      placeLines(index, setup, column, besideFrame))
    return;
  const Paragraph& first = parts.empty() ? paragraph : parts.front();
  Entry entry = newEntry(index, column.left, column.width);
  entry.height = ParagraphHeight(first, column.width, *measurer_);
  const std::vector<NoteRef> notes = notesOf(index, first, column.width);
  const Start start =
      startOf(index, setup, std::max(0.0f, paragraph.spaceBefore),
              entry.height - std::max(0.0f, first.spaceAfter), {}, LeastNotesHeight(notes));
  entry.page = start.page;
  entry.top = float(start.top);
  entry.left = start.page == besideFrame ? column.left : frames_[std::size_t(start.page) - 1].left;
  if (start.newPage) entry.height -= TopOfPageSaving(first, *measurer_);
  entry.endPage = entry.page;
  entry.endY = entry.top + entry.height;
  addNotes(start.page, notes, 0, 1 << 30, entry.endY - std::max(0.0f, first.spaceAfter));
  use(entry.page, entry.endY);
  // Each break carries the rest of the paragraph to the top of a new page or column.
  std::vector<BreakPart> places;
  if (!parts.empty()) places.push_back({0, entry.left, entry.top, entry.width});
  for (std::size_t k = 1; k < parts.size(); ++k) {
    entry.endPage = breaks[k] == '\f' ? startPage(index, setup) : nextFrame(index, setup);
    const Frame& frame = frames_[std::size_t(entry.endPage) - 1];
    places.push_back({entry.endPage, frame.left, frame.top, frame.width});
    entry.endY = frame.top + ParagraphHeight(parts[k], frame.width, *measurer_) -
                 TopOfPageSaving(parts[k], *measurer_);
    addNotes(entry.endPage, notesOf(index, parts[k], frame.width), 0, 1 << 30, entry.endY);
    use(entry.endPage, entry.endY);
  }
  entries_.push_back(entry);
  ids_[paragraph.id] = index;
  if (!places.empty()) {
    places[0].page = entry.page;
    breakParts_[index] = std::move(places);
  }
}

Layout::Entry Layout::newEntry(std::size_t index, float left, float width) const {
  Entry entry;
  entry.left = left;
  entry.width = width;
  if (index > 0) entry.start = entries_[index - 1].start + Extent(doc_->paragraphs[index - 1]);
  return entry;
}

// A paragraph of several lines that does not fit where it would begin is divided between
// columns and pages at its lines: at least two lines at the foot of a column, and with widow
// control no single last line alone at the top of the next. Returns false, placing nothing, for
// a paragraph of one line or none.
bool Layout::placeLines(std::size_t index, const PageSetup& setup, ColumnBox column,
                        int besideFrame) {
  const Paragraph& paragraph = doc_->paragraphs[index];
  bool hasText = false;
  for (const Run& run : paragraph.runs) hasText = hasText || !run.text.empty();
  if (!hasText) return false;
  const int lines = std::max(1, measurer_->lineCount(paragraph, column.width));
  if (lines < 2) return false;
  const double lineHeight =
      LineHeight(paragraph, measurer_->singleLineHeight(LargestFormat(paragraph)));
  const LineStack stack = LinesOf(paragraph, column.width, lines, lineHeight, *measurer_);
  const double before = std::max(0.0f, paragraph.spaceBefore);
  const std::vector<NoteRef> notes = notesOf(index, paragraph, column.width);
  // Lines to set in a frame from y on: as many as fit with the notes they refer to, leaving two
  // for the next one when only one would go there. The line after them comes too when its note
  // fits in part: the note is divided and the frame's text ends there.
  auto take = [&](double y, int frame, int left, int least) {
    const int done = lines - left;
    const double bottom = frameBottom(frame) + kFitTolerance;
    int n = std::min(left, stack.fitting(done, bottom - kFitTolerance - y));
    while (n > 0 && !notes.empty() &&
           y + stack.span(done, done + n) + notesRoom(frame, NotesHeight(notes, done, done + n)) >
               bottom)
      --n;
    if (n < left && !notes.empty() && NotesHeight(notes, done + n, done + n + 1) > 0 &&
        y + stack.span(done, done + n + 1) +
                notesRoom(frame, LeastNotesHeight(notes, done, done + n + 1)) <=
            bottom)
      ++n;
    if (paragraph.widowControl && left - n == 1 && n > least) --n;
    return n >= least ? n : 0;
  };
  std::vector<LinePiece> pieces;
  const Start start = startOf(
      index, setup, before, before + stack.span(0, lines),
      [&](int frame, double y) {
        const int n = take(y + before, frame, lines, 2);
        if (n == 0) return false;
        pieces.push_back({0, 0, float(y), float(before + stack.span(0, n)), 0, n});
        return true;
      },
      NotesHeight(notes));
  Entry entry = newEntry(
      index, start.page == besideFrame ? column.left : frames_[std::size_t(start.page) - 1].left,
      column.width);
  entry.page = start.page;
  entry.top = float(start.top);
  int n = pieces.empty() ? 0 : pieces[0].lines;
  if (pieces.empty() && start.newPage) n = take(start.top + before, start.page, lines, 1);
  if (n == 0 || n >= lines) {
    // As ParagraphHeight has it, without measuring the lines again.
    entry.height = float(before + stack.span(0, lines) + std::max(0.0f, paragraph.spaceAfter));
    if (start.newPage) entry.height -= TopOfPageSaving(paragraph, *measurer_);
    entry.endPage = entry.page;
    entry.endY = entry.top + entry.height;
    use(entry.page, entry.endY);
    addNotes(entry.page, notes, 0, 1 << 30, entry.endY - std::max(0.0f, paragraph.spaceAfter));
    entries_.push_back(entry);
    ids_[paragraph.id] = index;
    return true;
  }
  if (pieces.empty()) pieces.push_back({0, 0, entry.top, float(before + stack.span(0, n)), 0, n});
  pieces[0].page = start.page;
  pieces[0].left = entry.left;
  addNotes(start.page, notes, 0, pieces[0].lines, pieces[0].top + pieces[0].height);
  for (int done = pieces[0].lines; done < lines;) {
    const int frame = nextFrame(index, setup);
    const double top = frameTop(frame);
    const int n = std::max(1, take(top, frame, lines - done, 1));
    addNotes(frame, notes, done, done + n, top + stack.span(done, done + n));
    pieces.push_back({frame, frames_[std::size_t(frame) - 1].left, float(top),
                      float(stack.span(done, done + n)), float(before + stack.span(0, done)), n});
    done += n;
  }
  // The spacing after a paragraph counts below each of its pieces where columns end and the
  // next section begins under them, as LibreOffice sets balanced columns.
  for (const LinePiece& piece : pieces)
    use(piece.page, piece.top + piece.height + std::max(0.0f, paragraph.spaceAfter));
  entry.height = pieces[0].height;
  entry.endPage = pieces.back().page;
  entry.endY = pieces.back().top + pieces.back().height + std::max(0.0f, paragraph.spaceAfter);
  entries_.push_back(entry);
  ids_[paragraph.id] = index;
  pieces_[index] = std::move(pieces);
  return true;
}

// A table is measured in the column it begins in; its rows that go on to other columns move
// across with them.
void Layout::placeTable(std::size_t begin) {
  const PageSetup setup = pageSetupOfParagraph(begin);
  const ColumnBox column = columnFor(begin, setup);
  const TableMeasure m =
      MeasureTable(doc_->paragraphs, begin, 0, column.left, column.width, *measurer_);
  PageFlow flow;
  flow.newPage = [&](std::size_t first) {
    const int frame = nextFrame(first, setup);
    return std::make_pair(frameTop(frame), frameBottom(frame));
  };
  const double notes = flowNotes(m, flow);
  const double firstRow = m.rowHeights.empty() ? 0.0 : m.rowHeights[0];
  // A first row that may split begins here when its first paragraph fits.
  const Start start = startOf(
      begin, setup, 0, firstRow,
      [&](int frame, double y) {
        const double room = frameBottom(frame) - y - notesRoom(frame, notes);
        return !m.items.empty() && RowSplitsIn(m, 0, room, false) &&
               m.items[0].y + m.items[0].height <= room + kFitTolerance;
      },
      notes);
  flow.top = frameTop(start.page);
  flow.bottom = frameBottom(start.page);
  const PlacedTable placed = PlaceTableRows(m, start.page, start.top, start.newPage, flow);
  auto shift = [&](int frame) { return frames_[std::size_t(frame) - 1].left - column.left; };
  for (std::size_t k = 0; k < m.items.size(); ++k) {
    const TableItem& item = m.items[k];
    const std::size_t index = entries_.size();
    if (item.paragraph != index) continue;  // items come in paragraph order, one each
    Entry entry = newEntry(index, item.x + shift(placed.itemPage[k]), item.width);
    entry.page = entry.endPage = placed.itemPage[k];
    entry.top = placed.itemTop[k];
    entry.height = item.height;
    entry.endY = entry.top + entry.height;
    use(entry.page, entry.endY);
    entries_.push_back(entry);
    ids_[doc_->paragraphs[index].id] = index;
  }
  for (const PlacedTable::Piece& piece : placed.pieces) {
    const std::size_t index = m.items[piece.item].paragraph;
    if (index >= entries_.size()) continue;
    auto& pieces = pieces_[index];
    const float left = m.items[piece.item].x + shift(piece.page);
    pieces.push_back({piece.page, left, piece.top, piece.height, piece.offset, piece.lines});
    Entry& entry = entries_[index];
    if (pieces.size() == 1) entry.height = piece.height;
    entry.endPage = piece.page;
    entry.endY = piece.top + piece.height;
  }
  // The text after the table goes below its last row.
  entries_.back().endPage = placed.endPage;
  entries_.back().endY = placed.endY;
  use(placed.endPage, placed.endY);
  for (const PlacedTable::Repeat& repeat : placed.repeats) {
    const TableItem& item = m.items[repeat.item];
    repeats_.push_back({pageOfFrame(repeat.page), begin, item.paragraph,
                        item.x + shift(repeat.page), repeat.top, item.width});
  }
  placeBoxes(begin, m, placed.parts, column.left);
  placeBoxes(begin, m, placed.repeatedParts, column.left, m.headerRows);
}

namespace {

// The part of a nested table's cell box that stands on one part of its outer row: its top and
// height there, if any. A row divided between pages is mapped from its top on its first part
// and from its foot on its last, so boxes meet the row's edges on both; parts between follow
// on from the first.
std::optional<std::pair<float, float>> NestedWindow(const TableMeasure& m,
                                                    const std::vector<RowPart>& parts,
                                                    const RowPart& part, const TableBox& box) {
  std::vector<const RowPart*> ofRow;
  for (const RowPart& p : parts)
    if (p.row == part.row) ofRow.push_back(&p);
  const float total = part.row < m.rowHeights.size() ? m.rowHeights[part.row] : part.height;
  float start = 0;
  for (const RowPart* p : ofRow) {
    if (p == &part) break;
    start += p->height;
  }
  if (ofRow.size() > 1 && ofRow.back() == &part) start = std::max(0.0f, total - part.height);
  const float top = std::max(box.y, start);
  const float bottom = std::min(box.y + box.height, start + part.height);
  if (bottom <= top) return std::nullopt;
  return std::make_pair(part.top + top - start, bottom - top);
}

}  // namespace

// Each cell's box on every page its rows have parts on, as tall as those parts.
void Layout::placeBoxes(std::size_t begin, const TableMeasure& m, const std::vector<RowPart>& parts,
                        float firstLeft, std::uint32_t onlyRowsBefore) {
  for (const TableBox& box : m.boxes) {
    if (box.row >= onlyRowsBefore) continue;
    const std::uint32_t last = box.row + std::max<std::uint32_t>(1, box.rowSpan);
    std::vector<PageCellBox> pieces;
    int frame = 0;
    for (const RowPart& part : parts) {
      if (part.row < box.row || part.row >= last) continue;
      use(part.page, part.top + part.height);
      const float x = box.x + frames_[std::size_t(part.page) - 1].left - firstLeft;
      const int page = pageOfFrame(part.page);
      if (box.rowSpan == 0) {
        if (const auto window = NestedWindow(m, parts, part, box)) {
          pieces.push_back(
              {page, begin, {x, window->first, box.width, window->second}, box.edges, box.shading});
        }
        continue;
      }
      if (pieces.empty() || frame != part.page) {
        pieces.push_back({page, begin, {x, part.top, box.width, 0}, box.edges, box.shading});
        frame = part.page;
      }
      RectF& rect = pieces.back().rect;
      rect.height = std::max(rect.height, part.top + part.height - rect.y);
    }
    boxes_.insert(boxes_.end(), pieces.begin(), pieces.end());
  }
}

std::size_t Layout::tableStartOf(std::size_t index) const {
  const auto& paragraphs = doc_->paragraphs;
  if (index >= paragraphs.size()) return index;
  while (index > 0 && SameTable(paragraphs[index - 1], paragraphs[index], 0)) --index;
  return index;
}

void Layout::ensure(std::size_t paragraphIndex) {
  const std::size_t count = doc_->paragraphs.size();
  if (entries_.size() > count) invalidateFrom(count);
  if (!wrapping_.empty()) checkWrappingMoved();
  std::size_t target = std::min(paragraphIndex + 1, count);
  // A paragraph kept with the next is settled once the next is placed, one in columns once the
  // next section begins (which may even the columns out).
  while (target < count) {
    if (doc_->paragraphs[target - 1].keepNext) {
      ++target;
      continue;
    }
    const std::size_t end = sectionEndOf(target - 1);
    if (end + 1 >= count || end + 1 < target ||
        ColumnBoxes(doc_->paragraphs[end].sectionEnd->setup).size() < 2)
      break;
    target = end + 2;
  }
  while (entries_.size() < target) place(entries_.size());
  if (entries_.size() == count) placeEndnotes();
}

void Layout::ensureAll() {
  if (!doc_->paragraphs.empty()) ensure(doc_->paragraphs.size() - 1);
}

int Layout::lastPageOfParagraph(std::size_t index) {
  ensure(index);
  if (entries_.empty()) return 1;
  return pageOfFrame(entries_[std::min(index, entries_.size() - 1)].endPage);
}

int Layout::pageOfParagraph(std::size_t index) {
  ensure(index);
  if (entries_.empty()) return 1;
  return pageOfFrame(entries_[std::min(index, entries_.size() - 1)].page);
}

float Layout::paragraphTop(std::size_t index) {
  ensure(index);
  return entries_.empty() ? 0.0f : entries_[std::min(index, entries_.size() - 1)].top;
}

float Layout::paragraphHeight(std::size_t index) {
  ensure(index);
  return entries_.empty() ? 0.0f : entries_[std::min(index, entries_.size() - 1)].height;
}

float Layout::paragraphLeft(std::size_t index) {
  ensure(index);
  return entries_.empty() ? doc_->pageSetup.leftMargin
                          : entries_[std::min(index, entries_.size() - 1)].left;
}

float Layout::paragraphWidth(std::size_t index) {
  ensure(index);
  return entries_.empty() ? TextColumnWidth(doc_->pageSetup)
                          : entries_[std::min(index, entries_.size() - 1)].width;
}

std::vector<LinePiece> Layout::piecesOf(std::size_t index) {
  ensure(index);
  const auto found = pieces_.find(index);
  if (found == pieces_.end()) return {};
  std::vector<LinePiece> pieces = found->second;
  for (LinePiece& piece : pieces) piece.page = pageOfFrame(piece.page);
  return pieces;
}

std::vector<BreakPart> Layout::breakPartsOf(std::size_t index) {
  ensure(index);
  const auto found = breakParts_.find(index);
  if (found == breakParts_.end()) return {};
  std::vector<BreakPart> parts = found->second;
  for (BreakPart& part : parts) part.page = pageOfFrame(part.page);
  return parts;
}

std::vector<PageCellBox> Layout::cellBoxesOnPage(int page) {
  firstParagraphOfPage(page + 1);  // lays out everything that may stand on the page
  std::vector<PageCellBox> result;
  for (const PageCellBox& box : boxes_)
    if (box.page == page) result.push_back(box);
  return result;
}

std::vector<RepeatedParagraph> Layout::repeatedOnPage(int page) {
  firstParagraphOfPage(page + 1);
  std::vector<RepeatedParagraph> result;
  for (const RepeatedParagraph& repeat : repeats_)
    if (repeat.page == page) result.push_back(repeat);
  return result;
}

std::int64_t Layout::paragraphStart(std::size_t index) {
  ensure(index);
  if (entries_.empty()) return 0;
  if (index < entries_.size()) return entries_[index].start;
  return storyLength();
}

std::int64_t Layout::storyLength() {
  ensureAll();
  if (entries_.empty()) return 0;
  return entries_.back().start + Extent(doc_->paragraphs[entries_.size() - 1]);
}

std::size_t Layout::paragraphAt(std::int64_t position) {
  ensureAll();
  if (entries_.empty()) return 0;
  auto after = std::upper_bound(entries_.begin(), entries_.end(), position,
                                [](std::int64_t pos, const Entry& e) { return pos < e.start; });
  if (after == entries_.begin()) return 0;
  return std::size_t(after - entries_.begin()) - 1;
}

std::size_t Layout::paragraphIndexOf(std::uint64_t paragraphId) {
  auto matches = [&](std::size_t& out) {
    auto it = ids_.find(paragraphId);
    if (it == ids_.end() || it->second >= entries_.size()) return false;
    if (doc_->paragraphs[it->second].id != paragraphId) return false;
    out = it->second;
    return true;
  };
  std::size_t index = 0;
  if (matches(index)) return index;
  ensureAll();
  return matches(index) ? index : npos;
}

std::size_t Layout::anchorIndex(const AnchoredShape& shape) {
  std::size_t index = paragraphIndexOf(shape.anchorParagraph);
  return index == npos ? 0 : index;
}

int Layout::pageOfShape(const AnchoredShape& shape) {
  const std::size_t anchor = anchorIndex(shape);
  const int page = pageOfParagraph(anchor);
  const auto moved = anchorPlaces_.find(anchor);
  return moved == anchorPlaces_.end() ? page : pageOfFrame(moved->second.first);
}

RectF Layout::shapeRectOnPage(const AnchoredShape& anchored) {
  RectF rect;
  if (!anchored.shape) return rect;
  const Shape& shape = *anchored.shape;
  rect.x = horizontalOrigin(shape.relH, anchored) + shape.left;
  rect.y = verticalOrigin(shape.relV, anchored) + shape.top;
  rect.width = shape.width;
  rect.height = shape.height;
  return rect;
}

// Margins are those of the page the shape stands on, as its section set it up; the page itself
// is laid out only for references that need it.
float Layout::horizontalOrigin(RelH ref, const AnchoredShape& shape) {
  // From the cell's text, as LibreOffice places it: the cell's edge plus its margin.
  if (cellOf(shape)) return paragraphLeft(anchorIndex(shape));
  switch (ref) {
    case RelH::Margin:
    case RelH::Column:
    case RelH::Character:
      return pageSetupOfPage(pageOfShape(shape)).leftMargin;
    case RelH::RightMargin:
    case RelH::OutsideMargin: {
      const PageSetup setup = pageSetupOfPage(pageOfShape(shape));
      return setup.pageWidth - setup.rightMargin;
    }
    case RelH::Page:
    case RelH::LeftMargin:
    case RelH::InsideMargin:
      return 0;
  }
  return 0;
}

float Layout::verticalOrigin(RelV ref, const AnchoredShape& shape) {
  if (ref != RelV::Paragraph && ref != RelV::Line)
    if (const std::optional<RectF> cell = cellOf(shape)) return cell->y;
  switch (ref) {
    case RelV::Margin:
      return std::fabs(pageSetupOfPage(pageOfShape(shape)).topMargin);
    case RelV::Paragraph:
    case RelV::Line: {
      const std::size_t anchor = anchorIndex(shape);
      const float top = paragraphTop(anchor);
      const auto moved = anchorPlaces_.find(anchor);
      return moved == anchorPlaces_.end() ? top : moved->second.second;
    }
    case RelV::BottomMargin:
    case RelV::OutsideMargin: {
      const PageSetup setup = pageSetupOfPage(pageOfShape(shape));
      return setup.pageHeight - std::fabs(setup.bottomMargin);
    }
    case RelV::Page:
    case RelV::TopMargin:
    case RelV::InsideMargin:
      return 0;
  }
  return 0;
}

std::optional<RectF> Layout::cellOf(const AnchoredShape& anchored) {
  if (!anchored.shape || !anchored.shape->layoutInCell) return std::nullopt;
  const std::size_t anchor = anchorIndex(anchored);
  if (anchor >= doc_->paragraphs.size() || doc_->paragraphs[anchor].cells.empty())
    return std::nullopt;
  const int page = pageOfParagraph(anchor);
  const float x = paragraphLeft(anchor) + 0.01f, y = paragraphTop(anchor) + 0.01f;
  // Boxes come page after page as the tables were laid out.
  const auto [first, last] =
      std::equal_range(boxes_.begin(), boxes_.end(), PageCellBox{page, 0, {}, {}, {}},
                       [](const PageCellBox& a, const PageCellBox& b) { return a.page < b.page; });
  std::optional<RectF> best;
  for (auto it = first; it != last; ++it) {
    const RectF& r = it->rect;
    if (x < r.x || y < r.y || x > r.x + r.width || y > r.y + r.height) continue;
    if (!best || r.width * r.height < best->width * best->height) best = r;
  }
  return best;
}

}  // namespace wordproc
