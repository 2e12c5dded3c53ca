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

  // The settings' start with the section's format over the settings' one.
  const auto decimal = ReadBytes(
      EndnotesPackage({1, 2}, notes,
                      "<w:endnotePr><w:numFmt w:val=\"upperLetter\"/><w:numStart w:val=\"4\"/>"
                      "</w:endnotePr>",
                      "<w:endnotePr><w:numFmt w:val=\"decimal\"/></w:endnotePr>"));
  EXPECT_EQ(Marks(*decimal)[1], "2:5");
}

TEST(Endnotes, FollowTheLastParagraphOntoPagesOfTheirOwnInOrder) {
  if (!HaveProgram("pdftotext")) GTEST_SKIP() << "poppler-utils is not installed";
  om_test::EnsureGui();
  std::vector<int> refs;
  for (int id = 1; id <= 40; ++id) refs.push_back(id);
  const auto doc = ReadBytes(EndnotesPackage(refs, EndnotesXml(40, 12)));
  Layout layout(*doc, FontMeasurer());
  ASSERT_EQ(layout.pageOfParagraph(39), 1);
  ASSERT_GE(layout.pageCount(), 2);
  TempDir dir;
  WritePdf(*doc, layout, dir / "ours.pdf");
  std::vector<int> order;
  const std::string text = RunAndCapture("pdftotext " + Quote(dir / "ours.pdf") + " -");
  const std::string label = "Концевая сноска ";
  for (std::size_t at = text.find(label); at != std::string::npos; at = text.find(label, at + 1))
    order.push_back(std::atoi(text.c_str() + at + label.size()));
  EXPECT_EQ(order, refs);
  EXPECT_NE(PdfPageText(dir / "ours.pdf", 2).find(label), std::string::npos);
  // The rule stands once, below the last paragraph.
  EXPECT_GT(layout.endnotesOnPage(1).rule.y, layout.paragraphTop(39) + layout.paragraphHeight(39));
  EXPECT_EQ(layout.endnotesOnPage(2).rule.width, 0);
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
    EXPECT_TRUE(page == 1 || part.top == float(layout.textTopOfPage(page))) << page;
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
  while (!layout.endnotesOnPage(1).parts.empty()) {
    more.id = doc->newParagraphId();
    doc->paragraphs.push_back(more);
    layout.invalidateFrom(doc->paragraphs.size() - 1);
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

// Two sections of two paragraphs, the second of each referring to note 1 and note 2: the
// second section begins as start says, settingsPr and the sections' own sectPr
// children as given (and the first section's own besides).
std::string SectionsPackage(const std::string& settingsPr, const std::string& start = "nextPage",
                            const std::string& sectPr = "", const std::string& firstSectPr = "") {
  const std::string page =
      "<w:pgSz w:w=\"11906\" w:h=\"16838\"/><w:pgMar w:top=\"1440\" w:right=\"1440\" "
      "w:bottom=\"1440\" w:left=\"1440\"/>";
  std::string body;
  for (int k = 0; k < 4; ++k) {
    const bool ends = k == 1;
    body += "<w:p>";
    if (ends) body += "<w:pPr><w:sectPr>" + sectPr + firstSectPr + page + "</w:sectPr></w:pPr>";
    body += "<w:r><w:t>Раздел " + std::to_string(k / 2 + 1) + ", абзац " + std::to_string(k) +
            "</w:t></w:r>";
    if (k % 2 == 1)
      body += "<w:r><w:endnoteReference w:id=\"" + std::to_string(k / 2 + 1) + "\"/></w:r>";
    body += "</w:p>";
  }
  const std::string rels =
      "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/"
      "2006/relationships\"><Relationship Id=\"rIdE\" Type=\"http://schemas.openxmlformats.org/"
      "officeDocument/2006/relationships/endnotes\" Target=\"endnotes.xml\"/><Relationship "
      "Id=\"rIdS\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
      "settings\" Target=\"settings.xml\"/></Relationships>";
  const std::string settings = std::string("<?xml version=\"1.0\"?><w:settings ") + kMainNs + ">" +
                               settingsPr + "</w:settings>";
  return PackageWithBody(
      body + "<w:sectPr>" + sectPr + "<w:type w:val=\"" + start + "\"/>" + page + "</w:sectPr>",
      {{"word/_rels/document.xml.rels", rels},
       {"word/endnotes.xml", EndnotesXml(2)},
       {"word/settings.xml", settings}});
}

// The ids of the endnotes on each page.
std::vector<std::vector<int>> EndnotesByPage(Layout& layout) {
  std::vector<std::vector<int>> pages;
  for (int page = 1; page <= layout.pageCount(); ++page) {
    pages.emplace_back();
    for (const PageEndnote& part : layout.endnotesOnPage(page).parts)
      pages.back().push_back(part.id);
  }
  return pages;
}

TEST(Endnotes, AtEachSectionsEndFollowItsLastParagraph) {
  if (!HaveProgram("pdftotext")) GTEST_SKIP() << "poppler-utils is not installed";
  om_test::EnsureGui();
  const std::string sectEnd = "<w:endnotePr><w:pos w:val=\"sectEnd\"/></w:endnotePr>";
  const auto doc = ReadBytes(SectionsPackage(
      "<w:endnotePr><w:pos w:val=\"sectEnd\"/><w:numRestart w:val=\"eachSect\"/></w:endnotePr>"));
  EXPECT_EQ(Marks(*doc), (std::vector<std::string>{"1:i", "2:i", "note i", "note i"}));
  Layout layout(*doc, FontMeasurer());
  ASSERT_EQ(layout.pageCount(), 2);
  EXPECT_EQ(EndnotesByPage(layout), (std::vector<std::vector<int>>{{1}, {2}}));
  EXPECT_GT(layout.endnotesOnPage(1).rule.y, layout.paragraphTop(1) + layout.paragraphHeight(1));
  TempDir dir;
  WritePdf(*doc, layout, dir / "ours.pdf");
  const std::string first = PdfPageText(dir / "ours.pdf", 1);
  const std::string second = PdfPageText(dir / "ours.pdf", 2);
  EXPECT_NE(first.find("Концевая сноска 1."), std::string::npos);
  EXPECT_EQ(first.find("Концевая сноска 2."), std::string::npos);
  EXPECT_LT(second.find("Раздел 2, абзац 3"), second.find("Концевая сноска 2."));

  // A section that goes on on the same page begins below the notes of the one before; numbers
  // go on counting unless they begin again with each section.
  const auto continuous = ReadBytes(SectionsPackage(sectEnd, "continuous"));
  EXPECT_EQ(Marks(*continuous), (std::vector<std::string>{"1:i", "2:ii", "note i", "note ii"}));
  Layout same(*continuous, FontMeasurer());
  ASSERT_EQ(same.pageCount(), 1);
  const PageEndnotes notes = same.endnotesOnPage(1);
  ASSERT_EQ(notes.parts.size(), 2u);
  ASSERT_EQ(notes.rules.size(), 2u);
  EXPECT_GE(same.paragraphTop(2), notes.parts[0].top + notes.parts[0].height - 1e-3);
  EXPECT_GT(notes.rules[1].y, same.paragraphTop(3));
  // An edit in the second section leaves the first one's notes where they are.
  const float top = notes.parts[0].top;
  same.invalidateFrom(2);
  EXPECT_EQ(same.endnotesOnPage(1).parts.at(0).top, top);

  // Asked for by the sections themselves; at the document's end, as before, without.
  const auto bySections = ReadBytes(SectionsPackage("", "nextPage", sectEnd));
  Layout sections(*bySections, FontMeasurer());
  EXPECT_EQ(EndnotesByPage(sections), (std::vector<std::vector<int>>{{1}, {2}}));
  const auto atEnd = ReadBytes(SectionsPackage(""));
  Layout end(*atEnd, FontMeasurer());
  EXPECT_EQ(EndnotesByPage(end), (std::vector<std::vector<int>>{{}, {1, 2}}));

  // A section without endnotes of its own leaves them to the next, after the next's text.
  const auto leaves = ReadBytes(SectionsPackage(sectEnd, "nextPage", "", "<w:noEndnote/>"));
  Layout left(*leaves, FontMeasurer());
  EXPECT_EQ(EndnotesByPage(left), (std::vector<std::vector<int>>{{}, {1, 2}}));
  EXPECT_EQ(left.endnotesOnPage(2).rules.size(), 1u);
  const auto off =
      ReadBytes(SectionsPackage(sectEnd, "nextPage", "", "<w:noEndnote w:val=\"0\"/>"));
  Layout kept(*off, FontMeasurer());
  EXPECT_EQ(EndnotesByPage(kept), (std::vector<std::vector<int>>{{1}, {2}}));
}

}  // namespace
