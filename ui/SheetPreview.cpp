#include "ui/SheetPreview.h"

#include <QPainter>
#include <algorithm>

namespace ui {

namespace {

constexpr double kMargin = 6;
constexpr double kA4Width = 595.28, kA4Height = 841.89;

}  // namespace

TSheetPreview::TSheetPreview(QWidget* parent) : QWidget(parent) {
  setObjectName("SheetPreview");
  setMinimumSize(180, 240);
}

void TSheetPreview::SetSheet(std::optional<labels::SheetLayout> sheet) {
  sheet_ = std::move(sheet);
  update();
}

double TSheetPreview::Scale() const {
  const double w = sheet_ ? sheet_->pageWidth : kA4Width;
  const double h = sheet_ ? sheet_->pageHeight : kA4Height;
  return std::min((width() - 2 * kMargin) / w, (height() - 2 * kMargin) / h);
}

QPointF TSheetPreview::ToWidget(double x, double y) const {
  const double w = sheet_ ? sheet_->pageWidth : kA4Width;
  const double h = sheet_ ? sheet_->pageHeight : kA4Height;
  const double scale = Scale();
  const QPointF origin((width() - w * scale) / 2, (height() - h * scale) / 2);
  return origin + QPointF(x * scale, y * scale);
}

void TSheetPreview::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(rect(), palette().color(QPalette::Window));
  const double w = sheet_ ? sheet_->pageWidth : kA4Width;
  const double h = sheet_ ? sheet_->pageHeight : kA4Height;
  painter.setPen(QPen(Qt::darkGray, 1));
  painter.setBrush(Qt::white);
  painter.drawRect(QRectF(ToWidget(0, 0), ToWidget(w, h)));
  if (!sheet_) return;
  DrawLabels(painter);
  DrawCuts(painter);
}

void TSheetPreview::DrawLabels(QPainter& painter) const {
  painter.setPen(QPen(QColor(0x1F, 0x4E, 0x9A), 1));
  painter.setBrush(QColor(0xE8, 0xF0, 0xFB));
  const double scale = Scale();
  for (const labels::PlacedLabel& l : sheet_->labels) {
    const QRectF box(ToWidget(l.left, l.top), ToWidget(l.left + l.width, l.top + l.height));
    if (l.outline == labels::Outline::Oval)
      painter.drawEllipse(box);
    else if (l.outline == labels::Outline::RoundedRectangle)
      painter.drawRoundedRect(box, l.cornerRadius * scale, l.cornerRadius * scale);
    else
      painter.drawRect(box);
  }
}

void TSheetPreview::DrawCuts(QPainter& painter) const {
  painter.setPen(QPen(QColor(0xC0, 0x30, 0x30), 1, Qt::DashLine));
  for (const labels::CutLine& c : sheet_->cuts)
    painter.drawLine(ToWidget(c.x1, c.y1), ToWidget(c.x2, c.y2));
}

}  // namespace ui
