// The "Распределение оттисков по листам и печать" box of the main window and of the group print
// wizard: the number to print with its arrows, the page count, the paper size and the three
// buttons of the cloning and print commands. Both windows keep pointers to its controls under
// the names of their own forms.
#pragma once

#include <QGroupBox>
#include <vector>

#include "ui/FoldingRow.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace ui {

class TDataFilePanel;
class TUpDown;

class TDistributePrintBox : public QGroupBox {
  Q_OBJECT
 public:
  // numberPrompt: what the number counts ("Введите количество оттисков:").
  TDistributePrintBox(const QString& numberPrompt, QWidget* parent);

  QLabel *la1, *la2, *la3, *lbPages, *laStartPosition;
  QLineEdit* edNumberToPrint;
  TUpDown* udNumberToPrint;
  QComboBox* cbPaperSize;
  // The first label position to fill on the first sheet (1 = the first label): a sheet whose
  // first labels are used already. Its range is the chosen template's positions.
  QSpinBox* edStartPosition;
  QPushButton *btGlyphClone, *btQuickPrint, *btPrint;
  // The list the labels are filled from; with one, the page count follows its records.
  TDataFilePanel* DataPanel;

  // Each button shows its command's caption and hint, follows its enabled state and runs it.
  static void BindButton(QPushButton* button, QAction* command);
  // The start position's range follows the template's label positions (at least 1); a value
  // beyond them goes back to the last one.
  void SetPositions(int positions);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void CreateControls(const QString& numberPrompt);
  QWidget* Beside(QWidget* left, QWidget* right);
  QWidget* Above(QWidget* top, QWidget* bottom);
  void FitRows();

  // The number with the page count, the paper size, the start position, the data, the buttons.
  std::vector<FoldingRow> rows_;
};

}  // namespace ui
