// Headers and footers: the first page's, even pages' and every page's, per section, inherited
// by sections that name none; read, written back, drawn, and shown on the same pages by
// LibreOffice.
#include <gtest/gtest.h>

#include "om_support.h"
#include "ooxml_test_support.h"
#include "render_support.h"
#include "wordproc/Render.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Layout.h"
#include "wordproc/core/Ooxml.h"

using namespace wordproc;
using namespace ooxml_test;

namespace {

HeaderFooterPtr Story(const std::string& text) {
  auto story = std::make_shared<HeaderFooter>();
  Paragraph p;
  p.runs.push_back({text, RunFormat{}});
  story->paragraphs.push_back(p);
  return story;
}

std::string TextOf(const HeaderFooterPtr& story) {
  return story && !story->paragraphs.empty() ? story->paragraphs[0].text() : "";
}

// Five pages in two sections; the first has a title page and even pages of its own.
std::unique_ptr<Document> TwoSections() {
  auto doc = std::make_unique<Document>();
  doc->paragraphs.clear();
  for (int page = 1; page <= 5; ++page) {
    Paragraph p;
    p.id = doc->newParagraphId();
    p.runs.push_back({"Страница " + std::to_string(page), RunFormat{}});
    p.pageBreakBefore = page > 1;
    doc->paragraphs.push_back(p);
  }
  PageStories first;
  first.titlePage = true;
  first.headers[int(HeaderKind::First)] = Story("Титул");
  first.headers[int(HeaderKind::Default)] = Story("ВерхА");
  first.headers[int(HeaderKind::Even)] = Story("ЧётА");
  first.footers[int(HeaderKind::Default)] = Story("НизА");
  doc->paragraphs[2].sectionEnd = Section{PageSetup{}, SectionStart::NextPage, first};
  doc->lastStories.headers[int(HeaderKind::Default)] = Story("ВерхБ");
  doc->evenAndOddHeaders = true;
  return doc;
}

// What each page shows: header and footer text.
const char* kExpected[][2] = {
    {"Титул", ""}, {"ЧётА", ""}, {"ВерхА", "НизА"}, {"", ""}, {"ВерхБ", ""}};

void ExpectPages(const Document& doc) {
  Layout layout(doc, EstimatedText());
  ASSERT_EQ(layout.pageCount(), 5);
  for (int page = 1; page <= 5; ++page) {
    SCOPED_TRACE(page);
    EXPECT_EQ(TextOf(layout.headerOfPage(page, false)), kExpected[page - 1][0]);
    EXPECT_EQ(TextOf(layout.headerOfPage(page, true)), kExpected[page - 1][1]);
  }
}

TEST(Headers, EachPageShowsItsOwnAndTheyAreWrittenBack) {
  const auto doc = TwoSections();
  ExpectPages(*doc);
  const auto bytes = WritePackageToMemory(*doc, false);
  const auto back = ReadBytes(std::string(bytes.begin(), bytes.end()));
  ExpectPages(*back);
  EXPECT_EQ(back->paragraphs[2].sectionEnd->setup.headerDistance, 35.4f);
}

TEST(Headers, ASectionNamingNoneShowsThoseBeforeIt) {
  const std::string header =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:hdr xmlns:w=\"http://schemas."
      "openxmlformats.org/wordprocessingml/2006/main\"><w:p><w:r><w:t>Общий</w:t></w:r></w:p>"
      "</w:hdr>";
  const std::string body =
      "<w:p><w:pPr><w:sectPr><w:headerReference w:type=\"default\" r:id=\"rIdH\"/>"
      "</w:sectPr></w:pPr><w:r><w:t>Один</w:t></w:r></w:p><w:p><w:r><w:t>Два</w:t></w:r></w:p>"
      "<w:sectPr/>";
  const auto doc = ReadBytes(PackageWithBody(
      body, {{"word/_rels/document.xml.rels", kHeaderRels}, {"word/header1.xml", header}}));
  Layout layout(*doc, EstimatedText());
  ASSERT_EQ(layout.pageCount(), 2);
  EXPECT_EQ(TextOf(layout.headerOfPage(2, false)), "Общий");
  EXPECT_EQ(layout.headerOfPage(1, false), layout.headerOfPage(2, false));
}

// A header taller than the top margin pushes the text down, a footer taller than the bottom
// margin takes room from the page's end.
TEST(Headers, TallOnesTakeRoomFromTheText) {
  Document doc;
  doc.paragraphs.clear();
  for (int k = 0; k < 150; ++k) {  // 51 lines to a page without the header and footer
    Paragraph p;
    p.id = doc.newParagraphId();
    p.runs.push_back({"Строка", RunFormat{}});
    doc.paragraphs.push_back(p);
  }
  Layout plain(doc, EstimatedText());
  const int pages = plain.pageCount();
  auto tall = std::make_shared<HeaderFooter>();
  for (int k = 0; k < 8; ++k) tall->paragraphs.push_back(doc.paragraphs[0]);
  doc.lastStories.headers[int(HeaderKind::Default)] = tall;
  doc.lastStories.footers[int(HeaderKind::Default)] = tall;
  Layout pushed(doc, EstimatedText());
  const double header = 8 * EstimatedText().singleLineHeight(doc.paragraphs[0].runs[0].format);
  EXPECT_NEAR(pushed.textTopOfPage(1), doc.pageSetup.headerDistance + header, 1e-3);
  EXPECT_NEAR(pushed.paragraphTop(0), doc.pageSetup.headerDistance + header, 1e-3);
  EXPECT_GT(pushed.pageCount(), pages);
  const double bottom = doc.pageSetup.pageHeight - doc.pageSetup.footerDistance - header;
  for (std::size_t i = 0; i < doc.paragraphs.size(); ++i)
    EXPECT_LE(pushed.paragraphTop(i) + pushed.paragraphHeight(i), bottom + 1e-3);
}

TEST(Headers, AreDrawnInTheTopAndBottomMargins) {
  render_test::EnsureApplication();
  const auto doc = TwoSections();
  Layout layout(*doc, EstimatedText());
  const QImage page = RenderPage(*doc, layout, 3, 595);
  auto inkIn = [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y)
      for (int x = 0; x < page.width(); ++x)
        if (render_test::IsDark(page.pixel(x, y))) return true;
    return false;
  };
  EXPECT_TRUE(inkIn(30, 60));                                  // the header
  EXPECT_TRUE(inkIn(page.height() - 60, page.height() - 30));  // the footer
  EXPECT_FALSE(inkIn(page.height() - 30, page.height()));
}

