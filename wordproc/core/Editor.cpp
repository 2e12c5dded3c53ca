#include "wordproc/core/Editor.h"

#include "wordproc/core/Fields.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <unordered_set>

#include "platform/Utf8.h"
#include "wordproc/core/Numbering.h"
#include "wordproc/core/SymbolFonts.h"

namespace wordproc {

namespace {

std::size_t UnitsOfLead(unsigned char c) {
  return (c >= 0xF0 && c <= 0xF7) ? 2 : 1;
}

// Byte offset of a UTF-16 offset; an offset inside a surrogate pair rounds up.
std::size_t ByteOffset(const std::string& text, std::size_t units) {
  std::size_t counted = 0;
  for (std::size_t b = 0; b < text.size(); ++b) {
    unsigned char c = static_cast<unsigned char>(text[b]);
    if ((c & 0xC0) == 0x80) continue;
    if (counted >= units) return b;
    counted += UnitsOfLead(c);
  }
  return text.size();
}

std::string Utf16Slice(const std::string& text, std::size_t from, std::size_t to) {
  std::size_t b = ByteOffset(text, from);
  return text.substr(b, ByteOffset(text, to) - b);
}

void ShiftPictures(Paragraph& paragraph, std::size_t after, std::ptrdiff_t delta) {
  for (InlinePicture& picture : paragraph.inlinePictures)
    if (picture.afterRun > after)
      picture.afterRun = std::size_t(std::ptrdiff_t(picture.afterRun) + delta);
}

// Elements kept from the file name bookmarks, notes and relationships of its package only
// once: a copy, or text brought from another file, leaves them behind.
void DropKeptElements(Paragraph& paragraph) {
  paragraph.opens.clear();
  paragraph.closes.clear();
  for (std::size_t k = paragraph.runs.size(); k-- > 0;) {
    Run& run = paragraph.runs[k];
    if (!run.raw) continue;
    // A symbol stays as the character it stands for.
    if (run.symbol)
      platform::AppendUtf8(run.text, SymbolStandIn(run.symbol->font, run.symbol->code));
    run.raw.reset();
    run.note.reset();
    run.symbol.reset();
    run.nesting = RawNesting::None;
    if (!run.text.empty() || run.format.fieldCode) continue;
    paragraph.runs.erase(paragraph.runs.begin() + std::ptrdiff_t(k));
    ShiftPictures(paragraph, k, -1);
  }
}

// A new paragraph formatted as the model and standing in its table cell; the section end and
// the page break before stay with the model.
Paragraph EmptyLike(const Paragraph& model) {
  Paragraph p = model;
  p.id = 0;
  p.runs.clear();
  p.inlinePictures.clear();
  p.sectionEnd.reset();
  p.pageBreakBefore = false;
  p.opens.clear();
  p.closes.clear();
  return p;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t from = 0;
  for (std::size_t k = 0; k < text.size(); ++k) {
    if (text[k] != '\r' && text[k] != '\n') continue;
    lines.push_back(text.substr(from, k - from));
    if (text[k] == '\r' && k + 1 < text.size() && text[k + 1] == '\n') ++k;
    from = k + 1;
  }
  lines.push_back(text.substr(from));
  return lines;
}

}  // namespace

std::size_t Utf16Length(std::string_view text) {
  std::size_t units = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80) units += UnitsOfLead(c);
  return units;
}

std::size_t RunBoundary(Paragraph& paragraph, std::size_t offset) {
  std::size_t counted = 0;
  for (std::size_t k = 0; k < paragraph.runs.size(); ++k) {
    if (counted == offset) return k;
    Run& run = paragraph.runs[k];
    std::size_t length = Utf16Length(run.text);
    if (offset < counted + length) {
      std::size_t cut = ByteOffset(run.text, offset - counted);
      Run tail{run.text.substr(cut), run.format};
      run.text.resize(cut);
      paragraph.runs.insert(paragraph.runs.begin() + std::ptrdiff_t(k) + 1, std::move(tail));
      ShiftPictures(paragraph, k, 1);
      return k + 1;
    }
    counted += length;
  }
  return paragraph.runs.size();
}

