#include <gtest/gtest.h>

#include <QBuffer>

#include "tests/wordproc/render_support.h"
#include "wordproc/Render.h"
#include "wordproc/RenderText.h"
#include "wordproc/core/Layout.h"

using namespace wordproc;
using namespace render_test;

namespace {

class RenderPageTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureApplication(); }

  static QImage Render(const Document& doc, int page = 1, int width = 600) {
    Layout layout(doc, FontMeasurer());
    return RenderPage(doc, layout, page, width);
  }
};

ImagePtr PngOf(const QColor& colour) {
  QImage picture(4, 4, QImage::Format_RGB32);
  picture.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  picture.save(&buffer, "PNG");
  return std::make_shared<Image>(Image{"image/png", "png", {bytes.begin(), bytes.end()}});
}

TEST_F(RenderPageTest, PictureKeepsThePageProportionsAndPagesBeyondAreBlank) {
  Document a4;
  EXPECT_EQ(Render(a4, 1, 216).size(), QSize(216, 305));
  Document landscape;
  std::swap(landscape.pageSetup.pageWidth, landscape.pageSetup.pageHeight);
  EXPECT_EQ(Render(landscape, 1, 216).size(), QSize(216, 153));
  EXPECT_TRUE(Render(a4, 1, 0).isNull());

  auto doc = PlainDocument();
  Place(*doc, FilledRect(0, 0, 600, 800, 0xFF0000));
  for (int page : {0, 2}) {
    QImage image = Render(*doc, page);
    EXPECT_EQ(CountPixels(image, image.rect(), IsWhite), 600 * 800) << page;
  }
}

TEST_F(RenderPageTest, PageColourFillsThePageUnderItsShapes) {
  auto doc = PlainDocument();
  doc->pageColor = 0xFFFFCC;
  Place(*doc, FilledRect(0, 0, 100, 100, 0xFF0000));
  const QImage image = Render(*doc);
  EXPECT_EQ(image.pixelColor(image.width() - 2, image.height() - 2), QColor(0xFF, 0xFF, 0xCC));
  EXPECT_EQ(image.pixelColor(10, 10), QColor(0xFF, 0, 0));
}

TEST_F(RenderPageTest, ShapesCoverExactlyTheirBoxesLaterOnesOnTop) {
  auto doc = PlainDocument();
  Place(*doc, FilledRect(100, 200, 150, 50, 0xFF0000));
  Place(*doc, FilledRect(200, 200, 100, 50, 0x00FF00));
  QImage image = Render(*doc);
  EXPECT_EQ(CountPixels(image, QRect(100, 200, 100, 50), IsRed), 100 * 50);
  EXPECT_EQ(CountPixels(image, QRect(200, 200, 100, 50), IsGreen), 100 * 50);
  EXPECT_EQ(CountPixels(image, image.rect(), IsWhite), 600 * 800 - 200 * 50);
}

TEST_F(RenderPageTest, HiddenShapesAndHiddenGroupMembersAreNotDrawn) {
  auto doc = PlainDocument();
  Place(*doc, FilledRect(0, 0, 100, 100, 0xFF0000)).visible = false;
  auto group = NewShape(ShapeKind::Group, 200, 200, 200, 100);
  group->children.push_back(FilledRect(0, 0, 100, 100, 0x00FF00));
  group->children.push_back(FilledRect(100, 0, 100, 100, 0x0000FF));
  group->children.back()->visible = false;
  Place(*doc, std::move(group));
  auto hiddenGroup = NewShape(ShapeKind::Group, 0, 400, 100, 100);
  hiddenGroup->visible = false;
  hiddenGroup->children.push_back(FilledRect(0, 0, 100, 100, 0x00FF00));
  Place(*doc, std::move(hiddenGroup));

  QImage image = Render(*doc);
  EXPECT_EQ(CountPixels(image, image.rect(), IsRed), 0);
  EXPECT_EQ(CountPixels(image, image.rect(), IsBlue), 0);
  EXPECT_EQ(CountPixels(image, image.rect(), IsGreen), 100 * 100);
}

