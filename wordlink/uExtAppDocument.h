// The program's record of one document in the word processor. Records belong to the controller
// and are never freed while the program runs; a closed or vanished document keeps its record
// with an empty Document, so references held anywhere stay valid.
#pragma once

#include "wordlink/Automation.h"
#include "wordlink/NonPrintable.h"
#include "wordlink/uExtAppController.h"

namespace wordlink {

class TExtAppDocument {
 public:
  TExtAppDocument(TExtAppInstance* instance, bool visible);

  bool Visible = false;
  bool NotOwned = true;  // the program must not close it
  TExtAppInstance* Instance = nullptr;
  // The instance's Application field, reached directly.
  const Variant& AppRef() const { return Instance->Application; }
  Variant Document;

  // Probes the document; a document that went away leaves the record empty and not owned.
  void CheckAlive();
  // True when closed or never the program's to close; false when the word processor refused
  // (for instance the user cancelled its prompt).
  bool CloseDocument(int SaveMode);
  void SaveAsDocument(const std::string& FileName);
};

// True while the program itself prints; the before-print event lets such prints through.
extern bool PrintingFromProgram;
// Set when the word processor announces a save; never reset.
extern bool DocumentsSaved;

}  // namespace wordlink