Paragraph SplitOff(Paragraph& paragraph, std::size_t offset) {
  std::size_t cut = RunBoundary(paragraph, offset);
  Paragraph tail = EmptyLike(paragraph);
  tail.closes = std::move(paragraph.closes);
  paragraph.closes.clear();
  tail.runs.assign(std::make_move_iterator(paragraph.runs.begin() + std::ptrdiff_t(cut)),
                   std::make_move_iterator(paragraph.runs.end()));
  paragraph.runs.resize(cut);
  auto& pictures = paragraph.inlinePictures;
  auto moved = std::stable_partition(pictures.begin(), pictures.end(),
                                     [&](const InlinePicture& p) { return p.afterRun <= cut; });
  for (auto it = moved; it != pictures.end(); ++it) {
    tail.inlinePictures.push_back(*it);
    tail.inlinePictures.back().afterRun -= cut;
  }
  pictures.erase(moved, pictures.end());
  return tail;
}

void EraseText(Paragraph& paragraph, std::size_t from, std::size_t to) {
  if (to <= from) return;
  std::size_t a = RunBoundary(paragraph, from);
  std::size_t b = RunBoundary(paragraph, to);
  paragraph.runs.erase(paragraph.runs.begin() + std::ptrdiff_t(a),
                       paragraph.runs.begin() + std::ptrdiff_t(b));
  for (InlinePicture& picture : paragraph.inlinePictures) {
    if (picture.afterRun > b)
      picture.afterRun -= b - a;
    else if (picture.afterRun > a)
      picture.afterRun = a;
  }
}

void AppendParagraph(Paragraph& head, Paragraph tail) {
  const std::size_t offset = head.runs.size();
  for (InlinePicture& picture : tail.inlinePictures) {
    picture.afterRun += offset;
    head.inlinePictures.push_back(std::move(picture));
  }
  for (Run& run : tail.runs) head.runs.push_back(std::move(run));
  head.closes.insert(head.closes.end(), tail.closes.begin(), tail.closes.end());
}

Fragment Fragment::clone() const {
  Fragment copy;
  copy.paragraphs = paragraphs;
  copy.lastHasMark = lastHasMark;
  for (const auto& [index, shape] : shapes) copy.shapes.emplace_back(index, shape->clone());
  return copy;
}

Fragment FragmentOfDocument(Document& source) {
  Fragment fragment;
  std::unordered_map<std::uint64_t, std::size_t> indexOf;
  for (std::size_t k = 0; k < source.paragraphs.size(); ++k) indexOf[source.paragraphs[k].id] = k;
  for (AnchoredShape& anchored : source.shapes) {
    if (!anchored.shape) continue;
    auto it = indexOf.find(anchored.anchorParagraph);
    fragment.shapes.emplace_back(it == indexOf.end() ? 0 : it->second, std::move(anchored.shape));
  }
  fragment.paragraphs = std::move(source.paragraphs);
  for (Paragraph& p : fragment.paragraphs) DropKeptElements(p);
  source.shapes.clear();
  if (fragment.paragraphs.empty()) return fragment;
  const std::size_t last = fragment.paragraphs.size() - 1;
  const Paragraph& final = fragment.paragraphs.back();
  bool anchorsShapes = std::any_of(fragment.shapes.begin(), fragment.shapes.end(),
                                   [&](const auto& s) { return s.first == last; });
  if (final.length() == 0 && final.inlinePictures.empty() && !anchorsShapes)
    fragment.paragraphs.pop_back();
  return fragment;
}

std::shared_ptr<RangeState> Editor::track(std::int64_t start, std::int64_t end) {
  if (ranges_.size() >= 64 && ranges_.size() == ranges_.capacity()) {
    std::erase_if(ranges_, [](const auto& weak) { return weak.expired(); });
  }
  auto range = std::make_shared<RangeState>(RangeState{start, end});
  ranges_.push_back(range);
  return range;
}

std::int64_t Editor::clamp(std::int64_t position) {
  return std::clamp<std::int64_t>(position, 0, storyLength());
}

std::int64_t Editor::insertionPoint(std::int64_t position) {
  return std::min(clamp(position), storyLength() - 1);
}

std::int64_t Editor::paragraphEnd(std::size_t index) {
  return paragraphStart(index) + std::int64_t(doc_->paragraphs[index].length()) + 1;
}

