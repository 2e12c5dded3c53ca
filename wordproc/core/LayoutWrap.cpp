// Body text making way for floating shapes it wraps around. A shape leaving less than a narrow
// column of room on either side of it, or one that text passes above and below only, takes the
// full width of the column from the text, which goes on below it. Beside a shape with room,
// paragraphs reaching into its height are set in the room on one side, the wider one unless
// the shape names its side: the whole paragraph, not only its lines beside the shape.
#include <algorithm>
#include <cmath>

#include "wordproc/core/Layout.h"

namespace wordproc {

namespace {

float HorizontalOrigin(RelH ref, const PageSetup& setup) {
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
      break;
  }
  return 0;
}

float VerticalOrigin(RelV ref, const PageSetup& setup, float paragraphTop) {
  switch (ref) {
    case RelV::Margin:
      return std::fabs(setup.topMargin);
    case RelV::Paragraph:
    case RelV::Line:
      return paragraphTop;
    case RelV::BottomMargin:
    case RelV::OutsideMargin:
      return setup.pageHeight - std::fabs(setup.bottomMargin);
    case RelV::Page:
    case RelV::TopMargin:
    case RelV::InsideMargin:
      break;
  }
  return 0;
}

}  // namespace

void Layout::applyBands(Frame& frame) {
  frame.bottom = frame.fullBottom;
  frame.clear = 0;
  for (const Frame::Band& band : frame.bands) {
    if (band.ends)
      frame.bottom = std::min(frame.bottom, band.top);
    else
      frame.clear = std::max(frame.clear, band.bottom);
  }
}

float Layout::frameClear(int frame) const {
  if (frame < 1 || std::size_t(frame) > frames_.size()) return 0;
  return frames_[std::size_t(frame) - 1].clear;
}

// The shape's top left corner on its page: from where its paragraph stands, or stood before
// it went below its own shapes.
std::pair<float, float> Layout::shapeCorner(const Shape& shape, std::size_t anchor,
                                            const Frame& frame) const {
  const PageSetup& setup = pageSetups_[std::size_t(frame.page) - 1];
  const auto moved = anchorPlaces_.find(anchor);
  const float top = moved != anchorPlaces_.end() ? moved->second.second : entries_[anchor].top;
  return {HorizontalOrigin(shape.relH, setup) + shape.left,
          VerticalOrigin(shape.relV, setup, top) + shape.top};
}

// The shape's box on its page with the room it keeps, when it takes the column's full width.
bool Layout::bandOf(const Shape& shape, std::size_t anchor, const Frame& frame, Frame::Band& band) {
  if (shape.wrap.type == WrapType::None || !shape.visible) return false;
  const auto [x, y] = shapeCorner(shape, anchor, frame);
  const float from = x - shape.wrap.left, to = x + shape.width + shape.wrap.right;
  const float columnEnd = frame.left + frame.width;
  if (to <= frame.left || from >= columnEnd) return false;
  const float room = std::max(from - frame.left, columnEnd - to);
  if (shape.wrap.type != WrapType::TopAndBottom && room >= kMinTextColumn) return false;
  band.by = anchor;
  band.top = y - shape.wrap.top;
  band.bottom = y + shape.height + shape.wrap.bottom;
  return band.bottom > band.top;
}

// The room on the side of the shape text stands on, when it is wide enough for text.
bool Layout::besideOf(const Shape& shape, std::size_t anchor, const Frame& frame,
                      Frame::Beside& box) {
  if (shape.wrap.type == WrapType::None || shape.wrap.type == WrapType::TopAndBottom ||
      !shape.visible)
    return false;
  const auto [x, y] = shapeCorner(shape, anchor, frame);
  const float from = x - shape.wrap.left, to = x + shape.width + shape.wrap.right;
  const float columnEnd = frame.left + frame.width;
  if (to <= frame.left || from >= columnEnd) return false;
  const float leftRoom = from - frame.left, rightRoom = columnEnd - to;
  bool onLeft = leftRoom > rightRoom;
  if (shape.wrap.side == WrapSide::Left) onLeft = true;
  if (shape.wrap.side == WrapSide::Right) onLeft = false;
  box.by = anchor;
  box.top = y - shape.wrap.top;
  box.bottom = y + shape.height + shape.wrap.bottom;
  box.left = onLeft ? frame.left : to;
  box.width = onLeft ? leftRoom : rightRoom;
  return box.width >= kMinTextColumn && box.bottom > box.top;
}

