// A live picture of a sheet of labels: the page, every label's outline and the cut lines,
// scaled to the widget.
#pragma once

#include <QWidget>
#include <optional>

#include "labels/SheetGeometry.h"

namespace ui {

class TSheetPreview : public QWidget {
  Q_OBJECT
 public:
  explicit TSheetPreview(QWidget* parent = nullptr);

  // Nothing shows an empty page frame.
  void SetSheet(std::optional<labels::SheetLayout> sheet);
  const std::optional<labels::SheetLayout>& Sheet() const { return sheet_; }
  // Where a point of the sheet (in points) is drawn, for tests and the drawing alike.
  QPointF ToWidget(double x, double y) const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  double Scale() const;
  void DrawLabels(QPainter& painter) const;
  void DrawCuts(QPainter& painter) const;

  std::optional<labels::SheetLayout> sheet_;
};

}  // namespace ui
