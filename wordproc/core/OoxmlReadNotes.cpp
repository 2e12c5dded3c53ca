// Footnotes and endnotes: a notes part's notes read as paragraphs for drawing at the foot of their
// pages or after the document's text, the references of the body that name them, and the
// numbers both draw. The part itself stays kept and is written back as it came; the references
// are written back from their raw runs.
#include <algorithm>

#include "wordproc/core/Numbering.h"
#include "wordproc/core/OoxmlReadContext.h"

namespace wordproc::ooxml::reader {

namespace {

constexpr int kMaxNoteStart = 1 << 20;

}  // namespace

void ReadContext::ApplyNoteNumbering(xml_node notePr, NoteNumbering& numbering) {
  if (xml_node format = Child(notePr, "numFmt"); format && !Value(format, "val").empty())
    numbering.format = std::string(Value(format, "val"));
  if (xml_node start = Child(notePr, "numStart"))
    numbering.start = static_cast<int>(Clamp(Number(Value(start, "val")), 0, kMaxNoteStart, 1));
  if (xml_node restart = Child(notePr, "numRestart")) {
    const std::string_view value = Value(restart, "val");
    numbering.restart = value == "eachSect"   ? NoteRestart::EachSection
                        : value == "eachPage" ? NoteRestart::EachPage
                                              : NoteRestart::Continuous;
  }
  if (xml_node position = Child(notePr, "pos")) numbering.position = Value(position, "val");
}

ReadContext::NoteNumbering ReadContext::SectionNoteNumbering(xml_node sectPr, bool endnotes) const {
  NoteNumbering numbering = endnotes ? endnoteNumbering_ : footnoteNumbering_;
  ApplyNoteNumbering(Child(sectPr, endnotes ? "endnotePr" : "footnotePr"), numbering);
  // Endnotes stand together after the text: there is no page to begin them again on.
  if (endnotes && numbering.restart == NoteRestart::EachPage)
    numbering.restart = NoteRestart::Continuous;
  return numbering;
}

void ReadContext::KeepNoteReference(xml_node reference, Flow& flow, bool endnote) {
  auto mark = std::make_shared<NoteMark>();
  mark->id = static_cast<int>(Clamp(Number(Value(reference, "id"), -1), -1, 1e9, -1));
  const std::string_view custom = Value(reference, "customMarkFollows");
  mark->custom = custom == "1" || custom == "true" || custom == "on";
  mark->endnote = endnote;
  flow.paragraph->runs.back().note = std::move(mark);
}

void ReadContext::AddNoteMark(Flow& flow, const RunFormat& format) {
  if (noteBeingRead_ < 0) return;
  std::vector<Run>& runs = flow.paragraph->runs;
  Run run{std::string(), format};
  run.note = std::make_shared<NoteMark>(
      NoteMark{noteBeingRead_, std::string(), false, endnoteBeingRead_, std::string()});
  runs.push_back(std::move(run));
  flow.picturesAt = runs.size();  // the note's text is a run of its own
}

// Notes of the separator kinds draw the rule above the notes; the word processor's own rule is
// drawn in their place.
void ReadContext::ReadNotes(bool endnotes) {
  const char* const kind = endnotes ? "endnote" : "footnote";
  const std::string* name = PartOfType(endnotes ? "/endnotes" : "/footnotes");
  if (!name || !zip_.Has(*name)) return;
  const std::string partName = *name;
  package::XmlPart part;
  Parse(partName, part);
  auto documentRelationships = std::move(relationships_);
  relationships_.clear();
  ReadRelationships(RelationshipsPartOf(partName));
  auto notes = std::make_shared<std::map<int, Note>>();
  endnoteBeingRead_ = endnotes;
  ForEachChild(part.doc.document_element(), [&](xml_node c) {
    const std::string_view type = Value(c, "type");
    if (!Is(c, kind) || (!type.empty() && type != "normal")) return false;
    const double id = Number(Value(c, "id"), -1);
    if (!(id >= 0 && id <= 1e9) || notes->count(int(id))) return false;
    noteBeingRead_ = int(id);
    Note& note = (*notes)[noteBeingRead_];
    ReadBlocks(c, false, note.paragraphs);
    if (doc_->numbering) NumberParagraphs(note.paragraphs, *doc_->numbering);
    return false;
  });
  noteBeingRead_ = -1;
  endnoteBeingRead_ = false;
  relationships_ = std::move(documentRelationships);
  NumberNotes(*notes, endnotes);
  const std::string position = SectionNoteNumbering(lastSectionProperties_, endnotes).position;
  if (endnotes) doc_->endnotesAtSectionEnds = position == "sectEnd" || sectionEndnotes_;
  if (!endnotes) doc_->footnotesBeneathText = position == "beneathText";
  if (notes->empty()) return;
  (endnotes ? doc_->endnotes : doc_->footnotes) = std::move(notes);
}

// References count from the first number in the order they stand; a custom mark takes none.
// Each section numbers them as its own sectPr says, over the document's settings, going on from
// the section before unless it begins them again. Footnotes numbered on each page anew keep
// their format for the layout, which alone knows their pages.
void ReadContext::NumberNotes(std::map<int, Note>& notes, bool endnotes) {
  std::map<int, NoteMark> numbers;
  std::vector<Paragraph>& paragraphs = doc_->paragraphs;
  int next = 1;
  for (std::size_t begin = 0; begin < paragraphs.size();) {
    std::size_t end = begin;
    while (end + 1 < paragraphs.size() && !paragraphs[end].sectionEnd) ++end;
    const auto own = sectionProperties_.find(paragraphs[end].id);
    const NoteNumbering numbering = SectionNoteNumbering(
        own != sectionProperties_.end() && paragraphs[end].sectionEnd ? own->second
                                                                      : lastSectionProperties_,
        endnotes);
    if (begin == 0 || numbering.restart == NoteRestart::EachSection) next = numbering.start;
    const bool eachPage = numbering.restart == NoteRestart::EachPage;
    for (std::size_t i = begin; i <= end; ++i) {
      for (Run& run : paragraphs[i].runs) {
        if (!run.note || run.note->endnote != endnotes) continue;
        NoteMark mark = *run.note;
        if (!mark.custom) {
          mark.text = NoteNumberText(next++, numbering.format);
          mark.pageFormat = eachPage ? numbering.format : std::string();
          numbers.emplace(mark.id, mark);
        }
        run.note = std::make_shared<NoteMark>(std::move(mark));
      }
    }
    begin = end + 1;
  }
  for (auto& [id, note] : notes) {
    const auto number = numbers.find(id);
    for (Paragraph& p : note.paragraphs) {
      for (Run& run : p.runs) {
        if (!run.note || run.note->endnote != endnotes) continue;
        run.note = std::make_shared<NoteMark>(
            number != numbers.end() ? number->second
                                    : NoteMark{id, std::string(), false, endnotes, std::string()});
      }
    }
  }
}

}  // namespace wordproc::ooxml::reader