int Editor::pageOf(std::int64_t position) {
  return layout_->pageOfParagraph(paragraphAt(position));
}

// Moves both ends of every live range by the edit's mapping; drops ranges nobody holds.
void Editor::moveRanges(const std::function<std::int64_t(std::int64_t)>& moved) {
  std::erase_if(ranges_, [&](const std::weak_ptr<RangeState>& weak) {
    auto range = weak.lock();
    if (!range) return true;
    range->start = moved(range->start);
    range->end = moved(range->end);
    return false;
  });
}

void Editor::adjustForInsert(std::int64_t position, std::int64_t count) {
  moveRanges([&](std::int64_t p) { return p > position ? p + count : p; });
}

void Editor::adjustForErase(std::int64_t start, std::int64_t removed) {
  const std::int64_t end = start + removed;
  auto moved = [&](std::int64_t p) { return p > end ? p - removed : (p > start ? start : p); };
  moveRanges(moved);
}

thread_local int Editor::depth_ = 0;

void Editor::touch() {
  ++changes_;
  if (depth_ > 0) ++automationChanges_;
}

void Editor::edited(std::size_t paragraphIndex) {
  layout_->invalidateFrom(paragraphIndex);
  touch();
}

std::string Editor::text(std::int64_t start, std::int64_t end) {
  start = clamp(start);
  end = clamp(end);
  std::string out;
  if (end <= start) return out;
  for (std::size_t k = paragraphAt(start); k < doc_->paragraphs.size(); ++k) {
    const std::int64_t first = paragraphStart(k);
    if (first >= end) break;
    const Paragraph& p = doc_->paragraphs[k];
    const std::int64_t length = std::int64_t(p.length());
    std::size_t from = std::size_t(std::max<std::int64_t>(start - first, 0));
    std::size_t to = std::size_t(std::min(end - first, length));
    std::string whole = p.text();
    if (to > from) out += Utf16Slice(whole, from, to);
    if (end > first + length) out += '\r';
  }
  return out;
}

std::int64_t Editor::insertText(std::int64_t position, std::string_view text) {
  position = insertionPoint(position);
  bool first = true;
  for (std::string_view line : SplitLines(text)) {
    if (!first) position = splitParagraph(position);
    first = false;
    if (line.empty()) continue;
    const std::size_t i = paragraphAt(position);
    Paragraph& p = doc_->paragraphs[i];
    const std::size_t at = RunBoundary(p, std::size_t(position - paragraphStart(i)));
    RunFormat format =
        at > 0 ? p.runs[at - 1].format : (at < p.runs.size() ? p.runs[at].format : p.markFormat);
    // Text typed at a field's edge goes beside it; only text typed inside its result joins it.
    if (at == 0 || at == p.runs.size() || p.runs[at].format.fieldCode != format.fieldCode) {
      format.fieldCode = nullptr;
      format.field = PageField::None;
    }
    p.runs.insert(p.runs.begin() + std::ptrdiff_t(at), Run{std::string(line), format});
    ShiftPictures(p, at, 1);
    const std::int64_t count = std::int64_t(Utf16Length(line));
    edited(i);
    adjustForInsert(position, count);
    position += count;
  }
  return position;
}

std::int64_t Editor::splitParagraph(std::int64_t position) {
  position = insertionPoint(position);
  const std::size_t i = paragraphAt(position);
  auto& paragraphs = doc_->paragraphs;
  const std::size_t offset = std::size_t(position - paragraphStart(i));
  if (offset == 0 && paragraphs[i].length() > 0) {
    // Enter at the start of a paragraph opens an empty one above; the text and its shapes move
    // down together.
    Paragraph above = EmptyLike(paragraphs[i]);
    above.id = doc_->newParagraphId();
    paragraphs.insert(paragraphs.begin() + std::ptrdiff_t(i), std::move(above));
  } else {
    Paragraph tail = SplitOff(paragraphs[i], offset);
    tail.id = doc_->newParagraphId();
    paragraphs.insert(paragraphs.begin() + std::ptrdiff_t(i) + 1, std::move(tail));
  }
  edited(i);
  adjustForInsert(position, 1);
  return position + 1;
}

