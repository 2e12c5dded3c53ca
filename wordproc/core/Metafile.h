// Pictures recorded as drawing commands, EMF and WMF: logos of older documents come as these.
// Reading plays the records through a model of the drawing state and keeps what they draw as
// paths, texts and bitmaps in the picture's own device units, so that the Qt side only paints
// them (as vectors on a printer, into pixels for a picture of a page) and a fuzzer reaches all of
// the parsing without Qt. Files are outside data: every count is checked against the record that
// carries it and the picture as a whole has a budget, so a hostile file draws what it can.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace wordproc::metafile {

using Color = std::uint32_t;  // 0xRRGGBB

struct Point {
  double x = 0, y = 0;
};

struct Rect {
  double left = 0, top = 0, right = 0, bottom = 0;
};

enum class PenDash : std::uint8_t { Solid, Dash, Dot, DashDot, DashDotDot };
enum class PenCap : std::uint8_t { Round, Square, Flat };
enum class PenJoin : std::uint8_t { Round, Bevel, Miter };

struct Pen {
  bool visible = true;
  Color color = 0;
  double width = 0;  // device units; 0 draws the thinnest line the device has
  PenDash dash = PenDash::Solid;
  PenCap cap = PenCap::Round;
  PenJoin join = PenJoin::Round;
};

struct Brush {
  bool visible = true;
  Color color = 0xFFFFFF;
  int hatch = -1;  // HS_* of a hatched brush, -1 for a solid one
};

enum class PathOp : std::uint8_t { Move, Line, Cubic, Close };

struct Path {
  std::vector<PathOp> ops;
  std::vector<Point> points;  // one for Move and Line, three for Cubic, none for Close
  Pen pen;
  Brush brush;
  bool stroke = true, fill = false;
  bool winding = false;  // nonzero fill rule rather than even-odd
};

enum class HAlign : std::uint8_t { Left, Center, Right };
enum class VAlign : std::uint8_t { Top, Baseline, Bottom };

struct Text {
  Point at;              // the reference point, device units
  std::u16string chars;  // drawn one by one at advances when those are given
  std::vector<double> advances;
  std::u16string family;
  double height = 0;  // the em height, device units
  int weight = 400;
  bool italic = false, underline = false, strikeOut = false;
  double angle = 0;  // degrees, counter-clockwise
  Color color = 0;
  HAlign hAlign = HAlign::Left;
  VAlign vAlign = VAlign::Top;
};

struct Bitmap {
  Rect dest;           // device units
  std::string file;    // a BMP, PNG or JPEG file made from the record's bits
  Rect source;         // in the bitmap's pixels, top-down
  bool alpha = false;  // the bits carry alpha to blend with
};

using Item = std::variant<Path, Text, Bitmap>;

struct Drawn {
  Item item;
  std::optional<Rect> clip;  // device units
};

struct Picture {
  // What fills the box the picture is drawn in, in device units; width or height is negative
  // when the picture's y or x axis runs the other way.
  Rect frame;
  double widthPt = 0, heightPt = 0;  // natural size
  std::vector<Drawn> items;
};

enum class Kind { None, Emf, Wmf };

Kind KindOf(const std::uint8_t* data, std::size_t size);
// SVG, the other format drawings come in: an XML file whose root is svg.
bool LooksLikeSvg(const std::uint8_t* data, std::size_t size);
// The natural size in points from the header alone; nullopt when there is no usable header.
std::optional<std::pair<double, double>> NaturalSize(const std::uint8_t* data, std::size_t size);
// The picture; nullopt when the data is no metafile. Damage past the header ends the drawing.
std::optional<Picture> Read(const std::uint8_t* data, std::size_t size);

}  // namespace wordproc::metafile
