#include "ui/StringGrid.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/Connect.h"

namespace ui {

namespace {

// Qt's sections include the grid line that the panel's measures leave out.
constexpr int kGridLine = 1;

class CellPainter : public QStyledItemDelegate {
 public:
  explicit CellPainter(TStringGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    if (!grid_->OnDrawCell) return;
    painter->save();
    platform::Guarded(
        [&] { grid_->OnDrawCell(index.column(), index.row(), option.rect, *painter); });
    painter->restore();
  }

  // What is typed into a cell reaches the cell at each keystroke, not only on Enter, so that
  // what depends on it follows the typing.
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
      auto* self = const_cast<CellPainter*>(this);
      On(line, &QLineEdit::textEdited, self, [self, line] { emit self->commitData(line); });
    }
    return editor;
  }

  // The cell's text coming back from a keystroke would put the cursor at the end.
  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (line && line->text() == index.data(Qt::EditRole).toString()) return;
    QStyledItemDelegate::setEditorData(editor, index);
  }

 private:
  TStringGrid* grid_;
};

}  // namespace

TStringGrid::TStringGrid(QWidget* parent) : QTableWidget(1, 2, parent), objects_(1) {
  horizontalHeader()->hide();
  verticalHeader()->hide();
  horizontalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setDefaultSectionSize(DefaultRowHeight + kGridLine);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setShowGrid(true);
  setWordWrap(false);
  setItemDelegate(new CellPainter(this));
  setContextMenuPolicy(Qt::CustomContextMenu);
  On(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
     [this](const QModelIndex& current) { CurrentRowChanged(current); });
  silent_ = true;
  setCurrentCell(0, 0);
  silent_ = false;
}

void TStringGrid::CurrentRowChanged(const QModelIndex& current) {
  if (silent_ || !current.isValid() || !OnSelectCell) return;
  platform::Guarded([&] { OnSelectCell(current.row()); });
}

void TStringGrid::SetRowCount(int count) {
  count = std::max(count, 1);
  silent_ = true;
  setRowCount(count);
  objects_.resize(std::size_t(count));
  if (!currentIndex().isValid()) setCurrentCell(std::min(Row(), count - 1), 0);
  silent_ = false;
}

int TStringGrid::Row() const {
  QModelIndex index = currentIndex();
  return index.isValid() ? index.row() : 0;
}

void TStringGrid::SetRow(int row) {
  if (row < 0 || row >= rowCount() || (row == Row() && currentIndex().isValid())) return;
  setCurrentCell(row, 0);
}

int TStringGrid::RowHeight(int row) const {
  return verticalHeader()->sectionSize(row) - kGridLine;
}

void TStringGrid::SetRowHeight(int row, int height) {
  if (row < 0 || row >= rowCount() || RowHeight(row) == height) return;
  verticalHeader()->resizeSection(row, std::max(height, 0) + kGridLine);
}

int TStringGrid::ColWidth(int col) const {
  return horizontalHeader()->sectionSize(col) - kGridLine;
}

void TStringGrid::SetColWidth(int col, int width) {
  horizontalHeader()->resizeSection(col, width + kGridLine);
}

const catalogue::TPreviewItemPtr& TStringGrid::Object(int row) const {
  static const catalogue::TPreviewItemPtr none;
  return row >= 0 && row < int(objects_.size()) ? objects_[std::size_t(row)] : none;
}

void TStringGrid::SetObject(int row, catalogue::TPreviewItemPtr entry) {
  if (row < 0 || row >= int(objects_.size())) return;
  objects_[std::size_t(row)] = std::move(entry);
  viewport()->update();
}

void TStringGrid::DeleteRow(int row) {
  if (row < 0 || row >= rowCount()) return;
  silent_ = true;
  if (rowCount() > 1) {
    const int current = Row();
    objects_.erase(objects_.begin() + row);
    removeRow(row);
    // The selection stays where it was, as the grid always kept it.
    setCurrentCell(std::min(current, rowCount() - 1), 0);
  } else {
    objects_[0].reset();
  }
  silent_ = false;
  viewport()->update();
}

void TStringGrid::Clear() {
  silent_ = true;
  setRowCount(1);
  objects_.assign(1, nullptr);
  setCurrentCell(0, 0);
  SetRowHeight(0, DefaultRowHeight);
  silent_ = false;
  Tag = 0;
  viewport()->update();
}

QRect TStringGrid::CellRect(int col, int row) const {
  return QRect(columnViewportPosition(col), rowViewportPosition(row), ColWidth(col),
               RowHeight(row));
}

void TStringGrid::mousePressEvent(QMouseEvent* event) {
  if (OnMouseDown)
    platform::Guarded([&] { OnMouseDown(event->button(), event->position().toPoint()); });
  // A right click only selects through the handler; the pop-up menu follows.
  if (event->button() == Qt::RightButton) return;
  QTableWidget::mousePressEvent(event);
}

void TStringGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  QTableWidget::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton && OnDblClick) platform::Guarded(OnDblClick);
}

TUpDown::TUpDown(QLineEdit* associate, QWidget* parent) : QWidget(parent), associate_(associate) {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  for (int delta : {1, -1}) {
    auto* arrow = new QToolButton(this);
    arrow->setArrowType(delta > 0 ? Qt::UpArrow : Qt::DownArrow);
    arrow->setObjectName(delta > 0 ? "btUp" : "btDown");
    arrow->setAutoRepeat(true);
    arrow->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    column->addWidget(arrow);
    On(arrow, &QToolButton::clicked, this, [this, delta] { Click(delta); });
  }
}

void TUpDown::Click(int delta) {
  bool ok = false;
  int typed = associate_->text().toInt(&ok);
  if (ok) Position = std::clamp(typed, Min, Max);
  Position = std::clamp(Position + delta, Min, Max);
  associate_->setText(QString::number(Position));
}

}  // namespace ui