void Editor::eraseShapesOfParagraphs(std::size_t first, std::size_t last, std::int64_t start,
                                     std::int64_t end) {
  if (doc_->shapes.empty()) return;
  std::unordered_set<std::uint64_t> gone;
  for (std::size_t k = first; k <= last; ++k)
    if (paragraphStart(k) >= start && paragraphEnd(k) <= end) gone.insert(doc_->paragraphs[k].id);
  if (gone.empty()) return;
  std::size_t before = doc_->shapes.size();
  std::erase_if(doc_->shapes,
                [&](const AnchoredShape& s) { return gone.count(s.anchorParagraph) != 0; });
  if (doc_->shapes.size() != before) indexValid_ = false;
}

void Editor::reanchor(std::uint64_t from, std::uint64_t to) {
  for (AnchoredShape& anchored : doc_->shapes)
    if (anchored.anchorParagraph == from) anchored.anchorParagraph = to;
}

void Editor::eraseAcross(std::size_t i, std::size_t j, std::size_t offS, std::size_t offE) {
  auto& paragraphs = doc_->paragraphs;
  if (offS > 0) {
    EraseText(paragraphs[i], offS, paragraphs[i].length());
    Paragraph tail = SplitOff(paragraphs[j], offE);
    reanchor(paragraphs[j].id, paragraphs[i].id);
    AppendParagraph(paragraphs[i], std::move(tail));
    paragraphs.erase(paragraphs.begin() + std::ptrdiff_t(i) + 1,
                     paragraphs.begin() + std::ptrdiff_t(j) + 1);
  } else {
    EraseText(paragraphs[j], 0, offE);
    paragraphs.erase(paragraphs.begin() + std::ptrdiff_t(i),
                     paragraphs.begin() + std::ptrdiff_t(j));
  }
}

std::int64_t Editor::erase(std::int64_t start, std::int64_t end) {
  start = clamp(start);
  end = clamp(end);
  if (end <= start) return 0;
  const std::int64_t before = storyLength();
  const std::size_t i = paragraphAt(start);
  const std::size_t j = paragraphAt(end);
  const std::size_t offS = std::size_t(start - paragraphStart(i));
  const std::size_t offE = std::size_t(
      std::min<std::int64_t>(end - paragraphStart(j), std::int64_t(doc_->paragraphs[j].length())));
  eraseShapesOfParagraphs(i, j, start, end);
  if (i == j)
    EraseText(doc_->paragraphs[i], offS, offE);
  else
    eraseAcross(i, j, offS, offE);
  edited(i);
  const std::int64_t removed = before - storyLength();
  adjustForErase(start, removed);
  return removed;
}

std::pair<std::int64_t, std::int64_t> Editor::insertFragment(std::int64_t position,
                                                             Fragment fragment) {
  position = insertionPoint(position);
  std::size_t at = paragraphAt(position);
  if (position > paragraphStart(at)) {
    position = splitParagraph(position);
    ++at;
  }
  auto& paragraphs = doc_->paragraphs;
  std::vector<std::uint64_t> ids;
  std::int64_t count = 0;
  GiveFieldsOwnCodes(fragment.paragraphs);
  for (Paragraph& p : fragment.paragraphs) {
    p.id = doc_->newParagraphId();
    renumberPictures(p);
    ids.push_back(p.id);
    count += std::int64_t(p.length()) + 1;
  }
  paragraphs.insert(paragraphs.begin() + std::ptrdiff_t(at),
                    std::make_move_iterator(fragment.paragraphs.begin()),
                    std::make_move_iterator(fragment.paragraphs.end()));
  const std::uint64_t following = paragraphs[at + ids.size()].id;
  for (auto& [index, shape] : fragment.shapes) {
    renumber(*shape);
    addShape(std::move(shape), index < ids.size() ? ids[index] : following);
  }
  edited(at);
  adjustForInsert(position, count);
  return {position, position + count};
}

