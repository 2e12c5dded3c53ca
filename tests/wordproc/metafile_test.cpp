#include <gtest/gtest.h>

#include "tests/wordproc/metafile_support.h"
#include "wordproc/core/Metafile.h"

using namespace wordproc::metafile;
using namespace metafile_test;

namespace {

std::optional<Picture> ReadString(const std::string& bytes) {
  return Read(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

std::vector<const Path*> Paths(const Picture& picture) {
  std::vector<const Path*> paths;
  for (const Drawn& d : picture.items)
    if (const auto* p = std::get_if<Path>(&d.item)) paths.push_back(p);
  return paths;
}

Rect Bounds(const Path& path) {
  Rect r{1e9, 1e9, -1e9, -1e9};
  for (const Point& p : path.points) {
    r.left = std::min(r.left, p.x), r.right = std::max(r.right, p.x);
    r.top = std::min(r.top, p.y), r.bottom = std::max(r.bottom, p.y);
  }
  return r;
}

TEST(Metafile, EmfFrameSizeAndShapesWithTheirPensAndBrushes) {
  Emf emf(200, 100);
  emf.Brush(1, 0, 0xFF0000);
  emf.Pen(2, 5, 0, 0);  // PS_NULL
  emf.Select(1);
  emf.Select(2);
  emf.Rectangle(0, 0, 100, 100);
  emf.Brush(3, 0, 0x0000FF);
  emf.Pen(4, 0, 4, 0x00AA00);
  emf.Select(3);
  emf.Select(4);
  emf.Ints(17, {8});  // MM_ANISOTROPIC: a window of 20 x 10 on the whole device
  emf.Ints(9, {20, 10});
  emf.Ints(11, {200, 100});
  emf.Ellipse(10, 0, 20, 10);
  const std::string bytes = emf.bytes();
  const auto size = NaturalSize(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  ASSERT_TRUE(size);
  EXPECT_NEAR(size->first, 50 * 72 / 25.4, 0.01);  // 50 mm
  EXPECT_NEAR(size->second, 25 * 72 / 25.4, 0.01);
  const auto picture = ReadString(bytes);
  ASSERT_TRUE(picture);
  EXPECT_DOUBLE_EQ(picture->frame.right, 200);
  EXPECT_DOUBLE_EQ(picture->frame.bottom, 100);
  const auto paths = Paths(*picture);
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_TRUE(paths[0]->fill && !paths[0]->stroke);
  EXPECT_EQ(paths[0]->brush.color, 0xFF0000u);
  EXPECT_TRUE(paths[1]->fill && paths[1]->stroke);
  EXPECT_EQ(paths[1]->brush.color, 0x0000FFu);
  EXPECT_EQ(paths[1]->pen.color, 0x00AA00u);
  EXPECT_NEAR(paths[1]->pen.width, 40, 1e-9);  // 4 logical units, ten device pixels each
  const Rect ellipse = Bounds(*paths[1]);
  EXPECT_NEAR(ellipse.left, 100, 1e-6);
  EXPECT_NEAR(ellipse.right, 200, 1e-6);
  EXPECT_NEAR(ellipse.bottom, 100, 1e-6);
}

TEST(Metafile, EmfPathsSavedStatesAndWorldTransform) {
  Emf emf(100, 100);
  emf.Brush(1, 0, 0x00FF00);
  emf.Select(1);
  emf.Ints(33, {});    // SaveDC
  emf.Brush(2, 1, 0);  // a hollow brush, forgotten again by RestoreDC
  emf.Select(2);
  emf.Ints(34, {-1});
  emf.Ints(35, {0x40000000, 0, 0, 0x40000000, 0, 0});  // world transform: twice the size
  emf.Ints(59, {});                                    // BeginPath
  emf.Polygon16({{0, 0}, {10, 0}, {10, 10}});
  emf.Ints(27, {20, 20});                // MoveToEx
  emf.Ints(6, {0, 0, 0, 0, 1, 30, 40});  // PolylineTo
  emf.Ints(60, {});                      // EndPath
  emf.Ints(62, {0, 0, 0, 0});            // FillPath
  const auto picture = ReadString(emf.bytes());
  ASSERT_TRUE(picture);
  const auto paths = Paths(*picture);
  ASSERT_EQ(paths.size(), 1u);
  EXPECT_TRUE(paths[0]->fill);
  EXPECT_EQ(paths[0]->brush.color, 0x00FF00u);
  const Rect bounds = Bounds(*paths[0]);
  EXPECT_DOUBLE_EQ(bounds.right, 60);
  EXPECT_DOUBLE_EQ(bounds.bottom, 80);
  EXPECT_EQ(std::count(paths[0]->ops.begin(), paths[0]->ops.end(), PathOp::Move), 2);
}

TEST(Metafile, EmfTextKeepsCharactersAdvancesAndFont) {
  Emf emf(100, 100);
  emf.Font(1, -20, u"DejaVu Sans");
  emf.Select(1);
  emf.Ints(24, {ColorRef(0x123456)});
  emf.Ints(22, {24});  // TA_BASELINE
  emf.Text(10, 50, u"Ёлка", 12);
  const auto picture = ReadString(emf.bytes());
  ASSERT_TRUE(picture);
  ASSERT_EQ(picture->items.size(), 1u);
  const auto* text = std::get_if<Text>(&picture->items[0].item);
  ASSERT_TRUE(text);
  EXPECT_EQ(text->chars, u"Ёлка");
  EXPECT_EQ(text->family, u"DejaVu Sans");
  EXPECT_DOUBLE_EQ(text->height, 20);
  EXPECT_EQ(text->advances, std::vector<double>(4, 12));
  EXPECT_EQ(text->color, 0x123456u);
  EXPECT_EQ(text->vAlign, VAlign::Baseline);
}

TEST(Metafile, WmfWindowFillsTheFrameAndObjectsTakeTheLowestFreeSlot) {
  Wmf wmf(1440, 720);
  wmf.Brush(0, 0xFF0000);  // slot 0
  wmf.Brush(0, 0x00FF00);  // slot 1
  wmf.Delete(0);
  wmf.Brush(0, 0x0000FF);  // slot 0 again
  wmf.Select(0);
  wmf.Rectangle(0, 0, 720, 720);
  wmf.Select(1);
  wmf.Font(-200, 204, "Arial");  // slot 2, Cyrillic
  wmf.Select(2);
  wmf.Text(800, 100, "\xC0\xE1\xE2");
  const std::string bytes = wmf.bytes();
  const auto picture = ReadString(bytes);
  ASSERT_TRUE(picture);
  EXPECT_DOUBLE_EQ(picture->widthPt, 72);
  EXPECT_DOUBLE_EQ(picture->heightPt, 36);
  EXPECT_DOUBLE_EQ(picture->frame.right, 1440);
  EXPECT_DOUBLE_EQ(picture->frame.bottom, 720);
  const auto paths = Paths(*picture);
  ASSERT_EQ(paths.size(), 1u);
  EXPECT_EQ(paths[0]->brush.color, 0x0000FFu);
  EXPECT_DOUBLE_EQ(Bounds(*paths[0]).right, 720);
  const auto* text = std::get_if<Text>(&picture->items.back().item);
  ASSERT_TRUE(text);
  EXPECT_EQ(text->chars, u"Абв");
  EXPECT_EQ(text->family, u"Arial");
}

TEST(Metafile, WmfWithoutBoundsIsFramedByItsWindow) {
  Wmf wmf(2880, 1440);
  wmf.Brush(0, 0);
  wmf.Select(0);
  wmf.Rectangle(0, 0, 100, 100);
  const auto picture = ReadString(wmf.bytes(false));
  ASSERT_TRUE(picture);
  EXPECT_DOUBLE_EQ(picture->frame.right, 2880);
  EXPECT_DOUBLE_EQ(picture->widthPt, 144);  // taken as twips
}

// Every prefix of a file, and files with counts and indices far beyond what they hold, read
// without fault and keep at most what they really carry.
TEST(Metafile, HostileFilesDrawWhatTheyCan) {
  Emf emf(100, 100);
  emf.Brush(1, 0, 0xFF0000);
  emf.Select(1);
  emf.Select(0x7FFF);  // no such object
  emf.Ints(40, {999999});
  emf.Rectangle(0, 0, 50, 50);
  emf.Ints(4, {0, 0, 0, 0, 0x7FFFFFFF, 1, 2});                  // Polyline claiming 2^31 points
  emf.Ints(8, {0, 0, 0, 0, 0x40000000, 0x40000000});            // PolyPolygon likewise
  emf.Ints(84, {0, 0, 0, 0, 1, 0, 0, 0, 0, 0x7FFFFFFF, 8, 0});  // text past the record
  for (int k = 0; k < 5000; ++k) emf.Ints(33, {});              // SaveDC beyond any depth
  emf.Ints(34, {-100000});
  const std::string bytes = emf.bytes();
  for (std::size_t n = 0; n <= bytes.size(); n += (n < 400 ? 1 : 997)) {
    const auto picture = ReadString(bytes.substr(0, n));
    if (picture) {
      EXPECT_LE(picture->items.size(), 1u);
    }
  }
  const auto whole = ReadString(bytes);
  ASSERT_TRUE(whole);
  EXPECT_EQ(Paths(*whole).size(), 1u);

  Wmf wmf(100, 100, 2);
  for (int k = 0; k < 5; ++k) wmf.Brush(0, 0x00FF00);  // beyond a table of two
  wmf.Select(40000);
  wmf.Record(0x0538, {30000, 1, 2});  // PolyPolygon counting far more than it holds
  wmf.Record(0x0325, {-1, 0, 0});
  wmf.Record(0x0F43, {0x20, 0xCC, 0, 10, 10});  // StretchDIB without its bitmap
  const std::string w = wmf.bytes();
  for (std::size_t n = 0; n <= w.size(); ++n) ReadString(w.substr(0, n));
  std::string sizeless = w;
  sizeless[40] = sizeless[41] = sizeless[42] = sizeless[43] = '\0';  // a record of no size
  EXPECT_TRUE(ReadString(sizeless));
  EXPECT_FALSE(ReadString("not a metafile at all, just text"));
}

TEST(Metafile, SvgIsRecognisedByItsRoot) {
  auto svg = [](const std::string& text) {
    return LooksLikeSvg(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  };
  EXPECT_TRUE(svg("<svg xmlns=\"http://www.w3.org/2000/svg\"/>"));
  EXPECT_TRUE(svg("\xEF\xBB\xBF  <?xml version=\"1.0\"?>\n<!-- logo -->\n<svg width=\"2\"/>"));
  EXPECT_FALSE(svg("<?xml version=\"1.0\"?><w:document/>"));
  EXPECT_FALSE(svg("GIF89a<svg"));
}

}  // namespace
