// DrawingML shape geometry: the guide formulas, adjust values, paths and text rectangle of a
// preset or custom shape, and their evaluation for a shape's size into outlines in points that
// the drawing side turns into painter paths and the writer into VML paths.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wordproc::geometry {

// A named guide and its formula ("*/ w adj 100000"), as a:gd holds it.
struct Guide {
  std::string name, formula;

  bool operator==(const Guide&) const = default;
};

// How a path is painted inside its shape: filled with the shape's fill, or with it made darker
// or lighter (shading of three-dimensional presets), or not at all.
enum class PathFill : std::uint8_t { Norm, None, Lighten, LightenLess, Darken, DarkenLess };

struct PathCommand {
  enum class Kind : std::uint8_t { MoveTo, LineTo, ArcTo, QuadTo, CubicTo, Close };
  Kind kind = Kind::MoveTo;
  // Guide names or numbers: x y of each point in turn; for ArcTo wR hR stAng swAng.
  std::vector<std::string> args;

  bool operator==(const PathCommand&) const = default;
};

struct PathDef {
  // The path's own coordinate space, scaled to the shape; 0 means the shape's (EMU).
  std::int64_t width = 0, height = 0;
  PathFill fill = PathFill::Norm;
  bool stroke = true;
  std::vector<PathCommand> commands;

  bool operator==(const PathDef&) const = default;
};

// The geometry of a preset, or a custom geometry (a:custGeom) with the same parts.
struct ShapeGeometry {
  std::vector<Guide> adjust;  // a:avLst: defaults a shape may override
  std::vector<Guide> guides;  // a:gdLst, evaluated in order
  std::vector<PathDef> paths;
  std::string textLeft = "l", textTop = "t", textRight = "r", textBottom = "b";  // a:rect
  std::vector<std::pair<std::string, std::string>> sites;  // connection sites, x y

  bool operator==(const ShapeGeometry&) const = default;
};
using ShapeGeometryPtr = std::shared_ptr<const ShapeGeometry>;

// A shape's own adjust values by name, in the formulas' units.
struct Adjust {
  std::string name;
  double value = 0;

  bool operator==(const Adjust&) const = default;
};
using Adjusts = std::vector<Adjust>;

struct Point {
  double x = 0, y = 0;
};

// Arcs and quadratic curves arrive as cubic curves: every consumer draws those.
struct Segment {
  enum class Kind : std::uint8_t { Move, Line, Cubic, Close };
  Kind kind = Kind::Move;
  Point to, c1, c2;  // c1 and c2 only for Cubic
};

struct SubPath {
  PathFill fill = PathFill::Norm;
  bool stroke = true;
  std::vector<Segment> segments;
};

struct Box {
  double left = 0, top = 0, right = 0, bottom = 0;
};

// A geometry evaluated for one size: points from the shape's top-left corner, in points.
struct Outline {
  std::vector<SubPath> paths;
  Box text;
  std::vector<Point> sites;
};

// Evaluates guide formulas against the built-in guides of a shape's size and the guides set so
// far. Unknown names, hostile numbers and division by zero give 0, never NaN or infinity.
class GuideValues {
 public:
  GuideValues(double width, double height);
  double Value(std::string_view token) const;
  double Evaluate(std::string_view formula) const;
  void Set(std::string_view name, double value);

 private:
  std::vector<std::pair<std::string, double>> values_;  // sorted by name
};

// The geometry for a size in points; adjusts override the defaults of the same name.
Outline Evaluate(const ShapeGeometry& geometry, double width, double height,
                 const Adjusts& adjusts = {});

// A preset by its DrawingML name ("star5"), or null. The definitions are parsed once, on first
// use.
const ShapeGeometry* Preset(std::string_view name);
std::vector<std::string> PresetNames();

// The object model's MsoAutoShapeType number of a preset, 0 when it has none here; and back
// ("" when the number is not one of them).
int MsoNumberOfPreset(std::string_view preset);
std::string_view PresetOfMsoNumber(int number);

// VML: the shape type number (o:spt) of a preset, and the preset of a type number ("" when not
// known); a VML path for an outline in the given coordinate units per point; and a VML path
// read into a geometry (null when it uses formulas or holds nothing drawable).
std::string_view PresetOfVmlType(int spt);
std::string VmlPath(const Outline& outline, double unitsPerPoint);
ShapeGeometryPtr GeometryOfVmlPath(std::string_view path, std::int64_t width, std::int64_t height);

}  // namespace wordproc::geometry
