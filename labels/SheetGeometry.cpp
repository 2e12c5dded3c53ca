#include "labels/SheetGeometry.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <tuple>

namespace labels {

namespace {

std::string Mm(double points) {
  return FormatMm(points) + " мм";
}

std::string SheetProblem(const Product& p) {
  if (!(p.pageWidth > 0 && p.pageHeight > 0))
    return "размер листа " + FormatMm(p.pageWidth) + " × " + FormatMm(p.pageHeight) +
           " мм: стороны листа должны быть больше нуля";
  if (p.pageWidth > kLargestPageSide + 0.01 || p.pageHeight > kLargestPageSide + 0.01)
    return "лист " + FormatMm(p.pageWidth) + " × " + FormatMm(p.pageHeight) +
           " мм больше самого большого листа, который принимает текстовый процессор (" +
           Mm(kLargestPageSide) + ")";
  return {};
}

std::string KindProblem(const LabelKind& kind) {
  if (!(kind.width > 0 && kind.height > 0))
    return "размер этикетки " + FormatMm(kind.width) + " × " + FormatMm(kind.height) +
           " мм: стороны этикетки должны быть больше нуля";
  if (kind.cornerRadius < 0) return "радиус скругления не может быть меньше нуля";
  if (kind.layouts.empty()) return "не задано ни одного ряда этикеток";
  return {};
}

std::string LayoutProblem(const LabelLayout& l) {
  if (l.columns < 1 || l.rows < 1)
    return "раскладка " + std::to_string(l.columns) + " × " + std::to_string(l.rows) +
           ": нужно хотя бы по одной этикетке в ряду и в столбце";
  if (l.columns > 1 && !(l.stepX > 0))
    return "шаг по горизонтали " + Mm(l.stepX) + ": он должен быть больше нуля";
  if (l.rows > 1 && !(l.stepY > 0))
    return "шаг по вертикали " + Mm(l.stepY) + ": он должен быть больше нуля";
  return {};
}

// How far the grid's outermost labels reach beyond the sheet; 0 when they stay on it.
double Overhang(const Product& p, const LabelKind& kind, const LabelLayout& l) {
  const double right = l.left + (l.columns - 1) * l.stepX + kind.width;
  const double bottom = l.top + (l.rows - 1) * l.stepY + kind.height;
  return std::max({0.0, -l.left, -l.top, right - p.pageWidth, bottom - p.pageHeight});
}

std::string CountProblem(const Product& p) {
  std::int64_t count = 0;
  for (const LabelKind& kind : p.labels)
    for (const LabelLayout& l : kind.layouts) {
      if (l.columns > kMaxLabels || l.rows > kMaxLabels) return "больше 10 000 этикеток на листе";
      count += std::int64_t(l.columns) * l.rows;
    }
  if (count > kMaxLabels)
    return std::to_string(count) + " этикеток на листе — больше допустимых 10 000";
  return {};
}

std::string LabelsProblem(const Product& p) {
  if (p.labels.empty()) return "на листе нет этикеток";
  for (const LabelKind& kind : p.labels) {
    if (std::string problem = KindProblem(kind); !problem.empty()) return problem;
    for (const LabelLayout& l : kind.layouts)
      if (std::string problem = LayoutProblem(l); !problem.empty()) return problem;
  }
  if (std::string problem = CountProblem(p); !problem.empty()) return problem;
  for (const LabelKind& kind : p.labels)
    for (const LabelLayout& l : kind.layouts)
      if (double over = Overhang(p, kind, l); over > kEdgeTolerance)
        return "этикетки выходят за край листа на " + Mm(over);
  return {};
}

Outline OutlineOf(const LabelKind& kind) {
  if (kind.shape != LabelShape::Rectangle) return Outline::Oval;
  return kind.cornerRadius > 0 ? Outline::RoundedRectangle : Outline::Rectangle;
}

// A CD is drawn as its outer circle, centred in its box (a clipped CD's box is smaller).
PlacedLabel Place(const LabelKind& kind, double left, double top) {
  PlacedLabel label{OutlineOf(kind), left, top, kind.width, kind.height, 0};
  if (label.outline == Outline::RoundedRectangle)
    label.cornerRadius = std::min(kind.cornerRadius, std::min(kind.width, kind.height) / 2);
  if (kind.shape == LabelShape::Cd && kind.radius > 0) {
    label.left += kind.width / 2 - kind.radius;
    label.top += kind.height / 2 - kind.radius;
    label.width = label.height = 2 * kind.radius;
  }
  return label;
}

void AddCuts(const LabelKind& kind, const LabelLayout& l, std::vector<CutLine>& cuts) {
  if (kind.shape != LabelShape::Rectangle) return;
  const double right = l.left + (l.columns - 1) * l.stepX + kind.width;
  const double bottom = l.top + (l.rows - 1) * l.stepY + kind.height;
  if (l.columns > 1 && std::abs(l.stepX - kind.width) <= kTouchTolerance)
    for (int c = 1; c < l.columns; ++c) {
      const double x = l.left + c * l.stepX;
      cuts.push_back({x, l.top, x, bottom});
    }
  if (l.rows > 1 && std::abs(l.stepY - kind.height) <= kTouchTolerance)
    for (int r = 1; r < l.rows; ++r) {
      const double y = l.top + r * l.stepY;
      cuts.push_back({l.left, y, right, y});
    }
}

// Rows from the top, each from the left; positions a tenth of a point apart count as equal,
// so that grids of several layouts interleave as they lie on the sheet.
void SortInReadingOrder(std::vector<PlacedLabel>& labels) {
  auto key = [](const PlacedLabel& l) {
    return std::make_tuple(std::llround(l.top * 10), std::llround(l.left * 10));
  };
  std::stable_sort(labels.begin(), labels.end(),
                   [&](const PlacedLabel& a, const PlacedLabel& b) { return key(a) < key(b); });
}

}  // namespace

std::string GeometryProblem(const Product& product) {
  std::string problem = SheetProblem(product);
  if (problem.empty()) problem = LabelsProblem(product);
  return problem;
}

std::string ParametersProblem(const SheetParameters& p) {
  if (p.shape == ParameterShape::RoundedRectangle && !(p.radius > 0))
    return "для скруглённых углов нужен радиус больше нуля";
  if (p.shape == ParameterShape::RoundedRectangle &&
      p.radius > std::min(p.labelWidth, p.labelHeight) / 2)
    return "радиус скругления " + FormatMm(MmToPoints(p.radius)) +
           " мм больше половины меньшей стороны этикетки";
  return GeometryProblem(ProductFromParameters(p));
}

SheetLayout LayOut(const Product& product) {
  if (std::string problem = GeometryProblem(product); !problem.empty())
    throw std::invalid_argument(problem);
  SheetLayout sheet{product.pageWidth, product.pageHeight, {}, {}};
  sheet.labels.reserve(std::size_t(product.LabelCount()));
  for (const LabelKind& kind : product.labels)
    for (const LabelLayout& l : kind.layouts) {
      for (int r = 0; r < l.rows; ++r)
        for (int c = 0; c < l.columns; ++c)
          sheet.labels.push_back(Place(kind, l.left + c * l.stepX, l.top + r * l.stepY));
      AddCuts(kind, l, sheet.cuts);
    }
  SortInReadingOrder(sheet.labels);
  return sheet;
}

}  // namespace labels
