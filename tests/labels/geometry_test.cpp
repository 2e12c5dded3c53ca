// Where labels lie, where cut lines go, and the sheets no template can be made of.
#include <gtest/gtest.h>

#include "labels/SheetGeometry.h"

namespace {

using labels::MmToPoints;

labels::SheetParameters Grid(double w, double h, int cols, int rows, double pitchX, double pitchY) {
  labels::SheetParameters p;
  p.labelWidth = w, p.labelHeight = h;
  p.columns = cols, p.rows = rows;
  p.originX = 0, p.originY = 10;
  p.pitchX = pitchX, p.pitchY = pitchY;
  return p;
}

TEST(LayOut, TouchingRectanglesShareCutLinesAndGapsHaveNone) {
  const auto touching = labels::LayOut(labels::ProductFromParameters(Grid(70, 37, 3, 2, 70, 37)));
  ASSERT_EQ(touching.labels.size(), 6u);
  EXPECT_DOUBLE_EQ(touching.labels[4].left, MmToPoints(70));
  EXPECT_DOUBLE_EQ(touching.labels[4].top, MmToPoints(10 + 37));
  ASSERT_EQ(touching.cuts.size(), 3u) << "two between the columns, one between the rows";
  EXPECT_DOUBLE_EQ(touching.cuts[0].x1, MmToPoints(70));
  EXPECT_DOUBLE_EQ(touching.cuts[0].x2, MmToPoints(70));
  EXPECT_DOUBLE_EQ(touching.cuts[0].y2, MmToPoints(10 + 74));
  EXPECT_DOUBLE_EQ(touching.cuts[2].y1, MmToPoints(47));
  EXPECT_DOUBLE_EQ(touching.cuts[2].x2, MmToPoints(210));

  const auto apart =
      labels::LayOut(labels::ProductFromParameters(Grid(63.5, 38.1, 3, 7, 66, 38.1)));
  EXPECT_EQ(apart.cuts.size(), 6u) << "rows touch, columns do not";

  auto ovals = Grid(40, 40, 4, 6, 40, 40);
  ovals.shape = labels::ParameterShape::Oval;
  const auto round = labels::LayOut(labels::ProductFromParameters(ovals));
  EXPECT_TRUE(round.cuts.empty()) << "round labels touch in points only";
  EXPECT_EQ(round.labels[0].outline, labels::Outline::Oval);
}

TEST(LayOut, GridsOfSeveralLayoutsAreReadRowByRow) {
  labels::Product p = labels::ProductFromParameters(Grid(10, 10, 2, 1, 40, 0));
  p.labels[0].layouts.push_back({1, 2, MmToPoints(25), MmToPoints(10), 0, MmToPoints(30)});
  const auto sheet = labels::LayOut(p);
  ASSERT_EQ(sheet.labels.size(), 4u);
  const double expected[][2] = {{0, 10}, {25, 10}, {40, 10}, {25, 40}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(sheet.labels[i].left, MmToPoints(expected[i][0]), 1e-9) << i;
    EXPECT_NEAR(sheet.labels[i].top, MmToPoints(expected[i][1]), 1e-9) << i;
  }
}

TEST(LayOut, ACdIsItsOuterCircleCentredInItsBox) {
  labels::Product p;
  p.pageWidth = MmToPoints(210), p.pageHeight = MmToPoints(297);
  labels::LabelKind cd;
  cd.shape = labels::LabelShape::Cd;
  cd.radius = MmToPoints(58.5);
  cd.width = MmToPoints(117), cd.height = MmToPoints(100);  // clipped top and bottom
  cd.layouts.push_back({1, 1, MmToPoints(46.5), MmToPoints(20), 0, 0});
  p.labels.push_back(cd);
  const auto sheet = labels::LayOut(p);
  ASSERT_EQ(sheet.labels.size(), 1u);
  EXPECT_EQ(sheet.labels[0].outline, labels::Outline::Oval);
  EXPECT_NEAR(sheet.labels[0].height, MmToPoints(117), 1e-9);
  EXPECT_NEAR(sheet.labels[0].top, MmToPoints(20 + 50 - 58.5), 1e-9);
  EXPECT_NEAR(sheet.labels[0].left, MmToPoints(46.5), 1e-9);
}

TEST(GeometryProblem, ImpossibleSheetsAreRefusedWithTheReason) {
  auto problem = [](labels::SheetParameters p) { return labels::ParametersProblem(p); };
  const auto fine = Grid(70, 37, 3, 7, 70, 37);
  EXPECT_EQ(problem(fine), "");
  auto p = fine;
  p.originX = -0.9;
  EXPECT_EQ(problem(p), "") << "published sizes are rounded: up to 1 mm beyond the edge";
  p.originX = 0, p.pitchY = 42;
  EXPECT_EQ(problem(p), "этикетки выходят за край листа на 2 мм");
  p = fine, p.labelWidth = 0;
  EXPECT_NE(problem(p).find("стороны этикетки должны быть больше нуля"), std::string::npos);
  p = fine, p.sheetHeight = -1;
  EXPECT_NE(problem(p).find("стороны листа"), std::string::npos);
  p = fine, p.sheetWidth = 600;
  EXPECT_NE(problem(p).find("больше самого большого листа"), std::string::npos);
  p = fine, p.pitchX = 0;
  EXPECT_NE(problem(p).find("шаг по горизонтали"), std::string::npos);
  p = fine, p.columns = 1, p.pitchX = 0;
  EXPECT_EQ(problem(p), "") << "one column needs no step";
  p = fine, p.columns = 0;
  EXPECT_NE(problem(p).find("хотя бы по одной"), std::string::npos);
  p = Grid(0.1, 0.1, 101, 100, 0.1, 0.1);
  EXPECT_EQ(problem(p), "10100 этикеток на листе — больше допустимых 10 000");
  p = Grid(0.1, 0.1, 100, 100, 0.1, 0.1);
  EXPECT_EQ(problem(p), "") << "10 000 is allowed";
  p = fine, p.shape = labels::ParameterShape::RoundedRectangle, p.radius = 0;
  EXPECT_NE(problem(p).find("радиус больше нуля"), std::string::npos);
  p.radius = 19;
  EXPECT_NE(problem(p).find("больше половины"), std::string::npos);
  EXPECT_THROW(labels::LayOut(labels::ProductFromParameters(Grid(70, 37, 3, 9, 70, 37))),
               std::invalid_argument);
}

}  // namespace
