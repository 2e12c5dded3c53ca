// The editing of one document in its window: the selection, which is the document's own, the
// undo history and the edits the window's commands make. Every edit changes the document the
// host serves and becomes one undoable command.
#pragma once

#include <QObject>
#include <QUndoStack>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "wordproc/DocumentHost.h"
#include "wordproc/EditCommands.h"

namespace wordproc {

class EditSession : public QObject {
  Q_OBJECT

 public:
  explicit EditSession(DocumentHost* host, QObject* parent = nullptr);

  // The host let the window go: nothing may reach the document any more.
  void detach();
  bool attached() const { return host_ != nullptr; }
  DocumentHost& host() { return *host_; }
  Editor& editor() { return host_->editor(); }
  const Document& doc() const { return host_->document(); }
  Layout& layout() { return host_->layout(); }
  QUndoStack& undoStack() { return stack_; }

  // Runs before every command, to finish work in progress such as text being typed.
  std::function<void()> beforeCommand;

  // Body shapes only, in the order they were selected.
  std::vector<std::uint32_t> selection() const;
  void select(const std::vector<std::uint32_t>& ids);
  bool isSelected(std::uint32_t id) const;
  Shape* shape(std::uint32_t id);
  const AnchoredShape* body(std::uint32_t id);

  // A change made straight to the shapes (while the mouse drags them, say) becomes a command
  // from copies taken before it; nothing is recorded when nothing changed.
  std::vector<std::unique_ptr<Shape>> snapshot(const std::vector<std::uint32_t>& ids);
  void record(ShapeEdit kind, std::vector<std::unique_ptr<Shape>> before, bool mergeable = false);
  void change(ShapeEdit kind, const std::vector<std::uint32_t>& ids,
              const std::function<void(Shape&)>& edit, bool mergeable = false);

  // Adds a new shape on top, anchored on the page, named as new shapes are, and selects it.
  void insert(std::unique_ptr<Shape> shape, int page);
  void deleteSelection();
  void group();
  void ungroup();
  void bringForward();
  void sendBackward();
  void copy();
  void cut();
  // Pastes copied shapes onto the page; false when nothing was copied.
  bool paste(int page);
  // The page set-up of the section shown on the page.
  PageSetup pageSetupOfPage(int page);
  void setPageSetup(int page, const PageSetup& setup);
  // Paragraphs edited in place: before as they stand in the document, after as edited (id 0
  // for new ones).
  void setBodyText(std::vector<Paragraph> before, std::vector<Paragraph> after);
  void undo();
  void redo();
  // Drops the undo history when automation has changed the document since this window last
  // looked: its steps hold states from before that change and would silently put them back.
  // Making each automation call an undo step instead would give the user steps for work the
  // program did on its own (a sheet filled by cloning) and, undone, break what it relies on.
  void forgetHistoryIfChangedElsewhere();

 signals:
  // The document changed through this window (an edit, undo or redo).
  void changed();
  void selectionChanged();

 private:
  void push(std::unique_ptr<QUndoCommand> command);
  void flush();
  EditTarget target();
  std::uint64_t anchorOnPage(int page);

  DocumentHost* host_;
  QUndoStack stack_;
  std::uint64_t seenAutomationChanges_ = 0;
};

}  // namespace wordproc
