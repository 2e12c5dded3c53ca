// Fills, outlines, theme colours and shadows of shapes: read from hand-made packages, drawn,
// saved and read back, and drawn alike by LibreOffice.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <set>

#include "ooxml_test_support.h"
#include "render_support.h"
#include "wordproc/Render.h"
#include "wordproc/core/FillPatterns.h"
#include "wordproc/core/Layout.h"
#include "wordproc/core/Ooxml.h"
#include "wordproc/core/TextMeasure.h"

using namespace wordproc;
using namespace render_test;
using namespace ooxml_test;

namespace {

constexpr double kPixelsPerPoint = 96.0 / 72.0;
constexpr int kPageWidthPx = 794;  // A4 at 96 dpi

// A theme of our own colours, with line styles of 0.5, 2 and 3 points and a shadow in the third
// effect style, as the word processor's themes carry them.
std::string ThemeXml() {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
         "<a:theme xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
         "name=\"T\"><a:themeElements><a:clrScheme name=\"C\">"
         "<a:dk1><a:sysClr val=\"windowText\" lastClr=\"000000\"/></a:dk1>"
         "<a:lt1><a:sysClr val=\"window\" lastClr=\"FFFFFF\"/></a:lt1>"
         "<a:dk2><a:srgbClr val=\"1F3864\"/></a:dk2><a:lt2><a:srgbClr val=\"E7E6E6\"/></a:lt2>"
         "<a:accent1><a:srgbClr val=\"2E8B57\"/></a:accent1>"
         "<a:accent2><a:srgbClr val=\"C04020\"/></a:accent2>"
         "<a:accent3><a:srgbClr val=\"A5A5A5\"/></a:accent3>"
         "<a:accent4><a:srgbClr val=\"FFC000\"/></a:accent4>"
         "<a:accent5><a:srgbClr val=\"5B9BD5\"/></a:accent5>"
         "<a:accent6><a:srgbClr val=\"70AD47\"/></a:accent6>"
         "<a:hlink><a:srgbClr val=\"0563C1\"/></a:hlink>"
         "<a:folHlink><a:srgbClr val=\"954F72\"/></a:folHlink></a:clrScheme>"
         "<a:fontScheme name=\"F\"><a:majorFont><a:latin typeface=\"Calibri Light\"/>"
         "</a:majorFont><a:minorFont><a:latin typeface=\"Calibri\"/></a:minorFont></a:fontScheme>"
         "<a:fmtScheme name=\"S\"><a:fillStyleLst>"
         "<a:solidFill><a:schemeClr val=\"phClr\"/></a:solidFill>"
         "<a:gradFill><a:gsLst><a:gs pos=\"0\"><a:schemeClr val=\"phClr\"><a:tint val=\"50000\"/>"
         "</a:schemeClr></a:gs><a:gs pos=\"100000\"><a:schemeClr val=\"phClr\"/></a:gs></a:gsLst>"
         "<a:lin ang=\"5400000\" scaled=\"0\"/></a:gradFill>"
         "<a:solidFill><a:schemeClr val=\"phClr\"/></a:solidFill></a:fillStyleLst>"
         "<a:lnStyleLst><a:ln w=\"6350\"><a:solidFill><a:schemeClr val=\"phClr\"/></a:solidFill>"
         "</a:ln><a:ln w=\"25400\"><a:solidFill><a:schemeClr val=\"phClr\"/></a:solidFill>"
         "<a:round/></a:ln><a:ln w=\"38100\"><a:solidFill><a:schemeClr val=\"phClr\"/>"
         "</a:solidFill></a:ln></a:lnStyleLst><a:effectStyleLst>"
         "<a:effectStyle><a:effectLst/></a:effectStyle><a:effectStyle><a:effectLst/>"
         "</a:effectStyle><a:effectStyle><a:effectLst><a:outerShdw blurRad=\"0\" "
         "dist=\"76200\" dir=\"2700000\" algn=\"tl\"><a:srgbClr val=\"000000\">"
         "<a:alpha val=\"60000\"/></a:srgbClr></a:outerShdw></a:effectLst></a:effectStyle>"
         "</a:effectStyleLst><a:bgFillStyleLst><a:solidFill><a:schemeClr val=\"phClr\"/>"
         "</a:solidFill></a:bgFillStyleLst></a:fmtScheme></a:themeElements></a:theme>";
}

// A floating shape on the page at x, y (points), w by h, with its spPr content after the
// geometry and an optional wps:style.
std::string Anchor(int id, const std::string& name, double x, double y, double w, double h,
                   const std::string& paint, const std::string& style = "",
                   const std::string& preset = "rect") {
  auto emu = [](double pt) { return std::to_string(std::llround(pt * 12700)); };
  return "<w:r><w:drawing><wp:anchor distT=\"0\" distB=\"0\" distL=\"0\" distR=\"0\" "
         "simplePos=\"0\" relativeHeight=\"" +
         std::to_string(1000 + id) +
         "\" behindDoc=\"0\" locked=\"0\" layoutInCell=\"1\" allowOverlap=\"1\">"
         "<wp:simplePos x=\"0\" y=\"0\"/><wp:positionH relativeFrom=\"page\"><wp:posOffset>" +
         emu(x) + "</wp:posOffset></wp:positionH><wp:positionV relativeFrom=\"page\">" +
         "<wp:posOffset>" + emu(y) + "</wp:posOffset></wp:positionV><wp:extent cx=\"" + emu(w) +
         "\" cy=\"" + emu(h) + "\"/><wp:effectExtent l=\"0\" t=\"0\" r=\"0\" b=\"0\"/>" +
         "<wp:wrapNone/><wp:docPr id=\"" + std::to_string(id) + "\" name=\"" + name +
         "\"/><a:graphic><a:graphicData uri=\"http://schemas.microsoft.com/office/word/2010/"
         "wordprocessingShape\"><wps:wsp><wps:cNvSpPr/><wps:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/>"
         "<a:ext cx=\"" +
         emu(w) + "\" cy=\"" + emu(h) + "\"/></a:xfrm><a:prstGeom prst=\"" + preset +
         "\"><a:avLst/></a:prstGeom>" + paint + "</wps:spPr>" + style +
         "<wps:bodyPr/></wps:wsp></a:graphicData></a:graphic></wp:anchor></w:drawing></w:r>";
}

std::string ThemedPackage(const std::string& runs) {
  auto parts = SpacingParts();
  parts["word/theme/theme1.xml"] = ThemeXml();
  std::string& rels = parts["word/_rels/document.xml.rels"];
  rels.insert(rels.find("</Relationships>"),
              "<Relationship Id=\"rIdTheme\" Type=\"http://schemas.openxmlformats.org/"
              "officeDocument/2006/relationships/theme\" Target=\"theme/theme1.xml\"/>");
  return PackageWithBody("<w:p>" + runs + "</w:p>" + kA4Section, parts);
}

const char* kNoLine = "<a:ln><a:noFill/></a:ln>";

// The shapes of the comparison page, each far enough from the others to sample inside.
std::string PaintedShapes() {
  return Anchor(1, "themed", 60, 60, 120, 80,
                std::string("<a:solidFill><a:schemeClr val=\"accent1\"><a:lumMod val=\"75000\"/>"
                            "</a:schemeClr></a:solidFill>") +
                    kNoLine) +
         Anchor(2, "gradient", 220, 60, 200, 80,
                std::string("<a:gradFill><a:gsLst><a:gs pos=\"0\"><a:srgbClr val=\"FF0000\"/>"
                            "</a:gs><a:gs pos=\"100000\"><a:srgbClr val=\"0000FF\"/></a:gs>"
                            "</a:gsLst><a:lin ang=\"0\" scaled=\"1\"/></a:gradFill>") +
                    kNoLine) +
         Anchor(3, "pattern", 60, 180, 120, 80,
                std::string("<a:pattFill prst=\"dkVert\"><a:fgClr><a:srgbClr val=\"00A000\"/>"
                            "</a:fgClr><a:bgClr><a:srgbClr val=\"FFFF00\"/></a:bgClr>"
                            "</a:pattFill>") +
                    kNoLine) +
         Anchor(4, "styled", 220, 180, 120, 80, "",
                "<wps:style><a:lnRef idx=\"2\"><a:srgbClr val=\"000080\"/></a:lnRef>"
                "<a:fillRef idx=\"1\"><a:schemeClr val=\"accent2\"/></a:fillRef>"
                "<a:effectRef idx=\"3\"><a:srgbClr val=\"000000\"/></a:effectRef>"
                "<a:fontRef idx=\"minor\"><a:schemeClr val=\"lt1\"/></a:fontRef></wps:style>") +
         Anchor(5, "arrow", 60, 320, 200, 0,
                "<a:ln w=\"38100\" cmpd=\"sng\"><a:solidFill><a:srgbClr val=\"C00000\"/>"
                "</a:solidFill><a:headEnd type=\"oval\" w=\"lg\" len=\"lg\"/>"
                "<a:tailEnd type=\"triangle\" w=\"lg\" len=\"lg\"/></a:ln>",
                "", "line") +
         Anchor(6, "double", 320, 300, 120, 80,
                "<a:noFill/><a:ln w=\"76200\" cmpd=\"dbl\"><a:solidFill><a:srgbClr "
                "val=\"000000\"/></a:solidFill></a:ln>") +
         Anchor(7, "radial", 60, 420, 120, 120,
                std::string("<a:gradFill><a:gsLst><a:gs pos=\"0\"><a:srgbClr val=\"FFFFFF\"/>"
                            "</a:gs><a:gs pos=\"100000\"><a:srgbClr val=\"000000\"/></a:gs>"
                            "</a:gsLst><a:path path=\"circle\"><a:fillToRect l=\"50000\" "
                            "t=\"50000\" r=\"50000\" b=\"50000\"/></a:path></a:gradFill>") +
                    kNoLine) +
         Anchor(8, "rings", 220, 420, 160, 120,
                std::string("<a:gradFill><a:gsLst><a:gs pos=\"0\"><a:srgbClr val=\"FFFF00\"/>"
                            "</a:gs><a:gs pos=\"100000\"><a:srgbClr val=\"0000C0\"/></a:gs>"
                            "</a:gsLst><a:path path=\"rect\"><a:fillToRect l=\"50000\" "
                            "t=\"50000\" r=\"50000\" b=\"50000\"/></a:path></a:gradFill>") +
                    kNoLine);
}

std::unique_ptr<Document> ReadPainted() {
  return ReadBytes(ThemedPackage(PaintedShapes()));
}

const Shape& Named(const Document& doc, const std::string& name) {
  for (const AnchoredShape& anchored : doc.shapes)
    if (anchored.shape->name == name) return *anchored.shape;
  throw std::runtime_error("no shape " + name);
}

// accent1 2E8B57 at 75% of its lightness, worked out by hand in HSL.
Rgb DarkerAccent() {
  const double r = 0x2E / 255.0, g = 0x8B / 255.0, b = 0x57 / 255.0;
  const double hi = std::max({r, g, b}), lo = std::min({r, g, b});
  const double l = (hi + lo) / 2, s = (hi - lo) / (hi + lo);  // l < 0.5
  const double h = ((b - r) / (hi - lo) + 2) / 6;
  const double l2 = l * 0.75, q = l2 * (1 + s), p = 2 * l2 - q;
  auto channel = [&](double t) {
    t = t < 0 ? t + 1 : t > 1 ? t - 1 : t;
    const double v = t < 1.0 / 6   ? p + (q - p) * 6 * t
                     : t < 0.5     ? q
                     : t < 2.0 / 3 ? p + (q - p) * (2.0 / 3 - t) * 6
                                   : p;
    return Rgb(std::lround(v * 255));
  };
  return (channel(h + 1.0 / 3) << 16) | (channel(h) << 8) | channel(h - 1.0 / 3);
}

QImage RenderOurs(const Document& doc) {
  Layout layout(doc, EstimatedText());
  return RenderPage(doc, layout, 1, kPageWidthPx).convertToFormat(QImage::Format_RGB32);
}

QImage RenderWithLibreOffice(const std::string& docx, const TempDir& dir) {
  const std::string pdf = ConvertWithLibreOffice(docx, "pdf", dir.path());
  if (pdf.empty()) return {};
  const std::string stem = dir / "lo";
  RunAndCapture("pdftoppm -png -r 96 -f 1 -l 1 " + Quote(pdf) + " " + Quote(stem));
  for (const char* suffix : {"-1.png", "-01.png"}) {
    QImage image(QString::fromStdString(stem + suffix));
    if (!image.isNull()) return image.convertToFormat(QImage::Format_RGB32);
  }
  return {};
}

QRgb At(const QImage& image, double xPt, double yPt) {
  return image.pixel(int(std::lround(xPt * kPixelsPerPoint)),
                     int(std::lround(yPt * kPixelsPerPoint)));
}

bool Near(QRgb c, Rgb expected, int tolerance) {
  return std::abs(qRed(c) - int(expected >> 16)) <= tolerance &&
         std::abs(qGreen(c) - int((expected >> 8) & 0xFF)) <= tolerance &&
         std::abs(qBlue(c) - int(expected & 0xFF)) <= tolerance;
}

std::string Hex(QRgb c) {
  char text[8];
  std::snprintf(text, sizeof text, "%06X", c & 0xFFFFFF);
  return text;
}

// The colours both pictures must show at points inside the shapes of PaintedShapes().
struct Sample {
  const char* what;
  double x, y;
  Rgb expected;
  int tolerance;
};

const Sample kSamples[] = {
    {"theme colour at 75% lightness", 120, 100, DarkerAccent(), 4},
    {"gradient's red end", 222, 100, 0xFF0000, 24},
    {"gradient's blue end", 418, 100, 0x0000FF, 24},
    {"gradient's middle", 320, 100, 0x800080, 40},
    {"theme fill through fillRef", 280, 220, 0xC04020, 4},
    {"radial gradient's white centre", 120, 480, 0xFFFFFF, 40},
    {"rectangular gradient's centre", 300, 480, 0xFFFF00, 40},
    {"rectangular gradient's edge", 221, 480, 0x0000C0, 72},
    {"rectangular gradient halfway up", 300, 450, 0x808060, 60},
    {"page beside the shapes", 200, 160, 0xFFFFFF, 2},
};

void ExpectSamples(const QImage& image, const char* who) {
  for (const Sample& s : kSamples) {
    const QRgb c = At(image, s.x, s.y);
    EXPECT_TRUE(Near(c, s.expected, s.tolerance))
        << who << ": " << s.what << " is " << Hex(c) << ", not " << Hex(s.expected);
  }
}

// Both colours of a pattern show in its area, and nothing else does.
void ExpectPattern(const QImage& image, const char* who) {
  const QRect area(int(70 * kPixelsPerPoint), int(190 * kPixelsPerPoint), 60, 40);
  const int green = CountPixels(image, area, [](QRgb c) { return Near(c, 0x00A000, 60); });
  const int yellow = CountPixels(image, area, [](QRgb c) { return Near(c, 0xFFFF00, 60); });
  EXPECT_GT(green, area.width() * area.height() / 5) << who;
  EXPECT_GT(yellow, area.width() * area.height() / 5) << who;
}

class Fills : public ::testing::Test {
 protected:
  void SetUp() override { EnsureApplication(); }
};

}  // namespace

