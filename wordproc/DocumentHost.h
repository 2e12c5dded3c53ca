// What a visible document window needs from the document it shows and sends the user's
// commands back to.
#pragma once

#include <string>

#include "wordproc/Layout.h"
#include "wordproc/Model.h"

namespace wordproc {

class DocumentHost {
 public:
  virtual ~DocumentHost() = default;
  virtual const Document& document() const = 0;
  virtual Layout& layout() = 0;
  virtual std::string title() const = 0;
  virtual void userPrint() = 0;
  // Closes the document, asking about unsaved changes; false when the user keeps it open.
  virtual bool userClose() = 0;
  virtual void userSave() = 0;
};

}  // namespace wordproc
