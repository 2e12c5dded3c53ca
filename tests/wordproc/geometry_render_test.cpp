// Presets, freeforms and turned shapes as they are drawn, saved and read back, and as
// LibreOffice draws what we save.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "ooxml_test_support.h"
#include "render_support.h"
#include "wordproc/Render.h"
#include "wordproc/core/GeometryXml.h"
#include "wordproc/core/Layout.h"
#include "wordproc/core/Ooxml.h"
#include "wordproc/core/ShapeOps.h"
#include "wordproc/core/TextMeasure.h"

using namespace wordproc;
using namespace render_test;
using namespace ooxml_test;

namespace {

class GeometryRender : public ::testing::Test {
 protected:
  void SetUp() override { EnsureApplication(); }
};

Shape& PresetShape(Document& doc, const std::string& preset, float left, float top,
                   float width = 120, float height = 100) {
  Shape& shape = Place(doc, NewShape(ShapeKind::AutoShape, left, top, width, height));
  shape.preset = preset;
  shape.name = preset;
  shape.fill.color = 0x4472C4;
  shape.line = ooxml_test::PlainLine(true, 1.5f, DashStyle::Solid, 0x000000);
  return shape;
}

std::shared_ptr<const geometry::ShapeGeometry> Triangle() {
  pugi::xml_document xml;
  xml.load_string(
      "<a:custGeom xmlns:a='a'><a:pathLst><a:path w='4' h='4'><a:moveTo><a:pt x='0' y='4'/>"
      "</a:moveTo><a:lnTo><a:pt x='2' y='0'/></a:lnTo><a:lnTo><a:pt x='4' y='4'/></a:lnTo>"
      "<a:close/></a:path></a:pathLst></a:custGeom>");
  return std::make_shared<const geometry::ShapeGeometry>(
      geometry::ReadGeometry(xml.document_element()));
}

std::unique_ptr<Document> Reread(const Document& doc, bool forConversion = false) {
  const auto bytes =
      forConversion ? WritePackageForConversion(doc, false) : WritePackageToMemory(doc, false);
  return ReadPackageFromMemory(bytes.data(), bytes.size(), "shapes.docx");
}

const Shape& Named(const Document& doc, const std::string& name) {
  for (const AnchoredShape& anchored : doc.shapes)
    if (anchored.shape->name == name) return *anchored.shape;
  throw std::runtime_error("no shape " + name);
}

QImage Render(const Document& doc) {
  Layout layout(doc, EstimatedText());
  return RenderPage(doc, layout, 1, 600);
}

bool Ink(QRgb c) {
  return qGray(c) < 235;
}

// The share of the pixels inked in either picture that only one of them inks.
double InkDifference(const QImage& a, const QImage& b, const QRect& box) {
  int either = 0, one = 0;
  for (int y = box.top(); y <= box.bottom(); ++y) {
    for (int x = box.left(); x <= box.right(); ++x) {
      const bool p = Ink(a.pixel(x, y)), q = Ink(b.pixel(x, y));
      either += p || q;
      one += p != q;
    }
  }
  return either == 0 ? 0 : double(one) / either;
}

}  // namespace

TEST(GeometryRoundTrip, PresetsAdjustsFreeformsAndTurnsSurviveSaving) {
  auto doc = PlainDocument();
  Shape& star = PresetShape(*doc, "star5", 10, 10);
  star.adjusts = {{"adj", 30000}, {"hf", 110000}};
  star.rotation = 30;
  star.flipV = true;
  Shape& freeform = PresetShape(*doc, "", 200, 10);
  freeform.name = "freeform";
  freeform.custom = Triangle();
  freeform.text.push_back(TextParagraph(*doc, "Текст"));
  Shape& plain = Place(*doc, NewShape(ShapeKind::AutoShape, 10, 200, 50, 50));
  plain.name = "plain";
  plain.rotation = 270;
  plain.flipH = true;
  auto group = NewShape(ShapeKind::Group, 300, 300, 200, 100);
  group->name = "group";
  group->rotation = 45;
  auto member = NewShape(ShapeKind::AutoShape, 0, 0, 100, 100);
  member->preset = "heart";
  member->rotation = 10;
  group->children.push_back(std::move(member));
  Place(*doc, std::move(group));

  const auto back = Reread(*doc);
  const Shape& star2 = Named(*back, "star5");
  EXPECT_EQ(star2.preset, "star5");
  EXPECT_EQ(star2.adjusts, star.adjusts);
  EXPECT_NEAR(star2.rotation, 30, 1e-4);
  EXPECT_TRUE(star2.flipV);
  EXPECT_FALSE(star2.flipH);
  const Shape& freeform2 = Named(*back, "freeform");
  ASSERT_NE(freeform2.custom, nullptr);
  EXPECT_EQ(*freeform2.custom, *freeform.custom);
  EXPECT_EQ(freeform2.text.size(), 1u);
  const Shape& plain2 = Named(*back, "plain");
  EXPECT_TRUE(plain2.preset.empty());
  EXPECT_NEAR(plain2.rotation, 270, 1e-4);
  EXPECT_TRUE(plain2.flipH);
  const Shape& group2 = Named(*back, "group");
  EXPECT_NEAR(group2.rotation, 45, 1e-4);
  ASSERT_EQ(group2.children.size(), 1u);
  EXPECT_EQ(group2.children[0]->preset, "heart");
  EXPECT_NEAR(group2.children[0]->rotation, 10, 1e-4);
  EXPECT_TRUE(back->shapes[0].shape->clone()->sameAs(star2));
  EXPECT_FALSE(star2.sameAs(plain2));
}

