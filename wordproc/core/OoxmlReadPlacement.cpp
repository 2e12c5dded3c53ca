// Where shapes stand: aligned positions, shapes kept in z-order until the whole body is read,
// and the ids and names given to those the file left without.
#include "wordproc/core/OoxmlReadContext.h"
#include "wordproc/core/ShapeOps.h"

#include <algorithm>
#include <limits>
#include <unordered_set>
#include <vector>

namespace wordproc::ooxml::reader {

double ReadContext::AreaWidth(RelH rel) const {
  const PageSetup& page = doc_->pageSetup;
  switch (rel) {
    case RelH::Page:
      return page.pageWidth;
    case RelH::Margin:
    case RelH::Column:
      return page.pageWidth - page.leftMargin - page.rightMargin;
    case RelH::LeftMargin:
    case RelH::InsideMargin:
    case RelH::OutsideMargin:
      return page.leftMargin;
    case RelH::RightMargin:
      return page.rightMargin;
    case RelH::Character:
      return 0;
  }
  return 0;
}

double ReadContext::AreaHeight(RelV rel) const {
  const PageSetup& page = doc_->pageSetup;
  switch (rel) {
    case RelV::Page:
      return page.pageHeight;
    case RelV::Margin:
      return page.pageHeight - page.topMargin - page.bottomMargin;
    case RelV::TopMargin:
    case RelV::InsideMargin:
    case RelV::OutsideMargin:
      return page.topMargin;
    case RelV::BottomMargin:
      return page.bottomMargin;
    case RelV::Paragraph:
    case RelV::Line:
      return 0;
  }
  return 0;
}

double ReadContext::Aligned(std::string_view align, double area, double size) {
  if (align == "center") return (area - size) / 2;
  if (align == "right" || align == "bottom" || align == "outside") return area - size;
  return 0;
}

void ReadContext::AddInlinePicture(Flow& flow, std::unique_ptr<Shape> owned) {
  const Shape& shape = *owned;
  ChargeModel(2 * sizeof(InlinePicture) + shape.name.size());
  InlinePicture picture;
  picture.afterRun = flow.paragraph->runs.size();
  picture.id = shape.id;
  picture.name = shape.name;
  picture.width = shape.width;
  picture.height = shape.height;
  picture.image = shape.image;
  picture.svg = shape.svg;
  picture.crop = shape.crop;
  // Charts and SmartArt are drawn from their shapes, which keep their size and nothing else.
  if (shape.graphic != GraphicType::Drawing) {
    owned->id = 0;
    owned->left = owned->top = 0;
    picture.drawing = std::move(owned);
  }
  flow.paragraph->inlinePictures.push_back(std::move(picture));
  flow.picturesAt = flow.paragraph->runs.size();
}

void ReadContext::Keep(std::unique_ptr<Shape> shape, const Flow& flow, int layer, double z) {
  PendingShape pending;
  pending.shape = std::move(shape);
  pending.paragraph = flow.paragraph->id;
  pending.layer = layer;
  pending.z = z;
  pending.sequence = pending_.size();
  pending_.push_back(std::move(pending));
}

void ReadContext::PlaceShapes() {
  std::stable_sort(pending_.begin(), pending_.end(),
                   [](const PendingShape& a, const PendingShape& b) {
                     if (a.layer != b.layer) return a.layer < b.layer;
                     return a.z < b.z;
                   });
  // Ids from the file are kept where they are unique; the rest are numbered after them.
  std::unordered_set<std::uint32_t> used;
  std::uint32_t highest = 0;
  auto claim = [&](auto&& self, Shape& shape) -> void {
    if (shape.id != 0 && used.insert(shape.id).second)
      highest = std::max(highest, shape.id);
    else
      shape.id = 0;
    for (auto& child : shape.children) self(self, *child);
  };
  for (PendingShape& p : pending_) claim(claim, *p.shape);
  std::vector<InlinePicture*> pictures;
  auto collect = [&](std::vector<Paragraph>& paragraphs) {
    for (Paragraph& paragraph : paragraphs) {
      for (InlinePicture& picture : paragraph.inlinePictures) {
        if (picture.id != 0 && used.insert(picture.id).second) {
          highest = std::max(highest, picture.id);
        } else {
          picture.id = 0;
        }
        pictures.push_back(&picture);
      }
    }
  };
  collect(doc_->paragraphs);
  std::uint32_t next = highest == std::numeric_limits<std::uint32_t>::max() ? 1 : highest + 1;
  auto fresh = [&]() {
    while (next == 0 || used.count(next)) ++next;
    used.insert(next);
    return next++;
  };
  auto finish = [&](auto&& self, Shape& shape) -> void {
    if (shape.id == 0) shape.id = fresh();
    if (shape.name.empty()) shape.name = ShapeKindName(shape) + " " + std::to_string(shape.id);
    for (auto& child : shape.children) self(self, *child);
  };
  for (PendingShape& p : pending_) {
    finish(finish, *p.shape);
    doc_->shapes.push_back({std::move(p.shape), p.paragraph});
  }
  for (InlinePicture* picture : pictures) {
    if (picture->id == 0) picture->id = fresh();
    if (picture->name.empty()) picture->name = "Picture " + std::to_string(picture->id);
  }
  doc_->nextShapeId = next == 0 ? 1 : next;
}

}  // namespace wordproc::ooxml::reader
