// The one connection object through which the program reaches the word processor: a list of
// connected application instances, started on demand, checked for being alive and as visible
// as wanted, and quit on release when the program started them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "wordlink/Automation.h"

namespace wordlink {

class TExtAppController;
class TExtAppDocument;

// Application kinds. 1 is accepted as an argument meaning the default kind and never stored.
inline constexpr std::uint8_t kKindFree = 0;
inline constexpr std::uint8_t kKindDefault = 1;
inline constexpr std::uint8_t kKindWord = 2;
inline constexpr std::uint8_t kKindSpreadsheet = 3;
inline constexpr std::uint8_t kKindServiceManager = 4;

// Save modes passed unchanged to the word processor's Close and Quit.
inline constexpr int kSaveChanges = -1;
inline constexpr int kDoNotSaveChanges = 0;
inline constexpr int kPromptToSaveChanges = -2;

class TExtAppInstance {
 public:
  std::int32_t Index = 0;
  TExtAppController* Controller = nullptr;
  std::uint8_t Kind = kKindFree;
  std::int32_t Version = 0;
  bool KeepRunning = true;
  bool Visible = false;
  Variant ServiceManager;
  Variant Application;
  std::vector<TExtAppDocument*> Documents;
};

struct AppKindInfo {
  const char* progId;
  std::int32_t minVersion;
};

// Kind table indexed by kind: only the word processor can ever be accepted.
const AppKindInfo& KindInfo(std::uint8_t kind);

class TExtAppController {
 public:
  TExtAppController();
  ~TExtAppController();
  TExtAppController(const TExtAppController&) = delete;
  TExtAppController& operator=(const TExtAppController&) = delete;

  std::uint8_t DefaultKind() const { return kKindWord; }

  // A connected instance of the kind and visibility, started when none fits; nullptr when no
  // usable word processor can be had.
  TExtAppInstance* Connect(std::uint8_t Kind, bool Visible, bool ForceNew);
  void CheckInstance(std::int32_t Index);
  void ReleaseInstance(std::int32_t Index);

  std::int32_t Count() const { return std::int32_t(instances_.size()); }
  TExtAppInstance* Instance(std::int32_t index) const;

  // Documents (see uExtAppDocument.h).
  TExtAppDocument* OpenDocument(const std::string& FileName, bool Visible, bool ReadOnly,
                                std::uint8_t Kind = kKindDefault);
  TExtAppDocument* NewDocument(bool Visible, std::uint8_t Kind = kKindDefault);
  TExtAppDocument* FindDocument(const std::string& FileName, std::uint8_t Kind = kKindDefault);
  TExtAppDocument* SaveDocument(const std::string& FileName, bool WithDialog);
  // Prints with the non-printing shapes hidden. A failure is not raised (printing never ends a
  // command) but returned as its text, so the caller can tell the user; empty when it printed
  // or the user cancelled the print dialog.
  std::string PrintDocument(TExtAppDocument* Doc, bool Quick);
  void SetNonPrintableVisible(const Variant& Document, bool Show);
  std::int32_t CountOwnDocuments();
  void LeaveVisibleOpen();
  bool CloseAllDocuments(int SaveMode);

  // Records are never freed while the controller lives, so references stay valid.
  TExtAppDocument* NewRecord(TExtAppInstance* instance, bool visible);

  // Runs for each word processor instance the controller starts, before it is used: the
  // program hands it the settings it prints with.
  std::function<void(const Variant& application)> InstanceStarted;

 private:
  TExtAppInstance* FindConnected(std::uint8_t kind, bool visible, TExtAppInstance** freeRec);
  bool StartInstance(TExtAppInstance* rec, std::uint8_t kind, bool visible);
  TExtAppDocument* FindInInstance(TExtAppInstance* inst, const std::string& fileName);
  Variant OpenInWord(TExtAppInstance* inst, const std::string& fileName, bool visible,
                     bool readOnly);

  std::vector<std::unique_ptr<TExtAppInstance>> instances_;
  std::vector<std::unique_ptr<TExtAppDocument>> documents_;
};

}  // namespace wordlink
