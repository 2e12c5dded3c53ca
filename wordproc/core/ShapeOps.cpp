#include "wordproc/core/ShapeOps.h"

#include <algorithm>

#include "wordlink/NonPrintable.h"

namespace wordproc {

bool IsGuideShape(const Shape& shape) {
  return wordlink::HasNonPrintablePrefix(shape.name);
}

std::string ShapeKindName(const Shape& shape) {
  if (shape.graphic == GraphicType::Chart) return "Chart";
  if (shape.graphic == GraphicType::SmartArt) return "Diagram";
  switch (shape.kind) {
    case ShapeKind::TextBox:
      return "Text Box";
    case ShapeKind::Line:
      return "Straight Connector";
    case ShapeKind::Picture:
      return "Picture";
    case ShapeKind::Group:
      return "Group";
    case ShapeKind::AutoShape:
      break;
  }
  if (shape.custom) return "Freeform";
  if (!shape.preset.empty()) return PresetShapeName(shape.preset);
  switch (shape.autoShapeType) {
    case AutoShapeType::RoundedRectangle:
      return "Rounded Rectangle";
    case AutoShapeType::Oval:
      return "Oval";
    case AutoShapeType::Rectangle:
      break;
  }
  return "Rectangle";
}

std::unique_ptr<Shape> NewShapeOf(ShapeKind kind, AutoShapeType type) {
  auto shape = std::make_unique<Shape>();
  shape->kind = kind;
  shape->autoShapeType = type;
  if (kind == ShapeKind::Line || kind == ShapeKind::Picture) shape->fill.visible = false;
  if (kind == ShapeKind::Picture) shape->line.visible = false;
  return shape;
}

void NameNewShape(Document& doc, Shape& shape) {
  shape.id = doc.newShapeId();
  shape.name = ShapeKindName(shape) + " " + std::to_string(shape.id);
}

void ScaleChildren(Shape& group, float fx, float fy) {
  for (auto& child : group.children) {
    child->left *= fx;
    child->top *= fy;
    child->width *= fx;
    child->height *= fy;
    ScaleChildren(*child, fx, fy);
  }
}

void SetShapeSize(Shape& shape, float width, float height) {
  if (shape.kind == ShapeKind::Group) {
    float fx = shape.width > 0 ? width / shape.width : 1;
    float fy = shape.height > 0 ? height / shape.height : 1;
    ScaleChildren(shape, fx, fy);
  }
  shape.width = width;
  shape.height = height;
}

namespace {

RectF Bounds(const std::vector<RectF>& boxes) {
  float x1 = boxes.front().x, y1 = boxes.front().y;
  float x2 = x1 + boxes.front().width, y2 = y1 + boxes.front().height;
  for (const RectF& box : boxes) {
    x1 = std::min(x1, box.x);
    y1 = std::min(y1, box.y);
    x2 = std::max(x2, box.x + box.width);
    y2 = std::max(y2, box.y + box.height);
  }
  return RectF{x1, y1, x2 - x1, y2 - y1};
}

}  // namespace

std::unique_ptr<Shape> GroupOf(Layout& layout, const std::vector<const AnchoredShape*>& members,
                               std::uint32_t id) {
  std::vector<RectF> boxes;
  for (const AnchoredShape* member : members) boxes.push_back(layout.shapeRectOnPage(*member));
  const RectF bounds = Bounds(boxes);
  const AnchoredShape& lowest = *members.front();
  auto group = NewShapeOf(ShapeKind::Group);
  group->id = id;
  if (id != 0) group->name = ShapeKindName(*group) + " " + std::to_string(id);
  group->relH = lowest.shape->relH;
  group->relV = lowest.shape->relV;
  group->left = bounds.x - layout.horizontalOrigin(group->relH, lowest);
  group->top = bounds.y - layout.verticalOrigin(group->relV, lowest);
  group->width = bounds.width;
  group->height = bounds.height;
  group->line.visible = false;
  group->fill.visible = false;
  for (std::size_t k = 0; k < members.size(); ++k) {
    auto child = members[k]->shape->clone();
    child->left = boxes[k].x - bounds.x;
    child->top = boxes[k].y - bounds.y;
    group->children.push_back(std::move(child));
  }
  return group;
}

std::vector<std::unique_ptr<Shape>> MembersOfGroup(const Shape& group) {
  std::vector<std::unique_ptr<Shape>> members;
  for (const auto& child : group.children) {
    auto member = child->clone();
    member->left += group.left;
    member->top += group.top;
    member->relH = group.relH;
    member->relV = group.relV;
    members.push_back(std::move(member));
  }
  return members;
}

}  // namespace wordproc
