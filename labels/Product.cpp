#include "labels/Product.h"

#include "labels/Units.h"

namespace labels {

std::string Product::Id() const {
  if (brand.empty()) return part;
  return part.empty() ? brand : brand + " " + part;
}

std::int64_t Product::LabelCount() const {
  std::int64_t count = 0;
  for (const LabelKind& kind : labels)
    for (const LabelLayout& layout : kind.layouts)
      count += std::int64_t(layout.columns) * std::int64_t(layout.rows);
  return count;
}

Product ProductFromParameters(const SheetParameters& p) {
  Product product;
  product.pageWidth = MmToPoints(p.sheetWidth);
  product.pageHeight = MmToPoints(p.sheetHeight);
  LabelKind kind;
  kind.shape = p.shape == ParameterShape::Oval ? LabelShape::Ellipse : LabelShape::Rectangle;
  kind.width = MmToPoints(p.labelWidth);
  kind.height = MmToPoints(p.labelHeight);
  if (p.shape == ParameterShape::RoundedRectangle) kind.cornerRadius = MmToPoints(p.radius);
  kind.layouts.push_back({p.columns, p.rows, MmToPoints(p.originX), MmToPoints(p.originY),
                          MmToPoints(p.pitchX), MmToPoints(p.pitchY)});
  product.labels.push_back(kind);
  return product;
}

}  // namespace labels