// The Word 97 route gives LibreOffice VML alone: presets go as paths of their outline, which
// read back as freeforms of the same outline.
TEST(GeometryRoundTrip, TheVmlCopyCarriesTheOutline) {
  auto doc = PlainDocument();
  Shape& arrow = PresetShape(*doc, "rightArrow", 10, 10, 200, 100);
  arrow.rotation = 90;
  const auto back = Reread(*doc, true);
  ASSERT_EQ(back->shapes.size(), 1u);
  const Shape& read = *back->shapes[0].shape;
  ASSERT_NE(read.custom, nullptr);
  EXPECT_NEAR(read.rotation, 90, 1e-4);
  const geometry::Outline ours = OutlineOf(arrow), theirs = OutlineOf(read);
  ASSERT_EQ(ours.paths.size(), theirs.paths.size());
  ASSERT_EQ(ours.paths[0].segments.size(), theirs.paths[0].segments.size());
  for (std::size_t k = 0; k < ours.paths[0].segments.size(); ++k) {
    EXPECT_NEAR(ours.paths[0].segments[k].to.x, theirs.paths[0].segments[k].to.x, 0.01);
    EXPECT_NEAR(ours.paths[0].segments[k].to.y, theirs.paths[0].segments[k].to.y, 0.01);
  }
}

TEST(GeometryRoundTrip, VmlShapeTypesAndRotationsAreRead) {
  const std::string body =
      "<w:p><w:r><w:pict>"
      "<v:shape id='s1' o:spt='12' type='#_x0000_t12' style='position:absolute;width:50pt;"
      "height:40pt;rotation:2949120fd;flip:x'/>"
      "<v:shapetype id='_x0000_t74' o:spt='74'/>"
      "<v:shape id='s2' type='#_x0000_t74' style='position:absolute;width:50pt;height:40pt;"
      "rotation:-90'/>"
      "<v:shape id='s3' coordsize='100,100' path='m0,0l100,0,50,100xe' "
      "style='position:absolute;width:50pt;height:40pt'/>"
      "</w:pict></w:r></w:p>";
  const auto doc = ReadBytes(PackageWithBody(body + kA4Section));
  ASSERT_EQ(doc->shapes.size(), 3u);
  const Shape& star = *doc->shapes[0].shape;
  EXPECT_EQ(star.preset, "star5");
  EXPECT_NEAR(star.rotation, 45, 1e-4);
  EXPECT_TRUE(star.flipH);
  EXPECT_EQ(doc->shapes[1].shape->preset, "heart");
  EXPECT_NEAR(doc->shapes[1].shape->rotation, 270, 1e-4);
  const Shape& path = *doc->shapes[2].shape;
  ASSERT_NE(path.custom, nullptr);
  EXPECT_EQ(path.custom->paths[0].commands.size(), 4u);  // m, l twice, x
  EXPECT_EQ(path.kind, ShapeKind::AutoShape);
}

TEST_F(GeometryRender, PresetsAreDrawnByTheirOutline) {
  auto doc = PlainDocument();
  Shape& star = PresetShape(*doc, "star5", 100, 100, 200, 200);
  star.line.visible = false;
  star.fill.color = 0xFF0000;
  const QImage image = Render(*doc);
  EXPECT_TRUE(IsRed(image.pixel(200, 200)));    // the middle
  EXPECT_TRUE(IsRed(image.pixel(200, 105)));    // the top point
  EXPECT_TRUE(IsWhite(image.pixel(105, 105)));  // the corners stay empty
  EXPECT_TRUE(IsWhite(image.pixel(295, 295)));
}

