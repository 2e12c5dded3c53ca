#include "ui/QtInteraction.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <cstdlib>
#include <fstream>

#include "ui/ModalDialogs.h"
#include "ui/ufmRewriteDlg.h"

namespace ui {

namespace {

QMessageBox::Icon ToQt(platform::MsgIcon icon) {
  switch (icon) {
    case platform::MsgIcon::Information:
      return QMessageBox::Information;
    case platform::MsgIcon::Warning:
      return QMessageBox::Warning;
    case platform::MsgIcon::Error:
      return QMessageBox::Critical;
    case platform::MsgIcon::Question:
      return QMessageBox::Question;
    default:
      return QMessageBox::NoIcon;
  }
}

QMessageBox::StandardButtons ToQt(platform::MsgButtons buttons) {
  switch (buttons) {
    case platform::MsgButtons::OkCancel:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case platform::MsgButtons::YesNo:
      return QMessageBox::Yes | QMessageBox::No;
    case platform::MsgButtons::YesNoCancel:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    default:
      return QMessageBox::Ok;
  }
}

platform::MsgResult FromQt(int button) {
  switch (button) {
    case QMessageBox::Cancel:
      return platform::MsgResult::Cancel;
    case QMessageBox::Yes:
      return platform::MsgResult::Yes;
    case QMessageBox::No:
      return platform::MsgResult::No;
    default:
      return platform::MsgResult::Ok;
  }
}

platform::MsgResult DefaultAnswer(platform::MsgButtons buttons) {
  return buttons == platform::MsgButtons::YesNo || buttons == platform::MsgButtons::YesNoCancel
             ? platform::MsgResult::Yes
             : platform::MsgResult::Ok;
}

}  // namespace

bool LogMessageInsteadOfShowing(const std::string& caption, const std::string& text) {
  const char* log = std::getenv("VSP_MESSAGE_LOG");
  if (!log || !*log) return false;
  std::ofstream out(log, std::ios::app | std::ios::binary);
  out << caption << "\t" << text << "\n";
  return true;
}

platform::MsgResult QtInteraction::messageBox(const std::string& text, const std::string& caption,
                                              platform::MsgIcon icon,
                                              platform::MsgButtons buttons) {
  if (LogMessageInsteadOfShowing(caption, text)) return DefaultAnswer(buttons);
  QMessageBox box(ToQt(icon), QString::fromStdString(caption), QString::fromStdString(text),
                  ToQt(buttons), QApplication::activeWindow());
  return FromQt(box.exec());
}

platform::OverwriteAnswer QtInteraction::askOverwrite(const std::string& initialFolder,
                                                      const std::string& collectionFile) {
  TForm1 form(QApplication::activeWindow());
  form.InitialFolder = initialFolder;
  form.CollectionFileName = collectionFile;
  ExecModal(form, QDialog::Rejected);
  return {form.ResultCode, form.NewFileName};
}

std::optional<std::string> QtInteraction::inputBox(const std::string& caption,
                                                   const std::string& prompt,
                                                   const std::string& defaultText) {
  QInputDialog box(QApplication::activeWindow());
  box.setObjectName("InputBox");
  box.setWindowTitle(QString::fromStdString(caption));
  box.setLabelText(QString::fromStdString(prompt));
  box.setTextValue(QString::fromStdString(defaultText));
  if (ExecModal(box, QDialog::Rejected) != QDialog::Accepted) return std::nullopt;
  return box.textValue().toStdString();
}

void QtInteraction::beginProgress(const std::string& text, int max) {
  if (progress_.begin) progress_.begin(text, max);
}

void QtInteraction::stepProgress() {
  if (progress_.step) progress_.step();
}

void QtInteraction::endProgress() {
  if (progress_.end) progress_.end();
}

}  // namespace ui