TEST(FillsRead, ThemeColoursStylesAndTransformsResolve) {
  const auto doc = ReadPainted();
  const Shape& themed = Named(*doc, "themed");
  EXPECT_EQ(themed.fill.color, DarkerAccent());
  EXPECT_FALSE(themed.line.visible);

  const Shape& styled = Named(*doc, "styled");
  EXPECT_EQ(styled.fill.type, FillType::Solid);
  EXPECT_EQ(styled.fill.color, 0xC04020u);
  EXPECT_FLOAT_EQ(styled.line.weight, 2.0f) << "the theme's second line style";
  EXPECT_EQ(styled.line.color, 0x000080u);
  EXPECT_EQ(styled.line.join, LineJoin::Round);
  ASSERT_TRUE(styled.shadow.visible) << "the theme's third effect style";
  EXPECT_NEAR(styled.shadow.distance, 6, 1e-4);
  EXPECT_NEAR(styled.shadow.direction, 45, 1e-4);
  EXPECT_NEAR(styled.shadow.alpha, 0.6, 1e-4);

  const Shape& gradient = Named(*doc, "gradient");
  ASSERT_EQ(gradient.fill.type, FillType::Gradient);
  ASSERT_EQ(gradient.fill.stops.size(), 2u);
  EXPECT_EQ(gradient.fill.stops[0].color, 0xFF0000u);
  EXPECT_EQ(gradient.fill.stops[1].color, 0x0000FFu);
  EXPECT_TRUE(gradient.fill.scaled);

  const Shape& arrow = Named(*doc, "arrow");
  EXPECT_EQ(arrow.line.head.style, ArrowStyle::Oval);
  EXPECT_EQ(arrow.line.tail.style, ArrowStyle::Triangle);
  EXPECT_EQ(arrow.line.tail.width, 3);
  EXPECT_EQ(Named(*doc, "double").line.style, LineStyle::ThinThin);
  EXPECT_EQ(Named(*doc, "pattern").fill.pattern, "dkVert");
  EXPECT_EQ(Named(*doc, "radial").fill.path, GradientPath::Circle);
}

