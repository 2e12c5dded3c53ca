// Filling a sheet, on documents opened directly in the word processor.
#include <filesystem>

#include "CloneSupport.h"
#include "clone/uPlacing.h"

using namespace cloning;
using namespace clone_test;

namespace {

class PlacingTest : public CloneTest {
 protected:
  // The glyph prepared and saved as its working copy, as the glyph stage leaves it.
  std::string PreparedGlyph(const std::string& tag) {
    const std::string path = data + tag + ".doc";
    MakeGlyph(Word(), path, tag);
    Variant doc = OpenHidden(path);
    EXPECT_EQ(PrepareGlyphDocument(doc), 0);
    doc.call("SaveAs", WorkingCopyOf(path));
    doc.call("Close", 0);
    return path;
  }
  static std::string WorkingCopyOf(const std::string& glyph) { return glyph + ".work.doc"; }
  void Fill(const Variant& doc, const TCloneParams& glyphs, int sets) {
    std::vector<std::string> copies;
    for (const TCloneParam& glyph : glyphs) copies.push_back(WorkingCopyOf(glyph.FileName));
    FillSheet(doc, layout, glyphs, copies, sets, step);
  }
  Variant Sheet(int positions) {
    MakeTemplate(Word(), data + "sheet.doc", Column(positions));
    Variant doc = OpenHidden(data + "sheet.doc");
    layout = ReadSheetTemplate(doc);
    return doc;
  }
  TSheetTemplate layout;
  int steps = 0;
  std::function<void()> step = [this] { ++steps; };
};

TEST_F(PlacingTest, GlyphBringingNoShapeStillUsesUpItsPositions) {
  const std::string a = PreparedGlyph("A");
  const std::string empty = data + "E.doc";
  MakeGlyph(Word(), WorkingCopyOf(empty), "");
  Variant doc = Sheet(3);

  Fill(doc, {{empty, 1}, {a, 1}}, 2);

  const auto copies = ShapesNamed(doc, "VSP_CLONED_");
  ASSERT_EQ(copies.size(), 2u);
  EXPECT_EQ(PageOf(copies[0]), 1);
  EXPECT_FLOAT_EQ(copies[0].get("Top").toFloat(), layout.Positions[1].Top);
  EXPECT_EQ(PageOf(copies[1]), 2);
  EXPECT_FLOAT_EQ(copies[1].get("Top").toFloat(), layout.Positions[0].Top);
  EXPECT_EQ(GlyphTag(copies[1]), "A");
  EXPECT_EQ(Pages(doc), 2);
  EXPECT_EQ(steps, 4);
}

TEST_F(PlacingTest, InlinePictureIsConvertedWhenInserted) {
  const std::string picture = data + "P.doc";
  MakeInlinePictureGlyph(WorkingCopyOf(picture), 60, 30);
  Variant doc = Sheet(2);

  Fill(doc, {{picture, 1}}, 3);

  const auto copies = ShapesNamed(doc, "VSP_CLONED_");
  ASSERT_EQ(copies.size(), 3u);
  for (const Variant& copy : copies) {
    EXPECT_EQ(copy.get("Type").toInt(), 13);
    EXPECT_FLOAT_EQ(copy.get("Width").toFloat(), 200);
  }
  EXPECT_EQ(doc.get("InlineShapes").get("Count").toInt(), 0) << "no picture left in the text";
  EXPECT_EQ(Pages(doc), 2);
}

TEST_F(PlacingTest, CountZeroStillTakesOnePositionPerSet) {
  const std::string a = PreparedGlyph("A"), b = PreparedGlyph("B");
  Variant doc = Sheet(4);

  Fill(doc, {{a, 0}, {b, 1}}, 3);

  std::vector<std::string> tags;
  for (const Variant& copy : ShapesNamed(doc, "VSP_CLONED_")) tags.push_back(GlyphTag(copy));
  EXPECT_EQ(tags, (std::vector<std::string>{"A", "B", "A", "B", "A", "B"}));
  EXPECT_EQ(Pages(doc), 2);
}

// More glyphs than a page holds: each page still gets its own labels, in order, and none is
// lost or moved to another page by what the other glyphs bring into the document.
TEST_F(PlacingTest, ManyGlyphsFillEveryPageInTurn) {
  constexpr int kGlyphs = 70, kPositions = 4;
  const std::string prepared[] = {PreparedGlyph("A"), PreparedGlyph("B")};
  TCloneParams glyphs;
  for (int k = 0; k < kGlyphs; ++k) {
    const std::string glyph = data + "G" + std::to_string(k) + ".doc";
    std::filesystem::copy_file(WorkingCopyOf(prepared[k % 2]), WorkingCopyOf(glyph));
    glyphs.push_back({glyph, 1});
  }
  Variant doc = Sheet(kPositions);

  Fill(doc, glyphs, 1);

  const auto copies = ShapesNamed(doc, "VSP_CLONED_");
  ASSERT_EQ(copies.size(), std::size_t(kGlyphs));
  for (int k = 0; k < kGlyphs; ++k) {
    EXPECT_EQ(GlyphTag(copies[k]), k % 2 ? "B" : "A");
    EXPECT_EQ(PageOf(copies[k]), k / kPositions + 1) << "copy " << k;
    EXPECT_FLOAT_EQ(copies[k].get("Top").toFloat(), layout.Positions[k % kPositions].Top);
  }
  EXPECT_EQ(Pages(doc), (kGlyphs + kPositions - 1) / kPositions);
  EXPECT_EQ(steps, kGlyphs);
}

}  // namespace
