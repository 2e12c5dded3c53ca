#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QScreen>
#include <QTabWidget>

#include "app/uCommon.h"
#include "ui/ModalDialogs.h"
#include "ui/ufmGroupPrintWizard.h"
#include "ui/ufmMain.h"
#include "ui/ufmSaveDocs.h"

namespace ui {

namespace {

using catalogue::TPreviewItem;
using catalogue::TPreviewItemPtr;
using wordlink::TExtAppDocument;

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string WithExtension(const std::string& path, const std::string& extension) {
  std::size_t dot = path.find_last_of('.');
  std::size_t sep = path.find_last_of("/\\");
  if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return path + extension;
  return path.substr(0, dot) + extension;
}

}  // namespace

TExtAppDocument* TfmMain::EditItem(TPreviewItem& entry) {
  int listed = -1;
  for (int row = 0; row < sgOpenDocs->Tag && listed < 0; ++row)
    if (sgOpenDocs->Object(row) && sgOpenDocs->Object(row)->Path == entry.Path) listed = row;
  TExtAppDocument* doc = app::AppController->OpenDocument(entry.FullPath(), true, false);
  if (doc) {
    if (listed >= 0) {
      EntryAtRow(listed, sgOpenDocs);
    } else {
      auto copy = std::make_shared<TPreviewItem>(entry);
      if (EndsWith(entry.Path, ".dot")) {
        // A new document based on the template: listed under the word processor's name for it.
        copy->TwinPath = WithExtension(entry.FullPath(), ".doc");
        copy->Path = doc->Document.get("Name").toString();
        copy->Owner = untitled_.get();
      }
      AppendOpenDoc(copy);
    }
    ArrangeWordWindow(doc);
  }
  SetActivePage(tsOpenDocs);
  UpdateGridState(sgOpenDocs);
  return doc;
}

void TfmMain::AppendOpenDoc(const TPreviewItemPtr& copy) {
  const int row = sgOpenDocs->Tag;
  sgOpenDocs->SetRowCount(row + 1);
  sgOpenDocs->SetObject(row, copy);
  sgOpenDocs->SetRowHeight(row, TStringGrid::DefaultRowHeight);
  sgOpenDocs->Tag = row + 1;
  EntryAtRow(row, sgOpenDocs);
}

void TfmMain::RemoveOpenDoc(int row) {
  sgOpenDocs->DeleteRow(row);
  sgOpenDocs->Tag = std::max(sgOpenDocs->Tag - 1, 0);
  if (sgOpenDocs->Tag == 0) sgOpenDocs->hide();
}

void TfmMain::ShowTabOfKind(int kind) {
  const bool sheet = kind == catalogue::kSheetKind;
  SetActivePage(sheet ? tsMySheets : tsMyGlyphs);
  UpdateGridState(sheet ? sgMySheets : sgMyGlyphs);
}

void TfmMain::ArrangeWordWindow(TExtAppDocument* doc) {
  if (!doc || doc->Document.isEmpty()) return;
  const wordlink::Variant& word = doc->AppRef();
  if (ckOnWordMinimize->isChecked()) {
    showMinimized();
    word.put("Visible", true);
    doc->Document.call("Activate");
    word.put("WindowState", 1);
  }
  if (!ckOnWordTile->isChecked()) return;
  setWindowState(windowState() & ~Qt::WindowMinimized);
  PlaceAtWorkArea();
  show();
  raise();
  activateWindow();
  word.put("Visible", true);
  doc->Document.call("Activate");
  wordlink::Variant window = doc->Document.get("ActiveWindow");
  window.put("WindowState", 0);
  window.get("View").put("Type", 3);
  // The word processor's window takes the rest of the work area from the panel's right edge.
  const QRect area = screen()->availableGeometry();
  const QRect panel = frameGeometry();
  const int left = panel.right() + 1;
  window.put("Left", word.call("PixelsToPoints", left, false));
  window.put("Top", word.call("PixelsToPoints", area.top(), true));
  window.put("Width", word.call("PixelsToPoints", area.right() + 1 - left, false));
  window.put("Height", word.call("PixelsToPoints", area.height(), true));
  auto* wizard = qobject_cast<TfmGroupPrintWizard*>(GroupPrintWizard.data());
  if (wizard && wizard->isVisible()) wizard->PlaceBeside(panel);
}

void TfmMain::RefreshOpenDocs(int row) {
  if (sgOpenDocs->isHidden()) return;
  bool removed = false;
  int removedKind = catalogue::kGlyphKind;
  for (int r = sgOpenDocs->Tag - 1; r >= 0; --r) {
    const TPreviewItemPtr entry = sgOpenDocs->Object(r);
    if (!entry) continue;
    TExtAppDocument* doc = app::AppController->FindDocument(entry->FullPath());
    if (!doc) {
      RemoveOpenDoc(r);
      removed = true;
      removedKind = entry->Kind;
    } else if (r == row) {
      doc->Document.call("Activate");
      doc->AppRef().call("Activate");
    }
  }
  if (!removed || PageControl->currentWidget() != tsOpenDocs) return;
  if (sgOpenDocs->Tag == 0) {
    ShowTabOfKind(removedKind);
    return;
  }
  if (sgOpenDocs->Row() >= sgOpenDocs->Tag) EntryAtRow(sgOpenDocs->Tag - 1, sgOpenDocs);
  UpdateGridState(sgOpenDocs);
}

void TfmMain::aEditGlyphExecute() {
  if (TPreviewItem* entry = EntryAtRow(-1, sgMyGlyphs)) EditItem(*entry);
}

void TfmMain::aEditSheetExecute() {
  if (TPreviewItem* entry = EntryAtRow(-1, sgMySheets)) EditItem(*entry);
}

void TfmMain::OpenWithDialog(const char* title, const char* root) {
  od->setWindowTitle(title);
  od->setDirectory(QString::fromStdString(app::DataFolder + root));
  if (ExecModal(*od, QDialog::Rejected) != QDialog::Accepted) return;
  const QStringList chosen = od->selectedFiles();
  if (chosen.isEmpty()) return;
  app::AppController->OpenDocument(chosen.first().toStdString(), true, false);
}

void TfmMain::aGlyphOpenExecute() {
  OpenWithDialog("Выберите оттиск", catalogue::kGlyphRoot);
}

void TfmMain::aSheetOpenExecute() {
  OpenWithDialog("Выберите лист", catalogue::kSheetRoot);
}

void TfmMain::SaveSelected(bool withDialog) {
  if (TPreviewItem* entry = EntryAtRow(-1))
    app::AppController->SaveDocument(entry->FullPath(), withDialog);
}

void TfmMain::aSaveExecute() {
  SaveSelected(false);
}

void TfmMain::aSaveAsExecute() {
  SaveSelected(true);
}

void TfmMain::aEndEditExecute() {
  TPreviewItem* selected = EntryAtRow(-1);
  if (!selected) return;
  TExtAppDocument* doc = app::AppController->FindDocument(selected->FullPath());
  if (!doc) return;
  const int kind = selected->Kind;
  doc->CloseDocument(wordlink::kPromptToSaveChanges);
  if (!doc->Document.isEmpty()) return;
  RemoveOpenDoc(sgOpenDocs->Row());
  if (sgOpenDocs->Tag > 0 && sgOpenDocs->Row() >= sgOpenDocs->Tag)
    EntryAtRow(sgOpenDocs->Tag - 1, sgOpenDocs);
  UpdateGridState(sgOpenDocs);
  if (sgOpenDocs->Tag == 0) ShowTabOfKind(kind);
}

bool TfmMain::FormCloseQuery() {
  const int count = app::AppController ? app::AppController->CountOwnDocuments() : 0;
  if (count == 0) return true;
  TfmSaveDocs dialog(this);
  dialog.Label1->setText(
      QString("Из программы было открыто %1 документов. \nВыберите ваши действия:").arg(count));
  switch (ExecModal(dialog, TfmSaveDocs::kLeaveOpen)) {
    case TfmSaveDocs::kLeaveOpen:
      app::AppController->LeaveVisibleOpen();
      return true;
    case TfmSaveDocs::kSaveAndClose:
      return app::AppController->CloseAllDocuments(wordlink::kSaveChanges);
    case TfmSaveDocs::kCloseWithoutSaving:
      return app::AppController->CloseAllDocuments(wordlink::kDoNotSaveChanges);
    case TfmSaveDocs::kCloseWithPrompts:
      return app::AppController->CloseAllDocuments(wordlink::kPromptToSaveChanges);
    default:
      return false;
  }
}

}  // namespace ui
