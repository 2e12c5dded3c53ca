// The About box of the Help menu.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace ui {

// The project's page; the build gives it (CMake's project homepage).
inline constexpr const char* kSiteAddress = VSP_SITE_ADDRESS;
// The site as the Help menu names it: its address without the scheme and the closing "/".
QString SiteName();

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
