#include <QFileDialog>
#include <QMessageBox>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <cstdlib>

#include "wordproc/ObjectModel.h"
#include "wordproc/Render.h"

namespace wordproc::om {

namespace {

QString Text(const std::string& s) {
  return QString::fromStdString(s);
}

DialogReply AskToSave(const std::string& documentName) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Текстовый процессор"),
                  QStringLiteral("Сохранить изменения в документе «%1»?").arg(Text(documentName)));
  QPushButton* save = box.addButton(QStringLiteral("Сохранить"), QMessageBox::AcceptRole);
  QPushButton* discard =
      box.addButton(QStringLiteral("Не сохранять"), QMessageBox::DestructiveRole);
  box.addButton(QStringLiteral("Отмена"), QMessageBox::RejectRole);
  box.setDefaultButton(save);
  box.exec();
  if (box.clickedButton() == save) return {kDialogOk, {}};
  if (box.clickedButton() == discard) return {kDialogNo, {}};
  return {kDialogCancel, {}};
}

DialogReply AskFileName(const std::string& documentName, const std::string& folder) {
  QString start = Text(folder.empty() ? documentName : folder + "/" + documentName);
  QString file = QFileDialog::getSaveFileName(
      nullptr, QStringLiteral("Сохранение документа"), start,
      QStringLiteral("Документы (*.docx *.doc *.dotx *.dot);;Все файлы (*)"));
  if (file.isEmpty()) return {kDialogCancel, {}};
  return {kDialogOk, file.toStdString()};
}

}  // namespace

DialogReply AskWithWindow(DialogKind kind, const std::string& documentName,
                          const std::string& folder) {
  switch (kind) {
    case DialogKind::SaveChanges:
      return AskToSave(documentName);
    case DialogKind::SaveAs:
      return AskFileName(documentName, folder);
    default:
      break;
  }
  return {kDialogCancel, {}};
}

bool PrintWithWindow(DocumentObj& doc, bool askedSinks) {
  // The printer begins with the first page's paper; later sections change it as they come.
  const PageSetup setup = doc.layout().pageSetupOfPage(1);
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(Text(doc.name));
  printer.setFullPage(true);
  printer.setPageLayout(
      QPageLayout(QPageSize(QSizeF(setup.pageWidth, setup.pageHeight), QPageSize::Point),
                  QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Point));
  QPrintDialog dialog(&printer);
  if (dialog.exec() != QDialog::Accepted) return false;
  if (!askedSinks && doc.app()->raiseBeforePrint(doc)) return true;
  const char* folder = std::getenv("VSP_PRINT_TO_PDF_DIR");
  if (folder && *folder)
    PrintPages(doc.model(), doc.layout(), doc.name, doc.app()->printSettings);
  else
    PrintOn(printer, doc.model(), doc.layout(), doc.name, doc.app()->printSettings);
  return true;
}

}  // namespace wordproc::om
