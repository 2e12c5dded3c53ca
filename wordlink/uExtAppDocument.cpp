#include "wordlink/uExtAppDocument.h"

#include <algorithm>

#include "wordlink/AutoImpl.h"

namespace wordlink {

bool PrintingFromProgram = false;
bool DocumentsSaved = false;

namespace {

std::string LowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

bool IsTemplateName(const std::string& fileName) {
  auto dot = fileName.find_last_of('.');
  auto sep = fileName.find_last_of("/\\");
  if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return false;
  return LowerAscii(fileName.substr(dot)) == ".dot";
}

}  // namespace

TExtAppDocument::TExtAppDocument(TExtAppInstance* instance, bool visible)
    : Visible(visible), Instance(instance) {}

void TExtAppDocument::CheckAlive() {
  if (Document.isEmpty()) return;
  try {
    Document.get("Type");
  } catch (const std::exception&) {
    NotOwned = true;
    Document = Variant();
  }
}

bool TExtAppDocument::CloseDocument(int SaveMode) {
  if (Document.isEmpty() || NotOwned) return true;
  CheckAlive();
  if (NotOwned) return true;
  TExtAppInstance* inst = Instance;
  if (inst->Kind == kKindWord) {
    try {
      if (Visible) {
        AppRef().call("Activate");
        Document.get("ActiveWindow").call("Activate");
      }
      Document.call("Close", SaveMode, 1, true);
    } catch (const std::exception&) {
      return false;
    }
  }
  Document = Variant();
  NotOwned = true;
  if (!inst->KeepRunning && inst->Visible &&
      std::none_of(inst->Documents.begin(), inst->Documents.end(),
                   [](TExtAppDocument* d) { return !d->Document.isEmpty(); }))
    inst->Controller->ReleaseInstance(inst->Index);
  return true;
}

void TExtAppDocument::SaveAsDocument(const std::string& FileName) {
  CheckAlive();
  if (Document.isEmpty() || Instance->Kind != kKindWord) return;
  try {
    Document.call("SaveAs", FileName);
  } catch (const std::exception&) {
  }
}

TExtAppDocument* TExtAppController::FindInInstance(TExtAppInstance* inst,
                                                   const std::string& fileName) {
  for (std::size_t i = 0; i < inst->Documents.size(); ++i) {
    TExtAppDocument* doc = inst->Documents[i];
    doc->CheckAlive();
    if (!doc->Document.isEmpty() && doc->Document.get("FullName").toString() == fileName)
      return doc;
  }
  if (inst->Kind != kKindWord) return nullptr;
  Variant taken;
  try {
    Variant docs = inst->Application.get("Documents");
    std::int32_t count = docs.get("Count").toInt();
    for (std::int32_t i = 1; i <= count && taken.isEmpty(); ++i) {
      Variant d = docs.call("Item", i);
      if (d.get("FullName").toString() == fileName) taken = d;
    }
  } catch (const std::exception&) {
  }
  if (taken.isEmpty()) return nullptr;
  TExtAppDocument* rec = NewRecord(inst, false);
  rec->Document = taken;
  return rec;
}

TExtAppDocument* TExtAppController::FindDocument(const std::string& FileName, std::uint8_t Kind) {
  if (Kind == kKindDefault) Kind = DefaultKind();
  for (std::int32_t i = 0; i < Count(); ++i) {
    TExtAppInstance* inst = instances_[i].get();
    if (inst->Kind != Kind) continue;
    if (TExtAppDocument* doc = FindInInstance(inst, FileName)) return doc;
  }
  return nullptr;
}

Variant TExtAppController::OpenInWord(TExtAppInstance* inst, const std::string& fileName,
                                      bool visible, bool readOnly) {
  Variant docs = inst->Application.get("Documents");
  Variant skip = Variant::missing();
  if (fileName.empty()) return docs.call("Add");
  if (IsTemplateName(fileName)) return docs.call("Add", fileName, skip, skip, visible);
  if (inst->Version >= 12)
    return docs.call("OpenNoRepairDialog", fileName, skip, readOnly, visible, skip, skip, skip,
                     skip, skip, skip, skip, visible);
  if (inst->Version >= 9)
    return docs.call("Open", fileName, skip, readOnly, visible, skip, skip, skip, skip, skip, skip,
                     skip, visible);
  return docs.call("Open", fileName, skip, readOnly, visible);
}

TExtAppDocument* TExtAppController::OpenDocument(const std::string& FileName, bool Visible,
                                                 bool ReadOnly, std::uint8_t Kind) {
  TExtAppInstance* inst = Connect(Kind, Visible, false);
  if (!inst) return nullptr;
  if (!FileName.empty()) {
    if (TExtAppDocument* found = FindDocument(FileName, kKindDefault)) {
      found->Document.call("Activate");
      return found;
    }
  }
  if (inst->Kind != kKindWord) return nullptr;
  Variant document = OpenInWord(inst, FileName, Visible, ReadOnly);
  TExtAppDocument* rec = NewRecord(inst, Visible);
  rec->Document = document;
  rec->NotOwned = false;
  inst->Application.get("Options").put("MeasurementUnit", 2);
  return rec;
}

TExtAppDocument* TExtAppController::NewDocument(bool Visible, std::uint8_t Kind) {
  return OpenDocument("", Visible, true, Kind);
}

TExtAppDocument* TExtAppController::SaveDocument(const std::string& FileName, bool WithDialog) {
  TExtAppDocument* doc = FindDocument(FileName, kKindDefault);
  if (!doc || doc->Instance->Kind != kKindWord) return doc;
  try {
    if (WithDialog) {
      doc->Document.call("Activate");
      doc->AppRef().get("Dialogs").call("Item", 84).call("Show");
    } else {
      doc->Document.call("Save");
    }
  } catch (const std::exception&) {
  }
  return doc;
}

void TExtAppController::SetNonPrintableVisible(const Variant& Document, bool Show) {
  Variant shapes = Document.get("Shapes");
  std::int32_t count = shapes.get("Count").toInt();
  Variant app = Document.get("Application");
  app.put("ScreenUpdating", false);
  try {
    for (std::int32_t i = 1; i <= count; ++i) {
      Variant shape = shapes.call("Item", i);
      if (HasNonPrintablePrefix(shape.get("Name").toString())) shape.put("Visible", Show);
    }
  } catch (...) {
    app.put("ScreenUpdating", true);
    throw;
  }
  app.put("ScreenUpdating", true);
}

std::string TExtAppController::PrintDocument(TExtAppDocument* Doc, bool Quick) {
  if (!Doc || Doc->Document.isEmpty()) return {};
  try {
    PrintingFromProgram = true;
    try {
      Doc->Document.call("Activate");
      SetNonPrintableVisible(Doc->Document, false);
      if (Quick)
        Doc->Document.call("PrintOut", false);
      else
        Doc->AppRef().get("Dialogs").call("Item", 88).call("Show");
    } catch (...) {
      PrintingFromProgram = false;
      SetNonPrintableVisible(Doc->Document, true);
      throw;
    }
    PrintingFromProgram = false;
    SetNonPrintableVisible(Doc->Document, true);
  } catch (const std::exception& e) {
    return e.what();
  }
  return {};
}

std::int32_t TExtAppController::CountOwnDocuments() {
  std::int32_t count = 0;
  for (std::int32_t i = 0; i < Count(); ++i) {
    CheckInstance(i);
    TExtAppInstance* inst = instances_[i].get();
    if (inst->Kind == kKindFree) continue;
    for (TExtAppDocument* doc : inst->Documents) {
      doc->CheckAlive();
      if (!doc->NotOwned) ++count;
    }
  }
  return count;
}

void TExtAppController::LeaveVisibleOpen() {
  for (std::int32_t i = Count(); i-- > 0;) {
    TExtAppInstance* inst = instances_[i].get();
    if (inst->Visible) inst->KeepRunning = true;
    for (std::size_t d = inst->Documents.size(); d-- > 0;)
      if (inst->Documents[d]->Visible) inst->Documents[d]->NotOwned = true;
  }
}

bool TExtAppController::CloseAllDocuments(int SaveMode) {
  for (std::int32_t i = Count(); i-- > 0;) {
    TExtAppInstance* inst = instances_[i].get();
    for (std::size_t d = inst->Documents.size(); d-- > 0;) {
      if (d >= inst->Documents.size()) continue;  // closing released the instance
      if (!inst->Documents[d]->CloseDocument(SaveMode)) return false;
    }
  }
  return true;
}

}  // namespace wordlink
