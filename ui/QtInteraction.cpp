#include "ui/QtInteraction.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <cstdlib>
#include <fstream>

namespace ui {

namespace {

QMessageBox::Icon ToQt(platform::MsgIcon icon) {
  switch (icon) {
    case platform::MsgIcon::Information: return QMessageBox::Information;
    case platform::MsgIcon::Warning: return QMessageBox::Warning;
    case platform::MsgIcon::Error: return QMessageBox::Critical;
    case platform::MsgIcon::Question: return QMessageBox::Question;
    default: return QMessageBox::NoIcon;
  }
}

QMessageBox::StandardButtons ToQt(platform::MsgButtons buttons) {
  switch (buttons) {
    case platform::MsgButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case platform::MsgButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case platform::MsgButtons::YesNoCancel:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    default: return QMessageBox::Ok;
  }
}

platform::MsgResult FromQt(int button) {
  switch (button) {
    case QMessageBox::Cancel: return platform::MsgResult::Cancel;
    case QMessageBox::Yes: return platform::MsgResult::Yes;
    case QMessageBox::No: return platform::MsgResult::No;
    default: return platform::MsgResult::Ok;
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
  for (;;) {
    QString chosen = QFileDialog::getSaveFileName(
        QApplication::activeWindow(), "Подтверждение перезаписи редактируемого файла",
        QString::fromStdString(initialFolder), "Microsoft Word Document (*.doc)");
    if (chosen.isEmpty()) return {1, {}};
    if (!chosen.contains('.')) chosen += ".doc";
    if (chosen.toStdString() != collectionFile) return {2, chosen.toStdString()};
    messageBox("Выбранное имя файла должно отличаться от файла коллекции", "Предупреждение",
               platform::MsgIcon::Warning, platform::MsgButtons::Ok);
  }
}

std::optional<std::string> QtInteraction::inputBox(const std::string& caption,
                                                   const std::string& prompt,
                                                   const std::string& defaultText) {
  bool ok = false;
  QString text = QInputDialog::getText(QApplication::activeWindow(),
                                       QString::fromStdString(caption),
                                       QString::fromStdString(prompt), QLineEdit::Normal,
                                       QString::fromStdString(defaultText), &ok);
  if (!ok) return std::nullopt;
  return text.toStdString();
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
