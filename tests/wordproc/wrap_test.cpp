// Body text making way for floating shapes: a shape text wraps around that leaves no room
// beside it sends the text below it, as in the word processor and LibreOffice; shapes in front
// of the text do not. The wrapping is kept on save, in DrawingML and in VML.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include "om_support.h"
#include "ooxml_test_support.h"
#include "wordproc/Render.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Layout.h"
#include "wordproc/core/Ooxml.h"

using namespace wordproc;
using namespace ooxml_test;
using wordlink::Variant;

namespace {

std::string Para(const std::string& text, const std::string& runs = "") {
  return "<w:p>" + runs + "<w:r><w:t>" + text + "</w:t></w:r></w:p>";
}

// A rectangle as wide as the A4 section's column, 100 points tall, 40 points below the top of
// its paragraph.
std::string Anchored(const std::string& wrap, int id) {
  return "<w:r><w:drawing><wp:anchor distT=\"0\" distB=\"0\" distL=\"114300\" distR=\"114300\" "
         "simplePos=\"0\" relativeHeight=\"1\" behindDoc=\"0\" locked=\"0\" layoutInCell=\"1\" "
         "allowOverlap=\"1\"><wp:simplePos x=\"0\" y=\"0\"/><wp:positionH "
         "relativeFrom=\"column\"><wp:posOffset>0</wp:posOffset></wp:positionH><wp:positionV "
         "relativeFrom=\"paragraph\"><wp:posOffset>508000</wp:posOffset></wp:positionV>"
         "<wp:extent cx=\"5731510\" cy=\"1270000\"/>" +
         wrap + "<wp:docPr id=\"" + std::to_string(id) + "\" name=\"Фигура " + std::to_string(id) +
         "\"/><a:graphic><a:graphicData "
         "uri=\"http://schemas.microsoft.com/office/word/2010/wordprocessingShape\"><wps:wsp>"
         "<wps:cNvSpPr/><wps:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"5731510\" "
         "cy=\"1270000\"/></a:xfrm><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom>"
         "<a:solidFill><a:srgbClr val=\"C0D8F0\"/></a:solidFill></wps:spPr><wps:bodyPr/>"
         "</wps:wsp></a:graphicData></a:graphic></wp:anchor></w:drawing></w:r>";
}

std::string VmlSquare() {
  return "<w:r><w:pict xmlns:w10=\"urn:schemas-microsoft-com:office:word\"><v:rect "
         "id=\"Квадрат\" style=\"position:absolute;margin-left:0;margin-top:40pt;width:451.3pt;"
         "height:100pt;z-index:2;mso-position-horizontal-relative:text;"
         "mso-position-vertical-relative:text;mso-wrap-distance-top:6pt\" fillcolor=\"#F0D8C0\">"
         "<w10:wrap type=\"square\"/></v:rect></w:pict></w:r>";
}

// Three shapes, each anchored to a paragraph followed by a marker word: one passed above and
// below, one in a square in VML, and one in front of the text.
std::string Body() {
  return Para("Альфа", Anchored("<wp:wrapTopAndBottom/>", 1)) + Para("Бета") + Para("Гамма") +
         Para("Дельта", VmlSquare()) + Para("Эпсилон") +
         Para("Дзета", Anchored("<wp:wrapNone/>", 3)) + Para("Эта") + std::string(kA4Section);
}

double TopOf(const std::vector<PdfWord>& words, const std::string& text) {
  for (const PdfWord& word : words)
    if (word.text == text) return word.page * 10000.0 + word.y;
  ADD_FAILURE() << text << " is not in the PDF";
  return 0;
}

const Shape* Named(const Document& doc, const std::string& name) {
  for (const AnchoredShape& anchored : doc.shapes)
    if (anchored.shape->name == name) return anchored.shape.get();
  ADD_FAILURE() << name << " is not in the document";
  static const Shape none;
  return &none;
}

// How far the text after each shape's paragraph stands below the paragraph's own text.
std::vector<double> Gaps(const std::vector<PdfWord>& words) {
  return {TopOf(words, "Гамма") - TopOf(words, "Альфа"),
          TopOf(words, "Эпсилон") - TopOf(words, "Дельта"),
          TopOf(words, "Эта") - TopOf(words, "Дзета")};
}

TEST(TextWrap, TextGoesBelowShapesThatLeaveNoRoomBesideThemAsLibreOfficeSetsIt) {
  if (!HaveProgram("soffice") || !HaveProgram("pdftotext"))
    GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
  om_test::EnsureGui();
  TempDir dir;
  const std::string original = dir / "wrap.docx";
  WriteFile(original, PackageWithBody(Body(), SpacingParts()));
  const auto doc = LoadDocumentFile(original);
  ASSERT_EQ(doc->shapes.size(), 3u);
  EXPECT_EQ(Named(*doc, "Фигура 1")->wrap.type, WrapType::TopAndBottom);
  EXPECT_EQ(Named(*doc, "Квадрат")->wrap.type, WrapType::Square);
  EXPECT_FLOAT_EQ(Named(*doc, "Квадрат")->wrap.top, 6);
  EXPECT_EQ(Named(*doc, "Фигура 3")->wrap.type, WrapType::None);

  Layout layout(*doc, FontMeasurer());
  WritePdf(*doc, layout, dir / "ours.pdf");
  // The text after each wrapping shape starts below it; the shape in front lets it be.
  const std::vector<double> ours = Gaps(PdfWords(dir / "ours.pdf"));
  EXPECT_GE(ours[0], 139.5);
  EXPECT_GE(ours[1], 139.5);
  EXPECT_LT(ours[2], 60);

  // LibreOffice sets the same file, and our copy of it, alike.
  ASSERT_NO_THROW(WritePackage(*doc, dir / "copy.docx"));
  const auto copy = LoadDocumentFile(dir / "copy.docx");
  ASSERT_EQ(copy->shapes.size(), 3u);
  for (const char* name : {"Фигура 1", "Квадрат", "Фигура 3"})
    EXPECT_EQ(Named(*copy, name)->wrap, Named(*doc, name)->wrap) << name;
  for (const std::string& name : {original, dir / "copy.docx"}) {
    SCOPED_TRACE(name);
    const std::string pdf = ConvertWithLibreOffice(name, "pdf", dir.path());
    ASSERT_FALSE(pdf.empty());
    // LibreOffice sets the line that meets a shape a little lower than we do, by up to a line.
    const std::vector<double> theirs = Gaps(PdfWords(pdf));
    for (std::size_t k = 0; k < ours.size(); ++k) EXPECT_NEAR(ours[k], theirs[k], 24) << k;
  }
}

// A square 108 by 72 points (a wrap distance of 9 at its sides) at x points from the column's
// left edge, level with the top of its paragraph.
std::string SmallSquare(int x, int id) {
  std::string shape = Anchored("<wp:wrapSquare wrapText=\"bothSides\"/>", id);
  shape.replace(shape.find("<wp:posOffset>0<"), 16,
                "<wp:posOffset>" + std::to_string(x * 12700) + "<");
  shape.replace(shape.find("508000"), 6, "0");
  for (std::size_t at; (at = shape.find("5731510")) != std::string::npos;)
    shape.replace(at, 7, "1371600");
  for (std::size_t at; (at = shape.find("1270000")) != std::string::npos;)
    shape.replace(at, 7, "914400");
  return shape;
}

// Paragraphs reaching into the height of a shape with room beside it stand in that room, on
// the wider side; the text below the shape has the column again. Where LibreOffice begins the
// paragraphs' lines too.
TEST(TextWrap, TextStandsBesideShapesWithRoom) {
  om_test::EnsureGui();
  std::string words;
  for (int k = 0; k < 36; ++k) words += " слово";
  const std::string body = Para("Слева" + words, SmallSquare(0, 1)) + Para("Ниже" + words) +
                           Para("Справа" + words, SmallSquare(340, 2)) + Para("Конец") +
                           std::string(kA4Section);
  TempDir dir;
  const std::string file = dir / "beside.docx";
  WriteFile(file, PackageWithBody(body, SpacingParts()));
  const auto doc = LoadDocumentFile(file);
  Layout layout(*doc, FontMeasurer());
  const float left = doc->pageSetup.leftMargin, column = TextColumnWidth(doc->pageSetup);
  EXPECT_NEAR(layout.paragraphLeft(0), left + 117, 0.5);
  EXPECT_NEAR(layout.paragraphWidth(0), column - 117, 0.5);
  EXPECT_FLOAT_EQ(layout.paragraphLeft(1), left);
  EXPECT_FLOAT_EQ(layout.paragraphWidth(1), column);
  EXPECT_FLOAT_EQ(layout.paragraphLeft(2), left);
  EXPECT_NEAR(layout.paragraphWidth(2), 331, 0.5);
  // Beside its shape, the first paragraph is taller than in the whole column.
  EXPECT_GT(layout.paragraphHeight(0), ParagraphHeight(doc->paragraphs[0], column, FontMeasurer()));
  EXPECT_GE(layout.paragraphTop(1) + 0.5, layout.paragraphTop(0) + 72 - 14);

  if (!HaveProgram("soffice") || !HaveProgram("pdftotext")) return;
  WritePdf(*doc, layout, dir / "ours.pdf");
  const std::string theirs = ConvertWithLibreOffice(file, "pdf", dir.path());
  ASSERT_FALSE(theirs.empty());
  const auto here = PdfWords(dir / "ours.pdf"), there = PdfWords(theirs);
  for (const char* word : {"Слева", "Ниже", "Справа"}) {
    auto x = [&](const std::vector<PdfWord>& words) {
      for (const PdfWord& w : words)
        if (w.text == word) return w.x;
      ADD_FAILURE() << word;
      return 0.0;
    };
    EXPECT_NEAR(x(here), x(there), 1.5) << word;
  }
}

// A shape reaching into the first line of its own paragraph sends that line below it, and
// stays where the paragraph would have begun.
TEST(TextWrap, ParagraphMovesBelowItsOwnShape) {
  om_test::EnsureGui();
  std::string shape = Anchored("<wp:wrapSquare wrapText=\"bothSides\"/>", 1);
  shape.replace(shape.find("508000"), 6, "0");
  const auto doc = ReadBytes(PackageWithBody(
      Para("до") + Para("Альфа", shape) + Para("Бета") + std::string(kA4Section), SpacingParts()));
  Layout layout(*doc, FontMeasurer());
  const float before = layout.paragraphTop(0) + layout.paragraphHeight(0);
  const RectF box = layout.shapeRectOnPage(doc->shapes[0]);
  EXPECT_NEAR(box.y, before, 1.0);
  EXPECT_GE(layout.paragraphTop(1), box.y + box.height - 0.5);
  EXPECT_GT(layout.paragraphTop(2), layout.paragraphTop(1));
  EXPECT_EQ(layout.pageOfShape(doc->shapes[0]), 1);

  // Edits above it lay it out again from scratch: the shape moves with its paragraph.
  const_cast<Document&>(*doc).paragraphs[0].spaceBefore += 20;
  layout.invalidateFrom(0);
  EXPECT_NEAR(layout.shapeRectOnPage(doc->shapes[0]).y, box.y + 20, 1.0);
  EXPECT_GE(layout.paragraphTop(1), box.y + 20 + box.height - 0.5);
}

}  // namespace

