// Diagrams of a Word-written file are read from the drawing the word processor laid them out
// into: their boxes, arrows and text, drawn in place and kept through writing.
#include <gtest/gtest.h>

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

const char* kDiagramFile = VSP_TEST_DATA "/word-corpus/python-docx/shp-inline-shape-access.docx";

const Shape* Diagram(const Document& doc) {
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
