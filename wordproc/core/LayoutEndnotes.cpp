// Endnotes after the document's last paragraph: a short rule, then each note's paragraphs in
// the order the notes are referred to. They flow on through the columns and pages after as body
// text does, divided at their lines. The frames and pages they take are laid out last and taken
// back whenever the text before them is laid out again. A document may collect them at the end
// of each section instead: a section's notes then follow its last paragraph, and the next
// section begins below them; a section may leave its own to the next one that collects them.
#include <algorithm>
#include <cmath>
#include <set>
#include <string_view>

#include <pugixml.hpp>

#include "wordproc/core/Layout.h"

namespace wordproc {

std::vector<int> Layout::endnotesInOrder(std::size_t from, std::size_t to) const {
  std::vector<int> ids;
  if (!doc_->endnotes) return ids;
  std::set<int> seen;
  to = std::min(to, doc_->paragraphs.size());
  for (std::size_t k = from; k < to; ++k) {
    for (const Run& run : doc_->paragraphs[k].runs) {
      if (!run.note || !run.note->endnote || !doc_->endnotes->count(run.note->id)) continue;
      if (seen.insert(run.note->id).second) ids.push_back(run.note->id);
    }
  }
  return ids;
}

namespace {

// The first paragraph of the section that ends with the given one.
std::size_t SectionStartOf(const std::vector<Paragraph>& paragraphs, std::size_t last) {
  std::size_t first = last;
  while (first > 0 && !paragraphs[first - 1].sectionEnd) --first;
  return first;
}

// Whether the section that the paragraph ends leaves its endnotes to the next section that
// collects them (w:noEndnote). The model keeps that property only as the sectPr child it was.
bool LeavesEndnotesOn(const Paragraph& paragraph) {
  if (!paragraph.sectionEnd || !paragraph.sectionEnd->setup.kept.elements) return false;
  for (const KeptSectionXml::Element& element : *paragraph.sectionEnd->setup.kept.elements) {
    if (element.xml.find("noEndnote") == std::string::npos) continue;
    pugi::xml_document xml;
    if (!xml.load_string(element.xml.c_str())) continue;
    const pugi::xml_node node = xml.document_element();
    const std::string_view name = node.name();
    if (name.substr(name.find(':') + 1) != "noEndnote") continue;
    for (const pugi::xml_attribute a : node.attributes()) {
      const std::string_view attribute = a.name(), value = a.value();
      if (attribute.substr(attribute.find(':') + 1) == "val")
        return value != "0" && value != "false" && value != "off";
    }
    return true;
  }
  return false;
}

// The first paragraph whose endnotes the section ending with last collects: of the section, or
// of the first of the sections before it that leave theirs on.
std::size_t CollectedFrom(const std::vector<Paragraph>& paragraphs, std::size_t last) {
  std::size_t first = SectionStartOf(paragraphs, last);
  while (first > 0 && LeavesEndnotesOn(paragraphs[first - 1]))
    first = SectionStartOf(paragraphs, first - 1);
  return first;
}

}  // namespace

void Layout::placeEndnotes() {
  const std::size_t count = doc_->paragraphs.size();
  if (endnotesSet_ || count == 0 || entries_.size() != count || frames_.empty()) return;
  endnotesSet_ = true;
  framesBeforeEndnotes_ = frames_.size();
  pagesBeforeEndnotes_ = pageFrames_.size();
  endnotesFrame_ = entries_.back().endPage;
  usedBeforeEndnotes_ = frames_[std::size_t(endnotesFrame_) - 1].used;
  const std::size_t from =
      doc_->endnotesAtSectionEnds ? CollectedFrom(doc_->paragraphs, count - 1) : 0;
  setEndnotes(from, count - 1, true);
  finishCarriedNotes();
}

void Layout::placeSectionEndnotes(std::size_t sectionEnd) {
  if (LeavesEndnotesOn(doc_->paragraphs[sectionEnd])) return;
  if (const auto end = setEndnotes(CollectedFrom(doc_->paragraphs, sectionEnd), sectionEnd, false))
    sectionNotesEnd_[sectionEnd] = *end;
}

std::optional<std::pair<int, double>> Layout::setEndnotes(std::size_t from, std::size_t last,
                                                          bool documentEnd) {
  const std::vector<int> ids = endnotesInOrder(from, last + 1);
  if (ids.empty()) return std::nullopt;
  int frame = entries_[last].endPage;
  double y = entries_[last].endY;
  // The rule goes where the first line of the first note goes with it.
  const Paragraph& first = doc_->endnotes->at(ids.front()).paragraphs.empty()
                               ? doc_->paragraphs[last]
                               : doc_->endnotes->at(ids.front()).paragraphs.front();
  const double firstLine = std::max(0.0f, first.spaceBefore) +
                           LineHeight(first, measurer_->singleLineHeight(LargestFormat(first)));
  if (y + kNoteSeparator + firstLine > frameBottom(frame) + kFitTolerance) {
    frame = nextFrame(last, pageSetupOfParagraph(last));
    y = frameTop(frame);
  }
  const Frame& ruled = frames_[std::size_t(frame) - 1];
  endnoteRules_.push_back({last,
                           documentEnd,
                           frame,
                           {ruled.left, float(y + kNoteRuleSpace + kNoteRuleWeight / 2),
                            ruled.width * kNoteRuleShare, 0}});
  y += kNoteSeparator;
  use(frame, y);
  for (int id : ids) {
    const std::size_t paragraphs = doc_->endnotes->at(id).paragraphs.size();
    for (std::size_t k = 0; k < paragraphs; ++k) {
      const PlacedEndnote where{last, documentEnd, frame, {id, k, 0, 0, 0, 0, 0}};
      std::tie(frame, y) = placeEndnoteParagraph(where, k, y);
    }
  }
  return std::make_pair(frame, y);
}

std::pair<int, double> Layout::placeEndnoteParagraph(const PlacedEndnote& where, std::size_t k,
                                                     double y) {
  const int id = where.part.id;
  int frame = where.frame;
  const Paragraph& p = doc_->endnotes->at(id).paragraphs[k];
  const std::size_t last = where.after;
  const PageSetup setup = pageSetupOfParagraph(last);
  auto box = [&](int f) { return frames_[std::size_t(f) - 1]; };
  auto add = [&](int f, float top, float width, float offset, float height) {
    endnotes_.push_back(
        {where.after, where.documentEnd, f, {id, k, box(f).left, top, width, offset, height}});
  };
  float width = box(frame).width;
  const float height = ParagraphHeight(p, width, *measurer_);
  const double before = std::max(0.0f, p.spaceBefore), after = std::max(0.0f, p.spaceAfter);
  if (y + height - after <= frameBottom(frame) + kFitTolerance) {
    add(frame, float(y), width, 0, height);
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
      PlacedEndnote next = where;
      next.frame = nextFrame(last, setup);
      return placeEndnoteParagraph(next, k, frameTop(next.frame));
    }
    // Taller than a whole frame: set as it is, cut off at the foot.
    add(frame, float(y), width, 0, height);
    use(frame, y + height);
    return {frame, y + height};
  }
  for (int done = 0;;) {
    width = box(frame).width;
    const double offset = done == 0 ? 0 : before + done * lineHeight;
    const double shown = (done == 0 ? before : 0) + n * lineHeight;
    add(frame, float(y), width, float(offset), float(shown));
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
  std::erase_if(endnotes_, [](const PlacedEndnote& note) { return note.documentEnd; });
  std::erase_if(endnoteRules_, [](const EndnoteRule& rule) { return rule.documentEnd; });
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
  std::erase_if(notes_, [&](const PlacedNote& note) { return std::size_t(note.page) > pages; });
}

PageEndnotes Layout::endnotesOnPage(int page) {
  PageEndnotes result;
  if (!doc_->endnotes) return result;
  ensureAll();
  for (const PlacedEndnote& placed : endnotes_) {
    if (pageOfFrame(placed.frame) == page) result.parts.push_back(placed.part);
  }
  for (const EndnoteRule& rule : endnoteRules_)
    if (pageOfFrame(rule.frame) == page) result.rules.push_back(rule.rule);
  if (!result.rules.empty()) result.rule = result.rules.front();
  return result;
}

}  // namespace wordproc
