#include "ui/ModalDialogs.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include "ui/QtInteraction.h"

namespace ui {

namespace {

ModalResponder& Responder() {
  static ModalResponder responder;
  return responder;
}

ShellOpener& Opener() {
  static ShellOpener opener;
  return opener;
}

}  // namespace

void SetModalResponder(ModalResponder responder) {
  Responder() = std::move(responder);
}

int ExecModal(QDialog& dialog, int defaultResult) {
  if (Responder()) {
    // The system's own file dialogs cannot be driven from inside the program.
    if (auto* files = qobject_cast<QFileDialog*>(&dialog))
      files->setOption(QFileDialog::DontUseNativeDialog);
    QPointer<QDialog> target(&dialog);
    ModalResponder responder = Responder();
    QTimer::singleShot(0, &dialog, [target, responder] {
      if (target) responder(*target);
    });
    return dialog.exec();
  }
  // A message box is logged with its text, any other window as one nobody answered.
  auto* box = qobject_cast<QMessageBox*>(&dialog);
  const std::string text = box ? box->text().toStdString() : "(окно без ответа)";
  if (LogMessageInsteadOfShowing(dialog.windowTitle().toStdString(), text)) return defaultResult;
  return dialog.exec();
}

void SetShellOpener(ShellOpener opener) {
  Opener() = std::move(opener);
}

void ShellOpen(const std::string& target) {
  if (Opener()) {
    Opener()(target);
    return;
  }
  QString text = QString::fromStdString(target);
  QUrl url = text.contains("://") ? QUrl(text) : QUrl::fromLocalFile(text);
  QDesktopServices::openUrl(url);
}

}  // namespace ui
