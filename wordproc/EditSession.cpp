#include "wordproc/EditSession.h"

#include <algorithm>

#include "wordproc/Clipboard.h"
#include "wordproc/core/ShapeOps.h"

namespace wordproc {

namespace {

constexpr float kPasteOffset = 10;  // points, as Duplicate moves a copy

}  // namespace

EditSession::EditSession(DocumentHost* host, QObject* parent) : QObject(parent), host_(host) {}

void EditSession::detach() {
  host_ = nullptr;
  beforeCommand = nullptr;
}

std::vector<std::uint32_t> EditSession::selection() const {
  std::vector<std::uint32_t> ids;
  if (!host_) return ids;
  for (std::uint32_t id : host_->shapeSelection())
    if (host_->editor().anchoredShape(id)) ids.push_back(id);
  return ids;
}

void EditSession::select(const std::vector<std::uint32_t>& ids) {
  if (!host_) return;
  std::vector<std::uint32_t> bodies;
  for (std::uint32_t id : ids)
    if (editor().anchoredShape(id) && !std::count(bodies.begin(), bodies.end(), id))
      bodies.push_back(id);
  if (bodies == selection()) return;
  host_->setShapeSelection(bodies);
  emit selectionChanged();
}

bool EditSession::isSelected(std::uint32_t id) const {
  auto ids = selection();
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

Shape* EditSession::shape(std::uint32_t id) {
  return host_ ? editor().findShape(id) : nullptr;
}

const AnchoredShape* EditSession::body(std::uint32_t id) {
  return host_ ? editor().anchoredShape(id) : nullptr;
}

std::vector<std::unique_ptr<Shape>> EditSession::snapshot(const std::vector<std::uint32_t>& ids) {
  std::vector<std::unique_ptr<Shape>> states;
  for (std::uint32_t id : ids)
    if (Shape* s = shape(id)) states.push_back(s->clone());
  return states;
}

void EditSession::record(ShapeEdit kind, std::vector<std::unique_ptr<Shape>> before,
                         bool mergeable) {
  if (!host_ || before.empty()) return;
  auto command = std::make_unique<ShapeChangeCommand>(target(), kind, std::move(before), mergeable);
  if (command->changesNothing()) return;
  push(std::move(command));
}

void EditSession::change(ShapeEdit kind, const std::vector<std::uint32_t>& ids,
                         const std::function<void(Shape&)>& edit, bool mergeable) {
  flush();
  auto before = snapshot(ids);
  for (const auto& state : before) edit(*shape(state->id));
  record(kind, std::move(before), mergeable);
}

void EditSession::insert(std::unique_ptr<Shape> shape, int page) {
  flush();
  if (!host_) return;
  NameNewShape(editor().doc(), *shape);
  std::vector<std::unique_ptr<Shape>> shapes;
  shapes.push_back(std::move(shape));
  push(InsertCommand(target(), QStringLiteral("вставка фигуры"), std::move(shapes),
                     anchorOnPage(page)));
}

void EditSession::deleteSelection() {
  flush();
  if (host_) push(DeleteCommand(target(), selection()));
}

void EditSession::group() {
  flush();
  if (host_) push(GroupCommand(target(), selection()));
}

void EditSession::ungroup() {
  flush();
  if (host_) push(UngroupCommand(target(), selection()));
}

void EditSession::bringForward() {
  flush();
  if (host_) push(ZOrderCommand(target(), selection(), +1));
}

void EditSession::sendBackward() {
  flush();
  if (host_) push(ZOrderCommand(target(), selection(), -1));
}

void EditSession::copy() {
  flush();
  if (!host_) return;
  Fragment fragment;
  for (PlacedShape& placed : SnapshotShapes(editor(), selection()))
    fragment.shapes.emplace_back(Editor::npos, std::move(placed.shape));
  if (!fragment.shapes.empty()) SetClipboard(std::move(fragment), {});
}

void EditSession::cut() {
  copy();
  deleteSelection();
}

// A copy pasted back where its original still stands would hide under it: it moves aside.
bool EditSession::paste(int page) {
  flush();
  const Fragment* content = ClipboardFragment();
  if (!host_ || !content || content->shapes.empty()) return false;
  const auto& shapes = doc().shapes;
  std::vector<std::unique_ptr<Shape>> pasted;
  for (const auto& [index, copied] : content->shapes) {
    auto shape = copied->clone();
    editor().renumber(*shape);
    bool covers = std::any_of(shapes.begin(), shapes.end(), [&](const AnchoredShape& s) {
      return s.shape->name == shape->name && s.shape->left == shape->left &&
             s.shape->top == shape->top;
    });
    if (covers) shape->left += kPasteOffset, shape->top += kPasteOffset;
    pasted.push_back(std::move(shape));
  }
  push(InsertCommand(target(), QStringLiteral("вставка из буфера"), std::move(pasted),
                     anchorOnPage(page)));
  return true;
}

PageSetup EditSession::pageSetupOfPage(int page) {
  return layout().pageSetupOfPage(std::max(1, page));
}

void EditSession::setPageSetup(int page, const PageSetup& setup) {
  flush();
  if (!host_) return;
  const std::size_t first = layout().firstParagraphOfPage(std::max(1, page));
  const std::size_t section = editor().sectionOfParagraph(first);
  if (!(setup == editor().sectionPageSetup(section)))
    push(std::make_unique<PageSetupCommand>(target(), section, setup));
}

void EditSession::setBodyText(std::vector<Paragraph> before, std::vector<Paragraph> after) {
  if (!host_ || before.empty() || after.empty()) return;
  for (Paragraph& p : after)
    if (p.id == 0) p.id = editor().doc().newParagraphId();
  push(std::make_unique<BodyTextCommand>(target(), std::move(before), std::move(after)));
}

void EditSession::undo() {
  flush();
  if (!host_ || !stack_.canUndo()) return;
  Editor::WindowEdit own;
  stack_.undo();
  emit changed();
}

void EditSession::redo() {
  flush();
  if (!host_ || !stack_.canRedo()) return;
  Editor::WindowEdit own;
  stack_.redo();
  emit changed();
}

void EditSession::push(std::unique_ptr<QUndoCommand> command) {
  if (!command || !host_) return;
  forgetHistoryIfChangedElsewhere();
  Editor::WindowEdit own;
  stack_.push(command.release());
  emit changed();
}

void EditSession::flush() {
  if (beforeCommand) beforeCommand();
  forgetHistoryIfChangedElsewhere();
}

void EditSession::forgetHistoryIfChangedElsewhere() {
  if (!host_) return;
  const std::uint64_t seen = editor().automationChanges();
  if (seen == seenAutomationChanges_) return;
  seenAutomationChanges_ = seen;
  if (stack_.count() > 0) stack_.clear();
}

EditTarget EditSession::target() {
  return EditTarget{&editor(), [this](const std::vector<std::uint32_t>& ids) { select(ids); }};
}

std::uint64_t EditSession::anchorOnPage(int page) {
  const std::size_t first = layout().firstParagraphOfPage(std::max(1, page));
  return doc().paragraphs[first].id;
}

}  // namespace wordproc
