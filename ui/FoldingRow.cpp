#include "ui/FoldingRow.h"

#include <QBoxLayout>
#include <QWidget>
#include <algorithm>

namespace ui {

namespace {

void Empty(QHBoxLayout* line) {
  while (QLayoutItem* item = line->takeAt(0)) delete item;  // the widgets stay
}

bool Stretches(const std::vector<FoldingRow::Part>& parts, std::size_t from, std::size_t to) {
  return std::any_of(parts.begin() + long(from), parts.begin() + long(to),
                     [](const FoldingRow::Part& part) { return part.stretch > 0; });
}

}  // namespace

FoldingRow::FoldingRow(QBoxLayout* column, std::vector<Part> parts, std::size_t breakBefore,
                       int spacing)
    : first_(new QHBoxLayout),
      second_(new QHBoxLayout),
      parts_(std::move(parts)),
      breakBefore_(breakBefore),
      spacing_(spacing) {
  for (QHBoxLayout* line : {first_, second_}) {
    line->setSpacing(spacing_);
    column->addLayout(line);
  }
  Arrange(true);
}

// A part's least width is the one set for it, else the one its contents ask for, as the layout
// itself takes it.
int FoldingRow::Needed() const {
  int needed = spacing_ * int(parts_.size() - 1);
  for (const Part& part : parts_) {
    const QWidget* widget = part.widget;
    needed +=
        widget->minimumWidth() > 0 ? widget->minimumWidth() : widget->minimumSizeHint().width();
  }
  return needed;
}

void FoldingRow::Fit(int width) {
  const bool oneLine = Needed() <= width;
  if (oneLine_ != oneLine) Arrange(oneLine);
}

void FoldingRow::Arrange(bool oneLine) {
  oneLine_ = oneLine;
  Empty(first_);
  Empty(second_);
  const std::size_t split = oneLine ? parts_.size() : breakBefore_;
  for (std::size_t i = 0; i < split; ++i) first_->addWidget(parts_[i].widget, parts_[i].stretch);
  if (!Stretches(parts_, 0, split)) first_->addStretch(1);
  if (split == parts_.size()) return;
  if (!Stretches(parts_, split, parts_.size())) second_->addStretch(1);
  for (std::size_t i = split; i < parts_.size(); ++i)
    second_->addWidget(parts_[i].widget, parts_[i].stretch);
}

}  // namespace ui