TEST_F(RenderPageTest, GroupMembersStandFromTheGroupsCornerAtEveryLevel) {
  auto doc = PlainDocument();
  auto group = NewShape(ShapeKind::Group, 100, 100, 200, 100);
  group->children.push_back(FilledRect(0, 0, 100, 50, 0xFF0000));
  group->children.push_back(FilledRect(100, 50, 100, 50, 0x00FF00));
  Place(*doc, std::move(group));
  auto inner = NewShape(ShapeKind::Group, 0, 0, 100, 100);
  inner->children.push_back(FilledRect(0, 0, 50, 50, 0x0000FF));
  inner->children.push_back(FilledRect(50, 50, 50, 50, 0x00FF00));
  auto outer = NewShape(ShapeKind::Group, 300, 400, 200, 200);
  outer->children.push_back(std::move(inner));
  outer->children.push_back(FilledRect(100, 100, 100, 100, 0xFF0000));
  Place(*doc, std::move(outer));
  // Members need not fill their group's box; they are not stretched to it.
  auto loose = NewShape(ShapeKind::Group, 0, 650, 200, 100);
  loose->children.push_back(FilledRect(10, 10, 50, 50, 0x0000FF));
  Place(*doc, std::move(loose));

  QImage image = Render(*doc);
  EXPECT_EQ(CountPixels(image, QRect(100, 100, 100, 50), IsRed), 100 * 50);
  EXPECT_EQ(CountPixels(image, QRect(200, 150, 100, 50), IsGreen), 100 * 50);
  EXPECT_EQ(CountPixels(image, QRect(300, 400, 50, 50), IsBlue), 50 * 50);
  EXPECT_EQ(CountPixels(image, QRect(350, 450, 50, 50), IsGreen), 50 * 50);
  EXPECT_EQ(CountPixels(image, QRect(400, 500, 100, 100), IsRed), 100 * 100);
  EXPECT_EQ(CountPixels(image, QRect(0, 650, 200, 100), IsBlue), 50 * 50);
  EXPECT_TRUE(IsBlue(image.pixel(10, 660)));
}

TEST_F(RenderPageTest, EveryDashStyleLeavesGapsAndSolidNone) {
  for (int style = int(DashStyle::Solid); style <= int(DashStyle::SysDashDot); ++style) {
    auto doc = PlainDocument();
    Shape& line = Place(*doc, NewShape(ShapeKind::Line, 50, 100, 500, 0));
    line.line.weight = 4;
    line.line.dash = DashStyle(style);
    QImage image = Render(*doc);
    int edges = 0;
    for (int x = 61; x < 540; ++x)
      edges += IsDark(image.pixel(x, 100)) != IsDark(image.pixel(x - 1, 100));
    if (line.line.dash == DashStyle::Solid)
      EXPECT_EQ(CountPixels(image, QRect(50, 100, 500, 1), IsDark), 500);
    else
      EXPECT_GE(edges, 10) << "dash style " << style;
  }
}

TEST_F(RenderPageTest, LineRunsAlongTheDiagonalItsFlipsChoose) {
  struct Case {
    bool flipH, flipV;
    QPoint dark, light;
  };
  for (const Case& c :
       {Case{false, false, {110, 110}, {290, 110}}, Case{true, false, {290, 110}, {110, 110}},
        Case{false, true, {110, 290}, {110, 110}}, Case{true, true, {110, 110}, {290, 110}}}) {
    auto doc = PlainDocument();
    Shape& line = Place(*doc, NewShape(ShapeKind::Line, 100, 100, 200, 200));
    line.line.weight = 3;
    line.flipH = c.flipH;
    line.flipV = c.flipV;
    QImage image = Render(*doc);
    EXPECT_TRUE(IsDark(image.pixel(c.dark))) << c.flipH << c.flipV;
    EXPECT_TRUE(IsWhite(image.pixel(c.light))) << c.flipH << c.flipV;
  }
}

