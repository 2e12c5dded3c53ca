#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrinterInfo>
#include <QSignalBlocker>
#include <QSpinBox>

#include "app/uCommon.h"
#include "clone/uPlacing.h"
#include "platform/Files.h"
#include "platform/UserInteraction.h"
#include "ui/DataFilePanel.h"
#include "ui/DistributePrintBox.h"
#include "ui/ModalDialogs.h"
#include "ui/ufmMain.h"
#include "ui/ufmNewSheetTemplate.h"
#include "ui/ufmPrinterCalibration.h"

namespace ui {

namespace {

constexpr const char* kDigitsOnlyMessage = "При указании числа оттисков допустимы только цифры";
constexpr const char* kNoPrinterMessage = "Принтер не найден. Документ записан в PDF-файл\n";

}  // namespace

bool TfmMain::FillPaperSizes() {
  paperSizes_.Items.clear();
  for (int i = 0; i < cbPaperSize->count(); ++i) {
    const QVariant value = cbPaperSize->itemData(i);
    paperSizes_.Items.push_back({cbPaperSize->itemText(i).toStdString(), value.toInt()});
  }
  paperSizes_.ItemIndex = cbPaperSize->currentIndex();
  const bool templates = cloning::FillPaperSizeCombo(paperSizes_);
  QSignalBlocker quiet(cbPaperSize);
  cbPaperSize->clear();
  for (const cloning::TPaperSizeItem& item : paperSizes_.Items)
    cbPaperSize->addItem(QString::fromStdString(item.Text), item.Value);
  cbPaperSize->setCurrentIndex(paperSizes_.ItemIndex);
  return templates;
}

void TfmMain::edNumberToPrintChange() {
  bool number = false;
  const int count = edNumberToPrint->text().toInt(&number);
  if (!number) {
    platform::UI().messageBox(kDigitsOnlyMessage, app::AppTitle, platform::MsgIcon::None,
                              platform::MsgButtons::Ok);
    // Emptying the field is no new entry to complain about.
    QSignalBlocker quiet(edNumberToPrint);
    edNumberToPrint->clear();
    return;
  }
  QString pages;
  catalogue::TPreviewItem* entry = EntryAtRow(-1);
  const int paper = cbPaperSize->currentIndex() >= 0 ? cbPaperSize->currentData().toInt() : -1;
  if (entry && paper >= 0 && paper < int(cloning::PaperSizes.size())) {
    const int positions =
        cloning::CountLabelPositions(*app::AppController, app::DataFolder, entry->CategoryOf(),
                                     cloning::PaperSizes[std::size_t(paper)].Caption);
    printBox_->SetPositions(positions);
    const auto& data = printBox_->DataPanel->Data();
    pages = QString::number(
        data ? cloning::PageCount(data->LabelCount(), 1, positions, edStartPosition->value())
             : cloning::PageCount(1, count, positions, edStartPosition->value()));
  }
  lbPages->setText(pages);
}

void TfmMain::aGlyphCloneExecute() {
  catalogue::TPreviewItem* entry = EntryAtRow(-1);
  const int paper = cbPaperSize->currentIndex() >= 0 ? cbPaperSize->currentData().toInt() : -1;
  if (!entry || entry->Kind != catalogue::kGlyphKind || paper < 0 ||
      paper >= int(cloning::PaperSizes.size()))
    return;
  const cloning::TPaperSize size = cloning::PaperSizes[std::size_t(paper)];
  const TDataFilePanel& data = *printBox_->DataPanel;
  cloning::TCloneParams glyphs{{entry->FullPath(), 1, data.Data()}};
  bool number = false;
  int sets = edNumberToPrint->text().toInt(&number);
  if (!number) sets = 0;
  if (wordlink::TExtAppDocument* doc =
          cloning::CloneGlyphs(*this, glyphs, sets, entry->CategoryOf(), size,
                               edStartPosition->value(), data.SkipBadRecords()))
    ArrangeWordWindow(doc);
}

void TfmMain::PrintSelected(bool quick) {
  catalogue::TPreviewItem* entry = EntryAtRow(-1);
  if (!entry) return;
  wordlink::TExtAppDocument* doc = app::AppController->FindDocument(entry->FullPath());
  if (!doc) {
    doc = EditItem(*entry);
    QApplication::processEvents();
  }
  if (doc) ReportPrintFailure(*doc, app::AppController->PrintDocument(doc, quick));
}

// Printing never ends a command, but a failed print must not look like a finished one.
void ReportPrintFailure(const wordlink::TExtAppDocument& doc, const std::string& failure) {
  if (failure.empty()) return;
  std::string name;
  try {
    name = doc.Document.get("FullName").toString();
  } catch (const std::exception&) {
  }
  platform::UI().messageBox(
      "Не удалось напечатать документ " + platform::Quoted(name) + ": " + failure, "Внимание",
      platform::MsgIcon::Warning, platform::MsgButtons::Ok);
}

void TfmMain::aSheetTemplateNewExecute() {
  std::string category;
  if (catalogue::TPreviewItem* entry = EntryAtRow(-1)) category = entry->CategoryOf();
  if (category.empty() && cbGlyphCategory->currentIndex() > 0)
    category = cbGlyphCategory->currentText().toStdString();
  if (auto saved = RunNewSheetTemplate(this, category))
    ShowNewTemplate(saved->first, saved->second);
}

void TfmMain::ShowNewTemplate(const std::string& category, const std::string& paper) {
  catalogue::TPreviewItem* entry = EntryAtRow(-1);
  if (!entry || entry->Kind != catalogue::kGlyphKind || entry->CategoryOf() != category) return;
  cloning::LoadCloneTemplates(app::DataFolder, category);
  const bool templates = FillPaperSizes();
  cbPaperSize->setCurrentText(QString::fromStdString(paper));
  EnableCommands(ActiveGrid(), entry->Kind, templates);
  edNumberToPrintChange();
}

void TfmMain::aPrinterCalibrationExecute() {
  TfmPrinterCalibration dialog(QPrinterInfo::availablePrinterNames(), this);
  ExecModal(dialog, QDialog::Rejected);
}

void OfferPrintedPdf(const std::string& pdfPath) {
  QMessageBox box(QMessageBox::Information, app::AppTitle,
                  QString::fromStdString(kNoPrinterMessage + pdfPath + "\n\nОткрыть его?"),
                  QMessageBox::Open | QMessageBox::Close, QApplication::activeWindow());
  box.setObjectName("PdfInsteadOfPrinter");
  box.setDefaultButton(QMessageBox::Open);
  if (ExecModal(box, QMessageBox::Close) == QMessageBox::Open) ShellOpen(pdfPath);
}

void TfmMain::aQuickPrintExecute() {
  PrintSelected(true);
}

void TfmMain::aPrintExecute() {
  PrintSelected(false);
}

wordlink::TExtAppController& TfmMain::Controller() {
  return *app::AppController;
}

std::string TfmMain::DataFolder() {
  return app::DataFolder;
}

catalogue::TPreviewList& TfmMain::PreviewList() {
  EnsurePreviewList();
  return *app::PreviewList;
}

void TfmMain::ProcessMessages() {
  QApplication::processEvents();
}

}  // namespace ui
