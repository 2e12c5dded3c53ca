// The text frames of text boxes: insets, vertical anchoring, growing to the text and cutting it
// off, read from both shape languages, written back, drawn, and drawn as LibreOffice draws them.
#include <gtest/gtest.h>

#include <fstream>

#include "ooxml_test_support.h"
#include "render_support.h"
#include "wordproc/Render.h"
#include "wordproc/core/Layout.h"
#include "wordproc/core/Ooxml.h"

using namespace wordproc;
using namespace ooxml_test;
using namespace render_test;

namespace {

const Shape& OnlyShape(const Document& doc) {
  EXPECT_EQ(doc.shapes.size(), 1u);
  return *doc.shapes.at(0).shape;
}

std::unique_ptr<Document> Reread(const std::vector<std::uint8_t>& bytes) {
  return ReadBytes(std::string(bytes.begin(), bytes.end()));
}

TEST(TextFrame, IsWrittenAndReadBackInBothShapeLanguages) {
  for (ShapeKind kind : {ShapeKind::TextBox, ShapeKind::AutoShape}) {
    auto doc = PlainDocument();
    Shape& box = Place(*doc, NewShape(kind, 50, 50, 200, 100));
    box.autoShapeType = AutoShapeType::Oval;
    box.text.push_back(TextParagraph(*doc, "Надпись"));
    box.frame = {0, 2, 4.5f, 6, TextAnchor::Bottom, true, false};
    EXPECT_EQ(OnlyShape(*Reread(WritePackageToMemory(*doc, false))).frame, box.frame);
    // The package a binary save goes through carries autoshapes as VML, which has no word for
    // text running past the bottom: it comes back cut off.
    TextFrame expected = box.frame;
    expected.clip = kind == ShapeKind::AutoShape;
    EXPECT_EQ(OnlyShape(*Reread(WritePackageForConversion(*doc, false))).frame, expected);
  }
}

TEST(TextFrame, VmlInsetsAnchorAndFitAreRead) {
  const std::string body =
      "<w:p><w:r><w:pict><v:shape id=\"box\" type=\"#_x0000_t202\" style=\"position:absolute;"
      "margin-left:10pt;margin-top:10pt;width:100pt;height:50pt;v-text-anchor:middle\">"
      "<v:textbox inset=\"1pt,2pt,,4pt\" style=\"mso-fit-shape-to-text:t\"><w:txbxContent><w:p>"
      "<w:r><w:t>Текст</w:t></w:r></w:p></w:txbxContent></v:textbox></v:shape></w:pict></w:r>"
      "</w:p>";
  const auto doc = ReadBytes(PackageWithBody(body));
  // The inset left out keeps its default.
  EXPECT_EQ(OnlyShape(*doc).frame, (TextFrame{1, 2, 7.2f, 4, TextAnchor::Middle, true, true}));
}

struct Rows {
  int first = -1, last = -1;
};

// The rows holding dark pixels between x0 and x1: first and last.
Rows InkRows(const QImage& image, int x0, int x1, int y0, int y1) {
  Rows rows;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      if (IsDark(image.pixel(x, y))) {
        if (rows.first < 0) rows.first = y;
        rows.last = y;
        break;
      }
  return rows;
}

class TextFrameRender : public ::testing::Test {
 protected:
  void SetUp() override { EnsureApplication(); }

  // A 200-point square box at (100, 100) without outline holding one 20-point line.
  Rows Ink(TextAnchor anchor) {
    auto doc = PlainDocument();
    Shape& box = Place(*doc, NewShape(ShapeKind::TextBox, 100, 100, 200, 200));
    box.line.visible = false;
    box.text.push_back(TextParagraph(*doc, "ЖЖЖ", 20));
    box.frame.anchor = anchor;
    Layout layout(*doc, EstimatedText());
    return InkRows(RenderPage(*doc, layout, 1, 600), 105, 295, 95, 305);
  }
};

TEST_F(TextFrameRender, TextStandsWhereItsAnchorSays) {
  const auto top = Ink(TextAnchor::Top), middle = Ink(TextAnchor::Middle);
  const auto bottom = Ink(TextAnchor::Bottom);
  ASSERT_GT(top.first, 0);
  EXPECT_LT(top.first, 100 + 3.6 + 10);
  EXPECT_NEAR((middle.first + middle.last) / 2.0, 200, 4);
  EXPECT_GT(bottom.last, 300 - 3.6 - 12);
  EXPECT_LT(bottom.last, 300);
}

TEST_F(TextFrameRender, AFittingBoxGrowsToItsTextAndOthersCutItOff) {
  for (bool fit : {false, true}) {
    SCOPED_TRACE(fit);
    auto doc = PlainDocument();
    Shape& box = Place(*doc, NewShape(ShapeKind::TextBox, 100, 100, 200, 30));
    for (int k = 0; k < 6; ++k) box.text.push_back(TextParagraph(*doc, "Строка", 12));
    box.frame.autoFit = fit;
    Layout layout(*doc, EstimatedText());
    const QImage image = RenderPage(*doc, layout, 1, 600);
    // Text and outline below the box's own height only when it grows.
    const auto ink = InkRows(image, 90, 310, 135, 400);
    if (fit) {
      EXPECT_GT(ink.last, 160);
    } else {
      EXPECT_EQ(ink.first, -1);
    }
  }
}

// Boxes anchored in the middle and at the bottom, written by us and drawn by LibreOffice: the
// text stands on the same rows there as here.
TEST_F(TextFrameRender, LibreOfficeSetsOurTextWhereWeDo) {
  if (!HaveProgram("soffice") || !HaveProgram("pdftoppm"))
    GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
  auto doc = PlainDocument();
  doc->paragraphs[0] = TextParagraph(*doc, "");
  const TextAnchor anchors[] = {TextAnchor::Middle, TextAnchor::Bottom};
  for (int k = 0; k < 2; ++k) {
    Shape& box = Place(*doc, NewShape(ShapeKind::TextBox, 50 + 250.0f * k, 100, 200, 200));
    box.name = "Рамка " + std::to_string(k);
    box.line.visible = false;
    box.fill.visible = false;
    box.text.push_back(TextParagraph(*doc, "ЖЖЖ", 20));
    box.frame.anchor = anchors[k];
  }
  TempDir dir;
  const std::string file = dir / "frames.docx";
  WritePackage(*doc, file);
  const std::string pdf = ConvertWithLibreOffice(file, "pdf", dir / "pdf");
  ASSERT_FALSE(pdf.empty());
  ASSERT_EQ(std::system(("pdftoppm -r 72 -png -singlefile " + Quote(pdf) + " " +
                         Quote(dir / "there") + " >/dev/null 2>&1")
                            .c_str()),
            0);
  const QImage there(QString::fromStdString(dir / "there.png"));
  ASSERT_NEAR(there.width(), 600, 1);
  Layout layout(*doc, EstimatedText());
  const QImage here = RenderPage(*doc, layout, 1, 600);
  for (int k = 0; k < 2; ++k) {
    SCOPED_TRACE(k);
    const int x0 = 55 + 250 * k, x1 = 245 + 250 * k;
    const Rows ours = InkRows(here, x0, x1, 95, 305), theirs = InkRows(there, x0, x1, 95, 305);
    ASSERT_GT(theirs.first, 0);
    EXPECT_NEAR(ours.first, theirs.first, 3);
    EXPECT_NEAR(ours.last, theirs.last, 3);
  }
}

}  // namespace
