// Footnote numbers as each section sets them, begun again on every page where the document asks
// for it (in the text and under it alike), and notes set right below the text.
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

// Paragraphs of words and a reference to the next note ("Сноска"), those with a sectPr given
// ending sections; the settings' footnotePr as given.
std::string NotesPackage(const std::vector<std::string>& sectPrs, int words,
                         const std::string& footnotePr) {
  const std::string ns = "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";
  std::string body, notes = "<w:footnotes " + ns + ">", text;
  for (int w = 0; w < words; ++w) text += "текст этикетки ";
  for (std::size_t k = 1; k <= sectPrs.size(); ++k) {
    const std::string id = std::to_string(k), sectPr = sectPrs[k - 1];
    body += "<w:p>" + (sectPr.empty() ? "" : "<w:pPr><w:sectPr>" + sectPr + "</w:sectPr></w:pPr>") +
            "<w:r><w:t xml:space=\"preserve\">" + text + "Абзац </w:t></w:r><w:r>" +
            "<w:footnoteReference w:id=\"" + id + "\"/></w:r></w:p>";
    notes += "<w:footnote w:id=\"" + id + "\"><w:p><w:r><w:footnoteRef/></w:r><w:r><w:t " +
             "xml:space=\"preserve\"> Сноска</w:t></w:r></w:p></w:footnote>";
  }
  const std::string rel =
      "<Relationship Type=\"http://schemas.openxmlformats.org/officeDocument/"
      "2006/relationships/";
  return PackageWithBody(
      body + kA4Section,
      {{"word/_rels/document.xml.rels",
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" +
            rel + "footnotes\" Id=\"rIdN\" Target=\"footnotes.xml\"/>" + rel +
            "settings\" Id=\"rIdS\" Target=\"settings.xml\"/></Relationships>"},
       {"word/footnotes.xml", notes + "</w:footnotes>"},
       {"word/settings.xml",
        "<w:settings " + ns + "><w:footnotePr>" + footnotePr + "</w:footnotePr></w:settings>"}});
}

TEST(FootnoteNumbering, EachSectionNumbersAsItsOwnSettingsSayOverTheDocuments) {
  // Decimal; upper letters begun again at 3; then the document's roman numbers going on.
  const auto doc = ReadBytes(NotesPackage(
      {"", "<w:footnotePr><w:numFmt w:val=\"decimal\"/></w:footnotePr>", "",
       "<w:footnotePr><w:numFmt w:val=\"upperLetter\"/><w:numStart w:val=\"3\"/><w:numRestart "
       "w:val=\"eachSect\"/></w:footnotePr>",
       ""},
      0, "<w:numFmt w:val=\"lowerRoman\"/>"));
  std::vector<std::string> marks;
  for (const Paragraph& p : doc->paragraphs) marks.push_back(p.runs.back().note->text);
  EXPECT_EQ(marks, (std::vector<std::string>{"1", "2", "C", "D", "v"}));
  EXPECT_EQ(doc->footnotes->at(4).paragraphs[0].runs[0].note->text, "D");
}

TEST(FootnoteNumbering, BeginAgainOnEachPageInTheTextAndUnderIt) {
  if (!HaveProgram("pdftotext")) GTEST_SKIP() << "poppler-utils is not installed";
  om_test::EnsureGui();
  const auto doc = ReadBytes(
      NotesPackage(std::vector<std::string>(12, ""), 120, "<w:numRestart w:val=\"eachPage\"/>"));
  Layout layout(*doc, FontMeasurer());
  ASSERT_GE(layout.pageCount(), 3);
  TempDir dir;
  WritePdf(*doc, layout, dir / "ours.pdf");
  // The marks are the only numbers: on each page those of the text from 1, then as many under it.
  std::vector<std::vector<PdfWord>> pages(std::size_t(layout.pageCount()));
  for (const PdfWord& word : PdfWords(dir / "ours.pdf"))
    if (std::all_of(word.text.begin(), word.text.end(), ::isdigit))
      pages.at(std::size_t(word.page) - 1).push_back(word);
  for (std::vector<PdfWord>& page : pages) {
    std::sort(page.begin(), page.end(), [](const PdfWord& a, const PdfWord& b) {
      return std::tie(a.y, a.x) < std::tie(b.y, b.x);
    });
    std::string marks, expected;
    for (const PdfWord& word : page) marks += word.text + " ";
    for (std::size_t k = 0; k < page.size(); ++k)
      expected += std::to_string(k % std::max<std::size_t>(1, page.size() / 2) + 1) + " ";
    EXPECT_EQ(marks, expected);
  }
}

TEST(FootnoteNumbering, NotesBeneathTheTextStandRightBelowItsLastLine) {
  const auto doc = ReadBytes(NotesPackage({"", ""}, 0, "<w:pos w:val=\"beneathText\"/>"));
  Layout layout(*doc, EstimatedText());
  const PageNotes notes = layout.notesOnPage(1);
  ASSERT_EQ(notes.notes.size(), 2u);
  const float textBottom = layout.paragraphTop(1) + layout.paragraphHeight(1);
  EXPECT_NEAR(notes.rule.y, textBottom + kNoteRuleSpace + kNoteRuleWeight / 2, 1e-3);
  EXPECT_NEAR(notes.notes[0].top, textBottom + kNoteSeparator, 1e-3);
}

}  // namespace
