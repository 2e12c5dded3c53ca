#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "wordproc/core/Geometry.h"
#include "wordproc/core/GeometryXml.h"

using namespace wordproc::geometry;

namespace {

bool Finite(const Outline& outline) {
  auto ok = [](Point p) { return std::isfinite(p.x) && std::isfinite(p.y); };
  for (const SubPath& path : outline.paths) {
    for (const Segment& s : path.segments) {
      if (!ok(s.to) || !ok(s.c1) || !ok(s.c2)) return false;
    }
  }
  return std::isfinite(outline.text.left) && std::isfinite(outline.text.top) &&
         std::isfinite(outline.text.right) && std::isfinite(outline.text.bottom);
}

// Every point the outline passes through or bends towards.
std::vector<Point> Points(const Outline& outline) {
  std::vector<Point> points;
  for (const SubPath& path : outline.paths) {
    for (const Segment& s : path.segments) {
      if (s.kind == Segment::Kind::Close) continue;
      points.push_back(s.to);
    }
  }
  return points;
}

ShapeGeometry Parsed(const std::string& xml) {
  pugi::xml_document doc;
  EXPECT_TRUE(doc.load_string(xml.c_str()));
  return ReadGeometry(doc.document_element());
}

}  // namespace

TEST(GuideFormulas, EveryOperatorGivesItsValue) {
  GuideValues g(2000, 1000);
  const std::pair<const char*, double> cases[] = {
      {"*/ w 3 4", 1500},      {"+- w h 500", 2500},     {"+/ w h 3", 1000},
      {"?: 1 10 20", 10},      {"?: 0 10 20", 20},       {"?: -5 10 20", 20},
      {"abs -7", 7},           {"at2 1 1", 2700000},     {"cat2 100 1 0", 100},
      {"sat2 100 0 1", 100},   {"cos 100 cd4", 0},       {"cos 100 0", 100},
      {"sin 100 cd4", 100},    {"tan 100 2700000", 100}, {"max w h", 2000},
      {"min w h", 1000},       {"mod 3 4 0", 5},         {"pin 0 150 100", 100},
      {"pin 0 -5 100", 0},     {"pin 0 50 100", 50},     {"sqrt 144", 12},
      {"val -8333", -8333},    {"val ss", 1000},         {"val ls", 2000},
      {"val hc", 1000},        {"val vc", 500},          {"val wd32", 62.5},
      {"val hd3", 1000.0 / 3}, {"val ssd8", 125},        {"val 7cd8", 18900000},
      {"val 3cd4", 16200000},
  };
  for (const auto& [formula, expected] : cases) {
    EXPECT_NEAR(g.Evaluate(formula), expected, 1e-6 * std::max(1.0, std::fabs(expected)))
        << formula;
  }
}

TEST(GuideFormulas, DivisionByZeroAndHostileInputGiveFiniteNumbers) {
  GuideValues g(100, 0);
  const char* hostile[] = {
      "*/ w 1 0",      "+/ w h 0", "sqrt -4", "*/ 1e300 1e300 1", "mod 1e300 1e300 1",
      "tan 1 5400000", "at2 0 0",  "val nan", "val inf",          "val 1e999",
      "unknown 1 2 3", "",         "*/",      "+- missing w",     "val --5",
      "cat2 w 0 0",    "*/ w h ss"};
  for (const char* formula : hostile) {
    const double v = g.Evaluate(formula);
    EXPECT_TRUE(std::isfinite(v)) << formula;
  }
  EXPECT_EQ(g.Evaluate("+- missing w 0"), 100);  // unknown names are 0
}

TEST(GuideFormulas, GuidesSeeEarlierGuidesAndOverrideBuiltIns) {
  GuideValues g(1000, 1000);
  g.Set("a", g.Evaluate("*/ w 1 4"));
  g.Set("b", g.Evaluate("+- a a 0"));
  EXPECT_EQ(g.Value("b"), 500);
  g.Set("w", 10);
  EXPECT_EQ(g.Evaluate("val w"), 10);
}

TEST(Presets, AllOfTheStandardAreThere) {
  const auto names = PresetNames();
  EXPECT_EQ(names.size(), 187u);
  for (const char* name :
       {"star5", "rightArrow", "heart", "wedgeRectCallout", "ribbon2", "cloud", "blockArc", "can",
        "smileyFace", "curvedRightArrow", "bentConnector3", "actionButtonHome", "gear9"}) {
    EXPECT_NE(Preset(name), nullptr) << name;
  }
  EXPECT_EQ(Preset("noSuchShape"), nullptr);
}

