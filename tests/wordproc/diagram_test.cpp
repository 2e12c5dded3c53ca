// Diagrams of a Word-written file are read from the drawing the word processor laid them out
// into: their boxes, arrows and text, drawn in place and kept through writing.
#include <gtest/gtest.h>

#include <algorithm>

#include "om_support.h"
#include "ooxml_test_support.h"
#include "wordproc/Render.h"
#include "wordproc/RenderChart.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Layout.h"
#include "wordproc/core/Ooxml.h"

using namespace wordproc;
using namespace ooxml_test;
using wordlink::Variant;

namespace {

const char* kDiagramFile = VSP_TEST_DATA "/word-corpus/python-docx/shp-inline-shape-access.docx";

// The diagram as read, in its line of text; or as we write it back, a group of shapes there.
const Shape* Diagram(const Document& doc) {
  for (const Paragraph& p : doc.paragraphs)
    for (const InlinePicture& picture : p.inlinePictures)
      if (picture.drawing && picture.drawing->kind == ShapeKind::Group)
        return picture.drawing.get();
  for (const AnchoredShape& anchored : doc.shapes)
    if (anchored.shape->kind == ShapeKind::Group) return anchored.shape.get();
  return nullptr;
}

std::string TextOf(const Shape& shape) {
  std::string text;
  for (const Paragraph& p : shape.text) text += p.text();
  return text;
}

TEST(Diagrams, ReadAsTheBoxesAndArrowsOfTheirDrawing) {
  const auto doc = LoadDocumentFile(kDiagramFile);
  const Shape* diagram = Diagram(*doc);
  ASSERT_NE(diagram, nullptr);
  ASSERT_EQ(diagram->children.size(), 5u);
  const std::vector<std::string> texts = {"foo", "", "bar", "", "baz"};
  float left = -1;
  for (std::size_t k = 0; k < texts.size(); ++k) {
    const Shape& member = *diagram->children[k];
    EXPECT_EQ(TextOf(member), texts[k]) << k;
    EXPECT_GT(member.left, left) << "boxes and arrows stand left to right";
    left = member.left;
    EXPECT_LE(member.left + member.width, diagram->width + 1) << k;
  }
  const Shape& box = *diagram->children[0];
  EXPECT_EQ(box.autoShapeType, AutoShapeType::RoundedRectangle);
  EXPECT_EQ(diagram->children[1]->preset, "rightArrow");
  ASSERT_FALSE(box.text.empty());
  EXPECT_EQ(box.text[0].alignment, Alignment::Center);
  EXPECT_EQ(box.frame.anchor, TextAnchor::Middle);
  const RunFormat& format = box.text[0].runs.at(0).format;
  EXPECT_FLOAT_EQ(format.fontSize, 18);
  EXPECT_EQ(format.color, 0xFFFFFFu) << "the style's light text colour";

  // Written back as a group of shapes, it reads back alike.
  const auto bytes = WritePackageToMemory(*doc, false);
  const auto back = ReadBytes(std::string(bytes.begin(), bytes.end()));
  const Shape* again = Diagram(*back);
  ASSERT_NE(again, nullptr);
  ASSERT_EQ(again->children.size(), 5u);
  for (std::size_t k = 0; k < texts.size(); ++k)
    EXPECT_EQ(TextOf(*again->children[k]), texts[k]) << k;
}

TEST(Diagrams, TheirTextIsDrawnOnOneLineInOrder) {
  if (!HaveProgram("pdftotext")) GTEST_SKIP() << "poppler-utils is not installed";
  om_test::EnsureGui();
  TempDir dir;
  const auto doc = LoadDocumentFile(kDiagramFile);
  Layout layout(*doc, FontMeasurer());
  const std::string pdf = dir / "diagram.pdf";
  WritePdf(*doc, layout, pdf);
  std::vector<PdfWord> words;
  for (const PdfWord& w : PdfWords(pdf))
    if (w.text == "foo" || w.text == "bar" || w.text == "baz") words.push_back(w);
  ASSERT_EQ(words.size(), 3u);
  EXPECT_EQ(words[0].text + words[1].text + words[2].text, "foobarbaz");
  EXPECT_LT(words[0].x, words[1].x);
  EXPECT_LT(words[1].x, words[2].x);
  EXPECT_NEAR(words[0].y, words[2].y, 1);
}

}  // namespace

