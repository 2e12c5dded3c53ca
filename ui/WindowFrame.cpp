#include "ui/WindowFrame.h"

#include <QEvent>
#include <QWidget>

namespace ui {

QMargins FrameMargins(const QWidget& window) {
  const QRect outer = window.frameGeometry();
  const QRect inner = window.geometry();
  return QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                  outer.right() - inner.right(), outer.bottom() - inner.bottom());
}

FramePlacement::FramePlacement(QWidget* window) : QObject(window), window_(window) {
  window_->installEventFilter(this);
}

void FramePlacement::Place(const QRect& frame) {
  wanted_ = frame;
  Apply();
}

void FramePlacement::Apply() {
  applied_ = FrameMargins(*window_);
  const QSize inner = wanted_->size().shrunkBy(applied_);
  // move() places the frame; resize() sizes what lies inside it.
  window_->move(wanted_->topLeft());
  window_->resize(inner.expandedTo(window_->minimumSize()).boundedTo(window_->maximumSize()));
}

bool FramePlacement::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::Show:
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::WindowStateChange:
      if (wanted_ && window_->isVisible() && !window_->isMaximized() && !window_->isMinimized() &&
          FrameMargins(*window_) != applied_)
        Apply();
      break;
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace ui