TEST(Presets, EveryOneGivesFinitePathsAtAnySizeAndAdjustment) {
  const std::pair<double, double> sizes[] = {{100, 50}, {20, 200}, {0, 0}, {0.01, 5000}};
  for (const std::string& name : PresetNames()) {
    const ShapeGeometry& g = *Preset(name);
    EXPECT_FALSE(g.paths.empty()) << name;
    for (const auto& [w, h] : sizes) {
      Adjusts extreme, negative;
      for (const Guide& gd : g.adjust) {
        extreme.push_back({gd.name, 1e9});
        negative.push_back({gd.name, -50000});
      }
      for (const Adjusts* adjusts : {&extreme, &negative}) {
        const Outline o = Evaluate(g, w, h, *adjusts);
        EXPECT_TRUE(Finite(o)) << name << " " << w << "x" << h;
      }
      const Outline plain = Evaluate(g, w, h);
      ASSERT_TRUE(Finite(plain)) << name;
      // With their own adjust values presets stay near their box (callouts, tabs and a few
      // signs reach out of it by design, the more so in thin boxes).
      const double reach = 2 * std::max(w, h) + 1;
      for (Point p : Points(plain)) {
        EXPECT_GT(p.x, -reach) << name;
        EXPECT_LT(p.x, w + reach) << name;
        EXPECT_GT(p.y, -reach) << name;
        EXPECT_LT(p.y, h + reach) << name;
      }
    }
  }
}

TEST(Presets, KnownShapesHaveTheirKnownPoints) {
  const Outline star = Evaluate(*Preset("star5"), 100, 100);
  ASSERT_FALSE(star.paths.empty());
  const auto points = Points(star);
  ASSERT_EQ(points.size(), 10u);
  double top = 100;
  for (Point p : points)
    if (std::fabs(p.x - 50) < 1e-6) top = std::min(top, p.y);
  EXPECT_NEAR(top, 0, 1e-6);  // the top point stands in the middle

  const Outline arrow = Evaluate(*Preset("rightArrow"), 200, 100);
  double right = 0;
  for (Point p : Points(arrow)) right = std::max(right, p.x);
  EXPECT_NEAR(right, 200, 1e-6);

  // The ellipse's arcs pass through the middles of the box's sides.
  const Outline ellipse = Evaluate(*Preset("ellipse"), 200, 100);
  const auto e = Points(ellipse);
  ASSERT_GE(e.size(), 5u);
  EXPECT_NEAR(e[0].x, 0, 1e-6);
  EXPECT_NEAR(e[0].y, 50, 1e-6);
  bool upper = false, right2 = false;
  for (Point p : e) {
    upper = upper || (std::fabs(p.x - 100) < 1e-6 && std::fabs(p.y) < 1e-6);
    right2 = right2 || (std::fabs(p.x - 200) < 1e-6 && std::fabs(p.y - 50) < 1e-6);
  }
  EXPECT_TRUE(upper);
  EXPECT_TRUE(right2);
}

TEST(Presets, AdjustValuesMoveTheOutlineAndDefaultsStandIn) {
  const ShapeGeometry& arrow = *Preset("rightArrow");
  // adj2 is the head's length as a share of the shorter side.
  auto headStart = [&](const Adjusts& adjusts) {
    double x = 200;
    for (Point p : Points(Evaluate(arrow, 200, 100, adjusts)))
      if (p.x > 1 && p.x < 199) x = std::min(x, p.x);
    return x;
  };
  EXPECT_NEAR(headStart({}), 150, 1e-6);
  EXPECT_NEAR(headStart({{"adj2", 100000}}), 100, 1e-6);
  EXPECT_NEAR(headStart({{"other", 100000}}), 150, 1e-6);
}

TEST(Presets, TextRectanglesComeFromTheirGuides) {
  const Outline ellipse = Evaluate(*Preset("ellipse"), 100, 100);
  EXPECT_NEAR(ellipse.text.left, 50 - 50 * std::cos(std::numbers::pi / 4), 1e-6);
  EXPECT_NEAR(ellipse.text.right, 50 + 50 * std::cos(std::numbers::pi / 4), 1e-6);
  const Outline rect = Evaluate(*Preset("rect"), 30, 40);
  EXPECT_EQ(rect.text.right, 30);
  EXPECT_EQ(rect.text.bottom, 40);
  EXPECT_EQ(rect.sites.size(), 4u);
}

