// The undoable edits of a document window. They work on the document through its editor and
// find shapes and paragraphs by id each time, so automation may change the document between
// them without leaving them pointing at freed objects; each restores exactly what it changed.
#pragma once

#include <QUndoCommand>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "wordproc/core/Editor.h"

namespace wordproc {

struct EditTarget {
  Editor* editor = nullptr;
  // Told which shapes to select after a command ran either way.
  std::function<void(const std::vector<std::uint32_t>&)> select;
};

// A body shape with its place in the z-order and its anchor paragraph.
struct PlacedShape {
  std::size_t z = 0;
  std::uint64_t anchor = 0;
  std::unique_ptr<Shape> shape;
};

// Copies of the body shapes, back to front.
std::vector<PlacedShape> SnapshotShapes(Editor& editor, const std::vector<std::uint32_t>& ids);

enum class ShapeEdit { Move, Resize, Properties, Text, Format };

// A change to shapes that leaves the set of body shapes alone: their states before and after.
class ShapeChangeCommand : public QUndoCommand {
 public:
  // before: copies of the shapes as they were; the document holds them changed already.
  // Consecutive mergeable commands over the same shapes undo as one (steps of arrow keys).
  ShapeChangeCommand(EditTarget target, ShapeEdit kind, std::vector<std::unique_ptr<Shape>> before,
                     bool mergeable = false);
  void undo() override { apply(before_); }
  void redo() override { apply(after_); }
  int id() const override;
  bool mergeWith(const QUndoCommand* other) override;
  bool changesNothing() const;

 private:
  void apply(const std::vector<std::unique_ptr<Shape>>& states);
  std::vector<std::uint32_t> ids() const;

  EditTarget target_;
  ShapeEdit kind_;
  bool mergeable_;
  std::vector<std::unique_ptr<Shape>> before_, after_;
};

// Takes some body shapes out and puts others in: inserting, deleting, grouping, ungrouping,
// stacking order. Each side is kept with its z-order places.
class ShapeSetCommand : public QUndoCommand {
 public:
  ShapeSetCommand(EditTarget target, const QString& text, std::vector<PlacedShape> before,
                  std::vector<PlacedShape> after);
  void undo() override { swap(after_, before_); }
  void redo() override { swap(before_, after_); }

 private:
  void swap(const std::vector<PlacedShape>& out, const std::vector<PlacedShape>& in);

  EditTarget target_;
  std::vector<PlacedShape> before_, after_;
};

// The commands for kinds of shape set edits; null when the edit would change nothing.
std::unique_ptr<QUndoCommand> InsertCommand(EditTarget target, const QString& text,
                                            std::vector<std::unique_ptr<Shape>> shapes,
                                            std::uint64_t anchor);
std::unique_ptr<QUndoCommand> DeleteCommand(EditTarget target,
                                            const std::vector<std::uint32_t>& ids);
std::unique_ptr<QUndoCommand> GroupCommand(EditTarget target,
                                           const std::vector<std::uint32_t>& ids);
std::unique_ptr<QUndoCommand> UngroupCommand(EditTarget target,
                                             const std::vector<std::uint32_t>& ids);
// step +1 brings the shapes one place forward, -1 sends them one place backward.
std::unique_ptr<QUndoCommand> ZOrderCommand(EditTarget target,
                                            const std::vector<std::uint32_t>& ids, int step);

// Body paragraphs edited in place: the paragraphs from the first one's position before and
// after, each with its id. Shapes anchored in paragraphs the edit removed go back to them.
class BodyTextCommand : public QUndoCommand {
 public:
  BodyTextCommand(EditTarget target, std::vector<Paragraph> before, std::vector<Paragraph> after);
  void undo() override;
  void redo() override;

 private:
  bool replace(const std::vector<Paragraph>& out, const std::vector<Paragraph>& in);

  EditTarget target_;
  std::vector<Paragraph> before_, after_;
  std::map<std::uint32_t, std::uint64_t> anchors_;  // shape id -> anchor before the edit
};

// One section's page set-up, the section known by the paragraph that ends it (Editor::sectionId).
class PageSetupCommand : public QUndoCommand {
 public:
  PageSetupCommand(EditTarget target, std::size_t sectionEnd, const PageSetup& after);
  void undo() override { apply(before_); }
  void redo() override { apply(after_); }

 private:
  void apply(const PageSetup& setup);

  EditTarget target_;
  std::uint64_t section_;
  PageSetup before_, after_;
};

}  // namespace wordproc
