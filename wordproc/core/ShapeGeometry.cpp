// What the geometry engine is given for a shape of the model: its preset, custom geometry and
// adjust values, and the object model's numbers for them.
#include <cmath>

#include "wordproc/core/ShapeOps.h"

namespace wordproc {

namespace {

constexpr int kMsoNotPrimitive = 138;

const geometry::ShapeGeometry& Rectangle() {
  static const geometry::ShapeGeometry* rect = geometry::Preset("rect");
  static const geometry::ShapeGeometry empty;
  return rect ? *rect : empty;
}

}  // namespace

std::string PresetOf(const Shape& shape) {
  if (!shape.preset.empty()) return shape.preset;
  switch (shape.autoShapeType) {
    case AutoShapeType::RoundedRectangle:
      return "roundRect";
    case AutoShapeType::Oval:
      return "ellipse";
    case AutoShapeType::Rectangle:
      break;
  }
  return "rect";
}

const geometry::ShapeGeometry& GeometryOf(const Shape& shape) {
  if (shape.custom) return *shape.custom;
  const geometry::ShapeGeometry* preset = geometry::Preset(PresetOf(shape));
  return preset ? *preset : Rectangle();
}

geometry::Adjusts AdjustsOf(const Shape& shape) {
  if (!shape.custom && shape.preset.empty() &&
      shape.autoShapeType == AutoShapeType::RoundedRectangle) {
    return {{"adj", std::round(double(shape.adjustment) * 100000)}};
  }
  return shape.adjusts;
}

geometry::Outline OutlineOf(const Shape& shape) {
  return geometry::Evaluate(GeometryOf(shape), shape.width, shape.height, AdjustsOf(shape));
}

bool HasGeneralGeometry(const Shape& shape) {
  return (shape.kind == ShapeKind::AutoShape || shape.kind == ShapeKind::TextBox) &&
         (shape.custom || !shape.preset.empty());
}

int MsoShapeTypeOf(const Shape& shape) {
  constexpr int kMsoChart = 3, kMsoSmartArt = 24;
  switch (shape.graphic) {
    case GraphicType::SmartArt:
      return kMsoSmartArt;
    case GraphicType::Chart:
      return kMsoChart;
    case GraphicType::Drawing:
      break;
  }
  return int(shape.kind);
}

int MsoAutoShapeTypeOf(const Shape& shape) {
  if (shape.custom) return kMsoNotPrimitive;
  if (shape.preset.empty()) return int(shape.autoShapeType);
  const int number = geometry::MsoNumberOfPreset(shape.preset);
  return number ? number : kMsoNotPrimitive;
}

bool SetMsoAutoShapeType(Shape& shape, int number) {
  const std::string_view preset = geometry::PresetOfMsoNumber(number);
  if (preset.empty()) return false;
  shape.custom.reset();
  shape.adjusts.clear();
  shape.preset.clear();
  if (number == 1 || number == 5 || number == 9) {
    shape.autoShapeType = AutoShapeType(number);
  } else {
    shape.autoShapeType = AutoShapeType::Rectangle;
    shape.preset = preset;
  }
  return true;
}

}  // namespace wordproc