TEST(Presets, PathFlagsAreKept) {
  const ShapeGeometry& can = *Preset("can");
  bool lighter = false;
  for (const PathDef& p : can.paths) lighter = lighter || p.fill == PathFill::Lighten;
  EXPECT_TRUE(lighter);
  const ShapeGeometry& callout = *Preset("accentCallout1");
  EXPECT_FALSE(callout.paths[0].stroke);
  EXPECT_EQ(callout.paths[1].fill, PathFill::None);
}

TEST(CustomGeometry, PathSpacesScaleToTheShape) {
  const ShapeGeometry g = Parsed(
      "<a:custGeom xmlns:a='a'><a:avLst/><a:gdLst/><a:rect l='l' t='t' r='r' b='b'/>"
      "<a:pathLst><a:path w='10' h='20'><a:moveTo><a:pt x='0' y='0'/></a:moveTo>"
      "<a:lnTo><a:pt x='10' y='20'/></a:lnTo><a:quadBezTo><a:pt x='10' y='0'/>"
      "<a:pt x='0' y='0'/></a:quadBezTo><a:close/></a:path>"
      "<a:path fill='none' stroke='0'><a:moveTo><a:pt x='hc' y='vc'/></a:moveTo></a:path>"
      "</a:pathLst></a:custGeom>");
  ASSERT_EQ(g.paths.size(), 2u);
  const Outline o = Evaluate(g, 100, 50);
  const auto& s = o.paths[0].segments;
  ASSERT_EQ(s.size(), 4u);
  EXPECT_NEAR(s[1].to.x, 100, 1e-9);
  EXPECT_NEAR(s[1].to.y, 50, 1e-9);
  EXPECT_EQ(s[2].kind, Segment::Kind::Cubic);
  EXPECT_NEAR(s[2].c1.x, 100, 1e-9);  // 2/3 of the way to the control point
  EXPECT_NEAR(s[2].c1.y, 50.0 / 3, 1e-9);
  EXPECT_EQ(s[3].kind, Segment::Kind::Close);
  // Without a path size, coordinates are the shape's own (EMU): the middle of the box.
  EXPECT_EQ(o.paths[1].fill, PathFill::None);
  EXPECT_FALSE(o.paths[1].stroke);
  EXPECT_NEAR(o.paths[1].segments[0].to.x, 50, 1e-9);
}

TEST(CustomGeometry, ArcsFollowTheEllipseBothWays) {
  // A quarter of a 100 x 50 ellipse from its right end, clockwise, then back.
  const ShapeGeometry g = Parsed(
      "<custGeom><pathLst><path w='1000' h='1000'><moveTo><pt x='200' y='100'/></moveTo>"
      "<arcTo wR='100' hR='50' stAng='0' swAng='5400000'/>"
      "<arcTo wR='100' hR='50' stAng='5400000' swAng='-5400000'/></path></pathLst></custGeom>");
  const Outline o = Evaluate(g, 1000, 1000);
  const auto points = Points(o);
  ASSERT_GE(points.size(), 3u);
  EXPECT_NEAR(points[1].x, 100, 1e-6);
  EXPECT_NEAR(points[1].y, 150, 1e-6);
  EXPECT_NEAR(points.back().x, 200, 1e-6);
  EXPECT_NEAR(points.back().y, 100, 1e-6);
  // A full turn and more comes back to where it began, in a bounded number of pieces.
  const ShapeGeometry turns = Parsed(
      "<custGeom><pathLst><path><moveTo><pt x='0' y='0'/></moveTo>"
      "<arcTo wR='10' hR='10' stAng='0' swAng='2160000000000'/></path></pathLst></custGeom>");
  const Outline t = Evaluate(turns, 1, 1);
  EXPECT_LE(t.paths[0].segments.size(), 20u);
  EXPECT_NEAR(t.paths[0].segments.back().to.x, 0, 1e-6);
}

