#include "wordproc/core/Layout.h"

#include <algorithm>
#include <cmath>

namespace wordproc {

namespace {

constexpr float kDefaultFontSize = 11.0f;
// Rounding of the running sums must not push a paragraph that fits exactly onto the next page.
constexpr double kFitTolerance = 1e-3;
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
    if (run.text.empty()) continue;
    if (!largest || UsableSize(run.format.fontSize) > UsableSize(largest->fontSize))
      largest = &run.format;
  }
  return largest ? *largest : paragraph.markFormat;
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

float ParagraphHeight(const Paragraph& paragraph, float textWidth, const TextMeasurer& measurer) {
  bool hasText = false;
  for (const Run& run : paragraph.runs) hasText = hasText || !run.text.empty();
  double lines = 1;
  if (hasText && textWidth > 0) lines = std::max(1, measurer.lineCount(paragraph, textWidth));
  double height =
      lines * LineHeight(paragraph, measurer.singleLineHeight(LargestFormat(paragraph)));
  for (const InlinePicture& picture : paragraph.inlinePictures)
    height = std::max(height, double(picture.height));
  height += std::max(0.0f, paragraph.spaceBefore) + std::max(0.0f, paragraph.spaceAfter);
  return float(height);
}

std::vector<Paragraph> PageBreakParts(const Paragraph& paragraph) {
  bool breaks = false;
  for (const Run& run : paragraph.runs) breaks = breaks || run.text.find('\f') != std::string::npos;
  if (!breaks) return {};
  std::vector<Paragraph> parts;
  auto start = [&] {
    Paragraph part = paragraph;
    part.runs.clear();
    part.inlinePictures.clear();
    part.spaceAfter = 0;
    if (!parts.empty()) part.spaceBefore = 0;
    parts.push_back(std::move(part));
  };
  start();
  for (const Run& run : paragraph.runs) {
    std::size_t from = 0;
    for (std::size_t at; (at = run.text.find('\f', from)) != std::string::npos; from = at + 1) {
      if (at > from) parts.back().runs.push_back({run.text.substr(from, at - from), run.format});
      start();
    }
    if (from < run.text.size()) parts.back().runs.push_back({run.text.substr(from), run.format});
  }
  parts.back().spaceAfter = paragraph.spaceAfter;
  return parts;
}

void Layout::invalidateFrom(std::size_t paragraphIndex) {
  if (scanEnd_ != npos && paragraphIndex <= scanEnd_) scanFrom_ = scanEnd_ = npos;
  // A table is laid out whole: a change in it, or just after it, lays it out again.
  if (paragraphIndex > 0 && paragraphIndex - 1 < doc_->paragraphs.size())
    paragraphIndex = std::min(paragraphIndex, tableStartOf(paragraphIndex - 1));
  if (paragraphIndex >= entries_.size()) return;
  entries_.resize(paragraphIndex);
  while (!boxes_.empty() && boxes_.back().table >= paragraphIndex) boxes_.pop_back();
  while (!repeats_.empty() && repeats_.back().table >= paragraphIndex) repeats_.pop_back();
  pieces_.erase(pieces_.lower_bound(paragraphIndex), pieces_.end());
  while (!pageFirst_.empty() && pageFirst_.back() >= paragraphIndex) {
    pageFirst_.pop_back();
    pageSetups_.pop_back();
    pageTops_.pop_back();
    pageBottoms_.pop_back();
  }
}

std::size_t Layout::sectionEndOf(std::size_t index) {
  const std::size_t count = doc_->paragraphs.size();
  if (scanFrom_ != npos && scanFrom_ <= index && index <= scanEnd_ && scanEnd_ <= count)
    return scanEnd_;
  // Edits are followed by invalidateFrom; a scan stays good for the paragraphs it passed.
  std::size_t end = index;
  while (end < count && !doc_->paragraphs[end].sectionEnd) ++end;
  scanFrom_ = index;
  scanEnd_ = end;
  return end;
}

const Section* Layout::sectionOf(std::size_t index) {
  const std::size_t end = sectionEndOf(index);
  return end < doc_->paragraphs.size() ? &*doc_->paragraphs[end].sectionEnd : nullptr;
}

PageSetup Layout::pageSetupOfParagraph(std::size_t index) {
  const Section* section = sectionOf(index);
  return section ? section->setup : doc_->pageSetup;
}

PageSetup Layout::pageSetupOfPage(int page) {
  const std::size_t first = firstParagraphOfPage(page);
  const std::size_t wanted = std::size_t(std::max(page, 1));
  if (wanted <= pageSetups_.size()) return pageSetups_[wanted - 1];
  if (pageSetups_.empty()) return doc_->pageSetup;
  return first < doc_->paragraphs.size() ? pageSetupOfParagraph(first) : doc_->pageSetup;
}

HeaderFooterPtr Layout::headerOfPage(int page, bool footer) {
  page = std::clamp(page, 1, pageCount());
  const std::size_t first = firstParagraphOfPage(page);
  const Section* section = sectionOf(first);
  const PageStories& stories = section ? section->stories : doc_->lastStories;
  const bool beginsSection =
      stories.titlePage &&
      (page == 1 || sectionEndOf(firstParagraphOfPage(page - 1)) != sectionEndOf(first));
  return storyOf(first, page, beginsSection, footer);
}

HeaderFooterPtr Layout::storyOf(std::size_t first, int page, bool beginsSection, bool footer) {
  const Section* section = sectionOf(first);
  const PageStories& stories = section ? section->stories : doc_->lastStories;
  const auto& kinds = footer ? stories.footers : stories.headers;
  if (stories.titlePage && beginsSection) return kinds[int(HeaderKind::First)];
  if (doc_->evenAndOddHeaders && page % 2 == 0) return kinds[int(HeaderKind::Even)];
  return kinds[int(HeaderKind::Default)];
}

float Layout::storyHeight(const HeaderFooterPtr& story, float width) {
  if (!story) return 0;
  const auto key = std::make_pair(story.get(), width);
  auto found = storyHeights_.find(key);
  if (found == storyHeights_.end())
    found = storyHeights_.emplace(key, StoryHeight(*story, width, *measurer_)).first;
  return found->second;
}

// A header taller than the top margin pushes the page's text down, a footer taller than the
// bottom margin pushes its end up, as the word processors set pages.
void Layout::startPage(std::size_t index, const PageSetup& setup) {
  const int page = int(pageFirst_.size()) + 1;
  double top = std::fabs(setup.topMargin);
  double bottom = setup.pageHeight - std::fabs(setup.bottomMargin);
  float header = 0, footer = 0;
  const Section* section = sectionOf(index);
  const PageStories& stories = section ? section->stories : doc_->lastStories;
  if (stories != PageStories{}) {
    // Which page of its section this is matters only to a section with a title page.
    const bool beginsSection =
        stories.titlePage &&
        (pageFirst_.empty() || sectionEndOf(pageFirst_.back()) != sectionEndOf(index));
    const float width = TextColumnWidth(setup);
    header = storyHeight(storyOf(index, page, beginsSection, false), width);
    footer = storyHeight(storyOf(index, page, beginsSection, true), width);
  }
  if (header > 0) top = std::max(top, double(setup.headerDistance) + header);
  if (footer > 0)
    bottom = std::min(bottom, double(setup.pageHeight - setup.footerDistance - footer));
  pageFirst_.push_back(index);
  pageSetups_.push_back(setup);
  pageTops_.push_back(float(top));
  pageBottoms_.push_back(float(std::max(bottom, top)));
}

double Layout::textTopOfPage(int page) {
  firstParagraphOfPage(page);
  return pageTop(page);
}

double Layout::pageTop(int page) const {
  const std::size_t at = std::size_t(std::max(page, 1)) - 1;
  return at < pageTops_.size() ? pageTops_[at] : (pageTops_.empty() ? 0.0 : pageTops_.back());
}

double Layout::pageBottom(int page) const {
  const std::size_t at = std::size_t(std::max(page, 1)) - 1;
  return at < pageBottoms_.size() ? pageBottoms_[at]
                                  : (pageBottoms_.empty() ? 0.0 : pageBottoms_.back());
}

namespace {

// Whether a paragraph that begins a section of the given start must begin a new page, and a
// blank one before it when the page it would take has the wrong parity.
bool SectionTakesNewPage(SectionStart start, const PageSetup& before, const PageSetup& now) {
  if (start != SectionStart::Continuous) return true;
  // A continuous section of another paper size cannot share the page.
  return before.pageWidth != now.pageWidth || before.pageHeight != now.pageHeight;
}

bool WrongParity(SectionStart start, int page) {
  return (start == SectionStart::OddPage && page % 2 == 0) ||
         (start == SectionStart::EvenPage && page % 2 == 1);
}

}  // namespace

Layout::Start Layout::startOf(std::size_t index, const PageSetup& setup, double spaceBefore,
                              double needed, const std::function<bool(double y)>& splitsAt) {
  if (index == 0) {
    pageFirst_.clear();
    pageSetups_.clear();
    pageTops_.clear();
    pageBottoms_.clear();
    startPage(0, setup);
    return {1, pageTop(1), true};
  }
  const Entry& previous = entries_[index - 1];
  const Paragraph& above = doc_->paragraphs[index - 1];
  const Paragraph& paragraph = doc_->paragraphs[index];
  bool newPage = paragraph.pageBreakBefore;
  SectionStart start = SectionStart::Continuous;
  if (above.sectionEnd) {
    const Section* section = sectionOf(index);
    start = section ? section->start : doc_->lastSectionStart;
    newPage = newPage || SectionTakesNewPage(start, above.sectionEnd->setup, setup);
  }
  // Spacing after one paragraph and before the next overlap: the larger of the two stands
  // between them. The last paragraph of a page may let its spacing after run past the bottom
  // margin.
  const double overlap = std::min(double(std::max(0.0f, above.spaceAfter)), spaceBefore);
  const double y = double(previous.endY) - overlap;
  const double bottom = pageBottom(previous.endPage);
  if (!newPage && y + needed <= bottom + kFitTolerance) return {previous.endPage, y, false};
  if (!newPage && splitsAt && splitsAt(y)) return {previous.endPage, y, false};
  if (!newPage && carryKeptWithNext(index, setup)) {
    const double below = double(entries_[index - 1].endY) - overlap;
    if (below + needed <= bottom + kFitTolerance) return {previous.endPage, below, false};
  }
  Start result{previous.endPage + 1, 0, true};
  // A section that must begin on an odd (even) page leaves the page between blank.
  if (WrongParity(start, result.page)) {
    startPage(index, setup);
    ++result.page;
  }
  startPage(index, setup);
  result.top = pageTop(result.page);
  return result;
}

namespace {

// Lines of the given height that fit in the room.
int LinesIn(double room, double lineHeight) {
  if (!(lineHeight > 0)) return 1 << 20;
  return int(std::floor((room + kFitTolerance) / lineHeight));
}

}  // namespace

void Layout::place(std::size_t index) {
  const Paragraph& paragraph = doc_->paragraphs[index];
  if (!paragraph.cells.empty() && paragraph.cells[0].table) return placeTable(index);
  const PageSetup& setup = pageSetupOfParagraph(index);
  const float width = TextColumnWidth(setup);
  const std::vector<Paragraph> parts = PageBreakParts(paragraph);
  if (parts.empty() && paragraph.inlinePictures.empty() && !paragraph.keepLines &&
      placeLines(index, setup, width))
    return;
  const Paragraph& first = parts.empty() ? paragraph : parts.front();
  Entry entry = newEntry(index, setup.leftMargin, width);
  entry.height = ParagraphHeight(first, width, *measurer_);
  const Start start = startOf(index, setup, std::max(0.0f, paragraph.spaceBefore),
                              entry.height - std::max(0.0f, first.spaceAfter));
  entry.page = start.page;
  entry.top = float(start.top);
  if (start.newPage) entry.height -= TopOfPageSaving(first, *measurer_);
  entry.endPage = entry.page;
  entry.endY = entry.top + entry.height;
  // Each page break carries the rest of the paragraph to the top of a new page.
  for (std::size_t k = 1; k < parts.size(); ++k) {
    ++entry.endPage;
    startPage(index, setup);
    entry.endY = float(pageTop(entry.endPage) + ParagraphHeight(parts[k], width, *measurer_) -
                       TopOfPageSaving(parts[k], *measurer_));
  }
  entries_.push_back(entry);
  ids_[paragraph.id] = index;
}

// Paragraphs to be kept with the next one go on to the next page with it, unless they begin
// their page already. Returns whether they moved; they then stand at the top of a new page.
bool Layout::carryKeptWithNext(std::size_t index, const PageSetup& setup) {
  std::size_t first = index;
  const int page = entries_[index - 1].endPage;
  while (first > 0) {
    const std::size_t k = first - 1;
    const Paragraph& p = doc_->paragraphs[k];
    const Entry& e = entries_[k];
    if (!p.keepNext || !p.cells.empty() || e.page != page || e.endPage != page ||
        pieces_.count(k) || p.sectionEnd)
      break;
    first = k;
  }
  if (first == index || pageFirst_.empty() || pageFirst_.back() >= first) return false;
  startPage(first, setup);
  const float shift = float(pageTop(page + 1)) - entries_[first].top;
  for (std::size_t k = first; k < index; ++k) {
    Entry& e = entries_[k];
    e.page = e.endPage = page + 1;
    e.top += shift;
    e.endY += shift;
  }
  return true;
}

Layout::Entry Layout::newEntry(std::size_t index, float left, float width) const {
  Entry entry;
  entry.left = left;
  entry.width = width;
  if (index > 0) entry.start = entries_[index - 1].start + Extent(doc_->paragraphs[index - 1]);
  return entry;
}

// A paragraph of several lines that does not fit where it would begin is divided between pages
// at its lines: at least two lines at the foot of a page, and with widow control no single last
// line alone at the top of the next. Returns false, placing nothing, for a paragraph of one line
// or none.
bool Layout::placeLines(std::size_t index, const PageSetup& setup, float width) {
  const Paragraph& paragraph = doc_->paragraphs[index];
  bool hasText = false;
  for (const Run& run : paragraph.runs) hasText = hasText || !run.text.empty();
  if (!hasText) return false;
  const int lines = std::max(1, measurer_->lineCount(paragraph, width));
  if (lines < 2) return false;
  const double lineHeight =
      LineHeight(paragraph, measurer_->singleLineHeight(LargestFormat(paragraph)));
  const double before = std::max(0.0f, paragraph.spaceBefore);
  // Lines to set on a page from y on: as many as fit, leaving two for the next page when only
  // one would go there.
  auto take = [&](double y, int page, int left, int least) {
    int n = std::min(left, LinesIn(pageBottom(page) - y, lineHeight));
    if (paragraph.widowControl && left - n == 1 && n > least) --n;
    return n >= least ? n : 0;
  };
  std::vector<LinePiece> pieces;
  const Start start = startOf(index, setup, before, before + lines * lineHeight, [&](double y) {
    const int n = take(y + before, entries_[index - 1].endPage, lines, 2);
    if (n == 0 || n >= lines) return false;
    pieces.push_back({0, float(y), float(before + n * lineHeight), 0, n});
    return true;
  });
  Entry entry = newEntry(index, setup.leftMargin, width);
  entry.page = start.page;
  entry.top = float(start.top);
  const int n =
      pieces.empty() && start.newPage ? take(start.top + before, start.page, lines, 1) : 0;
  if (pieces.empty() && (n == 0 || n >= lines)) {
    // As ParagraphHeight has it, without measuring the lines again.
    entry.height = float(before + lines * lineHeight + std::max(0.0f, paragraph.spaceAfter));
    if (start.newPage) entry.height -= TopOfPageSaving(paragraph, *measurer_);
    entry.endPage = entry.page;
    entry.endY = entry.top + entry.height;
    entries_.push_back(entry);
    ids_[paragraph.id] = index;
    return true;
  }
  if (pieces.empty()) pieces.push_back({0, entry.top, float(before + n * lineHeight), 0, n});
  pieces[0].page = start.page;
  for (int done = pieces[0].lines; done < lines;) {
    const int page = pieces.back().page + 1;
    startPage(index, setup);
    const int n = std::max(1, take(pageTop(page), page, lines - done, 1));
    pieces.push_back(
        {page, float(pageTop(page)), float(n * lineHeight), float(before + done * lineHeight), n});
    done += n;
  }
  entry.height = pieces[0].height;
  entry.endPage = pieces.back().page;
  entry.endY = pieces.back().top + pieces.back().height + std::max(0.0f, paragraph.spaceAfter);
  entries_.push_back(entry);
  ids_[paragraph.id] = index;
  pieces_[index] = std::move(pieces);
  return true;
}

void Layout::placeTable(std::size_t begin) {
  const PageSetup setup = pageSetupOfParagraph(begin);
  const TableMeasure m = MeasureTable(doc_->paragraphs, begin, 0, setup.leftMargin,
                                      TextColumnWidth(setup), *measurer_);
  PageFlow flow;
  flow.newPage = [&](std::size_t first) {
    startPage(first, setup);
    const int page = int(pageTops_.size());
    return std::make_pair(pageTop(page), pageBottom(page));
  };
  const double firstRow = m.rowHeights.empty() ? 0.0 : m.rowHeights[0];
  // A first row that may split begins here when its first paragraph fits.
  const bool splits = !m.rowSplits.empty() && m.rowSplits[0] && !m.items.empty();
  const Start start = startOf(begin, setup, 0, firstRow, [&](double y) {
    const double bottom = pageBottom(entries_[begin - 1].endPage);
    return splits && y + m.items[0].y + m.items[0].height <= bottom + kFitTolerance;
  });
  flow.top = pageTop(start.page);
  flow.bottom = pageBottom(start.page);
  const PlacedTable placed = PlaceTableRows(m, start.page, start.top, start.newPage, flow);
  for (std::size_t k = 0; k < m.items.size(); ++k) {
    const TableItem& item = m.items[k];
    const std::size_t index = entries_.size();
    if (item.paragraph != index) continue;  // items come in paragraph order, one each
    Entry entry;
    entry.start = index > 0 ? entries_[index - 1].start + Extent(doc_->paragraphs[index - 1]) : 0;
    entry.page = entry.endPage = placed.itemPage[k];
    entry.top = placed.itemTop[k];
    entry.height = item.height;
    entry.endY = entry.top + entry.height;
    entry.left = item.x;
    entry.width = item.width;
    entries_.push_back(entry);
    ids_[doc_->paragraphs[index].id] = index;
  }
  for (const PlacedTable::Piece& piece : placed.pieces) {
    const std::size_t index = m.items[piece.item].paragraph;
    if (index >= entries_.size()) continue;
    auto& pieces = pieces_[index];
    pieces.push_back({piece.page, piece.top, piece.height, piece.offset, piece.lines});
    Entry& entry = entries_[index];
    if (pieces.size() == 1) entry.height = piece.height;
    entry.endPage = piece.page;
    entry.endY = piece.top + piece.height;
  }
  // The text after the table goes below its last row.
  entries_.back().endPage = placed.endPage;
  entries_.back().endY = placed.endY;
  for (const PlacedTable::Repeat& repeat : placed.repeats) {
    const TableItem& item = m.items[repeat.item];
    repeats_.push_back({repeat.page, begin, item.paragraph, item.x, repeat.top, item.width});
  }
  placeBoxes(begin, m, placed.parts);
  placeBoxes(begin, m, placed.repeatedParts, m.headerRows);
}

// Each cell's box on every page its rows have parts on, as tall as those parts.
void Layout::placeBoxes(std::size_t begin, const TableMeasure& m, const std::vector<RowPart>& parts,
                        std::uint32_t onlyRowsBefore) {
  for (const TableBox& box : m.boxes) {
    if (box.row >= onlyRowsBefore) continue;
    const std::uint32_t last = box.row + std::max<std::uint32_t>(1, box.rowSpan);
    std::vector<PageCellBox> pieces;
    for (const RowPart& part : parts) {
      if (part.row < box.row || part.row >= last) continue;
      if (box.rowSpan == 0) {  // a nested table's cell: with its row's first part
        if (!pieces.empty()) break;
        pieces.push_back({part.page,
                          begin,
                          {box.x, part.top + box.y, box.width, box.height},
                          box.edges,
                          box.shading});
        continue;
      }
      if (pieces.empty() || pieces.back().page != part.page) {
        pieces.push_back(
            {part.page, begin, {box.x, part.top, box.width, 0}, box.edges, box.shading});
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
  std::size_t target = std::min(paragraphIndex + 1, count);
  // A paragraph kept with the next is settled once the next is placed.
  while (target < count && doc_->paragraphs[target - 1].keepNext) ++target;
  while (entries_.size() < target) place(entries_.size());
}

void Layout::ensureAll() {
  if (!doc_->paragraphs.empty()) ensure(doc_->paragraphs.size() - 1);
}

int Layout::pageCount() {
  ensureAll();
  return entries_.empty() ? 1 : entries_.back().endPage;
}

int Layout::lastPageOfParagraph(std::size_t index) {
  ensure(index);
  if (entries_.empty()) return 1;
  return entries_[std::min(index, entries_.size() - 1)].endPage;
}

int Layout::pageOfParagraph(std::size_t index) {
  ensure(index);
  if (entries_.empty()) return 1;
  return entries_[std::min(index, entries_.size() - 1)].page;
}

std::size_t Layout::firstParagraphOfPage(int page) {
  const std::size_t wanted = std::size_t(std::max(page, 1));
  const std::size_t count = doc_->paragraphs.size();
  if (entries_.size() > count) invalidateFrom(count);
  while (pageFirst_.size() < wanted && entries_.size() < count) place(entries_.size());
  if (pageFirst_.empty()) return 0;
  // A page that only began with the paragraph just placed may not be complete, but its first
  // paragraph is settled.
  return pageFirst_[std::min(wanted, pageFirst_.size()) - 1];
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
  return found == pieces_.end() ? std::vector<LinePiece>{} : found->second;
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
  return pageOfParagraph(anchorIndex(shape));
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
  switch (ref) {
    case RelV::Margin:
      return std::fabs(pageSetupOfPage(pageOfShape(shape)).topMargin);
    case RelV::Paragraph:
    case RelV::Line:
      return paragraphTop(anchorIndex(shape));
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

}  // namespace wordproc