std::optional<ColumnBox> Layout::besideShapes(std::size_t index, const ColumnBox& column) {
  if (frames_.empty() || frames_.back().beside.empty()) return std::nullopt;
  const Frame& frame = frames_.back();
  if (frame.left != column.left || frame.width != column.width) return std::nullopt;
  const Paragraph& paragraph = doc_->paragraphs[index];
  const float top = frame.used;
  const float bottom = top + ParagraphHeight(paragraph, column.width, *measurer_);
  float left = column.left, right = column.left + column.width, boxesBottom = top;
  for (const Frame::Beside& box : frame.beside) {
    if (box.top >= bottom - kFitTolerance || box.bottom <= top + kFitTolerance) continue;
    left = std::max(left, box.left);
    right = std::min(right, box.left + box.width);
    boxesBottom = std::max(boxesBottom, box.bottom);
  }
  if (left == column.left && right == column.left + column.width) return std::nullopt;
  if (right - left < kMinTextColumn) return std::nullopt;
  // Narrowed, the paragraph's lines below the shapes are narrow too: a paragraph going on far
  // below them keeps the column, as it did, rather than gain more lines than it would lose.
  const float narrowed = ParagraphHeight(paragraph, right - left, *measurer_);
  if (boxesBottom - top < narrowed / 2) return std::nullopt;
  return ColumnBox{left, right - left};
}

// In its place: narrower, it may grow taller, and is left as it was when it would then no
// longer fit in its frame.
void Layout::placeBesideOwnShapes(std::size_t index) {
  Frame& frame = frames_.back();
  Entry& entry = entries_[index];
  const Paragraph& paragraph = doc_->paragraphs[index];
  const float used = frame.used;
  frame.used = entry.top - std::max(0.0f, paragraph.spaceBefore);
  const auto box = besideShapes(index, {frame.left, frame.width});
  frame.used = used;
  if (!box) return;
  const float height = entry.height + ParagraphHeight(paragraph, box->width, *measurer_) -
                       ParagraphHeight(paragraph, entry.width, *measurer_);
  if (entry.top + height > frame.bottom + kFitTolerance) return;
  entry.left = box->left;
  entry.width = box->width;
  entry.height = height;
  const bool last = entry.endY >= frame.used - kFitTolerance;
  entry.endY = entry.top + height;
  if (last) frame.used = entry.endY;
  besideAnchors_.insert(index);
}

void Layout::wrapAround(std::size_t index) {
  if (wrappingOf_ != doc_->shapes.size() || index == 0) {
    wrapping_.clear();
    for (std::size_t k = 0; k < doc_->shapes.size(); ++k) {
      const AnchoredShape& anchored = doc_->shapes[k];
      if (anchored.shape && anchored.shape->wrap.type != WrapType::None)
        wrapping_.emplace(anchored.anchorParagraph, k);
    }
    wrappingOf_ = doc_->shapes.size();
    wrappingHash_ = wrappingHash();
  }
  if (wrapping_.empty() || index >= entries_.size() || frames_.empty()) return;
  const Paragraph& paragraph = doc_->paragraphs[index];
  if (!paragraph.cells.empty()) return;  // shapes in tables keep to their cells
  const Entry& entry = entries_[index];
  // A shape stands on the page its paragraph begins on; only the frame text is set in now
  // can still make way for it.
  if (std::size_t(entry.endPage) != frames_.size() ||
      pageOfFrame(entry.page) != pageOfFrame(entry.endPage))
    return;
  Frame& frame = frames_.back();
  const auto [first, last] = wrapping_.equal_range(paragraph.id);
  // A shape reaching into the paragraph's first line sends the paragraph itself below it; the
  // shape stays where the paragraph would have stood.
  const float firstLine =
      entry.top + std::max(0.0f, paragraph.spaceBefore) +
      float(LineHeight(paragraph, measurer_->singleLineHeight(LargestFormat(paragraph))));
  auto forEachShape = [&](const auto& f) {
    for (auto it = first; it != last; ++it) {
      if (it->second >= doc_->shapes.size()) continue;
      const AnchoredShape& anchored = doc_->shapes[it->second];
      if (anchored.shape && anchored.anchorParagraph == paragraph.id) f(*anchored.shape);
    }
  };
  bool movesDown = false;
  forEachShape([&](const Shape& shape) {
    Frame::Band band;
    if (!bandOf(shape, index, frame, band)) return;
    if (band.bottom <= frame.top || band.top >= frame.bottom) return;
    band.ends = band.top >= entry.endY - kFitTolerance;
    if (!band.ends && band.top < firstLine - kFitTolerance && band.bottom > entry.top &&
        index > 0 && frame.first != index && !anchorPlaces_.count(index)) {
      band.ends = true;
      movesDown = true;
    }
    frame.bands.push_back(band);
  });
  applyBands(frame);
  if (movesDown) return placeBelowOwnShapes(index);
  bool besideOwnLines = false;
  forEachShape([&](const Shape& shape) {
    Frame::Beside box;
    if (!besideOf(shape, index, frame, box)) return;
    if (box.bottom <= frame.top || box.top >= frame.bottom) return;
    frame.beside.push_back(box);
    besideOwnLines = besideOwnLines || (box.top < entry.endY - kFitTolerance &&
                                        box.bottom > entry.top + kFitTolerance);
  });
  // The paragraph holding the shapes stands beside them too, when it is set in one piece.
  const bool notes = std::any_of(paragraph.runs.begin(), paragraph.runs.end(),
                                 [](const Run& run) { return run.note != nullptr; });
  if (besideOwnLines && !besideAnchors_.count(index) && entry.page == int(frames_.size()) &&
      !pieces_.count(index) && !breakParts_.count(index) && !notes)
    placeBesideOwnShapes(index);
}

