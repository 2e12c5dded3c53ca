#include "ui/ufmMain.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include "app/uCommon.h"

namespace ui {

TfmMain::TfmMain(QWidget* parent) : QMainWindow(parent) {
  setObjectName("fmMain");
  setWindowTitle(app::AppTitle);
  auto* info = new QLabel(QString::fromStdString("Каталог: " + app::DataFolder), this);
  info->setWordWrap(true);
  info->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  info->setMargin(6);
  setCentralWidget(info);
  setMinimumHeight(kMinHeight);
  setFixedWidth(kPanelWidth);
  PlaceAtWorkArea();
}

void TfmMain::PlaceAtWorkArea() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect area = screen->availableGeometry();
  setGeometry(area.left(), area.top(), kPanelWidth, std::max(area.height(), kMinHeight));
}

}  // namespace ui