TEST_F(RenderPageTest, OutlinesTakeTheirColourAndWeightAndThinOnesStayVisible) {
  auto doc = PlainDocument();
  Shape& framed = Place(*doc, NewShape(ShapeKind::AutoShape, 100, 500, 200, 100));
  framed.line.color = 0x0000FF;
  framed.line.weight = 6;
  framed.fill.visible = false;
  Place(*doc, NewShape(ShapeKind::TextBox, 400, 100, 100, 400));  // a 0.75 point line
  QImage image = Render(*doc);
  EXPECT_EQ(CountPixels(image, QRect(150, 497, 100, 6), IsBlue), 100 * 6);
  EXPECT_TRUE(IsWhite(image.pixel(200, 550)));
  QImage thumbnail = Render(*doc, 1, 150);  // a quarter of a pixel per point
  auto visible = [](QRgb c) { return qGray(c) < 200; };
  EXPECT_GE(CountPixels(thumbnail, QRect(99, 40, 2, 60), visible), 60);
}

TEST_F(RenderPageTest, TextBoxTextWrapsInsideTheInsetsAndIsClippedToTheBox) {
  auto doc = PlainDocument();
  Shape& box = Place(*doc, NewShape(ShapeKind::TextBox, 100, 100, 200, 60));
  box.line.visible = false;
  for (int i = 0; i < 8; ++i) box.text.push_back(TextParagraph(*doc, "ЖЖЖЖ ЖЖЖЖ ЖЖЖЖ ЖЖЖЖ", 14));
  box.text[0].runs[0].format.color = 0xFF0000;
  QImage image = Render(*doc);
  EXPECT_GT(CountPixels(image, QRect(108, 104, 184, 16), IsRed), 50);
  EXPECT_GT(CountPixels(image, QRect(108, 104 + 17, 184, 14), IsRed), 50);  // wrapped
  EXPECT_GT(CountPixels(image, QRect(108, 104 + 33, 184, 16), IsDark), 50);
  EXPECT_EQ(CountPixels(image, QRect(100, 100, 7, 60), IsDark), 0);
  EXPECT_EQ(CountPixels(image, QRect(293, 100, 7, 60), IsDark), 0);
  EXPECT_EQ(CountPixels(image, QRect(0, 160, 600, 640), IsDark), 0);
  EXPECT_EQ(CountLines(box.text[1], 200 - 2 * 7.2), 2);
  EXPECT_EQ(CountLines(box.text[1], 1000), 1);
  EXPECT_EQ(CountLines(Paragraph(), 100), 1);
}

TEST_F(RenderPageTest, PicturesShowTheirImageAndBrokenOnesNothing) {
  auto doc = PlainDocument();
  Shape& picture = Place(*doc, NewShape(ShapeKind::Picture, 100, 100, 50, 40));
  picture.image = PngOf(Qt::red);
  picture.line.visible = false;
  Shape& broken = Place(*doc, NewShape(ShapeKind::Picture, 300, 100, 50, 40));
  broken.image = std::make_shared<Image>(Image{"image/png", "png", {1, 2, 3}});
  broken.line.visible = false;
  doc->paragraphs[0].inlinePictures.push_back(
      {0, 1, "inline", 30, 30, PngOf(Qt::blue), {}, {}, nullptr, nullptr});
  QImage image = Render(*doc);
  EXPECT_EQ(CountPixels(image, QRect(100, 100, 50, 40), IsRed), 50 * 40);
  EXPECT_EQ(CountPixels(image, QRect(300, 100, 50, 40), IsWhite), 50 * 40);
  EXPECT_GE(CountPixels(image, QRect(0, 0, 40, 40), IsBlue), 25 * 25);
}

TEST_F(RenderPageTest, ShapesAppearOnTheirAnchorsPage) {
  Document doc;
  doc.paragraphs.clear();
  for (int i = 0; i < 200; ++i) doc.paragraphs.push_back(TextParagraph(doc, "Абзац"));
  Layout layout(doc, FontMeasurer());
  ASSERT_GE(layout.pageCount(), 2);
  Place(doc, FilledRect(100, 100, 50, 50, 0xFF0000), layout.firstParagraphOfPage(2));
  QImage first = Render(doc, 1);
  QImage second = Render(doc, 2);
  EXPECT_EQ(CountPixels(first, first.rect(), IsRed), 0);
  EXPECT_GT(CountPixels(second, second.rect(), IsRed), 40 * 40);
  EXPECT_GT(CountPixels(second, second.rect(), IsDark), 0);  // page 2's paragraphs
}

}  // namespace
