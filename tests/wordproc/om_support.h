// Shared pieces of the object-model tests: an application created by ProgID as the program
// creates it, scratch folders, a private registry file, scripted dialogs and an event recorder.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "tests/support/Gui.h"
#include "tests/support/Scratch.h"
#include "wordlink/Automation.h"
#include "wordproc/Dialogs.h"
#include "wordproc/WordProcessor.h"

namespace om_test {

using wordlink::Args;
using wordlink::Variant;

// A folder of its own under the test program's scratch folder, removed with the object.
class Scratch {
 public:
  Scratch() : path_(test_support::NewFolder("om")) {}
  ~Scratch() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Widgets, fonts and printing need an application object; one serves the whole test program.
inline void EnsureGui() {
  test_support::EnsureApplication();
}

inline Variant NewWord() {
  wordproc::RegisterWordProcessor();
  return wordlink::CreateOleObject("Word.Application");
}

inline Variant Missing() {
  return Variant::missing();
}

// Every test gets its own registry file and a dialog responder that records what was asked, so
// no window can ever wait for a person.
class OmTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousRegistry_ = platform::Registry::Instance().filePath();
    platform::Registry::Instance().setFilePath(scratch_ / "registry");
    wordproc::SetDialogResponder([this](wordproc::DialogKind kind, const std::string& text) {
      asked.push_back({kind, text});
      if (!replies.empty()) {
        auto reply = replies.front();
        replies.erase(replies.begin());
        return reply;
      }
      return wordproc::DialogReply{wordproc::kDialogCancel, {}};
    });
  }
  void TearDown() override {
    wordproc::SetDialogResponder(nullptr);
    platform::Registry::Instance().setFilePath(previousRegistry_);
  }

  struct Question {
    wordproc::DialogKind kind;
    std::string text;
  };
  std::vector<Question> asked;
  std::vector<wordproc::DialogReply> replies;
  Scratch scratch_;

 private:
  std::string previousRegistry_;
};

// Records the events it receives and sets the cancel flag when asked to.
class Recorder : public wordlink::EventSink {
 public:
  struct Event {
    int dispId;
    Args args;
  };
  std::int32_t Invoke(std::int32_t dispId, Args& args) override {
    events.push_back({dispId, args});
    if (onEvent) onEvent(dispId, args);
    if (cancel.count(dispId)) args.back() = Variant(true);
    return 0;
  }
  int count(int dispId) const {
    int n = 0;
    for (const auto& e : events) n += e.dispId == dispId;
    return n;
  }

  std::vector<Event> events;
  std::set<int> cancel;
  std::function<void(int, Args&)> onEvent;
};

}  // namespace om_test