TEST(Headers, LibreOfficeShowsThemOnTheSamePages) {
  if (!HaveProgram("soffice") || !HaveProgram("pdftotext"))
    GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
  TempDir dir;
  const std::string file = dir / "headers.docx";
  WritePackage(*TwoSections(), file);
  const std::string pdf = ConvertWithLibreOffice(file, "pdf", dir / "pdf");
  ASSERT_FALSE(pdf.empty());
  const char* all[] = {"Титул", "ВерхА", "ЧётА", "НизА", "ВерхБ"};
  for (int page = 1; page <= 5; ++page) {
    SCOPED_TRACE(page);
    const std::string text = PdfPageText(pdf, page);
    EXPECT_NE(text.find("Страница " + std::to_string(page)), std::string::npos) << text;
    for (const char* story : all) {
      const bool shown = story == std::string(kExpected[page - 1][0]) ||
                         story == std::string(kExpected[page - 1][1]);
      EXPECT_EQ(text.find(story) != std::string::npos, shown) << story;
    }
  }
}

// Three pages under a header with a red text box across the middle of the page, as a watermark.
std::unique_ptr<Document> Watermarked() {
  auto doc = std::make_unique<Document>();
  doc->paragraphs.clear();
  for (int page = 1; page <= 3; ++page) {
    Paragraph p;
    p.id = doc->newParagraphId();
    p.runs.push_back({"Страница " + std::to_string(page), RunFormat{}});
    p.pageBreakBefore = page > 1;
    doc->paragraphs.push_back(p);
  }
  auto header = std::make_shared<HeaderFooter>();
  Paragraph line;
  line.id = 1;
  line.runs.push_back({"Шапка", RunFormat{}});
  header->paragraphs.push_back(line);
  auto box = std::make_unique<Shape>();
  box->id = 7;
  box->kind = ShapeKind::TextBox;
  box->left = 150, box->top = 350, box->width = 300, box->height = 100;
  box->fill.color = 0xFF0000;
  Paragraph mark;
  mark.runs.push_back({"ОБРАЗЕЦ", RunFormat{}});
  box->text.push_back(mark);
  header->shapes.push_back({std::move(box), 1});
  doc->lastStories.headers[int(HeaderKind::Default)] = header;
  return doc;
}

