// A sheet whose first labels are used already: cloning begins at a later position of the first
// page, and the page count counts the positions left empty.
#include "CloneSupport.h"
#include "clone/uPlacing.h"

using namespace cloning;
using namespace clone_test;

namespace {

// Ten positions in two columns of five, reading order.
std::vector<Rect> TenUp() {
  std::vector<Rect> rects;
  for (int k = 0; k < 10; ++k)
    rects.push_back({50.0f + 250 * (k % 2), 60.0f + 150 * (k / 2), 200, 100});
  return rects;
}

class StartPosition : public CloneTest {
 protected:
  void SetUp() override {
    CloneTest::SetUp();
    MakeTemplate(Word(), TemplatePath("Визитки", "A4"), TenUp());
    MakeGlyph(Word(), GlyphPath("Визитки", "a.doc"), "A");
  }
  // The sheet a run makes, opened; empty when the run made none.
  Variant Clone(int sets, int start) {
    TCloneParams glyphs{{GlyphPath("Визитки", "a.doc"), 1}};
    wordlink::TExtAppDocument* sheet =
        CloneGlyphs(*host, glyphs, sets, "Визитки", {"A4", "A4"}, start);
    return sheet ? sheet->Document : Variant();
  }
  // Which positions (from 1) of a page hold a copy.
  static std::vector<int> Filled(const Variant& doc, int page) {
    const std::vector<Rect> positions = TenUp();
    std::vector<int> filled;
    for (const Variant& copy : ShapesNamed(doc, "VSP_CLONED_")) {
      if (PageOf(copy) != page) continue;
      for (std::size_t p = 0; p < positions.size(); ++p)
        if (copy.get("Left").toFloat() == positions[p].left &&
            copy.get("Top").toFloat() == positions[p].top)
          filled.push_back(int(p) + 1);
    }
    return filled;
  }
};

TEST_F(StartPosition, TheFirstPositionsOfTheFirstPageStayEmpty) {
  const Variant sheet = Clone(12, 5);
  ASSERT_TRUE(sheet.isObject());
  EXPECT_EQ(Filled(sheet, 1), (std::vector<int>{5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(Filled(sheet, 2), (std::vector<int>{1, 2, 3, 4, 5, 6})) << "later pages start at 1";
  EXPECT_EQ(Pages(sheet), 2);
  EXPECT_EQ(ShapesNamed(sheet, "VSP_CLONED_").size(), 12u);
  EXPECT_EQ(ui.messages.size(), 0u);
}

TEST_F(StartPosition, APositionTheTemplateDoesNotHaveIsRefused) {
  EXPECT_FALSE(Clone(3, 11).isObject());
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages[0].text.find("10 мест для оттисков, начать с места 11 нельзя"),
            std::string::npos)
      << ui.messages[0].text;
  EXPECT_NE(ui.messages[0].text.find(TemplatePath("Визитки", "A4")), std::string::npos);
  EXPECT_TRUE(Clone(3, 10).isObject()) << "the last position is a start";
}

TEST(PageCountFromAPosition, EmptyPositionsCountLikeUsedOnes) {
  EXPECT_EQ(PageCount(1, 6, 10, 5), 1);
  EXPECT_EQ(PageCount(1, 7, 10, 5), 2);
  EXPECT_EQ(PageCount(1, 7, 10, 1), 1);
  EXPECT_EQ(PageCount(1, 7, 10), 1);
  EXPECT_EQ(PageCount(1, 16, 10, 5), 2);
  EXPECT_EQ(PageCount(1, 17, 10, 5), 3);
  EXPECT_EQ(PageCount(3, 2, 5, 4), 2) << "the wizard's sum of counts";
  EXPECT_EQ(PageCount(1, 0, 10, 5), 0) << "nothing to print, no sheet";
  EXPECT_EQ(PageCount(1, 5, 0, 5), 0) << "no template";
}

}  // namespace
