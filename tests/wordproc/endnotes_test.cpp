// Endnotes: read from their part, which is written back as it came, numbered lower-case roman
// unless the document says otherwise, and set after the last paragraph under a rule, going on
// to further pages when they do not fit.
#include <gtest/gtest.h>

#include "om_support.h"
#include "ooxml_test_support.h"
#include "wordproc/Render.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Layout.h"
#include "wordproc/core/Ooxml.h"

using namespace wordproc;
using namespace ooxml_test;

namespace {

const char* kMainNs = "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";

// Notes 1.. count after the separator, each "Концевая сноска N." (N its id) and more words.
std::string EndnotesXml(int count, int words = 0) {
  std::string xml = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:endnotes ") +
                    kMainNs +
                    "><w:endnote w:type=\"separator\" w:id=\"-1\"><w:p><w:r><w:separator/>"
                    "</w:r></w:p></w:endnote>";
  for (int id = 1; id <= count; ++id) {
    std::string text = "Концевая сноска " + std::to_string(id) + ".";
    for (int k = 0; k < words; ++k) text += " продолжение";
    xml += "<w:endnote w:id=\"" + std::to_string(id) +
           "\"><w:p><w:r><w:endnoteRef/></w:r><w:r><w:t xml:space=\"preserve\"> " + text +
           "</w:t></w:r></w:p></w:endnote>";
  }
  return xml + "</w:endnotes>";
}

// A body of paragraphs that refer to the notes in the order given, with settings whose
// endnotePr (and the section's) are given.
std::string EndnotesPackage(const std::vector<int>& refs, const std::string& notes,
                            const std::string& settingsPr = "", const std::string& sectPr = "") {
  const std::string rels =
      "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/"
      "2006/relationships\"><Relationship Id=\"rIdE\" Type=\"http://schemas.openxmlformats.org/"
      "officeDocument/2006/relationships/endnotes\" Target=\"endnotes.xml\"/><Relationship "
      "Id=\"rIdS\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
      "settings\" Target=\"settings.xml\"/></Relationships>";
  std::string body;
  for (int id : refs)
    body += "<w:p><w:r><w:t>Абзац</w:t></w:r><w:r><w:endnoteReference w:id=\"" +
            std::to_string(id) + "\"/></w:r></w:p>";
  body += "<w:sectPr>" + sectPr +
          "<w:pgSz w:w=\"11906\" w:h=\"16838\"/><w:pgMar w:top=\"1440\" "
          "w:right=\"1440\" w:bottom=\"1440\" w:left=\"1440\"/></w:sectPr>";
  const std::string settings = std::string("<?xml version=\"1.0\"?><w:settings ") + kMainNs + ">" +
                               settingsPr + "</w:settings>";
  return PackageWithBody(body, {{"word/_rels/document.xml.rels", rels},
                                {"word/endnotes.xml", notes},
                                {"word/settings.xml", settings}});
}

// The body's references (id:mark) in order, then each note's own mark.
std::vector<std::string> Marks(const Document& doc) {
  std::vector<std::string> marks;
  for (const Paragraph& p : doc.paragraphs)
    for (const Run& run : p.runs)
      if (run.note && run.note->endnote)
        marks.push_back(std::to_string(run.note->id) + ":" + run.note->text);
  for (const auto& [id, note] : *doc.endnotes)
    marks.push_back("note " + note.paragraphs.at(0).runs.at(0).note->text);
  return marks;
}

TEST(Endnotes, AreNumberedRomanByDefaultAsTheDocumentSaysAndTheirPartIsKept) {
  const std::string notes = EndnotesXml(3);
  const auto doc = ReadBytes(EndnotesPackage({2, 1, 3}, notes));
  ASSERT_TRUE(doc->endnotes);
  EXPECT_FALSE(doc->footnotes);
  EXPECT_EQ(Marks(*doc),
            (std::vector<std::string>{"2:i", "1:ii", "3:iii", "note ii", "note i", "note iii"}));
  const auto bytes = WritePackageToMemory(*doc, false);
  auto zip = package::ZipReader::OpenMemory(bytes.data(), bytes.size(), "out.docx", {});
  EXPECT_EQ(zip->Read("word/endnotes.xml"), notes);
  EXPECT_EQ(Marks(*ReadBytes(std::string(bytes.begin(), bytes.end()))), Marks(*doc));

  // The settings' format and start, the section's format over them.
  const std::string decimal = "<w:endnotePr><w:numFmt w:val=\"decimal\"/></w:endnotePr>";
  const auto set = ReadBytes(
      EndnotesPackage({1, 2}, notes,
                      "<w:endnotePr><w:numFmt w:val=\"upperLetter\"/><w:numStart w:val=\"4\"/>"
                      "</w:endnotePr>"));
  EXPECT_EQ(Marks(*set)[1], "2:E");
  EXPECT_EQ(Marks(*ReadBytes(EndnotesPackage({1, 2}, notes, "", decimal)))[1], "2:2");
}

// The text of all pages, page by page, as our PDF of the document has it.
std::vector<std::string> PdfPages(const Document& doc, Layout& layout, const std::string& path) {
  WritePdf(doc, layout, path);
  std::vector<std::string> pages;
  for (int page = 1; page <= layout.pageCount(); ++page) pages.push_back(PdfPageText(path, page));
  return pages;
}

// The notes' numbers in the order the text gives them.
std::vector<int> NoteOrder(const std::string& text) {
  std::vector<int> order;
  const std::string label = "Концевая сноска ";
  for (std::size_t at = text.find(label); at != std::string::npos; at = text.find(label, at + 1))
    order.push_back(std::atoi(text.c_str() + at + label.size()));
  return order;
}

TEST(Endnotes, FollowTheLastParagraphOntoPagesOfTheirOwn) {
  if (!HaveProgram("pdftotext")) GTEST_SKIP() << "poppler-utils is not installed";
  om_test::EnsureGui();
  std::vector<int> refs;
  for (int id = 1; id <= 40; ++id) refs.push_back(id);
  const auto doc = ReadBytes(EndnotesPackage(refs, EndnotesXml(40, 12)));
  Layout layout(*doc, FontMeasurer());
  ASSERT_EQ(layout.pageOfParagraph(39), 1);
  ASSERT_GE(layout.pageCount(), 2);
  TempDir dir;
  const std::vector<std::string> pages = PdfPages(*doc, layout, dir / "ours.pdf");
  std::vector<int> order;
  for (const std::string& page : pages) {
    const std::vector<int> on = NoteOrder(page);
    EXPECT_FALSE(on.empty());
    order.insert(order.end(), on.begin(), on.end());
  }
  EXPECT_EQ(order, refs);
  // The rule stands once, below the last paragraph; a note divided between pages goes on where
  // it broke off.
  const PageEndnotes first = layout.endnotesOnPage(1), second = layout.endnotesOnPage(2);
  EXPECT_GT(first.rule.y, layout.paragraphTop(39) + layout.paragraphHeight(39) - 1e-3);
  EXPECT_EQ(second.rule.width, 0);
  ASSERT_FALSE(first.parts.empty() || second.parts.empty());
  if (first.parts.back().id == second.parts.front().id) {
    EXPECT_NEAR(second.parts.front().offset, first.parts.back().height, 1e-3);
    EXPECT_GT(second.parts.front().offset, 0);
  }
}

TEST(Endnotes, DivideAtTheirLinesBetweenPages) {
  const auto doc = ReadBytes(EndnotesPackage({1}, EndnotesXml(1, 2000)));
  Layout layout(*doc, EstimatedText());
  ASSERT_GE(layout.pageCount(), 3);
  double shown = 0;
  for (int page = 1; page <= layout.pageCount(); ++page) {
    const PageEndnotes notes = layout.endnotesOnPage(page);
    ASSERT_EQ(notes.parts.size(), 1u) << page;
    const PageEndnote& part = notes.parts[0];
    EXPECT_NEAR(part.offset, shown, 1e-2) << page;
    EXPECT_EQ(part.top, page == 1 ? notes.rule.y + kNoteRuleSpace + kNoteRuleWeight / 2
                                  : layout.textTopOfPage(page));
    const PageSetup setup = layout.pageSetupOfPage(page);
    EXPECT_LE(part.top + part.height, setup.pageHeight - setup.bottomMargin + 1e-3) << page;
    shown += part.height;
  }
  EXPECT_NEAR(shown,
              ParagraphHeight(doc->endnotes->at(1).paragraphs[0],
                              TextColumnWidth(layout.pageSetupOfPage(1)), EstimatedText()),
              1e-2);
}

TEST(Endnotes, MoveWithTheTextWhenItIsEdited) {
  const auto doc = ReadBytes(EndnotesPackage({1, 2}, EndnotesXml(2)));
  Layout layout(*doc, EstimatedText());
  ASSERT_EQ(layout.pageCount(), 1);
  const float ruleBefore = layout.endnotesOnPage(1).rule.y;
  // Paragraphs added at the end push the notes down, then on to a page of their own.
  const std::size_t count = doc->paragraphs.size();
  Paragraph more = doc->paragraphs.back();
  more.runs.resize(1);
  float rule = ruleBefore;
  while (!layout.endnotesOnPage(1).parts.empty()) {
    more.id = doc->newParagraphId();
    doc->paragraphs.push_back(more);
    layout.invalidateFrom(doc->paragraphs.size() - 1);
    const PageEndnotes now = layout.endnotesOnPage(1);
    if (!now.parts.empty()) {
      EXPECT_GT(now.rule.y, rule);
    }
    rule = now.rule.y;
    ASSERT_LE(layout.pageCount(), 2);
  }
  ASSERT_EQ(layout.pageCount(), 2);
  EXPECT_EQ(layout.pageOfParagraph(doc->paragraphs.size() - 1), 1);
  const PageEndnotes moved = layout.endnotesOnPage(2);
  ASSERT_EQ(moved.parts.size(), 2u);
  EXPECT_EQ(moved.parts[0].id, 1);
  EXPECT_NEAR(moved.rule.y, layout.textTopOfPage(2) + kNoteRuleSpace + kNoteRuleWeight / 2, 1e-3);
  // A reference taken out takes its note with it.
  doc->paragraphs.resize(count);
  doc->paragraphs[0].runs.resize(1);
  layout.invalidateFrom(0);
  EXPECT_EQ(layout.pageCount(), 1);
  const PageEndnotes back = layout.endnotesOnPage(1);
  ASSERT_EQ(back.parts.size(), 1u);
  EXPECT_EQ(back.parts[0].id, 2);
  EXPECT_EQ(back.rule.y, ruleBefore);
}

}  // namespace
