// Text columns: read and written with their sections, text flowing from column to column and
// page to page, column breaks, columns evened out above a section that goes on on the same
// page, and all of it where LibreOffice puts it.
#include <gtest/gtest.h>

#include "om_support.h"
#include "ooxml_test_support.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Layout.h"
#include "wordproc/core/Ooxml.h"

using namespace wordproc;
using namespace ooxml_test;

namespace {

std::string P(const std::string& text, const std::string& pPr = "") {
  return "<w:p>" + (pPr.empty() ? "" : "<w:pPr>" + pPr + "</w:pPr>") +
         "<w:r><w:t xml:space=\"preserve\">" + text + "</w:t></w:r></w:p>";
}

std::string Sect(const std::string& type, const std::string& cols) {
  return "<w:sectPr>" + (type.empty() ? "" : "<w:type w:val=\"" + type + "\"/>") +
         "<w:pgSz w:w=\"11906\" w:h=\"16838\"/><w:pgMar w:top=\"1440\" w:right=\"1440\" "
         "w:bottom=\"1440\" w:left=\"1440\" w:header=\"708\" w:footer=\"708\" w:gutter=\"0\"/>" +
         cols + "</w:sectPr>";
}

std::string Words(int n) {
  std::string text;
  for (int k = 0; k < n; ++k) text += "текст строки колонки ";
  return text;
}

// Two columns with a line between over a page and a half, three narrower ones going on on the
// same page, and one column after them: paragraphs of many lengths divide between columns.
std::string ColumnsBody() {
  std::string body;
  for (int k = 1; k <= 18; ++k)
    body += P("Метка 1." + std::to_string(k) + " " + Words(k * 7 % 23 + 1));
  body += P("Метка 1.99 конец", Sect("", "<w:cols w:num=\"2\" w:sep=\"1\" w:space=\"720\"/>"));
  for (int k = 1; k <= 12; ++k)
    body += P("Метка 2." + std::to_string(k) + " " + Words(k * 5 % 11 + 1));
  body += P("Метка 2.99 конец", Sect("continuous", "<w:cols w:num=\"3\" w:space=\"360\"/>"));
  body += P("Метка 3.1 после колонок") + P("Метка 3.2 " + Words(3));
  return body + Sect("continuous", "<w:cols w:space=\"720\"/>");
}

TEST(Columns, ReadAndWrittenWithTheirSection) {
  const std::string unequal =
      "<w:cols w:num=\"2\" w:space=\"0\" w:equalWidth=\"0\"><w:col w:w=\"2000\" "
      "w:space=\"400\"/><w:col w:w=\"6626\"/></w:cols>";
  auto doc = ReadBytes(PackageWithBody(
      P("один", Sect("", "<w:cols w:num=\"3\" w:sep=\"1\" w:space=\"240\"/>")) +
      "<w:p><w:r><w:t>до</w:t><w:br w:type=\"column\"/><w:t>после</w:t></w:r></w:p>" +
      Sect("continuous", unequal)));
  const TextColumns& three = doc->paragraphs[0].sectionEnd->setup.columns;
  EXPECT_EQ(three.count, 3);
  EXPECT_FLOAT_EQ(three.space, 12);
  EXPECT_TRUE(three.separator);
  const TextColumns& listed = doc->pageSetup.columns;
  ASSERT_EQ(listed.widths.size(), 2u);
  EXPECT_FLOAT_EQ(listed.widths[0].width, 100);
  EXPECT_FLOAT_EQ(listed.widths[0].space, 20);
  EXPECT_EQ(doc->paragraphs[1].text(), std::string("до") + kColumnBreak + "после");

  const auto bytes = WritePackageToMemory(*doc, false);
  const auto back = ReadBytes(std::string(bytes.begin(), bytes.end()));
  EXPECT_EQ(back->paragraphs[0].sectionEnd->setup, doc->paragraphs[0].sectionEnd->setup);
  EXPECT_EQ(back->pageSetup, doc->pageSetup);
  EXPECT_EQ(back->paragraphs[1].text(), doc->paragraphs[1].text());

  // Hostile counts and widths: at most 45 columns, none narrower than a few letters.
  auto many = ReadBytes(PackageWithBody(P("x") + Sect("", "<w:cols w:num=\"100000\"/>")));
  EXPECT_EQ(many->pageSetup.columns.count, 45);
  const std::vector<ColumnBox> boxes = ColumnBoxes(many->pageSetup);
  EXPECT_GT(boxes.size(), 1u);
  EXPECT_GE(boxes.back().width, 9);
  EXPECT_LE(boxes.back().left + boxes.back().width, 72 + 451.3f + 0.01f);
}

// 200 x 200 points, 50-point margins: two columns of 45 points with 10 between.
Document TwoColumnPages(int paragraphs, const std::string& text = "ab") {
  Document doc;
  doc.pageSetup = {200, 200, 50, 50, 50, 50};
  doc.pageSetup.columns.count = 2;
  doc.pageSetup.columns.space = 10;
  doc.paragraphs.clear();
  for (int k = 0; k < paragraphs; ++k) {
    Paragraph p;
    p.id = doc.newParagraphId();
    p.runs.push_back({text, RunFormat{}});
    doc.paragraphs.push_back(p);
  }
  return doc;
}

TEST(Columns, TextFillsEachColumnThenThePage) {
  Document doc = TwoColumnPages(20);
  Layout layout(doc, EstimatedText());
  const float line = layout.paragraphHeight(0);
  const int perColumn = int(100 / line);
  EXPECT_EQ(layout.pageOfParagraph(std::size_t(perColumn) - 1), 1);
  EXPECT_FLOAT_EQ(layout.paragraphLeft(std::size_t(perColumn) - 1), 50);
  EXPECT_FLOAT_EQ(layout.paragraphLeft(std::size_t(perColumn)), 105);
  EXPECT_FLOAT_EQ(layout.paragraphTop(std::size_t(perColumn)), 50);
  EXPECT_FLOAT_EQ(layout.paragraphWidth(std::size_t(perColumn)), 45);
  EXPECT_EQ(layout.pageOfParagraph(std::size_t(2 * perColumn)), 2);
  EXPECT_FLOAT_EQ(layout.paragraphLeft(std::size_t(2 * perColumn)), 50);
  EXPECT_EQ(layout.pageCount(), (20 + 2 * perColumn - 1) / (2 * perColumn));

  // A column break: the rest of the paragraph at the top of the next column, and from the
  // last column at the top of the next page.
  doc.paragraphs[0].runs[0].text = std::string("a") + kColumnBreak + "b" + kColumnBreak + "c";
  layout.invalidateFrom(0);
  const std::vector<BreakPart> parts = layout.breakPartsOf(0);
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(parts[1].page, 1);
  EXPECT_FLOAT_EQ(parts[1].left, 105);
  EXPECT_FLOAT_EQ(parts[1].top, 50);
  EXPECT_EQ(parts[2].page, 2);
  EXPECT_FLOAT_EQ(parts[2].left, 50);
  EXPECT_EQ(layout.pageOfParagraph(1), 2);
}

TEST(Columns, EvenedOutAboveASectionOnTheSamePage) {
  Document doc = TwoColumnPages(6);
  Section columns;
  columns.setup = doc.pageSetup;
  columns.setup.columns.separator = true;
  doc.paragraphs[4].sectionEnd = columns;  // five paragraphs in two columns: three and two
  doc.pageSetup.columns = TextColumns{};
  doc.lastSectionStart = SectionStart::Continuous;
  Layout layout(doc, EstimatedText());
  const float line = layout.paragraphHeight(0);
  EXPECT_FLOAT_EQ(layout.paragraphLeft(2), 50);
  EXPECT_FLOAT_EQ(layout.paragraphLeft(3), 105);
  EXPECT_FLOAT_EQ(layout.paragraphTop(3), 50);
  EXPECT_EQ(layout.pageOfParagraph(5), 1);
  EXPECT_NEAR(layout.paragraphTop(5), 50 + 3 * line, 0.01);
  EXPECT_FLOAT_EQ(layout.paragraphWidth(5), 100);
  const std::vector<RectF> rules = layout.columnRulesOnPage(1);
  ASSERT_EQ(rules.size(), 1u);
  EXPECT_FLOAT_EQ(rules[0].x, 100);
  EXPECT_NEAR(rules[0].y + rules[0].height, 50 + 3 * line, 0.01);

  // An edit in the columns evens them out again.
  doc.paragraphs.erase(doc.paragraphs.begin());
  layout.invalidateFrom(0);
  EXPECT_FLOAT_EQ(layout.paragraphLeft(1), 50);
  EXPECT_FLOAT_EQ(layout.paragraphLeft(2), 105);
  EXPECT_NEAR(layout.paragraphTop(4), 50 + 2 * line, 0.01);
}

// Where each "Метка N.N" begins in a PDF: the box of the word before its number.
std::map<std::string, PdfWord> LabelsIn(const std::string& pdf) {
  const std::vector<PdfWord> words = PdfWords(pdf);
  std::map<std::string, PdfWord> labels;
  for (std::size_t k = 1; k < words.size(); ++k)
    if (words[k - 1].text == "Метка") labels.emplace(words[k].text, words[k - 1]);
  return labels;
}

TEST(Columns, FlowAsInLibreOffice) {
  if (!HaveProgram("soffice") || !HaveProgram("pdftotext"))
    GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
  om_test::EnsureGui();
  TempDir dir;
  const std::string file = dir / "columns.docx";
  WriteFile(file, PackageWithBody(ColumnsBody(), WordDefaultStyles()));
  const auto doc = LoadDocumentFile(file);
  const std::string ours = dir / "columns-ours.docx";
  WritePackage(*doc, ours);
  for (const std::string& path : {file, ours}) {
    SCOPED_TRACE(path);
    const std::string pdf = ConvertWithLibreOffice(path, "pdf", dir / "pdf");
    ASSERT_FALSE(pdf.empty());
    const auto there = LabelsIn(pdf);
    Layout layout(*doc, FontMeasurer());
    int labels = 0;
    for (std::size_t i = 0; i < doc->paragraphs.size(); ++i) {
      const std::string text = doc->paragraphs[i].text();
      const std::string label = text.substr(11, text.find(' ', 11) - 11);  // after "Метка "
      const auto found = there.find(label);
      if (found == there.end()) {
        ADD_FAILURE() << label << " is not in LibreOffice's PDF";
        continue;
      }
      ++labels;
      EXPECT_EQ(found->second.page, layout.pageOfParagraph(i)) << label;
      EXPECT_NEAR(found->second.x, layout.paragraphLeft(i), 1.0) << label;
      EXPECT_NEAR(found->second.y,
                  layout.paragraphTop(i) + std::max(0.0f, doc->paragraphs[i].spaceBefore), 1.5)
          << label;
    }
    EXPECT_EQ(labels, 34);
  }
}

}  // namespace
