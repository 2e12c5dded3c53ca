// Every modal window of the panel runs through ExecModal, so that scripted runs and tests can
// answer it: a responder, when installed, is handed each dialog as soon as its event loop runs
// and presses its buttons as a person would; without one, VSP_MESSAGE_LOG notes the dialog and
// takes its default answer, so that a run without a person never waits.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

namespace ui {

using ModalResponder = std::function<void(QDialog& dialog)>;
// An empty function removes the responder.
void SetModalResponder(ModalResponder responder);

// The dialog's result. defaultResult is what a logged, unanswered run gets.
int ExecModal(QDialog& dialog, int defaultResult);

// Opens a file or web address with the desktop's handler; the answer is not reported. Tests
// replace the handler.
using ShellOpener = std::function<void(const std::string& target)>;
void SetShellOpener(ShellOpener opener);
void ShellOpen(const std::string& target);

}  // namespace ui
