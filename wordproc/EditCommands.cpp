#include "wordproc/EditCommands.h"

#include <algorithm>

#include "wordproc/core/ShapeOps.h"

namespace wordproc {

namespace {

QString EditName(ShapeEdit kind) {
  switch (kind) {
    case ShapeEdit::Move:
      return QStringLiteral("перемещение");
    case ShapeEdit::Resize:
      return QStringLiteral("изменение размера");
    case ShapeEdit::Properties:
      return QStringLiteral("свойства фигуры");
    case ShapeEdit::Text:
      return QStringLiteral("ввод текста");
    case ShapeEdit::Format:
      return QStringLiteral("формат текста");
  }
  return {};
}

std::vector<std::uint32_t> IdsOf(const std::vector<PlacedShape>& shapes) {
  std::vector<std::uint32_t> ids;
  for (const PlacedShape& placed : shapes) ids.push_back(placed.shape->id);
  return ids;
}

void Select(const EditTarget& target, const std::vector<std::uint32_t>& ids) {
  if (target.select) target.select(ids);
}

// Shapes at consecutive places from z, or all on top for npos.
std::vector<PlacedShape> Placed(std::vector<std::unique_ptr<Shape>> shapes, std::size_t z,
                                std::uint64_t anchor) {
  std::vector<PlacedShape> placed;
  for (std::size_t k = 0; k < shapes.size(); ++k)
    placed.push_back({z == Editor::npos ? z : z + k, anchor, std::move(shapes[k])});
  return placed;
}

}  // namespace

std::vector<PlacedShape> SnapshotShapes(Editor& editor, const std::vector<std::uint32_t>& ids) {
  std::vector<PlacedShape> shapes;
  for (std::uint32_t id : ids) {
    const AnchoredShape* body = editor.anchoredShape(id);
    const bool seen = std::any_of(shapes.begin(), shapes.end(),
                                  [&](const PlacedShape& p) { return p.shape->id == id; });
    if (body && !seen)
      shapes.push_back({editor.zIndex(id), body->anchorParagraph, body->shape->clone()});
  }
  std::sort(shapes.begin(), shapes.end(), [](auto& a, auto& b) { return a.z < b.z; });
  return shapes;
}

ShapeChangeCommand::ShapeChangeCommand(EditTarget target, ShapeEdit kind,
                                       std::vector<std::unique_ptr<Shape>> before, bool mergeable)
    : QUndoCommand(EditName(kind)),
      target_(std::move(target)),
      kind_(kind),
      mergeable_(mergeable),
      before_(std::move(before)) {
  for (const auto& state : before_) {
    const Shape* now = target_.editor->findShape(state->id);
    after_.push_back(now ? now->clone() : state->clone());
  }
}

std::vector<std::uint32_t> ShapeChangeCommand::ids() const {
  std::vector<std::uint32_t> ids;
  for (const auto& state : before_) ids.push_back(state->id);
  return ids;
}

void ShapeChangeCommand::apply(const std::vector<std::unique_ptr<Shape>>& states) {
  Editor& editor = *target_.editor;
  for (const auto& state : states) editor.replaceShape(state->id, *state);
  Select(target_, ids());
}

int ShapeChangeCommand::id() const {
  return mergeable_ ? int(kind_) + 1 : -1;
}

bool ShapeChangeCommand::mergeWith(const QUndoCommand* other) {
  auto* next = dynamic_cast<const ShapeChangeCommand*>(other);
  if (!next || !next->mergeable_ || next->kind_ != kind_ || next->ids() != ids()) return false;
  after_.clear();
  for (const auto& state : next->after_) after_.push_back(state->clone());
  return true;
}

bool ShapeChangeCommand::changesNothing() const {
  for (std::size_t k = 0; k < before_.size(); ++k)
    if (!before_[k]->sameAs(*after_[k])) return false;
  return true;
}

ShapeSetCommand::ShapeSetCommand(EditTarget target, const QString& text,
                                 std::vector<PlacedShape> before, std::vector<PlacedShape> after)
    : QUndoCommand(text),
      target_(std::move(target)),
      before_(std::move(before)),
      after_(std::move(after)) {}

// Inserting back to front at the places each shape had reproduces the order exactly, as the
// shapes left in between keep theirs.
void ShapeSetCommand::swap(const std::vector<PlacedShape>& out,
                           const std::vector<PlacedShape>& in) {
  Editor& editor = *target_.editor;
  for (const PlacedShape& placed : out) editor.removeShape(placed.shape->id);
  for (const PlacedShape& placed : in) {
    if (editor.findShape(placed.shape->id)) continue;
    editor.addShape(placed.shape->clone(), placed.anchor, placed.z);
  }
  Select(target_, IdsOf(in));
}

std::unique_ptr<QUndoCommand> InsertCommand(EditTarget target, const QString& text,
                                            std::vector<std::unique_ptr<Shape>> shapes,
                                            std::uint64_t anchor) {
  if (shapes.empty()) return nullptr;
  std::vector<PlacedShape> after = Placed(std::move(shapes), Editor::npos, anchor);
  return std::make_unique<ShapeSetCommand>(std::move(target), text, std::vector<PlacedShape>{},
                                           std::move(after));
}

std::unique_ptr<QUndoCommand> DeleteCommand(EditTarget target,
                                            const std::vector<std::uint32_t>& ids) {
  std::vector<PlacedShape> before = SnapshotShapes(*target.editor, ids);
  if (before.empty()) return nullptr;
  return std::make_unique<ShapeSetCommand>(std::move(target), QStringLiteral("удаление"),
                                           std::move(before), std::vector<PlacedShape>{});
}

std::unique_ptr<QUndoCommand> GroupCommand(EditTarget target,
                                           const std::vector<std::uint32_t>& ids) {
  Editor& editor = *target.editor;
  std::vector<PlacedShape> before = SnapshotShapes(editor, ids);
  if (before.size() < 2) return nullptr;
  std::vector<const AnchoredShape*> members;
  for (const PlacedShape& placed : before)
    members.push_back(editor.anchoredShape(placed.shape->id));
  auto group = GroupOf(editor.layout(), members, editor.doc().newShapeId());
  std::vector<PlacedShape> after;
  after.push_back({before.front().z, before.front().anchor, std::move(group)});
  return std::make_unique<ShapeSetCommand>(std::move(target), QStringLiteral("группировка"),
                                           std::move(before), std::move(after));
}

// A group at place z gives its members places from z on; groups below push them up.
std::unique_ptr<QUndoCommand> UngroupCommand(EditTarget target,
                                             const std::vector<std::uint32_t>& ids) {
  std::vector<PlacedShape> before = SnapshotShapes(*target.editor, ids);
  std::erase_if(before, [](const PlacedShape& p) {
    return p.shape->kind != ShapeKind::Group || p.shape->children.empty();
  });
  if (before.empty()) return nullptr;
  std::vector<PlacedShape> after;
  std::size_t shift = 0;
  for (const PlacedShape& group : before) {
    auto members = MembersOfGroup(*group.shape);
    const std::size_t count = members.size();
    for (auto& placed : Placed(std::move(members), group.z + shift, group.anchor))
      after.push_back(std::move(placed));
    shift += count - 1;
  }
  return std::make_unique<ShapeSetCommand>(std::move(target), QStringLiteral("разгруппировка"),
                                           std::move(before), std::move(after));
}

std::unique_ptr<QUndoCommand> ZOrderCommand(EditTarget target,
                                            const std::vector<std::uint32_t>& ids, int step) {
  Editor& editor = *target.editor;
  const auto& shapes = editor.doc().shapes;
  std::vector<std::uint32_t> order;
  for (const AnchoredShape& s : shapes) order.push_back(s.shape->id);
  auto chosen = [&](std::uint32_t id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
  };
  // A selected shape passes the unselected neighbour on the side it moves to.
  for (std::size_t n = 1; n < order.size(); ++n) {
    std::size_t k = step > 0 ? order.size() - 1 - n : n;
    std::size_t next = step > 0 ? k + 1 : k - 1;
    if (chosen(order[k]) && !chosen(order[next])) std::swap(order[k], order[next]);
  }
  std::vector<std::uint32_t> moved;
  std::vector<PlacedShape> after;
  for (std::size_t z = 0; z < order.size(); ++z) {
    if (shapes[z].shape->id == order[z]) continue;
    moved.push_back(order[z]);
    const AnchoredShape* body = editor.anchoredShape(order[z]);
    after.push_back({z, body->anchorParagraph, body->shape->clone()});
  }
  if (moved.empty()) return nullptr;
  std::vector<PlacedShape> before = SnapshotShapes(editor, moved);
  return std::make_unique<ShapeSetCommand>(std::move(target), QStringLiteral("порядок фигур"),
                                           std::move(before), std::move(after));
}

BodyTextCommand::BodyTextCommand(EditTarget target, std::vector<Paragraph> before,
                                 std::vector<Paragraph> after)
    : QUndoCommand(QStringLiteral("ввод текста")),
      target_(std::move(target)),
      before_(std::move(before)),
      after_(std::move(after)) {
  for (const AnchoredShape& anchored : target_.editor->doc().shapes) {
    bool inside = std::any_of(before_.begin(), before_.end(),
                              [&](const Paragraph& p) { return p.id == anchored.anchorParagraph; });
    if (inside) anchors_[anchored.shape->id] = anchored.anchorParagraph;
  }
}

// Automation may have edited the paragraphs since; then this edit no longer applies.
bool BodyTextCommand::replace(const std::vector<Paragraph>& out, const std::vector<Paragraph>& in) {
  Editor& editor = *target_.editor;
  const auto& paragraphs = editor.doc().paragraphs;
  const std::size_t first = editor.layout().paragraphIndexOf(out.front().id);
  if (first == Layout::npos || first + out.size() > paragraphs.size()) return false;
  for (std::size_t k = 0; k < out.size(); ++k)
    if (paragraphs[first + k].id != out[k].id) return false;
  editor.replaceParagraphs(first, out.size(), in);
  return true;
}

void BodyTextCommand::redo() {
  replace(before_, after_);
}

void BodyTextCommand::undo() {
  if (!replace(after_, before_)) return;
  Editor& editor = *target_.editor;
  for (const auto& [id, anchor] : anchors_)
    if (AnchoredShape* body = editor.anchoredShape(id)) body->anchorParagraph = anchor;
}

PageSetupCommand::PageSetupCommand(EditTarget target, std::size_t sectionEnd,
                                   const PageSetup& after)
    : QUndoCommand(QStringLiteral("параметры страницы")),
      target_(std::move(target)),
      section_(target_.editor->sectionId(sectionEnd)),
      before_(target_.editor->sectionPageSetup(sectionEnd)),
      after_(after) {}

// A section whose end went away with an edit the history no longer holds has nothing to
// restore.
void PageSetupCommand::apply(const PageSetup& setup) {
  Editor& editor = *target_.editor;
  const std::size_t end = editor.sectionById(section_);
  if (end != Editor::npos) editor.setSectionPageSetup(end, setup);
}

}  // namespace wordproc
