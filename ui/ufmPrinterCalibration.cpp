#include "ui/ufmPrinterCalibration.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

#include "app/uCommon.h"
#include "platform/UserInteraction.h"
#include "ui/Connect.h"
#include "ui/ModalDialogs.h"
#include "ui/PanelStyle.h"
#include "wordlink/uExtAppDocument.h"

namespace ui {

namespace {

QString Mm(double value) {
  return QString::number(value, 'f', 2).replace(QRegularExpression("\\.?0+$"), "") + " мм";
}

QString Describe(const app::TPrinterOffset& offset) {
  return "вправо " + Mm(offset.X) + ", вниз " + Mm(offset.Y);
}

// The PDF file the sheet goes to, asked for; empty when the user cancels.
std::string AskPdfFile(QWidget* parent) {
  QFileDialog files(parent, "Лист калибровки в PDF");
  files.setAcceptMode(QFileDialog::AcceptSave);
  files.setNameFilter("PDF (*.pdf)");
  files.setDefaultSuffix("pdf");
  files.selectFile("Калибровка.pdf");
  if (ExecModal(files, QDialog::Rejected) != QDialog::Accepted) return {};
  const QStringList chosen = files.selectedFiles();
  return chosen.isEmpty() ? std::string() : chosen.first().toStdString();
}

}  // namespace

TfmPrinterCalibration::TfmPrinterCalibration(const QStringList& printers, QWidget* parent)
    : QDialog(parent) {
  setObjectName("fmPrinterCalibration");
  setWindowTitle("Калибровка принтера");
  setFont(PanelFont());
  cbPrinter = new QComboBox;
  cbPrinter->setObjectName("cbPrinter");
  cbPrinter->addItems(printers);
  cbPrinter->addItem(app::kPdfPrinter);
  laCurrent = new QLabel;
  laCurrent->setObjectName("laCurrent");
  laResult = new QLabel;
  laResult->setObjectName("laResult");
  edDeviationX = Deviation("edDeviationX");
  edDeviationY = Deviation("edDeviationY");
  CreateButtons();
  auto* hint = new QLabel(
      "Напечатайте лист калибровки и измерьте, насколько кресты сдвинуты относительно "
      "краёв листа (центры должны отстоять от краёв на 30 мм). Плюс — крест правее или ниже, "
      "минус — левее или выше.");
  hint->setWordWrap(true);
  auto* form = new QFormLayout;
  form->addRow("Принтер:", cbPrinter);
  form->addRow("Поправка сейчас:", laCurrent);
  form->addRow(btPrintSheet);
  form->addRow("Отклонение по горизонтали:", edDeviationX);
  form->addRow("Отклонение по вертикали:", edDeviationY);
  form->addRow("Поправка будет:", laResult);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btReset);
  buttons->addStretch(1);
  buttons->addWidget(btSave);
  buttons->addWidget(btClose);
  auto* column = new QVBoxLayout(this);
  column->addWidget(hint);
  column->addLayout(form);
  column->addLayout(buttons);
  On(cbPrinter, &QComboBox::currentIndexChanged, this, [this] { cbPrinterChange(); });
  cbPrinterChange();
}

QDoubleSpinBox* TfmPrinterCalibration::Deviation(const char* name) {
  auto* box = new QDoubleSpinBox;
  box->setObjectName(name);
  box->setDecimals(1);
  box->setRange(-app::kLargestOffsetMm, app::kLargestOffsetMm);
  box->setSingleStep(0.1);
  box->setSuffix(" мм");
  On(box, &QDoubleSpinBox::valueChanged, this, [this] { ShowOffsets(); });
  return box;
}

void TfmPrinterCalibration::CreateButtons() {
  auto button = [this](const char* name, const char* text) {
    auto* b = new QPushButton(text);
    b->setObjectName(name);
    return b;
  };
  btPrintSheet = button("btPrintSheet", "Напечатать лист калибровки");
  btSave = button("btSave", "Сохранить поправку");
  btReset = button("btReset", "Сбросить поправку");
  btClose = button("btClose", "Закрыть");
  On(btPrintSheet, &QPushButton::clicked, this, [this] { btPrintSheetClick(); });
  On(btSave, &QPushButton::clicked, this, [this] { btSaveClick(); });
  On(btReset, &QPushButton::clicked, this, [this] { btResetClick(); });
  On(btClose, &QPushButton::clicked, this, [this] { reject(); });
}

std::string TfmPrinterCalibration::Printer() const {
  return cbPrinter->currentText().toStdString();
}

app::TPrinterOffset TfmPrinterCalibration::Result() const {
  return app::CorrectedOffset(current_, {edDeviationX->value(), edDeviationY->value()});
}

void TfmPrinterCalibration::cbPrinterChange() {
  current_ = app::ReadPrinterOffset(Printer());
  edDeviationX->setValue(0);
  edDeviationY->setValue(0);
  ShowOffsets();
}

void TfmPrinterCalibration::ShowOffsets() {
  laCurrent->setText(Describe(current_));
  laResult->setText(Describe(Result()));
}

void TfmPrinterCalibration::Store(const app::TPrinterOffset& offset) {
  app::WritePrinterOffset(Printer(), offset);
  app::ApplyPrinterOffsets(*app::AppController);
  current_ = offset;
  edDeviationX->setValue(0);
  edDeviationY->setValue(0);
  ShowOffsets();
}

void TfmPrinterCalibration::btSaveClick() {
  Store(Result());
}

void TfmPrinterCalibration::btResetClick() {
  Store({});
}

// The sheet is printed as everything else is, with the printer's current correction, so that
// what is measured is what is left to correct.
void TfmPrinterCalibration::btPrintSheetClick() {
  wordlink::TExtAppDocument* doc = app::AppController->NewDocument(false);
  if (!doc) return;
  try {
    app::DrawCalibrationSheet(doc->Document);
    PrintSheetTo(doc->Document);
  } catch (const std::exception& e) {
    doc->CloseDocument(wordlink::kDoNotSaveChanges);
    platform::UI().messageBox(
        "Не удалось напечатать лист калибровки на принтере «" + Printer() + "»: " + e.what(),
        "Внимание!", platform::MsgIcon::Warning, platform::MsgButtons::Ok);
    return;
  }
  doc->CloseDocument(wordlink::kDoNotSaveChanges);
}

void TfmPrinterCalibration::PrintSheetTo(const wordlink::Variant& doc) {
  const wordlink::Variant word = doc.get("Application");
  app::ApplyPrinterOffsets(word);
  const wordlink::Variant skip = wordlink::Variant::missing();
  if (Printer() == app::kPdfPrinter) {
    const std::string file = AskPdfFile(this);
    if (!file.empty())
      doc.call("PrintOut", false, skip, skip, file, skip, skip, skip, skip, skip, skip, true);
    return;
  }
  word.put("ActivePrinter", Printer());
  try {
    doc.call("PrintOut", false);
  } catch (...) {
    word.put("ActivePrinter", "");
    throw;
  }
  word.put("ActivePrinter", "");
}

}  // namespace ui
