// The page loop: pages and their columns begun as text fills them, sections and their page
// set-ups, headers and footers taking their room, and columns balanced where a section ends on
// a page the next one goes on on.
#include <algorithm>
#include <cmath>
#include <tuple>

#include "wordproc/core/Layout.h"

namespace wordproc {

namespace {

// Columns narrower than this hold no more than a letter or two; they are given up.
constexpr float kMinColumn = 9.0f;
// Steps of the search for the height of balanced columns: a tenth of a point is below the
// differences of line heights.
constexpr int kBalanceSteps = 14;

}  // namespace

std::vector<ColumnBox> ColumnBoxes(const PageSetup& setup) {
  const float room = TextColumnWidth(setup);
  const TextColumns& columns = setup.columns;
  std::vector<ColumnBox> boxes;
  bool listed = !columns.widths.empty();
  for (const TextColumn& column : columns.widths) listed = listed && column.width >= kMinColumn;
  if (listed) {
    float x = setup.leftMargin;
    for (const TextColumn& column : columns.widths) {
      boxes.push_back({x, column.width});
      x += column.width + std::max(0.0f, column.space);
    }
    return boxes;
  }
  const float space = std::isfinite(columns.space) ? std::max(0.0f, columns.space) : 0.0f;
  int count = std::clamp(columns.count, 1, 45);
  while (count > 1 && (room - space * float(count - 1)) / float(count) < kMinColumn) --count;
  const float width = count > 1 ? (room - space * float(count - 1)) / float(count) : room;
  for (int k = 0; k < count; ++k)
    boxes.push_back({setup.leftMargin + float(k) * (width + space), width});
  return boxes;
}

void Layout::invalidateFrom(std::size_t paragraphIndex) {
  if (scanEnd_ != npos && paragraphIndex <= scanEnd_) scanFrom_ = scanEnd_ = npos;
  // A table is laid out whole: a change in it, or just after it, lays it out again.
  if (paragraphIndex > 0 && paragraphIndex - 1 < doc_->paragraphs.size())
    paragraphIndex = std::min(paragraphIndex, tableStartOf(paragraphIndex - 1));
  // Balanced columns are balanced again when a paragraph of their section changes.
  balanced_.erase(balanced_.lower_bound({paragraphIndex, 0}), balanced_.end());
  truncate(paragraphIndex);
}

void Layout::truncate(std::size_t paragraphIndex) {
  dropEndnotes();
  if (paragraphIndex >= entries_.size()) return;
  entries_.resize(paragraphIndex);
  dropNotes(paragraphIndex);
  while (!boxes_.empty() && boxes_.back().table >= paragraphIndex) boxes_.pop_back();
  while (!repeats_.empty() && repeats_.back().table >= paragraphIndex) repeats_.pop_back();
  pieces_.erase(pieces_.lower_bound(paragraphIndex), pieces_.end());
  breakParts_.erase(breakParts_.lower_bound(paragraphIndex), breakParts_.end());
  anchorPlaces_.erase(anchorPlaces_.lower_bound(paragraphIndex), anchorPlaces_.end());
  besideAnchors_.erase(besideAnchors_.lower_bound(paragraphIndex), besideAnchors_.end());
  while (!frames_.empty() && frames_.back().first >= paragraphIndex) frames_.pop_back();
  if (!frames_.empty()) {
    auto& bands = frames_.back().bands;
    std::erase_if(bands, [&](const Frame::Band& band) { return band.by >= paragraphIndex; });
    std::erase_if(frames_.back().beside,
                  [&](const Frame::Beside& box) { return box.by >= paragraphIndex; });
    applyBands(frames_.back());
  }
  while (!pageFrames_.empty() && pageFrames_.back() >= frames_.size()) {
    pageFrames_.pop_back();
    pageSetups_.pop_back();
    pageNumbers_.pop_back();
    pageTops_.pop_back();
    pageBottoms_.pop_back();
    pageNotes_.pop_back();
  }
  // What notes were carried on to the pages taken back is carried on again when they are.
  std::erase_if(notes_,
                [&](const PlacedNote& note) { return std::size_t(note.page) > pageNotes_.size(); });
  std::erase_if(endnotes_, [&](const PlacedEndnote& note) { return note.after >= paragraphIndex; });
  std::erase_if(endnoteRules_,
                [&](const EndnoteRule& rule) { return rule.after >= paragraphIndex; });
  sectionNotesEnd_.erase(sectionNotesEnd_.lower_bound(paragraphIndex), sectionNotesEnd_.end());
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

int Layout::pageNumberOfPage(int page) {
  const int count = pageCount();
  page = std::clamp(page, 1, count);
  return std::size_t(page) <= pageNumbers_.size() ? pageNumbers_[std::size_t(page) - 1] : page;
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
int Layout::startPage(std::size_t index, const PageSetup& setup) {
  const int page = int(pageFrames_.size()) + 1;
  double top = std::fabs(setup.topMargin);
  double bottom = setup.pageHeight - std::fabs(setup.bottomMargin);
  float header = 0, footer = 0;
  const std::size_t section = sectionEndOf(index);
  const Section* own = sectionOf(index);
  const PageStories& stories = own ? own->stories : doc_->lastStories;
  if (stories != PageStories{}) {
    // Which page of its section this is matters only to a section with a title page.
    const bool beginsSection =
        stories.titlePage && (frames_.empty() || frames_.back().section != section);
    const float width = TextColumnWidth(setup);
    header = storyHeight(storyOf(index, page, beginsSection, false), width);
    footer = storyHeight(storyOf(index, page, beginsSection, true), width);
  }
  if (header > 0) top = std::max(top, double(setup.headerDistance) + header);
  if (footer > 0)
    bottom = std::min(bottom, double(setup.pageHeight - setup.footerDistance - footer));
  bottom = std::max(bottom, top);
  const bool firstOfSection = frames_.empty() || frames_.back().section != section;
  if (firstOfSection && setup.firstPageNumber)
    pageNumbers_.push_back(*setup.firstPageNumber);
  else
    pageNumbers_.push_back(pageNumbers_.empty() ? 1 : pageNumbers_.back() + 1);
  pageFrames_.push_back(frames_.size());
  pageSetups_.push_back(setup);
  pageTops_.push_back(float(top));
  pageBottoms_.push_back(float(bottom));
  pageNotes_.push_back(0);
  carryNotesOn(page, index);
  return pushFrame(page, index, section, ColumnBoxes(setup).front(), float(top), float(bottom),
                   false);
}

int Layout::pushFrame(int page, std::size_t first, std::size_t section, ColumnBox column, float top,
                      float bottom, bool fitTop) {
  Frame frame;
  frame.page = page;
  frame.first = first;
  frame.section = section;
  frame.left = column.left;
  frame.width = column.width;
  frame.top = top;
  frame.bottom = bottom;
  if (auto limit = balanced_.find({section, page}); limit != balanced_.end())
    frame.bottom = std::min(frame.bottom, limit->second);
  if (fitTop) frame.top = std::min(frame.top, frame.bottom);
  frame.used = frame.top;
  frame.fullBottom = frame.bottom;
  frames_.push_back(frame);
  return int(frames_.size());
}

int Layout::nextFrame(std::size_t index, const PageSetup& setup) {
  const std::size_t section = sectionEndOf(index);
  if (frames_.empty() || frames_.back().section != section) return startPage(index, setup);
  if (const int below = resumeBelowBand(index)) return below;
  const std::vector<ColumnBox> columns = ColumnBoxes(setup);
  Frame frame = frames_.back();
  if (std::size_t(frame.column) + 1 >= columns.size()) return startPage(index, setup);
  ++frame.column;
  frame.first = index;
  frame.left = columns[std::size_t(frame.column)].left;
  frame.width = columns[std::size_t(frame.column)].width;
  // Columns begin level, at the top of the first: not below a shape the last one went past.
  for (std::size_t k = frames_.size();
       k-- > 0 && frames_[k].page == frame.page && frames_[k].section == frame.section;)
    frame.top = frames_[k].top;
  frame.bottom = frame.fullBottom;
  frame.used = frame.top;
  frame.bands.clear();
  frame.beside.clear();
  frame.clear = 0;
  frames_.push_back(frame);
  return int(frames_.size());
}

int Layout::continueOnPage(std::size_t index, const PageSetup& setup) {
  balanceColumnsBefore(index);
  const int page = frames_.back().page;
  double below = entries_[index - 1].endY;
  for (std::size_t k = pageFrames_[std::size_t(page) - 1]; k < frames_.size(); ++k)
    below = std::max(below, double(frames_[k].used));
  return pushFrame(page, index, sectionEndOf(index), ColumnBoxes(setup).front(), float(below),
                   pageBottoms_[std::size_t(page) - 1], true);
}

// The columns of the section's last page are made as short as they can be while holding its
// text: the smallest depth found by halving between an even share of the text and the page's
// bottom. The paragraphs on that page are laid out again for each try.
void Layout::balanceColumnsBefore(std::size_t index) {
  const std::size_t section = index - 1;
  const int page = pageOfFrame(entries_[section].endPage);
  const auto key = std::make_pair(section, page);
  if (balanced_.count(key)) return;
  std::size_t first = frames_.size();
  double text = 0;
  for (std::size_t k = frames_.size(); k-- > 0 && frames_[k].page == page;) {
    if (frames_[k].section != section) break;
    first = k;
    text += std::max(0.0f, frames_[k].used - frames_[k].top);
  }
  const std::vector<ColumnBox> boxes = ColumnBoxes(pageSetupOfParagraph(section));
  if (first == frames_.size() || boxes.size() < 2 || frames_[first].column != 0) return;
  const std::size_t from = frames_[first].first;
  const double top = frames_[first].top;
  double low = top + text / double(boxes.size()), high = frames_[first].bottom;
  auto fits = [&](double depth) {
    balanced_[key] = float(depth);
    truncate(from);
    while (entries_.size() < index) place(entries_.size());
    return pageOfFrame(entries_[section].endPage) == page;
  };
  for (int step = 0; step < kBalanceSteps && high - low > 0.1; ++step) {
    const double middle = (low + high) / 2;
    (fits(middle) ? high : low) = middle;
  }
  if (!fits(high)) {  // the text needs the whole page after all
    balanced_[key] = pageBottoms_[std::size_t(page) - 1];
    truncate(from);
    while (entries_.size() < index) place(entries_.size());
  }
}

ColumnBox Layout::columnFor(std::size_t index, const PageSetup& setup) {
  if (index > 0 && index <= entries_.size() && !frames_.empty()) {
    const Frame& frame = frames_[std::size_t(entries_[index - 1].endPage) - 1];
    if (frame.section == sectionEndOf(index)) return {frame.left, frame.width};
  }
  return ColumnBoxes(setup).front();
}

void Layout::use(int frame, double bottom) {
  if (frame < 1 || std::size_t(frame) > frames_.size()) return;
  Frame& f = frames_[std::size_t(frame) - 1];
  f.used = std::max(f.used, float(bottom));
}

double Layout::textTopOfPage(int page) {
  firstParagraphOfPage(page);
  if (pageTops_.empty()) return 0;
  return pageTops_[std::min(std::size_t(std::max(page, 1)), pageTops_.size()) - 1];
}

double Layout::frameTop(int frame) const {
  if (frames_.empty()) return 0;
  return frames_[std::clamp<std::size_t>(std::size_t(std::max(frame, 1)), 1, frames_.size()) - 1]
      .top;
}

// Above the page's footnotes, when it has any.
double Layout::frameBottom(int frame) const {
  if (frames_.empty()) return 0;
  const Frame& f =
      frames_[std::clamp<std::size_t>(std::size_t(std::max(frame, 1)), 1, frames_.size()) - 1];
  const std::size_t page = std::size_t(f.page);
  if (page < 1 || page > pageNotes_.size() || !(pageNotes_[page - 1] > 0)) return f.bottom;
  return std::min(double(f.bottom), double(pageBottoms_[page - 1] - pageNotes_[page - 1]));
}

int Layout::pageOfFrame(int frame) const {
  if (frames_.empty()) return 1;
  return frames_[std::clamp<std::size_t>(std::size_t(std::max(frame, 1)), 1, frames_.size()) - 1]
      .page;
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

// The spacing after the paragraph above, looking through those that take no room.
float SpacingAboveOf(const std::vector<Paragraph>& paragraphs, std::size_t index) {
  for (std::size_t k = index; k > 0 && index - k < 64; --k)
    if (!TakesNoRoom(paragraphs[k - 1])) return paragraphs[k - 1].spaceAfter;
  return 0;
}

bool HasColumns(const PageSetup& setup) {
  return ColumnBoxes(setup).size() > 1;
}

}  // namespace

Layout::Start Layout::startOf(std::size_t index, const PageSetup& setup, double spaceBefore,
                              double needed, const std::function<bool(int, double)>& splitsAt,
                              double notes) {
  if (index == 0) {
    frames_.clear();
    pageFrames_.clear();
    pageSetups_.clear();
    pageNumbers_.clear();
    pageTops_.clear();
    pageBottoms_.clear();
    pageNotes_.clear();
    notes_.clear();
    const int frame = startPage(0, setup);
    return {frame, frameTop(frame), true};
  }
  const Paragraph& above = doc_->paragraphs[index - 1];
  const Paragraph& paragraph = doc_->paragraphs[index];
  bool newPage = paragraph.pageBreakBefore;
  SectionStart start = SectionStart::Continuous;
  bool newColumns = false;
  if (above.sectionEnd) {
    const Section* section = sectionOf(index);
    start = section ? section->start : doc_->lastSectionStart;
    newPage = newPage || SectionTakesNewPage(start, above.sectionEnd->setup, setup);
    newColumns = !newPage && (HasColumns(above.sectionEnd->setup) || HasColumns(setup));
  }
  // Spacing after one paragraph and before the next overlap: the larger of the two stands
  // between them. The last paragraph of a page may let its spacing after run past the bottom
  // margin.
  const double overlap =
      TakesNoRoom(paragraph)
          ? 0
          : std::min(double(std::max(0.0f, SpacingAboveOf(doc_->paragraphs, index))), spaceBefore);
  int frame = entries_[index - 1].endPage;
  double y = std::max(double(entries_[index - 1].endY) - overlap, double(frameClear(frame)));
  // The section before ends with its endnotes.
  if (const auto notes = sectionNotesEnd_.find(index - 1); notes != sectionNotesEnd_.end())
    std::tie(frame, y) = notes->second;
  if (newColumns) {
    frame = continueOnPage(index, setup);
    y = frameTop(frame);
  }
  const double bottom = frameBottom(frame) - notesRoom(frame, notes);
  if (!newPage && y + needed <= bottom + kFitTolerance) return {frame, y, false};
  if (!newPage && splitsAt && splitsAt(frame, y)) return {frame, y, false};
  if (!newPage && !newColumns && carryKeptWithNext(index, setup)) {
    frame = entries_[index - 1].endPage;
    const double below =
        std::max(double(entries_[index - 1].endY) - overlap, double(frameClear(frame)));
    if (below + needed + notesRoom(frame, notes) <= frameBottom(frame) + kFitTolerance)
      return {frame, below, false};
  }
  if (!newPage) {
    frame = nextFrame(index, setup);
    return {frame, frameTop(frame), true};
  }
  // A section that must begin on an odd (even) page leaves the page between blank.
  if (WrongParity(start, pageOfFrame(frame) + 1)) startPage(index, setup);
  frame = startPage(index, setup);
  return {frame, frameTop(frame), true};
}

// Paragraphs to be kept with the next one go on to the next column or page with it, unless they
// begin their column already. Returns whether they moved; they then stand at the top of it.
bool Layout::carryKeptWithNext(std::size_t index, const PageSetup& setup) {
  std::size_t first = index;
  const int frame = entries_[index - 1].endPage;
  while (first > 0) {
    const std::size_t k = first - 1;
    const Paragraph& p = doc_->paragraphs[k];
    const Entry& e = entries_[k];
    if (!p.keepNext || !p.cells.empty() || e.page != frame || e.endPage != frame ||
        pieces_.count(k) || breakParts_.count(k) || p.sectionEnd)
      break;
    first = k;
  }
  if (first == index || frames_.empty() || frames_.back().first >= first) return false;
  const int next = nextFrame(first, setup);
  const Frame& to = frames_[std::size_t(next) - 1];
  const float shift = to.top - entries_[first].top;
  for (std::size_t k = first; k < index; ++k) {
    Entry& e = entries_[k];
    e.page = e.endPage = next;
    e.top += shift;
    e.endY += shift;
    e.left = to.left;
    use(next, e.endY);
  }
  moveNotes(first, index, next,
            entries_[index - 1].endY - std::max(0.0f, doc_->paragraphs[index - 1].spaceAfter));
  return true;
}

std::size_t Layout::firstParagraphOfPage(int page) {
  const std::size_t wanted = std::size_t(std::max(page, 1));
  const std::size_t count = doc_->paragraphs.size();
  if (entries_.size() > count) invalidateFrom(count);
  while (pageFrames_.size() < wanted && entries_.size() < count) place(entries_.size());
  if (pageFrames_.size() < wanted) placeEndnotes();
  if (pageFrames_.empty()) return 0;
  // A page that only began with the paragraph just placed may not be complete, but its first
  // paragraph is settled.
  return frames_[pageFrames_[std::min(wanted, pageFrames_.size()) - 1]].first;
}

int Layout::pageCount() {
  ensureAll();
  if (entries_.empty()) return 1;
  const int last = pageOfFrame(entries_.back().endPage);
  // Endnotes and footnotes carried on may go on to pages of their own.
  const int notes = notes_.empty() ? last : notes_.back().page;
  return std::max({last, notes, endnotes_.empty() ? last : pageOfFrame(endnotes_.back().frame)});
}

std::vector<RectF> Layout::columnRulesOnPage(int page) {
  firstParagraphOfPage(page + 1);
  std::vector<RectF> rules;
  if (page < 1 || std::size_t(page) > pageFrames_.size()) return rules;
  for (std::size_t k = pageFrames_[std::size_t(page) - 1];
       k < frames_.size() && frames_[k].page == page; ++k) {
    const Frame& frame = frames_[k];
    if (frame.column == 0) continue;
    const Frame& before = frames_[k - 1];
    const std::size_t end = frame.section;
    const PageSetup& setup = end < doc_->paragraphs.size() && doc_->paragraphs[end].sectionEnd
                                 ? doc_->paragraphs[end].sectionEnd->setup
                                 : doc_->pageSetup;
    if (!setup.columns.separator) continue;
    const float x = (before.left + before.width + frame.left) / 2;
    const float bottom = std::max(before.used, frame.used);
    if (bottom > frame.top) rules.push_back({x, frame.top, 0, bottom - frame.top});
  }
  return rules;
}

}  // namespace wordproc