namespace {

// A table of two cells 200 points wide, indented by 50, whose second cell holds a red box
// placed 10 points right and 5 down; from the cell when laid out in it, else from the margins.
std::string TableWithBoxInCell(const char* layoutInCell) {
  std::string box = Anchored("<wp:wrapNone/>", 1);
  box.replace(box.find("layoutInCell=\"1\""), 16,
              std::string("layoutInCell=\"") + layoutInCell + "\"");
  box.replace(box.find("508000"), 6, "63500");
  box.replace(box.find("<wp:posOffset>0<"), 16, "<wp:posOffset>127000<");
  for (const char* size : {"5731510", "5731510"}) box.replace(box.find(size), 7, "635000");
  for (int k = 0; k < 2; ++k) box.replace(box.find("1270000"), 7, "381000");
  box.replace(box.find("C0D8F0"), 6, "FF0000");
  auto cell = [](const std::string& content) {
    return "<w:tc><w:tcPr><w:tcW w:w=\"4000\" w:type=\"dxa\"/></w:tcPr><w:p>" + content +
           "<w:r><w:t>x</w:t></w:r></w:p><w:p/></w:tc>";
  };
  return Para("Начало") +
         "<w:tbl><w:tblPr><w:tblW w:w=\"8000\" w:type=\"dxa\"/><w:tblInd w:w=\"1000\" "
         "w:type=\"dxa\"/></w:tblPr><w:tblGrid><w:gridCol w:w=\"4000\"/><w:gridCol "
         "w:w=\"4000\"/></w:tblGrid><w:tr><w:trPr><w:trHeight w:val=\"2000\" "
         "w:hRule=\"exact\"/></w:trPr>" +
         cell("") + cell(box) + "</w:tr></w:tbl><w:p/>" + std::string(kA4Section);
}

// The top-left corner of the red on the PDF's first page, in points.
std::pair<int, int> RedCorner(const std::string& pdf, const std::string& stem) {
  RunAndCapture("pdftoppm -r 72 -png -singlefile -f 1 -l 1 " + Quote(pdf) + " " + Quote(stem));
  const QImage image(QString::fromStdString(stem + ".png"));
  int left = image.width(), top = image.height();
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.red() > 200 && c.green() < 60 && c.blue() < 60) {
        left = std::min(left, x);
        top = std::min(top, y);
      }
    }
  return {left, top};
}

