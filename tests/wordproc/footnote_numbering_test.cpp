// Footnote numbers as each section sets them, begun again on every page where the document asks
// for it (in the text and in the notes alike), and notes set right below the text.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "om_support.h"
#include "ooxml_test_support.h"
#include "wordproc/Render.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Layout.h"

using namespace wordproc;
using namespace ooxml_test;

namespace {

const char* kMainNs = "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";

// A package of the body with notes 1..count ("Сноска", one line each) and settings holding
// footnotePr.
std::string NotesPackage(const std::string& body, int count, const std::string& footnotePr) {
  std::string notes = std::string("<?xml version=\"1.0\"?><w:footnotes ") + kMainNs + ">";
  for (int id = 1; id <= count; ++id)
    notes += "<w:footnote w:id=\"" + std::to_string(id) +
             "\"><w:p><w:r><w:footnoteRef/></w:r><w:r><w:t xml:space=\"preserve\"> Сноска"
             "</w:t></w:r></w:p></w:footnote>";
  const std::string rels =
      "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/"
      "2006/relationships\"><Relationship Id=\"rIdN\" Type=\"http://schemas.openxmlformats.org/"
      "officeDocument/2006/relationships/footnotes\" Target=\"footnotes.xml\"/><Relationship "
      "Id=\"rIdS\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
      "settings\" Target=\"settings.xml\"/></Relationships>";
  const std::string settings = std::string("<?xml version=\"1.0\"?><w:settings ") + kMainNs +
                               "><w:footnotePr>" + footnotePr + "</w:footnotePr></w:settings>";
  return PackageWithBody(body, {{"word/_rels/document.xml.rels", rels},
                                {"word/footnotes.xml", notes + "</w:footnotes>"},
                                {"word/settings.xml", settings}});
}

std::string Reference(int id) {
  return "<w:r><w:t xml:space=\"preserve\">Абзац </w:t></w:r><w:r><w:footnoteReference w:id=\"" +
         std::to_string(id) + "\"/></w:r>";
}

// A paragraph that ends a section of the footnotePr given.
std::string SectionEnd(int id, const std::string& footnotePr) {
  return "<w:p><w:pPr><w:sectPr><w:footnotePr>" + footnotePr +
         "</w:footnotePr><w:type w:val=\"continuous\"/></w:sectPr></w:pPr>" + Reference(id) +
         "</w:p>";
}

// The references' marks in order, then those of the notes.
std::vector<std::string> Marks(const Document& doc) {
  std::vector<std::string> marks;
  for (const Paragraph& p : doc.paragraphs)
    for (const Run& run : p.runs)
      if (run.note) marks.push_back(run.note->text);
  for (const auto& [id, note] : *doc.footnotes)
    marks.push_back("note " + note.paragraphs.at(0).runs.at(0).note->text);
  return marks;
}

TEST(FootnoteNumbering, EachSectionNumbersAsItsOwnSettingsSayOverTheDocuments) {
  // Decimal; upper letters begun again at 3; then the document's roman numbers going on.
  const std::string body = "<w:p>" + Reference(1) + "</w:p>" +
                           SectionEnd(2, "<w:numFmt w:val=\"decimal\"/>") + "<w:p>" + Reference(3) +
                           "</w:p>" +
                           SectionEnd(4,
                                      "<w:numFmt w:val=\"upperLetter\"/><w:numStart w:val=\"3\"/>"
                                      "<w:numRestart w:val=\"eachSect\"/>") +
                           "<w:p>" + Reference(5) + "</w:p>" + kA4Section;
  const auto doc = ReadBytes(NotesPackage(body, 5, "<w:numFmt w:val=\"lowerRoman\"/>"));
  ASSERT_TRUE(doc->footnotes);
  EXPECT_EQ(Marks(*doc), (std::vector<std::string>{"1", "2", "C", "D", "v", "note 1", "note 2",
                                                   "note C", "note D", "note v"}));
}

// Forty paragraphs of several lines, every fourth referring to a note of its own.
std::string ManyNotes(const std::string& footnotePr) {
  std::string body;
  int id = 0;
  for (int k = 0; k < 40; ++k) {
    body += "<w:p><w:r><w:t xml:space=\"preserve\">";
    for (int w = 0; w < 30; ++w) body += "текст этикетки ";
    body += "</w:t></w:r>" + (k % 4 == 1 ? Reference(++id) : std::string()) + "</w:p>";
  }
  return NotesPackage(body + kA4Section, id, footnotePr);
}

TEST(FootnoteNumbering, BeginAgainOnEachPageInTheTextAndUnderIt) {
  if (!HaveProgram("pdftotext")) GTEST_SKIP() << "poppler-utils is not installed";
  om_test::EnsureGui();
  const auto doc = ReadBytes(ManyNotes("<w:numRestart w:val=\"eachPage\"/>"));
  Layout layout(*doc, FontMeasurer());
  TempDir dir;
  WritePdf(*doc, layout, dir / "ours.pdf");
  // The marks are the only numbers: on each page those of the text, then as many under it.
  std::vector<std::vector<PdfWord>> pages(std::size_t(layout.pageCount()));
  for (const PdfWord& word : PdfWords(dir / "ours.pdf"))
    if (std::all_of(word.text.begin(), word.text.end(), ::isdigit))
      pages.at(std::size_t(word.page) - 1).push_back(word);
  int withNotes = 0;
  for (std::size_t p = 0; p < pages.size(); ++p) {
    std::sort(pages[p].begin(), pages[p].end(), [](const PdfWord& a, const PdfWord& b) {
      return std::tie(a.y, a.x) < std::tie(b.y, b.x);
    });
    std::vector<std::string> marks, expected;
    for (const PdfWord& word : pages[p]) marks.push_back(word.text);
    const int count = int(marks.size() / 2);
    for (int k = 0; k < 2 * count; ++k) expected.push_back(std::to_string(k % count + 1));
    EXPECT_EQ(marks, expected) << "page " << p + 1;
    EXPECT_EQ(int(layout.footnoteMarksOnPage(int(p) + 1).size()), count);
    withNotes += count > 0;
  }
  EXPECT_GE(withNotes, 2);
}

TEST(FootnoteNumbering, NotesBeneathTheTextStandRightBelowItsLastLine) {
  const std::string beneath = "<w:pos w:val=\"beneathText\"/>";
  const auto shortDoc = ReadBytes(NotesPackage(
      "<w:p>" + Reference(1) + "</w:p><w:p><w:r><w:t>Конец</w:t></w:r></w:p>" + kA4Section, 1,
      beneath));
  ASSERT_TRUE(shortDoc->footnotesBeneathText);
  Layout layout(*shortDoc, EstimatedText());
  const PageNotes notes = layout.notesOnPage(1);
  ASSERT_EQ(notes.notes.size(), 1u);
  const float textBottom = layout.paragraphTop(1) + layout.paragraphHeight(1);
  EXPECT_NEAR(notes.rule.y, textBottom + kNoteRuleSpace + kNoteRuleWeight / 2, 1e-3);
  EXPECT_NEAR(notes.notes[0].top, textBottom + kNoteSeparator, 1e-3);

  // The pages break where they do with the notes at the foot.
  const auto below = ReadBytes(ManyNotes(beneath)), foot = ReadBytes(ManyNotes(""));
  Layout belowLayout(*below, EstimatedText()), footLayout(*foot, EstimatedText());
  ASSERT_GE(footLayout.pageCount(), 2);
  for (int page = 1; page <= footLayout.pageCount(); ++page) {
    EXPECT_EQ(belowLayout.firstParagraphOfPage(page), footLayout.firstParagraphOfPage(page));
    const PageNotes here = belowLayout.notesOnPage(page), there = footLayout.notesOnPage(page);
    ASSERT_EQ(here.notes.size(), there.notes.size());
    if (!here.notes.empty()) {
      EXPECT_LE(here.notes[0].top, there.notes[0].top + 1e-3);
    }
  }
}

}  // namespace