std::pair<std::int64_t, std::int64_t> Editor::insertInline(std::int64_t position,
                                                           const Fragment& fragment) {
  position = insertionPoint(position);
  const std::size_t i = paragraphAt(position);
  Paragraph& target = doc_->paragraphs[i];
  std::int64_t count = 0;
  if (!fragment.paragraphs.empty()) {
    std::vector<Paragraph> pieces{fragment.paragraphs.front()};
    GiveFieldsOwnCodes(pieces);
    Paragraph piece = std::move(pieces.front());
    renumberPictures(piece);
    count = std::int64_t(piece.length());
    Paragraph tail = SplitOff(target, std::size_t(position - paragraphStart(i)));
    AppendParagraph(target, std::move(piece));
    AppendParagraph(target, std::move(tail));
  }
  for (const auto& [index, shape] : fragment.shapes) {
    auto copy = shape->clone();
    renumber(*copy);
    addShape(std::move(copy), target.id);
  }
  edited(i);
  adjustForInsert(position, count);
  return {position, position + count};
}

Fragment Editor::copy(std::int64_t start, std::int64_t end) {
  Fragment fragment;
  start = clamp(start);
  end = clamp(end);
  const std::size_t first = paragraphAt(start);
  for (std::uint32_t id : shapesIn(start, end)) {
    AnchoredShape* anchored = anchoredShape(id);
    std::size_t index = layout_->paragraphIndexOf(anchored->anchorParagraph);
    fragment.shapes.emplace_back(end > start ? index - first : npos, anchored->shape->clone());
  }
  if (end <= start) return fragment;
  std::size_t last = paragraphAt(end);
  std::int64_t offE = end - paragraphStart(last);
  if (offE == 0) {
    --last;
    offE = std::int64_t(doc_->paragraphs[last].length()) + 1;
  }
  for (std::size_t k = first; k <= last; ++k) {
    Paragraph p = doc_->paragraphs[k];
    const std::size_t length = p.length();
    if (k == last) EraseText(p, std::size_t(std::min<std::int64_t>(offE, length)), length);
    if (k == first) EraseText(p, 0, std::size_t(start - paragraphStart(k)));
    DropKeptElements(p);
    fragment.paragraphs.push_back(std::move(p));
  }
  fragment.lastHasMark = offE > std::int64_t(doc_->paragraphs[last].length());
  return fragment;
}

void Editor::changeParagraph(std::size_t paragraphIndex, std::size_t offset, std::size_t count,
                             const std::function<void(Paragraph&)>& change) {
  Paragraph& p = doc_->paragraphs[paragraphIndex];
  const std::int64_t start = paragraphStart(paragraphIndex) + std::int64_t(offset);
  const std::int64_t before = std::int64_t(p.length());
  change(p);
  const std::int64_t delta = std::int64_t(p.length()) - before;
  edited(paragraphIndex);
  const std::int64_t oldEnd = start + std::int64_t(count);
  if (delta != 0) adjustForReplace(start, oldEnd, oldEnd + delta);
}

void Editor::adjustForReplace(std::int64_t start, std::int64_t oldEnd, std::int64_t newEnd) {
  auto moved = [&](std::int64_t p) {
    if (p >= oldEnd) return p + newEnd - oldEnd;
    return p > start ? std::min(p, newEnd - 1) : p;
  };
  moveRanges(moved);
}

void Editor::replaceParagraphs(std::size_t first, std::size_t count,
                               std::vector<Paragraph> paragraphs) {
  auto& all = doc_->paragraphs;
  count = std::min(count, all.size() - first);
  if (paragraphs.empty()) return;
  const std::int64_t start = paragraphStart(first);
  const std::int64_t oldEnd = count > 0 ? paragraphEnd(first + count - 1) : start;
  std::int64_t added = 0;
  std::unordered_set<std::uint64_t> kept;
  for (const Paragraph& p : paragraphs) {
    kept.insert(p.id);
    added += std::int64_t(p.length()) + 1;
  }
  for (std::size_t k = 0; k < count; ++k) {
    if (!kept.count(all[first + k].id))
      reanchor(all[first + k].id, paragraphs[std::min(k, paragraphs.size() - 1)].id);
  }
  all.erase(all.begin() + std::ptrdiff_t(first), all.begin() + std::ptrdiff_t(first + count));
  all.insert(all.begin() + std::ptrdiff_t(first), std::make_move_iterator(paragraphs.begin()),
             std::make_move_iterator(paragraphs.end()));
  // Items added to or taken from a list change the numbers of those after them.
  if (doc_->numbering && !doc_->numbering->lists.empty()) NumberParagraphs(all, *doc_->numbering);
  edited(first);
  adjustForReplace(start, oldEnd, start + added);
}