// A shape anchored in a table cell is placed from the cell, where LibreOffice places it too;
// one that the file keeps out of the cell is placed from the margins.
TEST(TextWrap, ShapesLaidOutInTheirCellArePlacedFromIt) {
  if (!HaveProgram("soffice") || !HaveProgram("pdftoppm"))
    GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
  om_test::EnsureGui();
  TempDir dir;
  const std::string file = dir / "cell.docx";
  WriteFile(file, PackageWithBody(TableWithBoxInCell("1"), WordDefaultStyles()));
  const auto doc = LoadDocumentFile(file);
  ASSERT_EQ(doc->shapes.size(), 1u);
  Layout layout(*doc, FontMeasurer());
  WritePdf(*doc, layout, dir / "ours.pdf");
  // Where the box stands from the text of its cell, which the two set at heights of their own.
  auto fromCellText = [&](const std::string& pdf, const std::string& stem) {
    const auto [x, y] = RedCorner(pdf, stem);
    const auto words = PdfWords(pdf);
    const auto text =
        std::find_if(words.rbegin(), words.rend(), [](const PdfWord& w) { return w.text == "x"; });
    return text == words.rend() ? std::make_pair(-1.0, -1.0)
                                : std::make_pair(x - text->x, y - text->y);
  };
  const auto theirs = fromCellText(ConvertWithLibreOffice(file, "pdf", dir.path()), dir / "theirs");
  const auto ours = fromCellText(dir / "ours.pdf", dir / "ours");
  EXPECT_NEAR(ours.first, theirs.first, 2);
  // Within the few points by which the two set the cell's first line apart.
  EXPECT_NEAR(ours.second, theirs.second, 4);
  EXPECT_GT(theirs.first, 0);  // right of the cell's text, not at the page's margin

  const auto outside = ReadBytes(PackageWithBody(TableWithBoxInCell("0"), SpacingParts()));
  EXPECT_FALSE(outside->shapes[0].shape->layoutInCell);
  Layout margins(*outside, FontMeasurer());
  EXPECT_NEAR(margins.shapeRectOnPage(outside->shapes[0]).x, 72 + 10, 0.5);
  const auto bytes = WritePackageToMemory(*outside, false);
  EXPECT_FALSE(ReadBytes(std::string(bytes.begin(), bytes.end()))->shapes[0].shape->layoutInCell);
}

}  // namespace

