// Outlines kept between drawings: a kept outline is only handed back for the very preset, size
// and adjust values it was evaluated for.
#include <gtest/gtest.h>

#include "wordproc/core/Geometry.h"
#include "wordproc/core/ShapeOps.h"

using namespace wordproc;

namespace {

std::vector<double> Coordinates(const geometry::Outline& outline) {
  std::vector<double> out;
  for (const geometry::SubPath& path : outline.paths) {
    for (const geometry::Segment& s : path.segments) out.insert(out.end(), {s.to.x, s.to.y});
  }
  return out;
}

std::vector<double> Fresh(const Shape& shape, double width, double height) {
  return Coordinates(geometry::Evaluate(GeometryOf(shape), width, height, AdjustsOf(shape)));
}

TEST(OutlineStore, EveryChangeOfTheShapeGivesItsOwnOutline) {
  Shape shape;
  shape.preset = "star5";
  const auto first = OutlineOf(shape, 100, 80);
  EXPECT_EQ(OutlineOf(shape, 100, 80), first) << "a copy of the same star is not evaluated again";
  EXPECT_EQ(Coordinates(*first), Fresh(shape, 100, 80));
  EXPECT_EQ(Coordinates(*OutlineOf(shape, 100, 81)), Fresh(shape, 100, 81));
  shape.adjusts = {{"adj", 40000}};
  EXPECT_EQ(Coordinates(*OutlineOf(shape, 100, 80)), Fresh(shape, 100, 80));
  EXPECT_NE(Coordinates(*OutlineOf(shape, 100, 80)), Coordinates(*first));
  shape.preset = "star6";
  EXPECT_EQ(Coordinates(*OutlineOf(shape, 100, 80)), Fresh(shape, 100, 80));
  shape.preset.clear();
  shape.autoShapeType = AutoShapeType::RoundedRectangle;
  shape.adjustment = 0.3f;
  const auto rounded = Coordinates(*OutlineOf(shape, 100, 80));
  shape.adjustment = 0.1f;
  EXPECT_NE(Coordinates(*OutlineOf(shape, 100, 80)), rounded) << "the corner is an adjust value";
}

// A freeform's geometry may be freed and another made at its address: those are never kept.
TEST(OutlineStore, FreeformsAreEvaluatedEachTime) {
  Shape shape;
  for (double x : {10.0, 50.0}) {
    auto geometry = std::make_shared<geometry::ShapeGeometry>();
    geometry::PathDef path;
    path.commands = {{geometry::PathCommand::Kind::MoveTo, {"0", "0"}},
                     {geometry::PathCommand::Kind::LineTo, {std::to_string(x * 12700), "h"}}};
    geometry->paths = {path};
    shape.custom = geometry;
    EXPECT_DOUBLE_EQ(OutlineOf(shape, 100, 80)->paths.at(0).segments.at(1).to.x, x);
    shape.custom.reset();
  }
}

}  // namespace
