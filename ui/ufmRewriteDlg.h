// Asks for another file name before a glyph edited in a read-only collection file is saved for
// cloning, so that the collection file is never overwritten.
#pragma once

#include <QDialog>
#include <string>

class QFileDialog;
class QLabel;
class QPushButton;

namespace ui {

class TForm1 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm1(QWidget* parent = nullptr);

  // 0 closed without a choice, 1 cancelled, 2 another name chosen.
  int ResultCode = 0;
  std::string NewFileName;
  std::string InitialFolder;
  std::string CollectionFileName;

  QLabel* Label1;
  QLabel* Label2;
  QPushButton* Button2;
  QPushButton* Button3;
  QFileDialog* SaveDialog1;

  void Button2Click();
  void Button3Click();
};

}  // namespace ui
