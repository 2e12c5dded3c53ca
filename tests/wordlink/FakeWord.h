// A scripted automation server registered as "Word.Application" for tests that need the word
// processor to behave in ways a real one rarely does: old versions, vanishing documents,
// refused closes, failing prints.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "wordlink/Automation.h"

namespace fake {

using wordlink::Args;
using wordlink::InvokeKind;
using wordlink::Variant;

struct World;

class FakeObject : public wordlink::Dispatch {
 public:
  Variant invoke(std::string_view member, InvokeKind kind, Args& args) override;
  std::map<std::string, Variant> props;  // lower-case member names
  std::vector<std::string> calls;        // "Member(args)" of every method call
  std::map<std::string, std::function<Variant(Args&)>> methods;
  bool dead = false;  // every call raises, like an object whose server went away
};

struct FakeApp;

struct FakeDoc : FakeObject {
  FakeApp* app = nullptr;
  bool refuseClose = false;
  std::vector<std::string> shapeNames;
  std::vector<bool> shapeVisible;
  bool failShapes = false;
  bool failPrint = false;
  std::vector<std::vector<bool>> visibilityAtPrint;
};

struct FakeApp : FakeObject {
  std::vector<std::shared_ptr<FakeDoc>> documents;
  std::vector<std::shared_ptr<wordlink::EventSink>> sinks;
  std::optional<std::uint32_t> advise(std::string_view id,
                                      std::shared_ptr<wordlink::EventSink> sink) override;
  std::vector<std::string> advisedIds;
  bool quit = false;
  std::shared_ptr<FakeDoc> addDocument(const std::string& fullName);
};

// Every application created through the ProgID, in creation order.
struct World {
  std::string version = "16.0";
  std::vector<std::shared_ptr<FakeApp>> apps;
};

World& TheWorld();
// Registers the fake under "Word.Application" with a fresh world; unregisters on destruction.
struct Registration {
  Registration();
  ~Registration();
};

}  // namespace fake
