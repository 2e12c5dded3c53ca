// The calls with which a sheet is filled with glyph copies: preparing a glyph file, reading a
// template, inserting the glyph once per page, duplicating it into every label position and
// trimming the trailing page.
#include <QBuffer>
#include <QImage>

#include "tests/support/Gui.h"
#include "tests/wordproc/om_support.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Ooxml.h"

using namespace om_test;

namespace {

using test_support::PageRelative;

constexpr float kGlyphSide = 113.4f;  // a 40 mm glyph page

struct Box {
  float left, top, width, height;
};

// A glyph reduced to one floating group, as cloning prepares its working copy.
void MakeGlyph(const Variant& word, const std::string& path, const std::string& tag) {
  Variant doc = test_support::NewPage(word, kGlyphSide, kGlyphSide);
  Variant oval = doc.get("Shapes").call("AddShape", 9, 10.0f, 20.0f, 50.0f, 40.0f);
  oval.put("Name", tag + " oval");
  doc.call("GoTo", 1, 1, 1).call("Select");
  Variant frame = doc.get("Shapes").call("AddTextbox", 1, 0, 0, kGlyphSide, kGlyphSide);
  frame.get("Line").put("Visible", 0);
  frame.get("Fill").put("Visible", 0);
  frame.put("Visible", 0);
  PageRelative(frame);
  Variant glyph = doc.get("Content").get("ShapeRange").call("Group");
  int a = glyph.get("Anchor").get("Start").toInt();
  doc.call("Range", a + 1, doc.get("Content").get("End")).call("Delete");
  if (a > 0) doc.call("Range", 0, a).call("Delete");
  doc.call("SaveAs", path);
  doc.call("Close", 0);
}

// Five label positions and two guide lines on an A4 sheet.
void MakeTemplate(const Variant& word, const std::string& path) {
  Variant doc = word.get("Documents").call("Add");
  Variant shapes = doc.get("Shapes");
  for (int k = 0; k < 5; ++k) shapes.call("AddShape", 1, 50.0f, 60.0f + 150 * k, 200.0f, 100.0f);
  shapes.call("Item", 5).put("Width", 180.0f);  // one position of another size
  Variant line = shapes.call("AddLine", 20.0f, 30.0f, 500.0f, 30.0f);
  line.get("Line").put("Weight", 0.25f);
  line.get("Line").put("DashStyle", 4);
  shapes.call("AddLine", 300.0f, 20.0f, 300.0f, 800.0f);
  doc.call("SaveAs", path);
  doc.call("Close", 0);
}

struct Guide {
  Box box;
  float weight;
  int dash;
};

struct Glyph {
  std::string file;
  int count;
};

class OmFilling : public OmTest {
 protected:
  void SetUp() override {
    OmTest::SetUp();
    word = NewWord();
    word.put("Visible", false);
    word.put("DisplayAlerts", false);
  }
  void TearDown() override {
    word.call("Quit", 0);
    OmTest::TearDown();
  }

  Variant OpenHidden(const std::string& path) {
    return word.get("Documents")
        .call("OpenNoRepairDialog", path, Missing(), false, false, Missing(), Missing(), Missing(),
              Missing(), Missing(), Missing(), Missing(), false);
  }

  void ReadTemplate(const Variant& doc) {
    Variant all = doc.get("Content").get("ShapeRange");
    all.put("RelativeHorizontalPosition", 1);
    all.put("RelativeVerticalPosition", 1);
    Variant shapes = doc.get("Shapes");
    for (int i = 1; i <= shapes.get("Count").toInt(); ++i) {
      Variant s = shapes.call("Item", i);
      PageRelative(s);
      Box box{s.get("Left").toFloat(), s.get("Top").toFloat(), s.get("Width").toFloat(),
              s.get("Height").toFloat()};
      if (box.width == 0 || box.height == 0)
        guides.push_back(
            {box, s.get("Line").get("Weight").toFloat(), s.get("Line").get("DashStyle").toInt()});
      else
        positions.push_back(box);
    }
    doc.get("Content").call("Delete");
  }

