// WordArt: text warps kept through DrawingML and VML, and text set along the arcs of seals.
#include <gtest/gtest.h>

#include <QString>
#include <cmath>
#include <regex>

#include "ooxml_test_support.h"
#include "render_support.h"
#include "wordproc/Render.h"
#include "wordproc/core/Layout.h"
#include "wordproc/core/Ooxml.h"
#include "wordproc/core/TextMeasure.h"
#include "wordproc/core/TextWarp.h"

using namespace wordproc;
using namespace render_test;
using namespace ooxml_test;

namespace {

constexpr double kDegree = 60000;
const std::string kSealText = "ПЕЧАТЬ ООО РОМАШКА";

TextWarp Warp(const std::string& preset, std::optional<double> degrees = std::nullopt) {
  TextWarp warp{preset, {}};
  if (degrees) warp.adjusts.push_back({"adj", *degrees * kDegree});
  return warp;
}

// A ring of text in a circle of the given size, nothing of the shape's own drawn.
Shape& Seal(Document& doc, const std::string& preset, float left, float top, float size,
            float width = 0) {
  Shape& shape =
      Place(doc, NewShape(ShapeKind::AutoShape, left, top, width > 0 ? width : size, size));
  shape.autoShapeType = AutoShapeType::Oval;
  shape.fill.visible = false;
  shape.line.visible = false;
  shape.warp = Warp(preset);
  shape.text.push_back(TextParagraph(doc, kSealText, 16));
  shape.text.back().runs[0].format.bold = true;
  return shape;
}

std::unique_ptr<Document> Reread(const Document& doc) {
  const auto bytes = WritePackageToMemory(doc, false);
  return ReadPackageFromMemory(bytes.data(), bytes.size(), "wordart.docx");
}

QImage Draw(const Document& doc) {
  Layout layout(doc, EstimatedText());
  return RenderPage(doc, layout, 1, 600);
}

// Inked pixels of a picture whose pixels are page points, split by a test of their place.
template <typename Where>
std::pair<int, int> InkInsideAndOut(const QImage& image, Where inside) {
  int in = 0, out = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (IsDark(image.pixel(x, y))) (inside(x + 0.5, y + 0.5) ? in : out)++;
  return {in, out};
}

struct PdfBox {
  double x0, y0, x1, y1;
  std::string text;
};

std::vector<PdfBox> PdfBoxes(const std::string& pdf) {
  const std::string html = RunAndCapture("pdftotext -bbox " + Quote(pdf) + " -");
  static const std::regex word(
      "<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">([^<]*)<");
  std::vector<PdfBox> boxes;
  for (auto it = std::sregex_iterator(html.begin(), html.end(), word); it != std::sregex_iterator();
       ++it) {
    const std::smatch& m = *it;
    boxes.push_back({std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4]), m[5]});
  }
  return boxes;
}

std::u32string Letters(const std::string& utf8) {
  std::u32string letters;
  for (char32_t c : QString::fromStdString(utf8).toUcs4()) {
    if (c != U' ') letters += c;
  }
  std::sort(letters.begin(), letters.end());
  return letters;
}

class WordArt : public ::testing::Test {
 protected:
  void SetUp() override { EnsureApplication(); }
};

TEST(TextWarpArcs, FollowTheStandardsAdjustsAndNumbers) {
  auto arc = ArcOfWarp(Warp("textArchUp"));
  ASSERT_TRUE(arc);
  EXPECT_DOUBLE_EQ(arc->sweep, 180);
  EXPECT_DOUBLE_EQ(arc->middle, 270);
  EXPECT_FALSE(arc->below);
  EXPECT_DOUBLE_EQ(ArcOfWarp(Warp("textArchUp", 200))->sweep, 140);
  EXPECT_DOUBLE_EQ(ArcOfWarp(Warp("textArchUp", 150))->sweep, 240);
  arc = ArcOfWarp(Warp("textArchDown"));
  EXPECT_TRUE(arc->below);
  EXPECT_DOUBLE_EQ(arc->sweep, 180);
  EXPECT_DOUBLE_EQ(arc->middle, 90);
  EXPECT_DOUBLE_EQ(ArcOfWarp(Warp("textArchDown", 30))->sweep, 120);
  EXPECT_DOUBLE_EQ(ArcOfWarp(Warp("textCircle"))->sweep, 360);
  EXPECT_DOUBLE_EQ(ArcOfWarp(Warp("textCircle", 270))->sweep, 180);
  EXPECT_DOUBLE_EQ(ArcOfWarp(Warp("textCircle", 270))->middle, 0);
  EXPECT_DOUBLE_EQ(ArcOfWarp(Warp("textCircle", -1e30))->sweep, 360);  // pinned, never NaN
  EXPECT_FALSE(ArcOfWarp(Warp("textWave1")));
  EXPECT_FALSE(ArcOfWarp(Warp("")));

  EXPECT_EQ(WarpOfVmlType(146), "textCircle");
  EXPECT_EQ(VmlTypeOfWarp("textArchDown"), 145);
  EXPECT_EQ(WarpOfVmlType(12), "");
  const geometry::Adjusts adjusts = WarpAdjustsOfVml("textArchUp", 160.0 * 65536);
  ASSERT_EQ(adjusts.size(), 1u);
  EXPECT_DOUBLE_EQ(adjusts[0].value, 200 * kDegree);
  EXPECT_EQ(VmlAdjOfWarp({"textArchUp", adjusts}), 160LL * 65536);
  EXPECT_EQ(WarpOfTextEffectShape(9), "textArchUp");
  EXPECT_EQ(WarpOfTextEffectShape(11), "textCircle");
  EXPECT_EQ(TextEffectShapeOfWarp("textButton"), 12);
  EXPECT_EQ(WarpOfTextEffectShape(41), "");
}

