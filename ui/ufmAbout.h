// The About box of the Help menu.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace ui {

inline constexpr const char* kSiteHost = "www.varnel.example";
inline constexpr const char* kSiteAddress = "http://www.varnel.example/stampora/";

class TfmAbout : public QDialog {
  Q_OBJECT
 public:
  explicit TfmAbout(QWidget* parent = nullptr);

  QFrame* Panel1;
  QLabel* ProgramIcon;
  QLabel* laProductName;
  QLabel* Label1;
  QLabel* laCopyright;
  QPlainTextEdit* Memo1;
  QLabel* laSiteLink;
  QPushButton* OKButton;

  void FormCreate();
  void laSiteLinkClick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace ui
