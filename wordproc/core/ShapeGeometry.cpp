// What the geometry engine is given for a shape of the model: its preset, custom geometry and
// adjust values, and the object model's numbers for them.
#include <cmath>
#include <map>
#include <tuple>

#include "wordproc/core/ShapeOps.h"

namespace wordproc {

namespace {

constexpr int kMsoNotPrimitive = 138;
constexpr std::size_t kMostKeptOutlines = 512;

// Presets live as long as the program, so their address names them; custom geometries may be
// freed and their address reused, and are not kept.
struct OutlineKey {
  const geometry::ShapeGeometry* preset;
  double width, height;
  std::vector<std::pair<std::string, double>> adjusts;

  bool operator<(const OutlineKey& other) const {
    return std::tie(preset, width, height, adjusts) <
           std::tie(other.preset, other.width, other.height, other.adjusts);
  }
};

OutlineKey KeyOf(const geometry::ShapeGeometry* preset, double width, double height,
                 const geometry::Adjusts& adjusts) {
  OutlineKey key{preset, width, height, {}};
  for (const geometry::Adjust& a : adjusts) key.adjusts.emplace_back(a.name, a.value);
  return key;
}

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

std::shared_ptr<const geometry::Outline> OutlineOf(const Shape& shape, double width,
                                                   double height) {
  const geometry::ShapeGeometry& geometry = GeometryOf(shape);
  const geometry::Adjusts adjusts = AdjustsOf(shape);
  if (shape.custom) {
    return std::make_shared<const geometry::Outline>(
        geometry::Evaluate(geometry, width, height, adjusts));
  }
  // One store a thread: pages may be drawn on several at once.
  thread_local std::map<OutlineKey, std::shared_ptr<const geometry::Outline>> kept;
  OutlineKey key = KeyOf(&geometry, width, height, adjusts);
  if (auto found = kept.find(key); found != kept.end()) return found->second;
  if (kept.size() >= kMostKeptOutlines) kept.clear();
  auto outline = std::make_shared<const geometry::Outline>(
      geometry::Evaluate(geometry, width, height, adjusts));
  kept.emplace(std::move(key), outline);
  return outline;
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