void Editor::indexShape(Shape& shape, Shape* parent, Shape* body, std::size_t z) {
  index_[shape.id] = Loc{&shape, parent, body, z};
  for (auto& child : shape.children)
    if (child) indexShape(*child, &shape, body, z);
}

void Editor::ensureIndex() {
  if (indexValid_) return;
  index_.clear();
  for (std::size_t z = 0; z < doc_->shapes.size(); ++z) {
    Shape* body = doc_->shapes[z].shape.get();
    if (body) indexShape(*body, nullptr, body, z);
  }
  indexValid_ = true;
}

Editor::Loc* Editor::locate(std::uint32_t id) {
  ensureIndex();
  auto it = index_.find(id);
  if (it == index_.end()) return nullptr;
  Loc& loc = it->second;
  const auto& shapes = doc_->shapes;
  if (loc.z < shapes.size() && shapes[loc.z].shape.get() == loc.body) return &loc;
  // The z-index is a hint: removing shapes below moves a shape down, inserting moves it up.
  for (std::size_t z = std::min(loc.z, shapes.size()); z-- > 0;) {
    if (shapes[z].shape.get() == loc.body) {
      loc.z = z;
      return &loc;
    }
  }
  for (std::size_t z = loc.z; z < shapes.size(); ++z) {
    if (shapes[z].shape.get() == loc.body) {
      loc.z = z;
      return &loc;
    }
  }
  return nullptr;
}

Shape* Editor::findShape(std::uint32_t id) {
  Loc* loc = locate(id);
  return loc ? loc->shape : nullptr;
}

Shape* Editor::parentOf(std::uint32_t id) {
  Loc* loc = locate(id);
  return loc ? loc->parent : nullptr;
}

AnchoredShape* Editor::anchoredShape(std::uint32_t id) {
  Loc* loc = locate(id);
  if (!loc || loc->parent) return nullptr;
  return &doc_->shapes[loc->z];
}

std::size_t Editor::zIndex(std::uint32_t id) {
  Loc* loc = locate(id);
  return loc ? loc->z : npos;
}

void Editor::addShape(std::unique_ptr<Shape> shape, std::uint64_t anchorParagraph,
                      std::size_t zIndex) {
  auto& shapes = doc_->shapes;
  Shape* raw = shape.get();
  if (zIndex >= shapes.size()) {
    shapes.push_back(AnchoredShape{std::move(shape), anchorParagraph});
    if (indexValid_) indexShape(*raw, nullptr, raw, shapes.size() - 1);
  } else {
    shapes.insert(shapes.begin() + std::ptrdiff_t(zIndex),
                  AnchoredShape{std::move(shape), anchorParagraph});
    if (indexValid_) indexShape(*raw, nullptr, raw, zIndex);
  }
  touch();
}

std::unique_ptr<Shape> Editor::removeShape(std::uint32_t id) {
  Loc* loc = locate(id);
  if (!loc) return nullptr;
  std::unique_ptr<Shape> removed;
  if (Shape* parent = loc->parent) {
    auto& children = parent->children;
    Shape* target = loc->shape;
    auto child = std::find_if(children.begin(), children.end(),
                              [&](const auto& c) { return c.get() == target; });
    if (child == children.end()) return nullptr;
    removed = std::move(*child);
    children.erase(child);
  } else {
    const std::size_t z = loc->z;
    removed = std::move(doc_->shapes[z].shape);
    doc_->shapes.erase(doc_->shapes.begin() + std::ptrdiff_t(z));
  }
  std::vector<Shape*> pending{removed.get()};
  while (!pending.empty()) {
    Shape* s = pending.back();
    pending.pop_back();
    index_.erase(s->id);
    for (auto& child : s->children) pending.push_back(child.get());
  }
  touch();
  return removed;
}

void Editor::replaceShape(std::uint32_t id, const Shape& state) {
  Shape* live = findShape(id);
  if (!live) return;
  *live = std::move(*state.clone());
  live->id = id;
  indexValid_ = false;  // the members are new objects
  touch();
}