namespace {

class WrapAutomation : public om_test::OmTest {};

// Through automation, WrapFormat turns wrapping on and off, and the text follows the shape as
// it moves.
TEST_F(WrapAutomation, WrapFormatMovesTheTextAndMovingTheShapeCarriesItAlong) {
  om_test::EnsureGui();
  Variant word = om_test::NewWord();
  Variant doc = word.get("Documents").call("Add");
  doc.get("Content").call("InsertAfter", "Альфа\rБета\rГамма");
  // Where the second and third paragraphs begin ("Альфа\r" and "Бета\r" before them).
  auto topOf = [&](int paragraph) {
    const int start = paragraph == 2 ? 6 : 11;
    return doc.call("Range", start, start).call("Information", 6).toFloat();
  };
  const float before = topOf(2);
  Variant shape = doc.get("Shapes").call("AddShape", 1, 72, 80, 300, 80);
  Variant wrap = shape.get("WrapFormat");
  EXPECT_EQ(wrap.get("Type").toInt(), 3);  // in front of the text, as new shapes are
  EXPECT_FLOAT_EQ(topOf(2), before);

  wrap.put("Type", 4);
  wrap.put("DistanceBottom", 6);
  EXPECT_EQ(wrap.get("Type").toInt(), 4);
  EXPECT_NEAR(topOf(2), 166, 0.5);  // below the shape and the room it keeps
  shape.put("Top", 95);
  EXPECT_NEAR(topOf(2), 181, 0.5);
  EXPECT_THROW(wrap.put("Type", 9), wordlink::AutomationError);
  wrap.put("Type", 3);
  EXPECT_FLOAT_EQ(topOf(2), before);
  word.call("Quit", 0);
}

}  // namespace
