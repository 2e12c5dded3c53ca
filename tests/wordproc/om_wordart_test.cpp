// WordArt through automation: Shapes.AddTextEffect and a shape's TextEffect.
#include "tests/wordproc/om_support.h"
#include "wordproc/core/Ooxml.h"

using namespace om_test;

namespace {

class OmWordArt : public OmTest {
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

  Variant word, doc, shapes;
};

TEST_F(OmWordArt, TextEffectsBecomeWarpedTextThatIsSaved) {
  Variant art =
      shapes.call("AddTextEffect", 0, "ООО РОМАШКА", "DejaVu Sans", 24, true, false, 100, 120);
  EXPECT_FLOAT_EQ(art.get("Left").toFloat(), 100);
  EXPECT_GT(art.get("Width").toFloat(), 24);
  Variant effect = art.get("TextEffect");
  EXPECT_EQ(effect.get("Text").toString(), "ООО РОМАШКА");
  EXPECT_EQ(effect.get("PresetShape").toInt(), 1);  // plain text
  EXPECT_EQ(effect.get("FontBold").toInt(), -1);
  effect.put("PresetShape", 11);  // circle
  effect.put("Text", "ПЕЧАТЬ");
  effect.put("FontSize", 30);
  EXPECT_EQ(effect.get("PresetShape").toInt(), 11);
  doc.call("SaveAs", scratch_ / "wordart.docx");
  auto saved = wordproc::ReadPackage(scratch_ / "wordart.docx");
  ASSERT_EQ(saved->shapes.size(), 1u);
  const wordproc::Shape& shape = *saved->shapes[0].shape;
  EXPECT_EQ(shape.warp.preset, "textCircle");
  ASSERT_EQ(shape.text.size(), 1u);
  EXPECT_EQ(shape.text[0].text(), "ПЕЧАТЬ");
  EXPECT_FLOAT_EQ(shape.text[0].runs.at(0).format.fontSize, 30);
  EXPECT_TRUE(shape.text[0].runs[0].format.bold);
}

TEST_F(OmWordArt, BadStylesAndShapesAreRefused) {
  EXPECT_THROW(shapes.call("AddTextEffect", 50, "x", "Arial", 12, false, false, 0, 0),
               wordlink::AutomationError);
  EXPECT_THROW(shapes.call("AddTextEffect", 0, "x", "Arial", 0, false, false, 0, 0),
               wordlink::AutomationError);
  Variant art = shapes.call("AddTextEffect", 0, "x", "Arial", 12, false, false, 0, 0);
  EXPECT_THROW(art.get("TextEffect").put("PresetShape", 41), wordlink::AutomationError);
  Variant line = shapes.call("AddLine", 0, 0, 10, 10);
  EXPECT_THROW(line.get("TextEffect"), wordlink::AutomationError);
  EXPECT_EQ(shapes.get("Count").toInt(), 2);
}

}  // namespace