TEST(FillsRead, TransformsFollowTheStandard) {
  const std::string shapes =
      Anchor(1, "tint", 0, 0, 10, 10,
             "<a:solidFill><a:srgbClr val=\"000000\"><a:tint val=\"50000\"/></a:srgbClr>"
             "</a:solidFill>") +
      Anchor(2, "shade", 0, 0, 10, 10,
             "<a:solidFill><a:srgbClr val=\"FFFFFF\"><a:shade val=\"50000\"/></a:srgbClr>"
             "</a:solidFill>") +
      Anchor(3, "lighter", 0, 0, 10, 10,
             "<a:solidFill><a:schemeClr val=\"accent2\"><a:lumMod val=\"60000\"/>"
             "<a:lumOff val=\"40000\"/><a:alpha val=\"25000\"/></a:schemeClr></a:solidFill>") +
      Anchor(4, "system", 0, 0, 10, 10,
             "<a:solidFill><a:sysClr val=\"windowText\" lastClr=\"123456\"/></a:solidFill>") +
      Anchor(5, "preset", 0, 0, 10, 10,
             "<a:solidFill><a:prstClr val=\"red\"><a:hueOff val=\"7200000\"/></a:prstClr>"
             "</a:solidFill>");
  const auto doc = ReadBytes(ThemedPackage(shapes));
  // Tint and shade mix in linear light: half of white is sRGB 188, not 128.
  EXPECT_EQ(Named(*doc, "tint").fill.color, 0xBCBCBCu);
  EXPECT_EQ(Named(*doc, "shade").fill.color, 0xBCBCBCu);
  const Shape& lighter = Named(*doc, "lighter");
  EXPECT_NEAR(lighter.fill.alpha, 0.25, 1e-6);
  const Rgb c = lighter.fill.color;
  const int hi = int(std::max({c >> 16, (c >> 8) & 0xFF, c & 0xFF}));
  const int lo = int(std::min({c >> 16, (c >> 8) & 0xFF, c & 0xFF}));
  EXPECT_NEAR((hi + lo) / 2.0, 0.6625 * 255, 1.5) << "C04020's lightness at 60% plus 40%";
  EXPECT_EQ(Named(*doc, "system").fill.color, 0x123456u);
  EXPECT_EQ(Named(*doc, "preset").fill.color, 0x00FF00u) << "red turned by 120 degrees";
}

