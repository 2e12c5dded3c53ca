// The "Распределение оттисков по листам и печать" box of the main window and of the group print
// wizard: the number to print with its arrows, the page count, the paper size and the three
// buttons of the cloning and print commands. Both windows keep pointers to its controls under
// the names of their own forms.
#pragma once

#include <QGroupBox>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ui {

class TUpDown;

class TDistributePrintBox : public QGroupBox {
  Q_OBJECT
 public:
  // numberPrompt: what the number counts ("Введите количество оттисков:").
  TDistributePrintBox(const QString& numberPrompt, QWidget* parent);

  QLabel *la1, *la2, *la3, *lbPages;
  QLineEdit* edNumberToPrint;
  TUpDown* udNumberToPrint;
  QComboBox* cbPaperSize;
  QPushButton *btGlyphClone, *btQuickPrint, *btPrint;

  // Each button shows its command's caption and hint, follows its enabled state and runs it.
  static void BindButton(QPushButton* button, QAction* command);
};

}  // namespace ui
