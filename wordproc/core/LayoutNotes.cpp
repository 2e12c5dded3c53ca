// Footnotes at the foot of the page whose line refers to them: the body's text leaves them the
// room they take there, a short rule above them included, and a line whose notes do not fit on
// its page goes on to the next one with them. Notes are not divided between pages.
#include <algorithm>

#include "wordproc/core/Layout.h"

namespace wordproc {

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
    const auto found = doc_->footnotes->find(run.note->id);
    if (found == doc_->footnotes->end()) continue;
    const Note* note = &found->second;
    auto height = noteHeights_.find({note, noteWidth});
    if (height == noteHeights_.end()) {
      double sum = 0;
      for (const Paragraph& p : note->paragraphs) sum += ParagraphHeight(p, noteWidth, *measurer_);
      height = noteHeights_.emplace(std::make_pair(note, noteWidth), float(sum)).first;
    }
    refs.push_back({index, line, run.note->id, height->second});
  }
  return refs;
}

double Layout::NotesHeight(const std::vector<NoteRef>& refs, int fromLine, int toLine) {
  double height = 0;
  for (const NoteRef& ref : refs)
    if (ref.line >= fromLine && ref.line < toLine) height += ref.height;
  return height;
}

double Layout::notesRoom(int frame, double notes) const {
  if (!(notes > 0)) return 0;
  const std::size_t page = std::size_t(pageOfFrame(frame));
  const bool ruled = page >= 1 && page <= pageNotes_.size() && pageNotes_[page - 1] > 0;
  return notes + (ruled ? 0 : kNoteSeparator);
}

void Layout::addNotes(int frame, const std::vector<NoteRef>& refs, int fromLine, int toLine) {
  const int page = pageOfFrame(frame);
  if (page < 1 || std::size_t(page) > pageNotes_.size()) return;
  for (const NoteRef& ref : refs) {
    if (ref.line < fromLine || ref.line >= toLine) continue;
    float& room = pageNotes_[std::size_t(page) - 1];
    room += ref.height + (room > 0 ? 0 : kNoteSeparator);
    notes_.push_back({ref.paragraph, page, ref.id, ref.height});
  }
}

void Layout::sumPageNotes(std::size_t fromPage) {
  for (std::size_t p = std::max<std::size_t>(fromPage, 1); p <= pageNotes_.size(); ++p)
    pageNotes_[p - 1] = 0;
  for (const PlacedNote& note : notes_) {
    if (std::size_t(note.page) < fromPage || std::size_t(note.page) > pageNotes_.size()) continue;
    float& room = pageNotes_[std::size_t(note.page) - 1];
    room += note.height + (room > 0 ? 0 : kNoteSeparator);
  }
}

void Layout::dropNotes(std::size_t paragraphIndex) {
  std::size_t fromPage = std::size_t(-1);
  while (!notes_.empty() && notes_.back().paragraph >= paragraphIndex) {
    fromPage = std::min(fromPage, std::size_t(notes_.back().page));
    notes_.pop_back();
  }
  if (fromPage != std::size_t(-1)) sumPageNotes(fromPage);
}

void Layout::moveNotes(std::size_t first, std::size_t end, int frame) {
  const int page = pageOfFrame(frame);
  std::size_t fromPage = std::size_t(-1);
  for (PlacedNote& note : notes_) {
    if (note.paragraph < first || note.paragraph >= end || note.page == page) continue;
    fromPage = std::min(fromPage, std::size_t(std::min(note.page, page)));
    note.page = page;
  }
  if (fromPage != std::size_t(-1)) sumPageNotes(fromPage);
}

// A row's notes are set on the page the row begins on, whole, however the row is divided.
double Layout::flowNotes(const TableMeasure& m, PageFlow& flow) {
  auto rows = std::make_shared<std::vector<std::vector<NoteRef>>>();
  for (const TableItem& item : m.items) {
    if (item.paragraph >= doc_->paragraphs.size()) continue;
    std::vector<NoteRef> refs =
        notesOf(item.paragraph, doc_->paragraphs[item.paragraph], std::max(1.0f, item.width));
    if (refs.empty()) continue;
    if (rows->size() <= item.row) rows->resize(std::size_t(item.row) + 1);
    auto& row = (*rows)[item.row];
    row.insert(row.end(), refs.begin(), refs.end());
  }
  if (rows->empty()) return 0;
  flow.notesRoom = [this, rows](std::uint32_t row, int frame) {
    return row < rows->size() ? notesRoom(frame, NotesHeight((*rows)[row])) : 0.0;
  };
  flow.setNotes = [this, rows](std::uint32_t row, int frame) {
    if (row < rows->size()) {
      addNotes(frame, (*rows)[row]);
      (*rows)[row].clear();  // set once, on the row's first page
    }
    return frameBottom(frame);
  };
  return NotesHeight(rows->front());
}

PageNotes Layout::notesOnPage(int page) {
  firstParagraphOfPage(page + 1);  // lays out everything that may refer to a note of the page
  PageNotes result;
  if (page < 1 || std::size_t(page) > pageNotes_.size() || !(pageNotes_[page - 1] > 0))
    return result;
  const PageSetup& setup = pageSetups_[std::size_t(page) - 1];
  const float width = TextColumnWidth(setup);
  const float top = pageBottoms_[std::size_t(page) - 1] - pageNotes_[std::size_t(page) - 1];
  result.rule = {setup.leftMargin, top + kNoteRuleSpace + kNoteRuleWeight / 2,
                 width * kNoteRuleShare, 0};
  float y = top + kNoteSeparator;
  for (const PlacedNote& note : notes_) {
    if (note.page != page) continue;
    result.notes.push_back({note.id, setup.leftMargin, y, width});
    y += note.height;
  }
  return result;
}

}  // namespace wordproc
