// The exit dialog: what happens to the documents the program opened in the word processor.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace ui {

class TfmSaveDocs : public QDialog {
  Q_OBJECT
 public:
  explicit TfmSaveDocs(QWidget* parent = nullptr);

  // Results, top to bottom; closing by the title bar cancels the exit as well.
  static constexpr int kLeaveOpen = 101;
  static constexpr int kSaveAndClose = 102;
  static constexpr int kCloseWithoutSaving = 103;
  static constexpr int kCloseWithPrompts = 104;
  static constexpr int kCancelExit = 2;

  QLabel* Image1;
  QLabel* Label1;
  QPushButton* Button3;
  QPushButton* Button2;
  QPushButton* Button1;
  QPushButton* CancelBtn;
  QPushButton* Button4;

  void reject() override { done(kCancelExit); }

 private:
  QPushButton* AddButton(const char* name, const char* caption, int top, int height, int result);
};

}  // namespace ui
