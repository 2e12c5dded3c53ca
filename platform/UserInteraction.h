// How core code talks to the person in front of the program: message boxes, the overwrite
// question asked before a read-only collection glyph is saved, an input box, and progress.
// The main window supplies a Qt implementation; the command-line tools a console one; tests a
// scripted one.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace platform {

enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgResult { Ok, Cancel, Yes, No };

// Result of the overwrite question: 0 closed without a choice, 1 cancelled, 2 another name
// chosen (newName holds it).
struct OverwriteAnswer {
  int result = 0;
  std::string newName;
};

class UserInteraction {
 public:
  virtual ~UserInteraction() = default;
  virtual MsgResult messageBox(const std::string& text, const std::string& caption, MsgIcon icon,
                               MsgButtons buttons) = 0;
  // initialFolder: where the save dialog starts; collectionFile: the name that must not be
  // chosen.
  virtual OverwriteAnswer askOverwrite(const std::string& initialFolder,
                                       const std::string& collectionFile) = 0;
  // The text entered, or nothing when cancelled.
  virtual std::optional<std::string> inputBox(const std::string& caption, const std::string& prompt,
                                              const std::string& defaultText) = 0;
  virtual void beginProgress(const std::string& text, int max) = 0;
  virtual void stepProgress() = 0;
  virtual void endProgress() = 0;
};

// The current implementation; a console one until something else is installed.
UserInteraction& UI();
// Installs an implementation (not owned); nullptr restores the console one.
void SetUI(UserInteraction* ui);

// Writes to stderr and reads answers from stdin; with no terminal on stdin it takes the
// default answer: Ok where an Ok button is offered, No for YesNo, Cancel for YesNoCancel,
// Cancel (1) for the overwrite question and nothing for the input box. Answers are chosen by
// number; an empty line in the input box keeps the default text.
class ConsoleInteraction : public UserInteraction {
 public:
  MsgResult messageBox(const std::string& text, const std::string& caption, MsgIcon icon,
                       MsgButtons buttons) override;
  OverwriteAnswer askOverwrite(const std::string& initialFolder,
                               const std::string& collectionFile) override;
  std::optional<std::string> inputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& defaultText) override;
  void beginProgress(const std::string& text, int max) override;
  void stepProgress() override;
  void endProgress() override;

 private:
  std::string progressText_;
  int progressMax_ = 0;
  int progressPos_ = 0;
};

// Answers from queues prepared by a test and a log of everything asked.
class ScriptedInteraction : public UserInteraction {
 public:
  struct Message {
    std::string text, caption;
    MsgIcon icon;
    MsgButtons buttons;
  };
  std::vector<Message> messages;
  std::vector<std::string> log;  // "message: ...", "overwrite: ...", "input: ...", "progress: ..."
  std::deque<MsgResult> messageAnswers;                 // Ok when empty
  std::deque<OverwriteAnswer> overwriteAnswers;         // result 0 when empty
  std::deque<std::optional<std::string>> inputAnswers;  // nothing when empty
  int progressBegun = 0, progressSteps = 0, progressEnded = 0, progressMax = 0;

  MsgResult messageBox(const std::string& text, const std::string& caption, MsgIcon icon,
                       MsgButtons buttons) override;
  OverwriteAnswer askOverwrite(const std::string& initialFolder,
                               const std::string& collectionFile) override;
  std::optional<std::string> inputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& defaultText) override;
  void beginProgress(const std::string& text, int max) override;
  void stepProgress() override;
  void endProgress() override;
};

// Installs an implementation for a scope and restores the previous one.
class ScopedUI {
 public:
  explicit ScopedUI(UserInteraction* ui);
  ~ScopedUI();
  ScopedUI(const ScopedUI&) = delete;
  ScopedUI& operator=(const ScopedUI&) = delete;

 private:
  UserInteraction* previous_;
};

}  // namespace platform
