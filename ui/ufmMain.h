// The program's side panel.
#pragma once

#include <QMainWindow>

namespace ui {

class TfmMain : public QMainWindow {
  Q_OBJECT
 public:
  explicit TfmMain(QWidget* parent = nullptr);

  static constexpr int kPanelWidth = 324;
  static constexpr int kMinHeight = 350;

  // Stands at the left edge of the screen's work area with its full height.
  void PlaceAtWorkArea();
};

}  // namespace ui
