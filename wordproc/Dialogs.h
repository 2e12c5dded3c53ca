// The questions the word processor asks its user: whether to save changes, under which name,
// whether to print, and the dialogs of its document windows. Tests and scripted runs answer them
// without a person, through a responder installed in the process or through VSP_DIALOG_ANSWER in a
// child process.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace wordproc {

enum class DialogKind {
  SaveChanges,  // "save the changes to …?" when a changed document closes
  SaveAs,       // the file name for a document that has none yet, or the Save As dialog
  Print,        // the print dialog
  PdfFile,      // where a window writes a PDF of its document
  Picture,      // the picture file a window inserts
  Color,        // a colour for lines, fills or text
  PageSetup,    // paper size and margins
  Field,        // a field of a text box: its instruction
  Barcode,      // a barcode field of a text box: its instruction
};

// Answers, with the numbers Dialog.Show returns: OK (Yes, Save) and Cancel. The save question
// has a third answer, No (close without saving).
inline constexpr int kDialogOk = -1;
inline constexpr int kDialogCancel = 0;
inline constexpr int kDialogNo = 1;

struct DialogReply {
  DialogReply(int result = kDialogCancel, std::string fileName = {}, std::string value = {})
      : result(result), fileName(std::move(fileName)), value(std::move(value)) {}

  int result;
  std::string fileName;  // SaveAs, PdfFile and Picture with OK: the file
  // Color: "#RRGGBB". PageSetup: millimetres, "width,height" or
  // "width,height,top,bottom,left,right". Field and Barcode: the field's instruction.
  std::string value;
};

// text: the document's name. An empty function removes the responder.
using DialogResponder = std::function<DialogReply(DialogKind kind, const std::string& text)>;
void SetDialogResponder(DialogResponder responder);

// The answer given by the responder, or else by VSP_DIALOG_ANSWER, or nothing when neither
// answers (the caller then shows a window or takes the default).
//
// VSP_DIALOG_ANSWER holds entries separated by ";", each "[kind=]answer[:file]", where kind is
// "save" (the save question), "saveas", "print", "pdf", "picture", "color", "pagesetup", "field"
// or "barcode", and
// answer is "ok", "yes", "no" or "cancel"; what follows the colon is the file or the value. An
// entry without a kind answers every dialog. Example:
// "save=yes;saveas=ok:/tmp/label.docx;print=cancel;color=ok:#FF0000;pagesetup=ok:148,210".
std::optional<DialogReply> ScriptedReply(DialogKind kind, const std::string& text);

// Parses one VSP_DIALOG_ANSWER value; exposed for tests.
std::optional<DialogReply> ParseDialogAnswer(const std::string& answers, DialogKind kind);

}  // namespace wordproc
