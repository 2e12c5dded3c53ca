#include "ui/PanelStyle.h"

#include <QPainter>
#include <QWidget>

namespace ui {

QFont PanelFont() {
  QFont font;
  font.setFamilies({"Liberation Sans", "Arial", "DejaVu Sans", "Sans Serif"});
  font.setPointSize(8);
  return font;
}

QPixmap ProgramPicture(int size) {
  QPixmap picture(size, size);
  picture.fill(Qt::transparent);
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 58.0, size / 58.0);
  p.setPen(QPen(QColor(60, 60, 60), 2));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(9, 3, 40, 52));
  p.setBrush(QColor(0xA6, 0xCA, 0xF0));
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 2; ++col) p.drawEllipse(QRectF(13 + col * 18, 8 + row * 16, 14, 14));
  p.setBrush(QColor(0xE1, 0x86, 0x3F));
  p.drawEllipse(QRectF(31, 40, 14, 14));
  return picture;
}

void SetGridColor(QWidget* grid, const QColor& color) {
  QPalette colors = grid->palette();
  colors.setColor(QPalette::Base, color);
  colors.setColor(QPalette::Window, color);
  grid->setPalette(colors);
}

}  // namespace ui
