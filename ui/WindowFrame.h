// Top-level windows placed by their outer frame, title bar and borders included, as the panel
// and its neighbours are measured against the screen's work area. The window manager decorates
// a window only after it is shown, so the frame's size is not known when it is placed; the
// placement is applied again whenever the decoration changes, and only then, so that a window
// the user moved stays where the user put it.
#pragma once

#include <QMargins>
#include <QObject>
#include <QRect>
#include <optional>

class QWidget;

namespace ui {

// The decoration around the window's client area; empty before it is shown or without a
// window manager.
QMargins FrameMargins(const QWidget& window);

class FramePlacement : public QObject {
 public:
  explicit FramePlacement(QWidget* window);

  // Moves and sizes the window so that its frame covers `frame`, within the window's own
  // minimum and maximum sizes.
  void Place(const QRect& frame);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Apply();

  QWidget* window_;
  std::optional<QRect> wanted_;
  QMargins applied_;  // the decoration the last placement allowed for
};

}  // namespace ui
