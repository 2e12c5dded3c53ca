// Endnotes after the document's last paragraph: a short rule, then each note's paragraphs in
// the order the notes are referred to. They flow on through the columns and pages after as body
// text does, divided at their lines. The frames and pages they take are laid out last and taken
// back whenever the text before them is laid out again.
#include <algorithm>
#include <cmath>
#include <set>

#include "wordproc/core/Layout.h"

namespace wordproc {

std::vector<int> Layout::endnotesInOrder() const {
  std::vector<int> ids;
  if (!doc_->endnotes) return ids;
  std::set<int> seen;
  for (const Paragraph& p : doc_->paragraphs) {
    for (const Run& run : p.runs) {
      if (!run.note || !run.note->endnote || !doc_->endnotes->count(run.note->id)) continue;
      if (seen.insert(run.note->id).second) ids.push_back(run.note->id);
    }
  }
  return ids;
}

void Layout::placeEndnotes() {
  const std::size_t count = doc_->paragraphs.size();
  if (endnotesSet_ || count == 0 || entries_.size() != count || frames_.empty()) return;
  endnotesSet_ = true;
  framesBeforeEndnotes_ = frames_.size();
  pagesBeforeEndnotes_ = pageFrames_.size();
  endnotesFrame_ = entries_.back().endPage;
  usedBeforeEndnotes_ = frames_[std::size_t(endnotesFrame_) - 1].used;
  const std::vector<int> ids = endnotesInOrder();
  if (ids.empty()) return;
  int frame = endnotesFrame_;
  double y = entries_.back().endY;
  // The rule goes where the first line of the first note goes with it.
  const Paragraph& first = doc_->endnotes->at(ids.front()).paragraphs.empty()
                               ? doc_->paragraphs.back()
                               : doc_->endnotes->at(ids.front()).paragraphs.front();
  const double firstLine = std::max(0.0f, first.spaceBefore) +
                           LineHeight(first, measurer_->singleLineHeight(LargestFormat(first)));
  if (y + kNoteSeparator + firstLine > frameBottom(frame) + kFitTolerance) {
    frame = nextFrame(count - 1, pageSetupOfParagraph(count - 1));
    y = frameTop(frame);
  }
  const Frame& ruled = frames_[std::size_t(frame) - 1];
  endnoteRuleFrame_ = frame;
  endnoteRule_ = {ruled.left, float(y + kNoteRuleSpace + kNoteRuleWeight / 2),
                  ruled.width * kNoteRuleShare, 0};
  y += kNoteSeparator;
  use(frame, y);
  for (int id : ids) {
    const std::size_t paragraphs = doc_->endnotes->at(id).paragraphs.size();
    for (std::size_t k = 0; k < paragraphs; ++k)
      std::tie(frame, y) = placeEndnoteParagraph(id, k, frame, y);
  }
}

std::pair<int, double> Layout::placeEndnoteParagraph(int id, std::size_t k, int frame, double y) {
  const Paragraph& p = doc_->endnotes->at(id).paragraphs[k];
  const std::size_t last = doc_->paragraphs.size() - 1;
  const PageSetup setup = pageSetupOfParagraph(last);
  auto box = [&](int f) { return frames_[std::size_t(f) - 1]; };
  float width = box(frame).width;
  const float height = ParagraphHeight(p, width, *measurer_);
  const double before = std::max(0.0f, p.spaceBefore), after = std::max(0.0f, p.spaceAfter);
  if (y + height - after <= frameBottom(frame) + kFitTolerance) {
    endnotes_.push_back({frame, {id, k, box(frame).left, float(y), width, 0, height}});
    use(frame, y + height);
    return {frame, y + height};
  }
  const int lines = std::max(1, measurer_->lineCount(p, width));
  const double lineHeight = LineHeight(p, measurer_->singleLineHeight(LargestFormat(p)));
  auto fitting = [&](double room) {
    return lineHeight > 0 ? int(std::floor((room + kFitTolerance) / lineHeight)) : lines;
  };
  int n = p.inlinePictures.empty() ? std::min(lines, fitting(frameBottom(frame) - y - before)) : 0;
  if (n <= 0) {  // not a line of it fits: the whole paragraph goes on to the next frame
    if (y > frameTop(frame) + kFitTolerance) {
      frame = nextFrame(last, setup);
      return placeEndnoteParagraph(id, k, frame, frameTop(frame));
    }
    // Taller than a whole frame: set as it is, cut off at the foot.
    endnotes_.push_back({frame, {id, k, box(frame).left, float(y), width, 0, height}});
    use(frame, y + height);
    return {frame, y + height};
  }
  for (int done = 0;;) {
    width = box(frame).width;
    const double offset = done == 0 ? 0 : before + done * lineHeight;
    const double shown = (done == 0 ? before : 0) + n * lineHeight;
    endnotes_.push_back(
        {frame, {id, k, box(frame).left, float(y), width, float(offset), float(shown)}});
    done += n;
    y += shown;
    use(frame, y + after);
    if (done >= lines) break;
    frame = nextFrame(last, setup);
    y = frameTop(frame);
    n = std::clamp(fitting(frameBottom(frame) - y), 1, lines - done);
  }
  return {frame, y + after};
}

void Layout::dropEndnotes() {
  if (!endnotesSet_) return;
  endnotesSet_ = false;
  endnotes_.clear();
  endnoteRuleFrame_ = 0;
  if (frames_.size() < framesBeforeEndnotes_) return;  // taken back with the text already
  frames_.resize(framesBeforeEndnotes_);
  if (endnotesFrame_ >= 1 && std::size_t(endnotesFrame_) <= frames_.size())
    frames_[std::size_t(endnotesFrame_) - 1].used = usedBeforeEndnotes_;
  const std::size_t pages = std::min(pagesBeforeEndnotes_, pageFrames_.size());
  pageFrames_.resize(pages);
  pageSetups_.resize(pages);
  pageNumbers_.resize(pages);
  pageTops_.resize(pages);
  pageBottoms_.resize(pages);
  pageNotes_.resize(pages);
}

PageEndnotes Layout::endnotesOnPage(int page) {
  PageEndnotes result;
  if (!doc_->endnotes) return result;
  ensureAll();
  for (const PlacedEndnote& placed : endnotes_) {
    if (pageOfFrame(placed.frame) == page) result.parts.push_back(placed.part);
  }
  if (endnoteRuleFrame_ > 0 && pageOfFrame(endnoteRuleFrame_) == page) result.rule = endnoteRule_;
  return result;
}

}  // namespace wordproc