TEST(FillsRead, VmlGradientsStrokesAndShadows) {
  const std::string body =
      "<w:p><w:r><w:pict><v:rect style=\"position:absolute;margin-left:10pt;margin-top:10pt;"
      "width:100pt;height:50pt\" fillcolor=\"red\" strokecolor=\"blue\" strokeweight=\"2pt\">"
      "<v:fill type=\"gradient\" color2=\"#00FF00\" angle=\"90\" opacity=\".5\"/>"
      "<v:stroke linestyle=\"thickThin\" endarrow=\"block\" endarrowwidth=\"wide\" "
      "startarrow=\"oval\" joinstyle=\"round\"/>"
      "<v:shadow on=\"t\" color=\"#808080\" offset=\"3pt,4pt\" opacity=\"0.5\"/></v:rect>"
      "</w:pict></w:r></w:p>";
  const auto doc = ReadBytes(PackageWithBody(body));
  ASSERT_EQ(doc->shapes.size(), 1u);
  const Shape& s = *doc->shapes[0].shape;
  ASSERT_EQ(s.fill.type, FillType::Gradient);
  ASSERT_EQ(s.fill.stops.size(), 2u);
  EXPECT_EQ(s.fill.stops[0].color, 0xFF0000u);
  EXPECT_EQ(s.fill.stops[1].color, 0x00FF00u);
  EXPECT_NEAR(s.fill.angle, 180, 1e-4) << "VML's 90 turns the blend to run right to left";
  EXPECT_NEAR(s.fill.alpha, 0.5, 1e-6);
  EXPECT_EQ(s.line.style, LineStyle::ThickThin);
  EXPECT_EQ(s.line.tail.style, ArrowStyle::Triangle);
  EXPECT_EQ(s.line.tail.width, 3);
  EXPECT_EQ(s.line.head.style, ArrowStyle::Oval);
  EXPECT_EQ(s.line.join, LineJoin::Round);
  ASSERT_TRUE(s.shadow.visible);
  EXPECT_NEAR(s.shadow.distance, 5, 1e-4);
  EXPECT_NEAR(s.shadow.direction, std::atan2(4.0, 3.0) * 180 / M_PI, 1e-3);
}

