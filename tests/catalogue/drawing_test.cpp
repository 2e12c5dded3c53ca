#include <gtest/gtest.h>

#include <cstdlib>

#include "catalogue/uDrawing.h"

using namespace catalogue;

TEST(DrawingTest, BlurWorksInPlaceFromTheTopLeft) {
  TBitmap b(3, 2);
  const int v[2][3] = {{0, 40, 80}, {120, 160, 200}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) b.SetPixel(x, y, RGBColor(v[y][x], v[y][x] / 2, 255 - v[y][x]));
  TBitmap unchanged = b;
  BlurBitmap(b, 0);
  EXPECT_EQ(b, unchanged);
  BlurBitmap(b, 1);
  // Worked by hand: each value averages the four corner pixels as the storage holds them at
  // that moment, rounded down.
  const int red[2][3] = {{80, 120, 140}, {120, 135, 148}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(RedOf(b.Pixel(x, y)), red[y][x]) << x << "," << y;
  EXPECT_EQ(GreenOf(b.Pixel(1, 1)), 67);
  EXPECT_EQ(GreenOf(b.Pixel(2, 1)), 74);
  EXPECT_EQ(BlueOf(b.Pixel(0, 0)), 255 - 80);
}

TEST(DrawingTest, BandFallbackSplitsWithRoundingAndStepsColoursTowardZero) {
  TBitmap b(4, 10, kWhite);
  TColor from = RGBColor(10, 200, 0), to = RGBColor(15, 99, 7);
  GradientRect(b, {0, 0, 4, 10}, from, to, 3, true);
  // Bands at 0, MulDiv(1, 10, 3) = 3, MulDiv(2, 10, 3) = 7, 10.
  const TColor expected[10] = {from,
                               from,
                               from,
                               RGBColor(12, 150, 3),
                               RGBColor(12, 150, 3),
                               RGBColor(12, 150, 3),
                               RGBColor(12, 150, 3),
                               to,
                               to,
                               to};
  for (int y = 0; y < 10; ++y) EXPECT_EQ(b.Pixel(3, y), expected[y]) << y;

  TBitmap h(5, 1, kWhite);
  GradientRect(h, {0, 0, 5, 1}, kBlack, RGBColor(0, 0, 100), 2, false);
  EXPECT_EQ(h.Pixel(2, 0), kBlack) << "MulDiv(1, 5, 2) rounds 2.5 up to 3";
  EXPECT_EQ(h.Pixel(3, 0), RGBColor(0, 0, 100));
  GradientRect(h, {0, 0, 5, 1}, RGBColor(1, 2, 3), RGBColor(9, 9, 9), 1, false);
  EXPECT_EQ(h.Pixel(4, 0), RGBColor(1, 2, 3)) << "a single band has the first colour";
  GradientRect(h, {0, 0, 5, 1}, RGBColor(5, 5, 5), RGBColor(5, 5, 5), 0, false,
               [](TBitmap&, const TRect&, TColor, TColor, bool) { FAIL(); });
  EXPECT_EQ(h.Pixel(0, 0), RGBColor(5, 5, 5));
  EXPECT_EQ(MulDiv(-5, 1, 2), -3);
  EXPECT_EQ(MulDiv(1, 1, 0), -1);
}

TEST(DrawingTest, SelectedCellSplitsAtAThirdAndFramesInside) {
  TBitmap b(32, 32, kWhite);
  DrawSelectedCell(b, {0, 0, 30, 29});
  const TColor upper = RGBColor(0xCD, 0x9B, 0x6D), lower = RGBColor(0xDF, 0x7B, 0x2F);
  EXPECT_EQ(b.Pixel(10, 9), upper);  // third = 30 / 3
  EXPECT_EQ(b.Pixel(10, 10), lower);
  EXPECT_EQ(b.Pixel(10, 28), lower);
  EXPECT_EQ(b.Pixel(10, 29), kWhite);
  EXPECT_EQ(b.Pixel(30, 12), kWhite);
  for (int x : {2, 3, 25, 26}) EXPECT_EQ(b.Pixel(x, 12), kSelectedFrameColor) << x;
  for (int y : {2, 3, 24, 25}) EXPECT_EQ(b.Pixel(12, y), kSelectedFrameColor) << y;
  EXPECT_EQ(b.Pixel(4, 12), lower);
  EXPECT_EQ(b.Pixel(27, 12), lower);

  TBitmap g(8, 6, kWhite);
  DrawSelectedCell(g, {0, 0, 8, 6}, LinearGradientFill);
  EXPECT_EQ(g.Pixel(0, 0), upper);
  EXPECT_EQ(g.Pixel(0, 2), lower);
  EXPECT_EQ(g.Pixel(0, 5), RGBColor(0xD1, 0x93, 0x5D)) << "three quarters of the way down";
}

TEST(DrawingTest, DropShadowDarkensBelowRightAndBlendsItsEdges) {
  const TColor paper = RGBColor(200, 0, 0);
  TBitmap b(40, 40, paper);
  TBitmap before = b;
  DrawDropShadow(b, {10, 10, 10, 30});
  EXPECT_EQ(b, before) << "an empty rectangle draws nothing";
  DrawDropShadow(b, {10, 10, 20, 20});
  auto near = [](TColor a, TColor b) {
    return std::abs(RedOf(a) - RedOf(b)) <= 2 && std::abs(GreenOf(a) - GreenOf(b)) <= 2 &&
           std::abs(BlueOf(a) - BlueOf(b)) <= 2;
  };
  // The rows above are already blurred when a row is worked, so the shadow deepens downward.
  EXPECT_TRUE(near(b.Pixel(18, 20), kShadowColor));
  EXPECT_GT(RedOf(b.Pixel(18, 11)), RedOf(b.Pixel(18, 16)));
  EXPECT_GT(RedOf(b.Pixel(18, 16)), RedOf(b.Pixel(18, 20)));
  EXPECT_EQ(b.Pixel(8, 8), paper);
  EXPECT_EQ(b.Pixel(28, 20), paper);
  EXPECT_EQ(b.Pixel(9, 9), paper) << "far corner of the work area keeps the canvas";
  TColor edge = b.Pixel(12, 18);
  EXPECT_NE(edge, paper);
  EXPECT_NE(edge, kShadowColor);
  EXPECT_GT(RedOf(edge), 0x40);
}

TEST(DrawingTest, ThumbnailCellGeometry) {
  TThumbnailCell c = LayoutThumbnailCell({20, 100, 277, 400}, 216, 305, 300);
  EXPECT_DOUBLE_EQ(c.Scale, 218.0 / 216);
  EXPECT_EQ(c.PictureHeight, 308);
  EXPECT_EQ(c.RowHeight, 308 + 39);
  EXPECT_EQ(c.Picture, (TRect{40, 113, 257, 374}));
  EXPECT_FALSE(c.Unscaled);
  EXPECT_EQ(c.NameLeft, 24) << "a long name is placed as if it were the cell less 8 wide";
  EXPECT_EQ(c.NameTop, 378);
  EXPECT_EQ(LayoutThumbnailCell({20, 100, 277, 400}, 216, 305, 50).NameLeft, 20 + 100 + 4);
  EXPECT_TRUE(LayoutThumbnailCell({0, 0, 255, 10}, 216, 305, 1).Unscaled);

  TBitmap thumb(216, 300);
  EXPECT_EQ(FillRowHeight(&thumb, true), 339);
  EXPECT_EQ(ViewSwitchRowHeight(&thumb, true), 326);
  EXPECT_EQ(FillRowHeight(&thumb, false), 16);
  EXPECT_EQ(ViewSwitchRowHeight(nullptr, true), 16);
}
