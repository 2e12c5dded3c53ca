// The owner-drawn grid of the catalogue tabs, measured the way the panel's drawing expects:
// column widths and row heights exclude the one-pixel grid line, and a cell rectangle's right
// and bottom edges lie just outside it. Each row carries one catalogue entry as its object; the
// grid keeps at least one row, and Tag counts the rows that hold entries.
#pragma once

#include <QTableWidget>
#include <functional>
#include <memory>
#include <vector>

#include "catalogue/uPreviewList.h"

class QPainter;
class QLineEdit;
class QToolButton;

namespace ui {

class TStringGrid : public QTableWidget {
  Q_OBJECT
 public:
  explicit TStringGrid(QWidget* parent = nullptr);

  int Tag = 0;
  static constexpr int DefaultRowHeight = 16;

  // Never below one row; rows cut off lose their objects.
  void SetRowCount(int count);
  int Row() const;
  // Makes the row current; the selection handler runs as for a click.
  void SetRow(int row);
  int RowHeight(int row) const;
  void SetRowHeight(int row, int height);
  int ColWidth(int col) const;
  void SetColWidth(int col, int width);

  const catalogue::TPreviewItemPtr& Object(int row) const;
  void SetObject(int row, catalogue::TPreviewItemPtr entry);
  // The later rows move up; the last row is cleared when it is the only one.
  void DeleteRow(int row);
  // One empty row, Tag 0.
  void Clear();

  // The cell's rectangle, right and bottom exclusive.
  QRect CellRect(int col, int row) const;
  // The row under a point of the grid's viewport, or -1 below the last row.
  int RowAt(int y) const { return rowAt(y); }

  std::function<void(int col, int row, const QRect& rect, QPainter& painter)> OnDrawCell;
  std::function<void(int row)> OnSelectCell;
  std::function<void(Qt::MouseButton button, const QPoint& pos)> OnMouseDown;
  std::function<void()> OnDblClick;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void CurrentRowChanged(const QModelIndex& current);

  std::vector<catalogue::TPreviewItemPtr> objects_;
  bool silent_ = false;  // structural changes do not count as the user selecting a row
};

// The up-down arrows bound to an edit: each click moves its position by one within 0..100 and
// writes it into the edit.
class TUpDown : public QWidget {
  Q_OBJECT
 public:
  TUpDown(QLineEdit* associate, QWidget* parent = nullptr);

  int Position = 1;
  int Min = 0;
  int Max = 100;

  void Click(int delta);

 private:
  QLineEdit* associate_;
};

}  // namespace ui
