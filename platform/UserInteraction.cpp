#include "platform/UserInteraction.h"

#include <unistd.h>

#include <cstdio>
#include <utility>

namespace platform {
namespace {

UserInteraction* installed = nullptr;

ConsoleInteraction& Console() {
  static ConsoleInteraction console;
  return console;
}

bool StdinIsTerminal() {
  return isatty(STDIN_FILENO) == 1;
}
bool StderrIsTerminal() {
  return isatty(STDERR_FILENO) == 1;
}

std::optional<std::string> ReadLine() {
  std::string line;
  for (int c = std::fgetc(stdin); c != EOF; c = std::fgetc(stdin)) {
    if (c == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return line;
    }
    line += static_cast<char>(c);
  }
  if (line.empty()) return std::nullopt;
  return line;
}

struct Choice {
  const char* label;
  MsgResult result;
};

std::vector<Choice> ChoicesFor(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::Ok:
      return {{"ОК", MsgResult::Ok}};
    case MsgButtons::OkCancel:
      return {{"ОК", MsgResult::Ok}, {"Отмена", MsgResult::Cancel}};
    case MsgButtons::YesNo:
      return {{"Да", MsgResult::Yes}, {"Нет", MsgResult::No}};
    case MsgButtons::YesNoCancel:
      return {{"Да", MsgResult::Yes}, {"Нет", MsgResult::No}, {"Отмена", MsgResult::Cancel}};
  }
  return {};
}

// Unattended runs must never agree to anything on the user's behalf, except to acknowledge.
MsgResult DefaultAnswer(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::Ok:
    case MsgButtons::OkCancel:
      return MsgResult::Ok;
    case MsgButtons::YesNo:
      return MsgResult::No;
    case MsgButtons::YesNoCancel:
      return MsgResult::Cancel;
  }
  return MsgResult::Cancel;
}

// Numbers rather than letters: "О" would stand for both ОК and Отмена.
MsgResult AskChoice(MsgButtons buttons) {
  std::vector<Choice> choices = ChoicesFor(buttons);
  for (;;) {
    for (std::size_t i = 0; i < choices.size(); ++i) {
      std::fprintf(stderr, "%s%zu — %s", i ? ", " : "", i + 1, choices[i].label);
    }
    std::fputs(": ", stderr);
    std::optional<std::string> line = ReadLine();
    if (!line) return DefaultAnswer(buttons);
    if (line->size() == 1 && (*line)[0] >= '1' && (*line)[0] < '1' + int(choices.size())) {
      return choices[(*line)[0] - '1'].result;
    }
  }
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (name.empty() || name[0] == '/' || folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

template <typename T>
T PopOr(std::deque<T>& queue, T fallback) {
  if (queue.empty()) return fallback;
  T front = std::move(queue.front());
  queue.pop_front();
  return front;
}

}  // namespace

UserInteraction& UI() {
  return installed ? *installed : Console();
}

void SetUI(UserInteraction* ui) {
  installed = ui;
}

MsgResult ConsoleInteraction::messageBox(const std::string& text, const std::string& caption,
                                         MsgIcon icon, MsgButtons buttons) {
  std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
  if (buttons == MsgButtons::Ok) return MsgResult::Ok;
  return StdinIsTerminal() ? AskChoice(buttons) : DefaultAnswer(buttons);
}

OverwriteAnswer ConsoleInteraction::askOverwrite(const std::string& initialFolder,
                                                 const std::string& collectionFile) {
  std::fprintf(stderr, "[Сохранение] Файл %s защищён от записи.\n", collectionFile.c_str());
  if (!StdinIsTerminal()) return {1, {}};
  for (;;) {
    std::fputs("Сохранить под другим именем (пусто — отмена): ", stderr);
    std::optional<std::string> line = ReadLine();
    if (!line || line->empty()) return {1, {}};
    std::string path = JoinPath(initialFolder, *line);
    if (path != collectionFile) return {2, path};
  }
}

std::optional<std::string> ConsoleInteraction::inputBox(const std::string& caption,
                                                        const std::string& prompt,
                                                        const std::string& defaultText) {
  std::fprintf(stderr, "[%s] %s", caption.c_str(), prompt.c_str());
  if (!StdinIsTerminal()) {
    std::fputc('\n', stderr);
    return std::nullopt;
  }
  std::fprintf(stderr, " [%s]: ", defaultText.c_str());
  std::optional<std::string> line = ReadLine();
  if (!line) return std::nullopt;
  return line->empty() ? defaultText : *line;
}

void ConsoleInteraction::beginProgress(const std::string& text, int max) {
  progressText_ = text;
  progressMax_ = max;
  progressPos_ = 0;
  std::fprintf(stderr, "%s\n", text.c_str());
}

void ConsoleInteraction::stepProgress() {
  ++progressPos_;
  if (StderrIsTerminal()) std::fprintf(stderr, "\r%d/%d", progressPos_, progressMax_);
}

void ConsoleInteraction::endProgress() {
  if (progressPos_ > 0 && StderrIsTerminal()) std::fputc('\n', stderr);
  progressPos_ = 0;
}

MsgResult ScriptedInteraction::messageBox(const std::string& text, const std::string& caption,
                                          MsgIcon icon, MsgButtons buttons) {
  messages.push_back(Message{text, caption, icon, buttons});
  log.push_back("message: " + text);
  return PopOr(messageAnswers, MsgResult::Ok);
}

OverwriteAnswer ScriptedInteraction::askOverwrite(const std::string& initialFolder,
                                                  const std::string& collectionFile) {
  log.push_back("overwrite: " + collectionFile);
  return PopOr(overwriteAnswers, OverwriteAnswer{});
}

std::optional<std::string> ScriptedInteraction::inputBox(const std::string& caption,
                                                         const std::string& prompt,
                                                         const std::string& defaultText) {
  log.push_back("input: " + prompt);
  return PopOr(inputAnswers, std::optional<std::string>{});
}

void ScriptedInteraction::beginProgress(const std::string& text, int max) {
  log.push_back("progress: " + text);
  ++progressBegun;
  progressMax = max;
}

void ScriptedInteraction::stepProgress() {
  ++progressSteps;
}

void ScriptedInteraction::endProgress() {
  ++progressEnded;
}

ScopedUI::ScopedUI(UserInteraction* ui) : previous_(installed) {
  SetUI(ui);
}

ScopedUI::~ScopedUI() {
  SetUI(previous_);
}

}  // namespace platform
