#include "wordproc/Dialogs.h"

#include <cstdlib>
#include <utility>

namespace wordproc {

namespace {

DialogResponder& Responder() {
  static DialogResponder responder;
  return responder;
}

const char* KindName(DialogKind kind) {
  switch (kind) {
    case DialogKind::SaveChanges:
      return "save";
    case DialogKind::SaveAs:
      return "saveas";
    case DialogKind::Print:
      return "print";
    case DialogKind::PdfFile:
      return "pdf";
    case DialogKind::Picture:
      return "picture";
    case DialogKind::Color:
      return "color";
    case DialogKind::PageSetup:
      return "pagesetup";
    case DialogKind::Field:
      return "field";
    case DialogKind::Barcode:
      return "barcode";
  }
  return "";
}

bool AnswersWithValue(DialogKind kind) {
  return kind == DialogKind::Color || kind == DialogKind::PageSetup || kind == DialogKind::Field ||
         kind == DialogKind::Barcode;
}

std::optional<int> AnswerCode(const std::string& word) {
  if (word == "ok" || word == "yes") return kDialogOk;
  if (word == "no") return kDialogNo;
  if (word == "cancel") return kDialogCancel;
  return std::nullopt;
}

std::optional<DialogReply> ParseEntry(const std::string& entry, DialogKind kind) {
  std::string answer = entry;
  DialogReply reply;
  if (auto colon = answer.find(':'); colon != std::string::npos) {
    (AnswersWithValue(kind) ? reply.value : reply.fileName) = answer.substr(colon + 1);
    answer.resize(colon);
  }
  auto code = AnswerCode(answer);
  if (!code) return std::nullopt;
  reply.result = *code;
  return reply;
}

}  // namespace

void SetDialogResponder(DialogResponder responder) {
  Responder() = std::move(responder);
}

std::optional<DialogReply> ParseDialogAnswer(const std::string& answers, DialogKind kind) {
  std::optional<DialogReply> general;
  std::size_t from = 0;
  while (from <= answers.size()) {
    std::size_t end = answers.find(';', from);
    if (end == std::string::npos) end = answers.size();
    std::string entry = answers.substr(from, end - from);
    from = end + 1;
    std::size_t equals = entry.find('=');
    if (equals == std::string::npos) {
      if (!general) general = ParseEntry(entry, kind);
    } else if (entry.compare(0, equals, KindName(kind)) == 0) {
      if (auto reply = ParseEntry(entry.substr(equals + 1), kind)) return reply;
    }
  }
  return general;
}

std::optional<DialogReply> ScriptedReply(DialogKind kind, const std::string& text) {
  if (Responder()) return Responder()(kind, text);
  const char* answers = std::getenv("VSP_DIALOG_ANSWER");
  if (answers && *answers) return ParseDialogAnswer(answers, kind);
  return std::nullopt;
}

}  // namespace wordproc