TEST_F(GeometryRender, TurnedShapesTurnAboutTheirCentreWithTheirText) {
  auto doc = PlainDocument();
  // A wide bar turned upright covers a tall strip through its centre.
  Shape& bar = Place(*doc, FilledRect(100, 280, 400, 40, 0xFF0000));
  bar.rotation = 90;
  const QImage image = Render(*doc);
  EXPECT_TRUE(IsRed(image.pixel(300, 120)));
  EXPECT_TRUE(IsRed(image.pixel(300, 480)));
  EXPECT_TRUE(IsWhite(image.pixel(120, 300)));
  EXPECT_TRUE(IsWhite(image.pixel(480, 300)));

  // Text in a box turned upside down stands in its lower half.
  auto text = PlainDocument();
  Shape& box = Place(*text, NewShape(ShapeKind::TextBox, 100, 100, 300, 200));
  box.line.visible = false;
  box.text.push_back(TextParagraph(*text, "ЖЖЖЖЖЖ", 20));
  const QImage upright = Render(*text);
  box.rotation = 180;
  const QImage turned = Render(*text);
  EXPECT_GT(CountPixels(upright, QRect(100, 100, 300, 50), IsDark), 20);
  EXPECT_EQ(CountPixels(turned, QRect(100, 100, 300, 50), IsDark), 0);
  EXPECT_GT(CountPixels(turned, QRect(100, 250, 300, 50), IsDark), 20);
}

TEST_F(GeometryRender, FlipsMirrorTheOutline) {
  auto doc = PlainDocument();
  Shape& triangle = PresetShape(*doc, "rtTriangle", 100, 100, 200, 200);
  triangle.line.visible = false;
  triangle.fill.color = 0xFF0000;
  // The right angle is bottom left: the upright side runs up the left edge.
  const QImage upright = Render(*doc);
  EXPECT_TRUE(IsRed(upright.pixel(110, 120)));
  EXPECT_TRUE(IsWhite(upright.pixel(290, 120)));
  triangle.flipH = true;
  const QImage flipped = Render(*doc);
  EXPECT_TRUE(IsWhite(flipped.pixel(110, 120)));
  EXPECT_TRUE(IsRed(flipped.pixel(290, 120)));
}

// A dozen presets of different families, saved by us and drawn by LibreOffice from the file,
// cover the same pixels within each shape's box.
TEST_F(GeometryRender, LibreOfficeDrawsOurPresetsAsWeDo) {
  if (!HaveProgram("soffice") || !HaveProgram("pdftoppm"))
    GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
  const char* presets[] = {
      "star5",    "rightArrow", "heart",      "wedgeRectCallout", "ribbon2", "cloud",
      "blockArc", "can",        "smileyFace", "curvedRightArrow", "hexagon", "flowChartDocument"};
  auto doc = PlainDocument();
  doc->paragraphs[0] = TextParagraph(*doc, "");
  for (int k = 0; k < 12; ++k)
    PresetShape(*doc, presets[k], 20.0f + 145 * (k % 4), 40.0f + 150 * (k / 4));
  doc->shapes[0].shape->rotation = 20;
  doc->shapes[1].shape->adjusts = {{"adj1", 70000}, {"adj2", 30000}};
  TempDir dir;
  const std::string file = dir / "presets.docx";
  WritePackage(*doc, file);
  const std::string pdf = ConvertWithLibreOffice(file, "pdf", dir / "pdf");
  ASSERT_FALSE(pdf.empty());
  ASSERT_EQ(std::system(("pdftoppm -r 72 -png -singlefile " + Quote(pdf) + " " +
                         Quote(dir / "there") + " >/dev/null 2>&1")
                            .c_str()),
            0);
  const QImage there(QString::fromStdString(dir / "there.png"));
  ASSERT_NEAR(there.width(), 600, 1);
  const QImage here = Render(*doc);
  if (const char* keep = std::getenv("VSP_KEEP_PICTURES")) {
    here.save(QString::fromStdString(std::string(keep) + "/here.png"));
    there.save(QString::fromStdString(std::string(keep) + "/there.png"));
  }
  for (int k = 0; k < 12; ++k) {
    SCOPED_TRACE(presets[k]);
    const QRect box(20 + 145 * (k % 4) - 10, 40 + 150 * (k / 4) - 10, 140, 120);
    EXPECT_LT(InkDifference(here, there.convertToFormat(QImage::Format_RGB32), box), 0.15);
  }
}
