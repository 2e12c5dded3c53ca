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
  if (paragraphIndex >= entries_.size()) return;
  entries_.resize(paragraphIndex);
  while (!pageFirst_.empty() && pageFirst_.back() >= paragraphIndex) {
    pageFirst_.pop_back();
    pageSetups_.pop_back();
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

void Layout::startPage(std::size_t index, const PageSetup& setup) {
  pageFirst_.push_back(index);
  pageSetups_.push_back(setup);
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

void Layout::place(std::size_t index) {
  const PageSetup& setup = pageSetupOfParagraph(index);
  const Paragraph& paragraph = doc_->paragraphs[index];
  const double topMargin = std::fabs(setup.topMargin);
  const double bottom = setup.pageHeight - std::fabs(setup.bottomMargin);
  const float width = TextColumnWidth(setup);
  const std::vector<Paragraph> parts = PageBreakParts(paragraph);
  const Paragraph& first = parts.empty() ? paragraph : parts.front();
  Entry entry;
  entry.height = ParagraphHeight(first, width, *measurer_);
  if (index == 0) {
    entry.top = float(topMargin);
    entry.height -= TopOfPageSaving(first, *measurer_);
    pageFirst_.clear();
    pageSetups_.clear();
    startPage(0, setup);
  } else {
    const Entry& previous = entries_[index - 1];
    const Paragraph& above = doc_->paragraphs[index - 1];
    entry.start = previous.start + Extent(above);
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
    const double overlap =
        std::min(std::max(0.0f, above.spaceAfter), std::max(0.0f, paragraph.spaceBefore));
    double y = double(previous.endY) - overlap;
    const double needed = entry.height - std::max(0.0f, first.spaceAfter);
    if (!newPage && y + needed <= bottom + kFitTolerance) {
      entry.page = previous.endPage;
      entry.top = float(y);
    } else {
      entry.page = previous.endPage + 1;
      // A section that must begin on an odd (even) page leaves the page between blank.
      if (WrongParity(start, entry.page)) {
        startPage(index, setup);
        ++entry.page;
      }
      entry.top = float(topMargin);
      entry.height -= TopOfPageSaving(first, *measurer_);
      startPage(index, setup);
    }
  }
  entry.endPage = entry.page;
  entry.endY = entry.top + entry.height;
  // Each page break carries the rest of the paragraph to the top of a new page.
  for (std::size_t k = 1; k < parts.size(); ++k) {
    ++entry.endPage;
    entry.endY = float(topMargin + ParagraphHeight(parts[k], width, *measurer_) -
                       TopOfPageSaving(parts[k], *measurer_));
    startPage(index, setup);
  }
  entries_.push_back(entry);
  ids_[paragraph.id] = index;
}

void Layout::ensure(std::size_t paragraphIndex) {
  const std::size_t count = doc_->paragraphs.size();
  if (entries_.size() > count) invalidateFrom(count);
  const std::size_t target = std::min(paragraphIndex + 1, count);
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

float Layout::horizontalOrigin(RelH ref, const AnchoredShape&) {
  const PageSetup& setup = doc_->pageSetup;
  switch (ref) {
    case RelH::Margin:
    case RelH::Column:
    case RelH::Character:
      return setup.leftMargin;
    case RelH::RightMargin:
    case RelH::OutsideMargin:
      return setup.pageWidth - setup.rightMargin;
    case RelH::Page:
    case RelH::LeftMargin:
    case RelH::InsideMargin:
      return 0;
  }
  return 0;
}

float Layout::verticalOrigin(RelV ref, const AnchoredShape& shape) {
  const PageSetup& setup = doc_->pageSetup;
  switch (ref) {
    case RelV::Margin:
      return std::fabs(setup.topMargin);
    case RelV::Paragraph:
    case RelV::Line:
      return paragraphTop(anchorIndex(shape));
    case RelV::BottomMargin:
    case RelV::OutsideMargin:
      return setup.pageHeight - std::fabs(setup.bottomMargin);
    case RelV::Page:
    case RelV::TopMargin:
    case RelV::InsideMargin:
      return 0;
  }
  return 0;
}

}  // namespace wordproc