TEST(FillsPatterns, EveryPresetHasACellAndPercentagesDarken) {
  const auto& names = PatternNames();
  EXPECT_EQ(names.size(), 54u);
  std::set<std::string_view> distinct(names.begin(), names.end());
  EXPECT_EQ(distinct.size(), names.size());
  int previous = -1;
  for (const char* pct : {"pct5", "pct10", "pct20", "pct25", "pct30", "pct40", "pct50", "pct60",
                          "pct70", "pct75", "pct80", "pct90"}) {
    const auto bits = PatternOf(pct);
    ASSERT_TRUE(bits) << pct;
    int on = 0;
    for (std::uint8_t row : *bits) on += __builtin_popcount(row);
    EXPECT_GT(on, previous) << pct;
    previous = on;
  }
  EXPECT_FALSE(PatternOf("nonsense"));
  for (std::string_view name : names) {
    const auto bits = PatternOf(name);
    ASSERT_TRUE(bits) << name;
    int on = 0;
    for (std::uint8_t row : *bits) on += __builtin_popcount(row);
    EXPECT_GT(on, 0) << name;
    EXPECT_LT(on, 64) << name;
  }
}

TEST(FillsRoundTrip, EverythingReadIsWrittenBack) {
  auto doc = ReadPainted();
  Shape& styled = const_cast<Shape&>(Named(*doc, "styled"));
  styled.line.style = LineStyle::ThickBetweenThin;
  styled.line.cap = LineCap::Round;
  styled.fill.alpha = 0.5f;
  Shape& radial = const_cast<Shape&>(Named(*doc, "radial"));
  radial.fill.path = GradientPath::Rect;
  radial.fill.focusLeft = 0.25f;
  radial.fill.stops.push_back({0.5f, 0x00FF00, 0.75f});
  std::sort(radial.fill.stops.begin(), radial.fill.stops.end(),
            [](const auto& a, const auto& b) { return a.position < b.position; });
  const auto bytes = WritePackageToMemory(*doc, false);
  const auto back = ReadPackageFromMemory(bytes.data(), bytes.size(), "back.docx");
  for (const AnchoredShape& anchored : doc->shapes) {
    const Shape& before = *anchored.shape;
    const Shape& after = Named(*back, before.name);
    EXPECT_EQ(after.fill, before.fill) << before.name;
    EXPECT_EQ(after.line, before.line) << before.name;
    EXPECT_EQ(after.shadow, before.shadow) << before.name;
  }
}