  void MakePageExist(int page) {
    Variant selection = word.get("Selection");
    selection.call("EndKey", 6);
    int typed = 0;
    do {
      selection.call("TypeParagraph");
    } while (selection.call("Information", 3).toInt() <= page && ++typed <= 100001);
  }

  Variant InsertMaster(const Variant& range, const std::string& file) {
    range.call("InsertFile", file);
    range.call("Expand", 4);
    Variant shapes = range.get("ShapeRange");
    int m = shapes.get("Count").toInt();
    if (m == 0) return Variant();
    Variant master = m == 1 ? shapes.call("Item", 1) : shapes.call("Group");
    master.put("Visible", false);
    PageRelative(master);
    master.put("Width", positions[0].width);
    master.put("Height", positions[0].height);
    range.call("Collapse", 0);
    return master;
  }

  // Returns false when the sets ran out on this page.
  bool PlaceCopies(const std::vector<Variant>& masters, const std::vector<Glyph>& glyphs,
                   std::size_t& current, int& left, int& setsLeft) {
    for (const Box& position : positions) {
      const Variant& master = masters[current];
      if (!master.isEmpty()) {
        Variant copy = master.call("Duplicate");
        PageRelative(copy);
        copy.put("Name", "VSP_CLONED_" + std::to_string(copyNumber++));
        if (position.width != positions[0].width) copy.put("Width", position.width);
        if (position.height != positions[0].height) copy.put("Height", position.height);
        copy.put("Left", position.left);
        copy.put("Top", position.top);
        copy.put("Visible", true);
      }
      if (--left > 0) continue;
      if (++current == glyphs.size()) {
        current = 0;
        if (--setsLeft == 0) return false;
      }
      left = glyphs[current].count;
    }
    return true;
  }

  void DrawGuides(const Variant& doc) {
    for (const Guide& g : guides) {
      const float left = g.box.left, top = g.box.top;
      const float right = left + g.box.width - 1, bottom = top + g.box.height - 1;
      Variant line = doc.get("Shapes").call("AddLine", left, top, right, bottom);
      PageRelative(line);
      line.put("Width", right - left + 1);
      line.put("Height", bottom - top + 1);
      line.put("Left", left);
      line.put("Top", top);
      line.get("Line").put("Weight", g.weight);
      line.get("Line").put("DashStyle", g.dash);
      line.put("Name", "VSP_NONPRINTABLE_L" + std::to_string(lineNumber++));
    }
  }

  void Fill(const Variant& doc, const std::vector<Glyph>& glyphs, int sets) {
    std::size_t current = 0;
    int left = glyphs[0].count;
    for (int page = 1; sets > 0; ++page) {
      MakePageExist(page);
      Variant range = doc.call("GoTo", 1, 1, page);
      range.call("Select");
      std::vector<Variant> masters;
      for (const Glyph& glyph : glyphs) masters.push_back(InsertMaster(range, glyph.file));
      bool more = PlaceCopies(masters, glyphs, current, left, sets);
      for (const Variant& master : masters)
        if (!master.isEmpty()) master.call("Delete");
      DrawGuides(doc);
      lastPage = page;
      if (!more) break;
    }
  }

  void Finish(const Variant& doc) {
    Variant selection = word.get("Selection");
    selection.call("EndKey", 6);
    for (int k = 0; k < 100000; ++k) {
      int e = selection.call("Information", 3).toInt();
      if (lastPage + 1 < 2 || e < lastPage + 1) break;
      selection.call("TypeBackSpace");
    }
    doc.call("Range", 0, 0).call("Select");
  }

