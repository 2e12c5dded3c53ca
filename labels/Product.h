// A label product: a sheet of a given paper with labels of one or more kinds, each laid out in
// one or more grids. Lengths are in points, measured from the sheet's top-left corner.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace labels {

enum class LabelShape { Rectangle, Round, Ellipse, Cd };

// A grid of labels: the first label's top-left corner and the steps to its neighbours.
struct LabelLayout {
  int columns = 1, rows = 1;
  double left = 0, top = 0;
  double stepX = 0, stepY = 0;
};

struct LabelKind {
  LabelShape shape = LabelShape::Rectangle;
  // The label's box; a round label's and an unclipped CD's is its diameter square.
  double width = 0, height = 0;
  double cornerRadius = 0;      // rectangles
  double radius = 0, hole = 0;  // rounds and CDs
  std::vector<LabelLayout> layouts;
};

struct Product {
  std::string brand, part, description;
  std::string paper;  // the paper's name ("A4", "US Letter"); empty for a size of its own
  double pageWidth = 0, pageHeight = 0;
  std::vector<LabelKind> labels;
  std::string source;  // the file it was read from; empty for the built-in products

  // "<brand> <part>", the name users search and choose by.
  std::string Id() const;
  std::int64_t LabelCount() const;
  // The first label kind, which lists and descriptions show.
  const LabelKind* MainLabel() const { return labels.empty() ? nullptr : &labels.front(); }
};

// What a user may give instead of a product, in millimetres.
enum class ParameterShape { Rectangle, RoundedRectangle, Oval };
struct SheetParameters {
  double sheetWidth = 210, sheetHeight = 297;
  double labelWidth = 0, labelHeight = 0;
  int columns = 1, rows = 1;
  double originX = 0, originY = 0;
  double pitchX = 0, pitchY = 0;
  ParameterShape shape = ParameterShape::Rectangle;
  double radius = 0;
};

// The product the parameters describe, without brand or part.
Product ProductFromParameters(const SheetParameters& p);

}  // namespace labels
