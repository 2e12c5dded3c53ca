#include "wordlink/uExtAppController.h"

#include <cstdlib>

#include "wordlink/AutoImpl.h"
#include "wordlink/uExtAppDocument.h"

namespace wordlink {

namespace {

const AppKindInfo kKinds[] = {
    {"", 9999},
    {"", 9999},
    {"Word.Application", 8},
    {"Excel.Application", 9999},
    {"com.sun.star.ServiceManager", 9999},
};

// The number before the first "." of a version text; 0 when it is not a number.
std::int32_t MajorVersion(const std::string& text) {
  std::string head = text.substr(0, text.find('.'));
  if (head.empty() || head.size() > 9) return 0;
  for (char c : head)
    if (c < '0' || c > '9') return 0;
  return std::atoi(head.c_str());
}

}  // namespace

const AppKindInfo& KindInfo(std::uint8_t kind) {
  static const AppKindInfo none{"", 9999};
  return kind < std::size(kKinds) ? kKinds[kind] : none;
}

TExtAppController::TExtAppController() = default;

TExtAppController::~TExtAppController() {
  for (std::int32_t i = 0; i < Count(); ++i) ReleaseInstance(i);
}

TExtAppInstance* TExtAppController::Instance(std::int32_t index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return instances_[index].get();
}

TExtAppInstance* TExtAppController::FindConnected(std::uint8_t kind, bool visible,
                                                  TExtAppInstance** freeRec) {
  TExtAppInstance* found = nullptr;
  for (std::int32_t i = 0; i < Count(); ++i) {
    TExtAppInstance* rec = instances_[i].get();
    if (!found && rec->Kind == kind && !rec->Application.isEmpty()) {
      CheckInstance(i);
      if (rec->Kind == kind && rec->Application.get("Visible").toBool() == visible) found = rec;
    }
    if (!*freeRec && rec->Kind == kKindFree) *freeRec = rec;
  }
  return found;
}

TExtAppInstance* TExtAppController::Connect(std::uint8_t Kind, bool Visible, bool ForceNew) {
  if (Kind == kKindDefault) Kind = DefaultKind();
  if (Kind == kKindFree) return nullptr;
  TExtAppInstance* freeRec = nullptr;
  TExtAppInstance* rec = ForceNew ? nullptr : FindConnected(Kind, Visible, &freeRec);
  if (!rec) {
    rec = freeRec;
    if (!rec) {
      instances_.push_back(std::make_unique<TExtAppInstance>());
      rec = instances_.back().get();
      rec->Index = Count() - 1;
      rec->Controller = this;
    }
    if (!StartInstance(rec, Kind, Visible)) {
      ReleaseInstance(rec->Index);
      return nullptr;
    }
  }
  rec->Application.put("Visible", Visible);
  rec->Visible = Visible;
  rec->Application.put("DisplayAlerts", Visible);
  return rec;
}

bool TExtAppController::StartInstance(TExtAppInstance* rec, std::uint8_t kind, bool visible) {
  ReleaseInstance(rec->Index);
  rec->Kind = kind;
  const AppKindInfo& info = KindInfo(kind);
  try {
    if (!*info.progId || !IsProgIdRegistered(info.progId)) return false;
    Variant app = CreateOleObject(info.progId);
    // Stored before anything else can fail, so that a failed start still quits what it made.
    rec->Application = app;
    rec->KeepRunning = false;
    if (visible) TWordEventSink::Attach(this, app);
    if (kind == kKindServiceManager) {
      rec->ServiceManager = app;
      rec->Application = app.call("createInstance", "com.sun.star.frame.Desktop");
    }
    rec->Version = MajorVersion(rec->Application.get("Version").toString());
    if (rec->Version < info.minVersion) return false;
    if (InstanceStarted && kind == kKindWord) InstanceStarted(rec->Application);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void TExtAppController::CheckInstance(std::int32_t Index) {
  TExtAppInstance* rec = Instance(Index);
  if (!rec || rec->Kind == kKindFree) return;
  bool gone;
  try {
    gone = rec->Application.get("Visible").toBool() != rec->Visible;
  } catch (const std::exception&) {
    gone = true;
  }
  if (gone) ReleaseInstance(Index);
}

void TExtAppController::ReleaseInstance(std::int32_t Index) {
  TExtAppInstance* rec = Instance(Index);
  if (!rec) return;
  for (std::size_t i = rec->Documents.size(); i-- > 0;) {
    if (i >= rec->Documents.size()) continue;  // closing released this instance already
    rec->Documents[i]->CloseDocument(kPromptToSaveChanges);
  }
  if (rec->Kind != kKindFree && !rec->KeepRunning && !rec->Application.isEmpty()) {
    try {
      rec->Application.call("Quit", kPromptToSaveChanges, 1, true);
    } catch (const std::exception&) {
    }
  }
  rec->Kind = kKindFree;
  rec->KeepRunning = true;
  rec->Visible = false;
  rec->Application = Variant();
  rec->ServiceManager = Variant();
  rec->Documents.clear();
}

TExtAppDocument* TExtAppController::NewRecord(TExtAppInstance* instance, bool visible) {
  documents_.push_back(std::make_unique<TExtAppDocument>(instance, visible));
  TExtAppDocument* doc = documents_.back().get();
  instance->Documents.push_back(doc);
  return doc;
}

}  // namespace wordlink