  Variant word;
  std::vector<Box> positions;
  std::vector<Guide> guides;
  int copyNumber = 1, lineNumber = 1, lastPage = 0;
};

TEST_F(OmFilling, GlyphsFillTwoPagesInOrderWithNamedCopiesAndGuides) {
  MakeGlyph(word, scratch_ / "A.doc.tmp", "A");
  MakeGlyph(word, scratch_ / "B.doc.tmp", "B");
  MakeTemplate(word, scratch_ / "Шаблон_A4.doc");
  Variant doc = OpenHidden(scratch_ / "Шаблон_A4.doc");
  ReadTemplate(doc);
  ASSERT_EQ(positions.size(), 5u);
  ASSERT_EQ(guides.size(), 2u);
  EXPECT_EQ(doc.get("Shapes").get("Count").toInt(), 0);

  Fill(doc, {{scratch_ / "A.doc.tmp", 2}, {scratch_ / "B.doc.tmp", 1}}, 2);
  Finish(doc);

  EXPECT_EQ(doc.get("Content").call("Information", 4).toInt(), 2);
  Variant shapes = doc.get("Shapes");
  ASSERT_EQ(shapes.get("Count").toInt(), 6 + 4);  // the masters are gone
  const char* expected[] = {"A", "A", "B", "A", "A", "B"};
  for (int n = 1; n <= 6; ++n) {
    Variant copy = shapes.call("Item", "VSP_CLONED_" + std::to_string(n));
    const Box& pos = positions[std::size_t((n - 1) % 5)];
    SCOPED_TRACE(n);
    EXPECT_EQ(copy.get("Anchor").call("Information", 3).toInt(), n <= 5 ? 1 : 2);
    EXPECT_EQ(copy.get("Type").toInt(), 6);
    EXPECT_EQ(copy.get("Visible").toInt(), -1);
    EXPECT_FLOAT_EQ(copy.get("Left").toFloat(), pos.left);
    EXPECT_FLOAT_EQ(copy.get("Top").toFloat(), pos.top);
    EXPECT_FLOAT_EQ(copy.get("Width").toFloat(), pos.width);
    Variant oval = copy.get("GroupItems").call("Item", std::string(expected[n - 1]) + " oval");
    // The glyph page was mapped onto the label: 50 of 113.4 points wide becomes 50/113.4 of it.
    EXPECT_NEAR(oval.get("Width").toFloat(), 50 * pos.width / kGlyphSide, 1e-3);
  }
  for (int n = 1; n <= 4; ++n) {
    Variant guide = shapes.call("Item", "VSP_NONPRINTABLE_L" + std::to_string(n));
    EXPECT_EQ(guide.get("Anchor").call("Information", 3).toInt(), n <= 2 ? 1 : 2);
    EXPECT_EQ(guide.get("Type").toInt(), 9);
  }
  Variant first = shapes.call("Item", "VSP_NONPRINTABLE_L1").get("Line");
  EXPECT_FLOAT_EQ(first.get("Weight").toFloat(), 0.25f);
  EXPECT_EQ(first.get("DashStyle").toInt(), 4);
  EXPECT_FLOAT_EQ(shapes.call("Item", "VSP_NONPRINTABLE_L2").get("Height").toFloat(), 780);
}

TEST_F(OmFilling, InsertFileBringsTheGlyphParagraphAndSpansIt) {
  MakeGlyph(word, scratch_ / "glyph.docx", "G");
  Variant doc = word.get("Documents").call("Add");
  word.get("Selection").call("TypeText", "before\rafter");
  Variant range = doc.call("Range", 7, 7);  // start of "after"
  range.call("InsertFile", scratch_ / "glyph.docx");
  EXPECT_EQ(range.get("Start").toInt(), 7);
  EXPECT_EQ(range.get("End").toInt(), 8);  // one empty paragraph: the group's anchor
  EXPECT_EQ(doc.get("Content").get("Text").toString(), "before\r\rafter\r");
  Variant group = range.get("ShapeRange").call("Item", 1);
  EXPECT_EQ(range.get("ShapeRange").get("Count").toInt(), 1);
  EXPECT_EQ(group.get("GroupItems").call("Item", 1).get("Name").toString(), "G oval");
  // A second insertion gets fresh ids, and each glyph keeps its own paragraph.
  range.call("Collapse", 0);
  range.call("InsertFile", scratch_ / "glyph.docx");
  Variant second = range.get("ShapeRange").call("Item", 1);
  EXPECT_NE(second.get("Id").toInt(), group.get("Id").toInt());
  EXPECT_EQ(doc.call("Range", 7, 7).get("ShapeRange").get("Count").toInt(), 1);
  EXPECT_EQ(doc.get("Content").get("ShapeRange").get("Count").toInt(), 2);
  EXPECT_THROW(range.call("InsertFile", scratch_ / "missing.docx"), wordlink::AutomationError);
}

TEST_F(OmFilling, DuplicateOffsetsTheCopyAndKeepsItsAnchor) {
  Variant doc = word.get("Documents").call("Add");
  word.get("Selection").call("TypeText", "one\rtwo");
  Variant anchor = doc.call("Range", 4, 4);
  Variant box = doc.get("Shapes").call("AddTextbox", 1, 30.0f, 40.0f, 100.0f, 50.0f, anchor);
  EXPECT_EQ(box.get("RelativeVerticalPosition").toInt(), 2);  // from the anchor paragraph
  Variant copy = box.call("Duplicate");
  EXPECT_FLOAT_EQ(copy.get("Left").toFloat(), 40);
  EXPECT_FLOAT_EQ(copy.get("Top").toFloat(), 50);
  EXPECT_EQ(copy.get("Anchor").get("Start").toInt(), 4);
  EXPECT_EQ(copy.get("Name").toString(), "Text Box " + std::to_string(copy.get("Id").toInt()));
  EXPECT_NE(copy.get("Id").toInt(), box.get("Id").toInt());
  EXPECT_EQ(doc.get("Shapes").call("Item", 2).get("Name").toString(), copy.get("Name").toString());
}

TEST_F(OmFilling, GroupingKeepsPlacesAndNamesAndResizingScalesMembers) {
  Variant doc = word.get("Documents").call("Add");
  Variant shapes = doc.get("Shapes");
  Variant first = shapes.call("AddShape", 1, 100.0f, 100.0f, 50.0f, 20.0f);
  Variant middle = shapes.call("AddShape", 9, 0.0f, 0.0f, 10.0f, 10.0f);
  Variant last = shapes.call("AddLine", 120.0f, 200.0f, 200.0f, 180.0f);
  first.put("Name", "first");
  last.put("Name", "last");
  last.put("RelativeHorizontalPosition", 0);  // margin-relative; the group must convert it
  Variant range = shapes.call("Range", "first");
  EXPECT_THROW(range.call("Group"), wordlink::AutomationError);  // one shape is no group

  word.get("Selection").call("HomeKey", 6);
  first.call("Select");
  last.call("Select", false);
  Variant group = word.get("Selection").get("ShapeRange").call("Group");
  EXPECT_EQ(shapes.get("Count").toInt(), 2);
  EXPECT_EQ(shapes.call("Item", 1).get("Name").toString(), group.get("Name").toString());
  EXPECT_EQ(shapes.call("Item", 2).get("Name").toString(), middle.get("Name").toString());
  EXPECT_FLOAT_EQ(group.get("Left").toFloat(), 100);
  EXPECT_FLOAT_EQ(group.get("Top").toFloat(), 100);
  EXPECT_FLOAT_EQ(group.get("Width").toFloat(), 100);
  EXPECT_FLOAT_EQ(group.get("Height").toFloat(), 100);
  Variant member = group.get("GroupItems").call("Item", "last");
  EXPECT_FLOAT_EQ(member.get("Left").toFloat(), 120);
  EXPECT_FLOAT_EQ(member.get("Top").toFloat(), 180);

  group.put("Width", 50.0f);
  group.put("Height", 300.0f);
  EXPECT_FLOAT_EQ(member.get("Left").toFloat(), 110);
  EXPECT_FLOAT_EQ(member.get("Width").toFloat(), 40);
  EXPECT_FLOAT_EQ(member.get("Top").toFloat(), 340);
  EXPECT_FLOAT_EQ(member.get("Height").toFloat(), 60);
  // Earlier references reach the members inside the group.
  EXPECT_EQ(first.get("Name").toString(), "first");
  EXPECT_FLOAT_EQ(first.get("Width").toFloat(), 25);
  EXPECT_THROW(first.call("Duplicate"), wordlink::AutomationError);
}

TEST_F(OmFilling, RelativePositionChangesKeepTheShapeInPlace) {
  Variant doc = word.get("Documents").call("Add");
  for (int k = 0; k < 3; ++k) word.get("Selection").call("TypeParagraph");
  Variant anchor = doc.call("Range", 2, 2);
  Variant box = doc.get("Shapes").call("AddShape", 1, 10.0f, 5.0f, 20.0f, 20.0f, anchor);
  // Column: from the left margin (90); paragraph: the third paragraph's top, two lines down.
  const float paragraphTop =
      72 + 2 * float(wordproc::FontMeasurer().singleLineHeight(wordproc::RunFormat{}));
  box.put("RelativeHorizontalPosition", 1);
  box.put("RelativeVerticalPosition", 1);
  EXPECT_FLOAT_EQ(box.get("Left").toFloat(), 100);
  EXPECT_NEAR(box.get("Top").toFloat(), paragraphTop + 5, 1e-3);
  box.put("RelativeVerticalPosition", 0);  // margin
  EXPECT_NEAR(box.get("Top").toFloat(), paragraphTop + 5 - 72, 1e-3);
  box.put("RelativeHorizontalPosition", 5);  // right margin area: from 595.3 - 90
  EXPECT_NEAR(box.get("Left").toFloat(), 100 - 505.3f, 1e-3);
  EXPECT_THROW(box.put("RelativeVerticalPosition", 8), wordlink::AutomationError);
}

TEST_F(OmFilling, InlinePicturesBecomeFloatingShapes) {
  wordproc::Document file;
  QImage picture(8, 4, QImage::Format_RGB32);
  picture.fill(Qt::red);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  picture.save(&buffer, "PNG");
  auto image = std::make_shared<wordproc::Image>();
  image->contentType = "image/png";
  image->extension = "png";
  image->bytes.assign(png.begin(), png.end());
  file.paragraphs[0].inlinePictures.push_back(
      {0, file.newShapeId(), "Logo", 60, 30, image, {}, {}, nullptr, nullptr});
  wordproc::WritePackage(file, scratch_ / "inline.docx");

  Variant doc = OpenHidden(scratch_ / "inline.docx");
  Variant inlines = doc.call("Range", 0, 0).get("InlineShapes");
  ASSERT_EQ(inlines.get("Count").toInt(), 1);
  Variant shape = inlines.call("Item", 1).call("ConvertToShape");
  EXPECT_EQ(shape.get("Type").toInt(), 13);
  EXPECT_FLOAT_EQ(shape.get("Width").toFloat(), 60);
  EXPECT_EQ(doc.get("InlineShapes").get("Count").toInt(), 0);
  EXPECT_EQ(doc.get("Content").get("ShapeRange").get("Count").toInt(), 1);
  EXPECT_THROW(inlines.call("Item", 1), wordlink::AutomationError);
}

TEST_F(OmFilling, DeletedShapesRaiseAndLeaveTheRange) {
  Variant doc = word.get("Documents").call("Add");
  Variant shapes = doc.get("Shapes");
  Variant a = shapes.call("AddShape", 1, 0, 0, 10, 10);
  shapes.call("AddShape", 5, 0, 0, 10, 10);
  Variant all = doc.get("Content").get("ShapeRange");
  a.call("Delete");
  EXPECT_EQ(all.get("Count").toInt(), 1);
  EXPECT_EQ(shapes.get("Count").toInt(), 1);
  try {
    a.get("Name");
    FAIL() << "a deleted shape answered";
  } catch (const wordlink::AutomationError& e) {
    EXPECT_EQ(e.member(), "Name");
  }
  all.call("Delete");
  EXPECT_EQ(shapes.get("Count").toInt(), 0);
}

}  // namespace
