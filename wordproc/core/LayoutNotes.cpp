// Footnotes at the foot of the page whose line refers to them: the body's text leaves them the
// room they take there, a short rule above them included, and a line whose notes do not fit on
// its page goes on to the next one with them. A note too long for the room left below its line
// is divided at its lines instead: the line stays with as much of the note as fits (its first
// line at least) and the rest is set at the top of the next page's notes, under a rule across
// the text's width, going on over further pages where it must.
#include <algorithm>
#include <cmath>
#include <set>

#include "wordproc/core/Layout.h"
#include "wordproc/core/Numbering.h"

namespace wordproc {

namespace {

// More room than any page has: what notes need on a page that carries one on already.
constexpr double kNoRoom = 1e9;

}  // namespace

std::vector<Layout::NoteRef> Layout::notesOf(std::size_t index, const Paragraph& paragraph,
                                             float width) {
  std::vector<NoteRef> refs;
  if (!doc_->footnotes || !HasNoteMarks(paragraph)) return refs;
  const std::vector<int> lines = measurer_->noteLines(paragraph, width);
  const float noteWidth = TextColumnWidth(pageSetupOfParagraph(index));
  std::size_t k = 0;
  for (const Run& run : paragraph.runs) {
    if (!run.note) continue;
    const int line = k < lines.size() ? lines[k] : 0;
    ++k;
    if (run.note->endnote) continue;  // set after the last paragraph, not at the page's foot
    if (!doc_->footnotes->count(run.note->id)) continue;
    const std::vector<float>& cuts = noteCuts(run.note->id, noteWidth);
    refs.push_back({index, line, run.note->id, noteWidth, cuts.back(), cuts.front()});
  }
  return refs;
}

// A paragraph of lines of one height (as ParagraphHeight measures it) may be divided after any
// of its lines; one with pictures, or lines the measurer sets otherwise, only after its end.
const std::vector<float>& Layout::noteCuts(int id, float width) {
  static const std::vector<float> kNone{0.0f};
  const auto note =
      doc_->footnotes ? doc_->footnotes->find(id) : decltype(doc_->footnotes->end()){};
  if (!doc_->footnotes || note == doc_->footnotes->end()) return kNone;
  const auto key = std::make_pair(&note->second, width);
  if (const auto found = noteCuts_.find(key); found != noteCuts_.end()) return found->second;
  std::vector<float> cuts;
  double y = 0;
  for (const Paragraph& p : note->second.paragraphs) {
    const double height = ParagraphHeight(p, width, *measurer_);
    const double before = std::max(0.0f, p.spaceBefore), after = std::max(0.0f, p.spaceAfter);
    const double line = LineHeight(p, measurer_->singleLineHeight(LargestFormat(p)));
    const int lines =
        p.inlinePictures.empty() && !TakesNoRoom(p) ? measurer_->lineCount(p, width) : 0;
    if (lines > 1 && line > 0 && std::fabs(before + lines * line + after - height) < 0.01) {
      for (int k = 1; k < lines; ++k) cuts.push_back(float(y + before + k * line));
    }
    y += height;
    if (height > 0) cuts.push_back(float(y));
  }
  if (cuts.empty()) cuts.push_back(0);
  return noteCuts_.emplace(key, std::move(cuts)).first->second;
}

double Layout::NotesHeight(const std::vector<NoteRef>& refs, int fromLine, int toLine) {
  double height = 0;
  for (const NoteRef& ref : refs)
    if (ref.line >= fromLine && ref.line < toLine) height += ref.height;
  return height;
}

double Layout::LeastNotesHeight(const std::vector<NoteRef>& refs, int fromLine, int toLine) {
  const NoteRef* last = nullptr;
  for (const NoteRef& ref : refs)
    if (ref.line >= fromLine && ref.line < toLine) last = &ref;
  const double all = NotesHeight(refs, fromLine, toLine);
  return last && last->line == toLine - 1 ? all - last->height + last->first : all;
}

bool Layout::carriesNote(int page) const {
  for (auto it = notes_.rbegin(); it != notes_.rend(); ++it)
    if (it->page == page && it->rest > 0) return true;
  return false;
}

double Layout::notesRoom(int frame, double notes) const {
  if (!(notes > 0)) return 0;
  const int page = pageOfFrame(frame);
  if (carriesNote(page)) return kNoRoom;
  const bool ruled =
      page >= 1 && std::size_t(page) <= pageNotes_.size() && pageNotes_[page - 1] > 0;
  return notes + (ruled ? 0 : kNoteSeparator);
}

double Layout::textBottomBeside(int frame) const {
  // The frames before it on its page are complete; its own may still hold a stale depth.
  double bottom = 0;
  const int page = pageOfFrame(frame);
  for (int k = frame - 1; k >= 1 && frames_[std::size_t(k) - 1].page == page; --k)
    bottom = std::max(bottom, double(frames_[std::size_t(k) - 1].used));
  return bottom;
}

void Layout::addNotes(int frame, const std::vector<NoteRef>& refs, int fromLine, int toLine,
                      double textBottom) {
  const int page = pageOfFrame(frame);
  if (page < 1 || std::size_t(page) > pageNotes_.size()) return;
  textBottom = std::max(textBottom, textBottomBeside(frame));
  for (const NoteRef& ref : refs) {
    if (ref.line < fromLine || ref.line >= toLine) continue;
    placeNote(page, {ref.paragraph, page, ref.id, ref.width, 0, 0, ref.height}, textBottom, false);
  }
}

void Layout::placeNote(int page, const PlacedNote& note, double textBottom, bool force) {
  PlacedNote placed = note;
  placed.page = page;
  float& room = pageNotes_[std::size_t(page) - 1];
  const float left = note.rest;
  placed.height = 0;
  placed.rest = left;
  // Notes follow one another: after one carried on, the next waits for the next page whole.
  if (!carriesNote(page)) {
    const double free =
        pageBottoms_[std::size_t(page) - 1] - room - (room > 0 ? 0 : kNoteSeparator) - textBottom;
    if (left <= free + kFitTolerance) {
      placed.height = left;
    } else {
      const std::vector<float>& cuts = noteCuts(note.id, note.width);
      for (float cut : cuts) {
        if (cut <= note.offset + kFitTolerance) continue;
        if (cut - note.offset > free + kFitTolerance && (placed.height > 0 || !force)) break;
        placed.height = cut - note.offset;
      }
      if (force && !(placed.height > 0)) placed.height = left;
    }
    placed.rest = std::max(0.0f, left - placed.height);
  }
  if (placed.height > 0) room += placed.height + (room > 0 ? 0 : kNoteSeparator);
  notes_.push_back(placed);
}

void Layout::carryNotesOn(int page, std::size_t first) {
  if (page < 2 || notes_.empty()) return;
  std::vector<PlacedNote> carried;
  for (const PlacedNote& note : notes_)
    if (note.page == page - 1 && note.rest > 0) carried.push_back(note);
  if (carried.empty()) return;
  double reserve = 0;
  if (first < doc_->paragraphs.size()) {
    const Paragraph& p = doc_->paragraphs[first];
    reserve = std::max(0.0f, p.spaceBefore) +
              LineHeight(p, measurer_->singleLineHeight(LargestFormat(p)));
  }
  const double textBottom = pageTops_[std::size_t(page) - 1] + reserve;
  bool force = true;  // every page takes some of what is carried on: the notes come to an end
  for (PlacedNote note : carried) {
    note.offset += note.height;
    placeNote(page, note, textBottom, force);
    force = false;
  }
}

void Layout::finishCarriedNotes() {
  const std::size_t last = doc_->paragraphs.size() - 1;
  while (!pageFrames_.empty() && carriesNote(int(pageFrames_.size())))
    startPage(last, pageSetupOfParagraph(last));
}

void Layout::sumPageNotes(std::size_t fromPage) {
  for (std::size_t p = std::max<std::size_t>(fromPage, 1); p <= pageNotes_.size(); ++p)
    pageNotes_[p - 1] = 0;
  for (const PlacedNote& note : notes_) {
    if (std::size_t(note.page) < fromPage || std::size_t(note.page) > pageNotes_.size()) continue;
    if (!(note.height > 0)) continue;
    float& room = pageNotes_[std::size_t(note.page) - 1];
    room += note.height + (room > 0 ? 0 : kNoteSeparator);
  }
}

void Layout::dropNotes(std::size_t paragraphIndex) {
  std::size_t fromPage = std::size_t(-1);
  std::erase_if(notes_, [&](const PlacedNote& note) {
    if (note.paragraph < paragraphIndex) return false;
    fromPage = std::min(fromPage, std::size_t(note.page));
    return true;
  });
  if (fromPage != std::size_t(-1)) sumPageNotes(fromPage);
}

// The notes are set again whole from their beginning on the new page, and divided there anew.
void Layout::moveNotes(std::size_t first, std::size_t end, int frame, double textBottom) {
  const int page = pageOfFrame(frame);
  std::vector<PlacedNote> moved;
  std::set<std::pair<std::size_t, int>> seen;
  std::size_t fromPage = std::size_t(-1);
  std::erase_if(notes_, [&](const PlacedNote& note) {
    if (note.paragraph < first || note.paragraph >= end) return false;
    if (seen.insert({note.paragraph, note.id}).second) {
      moved.push_back(note);
      moved.back().rest += note.height + note.offset;
      moved.back().offset = moved.back().height = 0;
    }
    fromPage = std::min(fromPage, std::size_t(std::min(note.page, page)));
    return true;
  });
  if (fromPage == std::size_t(-1)) return;
  sumPageNotes(fromPage);
  textBottom = std::max(textBottom, textBottomBeside(frame));
  for (const PlacedNote& note : moved) placeNote(page, note, textBottom, false);
}

// A row's notes are set on the page the row begins on, however the row is divided; a note too
// long for the room left below the row is divided as a line's is.
double Layout::flowNotes(const TableMeasure& m, PageFlow& flow) {
  auto rows = std::make_shared<std::vector<std::vector<NoteRef>>>();
  for (const TableItem& item : m.items) {
    if (item.paragraph >= doc_->paragraphs.size()) continue;
    std::vector<NoteRef> refs =
        notesOf(item.paragraph, doc_->paragraphs[item.paragraph], std::max(1.0f, item.width));
    if (refs.empty()) continue;
    if (rows->size() <= item.row) rows->resize(std::size_t(item.row) + 1);
    auto& row = (*rows)[item.row];
    for (NoteRef& ref : refs) ref.line = 0;  // the row divides where it does, not at its notes
    row.insert(row.end(), refs.begin(), refs.end());
  }
  if (rows->empty()) return 0;
  flow.notesRoom = [this, rows](std::uint32_t row, int frame) {
    return row < rows->size() ? notesRoom(frame, LeastNotesHeight((*rows)[row], 0, 1)) : 0.0;
  };
  flow.setNotes = [this, rows](std::uint32_t row, int frame, double rowBottom) {
    if (row < rows->size()) {
      addNotes(frame, (*rows)[row], 0, 1 << 30, rowBottom);
      (*rows)[row].clear();  // set once, on the row's first page
    }
    return frameBottom(frame);
  };
  return LeastNotesHeight(rows->front(), 0, 1);
}

PageNotes Layout::notesOnPage(int page) {
  firstParagraphOfPage(page + 1);  // lays out everything that may refer to a note of the page
  PageNotes result;
  if (page < 1 || std::size_t(page) > pageNotes_.size() || !(pageNotes_[page - 1] > 0))
    return result;
  const PageSetup& setup = pageSetups_[std::size_t(page) - 1];
  const float width = TextColumnWidth(setup);
  float top = pageBottoms_[std::size_t(page) - 1] - pageNotes_[std::size_t(page) - 1];
  if (doc_->footnotesBeneathText) top = std::min(top, textBottomOfPage(page));
  float y = top + kNoteSeparator;
  for (const PlacedNote& note : notes_) {
    if (note.page != page || !(note.height > 0)) continue;
    result.notes.push_back({note.id, setup.leftMargin, y, width, note.offset, note.height});
    y += note.height;
  }
  const bool goesOn = !result.notes.empty() && result.notes.front().offset > 0;
  result.rule = {setup.leftMargin, top + kNoteRuleSpace + kNoteRuleWeight / 2,
                 goesOn ? width : width * kNoteRuleShare, 0};
  return result;
}

// Below the lowest text of the page's columns, which the notes' room at the foot leaves above it.
float Layout::textBottomOfPage(int page) const {
  float bottom = pageTops_[std::size_t(page) - 1];
  for (std::size_t k = pageFrames_[std::size_t(page) - 1]; k < frames_.size(); ++k) {
    if (frames_[k].page != page) break;
    bottom = std::max(bottom, frames_[k].used);
  }
  return bottom;
}

// A reference is numbered on the page its note is first placed for, in the order they were
// placed there: the order of the page's lines.
std::map<int, std::string> Layout::footnoteMarksOnPage(int page) {
  firstParagraphOfPage(page + 1);
  std::map<int, std::string> marks;
  std::set<std::pair<std::size_t, int>> earlier;
  int count = 0;
  for (const PlacedNote& note : notes_) {
    if (!earlier.insert({note.paragraph, note.id}).second || note.page != page) continue;
    if (note.paragraph >= doc_->paragraphs.size()) continue;
    for (const Run& run : doc_->paragraphs[note.paragraph].runs) {
      const NoteMark* mark = run.note.get();
      if (!mark || mark->id != note.id || mark->endnote || mark->custom) continue;
      if (!mark->pageFormat.empty())
        marks.emplace(note.id, NoteNumberText(++count, mark->pageFormat));
      break;
    }
  }
  return marks;
}

}  // namespace wordproc
