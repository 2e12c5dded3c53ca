// The questions the word processor asks its user: whether to save changes, under which name,
// and whether to print. Tests and scripted runs answer them without a person, through a
// responder installed in the process or through VSP_DIALOG_ANSWER in a child process.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace wordproc {

enum class DialogKind {
  SaveChanges,  // "save the changes to …?" when a changed document closes
  SaveAs,       // the file name for a document that has none yet, or the Save As dialog
  Print,        // the print dialog
};

// Answers, with the numbers Dialog.Show returns: OK (Yes, Save) and Cancel. The save question
// has a third answer, No (close without saving).
inline constexpr int kDialogOk = -1;
inline constexpr int kDialogCancel = 0;
inline constexpr int kDialogNo = 1;

struct DialogReply {
  int result = kDialogCancel;
  std::string fileName;  // SaveAs with OK: where to save
};

// text: the document's name. An empty function removes the responder.
using DialogResponder = std::function<DialogReply(DialogKind kind, const std::string& text)>;
void SetDialogResponder(DialogResponder responder);

// The answer given by the responder, or else by VSP_DIALOG_ANSWER, or nothing when neither
// answers (the caller then shows a window or takes the default).
//
// VSP_DIALOG_ANSWER holds entries separated by ";", each "[kind=]answer[:file]", where kind is
// "save" (the save question), "saveas" or "print", and answer is "ok", "yes", "no" or
// "cancel"; an entry without a kind answers every dialog. Example:
// "save=yes;saveas=ok:/tmp/label.docx;print=cancel".
std::optional<DialogReply> ScriptedReply(DialogKind kind, const std::string& text);

// Parses one VSP_DIALOG_ANSWER value; exposed for tests.
std::optional<DialogReply> ParseDialogAnswer(const std::string& answers, DialogKind kind);

}  // namespace wordproc
