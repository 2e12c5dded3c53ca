// Where a product's labels lie on its sheet, the cut lines between labels that touch, and the
// checks that refuse a sheet no template can be made of.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "labels/Product.h"
#include "labels/Units.h"

namespace labels {

inline constexpr std::int64_t kMaxLabels = 10000;
// Published sizes are rounded: a label may reach this far beyond the sheet's edge.
inline constexpr double kEdgeTolerance = kPointsPerMillimetre;
// Neighbours closer than this to touching share a cut line.
inline constexpr double kTouchTolerance = 0.25 * kPointsPerMillimetre;
// The largest page side the word processor takes: 22 inches.
inline constexpr double kLargestPageSide = 22 * kPointsPerInch;

enum class Outline { Rectangle, RoundedRectangle, Oval };

struct PlacedLabel {
  Outline outline = Outline::Rectangle;
  double left = 0, top = 0, width = 0, height = 0;
  double cornerRadius = 0;
};

struct CutLine {
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

struct SheetLayout {
  double pageWidth = 0, pageHeight = 0;
  std::vector<PlacedLabel> labels;  // in reading order: rows from the top, each from the left
  std::vector<CutLine> cuts;
};

// Why no template can be made of the product, in Russian; empty when it can.
std::string GeometryProblem(const Product& product);
// The same for what a user typed, with the checks of the shape he chose.
std::string ParametersProblem(const SheetParameters& parameters);

// The product's sheet. Throws std::invalid_argument with GeometryProblem's text when there is one.
SheetLayout LayOut(const Product& product);

}  // namespace labels
