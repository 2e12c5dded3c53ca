// Right-to-left paragraphs: kept through reading and writing, set from the right edge with their
// words in reading order, and drawn where LibreOffice draws them.
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

std::string P(const std::string& text, const std::string& pPr) {
  return "<w:p><w:pPr>" + pPr + "</w:pPr><w:r><w:t xml:space=\"preserve\">" + text +
         "</w:t></w:r></w:p>";
}

// Words between tabs: the stops count from the paragraph's own start, the right edge, whatever
// the indents.
std::string Tabbed(const std::vector<std::string>& words, const std::string& pPr) {
  std::string runs;
  for (const std::string& word : words)
    runs += (runs.empty() ? "" : "<w:r><w:tab/></w:r>") + ("<w:r><w:t>" + word + "</w:t></w:r>");
  return "<w:p><w:pPr><w:bidi/>" + pPr + "</w:pPr>" + runs + "</w:p>";
}

// Hebrew in a font that has it on every machine with the set-up's fonts, aligned every way,
// mixed with Latin words and digits, and Hebrew words inside a left-to-right paragraph.
std::string BidiBody() {
  std::string justified;
  for (int k = 0; k < 12; ++k) justified += "מילה אבג שלום עולם ";
  justified.pop_back();
  return P("אבג דהו ABC DEF 123 זחט", "<w:bidi/>") +
         P("שלום left", "<w:bidi/><w:jc w:val=\"left\"/>") +
         P("שלום right", "<w:bidi/><w:jc w:val=\"right\"/>") +
         P("שלום center", "<w:bidi/><w:jc w:val=\"center\"/>") + P("Hello שלום עולם end", "") +
         P(justified, "<w:bidi/><w:jc w:val=\"both\"/>") +
         P("שלום end", "<w:bidi/><w:jc w:val=\"end\"/>") +
         Tabbed({"אחד", "שתיים", "שלוש"},
                "<w:tabs><w:tab w:val=\"left\" w:pos=\"2880\"/><w:tab w:val=\"right\" "
                "w:pos=\"7200\"/></w:tabs>") +
         Tabbed({"אחד", "שתיים"}, "<w:ind w:left=\"1440\"/>") +
         Tabbed({"אחד", "שתיים"},
                "<w:ind w:left=\"720\" w:hanging=\"360\"/><w:tabs><w:tab w:val=\"left\" "
                "w:pos=\"2880\"/></w:tabs>") +
         Tabbed(
             {"אחד", "שתיים"},
             "<w:ind w:right=\"1440\"/><w:tabs><w:tab w:val=\"left\" w:pos=\"2880\"/></w:tabs>") +
         kA4Section;
}

std::map<std::string, std::string> LiberationDefaults() {
  auto parts = SpacingParts();
  parts["word/styles.xml"] =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
      "<w:styles xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
      "<w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:ascii=\"Liberation Sans\" "
      "w:hAnsi=\"Liberation Sans\" w:cs=\"Liberation Sans\"/><w:sz w:val=\"22\"/>"
      "<w:szCs w:val=\"22\"/></w:rPr></w:rPrDefault><w:pPrDefault><w:pPr>"
      "<w:spacing w:after=\"160\" w:line=\"259\" w:lineRule=\"auto\"/></w:pPr></w:pPrDefault>"
      "</w:docDefaults><w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\">"
      "<w:name w:val=\"Normal\"/></w:style></w:styles>";
  return parts;
}

TEST(Bidi, KeptThroughWritingAndReading) {
  auto doc = ReadBytes(PackageWithBody(BidiBody(), LiberationDefaults()));
  ASSERT_GE(doc->paragraphs.size(), 7u);
  EXPECT_TRUE(doc->paragraphs[0].bidi);
  EXPECT_FALSE(doc->paragraphs[4].bidi);
  // The alignment stays as the file says it: of the paragraph's start and end.
  EXPECT_EQ(doc->paragraphs[1].alignment, Alignment::Left);
  EXPECT_EQ(doc->paragraphs[2].alignment, Alignment::Right);
  const auto bytes = WritePackageToMemory(*doc, false);
  const auto back = ReadBytes(std::string(bytes.begin(), bytes.end()));
  for (std::size_t i = 0; i < doc->paragraphs.size(); ++i) {
    EXPECT_EQ(back->paragraphs[i].bidi, doc->paragraphs[i].bidi) << i;
    EXPECT_EQ(back->paragraphs[i].alignment, doc->paragraphs[i].alignment) << i;
  }
}

// Every word LibreOffice draws has a word (or the first letter of one) of ours at its left edge
// on its line: the same alignment and the same order of words.
TEST(Bidi, DrawnAsLibreOfficeDrawsThem) {
  if (!HaveProgram("soffice") || !HaveProgram("pdftotext"))
    GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
  om_test::EnsureGui();
  TempDir dir;
  const std::string file = dir / "bidi.docx";
  WriteFile(file, PackageWithBody(BidiBody(), LiberationDefaults()));
  const std::string theirs = ConvertWithLibreOffice(file, "pdf", dir / "pdf");
  ASSERT_FALSE(theirs.empty());
  const auto doc = LoadDocumentFile(file);
  Layout layout(*doc, FontMeasurer());
  const std::string ours = dir / "ours.pdf";
  WritePdf(*doc, layout, ours);
  const std::vector<PdfWord> here = PdfWords(ours, 1), there = PdfWords(theirs, 1);
  ASSERT_GT(there.size(), 20u);
  for (const PdfWord& word : there) {
    const bool found = std::any_of(here.begin(), here.end(), [&](const PdfWord& w) {
      return std::fabs(w.x - word.x) < 2.5 && std::fabs(w.y - word.y) < 3;
    });
    EXPECT_TRUE(found) << word.text << " at " << word.x << ", " << word.y;
  }
}

}  // namespace
