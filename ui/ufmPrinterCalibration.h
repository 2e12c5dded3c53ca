// "Калибровка принтера": prints a calibration sheet on the chosen printer (or into a PDF file)
// with the printer's current correction, takes the deviations the user measured on it and
// stores the offset that cancels them, which every later print on that printer gets.
#pragma once

#include <QDialog>
#include <QStringList>

#include "app/PrinterCalibration.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;

namespace ui {

class TfmPrinterCalibration : public QDialog {
  Q_OBJECT
 public:
  // printers: the system's printers; "PDF" is added for PDF output.
  explicit TfmPrinterCalibration(const QStringList& printers, QWidget* parent = nullptr);

  QComboBox* cbPrinter;
  QLabel *laCurrent, *laResult;
  QDoubleSpinBox *edDeviationX, *edDeviationY;
  QPushButton *btPrintSheet, *btSave, *btReset, *btClose;

  std::string Printer() const;
  app::TPrinterOffset Current() const { return current_; }
  app::TPrinterOffset Result() const;

  void cbPrinterChange();
  void btPrintSheetClick();
  void btSaveClick();
  void btResetClick();

 private:
  QDoubleSpinBox* Deviation(const char* name);
  void CreateButtons();
  void ShowOffsets();
  void Store(const app::TPrinterOffset& offset);
  void PrintSheetTo(const wordlink::Variant& doc);

  app::TPrinterOffset current_;
};

}  // namespace ui