TEST_F(WordArt, WarpsSurviveSavingAndReading) {
  auto doc = PlainDocument();
  Seal(*doc, "textArchUp", 50, 50, 200).warp = Warp("textArchUp", 200);
  Seal(*doc, "textWave1", 300, 50, 100).warp.adjusts = {{"adj1", 6250}, {"adj2", -3000}};
  auto back = Reread(*doc);
  ASSERT_EQ(back->shapes.size(), 2u);
  EXPECT_EQ(back->shapes[0].shape->warp, Warp("textArchUp", 200));
  EXPECT_EQ(back->shapes[1].shape->warp.preset, "textWave1");
  EXPECT_EQ(back->shapes[1].shape->warp.adjusts, doc->shapes[1].shape->warp.adjusts);
  EXPECT_EQ(back->shapes[0].shape->text[0].text(), kSealText);
}

TEST_F(WordArt, VmlTextPathIsReadAsWarpedText) {
  const std::string body =
      "<w:p><w:r><w:pict><v:shape id=\"s1\" o:spt=\"146\" type=\"#_x0000_t146\" "
      "adj=\"11796480\" fillcolor=\"#c00000\" stroked=\"f\" "
      "style=\"position:absolute;margin-left:10pt;margin-top:20pt;width:150pt;height:150pt\">"
      "<v:path textpathok=\"t\"/><v:textpath on=\"t\" fitshape=\"t\" "
      "style=\"font-family:&quot;Arial&quot;;font-size:20pt;font-weight:bold\" "
      "string=\"ООО РОМАШКА\"/></v:shape></w:pict></w:r></w:p>";
  auto doc = ReadBytes(PackageWithBody(body));
  ASSERT_EQ(doc->shapes.size(), 1u);
  const Shape& shape = *doc->shapes[0].shape;
  EXPECT_EQ(shape.warp, Warp("textCircle", 180));
  ASSERT_EQ(shape.text.size(), 1u);
  const wordproc::Run& run = shape.text[0].runs.at(0);
  EXPECT_EQ(run.text, "ООО РОМАШКА");
  EXPECT_EQ(run.format.fontFamily, "Arial");
  EXPECT_FLOAT_EQ(run.format.fontSize, 20);
  EXPECT_TRUE(run.format.bold);
  EXPECT_EQ(run.format.color, 0xC00000u);
  EXPECT_FALSE(shape.fill.visible);
  EXPECT_FALSE(shape.line.visible);
  auto back = Reread(*doc);
  EXPECT_EQ(back->shapes.at(0).shape->warp, shape.warp);
  EXPECT_EQ(back->shapes.at(0).shape->text.at(0).runs, shape.text[0].runs);
}

TEST_F(WordArt, SealLettersStandOnACircleInThePdf) {
  auto doc = PlainDocument();
  Seal(*doc, "textCircle", 100, 100, 300);
  TempDir dir;
  Layout layout(*doc, EstimatedText());
  WritePdf(*doc, layout, dir / "seal.pdf");
  const std::vector<PdfBox> boxes = PdfBoxes(dir / "seal.pdf");
  std::string found;
  std::vector<double> distances;
  for (const PdfBox& box : boxes) {
    found += box.text;
    distances.push_back(std::hypot((box.x0 + box.x1) / 2 - 250, (box.y0 + box.y1) / 2 - 250));
  }
  EXPECT_EQ(Letters(found), Letters(kSealText)) << found;
  ASSERT_FALSE(distances.empty());
  const auto [least, most] = std::minmax_element(distances.begin(), distances.end());
  EXPECT_GT(*least, 115);
  EXPECT_LT(*most, 150);
  EXPECT_LT(*most - *least, 20);
}

TEST_F(WordArt, SealInkStaysInItsRing) {
  auto doc = PlainDocument();
  Seal(*doc, "textCircle", 100, 100, 300);
  const auto [in, out] = InkInsideAndOut(Draw(*doc), [](double x, double y) {
    const double r = std::hypot(x - 250, y - 250);
    return r > 120 && r < 151;
  });
  EXPECT_GT(in, 600);
  EXPECT_EQ(out, 0);
}

TEST_F(WordArt, ArchesKeepToTheirHalfAndPlainTextFillsItsBox) {
  auto doc = PlainDocument();
  Seal(*doc, "textArchUp", 50, 50, 200);
  Seal(*doc, "textArchDown", 50, 300, 200);
  Shape& plain = Seal(*doc, "textPlain", 300, 50, 60, 250);
  plain.text[0].runs[0].text = "МЕД";
  const QImage image = Draw(*doc);
  auto count = [&](QRect area) { return CountPixels(image, area, IsDark); };
  EXPECT_GT(count({50, 50, 200, 100}), 800);
  EXPECT_EQ(count({50, 160, 200, 90}), 0);
  EXPECT_GT(count({50, 400, 200, 100}), 800);
  EXPECT_EQ(count({50, 300, 200, 90}), 0);
  // Stretched: ink reaches close to each edge of the box.
  EXPECT_GT(count({300, 50, 20, 60}), 0);
  EXPECT_GT(count({530, 50, 20, 60}), 0);
  EXPECT_GT(count({300, 50, 250, 10}), 0);
  EXPECT_GT(count({300, 100, 250, 10}), 0);
  EXPECT_EQ(count({300, 112, 250, 100}), 0);
}

}  // namespace
