// The products the program knows without any product file installed: the A4 sheets users ask
// for most, and the paper sizes product files name.
//
// Sources. Sizes, margins and pitches of the Avery L71xx/L76xx sheets are those of the maker's
// published template specifications ("Template information" of each product on avery.co.uk);
// those of the Avery Zweckform 34xx sheets are the maker's data sheets (avery-zweckform.com).
// Top and side margins are the first label's position. Corner radii of rounded labels are not
// published; the values below are measured on the sheets, and only change the outline drawn in
// a template. Paper sizes: ISO 216 (A and B series) and ANSI/ASME Y14.1 (US Letter, US Legal).
#include "labels/ProductDatabase.h"
#include "labels/Units.h"

namespace labels {

namespace {

// Millimetres, as the makers publish them.
struct Sheet {
  const char* brand;
  const char* part;
  const char* description;
  LabelShape shape;
  double width, height, corner;
  int columns, rows;
  double left, top, stepX, stepY;
};

const Sheet kSheets[] = {
    {"Avery", "L7160", "Address labels, 21 per sheet", LabelShape::Rectangle, 63.5, 38.1, 1.5, 3, 7,
     7.2, 15.1, 66.0, 38.1},
    {"Avery", "L7161", "Address labels, 18 per sheet", LabelShape::Rectangle, 63.5, 46.6, 1.5, 3, 6,
     7.2, 8.7, 66.0, 46.6},
    {"Avery", "L7162", "Address labels, 16 per sheet", LabelShape::Rectangle, 99.1, 33.9, 1.5, 2, 8,
     4.7, 12.9, 101.6, 33.9},
    {"Avery", "L7163", "Address labels, 14 per sheet", LabelShape::Rectangle, 99.1, 38.1, 1.5, 2, 7,
     4.7, 15.1, 101.6, 38.1},
    {"Avery", "L7165", "Parcel labels, 8 per sheet", LabelShape::Rectangle, 99.1, 67.7, 1.5, 2, 4,
     4.7, 13.1, 101.6, 67.7},
    {"Avery", "L7166", "Parcel labels, 6 per sheet", LabelShape::Rectangle, 99.1, 93.1, 1.5, 2, 3,
     4.7, 8.8, 101.6, 93.1},
    {"Avery", "L7167", "Shipping label, 1 per sheet", LabelShape::Rectangle, 199.6, 289.1, 1.5, 1,
     1, 5.2, 4.0, 0, 0},
    {"Avery", "L7168", "Shipping labels, 2 per sheet", LabelShape::Rectangle, 199.6, 143.5, 1.5, 1,
     2, 5.2, 5.0, 0, 143.5},
    {"Avery", "L7169", "Shipping labels, 4 per sheet", LabelShape::Rectangle, 99.1, 139.0, 1.5, 2,
     2, 4.7, 9.5, 101.6, 139.0},
    {"Avery", "L7173", "Shipping labels, 10 per sheet", LabelShape::Rectangle, 99.1, 57.0, 1.5, 2,
     5, 4.7, 6.0, 101.6, 57.0},
    {"Avery", "L7651", "Mini labels, 65 per sheet", LabelShape::Rectangle, 38.1, 21.2, 1.0, 5, 13,
     4.7, 10.7, 40.6, 21.2},
    {"Avery Zweckform", "3422", "Universal labels 70 x 35, 24 per sheet", LabelShape::Rectangle, 70,
     35, 0, 3, 8, 0, 8.5, 70, 35},
    {"Avery Zweckform", "3474", "Universal labels 70 x 37, 24 per sheet", LabelShape::Rectangle, 70,
     37, 0, 3, 8, 0, 0.5, 70, 37},
    {"Avery Zweckform", "3475", "Universal labels 70 x 36, 24 per sheet", LabelShape::Rectangle, 70,
     36, 0, 3, 8, 0, 4.5, 70, 36},
    {"Avery Zweckform", "3425", "Universal labels 105 x 57, 10 per sheet", LabelShape::Rectangle,
     105, 57, 0, 2, 5, 0, 6.0, 105, 57},
    {"Avery Zweckform", "3483", "Universal labels 105 x 74, 8 per sheet", LabelShape::Rectangle,
     105, 74, 0, 2, 4, 0, 0.5, 105, 74},
    {"Avery Zweckform", "3484", "Universal labels 105 x 37, 16 per sheet", LabelShape::Rectangle,
     105, 37, 0, 2, 8, 0, 0.5, 105, 37},
};

// Avery L7676: two full-face CD/DVD labels of 117 mm with a 17.6 mm centre hole.
Product CdSheet() {
  Product product;
  product.brand = "Avery";
  product.part = "L7676";
  product.description = "CD/DVD labels, 2 per sheet";
  product.paper = "A4";
  product.pageWidth = MmToPoints(210);
  product.pageHeight = MmToPoints(297);
  LabelKind cd;
  cd.shape = LabelShape::Cd;
  cd.radius = MmToPoints(58.5);
  cd.hole = MmToPoints(8.8);
  cd.width = cd.height = 2 * cd.radius;
  cd.layouts.push_back({1, 2, MmToPoints(46.5), MmToPoints(22.0), 0, MmToPoints(137.0)});
  product.labels.push_back(cd);
  return product;
}

Product FromSheet(const Sheet& s) {
  SheetParameters p;
  p.labelWidth = s.width;
  p.labelHeight = s.height;
  p.columns = s.columns;
  p.rows = s.rows;
  p.originX = s.left;
  p.originY = s.top;
  p.pitchX = s.stepX;
  p.pitchY = s.stepY;
  p.shape = s.corner > 0 ? ParameterShape::RoundedRectangle : ParameterShape::Rectangle;
  p.radius = s.corner;
  Product product = ProductFromParameters(p);
  product.brand = s.brand;
  product.part = s.part;
  product.description = s.description;
  product.paper = "A4";
  return product;
}

PaperSize Iso(const char* id, double width, double height) {
  return {id, id, "", MmToPoints(width), MmToPoints(height)};
}

}  // namespace

const std::vector<Product>& BuiltinProducts() {
  static const std::vector<Product> products = [] {
    std::vector<Product> all;
    for (const Sheet& sheet : kSheets) all.push_back(FromSheet(sheet));
    all.push_back(CdSheet());
    return all;
  }();
  return products;
}

const std::vector<PaperSize>& StandardPaperSizes() {
  static const std::vector<PaperSize> papers = {
      Iso("A3", 297, 420),
      Iso("A4", 210, 297),
      Iso("A5", 148, 210),
      Iso("A6", 105, 148),
      Iso("B5", 176, 250),
      {"US-Letter", "US Letter", "na_letter", 8.5 * kPointsPerInch, 11 * kPointsPerInch},
      {"US-Legal", "US Legal", "na_legal", 8.5 * kPointsPerInch, 14 * kPointsPerInch},
  };
  return papers;
}

}  // namespace labels