void Layout::placeBelowOwnShapes(std::size_t index) {
  anchorPlaces_[index] = {entries_[index].page, entries_[index].top};
  entries_.pop_back();
  dropNotes(index);
  pieces_.erase(index);
  breakParts_.erase(index);
  placeBlock(index);
}

int Layout::resumeBelowBand(std::size_t index) {
  const Frame& last = frames_.back();
  if (last.bottom >= last.fullBottom) return 0;
  // Below the band that ended the frame, and any other it reaches into.
  float top = std::max(last.bottom, last.clear);
  for (bool moved = true; moved;) {
    moved = false;
    for (const Frame::Band& band : last.bands) {
      if (band.ends && band.top <= top + kFitTolerance && band.bottom > top) {
        top = band.bottom;
        moved = true;
      }
    }
  }
  if (top >= last.fullBottom - kFitTolerance) return 0;
  Frame frame = last;
  frame.first = index;
  frame.top = top;
  frame.bottom = frame.fullBottom;
  frame.used = top;
  frame.bands.clear();
  frame.clear = 0;
  frames_.push_back(frame);
  return int(frames_.size());
}

std::size_t Layout::wrappingHash() const {
  std::size_t hash = 0;
  auto mix = [&](std::size_t value) { hash = hash * 1000003u ^ value; };
  for (const auto& [anchor, k] : wrapping_) {
    if (k >= doc_->shapes.size() || !doc_->shapes[k].shape) continue;
    const Shape& s = *doc_->shapes[k].shape;
    mix(std::hash<std::uint64_t>()(doc_->shapes[k].anchorParagraph));
    for (float v :
         {s.left, s.top, s.width, s.height, s.wrap.top, s.wrap.bottom, s.wrap.left, s.wrap.right})
      mix(std::hash<float>()(v));
    mix(std::size_t(s.wrap.type) << 8 | std::size_t(s.relH) << 4 | std::size_t(s.relV));
    mix(s.visible);
  }
  return hash;
}

void Layout::checkWrappingMoved() {
  if (wrappingOf_ != doc_->shapes.size()) return;  // taken again as the text is laid out
  const std::size_t hash = wrappingHash();
  if (hash == wrappingHash_) return;
  wrappingHash_ = hash;
  // Only anchors laid out already have made text move.
  std::size_t first = entries_.size();
  for (const auto& entry : wrapping_) {
    const auto found = ids_.find(entry.first);
    if (found != ids_.end() && found->second < entries_.size() &&
        doc_->paragraphs[found->second].id == entry.first)
      first = std::min(first, found->second);
  }
  invalidateFrom(first);
}

}  // namespace wordproc