TEST(FillsRoundTrip, VmlFallbackCarriesThePaint) {
  auto doc = ReadPainted();
  const auto bytes = WritePackageForConversion(*doc, false);
  const auto back = ReadPackageFromMemory(bytes.data(), bytes.size(), "vml.docx");
  const Shape& gradient = Named(*back, "gradient");
  ASSERT_EQ(gradient.fill.type, FillType::Gradient);
  EXPECT_EQ(gradient.fill.stops.front().color, 0xFF0000u);
  EXPECT_EQ(gradient.fill.stops.back().color, 0x0000FFu);
  EXPECT_NEAR(gradient.fill.angle, 0, 1e-3);
  const Shape& arrow = Named(*back, "arrow");
  EXPECT_EQ(arrow.line.tail.style, ArrowStyle::Triangle);
  EXPECT_EQ(arrow.line.head.style, ArrowStyle::Oval);
  EXPECT_EQ(Named(*back, "double").line.style, LineStyle::ThinThin);
  const Shape& styled = Named(*back, "styled");
  ASSERT_TRUE(styled.shadow.visible);
  EXPECT_NEAR(styled.shadow.distance, 6, 0.02);
  EXPECT_EQ(Named(*back, "pattern").fill.type, FillType::Patterned);
}

TEST_F(Fills, DrawnWithTheirColours) {
  const auto doc = ReadPainted();
  const QImage image = RenderOurs(*doc);
  ExpectSamples(image, "ours");
  ExpectPattern(image, "ours");
  // The shadow of the styled shape falls 6 points down and right, past its corner.
  EXPECT_TRUE(Near(At(image, 343, 262), 0x666666, 12)) << Hex(At(image, 343, 262));
  // The triangle at the line's end is wider than the line itself.
  EXPECT_TRUE(Near(At(image, 250, 324), 0xC00000, 40)) << Hex(At(image, 250, 324));
  EXPECT_TRUE(Near(At(image, 150, 320), 0xC00000, 40));
  // A double line leaves a gap between its strokes.
  EXPECT_TRUE(IsDark(At(image, 322, 340)));
  EXPECT_TRUE(IsWhite(At(image, 320, 340))) << Hex(At(image, 320, 340));
  EXPECT_TRUE(IsDark(At(image, 318, 340)));
}