namespace {

// SmartArt and charts in the text are inline shapes, as the word processor lists them; once
// floating, SmartArt is a shape of its own type.
TEST(Diagrams, InTheTextTheyAreInlineShapesAndFloatingTheyAreSmartArt) {
  om_test::EnsureGui();
  Variant word = om_test::NewWord();
  Variant doc = word.get("Documents").call("Open", std::string(kDiagramFile));
  EXPECT_EQ(doc.get("Shapes").get("Count").toInt(), 0);
  Variant inlines = doc.get("InlineShapes");
  std::vector<int> types;
  for (int i = 1; i <= inlines.get("Count").toInt(); ++i)
    types.push_back(inlines.call("Item", i).get("Type").toInt());
  // Three pictures, the diagram and a chart.
  EXPECT_EQ(types, (std::vector<int>{3, 3, 3, 15, 12}));
  ASSERT_EQ(types.size(), 5u);
  const double width = inlines.call("Item", 4).get("Width").toDouble();
  EXPECT_GT(width, 100);

  Variant floating = inlines.call("Item", 4).call("ConvertToShape");
  EXPECT_EQ(floating.get("Type").toInt(), 24);
  EXPECT_EQ(doc.get("Shapes").get("Count").toInt(), 1);
  EXPECT_EQ(doc.get("InlineShapes").get("Count").toInt(), 4);
  EXPECT_DOUBLE_EQ(doc.get("Shapes").call("Item", 1).get("Width").toDouble(), width);
  doc.call("Close", 0);
}

}  // namespace

namespace {

// A chart is drawn from the values its part caches: each series' columns take the share of
// the plot its values add up to, in the theme's colour for it.
TEST(Charts, ColumnsStandAsTallAsTheirValues) {
  const auto doc = LoadDocumentFile(kDiagramFile);
  const Chart* chart = nullptr;
  for (const Paragraph& p : doc->paragraphs)
    for (const InlinePicture& picture : p.inlinePictures)
      if (picture.drawing && picture.drawing->chart) chart = picture.drawing->chart.get();
  ASSERT_NE(chart, nullptr);
  EXPECT_EQ(chart->kind, ChartKind::Column);
  EXPECT_EQ(chart->categories,
            (std::vector<std::string>{"Category 1", "Category 2", "Category 3", "Category 4"}));
  ASSERT_EQ(chart->series.size(), 3u);
  EXPECT_EQ(chart->series[0].values, (std::vector<double>{4.3, 2.5, 3.5, 4.5}));
  const ChartScale scale = ScaleOf(*chart);
  EXPECT_EQ(scale.low, 0);
  EXPECT_EQ(scale.high, 5);

  om_test::EnsureGui();
  QImage page(400, 300, QImage::Format_RGB32);
  page.fill(Qt::white);
  QPainter painter(&page);
  DrawChart(painter, *chart, QRectF(0, 0, 400, 300));
  painter.end();
  std::vector<double> area(chart->series.size(), 0);
  for (int y = 0; y < page.height(); ++y)
    for (int x = 0; x < page.width(); ++x)
      for (std::size_t n = 0; n < area.size(); ++n)
        if ((page.pixel(x, y) & 0xFFFFFF) == chart->series[n].color) ++area[n];
  double sums[3] = {0, 0, 0};
  for (std::size_t n = 0; n < 3; ++n)
    for (double v : chart->series[n].values) sums[n] += v;
  ASSERT_GT(area[0], 0);
  for (std::size_t n = 1; n < 3; ++n)
    EXPECT_NEAR(area[n] / area[0], sums[n] / sums[0], 0.08) << "series " << n;
}

}  // namespace
