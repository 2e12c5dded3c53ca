// Shape properties as the program sets them: colours in the COLORREF layout, pictures, whole
// shape ranges at once, text of text boxes and stacking order.
#include <QImage>
#include <cmath>
#include <fstream>

#include "tests/wordproc/om_support.h"
#include "tests/wordproc/ooxml_test_support.h"
#include "wordproc/core/Ooxml.h"
#include "wordproc/core/ShapeOps.h"

using namespace om_test;

namespace {

class OmShapes : public OmTest {
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

TEST_F(OmShapes, ColoursArriveInTheColorRefLayout) {
  Variant box = shapes.call("AddTextbox", 1, 0, 0, 100, 100);
  box.get("Line").get("ForeColor").put("RGB", 255);       // red in the low byte
  box.get("Fill").get("ForeColor").put("RGB", 0xFF0000);  // blue in the high byte
  EXPECT_EQ(box.get("Line").get("ForeColor").get("RGB").toInt(), 255);
  doc.call("SaveAs", scratch_ / "colours.docx");
  auto saved = wordproc::ReadPackage(scratch_ / "colours.docx");
  ASSERT_EQ(saved->shapes.size(), 1u);
  EXPECT_EQ(saved->shapes[0].shape->line.color, 0xFF0000u);
  EXPECT_EQ(saved->shapes[0].shape->fill.color, 0x0000FFu);
}

TEST_F(OmShapes, PicturesTakeTheirSizeAtNinetySixPixelsPerInch) {
  QImage image(40, 20, QImage::Format_RGB32);
  image.fill(Qt::blue);
  ASSERT_TRUE(image.save(QString::fromStdString(scratch_ / "logo.png"), "PNG"));
  Variant picture = shapes.call("AddPicture", scratch_ / "logo.png");
  EXPECT_EQ(picture.get("Type").toInt(), 13);
  EXPECT_FLOAT_EQ(picture.get("Width").toFloat(), 30);
  EXPECT_FLOAT_EQ(picture.get("Height").toFloat(), 15);
  std::ofstream(scratch_ / "notes.png") << "not a picture";
  try {
    shapes.call("AddPicture", scratch_ / "notes.png");
    FAIL() << "a text file became a picture";
  } catch (const wordlink::AutomationError& e) {
    EXPECT_EQ(e.member(), "AddPicture");
  }
}

TEST_F(OmShapes, AShapeRangeSetsEveryShapeAndReportsDisagreement) {
  Variant a = shapes.call("AddShape", 1, 10, 10, 20, 20);
  Variant b = shapes.call("AddShape", 9, 50, 10, 20, 20);
  Variant all = doc.get("Content").get("ShapeRange");
  ASSERT_EQ(all.get("Count").toInt(), 2);
  all.put("Visible", 0);
  all.get("Line").put("Weight", 2.0f);
  EXPECT_EQ(a.get("Visible").toInt(), 0);
  EXPECT_FLOAT_EQ(b.get("Line").get("Weight").toFloat(), 2);
  EXPECT_FLOAT_EQ(all.get("Top").toFloat(), 10);  // they agree
  EXPECT_EQ(all.get("Left").toInt(), 9999999);
  b.put("Visible", -1);
  EXPECT_EQ(all.get("Visible").toInt(), -2);
  EXPECT_EQ(all.call("Item", 2).get("Name").toString(), b.get("Name").toString());
}

TEST_F(OmShapes, TextBoxesHoldParagraphsOfText) {
  Variant box = shapes.call("AddTextbox", 1, 0, 0, 100, 40);
  Variant text = box.get("TextFrame").get("TextRange");
  text.put("Text", "Оттиск\rвторая строка");
  EXPECT_EQ(text.get("Text").toString(), "Оттиск\rвторая строка");
  EXPECT_EQ(box.get("TextFrame").get("HasText").toInt(), -1);
  EXPECT_THROW(
      shapes.call("AddLine", 0, 0, 10, 10).get("TextFrame").get("TextRange").put("Text", "x"),
      wordlink::AutomationError);
}

TEST_F(OmShapes, ZOrderMovesTheShapeInTheCollection) {
  Variant first = shapes.call("AddShape", 1, 0, 0, 10, 10);
  shapes.call("AddShape", 1, 0, 0, 10, 10);
  shapes.call("AddShape", 1, 0, 0, 10, 10);
  first.call("ZOrder", 0);  // bring to front
  EXPECT_EQ(shapes.call("Item", 3).get("Id").toInt(), first.get("Id").toInt());
  first.call("ZOrder", 3);  // one step back
  EXPECT_EQ(shapes.call("Item", 2).get("Id").toInt(), first.get("Id").toInt());
  EXPECT_EQ(shapes.call("Item", first.get("Name")).get("Id").toInt(), first.get("Id").toInt());
  first.call("Delete");
  EXPECT_EQ(shapes.get("Count").toInt(), 2);
}

}  // namespace

// A nameless line is a "Straight Connector" whether the program makes it, writes it or reads it
// from a file that gave it no name.
TEST_F(OmShapes, NamelessShapesAreNamedAlikeWhenMadeWrittenOrRead) {
  Variant line = shapes.call("AddLine", 0, 0, 100, 0);
  EXPECT_EQ(line.get("Name").toString(),
            "Straight Connector " + std::to_string(line.get("Id").toInt()));

  wordproc::Document model;
  auto nameless = std::make_unique<wordproc::Shape>();
  nameless->kind = wordproc::ShapeKind::Line;
  nameless->id = 7;
  nameless->width = 50;
  model.shapes.push_back({std::move(nameless), model.paragraphs[0].id});
  const auto written = wordproc::WritePackageToMemory(model, false);
  auto reread = wordproc::ReadPackageFromMemory(written.data(), written.size(), "lines.docx");
  ASSERT_EQ(reread->shapes.size(), 1u);
  EXPECT_EQ(reread->shapes[0].shape->name, "Straight Connector 7");

  const std::string vml = ooxml_test::PackageWithBody(
      "<w:p><w:r><w:pict><v:line from=\"0,0\" to=\"20pt,0\" "
      "style=\"position:absolute\"/></w:pict></w:r></w:p>");
  auto read = ooxml_test::ReadBytes(vml);
  ASSERT_EQ(read->shapes.size(), 1u);
  const wordproc::Shape& shape = *read->shapes[0].shape;
  EXPECT_EQ(shape.name, "Straight Connector " + std::to_string(shape.id));
}

namespace {

class OmShapeGeometry : public OmShapes {};

// Presets beyond the three of old, by their AutoShapeType numbers, with adjustments as shares
// and a rotation in degrees, kept through saving.
TEST_F(OmShapeGeometry, PresetsAdjustmentsAndRotationsAreSetAndSaved) {
  Variant star = shapes.call("AddShape", 92, 10, 10, 100, 100);
  EXPECT_EQ(star.get("AutoShapeType").toInt(), 92);
  Variant adjustments = star.get("Adjustments");
  EXPECT_EQ(adjustments.get("Count").toInt(), 3);  // adj, hf and vf
  EXPECT_NEAR(adjustments.call("Item", 1).toFloat(), 0.19098f, 1e-5);
  wordlink::Args set{1, 0.3f};
  adjustments.invoke("Item", wordlink::InvokeKind::PropertyPut, set);
  EXPECT_NEAR(adjustments.call("Item", 1).toFloat(), 0.3f, 1e-5);
  star.put("Rotation", -30);
  EXPECT_FLOAT_EQ(star.get("Rotation").toFloat(), 330);
  Variant oval = shapes.call("AddShape", 1, 200, 10, 50, 50);
  oval.put("AutoShapeType", 9);
  oval.put("AutoShapeType", 21);  // heart
  EXPECT_EQ(oval.get("AutoShapeType").toInt(), 21);
  EXPECT_THROW(oval.put("AutoShapeType", 4242), wordlink::AutomationError);
  EXPECT_THROW(star.put("Rotation", std::nan("")), wordlink::AutomationError);
  doc.call("SaveAs", scratch_ / "presets.docx");
  auto saved = wordproc::ReadPackage(scratch_ / "presets.docx");
  ASSERT_EQ(saved->shapes.size(), 2u);
  const wordproc::Shape& savedStar = *saved->shapes[0].shape;
  EXPECT_EQ(savedStar.preset, "star5");
  ASSERT_EQ(savedStar.adjusts.size(), 1u);
  EXPECT_EQ(savedStar.adjusts[0].name, "adj");
  EXPECT_EQ(savedStar.adjusts[0].value, 30000);
  EXPECT_NEAR(savedStar.rotation, 330, 1e-3);
  EXPECT_EQ(saved->shapes[1].shape->preset, "heart");
}

// New shapes are named after their preset with their id, as the word processor names them;
// a copy is named anew, keeping everything else of its original.
TEST_F(OmShapeGeometry, NewShapesAreNamedAfterTheirKind) {
  auto named = [&](int type) {
    Variant shape = shapes.call("AddShape", type, 10, 10, 50, 50);
    const std::string id = std::to_string(shape.get("Id").toInt());
    const std::string name = shape.get("Name").toString();
    EXPECT_EQ(name.substr(name.size() - id.size() - 1), " " + id) << name;
    return name.substr(0, name.size() - id.size() - 1);
  };
  EXPECT_EQ(named(1), "Rectangle");
  EXPECT_EQ(named(9), "Oval");
  EXPECT_EQ(named(92), "5-Point Star");
  EXPECT_EQ(named(33), "Right Arrow");
  EXPECT_EQ(named(37), "Left-Right Arrow");
  EXPECT_EQ(named(7), "Isosceles Triangle");
  EXPECT_EQ(named(61), "Flowchart: Process");
  EXPECT_EQ(named(64), "Flowchart: Data");
  EXPECT_EQ(named(105), "Rectangular Callout");
  EXPECT_EQ(named(130), "Action Button: Forward or Next");
  EXPECT_EQ(named(21), "Heart");
  EXPECT_EQ(wordproc::PresetShapeName("notAPreset"), "AutoShape");

  Variant star = shapes.call("AddShape", 92, 100, 100, 50, 50);
  star.get("Shadow").put("OffsetX", 3);
  Variant copy = star.call("Duplicate");
  EXPECT_EQ(copy.get("Name").toString(), "5-Point Star " + std::to_string(copy.get("Id").toInt()));
  EXPECT_EQ(copy.get("Shadow").get("Visible").toInt(), -1) << "the copy keeps its shadow";
}

}  // namespace
