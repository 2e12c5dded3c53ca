// What a visible document window needs from the document it shows and edits, and sends the
// user's commands back to. The window edits the very document the object model serves, through
// the host's editor, so every change is seen by automation at once.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "wordproc/core/Editor.h"
#include "wordproc/core/Layout.h"
#include "wordproc/core/Model.h"

namespace wordproc {

class DocumentHost {
 public:
  virtual ~DocumentHost() = default;
  virtual const Document& document() const = 0;
  virtual Layout& layout() = 0;
  // Edits go through it: it keeps the layout, the change count (the Saved state) and live
  // ranges right.
  virtual Editor& editor() = 0;
  virtual std::string title() const = 0;
  // The shapes selected in the document, which are also automation's selection.
  virtual std::vector<std::uint32_t> shapeSelection() const = 0;
  virtual void setShapeSelection(const std::vector<std::uint32_t>& ids) = 0;
  virtual void userPrint() = 0;
  // A print like any other but into the PDF file askFile names: before-print is raised first,
  // so that a refused print asks the user nothing. The file written, or nothing.
  using FileQuestion = std::function<std::optional<std::string>()>;
  virtual std::optional<std::string> userPrintToPdf(const FileQuestion& askFile) = 0;
  // Closes the document, asking about unsaved changes; false when the user keeps it open.
  virtual bool userClose() = 0;
  virtual void userSave() = 0;
  virtual void userSaveAs() = 0;
};

}  // namespace wordproc