TEST(CustomGeometry, WrittenAndReadBackUnchanged) {
  ShapeGeometry g;
  g.adjust = {{"adj", "val 25000"}};
  g.guides = {{"x1", "*/ w adj 100000"}, {"q", "+- r 0 \"<&>\""}};
  g.textLeft = "x1";
  g.sites = {{"hc", "t"}};
  PathDef p;
  p.width = 100;
  p.height = 200;
  p.fill = PathFill::DarkenLess;
  p.stroke = false;
  p.commands = {{PathCommand::Kind::MoveTo, {"x1", "0"}},
                {PathCommand::Kind::ArcTo, {"10", "20", "0", "cd4"}},
                {PathCommand::Kind::CubicTo, {"1", "2", "3", "4", "5", "6"}},
                {PathCommand::Kind::QuadTo, {"1", "2", "3", "4"}},
                {PathCommand::Kind::LineTo, {"r", "b"}},
                {PathCommand::Kind::Close, {}}};
  g.paths = {p};
  const std::string xml = "<a:custGeom xmlns:a='x'>" + GeometryXml(g) + "</a:custGeom>";
  EXPECT_EQ(Parsed(xml), g);
}

TEST(VmlPaths, OutlinesBecomePathsAndComeBack) {
  const ShapeGeometry& triangle = *Preset("triangle");
  const Outline o = Evaluate(triangle, 100, 50);
  const std::string path = VmlPath(o, 100);
  EXPECT_EQ(path, "m0,5000l5000,0l10000,5000xe");
  const auto back = GeometryOfVmlPath(path, 10000, 5000);
  ASSERT_NE(back, nullptr);
  const auto points = Points(Evaluate(*back, 200, 100));
  ASSERT_EQ(points.size(), 3u);
  EXPECT_NEAR(points[1].x, 100, 1e-9);
  EXPECT_NEAR(points[2].y, 100, 1e-9);

  // nf and ns travel with their path; relative moves and curves are read too.
  const auto flags = GeometryOfVmlPath("nfns m 0,0 r 10,10 v 1,1,2,2,3,3 e m0,0l5,5e", 10, 10);
  ASSERT_NE(flags, nullptr);
  ASSERT_EQ(flags->paths.size(), 2u);
  EXPECT_EQ(flags->paths[0].fill, PathFill::None);
  EXPECT_FALSE(flags->paths[0].stroke);
  EXPECT_EQ(flags->paths[0].commands[2].args[4], "13");
  EXPECT_EQ(flags->paths[1].fill, PathFill::Norm);
}

TEST(VmlPaths, FormulasAndBrokenPathsAreRefused) {
  for (const char* path : {"m@0,@1l@2,@3e", "m 0,0 l 1", "", "m0,0 ar 1,2,3,4,5,6,7,8 e", "e 5,5",
                           "#", "m 1e400,0 e"}) {
    EXPECT_EQ(GeometryOfVmlPath(path, 100, 100), nullptr) << path;
  }
  EXPECT_EQ(GeometryOfVmlPath("m0,0l1,1e", 0, 100), nullptr);
}

TEST(ShapeNumbers, PresetsAndTheObjectModelsNumbersAgree) {
  const std::pair<const char*, int> known[] = {
      {"rect", 1},       {"roundRect", 5}, {"ellipse", 9},    {"star5", 92}, {"rightArrow", 33},
      {"leftArrow", 34}, {"upArrow", 35},  {"downArrow", 36}, {"heart", 21}, {"triangle", 7},
      {"diamond", 4},    {"hexagon", 10},  {"ribbon2", 97},   {"cloud", 179}};
  for (const auto& [preset, number] : known) {
    EXPECT_EQ(MsoNumberOfPreset(preset), number) << preset;
    EXPECT_EQ(PresetOfMsoNumber(number), preset);
  }
  EXPECT_EQ(MsoNumberOfPreset("nothing"), 0);
  EXPECT_EQ(PresetOfMsoNumber(138), "");
  EXPECT_EQ(PresetOfVmlType(12), "star5");
  EXPECT_EQ(PresetOfVmlType(74), "heart");
  // Every preset a number names is one of the standard's.
  for (int n = 1; n < 200; ++n) {
    const std::string_view preset = PresetOfMsoNumber(n);
    if (!preset.empty()) {
      EXPECT_NE(Preset(preset), nullptr) << preset;
    }
    const std::string_view vml = PresetOfVmlType(n);
    if (!vml.empty()) {
      EXPECT_NE(Preset(vml), nullptr) << vml;
    }
  }
}
