// The user-interaction interface on Qt Widgets. When VSP_MESSAGE_LOG names a file, message boxes
// are not shown: their caption and text are appended to that file and the default button is
// taken, so that tests and scripted runs can drive the program without a person. The overwrite
// question is the dialog TForm1 and the input box a Qt one, both answerable as ModalDialogs.h
// says; progress is shown by the window that registers itself as the progress view.
#pragma once

#include <QWidget>
#include <functional>

#include "platform/UserInteraction.h"

namespace ui {

class QtInteraction : public platform::UserInteraction {
 public:
  platform::MsgResult messageBox(const std::string& text, const std::string& caption,
                                 platform::MsgIcon icon, platform::MsgButtons buttons) override;
  platform::OverwriteAnswer askOverwrite(const std::string& initialFolder,
                                         const std::string& collectionFile) override;
  std::optional<std::string> inputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& defaultText) override;
  void beginProgress(const std::string& text, int max) override;
  void stepProgress() override;
  void endProgress() override;

  // The window that shows progress; without one progress is not displayed.
  struct ProgressView {
    std::function<void(const std::string&, int)> begin;
    std::function<void()> step;
    std::function<void()> end;
  };
  void setProgressView(ProgressView view) { progress_ = std::move(view); }

 private:
  ProgressView progress_;
};

// Appends one logged message when VSP_MESSAGE_LOG is set; false when it is not.
bool LogMessageInsteadOfShowing(const std::string& caption, const std::string& text);

}  // namespace ui