TEST(Headers, TheirShapesStayWithThemAndAreDrawnBehindEveryPage) {
  render_test::EnsureApplication();
  const auto doc = Watermarked();
  const auto bytes = WritePackageToMemory(*doc, false);
  const auto back = ReadBytes(std::string(bytes.begin(), bytes.end()));
  EXPECT_TRUE(back->shapes.empty()) << "a header's shape is not the body's";
  const HeaderFooterPtr header = back->lastStories.headers[int(HeaderKind::Default)];
  ASSERT_TRUE(header);
  ASSERT_EQ(header->shapes.size(), 1u);
  const Shape& box = *header->shapes[0].shape;
  EXPECT_NEAR(box.left, 150, 0.01);
  EXPECT_NEAR(box.top, 350, 0.01);
  EXPECT_EQ(box.fill.color, 0xFF0000u);
  ASSERT_EQ(box.text.size(), 1u);
  EXPECT_EQ(box.text[0].text(), "ОБРАЗЕЦ");
  Layout layout(*back, EstimatedText());
  ASSERT_EQ(layout.pageCount(), 3);
  for (int page = 1; page <= 3; ++page) {
    const QImage image = RenderPage(*back, layout, page, 595);
    const QColor inside = image.pixelColor(300, 370);
    EXPECT_GT(inside.red(), 200) << page;
    EXPECT_LT(inside.green(), 60) << page;
  }
}

TEST(Headers, LibreOfficeShowsTheirShapesOnEveryPage) {
  if (!HaveProgram("soffice") || !HaveProgram("pdftotext"))
    GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
  TempDir dir;
  const std::string file = dir / "watermark.docx";
  WritePackage(*Watermarked(), file);
  const std::string pdf = ConvertWithLibreOffice(file, "pdf", dir / "pdf");
  ASSERT_FALSE(pdf.empty());
  for (int page = 1; page <= 3; ++page)
    EXPECT_NE(PdfPageText(pdf, page).find("ОБРАЗЕЦ"), std::string::npos) << page;
}

// A footer of a Word-written report says "Page N of M" through PAGE and NUMPAGES fields: each
// page shows its own number, here, in our copy of the file, and in LibreOffice's view of it.
TEST(Headers, PageNumbersAreThoseOfEachPage) {
  om_test::EnsureGui();
  TempDir dir;
  const auto doc = LoadDocumentFile(VSP_TEST_DATA "/word-corpus/apache-poi/60329.docx");
  WritePackage(*doc, dir / "copy.docx");
  const auto copy = LoadDocumentFile(dir / "copy.docx");
  for (const Document* d : {doc.get(), copy.get()}) {
    Layout layout(*d, FontMeasurer());
    ASSERT_EQ(layout.pageCount(), 3);
    WritePdf(*d, layout, dir / "ours.pdf");
    for (int page = 1; page <= 3; ++page) {
      const std::string text = PdfPageText(dir / "ours.pdf", page);
      EXPECT_NE(text.find("Page " + std::to_string(page) + " of 3"), std::string::npos)
          << page << ": " << text;
    }
  }
  if (!HaveProgram("soffice")) return;
  const std::string pdf = ConvertWithLibreOffice(dir / "copy.docx", "pdf", dir / "pdf");
  ASSERT_FALSE(pdf.empty());
  EXPECT_NE(PdfPageText(pdf, 2).find("Page 2 of 3"), std::string::npos) << PdfPageText(pdf, 2);
}

// A section may begin its own page numbering; sections that do not go on counting.
TEST(Headers, SectionsMayBeginTheirOwnPageNumbers) {
  auto doc = TwoSections();
  doc->paragraphs[2].sectionEnd->setup.firstPageNumber = 24;
  doc->pageSetup.firstPageNumber = 0;
  Layout layout(*doc, EstimatedText());
  ASSERT_EQ(layout.pageCount(), 5);
  const int expected[] = {24, 25, 26, 0, 1};
  for (int page = 1; page <= 5; ++page)
    EXPECT_EQ(layout.pageNumberOfPage(page), expected[page - 1]);

  const auto bytes = WritePackageToMemory(*doc, false);
  const auto back = ReadBytes(std::string(bytes.begin(), bytes.end()));
  ASSERT_TRUE(back->paragraphs[2].sectionEnd);
  EXPECT_EQ(back->paragraphs[2].sectionEnd->setup.firstPageNumber, 24);
  EXPECT_EQ(back->pageSetup.firstPageNumber, 0);
  doc->pageSetup.firstPageNumber.reset();
  Layout counting(*doc, EstimatedText());
  EXPECT_EQ(counting.pageNumberOfPage(5), 28);
}

}  // namespace
