// Fills, lines and shadows of shapes through automation, as saved.
#include "tests/wordproc/om_support.h"
#include "wordproc/core/Ooxml.h"

using namespace om_test;

namespace {

class OmPaint : public OmTest {
 protected:
  void SetUp() override {
    OmTest::SetUp();
    word = NewWord();
    doc = word.get("Documents").call("Add");
    shapes = doc.get("Shapes");
  }
  void TearDown() override {
    word.call("Quit", 0);
    OmTest::TearDown();
  }

  std::unique_ptr<wordproc::Document> Saved(const char* name) {
    doc.call("SaveAs", scratch_ / name);
    return wordproc::ReadPackage(scratch_ / name);
  }

  Variant word, doc, shapes;
};

constexpr int kRed = 0x0000FF, kBlue = 0xFF0000;  // COLORREF

}  // namespace

TEST_F(OmPaint, GradientsPatternsAndTransparencyAreSaved) {
  Variant box = shapes.call("AddShape", 1, 10, 10, 100, 50);
  Variant fill = box.get("Fill");
  fill.get("ForeColor").put("RGB", kRed);
  fill.get("BackColor").put("RGB", kBlue);
  fill.call("TwoColorGradient", 2, 1);  // msoGradientVertical: red on the left
  EXPECT_EQ(fill.get("Type").toInt(), 3);
  fill.put("Transparency", 0.25);
  EXPECT_NEAR(fill.get("Transparency").toDouble(), 0.25, 1e-6);

  Variant patterned = shapes.call("AddShape", 1, 10, 100, 100, 50);
  patterned.get("Fill").call("Patterned", 14);  // msoPatternDarkVertical
  EXPECT_EQ(patterned.get("Fill").get("Pattern").toInt(), 14);
  EXPECT_EQ(patterned.get("Fill").get("Type").toInt(), 2);

  const auto saved = Saved("paint.docx");
  ASSERT_EQ(saved->shapes.size(), 2u);
  const wordproc::FillFormat& g = saved->shapes[0].shape->fill;
  ASSERT_EQ(g.type, wordproc::FillType::Gradient);
  ASSERT_EQ(g.stops.size(), 2u);
  EXPECT_EQ(g.stops[0].color, 0xFF0000u);
  EXPECT_EQ(g.stops[1].color, 0x0000FFu);
  EXPECT_NEAR(g.stops[0].alpha, 0.75, 1e-4);
  EXPECT_NEAR(g.angle, 0, 1e-4);
  EXPECT_EQ(saved->shapes[1].shape->fill.pattern, "dkVert");
}

TEST_F(OmPaint, GradientStylesRunTheirWay) {
  Variant fill = shapes.call("AddShape", 1, 10, 10, 100, 50).get("Fill");
  fill.call("TwoColorGradient", 1, 2);  // horizontal bands, back colour on top
  const auto horizontal = Saved("h.docx");
  EXPECT_NEAR(horizontal->shapes[0].shape->fill.angle, 90, 1e-4);
  EXPECT_EQ(horizontal->shapes[0].shape->fill.stops.front().color, 0xFFFFFFu);
  fill.call("TwoColorGradient", 5, 4);  // from the bottom-right corner
  const auto corner = Saved("c.docx");
  const wordproc::FillFormat& c = corner->shapes[0].shape->fill;
  EXPECT_EQ(c.path, wordproc::GradientPath::Rect);
  EXPECT_FLOAT_EQ(c.focusLeft, 1);
  EXPECT_FLOAT_EQ(c.focusTop, 1);
  EXPECT_THROW(fill.call("TwoColorGradient", 8, 1), wordlink::AutomationError);
  EXPECT_THROW(fill.call("TwoColorGradient", 1, 5), wordlink::AutomationError);
  EXPECT_THROW(fill.call("Patterned", 55), wordlink::AutomationError);
}

TEST_F(OmPaint, ArrowheadsLineStylesAndShadows) {
  Variant line = shapes.call("AddLine", 10, 10, 200, 10);
  Variant format = line.get("Line");
  format.put("EndArrowheadStyle", 4);  // msoArrowheadStealth
  format.put("EndArrowheadWidth", 3);
  format.put("BeginArrowheadStyle", 6);  // oval
  format.put("Style", 2);                // msoLineThinThin
  EXPECT_EQ(format.get("EndArrowheadStyle").toInt(), 4);
  EXPECT_THROW(format.put("EndArrowheadStyle", 7), wordlink::AutomationError);
  EXPECT_THROW(format.put("Style", 6), wordlink::AutomationError);

  Variant box = shapes.call("AddShape", 1, 10, 50, 100, 50);
  Variant shadow = box.get("Shadow");
  EXPECT_EQ(shadow.get("Visible").toInt(), 0);
  shadow.put("OffsetX", 3);
  shadow.put("OffsetY", 4);
  shadow.get("ForeColor").put("RGB", kBlue);
  EXPECT_EQ(shadow.get("Visible").toInt(), -1);
  EXPECT_NEAR(shadow.get("OffsetX").toDouble(), 3, 1e-4);
  EXPECT_NEAR(shadow.get("OffsetY").toDouble(), 4, 1e-4);

  const auto saved = Saved("lines.docx");
  const wordproc::LineFormat& l = saved->shapes[0].shape->line;
  EXPECT_EQ(l.tail.style, wordproc::ArrowStyle::Stealth);
  EXPECT_EQ(l.tail.width, 3);
  EXPECT_EQ(l.head.style, wordproc::ArrowStyle::Oval);
  EXPECT_EQ(l.style, wordproc::LineStyle::ThinThin);
  const wordproc::ShadowFormat& s = saved->shapes[1].shape->shadow;
  ASSERT_TRUE(s.visible);
  EXPECT_NEAR(s.distance, 5, 1e-3);
  EXPECT_EQ(s.color, 0x0000FFu);
}
