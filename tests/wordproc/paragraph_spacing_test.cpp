// Spacing and line heights of paragraphs as Word-written files ask for them: "auto" spacing of
// pasted web pages, contextual spacing of list styles, lines made taller by the pictures on
// them or by a larger font, embedded objects shown by their pictures, and justified lines ended
// by a line break.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <algorithm>

#include "om_support.h"
#include "ooxml_test_support.h"
#include "wordproc/Render.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Layout.h"
#include "wordproc/core/Ooxml.h"

using namespace wordproc;
using namespace ooxml_test;

namespace {

std::map<std::string, std::string> ListStyles() {
  auto parts = SpacingParts();
  parts["word/styles.xml"] =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
      "<w:styles xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
      "<w:docDefaults><w:pPrDefault><w:pPr><w:spacing w:before=\"120\" w:after=\"200\"/>"
      "</w:pPr></w:pPrDefault></w:docDefaults>"
      "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name "
      "w:val=\"Normal\"/></w:style>"
      "<w:style w:type=\"paragraph\" w:styleId=\"List\"><w:name w:val=\"List Paragraph\"/>"
      "<w:pPr><w:contextualSpacing/></w:pPr></w:style></w:styles>";
  return parts;
}

std::string Para(const std::string& text, const std::string& pPr = "") {
  return "<w:p><w:pPr>" + pPr + "</w:pPr><w:r><w:t>" + text + "</w:t></w:r></w:p>";
}

// Items of one list style leave out the spacing between them, not that towards other
// paragraphs, and only where the paragraph itself asks for it.
TEST(ParagraphSpacing, ContextualSpacingBetweenParagraphsOfOneStyle) {
  const std::string list = "<w:pStyle w:val=\"List\"/>";
  const std::string body =
      Para("до") + Para("один", list) + Para("два", list) + Para("три", list) + Para("после") +
      Para("свой", list + "<w:contextualSpacing w:val=\"0\"/>") + Para("чужой", list);
  const auto doc = ReadBytes(PackageWithBody(body, ListStyles()));
  const auto& p = doc->paragraphs;
  ASSERT_EQ(p.size(), 7u);
  EXPECT_FLOAT_EQ(p[0].spaceAfter, 10);
  EXPECT_FLOAT_EQ(p[1].spaceBefore, 6);  // after a paragraph of another style
  EXPECT_FLOAT_EQ(p[1].spaceAfter, 0);
  EXPECT_FLOAT_EQ(p[2].spaceBefore, 0);
  EXPECT_FLOAT_EQ(p[2].spaceAfter, 0);
  EXPECT_FLOAT_EQ(p[3].spaceBefore, 0);
  EXPECT_FLOAT_EQ(p[3].spaceAfter, 10);  // before a paragraph of another style
  EXPECT_FLOAT_EQ(p[4].spaceBefore, 6);
  // The one that turns it off keeps its own spacing; its neighbour still drops its own.
  EXPECT_FLOAT_EQ(p[5].spaceAfter, 10);
  EXPECT_FLOAT_EQ(p[6].spaceBefore, 0);

  // Written back, the spacing kept paginates alike in readers without the rule.
  const auto bytes = WritePackageToMemory(*doc, false);
  const auto back = ReadBytes(std::string(bytes.begin(), bytes.end()));
  for (std::size_t i = 0; i < p.size(); ++i) {
    EXPECT_FLOAT_EQ(back->paragraphs[i].spaceBefore, p[i].spaceBefore) << i;
    EXPECT_FLOAT_EQ(back->paragraphs[i].spaceAfter, p[i].spaceAfter) << i;
  }
}

TEST(ParagraphSpacing, AutoSpacingIsFourteenPoints) {
  const auto doc = ReadBytes(PackageWithBody(
      Para("веб",
           "<w:spacing w:before=\"100\" w:beforeAutospacing=\"1\" w:after=\"100\" "
           "w:afterAutospacing=\"1\"/>") +
      Para("нет", "<w:spacing w:before=\"100\" w:beforeAutospacing=\"0\" w:after=\"40\"/>")));
  EXPECT_FLOAT_EQ(doc->paragraphs[0].spaceBefore, 14);
  EXPECT_FLOAT_EQ(doc->paragraphs[0].spaceAfter, 14);
  EXPECT_FLOAT_EQ(doc->paragraphs[1].spaceBefore, 5);
  EXPECT_FLOAT_EQ(doc->paragraphs[1].spaceAfter, 2);
}

std::string ObjectRun(const std::string& size) {
  return "<w:r><w:object w:dxaOrig=\"1365\" w:dyaOrig=\"765\"><v:shape id=\"_x0000_i1025\" "
         "type=\"#_x0000_t75\" style=\"" +
         size +
         "\" o:ole=\"\"><v:imagedata r:id=\"rIdImg\" o:title=\"\"/></v:shape></w:object></w:r>";
}

// A paragraph of several lines with a tall picture at its end: only the picture's line grows.
// The picture is an embedded object's, which shows as its stored picture.
TEST(ParagraphSpacing, APictureMakesOnlyItsOwnLineTaller) {
  om_test::EnsureGui();
  std::string words;
  for (int k = 0; k < 60; ++k) words += "слово ";
  const std::string body = "<w:p><w:r><w:t>" + words + "</w:t></w:r><w:r><w:br/></w:r>" +
                           ObjectRun("width:60pt;height:50pt") + "</w:p>" + kA4Section;
  const auto png = MakePng(2, 2, 0x336699);
  const auto doc = ReadBytes(
      PackageWithBody(body, {{"word/_rels/document.xml.rels", ImageRels()},
                             {"word/media/image1.png", std::string(png.begin(), png.end())}}));
  ASSERT_EQ(doc->paragraphs[0].inlinePictures.size(), 1u);
  EXPECT_FLOAT_EQ(doc->paragraphs[0].inlinePictures[0].height, 50);

  Layout layout(*doc, FontMeasurer());
  const Paragraph& p = doc->paragraphs[0];
  const double line = LineHeight(p, FontMeasurer().singleLineHeight(LargestFormat(p)));
  const int textLines = FontMeasurer().lineCount(p, layout.paragraphWidth(0)) - 1;
  ASSERT_GE(textLines, 2);
  EXPECT_NEAR(layout.paragraphHeight(0), textLines * line + 50 + p.spaceBefore + p.spaceAfter, 0.5);
}

// A larger word at the head of a paragraph of body text (as the names heading the cases of a
// report): its line is taller, the lines after it keep the body font's height, whether the
// paragraph stands whole, is divided between pages or is drawn.
TEST(ParagraphSpacing, ALargerFontMakesOnlyItsOwnLineTaller) {
  om_test::EnsureGui();
  auto run = [](int halfPoints, const std::string& text) {
    return "<w:r><w:rPr><w:rFonts w:ascii=\"Times New Roman\" w:hAnsi=\"Times New Roman\"/>"
           "<w:sz w:val=\"" +
           std::to_string(halfPoints) + "\"/></w:rPr><w:t xml:space=\"preserve\">" + text +
           "</w:t></w:r>";
  };
  std::string words, pages;
  for (int k = 0; k < 60; ++k) words += " слово";
  for (int k = 0; k < 1000; ++k) pages += " слово";
  const std::string body = "<w:p>" + run(48, "Крупно") + run(22, words) + "</w:p><w:p>" +
                           run(48, "Крупно") + run(22, pages) + "</w:p>" + kA4Section;
  const auto doc = ReadBytes(PackageWithBody(body));
  Layout layout(*doc, FontMeasurer());
  const Paragraph& p = doc->paragraphs[0];
  const double large = FontMeasurer().singleLineHeight(p.runs[0].format);
  const double small = FontMeasurer().singleLineHeight(p.runs[1].format);
  ASSERT_GT(large, small + 10);
  const int lines = FontMeasurer().lineCount(p, layout.paragraphWidth(0));
  ASSERT_GE(lines, 4);
  const double whole = large + (lines - 1) * small + p.spaceBefore + p.spaceAfter;
  EXPECT_NEAR(layout.paragraphHeight(0), whole, 0.5);
  QImage image(600, 800, QImage::Format_RGB32);
  QPainter painter(&image);
  EXPECT_NEAR(DrawParagraph(painter, p, 0, 0, layout.paragraphWidth(0)), whole, 0.5);

  // Divided: the first page is filled with lines of their own heights, the rest go on.
  const std::vector<LinePiece> pieces = layout.piecesOf(1);
  ASSERT_EQ(pieces.size(), 2u);
  const double before = doc->paragraphs[1].spaceBefore;
  const double first = before + large + (pieces[0].lines - 1) * small;
  EXPECT_NEAR(pieces[0].height, first, 0.5);
  const double bottom = doc->pageSetup.pageHeight - doc->pageSetup.bottomMargin;
  EXPECT_LE(pieces[0].top + pieces[0].height, bottom + 0.01);
  EXPECT_GT(pieces[0].top + pieces[0].height + small, bottom);
  EXPECT_NEAR(pieces[1].offset, first, 0.5);
  EXPECT_NEAR(pieces[1].height, pieces[1].lines * small, 0.5);
}

// A justified line ended by a line break is spread to the right margin like the lines before
// it; the paragraph's last line is not.
TEST(ParagraphSpacing, JustifiedLinesEndedByALineBreakAreSpread) {
  if (!HaveProgram("pdftotext")) GTEST_SKIP() << "poppler-utils is not installed";
  om_test::EnsureGui();
  const std::string body =
      "<w:p><w:pPr><w:jc w:val=\"both\"/></w:pPr><w:r><w:t>раз два "
      "конецстроки</w:t></w:r><w:r><w:br/></w:r><w:r><w:t>три "
      "последняя</w:t></w:r></w:p>" +
      std::string(kA4Section);
  const auto doc = ReadBytes(PackageWithBody(body));
  Layout layout(*doc, FontMeasurer());
  TempDir dir;
  WritePdf(*doc, layout, dir / "out.pdf");
  const double right = doc->pageSetup.pageWidth - doc->pageSetup.rightMargin;
  double endOfBroken = 0, endOfLast = 0;
  const std::string out = RunAndCapture("pdftotext -bbox " + Quote(dir / "out.pdf") + " -");
  auto xMaxOf = [&](const std::string& word) {
    const std::size_t at = out.find(">" + word + "<");
    const std::size_t attr = out.rfind("xMax=\"", at);
    return at == std::string::npos ? 0.0 : std::atof(out.c_str() + attr + 6);
  };
  endOfBroken = xMaxOf("конецстроки");
  endOfLast = xMaxOf("последняя");
  EXPECT_NEAR(endOfBroken, right, 2.0);
  EXPECT_LT(endOfLast, right - 100);
}

// An empty paragraph whose mark is hidden takes no room, nor does its spacing; once it holds
// text, or without the hidden mark, it is a line like any other. The mark stays hidden in our
// copy.
TEST(ParagraphSpacing, EmptyParagraphWithAHiddenMarkTakesNoRoom) {
  const std::string hidden =
      "<w:spacing w:before=\"200\" w:after=\"200\"/><w:rPr><w:vanish/></w:rPr>";
  const std::string body = Para("до") + "<w:p><w:pPr>" + hidden + "</w:pPr></w:p>" + Para("после") +
                           Para("с текстом", hidden) + Para("конец");
  const auto doc = ReadBytes(PackageWithBody(body, ListStyles()));
  Layout layout(*doc, EstimatedText());
  const auto& p = doc->paragraphs;
  ASSERT_EQ(p.size(), 5u);
  EXPECT_TRUE(p[1].hiddenMark);
  EXPECT_FLOAT_EQ(layout.paragraphHeight(1), 0);
  // Nothing of it stands between its neighbours, not even spacing shared with the next one.
  EXPECT_FLOAT_EQ(layout.paragraphTop(2), layout.paragraphTop(0) + layout.paragraphHeight(0) -
                                              std::min(p[0].spaceAfter, p[2].spaceBefore));
  EXPECT_GT(layout.paragraphHeight(3), 0);
  const auto bytes = WritePackageToMemory(*doc, false);
  EXPECT_TRUE(ReadBytes(std::string(bytes.begin(), bytes.end()))->paragraphs[1].hiddenMark);
}

}  // namespace