void Editor::moveShape(std::uint32_t id, std::size_t place) {
  auto& shapes = doc_->shapes;
  const std::size_t from = zIndex(id);
  if (from == npos || parentOf(id)) return;
  const std::size_t to = std::min(place, shapes.size() - 1);
  if (to == from) return;
  AnchoredShape moved = std::move(shapes[from]);
  shapes.erase(shapes.begin() + std::ptrdiff_t(from));
  shapes.insert(shapes.begin() + std::ptrdiff_t(to), std::move(moved));
  indexValid_ = false;
  touch();
}

std::vector<std::size_t> Editor::sectionsOf(std::size_t first, std::size_t last) {
  const auto& paragraphs = doc_->paragraphs;
  std::vector<std::size_t> ends;
  for (std::size_t k = first; k < paragraphs.size(); ++k) {
    if (!paragraphs[k].sectionEnd) continue;
    ends.push_back(k);
    if (k >= last) return ends;
  }
  ends.push_back(paragraphs.size());
  return ends;
}

std::size_t Editor::sectionStart(std::size_t sectionEnd) {
  const auto& paragraphs = doc_->paragraphs;
  std::size_t first = std::min(sectionEnd, paragraphs.size());
  while (first > 0 && !paragraphs[first - 1].sectionEnd) --first;
  return first;
}

const PageSetup& Editor::sectionPageSetup(std::size_t sectionEnd) const {
  const auto& paragraphs = doc_->paragraphs;
  if (sectionEnd < paragraphs.size() && paragraphs[sectionEnd].sectionEnd)
    return paragraphs[sectionEnd].sectionEnd->setup;
  return doc_->pageSetup;
}

std::uint64_t Editor::sectionId(std::size_t sectionEnd) const {
  return sectionEnd < doc_->paragraphs.size() ? doc_->paragraphs[sectionEnd].id : 0;
}

std::size_t Editor::sectionById(std::uint64_t id) {
  if (id == 0) return doc_->paragraphs.size();
  const std::size_t k = layout_->paragraphIndexOf(id);
  return k != Layout::npos && doc_->paragraphs[k].sectionEnd ? k : npos;
}

void Editor::setSectionPageSetup(std::size_t sectionEnd, const PageSetup& setup) {
  auto& paragraphs = doc_->paragraphs;
  const bool last = sectionEnd >= paragraphs.size() || !paragraphs[sectionEnd].sectionEnd;
  (last ? doc_->pageSetup : paragraphs[sectionEnd].sectionEnd->setup) = setup;
  // Pages before the section keep their layout; a continuous section after it may now share
  // its last page or not, and that is laid out again with everything after.
  layout_->invalidateFrom(sectionStart(last ? paragraphs.size() : sectionEnd));
  touch();
}

void Editor::setPageSetup(const PageSetup& setup) {
  setSectionPageSetup(doc_->paragraphs.size(), setup);
}

std::vector<std::uint32_t> Editor::shapesIn(std::int64_t start, std::int64_t end) {
  std::vector<std::uint32_t> out;
  const auto& shapes = doc_->shapes;
  if (shapes.empty()) return out;
  start = clamp(start);
  end = clamp(end);
  std::size_t first = paragraphAt(start);
  std::size_t last = first;
  if (end > start) {
    if (paragraphStart(first) < start) ++first;
    last = paragraphAt(end - 1);
  }
  if (first > last) return out;
  const bool everything = first == 0 && last + 1 == doc_->paragraphs.size();
  std::unordered_set<std::uint64_t> ids;
  if (!everything && last - first < 64)
    for (std::size_t k = first; k <= last; ++k) ids.insert(doc_->paragraphs[k].id);
  for (const AnchoredShape& anchored : shapes) {
    if (!anchored.shape) continue;
    bool inside = everything;
    if (!inside && !ids.empty())
      inside = ids.count(anchored.anchorParagraph) != 0;
    else if (!inside) {
      std::size_t k = layout_->paragraphIndexOf(anchored.anchorParagraph);
      inside = k != Layout::npos && k >= first && k <= last;
    }
    if (inside) out.push_back(anchored.shape->id);
  }
  return out;
}

void Editor::renumber(Shape& shape) {
  shape.id = doc_->newShapeId();
  for (auto& child : shape.children)
    if (child) renumber(*child);
}

void Editor::renumberPictures(Paragraph& paragraph) {
  for (InlinePicture& picture : paragraph.inlinePictures) picture.id = doc_->newShapeId();
}

}  // namespace wordproc