TEST_F(Fills, LibreOfficeDrawsThemAlike) {
  if (!HaveProgram("soffice") || !HaveProgram("pdftoppm")) GTEST_SKIP() << "no LibreOffice";
  TempDir dir;
  const std::string original = dir / "painted.docx";
  WriteFile(original, ThemedPackage(PaintedShapes()));
  const QImage theirs = RenderWithLibreOffice(original, dir);
  ASSERT_FALSE(theirs.isNull());
  if (const char* keep = std::getenv("FILLS_KEEP")) {
    theirs.save(QString(keep) + "/theirs.png");
    RenderOurs(*ReadPainted()).save(QString(keep) + "/ours.png");
    WriteFile(std::string(keep) + "/painted.docx", ThemedPackage(PaintedShapes()));
  }
  ExpectSamples(theirs, "LibreOffice");
  ExpectPattern(theirs, "LibreOffice");

  // Our copy of it, drawn by LibreOffice.
  const auto doc = ReadPainted();
  TempDir copyDir;
  const std::string copy = copyDir / "copy.docx";
  WritePackage(*doc, copy);
  const QImage again = RenderWithLibreOffice(copy, copyDir);
  ASSERT_FALSE(again.isNull());
  ExpectSamples(again, "LibreOffice from our copy");
  ExpectPattern(again, "LibreOffice from our copy");
}
